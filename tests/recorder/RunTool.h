#pragma once
// Runs a tool the tests check their results with, no shell between.

#include "process/ChildProcess.h"
#include "process/FindOnPath.h"
#include "recorder/VideoCdMaker.h"

#include <sys/wait.h>

#include <string>
#include <vector>

struct CheckToolOutput {
    int exitCode = -1;
    std::string output;
};

// arguments[0] is looked for on PATH.
inline CheckToolOutput RunCheckTool(std::vector<std::string> arguments)
{
    CheckToolOutput result;
    const std::string program = FindOnPath(arguments[0]);
    if (program.empty())
        return {-1, arguments[0] + " is not installed"};
    arguments[0] = program;
    ChildProcess child;
    if (child.Start(arguments, &result.output) != ChildProcess::StartResult::Started)
        return result;
    while (child.WaitReadable(-1) && child.ReadAvailable(result.output) != ChildProcess::ReadResult::Ended) {
    }
    const int status = child.Finish();
    result.exitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}
