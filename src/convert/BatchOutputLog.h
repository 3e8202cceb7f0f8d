#pragma once
// The authoring batch's output as log lines. The shell writes a trace's "+ "
// and its command in separate writes, so chunks are joined and cut at line
// ends before they reach the log; the last lines are kept to tell why a
// failed batch failed.

#include <deque>
#include <functional>
#include <string>

class BatchOutputLog {
public:
    using LineSink = std::function<void(const std::string& line)>;

    explicit BatchOutputLog(LineSink sink);

    // Passes on every line the chunk completes. A carriage return ends a
    // line as a line feed does; blank lines are dropped.
    void Add(const std::string& chunk);
    // Passes on what is left after the last line end.
    void Finish();

    // The line that best says why the batch failed: the tool's last error
    // report, else the last line that is not the shell's trace of a command;
    // "" when there is none.
    std::string ErrorLine() const;

private:
    void Emit(const std::string& line);

    LineSink sink_;
    std::string pending_;
    std::deque<std::string> recent_;
};
