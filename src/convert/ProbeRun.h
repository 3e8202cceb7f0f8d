#pragma once
// ffprobe over the user's files before a run: one probe with a time limit
// that a cancel stops, and many probes side by side, since each spends most
// of its fifth of a second starting up rather than reading.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class JobControl;

constexpr const char* PROBE_PROGRAM = "ffprobe";

// What the probe wrote (its last keepBytes) when it ended with status 0
// within timeoutMs; nullopt when it could not start, failed, overran the
// limit or the job was cancelled. arguments[0] is the program's path.
std::optional<std::string> RunProbe(const std::vector<std::string>& arguments, int timeoutMs, JobControl* control,
                                    size_t keepBytes);

// How many probes run at once: one a core, from 1 to 8.
int ProbeWorkers();

// Calls work(i) for every i below count, on up to workers threads at once
// (the caller's among them), and returns when every call has returned.
void RunSideBySide(size_t count, int workers, const std::function<void(size_t)>& work);
