#include "platform/Dialog.h"

#include "platform/DialogTemplate.h"
#include "platform/UiThread.h"
#include "platform/qt/AppIcon.h"
#include "platform/qt/ControlFactory.h"
#include "platform/qt/DialogUnits.h"
#include "platform/qt/DialogWindow.h"
#include "platform/qt/FocusReturn.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>
#include <map>

namespace {

// A posted message may arrive after its dialog is gone; it asks this first.
struct Lifetime {
    CDialog* dialog = nullptr;
};

// Control operations run on the UI thread; from another thread they wait
// for it, and get the neutral value once the UI has shut down or when the
// dialog went away while the call waited in the queue.
template <typename R, typename F>
R OnUi(std::shared_ptr<Lifetime> lifetime, R neutral, F&& operation)
{
    if (IsUiThread())
        return operation();
    R result = neutral;
    SendToUi([&] {
        if (lifetime->dialog)
            result = operation();
    });
    return result;
}

template <typename F>
void OnUi(std::shared_ptr<Lifetime> lifetime, F&& operation)
{
    if (IsUiThread()) {
        operation();
        return;
    }
    SendToUi([&] {
        if (lifetime->dialog)
            operation();
    });
}

} // namespace

struct CDialog::Impl {
    const DialogTemplate* tmpl = nullptr;
    QPointer<DialogWindow> window;
    std::map<int, QWidget*> controls;
    std::map<int, QTimer*> timers;
    std::shared_ptr<Lifetime> lifetime = std::make_shared<Lifetime>();
    QEventLoop* modalLoop = nullptr;
    int modalResult = 0;
    bool ended = false;

    void Release()
    {
        if (!window)
            return;
        // Pages go before the window that holds them, each with its own
        // OnDestroy, as the platform's windows did.
        for (DialogWindow* child : window->findChildren<DialogWindow*>(Qt::FindDirectChildrenOnly))
            if (CDialog* page = child->Owner())
                page->DestroyWindow();
        DialogWindow* gone = window;
        gone->Detach();
        for (auto& [id, timer] : timers)
            timer->stop();
        window.clear();
        controls.clear();
        timers.clear();
        // A handler running now may belong to one of these widgets.
        if (DialogWindow::InHandler())
            gone->deleteLater();
        else
            delete gone;
    }
};

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

void CDialog::SetDlgItemText(int id, const std::string& text)
{
    OnUi(impl_->lifetime, [&] {
        if (QWidget* control = Control(id))
            SetControlText(control, text);
    });
}

std::string CDialog::GetDlgItemText(int id) const
{
    return OnUi(impl_->lifetime, std::string(), [&] {
        QWidget* control = Control(id);
        return control ? ControlText(control) : std::string();
    });
}

void CDialog::EnableDlgItem(int id, bool enable)
{
    OnUi(impl_->lifetime, [&] {
        if (QWidget* control = Control(id))
            control->setEnabled(enable);
    });
}

bool CDialog::IsDlgItemEnabled(int id) const
{
    return OnUi(impl_->lifetime, false, [&] {
        QWidget* control = Control(id);
        return control && control->isEnabled();
    });
}

void CDialog::ShowDlgItem(int id, bool show)
{
    OnUi(impl_->lifetime, [&] {
        if (QWidget* control = Control(id))
            control->setVisible(show);
    });
}

bool CDialog::IsDlgItemVisible(int id) const
{
    return OnUi(impl_->lifetime, false, [&] {
        QWidget* control = Control(id);
        return control && !control->isHidden();
    });
}

void CDialog::SetFocusTo(int id)
{
    OnUi(impl_->lifetime, [&] {
        if (QWidget* control = Control(id))
            control->setFocus(Qt::OtherFocusReason);
    });
}

void CDialog::SetDlgItemTextLimit(int id, int length)
{
    OnUi(impl_->lifetime, [&] {
        if (auto* edit = qobject_cast<QLineEdit*>(Control(id)))
            edit->setMaxLength(length);
    });
}

void CDialog::SetDlgItemOpaque(int id)
{
    OnUi(impl_->lifetime, [&] {
        if (QWidget* control = Control(id)) {
            control->setAutoFillBackground(true);
            control->raise();
        }
    });
}

namespace {

// Sets a button's state even inside an exclusive group, where Qt refuses to
// uncheck the checked button.
void SetChecked(QAbstractButton* button, bool checked)
{
    QButtonGroup* group = button->group();
    bool exclusive = group && group->exclusive();
    if (exclusive)
        group->setExclusive(false);
    button->setChecked(checked);
    if (exclusive)
        group->setExclusive(true);
}

} // namespace

void CDialog::CheckDlgButton(int id, int state)
{
    OnUi(impl_->lifetime, [&] {
        if (auto* button = qobject_cast<QAbstractButton*>(Control(id)))
            SetChecked(button, state != 0);
    });
}

int CDialog::IsDlgButtonChecked(int id) const
{
    return OnUi(impl_->lifetime, 0, [&] {
        auto* button = qobject_cast<QAbstractButton*>(Control(id));
        return button && button->isChecked() ? 1 : 0;
    });
}

void CDialog::CheckRadioButton(int firstId, int lastId, int checkId)
{
    OnUi(impl_->lifetime, [&] {
        for (auto& [id, control] : impl_->controls) {
            if (id < firstId || id > lastId)
                continue;
            if (auto* button = qobject_cast<QAbstractButton*>(control))
                SetChecked(button, id == checkId);
        }
    });
}

int CDialog::GetCheckedRadioButton(int firstId, int lastId) const
{
    return OnUi(impl_->lifetime, 0, [&] {
        for (const auto& [id, control] : impl_->controls) {
            auto* button = qobject_cast<QAbstractButton*>(control);
            if (id >= firstId && id <= lastId && button && button->isChecked())
                return id;
        }
        return 0;
    });
}

// List boxes and drop-down lists share one set of operations; none of them
// notifies the dialog, only the user's own selection does.
int CDialog::ListAddString(int id, const std::string& text)
{
    return ListInsertString(id, -1, text);
}

int CDialog::ListInsertString(int id, int index, const std::string& text)
{
    return OnUi(impl_->lifetime, -1, [&] {
        const QString row = QString::fromStdString(text);
        if (auto* list = qobject_cast<QListWidget*>(Control(id))) {
            if (index < -1 || index > list->count())
                return -1;
            int at = index == -1 ? list->count() : index;
            QSignalBlocker blocker(list);
            list->insertItem(at, row);
            return at;
        }
        if (auto* combo = qobject_cast<QComboBox*>(Control(id))) {
            if (index < -1 || index > combo->count())
                return -1;
            int at = index == -1 ? combo->count() : index;
            QSignalBlocker blocker(combo);
            int selected = combo->currentIndex();
            combo->insertItem(at, row);
            // Qt selects the first row of an empty box by itself.
            if (selected == -1)
                combo->setCurrentIndex(-1);
            return at;
        }
        return -1;
    });
}

void CDialog::ListDeleteString(int id, int index)
{
    OnUi(impl_->lifetime, [&] {
        if (auto* list = qobject_cast<QListWidget*>(Control(id))) {
            if (index < 0 || index >= list->count())
                return;
            QSignalBlocker blocker(list);
            bool wasSelected = list->item(index)->isSelected();
            delete list->takeItem(index);
            if (wasSelected) {
                list->clearSelection();
                list->setCurrentItem(nullptr);
            }
        } else if (auto* combo = qobject_cast<QComboBox*>(Control(id))) {
            if (index < 0 || index >= combo->count())
                return;
            QSignalBlocker blocker(combo);
            bool wasSelected = combo->currentIndex() == index;
            combo->removeItem(index);
            if (wasSelected)
                combo->setCurrentIndex(-1);
        }
    });
}

void CDialog::ListResetContent(int id)
{
    OnUi(impl_->lifetime, [&] {
        if (auto* list = qobject_cast<QListWidget*>(Control(id))) {
            QSignalBlocker blocker(list);
            list->clear();
        } else if (auto* combo = qobject_cast<QComboBox*>(Control(id))) {
            QSignalBlocker blocker(combo);
            combo->clear();
        }
    });
}

int CDialog::ListGetCount(int id) const
{
    return OnUi(impl_->lifetime, 0, [&] {
        if (auto* list = qobject_cast<QListWidget*>(Control(id)))
            return list->count();
        if (auto* combo = qobject_cast<QComboBox*>(Control(id)))
            return combo->count();
        return 0;
    });
}

std::string CDialog::ListGetText(int id, int index) const
{
    return OnUi(impl_->lifetime, std::string(), [&] {
        if (auto* list = qobject_cast<QListWidget*>(Control(id))) {
            QListWidgetItem* item = index >= 0 ? list->item(index) : nullptr;
            return item ? item->text().toStdString() : std::string();
        }
        if (auto* combo = qobject_cast<QComboBox*>(Control(id))) {
            if (index < 0 || index >= combo->count())
                return std::string();
            return combo->itemText(index).toStdString();
        }
        return std::string();
    });
}

int CDialog::ListGetCurSel(int id) const
{
    return OnUi(impl_->lifetime, -1, [&] {
        if (auto* list = qobject_cast<QListWidget*>(Control(id))) {
            const QList<QListWidgetItem*> selected = list->selectedItems();
            return selected.isEmpty() ? -1 : list->row(selected.first());
        }
        if (auto* combo = qobject_cast<QComboBox*>(Control(id)))
            return combo->currentIndex();
        return -1;
    });
}

void CDialog::ListSetCurSel(int id, int index)
{
    OnUi(impl_->lifetime, [&] {
        if (auto* list = qobject_cast<QListWidget*>(Control(id))) {
            QSignalBlocker blocker(list);
            if (index < 0 || index >= list->count()) {
                list->clearSelection();
                list->setCurrentItem(nullptr);
                return;
            }
            list->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
            list->scrollToItem(list->item(index));
        } else if (auto* combo = qobject_cast<QComboBox*>(Control(id))) {
            QSignalBlocker blocker(combo);
            combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
        }
    });
}

void CDialog::ProgressSetRange(int id, int low, int high)
{
    OnUi(impl_->lifetime, [&] {
        if (auto* progress = qobject_cast<QProgressBar*>(Control(id)))
            progress->setRange(low, std::max(low, high));
    });
}

void CDialog::ProgressSetPos(int id, int position)
{
    OnUi(impl_->lifetime, [&] {
        // Outside the range the bar stops at its end, as the platform's does;
        // Qt would ignore the value.
        if (auto* progress = qobject_cast<QProgressBar*>(Control(id)))
            progress->setValue(std::clamp(position, progress->minimum(), progress->maximum()));
    });
}

int CDialog::ProgressGetPos(int id) const
{
    return OnUi(impl_->lifetime, 0, [&] {
        auto* progress = qobject_cast<QProgressBar*>(Control(id));
        return progress ? progress->value() : 0;
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
