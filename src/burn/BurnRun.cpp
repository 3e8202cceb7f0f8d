#include "burn/BurnRun.h"

#include "burn/CDevice.h"
#include "platform/Job.h"
#include "platform/Paths.h"
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

} // namespace

bool WritesImageFiles(const CDevice& device)
{
    return device.GetAddress().port == ImageFileRecorder::kPort;
}

std::string ImagePathFor(const BurnOptions& options)
{
    return ImageFileRecorder::OutputFolder(options.treePath) + kPathSeparator +
           ImageFileRecorder::ImageFileName(options.VolumeLabel());
}

BurnOutcome BurnThread(BurnRequest request, BurnView& page, JobControl& control)
{
    BurnOutcome outcome;
    FailureWatch view(page);
    outcome.files = request.authoring.files;
    if (!WriteAuthoringFiles(request.authoring, view, outcome.paths, outcome.files)) {
        outcome.failure = "Authoring failed: the authoring files could not be written";
        return outcome;
    }
    const std::vector<std::string>& files = request.authoring.files;
    const MenuTexts texts =
        MenuTextsFor(request.options.VolumeLabel(), request.names.size() == files.size() ? request.names : files);
    if (!RunAuthoringBatch(outcome.paths, view, &control, &texts)) {
        outcome.failure = view.failure.empty() ? "Authoring failed" : view.failure;
        return outcome;
    }
    outcome.authored = true;

    BurnOptions& options = request.options;
    options.treePath = outcome.paths.folder + kPathSeparator + "VIDEO_TS";
    view.BeginBurnProgress();
    view.AddBurnLogLine("Burning...");
    view.ShowBurnStatus("Burning...");
    outcome.burnt = Burn(options, control);
    // Also after a failed burn: the user takes the disc out either way.
    if (options.eject)
        options.device->Eject();
    if (outcome.burnt && WritesImageFiles(*options.device))
        outcome.imagePath = ImagePathFor(options);
    return outcome;
}
