#include "burn/BurnRun.h"

#include "burn/CDevice.h"
#include "platform/Job.h"
#include "platform/Paths.h"
#include "platform/RunFolder.h"
#include "recorder/ImageFileRecorder.h"

namespace {

StepResult BurnKind(CDevice& device, BurnOptions& options)
{
    switch (options.burnKind) {
    case BURN_KIND_VIDEOCD:
        return device.BurnVideoCD(options, options.treePath);
    case BURN_KIND_SUPERVIDEOCD:
        return device.BurnSuperVideoCD(options, options.treePath);
    default:
        return device.BurnDVDVideo(options, options.treePath);
    }
}

StepResult Burn(BurnOptions& options, JobControl& control)
{
    CDevice& device = *options.device;
    // A stop asked for meanwhile (the program is closing) ends the write.
    CancelHookGuard stop(&control, [&device] { device.CancelBurn(); });
    options.stopRequested = [&control] { return control.Cancelled(); };
    StepResult burnt = BurnKind(device, options);
    // The options outlive this job's control.
    options.stopRequested = nullptr;
    return burnt;
}

// The run's own folder, or a new one; nullptr with the cause.
std::shared_ptr<RunFolder> WorkFolderFor(const BurnRequest& request, StepResult& result)
{
    if (request.workFolder)
        return request.workFolder;
    std::string error;
    std::shared_ptr<RunFolder> folder = RunFolder::Create(request.authoring.outputFolder, &error);
    if (!folder)
        result = StepResult::Failed("Authoring", error);
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

BurnOutcome BurnThread(BurnRequest request, BurnView& view, JobControl& control)
{
    BurnOutcome outcome;
    outcome.files = request.authoring.files;
    outcome.workFolder = WorkFolderFor(request, outcome.result);
    if (!outcome.workFolder)
        return outcome;
    RunFolder& folder = *outcome.workFolder;
    outcome.result = WriteAuthoringFiles(request.authoring, folder, view, outcome.paths, outcome.files);
    if (!outcome.result)
        return outcome;
    // The menu names the user's videos, not the copies or converted files.
    std::vector<std::string> sources;
    for (const std::string& file : outcome.files) {
        const std::string source = folder.SourceOf(file);
        sources.push_back(source.empty() ? file : source);
    }
    const MenuTexts texts = MenuTextsFor(request.options.VolumeLabel(), sources);
    outcome.result = RunAuthoringBatch(outcome.paths, view, &control, &texts);
    if (!outcome.result) {
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
    outcome.result = Burn(options, control);
    // Also after a failed burn: the user takes the disc out either way.
    if (options.eject)
        outcome.eject = options.device->Eject();
    if (outcome.result && WritesImageFiles(*options.device))
        KeepImage(*options.device, folder, view, outcome);
    if (request.deleteTempAfterBurn) {
        folder.RemoveEntry(kAuthoringBatchName);
        folder.RemoveEntry(kAuthoringXmlName);
    }
    return outcome;
}
