// The program itself, run from a folder of its own: a stop request from
// outside ends it the way closing the window does.

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// Whether the process has put its own handler on the signal yet.
bool CatchesSignal(pid_t pid, int signal)
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
int WaitForExit(pid_t pid, int seconds)
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

} // namespace

TEST(ProgramTest, StopSignalClosesTheWindowAndKeepsTheSettings)
{
    for (int signal : {SIGTERM, SIGINT}) {
        TempDir folder;
        const std::string program = folder.Path("kandrix");
        std::filesystem::copy_file(std::string(KANDRIX_BIN_DIR) + "kandrix", program);

        // Everything the child needs is made before the fork: this process
        // has threads, and the child may only exec.
        std::vector<std::string> environment = {"QT_QPA_PLATFORM=offscreen"};
        for (char** entry = environ; *entry; ++entry)
            if (std::string(*entry).rfind("QT_QPA_PLATFORM=", 0) != 0)
                environment.emplace_back(*entry);
        std::vector<char*> envp;
        for (std::string& entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);

        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::execle(program.c_str(), program.c_str(), static_cast<char*>(nullptr), envp.data());
            ::_exit(127);
        }
        for (int i = 0; i < 1000 && !CatchesSignal(pid, signal); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(CatchesSignal(pid, signal));
        ::kill(pid, signal);

        EXPECT_EQ(WaitForExit(pid, 15), 0) << signal;
        EXPECT_EQ(std::filesystem::file_size(folder.Path("Option.dat")), 58u) << signal;
    }
}
