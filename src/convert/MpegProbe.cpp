#include "convert/MpegProbe.h"

#include "convert/EncodingJob.h"
#include "platform/Job.h"
#include "platform/Paths.h"
#include "process/FindOnPath.h"

#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include <cstdlib>

namespace {

// A report of a few streams takes a few kilobytes; one cut short is no JSON.
constexpr size_t kReportLimit = 1 << 20;

// Quiet: a warning on the shared pipe would break the JSON.
std::vector<std::string> ProbeArguments(const std::string& probe, const std::string& path)
{
    return {probe,
            "-v",
            "quiet",
            "-show_entries",
            "format=format_name,format_long_name,bit_rate"
            ":stream=codec_type,codec_name,width,height,r_frame_rate,avg_frame_rate,display_aspect_ratio,"
            "sample_rate,bit_rate:stream_side_data=max_bitrate",
            "-of",
            "json",
            PathArgument(path)};
}

// ffprobe writes most numbers as text ("bit_rate": "448000") and some as
// numbers ("width": 720).
int64_t NumberOf(const nlohmann::json& object, const char* key)
{
    const auto found = object.find(key);
    if (found == object.end())
        return 0;
    if (found->is_number_integer())
        return found->get<int64_t>();
    if (!found->is_string())
        return 0;
    const std::string text = found->get<std::string>();
    char* rest = nullptr;
    const long long value = std::strtoll(text.c_str(), &rest, 10);
    return rest != text.c_str() && *rest == '\0' && value > 0 ? value : 0;
}

std::string TextOf(const nlohmann::json& object, const char* key)
{
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

Ratio RatioOf(const nlohmann::json& object, const char* key)
{
    const std::string text = TextOf(object, key);
    const size_t split = text.find_first_of("/:");
    if (split == std::string::npos)
        return {};
    Ratio ratio;
    ratio.num = std::strtoll(text.c_str(), nullptr, 10);
    ratio.den = std::strtoll(text.c_str() + split + 1, nullptr, 10);
    return ratio.Known() ? ratio : Ratio{};
}

int64_t DeclaredPeak(const nlohmann::json& stream)
{
    const auto sideData = stream.find("side_data_list");
    if (sideData == stream.end() || !sideData->is_array())
        return 0;
    for (const nlohmann::json& entry : *sideData)
        if (entry.is_object() && NumberOf(entry, "max_bitrate") > 0)
            return NumberOf(entry, "max_bitrate");
    return 0;
}

void AddStream(const nlohmann::json& stream, MpegFacts& facts)
{
    const std::string type = TextOf(stream, "codec_type");
    if (type == "video") {
        VideoFacts video;
        video.codec = TextOf(stream, "codec_name");
        video.width = static_cast<int>(NumberOf(stream, "width"));
        video.height = static_cast<int>(NumberOf(stream, "height"));
        video.frameRate = RatioOf(stream, "r_frame_rate");
        video.averageRate = RatioOf(stream, "avg_frame_rate");
        video.aspect = RatioOf(stream, "display_aspect_ratio");
        video.bitRate = NumberOf(stream, "bit_rate");
        video.maxBitRate = DeclaredPeak(stream);
        facts.video.push_back(video);
    } else if (type == "audio") {
        facts.audio.push_back({TextOf(stream, "codec_name"), static_cast<int>(NumberOf(stream, "sample_rate")),
                               NumberOf(stream, "bit_rate")});
    }
}

MpegFacts ProbeFile(const std::string& probe, const std::string& path, int timeoutMs, JobControl* control)
{
    // A FIFO or a device would hold the probe until its time is up.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    const std::optional<std::string> report = RunProbe(ProbeArguments(probe, path), timeoutMs, control, kReportLimit);
    return report ? ParseMpegReport(*report) : MpegFacts{};
}

} // namespace

// ffprobe -v quiet -show_entries ... -of json clip.mpg, of which one line:
//             "codec_name": "mpeg2video",
MpegFacts ParseMpegReport(const std::string& json)
{
    MpegFacts facts;
    const nlohmann::json report = nlohmann::json::parse(json, nullptr, false);
    if (report.is_discarded() || !report.is_object())
        return facts;
    const auto streams = report.find("streams");
    if (streams == report.end() || !streams->is_array() || streams->empty())
        return facts;
    for (const nlohmann::json& stream : *streams)
        if (stream.is_object())
            AddStream(stream, facts);
    const auto format = report.find("format");
    if (format != report.end() && format->is_object()) {
        facts.format = TextOf(*format, "format_name");
        facts.formatName = TextOf(*format, "format_long_name");
        facts.bitRate = NumberOf(*format, "bit_rate");
    }
    facts.readable = true;
    return facts;
}

MpegSurvey ProbeMpegFiles(const std::vector<SourceFile>& sources, JobControl* control, int timeoutMs, int workers)
{
    MpegSurvey survey;
    for (const SourceFile& source : sources)
        survey.files.push_back({source.name.empty() ? FileNameOf(source.path) : source.name, {}});
    const std::string probe = FindOnPath(PROBE_PROGRAM);
    if (probe.empty()) {
        survey.probeMissing = true;
        return survey;
    }
    RunSideBySide(sources.size(), workers, [&](size_t i) {
        if (!(control && control->Cancelled()))
            survey.files[i].facts = ProbeFile(probe, sources[i].path, timeoutMs, control);
    });
    survey.cancelled = control && control->Cancelled();
    return survey;
}
