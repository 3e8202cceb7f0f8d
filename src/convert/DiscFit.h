#pragma once
// Whether a run fits the disc in the recorder, and what to do when it does
// not: go on (perhaps at a lower video rate), refuse with the figures, or
// ask. A drive's disc is refused; the image-file recorder only warns, since
// a larger image may still serve (a double-layer disc, another use).

#include "convert/DurationProbe.h"

#include <cstdint>
#include <string>
#include <vector>

enum class FitAction { GoOn, Refuse, Ask, Stay };

struct FitDecision {
    FitAction action = FitAction::GoOn;
    // The box's text for Refuse and Ask (Yes goes on as GoOn would).
    std::string text;
    // The run's video rate, 0 for the target's own; and its log line.
    int videoKbps = 0;
    std::string estimateLine;
};

// Task 0: the sources' lengths against capacity (0: unknown, not checked).
FitDecision DecideVideoFit(const DurationSurvey& survey, int titles, int64_t capacity, bool imageFile);

// Task 1: the MPEG files' summed size against capacity.
FitDecision DecideMpegFit(int64_t mpegBytes, int titles, int64_t capacity, bool imageFile);

// The summed size of the files; one that cannot be read counts 0.
int64_t SummedFileSize(const std::vector<std::string>& paths);
