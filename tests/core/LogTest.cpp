#include "core/Log.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Texts = std::vector<std::string>;

Texts TextsOf(const std::vector<LogEntry>& entries)
{
    Texts texts;
    for (const LogEntry& entry : entries)
        texts.push_back(entry.text);
    return texts;
}

// Other tests of the process log too, so every test uses channels of its own.
TEST(LogTest, DeliversByChannelWithItsLevelAndServesListenersAddedOnTheWay)
{
    std::vector<LogEntry> heard;
    Texts second;
    LogListenerRegistration added;
    LogListenerRegistration first = AddLogListener(5, [&](const LogEntry& entry) {
        heard.push_back(entry);
        if (entry.text == "add")
            added = AddLogListener(5, [&](const LogEntry& later) { second.push_back(later.text); });
    });
    LogPrintf(5, LOG_ERROR, "Setting speed %s!", "failed");
    LogPrintf(6, LOG_INFO, "other channel");
    LogPrintf(5, LOG_INFO, "add");
    LogPrintf(5, LOG_INFO, "%s", std::string(10000, 'k').c_str());

    ASSERT_EQ(heard.size(), 3u);
    EXPECT_EQ(heard[0].text, "Setting speed failed!");
    EXPECT_EQ(heard[0].level, LOG_ERROR);
    EXPECT_EQ(heard[2].text.size(), static_cast<size_t>(LOG_TEXT_MAX - 1));
    EXPECT_EQ(second.size(), 2u) << "the listener added during a message hears it too";
}

TEST(LogTest, HistoryIsBoundedAndALateListenerCatchesUpWhileARemovedOneHearsNoMore)
{
    Texts early;
    std::optional<LogListenerRegistration> registration = AddLogListener(7, [&](const LogEntry& entry) {
        early.push_back(entry.text);
    });
    const uint64_t before = LastLogId();
    for (size_t i = 0; i < LOG_HISTORY_SIZE + 5; ++i)
        LogPrintf(7, LOG_INFO, "line %zu", i);
    registration.reset();
    LogPrintf(7, LOG_INFO, "after removal");
    EXPECT_EQ(early.size(), LOG_HISTORY_SIZE + 5);

    const std::vector<LogEntry> kept = LogHistory(7);
    ASSERT_EQ(kept.size(), LOG_HISTORY_SIZE);
    EXPECT_EQ(kept.front().text, "line 6");
    EXPECT_EQ(kept.back().text, "after removal");
    EXPECT_GT(kept.front().id, before);
    // A listener that knows the latest id it saw gets only what came after.
    EXPECT_EQ(TextsOf(LogHistory(7, kept[kept.size() - 2].id)), Texts{"after removal"});
    EXPECT_TRUE(LogHistory(8).empty());
}

// Like the burn page's listener, it waits for another thread that logs,
// registers and removes in its turn: nothing may be held meanwhile.
TEST(LogTest, AListenerMayWaitForAThreadThatLogsRegistersAndRemoves)
{
    Texts heard;
    LogListenerRegistration first = AddLogListener(13, [&](const LogEntry& entry) {
        heard.push_back(entry.text);
        std::thread other([&] {
            LogListenerRegistration second =
                AddLogListener(14, [&](const LogEntry& inner) { heard.push_back("14: " + inner.text); });
            LogPrintf(14, LOG_INFO, "from the other thread");
        });
        other.join();
    });
    std::future<void> logged = std::async(std::launch::async, [] { LogPrintf(13, LOG_INFO, "burning"); });
    if (logged.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        std::fprintf(stderr, "LogPrintf never returned: the log is held while a listener runs\n");
        std::_Exit(1);
    }
    EXPECT_EQ(heard, (Texts{"burning", "14: from the other thread"}));
}

} // namespace
