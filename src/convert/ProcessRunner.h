#pragma once
// Runs an outside tool as a child process and hands on its output (standard
// output and standard error together). The runner drains everything the tool
// has written at each wake, so no tool is ever held back by a full pipe; the
// log gets at most one entry per pause, holding what arrived in that pause,
// and the progress parser sees whole lines.

#include "process/ChildProcess.h"

#include <functional>
#include <string>
#include <vector>

class JobControl;
class JobQuestions;
class ProgressParser;

constexpr int ENCODER_POLL_MS = 1000;
constexpr int AUTHOR_POLL_MS = 200;

enum class RunResult { Finished, Cancelled, FailedToStart };

struct ToolRun {
    std::vector<std::string> arguments;
    // One entry per pause with the text that arrived in it; a carriage
    // return inside it has become a line end.
    std::function<void(const std::string& text)> log;
    // Every whole line, split at "\r" or "\n", in order; a last line without
    // an end comes when the output ends.
    std::function<void(const std::string& line)> line;
    // After each pause's log entry and lines.
    std::function<void()> pause;
    // Once the tool runs.
    std::function<void()> started;
    // Start failures are shown here ("Error On CreatePipe()", "Error on
    // CreateProcess()"); none: the application's own message box.
    JobQuestions* questions = nullptr;
    // Cancel stops the tool's process group at once, also while the tool is
    // silent or has closed its output but keeps running.
    JobControl* control = nullptr;
    int pollMs = ENCODER_POLL_MS;
};

struct ToolOutcome {
    RunResult result = RunResult::FailedToStart;
    // The tool's exit status when it ended by itself, else -1.
    int exitStatus = -1;
    // Why it could not be started, in the system's words.
    std::string startFailure;
};

ToolOutcome RunTool(const ToolRun& run);

struct EncoderRun {
    std::vector<std::string> arguments;
    JobQuestions* questions = nullptr;
    std::function<void(const std::string& text)> log;
    // Each new percent the parser reports, at most once per pause.
    std::function<void(int percent)> progress;
    JobControl* control = nullptr;
    std::function<void()> started;
    int pollMs = ENCODER_POLL_MS;
};

// Runs the encoder, parsing its progress; the parser is reset first. The
// outcome's exit status tells whether the encoder ended well.
ToolOutcome RunEncoder(const EncoderRun& run, ProgressParser& parser);

// Runs a tool to its end without parsing, with the authoring pause. False
// when it could not be started (after the message box). *exitStatus gets the
// tool's exit status (-1 when it did not exit by itself).
bool RunBatch(const std::vector<std::string>& arguments, const std::function<void(const std::string&)>& log,
              int pollMs = AUTHOR_POLL_MS, int* exitStatus = nullptr, JobControl* control = nullptr);
