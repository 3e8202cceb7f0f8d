#include "core/Log.h"

#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

namespace {

struct ListenerEntry {
    uint64_t id;
    int channel;
    // Shared, so a call under way survives the listener's removal.
    std::shared_ptr<const LogListener> listener;
};

struct Registry {
    std::mutex mutex;
    std::vector<ListenerEntry> listeners; // by id
    uint64_t lastListener = 0;
    uint64_t lastEntry = 0;
    std::map<int, std::deque<LogEntry>> history;
};

Registry& TheRegistry()
{
    static Registry registry;
    return registry;
}

// The first listener of the channel after the one with id after.
std::shared_ptr<const LogListener> NextListener(int channel, uint64_t& after)
{
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    for (const ListenerEntry& entry : registry.listeners) {
        if (entry.id > after && entry.channel == channel) {
            after = entry.id;
            return entry.listener;
        }
    }
    return nullptr;
}

void Keep(LogEntry& entry)
{
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    entry.id = ++registry.lastEntry;
    std::deque<LogEntry>& kept = registry.history[entry.channel];
    kept.push_back(entry);
    if (kept.size() > LOG_HISTORY_SIZE)
        kept.pop_front();
}

void RemoveListener(uint64_t id)
{
    Registry& registry = TheRegistry();
    // Let go of after the lock: what the listener holds may log as it goes.
    std::shared_ptr<const LogListener> removed;
    std::lock_guard<std::mutex> lock(registry.mutex);
    for (auto it = registry.listeners.begin(); it != registry.listeners.end(); ++it) {
        if (it->id == id) {
            removed = std::move(it->listener);
            registry.listeners.erase(it);
            return;
        }
    }
}

} // namespace

void LogVPrintf(int channel, int level, const char* format, va_list args)
{
    char text[LOG_TEXT_MAX] = {};
    std::vsnprintf(text, sizeof text, format, args);
    LogEntry entry;
    entry.channel = channel;
    entry.level = level;
    entry.time = std::chrono::system_clock::now();
    entry.text = text;
    Keep(entry);
    // The lock is never held while a listener runs: a listener may block on
    // the UI thread, and it may add or remove listeners.
    uint64_t after = 0;
    while (std::shared_ptr<const LogListener> listener = NextListener(channel, after))
        (*listener)(entry);
}

void LogPrintf(int channel, int level, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    LogVPrintf(channel, level, format, args);
    va_end(args);
}

LogListenerRegistration AddLogListener(int channel, LogListener listener)
{
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    const uint64_t id = ++registry.lastListener;
    registry.listeners.push_back({id, channel, std::make_shared<const LogListener>(std::move(listener))});
    return LogListenerRegistration(id);
}

LogListenerRegistration::LogListenerRegistration(LogListenerRegistration&& other) noexcept : id_(other.id_)
{
    other.id_ = 0;
}

LogListenerRegistration& LogListenerRegistration::operator=(LogListenerRegistration&& other) noexcept
{
    if (this != &other) {
        Remove();
        id_ = other.id_;
        other.id_ = 0;
    }
    return *this;
}

void LogListenerRegistration::Remove()
{
    if (id_ != 0)
        RemoveListener(id_);
    id_ = 0;
}

std::vector<LogEntry> LogHistory(int channel, uint64_t after)
{
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    std::vector<LogEntry> entries;
    const auto kept = registry.history.find(channel);
    if (kept == registry.history.end())
        return entries;
    for (const LogEntry& entry : kept->second) {
        if (entry.id > after)
            entries.push_back(entry);
    }
    return entries;
}

uint64_t LastLogId()
{
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    return registry.lastEntry;
}
