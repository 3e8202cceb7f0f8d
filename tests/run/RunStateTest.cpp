// The end of a run: its jobs, then its records, its library and its child
// processes; a job that will not stop ends the program as a failure.

#include "burn/CDevice.h"
#include "burn/MockRecorderLibrary.h"
#include "process/ChildProcess.h"
#include "run/RunState.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(RunStateTest, TheRunEndsWithItsJobsThenItsRecordsThenItsLibraryThenItsChildren)
{
    ScriptedRecorder recorder;
    recorder.devices = {ScriptedRecorder::Address(1, 0, 0, 0)};
    testing::MockFunction<void()> cancelled;
    testing::InSequence order;
    EXPECT_CALL(cancelled, Call());
    EXPECT_CALL(recorder, CdvdBurnerGrabberRelease);
    EXPECT_CALL(recorder, Shutdown);
    ChildProcess child;
    {
        RunState run(recorder);
        CDevice::FindDevices(recorder, run.Recorders());
        ASSERT_TRUE(run.Recorders().At(0)->TestUnitReady());
        const std::unique_ptr<Job> job = run.Jobs().Start<int>(
            "recorder user",
            [device = run.Recorders().At(0), &cancelled](JobControl& control) {
                CancelHookGuard hook(&control, cancelled.AsStdFunction());
                while (!control.Cancelled())
                    device->TestUnitReady();
                return 0;
            },
            nullptr);
        ASSERT_EQ(child.Start({"/bin/sleep", "30"}), ChildProcess::StartResult::Started);
    }
    EXPECT_TRUE(child.WaitForExit(5000)) << "a child process outlived the run";
    child.Finish();
}

TEST(RunStateDeathTest, AJobThatIgnoresItsCancelIsNamedAndTheProgramFails)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto stuckRun = [] {
        ScriptedRecorder recorder;
        RunState run(recorder);
        std::atomic<bool> never{false};
        const std::unique_ptr<Job> job = run.Jobs().Start<int>(
            "stubborn job",
            [&never](JobControl&) {
                while (!never)
                    std::this_thread::sleep_for(1ms);
                return 0;
            },
            nullptr);
        run.Jobs().ShutDown(100ms);
        AbandonStuckJobs(run.End(false));
    };
    EXPECT_EXIT(stuckRun(), testing::ExitedWithCode(1), "KANDRIX: the stubborn job did not stop in time");
}

} // namespace
