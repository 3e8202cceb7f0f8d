#pragma once
// Turns the encoder's progress report into the percent of the current file.
// One parser per encoder run; it keeps the duration once it has read one.

#include <optional>
#include <string_view>

class ProgressParser {
public:
    void Reset();

    // The percent (0..100) that this chunk reports, or nullopt when it reports
    // none: no duration known yet, or no "time=" ... "bitrate=" in it.
    std::optional<int> Parse(std::string_view chunk);

    double Duration() const { return duration_; }
    int Position() const { return position_; }
    int Percent() const { return percent_; }

private:
    // Whole seconds, as the encoder's reports have always been read; for a
    // clip shorter than a second, hundredths.
    bool subSecond_ = false;
    double duration_ = 0;
    int position_ = 0;
    int percent_ = 0;
};

// The display form of a percent, as in "57%".
std::string PercentText(int percent);
