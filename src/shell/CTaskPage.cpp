#include "shell/CTaskPage.h"

#include "core/ConversionSettings.h"
#include "res/resource.h"
#include "run/RunState.h"

namespace {

constexpr int kFirstButton = IDC_TASK_VIDEO2DVD;
constexpr int kLastButton = IDC_TASK_VIDEO2MPG;

} // namespace

CTaskPage::CTaskPage(RunState& run) : CWizardPage(IDD_TASK), run_(run) {}

void CTaskPage::EnterPage()
{
    selection_ = run_.Settings().task;
    const bool known = selection_ >= 0 && selection_ <= kLastButton - kFirstButton;
    if (known)
        CheckRadioButton(kFirstButton, kLastButton, kFirstButton + selection_);
    ShowWindow(true);
    // The focus starts on the choice, where Enter goes on to the next page,
    // not on the window's first button (About).
    SetFocusTo(known ? kFirstButton + selection_ : kFirstButton);
}

void CTaskPage::LeavePage()
{
    int checked = GetCheckedRadioButton(kFirstButton, kLastButton);
    ConversionSettings& settings = run_.Settings();
    settings.previousTask = settings.task;
    // Without a checked button the task stays what it was rather than -1,
    // which no other page knows how to handle.
    if (checked != 0) {
        selection_ = checked - kFirstButton;
        settings.task = selection_;
    }
    ShowWindow(false);
}
