// Starting programs: what a child gets of us (descriptors, signal state,
// group, session, environment, streams), and how it fails to start, from a
// starter that makes it as hard as it can.

#include "process/ChildProcess.h"
#include "process/FindOnPath.h"
#include "process/Spawn.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kStrayFd = 100;

// Kernels without close_range, as far as this thread and its children see.
bool RefuseCloseRange()
{
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_close_range, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program {static_cast<unsigned short>(std::size(filter)), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// Runs the request to its end from a thread that blocks every signal, in a
// process that ignores SIGPIPE and SIGTERM and holds kStrayFd open across
// exec. Its output, or why it did not start.
std::string RunFromHostileStarter(const SpawnRequest& request, bool withoutCloseRange)
{
    const int null = open("/dev/null", O_RDONLY);
    EXPECT_EQ(dup2(null, kStrayFd), kStrayFd);
    close(null);
    struct sigaction ignore {}, oldPipe {}, oldTerm {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &oldPipe);
    sigaction(SIGTERM, &ignore, &oldTerm);
    SpawnedChild child;
    std::thread starter([&] {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, nullptr);
        child = withoutCloseRange && !RefuseCloseRange() ? SpawnedChild {} : Spawn(request);
    });
    starter.join();
    sigaction(SIGPIPE, &oldPipe, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    close(kStrayFd);
    if (child.failure != SpawnedChild::Failure::None)
        return "not started: " + child.error;
    std::string output;
    char buffer[4096];
    for (ssize_t got; (got = read(child.outputFd, buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<size_t>(got));
    close(child.outputFd);
    close(child.pidfd);
    waitpid(child.pid, nullptr, 0);
    return output;
}

} // namespace

TEST(Spawn, WhatAChildGetsAndWhyItDidNotStart)
{
    TempDir dir;
    const std::string plain = dir.Write("plain", "#!/bin/sh\n");
    const int input = open(dir.Write("input", "given input\n").c_str(), O_RDONLY | O_CLOEXEC);
    const std::string fds = "ls /proc/self/fd | grep -x " + std::to_string(kStrayFd) + "; echo listed";
    // Its group and session: "own" where the id is its own process id.
    const std::string ids = "read -r pid comm state ppid group session rest < /proc/self/stat; "
                            "[ $group = $$ ] && group=own; [ $session = $$ ] && session=own; echo $group $session";
    // Blocked and ignored signals, but 32 and 33: the C library's own, which
    // it lets no program change.
    const std::string signals = "s=/proc/$$/status; b=$(sed -n 's/^SigBlk:\\s*//p' $s); "
                                "i=$(sed -n 's/^SigIgn:\\s*//p' $s); echo $((0x$b)) $((0x$i & ~0x180000000))";
    const std::string ourGroup = std::to_string(getpgrp()), ourSession = std::to_string(getsid(0));
    using Args = std::vector<std::string>;
    const struct {
        const char* what;
        SpawnRequest request;
        std::string expected;
        bool withoutCloseRange = false;
    } cases[] = {
        {"missing", {.arguments = {dir.Path("missing")}}, "not started: No such file or directory"},
        {"not executable", {.arguments = {plain}}, "not started: Permission denied"},
        {"no arguments", {}, "not started: no program to run"},
        {"descriptors", {.arguments = {"/bin/sh", "-c", fds}}, "listed\n"},
        {"descriptors without close_range", {.arguments = {"/bin/sh", "-c", fds}}, "listed\n", true},
        {"signal state", {.arguments = {"/bin/sh", "-c", signals}}, "0 0\n"},
        {"own group", {.arguments = {"/bin/sh", "-c", ids}}, "own " + ourSession + "\n"},
        {"new session", {.arguments = {"/bin/sh", "-c", ids}, .session = ChildSession::NewSession}, "own own\n"},
        {"our group", {.arguments = {"/bin/sh", "-c", ids}, .session = ChildSession::Same},
         ourGroup + " " + ourSession + "\n"},
        {"arguments as they stand",
         {.arguments = {"/bin/sh", "-c", "printf '<%s>' \"$@\"", "sh", "a \"b\"", "$HOME", "`id`", "'; x", ""}},
         "<a \"b\"><$HOME><`id`><'; x><>"},
        {"another name", {.arguments = {"custom name", "/proc/self/cmdline"}, .program = "/bin/cat"},
         std::string("custom name\0/proc/self/cmdline\0", 31)},
        {"environment", {.arguments = {"/usr/bin/env"}, .environment = Args {"ONLY=this one"}}, "ONLY=this one\n"},
        {"streams", {.arguments = {"/bin/sh", "-c", "cat; echo error >&2"}, .input = input, .error = kNullStream},
         "given input\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RunFromHostileStarter(c.request, c.withoutCloseRange), c.expected) << c.what;
    close(input);
}

TEST(ChildProcess, WaitsOnItsPidfdAndKillsWhatIgnoresTheStop)
{
    ChildProcess child;
    ASSERT_EQ(child.Start({"/bin/sh", "-c", "trap '' TERM; echo ready; exec sleep 30"}),
              ChildProcess::StartResult::Started);
    std::string said;
    while (said.find("ready") == std::string::npos && child.WaitReadable(-1))
        ASSERT_NE(child.ReadAvailable(said), ChildProcess::ReadResult::Ended);
    EXPECT_FALSE(child.WaitForExit(50));
    child.RequestStop();
    EXPECT_TRUE(child.StopRequested());
    EXPECT_FALSE(child.WaitForExit(-1)) << "woken by the request";
    child.Terminate(std::chrono::milliseconds(50));
    EXPECT_TRUE(child.WaitForExit(-1));
    const int status = child.Finish();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    EXPECT_FALSE(child.Running());
}

// As when the program is killed outright, which ends all its threads.
TEST(Spawn, AChildEndsWithTheThreadThatStartedIt)
{
    SpawnedChild child;
    std::thread([&] { child = Spawn({.arguments = {"/bin/sleep", "30"}, .endWithStarter = true}); }).join();
    ASSERT_EQ(child.failure, SpawnedChild::Failure::None) << child.error;
    int status = 0;
    waitpid(child.pid, &status, 0);
    close(child.pidfd);
    close(child.outputFd);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
}

TEST(LaunchDetached, RunsInASessionOfItsOwnAndIsNotOurChild)
{
    TempDir bin;
    const std::string report = bin.Path("report");
    const std::string sleeper = bin.Write("sleeper", "#!/bin/sh\ncat /proc/$$/stat > '" + report + ".part'\nmv '" +
                                                         report + ".part' '" + report + "'\nexec sleep 30\n");
    std::filesystem::permissions(sleeper, std::filesystem::perms::owner_all);
    EXPECT_EQ(LaunchDetached({sleeper}, 0).kind, LaunchResult::StillRunning);
    for (int i = 0; i < 2000 && !std::filesystem::exists(report); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    long pid = 0, ppid = 0, group = 0, session = 0;
    std::string comm, state;
    std::ifstream(report) >> pid >> comm >> state >> ppid >> group >> session;
    ASSERT_GT(pid, 0);
    EXPECT_NE(session, getsid(0));
    EXPECT_EQ(waitpid(static_cast<pid_t>(pid), nullptr, WNOHANG), -1) << "not our child";
    kill(static_cast<pid_t>(pid), SIGTERM);

    const LaunchResult missing = LaunchDetached({bin.Path("missing")}, 20000);
    EXPECT_EQ(missing.kind, LaunchResult::NotStarted);
    EXPECT_EQ(missing.error, ENOENT);
}

TEST(FindOnPath, SearchesThePathsFoldersButNeverTheCurrentOne)
{
    TempDir tools;
    const std::string tool = tools.Write("kandrix-stand-in", "#!/bin/sh\n");
    std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
    tools.Write("kandrix-not-runnable", "plain text");
    const std::string folder = tools.Folder().substr(0, tools.Folder().size() - 1);
    {
        ScopedEnv path("PATH", "/nowhere::" + folder);
        EXPECT_EQ(FindOnPath("kandrix-stand-in"), tool);
        EXPECT_EQ(FindOnPath("kandrix-not-runnable"), "");
        EXPECT_EQ(FindOnPath(tool), "");
    }
    // Empty entries, which a shell would take for the current folder.
    ScopedEnv path("PATH", ":");
    const std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    const std::string fromHere = FindOnPath("kandrix-stand-in");
    std::filesystem::current_path(here);
    EXPECT_EQ(fromHere, "");
}
