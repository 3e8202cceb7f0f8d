#include "convert/ProcessRunner.h"

#include "convert/ProgressParser.h"
#include "platform/JobQuestions.h"
#include "process/ChildProcess.h"
#include "support/ManualJobControl.h"
#include "support/ProcessProbe.h"
#include "support/ScriptedSeam.h"
#include "support/TempDir.h"

#include <algorithm>
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
    std::vector<std::string> entries;
    std::function<void(const std::string&)> Sink()
    {
        return [this](const std::string& entry) { entries.push_back(entry); };
    }
    std::string All() const
    {
        std::string all;
        for (const std::string& entry : entries)
            all += entry + "\n";
        return all;
    }
};

} // namespace

TEST(ProcessRunnerTest, OneLogEntryPerPauseAndNothingLost)
{
    // Twenty lines over a second or so, read with a 400 ms pause: at most
    // one entry per pause, and every line in them.
    Collected output;
    auto start = Clock::now();
    ASSERT_TRUE(RunBatch({Fixture("ticker.sh"), "20"}, output.Sink(), 400));
    double elapsed = SecondsSince(start);
    EXPECT_LE(output.entries.size(), elapsed / 0.4 + 2);
    EXPECT_LT(output.entries.size(), 20u);
    std::string expected;
    for (int i = 0; i < 20; ++i)
        expected += "tick " + std::to_string(i) + "\n";
    EXPECT_EQ(output.All(), expected);

    // A tool that is done is noticed at once, not after the pause.
    Collected quick;
    start = Clock::now();
    ASSERT_TRUE(RunBatch({Fixture("ticker.sh"), "1"}, quick.Sink(), 5000));
    EXPECT_LT(SecondsSince(start), 3.0);
    EXPECT_EQ(quick.All(), "tick 0\n");
}

TEST(ProcessRunnerTest, AFloodingToolIsNeverHeldBackByItsPipe)
{
    // A megabyte of warnings, then two seconds of progress: the run takes
    // about as long as the tool alone, not the minutes a slow reader needs.
    Collected output;
    std::vector<int> percents;
    EncoderRun run;
    run.arguments = {Fixture("flood_then_progress.sh"), "1048576", "2"};
    run.log = output.Sink();
    run.progress = [&](int percent) { percents.push_back(percent); };
    run.pollMs = 1000;
    ProgressParser parser;
    auto start = Clock::now();
    EXPECT_EQ(RunEncoder(run, parser).exitStatus, 0);
    EXPECT_LT(SecondsSince(start), 5.0);
    const std::string all = output.All();
    EXPECT_EQ(std::count(all.begin(), all.end(), 'w'), 1048576);
    // Reports falling into one pause give one progress step, so only the
    // last is sure.
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 20);
}

TEST(ProcessRunnerTest, LinesSplitAcrossReadsAndCarriageReturns)
{
    Collected output;
    std::vector<int> percents;
    EncoderRun run;
    run.arguments = {Fixture("split_duration.sh")};
    run.log = output.Sink();
    run.progress = [&](int percent) { percents.push_back(percent); };
    run.pollMs = 100;
    ProgressParser parser;
    RunEncoder(run, parser);
    EXPECT_EQ(percents, (std::vector<int>{50}));
    // The saved log knows no bare carriage return; the log shows the text as
    // it arrived, pause by pause.
    std::string joined;
    for (const std::string& entry : output.entries) {
        EXPECT_EQ(entry.find('\r'), std::string::npos) << entry;
        joined += entry;
    }
    EXPECT_NE(joined.find("Duration: 00:00:10.00"), std::string::npos);
}

TEST(ProcessRunnerTest, ArgumentsReachTheChildAsTheyStand)
{
    std::vector<std::string> odd = {"two words", "a \"quoted\" one", "$HOME", "`id`", "'; rm -rf x", "-y", ""};
    std::vector<std::string> arguments = {Fixture("print_args.sh")};
    arguments.insert(arguments.end(), odd.begin(), odd.end());
    Collected output;
    int status = -2;
    ASSERT_TRUE(RunBatch(arguments, output.Sink(), 1, &status));
    std::string expected;
    for (const std::string& argument : odd)
        expected += "<" + argument + ">\n";
    EXPECT_EQ(output.All(), expected);
    EXPECT_EQ(status, 0);

    ASSERT_TRUE(RunBatch({"/bin/sh", "-c", "exit 3"}, nullptr, 1, &status));
    EXPECT_EQ(status, 3);
}

TEST(ProcessRunnerTest, MissingProgramIsAStartFailure)
{
    ScriptedSeam seam;
    Collected output;
    EXPECT_FALSE(RunBatch({"/no/such/folder/ar.exe"}, output.Sink()));

    CDialog* owner = reinterpret_cast<CDialog*>(0x4321);
    SeamQuestions questions(owner);
    EncoderRun run;
    run.arguments = {"/no/such/folder/mg.exe", "-i", "x"};
    run.questions = &questions;
    run.log = output.Sink();
    ProgressParser parser;
    EXPECT_EQ(RunEncoder(run, parser).result, RunResult::FailedToStart);

    ASSERT_EQ(seam.Boxes().size(), 2u);
    EXPECT_EQ(seam.Boxes()[0].owner, nullptr);
    EXPECT_EQ(seam.Boxes()[1].owner, owner);
    for (const ScriptedSeam::Box& box : seam.Boxes()) {
        EXPECT_EQ(box.text, "Error on CreateProcess()");
        EXPECT_EQ(box.caption, "");
        EXPECT_EQ(box.type, MB_OK);
    }
    ASSERT_FALSE(output.entries.empty());
    EXPECT_EQ(output.entries.back(), "Cannot run /no/such/folder/mg.exe: No such file or directory");
}

TEST(ProcessRunnerTest, CancelStopsTheEncoderAndWhatItStarted)
{
    TempDir dir;
    ManualJobControl control;
    EncoderRun run;
    run.arguments = {Fixture("with_grandchild.sh"), dir.Path("pids")};
    run.log = [&](const std::string&) { control.Cancel(); };
    run.control = &control;
    run.pollMs = 50;
    ProgressParser parser;
    auto start = Clock::now();
    const ToolOutcome outcome = RunEncoder(run, parser);
    EXPECT_EQ(outcome.result, RunResult::Cancelled);
    EXPECT_EQ(outcome.exitStatus, -1);
    EXPECT_LT(SecondsSince(start), 3.0);

    pid_t child = 0, grandchild = 0;
    std::ifstream(dir.Path("pids")) >> child >> grandchild;
    ASSERT_GT(child, 0);
    ASSERT_GT(grandchild, 0);
    EXPECT_TRUE(ProcessGone(child));
    EXPECT_TRUE(ProcessGone(grandchild));
}

TEST(ProcessRunnerTest, CancelReachesASilentToolAndOneThatClosedItsOutput)
{
    TempDir dir;
    for (const std::vector<std::string>& tool :
         {std::vector<std::string>{Fixture("silent.sh")},
          std::vector<std::string>{Fixture("closed_output.sh"), dir.Path("pid")}}) {
        ManualJobControl control;
        EncoderRun run;
        run.arguments = tool;
        run.control = &control;
        // A long pause: the cancel must not wait for it.
        run.pollMs = 5000;
        std::thread presser([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            control.Cancel();
        });
        ProgressParser parser;
        auto start = Clock::now();
        EXPECT_EQ(RunEncoder(run, parser).result, RunResult::Cancelled);
        EXPECT_LT(SecondsSince(start), 3.0);
        presser.join();
    }
    pid_t tool = 0;
    std::ifstream(dir.Path("pid")) >> tool;
    ASSERT_GT(tool, 0);
    EXPECT_TRUE(ProcessGone(tool));
}

TEST(ProcessRunnerTest, ShutdownStopsEveryRunningChild)
{
    // Also one that ignores the stop request.
    std::thread runner([] { RunBatch({"/bin/sh", "-c", "trap '' TERM; exec sleep 30"}, nullptr, 50); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    auto start = Clock::now();
    StopAllChildProcesses();
    runner.join();
    EXPECT_LT(SecondsSince(start), 3.0);
}
