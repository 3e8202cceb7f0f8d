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
#include <filesystem>
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

TEST(ProcessRunnerTest, TheToolsExitStatusIsHandedOn)
{
    int status = -2;
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

TEST(ProcessRunnerTest, CancelStopsTheToolAndWhatItStartedWhateverItIsDoing)
{
    // One that talks and leaves a grandchild, one that has closed its
    // output, one that ignores the stop request; each writes its pids, and
    // the cancel comes from another thread then, in a long pause.
    TempDir dir;
    const std::string pids = dir.Path("pids");
    for (const std::vector<std::string>& tool :
         {std::vector<std::string> {Fixture("with_grandchild.sh"), pids},
          std::vector<std::string> {Fixture("closed_output.sh"), pids},
          std::vector<std::string> {"/bin/sh", "-c", "trap '' TERM; echo $$ > \"$0\"; exec sleep 30", pids}}) {
        std::filesystem::remove(pids);
        ManualJobControl control;
        EncoderRun run;
        run.arguments = tool;
        run.control = &control;
        run.pollMs = 5000;
        std::thread presser([&] {
            for (pid_t first = 0; !(std::ifstream(pids) >> first);)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            control.Cancel();
        });
        ProgressParser parser;
        const ToolOutcome outcome = RunEncoder(run, parser);
        presser.join();
        EXPECT_EQ(outcome.result, RunResult::Cancelled) << tool[0];
        EXPECT_EQ(outcome.exitStatus, -1);
        std::ifstream in(pids);
        for (pid_t pid = 0; in >> pid;)
            EXPECT_TRUE(ProcessGone(pid)) << tool[0];
    }
}

TEST(ProcessRunnerTest, ShutdownStopsEveryRunningChild)
{
    // Also one that ignores the stop request: it ends killed, not by itself.
    TempDir dir;
    int status = 0;
    std::thread runner([&] {
        RunBatch({"/bin/sh", "-c", "trap '' TERM; : > \"$0\"; exec sleep 30", dir.Path("up")}, nullptr, 50, &status);
    });
    while (!std::filesystem::exists(dir.Path("up")))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    StopAllChildProcesses();
    runner.join();
    EXPECT_EQ(status, -1);
}
