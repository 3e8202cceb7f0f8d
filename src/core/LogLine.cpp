#include "core/LogLine.h"

#include <cstdio>

std::string FormatLogLine(const std::tm& time, const std::string& text)
{
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%.2d:%.2d:%.2d ", time.tm_hour, time.tm_min, time.tm_sec);
    return stamp + text;
}

std::string FormatLogLineNow(const std::string& text)
{
    std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    return FormatLogLine(local, text);
}
