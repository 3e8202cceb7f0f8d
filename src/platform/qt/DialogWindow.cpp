#include "platform/qt/DialogWindow.h"

#include "platform/Dialog.h"
#include "platform/qt/ControlFactory.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>

DialogWindow::DialogWindow(CDialog* owner, QWidget* parent, bool topLevel)
    : QWidget(parent, topLevel ? Qt::Dialog : Qt::Widget), owner_(owner), topLevel_(topLevel)
{
}

DialogWindow::~DialogWindow()
{
    if (owner_)
        owner_->WindowGone();
}

void DialogWindow::AppendSystemMenuItem(int command, const QString& text)
{
    systemMenu_.emplace_back(command, text);
}

std::unique_ptr<QMenu> DialogWindow::CreateSystemMenu()
{
    auto menu = std::make_unique<QMenu>(this);
    QAction* close = menu->addAction(QStringLiteral("&Close"));
    connect(close, &QAction::triggered, this, [this] {
        if (owner_)
            Dispatch([&] { owner_->OnCancel(); });
    });
    for (const auto& [command, text] : systemMenu_) {
        menu->addSeparator();
        QAction* action = menu->addAction(text);
        connect(action, &QAction::triggered, this, [this, command = command] {
            if (owner_)
                Dispatch([&] { owner_->OnSysCommand(command); });
        });
    }
    return menu;
}

void DialogWindow::keyPressEvent(QKeyEvent* event)
{
    // Pages leave the dialog keys to the window that holds them.
    if (!topLevel_ || !owner_ || event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) {
        event->ignore();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Escape:
        Dispatch([&] { owner_->OnCancel(); });
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        PressEnter();
        break;
    default:
        event->ignore();
        return;
    }
    event->accept();
}

void DialogWindow::PressEnter()
{
    if (auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget()); focused && isAncestorOf(focused)) {
        focused->click();
        return;
    }
    for (QPushButton* button : findChildren<QPushButton*>()) {
        if (KindOf(button) == ControlKind::DefPushButton && button->isVisible() && button->isEnabled()) {
            button->click();
            return;
        }
    }
    Dispatch([&] { owner_->OnOK(); });
}

void DialogWindow::closeEvent(QCloseEvent* event)
{
    // The dialog decides whether it closes; the widget never closes itself.
    event->ignore();
    if (owner_)
        Dispatch([&] { owner_->OnCancel(); });
}

void DialogWindow::contextMenuEvent(QContextMenuEvent* event)
{
    if (!topLevel_ || !owner_ || systemMenu_.empty()) {
        event->ignore();
        return;
    }
    std::unique_ptr<QMenu> menu = CreateSystemMenu();
    menu->exec(event->globalPos());
}
