#pragma once
// The last page: how many sources there were, how many were converted,
// where the outputs went and which recorder was used, the last two as links
// that open the folder and the drive.

#include "core/CWizardPage.h"
#include "widgets/CLinkStatic.h"

#include <string>

class CDevice;
struct RecorderFacts;
class RunState;

class CSummaryPage : public CWizardPage {
public:
    explicit CSummaryPage(RunState& run);

    void EnterPage() override;
    void LeavePage() override;

    // The folder the outputs went to, as the page shows it.
    std::string OutputFolderText() const;
    // "[drive]product-vendor)"
    static std::string RecorderText(const CDevice& device);
    static std::string RecorderText(const RecorderFacts& facts);
    // What the recorder link opens: the disc's mount point or the folder of
    // the drive; for the image-file recorder, the output folder, where the
    // image went.
    static std::string RecorderTarget(const RecorderFacts& facts, bool writesImageFiles,
                                      const std::string& outputFolder);

    CLinkStatic& FolderLink() { return folderLink_; }
    CLinkStatic& RecorderLink() { return recorderLink_; }

protected:
    bool OnInitDialog() override;

private:
    RunState& run_;
    void ShowRecorder(bool show);

    CLinkStatic recorderLink_;
    CLinkStatic folderLink_;
};
