#include "platform/Job.h"

#include "platform/UiThread.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

struct Job::State final : JobControl {
    explicit State(std::string jobName) : name(std::move(jobName)) {}

    bool Cancelled() const override { return cancel.load() != 0; }
    const std::atomic<int>& CancelFlag() const override { return cancel; }

    int AddCancelHook(std::function<void()> hook) override
    {
        int id;
        {
            std::lock_guard<std::mutex> lock(mutex);
            id = nextHookId++;
            if (!Cancelled()) {
                hooks.emplace(id, std::move(hook));
                return id;
            }
        }
        hook();
        return id;
    }

    void RemoveCancelHook(int id) override
    {
        // A hook already taken by a cancel may still be running; what it
        // stops must outlive it, so its remover waits for it.
        std::unique_lock<std::mutex> lock(mutex);
        hooks.erase(id);
        hooksDone.wait(lock, [this] { return !runningHooks; });
    }

    // The hooks run with no lock held: they reach other objects, which
    // take locks of their own.
    void RequestCancel()
    {
        std::vector<std::function<void()>> toRun;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (cancel.exchange(1) != 0)
                return;
            for (auto& [id, hook] : hooks)
                toRun.push_back(hook);
            runningHooks = true;
        }
        for (auto& hook : toRun)
            hook();
        {
            std::lock_guard<std::mutex> lock(mutex);
            runningHooks = false;
        }
        hooksDone.notify_all();
    }

    bool IsFinished()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return finished;
    }

    bool WaitUntil(std::chrono::steady_clock::time_point deadline)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return ended.wait_until(lock, deadline, [this] { return finished; });
    }

    const std::string name;
    std::atomic<int> cancel{0};
    // Set on the thread that destroys the Job handle; the completion, which
    // runs on the UI thread, looks at it.
    std::atomic<bool> abandoned{false};
    std::thread thread;

    std::mutex mutex;
    std::condition_variable ended;
    std::condition_variable hooksDone;
    bool finished = false;
    bool runningHooks = false;
    std::map<int, std::function<void()>> hooks;
    int nextHookId = 0;
};

namespace {

// Every started job until its thread has been joined. A job's thread never
// holds the last reference to its state, so a state is never destroyed on
// its own thread.
// Never destroyed: a job that outlived the shutdown's wait must not meet a
// destroyed list (or have its thread destroyed while it runs) at exit.
std::mutex& RegistryMutex()
{
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::vector<std::shared_ptr<Job::State>>& Registry()
{
    static auto* registry = new std::vector<std::shared_ptr<Job::State>>;
    return *registry;
}

std::vector<std::shared_ptr<Job::State>> RegistrySnapshot()
{
    std::lock_guard<std::mutex> lock(RegistryMutex());
    return Registry();
}

// Joins and forgets the jobs whose work has returned.
void ReapFinishedJobs()
{
    std::vector<std::shared_ptr<Job::State>> done;
    {
        std::lock_guard<std::mutex> lock(RegistryMutex());
        for (auto it = Registry().begin(); it != Registry().end();) {
            if ((*it)->IsFinished()) {
                done.push_back(*it);
                it = Registry().erase(it);
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

void RunJob(const std::shared_ptr<Job::State>& state, const std::function<std::function<void()>(JobControl&)>& work)
{
    std::function<void()> completion = work(*state);
    PostToUi([state, completion = std::move(completion)] {
        if (!state->abandoned.load())
            completion();
    });
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->finished = true;
    }
    state->ended.notify_all();
}

} // namespace

std::unique_ptr<Job> Job::StartErased(std::string name, ErasedWork work)
{
    ReapFinishedJobs();
    auto state = std::make_shared<State>(std::move(name));
    {
        std::lock_guard<std::mutex> lock(RegistryMutex());
        Registry().push_back(state);
    }
    {
        // The new thread waits here until its handle is stored, so whoever
        // sees the job finished also sees the handle to join.
        std::lock_guard<std::mutex> lock(state->mutex);
        state->thread = std::thread([state, work = std::move(work)] {
            { std::lock_guard<std::mutex> started(state->mutex); }
            RunJob(state, work);
        });
    }
    return std::unique_ptr<Job>(new Job(std::move(state)));
}

Job::Job(std::shared_ptr<State> state) : state_(std::move(state)) {}

Job::~Job()
{
    state_->abandoned = true;
    state_->RequestCancel();
    ReapFinishedJobs();
}

const std::string& Job::Name() const
{
    return state_->name;
}

void Job::Cancel()
{
    state_->RequestCancel();
}

bool Job::Cancelled() const
{
    return state_->Cancelled();
}

bool Job::Finished() const
{
    return state_->IsFinished();
}

bool Job::Wait(std::chrono::milliseconds limit)
{
    return state_->WaitUntil(std::chrono::steady_clock::now() + limit);
}

void CancelAllJobs()
{
    for (auto& state : RegistrySnapshot())
        state->RequestCancel();
}

std::vector<std::string> WaitForAllJobs(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::vector<std::string> stillRunning;
    for (auto& state : RegistrySnapshot()) {
        if (!state->WaitUntil(deadline))
            stillRunning.push_back(state->name);
    }
    ReapFinishedJobs();
    return stillRunning;
}

std::vector<std::string> ShutDownJobs(std::chrono::milliseconds limit)
{
    ShutDownUi();
    CancelAllJobs();
    return WaitForAllJobs(limit);
}
