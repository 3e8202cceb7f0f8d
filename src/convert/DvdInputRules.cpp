#include "convert/DvdInputRules.h"

#include "convert/DiscEstimate.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>

namespace {

struct Size {
    int width;
    int height;
};
constexpr Size kPalSizes[] = {{720, 576}, {704, 576}, {352, 576}, {352, 288}};
constexpr Size kNtscSizes[] = {{720, 480}, {704, 480}, {352, 480}, {352, 240}};

// MPEG-1 gives the pixel's shape from a table, so its 16:9 at 352×240
// comes out as 1.74:1; 5:4 and 2.21:1 stay well outside.
constexpr double kAspectSlack = 0.03;
// MPEG-1's header value for "variable", not a rate.
constexpr int64_t kMpeg1VariableRate = 0x3FFFF * 400LL;
constexpr int kDvdSampleRate = 48000;

const char* SystemName(TvSystem system)
{
    return system == TvSystem::Pal ? "PAL" : "NTSC";
}

std::string SizeText(int width, int height)
{
    return std::to_string(width) + "×" + std::to_string(height);
}

template <size_t N>
bool Holds(const Size (&sizes)[N], int width, int height)
{
    return std::any_of(std::begin(sizes), std::end(sizes),
                       [&](const Size& size) { return size.width == width && size.height == height; });
}

bool SizeFits(TvSystem system, const VideoFacts& video)
{
    return system == TvSystem::Pal ? Holds(kPalSizes, video.width, video.height)
                                   : Holds(kNtscSizes, video.width, video.height);
}

template <size_t N>
std::string SizeList(const char* name, const Size (&sizes)[N])
{
    std::string list = std::string(name) + ": ";
    for (size_t i = 0; i < N; ++i)
        list += (i ? ", " : "") + SizeText(sizes[i].width, sizes[i].height);
    return list;
}

std::string SizesOf(TvSystem system)
{
    if (system == TvSystem::Pal)
        return SizeList("PAL", kPalSizes);
    if (system == TvSystem::Ntsc)
        return SizeList("NTSC", kNtscSizes);
    return SizeList("PAL", kPalSizes) + "; " + SizeList("NTSC", kNtscSizes);
}

bool RateIs(const VideoFacts& video, int64_t num, int64_t den)
{
    return video.frameRate.Equals(num, den) || video.averageRate.Equals(num, den);
}

bool PalRate(const VideoFacts& video)
{
    return RateIs(video, 25, 1);
}

bool NtscRate(const VideoFacts& video)
{
    return RateIs(video, 30000, 1001) || RateIs(video, 24000, 1001);
}

// "29.97 frames/s", "25 frames/s".
std::string Decimal(double value, const char* format)
{
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    std::string shown = text;
    if (shown.find('.') != std::string::npos) {
        shown.erase(shown.find_last_not_of('0') + 1);
        if (shown.back() == '.')
            shown.pop_back();
    }
    return shown;
}

std::string RateProblem(TvSystem system, const VideoFacts& video)
{
    const Ratio& rate = video.averageRate.Known() ? video.averageRate : video.frameRate;
    const std::string shown = rate.Known() ? Decimal(rate.Value(), "%.3f") + " frames/s" : "an unreadable frame rate";
    if (system == TvSystem::Pal)
        return shown + " is not the PAL rate (25 frames/s)";
    if (system == TvSystem::Ntsc)
        return shown + " is not an NTSC rate (29.97 or 23.976 frames/s)";
    return shown + " is not a DVD frame rate (25, 29.97 or 23.976 frames/s)";
}

std::string CodecName(const std::string& codec)
{
    static const std::map<std::string, std::string> names = {
        {"mpeg4", "MPEG-4"}, {"h264", "H.264"},     {"hevc", "H.265"},           {"ac3", "AC-3"},
        {"eac3", "E-AC-3"},  {"mp3", "MP3"},        {"mp2", "MPEG-1 Layer II"}, {"aac", "AAC"},
        {"dts", "DTS"},      {"pcm_dvd", "LPCM"},   {"", "unknown"}};
    const auto found = names.find(codec);
    if (found != names.end())
        return found->second;
    std::string upper = codec;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    return upper;
}

void AddOnce(std::vector<std::string>& problems, const std::string& problem)
{
    if (std::find(problems.begin(), problems.end(), problem) == problems.end())
        problems.push_back(problem);
}

void AddPictureProblems(const VideoFacts& video, std::vector<std::string>& problems)
{
    if (video.codec != "mpeg2video" && video.codec != "mpeg1video")
        problems.push_back(CodecName(video.codec) + " video, not MPEG-2");
    const TvSystem system = TvSystemOf(video);
    const bool sizeFits = system != TvSystem::Unknown && SizeFits(system, video);
    if (!sizeFits)
        problems.push_back(SizeText(video.width, video.height) + " is not a DVD picture size (" + SizesOf(system) +
                           ")");
    else if (video.codec == "mpeg1video" && (video.width != 352 || video.height > 288))
        problems.push_back("MPEG-1 video at " + SizeText(video.width, video.height) +
                           "; a DVD takes MPEG-1 only at 352×240 or 352×288");
    const bool rateFits = system == TvSystem::Pal ? PalRate(video) : system == TvSystem::Ntsc && NtscRate(video);
    if (!rateFits)
        problems.push_back(RateProblem(system, video));

    const double square = video.height > 0 ? static_cast<double>(video.width) / video.height : 0;
    const double aspect = video.aspect.Known() ? video.aspect.Value() : square;
    auto near = [aspect](double wanted) { return std::fabs(aspect / wanted - 1) <= kAspectSlack; };
    if (aspect > 0 && !near(4.0 / 3) && !near(16.0 / 9)) {
        const bool plain = video.aspect.Known() && video.aspect.den <= 16;
        const std::string shown = plain ? std::to_string(video.aspect.num) + ":" + std::to_string(video.aspect.den)
                                        : Decimal(aspect, "%.2f") + ":1";
        problems.push_back("a display aspect of " + shown + "; a DVD takes 4:3 or 16:9");
    }
}

void AddAudioProblems(const std::vector<AudioFacts>& audio, std::vector<std::string>& problems)
{
    if (audio.size() > DVD_AUDIO_STREAMS)
        problems.push_back(std::to_string(audio.size()) + " audio streams; a DVD takes at most " +
                           std::to_string(DVD_AUDIO_STREAMS));
    for (const AudioFacts& stream : audio) {
        const std::string& codec = stream.codec;
        if (codec != "ac3" && codec != "mp2" && codec != "pcm_dvd" && codec != "dts")
            AddOnce(problems, CodecName(codec) + " audio; a DVD takes AC-3, MPEG-1 Layer II, LPCM or DTS");
        if (stream.sampleRate > 0 && stream.sampleRate != kDvdSampleRate)
            AddOnce(problems, "audio at " + Decimal(stream.sampleRate / 1000.0, "%.3f") + " kHz; a DVD takes 48 kHz");
    }
}

TvSystem SystemOfFile(const MpegFacts& facts)
{
    return facts.readable && facts.format == "mpeg" && !facts.video.empty() ? TvSystemOf(facts.video.front())
                                                                              : TvSystem::Unknown;
}

// The disc's system: that of most files, or of the first on a tie.
TvSystem DiscSystem(const std::vector<TvSystem>& systems)
{
    const auto pal = std::count(systems.begin(), systems.end(), TvSystem::Pal);
    const auto ntsc = std::count(systems.begin(), systems.end(), TvSystem::Ntsc);
    if (pal != ntsc)
        return pal > ntsc ? TvSystem::Pal : TvSystem::Ntsc;
    const auto first = std::find_if(systems.begin(), systems.end(), [](TvSystem s) { return s != TvSystem::Unknown; });
    return first == systems.end() ? TvSystem::Unknown : *first;
}

// "trip.mpg is NTSC, but the other files are PAL"
std::string OddOneOut(const std::string& name, TvSystem system, TvSystem disc, const std::vector<TvSystem>& systems)
{
    const auto known = systems.size() - std::count(systems.begin(), systems.end(), TvSystem::Unknown);
    const auto onDisc = std::count(systems.begin(), systems.end(), disc);
    std::string others;
    if (static_cast<size_t>(onDisc) + 1 == known)
        others = onDisc == 1 ? "the other file is " : "the other files are ";
    else
        others = onDisc * 2 > static_cast<long>(known) ? "most files are " : "the first file is ";
    return name + " is " + SystemName(system) + ", but " + others + SystemName(disc);
}

std::string Joined(const std::vector<std::string>& parts)
{
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : "; ") + part;
    return text;
}

} // namespace

TvSystem TvSystemOf(const VideoFacts& video)
{
    if (SizeFits(TvSystem::Pal, video))
        return TvSystem::Pal;
    if (SizeFits(TvSystem::Ntsc, video))
        return TvSystem::Ntsc;
    if (PalRate(video))
        return TvSystem::Pal;
    return NtscRate(video) ? TvSystem::Ntsc : TvSystem::Unknown;
}

int64_t VideoKbps(const MpegFacts& facts)
{
    if (facts.video.empty())
        return 0;
    const VideoFacts& video = facts.video.front();
    int64_t bits = 0;
    if (video.bitRate > 0 && video.bitRate != kMpeg1VariableRate)
        bits = video.bitRate;
    else if (video.maxBitRate > 0)
        bits = video.maxBitRate;
    else if (facts.bitRate > 0) {
        bits = facts.bitRate;
        for (const AudioFacts& audio : facts.audio)
            bits -= audio.bitRate;
    }
    return std::max<int64_t>(bits, 0) / 1000;
}

std::vector<std::string> FileProblems(const MpegFacts& facts)
{
    if (!facts.readable)
        return {"not a video file that can be read"};
    if (facts.format != "mpeg") {
        const std::string& kind = facts.formatName.empty() ? facts.format : facts.formatName;
        return {(kind.empty() ? "" : kind + ", ") + "not an MPEG program stream"};
    }
    if (facts.video.empty())
        return {"no video in it"};
    std::vector<std::string> problems;
    if (facts.video.size() > 1)
        problems.push_back(std::to_string(facts.video.size()) + " video streams; a DVD takes one");
    AddPictureProblems(facts.video.front(), problems);
    if (const int64_t kbps = VideoKbps(facts); kbps > DVD_VIDEO_PEAK_KBPS)
        problems.push_back("video at " + FormatThousands(kbps) + " kbit/s, above the " +
                           FormatThousands(DVD_VIDEO_PEAK_KBPS) + " kbit/s a DVD allows");
    AddAudioProblems(facts.audio, problems);
    return problems;
}

std::vector<std::string> ProblemLines(const std::vector<MpegInput>& files)
{
    std::vector<TvSystem> systems;
    for (const MpegInput& file : files)
        systems.push_back(SystemOfFile(file.facts));
    const TvSystem disc = DiscSystem(systems);
    std::vector<std::string> lines;
    for (size_t i = 0; i < files.size(); ++i) {
        const std::vector<std::string> problems = FileProblems(files[i].facts);
        const bool odd = systems[i] != TvSystem::Unknown && systems[i] != disc;
        if (!odd && problems.empty())
            continue;
        if (odd)
            lines.push_back(OddOneOut(files[i].name, systems[i], disc, systems) +
                            (problems.empty() ? "" : "; " + Joined(problems)) + ".");
        else
            lines.push_back(files[i].name + ": " + Joined(problems) + ".");
    }
    return lines;
}

std::string RefusedFilesText(const std::vector<std::string>& lines)
{
    std::string text;
    const size_t shown = std::min(lines.size(), kProblemFilesShown);
    for (size_t i = 0; i < shown; ++i)
        text += lines[i] + "\n";
    if (const size_t rest = lines.size() - shown; rest > 0)
        text += "... and " + std::to_string(rest) + (rest == 1 ? " more file.\n" : " more files.\n");
    return text + "\nA DVD player may refuse these files. Convert them with 'Create video DVD from video files' "
                  "instead. Burn them anyway?";
}

FitDecision DecideMpegInputs(const MpegSurvey& survey)
{
    FitDecision decision;
    if (survey.cancelled) {
        decision.action = FitAction::Stay;
        return decision;
    }
    if (survey.probeMissing) {
        decision.action = FitAction::Ask;
        decision.text = "The MPEG files could not be checked: ffprobe was not found (install the ffmpeg package). "
                        "Burn them anyway?";
        return decision;
    }
    const std::vector<std::string> lines = ProblemLines(survey.files);
    if (!lines.empty()) {
        decision.action = FitAction::Ask;
        decision.text = RefusedFilesText(lines);
    }
    return decision;
}
