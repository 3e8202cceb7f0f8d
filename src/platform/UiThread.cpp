#include "platform/UiThread.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

std::mutex g_mutex;
std::condition_variable g_changed;
bool g_shutDown = false;
std::thread::id g_uiThread;
UiDispatcher g_dispatcher = nullptr;

// One send in flight. The caller's function is only touched while the caller
// still waits for it, so a send abandoned by ShutDownUi never runs a function
// whose captures have gone out of scope.
struct PendingSend {
    const std::function<void()>* fn = nullptr;
    bool running = false;
    bool done = false;
};

} // namespace

void SetUiThreadWith(UiDispatcher dispatcher)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_uiThread = std::this_thread::get_id();
    g_dispatcher = dispatcher;
    g_shutDown = false;
}

bool IsUiThread()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_uiThread == std::this_thread::get_id();
}

bool SendToUi(const std::function<void()>& fn)
{
    UiDispatcher dispatcher;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_shutDown)
            return false;
        if (g_uiThread == std::this_thread::get_id()) {
            dispatcher = nullptr;
        } else {
            dispatcher = g_dispatcher;
            if (!dispatcher)
                return false;
        }
    }
    if (!dispatcher) {
        fn();
        return true;
    }

    auto pending = std::make_shared<PendingSend>();
    pending->fn = &fn;
    dispatcher([pending] {
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            if (g_shutDown || pending->fn == nullptr)
                return;
            pending->running = true;
        }
        (*pending->fn)();
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            pending->running = false;
            pending->done = true;
        }
        g_changed.notify_all();
    });

    std::unique_lock<std::mutex> lock(g_mutex);
    g_changed.wait(lock, [&] { return pending->done || (g_shutDown && !pending->running); });
    bool ran = pending->done;
    pending->fn = nullptr;
    return ran;
}

void PostToUi(std::function<void()> fn)
{
    UiDispatcher dispatcher;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_shutDown || !g_dispatcher)
            return;
        dispatcher = g_dispatcher;
    }
    dispatcher([fn = std::move(fn)] {
        if (!IsUiShutDown())
            fn();
    });
}

void ShutDownUi()
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_shutDown = true;
    }
    g_changed.notify_all();
}

bool IsUiShutDown()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_shutDown;
}
