// Runs whose output folder everyone may write in, as /tmp, where someone has
// put FIFOs, links to the user's files or folders of their own at every name
// a run uses. A run must neither use nor change any of them, and two runs
// there at once must not replace each other's image.

#include "BurnFlowKit.h"

#include "core/ConversionSettings.h"
#include "burn/BurnRun.h"
#include "media/MediaKit.h"
#include "support/ManualJobControl.h"
#include "support/RunLeftovers.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sys/stat.h>

namespace {

enum class Trap { Fifo, Link, Folder, Foreign };

void Plant(Trap trap, const std::string& path, const std::string& target)
{
    // Another account's file is made by root, as that account.
    const int made = trap == Trap::Fifo      ? ::mkfifo(path.c_str(), 0666)
                     : trap == Trap::Link    ? ::symlink(target.c_str(), path.c_str())
                     : trap == Trap::Foreign ? ::close(::open(path.c_str(), O_CREAT | O_WRONLY, 0666)) |
                                                   ::chown(path.c_str(), 65534, 65534)
                                             : ::mkdir(path.c_str(), 0777) | ::chmod(path.c_str(), 0777);
    ASSERT_EQ(made, 0) << path;
}

// Each entry's inode and mode, without following links.
std::map<std::string, std::pair<ino_t, mode_t>> Snapshot(const std::string& folder)
{
    std::map<std::string, std::pair<ino_t, mode_t>> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        struct stat info {};
        ::lstat(entry.path().c_str(), &info);
        entries[entry.path().string()] = {info.st_ino, info.st_mode};
    }
    return entries;
}

} // namespace

TEST(SharedFolderTest, NothingPlantedAtTheRunsNamesIsUsedOrChanged)
{
    TempDir temp;
    std::string log;
    const std::string clip = MakeSourceClip(temp.Path("clip.mp4"), 1, &log);
    const std::string mpeg = clip.empty() ? "" : MakeDvdMpeg(clip, temp.Path("mine.mpg"), &log);
    ASSERT_FALSE(mpeg.empty()) << log;
    const std::string secret = temp.Write("bashrc", "the user's own");
    LibburnRecorder library;
    const std::shared_ptr<CDevice> recorder = FindImageRecorder(library);
    ASSERT_NE(recorder, nullptr);
    auto burn = [&](int task, const std::string& output, const std::vector<std::string>& files,
                    std::shared_ptr<RunFolder> work, RecordingAuthoringView& view) {
        BurnRequest request{{task, output, ProgramFolder(), files}, {}, std::move(work)};
        EXPECT_TRUE(FillBurnOptions(recorder, "4.0x", "Label", "", &request.options));
        ManualJobControl control;
        return BurnThread(request, view, control);
    };

    for (Trap trap : {Trap::Fifo, Trap::Link, Trap::Folder, Trap::Foreign}) {
        if (trap == Trap::Foreign && ::geteuid() != 0)
            continue;
        const std::string shared = temp.Path("shared" + std::to_string(static_cast<int>(trap)) + "/");
        SCOPED_TRACE(shared);
        ASSERT_EQ(::mkdir(shared.c_str(), 0777) | ::chmod(shared.c_str(), 01777), 0);
        for (const char* name : {"kzxtmpfb001.bat", "kzxtmpf001.xml", "kzxtmpd001", "Label.iso"})
            Plant(trap, shared + name, secret);
        // Every temporary name links to the user's file; a few of the others
        // show the rest.
        for (unsigned number = 1; number <= (trap == Trap::Link ? 0xFFFFu : 0xFFu); ++number) {
            char name[32];
            std::snprintf(name, sizeof name, "vre%X.tmp.mpg", number);
            Plant(trap, shared + name, secret);
        }
        if (trap == Trap::Folder) {
            Plant(trap, shared + "kzxtmpd001/VIDEO_TS", secret);
            Plant(Trap::Link, shared + "kzxtmpd001/VIDEO_TS/VIDEO_TS.IFO", secret);
        }
        // A command waits in the FIFO for whoever reads the batch.
        const std::string marker = temp.Path("ran");
        RunningProgram writer;
        if (trap == Trap::Fifo)
            writer = StartProgram({"/bin/sh", "-c", "echo 'touch " + marker + "' > " + shared + "kzxtmpfb001.bat"});
        // Also when an assertion ends the case early: the writer would wait
        // on its FIFO for ever.
        const std::unique_ptr<RunningProgram, void (*)(RunningProgram*)> stopWriter(&writer, [](RunningProgram* w) {
            if (w->pid > 0 && ::kill(w->pid, SIGKILL) == 0)
                WaitProgram(*w);
        });
        const auto before = Snapshot(shared);

        ConversionRequest request;
        request.sources = {{clip, "clip.mp4"}};
        request.outputFolder = shared;
        request.programFolder = ProgramFolder();
        RecordingConversionView conversion;
        const ConversionResult converted = AVI2MPEGFunc(request, conversion, nullptr, 50);
        ASSERT_EQ(converted.succeededCount, 1) << conversion.log;
        EXPECT_NE(converted.workFolder->Path().rfind(shared, 0), 0u) << "a work folder in the shared folder";
        RecordingAuthoringView first, second;
        second.list = {mpeg};
        const BurnOutcome dvd = burn(CT_VIDEO2DVD, shared, converted.convertedFiles, converted.workFolder, first);
        ASSERT_TRUE(dvd.result) << dvd.result << first.LogText();
        // The first run still holds its image while the second burns.
        const BurnOutcome copies = burn(CT_MPG2DVD, shared, {mpeg}, nullptr, second);
        ASSERT_TRUE(copies.result) << copies.result << second.LogText();
        EXPECT_EQ(dvd.imagePath, shared + "Label (2).iso");
        EXPECT_EQ(copies.imagePath, shared + "Label (3).iso");
        EXPECT_THAT(first.LogText(), testing::HasSubstr(shared + "Label.iso " +
                                                  (trap == Trap::Foreign ? "belongs to another user" : "is a")));
        for (const std::string& image : {dvd.imagePath, copies.imagePath}) {
            std::string listing;
            EXPECT_EQ(TitleLengths(image, &listing).size(), 1u) << listing;
            std::filesystem::remove(image);
        }
        dvd.workFolder->Remove();
        copies.workFolder->Remove();

        EXPECT_TRUE(Snapshot(shared) == before) << "something planted was changed";
        EXPECT_EQ(ReadFile(secret), "the user's own");
        EXPECT_FALSE(std::filesystem::exists(marker)) << "the planted command ran";
        EXPECT_THAT(RunLeftovers(), testing::IsEmpty());
    }
}
