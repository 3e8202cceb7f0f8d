#include "recorder/dvdvideo/DiscTime.h"

#include <algorithm>
#include <ctime>

DiscTime DiscTime::FromUnix(int64_t seconds)
{
    time_t value = static_cast<time_t>(seconds);
    struct tm parts {};
    if (gmtime_r(&value, &parts) == nullptr)
        return DiscTime();
    return Checked(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min,
                   parts.tm_sec, 0);
}

DiscTime DiscTime::Checked(int year, int month, int day, int hour, int minute, int second, int hundredths)
{
    DiscTime time;
    // ISO 9660 directory records count years from 1900 in one byte.
    time.year = std::clamp(year, 1900, 2155);
    time.month = std::clamp(month, 1, 12);
    time.day = std::clamp(day, 1, 31);
    time.hour = std::clamp(hour, 0, 23);
    time.minute = std::clamp(minute, 0, 59);
    time.second = std::clamp(second, 0, 59);
    time.hundredths = std::clamp(hundredths, 0, 99);
    return time;
}
