#include "LogCapture.h"
#include "MockRecorderLibrary.h"

#include "burn/BurnOptions.h"
#include "burn/CDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Texts = std::vector<std::string>;
using testing::_;
using testing::StrEq;

constexpr int WAIT_CACHE_FULL_BEGIN = 6;
constexpr int WAIT_CACHE_FULL_END = 7;
constexpr int PROGRESS = 12;

// A folder name that a shell would take apart.
const std::string kFolder = "/discs/My \"VIDEO\" $(x); `y`/VIDEO_TS";

class CDeviceBurnTest : public testing::Test {
protected:
    void SetUp() override
    {
        device = std::make_shared<CDevice>(fake, ScriptedRecorder::Address(1, 0, 0, 0));
        options.sendOpc = true;
        options.speed = 11080;
        options.speedLabel = "8.0x";
        options.SetVolumeLabel("HOLIDAY");
        options.device = device;
    }

    void TearDown() override
    {
        device.reset();
        options.device.reset();
        EXPECT_TRUE(fake.liveGrabbers.empty()) << "a grabber was left behind";
        EXPECT_TRUE(fake.liveDvdVideos.empty()) << "a DVD-Video file system was left behind";
    }

    StepResult BurnDvd() { return device->BurnDVDVideo(options, kFolder); }

    Texts Burn() const { return log.Texts(LOG_CHANNEL_BURN); }
    Texts Last(size_t count) const
    {
        const Texts all = Burn();
        return Texts(all.end() - static_cast<long>(std::min(count, all.size())), all.end());
    }
    bool Traced(int level, const std::string& text) const { return log.Logged(LOG_CHANNEL_TRACE, level, text); }

    LogCapture log;
    ScriptedRecorder fake;
    std::shared_ptr<CDevice> device;
    BurnOptions options;
};

TEST_F(CDeviceBurnTest, AGoodDvdVideoBurnReportsEveryStepAndEndsAtOneHundred)
{
    fake.speedInForce = [](uint32_t) { return 8310u; };
    fake.writeEvents = {{WAIT_CACHE_FULL_BEGIN, 2000}, {WAIT_CACHE_FULL_END}, {PROGRESS, 200, 25}, {PROGRESS, 200, 199}};
    // A grabber made by an earlier query is replaced, and released.
    ASSERT_TRUE(device->TestUnitReady());
    EXPECT_CALL(fake, CdvdBurnerGrabberRelease).Times(1);
    EXPECT_CALL(fake, DVDVideoRelease).Times(1);
    EXPECT_CALL(fake, CreateDvdVideo(_, kFolder, "HOLIDAY", std::vector<int>{1, 2006, 10, 20, 12, 10, 0, 50}));
    EXPECT_CALL(fake, TrackAtOnceFromTree(_, _, _, 1, 0, 1, 1, 5));

    EXPECT_TRUE(BurnDvd());
    testing::Mock::VerifyAndClearExpectations(&fake);

    EXPECT_EQ(Burn(), (Texts{"Started", "Testing unit ready...", "Unit is ready!", "Probing supported write modes...",
                             "Track-At-Once is supported!", "Getting BUP (Buffer Underrun Protection) support...",
                             "Getting BUP successfully!", "Enabling BUP (Buffer Underrun Protection)...",
                             "Enabling BUP successfully!", "Setting speed 8.0x (11080 KBps)... ",
                             "Setting speed 8.0x (8310 KBps) successfully!",
                             "Sending OPC (Optimum Power Calibration)...", "Sending OPC successfully.", "Cache is Full.",
                             "Burning...", "Closing session...", "Closing session success!", "Burning Complete!"}));
    EXPECT_EQ(device->GetProgress(), 100);
    EXPECT_EQ(options.speed, 8310u);
    EXPECT_EQ(fake.liveGrabbers.size(), 1u);

    EXPECT_TRUE(Traced(LOG_INFO, "CDevice::BurnDVDVideo(): Burning 4708352 UCHARs of DVD-Video image\n"));
    EXPECT_TRUE(Traced(LOG_INFO, "OK!\nCDevice::BurnDVDVideo(): Track-At-Once: Yes, Session-At-Once: Yes, "
                                 "Disc-At-Once PQ: No, Disc-At-Once raw P-W: No\n"));
    EXPECT_TRUE(Traced(LOG_INFO, "CDevice::CDevice::BurnDVDVideo(): Setting speed 8.0x (11080 KBps)... "));
    EXPECT_TRUE(Traced(LOG_INFO, "CDevice::DVDVideoBurnCallback(): Waiting for cache full not more then 2000 ms... "));
    EXPECT_TRUE(Traced(LOG_INFO, "99% "));
}

TEST_F(CDeviceBurnTest, ARecorderWithoutTrackAtOnceWritesNothing)
{
    fake.trackAtOnce = 0;
    EXPECT_CALL(fake, TrackAtOnceFromTree).Times(0);
    EXPECT_CALL(fake, GetBUP).Times(0);
    EXPECT_EQ(BurnDvd().Message(), "Burn failed: the recorder cannot write Track-At-Once");
    EXPECT_EQ(Burn(), (Texts{"Started", "Testing unit ready...", "Unit is ready!", "Probing supported write modes...",
                             "Track-At-Once is unsupported!"}));
    EXPECT_TRUE(log.Logged(LOG_CHANNEL_BURN, LOG_ERROR, "Track-At-Once is unsupported!"));
    EXPECT_TRUE(Traced(LOG_ERROR, "\n\nCDevice::BurnDVDVideo(): Track-At-Once is unsupported!!!\n"));
}

TEST_F(CDeviceBurnTest, ProtectionSpeedAndCalibrationFailuresAreReportedAndTheBurnGoesOn)
{
    ON_CALL(fake, SetBUP).WillByDefault(Fail(9));
    ON_CALL(fake, SetSpeeds).WillByDefault(Fail(9));
    ON_CALL(fake, SendOPC).WillByDefault(Fail(9));
    EXPECT_CALL(fake, TrackAtOnceFromTree).Times(1);
    EXPECT_TRUE(BurnDvd());

    EXPECT_TRUE(log.Logged(LOG_CHANNEL_BURN, LOG_INFO, "Enabling BUP failed!"));
    EXPECT_TRUE(Traced(LOG_WARNING, "Failed!\nCDevice::BurnDVDVideo(): WARNING! StarBurn_CdvdBurnerGrabber_SetBUP() "
                                    "failed, exception 9, status 82, text 'scripted failure'\n"));
    EXPECT_TRUE(log.Logged(LOG_CHANNEL_BURN, LOG_ERROR, "Setting speed failed!"));
    EXPECT_TRUE(Traced(LOG_ERROR, "CDevice::BurnDVDVideo():Setting speed failed!"));
    EXPECT_EQ(options.speed, 11080u);
    EXPECT_TRUE(log.Logged(LOG_CHANNEL_BURN, LOG_ERROR, "Sending OPC Error!"));
    EXPECT_TRUE(Traced(LOG_INFO, "CDevice::BurnDVDVideo(): Writing the stuff to the CD/DVD disc >>>\n"));
    EXPECT_EQ(Last(1), Texts{"Burning Complete!"});
}

TEST_F(CDeviceBurnTest, WithoutCalibrationNothingIsSentOrSaid)
{
    options.sendOpc = false;
    EXPECT_CALL(fake, SendOPC).Times(0);
    EXPECT_TRUE(BurnDvd());
    for (const std::string& text : Burn())
        EXPECT_EQ(text.find("OPC"), std::string::npos) << text;
    EXPECT_FALSE(Traced(LOG_INFO, "OK!\nCDevice::BurnDVDVideo(): Writing the stuff to the CD/DVD disc >>>\n"));
}

struct FatalStep {
    const char* failingCall;
    std::function<void(ScriptedRecorder&)> fail;
    const char* burnText;
    const char* trace; // empty: no trace line of its own
};

// Names the case by its failing call, so test names stay the same from one
// build to the next.
void PrintTo(const FatalStep& step, std::ostream* out)
{
    *out << step.failingCall;
}

class DvdVideoFatalStepTest : public CDeviceBurnTest, public testing::WithParamInterface<FatalStep> {};

TEST_P(DvdVideoFatalStepTest, EndsTheBurnWithTheLibrarysWordsAndReleasesWhatItMade)
{
    const FatalStep& step = GetParam();
    step.fail(fake);
    fake.writeEvents = {{PROGRESS, 100, 40}};
    EXPECT_EQ(BurnDvd().Message(), "Burn failed: scripted failure");
    EXPECT_EQ(Last(1), Texts{step.burnText});
    EXPECT_TRUE(log.Logged(LOG_CHANNEL_BURN, LOG_ERROR, step.burnText));
    if (*step.trace != '\0') {
        EXPECT_TRUE(Traced(LOG_ERROR, step.trace));
    }
    EXPECT_EQ(device->GetLastException(), 9);
    EXPECT_FALSE(log.Logged(LOG_CHANNEL_BURN, LOG_INFO, "Burning Complete!"));
}

const char* const kFailure = "exception 9, status 82, text 'scripted failure'\n";

INSTANTIATE_TEST_SUITE_P(
    Steps, DvdVideoFatalStepTest,
    testing::Values(
        FatalStep{"DVDVideoCreate", [](ScriptedRecorder& r) { ON_CALL(r, CreateDvdVideo).WillByDefault(testing::Return(9)); },
                  "Creating DVD-Video file system failed!",
                  "\n\nCDevice::BurnDVDVideo(): StarBurn_DVDVideo_Create(), exception 9, status 82, text 'scripted failure'\n"},
        FatalStep{"Create", [](ScriptedRecorder& r) { ON_CALL(r, CdvdBurnerGrabberCreate).WillByDefault(Fail(9)); },
                  "Started Error!",
                  "\n\nCDevice::CdvdBurnerGrabberCreate: StarBurn_CdvdBurnerGrabber_Create() failed, exception 9, status 82, text 'scripted failure'\n"},
        FatalStep{"TestUnitReady", [](ScriptedRecorder& r) { ON_CALL(r, TestUnitReady).WillByDefault(Fail(9)); },
                  "Unit is not ready!", ""},
        FatalStep{"ProbeWriteModes", [](ScriptedRecorder& r) { ON_CALL(r, ProbeSupportedWriteModes).WillByDefault(Fail(9)); },
                  "Probing supported write modes Error!",
                  "\n\nCDevice::BurnDVDVideo(): StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes() failed, exception 9, status 82, text 'scripted failure'\n"},
        FatalStep{"GetBUP", [](ScriptedRecorder& r) { ON_CALL(r, GetBUP).WillByDefault(Fail(9)); },
                  "Getting BUP failed!",
                  "\n\nCDevice::BurnDVDVideo(): StarBurn_CdvdBurnerGrabber_GetBUP() failed, exception 9, status 82, text 'scripted failure'\n"},
        FatalStep{"TrackAtOnceFromTree", [](ScriptedRecorder& r) { ON_CALL(r, TrackAtOnceFromTree).WillByDefault(Fail(9)); },
                  "Burning Error!",
                  "\n\nCDevice::BurnDVDVideo(): StarBurn_CdvdBurnerGrabber_TrackAtOnceFromTree() failed, exception 9, status 82, text 'scripted failure'\n"},
        FatalStep{"CloseSession", [](ScriptedRecorder& r) { ON_CALL(r, CloseSession).WillByDefault(Fail(9)); },
                  "Close Session Error!",
                  "\n\nCDevice::BurnDVDVideo(): StarBurn_CdvdBurnerGrabber_CloseSession() failed, exception 9, status 82, text 'scripted failure'\n"}));

TEST_F(CDeviceBurnTest, AFailedWriteKeepsTheLastPercentageReached)
{
    fake.writeEvents = {{PROGRESS, 100, 40}};
    ON_CALL(fake, TrackAtOnceFromTree).WillByDefault([this](GrabberHandle, const CallReport& report, auto...) {
        // The events of a write that then fails.
        device->DVDVideoBurnCallback(PROGRESS, &fake.writeEvents[0].first, &fake.writeEvents[0].second);
        return FailReport(report, 9);
    });
    EXPECT_FALSE(BurnDvd());
    EXPECT_EQ(device->GetProgress(), 40);
}

TEST_F(CDeviceBurnTest, ProgressFollowsThePercentageRuleAndIgnoresAnEmptyTotal)
{
    fake.writeEvents = {{PROGRESS, 200, 25}, {PROGRESS, 200, 25},  {PROGRESS, 200, 24}, {PROGRESS, 0, 50},
                        {PROGRESS, 0, 0},    {PROGRESS, 200, 26}, {PROGRESS, 200, 500}};
    fake.blockWrites = true;
    std::thread burn([&] { BurnDvd(); });
    const bool blocked = fake.WaitForBlockedWrite();
    // 500 of 200 is garbled; the bar stays within its range.
    EXPECT_EQ(device->GetProgress(), 100);
    fake.ReleaseWrite();
    burn.join();
    ASSERT_TRUE(blocked) << "the burn never reached its write";

    Texts percentages;
    for (const std::string& text : log.Texts(LOG_CHANNEL_TRACE)) {
        if (!text.empty() && text.back() == ' ' && text.find("% ") + 2 == text.size())
            percentages.push_back(text);
    }
    EXPECT_EQ(percentages, (Texts{"12% ", "13% ", "100% "}));
}

TEST_F(CDeviceBurnTest, ALongVolumeLabelIsCutToItsField)
{
    EXPECT_CALL(fake, CreateDvdVideo(_, _, std::string(BURN_VOLUME_LABEL_SIZE - 1, 'L'), _));
    options.SetVolumeLabel(std::string(300, 'L'));
    EXPECT_TRUE(BurnDvd());

    // A field filled to the brim without terminator is not read past.
    EXPECT_CALL(fake, CreateDvdVideo(_, _, std::string(BURN_VOLUME_LABEL_SIZE - 1, 'M'), _));
    std::memset(options.volumeLabel, 'M', sizeof options.volumeLabel);
    EXPECT_TRUE(BurnDvd());
}

TEST_F(CDeviceBurnTest, DvdVideoEventsAreTracedWithTheirValuesAndTheSpeedReachesTheBurnLog)
{
    fake.writeEvents = {{5, 9663676416LL, 4718592}, {26, 4718592, 1024}, {27}, {30}, {3}, {40, 11080, 0, "8.0x"}};
    EXPECT_TRUE(BurnDvd());
    EXPECT_TRUE(Traced(LOG_INFO, "CDevice::DVDVideoBurnCallback(): Target file size in UCHARs 9663676416, LBs 4718592\n"));
    EXPECT_TRUE(Traced(LOG_INFO, "CDevice::DVDVideoBurnCallback(): Target file size in LBs 4718592, track padding size in LBs 1024\n"));
    EXPECT_TRUE(Traced(LOG_INFO, "CDevice::DVDVideoBurnCallback(): DVD_MEDIA_PADDING_BEGIN\n"));
    EXPECT_TRUE(Traced(LOG_INFO, "\nCDevice::DVDVideoBurnCallback(): DVDRW_QUICK_FORMAT_BEGIN\n"));
    EXPECT_EQ(log.Count(LOG_CHANNEL_BURN, "Writing at 8.0x (11080 KBps)"), 1);
}

TEST_F(CDeviceBurnTest, AVideoCdWriteNamesItsTwoTracksAtTheFirstTwoCacheWaits)
{
    fake.writeEvents = {{WAIT_CACHE_FULL_BEGIN, 1000}, {WAIT_CACHE_FULL_END}, {WAIT_CACHE_FULL_BEGIN, 1500},
                        {WAIT_CACHE_FULL_END},         {WAIT_CACHE_FULL_BEGIN, 500}, {26, 1, 2}};
    const std::string source = "-video \"cd\";$HOME.mpg";
    EXPECT_CALL(fake, VideoCDEx(_, _, 1, StrEq(source), StrEq("Album VideoCDEx"), 1, 1, 0, 1, 5)).Times(2);
    EXPECT_CALL(fake, CloseSession).Times(0);
    EXPECT_TRUE(device->BurnVideoCD(options, source));

    EXPECT_EQ(Burn(), (Texts{"Started", "Unit is ready!", "Getting BUP successfully!",
                             "Enabling BUP (Buffer Underrun Protection)...", "Enabling BUP successfully!",
                             "Setting speed 8.0x (11080 KBps)... ", "Setting speed 8.0x (11080 KBps) successfully!",
                             "Sending OPC (Optimum Power Calibration)...", "Sending OPC successfully.",
                             "Writing ISO track...", "Waiting for cache full not more then 1000 ms... ",
                             "Cache is Full.", "Burning...", "Writing MPEG track...",
                             "Waiting for cache full not more then 1500 ms... ", "Cache is Full.", "Burning...",
                             "Waiting for cache full not more then 500 ms... ", "Burning Complete"}));
    EXPECT_EQ(device->GetProgress(), 100);
    EXPECT_TRUE(Traced(LOG_INFO, "Writing ISO track..."));
    EXPECT_TRUE(Traced(LOG_INFO, "CDevice::BurnVideoCD(): Setting speed 8.0x (11080 KBps)... "));
    // The padding events are DVD-Video's.
    EXPECT_FALSE(Traced(LOG_INFO, "CDevice::BurnCallback(): CN_DVD_MEDIA_PADDING_SIZE\n"));

    // The count starts again with the next write.
    log.Clear();
    EXPECT_TRUE(device->BurnVideoCD(options, source));
    EXPECT_EQ(log.Count(LOG_CHANNEL_BURN, "Writing ISO track..."), 1);
}

TEST_F(CDeviceBurnTest, ASuperVideoCdUsesItsOwnWriteAndNames)
{
    ON_CALL(fake, SetSpeeds).WillByDefault(Fail(9));
    ON_CALL(fake, GetBUP).WillByDefault(Fail(4));
    EXPECT_FALSE(device->BurnSuperVideoCD(options, "a.mpg"));
    EXPECT_TRUE(fake.requestedSpeeds.empty());
    EXPECT_TRUE(Traced(LOG_ERROR, "\n\nCDevice::BurnSuperVideoCD()): StarBurn_CdvdBurnerGrabber_GetBUP() failed, "
                                  "exception 4, status 82, text 'scripted failure'\n"));
    EXPECT_EQ(Last(1), Texts{"Getting BUP failed!"});

    fake.Restore();
    ON_CALL(fake, SetSpeeds).WillByDefault(Fail(9));
    ON_CALL(fake, SuperVideoCDEx).WillByDefault(FailSaying(5, "the disc is full"));
    EXPECT_CALL(fake, SuperVideoCDEx).Times(1);
    EXPECT_EQ(device->BurnSuperVideoCD(options, "a.mpg").Message(), "Burn failed: the disc is full");
    EXPECT_TRUE(Traced(LOG_ERROR, "CDevice::BurnSuperVideoCD():Setting speed failed!"));
    EXPECT_TRUE(Traced(LOG_ERROR, "\n\nCDevice::BurnSuperVideoCD(): StarBurn_CdvdBurnerGrabber_SuperVideoCDEx failed, "
                                  "exception 5, status 82, text 'the disc is full'\n"));
    EXPECT_EQ(Last(1), Texts{"Burning Error!"});
}

TEST_F(CDeviceBurnTest, ACancelBeforeTheWriteStopsThatBurnOnly)
{
    EXPECT_CALL(fake, TrackAtOnceFromTree).Times(2);
    EXPECT_CALL(fake, DVDVideoRelease).Times(3);
    // Nothing runs yet: a request now must not stop a burn asked for later.
    device->CancelBurn();
    EXPECT_TRUE(BurnDvd());

    CDevice* record = device.get();
    LogListenerRegistration cancelling = AddLogListener(LOG_CHANNEL_BURN, [record](const LogEntry& entry) {
        if (entry.text == "Unit is ready!")
            record->CancelBurn();
    });
    EXPECT_EQ(BurnDvd().Message(), "Burn failed: The burn was cancelled before writing");
    cancelling.Remove();
    EXPECT_EQ(Last(1), Texts{"Burning Error!"});
    EXPECT_EQ(fake.CancelCount(), 0);

    EXPECT_TRUE(BurnDvd());

    // The job's stop, asked for before the recorder was claimed, found no
    // burn to cancel; the claim sees it.
    options.stopRequested = [] { return true; };
    EXPECT_EQ(BurnDvd().Message(), "Burn failed: the burn was cancelled");
}

} // namespace
