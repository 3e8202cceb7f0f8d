#pragma once
// The playing time of the sources, read with ffprobe from the PATH before
// a run, so that the disc can be planned before anything is converted.

#include "convert/ConversionRequest.h"
#include "convert/ProbeRun.h"

#include <optional>
#include <string>
#include <vector>

class JobControl;

// How long one ffprobe may take over one file.
constexpr int DURATION_PROBE_LIMIT_MS = 20000;

// The seconds ffprobe reports for path; nullopt when it reports none, fails,
// is not found, overruns timeoutMs or the job is cancelled.
std::optional<double> ProbeDuration(const std::string& path, int timeoutMs = DURATION_PROBE_LIMIT_MS,
                                    JobControl* control = nullptr);

struct DurationSurvey {
    double knownSeconds = 0;
    int knownCount = 0;
    // The names of the sources whose length could not be read.
    std::vector<std::string> unknown;
    bool cancelled = false;
    // No ffprobe on the PATH: nothing was read, every source is unknown.
    bool probeMissing = false;
};

// Reads the sources side by side, workers at a time; the unknown names
// stay in list order.
DurationSurvey ProbeDurations(const std::vector<SourceFile>& sources, JobControl* control = nullptr,
                              int timeoutMs = DURATION_PROBE_LIMIT_MS, int workers = ProbeWorkers());

// ffprobe's report of the duration: the last number of seconds above 0 on a
// line of its own or after a "duration" key; nullopt when there is none
// ("N/A", an error message).
std::optional<double> ParseDurationReport(const std::string& output);
