#include "settings/page/COutputPage.h"

#include "core/ConversionSettings.h"
#include "burn/CDevice.h"
#include "platform/Paths.h"
#include "platform/UiSeam.h"
#include "platform/WaitCursor.h"
#include "res/resource.h"
#include "run/RunState.h"
#include "settings/BurnerLists.h"
#include "settings/OutputFolder.h"

namespace {

// The burn page copies the label into a buffer of 255 bytes.
constexpr int kVolumeLabelLimit = 254;

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

} // namespace

COutputPage::COutputPage(RunState& run) : CWizardPage(IDD_OUTPUT), run_(run) {}

COutputPage::~COutputPage()
{
    EndFilling();
    EndFitCheck();
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
    ConversionSettings& settings = run_.Settings();
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
    ConversionSettings& settings = run_.Settings();
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
    BeginWaitCursor();
    waitCursorShown_ = true;
    // The library and the list outlive every job of the run.
    fillJob_ = run_.Jobs().Start<BurnerLists>(
        "recorder search",
        [&library = run_.Recorder(), &list = run_.Recorders()](JobControl&) { return SearchBurners(library, list); },
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
    FillSpeedList();
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
    const std::shared_ptr<CDevice> recorder = SelectedRecorder();
    SpeedList& speeds = run_.WriteSpeeds();
    speeds = recorder ? recorder->GetWriteSpeeds() : SpeedList();
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
