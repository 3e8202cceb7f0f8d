#pragma once
// Helpers of the media tests: running a program with its output captured,
// making small lavfi clips, and reading ffprobe's report of a file.

#include <nlohmann/json.hpp>

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
// ownGroup: in a process group of its own, as the program runs its tools.
RunningProgram StartProgram(const std::vector<std::string>& argv, bool ownGroup = false);
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

// A 0.4-second testsrc clip of size ("720x576") at rate ("25"), with a
// 48 kHz tone, encoded with FFmpeg's output options (["-target", "pal-dvd"]).
bool MakeMpeg(const std::string& path, const std::string& size, const std::string& rate,
              const std::vector<std::string>& options, std::string* log);

// ffprobe's streams and format of a file; false when it cannot read it.
bool ProbeMedia(const std::string& path, nlohmann::json* report, std::string* log);
// The first stream of that type ("video", "audio") in the report, or null.
const nlohmann::json* FindStream(const nlohmann::json& report, const std::string& type);
// A member of an object as text (a number as its digits), "" when absent.
std::string TextOf(const nlohmann::json& object, const std::string& name);
// A number member, 0 when absent or not a number.
long IntegerOf(const nlohmann::json& object, const std::string& name);
// Sum of the payload bytes of a file's video packets (0 when unreadable).
long long VideoPayloadBytes(const std::string& path);

// The program folder's encoder and authoring fronts.
std::string MgExePath();
std::string ArExePath();

// The names in a folder, sorted.
std::vector<std::string> FolderNames(const std::string& folder);
// A whole file's content, "" when it cannot be read.
std::string ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::string& content);
