#pragma once
// The conversion worker: one encoding job per source of the request, in
// order, each run through the encoder runner. Window-free: it reaches the
// page only through a ConversionView, and asks its questions through the
// handler the view gives.

#include "convert/ConversionRequest.h"
#include "convert/ProcessRunner.h"

#include <string>

class JobControl;
class JobQuestions;

// What the worker shows; every call comes from the worker's thread.
class ConversionView {
public:
    virtual ~ConversionView() = default;
    // The file being converted: its name, its 1-based number and the count.
    virtual void ShowFile(const std::string& name, int number, int count) = 0;
    virtual void ShowPercent(int percent) = 0;
    // One conversion log entry (the view adds the time).
    virtual void AddLogLine(const std::string& text) = 0;
    virtual JobQuestions& Questions() = 0;
};

// The run's result; a cancelled run counts no success. The caller applies it
// to the shared record on the UI thread.
ConversionResult AVI2MPEGFunc(const ConversionRequest& request, ConversionView& view, JobControl* control,
                              int pollMs = ENCODER_POLL_MS);
