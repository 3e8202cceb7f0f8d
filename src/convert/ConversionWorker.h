#pragma once
// The conversion worker: one encoding job per entry of the source list, in
// list order, each run through the encoder runner. Window-free: it reaches
// the page only through a ConversionView.

#include "convert/ProcessRunner.h"

#include <atomic>
#include <string>

struct ConversionSettings;
class CDialog;

// What the worker shows and whom it tells; every call comes from the
// worker's thread.
class ConversionView {
public:
    virtual ~ConversionView() = default;
    // The file being converted: its name, its 1-based number and the count.
    virtual void ShowFile(const std::string& name, int number, int count) = 0;
    virtual void ShowPercent(int percent) = 0;
    // One conversion log entry (the view adds the time).
    virtual void AddLogLine(const std::string& text) = 0;
    // The owner of the questions the worker asks.
    virtual CDialog* Owner() = 0;
    // The run has ended: list done, cancelled, or no encoder could start.
    virtual void TransComplete() = 0;
};

// Shared between the worker and whoever may stop it.
struct ConversionControl {
    std::atomic<int> cancel{0};
    RunningChildSlot runningEncoder;
};

// Writes succeededCount and convertedFiles of settings (cleared by whoever
// starts the run) and ends with view.TransComplete(), except for task 1.
void AVI2MPEGFunc(ConversionSettings& settings, ConversionView& view, ConversionControl& control,
                  int pollMs = ENCODER_POLL_MS);
