#include "core/TraceFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace {

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

unsigned ModeOf(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(TraceFileTest, TheFileTurnsOverAtItsLimitAndSaveLogTakesTheLatestLines)
{
    TempDir dir;
    const std::string folder = dir.Path("cache/kandrix");
    {
        TraceFile trace(folder, 4096);
        for (int i = 0; i < 300; ++i)
            LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "OK!\nCDevice::BurnDVDVideo(): step %03d ", i);
    }
    const std::string current = Read(folder + "/trace.log");
    const std::string old = Read(folder + "/trace.log.1");
    EXPECT_LE(current.size(), 4096u);
    EXPECT_GT(old.size(), 4000u);
    EXPECT_LE(old.size(), 4096u);
    EXPECT_TRUE(current.ends_with(" CDevice::BurnDVDVideo(): step 299 \n")) << current;
    EXPECT_EQ(current.substr(8, 5), " OK!\n") << "each line of a message has its time";
    EXPECT_EQ(ModeOf(folder + "/trace.log"), 0600u);
    EXPECT_EQ(ModeOf(folder), 0700u);

    const std::vector<std::string> lines = RecentTraceLines(200);
    ASSERT_EQ(lines.size(), 200u);
    EXPECT_EQ(lines.back().substr(8), " CDevice::BurnDVDVideo(): step 299 ");
    EXPECT_EQ(lines.front().substr(8), " OK!");
}

TEST(TraceFileTest, AFifoInItsPlaceIsRefusedWithoutAHang)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.Path("trace.log").c_str(), 0600), 0);
    {
        TraceFile trace(dir.Folder());
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "nobody reads this");
    }
    struct stat info {};
    ASSERT_EQ(::lstat(dir.Path("trace.log").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_NE(::lstat(dir.Path("trace.log.1").c_str(), &info), 0);
}

} // namespace
