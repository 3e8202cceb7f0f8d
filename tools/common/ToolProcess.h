#pragma once
// What the program folder's tool fronts share: running the system's tool as
// a child that ends with the front.

#include "process/FindOnPath.h"

#include <string>
#include <vector>

// Holds back SIGTERM, SIGINT, SIGHUP and SIGCHLD so that RunTool can answer
// them in order. Call it first thing: a stop that comes before the tool runs
// is answered then, after what the front has set up can be cleaned away.
void HoldStopSignals();

// Descriptors the tool gets as its standard streams instead of ours; -1
// keeps ours.
struct ToolStreams {
    int input = -1;
    int output = -1;
    int error = -1;
};

struct ToolRun {
    int exitCode = 0;   // the tool's status; 128 + n when signal n ended it
    int stopSignal = 0; // the signal that stopped the front, 0 when none did
};

// Runs program (argv[0] is the name it is given) with our standard streams
// and environment and waits for its end. When the front is told to stop, the
// tool is killed and reaped before this returns; the caller cleans up and
// then calls EndBySignal. A tool that cannot be run is reported on standard
// error, with status 126.
ToolRun RunTool(const char* front, const std::string& program, const std::vector<std::string>& argv,
                const ToolStreams& streams = {});

// Ends the front by the signal that stopped it, as if it had not caught it.
[[noreturn]] void EndBySignal(int signal);
