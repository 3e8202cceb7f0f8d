#include "convert/ProcessRunner.h"

#include "convert/ProgressParser.h"
#include "platform/ChildProcess.h"
#include "support/ProcessProbe.h"
#include "support/ScriptedSeam.h"
#include "support/TempDir.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

std::string Fixture(const std::string& name)
{
    return std::string(KANDRIX_TEST_FIXTURES) + name;
}

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Collected {
    std::vector<std::string> chunks;
    ChunkSink Sink()
    {
        return [this](const std::string& chunk) { chunks.push_back(chunk); };
    }
    std::string All() const
    {
        std::string all;
        for (const std::string& chunk : chunks)
            all += chunk;
        return all;
    }
};

} // namespace

TEST(ProcessRunnerTest, ChunksAreBoundedAndLoseNothing)
{
    Collected output;
    ASSERT_TRUE(RunBatch({Fixture("chatty.sh"), "20000"}, output.Sink(), 1));
    EXPECT_EQ(output.All(), std::string(20000, 'x'));
    EXPECT_GE(output.chunks.size(), 5u);
    for (const std::string& chunk : output.chunks)
        EXPECT_LE(chunk.size(), CHUNK_MAX);
}

TEST(ProcessRunnerTest, PauseBoundsTheEntriesButNotTheEnd)
{
    // Twenty lines over a second or so, read with a 400 ms pause: at most
    // one chunk per pause.
    Collected output;
    auto start = Clock::now();
    ASSERT_TRUE(RunBatch({Fixture("ticker.sh"), "20"}, output.Sink(), 400));
    double elapsed = SecondsSince(start);
    EXPECT_LE(output.chunks.size(), elapsed / 0.4 + 2);
    EXPECT_LT(output.chunks.size(), 20u);
    EXPECT_NE(output.All().find("tick 19\n"), std::string::npos);

    // A tool that is done is noticed at once, not after the pause.
    Collected quick;
    start = Clock::now();
    ASSERT_TRUE(RunBatch({Fixture("ticker.sh"), "1"}, quick.Sink(), 5000));
    EXPECT_LT(SecondsSince(start), 3.0);
    EXPECT_EQ(quick.All(), "tick 0\n");
}

TEST(ProcessRunnerTest, ArgumentsReachTheChildAsTheyStand)
{
    std::vector<std::string> odd = {"two words", "a \"quoted\" one", "$HOME", "`id`", "'; rm -rf x", "-y", ""};
    std::vector<std::string> arguments = {Fixture("print_args.sh")};
    arguments.insert(arguments.end(), odd.begin(), odd.end());
    Collected output;
    ASSERT_TRUE(RunBatch(arguments, output.Sink(), 1));
    std::string expected;
    for (const std::string& argument : odd)
        expected += "<" + argument + ">\n";
    EXPECT_EQ(output.All(), expected);
}

TEST(ProcessRunnerTest, MissingProgramIsAStartFailure)
{
    ScriptedSeam seam;
    Collected output;
    EXPECT_FALSE(RunBatch({"/no/such/folder/ar.exe"}, output.Sink()));

    CDialog* owner = reinterpret_cast<CDialog*>(0x4321);
    EncoderRun run;
    run.arguments = {"/no/such/folder/mg.exe", "-i", "x"};
    run.owner = owner;
    run.sink = output.Sink();
    ProgressParser parser;
    EXPECT_EQ(RunEncoder(run, parser), RunResult::FailedToStart);

    ASSERT_EQ(seam.Boxes().size(), 2u);
    EXPECT_EQ(seam.Boxes()[0].owner, nullptr);
    EXPECT_EQ(seam.Boxes()[1].owner, owner);
    for (const ScriptedSeam::Box& box : seam.Boxes()) {
        EXPECT_EQ(box.text, "Error on CreateProcess()");
        EXPECT_EQ(box.caption, "");
        EXPECT_EQ(box.type, MB_OK);
    }
    ASSERT_FALSE(output.chunks.empty());
    EXPECT_EQ(output.chunks.back(), "Cannot run /no/such/folder/mg.exe: No such file or directory");
}

TEST(ProcessRunnerTest, CancelStopsTheEncoderAndWhatItStarted)
{
    TempDir dir;
    std::atomic<int> cancel{0};
    bool clean = true;
    EncoderRun run;
    run.arguments = {Fixture("with_grandchild.sh"), dir.Path("pids")};
    run.sink = [&](const std::string&) { cancel = 1; };
    run.cancelFlag = &cancel;
    run.pollMs = 50;
    run.exitedCleanly = &clean;
    ProgressParser parser;
    auto start = Clock::now();
    EXPECT_EQ(RunEncoder(run, parser), RunResult::Cancelled);
    EXPECT_LT(SecondsSince(start), 3.0);
    EXPECT_FALSE(clean);

    pid_t child = 0, grandchild = 0;
    std::ifstream(dir.Path("pids")) >> child >> grandchild;
    ASSERT_GT(child, 0);
    ASSERT_GT(grandchild, 0);
    EXPECT_TRUE(ProcessGone(child));
    EXPECT_TRUE(ProcessGone(grandchild));
}

TEST(ProcessRunnerTest, CancelReachesASilentEncoder)
{
    std::atomic<int> cancel{0};
    EncoderRun run;
    run.arguments = {Fixture("silent.sh")};
    run.cancelFlag = &cancel;
    run.pollMs = 100;
    std::thread presser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cancel = 1;
    });
    ProgressParser parser;
    auto start = Clock::now();
    EXPECT_EQ(RunEncoder(run, parser), RunResult::Cancelled);
    EXPECT_LT(SecondsSince(start), 3.0);
    presser.join();
}

TEST(ProcessRunnerTest, AChildEndsWhenTheProgramIsKilledOutright)
{
    int pidPipe[2];
    ASSERT_EQ(pipe(pidPipe), 0);
    pid_t program = fork();
    if (program == 0) {
        close(pidPipe[0]);
        ChildProcess child;
        char said[32] = {};
        if (child.Start({"/bin/sh", "-c", "echo $$; exec sleep 10"}) == ChildProcess::StartResult::Started &&
            child.Read(said, sizeof said - 1) > 0) {
            pid_t tool = static_cast<pid_t>(std::atoi(said));
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

TEST(ProcessRunnerTest, ShutdownStopsEveryRunningChild)
{
    std::thread runner([] { RunBatch({Fixture("silent.sh")}, nullptr, 50); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    auto start = Clock::now();
    StopAllChildProcesses();
    runner.join();
    EXPECT_LT(SecondsSince(start), 3.0);
}
