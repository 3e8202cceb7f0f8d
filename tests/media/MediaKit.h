#pragma once
// Helpers of the media tests: running a program with its output captured,
// making small lavfi clips, and reading ffprobe's report of a file.

#include "JsonValue.h"

#include <string>
#include <sys/types.h>
#include <vector>

struct ProgramResult {
    bool started = false;
    int exitCode = -1;  // -1 when it ended by a signal
    std::string output; // standard output and standard error, interleaved
};

// Runs argv[0] (looked up on PATH when it has no '/'), waits for its end.
// environment, when given, replaces the inherited one ("NAME=value" texts).
ProgramResult RunProgram(const std::vector<std::string>& argv,
                         const std::vector<std::string>* environment = nullptr);

// A started program whose combined output the test reads as it comes.
struct RunningProgram {
    pid_t pid = -1;
    int outputFd = -1;
};
RunningProgram StartProgram(const std::vector<std::string>& argv);
// Reads what is there within timeoutMs; false at the end of the output.
bool ReadSome(const RunningProgram& program, std::string* output, int timeoutMs);
// Waits for its end; the exit code, or -1 after a signal.
int WaitProgram(RunningProgram& program);

// A new empty folder under the system's temporary folder, and its removal.
std::string MakeScratchFolder();
void RemoveScratchFolder(const std::string& folder);

// A testsrc clip of 320x240 at 25 frames/s, with a sine tone when withAudio.
// False, with the encoder's output in *log, when FFmpeg could not make it.
bool MakeClip(const std::string& path, int seconds, bool withAudio, std::string* log);

// ffprobe's streams and format of a file; false when it cannot read it.
bool ProbeMedia(const std::string& path, JsonValue* report, std::string* log);
// The first stream of that type ("video", "audio") in the report, or null.
const JsonValue* FindStream(const JsonValue& report, const std::string& type);
// Sum of the payload bytes of a file's video packets (0 when unreadable).
long long VideoPayloadBytes(const std::string& path);

// The program folder's encoder front.
std::string MgExePath();
