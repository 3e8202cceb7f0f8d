#pragma once
// Starting a program that outlives this one, as a desktop's opener is started.

#include <string>
#include <vector>

// How a program started detached fared in its first moments.
struct LaunchResult {
    enum Kind { StillRunning, Exited, NotStarted } kind = NotStarted;
    int exitStatus = 0; // Exited: the exit code, or 128 + signal
    int error = 0;      // NotStarted: errno of what failed
};

// Starts arguments (arguments[0] a path, no shell) in a session of its own,
// with standard input and output on /dev/null, and waits at most waitMs for
// it to end. It is never the caller's child, so it is never left a zombie
// and is not stopped with the program.
LaunchResult LaunchDetached(const std::vector<std::string>& arguments, int waitMs);
