#include "recorder/LibburnMessages.h"

#include <libburn/libburn.h>

#include <algorithm>
#include <atomic>
#include <cstring>

using namespace burn;

namespace {

std::atomic<bool> g_libburnUp{false};

} // namespace

void SetLibburnUp(bool up)
{
    g_libburnUp = up;
}

bool LibburnUp()
{
    return g_libburnUp;
}

void DiscardLibburnMessages()
{
    if (!g_libburnUp)
        return;
    int code = 0;
    int osErrno = 0;
    char text[BURN_MSGS_MESSAGE_LEN];
    char severity[80];
    burn_msgs_obtain(const_cast<char*>("NEVER"), &code, text, &osErrno, severity);
}

LibburnMessage LatestLibburnMessage()
{
    LibburnMessage latest;
    if (!g_libburnUp)
        return latest;
    int code = 0;
    int osErrno = 0;
    char text[BURN_MSGS_MESSAGE_LEN];
    char severity[80];
    while (burn_msgs_obtain(const_cast<char*>("SORRY"), &code, text, &osErrno, severity) == 1) {
        latest.present = true;
        latest.code = code;
        latest.osErrno = osErrno;
        latest.text = text;
    }
    return latest;
}

void CopyText(char* target, size_t size, const std::string& text)
{
    if (target == nullptr || size == 0)
        return;
    const size_t length = std::min(text.size(), size - 1);
    std::memcpy(target, text.data(), length);
    target[length] = '\0';
}

RecorderException Report(const CallReport& report, const UnitResult& result, bool withLibburn)
{
    if (result.Ok()) {
        CopyText(report.text, report.textSize, "");
        if (report.status != nullptr)
            *report.status = RECORDER_STATUS_OK;
        if (report.details != nullptr)
            *report.details = FailureDetails{};
        return RECORDER_SUCCESS;
    }
    const LibburnMessage message = withLibburn ? LatestLibburnMessage() : LibburnMessage{};
    std::string text = result.text;
    if (message.present && text.find(message.text) == std::string::npos)
        text += " (libburn: " + message.text + ")";
    CopyText(report.text, report.textSize, text);
    if (report.status != nullptr)
        *report.status = RECORDER_STATUS_FAILED;
    if (report.details != nullptr) {
        *report.details = FailureDetails{};
        report.details->libraryCode = message.code;
        report.details->osError = message.osErrno;
    }
    return result.exception;
}
