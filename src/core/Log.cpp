#include "core/Log.h"

#include <cstdio>
#include <mutex>
#include <vector>

namespace {

struct ListenerEntry {
    LogListener listener;
    int channel;
};

// Guarded so that a listener registered while a worker logs is never seen
// half-added.
std::mutex& RegistryMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<ListenerEntry>& Registry()
{
    static std::vector<ListenerEntry> registry;
    return registry;
}

bool EntryAt(size_t index, ListenerEntry& entry)
{
    std::lock_guard<std::mutex> lock(RegistryMutex());
    if (index >= Registry().size())
        return false;
    entry = Registry()[index];
    return true;
}

} // namespace

void LogVPrintf(int channel, int level, const char* format, va_list args)
{
    char text[LOG_TEXT_MAX] = {};
    std::vsnprintf(text, sizeof text, format, args);
    ListenerEntry entry{};
    // The lock is never held while a listener runs: a listener may block on the
    // UI thread, and it may register further listeners, which this walk serves.
    for (size_t i = 0; EntryAt(i, entry); ++i) {
        if (entry.channel == channel)
            entry.listener(level, text);
    }
}

void LogPrintf(int channel, int level, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    LogVPrintf(channel, level, format, args);
    va_end(args);
}

void AddLogListener(LogListener listener, int channel)
{
    std::lock_guard<std::mutex> lock(RegistryMutex());
    for (const ListenerEntry& entry : Registry()) {
        if (entry.listener == listener && entry.channel == channel)
            return;
    }
    Registry().push_back({listener, channel});
}
