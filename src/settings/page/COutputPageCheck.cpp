// The output page's checks on Next: the recorder and its disc, then on a
// job of the page's own the sources, with the page held until the answer.
#include "settings/page/COutputPage.h"

#include "burn/CDevice.h"
#include "convert/ConversionRequest.h"
#include "convert/DiscFit.h"
#include "convert/DurationProbe.h"
#include "convert/DvdInputRules.h"
#include "core/ConversionSettings.h"
#include "platform/UiSeam.h"
#include "platform/WaitCursor.h"
#include "recorder/DiscTypes.h"
#include "res/resource.h"
#include "run/RunState.h"

namespace {

bool IsUnsupportedDisc(int discType)
{
    return discType == DISC_TYPE_DVDROM || discType == DISC_TYPE_UNSUPPORTED || discType < DISC_TYPE_CDR ||
           discType > DISC_TYPE_DVD_DL;
}

// Everything LeavePage reads, held still while the disc is checked, so that
// the run gets the recorder and settings the check saw. Refresh follows its
// own rule.
constexpr int kHeldControls[] = {IDC_OUT_FOLDER,    IDC_OUT_BROWSE,    IDC_OUT_SAME_AS_SOURCE, IDC_OUT_USE_TEMP,
                                 IDC_OUT_OVERWRITE, IDC_OUT_ALL_IN_ONE, IDC_OUT_FORMAT,        IDC_OUT_TV_SYSTEM,
                                 IDC_OUT_VOLUME_LABEL, IDC_OUT_BURNER, IDC_OUT_SPEED};

} // namespace

int COutputPage::CheckBurnerReady()
{
    if (ListGetCount(IDC_OUT_BURNER) == 0) {
        if (Ui().MessageBox(this, "Please select device for burning DVD! Refresh device list?", "",
                            MB_YESNO | MB_ICONQUESTION) == IDYES)
            FillBurnerLists();
        return 0;
    }
    const std::shared_ptr<CDevice> recorder = SelectedRecorder();
    if (!recorder) {
        AfxMessageBox("Please select device for burning DVD!");
        return 0;
    }
    // A missing or pressed disc is not blank either, and asking for a blank
    // one tells the user what to do about it.
    if (!recorder->IsDiscBlank()) {
        AfxMessageBox("Please insert a blank disc! Then click on 'OK' ");
        FillBurnerLists();
        return 0;
    }
    const int discType = recorder->GetDiscType();
    if (discType == DISC_TYPE_NONE) {
        AfxMessageBox("Please insert a blank disc!");
        FillBurnerLists();
        return 0;
    }
    if (IsUnsupportedDisc(discType)) {
        AfxMessageBox("Disc unsupported! Please insert another");
        FillBurnerLists();
        return 0;
    }
    if (ListGetCount(IDC_OUT_SPEED) > 0 && ListGetCurSel(IDC_OUT_SPEED) >= 0)
        return 1;
    FillSpeedList();
    AfxMessageBox("Please select burn speed.");
    return 0;
}

int COutputPage::CheckMpegFilesFit()
{
    const std::shared_ptr<CDevice> recorder = SelectedRecorder();
    if (!recorder)
        return 1;
    const ConversionRequest request = ConversionRequest::From(run_.Settings());
    std::vector<std::string> paths;
    for (const SourceFile& source : request.sources)
        paths.push_back(source.path);
    const FitDecision decision = DecideMpegFit(SummedFileSize(paths), static_cast<int>(paths.size()),
                                               recorder->GetMediaCapacity(), recorder->IsImageFileRecorder());
    return Accepts(decision) ? 1 : 0;
}

bool COutputPage::StartVideoFitCheck(std::function<void(std::optional<VideoRunPlan>)> done)
{
    if (fitJob_)
        return false;
    const std::shared_ptr<CDevice> recorder = SelectedRecorder();
    const int64_t capacity = recorder ? recorder->GetMediaCapacity() : 0;
    // A library that cannot tell the capacity leaves nothing to check.
    if (capacity <= 0) {
        if (done)
            done(VideoRunPlan{});
        return true;
    }
    const bool imageFile = recorder->IsImageFileRecorder();
    const std::vector<SourceFile> sources = ConversionRequest::From(run_.Settings()).sources;
    const int titles = static_cast<int>(sources.size());
    BeginCheck(std::move(done));
    fitJob_ = run_.Jobs().Start<DurationSurvey>(
        "disc estimate", [sources](JobControl& control) { return ProbeDurations(sources, &control); },
        [this, titles, capacity, imageFile](DurationSurvey survey) {
            EndCheckWith(DecideVideoFit(survey, titles, capacity, imageFile));
        });
    HoldControls();
    return true;
}

bool COutputPage::StartMpegInputCheck(std::function<void(std::optional<VideoRunPlan>)> done)
{
    if (fitJob_)
        return false;
    const std::vector<SourceFile> sources = ConversionRequest::From(run_.Settings()).sources;
    BeginCheck(std::move(done));
    fitJob_ = run_.Jobs().Start<MpegSurvey>(
        "MPEG check",
        [sources](JobControl& control) { return ProbeMpegFiles(sources, &control, DURATION_PROBE_LIMIT_MS); },
        [this](MpegSurvey survey) { EndCheckWith(DecideMpegInputs(survey)); });
    HoldControls();
    return true;
}

void COutputPage::BeginCheck(std::function<void(std::optional<VideoRunPlan>)> done)
{
    fitDone_ = std::move(done);
    BeginWaitCursor();
    fitCursorShown_ = true;
}

void COutputPage::CancelFitCheck()
{
    // The job's cancel stops the running ffprobe; its completion never comes.
    EndFitCheck();
}

void COutputPage::HoldControls()
{
    heldControls_.clear();
    for (int id : kHeldControls) {
        heldControls_.emplace_back(id, IsDlgItemEnabled(id));
        EnableDlgItem(id, false);
    }
    UpdateRefreshButton();
}

void COutputPage::ReleaseControls()
{
    for (const auto& [id, enabled] : heldControls_)
        EnableDlgItem(id, enabled);
    heldControls_.clear();
    UpdateRefreshButton();
}

bool COutputPage::IsCheckingFit() const
{
    return fitJob_ != nullptr;
}

void COutputPage::EndCheckWith(const FitDecision& decision)
{
    // The job ends with this completion; it goes when the call returns.
    const std::unique_ptr<Job> finished = std::move(fitJob_);
    std::function<void(std::optional<VideoRunPlan>)> done = std::move(fitDone_);
    EndFitCheck();
    std::optional<VideoRunPlan> plan;
    if (Accepts(decision))
        plan = VideoRunPlan{decision.videoKbps, decision.estimateLine};
    if (done)
        done(std::move(plan));
}

void COutputPage::EndFitCheck()
{
    fitJob_.reset();
    fitDone_ = nullptr;
    if (fitCursorShown_) {
        EndWaitCursor();
        fitCursorShown_ = false;
    }
    if (HasWindow())
        ReleaseControls();
}

bool COutputPage::Accepts(const FitDecision& decision)
{
    switch (decision.action) {
    case FitAction::GoOn:
        return true;
    case FitAction::Ask:
        return Ui().MessageBox(this, decision.text, "", MB_YESNO | MB_ICONQUESTION) == IDYES;
    case FitAction::Refuse:
        AfxMessageBox(decision.text);
        return false;
    case FitAction::Stay:
        return false;
    }
    return false;
}
