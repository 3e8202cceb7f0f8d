// Trees that cannot give a true image: the create or the read fails, naming
// the file and the fault, and nothing crashes.

#include "DvdTrees.h"
#include "ImageProbe.h"
#include "recorder/ImageStream.h"
#include "recorder/LibburnRecorder.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using testing::AllOf;
using testing::HasSubstr;

namespace fs = std::filesystem;

namespace {

class BadTreeTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string log;
        std::string source = TreeFolder(DvdTree::PalWithMenus, &log);
        ASSERT_FALSE(source.empty()) << log;
        videoTs_ = temp_.Path("VIDEO_TS/");
        ASSERT_TRUE(CopyTree(source, videoTs_));
    }

    void TearDown() override { library_.DVDVideoRelease(&handle_); }

    RecorderException Create()
    {
        char text[RECORDER_EXCEPTION_TEXT_SIZE] = "untouched";
        status_ = RECORDER_STATUS_UNSET;
        RecorderException result = library_.DVDVideoCreate(&handle_, videoTs_.c_str(), 1, text, sizeof text,
                                                           &status_, "Label", "P", "A", 2006, 10, 20, 12, 10, 0, 50);
        text_ = text;
        return result;
    }

    void ExpectCreateFails(const std::string& file, const std::string& fault)
    {
        EXPECT_NE(RECORDER_SUCCESS, Create());
        EXPECT_EQ(nullptr, handle_);
        EXPECT_EQ(RECORDER_STATUS_FAILED, status_);
        EXPECT_THAT(text_, AllOf(HasSubstr(file), HasSubstr(fault)));
    }

    // Reads the whole image; the failure text, or "" when it was read.
    std::string ReadAll()
    {
        FileTreeHandle tree = nullptr;
        EXPECT_EQ(RECORDER_SUCCESS, library_.DVDVideoGetFileTree(handle_, &tree));
        auto* stream = static_cast<ImageStream*>(tree);
        std::vector<unsigned char> buffer(1 << 16);
        int64_t got;
        while ((got = stream->Read(buffer.data(), static_cast<int64_t>(buffer.size()))) > 0) {
        }
        if (got < 0) {
            // A failed stream stays failed.
            EXPECT_EQ(-1, stream->Read(buffer.data(), 1));
            return stream->Error();
        }
        return "";
    }

    void Patch(const std::string& name, size_t offset, const std::string& bytes)
    {
        std::fstream file(videoTs_ + name, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(offset));
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    LibburnRecorder library_;
    TempDir temp_;
    std::string videoTs_;
    DvdVideoHandle handle_ = nullptr;
    uint32_t status_ = 0;
    std::string text_;
};

TEST_F(BadTreeTest, TheCopiedTreeIsGood)
{
    ASSERT_EQ(RECORDER_SUCCESS, Create()) << text_;
    EXPECT_EQ("", ReadAll());
}

// Trees copied from FAT discs may come in lower case; the disc names them in
// upper case.
TEST_F(BadTreeTest, LowerCaseNamesAreTaken)
{
    for (const auto& entry : fs::directory_iterator(videoTs_)) {
        std::string name = entry.path().filename().string();
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        fs::rename(entry.path(), videoTs_ + name);
    }
    ASSERT_EQ(RECORDER_SUCCESS, Create()) << text_;
    EXPECT_EQ("", ReadAll());
    library_.DVDVideoRelease(&handle_);
    fs::copy_file(videoTs_ + "vts_01_0.ifo", videoTs_ + "VTS_01_0.IFO");
    ExpectCreateFails("VTS_01_0.IFO", "apart from case");
}

TEST_F(BadTreeTest, NoManagerIfo)
{
    fs::remove(videoTs_ + "VIDEO_TS.IFO");
    ExpectCreateFails(videoTs_, "no VIDEO_TS.IFO");
    videoTs_ = temp_.Path("missing/VIDEO_TS");
    ExpectCreateFails(videoTs_, "cannot be read");
}

TEST_F(BadTreeTest, TruncatedOrForeignIfo)
{
    fs::resize_file(videoTs_ + "VTS_01_0.IFO", 100);
    ExpectCreateFails("VTS_01_0.IFO", "truncated");
    fs::resize_file(videoTs_ + "VIDEO_TS.IFO", 4096);
    ExpectCreateFails("VIDEO_TS.IFO", "truncated");
    Patch("VIDEO_TS.IFO", 0, "NOTAVIDEOIFO");
    ExpectCreateFails("VIDEO_TS.IFO", "DVDVIDEO-VMG");
}

TEST_F(BadTreeTest, IfoPointingOutsideItsFiles)
{
    // The title VOB placed inside the menu VOB.
    Patch("VTS_01_0.IFO", 0xC4, std::string("\0\0\0\x10", 4));
    ExpectCreateFails("VTS_01_0.IFO", "before the end of VTS_01_0.VOB");
}

TEST_F(BadTreeTest, TitleSetPlacedInsideTheManager)
{
    std::string vmg = ReadWholeFile(videoTs_ + "VIDEO_TS.IFO");
    size_t table = static_cast<size_t>(static_cast<uint8_t>(vmg[0xC7])) * 2048;
    Patch("VIDEO_TS.IFO", table + 8 + 8, std::string("\0\0\0\x02", 4));
    Patch("VIDEO_TS.IFO", table + 8 + 12 + 8, std::string("\0\0\0\x02", 4));
    ExpectCreateFails("VIDEO_TS.IFO", "places VTS_01_0.IFO at sector 2, before the end of VIDEO_TS.BUP");
}

TEST_F(BadTreeTest, BackupLargerThanItsSet)
{
    std::ofstream(videoTs_ + "VTS_01_0.BUP", std::ios::app) << std::string(2048 * 64, 'x');
    ExpectCreateFails("VTS_01_0.IFO", "before the end of VTS_01_1.VOB");
}

// A title set must hold what its IFO says: video, and every sector the set
// is given.
TEST_F(BadTreeTest, TitleSetsWithoutTheVideoTheirIfoPromises)
{
    const std::string lastField = ReadWholeFile(videoTs_ + "VTS_01_0.IFO").substr(0x0C, 4);
    const uint32_t last = (uint32_t(uint8_t(lastField[0])) << 24) | (uint32_t(uint8_t(lastField[1])) << 16) |
                          (uint32_t(uint8_t(lastField[2])) << 8) | uint8_t(lastField[3]);
    const uint32_t longer = last + 100;
    Patch("VTS_01_0.IFO", 0x0C, {char(longer >> 24), char(longer >> 16), char(longer >> 8), char(longer)});
    ExpectCreateFails("VTS_01_0.IFO", "gives its set " + std::to_string(longer + 1) +
                                          " sectors, but its files fill only " + std::to_string(last + 1));

    Patch("VTS_01_0.IFO", 0x0C, lastField);
    fs::resize_file(videoTs_ + "VTS_01_1.VOB", 0);
    ExpectCreateFails(videoTs_ + "VTS_01_1.VOB", "empty, so title set 1 has no video");
}

TEST_F(BadTreeTest, FileChangingSizeAfterPlanning)
{
    ASSERT_EQ(RECORDER_SUCCESS, Create()) << text_;
    std::ofstream(videoTs_ + "VTS_01_1.VOB", std::ios::app) << "more";
    EXPECT_THAT(ReadAll(), AllOf(HasSubstr(videoTs_ + "VTS_01_1.VOB"), HasSubstr("bytes")));

    fs::resize_file(videoTs_ + "VTS_01_1.VOB", 2048);
    EXPECT_THAT(ReadAll(), AllOf(HasSubstr("VTS_01_1.VOB"), HasSubstr("2048 bytes")));
}

TEST_F(BadTreeTest, FileGoneAfterPlanning)
{
    ASSERT_EQ(RECORDER_SUCCESS, Create()) << text_;
    fs::remove(videoTs_ + "VTS_01_0.BUP");
    EXPECT_THAT(ReadAll(), AllOf(HasSubstr(videoTs_ + "VTS_01_0.BUP"), HasSubstr("cannot be opened")));
}

TEST_F(BadTreeTest, MissingVobsOrBackup)
{
    fs::rename(videoTs_ + "VTS_01_1.VOB", videoTs_ + "VTS_01_2.VOB");
    ExpectCreateFails("VTS_01_2.VOB", "no VTS_01_1.VOB");
    fs::remove(videoTs_ + "VTS_01_2.VOB");
    ExpectCreateFails("VTS_01_1.VOB", "no VTS_01_1.VOB");
    fs::remove(videoTs_ + "VIDEO_TS.VOB");
    ExpectCreateFails("VIDEO_TS.VOB", "places at sector");
}

TEST_F(BadTreeTest, BadArgumentsAndHandles)
{
    char text[RECORDER_EXCEPTION_TEXT_SIZE];
    uint32_t status = 0;
    EXPECT_NE(RECORDER_SUCCESS, library_.DVDVideoCreate(nullptr, videoTs_.c_str(), 1, text, sizeof text, &status,
                                                         "L", "P", "A", 2006, 10, 20, 12, 10, 0, 50));
    int64_t size = 1;
    EXPECT_NE(RECORDER_SUCCESS, library_.DVDVideoGetImageSize(nullptr, &size));
    EXPECT_EQ(0, size);
    FileTreeHandle tree = &size;
    EXPECT_NE(RECORDER_SUCCESS, library_.DVDVideoGetFileTree(nullptr, &tree));
    EXPECT_EQ(nullptr, tree);
    DvdVideoHandle none = nullptr;
    EXPECT_EQ(RECORDER_SUCCESS, library_.DVDVideoRelease(&none));
}

} // namespace
