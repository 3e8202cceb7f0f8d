#include "core/SavedLog.h"
#include "core/MediaObjectLibrary.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

TEST(SavedLogTest, SectionsWithCrLfAnEmptyBurnSectionAndTheTraceLast)
{
    std::string text = ComposeSavedLog({"09:05:03 Input #0", "09:05:04 done\n"}, {}, {"09:05:05 OK!"});
    EXPECT_EQ(text,
              "Converting log start---------\r\n\r\n"
              "09:05:03 Input #0\r\n"
              "09:05:04 done\r\n\r\n"
              "---------Converting log end\r\n\r\n"
              "Burning log start---------\r\n\r\n"
              "---------Burning log end\r\n"
              "\r\nTrace log start---------\r\n\r\n"
              "09:05:05 OK!\r\n"
              "---------Trace log end\r\n");
}

TEST(SavedLogTest, WritesTheFileOrReportsItCannot)
{
    char pattern[] = "/tmp/kandrix_log_XXXXXX";
    std::string folder = ::mkdtemp(pattern);
    std::string path = folder + "/R3Xlog.txt";
    std::string text = ComposeSavedLog({"a"}, {"b"});
    ASSERT_TRUE(WriteSavedLog(path, text));
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), text);
    EXPECT_FALSE(WriteSavedLog(folder + "/no/such/folder/R3Xlog.txt", text));
    std::filesystem::remove_all(folder);
}

TEST(MediaObjectLibraryTest, MissingLibraryOrExportIsAFailureNotACrash)
{
    EXPECT_FALSE(RegisterMediaObjectLibrary("/nonexistent/RenqaDMO.dll", false));
    EXPECT_FALSE(RegisterMediaObjectLibrary("", false));
    // A real library without the registration exports.
    EXPECT_FALSE(RegisterMediaObjectLibrary("libm.so.6", false));
}
