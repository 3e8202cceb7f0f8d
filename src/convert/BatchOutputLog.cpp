#include "convert/BatchOutputLog.h"

#include <utility>

namespace {

constexpr size_t kRecentLines = 200;

bool IsBlank(const std::string& line)
{
    return line.find_first_not_of(" \t") == std::string::npos;
}

// The shell's trace of a command it is about to run:
//   + mkdir -p -- /home/ann/out/kzxtmpd001
bool IsTraceLine(const std::string& line)
{
    return line.rfind("+ ", 0) == 0;
}

} // namespace

BatchOutputLog::BatchOutputLog(LineSink sink) : sink_(std::move(sink)) {}

void BatchOutputLog::Add(const std::string& chunk)
{
    for (char c : chunk) {
        if (c == '\n' || c == '\r') {
            Emit(pending_);
            pending_.clear();
        } else {
            pending_ += c;
        }
    }
}

void BatchOutputLog::Finish()
{
    Emit(pending_);
    pending_.clear();
}

void BatchOutputLog::Emit(const std::string& line)
{
    if (IsBlank(line))
        return;
    recent_.push_back(line);
    if (recent_.size() > kRecentLines)
        recent_.pop_front();
    if (sink_)
        sink_(line);
}

// dvdauthor's error reports look like
//   ERR:  no video format specified for VMGM
std::string BatchOutputLog::ErrorLine() const
{
    std::string lastOther;
    for (auto line = recent_.rbegin(); line != recent_.rend(); ++line) {
        if (IsTraceLine(*line))
            continue;
        if (line->find("ERR") != std::string::npos)
            return *line;
        if (lastOther.empty())
            lastOther = *line;
    }
    return lastOther;
}
