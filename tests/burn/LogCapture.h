#pragma once
// Catches every line of the trace and burn channels for the burn tests. The
// registry only grows, so the listeners are registered once per process.
// Lines may come from a burn's worker thread.

#include "core/Log.h"

#include <algorithm>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct CapturedLine {
    int channel;
    int level;
    std::string text;
};

class LogCapture {
public:
    // Registers the listeners, drops earlier lines and any burn hook.
    static void Start()
    {
        AddLogListener(TraceListener, LOG_CHANNEL_TRACE);
        AddLogListener(BurnListener, LOG_CHANNEL_BURN);
        std::lock_guard<std::mutex> lock(Mutex());
        Lines().clear();
        Hook() = nullptr;
    }

    // Runs for every burn-channel line, on the logging thread, after the
    // line is kept: a stand-in for the burn page, which hands the line to the
    // window thread and waits there.
    static void SetBurnHook(std::function<void(const std::string&)> hook)
    {
        std::lock_guard<std::mutex> lock(Mutex());
        Hook() = std::move(hook);
    }

    static std::vector<CapturedLine> All()
    {
        std::lock_guard<std::mutex> lock(Mutex());
        return Lines();
    }

    static std::vector<std::string> Texts(int channel)
    {
        std::vector<std::string> texts;
        for (const CapturedLine& line : All()) {
            if (line.channel == channel)
                texts.push_back(line.text);
        }
        return texts;
    }

    static bool Logged(int channel, int level, const std::string& text)
    {
        const std::vector<CapturedLine> lines = All();
        return std::any_of(lines.begin(), lines.end(), [&](const CapturedLine& line) {
            return line.channel == channel && line.level == level && line.text == text;
        });
    }

    static int Count(int channel, const std::string& text)
    {
        const std::vector<std::string> texts = Texts(channel);
        return static_cast<int>(std::count(texts.begin(), texts.end(), text));
    }

    static void Clear()
    {
        std::lock_guard<std::mutex> lock(Mutex());
        Lines().clear();
    }

private:
    static void TraceListener(int level, const char* text) { Keep(LOG_CHANNEL_TRACE, level, text); }

    static void BurnListener(int level, const char* text)
    {
        Keep(LOG_CHANNEL_BURN, level, text);
        std::function<void(const std::string&)> hook;
        {
            std::lock_guard<std::mutex> lock(Mutex());
            hook = Hook();
        }
        if (hook)
            hook(text);
    }

    static void Keep(int channel, int level, const char* text)
    {
        std::lock_guard<std::mutex> lock(Mutex());
        Lines().push_back({channel, level, text});
    }

    static std::mutex& Mutex()
    {
        static std::mutex mutex;
        return mutex;
    }
    static std::vector<CapturedLine>& Lines()
    {
        static std::vector<CapturedLine> lines;
        return lines;
    }
    static std::function<void(const std::string&)>& Hook()
    {
        static std::function<void(const std::string&)> hook;
        return hook;
    }
};
