// DVD-Video images made through the recording library's calls, read back with
// lsdvd, isoinfo, udfinfo, 7z and libdvdread.

#include "DvdTrees.h"
#include "ImageProbe.h"
#include "UdfCheck.h"
#include "media/MediaKit.h"
#include "recorder/ImageStream.h"
#include "recorder/LibburnRecorder.h"
#include "support/TempDir.h"

#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

using testing::HasSubstr;
using testing::IsEmpty;

namespace {

// Building and reading an image needs no drive: the library is never started.
// Made on first use, so that listing the tests makes none.
LibburnRecorder& Library()
{
    static LibburnRecorder library;
    return library;
}

// 40 characters with spaces and lower case.
const std::string kLongLabel = "Summer holidays 2026 at the lake, part 1";

struct MadeImage {
    RecorderException exception = RECORDER_SUCCESS;
    std::string text;
    int64_t size = 0;
    std::string readError;
};

DvdVideoHandle Create(const std::string& videoTs, const std::string& label, MadeImage* made)
{
    char text[RECORDER_EXCEPTION_TEXT_SIZE] = "untouched";
    uint32_t status = RECORDER_STATUS_UNSET;
    DvdVideoHandle handle = nullptr;
    made->exception = Library().DVDVideoCreate(&handle, videoTs.c_str(), 1, text, sizeof text, &status, label.c_str(),
                                              "StarBurnPublisher", "StarBurnApplication", 2006, 10, 20, 12, 10, 0, 50);
    made->text = text;
    return handle;
}

// Streams the image to path in reads of chunk bytes.
bool WriteImage(FileTreeHandle tree, const std::string& path, int64_t chunk, MadeImage* made)
{
    auto* stream = static_cast<ImageStream*>(tree);
    std::ofstream out(path, std::ios::binary);
    std::vector<unsigned char> buffer(static_cast<size_t>(chunk));
    int64_t total = 0;
    for (;;) {
        int64_t got = stream->Read(buffer.data(), chunk);
        if (got < 0) {
            made->readError = stream->Error();
            return false;
        }
        if (got == 0)
            break;
        out.write(reinterpret_cast<const char*>(buffer.data()), got);
        total += got;
    }
    return total == stream->Size();
}

MadeImage MakeImage(const std::string& videoTs, const std::string& label, const std::string& path,
                    int64_t chunk = 1 << 20)
{
    MadeImage made;
    DvdVideoHandle handle = Create(videoTs, label, &made);
    if (made.exception != RECORDER_SUCCESS)
        return made;
    FileTreeHandle tree = nullptr;
    EXPECT_EQ(RECORDER_SUCCESS, Library().DVDVideoGetImageSize(handle, &made.size));
    EXPECT_EQ(RECORDER_SUCCESS, Library().DVDVideoGetFileTree(handle, &tree));
    EXPECT_TRUE(WriteImage(tree, path, chunk, &made)) << made.readError;
    EXPECT_EQ(RECORDER_SUCCESS, Library().DVDVideoRelease(&handle));
    EXPECT_EQ(nullptr, handle);
    return made;
}

class DvdImageTest : public testing::Test {
protected:
    std::string Tree(DvdTree tree)
    {
        std::string log;
        std::string folder = TreeFolder(tree, &log);
        EXPECT_FALSE(folder.empty()) << log;
        return folder;
    }

    // Everything a player and the desktop tools need of an image of videoTs.
    void CheckImage(const std::string& videoTs, const std::string& image)
    {
        std::string log;
        ImageListing iso = ListIsoSide(image, &log);
        EXPECT_THAT(CheckIfoPlacement(videoTs, iso), IsEmpty()) << log;
        ImageListing udf = ListUdfSide(image);
        EXPECT_THAT(CheckIfoPlacement(videoTs, udf), IsEmpty());
        EXPECT_THAT(CheckExtentBytes(image, videoTs, udf), IsEmpty());
        CheckReadBack(videoTs, image);
        CheckTitles(videoTs, image);
        UdfCheckResult udfCheck = CheckUdfDescriptors(image);
        EXPECT_THAT(udfCheck.faults, IsEmpty());
        EXPECT_EQ(static_cast<int>(udf.size()), udfCheck.files);
        EXPECT_EQ(3, udfCheck.directories);
    }

    // Files read back through each file system equal the originals.
    void CheckReadBack(const std::string& videoTs, const std::string& image)
    {
        // 7z through the UDF side, isoinfo through the ISO 9660 side.
        ProgramResult extracted = RunProgram({"7z", "x", "-tudf", "-y", "-o" + temp_.Path("7z"), image});
        ASSERT_EQ(0, extracted.exitCode) << extracted.output;
        EXPECT_TRUE(std::filesystem::is_directory(temp_.Path("7z/AUDIO_TS")));
        for (const auto& entry : std::filesystem::directory_iterator(videoTs)) {
            std::string name = entry.path().filename().string();
            std::string original = ReadWholeFile(entry.path().string());
            EXPECT_TRUE(original == ReadWholeFile(temp_.Path("7z/VIDEO_TS/" + name))) << name << " through 7z";
            ProgramResult iso = RunProgram({"isoinfo", "-i", image, "-x", "/VIDEO_TS/" + name + ";1"});
            EXPECT_TRUE(original == iso.output) << name << " through isoinfo";
        }
    }

    // libdvdread and lsdvd find every title with its length.
    void CheckTitles(const std::string& videoTs, const std::string& image)
    {
        dvd_reader_t* dvd = DVDOpen(image.c_str());
        ASSERT_NE(nullptr, dvd);
        ifo_handle_t* vmg = ifoOpen(dvd, 0);
        ASSERT_NE(nullptr, vmg);
        int titles = vmg->tt_srpt->nr_of_srpts;
        ifoClose(vmg);
        DVDClose(dvd);

        ProgramResult listed = RunProgram({"lsdvd", image});
        ASSERT_EQ(0, listed.exitCode) << listed.output;
        std::regex title(R"(Title: \d+, Length: (\d\d):(\d\d):(\d\d)\.\d+)");
        int found = 0;
        for (std::sregex_iterator it(listed.output.begin(), listed.output.end(), title), end; it != end; ++it) {
            ++found;
            int seconds = std::stoi((*it)[1]) * 3600 + std::stoi((*it)[2]) * 60 + std::stoi((*it)[3]);
            EXPECT_GE(seconds, 1) << listed.output;
        }
        EXPECT_EQ(titles, found) << listed.output;
    }

    TempDir temp_;
};

TEST_F(DvdImageTest, TwoTitleSetsReadByEveryTool)
{
    std::string videoTs = Tree(DvdTree::NtscTwoTitleSets);
    ASSERT_FALSE(videoTs.empty());
    std::string image = temp_.Path("two.iso");
    MadeImage made = MakeImage(videoTs, kLongLabel, image);
    ASSERT_EQ(RECORDER_SUCCESS, made.exception) << made.text;
    EXPECT_EQ("", made.text);
    EXPECT_EQ(made.size, static_cast<int64_t>(std::filesystem::file_size(image)));
    EXPECT_EQ(0, made.size % 2048);
    CheckImage(videoTs, image);

    ProgramResult iso = RunProgram({"isoinfo", "-d", "-i", image});
    EXPECT_THAT(iso.output, HasSubstr("Volume id: SUMMER_HOLIDAYS_2026_AT_THE_LAKE\n"));
    EXPECT_THAT(iso.output, HasSubstr("Volume size is: " + std::to_string(made.size / 2048) + "\n"));
    ProgramResult udf = RunProgram({"udfinfo", image});
    EXPECT_EQ(0, udf.exitCode) << udf.output;
    EXPECT_THAT(udf.output, HasSubstr("\nlabel=" + kLongLabel + "\n"));
    EXPECT_THAT(udf.output, HasSubstr("\nudfrev=1.02\n"));
    EXPECT_THAT(udf.output, HasSubstr("\nintegrity=closed\n"));
    auto files = std::distance(std::filesystem::directory_iterator(videoTs), std::filesystem::directory_iterator());
    EXPECT_THAT(udf.output, HasSubstr("\nnumfiles=" + std::to_string(files) + "\n"));
    ProgramResult listed = RunProgram({"7z", "l", "-tudf", image});
    EXPECT_THAT(listed.output, HasSubstr("VIDEO_TS/VTS_02_1.VOB"));
}

// Twelve title sets with menus fill more than a sector of directory on
// either side.
TEST_F(DvdImageTest, MenusSplitVobsAndManyTitleSetsLieWhereTheirIfosSay)
{
    for (DvdTree tree : {DvdTree::PalWithMenus, DvdTree::PalSplitVob, DvdTree::ManyTitleSets}) {
        std::string videoTs = Tree(tree);
        ASSERT_FALSE(videoTs.empty());
        std::string image = temp_.Path("menus.iso");
        // Reads of an odd size cross every sector and file boundary.
        MadeImage made = MakeImage(videoTs, "Menus", image, 3 * 2048 + 7);
        ASSERT_EQ(RECORDER_SUCCESS, made.exception) << made.text;
        CheckImage(videoTs, image);
        std::filesystem::remove_all(temp_.Path("7z"));
    }
}

TEST_F(DvdImageTest, FileTreeStartsAtByteZeroEachTime)
{
    std::string videoTs = Tree(DvdTree::PalWithMenus);
    ASSERT_FALSE(videoTs.empty());
    MadeImage made;
    DvdVideoHandle handle = Create(videoTs, "Again", &made);
    ASSERT_EQ(RECORDER_SUCCESS, made.exception) << made.text;
    FileTreeHandle tree = nullptr;
    ASSERT_EQ(RECORDER_SUCCESS, Library().DVDVideoGetFileTree(handle, &tree));
    std::vector<unsigned char> part(300000);
    EXPECT_EQ(static_cast<int64_t>(part.size()), static_cast<ImageStream*>(tree)->Read(part.data(), 300000));
    ASSERT_EQ(RECORDER_SUCCESS, Library().DVDVideoGetFileTree(handle, &tree));
    auto* stream = static_cast<ImageStream*>(tree);
    EXPECT_EQ(videoTs, stream->SourceFolder());
    EXPECT_EQ("Again", stream->VolumeLabel());
    std::vector<unsigned char> whole(static_cast<size_t>(stream->Size()) + 4096);
    EXPECT_EQ(stream->Size(), stream->Read(whole.data(), static_cast<int64_t>(whole.size())));
    EXPECT_EQ(0, stream->Read(whole.data(), 1));
    EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin()));
    EXPECT_EQ(RECORDER_SUCCESS, Library().DVDVideoRelease(&handle));
}

// The checker itself must accept what genisoimage lays out from the same trees.
TEST_F(DvdImageTest, PlacementCheckerAcceptsGenisoimage)
{
    for (DvdTree tree :
         {DvdTree::NtscTwoTitleSets, DvdTree::PalWithMenus, DvdTree::PalSplitVob, DvdTree::ManyTitleSets}) {
        std::string videoTs = Tree(tree);
        ASSERT_FALSE(videoTs.empty());
        std::string root = std::filesystem::path(videoTs).parent_path().parent_path().string();
        std::string image = temp_.Path("reference.iso");
        ProgramResult made = RunProgram({"genisoimage", "-quiet", "-dvd-video", "-udf", "-o", image, root});
        ASSERT_EQ(0, made.exitCode) << made.output;
        std::string log;
        EXPECT_THAT(CheckIfoPlacement(videoTs, ListIsoSide(image, &log)), IsEmpty()) << log;
        EXPECT_THAT(CheckIfoPlacement(videoTs, ListUdfSide(image)), IsEmpty());
        EXPECT_THAT(CheckUdfDescriptors(image).faults, IsEmpty());
    }
}

TEST_F(DvdImageTest, LabelsAreCutToWhatEachSideHolds)
{
    std::string videoTs = Tree(DvdTree::NtscTwoTitleSets);
    ASSERT_FALSE(videoTs.empty());
    std::string label(200, 'x');
    for (size_t i = 0; i < label.size(); i += 7)
        label[i] = ' ';
    std::string image = temp_.Path("label.iso");
    ASSERT_EQ(RECORDER_SUCCESS, MakeImage(videoTs, label, image).exception);
    ProgramResult iso = RunProgram({"isoinfo", "-d", "-i", image});
    std::string isoLabel = label.substr(0, 32);
    for (char& c : isoLabel)
        c = c == ' ' ? '_' : 'X';
    EXPECT_THAT(iso.output, HasSubstr("Volume id: " + isoLabel + "\n"));
    ProgramResult udf = RunProgram({"udfinfo", image});
    EXPECT_THAT(udf.output, HasSubstr("\nlabel=" + label.substr(0, 126) + "\n"));

    std::string accented = "Fête à Zürich";
    ASSERT_EQ(RECORDER_SUCCESS, MakeImage(videoTs, accented, image).exception);
    udf = RunProgram({"udfinfo", image});
    EXPECT_THAT(udf.output, HasSubstr("\nlabel=" + accented + "\n"));
    iso = RunProgram({"isoinfo", "-d", "-i", image});
    EXPECT_THAT(iso.output, HasSubstr("Volume id: F_TE___Z_RICH\n"));
}

} // namespace
