#pragma once
// The program itself as a child process: started offscreen, stopped from
// outside once it listens, and waited for.

#include "process/Spawn.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <poll.h>
#include <set>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

// Whether the process has put its own handler on the signal yet.
inline bool CatchesSignal(pid_t pid, int signal)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
    }
    return false;
}

// Our environment with settings ("NAME=value") in place of ours of their names.
inline std::vector<std::string> EnvironmentWith(std::vector<std::string> settings)
{
    const auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    std::set<std::string> replaced;
    for (const std::string& setting : settings)
        replaced.insert(nameOf(setting));
    for (char** entry = environ; *entry; ++entry)
        if (replaced.count(nameOf(*entry)) == 0)
            settings.emplace_back(*entry);
    return settings;
}

// Starts arguments with our standard output and error.
inline SpawnedChild StartWithEnvironment(std::vector<std::string> arguments, std::vector<std::string> environment)
{
    SpawnRequest request;
    request.arguments = std::move(arguments);
    request.environment = std::move(environment);
    request.output = kInheritStream;
    request.error = kInheritStream;
    request.session = ChildSession::Same;
    return Spawn(request);
}

// Runs program offscreen, with settings in its environment in place of the
// test's own, sends it signal once it listens for it, and returns its exit
// status (-1 when it did not end in time).
inline int RunUntilStopped(const std::string& program, std::vector<std::string> settings, int signal)
{
    settings.push_back("QT_QPA_PLATFORM=offscreen");
    const SpawnedChild child = StartWithEnvironment({program}, EnvironmentWith(settings));
    if (child.failure != SpawnedChild::Failure::None)
        return -2;
    for (int i = 0; i < 1000 && !CatchesSignal(child.pid, signal); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(CatchesSignal(child.pid, signal));
    ::kill(child.pid, signal);
    pollfd ended {child.pidfd, POLLIN, 0};
    const bool inTime = ::poll(&ended, 1, 15000) == 1;
    if (!inTime)
        ::kill(child.pid, SIGKILL);
    ::close(child.pidfd);
    int status = 0;
    ::waitpid(child.pid, &status, 0);
    return !inTime ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
