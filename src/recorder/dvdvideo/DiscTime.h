#pragma once
// A date and time as the disc records it, in UTC.

#include <cstdint>

struct DiscTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int hundredths = 0;

    static DiscTime FromUnix(int64_t seconds);
    // Out-of-range fields are clamped, so a caller's odd date cannot produce
    // timestamps that readers reject.
    static DiscTime Checked(int year, int month, int day, int hour, int minute, int second, int hundredths);
};
