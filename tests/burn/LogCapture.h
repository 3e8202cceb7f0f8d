#pragma once
// What the log's channels took in since the object was made (or cleared),
// read back from the log's own history.

#include "core/Log.h"

#include <algorithm>
#include <string>
#include <vector>

class LogCapture {
public:
    std::vector<std::string> Texts(int channel) const
    {
        std::vector<std::string> texts;
        for (const LogEntry& entry : LogHistory(channel, start_))
            texts.push_back(entry.text);
        return texts;
    }

    bool Logged(int channel, int level, const std::string& text) const
    {
        const std::vector<LogEntry> entries = LogHistory(channel, start_);
        return std::any_of(entries.begin(), entries.end(),
                           [&](const LogEntry& entry) { return entry.level == level && entry.text == text; });
    }

    int Count(int channel, const std::string& text) const
    {
        const std::vector<std::string> texts = Texts(channel);
        return static_cast<int>(std::count(texts.begin(), texts.end(), text));
    }

    void Clear() { start_ = LastLogId(); }

private:
    uint64_t start_ = LastLogId();
};
