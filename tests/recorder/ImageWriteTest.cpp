// Real writes on the image-file recorder, straight into the image file.

#include "recorder/BurnEvents.h"
#include "recorder/ImageFileRecorder.h"
#include "recorder/LibburnRecorder.h"
#include "recorder/PatternStream.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sys/mount.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Event {
    int reason;
    int64_t first;
    int64_t second;
    std::string label;
};

struct EventLog {
    std::mutex mutex;
    std::vector<Event> events;

    static void Callback(int reason, void* context, void* param1, void* param2)
    {
        auto* log = static_cast<EventLog*>(context);
        Event event{reason, 0, 0, ""};
        if (reason == RECORDER_EVENT_ANALYZE_END || reason == RECORDER_EVENT_PROGRESS) {
            event.first = *static_cast<int64_t*>(param1);
            event.second = *static_cast<int64_t*>(param2);
        } else if (reason == RECORDER_EVENT_CACHE_WAIT_BEGIN) {
            event.first = *static_cast<int32_t*>(param1);
        } else if (reason == RECORDER_EVENT_WRITE_SPEED) {
            event.first = *static_cast<uint32_t*>(param1);
            event.label = static_cast<const char*>(param2);
        }
        std::lock_guard<std::mutex> lock(log->mutex);
        log->events.push_back(event);
    }

    size_t Count()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return events.size();
    }

    std::vector<int> Reasons()
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<int> reasons;
        for (const Event& e : events) {
            if (e.reason != RECORDER_EVENT_WRITE_SPEED && (reasons.empty() || reasons.back() != e.reason))
                reasons.push_back(e.reason);
        }
        return reasons;
    }
};

std::set<std::string> Names(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

class ImageWriteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(library_.UpStartEx(), RECORDER_SUCCESS);
        ASSERT_EQ(library_.FindDevice(RECORDER_SCSI_TYPE_CDVD, 0, [](int, void*, void*, void*) {}, nullptr),
                  RECORDER_SUCCESS);
        handle_ = Grab(&log_);
        ASSERT_NE(handle_, nullptr);
        output_ = temp_.Path("out");
        videoTs_ = output_ + "/kzxtmpd001/VIDEO_TS";
        fs::create_directories(videoTs_);
    }
    void TearDown() override
    {
        if (handle_ != nullptr)
            library_.CdvdBurnerGrabberRelease(&handle_);
    }

    GrabberHandle Grab(EventLog* log)
    {
        GrabberHandle handle = nullptr;
        library_.CdvdBurnerGrabberCreate(&handle, report_, &EventLog::Callback, log,
                                         ImageFileRecorder::kPort, 0, 0, 0, 1);
        return handle;
    }

    RecorderException Write(PatternStream& stream, const std::string& folder = "")
    {
        library_.SetImageFolder(handle_, (folder.empty() ? output_ : folder).c_str());
        return library_.TrackAtOnceFromTree(handle_, report_, &stream, 1, 0, 1, 1, 5);
    }

    LibburnRecorder library_;
    char text_[RECORDER_EXCEPTION_TEXT_SIZE] = {};
    uint32_t status_ = RECORDER_STATUS_UNSET;
    FailureDetails details_;
    CallReport report_{text_, sizeof text_, &status_, &details_};
    GrabberHandle handle_ = nullptr;
    EventLog log_;
    TempDir temp_;
    std::string output_;
    std::string videoTs_;
};

bool FileHoldsPattern(const std::string& path, int64_t size)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (static_cast<int64_t>(data.size()) != size)
        return false;
    for (int64_t i = 0; i < size; ++i) {
        if (static_cast<unsigned char>(data[i]) != PatternStream::ByteAt(i))
            return false;
    }
    return true;
}

TEST_F(ImageWriteTest, ImageIsTheStreamByteForByteWithEventsInOrder)
{
    // Several of the writer's blocks, so the write really streams.
    const int64_t sectors = 6000;
    PatternStream stream(sectors, videoTs_, ".My/Disc");
    ASSERT_EQ(Write(stream), RECORDER_SUCCESS) << text_;
    // One event says how fast it went, labelled like the speed tables.
    std::vector<Event> speeds;
    std::copy_if(log_.events.begin(), log_.events.end(), std::back_inserter(speeds),
                 [](const Event& e) { return e.reason == RECORDER_EVENT_WRITE_SPEED; });
    ASSERT_EQ(speeds.size(), 1u);
    EXPECT_GT(speeds[0].first, 0);
    EXPECT_EQ(speeds[0].label.back(), 'x') << speeds[0].label;
    EXPECT_EQ(status_, RECORDER_STATUS_OK);
    EXPECT_STREQ(text_, "");

    const std::string iso = output_ + "/_My_Disc.iso";
    EXPECT_EQ(Names(output_), (std::set<std::string>{"kzxtmpd001", "_My_Disc.iso"}));
    EXPECT_TRUE(FileHoldsPattern(iso, sectors * PatternStream::kSector));
    // The user's file like any other, not private as a temporary one.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat info {};
    ASSERT_EQ(::stat(iso.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);

    // Read once, in order, a piece at a time.
    EXPECT_EQ(stream.Delivered(), stream.Size());
    EXPECT_GT(stream.Reads(), 1);
    EXPECT_LT(stream.LargestRead(), stream.Size());

    const std::vector<int> reasons = log_.Reasons();
    const std::vector<int> expected = {RECORDER_EVENT_ANALYZE_BEGIN, RECORDER_EVENT_ANALYZE_END,
                                       RECORDER_EVENT_CACHE_WAIT_BEGIN, RECORDER_EVENT_CACHE_WAIT_END,
                                       RECORDER_EVENT_PROGRESS, RECORDER_EVENT_SYNCHRONIZE_BEGIN,
                                       RECORDER_EVENT_SYNCHRONIZE_END, RECORDER_EVENT_IMAGE_MD5};
    EXPECT_EQ(reasons, expected);
    int64_t lastDone = -1;
    for (const Event& e : log_.events) {
        if (e.reason == RECORDER_EVENT_ANALYZE_END) {
            EXPECT_EQ(e.first, stream.Size());
            EXPECT_EQ(e.second, sectors);
        }
        if (e.reason == RECORDER_EVENT_CACHE_WAIT_BEGIN) {
            EXPECT_EQ(e.first, 5000);
        }
        if (e.reason == RECORDER_EVENT_PROGRESS) {
            EXPECT_EQ(e.first, stream.Size());
            EXPECT_GE(e.second, lastDone);
            lastDone = e.second;
        }
    }
    EXPECT_EQ(lastDone, stream.Size());
}

TEST_F(ImageWriteTest, FailedWriteKeepsTheEarlierImageAndLeavesNoTemporaryFile)
{
    PatternStream first(64, videoTs_, "");
    ASSERT_EQ(Write(first), RECORDER_SUCCESS) << text_;
    const std::string iso = output_ + "/KANDRIX.iso";
    ASSERT_TRUE(FileHoldsPattern(iso, 64 * PatternStream::kSector));

    // Fails with blocks already in the file.
    PatternStream second(8000, videoTs_, "");
    second.FailAtSector(6000);
    EXPECT_EQ(Write(second), RECORDER_COMMAND_FAILED);
    EXPECT_EQ(status_, RECORDER_STATUS_FAILED);
    EXPECT_NE(std::string(text_).find("VTS_01_1.VOB: Input/output error"), std::string::npos) << text_;
    EXPECT_TRUE(FileHoldsPattern(iso, 64 * PatternStream::kSector));
    EXPECT_EQ(Names(output_), (std::set<std::string>{"kzxtmpd001", "KANDRIX.iso"}));

    // A stream that fails before anything is written fails the same way.
    PatternStream early(64, videoTs_, "");
    early.FailAtSector(10);
    EXPECT_EQ(Write(early), RECORDER_COMMAND_FAILED);
    EXPECT_EQ(Names(output_), (std::set<std::string>{"kzxtmpd001", "KANDRIX.iso"}));

    // An earlier image nobody holds is replaced by a complete one.
    PatternStream third(32, videoTs_, "");
    EXPECT_EQ(Write(third), RECORDER_SUCCESS) << text_;
    EXPECT_TRUE(FileHoldsPattern(iso, 32 * PatternStream::kSector));
    EXPECT_EQ(Names(output_), (std::set<std::string>{"kzxtmpd001", "KANDRIX.iso"}));
}

TEST_F(ImageWriteTest, CancelFromAnotherThreadEndsTheWriteAndTheUnitStaysUsable)
{
    PatternStream stream(8000, videoTs_, "Cancelled");
    stream.HoldAtSector(6000);
    RecorderException result = RECORDER_SUCCESS;
    std::thread writer([&] { result = Write(stream); });
    stream.WaitUntilHeld();

    // Meanwhile the unit being written says so at once; cheap queries answer.
    char text[RECORDER_EXCEPTION_TEXT_SIZE] = {};
    uint32_t status = 0;
    FailureDetails details;
    const CallReport report{text, sizeof text, &status, &details};
    EXPECT_EQ(library_.TestUnitReady(handle_, report), RECORDER_UNIT_NOT_READY);
    EXPECT_NE(std::string(text).find("busy"), std::string::npos) << text;
    char vendor[RECORDER_ID_TEXT_SIZE], product[RECORDER_ID_TEXT_SIZE], revision[RECORDER_ID_TEXT_SIZE];
    uint32_t cache = 0;
    EXPECT_EQ(library_.GetDeviceInformation(handle_, vendor, product, revision, &cache), RECORDER_SUCCESS);
    EXPECT_STREQ(product, "Image File");

    GrabberHandle second = nullptr;
    EXPECT_EQ(library_.CdvdBurnerGrabberCreate(&second, report, nullptr, nullptr, ImageFileRecorder::kPort, 0,
                                               0, 0, 1),
              RECORDER_UNIT_NOT_READY);
    EXPECT_NE(std::string(text).find("busy writing a disc"), std::string::npos) << text;

    EXPECT_EQ(library_.CancelWrite(handle_), RECORDER_SUCCESS);
    stream.Release();
    writer.join();
    EXPECT_EQ(result, RECORDER_COMMAND_FAILED);
    EXPECT_NE(std::string(text_).find("cancelled"), std::string::npos) << text_;
    EXPECT_EQ(Names(output_), (std::set<std::string>{"kzxtmpd001"}));

    // A cancel before a write has begun is not lost: that write does not begin.
    EXPECT_EQ(library_.CancelWrite(handle_), RECORDER_SUCCESS);
    PatternStream early(16, videoTs_, "Early");
    EXPECT_EQ(Write(early), RECORDER_COMMAND_FAILED);
    EXPECT_STREQ(text_, "the write was cancelled");

    // Nothing stays held: the next write goes through.
    PatternStream again(16, videoTs_, "Cancelled");
    EXPECT_EQ(Write(again), RECORDER_SUCCESS) << text_;
    EXPECT_TRUE(FileHoldsPattern(output_ + "/Cancelled.iso", 16 * PatternStream::kSector));
}

TEST_F(ImageWriteTest, FullDiskIsAFailedWriteThatSaysSo)
{
    const std::string small = temp_.Path("small");
    fs::create_directories(small + "/kzxtmpd001/VIDEO_TS");
    if (geteuid() != 0 || mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root and mount rights)";
    fs::create_directories(small + "/kzxtmpd001/VIDEO_TS");
    PatternStream stream(2048, small + "/kzxtmpd001/VIDEO_TS", "Full");
    const RecorderException result = Write(stream, small);
    const std::set<std::string> left = Names(small);
    umount2(small.c_str(), MNT_DETACH);
    EXPECT_EQ(result, RECORDER_COMMAND_FAILED);
    EXPECT_EQ(std::string(text_), "cannot write " + small + "/Full.iso: No space left on device");
    EXPECT_EQ(left, (std::set<std::string>{"kzxtmpd001"}));
}

TEST_F(ImageWriteTest, AnAwkwardOutputFolderNameIsTakenAsItIs)
{
    const std::string folder = temp_.Path("-it's $HOME `x`; \n\"q\"");
    fs::create_directories(folder + "/kzxtmpd001/VIDEO_TS");
    PatternStream stream(16, folder + "/kzxtmpd001/VIDEO_TS", "Disc");
    ASSERT_EQ(Write(stream, folder), RECORDER_SUCCESS) << text_;
    EXPECT_TRUE(FileHoldsPattern(folder + "/Disc.iso", 16 * PatternStream::kSector));
}

TEST_F(ImageWriteTest, ReleasingTheGrabberStopsItsWriteAndItsEvents)
{
    PatternStream stream(8000, videoTs_, "Orphan");
    stream.HoldAtSector(6000);
    RecorderException result = RECORDER_SUCCESS;
    std::thread writer([&] { result = Write(stream); });
    stream.WaitUntilHeld();
    GrabberHandle handle = handle_;
    ASSERT_EQ(library_.CdvdBurnerGrabberRelease(&handle), RECORDER_SUCCESS);
    const size_t eventsAtRelease = log_.Count();
    stream.Release();
    writer.join();
    handle_ = nullptr;
    EXPECT_EQ(result, RECORDER_COMMAND_FAILED);
    // One event may have been on its way as the grabber went; no more follow.
    EXPECT_LE(log_.Count(), eventsAtRelease + 1) << "events went to a released grabber's owner";
    EXPECT_EQ(Names(output_), (std::set<std::string>{"kzxtmpd001"}));
}

TEST_F(ImageWriteTest, ShutdownStopsARunningWriteAndLibburnStartsAgainAfter)
{
    PatternStream stream(8000, videoTs_, "Shutdown");
    stream.HoldAtSector(6000);
    RecorderException result = RECORDER_SUCCESS;
    std::thread writer([&] { result = Write(stream); });
    stream.WaitUntilHeld();
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stream.Release();
    });
    library_.Shutdown();
    // The write has ended by the time the library is down.
    writer.join();
    release.join();
    handle_ = nullptr;
    if (result != RECORDER_SUCCESS) {
        EXPECT_EQ(Names(output_), (std::set<std::string>{"kzxtmpd001"}));
    }
    ASSERT_EQ(library_.UpStartEx(), RECORDER_SUCCESS);
    ASSERT_EQ(library_.FindDevice(RECORDER_SCSI_TYPE_CDVD, 0, [](int, void*, void*, void*) {}, nullptr),
              RECORDER_SUCCESS);
    handle_ = Grab(&log_);
    PatternStream again(16, videoTs_, "Again");
    EXPECT_EQ(Write(again), RECORDER_SUCCESS) << text_;
}

TEST(ImageFileNameTest, LabelsBecomeSafeFileNames)
{
    EXPECT_EQ(ImageFileRecorder::ImageFileName(""), "KANDRIX.iso");
    EXPECT_EQ(ImageFileRecorder::ImageFileName("Holiday 2026"), "Holiday 2026.iso");
    EXPECT_EQ(ImageFileRecorder::ImageFileName("-rf"), "_rf.iso");
    EXPECT_EQ(ImageFileRecorder::ImageFileName("a/b\nc\x7f"), "a_b_c_.iso");
    EXPECT_EQ(ImageFileRecorder::NumberedImageFileName("MyDVD", 2), "MyDVD (2).iso");
    EXPECT_TRUE(ImageFileRecorder::IsPartFileName(".kandrix-image-a1B2c3.part"));
    EXPECT_FALSE(ImageFileRecorder::IsPartFileName(".kandrix-image-a1B2c3.part.iso"));
    EXPECT_FALSE(ImageFileRecorder::IsPartFileName("kandrix-image-a1B2c3.part"));
}

} // namespace
