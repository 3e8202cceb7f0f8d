#pragma once
// The process-wide log: messages go, by channel, to the listeners that asked
// for that channel. Callable from any thread.

#include <cstdarg>

constexpr int LOG_CHANNEL_TRACE = 0; // technical trace; nobody listens to it
constexpr int LOG_CHANNEL_BURN = 1;  // short texts for the burn page

constexpr int LOG_INFO = 0;
constexpr int LOG_WARNING = 2;
constexpr int LOG_ERROR = 3;

// Bytes of the formatting buffer, terminator included: a longer message is cut.
constexpr int LOG_TEXT_MAX = 4096;

using LogListener = void (*)(int level, const char* text);

void LogPrintf(int channel, int level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
void LogVPrintf(int channel, int level, const char* format, va_list args);

// Adds the pair unless it is registered already; there is no removal.
void AddLogListener(LogListener listener, int channel);
