#include "core/ConversionSettings.h"
#include "core/OptionRecord.h"
#include "core/StateArchive.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kDefaultFile = {
    0x04, 0x00, 0x00, 0x00, 0x03, 0x43, 0x3A, 0x5C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,
    0x00, 0x01, 0x00, 0x00, 0x00, 0x05, 0x4D, 0x79, 0x44, 0x56, 0x44, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,
    0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

ConversionSettings Defaults()
{
    ConversionSettings settings;
    settings.SetDefaults();
    return settings;
}

Bytes Stored(const ConversionSettings& settings)
{
    StateArchive archive;
    StoreOptionRecord(archive, settings);
    return archive.Bytes();
}

ConversionSettings Loaded(Bytes bytes, bool* complete = nullptr)
{
    ConversionSettings settings = Defaults();
    StateArchive archive(std::move(bytes));
    bool ok = LoadOptionRecord(archive, settings);
    if (complete)
        *complete = ok;
    return settings;
}

class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/kandrix_option_XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    std::string File(const char* name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

Bytes FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(OptionRecordTest, DefaultsMakeTheFiftyEightByteFile)
{
    EXPECT_EQ(Stored(Defaults()), kDefaultFile);
}

TEST(OptionRecordTest, TextLengthPrefixGrowsWithTheText)
{
    ConversionSettings settings = Defaults();
    settings.discVolumeLabel = std::string(300, 'L');
    Bytes bytes = Stored(settings);
    // outputFormat, "C:\", task, tvSystem, allInOne precede the label.
    const std::size_t at = 4 + 4 + 4 * 3;
    ASSERT_GT(bytes.size(), at + 3 + 300);
    EXPECT_EQ(bytes[at], 0xFF);
    EXPECT_EQ(bytes[at + 1], 0x2C);
    EXPECT_EQ(bytes[at + 2], 0x01);
    EXPECT_EQ(bytes[at + 3], 'L');
    EXPECT_EQ(Loaded(bytes).discVolumeLabel, settings.discVolumeLabel);

    StateArchive longText;
    longText.WriteText(std::string(70000, 'x'));
    const Bytes& prefix = longText.Bytes();
    EXPECT_EQ(Bytes(prefix.begin(), prefix.begin() + 7), (Bytes{0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}));
    std::string back;
    StateArchive reading(prefix);
    ASSERT_TRUE(reading.ReadText(back));
    EXPECT_EQ(back.size(), 70000u);
}

TEST(OptionRecordTest, RoundTripKeepsEveryFieldAndSetsPreviousTask)
{
    ConversionSettings settings = Defaults();
    settings.outputFormat = 7;
    settings.outputFolder = "/home/me/videos/";
    settings.task = CT_VIDEO2MPG;
    settings.tvSystem = 0;
    settings.allInOne = 0;
    settings.discVolumeLabel = "";
    settings.burnerIndex = 2;
    settings.speedIndex = 5;
    settings.sameAsSource = 1;
    settings.useTempFolder = 0;
    settings.overwriteExisting = 0;
    settings.ejectAfterBurn = 0;
    settings.deleteTempAfterBurn = 0;
    settings.sendOpc = 1;

    bool complete = false;
    ConversionSettings back = Loaded(Stored(settings), &complete);
    EXPECT_TRUE(complete);
    EXPECT_EQ(Stored(back), Stored(settings));
    EXPECT_EQ(back.previousTask, CT_VIDEO2MPG);
}

TEST(OptionRecordTest, DamagedFileKeepsWhatWasReadBeforeTheDamage)
{
    ConversionSettings settings = Defaults();
    settings.outputFormat = 2;
    settings.outputFolder = "/out/";
    settings.task = CT_MPG2DVD;
    settings.discVolumeLabel = "HOLIDAY";
    settings.burnerIndex = 3;
    Bytes full = Stored(settings);

    // Cut inside the label: format, folder, task, tv system and all-in-one survive.
    const std::size_t labelAt = 4 + 1 + 5 + 12;
    bool complete = true;
    ConversionSettings cut = Loaded(Bytes(full.begin(), full.begin() + labelAt + 3), &complete);
    EXPECT_FALSE(complete);
    EXPECT_EQ(cut.outputFormat, 2);
    EXPECT_EQ(cut.outputFolder, "/out/");
    EXPECT_EQ(cut.task, CT_MPG2DVD);
    EXPECT_EQ(cut.previousTask, CT_MPG2DVD);
    EXPECT_EQ(cut.discVolumeLabel, "MyDVD");
    EXPECT_EQ(cut.burnerIndex, -1);

    // A folder prefix claiming more bytes than the file holds.
    Bytes badPrefix = full;
    badPrefix[4] = 0xF0;
    ConversionSettings bad = Loaded(badPrefix, &complete);
    EXPECT_FALSE(complete);
    EXPECT_EQ(bad.outputFormat, 2);
    EXPECT_EQ(bad.outputFolder, "C:\\");
    EXPECT_EQ(bad.task, CT_VIDEO2DVD);

    // 0xFFFE is no length this archive ever writes.
    EXPECT_EQ(Loaded(Bytes{0x01, 0, 0, 0, 0xFF, 0xFE, 0xFF, 'a'}).outputFolder, "C:\\");
    EXPECT_EQ(Loaded(Bytes{}).outputFormat, 4);
}

TEST(OptionRecordTest, OutOfRangeValuesFallBackToDefaults)
{
    ConversionSettings settings = Defaults();
    settings.task = 3;
    settings.outputFormat = 8;
    settings.tvSystem = -1;
    settings.burnerIndex = -7;
    ConversionSettings back = Loaded(Stored(settings));
    EXPECT_EQ(back.task, CT_VIDEO2DVD);
    EXPECT_EQ(back.previousTask, CT_VIDEO2DVD);
    EXPECT_EQ(back.outputFormat, 4);
    EXPECT_EQ(back.tvSystem, 1);
    EXPECT_EQ(back.burnerIndex, -1);

    settings.task = -1;
    settings.outputFormat = -3;
    settings.tvSystem = 2;
    back = Loaded(Stored(settings));
    EXPECT_EQ(back.task, CT_VIDEO2DVD);
    EXPECT_EQ(back.outputFormat, 4);
    EXPECT_EQ(back.tvSystem, 1);
}

TEST(OptionRecordTest, FilesMissingOrReadOnlyChangeNothing)
{
    TempFolder folder;
    ConversionSettings settings = Defaults();
    settings.task = CT_MPG2DVD;
    EXPECT_FALSE(ReadOptionFile(folder.File("Option.dat"), settings));
    EXPECT_EQ(settings.task, CT_MPG2DVD);
    EXPECT_FALSE(WriteOptionFile(folder.File("missing/Option.dat"), settings));

    const std::string path = folder.File("Option.dat");
    ASSERT_TRUE(WriteOptionFile(path, Defaults()));
    ASSERT_EQ(FileBytes(path), kDefaultFile);
    ::chmod(path.c_str(), 0444);
    EXPECT_FALSE(WriteOptionFile(path, settings));
    EXPECT_EQ(FileBytes(path), kDefaultFile);

    ConversionSettings read = Defaults();
    read.task = CT_VIDEO2MPG;
    EXPECT_TRUE(ReadOptionFile(path, read));
    EXPECT_EQ(read.task, CT_VIDEO2DVD);
}

TEST(OptionRecordTest, AWriteCutShortKeepsTheOldFile)
{
    TempFolder folder;
    const std::string path = folder.File("Option.dat");
    ASSERT_TRUE(WriteOptionFile(path, Defaults()));
    ConversionSettings settings = Defaults();
    settings.discVolumeLabel = std::string(300, 'L');

    // A file-size limit stands in for a full disk.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = WriteOptionFile(path, settings);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(FileBytes(path), kDefaultFile);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(path).parent_path()))
        ++files;
    EXPECT_EQ(files, 1);
}

TEST(OptionRecordTest, ANewFileGetsTheUsersUsualPermissionsEvenThroughALinkToADevice)
{
    TempFolder folder;
    const mode_t savedMask = ::umask(027);
    const std::string fresh = folder.File("Option.dat");
    const bool freshWritten = WriteOptionFile(fresh, Defaults());
    const std::string nulled = folder.File("nulled.dat");
    ASSERT_EQ(::symlink("/dev/null", nulled.c_str()), 0);
    const bool nulledWritten = WriteOptionFile(nulled, Defaults());
    ::umask(savedMask);

    struct stat info {};
    ASSERT_TRUE(freshWritten);
    ASSERT_EQ(::stat(fresh.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    // Not written into the device, nor given the device's 0666: the link is
    // replaced by a regular file of the record.
    ASSERT_TRUE(nulledWritten);
    ASSERT_EQ(::lstat(nulled.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(FileBytes(nulled), kDefaultFile);
    ASSERT_EQ(::stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));

    // A replaced file keeps the permissions its owner gave it.
    ::chmod(fresh.c_str(), 0600);
    ASSERT_TRUE(WriteOptionFile(fresh, Defaults()));
    ASSERT_EQ(::stat(fresh.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
}

TEST(OptionRecordTest, ALinkToARegularFileStaysAndItsTargetIsWritten)
{
    TempFolder folder;
    const std::string target = folder.File("kept.dat");
    const std::string link = folder.File("Option.dat");
    ASSERT_TRUE(WriteOptionFile(target, Defaults()));
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    ConversionSettings settings = Defaults();
    settings.task = CT_VIDEO2MPG;
    ASSERT_TRUE(WriteOptionFile(link, settings));

    struct stat info {};
    ASSERT_EQ(::lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ConversionSettings read = Defaults();
    ASSERT_TRUE(ReadOptionFile(target, read));
    EXPECT_EQ(read.task, CT_VIDEO2MPG);
}

TEST(OptionRecordTest, AFifoOrAFolderOfThatNameIsNoRecord)
{
    TempFolder folder;
    const std::string fifo = folder.File("Option.dat");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ConversionSettings settings = Defaults();
    settings.task = CT_MPG2DVD;
    // No writer ever opens the FIFO: a blocking read would never return.
    EXPECT_FALSE(ReadOptionFile(fifo, settings));
    EXPECT_EQ(settings.task, CT_MPG2DVD);
    ASSERT_TRUE(WriteOptionFile(fifo, Defaults()));
    EXPECT_EQ(FileBytes(fifo), kDefaultFile);

    const std::string sub = folder.File("sub");
    ASSERT_EQ(::mkdir(sub.c_str(), 0700), 0);
    EXPECT_FALSE(ReadOptionFile(sub, settings));
    EXPECT_FALSE(WriteOptionFile(sub, Defaults()));
    EXPECT_TRUE(std::filesystem::is_directory(sub));
}
