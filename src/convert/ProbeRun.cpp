#include "convert/ProbeRun.h"

#include "platform/Job.h"
#include "process/ChildProcess.h"

#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <system_error>
#include <thread>

namespace {

constexpr int kWakeMs = 100;
constexpr int kMostWorkers = 8;

bool Exited(int status)
{
    return status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

std::optional<std::string> RunProbe(const std::vector<std::string>& arguments, int timeoutMs, JobControl* control,
                                    size_t keepBytes)
{
    ChildProcess child;
    if (child.Start(arguments) != ChildProcess::StartResult::Started)
        return std::nullopt;
    CancelHookGuard stopOnCancel(control, [&child] { child.RequestStop(); });

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string output;
    for (;;) {
        if (child.ReadAvailable(output) == ChildProcess::ReadResult::Ended)
            break;
        // A probe that floods its output is cut short rather than held in memory.
        if (output.size() > keepBytes)
            output.erase(0, output.size() - keepBytes);
        const bool late = std::chrono::steady_clock::now() >= deadline;
        if (late || (control && control->Cancelled()) || child.StopRequested()) {
            child.Terminate();
            child.Finish();
            return std::nullopt;
        }
        child.WaitReadable(kWakeMs);
    }
    if (!Exited(child.Finish()))
        return std::nullopt;
    if (output.size() > keepBytes)
        output.erase(0, output.size() - keepBytes);
    return output;
}

int ProbeWorkers()
{
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(cores, 1, kMostWorkers);
}

void RunSideBySide(size_t count, int workers, const std::function<void(size_t)>& work)
{
    std::atomic<size_t> next{0};
    auto takeTurns = [&] {
        for (size_t i = next++; i < count; i = next++)
            work(i);
    };
    std::vector<std::thread> helpers;
    const size_t wanted = std::min(count, static_cast<size_t>(std::max(workers, 1)));
    for (size_t i = 1; i < wanted; ++i) {
        try {
            helpers.emplace_back(takeTurns);
        } catch (const std::system_error&) {
            break; // fewer threads only take longer: the caller's takes the rest
        }
    }
    takeTurns();
    for (std::thread& helper : helpers)
        helper.join();
}
