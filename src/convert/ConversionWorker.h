#pragma once
// The conversion worker: one encoding job per source of the request, up to
// one encoder per core at once, each run through the encoder runner; results
// and log in list order whatever the order of finishing. Window-free: it
// reaches the page only through a ConversionView, and asks its questions
// through the handler the view gives.

#include "convert/ConversionRequest.h"
#include "convert/ProcessRunner.h"

#include <string>

class JobControl;
class JobQuestions;

// What the worker shows; every call comes from the worker's thread, and
// questions from it or, when an encoder cannot be started, from that
// encoder's thread while the worker waits.
class ConversionView {
public:
    virtual ~ConversionView() = default;
    // The files being converted, the earliest first (names joined by ", "),
    // the 1-based number of that earliest one, and the count.
    virtual void ShowFile(const std::string& names, int number, int count) = 0;
    // How far the earliest file being converted is.
    virtual void ShowPercent(int percent) = 0;
    // How far the whole list is, every file counting the same.
    virtual void ShowTotal(int percent) = 0;
    // One conversion log entry (the view adds the time).
    virtual void AddLogLine(const std::string& text) = 0;
    virtual JobQuestions& Questions() = 0;
};

// The number of encoders a request runs at once: its own count, or with
// none, one per core this process may use, at most 8.
int EncoderSlots(const ConversionRequest& request);

// The run's result; a cancelled run counts no success. The caller applies it
// to the shared record on the UI thread.
ConversionResult AVI2MPEGFunc(const ConversionRequest& request, ConversionView& view, JobControl* control,
                              int pollMs = ENCODER_POLL_MS);
