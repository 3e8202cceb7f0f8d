#pragma once
// What a DVD player takes, checked over ffprobe's reports of the burning
// task's MPEG files: the burn goes on only when the user has heard which
// file a player may refuse and why. Window-free; the output page asks.

#include "convert/DiscFit.h"
#include "convert/MpegProbe.h"

#include <cstddef>
#include <string>
#include <vector>

enum class TvSystem { Unknown, Pal, Ntsc };

constexpr int DVD_VIDEO_PEAK_KBPS = 9800;
constexpr size_t DVD_AUDIO_STREAMS = 8;
constexpr size_t kProblemFilesShown = 10;

// The system a picture belongs to: its size's, else its frame rate's.
TvSystem TvSystemOf(const VideoFacts& video);

// The video rate a player must keep up with, in kbit/s; 0 when unknown.
int64_t VideoKbps(const MpegFacts& facts);

// What a player may refuse in one file, in plain words; empty when nothing.
std::vector<std::string> FileProblems(const MpegFacts& facts);

// One line for each file that fails, in list order, such as "holiday.mpg:
// 640×480 is not a DVD picture size (PAL: 720×576, 704×576, 352×576,
// 352×288)." Files of another TV system than most are named as such.
std::vector<std::string> ProblemLines(const std::vector<MpegInput>& files);

// The question over those lines, of which the first kProblemFilesShown
// are shown.
std::string RefusedFilesText(const std::vector<std::string>& lines);

// Go on when every file passes; ask otherwise; stay after a cancel.
FitDecision DecideMpegInputs(const MpegSurvey& survey);
