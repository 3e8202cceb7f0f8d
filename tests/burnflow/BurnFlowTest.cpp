// A whole run below the windows, with the real parts only: FFmpeg through
// mg.exe, dvdauthor through ar.exe, libburn's image-file recorder. What comes
// out is read back with tools no one here wrote.

#include "BurnFlowKit.h"

#include "core/ConversionSettings.h"
#include "dvdvideo/ImageProbe.h"
#include "media/MediaKit.h"
#include "support/ManualJobControl.h"
#include "support/TempDir.h"

#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sys/stat.h>
#include <thread>

using testing::HasSubstr;
using testing::IsEmpty;

namespace {

// Long enough to be cut on the ISO side, with a character no file name holds.
const std::string kLabel = "My Holiday DVD 2026/27 with spaces & Mixed";
const std::string kImageName = "My Holiday DVD 2026_27 with spaces & Mixed.iso";

// What the image recorder reads ahead of the image file before it writes.
constexpr uintmax_t kRecorderBufferBytes = 8u << 20;

// The steps every successful DVD-Video burn reports, in this order; the
// recorder's own events may come between them.
const std::vector<std::string> kBurnSteps = {
    "Started",
    "Testing unit ready...",
    "Unit is ready!",
    "Probing supported write modes...",
    "Track-At-Once is supported!",
    "Getting BUP (Buffer Underrun Protection) support...",
    "Getting BUP successfully!",
    "Enabling BUP (Buffer Underrun Protection)...",
    "Enabling BUP successfully!",
    "Setting speed 4.0x (5540 KBps)... ",
    "Setting speed 4.0x (5540 KBps) successfully!",
    "Cache is Full.",
    "Burning...",
    "Closing session...",
    "Closing session success!",
    "Burning Complete!",
};

// Where the steps are missing or out of order in lines; "" when all are there.
std::string MissingSteps(const std::vector<std::string>& lines, const std::vector<std::string>& steps)
{
    auto at = lines.begin();
    for (const std::string& step : steps) {
        at = std::find(at, lines.end(), step);
        if (at == lines.end())
            return "missing or out of order: \"" + step + "\"";
        ++at;
    }
    return "";
}

class BurnFlowTest : public testing::Test {
protected:
    void SetUp() override
    {
        recorder_ = FindImageRecorder(library_);
        ASSERT_NE(recorder_, nullptr) << "no image-file recorder in the device list";
    }

    std::string Clip(const std::string& name, int seconds)
    {
        std::string log;
        std::string path = MakeSourceClip(temp_.Path(name), seconds, &log);
        EXPECT_FALSE(path.empty()) << log;
        return path;
    }

    std::string DvdMpeg(const std::string& name, int seconds)
    {
        const std::string clip = Clip(name + ".mp4", seconds);
        std::string log;
        std::string path = MakeDvdMpeg(clip, temp_.Path(name), &log);
        EXPECT_FALSE(path.empty()) << log;
        return path;
    }

    std::string Output()
    {
        const std::string folder = temp_.Path("out/");
        std::filesystem::create_directories(folder);
        return folder;
    }

    // Burns videoTs on the image recorder at 4.0x; true when the burn did.
    bool Burn(const std::string& videoTs, BurnLog& log, std::vector<int>* progress = nullptr)
    {
        BurnOptions options;
        if (!FillBurnOptions(recorder_, "4.0x", kLabel, videoTs, &options)) {
            ADD_FAILURE() << "the image recorder offers no 4.0x";
            return false;
        }
        ProgressSampler sampler(*recorder_);
        options.imageFolder = Output();
        const bool burnt = recorder_->BurnDVDVideo(options, options.treePath).Ok();
        std::vector<int> seen = sampler.Stop();
        if (progress)
            *progress = seen;
        EXPECT_EQ(options.speed, 5540u) << log.Text();
        return burnt;
    }

    // What a player and the desktop tools need of the image: one title of
    // seconds, the label on both sides, every file where its IFO says.
    void CheckDisc(const std::string& image, const std::string& videoTs, double seconds)
    {
        std::string listing;
        const std::vector<double> titles = TitleLengths(image, &listing);
        ASSERT_EQ(titles.size(), 1u) << listing;
        EXPECT_NEAR(titles[0], seconds, 0.2) << listing;

        dvd_reader_t* dvd = DVDOpen(image.c_str());
        ASSERT_NE(dvd, nullptr);
        ifo_handle_t* vmg = ifoOpen(dvd, 0);
        ASSERT_NE(vmg, nullptr);
        EXPECT_EQ(vmg->tt_srpt->nr_of_srpts, 1);
        ifoClose(vmg);
        dvd_file_t* title = DVDOpenFile(dvd, 1, DVD_READ_TITLE_VOBS);
        ASSERT_NE(title, nullptr);
        EXPECT_GT(DVDFileSize(title), 0);
        unsigned char block[DVD_VIDEO_LB_LEN] = {};
        EXPECT_EQ(DVDReadBlocks(title, 0, 1, block), 1);
        // The title starts with an MPEG program stream pack.
        EXPECT_EQ(std::vector<int>(block, block + 4), (std::vector<int>{0, 0, 1, 0xba}));
        DVDCloseFile(title);
        DVDClose(dvd);

        const ProgramResult iso = RunProgram({"isoinfo", "-d", "-i", image});
        EXPECT_THAT(iso.output, HasSubstr("Volume id: " + IsoVolumeId(kLabel) + "\n"));
        const ProgramResult udf = RunProgram({"udfinfo", image});
        EXPECT_EQ(udf.exitCode, 0) << udf.output;
        EXPECT_THAT(udf.output, HasSubstr("\nlabel=" + kLabel + "\n"));

        const std::string folder = videoTs + "/";
        std::string log;
        EXPECT_THAT(CheckIfoPlacement(folder, ListIsoSide(image, &log)), IsEmpty()) << log;
        const ImageListing udfFiles = ListUdfSide(image);
        EXPECT_THAT(CheckIfoPlacement(folder, udfFiles), IsEmpty());
        EXPECT_THAT(CheckExtentBytes(image, folder, udfFiles), IsEmpty());
    }

    // The tree authored from one DVD MPEG in the output folder, "" after a
    // failure.
    std::string AuthoredTree(const std::string& mpeg)
    {
        if (mpeg.empty())
            return "";
        std::vector<std::string> files = {mpeg};
        std::string log;
        work_ = NewWorkFolder(Output(), &log);
        std::string videoTs = work_ ? Author(CT_MPG2DVD, *work_, &files, &log) : "";
        EXPECT_FALSE(videoTs.empty()) << log;
        return videoTs;
    }

    // Burns videoTs, then burns it again into the same folder and label while
    // interrupt runs on the burn's thread as the write starts (the cache is
    // full, nothing of this burn has reached the image file). The second burn
    // must fail and leave the first image and the folder as they were.
    void ExpectInterruptedRewriteKeepsTheImage(const std::string& videoTs, const std::function<void()>& interrupt)
    {
        const std::string output = Output();
        const std::string image = output + kImageName;
        {
            BurnLog first;
            ASSERT_TRUE(Burn(videoTs, first)) << first.Text();
        }
        const std::string earlier = ReadWholeFile(image);
        ASSERT_FALSE(earlier.empty());
        const std::vector<std::string> names = FolderNames(output);

        BurnLog second;
        second.OnLine([&](const std::string& line) {
            if (line == "Burning...")
                interrupt();
        });
        EXPECT_FALSE(Burn(videoTs, second)) << second.Text();
        EXPECT_THAT(second.Lines(), testing::Contains("Burning Error!")) << second.Text();
        EXPECT_THAT(second.Lines(), testing::Not(testing::Contains("Burning Complete!")));
        EXPECT_TRUE(ReadWholeFile(image) == earlier) << "the earlier image changed";
        EXPECT_EQ(FolderNames(output), names) << "a file was left beside the image";
    }

    TempDir temp_;
    LibburnRecorder library_;
    std::shared_ptr<CDevice> recorder_;
    std::shared_ptr<RunFolder> work_;
};

TEST_F(BurnFlowTest, VideosBecomeADvdImageThatEveryReaderAccepts)
{
    ConversionRequest request;
    request.task = CT_VIDEO2DVD;
    request.tvSystem = 0;
    request.outputFolder = Output();
    request.programFolder = ProgramFolder();
    request.sources = {{Clip("beach.mp4", 2), "beach.mp4"}, {Clip("harbour.mp4", 3), "harbour.mp4"}};
    RecordingConversionView conversionView;
    ManualJobControl control;
    const ConversionResult converted = AVI2MPEGFunc(request, conversionView, &control, 50);
    ASSERT_EQ(converted.succeededCount, 2) << conversionView.log;
    EXPECT_THAT(conversionView.questions.asked, IsEmpty());

    std::vector<std::string> files = converted.convertedFiles;
    std::string log;
    const std::string videoTs = Author(CT_VIDEO2DVD, *converted.workFolder, &files, &log);
    ASSERT_FALSE(videoTs.empty()) << log;

    BurnLog burnLog;
    std::vector<int> progress;
    ASSERT_TRUE(Burn(videoTs, burnLog, &progress)) << burnLog.Text();

    const std::vector<std::string> lines = burnLog.Lines();
    EXPECT_EQ(MissingSteps(lines, kBurnSteps), "") << burnLog.Text();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
              (std::vector<std::string>{"Closing session...", "Closing session success!", "Burning Complete!"}));
    // The page's timer sees the bar rise from the fresh record's 0 to 100.
    EXPECT_EQ(recorder_->GetProgress(), 100);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end())) << testing::PrintToString(progress);

    const std::string image = request.outputFolder + kImageName;
    ASSERT_TRUE(std::filesystem::is_regular_file(image)) << testing::PrintToString(FolderNames(request.outputFolder));
    CheckDisc(image, videoTs, 5.0);
}

// Task 1: the authoring works on copies, so the user's MPEG files come out
// byte for byte as they went in, whatever their names hold.
TEST_F(BurnFlowTest, ExistingMpegsAreBurntAndLeftAsTheyWere)
{
    const std::vector<std::string> sources = {DvdMpeg("it's $HOME; `x` & \"y\".mpg", 2), DvdMpeg("-second.mpg", 3)};
    ASSERT_FALSE(sources[0].empty() || sources[1].empty());
    const std::string before0 = ReadWholeFile(sources[0]);
    const std::string before1 = ReadWholeFile(sources[1]);

    const std::string output = Output();
    std::vector<std::string> files = sources;
    std::string log;
    work_ = NewWorkFolder(output, &log);
    ASSERT_NE(work_, nullptr) << log;
    const std::string videoTs = Author(CT_MPG2DVD, *work_, &files, &log);
    ASSERT_FALSE(videoTs.empty()) << log;
    ASSERT_EQ(files.size(), 2u);
    for (const std::string& copy : files) {
        EXPECT_TRUE(work_->Holds(copy)) << copy << " is not a copy in the work folder";
        EXPECT_EQ(std::find(sources.begin(), sources.end(), copy), sources.end());
    }

    BurnLog burnLog;
    ASSERT_TRUE(Burn(videoTs, burnLog)) << burnLog.Text();
    EXPECT_EQ(MissingSteps(burnLog.Lines(), kBurnSteps), "") << burnLog.Text();
    CheckDisc(output + kImageName, videoTs, 5.0);

    EXPECT_TRUE(ReadWholeFile(sources[0]) == before0) << sources[0] << " changed";
    EXPECT_TRUE(ReadWholeFile(sources[1]) == before1) << sources[1] << " changed";
}

TEST_F(BurnFlowTest, ACancelledRewriteKeepsTheEarlierImage)
{
    const std::string videoTs = AuthoredTree(DvdMpeg("one.mpg", 2));
    ASSERT_FALSE(videoTs.empty());

    // The canceller is a thread of its own, as the window's would be. The
    // write is held at its start until the cancel is in: an image this small
    // is written within one poll, so waiting for a progress above 0 would
    // race the end of the write.
    std::mutex mutex;
    std::condition_variable changed;
    bool writeStarted = false;
    bool cancelled = false;
    std::thread canceller([&] {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return writeStarted; });
        lock.unlock();
        recorder_->CancelBurn();
        lock.lock();
        cancelled = true;
        changed.notify_all();
    });
    auto cancel = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        writeStarted = true;
        changed.notify_all();
        if (!changed.wait_for(lock, std::chrono::seconds(30), [&] { return cancelled; }))
            ADD_FAILURE() << "the cancel did not come";
    };
    ExpectInterruptedRewriteKeepsTheImage(videoTs, cancel);
    {
        // Lets the canceller go also when the write never started.
        std::lock_guard<std::mutex> lock(mutex);
        writeStarted = true;
        changed.notify_all();
    }
    canceller.join();
    EXPECT_TRUE(cancelled);

    // The cancel was for that burn only.
    BurnLog again;
    EXPECT_TRUE(Burn(videoTs, again)) << again.Text();
    EXPECT_EQ(again.Lines().back(), "Burning Complete!");
}

// A title file cut short while the image is written: the part already in
// the recorder's buffer is written, then the write fails, naming the file.
// The image is larger than that buffer, so the cut is met mid-write.
TEST_F(BurnFlowTest, ATitleFileCutMidWriteKeepsTheEarlierImage)
{
    const std::string mpeg = temp_.Path("large.mpg");
    const ProgramResult made =
        RunProgram({"ffmpeg", "-v", "error", "-nostdin", "-f", "lavfi", "-i",
                    "testsrc=size=720x576:rate=25,noise=alls=100:allf=t", "-f", "lavfi", "-i",
                    "anullsrc=r=48000:cl=stereo", "-t", "14", "-target", "pal-dvd", "-b:v", "9000k", "-y", mpeg});
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const std::string videoTs = AuthoredTree(mpeg);
    ASSERT_FALSE(videoTs.empty());
    const std::string vob = videoTs + "/VTS_01_1.VOB";
    ASSERT_GT(std::filesystem::file_size(vob), 3 * kRecorderBufferBytes / 2);

    ExpectInterruptedRewriteKeepsTheImage(videoTs, [&] { std::filesystem::resize_file(vob, 1 << 20); });
    EXPECT_THAT(recorder_->GetExceptionText(), HasSubstr("VTS_01_1.VOB"));
}

// The verify reads back the image the burn placed. A fault is put into the
// image file as the verify begins, as a failing disk would leave it; a fault
// is a failed burn that names the first sector that differs, and takes the
// image that cannot be trusted away.
TEST_F(BurnFlowTest, TheVerifyFindsTheFirstSectorThatDiffers)
{
    const std::string videoTs = AuthoredTree(DvdMpeg("one.mpg", 2));
    ASSERT_FALSE(videoTs.empty());
    const std::string image = Output() + kImageName;
    auto flip = [](int64_t at) {
        return [at](const std::string& path) {
            std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
            file.seekg(at);
            const char byte = static_cast<char>(file.get() ^ 0x20);
            file.seekp(at);
            file.put(byte);
        };
    };
    struct Row {
        const char* name;
        bool verify;
        std::function<void(const std::string&)> fault;
        std::string failure; // "" for a good burn
    } rows[] = {
        {"intact", true, nullptr, ""},
        {"not asked for", false, nullptr, ""},
        {"byte flipped", true, flip(150 * 2048 + 7), "the disc differs from the image at sector 150"},
        {"first byte", true, flip(0), "the disc differs from the image at sector 0"},
        {"cut short", true, [](const std::string& path) { std::filesystem::resize_file(path, 120 * 2048 + 100); },
         "the disc differs from the image at sector 120"},
        {"cancelled", true, [this](const std::string&) { recorder_->CancelBurn(); }, "the verify was cancelled"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        BurnOptions options;
        ASSERT_TRUE(FillBurnOptions(recorder_, "4.0x", kLabel, videoTs, &options));
        options.imageFolder = Output();
        options.verify = row.verify;
        BurnLog log;
        log.OnLine([&](const std::string& line) {
            if (line == "Verifying..." && row.fault)
                row.fault(image);
        });
        const StepResult burnt = recorder_->BurnDVDVideo(options, videoTs);
        const std::vector<std::string> lines = log.Lines();
        ASSERT_FALSE(lines.empty());
        if (!row.failure.empty()) {
            EXPECT_EQ(burnt.Message(), "Burn failed: " + row.failure);
            const bool cancelled = row.failure == "the verify was cancelled";
            EXPECT_EQ(lines.back(), cancelled ? "Verify cancelled" : "Verify failed: " + row.failure);
            // A cancelled verify found nothing wrong with the image.
            EXPECT_EQ(std::filesystem::exists(image), cancelled);
            continue;
        }
        ASSERT_TRUE(burnt) << log.Text();
        const ProgramResult sum = RunProgram({"md5sum", image});
        ASSERT_EQ(sum.exitCode, 0) << sum.output;
        const std::string md5 = sum.output.substr(0, 32);
        // One line carries the MD5: the verify's, or the image's own.
        EXPECT_EQ(lines.back(), row.verify ? "Verify OK (MD5 " + md5 + ")" : "Burning Complete!");
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "Image MD5: " + md5), row.verify ? 0 : 1) << log.Text();
        EXPECT_EQ(recorder_->GetProgress(), 100);
    }
}

// An authoring tool that fails, loudly or by writing nothing, stops the run
// before anything is burnt, and the burn log says why.
TEST(BurnFlowAuthoringTest, AFailingAuthoringToolStopsTheRun)
{
    TempDir temp;
    const std::string program = temp.Path("program/");
    const std::string output = temp.Path("out/");
    std::filesystem::create_directories(program);
    std::filesystem::create_directories(output);
    const std::string mpeg = temp.Write("clip.mpg", "not read by this ar.exe");
    const std::pair<std::string, std::string> tools[] = {
        {"#!/bin/sh\necho 'ar.exe: cannot read the XML' >&2\nexit 1\n", "Authoring failed: "},
        {"#!/bin/sh\nexit 0\n", "Authoring failed: ar.exe wrote no "},
    };
    for (const auto& [script, failure] : tools) {
        SCOPED_TRACE(script);
        temp.Write("program/ar.exe", script);
        ASSERT_EQ(chmod((program + "ar.exe").c_str(), 0755), 0);
        RecordingAuthoringView view;
        std::vector<std::string> files = {mpeg};
        view.list = files;
        AuthoringPaths paths;
        std::string error;
        const std::shared_ptr<RunFolder> work = RunFolder::Create(output, &error);
        ASSERT_NE(work, nullptr) << error;
        ASSERT_TRUE(WriteAuthoringFiles({CT_VIDEO2DVD, output, program, files}, *work, view, paths, files));
        EXPECT_THAT(RunAuthoringBatch(paths, view).Message(), testing::StartsWith(failure)) << view.LogText();
        EXPECT_FALSE(std::filesystem::exists(paths.folder + "/VIDEO_TS/VIDEO_TS.IFO"));
    }
}

} // namespace
