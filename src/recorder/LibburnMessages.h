#pragma once
// libburn's message queue and the shape every unit operation answers in.

#include "recorder/RecorderLibrary.h"

#include <string>

// libburn's queue exists only while libburn is up; the library says when.
void SetLibburnUp(bool up);
bool LibburnUp();

// Each call starts from an empty queue so the message fetched after a
// failure belongs to that call.
void DiscardLibburnMessages();

struct LibburnMessage {
    bool present = false;
    int code = 0;
    int osErrno = 0;
    std::string text;
};
LibburnMessage LatestLibburnMessage();

// What an operation of a unit came to: success, or an exception and a text.
struct UnitResult {
    RecorderException exception = RECORDER_SUCCESS;
    std::string text;

    bool Ok() const { return exception == RECORDER_SUCCESS; }
    static UnitResult Success() { return {}; }
    static UnitResult Failure(RecorderException exception, std::string text)
    {
        return {exception, std::move(text)};
    }
};

void CopyText(char* target, size_t size, const std::string& text);

// Fills the call's report: empty text and OK on success; on failure the text
// with libburn's latest complaint added, and the failure details.
// withLibburn false leaves libburn's queue to the call that owns it (a
// refusal while another thread writes).
RecorderException Report(const CallReport& report, const UnitResult& result, bool withLibburn = true);
