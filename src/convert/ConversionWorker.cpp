#include "convert/ConversionWorker.h"

#include "core/ConversionSettings.h"
#include "convert/EncodingJob.h"
#include "convert/ProgressParser.h"
#include "platform/Job.h"
#include "platform/JobQuestions.h"
#include "platform/Paths.h"
#include "platform/RunFolder.h"

namespace {

enum class FileOutcome { Next, Stop };

FileOutcome ConvertOne(const ConversionRequest& request, ConversionView& view, JobControl* control, size_t index,
                       int pollMs, ConversionResult& result)
{
    const SourceFile& source = request.sources[index];
    std::string error;
    std::optional<EncodingJob> job = BuildJob(request, source.path, source.name, &error);
    if (!job) {
        view.AddLogLine(error);
        return FileOutcome::Next;
    }
    if (!AskOverwrite(request, job->outputPath, view.Questions()))
        return FileOutcome::Next;

    ProgressParser parser;
    EncoderRun run;
    run.arguments = job->arguments;
    run.questions = &view.Questions();
    run.log = [&](const std::string& text) { view.AddLogLine(text); };
    run.progress = [&](int percent) { view.ShowPercent(percent); };
    run.control = control;
    run.started = [&] {
        view.ShowFile(source.name, static_cast<int>(index) + 1, static_cast<int>(request.sources.size()));
    };
    run.pollMs = pollMs;

    const ToolOutcome outcome = RunEncoder(run, parser);
    switch (outcome.result) {
    case RunResult::FailedToStart:
        return FileOutcome::Stop;
    case RunResult::Cancelled:
        result.cancelled = true;
        return FileOutcome::Stop;
    case RunResult::Finished:
        break;
    }
    // An output left by an earlier run is no proof that this one worked:
    // the encoder must also have ended cleanly.
    if (outcome.exitStatus == 0 && FileExists(job->outputPath)) {
        view.ShowPercent(100);
        result.convertedFiles.push_back(job->outputPath);
        ++result.succeededCount;
        if (result.workFolder)
            result.workFolder->SetSourceOf(job->outputPath, source.path);
    }
    return FileOutcome::Next;
}

} // namespace

ConversionResult AVI2MPEGFunc(const ConversionRequest& request, ConversionView& view, JobControl* control,
                              int pollMs)
{
    ConversionResult result;
    if (request.task == CT_MPG2DVD) {
        view.Questions().MessageBox("error AVI2MPEGFunc -> CT_MPG2DVD ", std::string(), MB_OK);
        return result;
    }
    ConversionRequest run = request;
    if (request.task == CT_VIDEO2DVD) {
        std::string error;
        result.workFolder = RunFolder::Create(request.outputFolder, &error);
        if (!result.workFolder) {
            view.AddLogLine(error);
            return result;
        }
        run.workFolder = result.workFolder->Path();
    }
    if (!run.estimateLine.empty())
        view.AddLogLine(run.estimateLine);
    for (size_t i = 0; i < run.sources.size(); ++i) {
        if (control && control->Cancelled()) {
            result.cancelled = true;
            break;
        }
        if (ConvertOne(run, view, control, i, pollMs, result) == FileOutcome::Stop)
            break;
    }
    if (result.cancelled)
        result.succeededCount = 0;
    // Nothing goes on to the burn: what the run made is of no more use.
    if (result.workFolder && result.succeededCount == 0) {
        result.workFolder->Remove();
        result.workFolder.reset();
        result.convertedFiles.clear();
    }
    return result;
}
