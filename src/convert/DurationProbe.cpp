#include "convert/DurationProbe.h"

#include "convert/EncodingJob.h"
#include "platform/Job.h"
#include "process/ChildProcess.h"
#include "process/FindOnPath.h"

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>

namespace {

constexpr const char* kProbeName = "ffprobe";
constexpr int kWakeMs = 100;
// A probe that floods its output is cut short rather than held in memory.
constexpr size_t kOutputLimit = 64 * 1024;

bool Exited(int status)
{
    return status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The value of a line as ffprobe writes it in its plain, keyed or JSON
// forms: "6.016000", "duration=6.016000", "\"duration\": \"6.016000\",".
std::string DurationValue(std::string line)
{
    const size_t key = line.find("duration");
    if (key != std::string::npos) {
        const size_t value = line.find_first_of("0123456789.", key);
        line = value == std::string::npos ? std::string() : line.substr(value);
        const size_t end = line.find_first_not_of("0123456789.eE+-");
        if (end != std::string::npos)
            line.erase(end);
    }
    const size_t first = line.find_first_not_of(" \t");
    const size_t last = line.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
}

} // namespace

// ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 clip.mpg
// prints one line: "6.016000"
std::optional<double> ParseDurationReport(const std::string& output)
{
    std::optional<double> found;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = output.size();
        const std::string line = DurationValue(output.substr(start, end - start));
        if (!line.empty()) {
            char* rest = nullptr;
            const double seconds = std::strtod(line.c_str(), &rest);
            const bool number = rest == line.c_str() + line.size() && std::isfinite(seconds) && seconds > 0;
            if (number)
                found = seconds;
        }
        start = end + 1;
    }
    return found;
}

std::optional<double> ProbeDuration(const std::string& path, int timeoutMs, JobControl* control)
{
    const std::string probe = FindOnPath(kProbeName);
    if (probe.empty())
        return std::nullopt;
    ChildProcess child;
    const std::vector<std::string> arguments = {probe, "-v", "error", "-show_entries", "format=duration", "-of",
                                                "default=noprint_wrappers=1:nokey=1", PathArgument(path)};
    if (child.Start(arguments) != ChildProcess::StartResult::Started)
        return std::nullopt;
    CancelHookGuard stopOnCancel(control, [&child] { child.RequestStop(); });

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string output;
    for (;;) {
        if (child.ReadAvailable(output) == ChildProcess::ReadResult::Ended)
            break;
        if (output.size() > kOutputLimit)
            output.erase(0, output.size() - kOutputLimit);
        const bool late = std::chrono::steady_clock::now() >= deadline;
        if (late || (control && control->Cancelled()) || child.StopRequested()) {
            child.Terminate();
            child.Finish();
            return std::nullopt;
        }
        child.WaitReadable(kWakeMs);
    }
    if (!Exited(child.Finish()))
        return std::nullopt;
    return ParseDurationReport(output);
}

DurationSurvey ProbeDurations(const std::vector<SourceFile>& sources, JobControl* control, int timeoutMs)
{
    DurationSurvey survey;
    if (FindOnPath(kProbeName).empty()) {
        survey.probeMissing = true;
        for (const SourceFile& source : sources)
            survey.unknown.push_back(source.name.empty() ? source.path : source.name);
        return survey;
    }
    for (const SourceFile& source : sources) {
        if (control && control->Cancelled()) {
            survey.cancelled = true;
            break;
        }
        if (const std::optional<double> seconds = ProbeDuration(source.path, timeoutMs, control)) {
            survey.knownSeconds += *seconds;
            ++survey.knownCount;
        } else {
            survey.unknown.push_back(source.name.empty() ? source.path : source.name);
        }
    }
    if (control && control->Cancelled())
        survey.cancelled = true;
    return survey;
}
