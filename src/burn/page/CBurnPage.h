#pragma once
// The fifth page: the burn options, the list of videos to burn and the burn
// log, to which the recorder code writes through the log's burn channel,
// for as long as the page lives. A
// job authors the listed videos and burns them on the chosen recorder while
// the page shows the log, the progress and the elapsed time.

#include "core/CWizardPage.h"
#include "core/Log.h"
#include "burn/BurnRun.h"

#include <chrono>
#include <memory>
#include <string>

class Job;
class RunState;

class CBurnPage : public CWizardPage {
public:
    explicit CBurnPage(RunState& run);
    ~CBurnPage() override;

    void EnterPage() override;
    void LeavePage() override;

    // Appends a time-stamped line to the burn log and scrolls to it. Any thread.
    void AddBurnLogLine(const std::string& text);
    // Sets the status line and logs the same text.
    void ShowBurnStatus(const std::string& text);

    void OnStartBurn();
    void OnClose();

    // From Start Burn until the burn's end has been handled.
    bool IsBurning() const { return busy_ != 0; }

    static constexpr int kProgressTimer = 1;
    // "Elapsed time: hh:mm:ss".
    static std::string ElapsedText(std::chrono::steady_clock::duration elapsed);

protected:
    bool OnInitDialog() override;
    void OnCommand(int id, int notifyCode) override;
    bool OnMessage(unsigned message, WPARAM wParam, LPARAM lParam) override;
    void OnTimer(int timerId) override;

private:
    class PageView;
    RunState& run_;
    void StoreOptions();
    void FillBurnList();
    std::vector<std::string> BurnList() const;
    bool PrepareBurn(BurnRequest& request);
    void BeginBurnProgress();
    void OnBurnDone(const BurnOutcome& outcome);
    void OnBurnComplete();
    void FinishBurn();
    void RestoreIdle();
    void ShowProgressControls(bool show);

    int busy_ = 0;
    std::unique_ptr<Job> job_;
    std::shared_ptr<CDevice> device_;
    BurnOutcome outcome_;
    std::chrono::steady_clock::time_point start_;
    // What the log's listener reaches the page by; cleared as the page goes.
    std::shared_ptr<CBurnPage*> self_;
    LogListenerRegistration burnLog_;
};
