// Block 16 read through a libburn stdio: drive tells a file system from
// blank space.

#include "recorder/LibburnRecorder.h"
#include "recorder/RunTool.h"
#include "recorder/VolumeProbe.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <libburn/libburn.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// Grabs the file as a pseudo-drive, looks at block 16, lets go.
bool ProbeFile(const std::string& path, uint32_t& blocks)
{
    std::string address = "stdio:" + path;
    burn::burn_drive_info* info = nullptr;
    if (burn::burn_drive_scan_and_grab(&info, address.data(), 0) != 1) {
        ADD_FAILURE() << "libburn would not take " << path;
        return false;
    }
    const bool found = FindRecordedVolume(info[0].drive, blocks);
    burn::burn_drive_release(info[0].drive, 0);
    burn::burn_drive_info_free(info);
    return found;
}

TEST(VolumeProbeTest, AnIsoFileSystemIsRecordedDataAndZerosAreBlank)
{
    LibburnRecorder library;
    ASSERT_EQ(library.UpStartEx(), RECORDER_SUCCESS);
    TempDir temp;
    std::filesystem::create_directories(temp.Path("content"));
    temp.Write("content/hello.txt", "hello");
    const std::string iso = temp.Path("disc.iso");
    const CheckToolOutput made = RunCheckTool({"genisoimage", "-quiet", "-V", "PROBE", "-o", iso, temp.Path("content")});
    ASSERT_EQ(made.exitCode, 0) << made.output;
    uint32_t blocks = 0;
    EXPECT_TRUE(ProbeFile(iso, blocks));
    EXPECT_EQ(static_cast<uintmax_t>(blocks) * 2048, std::filesystem::file_size(iso));

    const std::string zeros = temp.Write("zeros.img", std::string(64 * 2048, '\0'));
    EXPECT_FALSE(ProbeFile(zeros, blocks));
    EXPECT_EQ(blocks, 0u);
}

TEST(VolumeProbeTest, UdfRecognitionMarksCountAsRecordedData)
{
    unsigned char block[2048] = {};
    uint32_t blocks = 0;
    std::memcpy(block + 1, "BEA01", 5);
    EXPECT_TRUE(VolumeDescriptorBlocks(block, blocks));
    EXPECT_GT(blocks, 0u);
    std::memcpy(block + 1, "NSR03", 5);
    EXPECT_TRUE(VolumeDescriptorBlocks(block, blocks));
    std::memcpy(block + 1, "CD002", 5);
    EXPECT_FALSE(VolumeDescriptorBlocks(block, blocks));
}

} // namespace
