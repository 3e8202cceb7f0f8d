#pragma once
// How much of a DVD a run will fill, before any of it is converted or
// burnt, and the video rate that lets the run fit. Window-free: the output
// page asks, shows the texts and decides.

#include <cstdint>
#include <string>
#include <vector>

// What a blank single-layer DVD-R holds; the image-file recorder stands for one.
constexpr int64_t SINGLE_LAYER_DVD_BYTES = 4700372992LL;
// DVD+R DL.
constexpr int64_t DOUBLE_LAYER_DVD_BYTES = 8547991552LL;

// The rates FFmpeg's pal-dvd and ntsc-dvd targets encode at.
constexpr int DVD_VIDEO_KBPS = 6000;
constexpr int DVD_AUDIO_KBPS = 448;
// Below this the picture is no longer worth watching.
constexpr int MIN_VIDEO_KBPS = 2000;

// The VIDEO_TS tree of titles lasting seconds in all, at videoKbps.
int64_t EstimateVideoTsBytes(double seconds, int videoKbps, int titles);
// The disc: the VIDEO_TS tree and the file system around it.
int64_t EstimateDiscBytes(double seconds, int videoKbps, int titles);
// The disc made of existing DVD MPEG files of mpegBytes in all.
int64_t EstimateMpegDiscBytes(int64_t mpegBytes, int titles);

enum class FitVerdict { StandardRate, LowerRate, TooLong };

struct RatePlan {
    FitVerdict verdict = FitVerdict::StandardRate;
    // The video rate of the run; DVD_VIDEO_KBPS unless the verdict is
    // LowerRate.
    int videoKbps = DVD_VIDEO_KBPS;
    int64_t estimatedBytes = 0;
    int64_t capacity = 0;
    double seconds = 0;
    int titles = 0;
};

// The highest video rate, in steps of 100 kbit/s, at which the estimate
// stays 2% below capacity. A capacity of 0 (unknown) fits anything.
RatePlan PlanVideoRate(double seconds, int titles, int64_t capacity);

// The longest run of that many titles that fits at the lowest rate.
double LongestAtMinimumRate(int titles, int64_t capacity);

// "4.52 GB" (decimal gigabytes, as discs are sold).
std::string FormatGigabytes(int64_t bytes, int decimals = 2);
enum class MinuteRounding { Nearest, Up, Down };
// "4 h 10 min", "55 min".
std::string FormatDuration(double seconds, MinuteRounding rounding = MinuteRounding::Nearest);
// "4,800".
std::string FormatThousands(int64_t value);

// "Estimated disc use: 4.52 GB of 4.70 GB (video at 4,800 kbit/s)"
std::string EstimateLogLine(const RatePlan& plan);
// The refusal of a run that does not fit even at the lowest rate.
std::string TooLongText(const RatePlan& plan);
// The question when some lengths could not be read (names: those sources,
// of which the first kUnknownNamesShown are named).
constexpr size_t kUnknownNamesShown = 10;
std::string UnknownDurationsText(const std::vector<std::string>& names);
// The question when no length could be read for want of ffprobe.
std::string ProbeMissingText();
// The question before an image larger than a single-layer DVD is made.
std::string OversizeImageText(int64_t estimatedBytes, int64_t capacity);
// The refusal of MPEG files that do not fit.
std::string MpegFilesTooLargeText(int64_t estimatedBytes, int64_t capacity);
