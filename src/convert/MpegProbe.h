#pragma once
// What ffprobe tells of the MPEG files of the burning task: container,
// picture, rates and audio, read side by side before anything is written,
// so that files a DVD player may refuse are named before the user waits.

#include "convert/ConversionRequest.h"
#include "convert/ProbeRun.h"

#include <cstdint>
#include <string>
#include <vector>

class JobControl;

// A ratio as ffprobe writes it, "30000/1001" or "16:9"; den 0 when absent.
struct Ratio {
    int64_t num = 0;
    int64_t den = 0;
    bool Known() const { return num > 0 && den > 0; }
    double Value() const { return Known() ? static_cast<double>(num) / static_cast<double>(den) : 0; }
    bool Equals(int64_t n, int64_t d) const { return Known() && num * d == n * den; }
};

struct VideoFacts {
    std::string codec; // "mpeg2video"
    int width = 0;
    int height = 0;
    Ratio frameRate;
    Ratio averageRate;
    Ratio aspect; // of the display
    // bit/s; 0 when the report has none.
    int64_t bitRate = 0;
    int64_t maxBitRate = 0; // the peak the stream's headers declare
};

struct AudioFacts {
    std::string codec; // "ac3"
    int sampleRate = 0;
    int64_t bitRate = 0;
};

struct MpegFacts {
    bool readable = false;
    std::string format;     // "mpeg"
    std::string formatName; // "MPEG-PS (MPEG-2 Program Stream)"
    int64_t bitRate = 0;    // the whole file's, bit/s
    std::vector<VideoFacts> video;
    std::vector<AudioFacts> audio;
};

struct MpegInput {
    std::string name;
    MpegFacts facts;
};

struct MpegSurvey {
    std::vector<MpegInput> files; // in list order
    bool cancelled = false;
    bool probeMissing = false;
};

// ffprobe's JSON report of one file; not readable when it is no report or
// names no stream.
MpegFacts ParseMpegReport(const std::string& json);

// Reads every source, workers at a time, each within timeoutMs.
MpegSurvey ProbeMpegFiles(const std::vector<SourceFile>& sources, JobControl* control, int timeoutMs,
                          int workers = ProbeWorkers());
