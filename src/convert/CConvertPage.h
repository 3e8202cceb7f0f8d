#pragma once
// The conversion page: shows the encoder's progress and log while a worker
// thread converts the source list, and offers Cancel.

#include "app/CWizardPage.h"

#include <memory>
#include <string>

class CConvertPage : public CWizardPage {
public:
    CConvertPage();
    ~CConvertPage() override;

    void LeavePage() override;
    void EnterPage() override;

    // Ends a running conversion at once: its encoder (with whatever that
    // started) is terminated, and the run changes no control and posts no
    // completion message any more. For the window's shutdown, so that no
    // encoder outlives the program.
    void StopRunningEncoder();

    // One entry of the conversion log: the local time, then the text as read.
    void AddLogLine(const std::string& text);

protected:
    bool OnInitDialog() override;
    void OnCommand(int id, int notifyCode) override;

private:
    struct Run;
    std::shared_ptr<Run> run_;
};
