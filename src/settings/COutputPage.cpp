#include "settings/COutputPage.h"

#include "app/ConversionSettings.h"
#include "platform/Paths.h"
#include "platform/UiSeam.h"
#include "res/resource.h"

namespace {

// The folder used when the page is left with an empty folder text.
const char* const kFallbackFolder = "C:\\";

} // namespace

COutputPage::COutputPage() : CWizardPage(IDD_OUTPUT) {}

void COutputPage::EnterPage()
{
    ConversionSettings& settings = Settings();
    LayOutForTask(settings.task);
    if (settings.useTempFolder)
        settings.outputFolder = GetTempFolder();

    SetDlgItemText(IDC_OUT_FOLDER, settings.outputFolder);
    CheckDlgButton(IDC_OUT_SAME_AS_SOURCE, settings.sameAsSource ? 1 : 0);
    CheckDlgButton(IDC_OUT_USE_TEMP, settings.useTempFolder ? 1 : 0);
    CheckDlgButton(IDC_OUT_OVERWRITE, settings.overwriteExisting ? 1 : 0);
    CheckDlgButton(IDC_OUT_ALL_IN_ONE, settings.allInOne ? 1 : 0);
    ListSetCurSel(IDC_OUT_FORMAT, settings.outputFormat);
    ListSetCurSel(IDC_OUT_TV_SYSTEM, settings.tvSystem);
    SetDlgItemText(IDC_OUT_VOLUME_LABEL, settings.discVolumeLabel);
    ListSetCurSel(IDC_OUT_BURNER, settings.burnerIndex < ListGetCount(IDC_OUT_BURNER) ? settings.burnerIndex : -1);
    ListSetCurSel(IDC_OUT_SPEED, settings.speedIndex < ListGetCount(IDC_OUT_SPEED) ? settings.speedIndex : -1);

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
    settings.outputFolder = folder.empty() ? kFallbackFolder : folder;
    // A list without a selection keeps the stored row rather than -1, which
    // would name no format at all.
    if (int format = ListGetCurSel(IDC_OUT_FORMAT); format >= 0)
        settings.outputFormat = format;
    if (int tv = ListGetCurSel(IDC_OUT_TV_SYSTEM); tv >= 0)
        settings.tvSystem = tv;
    settings.allInOne = IsDlgButtonChecked(IDC_OUT_ALL_IN_ONE);
    settings.discVolumeLabel = GetDlgItemText(IDC_OUT_VOLUME_LABEL);
    settings.burnerIndex = ListGetCurSel(IDC_OUT_BURNER);
    settings.speedIndex = ListGetCurSel(IDC_OUT_SPEED);
    ShowWindow(false);
}

int COutputPage::CheckBurnerReady()
{
    return 1;
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
    default:
        CWizardPage::OnCommand(id, notifyCode);
    }
}

void COutputPage::OnBrowse()
{
    auto folder = Ui().BrowseForFolder(this, "Select Destination Path:");
    if (!folder || folder->empty())
        return;
    std::string path = *folder;
    if (path.back() != kPathSeparator)
        path += kPathSeparator;
    SetDlgItemText(IDC_OUT_FOLDER, path);
}

void COutputPage::LayOutForTask(int task)
{
    const bool burns = task == CT_VIDEO2DVD || task == CT_MPG2DVD;
    ShowDlgItem(IDC_OUT_FORMAT, !burns);
    ShowDlgItem(IDC_OUT_TV_SYSTEM, burns);
    ShowDlgItem(IDC_OUT_DVD_PANEL, !burns);
    for (int id : {IDC_OUT_BURNER, IDC_OUT_SPEED, IDC_OUT_ALL_IN_ONE, IDC_OUT_VOLUME_LABEL, IDC_OUT_REFRESH})
        EnableDlgItem(id, burns);
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
