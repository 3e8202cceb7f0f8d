#pragma once
// The third page: where outputs go, the output format or TV system, the
// recorder, speed and volume label. The page keeps nothing between visits:
// it copies the shared record into its controls when entered and back when
// left. It fills the recorder and speed lists with a job of its own and
// checks the recorder and disc before the wizard moves on to burn.

#include "app/CWizardPage.h"
#include "burn/SpeedTables.h"

#include <memory>
#include <vector>

class CDevice;
class Job;
struct BurnerLists;

class COutputPage : public CWizardPage {
public:
    COutputPage();
    ~COutputPage() override;

    void EnterPage() override;
    void LeavePage() override;

    // Whether the wizard may move on from this page on a task that burns:
    // 1 to go on, 0 to stay.
    int CheckBurnerReady();

    void OnBrowse();
    // Starts a new recorder search unless one runs; Refresh and the
    // recorder check's complaints come here.
    void FillBurnerLists();
    bool IsFillingBurnerLists() const;

    // The write-speed list: row i of the speed list is entry i, so the burn
    // page takes entry speedIndex. UI thread only.
    static const SpeedList& WriteSpeeds();

protected:
    bool OnInitDialog() override;
    void OnCommand(int id, int notifyCode) override;
    void OnDestroy() override;

private:
    void OnBurnerListsFilled(BurnerLists lists);
    void EndFilling();
    void FillSpeedList();
    void ShowSpeeds(const SpeedList& speeds);
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
};
