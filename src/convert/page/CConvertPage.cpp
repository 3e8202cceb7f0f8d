#include "convert/page/CConvertPage.h"

#include "core/ConversionSettings.h"
#include "core/LogLine.h"
#include "convert/ConversionWorker.h"
#include "convert/ProgressParser.h"
#include "platform/Job.h"
#include "platform/JobQuestions.h"
#include "platform/RunFolder.h"
#include "platform/UiThread.h"
#include "res/resource.h"
#include "run/RunState.h"

#include <cstdio>
#include <utility>

// How one run's worker reaches the page. A run the page has let go of (the
// page was entered again, or is going away) shows nothing more; that is
// decided on the UI thread, where the page also goes away.
class CConvertPage::RunView final : public ConversionView {
public:
    explicit RunView(CConvertPage* page) : page_(page), questions_(page) {}

    void Drop() { page_ = nullptr; }

    void ShowFile(const std::string& names, int number, int count) override
    {
        char counter[32];
        std::snprintf(counter, sizeof counter, "%d/%d", number, count);
        const std::string text = counter;
        OnPage([&](CConvertPage& p) {
            p.SetDlgItemText(IDC_CONV_FILE_NAME, names);
            p.SetDlgItemText(IDC_CONV_COUNT, text);
        });
    }

    void ShowPercent(int percent) override
    {
        OnPage([&](CConvertPage& p) {
            p.ProgressSetPos(IDC_CONV_FILE_PROGRESS, percent);
            p.SetDlgItemText(IDC_CONV_PERCENT, PercentText(percent));
        });
    }

    void ShowTotal(int percent) override
    {
        OnPage([&](CConvertPage& p) { p.ProgressSetPos(IDC_CONV_TOTAL_PROGRESS, percent); });
    }

    void AddLogLine(const std::string& text) override
    {
        OnPage([&](CConvertPage& p) { p.AddLogLine(text); });
    }

    JobQuestions& Questions() override { return questions_; }

private:
    template <class Fn>
    void OnPage(Fn&& update)
    {
        SendToUi([&] {
            if (page_)
                update(*page_);
        });
    }

    CConvertPage* page_; // read and cleared on the UI thread only
    SeamQuestions questions_;
};

CConvertPage::CConvertPage(RunState& run) : CWizardPage(IDD_CONVERT), run_(run) {}

CConvertPage::~CConvertPage()
{
    DropRun();
}

bool CConvertPage::OnInitDialog()
{
    ProgressSetRange(IDC_CONV_FILE_PROGRESS, 0, 100);
    ProgressSetRange(IDC_CONV_TOTAL_PROGRESS, 0, 100);
    return true;
}

void CConvertPage::EnterPage()
{
    // The wizard cannot enter the page while it converts; should that
    // change, the older run must at least not feed this one's controls.
    DropRun();
    ConversionSettings& settings = run_.Settings();
    settings.succeededCount = 0;
    settings.convertedFiles.clear();
    RunFolder::RemoveLater(run_.Jobs(), std::move(settings.workFolder));
    ConversionRequest request = ConversionRequest::From(settings);
    request.videoKbps = std::exchange(nextVideoKbps_, 0);
    request.estimateLine = std::exchange(nextEstimateLine_, std::string());
    view_ = std::make_shared<RunView>(this);
    converting_ = true;
    job_ = run_.Jobs().Start<ConversionResult>(
        "conversion",
        [request, view = view_](JobControl& control) { return AVI2MPEGFunc(request, *view, &control); },
        [this, task = request.task](ConversionResult result) { OnConversionDone(result, task); });
    ShowWindow(true);
}

void CConvertPage::OnConversionDone(const ConversionResult& result, int task)
{
    converting_ = false;
    ConversionSettings& settings = run_.Settings();
    settings.succeededCount = result.succeededCount;
    settings.convertedFiles = result.convertedFiles;
    settings.workFolder = result.workFolder;
    // Burning existing MPEG files converts nothing and moves on by itself.
    if (task == CT_MPG2DVD)
        return;
    if (CDialog* main = AfxGetMainWnd())
        main->PostMessage(WM_TRANS_COMPLETE, 0, 0);
}

void CConvertPage::SetNextRunRate(int videoKbps, const std::string& estimateLine)
{
    nextVideoKbps_ = videoKbps;
    nextEstimateLine_ = estimateLine;
}

void CConvertPage::LeavePage()
{
    ShowWindow(false);
    ProgressSetPos(IDC_CONV_FILE_PROGRESS, 0);
    ProgressSetPos(IDC_CONV_TOTAL_PROGRESS, 0);
}

void CConvertPage::CancelConversion()
{
    if (job_)
        job_->Cancel();
}

void CConvertPage::DropRun()
{
    if (view_)
        view_->Drop();
    view_.reset();
    job_.reset();
    converting_ = false;
}

void CConvertPage::AddLogLine(const std::string& text)
{
    int index = ListAddString(IDC_CONV_LOG, FormatLogLineNow(text));
    ListSetCurSel(IDC_CONV_LOG, index);
}

void CConvertPage::OnCommand(int id, int notifyCode)
{
    if (id == IDC_CONV_CANCEL && notifyCode == BN_CLICKED) {
        CancelConversion();
        return;
    }
    CWizardPage::OnCommand(id, notifyCode);
}
