#include "convert/DiscEstimate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// FFmpeg's DVD program stream carries 1.9% more than its elementary streams
// (pack and PES headers, the navigation packs it reserves, padding): three
// 6-second noise clips at the standard rates gave 4,984,832 bytes each for
// 4,893,075 bytes of video and audio. dvdauthor keeps those packs, so the
// VOBs come out the size of the MPEG files, byte for byte.
constexpr double kMuxOverhead = 0.02;
// The IFO files and their backups: 36,864 bytes for those three titles.
constexpr int64_t kIfoBytes = 2 * (6144 + 8192);
constexpr int64_t kIfoBytesPerTitle = 2 * 2048;
// Existing MPEG files may lack the navigation packs dvdauthor then adds:
// one 2048-byte pack per half-second group of pictures, about 4 KB/s. That
// is under 0.6% at the standard rates but 1.3% at 2 Mbit/s, so the same 2%
// as a converted run is allowed.
constexpr double kNavigationPackOverhead = 0.02;
// The ISO 9660 and UDF structures around the tree: 929,792 bytes on an
// image of those three titles.
constexpr int64_t kFileSystemBytes = 1 << 20;
// The encoder's rate control may overshoot a little on short or busy video.
constexpr double kMargin = 0.02;
constexpr int kRateStep = 100;

double BytesPerSecond(int videoKbps)
{
    return (videoKbps + DVD_AUDIO_KBPS) * 1000.0 / 8.0;
}

int64_t AuthoringBytes(int titles)
{
    return kIfoBytes + kIfoBytesPerTitle * std::max(titles, 1);
}

int64_t Usable(int64_t capacity)
{
    return static_cast<int64_t>(std::floor(static_cast<double>(capacity) * (1.0 - kMargin)));
}

std::string Printed(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// "A 4.7 GB DVD", "An 8.5 GB DVD".
std::string DiscName(int64_t capacity)
{
    const std::string size = FormatGigabytes(capacity, 1);
    return (size[0] == '8' ? "An " : "A ") + size + " DVD";
}

} // namespace

int64_t EstimateVideoTsBytes(double seconds, int videoKbps, int titles)
{
    const double streams = std::max(seconds, 0.0) * BytesPerSecond(videoKbps) * (1.0 + kMuxOverhead);
    return static_cast<int64_t>(std::ceil(streams)) + AuthoringBytes(titles);
}

int64_t EstimateDiscBytes(double seconds, int videoKbps, int titles)
{
    return EstimateVideoTsBytes(seconds, videoKbps, titles) + kFileSystemBytes;
}

int64_t EstimateMpegDiscBytes(int64_t mpegBytes, int titles)
{
    const double vobs = std::ceil(static_cast<double>(std::max<int64_t>(mpegBytes, 0)) * (1.0 + kNavigationPackOverhead));
    return static_cast<int64_t>(vobs) + AuthoringBytes(titles) + kFileSystemBytes;
}

RatePlan PlanVideoRate(double seconds, int titles, int64_t capacity)
{
    RatePlan plan;
    plan.seconds = seconds;
    plan.titles = titles;
    plan.capacity = capacity;
    plan.estimatedBytes = EstimateDiscBytes(seconds, DVD_VIDEO_KBPS, titles);
    if (capacity <= 0 || plan.estimatedBytes <= Usable(capacity))
        return plan;
    for (int kbps = DVD_VIDEO_KBPS - kRateStep; kbps >= MIN_VIDEO_KBPS; kbps -= kRateStep) {
        const int64_t bytes = EstimateDiscBytes(seconds, kbps, titles);
        if (bytes <= Usable(capacity)) {
            plan.verdict = FitVerdict::LowerRate;
            plan.videoKbps = kbps;
            plan.estimatedBytes = bytes;
            return plan;
        }
    }
    plan.verdict = FitVerdict::TooLong;
    return plan;
}

double LongestAtMinimumRate(int titles, int64_t capacity)
{
    const double room = static_cast<double>(Usable(capacity) - AuthoringBytes(titles) - kFileSystemBytes);
    return std::max(room, 0.0) / (BytesPerSecond(MIN_VIDEO_KBPS) * (1.0 + kMuxOverhead));
}

std::string FormatGigabytes(int64_t bytes, int decimals)
{
    const char* format = decimals == 1 ? "%.1f GB" : "%.2f GB";
    return Printed(format, static_cast<double>(bytes) / 1e9);
}

std::string FormatDuration(double seconds, MinuteRounding rounding)
{
    const double exact = std::max(seconds, 0.0) / 60.0;
    // A sum of probed lengths may miss a whole minute by a rounding error.
    constexpr double kSlack = 1e-6;
    const long minutes = rounding == MinuteRounding::Up     ? static_cast<long>(std::ceil(exact - kSlack))
                         : rounding == MinuteRounding::Down ? static_cast<long>(std::floor(exact + kSlack))
                                                            : std::lround(exact);
    if (minutes < 60)
        return std::to_string(minutes) + " min";
    return std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min";
}

std::string FormatThousands(int64_t value)
{
    const std::string digits = std::to_string(value < 0 ? -value : value);
    std::string text = value < 0 ? "-" : "";
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += ',';
        text += digits[i];
    }
    return text;
}

std::string EstimateLogLine(const RatePlan& plan)
{
    return "Estimated disc use: " + FormatGigabytes(plan.estimatedBytes) + " of " + FormatGigabytes(plan.capacity) +
           " (video at " + FormatThousands(plan.videoKbps) + " kbit/s)";
}

std::string TooLongText(const RatePlan& plan)
{
    // Rounded apart, so the two figures never read as if the videos fit.
    return "The videos last " + FormatDuration(plan.seconds, MinuteRounding::Up) + ". " + DiscName(plan.capacity) +
           " holds about " + FormatDuration(LongestAtMinimumRate(plan.titles, plan.capacity), MinuteRounding::Down) +
           " at acceptable quality. Remove some files, or split them across two discs.";
}

std::string UnknownDurationsText(const std::vector<std::string>& names)
{
    std::string list;
    const size_t shown = std::min(names.size(), kUnknownNamesShown);
    for (size_t i = 0; i < shown; ++i)
        list += (i == 0 ? "" : ", ") + names[i];
    if (names.size() > shown)
        list += ", ... and " + std::to_string(names.size() - shown) + " more";
    return "The length of these videos could not be read: " + list +
           ". Whether they fit on the disc is not known. Go on anyway?";
}

std::string ProbeMissingText()
{
    return "The length of the videos could not be read: ffprobe was not found (install the ffmpeg package). "
           "Whether they fit on the disc is not known. Go on anyway?";
}

std::string OversizeImageText(int64_t estimatedBytes, int64_t capacity)
{
    std::string text = "The image will take about " + FormatGigabytes(estimatedBytes) + ", more than a single-layer DVD holds (" +
                       FormatGigabytes(capacity) + ")";
    if (estimatedBytes <= DOUBLE_LAYER_DVD_BYTES)
        text += "; it fits an " + FormatGigabytes(DOUBLE_LAYER_DVD_BYTES, 1) + " double-layer DVD";
    return text + ". Make the image anyway?";
}

std::string MpegFilesTooLargeText(int64_t estimatedBytes, int64_t capacity)
{
    return "The MPEG files need about " + FormatGigabytes(estimatedBytes) + " on the disc, which holds " +
           FormatGigabytes(capacity) + ". Remove some files, or split them across two discs.";
}
