#include "core/Log.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> g_first;
std::vector<std::string> g_second;
std::vector<int> g_levels;

void FirstListener(int level, const char* text)
{
    g_first.emplace_back(text);
    g_levels.push_back(level);
}

void SecondListener(int, const char* text)
{
    g_second.emplace_back(text);
}

void RegisteringListener(int, const char* text)
{
    g_first.emplace_back(std::string("reg:") + text);
    AddLogListener(SecondListener, 7);
}

// Like the burn page's listener, waits for another thread that logs and
// registers in its turn.
void HandingOverListener(int, const char* text)
{
    g_first.emplace_back(text);
    std::thread other([] {
        AddLogListener(SecondListener, 14);
        LogPrintf(14, LOG_INFO, "from the other thread");
    });
    other.join();
}

} // namespace

// The registry only grows, so every test uses channels of its own.
TEST(LogTest, DeliversByChannelOnceAndNeverToTrace)
{
    g_first.clear();
    g_levels.clear();
    AddLogListener(FirstListener, 5);
    AddLogListener(FirstListener, 5);
    LogPrintf(5, LOG_ERROR, "Setting speed %s!", "failed");
    LogPrintf(6, LOG_INFO, "other channel");
    LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "CDevice::BurnDVDVideo(): Testing unit ready... ");
    ASSERT_EQ(g_first.size(), 1u);
    EXPECT_EQ(g_first[0], "Setting speed failed!");
    EXPECT_EQ(g_levels[0], LOG_ERROR);
}

TEST(LogTest, OneListenerOnTwoChannelsHearsBoth)
{
    g_first.clear();
    AddLogListener(FirstListener, 10);
    AddLogListener(FirstListener, 11);
    LogPrintf(10, LOG_INFO, "a");
    LogPrintf(11, LOG_WARNING, "b");
    EXPECT_EQ(g_first, (std::vector<std::string>{"a", "b"}));
}

TEST(LogTest, ListenerAddedDuringTheWalkIsServedByIt)
{
    g_first.clear();
    g_second.clear();
    AddLogListener(RegisteringListener, 7);
    LogPrintf(7, LOG_INFO, "x");
    EXPECT_EQ(g_first, (std::vector<std::string>{"reg:x"}));
    EXPECT_EQ(g_second, (std::vector<std::string>{"x"}));
}

TEST(LogTest, LongMessageIsCutAtTheBuffer)
{
    g_first.clear();
    AddLogListener(FirstListener, 12);
    std::string huge(10000, 'k');
    LogPrintf(12, LOG_INFO, "%s", huge.c_str());
    ASSERT_EQ(g_first.size(), 1u);
    EXPECT_EQ(g_first[0].size(), static_cast<size_t>(LOG_TEXT_MAX - 1));
}

TEST(LogTest, AListenerMayWaitForAThreadThatLogsAndRegisters)
{
    g_first.clear();
    g_second.clear();
    AddLogListener(HandingOverListener, 13);
    std::future<void> logged = std::async(std::launch::async, [] { LogPrintf(13, LOG_INFO, "burning"); });
    if (logged.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        std::fprintf(stderr, "LogPrintf never returned: the registry is held while a listener runs\n");
        std::_Exit(1);
    }
    EXPECT_EQ(g_first, (std::vector<std::string>{"burning"}));
    EXPECT_EQ(g_second, (std::vector<std::string>{"from the other thread"}));
}
