#pragma once
// Runs an outside tool as a child process and hands its output (standard
// output and standard error together) to a sink, chunk by chunk, with a pause
// after each chunk so that a chatty tool fills the log at a bounded rate.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class CDialog;
class ChildProcess;
class ProgressParser;

constexpr int ENCODER_POLL_MS = 1000;
constexpr int AUTHOR_POLL_MS = 200;
// Bytes asked for by one read: a chunk always fits a 4096-byte buffer with
// its terminating zero.
constexpr size_t CHUNK_MAX = 4095;

using ChunkSink = std::function<void(const std::string& chunk)>;

// The child a run is waiting on, so another thread can stop it at once.
class RunningChildSlot {
public:
    void Attach(ChildProcess* child);
    void Detach();
    // Terminates the attached child, if any.
    void Stop();

private:
    std::mutex mutex_;
    ChildProcess* child_ = nullptr;
};

enum class RunResult { Finished, Cancelled, FailedToStart };

struct EncoderRun {
    std::vector<std::string> arguments;
    CDialog* owner = nullptr;           // of the failure message boxes
    ChunkSink sink;                     // every chunk, as read
    std::function<void(int percent)> progress; // each percent the parser reports
    const std::atomic<int>* cancelFlag = nullptr;
    RunningChildSlot* slot = nullptr;
    std::function<void()> started;     // once the encoder runs
    int pollMs = ENCODER_POLL_MS;
    // Set when the run has finished: the encoder exited by itself with
    // status 0.
    bool* exitedCleanly = nullptr;
};

// Runs the encoder until its output ends or the cancel flag is found set,
// then terminates it (with everything it started). The parser is reset
// first. Start failures have shown their message box.
RunResult RunEncoder(const EncoderRun& run, ProgressParser& parser);

// Runs a tool to its end without parsing or cancel. False when it could not
// be started (after the message box, which has no owner). *exitStatus gets
// the tool's exit status (-1 when it did not exit by itself).
bool RunBatch(const std::vector<std::string>& arguments, const ChunkSink& sink, int pollMs = AUTHOR_POLL_MS,
              int* exitStatus = nullptr);
