#pragma once
// Runs the encoding jobs of one request, several encoders at once, each
// encoder on a thread of its own. The thread that calls Run alone builds the
// jobs, asks the questions, keeps the board and talks to the view; the
// encoder threads only hand it what happens to their encoder.

#include "convert/BatchBoard.h"
#include "convert/ConversionRequest.h"
#include "convert/EncodingJob.h"
#include "convert/ProcessRunner.h"

#include <condition_variable>
#include <mutex>
#include <set>
#include <optional>
#include <thread>
#include <vector>

class ConversionView;
class JobControl;

class ConversionBatch {
public:
    ConversionBatch(const ConversionRequest& request, ConversionView& view, JobControl* control, int pollMs);
    // Waits for the encoder threads, which Run has already seen end.
    ~ConversionBatch();
    ConversionBatch(const ConversionBatch&) = delete;
    ConversionBatch& operator=(const ConversionBatch&) = delete;

    // Converts the list; the converted files go into result in list order.
    // A file that fails, or is skipped, never stops the others; a cancel
    // stops every encoder, and an encoder that cannot be started stops the
    // batch from starting more.
    void Run(ConversionResult& result);

private:
    struct Event {
        enum class Kind { Started, Log, Progress, Ended } kind;
        size_t index;
        std::string text;
        int percent = 0;
        ToolOutcome outcome {};
    };
    struct Pending {
        size_t index;
        EncodingJob job;
    };

    bool CanLaunch() const;
    bool OutputInUse(const std::string& path) const;
    void LaunchNext();
    void Launch(Pending pending);
    void Encode(size_t index, std::vector<std::string> arguments);
    void Post(Event event);
    void HandleEvents();
    void Handle(Event& event);
    void Show();

    const ConversionRequest& request_;
    ConversionView& view_;
    JobQuestions& questions_;
    JobControl* control_;
    const int pollMs_;
    const size_t slots_;

    // The calling thread's alone.
    BatchBoard board_;
    BatchBoard::Display shown_;
    std::vector<std::string> outputs_; // by index, once launched
    std::vector<bool> converted_;      // by index
    std::multiset<std::string> writing_; // the outputs of the encoders that run
    std::optional<Pending> pending_;   // built, waiting for a slot or for its output's other writer
    size_t next_ = 0;                  // the next file to build a job for
    size_t running_ = 0;               // launched and not yet ended
    std::optional<size_t> starting_;   // launched, neither started nor ended yet
    bool stopStarting_ = false;
    bool cancelled_ = false;
    std::vector<std::thread> threads_;

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Event> events_;
};
