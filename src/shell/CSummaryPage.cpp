#include "shell/CSummaryPage.h"

#include "core/ConversionSettings.h"
#include "burn/BurnRun.h"
#include "burn/CDevice.h"
#include "platform/MountTable.h"
#include "platform/Paths.h"
#include "res/resource.h"
#include "run/RunState.h"

#include <optional>

CSummaryPage::CSummaryPage(RunState& run) : CWizardPage(IDD_SUMMARY), run_(run) {}

bool CSummaryPage::OnInitDialog()
{
    CWizardPage::OnInitDialog();
    recorderLink_.SubclassDlgItem(IDC_SUM_BURNER, this);
    folderLink_.SubclassDlgItem(IDC_SUM_FOLDER, this);
    return true;
}

std::string CSummaryPage::OutputFolderText() const
{
    const ConversionSettings& settings = run_.Settings();
    if (settings.sameAsSource && settings.sourcePaths && settings.sourcePaths->GetCount() > 0)
        return FolderOf(settings.sourcePaths->GetText(0));
    return settings.outputFolder;
}

void CSummaryPage::EnterPage()
{
    const ConversionSettings& settings = run_.Settings();
    const int total = settings.sourcePaths ? settings.sourcePaths->GetCount() : 0;
    SetDlgItemText(IDC_SUM_TOTAL, std::to_string(total));
    SetDlgItemText(IDC_SUM_SUCCEEDED, std::to_string(settings.task == CT_MPG2DVD ? total : settings.succeededCount));
    const std::string folder = OutputFolderText();
    SetDlgItemText(IDC_SUM_FOLDER, folder);
    folderLink_.SetLinkTarget(folder);

    const bool burns = settings.task == CT_VIDEO2DVD || settings.task == CT_MPG2DVD;
    if (burns) {
        // Only copies here: the texts are set once the record is let go.
        std::optional<RecorderFacts> facts;
        bool imageFiles = false;
        run_.Recorders().WithDevice(settings.burnerIndex, [&](const CDevice& device) {
            facts = device.GetFacts();
            imageFiles = WritesImageFiles(device);
        });
        // Without a recorder the line is a plain "-": nothing to open.
        SetDlgItemText(IDC_SUM_BURNER, facts ? RecorderText(*facts) : "-");
        recorderLink_.SetLinkTarget(facts ? RecorderTarget(*facts, imageFiles, settings.outputFolder) : "");
    }
    ShowRecorder(burns);
    ShowWindow(true);
}

std::string CSummaryPage::RecorderText(const CDevice& device)
{
    return RecorderText(device.GetFacts());
}

std::string CSummaryPage::RecorderText(const RecorderFacts& facts)
{
    // The unmatched ")" is the recorder's row text as the output page lists it.
    return "[" + facts.driveName + "]" + facts.product + "-" + facts.vendor + ")";
}

std::string CSummaryPage::RecorderTarget(const RecorderFacts& facts, bool writesImageFiles,
                                         const std::string& outputFolder)
{
    // The image lands beside the authoring folder, in the output folder.
    if (writesImageFiles)
        return outputFolder;
    return DriveRootFolder(facts.driveName);
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
