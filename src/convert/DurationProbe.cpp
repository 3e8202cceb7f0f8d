#include "convert/DurationProbe.h"

#include "convert/EncodingJob.h"
#include "platform/Job.h"
#include "process/FindOnPath.h"

#include <cmath>
#include <cstdlib>

namespace {

// The duration is the last line; a probe that floods its output is cut
// short rather than held in memory.
constexpr size_t kOutputLimit = 64 * 1024;

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
    const std::string probe = FindOnPath(PROBE_PROGRAM);
    if (probe.empty())
        return std::nullopt;
    const std::vector<std::string> arguments = {probe, "-v", "error", "-show_entries", "format=duration", "-of",
                                                "default=noprint_wrappers=1:nokey=1", PathArgument(path)};
    const std::optional<std::string> output = RunProbe(arguments, timeoutMs, control, kOutputLimit);
    return output ? ParseDurationReport(*output) : std::nullopt;
}

DurationSurvey ProbeDurations(const std::vector<SourceFile>& sources, JobControl* control, int timeoutMs,
                              int workers)
{
    DurationSurvey survey;
    auto nameOf = [](const SourceFile& source) { return source.name.empty() ? source.path : source.name; };
    if (FindOnPath(PROBE_PROGRAM).empty()) {
        survey.probeMissing = true;
        for (const SourceFile& source : sources)
            survey.unknown.push_back(nameOf(source));
        return survey;
    }
    std::vector<std::optional<double>> seconds(sources.size());
    RunSideBySide(sources.size(), workers, [&](size_t i) {
        if (!(control && control->Cancelled()))
            seconds[i] = ProbeDuration(sources[i].path, timeoutMs, control);
    });
    for (size_t i = 0; i < sources.size(); ++i) {
        if (seconds[i]) {
            survey.knownSeconds += *seconds[i];
            ++survey.knownCount;
        } else {
            survey.unknown.push_back(nameOf(sources[i]));
        }
    }
    survey.cancelled = control && control->Cancelled();
    return survey;
}
