#pragma once
// The third page: where outputs go, the output format or TV system, the
// recorder, speed and volume label. The page keeps nothing between visits:
// it copies the shared record into its controls when entered and back when
// left.

#include "app/CWizardPage.h"

class COutputPage : public CWizardPage {
public:
    COutputPage();

    void EnterPage() override;
    void LeavePage() override;

    // Whether the wizard may move on from this page on a task that burns:
    // 1 to go on, 0 to stay.
    int CheckBurnerReady();

    void OnBrowse();

protected:
    void OnCommand(int id, int notifyCode) override;

private:
    void LayOutForTask(int task);
    void ApplySameAsSourceRule();
    void ApplyTempFolderRule();
    void SetFolderEditable(bool editable);
};
