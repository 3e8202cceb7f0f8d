#include "burn/page/CBurnPage.h"

#include "core/ConversionSettings.h"
#include "core/Log.h"
#include "core/LogLine.h"
#include "burn/CDevice.h"
#include "platform/Job.h"
#include "platform/RunFolder.h"
#include "platform/UiSeam.h"
#include "platform/UiThread.h"
#include "res/resource.h"
#include "run/RunState.h"

#include <cstdio>

std::string CBurnPage::ElapsedText(std::chrono::steady_clock::duration elapsed)
{
    const long long seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
    char text[64];
    std::snprintf(text, sizeof text, "Elapsed time: %.2lld:%.2lld:%.2lld", seconds / 3600, (seconds / 60) % 60,
                  seconds % 60);
    return text;
}

// How the burn job reaches the page: each call is one send to the UI thread.
class CBurnPage::PageView final : public BurnView {
public:
    explicit PageView(CBurnPage& page) : page_(page) {}

    void AddBurnLogLine(const std::string& text) override
    {
        SendToUi([&] { page_.AddBurnLogLine(text); });
    }
    void ShowBurnStatus(const std::string& text) override
    {
        SendToUi([&] { page_.ShowBurnStatus(text); });
    }
    void ReplaceListEntry(int index, const std::string& path) override
    {
        SendToUi([&] {
            page_.ListDeleteString(IDC_BURN_LIST, index);
            page_.ListInsertString(IDC_BURN_LIST, index, path);
        });
    }
    void MessageBox(const std::string& text) override { AfxMessageBox(text); }
    void BeginBurnProgress() override
    {
        SendToUi([&] { page_.BeginBurnProgress(); });
    }

private:
    CBurnPage& page_;
};

CBurnPage::CBurnPage(RunState& run) : CWizardPage(IDD_BURN), run_(run), self_(std::make_shared<CBurnPage*>(this)) {}

CBurnPage::~CBurnPage()
{
    burnLog_.Remove();
    self_.reset();
    job_.reset();
}

bool CBurnPage::OnInitDialog()
{
    CWizardPage::OnInitDialog();
    ProgressSetRange(IDC_BURN_PROGRESS, 0, 100);
    // Not a stored setting: every start of the program verifies.
    CheckDlgButton(IDC_BURN_VERIFY, 1);
    // A line logged as the page goes may still be on its way: it is looked
    // up on the UI thread, where the page is destroyed, and once the windows
    // are gone the send fails at once.
    burnLog_ = AddLogListener(LOG_CHANNEL_BURN, [page = std::weak_ptr<CBurnPage*>(self_)](const LogEntry& entry) {
        SendToUi([&] {
            if (const std::shared_ptr<CBurnPage*> alive = page.lock())
                (*alive)->AddBurnLogLine(entry.text);
        });
    });
    return true;
}

void CBurnPage::EnterPage()
{
    busy_ = 0;
    const ConversionSettings& settings = run_.Settings();
    CheckDlgButton(IDC_BURN_OPC, settings.sendOpc ? 1 : 0);
    CheckDlgButton(IDC_BURN_EJECT, settings.ejectAfterBurn ? 1 : 0);
    CheckDlgButton(IDC_BURN_DELETE_TEMP, settings.deleteTempAfterBurn ? 1 : 0);
    FillBurnList();
    if (settings.allInOne)
        OnStartBurn();
    ShowWindow(true);
}

void CBurnPage::LeavePage()
{
    StoreOptions();
    ShowWindow(false);
}

void CBurnPage::StoreOptions()
{
    ConversionSettings& settings = run_.Settings();
    settings.sendOpc = IsDlgButtonChecked(IDC_BURN_OPC);
    settings.ejectAfterBurn = IsDlgButtonChecked(IDC_BURN_EJECT);
    settings.deleteTempAfterBurn = IsDlgButtonChecked(IDC_BURN_DELETE_TEMP);
}

void CBurnPage::FillBurnList()
{
    ConversionSettings& settings = run_.Settings();
    ListResetContent(IDC_BURN_LIST);
    if (settings.task == CT_VIDEO2DVD) {
        for (const std::string& file : settings.convertedFiles)
            ListAddString(IDC_BURN_LIST, file);
        return;
    }
    // Task 1 starts a run of its own here; an earlier run's files go.
    RunFolder::RemoveLater(run_.Jobs(), std::move(settings.workFolder));
    if (settings.task == CT_MPG2DVD && settings.sourcePaths) {
        for (int i = 0; i < settings.sourcePaths->GetCount(); ++i)
            ListAddString(IDC_BURN_LIST, settings.sourcePaths->GetText(i));
    }
}

std::vector<std::string> CBurnPage::BurnList() const
{
    std::vector<std::string> files;
    for (int i = 0; i < ListGetCount(IDC_BURN_LIST); ++i)
        files.push_back(ListGetText(IDC_BURN_LIST, i));
    return files;
}

void CBurnPage::AddBurnLogLine(const std::string& text)
{
    SendToUi([&] {
        const int row = ListAddString(IDC_BURN_LOG, FormatLogLineNow(text));
        ListSetCurSel(IDC_BURN_LOG, row);
    });
}

void CBurnPage::ShowBurnStatus(const std::string& text)
{
    SetDlgItemText(IDC_BURN_STATUS, text);
    AddBurnLogLine(text);
}

void CBurnPage::OnCommand(int id, int notifyCode)
{
    switch (id) {
    case IDC_BURN_START:
        OnStartBurn();
        return;
    case IDC_BURN_CLOSE:
        OnClose();
        return;
    default:
        CWizardPage::OnCommand(id, notifyCode);
    }
}

// The burn's data, copied here on the UI thread: the job works on it alone.
bool CBurnPage::PrepareBurn(BurnRequest& request)
{
    const ConversionSettings& settings = run_.Settings();
    std::shared_ptr<CDevice> device = run_.Recorders().At(settings.burnerIndex);
    if (!device) {
        AfxMessageBox("Please select device for burning DVD!");
        return false;
    }
    const SpeedList& speeds = run_.WriteSpeeds();
    if (settings.speedIndex < 0 || settings.speedIndex >= static_cast<int>(speeds.size())) {
        AfxMessageBox("Please select burn speed.");
        return false;
    }
    request.authoring.task = settings.task;
    request.authoring.outputFolder = settings.outputFolder;
    request.authoring.programFolder = settings.programFolder;
    request.authoring.files = BurnList();
    request.workFolder = settings.workFolder;
    request.deleteTempAfterBurn = IsDlgButtonChecked(IDC_BURN_DELETE_TEMP) != 0;
    BurnOptions& options = request.options;
    options.sendOpc = IsDlgButtonChecked(IDC_BURN_OPC) != 0;
    options.speed = speeds[static_cast<size_t>(settings.speedIndex)].speed;
    options.speedLabel = speeds[static_cast<size_t>(settings.speedIndex)].label;
    // At most 254 characters reach the disc.
    options.SetVolumeLabel(settings.discVolumeLabel.substr(0, BURN_VOLUME_LABEL_SIZE - 2));
    options.device = std::move(device);
    options.burnKind = BURN_KIND_DVDVIDEO;
    options.eject = IsDlgButtonChecked(IDC_BURN_EJECT) != 0;
    options.verify = IsDlgButtonChecked(IDC_BURN_VERIFY) != 0;
    return true;
}

void CBurnPage::OnStartBurn()
{
    StoreOptions();
    if (ListGetCount(IDC_BURN_LIST) == 0) {
        AfxMessageBox("No video file input! ");
        return;
    }
    if (busy_)
        return;
    BurnRequest request;
    if (!PrepareBurn(request))
        return;
    EnableDlgItem(IDC_BURN_START, false);
    EnableDlgItem(IDC_BURN_CLOSE, false);
    busy_ = 1;
    device_ = request.options.device;
    auto view = std::make_shared<PageView>(*this);
    job_ = run_.Jobs().Start<BurnOutcome>(
        "burn",
        [request, view](JobControl& control) { return BurnThread(request, *view, control); },
        [this](BurnOutcome outcome) { OnBurnDone(outcome); });
}

void CBurnPage::BeginBurnProgress()
{
    SetDlgItemText(IDC_BURN_ELAPSED, "");
    ShowDlgItem(IDC_BURN_ELAPSED, true);
    ProgressSetPos(IDC_BURN_PROGRESS, 0);
    ShowDlgItem(IDC_BURN_PROGRESS, true);
    // A monotonic clock: a clock change or a month's end cannot garble it.
    start_ = std::chrono::steady_clock::now();
    SetDlgItemText(IDC_BURN_PERCENT, "0%");
    ShowDlgItem(IDC_BURN_PERCENT, true);
    SetTimer(kProgressTimer, 1000);
}

void CBurnPage::OnTimer(int)
{
    SetDlgItemText(IDC_BURN_ELAPSED, ElapsedText(std::chrono::steady_clock::now() - start_));
    const int progress = device_ ? static_cast<int16_t>(device_->GetProgress()) : 0;
    ProgressSetPos(IDC_BURN_PROGRESS, progress);
    SetDlgItemText(IDC_BURN_PERCENT, std::to_string(progress) + "%");
}

void CBurnPage::OnBurnDone(const BurnOutcome& outcome)
{
    outcome_ = outcome;
    // Kept also after a failed authoring: Start Burn may be pressed again.
    if (outcome.workFolder)
        run_.Settings().workFolder = outcome.workFolder;
    if (!outcome.authored) {
        // Nothing was burnt: the page is usable again, and says why.
        RestoreIdle();
        ShowBurnStatus(outcome.result.Message());
        return;
    }
    PostMessage(WM_BURN_COMPLETE);
}

bool CBurnPage::OnMessage(unsigned message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_BURN_COMPLETE)
        return CWizardPage::OnMessage(message, wParam, lParam);
    OnBurnComplete();
    return true;
}

void CBurnPage::OnBurnComplete()
{
    ShowBurnStatus(outcome_.result ? "Complete!" : outcome_.result.Message());
    if (!outcome_.eject)
        AddBurnLogLine(outcome_.eject.Message());
    if (!outcome_.imagePath.empty())
        AddBurnLogLine("The DVD image is " + outcome_.imagePath);
    FinishBurn();
}

void CBurnPage::RestoreIdle()
{
    EnableDlgItem(IDC_BURN_START, true);
    EnableDlgItem(IDC_BURN_CLOSE, true);
    ShowProgressControls(false);
    KillTimer(kProgressTimer);
    busy_ = 0;
}

void CBurnPage::ShowProgressControls(bool show)
{
    ShowDlgItem(IDC_BURN_ELAPSED, show);
    ShowDlgItem(IDC_BURN_PROGRESS, show);
    ShowDlgItem(IDC_BURN_PERCENT, show);
}

void CBurnPage::FinishBurn()
{
    RestoreIdle();
    // A failed disc is not announced as complete.
    if (outcome_.result)
        Ui().MessageBox(this, "Burn complete!", std::string(), MB_OK | MB_ICONINFORMATION);
    else
        Ui().MessageBox(this, outcome_.result.Message(), std::string(), MB_OK | MB_ICONEXCLAMATION);
}

void CBurnPage::OnClose()
{
    // The run's copies and intermediate files are all in its work folder;
    // the user's own files are never there.
    RunFolder::RemoveLater(run_.Jobs(), std::move(run_.Settings().workFolder));
    if (CDialog* main = AfxGetMainWnd())
        main->PostMessage(WM_BURN_CLOSED);
}
