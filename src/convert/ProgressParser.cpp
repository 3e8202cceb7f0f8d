#include "convert/ProgressParser.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

// atoi's reading: leading blanks, an optional sign, digits up to the first
// non-digit; no digits give 0.
long ToInteger(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value < 100000000L)
            value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

std::string_view Field(std::string_view text, size_t at, size_t length)
{
    return at < text.size() ? text.substr(at, length) : std::string_view();
}

// "83.52" gives 83; "00:01:23.52" gives 83 (hours, minutes, seconds).
long PositionSeconds(std::string_view text)
{
    size_t firstColon = text.find(':');
    size_t secondColon = firstColon == std::string_view::npos ? firstColon : text.find(':', firstColon + 1);
    if (secondColon == std::string_view::npos)
        return ToInteger(text);
    std::string_view hours = text.substr(0, firstColon);
    long magnitude = std::labs(ToInteger(hours)) * 3600
        + ToInteger(text.substr(firstColon + 1, secondColon - firstColon - 1)) * 60
        + ToInteger(text.substr(secondColon + 1));
    return hours.find('-') != std::string_view::npos ? -magnitude : magnitude;
}

// The same reading with the hundredths kept: "00:00:00.48" gives 0.48.
double ExactPositionSeconds(std::string_view text)
{
    const size_t lastColon = text.rfind(':');
    const std::string_view seconds = lastColon == std::string_view::npos ? text : text.substr(lastColon + 1);
    const double whole = static_cast<double>(PositionSeconds(text));
    const size_t dot = seconds.find('.');
    if (dot == std::string_view::npos)
        return whole;
    const double fraction = ToInteger(Field(seconds, dot + 1, 2)) / 100.0;
    return whole < 0 || text.find('-') != std::string_view::npos ? whole - fraction : whole + fraction;
}

} // namespace

void ProgressParser::Reset()
{
    subSecond_ = false;
    duration_ = 0;
    position_ = 0;
    percent_ = 0;
}

// The encoder (FFmpeg underneath) writes, once and then again and again:
//   Duration: 00:00:05.02, start: 0.000000, bitrate: 752 kb/s
//   frame=   89 fps=0.0 q=2.0 size=     512kB time=00:00:03.54 bitrate=1182.4kbits/s speed=7.04x
std::optional<int> ProgressParser::Parse(std::string_view chunk)
{
    if (duration_ == 0) {
        size_t p = chunk.find("Duration:");
        if (p != std::string_view::npos) {
            long hours = ToInteger(Field(chunk, p + 10, 2));
            long minutes = ToInteger(Field(chunk, p + 13, 2));
            long seconds = ToInteger(Field(chunk, p + 16, 2));
            duration_ = static_cast<double>(hours * 3600 + minutes * 60 + seconds);
            // A clip shorter than a second would have no duration at all
            // in whole seconds, and so never any progress.
            if (duration_ == 0) {
                duration_ = ToInteger(Field(chunk, p + 19, 2)) / 100.0;
                subSecond_ = duration_ > 0;
            }
        }
        if (duration_ == 0)
            return std::nullopt;
    }
    size_t t = chunk.find("time=");
    if (t == std::string_view::npos)
        return std::nullopt;
    size_t b = chunk.find("bitrate=", t);
    if (b == std::string_view::npos)
        return std::nullopt;
    const std::string_view positionText = chunk.substr(t + 5, b - t - 5);
    position_ = static_cast<int>(std::clamp<long>(PositionSeconds(positionText), std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max()));
    // Judged before the cut to an integer: a garbled position far past the
    // duration must not overflow it.
    double exact = (subSecond_ ? ExactPositionSeconds(positionText) : position_) * 100.0 / duration_;
    int percent;
    // A position past the duration is not the end of the file: the encoder
    // has not finished, so the bar stops short of full.
    if (exact >= 101)
        percent = 99;
    // A negative duration or position ("time=-00:00:00.04" at the start of
    // some streams) is no progress.
    else if (exact < 0)
        percent = 0;
    else
        percent = static_cast<int>(exact);
    percent_ = percent;
    return percent_;
}

std::string PercentText(int percent)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d%s", percent, "%");
    return text;
}
