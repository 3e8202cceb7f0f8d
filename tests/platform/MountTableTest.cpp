// The drive's root folder: where its disc is mounted, from the mount table.

#include "platform/MountTable.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(MountTable, ParsesLinesAndResolvesEscapes)
{
    const std::vector<MountEntry> entries =
        ParseMountTable("proc /proc proc rw,nosuid 0 0\n"
                        "/dev/sr0 /media/ann/MY\\040DISC\\011x\\134y udf ro,nosuid,nodev 0 0\n"
                        "\n");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].device, "/dev/sr0");
    EXPECT_EQ(entries[1].mountPoint, "/media/ann/MY DISC\tx\\y");
}

TEST(MountTable, TheDriveRootIsItsMountPointElseItsFolder)
{
    const std::string table = "/dev/sda1 / ext4 rw 0 0\n"
                              "/dev/sr1 /media/ann/Holiday\\040Disc iso9660 ro 0 0\n"
                              "/dev/sr1 /mnt/again iso9660 ro 0 0\n";
    EXPECT_EQ(DriveRootFolder("/dev/sr1", table), "/media/ann/Holiday Disc");
    EXPECT_EQ(DriveRootFolder("/dev/sr0", table), "/dev");
    EXPECT_EQ(DriveRootFolder("/sr0", table), "/");

    // A link to the drive names the same disc.
    TempDir dev;
    dev.Write("sr7", "");
    std::filesystem::create_symlink(dev.Path("sr7"), dev.Path("cdrom"));
    EXPECT_EQ(DriveRootFolder(dev.Path("cdrom"), dev.Path("sr7") + " /media/seven udf ro 0 0\n"), "/media/seven");
    EXPECT_EQ(DriveRootFolder(dev.Path("sr7"), dev.Path("cdrom") + " /media/seven udf ro 0 0\n"), "/media/seven");
}

} // namespace
