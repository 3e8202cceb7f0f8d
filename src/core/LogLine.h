#pragma once
// The line format of both log lists (conversion and burn): local time as
// "hh:mm:ss", one space, then the text as it stands.

#include <ctime>
#include <string>

std::string FormatLogLine(const std::tm& time, const std::string& text);

// FormatLogLine with the local time of the call.
std::string FormatLogLineNow(const std::string& text);
