#pragma once
// The first page: which of the three tasks the run does.

#include "core/CWizardPage.h"

class RunState;

class CTaskPage : public CWizardPage {
public:
    explicit CTaskPage(RunState& run);

    void EnterPage() override;
    void LeavePage() override;

    // The radio position last moved in or out: 0..2, -1 for none.
    int Selection() const { return selection_; }

private:
    RunState& run_;
    int selection_ = -1;
};
