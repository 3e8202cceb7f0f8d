#pragma once
// The one way this system starts a program. Every child gets an argument
// vector (never a shell's reading of a text), default signal handlers with
// nothing blocked, and none of our descriptors beyond its standard streams.
// A program that cannot be executed is reported to the starter with the
// system's words; it never looks like a program that ran and failed.

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// What a standard stream of the child is, where it is not a descriptor of ours.
constexpr int kInheritStream = -1; // our own stream of that number
constexpr int kNullStream = -2;    // /dev/null
constexpr int kOutputPipe = -3;    // the pipe the starter reads (output and error share one)

enum class ChildSession {
    Same,       // our process group
    OwnGroup,   // a group of its own, so that a stop reaches whatever it starts
    NewSession, // a session of its own: it has no terminal and outlives us
};

struct SpawnRequest {
    // arguments[0] is the name the program sees; program is the file run,
    // arguments[0] itself when empty. Neither is looked for on PATH.
    std::vector<std::string> arguments;
    std::string program {};
    // "NAME=value" texts in place of our environment.
    std::optional<std::vector<std::string>> environment {};
    int input = kNullStream;
    int output = kOutputPipe;
    int error = kOutputPipe;
    ChildSession session = ChildSession::OwnGroup;
    // The child gets SIGTERM when the thread that started it ends, so it
    // does not outlive a starter that is killed outright.
    bool endWithStarter = false;
};

struct SpawnedChild {
    enum class Failure { None, Pipe, Start } failure = Failure::Start;
    pid_t pid = -1;
    int pidfd = -1;    // readable once the child has ended; it is still to be reaped
    int outputFd = -1; // the read end of kOutputPipe (close-on-exec), -1 without one
    std::string error; // why it did not start, in the system's words
};

// The caller owns pid (reap it), pidfd and outputFd (close them).
SpawnedChild Spawn(const SpawnRequest& request);

// How a program started detached fared in its first moments.
struct LaunchResult {
    enum Kind { StillRunning, Exited, NotStarted } kind = NotStarted;
    int exitStatus = 0; // Exited: the exit code, or 128 + signal
    int error = 0;      // NotStarted: errno of what failed
};

// Starts arguments (arguments[0] a path) in a session of its own, with
// standard input and output on /dev/null, and waits at most waitMs for it
// to end. It is never our child, so it is never left a zombie and is not
// stopped with us.
LaunchResult LaunchDetached(const std::vector<std::string>& arguments, int waitMs);
