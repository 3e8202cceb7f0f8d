#pragma once
// The program itself as a child process: started offscreen, stopped from
// outside once it listens, and waited for.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
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

// The exit status, or -1 when the process has not ended within the time.
inline int WaitForExit(pid_t pid, int seconds)
{
    for (int i = 0; i < seconds * 100; ++i) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

// Runs program offscreen, with settings ("NAME=value") in its environment in
// place of the test's own, sends it signal once it listens for it, and
// returns its exit status (-1 when it did not end in time).
inline int RunUntilStopped(const std::string& program, std::vector<std::string> settings, int signal)
{
    // Everything the child needs is made before the fork: this process
    // has threads, and the child may only exec.
    settings.push_back("QT_QPA_PLATFORM=offscreen");
    const auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    std::set<std::string> replaced;
    for (const std::string& setting : settings)
        replaced.insert(nameOf(setting));
    std::vector<std::string> environment = settings;
    for (char** entry = environ; *entry; ++entry)
        if (replaced.count(nameOf(*entry)) == 0)
            environment.emplace_back(*entry);
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    pid_t pid = ::fork();
    if (pid < 0)
        return -2;
    if (pid == 0) {
        ::execle(program.c_str(), program.c_str(), static_cast<char*>(nullptr), envp.data());
        ::_exit(127);
    }
    for (int i = 0; i < 1000 && !CatchesSignal(pid, signal); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(CatchesSignal(pid, signal));
    ::kill(pid, signal);
    return WaitForExit(pid, 15);
}
