#pragma once
// The third page: where outputs go, the output format or TV system, the
// recorder, speed and volume label. The page keeps nothing between visits:
// it copies the shared record into its controls when entered and back when
// left. It fills the recorder and speed lists with a job of its own and
// checks the recorder, the disc and the sources before the wizard moves on
// to burn (COutputPageCheck.cpp).

#include "core/CWizardPage.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class CDevice;
class Job;
class RunState;
struct BurnerLists;
struct FitDecision;

// How a run of task 0 goes on once the disc has been planned.
struct VideoRunPlan {
    // The video rate the run must keep, 0 for the DVD target's own.
    int videoKbps = 0;
    // The estimate that chose that rate, for the conversion log.
    std::string estimateLine;
};

class COutputPage : public CWizardPage {
public:
    explicit COutputPage(RunState& run);
    ~COutputPage() override;

    void EnterPage() override;
    void LeavePage() override;

    // Whether the wizard may move on from this page on a task that burns:
    // 1 to go on, 0 to stay.
    int CheckBurnerReady();

    // Task 1, after the recorder check: whether the MPEG files fit the disc
    // in the selected recorder. 1 to go on, 0 to stay.
    int CheckMpegFilesFit();
    // Task 0, after the recorder check: reads the sources' lengths on a job,
    // with the wait cursor, and plans the disc. done gets, on the UI thread,
    // the plan when the wizard may move on, nullopt when it must stay; it is
    // not called once the page has gone. False when a check runs already.
    // A recorder search ending meanwhile ends the check with nullopt.
    bool StartVideoFitCheck(std::function<void(std::optional<VideoRunPlan>)> done);
    // Task 1, after the capacity check: reads the MPEG files on a job, as
    // the check above does, and asks before files a DVD player may refuse
    // are burnt. done gets an empty plan to go on.
    bool StartMpegInputCheck(std::function<void(std::optional<VideoRunPlan>)> done);
    bool IsCheckingFit() const;
    // Stops a running check; done is not called and the page stays.
    void CancelFitCheck();

    void OnBrowse();
    // Starts a new recorder search unless one runs; Refresh and the
    // recorder check's complaints come here.
    void FillBurnerLists();
    bool IsFillingBurnerLists() const;

protected:
    bool OnInitDialog() override;
    void OnCommand(int id, int notifyCode) override;
    void OnDestroy() override;

private:
    RunState& run_;
    void OnBurnerListsFilled(BurnerLists lists);
    void EndFilling();
    // The wait cursor and the page held for a check job that is to start.
    void BeginCheck(std::function<void(std::optional<VideoRunPlan>)> done);
    // The check's job has ended with decision; the box, then done.
    void EndCheckWith(const FitDecision& decision);
    void EndFitCheck();
    // The page's controls greyed during the check, and given back as they were.
    void HoldControls();
    void ReleaseControls();
    // Shows the decision's box; true when the wizard may move on.
    bool Accepts(const FitDecision& decision);
    // The speeds the last search found the selected recorder's disc takes.
    void FillSpeedList();
    void UpdateRefreshButton();
    std::shared_ptr<CDevice> SelectedRecorder() const;
    void LayOutForTask(int task);
    void ApplySameAsSourceRule();
    void ApplyTempFolderRule();
    void SetFolderEditable(bool editable);

    std::unique_ptr<Job> fillJob_;
    // The records the rows of the recorder list were built from; the check
    // reads these, never a list a running search is rebuilding.
    std::vector<std::shared_ptr<CDevice>> recorders_;
    // The row to select when a running search ends.
    int wantedRecorder_ = -1;
    bool burnsLayout_ = true;
    bool waitCursorShown_ = false;

    std::unique_ptr<Job> fitJob_;
    std::function<void(std::optional<VideoRunPlan>)> fitDone_;
    bool fitCursorShown_ = false;
    // Each held control and whether it was enabled before the check.
    std::vector<std::pair<int, bool>> heldControls_;
};
