#include "convert/CConvertPage.h"

#include "app/ConversionSettings.h"
#include "app/LogLine.h"
#include "convert/ConversionWorker.h"
#include "convert/ProgressParser.h"
#include "platform/UiThread.h"
#include "res/resource.h"

#include <cstdio>
#include <thread>

// One conversion run, shared by the page and its worker thread. The worker
// may outlive the page (the window can close at any time, and the UI thread
// never waits for it), so it reaches the page only through this record, on
// the UI thread, where the page's destruction also happens.
struct CConvertPage::Run final : ConversionView {
    explicit Run(CConvertPage* owner) : page(owner) {}

    // On the UI thread: the page shows no more of this run, and no completion
    // message comes from it.
    void Abandon()
    {
        page = nullptr;
        control.cancel = 1;
        control.runningEncoder.Stop();
    }

    void OnPage(const std::function<void(CConvertPage&)>& update)
    {
        SendToUi([this, &update] {
            if (page)
                update(*page);
        });
    }

    void ShowFile(const std::string& name, int number, int count) override
    {
        char counter[32];
        std::snprintf(counter, sizeof counter, "%d/%d", number, count);
        std::string text = counter;
        OnPage([&](CConvertPage& p) {
            p.SetDlgItemText(IDC_CONV_FILE_NAME, name);
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

    void AddLogLine(const std::string& text) override
    {
        OnPage([&](CConvertPage& p) { p.AddLogLine(text); });
    }

    CDialog* Owner() override { return page.load(); }

    void TransComplete() override
    {
        OnPage([](CConvertPage&) {
            if (CDialog* main = AfxGetMainWnd())
                main->PostMessage(WM_TRANS_COMPLETE, 0, 0);
        });
    }

    std::atomic<CConvertPage*> page;
    ConversionControl control;
};

CConvertPage::CConvertPage() : CWizardPage(IDD_CONVERT) {}

CConvertPage::~CConvertPage()
{
    StopRunningEncoder();
}

bool CConvertPage::OnInitDialog()
{
    ProgressSetRange(IDC_CONV_FILE_PROGRESS, 0, 100);
    ProgressSetRange(IDC_CONV_TOTAL_PROGRESS, 0, 100);
    return true;
}

void CConvertPage::EnterPage()
{
    // The wizard cannot enter the page again while it converts; should that
    // change, the older run must at least not feed this one's controls.
    StopRunningEncoder();
    ConversionSettings& settings = Settings();
    settings.succeededCount = 0;
    settings.convertedFiles.clear();
    run_ = std::make_shared<Run>(this);
    std::thread([run = run_] { AVI2MPEGFunc(Settings(), *run, run->control); }).detach();
    ShowWindow(true);
}

void CConvertPage::LeavePage()
{
    ShowWindow(false);
    ProgressSetPos(IDC_CONV_FILE_PROGRESS, 0);
    ProgressSetPos(IDC_CONV_TOTAL_PROGRESS, 0);
}

void CConvertPage::StopRunningEncoder()
{
    if (run_)
        run_->Abandon();
    run_.reset();
}

void CConvertPage::AddLogLine(const std::string& text)
{
    int index = ListAddString(IDC_CONV_LOG, FormatLogLineNow(text));
    ListSetCurSel(IDC_CONV_LOG, index);
}

void CConvertPage::OnCommand(int id, int notifyCode)
{
    if (id == IDC_CONV_CANCEL && notifyCode == BN_CLICKED) {
        if (run_)
            run_->control.cancel = 1;
        return;
    }
    CWizardPage::OnCommand(id, notifyCode);
}
