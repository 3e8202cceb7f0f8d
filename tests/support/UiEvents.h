#pragma once
// Serving the UI thread's events from a test, which runs on the UI thread,
// while something else (a worker, a timer) makes progress.

#include <QCoreApplication>
#include <QElapsedTimer>

#include <atomic>
#include <functional>
#include <thread>

// Serves events until done() holds or the time is up; false on time-out.
inline bool ProcessEventsUntil(const std::function<bool()>& done, int milliseconds = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Runs work on a worker thread and serves events until it has finished, so
// the worker's sends to the UI thread are answered.
inline void RunWhileWorking(const std::function<void()>& work, int milliseconds = 10000)
{
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    ProcessEventsUntil([&] { return done.load(); }, milliseconds);
    worker.join();
}
