// Jobs without windows: the UI thread is stood in for by a queue the test
// serves itself.

#include "platform/JobRegistry.h"
#include "platform/UiThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

// The posted calls, run when the test says so, on the test's thread.
std::mutex g_queueMutex;
std::deque<std::function<void()>> g_queue;

void QueueCall(std::function<void()> call)
{
    std::lock_guard<std::mutex> lock(g_queueMutex);
    g_queue.push_back(std::move(call));
}

int ServeQueue()
{
    int served = 0;
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard<std::mutex> lock(g_queueMutex);
            if (g_queue.empty())
                return served;
            call = std::move(g_queue.front());
            g_queue.pop_front();
        }
        call();
        ++served;
    }
}

class JobTest : public ::testing::Test {
protected:
    void SetUp() override { SetUiThreadWith(&QueueCall); }
    void TearDown() override
    {
        ServeQueue();
        jobs.ShutDown(5s);
        ServeQueue();
    }

    JobRegistry jobs;
};

} // namespace

TEST_F(JobTest, TheResultArrivesOnTheUiThreadThroughThePostedCompletion)
{
    std::thread::id workedOn;
    std::thread::id doneOn;
    int got = 0;
    auto job = jobs.Start<int>(
        "sum",
        [&](JobControl&) {
            workedOn = std::this_thread::get_id();
            return 42;
        },
        [&](int result) {
            doneOn = std::this_thread::get_id();
            got = result;
        });
    ASSERT_TRUE(job->Wait(5s));
    EXPECT_EQ(got, 0);
    EXPECT_EQ(ServeQueue(), 1);
    EXPECT_EQ(got, 42);
    EXPECT_NE(workedOn, std::this_thread::get_id());
    EXPECT_EQ(doneOn, std::this_thread::get_id());
}

TEST_F(JobTest, CancelRunsTheHooksAtOnceAndTheCompletionStillComes)
{
    std::atomic<bool> hookRan{false};
    std::atomic<bool> ready{false};
    bool cancelledSeen = false;
    int completions = 0;
    auto job = jobs.Start<bool>(
        "waiting",
        [&](JobControl& control) {
            CancelHookGuard hook(&control, [&] { hookRan = true; });
            ready = true;
            while (!control.Cancelled())
                std::this_thread::sleep_for(1ms);
            return true;
        },
        [&](bool cancelled) {
            cancelledSeen = cancelled;
            ++completions;
        });
    while (!ready)
        std::this_thread::sleep_for(1ms);
    EXPECT_FALSE(job->Wait(50ms));
    job->Cancel();
    EXPECT_TRUE(hookRan);
    ASSERT_TRUE(job->Wait(5s));
    ServeQueue();
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(cancelledSeen);

    // A hook added after the cancel runs at once.
    std::atomic<bool> late{false};
    auto second = jobs.Start<int>(
        "late",
        [&](JobControl& control) {
            while (!control.Cancelled())
                std::this_thread::sleep_for(1ms);
            control.AddCancelHook([&] { late = true; });
            return 0;
        },
        nullptr);
    second->Cancel();
    ASSERT_TRUE(second->Wait(5s));
    EXPECT_TRUE(late);
}

TEST_F(JobTest, ADroppedJobPostsNothingButIsStillWaitedForAtShutdown)
{
    std::atomic<bool> release{false};
    int completions = 0;
    auto job = jobs.Start<int>(
        "dropped",
        [&](JobControl& control) {
            while (!release && !control.Cancelled())
                std::this_thread::sleep_for(1ms);
            return 1;
        },
        [&](int) { ++completions; });
    job.reset();
    EXPECT_TRUE(jobs.WaitForAll(5s).empty());
    ServeQueue();
    EXPECT_EQ(completions, 0);
}

TEST_F(JobTest, ShutdownNamesTheJobsThatDidNotStopInTime)
{
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    auto stubborn = jobs.Start<int>(
        "stubborn job",
        [&](JobControl&) {
            std::unique_lock<std::mutex> lock(mutex);
            released.wait(lock, [&] { return release; });
            return 0;
        },
        nullptr);
    auto obliging = jobs.Start<int>(
        "obliging job",
        [&](JobControl& control) {
            while (!control.Cancelled())
                std::this_thread::sleep_for(1ms);
            return 0;
        },
        nullptr);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(jobs.ShutDown(300ms), std::vector<std::string>{"stubborn job"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_TRUE(obliging->Finished());
    EXPECT_TRUE(IsUiShutDown());
    {
        std::lock_guard<std::mutex> lock(mutex);
        release = true;
    }
    released.notify_all();
    EXPECT_TRUE(stubborn->Wait(5s));
    SetUiThreadWith(&QueueCall);
}
