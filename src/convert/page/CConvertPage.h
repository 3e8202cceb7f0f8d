#pragma once
// The conversion page: while a job converts the source list, shows the files
// being converted, how far the earliest of them and the whole list are, and
// the encoders' log, and offers Cancel.

#include "core/CWizardPage.h"
#include "convert/ConversionRequest.h"

#include <memory>
#include <string>

class Job;
class RunState;

class CConvertPage : public CWizardPage {
public:
    explicit CConvertPage(RunState& run);
    ~CConvertPage() override;

    void LeavePage() override;
    void EnterPage() override;

    // A run has started and its completion has not been handled yet.
    bool IsConverting() const { return converting_; }
    // Asks the running conversion to stop (Cancel); its completion follows.
    void CancelConversion();

    // The video rate and its estimate line for the next run only (task 0,
    // when the disc needs a lower rate); 0 and "" keep the target's own.
    void SetNextRunRate(int videoKbps, const std::string& estimateLine);

    // One entry of the conversion log: the local time, then the text as read.
    void AddLogLine(const std::string& text);

protected:
    bool OnInitDialog() override;
    void OnCommand(int id, int notifyCode) override;

private:
    class RunView;
    RunState& run_;
    void OnConversionDone(const ConversionResult& result, int task);
    void DropRun();

    std::shared_ptr<RunView> view_;
    std::unique_ptr<Job> job_;
    bool converting_ = false;
    int nextVideoKbps_ = 0;
    std::string nextEstimateLine_;
};
