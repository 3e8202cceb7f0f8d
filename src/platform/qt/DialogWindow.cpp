#include "platform/qt/DialogWindow.h"

#include "platform/Dialog.h"
#include "platform/qt/ControlFactory.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

namespace {

// Escape closes an open drop-down list or menu by itself. Held down, the key
// repeats, and a repeat reaching the window after the list has closed must
// not close the window too, losing the user's work.
bool EscapeBelongsToAPopup(const QKeyEvent* event)
{
    return event->isAutoRepeat() || QApplication::activePopupWidget() != nullptr;
}

} // namespace

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
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = !(event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier));
    if (!owner_ || !plain || (!enter && event->key() != Qt::Key_Escape)) {
        event->ignore();
        return;
    }
    if (!enter && EscapeBelongsToAPopup(event)) {
        event->accept();
        return;
    }
    if (!topLevel_) {
        // Enter typed into a page's list or field does not end the whole
        // window: only the page's buttons act on it. On a choice (a radio or
        // check box) it goes on up to the window's default button, as Escape
        // always does.
        if (enter && ClickFocusedButton()) {
            event->accept();
            return;
        }
        event->setAccepted(enter && !FocusOnAChoice());
        return;
    }
    if (enter) {
        PressEnter();
    } else {
        Dispatch([&] { owner_->OnCancel(); });
    }
    event->accept();
}

bool DialogWindow::ClickFocusedButton()
{
    auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
    if (!focused || !isAncestorOf(focused))
        return false;
    focused->click();
    return true;
}

bool DialogWindow::FocusOnAChoice() const
{
    QWidget* focused = QApplication::focusWidget();
    return (qobject_cast<QRadioButton*>(focused) || qobject_cast<QCheckBox*>(focused)) && isAncestorOf(focused);
}

void DialogWindow::PressEnter()
{
    if (ClickFocusedButton())
        return;
    // A window with a default button acts on Enter through it alone: while it
    // is disabled (a page still at work), Enter does nothing rather than close.
    bool hasDefault = false;
    for (QPushButton* button : findChildren<QPushButton*>()) {
        if (KindOf(button) != ControlKind::DefPushButton)
            continue;
        hasDefault = true;
        if (button->isVisible() && button->isEnabled()) {
            button->click();
            return;
        }
    }
    if (!hasDefault)
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
