#include "platform/JobRegistry.h"

#include "platform/JobState.h"
#include "platform/UiThread.h"

#include <algorithm>

namespace {

void RunJob(const std::shared_ptr<Job::State>& state, const std::function<std::function<void()>(JobControl&)>& work)
{
    std::function<void()> completion = work(*state);
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        if (!state->abandoned)
            std::swap(state->completion, completion);
    }
    // An abandoned job's result goes here, on its own thread.
    completion = nullptr;
    PostToUi([state] {
        if (std::function<void()> done = state->TakeCompletion())
            done();
    });
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->finished = true;
    }
    state->ended.notify_all();
}

} // namespace

JobRegistry::~JobRegistry()
{
    EndAll();
}

void JobRegistry::EndAll()
{
    CancelAll();
    for (auto& state : Snapshot())
        state->WaitForEnd();
    ReapFinished();
}

std::unique_ptr<Job> JobRegistry::StartErased(std::string name, ErasedWork work)
{
    ReapFinished();
    auto state = std::make_shared<Job::State>(std::move(name));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(state);
    }
    try {
        // The new thread waits here until its handle is stored, so whoever
        // sees the job finished also sees the handle to join.
        std::lock_guard<std::mutex> lock(state->mutex);
        state->thread = std::thread([state, work = std::move(work)] {
            { std::lock_guard<std::mutex> started(state->mutex); }
            RunJob(state, work);
        });
    } catch (...) {
        // A job that never ran must not be waited for at the end.
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.erase(std::find(jobs_.begin(), jobs_.end(), state));
        throw;
    }
    return std::unique_ptr<Job>(new Job(std::move(state), *this));
}

std::vector<std::shared_ptr<Job::State>> JobRegistry::Snapshot()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return jobs_;
}

void JobRegistry::ReapFinished()
{
    std::vector<std::shared_ptr<Job::State>> done;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = jobs_.begin(); it != jobs_.end();) {
            if ((*it)->IsFinished()) {
                done.push_back(*it);
                it = jobs_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& state : done) {
        if (state->thread.joinable() && state->thread.get_id() != std::this_thread::get_id())
            state->thread.join();
    }
}

void JobRegistry::CancelAll()
{
    for (auto& state : Snapshot())
        state->RequestCancel();
}

std::vector<std::string> JobRegistry::WaitForAll(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::vector<std::string> stillRunning;
    for (auto& state : Snapshot()) {
        if (!state->WaitUntil(deadline))
            stillRunning.push_back(state->name);
    }
    ReapFinished();
    return stillRunning;
}

std::vector<std::string> JobRegistry::ShutDown(std::chrono::milliseconds limit)
{
    ShutDownUi();
    CancelAll();
    return WaitForAll(limit);
}
