#pragma once
// The log's trace channel in trace.log of the user's cache folder, for
// whoever must find out afterwards what the recorder code did and what the
// recording library said. The file is bounded: once it would pass its limit
// it becomes trace.log.1 (replacing the older one) and a new one starts.
// A thread of the file's own writes it, so a slow disk never holds whoever
// logs; a file that cannot be written costs one line on standard error.

#include "core/Log.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class TraceFile {
public:
    static constexpr const char* kName = "trace.log";
    static constexpr const char* kOldName = "trace.log.1";
    static constexpr uint64_t kLimit = 1024 * 1024;

    // Writes every trace message from now on into folder, which is made
    // (mode 0700) when missing and must be the user's own and closed to
    // others; "" writes nothing.
    explicit TraceFile(const std::string& folder, uint64_t limit = kLimit);
    // Writes what is still queued, then stops.
    ~TraceFile();
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

private:
    struct Queue;
    class Writer;

    std::shared_ptr<Queue> queue_;
    std::thread thread_;
    LogListenerRegistration registration_;
};

// A trace message as lines of the file and of the saved log: each line of
// its text after the local time ("hh:mm:ss "), blank lines left out.
std::vector<std::string> TraceLines(const LogEntry& entry);

// The last count such lines of the trace the log keeps.
std::vector<std::string> RecentTraceLines(size_t count);
