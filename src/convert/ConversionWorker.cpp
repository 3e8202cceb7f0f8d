#include "convert/ConversionWorker.h"

#include "app/ConversionSettings.h"
#include "convert/EncodingJob.h"
#include "convert/ProgressParser.h"
#include "platform/Paths.h"
#include "platform/UiSeam.h"

namespace {

int SourceCount(const ConversionSettings& settings)
{
    return settings.sourcePaths ? settings.sourcePaths->GetCount() : 0;
}

std::string SourceName(const ConversionSettings& settings, int index)
{
    return settings.sourceNames ? settings.sourceNames->GetText(index) : std::string();
}

enum class FileOutcome { Next, Stop };

FileOutcome ConvertOne(ConversionSettings& settings, ConversionView& view, ConversionControl& control,
                       int index, int pollMs)
{
    std::string path = settings.sourcePaths->GetText(index);
    std::string name = SourceName(settings, index);
    std::string error;
    std::optional<EncodingJob> job = BuildJob(settings, path, name, &error);
    if (!job) {
        view.AddLogLine(error);
        return FileOutcome::Next;
    }
    if (!AskOverwrite(settings, job->outputPath, view.Owner()))
        return FileOutcome::Next;

    ProgressParser parser;
    bool exitedCleanly = false;
    EncoderRun run;
    run.arguments = job->arguments;
    run.owner = view.Owner();
    run.sink = [&](const std::string& chunk) { view.AddLogLine(chunk); };
    run.progress = [&](int percent) { view.ShowPercent(percent); };
    run.cancelFlag = &control.cancel;
    run.slot = &control.runningEncoder;
    run.started = [&] { view.ShowFile(name, index + 1, SourceCount(settings)); };
    run.pollMs = pollMs;
    run.exitedCleanly = &exitedCleanly;

    switch (RunEncoder(run, parser)) {
    case RunResult::FailedToStart:
        return FileOutcome::Stop;
    case RunResult::Cancelled:
        settings.succeededCount = 0;
        return FileOutcome::Stop;
    case RunResult::Finished:
        break;
    }
    // An output left by an earlier run is no proof that this one worked:
    // the encoder must also have ended cleanly.
    if (exitedCleanly && FileExists(job->outputPath)) {
        view.ShowPercent(100);
        settings.convertedFiles.push_back(job->outputPath);
        ++settings.succeededCount;
    }
    return FileOutcome::Next;
}

} // namespace

void AVI2MPEGFunc(ConversionSettings& settings, ConversionView& view, ConversionControl& control, int pollMs)
{
    if (settings.task == CT_MPG2DVD) {
        AfxMessageBox("error AVI2MPEGFunc -> CT_MPG2DVD ");
        return;
    }
    for (int i = 0; i < SourceCount(settings); ++i) {
        if (control.cancel.load()) {
            settings.succeededCount = 0;
            break;
        }
        if (ConvertOne(settings, view, control, i, pollMs) == FileOutcome::Stop)
            break;
    }
    view.TransComplete();
}
