#pragma once
// The process-wide log: messages go, by channel, to the listeners that asked
// for that channel, and each channel keeps its latest entries, so that a
// listener that comes late can catch up. Callable from any thread.

#include <chrono>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

constexpr int LOG_CHANNEL_TRACE = 0; // technical trace, for the trace file
constexpr int LOG_CHANNEL_BURN = 1;  // short texts for the burn page

constexpr int LOG_INFO = 0;
constexpr int LOG_WARNING = 2;
constexpr int LOG_ERROR = 3;

// Bytes of the formatting buffer, terminator included: a longer message is cut.
constexpr int LOG_TEXT_MAX = 4096;

// Entries each channel keeps.
constexpr size_t LOG_HISTORY_SIZE = 1000;

struct LogEntry {
    // Increases with every message, whatever its channel.
    uint64_t id = 0;
    int channel = 0;
    int level = LOG_INFO;
    std::chrono::system_clock::time_point time;
    std::string text;
};

using LogListener = std::function<void(const LogEntry& entry)>;

void LogPrintf(int channel, int level, const char* format, ...) __attribute__((format(printf, 3, 4)));
void LogVPrintf(int channel, int level, const char* format, va_list args);

// A listener's place in the log, for as long as the object lives.
class LogListenerRegistration {
public:
    LogListenerRegistration() = default;
    ~LogListenerRegistration() { Remove(); }
    LogListenerRegistration(LogListenerRegistration&& other) noexcept;
    LogListenerRegistration& operator=(LogListenerRegistration&& other) noexcept;
    LogListenerRegistration(const LogListenerRegistration&) = delete;
    LogListenerRegistration& operator=(const LogListenerRegistration&) = delete;

    // No call of the listener starts after this; one running on another
    // thread at this moment may still end, so what it reaches must check
    // that it is still there.
    void Remove();

private:
    friend LogListenerRegistration AddLogListener(int channel, LogListener listener);
    explicit LogListenerRegistration(uint64_t id) : id_(id) {}

    uint64_t id_ = 0;
};

// The listener gets the channel's messages on the logging thread, never
// under the log's lock; one it adds meanwhile is served by the same message.
[[nodiscard]] LogListenerRegistration AddLogListener(int channel, LogListener listener);

// The entries the channel keeps with an id above after, oldest first.
std::vector<LogEntry> LogHistory(int channel, uint64_t after = 0);
// The id of the latest message of any channel; 0 before the first.
uint64_t LastLogId();
