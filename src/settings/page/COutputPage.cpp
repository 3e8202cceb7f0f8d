#include "settings/page/COutputPage.h"

#include "core/ConversionSettings.h"
#include "burn/CDevice.h"
#include "convert/ConversionRequest.h"
#include "convert/DiscFit.h"
#include "convert/DurationProbe.h"
#include "platform/Job.h"
#include "platform/Paths.h"
#include "platform/UiSeam.h"
#include "platform/WaitCursor.h"
#include "recorder/DiscTypes.h"
#include "res/resource.h"
#include "settings/BurnerLists.h"
#include "settings/OutputFolder.h"

namespace {

// The burn page copies the label into a buffer of 255 bytes.
constexpr int kVolumeLabelLimit = 254;

// Written and read on the UI thread only.
SpeedList& SharedWriteSpeeds()
{
    static SpeedList speeds;
    return speeds;
}

bool IsUnsupportedDisc(int discType)
{
    return discType == DISC_TYPE_DVDROM || discType == DISC_TYPE_UNSUPPORTED || discType < DISC_TYPE_CDR ||
           discType > DISC_TYPE_DVD_DL;
}

// Cuts at a character boundary, so a label in UTF-8 stays valid text.
std::string CutToBytes(const std::string& text, size_t limit)
{
    if (text.size() <= limit)
        return text;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

// Everything LeavePage reads, held still while the disc is checked, so that
// the run gets the recorder and settings the check saw. Refresh follows its
// own rule.
constexpr int kHeldControls[] = {IDC_OUT_FOLDER,    IDC_OUT_BROWSE,    IDC_OUT_SAME_AS_SOURCE, IDC_OUT_USE_TEMP,
                                 IDC_OUT_OVERWRITE, IDC_OUT_ALL_IN_ONE, IDC_OUT_FORMAT,        IDC_OUT_TV_SYSTEM,
                                 IDC_OUT_VOLUME_LABEL, IDC_OUT_BURNER, IDC_OUT_SPEED};

} // namespace

COutputPage::COutputPage() : CWizardPage(IDD_OUTPUT) {}

COutputPage::~COutputPage()
{
    EndFilling();
    EndFitCheck();
}

const SpeedList& COutputPage::WriteSpeeds()
{
    return SharedWriteSpeeds();
}

bool COutputPage::OnInitDialog()
{
    SetDlgItemTextLimit(IDC_OUT_VOLUME_LABEL, kVolumeLabelLimit);
    SetDlgItemOpaque(IDC_OUT_DVD_PANEL);
    FillBurnerLists();
    return true;
}

void COutputPage::OnDestroy()
{
    EndFilling();
    EndFitCheck();
}

void COutputPage::EnterPage()
{
    ConversionSettings& settings = Settings();
    LayOutForTask(settings.task);
    if (settings.useTempFolder)
        settings.outputFolder = GetTempFolder();

    SetDlgItemText(IDC_OUT_FOLDER, ShownOutputFolder(settings.outputFolder));
    CheckDlgButton(IDC_OUT_SAME_AS_SOURCE, settings.sameAsSource ? 1 : 0);
    CheckDlgButton(IDC_OUT_USE_TEMP, settings.useTempFolder ? 1 : 0);
    CheckDlgButton(IDC_OUT_OVERWRITE, settings.overwriteExisting ? 1 : 0);
    CheckDlgButton(IDC_OUT_ALL_IN_ONE, settings.allInOne ? 1 : 0);
    ListSetCurSel(IDC_OUT_FORMAT, settings.outputFormat);
    ListSetCurSel(IDC_OUT_TV_SYSTEM, settings.tvSystem);
    SetDlgItemText(IDC_OUT_VOLUME_LABEL, settings.discVolumeLabel);
    ListSetCurSel(IDC_OUT_BURNER, settings.burnerIndex < ListGetCount(IDC_OUT_BURNER) ? settings.burnerIndex : -1);
    ListSetCurSel(IDC_OUT_SPEED, settings.speedIndex < ListGetCount(IDC_OUT_SPEED) ? settings.speedIndex : -1);
    // A search still running selects the stored recorder once its rows exist.
    wantedRecorder_ = settings.burnerIndex;

    ApplySameAsSourceRule();
    ApplyTempFolderRule();
    ShowWindow(true);
}

void COutputPage::LeavePage()
{
    ConversionSettings& settings = Settings();
    settings.overwriteExisting = IsDlgButtonChecked(IDC_OUT_OVERWRITE);
    settings.sameAsSource = IsDlgButtonChecked(IDC_OUT_SAME_AS_SOURCE);
    settings.useTempFolder = IsDlgButtonChecked(IDC_OUT_USE_TEMP);
    std::string folder = GetDlgItemText(IDC_OUT_FOLDER);
    settings.outputFolder = folder.empty() ? FallbackOutputFolder() : folder;
    // A list without a selection keeps the stored row rather than -1, which
    // would name no format at all.
    if (int format = ListGetCurSel(IDC_OUT_FORMAT); format >= 0)
        settings.outputFormat = format;
    if (int tv = ListGetCurSel(IDC_OUT_TV_SYSTEM); tv >= 0)
        settings.tvSystem = tv;
    settings.allInOne = IsDlgButtonChecked(IDC_OUT_ALL_IN_ONE);
    settings.discVolumeLabel = CutToBytes(GetDlgItemText(IDC_OUT_VOLUME_LABEL), kVolumeLabelLimit);
    settings.burnerIndex = ListGetCurSel(IDC_OUT_BURNER);
    settings.speedIndex = ListGetCurSel(IDC_OUT_SPEED);
    ShowWindow(false);
}

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
    const ConversionRequest request = ConversionRequest::From(Settings());
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
    const std::vector<SourceFile> sources = ConversionRequest::From(Settings()).sources;
    const int titles = static_cast<int>(sources.size());
    fitDone_ = std::move(done);
    BeginWaitCursor();
    fitCursorShown_ = true;
    fitJob_ = Job::Start<DurationSurvey>(
        "disc estimate", [sources](JobControl& control) { return ProbeDurations(sources, &control); },
        [this, titles, capacity, imageFile](DurationSurvey survey) {
            OnDurationsRead(survey, titles, capacity, imageFile);
        });
    HoldControls();
    return true;
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

void COutputPage::OnDurationsRead(const DurationSurvey& survey, int titles, int64_t capacity, bool imageFile)
{
    // The job ends with this completion; it goes when the call returns.
    const std::unique_ptr<Job> finished = std::move(fitJob_);
    std::function<void(std::optional<VideoRunPlan>)> done = std::move(fitDone_);
    EndFitCheck();
    const FitDecision decision = DecideVideoFit(survey, titles, capacity, imageFile);
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

void COutputPage::OnCommand(int id, int notifyCode)
{
    switch (id) {
    case IDC_OUT_BROWSE:
        OnBrowse();
        return;
    case IDC_OUT_SAME_AS_SOURCE:
        ApplySameAsSourceRule();
        return;
    case IDC_OUT_USE_TEMP:
        ApplyTempFolderRule();
        return;
    case IDC_OUT_REFRESH:
        if (notifyCode == BN_CLICKED)
            FillBurnerLists();
        return;
    case IDC_OUT_BURNER:
        if (notifyCode == CBN_SELCHANGE) {
            wantedRecorder_ = ListGetCurSel(IDC_OUT_BURNER);
            FillSpeedList();
        }
        return;
    default:
        CWizardPage::OnCommand(id, notifyCode);
    }
}

void COutputPage::OnBrowse()
{
    auto folder = Ui().BrowseForFolder(this, "Select Destination Path:");
    if (!folder || folder->empty())
        return;
    SetDlgItemText(IDC_OUT_FOLDER, WithTrailingSeparator(*folder));
}

void COutputPage::FillBurnerLists()
{
    // A request while a search runs is dropped: the running one reads
    // everything anew.
    if (fillJob_)
        return;
    const int selected = ListGetCurSel(IDC_OUT_BURNER);
    const int wanted = selected >= 0 ? selected : wantedRecorder_;
    BeginWaitCursor();
    waitCursorShown_ = true;
    fillJob_ = Job::Start<BurnerLists>(
        "recorder search", [wanted](JobControl&) { return SearchBurners(wanted); },
        [this](BurnerLists lists) { OnBurnerListsFilled(std::move(lists)); });
    UpdateRefreshButton();
}

bool COutputPage::IsFillingBurnerLists() const
{
    return fillJob_ != nullptr;
}

void COutputPage::OnBurnerListsFilled(BurnerLists lists)
{
    // The job ends with this completion; it goes when the call returns.
    const std::unique_ptr<Job> finished = std::move(fillJob_);
    EndFilling();
    // A search that was running when Next was pressed replaces the records
    // the check was for: the check ends, and the next Next checks anew.
    if (fitJob_) {
        std::function<void(std::optional<VideoRunPlan>)> done = std::move(fitDone_);
        EndFitCheck();
        if (done)
            done(std::nullopt);
    }

    recorders_ = std::move(lists.devices);
    ListResetContent(IDC_OUT_BURNER);
    for (const std::string& row : lists.rows)
        ListAddString(IDC_OUT_BURNER, row);
    const int count = static_cast<int>(recorders_.size());
    if (count == 0)
        return;
    const int row = wantedRecorder_ >= 0 && wantedRecorder_ < count ? wantedRecorder_ : 0;
    ListSetCurSel(IDC_OUT_BURNER, row);
    if (row == lists.speedRow)
        ShowSpeeds(lists.speeds);
    else
        FillSpeedList(); // the user chose another recorder while the search ran
}

void COutputPage::EndFilling()
{
    fillJob_.reset();
    if (waitCursorShown_) {
        EndWaitCursor();
        waitCursorShown_ = false;
    }
    if (HasWindow())
        UpdateRefreshButton();
}

void COutputPage::FillSpeedList()
{
    SpeedList speeds;
    if (const std::shared_ptr<CDevice> recorder = SelectedRecorder())
        recorder->GetWriteSpeeds(speeds);
    ShowSpeeds(speeds);
}

void COutputPage::ShowSpeeds(const SpeedList& speeds)
{
    SharedWriteSpeeds() = speeds;
    ListResetContent(IDC_OUT_SPEED);
    for (const SpeedEntry& entry : speeds)
        ListAddString(IDC_OUT_SPEED, entry.label);
    if (!speeds.empty())
        ListSetCurSel(IDC_OUT_SPEED, static_cast<int>(speeds.size()) - 1);
}

std::shared_ptr<CDevice> COutputPage::SelectedRecorder() const
{
    const int row = ListGetCurSel(IDC_OUT_BURNER);
    if (row < 0 || static_cast<size_t>(row) >= recorders_.size())
        return nullptr;
    return recorders_[row];
}

void COutputPage::UpdateRefreshButton()
{
    // Pressing Refresh during a search would do nothing; a grey button says
    // so. During the disc check the recorders stay as they were checked.
    EnableDlgItem(IDC_OUT_REFRESH, burnsLayout_ && !fillJob_ && !fitJob_);
}

void COutputPage::LayOutForTask(int task)
{
    burnsLayout_ = task == CT_VIDEO2DVD || task == CT_MPG2DVD;
    ShowDlgItem(IDC_OUT_FORMAT, !burnsLayout_);
    ShowDlgItem(IDC_OUT_TV_SYSTEM, burnsLayout_);
    ShowDlgItem(IDC_OUT_DVD_PANEL, !burnsLayout_);
    for (int id : {IDC_OUT_BURNER, IDC_OUT_SPEED, IDC_OUT_ALL_IN_ONE, IDC_OUT_VOLUME_LABEL})
        EnableDlgItem(id, burnsLayout_);
    UpdateRefreshButton();
}

void COutputPage::SetFolderEditable(bool editable)
{
    EnableDlgItem(IDC_OUT_BROWSE, editable);
    EnableDlgItem(IDC_OUT_FOLDER, editable);
}

void COutputPage::ApplySameAsSourceRule()
{
    SetFolderEditable(!IsDlgButtonChecked(IDC_OUT_SAME_AS_SOURCE));
}

void COutputPage::ApplyTempFolderRule()
{
    const bool useTemp = IsDlgButtonChecked(IDC_OUT_USE_TEMP);
    SetFolderEditable(!useTemp);
    if (useTemp)
        SetDlgItemText(IDC_OUT_FOLDER, GetTempFolder());
}
