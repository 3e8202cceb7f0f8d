#include "convert/ConversionBatch.h"

#include "convert/ConversionWorker.h"
#include "convert/ProgressParser.h"
#include "platform/Job.h"
#include "platform/Paths.h"
#include "platform/RunFolder.h"

#include <system_error>

namespace {

std::vector<std::string> NamesOf(const ConversionRequest& request)
{
    std::vector<std::string> names;
    for (const SourceFile& source : request.sources)
        names.push_back(source.name);
    return names;
}

} // namespace

ConversionBatch::ConversionBatch(const ConversionRequest& request, ConversionView& view, JobControl* control,
                                 int pollMs)
    : request_(request), view_(view), questions_(view.Questions()), control_(control), pollMs_(pollMs),
      slots_(static_cast<size_t>(EncoderSlots(request))), board_(NamesOf(request)),
      outputs_(request.sources.size()), converted_(request.sources.size(), false)
{
}

ConversionBatch::~ConversionBatch()
{
    for (std::thread& thread : threads_)
        thread.join();
}

void ConversionBatch::Run(ConversionResult& result)
{
    for (;;) {
        if (control_ && control_->Cancelled())
            cancelled_ = true;
        if (CanLaunch()) {
            LaunchNext();
            continue;
        }
        if (running_ == 0)
            break;
        HandleEvents();
        Show();
    }
    Show();
    result.cancelled = cancelled_;
    for (size_t i = 0; i < converted_.size(); ++i) {
        if (!converted_[i])
            continue;
        result.convertedFiles.push_back(outputs_[i]);
        ++result.succeededCount;
        if (result.workFolder)
            result.workFolder->SetSourceOf(outputs_[i], request_.sources[i].path);
    }
}

// One encoder starts at a time, and the next only once it has started or
// failed to: a missing encoder is then reported once, and a file is never
// started after it.
bool ConversionBatch::CanLaunch() const
{
    if (cancelled_ || stopStarting_ || starting_ || running_ >= slots_)
        return false;
    if (!pending_)
        return next_ < request_.sources.size();
    return !OutputInUse(pending_->job.outputPath);
}

// Two files of one name from two folders make one output. The second waits
// for the first, so that it meets the first one's output and asks before
// replacing it, as when the files ran one after another.
bool ConversionBatch::OutputInUse(const std::string& path) const
{
    return writing_.count(path) > 0;
}

void ConversionBatch::LaunchNext()
{
    if (!pending_) {
        const size_t index = next_++;
        const SourceFile& source = request_.sources[index];
        std::string error;
        std::optional<EncodingJob> job = BuildJob(request_, source.path, source.name, &error);
        if (!job) {
            board_.AddLog(index, error);
            board_.End(index, false);
            Show();
            return;
        }
        pending_ = Pending {index, std::move(*job)};
        if (!CanLaunch())
            return;
    }
    Pending pending = std::move(*pending_);
    pending_.reset();
    Launch(std::move(pending));
}

void ConversionBatch::Launch(Pending pending)
{
    const size_t index = pending.index;
    if (!AskOverwrite(request_, pending.job.outputPath, questions_) || (control_ && control_->Cancelled())) {
        board_.End(index, false);
        Show();
        return;
    }
    outputs_[index] = pending.job.outputPath;
    writing_.insert(outputs_[index]);
    try {
        threads_.emplace_back(&ConversionBatch::Encode, this, index, std::move(pending.job.arguments));
    } catch (const std::system_error& error) {
        writing_.erase(writing_.find(outputs_[index]));
        board_.AddLog(index, std::string("Cannot start a thread for the encoder: ") + error.what());
        board_.End(index, false);
        stopStarting_ = true;
        Show();
        return;
    }
    ++running_;
    starting_ = index;
}

// The encoder's thread: it tells the batch's thread what happens, nothing
// more. Its child process ends with it at the latest.
void ConversionBatch::Encode(size_t index, std::vector<std::string> arguments)
{
    ProgressParser parser;
    EncoderRun run;
    run.arguments = std::move(arguments);
    run.questions = &questions_;
    run.log = [this, index](const std::string& text) { Post({Event::Kind::Log, index, text, 0, {}}); };
    run.progress = [this, index](int percent) { Post({Event::Kind::Progress, index, {}, percent, {}}); };
    run.started = [this, index] { Post({Event::Kind::Started, index, {}, 0, {}}); };
    run.control = control_;
    run.pollMs = pollMs_;
    ToolOutcome outcome = RunEncoder(run, parser);
    Post({Event::Kind::Ended, index, {}, 0, std::move(outcome)});
}

void ConversionBatch::Post(Event event)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(std::move(event));
    }
    arrived_.notify_one();
}

void ConversionBatch::HandleEvents()
{
    std::vector<Event> events;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        arrived_.wait(lock, [this] { return !events_.empty(); });
        events.swap(events_);
    }
    for (Event& event : events)
        Handle(event);
}

void ConversionBatch::Handle(Event& event)
{
    const size_t index = event.index;
    switch (event.kind) {
    case Event::Kind::Started:
        starting_.reset();
        board_.Start(index);
        return;
    case Event::Kind::Log:
        board_.AddLog(index, std::move(event.text));
        return;
    case Event::Kind::Progress:
        board_.SetPercent(index, event.percent);
        return;
    case Event::Kind::Ended:
        break;
    }
    if (starting_ == index)
        starting_.reset();
    --running_;
    writing_.erase(writing_.find(outputs_[index]));
    const ToolOutcome& outcome = event.outcome;
    if (outcome.result == RunResult::FailedToStart)
        stopStarting_ = true;
    if (outcome.result == RunResult::Cancelled)
        cancelled_ = true;
    // An output left by an earlier run is no proof that this one worked:
    // the encoder must also have ended cleanly.
    converted_[index] =
        outcome.result == RunResult::Finished && outcome.exitStatus == 0 && FileExists(outputs_[index]);
    board_.End(index, converted_[index]);
}

void ConversionBatch::Show()
{
    for (const std::string& entry : board_.TakeLog())
        view_.AddLogLine(entry);
    // The bars stay where the cancel found them: the encoders it stops end
    // one by one, but none of them has finished.
    if (cancelled_)
        return;
    const BatchBoard::Display now = board_.Current();
    const int count = static_cast<int>(request_.sources.size());
    if (now.number > 0 && (now.label != shown_.label || now.number != shown_.number))
        view_.ShowFile(now.label, now.number, count);
    if (now.percent >= 0 && now.percent != shown_.percent)
        view_.ShowPercent(now.percent);
    if (now.total != shown_.total)
        view_.ShowTotal(now.total);
    shown_ = now;
}
