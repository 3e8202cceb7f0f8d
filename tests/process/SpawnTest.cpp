// Starting programs: what a child gets of us (descriptors, signal state,
// group, session, environment, streams), and how it fails to start, from a
// starter that makes it as hard as it can.

#include "process/ChildProcess.h"
#include "process/FindOnPath.h"
#include "process/Spawn.h"
#include "support/ProcessProbe.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kStrayFd = 100;

struct Ran {
    std::string error;
    std::string output;
    pid_t pid = -1;
};

Ran RunToEnd(const SpawnRequest& request)
{
    const SpawnedChild child = Spawn(request);
    Ran ran {child.error, {}, child.pid};
    if (child.failure != SpawnedChild::Failure::None)
        return ran;
    char buffer[4096];
    for (ssize_t got; (got = read(child.outputFd, buffer, sizeof buffer)) != 0;) {
        if (got > 0)
            ran.output.append(buffer, static_cast<size_t>(got));
        else if (errno != EINTR)
            break;
    }
    close(child.outputFd);
    close(child.pidfd);
    waitpid(child.pid, nullptr, 0);
    return ran;
}

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

// Starts the request from a thread that blocks every signal, in a process
// that ignores SIGPIPE and SIGTERM and holds a descriptor open across exec.
Ran RunFromHostileStarter(const SpawnRequest& request, bool withoutCloseRange)
{
    int stray[2];
    EXPECT_EQ(pipe(stray), 0);
    EXPECT_EQ(dup2(stray[0], kStrayFd), kStrayFd);
    struct sigaction ignore {}, oldPipe {}, oldTerm {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &oldPipe);
    sigaction(SIGTERM, &ignore, &oldTerm);
    Ran ran;
    std::thread starter([&] {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, nullptr);
        if (withoutCloseRange && !RefuseCloseRange())
            ran.error = "no seccomp filter";
        else
            ran = RunToEnd(request);
    });
    starter.join();
    sigaction(SIGPIPE, &oldPipe, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    for (int fd : {stray[0], stray[1], kStrayFd})
        close(fd);
    return ran;
}

// "pid (comm) state ppid pgrp session ..." of /proc/<pid>/stat.
std::vector<long> StatIds(const std::string& stat)
{
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string state;
    long ppid = 0, group = 0, session = 0;
    fields >> state >> ppid >> group >> session;
    return {group, session};
}

SpawnRequest Request(std::vector<std::string> arguments, ChildSession session = ChildSession::OwnGroup)
{
    SpawnRequest request;
    request.arguments = std::move(arguments);
    request.session = session;
    return request;
}

} // namespace

TEST(Spawn, WhatAChildGetsAndWhyItDidNotStart)
{
    TempDir dir;
    const std::string plain = dir.Write("plain", "#!/bin/sh\necho never\n");
    const std::string input = dir.Write("input", "given input\n");
    const int inputFd = open(input.c_str(), O_RDONLY | O_CLOEXEC);
    const std::string clean = "SigBlk:\t0000000000000000\nSigIgn:\t0000000000000000\n";
    const std::string fds = "ls /proc/self/fd | grep -x " + std::to_string(kStrayFd) + "; echo listed";

    SpawnRequest named = Request({"custom name", "/proc/self/cmdline"});
    named.program = "/bin/cat";
    SpawnRequest environment = Request({"/usr/bin/env"});
    environment.environment = std::vector<std::string> {"ONLY=this one"};
    SpawnRequest streams = Request({"/bin/sh", "-c", "cat; echo to-error >&2"});
    streams.input = inputFd;
    streams.error = kNullStream;
    const long ownGroup = getpgrp(), ownSession = getsid(0);

    struct Case {
        const char* what;
        SpawnRequest request;
        bool withoutCloseRange;
        std::function<void(const Ran&)> check;
    };
    const auto says = [](const std::string& text) { return [text](const Ran& ran) { EXPECT_EQ(ran.output, text); }; };
    const auto fails = [](const std::string& cause) {
        return [cause](const Ran& ran) {
            EXPECT_EQ(ran.error, cause);
            EXPECT_EQ(ran.pid, -1);
        };
    };
    const auto ids = [](long group, long session) {
        return [group, session](const Ran& ran) {
            const std::vector<long> expected {group < 0 ? ran.pid : group, session < 0 ? ran.pid : session};
            EXPECT_EQ(StatIds(ran.output), expected) << ran.output;
        };
    };
    const Case cases[] = {
        {"missing program", Request({dir.Path("missing")}), false, fails("No such file or directory")},
        {"not executable", Request({plain}), false, fails("Permission denied")},
        {"a folder", Request({dir.Folder()}), false, fails("Permission denied")},
        {"no arguments", Request({}), false, fails("no program to run")},
        {"descriptors", Request({"/bin/sh", "-c", fds}), false, says("listed\n")},
        {"descriptors without close_range", Request({"/bin/sh", "-c", fds}), true, says("listed\n")},
        {"signal handlers and mask", Request({"/bin/grep", "-E", "^Sig(Blk|Ign)", "/proc/self/status"}), false, says(clean)},
        {"own group", Request({"/bin/cat", "/proc/self/stat"}), false, ids(-1, ownSession)},
        {"new session", Request({"/bin/cat", "/proc/self/stat"}, ChildSession::NewSession), false, ids(-1, -1)},
        {"our group", Request({"/bin/cat", "/proc/self/stat"}, ChildSession::Same), false, ids(ownGroup, ownSession)},
        {"arguments as given", named, false, says(std::string("custom name\0/proc/self/cmdline\0", 31))},
        {"environment", environment, false, says("ONLY=this one\n")},
        {"streams", streams, false, says("given input\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Ran ran = RunFromHostileStarter(c.request, c.withoutCloseRange);
        c.check(ran);
    }
    close(inputFd);
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
    EXPECT_FALSE(child.WaitForExit(50));
    child.Terminate(std::chrono::milliseconds(50));
    EXPECT_TRUE(child.WaitForExit(-1));
    const int status = child.Finish();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    EXPECT_FALSE(child.Running());
}

TEST(ChildProcess, EndsWhenTheProgramIsKilledOutright)
{
    int pidPipe[2];
    ASSERT_EQ(pipe(pidPipe), 0);
    const pid_t program = fork();
    if (program == 0) {
        ChildProcess child;
        std::string said;
        if (child.Start({"/bin/sh", "-c", "echo $$; exec sleep 10"}) == ChildProcess::StartResult::Started &&
            child.WaitReadable(5000) && child.ReadAvailable(said) == ChildProcess::ReadResult::Data) {
            const pid_t tool = static_cast<pid_t>(std::atoi(said.c_str()));
            (void)!write(pidPipe[1], &tool, sizeof tool);
        }
        pause();
        _exit(0);
    }
    close(pidPipe[1]);
    pid_t tool = -1;
    ASSERT_EQ(read(pidPipe[0], &tool, sizeof tool), static_cast<ssize_t>(sizeof tool));
    close(pidPipe[0]);
    kill(program, SIGKILL);
    waitpid(program, nullptr, 0);
    EXPECT_TRUE(ProcessGone(tool));
}

TEST(LaunchDetached, RunsInASessionOfItsOwnAndReportsItsFirstMoments)
{
    TempDir bin;
    const auto script = [&](const std::string& name, const std::string& body) {
        const std::string path = bin.Write(name, "#!/bin/sh\n" + body);
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path;
    };
    // It writes its stat and its descriptors, then lives on.
    const std::string report = bin.Path("report");
    const std::string sleeper = script("sleeper", "cat /proc/$$/stat > '" + report + ".part'\nls /proc/$$/fd >> '" +
                                                      report + ".part'\nmv '" + report + ".part' '" + report +
                                                      "'\nexec sleep 30\n");
    int stray[2];
    ASSERT_EQ(pipe(stray), 0);
    ASSERT_EQ(dup2(stray[0], kStrayFd), kStrayFd);
    EXPECT_EQ(LaunchDetached({sleeper}, 0).kind, LaunchResult::StillRunning);
    for (int fd : {stray[0], stray[1], kStrayFd})
        close(fd);
    for (int i = 0; i < 2000 && !std::filesystem::exists(report); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(report);
    std::string stat, fd;
    std::getline(in, stat);
    std::set<std::string> fds;
    while (in >> fd)
        fds.insert(fd);
    const pid_t pid = static_cast<pid_t>(std::atol(stat.c_str()));
    ASSERT_GT(pid, 0) << stat;
    EXPECT_NE(StatIds(stat)[1], getsid(0));
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1) << "not our child";
    EXPECT_EQ(fds.count("0"), 1u);
    EXPECT_EQ(fds.count(std::to_string(kStrayFd)), 0u);
    kill(pid, SIGTERM);

    const LaunchResult exited = LaunchDetached({script("failing", "exit 4\n")}, 20000);
    EXPECT_EQ(exited.kind, LaunchResult::Exited);
    EXPECT_EQ(exited.exitStatus, 4);
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
    const char* old = std::getenv("PATH");
    const std::string saved = old ? old : "";
    const std::filesystem::path here = std::filesystem::current_path();

    ::setenv("PATH", ("/nowhere::" + folder).c_str(), 1);
    const std::string found = FindOnPath("kandrix-stand-in");
    const std::string notRunnable = FindOnPath("kandrix-not-runnable");
    const std::string byPath = FindOnPath(tool);
    // Empty entries, which a shell would take for the current folder.
    ::setenv("PATH", ":", 1);
    std::filesystem::current_path(folder);
    const std::string fromHere = FindOnPath("kandrix-stand-in");
    std::filesystem::current_path(here);
    ::setenv("PATH", saved.c_str(), 1);

    EXPECT_EQ(found, tool);
    EXPECT_EQ(notRunnable, "");
    EXPECT_EQ(byPath, "");
    EXPECT_EQ(fromHere, "");
}
