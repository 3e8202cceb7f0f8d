#pragma once
// The first page: which of the three tasks the run does.

#include "core/CWizardPage.h"

class CTaskPage : public CWizardPage {
public:
    CTaskPage();

    void EnterPage() override;
    void LeavePage() override;

    // The radio position last moved in or out: 0..2, -1 for none.
    int Selection() const { return selection_; }

private:
    int selection_ = -1;
};
