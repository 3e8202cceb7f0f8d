// The window thread reads a record while the burn worker logs on it: the
// burn page's log listener hands each line to the window thread and waits
// there, so a record that logged while holding what the window reads would
// freeze both for good.

#include "LogCapture.h"
#include "MockRecorderLibrary.h"

#include "burn/BurnOptions.h"
#include "burn/CDevice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <thread>

namespace {

// A deadlocked thread can be neither joined nor abandoned, so instead of
// hanging the whole test run the binary ends with the failure.
void MustFinish(const char* what, const std::function<void()>& work)
{
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread worker([&work, done] {
        work();
        done->set_value();
    });
    if (finished.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        std::fprintf(stderr, "%s never returned: the threads are deadlocked\n", what);
        std::fflush(stderr);
        std::_Exit(1);
    }
    worker.join();
}

// What the window shows of the recorder, read the way the summary and burn
// pages do.
void ReadAsTheWindowDoes(const CDevice& device)
{
    (void)device.GetDeviceName();
    (void)device.GetVendorId();
    (void)device.GetProductId();
    (void)device.GetDiscType();
    (void)device.GetMediaSize();
    (void)device.GetProgress();
    (void)device.GetFacts();
}

class CDeviceLockTest : public testing::Test {
protected:
    void SetUp() override
    {
        device = std::make_shared<CDevice>(fake, ScriptedRecorder::Address(1, 0, 0, 0));
        fake.discType = DISC_TYPE_DVDR;
        ASSERT_TRUE(device->RefreshDeviceInfo());
        ASSERT_TRUE(device->RefreshDiscType());
        options.speed = 5540;
        options.speedLabel = "4.0x";
        options.device = device;
    }

    void TearDown() override
    {
        listener.Remove();
        options.device.reset();
        device.reset();
        EXPECT_TRUE(fake.liveGrabbers.empty());
        EXPECT_TRUE(fake.liveDvdVideos.empty());
    }

    // Every burn-log line goes to a "window" thread that reads the record,
    // and the logging thread waits for it.
    void ListenLikeTheBurnPage()
    {
        CDevice* record = device.get();
        listener = AddLogListener(LOG_CHANNEL_BURN, [record](const LogEntry&) {
            std::thread window([record] { ReadAsTheWindowDoes(*record); });
            window.join();
        });
    }

    LogCapture log;
    LogListenerRegistration listener;
    ScriptedRecorder fake;
    std::shared_ptr<CDevice> device;
    BurnOptions options;
};

TEST_F(CDeviceLockTest, EjectReturnsWhileTheBurnLogsListenerReadsTheRecord)
{
    ListenLikeTheBurnPage();
    bool ejected = false;
    MustFinish("Eject", [&] { ejected = device->Eject().Ok(); });
    EXPECT_TRUE(ejected);

    ON_CALL(fake, Eject).WillByDefault(Fail(4));
    MustFinish("a failing Eject", [&] { ejected = device->Eject().Ok(); });
    EXPECT_FALSE(ejected);
    EXPECT_EQ(log.Texts(LOG_CHANNEL_BURN), (std::vector<std::string>{"Eject", "Ejecting Error!"}));
}

TEST_F(CDeviceLockTest, AWholeBurnLogsWithoutHoldingWhatTheWindowReads)
{
    ListenLikeTheBurnPage();
    fake.writeEvents = {{6, 1000}, {7}, {12, 100, 50}};
    options.sendOpc = true;
    bool burnt = false;
    MustFinish("a DVD-Video burn", [&] { burnt = device->BurnDVDVideo(options, "/v/VIDEO_TS").Ok(); });
    EXPECT_TRUE(burnt);
    MustFinish("a VideoCD burn", [&] { burnt = device->BurnVideoCD(options, "/v/a.mpg").Ok(); });
    EXPECT_TRUE(burnt);
    ON_CALL(fake, CdvdBurnerGrabberCreate).WillByDefault(Fail(5));
    MustFinish("a burn without grabber", [&] { burnt = device->BurnSuperVideoCD(options, "/v/a.mpg").Ok(); });
    EXPECT_FALSE(burnt);
}

TEST_F(CDeviceLockTest, TheRecordAnswersAtOnceWhileAWriteIsBlockedAndTheWriteCanBeCancelled)
{
    fake.blockWrites = true;
    bool burnt = true;
    std::thread burn([&] { burnt = device->BurnDVDVideo(options, "/v/VIDEO_TS").Ok(); });
    if (!fake.WaitForBlockedWrite()) {
        burn.join();
        FAIL() << "the burn never reached its write";
    }

    MustFinish("reading the record during a write", [&] {
        EXPECT_EQ(device->GetDeviceName(), "/dev/sr0");
        EXPECT_EQ(device->GetDiscType(), DISC_TYPE_DVDR);
        EXPECT_EQ(device->GetVendorId(), "VENDOR");
        EXPECT_EQ(device->GetProgress(), 0);
        EXPECT_TRUE(device->HasGrabber());
    });
    // Calls on the unit are refused rather than queued behind the write, and
    // the grabber in use stays.
    MustFinish("calling the unit during a write", [&] {
        EXPECT_FALSE(device->TestUnitReady());
        EXPECT_FALSE(device->CdvdBurnerGrabberCreate(nullptr));
        device->ReleaseGrabber();
        EXPECT_TRUE(device->HasGrabber());
    });
    EXPECT_CALL(fake, TestUnitReady).Times(0);
    EXPECT_CALL(fake, CloseSession).Times(0);

    MustFinish("CancelBurn", [&] { device->CancelBurn(); });
    burn.join();
    EXPECT_FALSE(burnt);
    EXPECT_EQ(fake.CancelCount(), 1);
    EXPECT_EQ(log.Texts(LOG_CHANNEL_BURN).back(), "Burning Error!");
    testing::Mock::VerifyAndClearExpectations(&fake);

    // The unit is free again once the write has returned.
    EXPECT_TRUE(device->TestUnitReady());
    device->CancelBurn();
    EXPECT_EQ(fake.CancelCount(), 1) << "no write runs, nothing to cancel in the library";
}

} // namespace
