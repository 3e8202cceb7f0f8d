// The program itself, run from a folder of its own: a stop request from
// outside ends it the way closing the window does.

#include "support/ProgramRun.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Runs a copy of the program from folder, sends it signal once it listens
// for it, and returns its exit status (-1 when it did not end in time).
int RunAndStop(const TempDir& folder, int signal)
{
    const std::string program = folder.Path("kandrix");
    std::filesystem::copy_file(std::string(KANDRIX_BIN_DIR) + "kandrix", program);
    return RunUntilStopped(program, {}, signal);
}

} // namespace

TEST(ProgramTest, StopSignalClosesTheWindowAndKeepsTheSettings)
{
    for (int signal : {SIGTERM, SIGINT}) {
        TempDir folder;
        EXPECT_EQ(RunAndStop(folder, signal), 0) << signal;
        EXPECT_EQ(std::filesystem::file_size(folder.Path("Option.dat")), 58u) << signal;
    }
}

TEST(ProgramTest, FifosInTheProgramFolderNeitherHoldTheStartNorTheExit)
{
    TempDir folder;
    for (const char* name : {"Option.dat", "Vista.cjstyles", "NormalBlack2.ini", "RenqaDMO.dll"})
        ASSERT_EQ(::mkfifo(folder.Path(name).c_str(), 0600), 0) << name;
    // The first request is enough: the start has not hung where the signal
    // cannot reach the window.
    EXPECT_EQ(RunAndStop(folder, SIGTERM), 0);
    EXPECT_EQ(std::filesystem::file_size(folder.Path("Option.dat")), 58u);
}

TEST(ProgramTest, ADeviceOrAHugeSkinIsNoSkin)
{
    TempDir folder;
    ASSERT_EQ(::symlink("/dev/zero", folder.Path("Vista.cjstyles").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/zero", folder.Path("RenqaDMO.dll").c_str()), 0);
    ASSERT_EQ(::mkdir(folder.Path("Option.dat").c_str(), 0700), 0);
    EXPECT_EQ(RunAndStop(folder, SIGTERM), 0);

    TempDir big;
    big.Write("Vista.cjstyles", std::string(5 << 20, ' '));
    EXPECT_EQ(RunAndStop(big, SIGTERM), 0);
}
