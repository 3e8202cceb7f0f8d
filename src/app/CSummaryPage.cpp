#include "app/CSummaryPage.h"

#include "app/ConversionSettings.h"
#include "burn/CDevice.h"
#include "burn/DeviceList.h"
#include "platform/Paths.h"
#include "res/resource.h"

CSummaryPage::CSummaryPage() : CWizardPage(IDD_SUMMARY) {}

std::string CSummaryPage::OutputFolderText()
{
    const ConversionSettings& settings = Settings();
    if (settings.sameAsSource && settings.sourcePaths && settings.sourcePaths->GetCount() > 0)
        return FolderOf(settings.sourcePaths->GetText(0));
    return settings.outputFolder;
}

void CSummaryPage::EnterPage()
{
    const ConversionSettings& settings = Settings();
    const int total = settings.sourcePaths ? settings.sourcePaths->GetCount() : 0;
    SetDlgItemText(IDC_SUM_TOTAL, std::to_string(total));
    SetDlgItemText(IDC_SUM_SUCCEEDED, std::to_string(settings.task == CT_MPG2DVD ? total : settings.succeededCount));
    SetDlgItemText(IDC_SUM_FOLDER, OutputFolderText());
    const bool burns = settings.task == CT_VIDEO2DVD || settings.task == CT_MPG2DVD;
    if (burns)
        Devices().WithDevice(settings.burnerIndex, [this](const CDevice& device) {
            SetDlgItemText(IDC_SUM_BURNER, RecorderText(device));
        });
    ShowRecorder(burns);
    ShowWindow(true);
}

std::string CSummaryPage::RecorderText(const CDevice& device)
{
    // The unmatched ")" is the recorder's row text as the output page lists it.
    return "[" + device.GetDeviceName() + "]" + device.GetProductId() + "-" + device.GetVendorId() + ")";
}

void CSummaryPage::LeavePage()
{
    ShowWindow(false);
}

void CSummaryPage::ShowRecorder(bool show)
{
    ShowDlgItem(IDC_SUM_BURNER, show);
    ShowDlgItem(IDC_SUM_BURNER_LABEL, show);
}
