#include "burn/BurnRun.h"

#include "burn/CDevice.h"
#include "platform/Job.h"
#include "platform/Paths.h"
#include "platform/RunFolder.h"
#include "recorder/ImageFileRecorder.h"

namespace {

// Passes everything on to the page and keeps the authoring's own word on
// why it failed.
class FailureWatch final : public BurnView {
public:
    explicit FailureWatch(BurnView& page) : page_(page) {}

    void AddBurnLogLine(const std::string& text) override
    {
        if (text.rfind("Authoring failed", 0) == 0)
            failure = text;
        page_.AddBurnLogLine(text);
    }
    void ShowBurnStatus(const std::string& text) override { page_.ShowBurnStatus(text); }
    void ReplaceListEntry(int index, const std::string& path) override { page_.ReplaceListEntry(index, path); }
    void MessageBox(const std::string& text) override { page_.MessageBox(text); }
    void BeginBurnProgress() override { page_.BeginBurnProgress(); }

    std::string failure;

private:
    BurnView& page_;
};

bool Burn(BurnOptions& options, JobControl& control)
{
    CDevice& device = *options.device;
    // A stop asked for meanwhile (the program is closing) ends the write.
    CancelHookGuard stop(&control, [&device] { device.CancelBurn(); });
    if (control.Cancelled())
        return false;
    switch (options.burnKind) {
    case BURN_KIND_VIDEOCD:
        return device.BurnVideoCD(options, options.treePath);
    case BURN_KIND_SUPERVIDEOCD:
        return device.BurnSuperVideoCD(options, options.treePath);
    default:
        return device.BurnDVDVideo(options, options.treePath);
    }
}

// The run's own folder, or a new one; nullptr after telling why.
std::shared_ptr<RunFolder> WorkFolderFor(const BurnRequest& request, BurnView& view, std::string* failure)
{
    if (request.workFolder)
        return request.workFolder;
    std::string error;
    std::shared_ptr<RunFolder> folder = RunFolder::Create(request.authoring.outputFolder, &error);
    if (!folder) {
        view.AddBurnLogLine(error);
        *failure = "Authoring failed: " + error;
    }
    return folder;
}

// The image stays held, so that no other run replaces it, until the run's
// folder goes.
void KeepImage(CDevice& device, RunFolder& folder, BurnView& view, BurnOutcome& outcome)
{
    WrittenImage image = device.TakeWrittenImage();
    if (!image.note.empty())
        view.AddBurnLogLine(image.note);
    outcome.imagePath = image.path;
    folder.Hold(image.holdFd);
}

} // namespace

bool WritesImageFiles(const CDevice& device)
{
    return device.GetAddress().port == ImageFileRecorder::kPort;
}

BurnOutcome BurnThread(BurnRequest request, BurnView& page, JobControl& control)
{
    BurnOutcome outcome;
    FailureWatch view(page);
    outcome.files = request.authoring.files;
    outcome.workFolder = WorkFolderFor(request, view, &outcome.failure);
    if (!outcome.workFolder)
        return outcome;
    RunFolder& folder = *outcome.workFolder;
    if (!WriteAuthoringFiles(request.authoring, folder, view, outcome.paths, outcome.files)) {
        outcome.failure = "Authoring failed: the authoring files could not be written";
        return outcome;
    }
    // The menu names the user's videos, not the copies or converted files.
    std::vector<std::string> sources;
    for (const std::string& file : outcome.files) {
        const std::string source = folder.SourceOf(file);
        sources.push_back(source.empty() ? file : source);
    }
    const MenuTexts texts = MenuTextsFor(request.options.VolumeLabel(), sources);
    if (!RunAuthoringBatch(outcome.paths, view, &control, &texts)) {
        outcome.failure = view.failure.empty() ? "Authoring failed" : view.failure;
        // A try again starts clean; the copies stay for it.
        folder.RemoveEntry(kAuthoringFolderName);
        return outcome;
    }
    outcome.authored = true;

    BurnOptions& options = request.options;
    options.treePath = outcome.paths.folder + kPathSeparator + "VIDEO_TS";
    options.imageFolder = request.authoring.outputFolder;
    view.BeginBurnProgress();
    view.AddBurnLogLine("Burning...");
    view.ShowBurnStatus("Burning...");
    outcome.burnt = Burn(options, control);
    // Also after a failed burn: the user takes the disc out either way.
    if (options.eject)
        options.device->Eject();
    if (outcome.burnt && WritesImageFiles(*options.device))
        KeepImage(*options.device, folder, view, outcome);
    if (request.deleteTempAfterBurn) {
        folder.RemoveEntry(kAuthoringBatchName);
        folder.RemoveEntry(kAuthoringXmlName);
    }
    return outcome;
}
