#include "platform/Dialog.h"

#include "platform/DialogTemplate.h"
#include "platform/qt/AppIcon.h"
#include "platform/qt/ControlFactory.h"
#include "platform/qt/DialogImpl.h"
#include "platform/qt/DialogUnits.h"
#include "platform/qt/FocusReturn.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QListWidget>

#include <algorithm>

using dialog_detail::Lifetime;
using dialog_detail::OnUi;

CDialog::CDialog(int templateId) : templateId_(templateId), impl_(std::make_unique<Impl>())
{
    impl_->lifetime->dialog = this;
}

CDialog::~CDialog()
{
    impl_->lifetime->dialog = nullptr;
    if (this == AfxGetMainWnd())
        AfxSetMainWnd(nullptr);
    impl_->Release();
}

bool CDialog::Build(CDialog* parent, bool asPage)
{
    if (impl_->window)
        return false;
    const DialogTemplate* tmpl = FindDialogTemplate(templateId_);
    if (!tmpl)
        return false;
    impl_->tmpl = tmpl;
    QWidget* parentWidget = parent ? parent->Widget() : nullptr;
    const bool page = asPage && parentWidget && tmpl->child;
    auto* window = new DialogWindow(this, parentWidget, !page);
    impl_->window = window;

    const QFont font = TemplateFont(*tmpl);
    window->setFont(font);
    const DialogUnits units = DialogUnits::ForFont(font);
    const QSize size(units.X(tmpl->cx), units.Y(tmpl->cy));
    if (page) {
        window->resize(size);
    } else {
        Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (tmpl->minimizeBox)
            flags |= Qt::WindowMinimizeButtonHint;
        window->setWindowFlags(flags);
        window->setWindowTitle(QString::fromStdString(tmpl->caption));
        window->setWindowIcon(AppIcon());
        window->setFixedSize(size);
    }
    window->hide();

    QButtonGroup* radioGroup = nullptr;
    for (const ControlTemplate& c : tmpl->controls) {
        QWidget* widget = CreateControl(c, units, window);
        if (c.id != -1)
            impl_->controls[c.id] = widget;
        if (c.style & CS_GROUP || c.kind != ControlKind::RadioButton)
            radioGroup = nullptr;
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            if (c.kind == ControlKind::RadioButton) {
                if (!radioGroup)
                    radioGroup = new QButtonGroup(window);
                radioGroup->addButton(button);
            }
            const int id = c.id;
            QObject::connect(button, &QAbstractButton::clicked, window, [window, id] {
                if (CDialog* owner = window->Owner())
                    DialogWindow::Dispatch([&] { owner->OnCommand(id, BN_CLICKED); });
            });
        } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
            const int id = c.id;
            QObject::connect(list, &QListWidget::itemSelectionChanged, window, [window, list, id] {
                if (CDialog* owner = window->Owner()) {
                    int code = list->selectedItems().isEmpty() ? LBN_SELCANCEL : LBN_SELCHANGE;
                    DialogWindow::Dispatch([&] { owner->OnCommand(id, code); });
                }
            });
        } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            const int id = c.id;
            QObject::connect(combo, &QComboBox::activated, window, [window, id] {
                if (CDialog* owner = window->Owner())
                    DialogWindow::Dispatch([&] { owner->OnCommand(id, CBN_SELCHANGE); });
            });
        }
    }
    return true;
}

void CDialog::WindowGone()
{
    impl_->window.clear();
    impl_->controls.clear();
    impl_->timers.clear();
    if (impl_->modalLoop)
        impl_->modalLoop->exit();
}

bool CDialog::Create(CDialog* parent)
{
    return OnUi(impl_->lifetime, false, [&] {
        if (!Build(parent, true))
            return false;
        DialogWindow::Dispatch([&] { OnInitDialog(); });
        return true;
    });
}

int CDialog::DoModal(CDialog* owner)
{
    return OnUi(impl_->lifetime, -1, [&] {
        FocusReturn focus(owner ? owner->Widget() : nullptr);
        if (!Build(owner, false))
            return -1;
        impl_->ended = false;
        impl_->modalResult = IDCANCEL;
        DialogWindow::Dispatch([&] { OnInitDialog(); });
        if (!impl_->ended && impl_->window) {
            impl_->window->setWindowModality(Qt::ApplicationModal);
            impl_->window->show();
            impl_->window->activateWindow();
            QEventLoop loop;
            impl_->modalLoop = &loop;
            loop.exec(QEventLoop::DialogExec);
            impl_->modalLoop = nullptr;
        }
        int result = impl_->modalResult;
        DestroyWindow();
        return result;
    });
}

void CDialog::EndDialog(int result)
{
    OnUi(impl_->lifetime, [&] {
        impl_->modalResult = result;
        impl_->ended = true;
        if (impl_->window)
            impl_->window->hide();
        if (impl_->modalLoop)
            impl_->modalLoop->exit();
    });
}

void CDialog::DestroyWindow()
{
    OnUi(impl_->lifetime, [&] {
        if (!impl_->window)
            return;
        DialogWindow::Dispatch([&] { OnDestroy(); });
        impl_->Release();
    });
}

bool CDialog::HasWindow() const
{
    return OnUi(impl_->lifetime, false, [&] { return !impl_->window.isNull(); });
}

void CDialog::PostMessage(unsigned message, WPARAM wParam, LPARAM lParam)
{
    // A late worker may post to a dialog whose window is already gone.
    if (IsUiShutDown())
        return;
    std::shared_ptr<Lifetime> lifetime = impl_->lifetime;
    PostToUi([lifetime, message, wParam, lParam] {
        CDialog* dialog = lifetime->dialog;
        if (dialog && dialog->impl_->window)
            DialogWindow::Dispatch([&] { dialog->OnMessage(message, wParam, lParam); });
    });
}

bool CDialog::SendMessage(unsigned message, WPARAM wParam, LPARAM lParam)
{
    return OnUi(impl_->lifetime, false, [&] {
        bool handled = false;
        if (impl_->window)
            DialogWindow::Dispatch([&] { handled = OnMessage(message, wParam, lParam); });
        return handled;
    });
}

void CDialog::AppendSystemMenuItem(int command, const std::string& text)
{
    OnUi(impl_->lifetime, [&] {
        if (impl_->window)
            impl_->window->AppendSystemMenuItem(command, QString::fromStdString(text));
    });
}

void CDialog::SetTimer(int timerId, int milliseconds)
{
    OnUi(impl_->lifetime, [&] {
        if (!impl_->window)
            return;
        QTimer*& timer = impl_->timers[timerId];
        if (!timer) {
            timer = new QTimer(impl_->window);
            DialogWindow* window = impl_->window;
            QObject::connect(timer, &QTimer::timeout, window, [window, timerId] {
                if (CDialog* owner = window->Owner())
                    DialogWindow::Dispatch([&] { owner->OnTimer(timerId); });
            });
        }
        timer->start(std::max(0, milliseconds));
    });
}

void CDialog::KillTimer(int timerId)
{
    OnUi(impl_->lifetime, [&] {
        auto it = impl_->timers.find(timerId);
        if (it == impl_->timers.end())
            return;
        it->second->stop();
        it->second->deleteLater();
        impl_->timers.erase(it);
    });
}

void CDialog::ShowWindow(bool show)
{
    OnUi(impl_->lifetime, [&] {
        if (impl_->window)
            impl_->window->setVisible(show);
    });
}

bool CDialog::IsWindowVisible() const
{
    return OnUi(impl_->lifetime, false, [&] { return impl_->window && impl_->window->isVisible(); });
}

void CDialog::SetWindowText(const std::string& text)
{
    OnUi(impl_->lifetime, [&] {
        if (impl_->window)
            impl_->window->setWindowTitle(QString::fromStdString(text));
    });
}

std::string CDialog::GetWindowText() const
{
    return OnUi(impl_->lifetime, std::string(), [&] {
        return impl_->window ? impl_->window->windowTitle().toStdString() : std::string();
    });
}

void CDialog::MoveWindow(int x, int y, int width, int height)
{
    OnUi(impl_->lifetime, [&] {
        DialogWindow* window = impl_->window;
        if (!window)
            return;
        if (window->isWindow()) {
            window->move(x, y);
            window->setFixedSize(width, height);
        } else {
            window->setGeometry(x, y, width, height);
        }
    });
}

CDialog::Rect CDialog::GetControlRect(int id) const
{
    return OnUi(impl_->lifetime, Rect{}, [&] {
        QWidget* control = Control(id);
        if (!control)
            return Rect{};
        QRect r = control->geometry();
        return Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    });
}

CDialog::Rect CDialog::GetClientRect() const
{
    return OnUi(impl_->lifetime, Rect{}, [&] {
        if (!impl_->window)
            return Rect{};
        return Rect{0, 0, impl_->window->width(), impl_->window->height()};
    });
}

QWidget* CDialog::Widget() const
{
    return impl_->window;
}

QWidget* CDialog::Control(int id) const
{
    if (!impl_->window)
        return nullptr;
    auto it = impl_->controls.find(id);
    return it == impl_->controls.end() ? nullptr : it->second;
}

bool CDialog::OnInitDialog()
{
    return true;
}

void CDialog::OnCommand(int id, int notifyCode)
{
    if (notifyCode != BN_CLICKED)
        return;
    if (id == IDOK)
        OnOK();
    else if (id == IDCANCEL)
        OnCancel();
}

void CDialog::OnOK()
{
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::OnSysCommand(int)
{
}

bool CDialog::OnMessage(unsigned, WPARAM, LPARAM)
{
    return false;
}

void CDialog::OnTimer(int)
{
}

void CDialog::OnDestroy()
{
}
