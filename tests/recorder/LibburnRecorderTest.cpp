// The libburn library as this machine has it: the tests pass with or without
// optical drives, and the image-file recorder is always there.

#include "burn/CDevice.h"
#include "burn/DeviceList.h"
#include "recorder/DiscTypes.h"
#include "recorder/ImageFileRecorder.h"
#include "recorder/LibburnRecorder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

std::set<std::string> Listing(const std::string& folder)
{
    std::set<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir))
            names.insert(entry->d_name);
        closedir(dir);
    }
    return names;
}

std::shared_ptr<CDevice> ImageRecorder(const DeviceList& recorders)
{
    const auto devices = recorders.Snapshot();
    return devices.empty() ? nullptr : devices.back();
}

TEST(LibburnRecorderTest, ImageFileRecorderIsListedLastAndReadyToBurnWithoutTouchingFiles)
{
    // The working folder and the temporary folder are this test's own, so
    // anything that appears in them came from the code under test.
    TempDir work;
    TempDir temporary;
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(work.Folder().c_str()), 0);
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string savedTmp = oldTmp != nullptr ? oldTmp : "";
    setenv("TMPDIR", temporary.Folder().c_str(), 1);

    LibburnRecorder library;
    DeviceList recorders;
    const auto started = std::chrono::steady_clock::now();
    CDevice::FindDevices(library, recorders);
    const auto searched = std::chrono::steady_clock::now();
    ASSERT_GE(recorders.Count(), 1);
    std::shared_ptr<CDevice> image = ImageRecorder(recorders);
    EXPECT_EQ(image->GetAddress().port, ImageFileRecorder::kPort);

    ASSERT_TRUE(image->RefreshDeviceInfo());
    EXPECT_EQ(image->GetVendorId(), "KANDRIX");
    EXPECT_EQ(image->GetProductId(), "Image File");
    EXPECT_EQ(image->GetDeviceName(), "ISO");

    EXPECT_TRUE(image->RefreshMediaInfo());
    EXPECT_EQ(image->GetDiscType(), DISC_TYPE_OVERWRITABLE);
    EXPECT_DOUBLE_EQ(image->GetMediaSize(), 0.0);
    EXPECT_TRUE(image->IsDiscBlank());

    ASSERT_TRUE(image->RefreshWriteSpeeds());
    const SpeedList speeds = image->GetWriteSpeeds();
    ASSERT_EQ(speeds.size(), DVD_SPEED_TABLE_SIZE);
    EXPECT_STREQ(speeds.back().label, "16.0x");
    EXPECT_EQ(speeds.back().speed, 22160u);
    EXPECT_TRUE(image->Eject());

    // A search finds the same list again.
    CDevice::FindDevices(library, recorders);
    EXPECT_EQ(ImageRecorder(recorders)->GetAddress().port, ImageFileRecorder::kPort);
    image.reset();
    recorders.Clear();

    EXPECT_EQ(Listing(work.Folder()).size(), 2u) << "a file appeared in the working folder";
    EXPECT_EQ(Listing(temporary.Folder()).size(), 2u) << "a file appeared in the temporary folder";
    ASSERT_EQ(chdir(previous), 0);
    if (oldTmp != nullptr)
        setenv("TMPDIR", savedTmp.c_str(), 1);
    else
        unsetenv("TMPDIR");

    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(searched - started).count();
    RecordProperty("device_search_ms", static_cast<int>(ms));
}

TEST(LibburnRecorderTest, FailingCallsSayWhatWentWrong)
{
    LibburnRecorder library;
    ASSERT_EQ(library.UpStartEx(), RECORDER_SUCCESS);
    ASSERT_EQ(library.UpStartEx(), RECORDER_SUCCESS);

    char text[RECORDER_EXCEPTION_TEXT_SIZE] = "stale";
    uint32_t status = RECORDER_STATUS_UNSET;
    FailureDetails details;
    const CallReport report{text, sizeof text, &status, &details};
    GrabberHandle handle = reinterpret_cast<GrabberHandle>(0x1);
    EXPECT_EQ(library.CdvdBurnerGrabberCreate(&handle, report, nullptr, nullptr, 200, 9, 9, 9, 1),
              RECORDER_DEVICE_NOT_FOUND);
    EXPECT_EQ(handle, nullptr);
    EXPECT_STREQ(text, "no recorder at SCSI address 200:9:9:9");
    EXPECT_EQ(status, RECORDER_STATUS_FAILED);

    // A handle that was released, or never given, is refused, not followed.
    int bogus = 0;
    EXPECT_EQ(library.TestUnitReady(&bogus, report), RECORDER_INVALID_HANDLE);
    EXPECT_NE(std::string(text).find("released"), std::string::npos);
    GrabberHandle released = &bogus;
    EXPECT_EQ(library.CdvdBurnerGrabberRelease(&released), RECORDER_INVALID_HANDLE);
    EXPECT_EQ(released, nullptr);
}

TEST(LibburnRecorderTest, ImageGrabberAnswersFromItsDescription)
{
    LibburnRecorder library;
    ASSERT_EQ(library.UpStartEx(), RECORDER_SUCCESS);
    ASSERT_EQ(library.FindDevice(RECORDER_SCSI_TYPE_CDVD, 0, [](int, void*, void*, void*) {}, nullptr),
              RECORDER_SUCCESS);
    char text[RECORDER_EXCEPTION_TEXT_SIZE] = {};
    uint32_t status = 0;
    FailureDetails details;
    const CallReport report{text, sizeof text, &status, &details};
    GrabberHandle handle = nullptr;
    ASSERT_EQ(library.CdvdBurnerGrabberCreate(&handle, report, nullptr, nullptr, ImageFileRecorder::kPort,
                                              0, 0, 0, 1),
              RECORDER_SUCCESS);

    // A request between nominal speeds gets the one below it.
    uint32_t readNow, readMax, writeNow, writeMax;
    EXPECT_EQ(library.SetSpeeds(handle, report, RECORDER_MAX_READ_SPEED, 12000), RECORDER_SUCCESS);
    EXPECT_EQ(library.GetSpeeds(handle, report, &readNow, &readMax, &writeNow, &writeMax), RECORDER_SUCCESS);
    EXPECT_EQ(writeNow, 11080u);
    EXPECT_EQ(writeMax, 22160u);

    unsigned char track[RECORDER_TRACK_INFO_SIZE];
    EXPECT_EQ(library.GetTrackInformation(handle, report, TRACK_RECORDED_AREA, track), RECORDER_SUCCESS);
    EXPECT_EQ(ReadRecord32(track, TRACK_INFO_BLOCKS_OFFSET), 0u);
    EXPECT_EQ(library.GetTrackInformation(handle, report, 7, track), RECORDER_NO_SUCH_TRACK);

    uint8_t tao = 0, sao = 0, pq = 0, raw = 0;
    EXPECT_EQ(library.ProbeSupportedWriteModes(handle, report, &tao, &sao, &pq, &raw), RECORDER_SUCCESS);
    EXPECT_EQ(tao, 1);

    EXPECT_EQ(library.TrackAtOnceFromTree(handle, report, nullptr, 1, 0, 1, 1, 5),
              RECORDER_INVALID_ARGUMENT);
    EXPECT_STREQ(text, "no disc image to write");

    EXPECT_EQ(library.CdvdBurnerGrabberRelease(&handle), RECORDER_SUCCESS);
    EXPECT_EQ(handle, nullptr);
}

TEST(LibburnRecorderTest, UiReadsMeetWholeListsWhileTheWorkerRebuilds)
{
    LibburnRecorder library;
    DeviceList recorders;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 30; ++i) {
            CDevice::FindDevices(library, recorders);
            for (const auto& device : recorders.Snapshot()) {
                device->RefreshDeviceInfo();
                device->RefreshMediaInfo();
            }
        }
        done = true;
    });
    int reads = 0;
    while (!done) {
        const int last = recorders.Count() - 1;
        recorders.WithDevice(last, [&](CDevice& device) {
            const std::string name = device.GetDeviceName();
            EXPECT_TRUE(name.empty() || name == "ISO" || device.GetAddress().port != ImageFileRecorder::kPort);
            device.RefreshWriteSpeeds();
            ++reads;
        });
        for (const auto& device : recorders.Snapshot())
            EXPECT_NE(device, nullptr);
    }
    worker.join();
    EXPECT_GT(reads, 0);
    recorders.Clear();
}

TEST(DiscTypesTest, ProfilesMapOntoTheLibrarysCodes)
{
    EXPECT_EQ(DiscTypeFromProfile(0x00), DISC_TYPE_NONE);
    EXPECT_EQ(DiscTypeFromProfile(0x09), DISC_TYPE_CDR);
    EXPECT_EQ(DiscTypeFromProfile(0x11), DISC_TYPE_DVDR);
    EXPECT_EQ(DiscTypeFromProfile(0x14), DISC_TYPE_DVDR);
    EXPECT_EQ(DiscTypeFromProfile(0x13), DISC_TYPE_DVDRW_RO);
    EXPECT_EQ(DiscTypeFromProfile(0x1a), DISC_TYPE_DVDPLUSRW);
    EXPECT_EQ(DiscTypeFromProfile(0x1b), DISC_TYPE_DVDPLUSR);
    EXPECT_EQ(DiscTypeFromProfile(0x2b), DISC_TYPE_DVD_DL);
    EXPECT_EQ(DiscTypeFromProfile(0x15), DISC_TYPE_DVD_DL);
    EXPECT_EQ(DiscTypeFromProfile(0x43), DISC_TYPE_UNSUPPORTED);
    EXPECT_EQ(DiscTypeFromProfile(0x51), DISC_TYPE_UNSUPPORTED);
    EXPECT_EQ(DiscTypeFromProfile(PROFILE_STDIO_FILE), DISC_TYPE_OVERWRITABLE);
    EXPECT_EQ(DiscTypeFromProfile(0x2a), DISC_TYPE_UNKNOWN);
}

} // namespace
