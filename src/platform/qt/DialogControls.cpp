#include "platform/Dialog.h"

#include "platform/qt/ControlFactory.h"
#include "platform/qt/DialogImpl.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QSignalBlocker>

#include <algorithm>

using dialog_detail::OnUi;

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
