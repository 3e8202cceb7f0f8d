#include "LogCapture.h"
#include "MockRecorderLibrary.h"

#include "core/Log.h"
#include "burn/CDevice.h"
#include "burn/DeviceList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using testing::Return;

class CDeviceTest : public testing::Test {
protected:
    void TearDown() override
    {
        recorders.Clear();
        device.reset();
        EXPECT_TRUE(fake.liveGrabbers.empty()) << "a grabber was left behind";
    }

    CDevice& Device()
    {
        if (!device)
            device = std::make_shared<CDevice>(fake, ScriptedRecorder::Address(0, 0, 0, 0));
        return *device;
    }

    SpeedList Speeds()
    {
        EXPECT_TRUE(Device().RefreshWriteSpeeds());
        return Device().GetWriteSpeeds();
    }

    bool Logged(int channel, int level, const std::string& text) const { return log.Logged(channel, level, text); }

    LogCapture log;
    ScriptedRecorder fake;
    DeviceList recorders;
    std::shared_ptr<CDevice> device;
};

std::vector<std::pair<uint32_t, std::string>> Entries(const SpeedList& list)
{
    std::vector<std::pair<uint32_t, std::string>> entries;
    for (const SpeedEntry& entry : list)
        entries.emplace_back(entry.speed, entry.label);
    return entries;
}

using Entry = std::pair<uint32_t, std::string>;

TEST_F(CDeviceTest, FindDevicesKeepsTheLibrarysOrderAndTracesTheCount)
{
    fake.devices = {ScriptedRecorder::Address(1, 0, 3, 0), ScriptedRecorder::Address(2, 1, 0, 0)};
    CDevice::FindDevices(fake, recorders);

    ASSERT_EQ(recorders.Count(), 2);
    EXPECT_EQ(recorders.At(0)->GetAddress().port, 1);
    EXPECT_EQ(recorders.At(0)->GetAddress().target, 3);
    EXPECT_EQ(recorders.At(1)->GetAddress().port, 2);
    EXPECT_FALSE(recorders.At(0)->HasGrabber());
    EXPECT_EQ(recorders.At(2), nullptr);
    EXPECT_TRUE(Logged(LOG_CHANNEL_TRACE, LOG_INFO, "CDevice::FindDevices(): found 2 devices \r\n"));
    EXPECT_TRUE(Logged(LOG_CHANNEL_TRACE, LOG_INFO,
                       "\nCDevice::FindDeviceCallback): Probing SCSI address 1:0:3:0 for CD/DVD device... "));

    // A new search drops the old records and their grabbers.
    ASSERT_TRUE(recorders.At(0)->RefreshDeviceInfo());
    EXPECT_EQ(fake.liveGrabbers.size(), 1u);
    fake.devices.clear();
    CDevice::FindDevices(fake, recorders);
    EXPECT_EQ(recorders.Count(), 0);
    EXPECT_TRUE(fake.liveGrabbers.empty());
    EXPECT_TRUE(Logged(LOG_CHANNEL_TRACE, LOG_INFO, "CDevice::FindDevices(): found 0 devices \r\n"));
}

TEST_F(CDeviceTest, AFailedStartIsLoggedAndTheSearchGoesOn)
{
    ON_CALL(fake, UpStartEx).WillByDefault(Return(77));
    fake.devices = {ScriptedRecorder::Address(1, 0, 0, 0)};
    EXPECT_FALSE(CDevice::InitStarBurnDll(fake));
    EXPECT_TRUE(Logged(LOG_CHANNEL_BURN, LOG_ERROR, "Can't UpStartEx StarBurn"));
    EXPECT_TRUE(Logged(LOG_CHANNEL_TRACE, LOG_ERROR,
                       "\nCDevice::InitStarBurnDll():StarBurn_UpStartEx() failed, exception 77 \n"));
    CDevice::FindDevices(fake, recorders);
    EXPECT_EQ(recorders.Count(), 1);
}

TEST_F(CDeviceTest, ARecordTakenFromTheListOutlivesARebuild)
{
    fake.devices = {ScriptedRecorder::Address(1, 0, 0, 0)};
    CDevice::FindDevices(fake, recorders);
    std::shared_ptr<CDevice> held = recorders.At(0);
    ASSERT_TRUE(held->TestUnitReady());
    fake.devices.clear();
    CDevice::FindDevices(fake, recorders);
    // Still usable by whoever holds it; its grabber goes with the last holder.
    EXPECT_TRUE(held->TestUnitReady());
    EXPECT_EQ(fake.liveGrabbers.size(), 1u);
    held.reset();
    EXPECT_TRUE(fake.liveGrabbers.empty());
}

TEST_F(CDeviceTest, ANewGrabberReplacesAndReleasesTheOldOne)
{
    ASSERT_TRUE(Device().CdvdBurnerGrabberCreate(nullptr));
    ASSERT_TRUE(Device().CdvdBurnerGrabberCreate(nullptr));
    EXPECT_EQ(fake.liveGrabbers.size(), 1u);
    Device().ReleaseGrabber();
    EXPECT_FALSE(Device().HasGrabber());
    EXPECT_TRUE(fake.liveGrabbers.empty());
}

TEST_F(CDeviceTest, RefreshDeviceInfoReadsIdentificationAndName)
{
    ASSERT_TRUE(Device().RefreshDeviceInfo());
    EXPECT_EQ(Device().GetVendorId(), "VENDOR");
    EXPECT_EQ(Device().GetProductId(), "PRODUCT");
    EXPECT_EQ(Device().GetDeviceName(), "/dev/sr0");
    EXPECT_EQ(Device().GetCacheSize(), 2097152u);
    EXPECT_TRUE(Logged(LOG_CHANNEL_TRACE, LOG_INFO,
                       "OK!\nCDevice::RefreshDeviceInfo()): Found CD/DVD device 'VENDOR' 'PRODUCT' '1.00'\n"));
    EXPECT_TRUE(Logged(LOG_CHANNEL_TRACE, LOG_INFO,
                       "CDevice::RefreshDeviceInfo(): With 2097152 UCHAR(s) of cache\n"));
}

TEST_F(CDeviceTest, OverlongTextsAreCutAtTheirFields)
{
    ON_CALL(fake, GetDeviceInformation).WillByDefault([](GrabberHandle, char* v, char* p, char* r, uint32_t*) {
        for (char* field : {v, p, r})
            std::memset(field, 'x', RECORDER_ID_TEXT_SIZE);
        return RECORDER_SUCCESS;
    });
    fake.deviceName = std::string(400, 'n');
    ASSERT_TRUE(Device().RefreshDeviceInfo());
    EXPECT_EQ(Device().GetVendorId(), std::string(DEVICE_TEXT_SIZE - 1, 'x'));
    EXPECT_EQ(Device().GetRevision().size(), DEVICE_TEXT_SIZE - 1);
    EXPECT_LE(Device().GetDeviceName().size(), DEVICE_NAME_SIZE - 1);
    EXPECT_EQ(Device().GetDeviceName(), std::string(Device().GetDeviceName().size(), 'n'));
}

TEST_F(CDeviceTest, AnUnreadableNameKeepsTheRecordAndItsEmptyName)
{
    ON_CALL(fake, GetDeviceNameByDeviceAddress).WillByDefault(Return(12));
    EXPECT_FALSE(Device().RefreshDeviceInfo());
    EXPECT_EQ(Device().GetDeviceName(), "");
    EXPECT_EQ(Device().GetVendorId(), "VENDOR");
    EXPECT_TRUE(Logged(LOG_CHANNEL_TRACE, LOG_ERROR,
                       "\n\nCDevice::RefreshDeviceInfo(): StarBurn_GetDeviceNameByDeviceAddress() failed, exception 12 \n"));
}

TEST_F(CDeviceTest, AFailedGrabberFailsEveryQueryAndChangesNothing)
{
    ON_CALL(fake, CdvdBurnerGrabberCreate).WillByDefault(FailSaying(5, "no such unit"));
    EXPECT_FALSE(Device().RefreshDeviceInfo());
    EXPECT_FALSE(Device().RefreshDiscType());
    EXPECT_FALSE(Device().RefreshWriteSpeeds());
    EXPECT_EQ(Device().Eject().Message(), "Eject failed: no such unit");
    EXPECT_TRUE(Device().GetWriteSpeeds().empty());
    EXPECT_EQ(Device().GetDiscType(), 0);
    EXPECT_EQ(Device().GetLastException(), 5);
    EXPECT_EQ(Device().GetExceptionText(), "no such unit");
    EXPECT_TRUE(Logged(LOG_CHANNEL_TRACE, LOG_ERROR,
                       "\n\nCDevice::CdvdBurnerGrabberCreate: StarBurn_CdvdBurnerGrabber_Create() failed, exception 5, status 82, text 'no such unit'\n"));
}

TEST_F(CDeviceTest, DiscTypeIsStoredWhenReadyAndNoneWhenNot)
{
    fake.discType = DISC_TYPE_DVDPLUSR;
    EXPECT_TRUE(Device().RefreshDiscType());
    EXPECT_EQ(Device().GetDiscType(), DISC_TYPE_DVDPLUSR);
    ON_CALL(fake, TestUnitReady).WillByDefault(Fail(7));
    EXPECT_FALSE(Device().RefreshDiscType());
    EXPECT_EQ(Device().GetDiscType(), DISC_TYPE_NONE);
    EXPECT_EQ(Device().GetLastException(), 7);
}

TEST_F(CDeviceTest, MediaSizeSumsTheTableOfContents)
{
    fake.discType = DISC_TYPE_CDR;
    fake.toc = {{0, 1000, 2048}, {1500, 1600, 2352}};
    EXPECT_TRUE(Device().RefreshMediaInfo());
    EXPECT_DOUBLE_EQ(Device().GetMediaSize(), 1000.0 * 2048 + 100.0 * 2352);

    ON_CALL(fake, GetTOCInformation).WillByDefault(Fail(9));
    EXPECT_FALSE(Device().RefreshMediaSize());
    EXPECT_DOUBLE_EQ(Device().GetMediaSize(), 0.0);
    EXPECT_TRUE(Logged(LOG_CHANNEL_TRACE, LOG_ERROR,
                       "\nRefreshMediaSize(): StarBurn_CdvdBurnerGrabber_GetTOCInformation() failed, exception 9, status 82, text 'scripted failure'\n"));
}

TEST_F(CDeviceTest, TheDiscsCapacityIsKeptBesideItsMediaSize)
{
    fake.discType = DISC_TYPE_DVDR;
    fake.mediaCapacity = 4700372992LL;
    EXPECT_TRUE(Device().RefreshMediaInfo());
    EXPECT_EQ(Device().GetMediaCapacity(), 4700372992LL);
    EXPECT_FALSE(Device().IsImageFileRecorder());

    // A library that cannot tell leaves the capacity unknown, and is no
    // failure of the refresh.
    fake.mediaCapacity = 0;
    EXPECT_TRUE(Device().RefreshMediaSize());
    EXPECT_EQ(Device().GetMediaCapacity(), 0);
    EXPECT_EQ(Device().GetLastException(), RECORDER_SUCCESS);
}

TEST_F(CDeviceTest, OverwritableDiscIsBlankExactlyWhenNothingIsRecorded)
{
    fake.discType = DISC_TYPE_DVDPLUSRW;
    fake.recordedBlocks = 0;
    EXPECT_CALL(fake, GetTOCInformation).Times(0);
    Device().RefreshMediaInfo();
    EXPECT_DOUBLE_EQ(Device().GetMediaSize(), 0.0);
    EXPECT_TRUE(Device().IsDiscBlank());

    fake.recordedBlocks = 5;
    Device().RefreshMediaInfo();
    EXPECT_DOUBLE_EQ(Device().GetMediaSize(), 5 * 2048.0);
    EXPECT_FALSE(Device().IsDiscBlank());
}

TEST_F(CDeviceTest, AnUnreadableRecordedAreaIsNotTakenForBlank)
{
    fake.discType = DISC_TYPE_DVDRW_RO;
    ON_CALL(fake, GetTrackInformation).WillByDefault(Fail(8));
    Device().RefreshMediaInfo();
    EXPECT_FALSE(Device().IsDiscBlank());
    EXPECT_TRUE(Logged(LOG_CHANNEL_TRACE, LOG_ERROR,
                       "\n\nCDevice::GetTrackInfo: StarBurn_CdvdBurnerGrabber_GetTrackInformation() failed, exception 8, status 82, text 'scripted failure'\n"));
    fake.Restore();
    Device().RefreshMediaInfo();
    EXPECT_TRUE(Device().IsDiscBlank());

    fake.discType = DISC_TYPE_DVDROM;
    ON_CALL(fake, GetTOCInformation).WillByDefault(Fail(8));
    Device().RefreshMediaInfo();
    EXPECT_DOUBLE_EQ(Device().GetMediaSize(), 0.0);
    EXPECT_FALSE(Device().IsDiscBlank());
}

TEST_F(CDeviceTest, BlankTestFollowsTheDiscType)
{
    fake.discType = DISC_TYPE_CDR;
    Device().RefreshMediaInfo();
    EXPECT_TRUE(Device().IsDiscBlank());
    fake.track1Blank = false;
    Device().RefreshMediaInfo();
    EXPECT_FALSE(Device().IsDiscBlank());

    fake.track1Blank = true;
    ON_CALL(fake, GetTrackInformation).WillByDefault(Fail(8));
    Device().RefreshMediaInfo();
    EXPECT_FALSE(Device().IsDiscBlank());
    fake.Restore();

    for (int type : {DISC_TYPE_NONE, DISC_TYPE_DVDRAM, DISC_TYPE_UNSUPPORTED, 11, DISC_TYPE_UNKNOWN}) {
        fake.discType = type;
        Device().RefreshMediaInfo();
        EXPECT_FALSE(Device().IsDiscBlank()) << "disc type " << type;
    }
}

TEST_F(CDeviceTest, CdProbingKeepsTheSpeedsTheRecorderRunsAt)
{
    fake.discType = DISC_TYPE_CDR;
    fake.highestWriteSpeed = 2117;
    fake.speedInForce = [](uint32_t asked) -> uint32_t {
        if (asked <= 176)
            return 706;
        if (asked <= 1760)
            return 1411;
        return 2117;
    };
    Device().RefreshDiscType();
    EXPECT_EQ(Entries(Speeds()), (std::vector<Entry>{{706, "4.0x"}, {1411, "8.0x"}, {2117, "12.0x"}}));
    EXPECT_EQ(fake.requestedSpeeds, (std::vector<uint32_t>{176, 1400, 1760, 2112}));
}

TEST_F(CDeviceTest, SlowCdRecorderGetsNoSpeeds)
{
    fake.discType = DISC_TYPE_CDRW;
    fake.highestWriteSpeed = 150;
    Device().RefreshDiscType();
    EXPECT_TRUE(Speeds().empty());
    EXPECT_TRUE(fake.requestedSpeeds.empty());
}

TEST_F(CDeviceTest, NoDiscListsNominalCdSpeedsWithoutAsking)
{
    ON_CALL(fake, TestUnitReady).WillByDefault(Fail(7));
    fake.highestWriteSpeed = 1400;
    Device().RefreshDiscType();
    fake.Restore();
    ASSERT_EQ(Device().GetDiscType(), DISC_TYPE_NONE);
    EXPECT_EQ(Entries(Speeds()), (std::vector<Entry>{{176, "1.0x"}, {353, "2.0x"}, {387, "2.2x"},
                                                     {528, "3.0x"}, {706, "4.0x"}, {1400, "8.0x"}}));
    EXPECT_TRUE(fake.requestedSpeeds.empty());

    fake.highestWriteSpeed = 100;
    EXPECT_TRUE(Speeds().empty());
}

TEST_F(CDeviceTest, DvdSpeedsAreLabelledByTheNearestRowTiesGoingDown)
{
    fake.discType = DISC_TYPE_DVDR;
    fake.highestWriteSpeed = 22160;
    Device().RefreshDiscType();
    SpeedList list = Speeds();
    ASSERT_EQ(list.size(), DVD_SPEED_TABLE_SIZE);
    EXPECT_EQ(Entries(list).back(), Entry(22160, "16.0x"));

    fake.speedInForce = [](uint32_t asked) { return asked > 11080 ? 19390u : asked; };
    EXPECT_EQ(Entries(Speeds()).back(), Entry(19390, "12.0x"));
    EXPECT_EQ(Speeds().size(), 9u);
}

TEST_F(CDeviceTest, ASpeedInForceSeenTwiceIsListedOnce)
{
    fake.discType = DISC_TYPE_DVDPLUSR;
    fake.highestWriteSpeed = 8310;
    // 1x, then 2x and 2.4x both give 2x, then 3x gives 1x again.
    fake.speedInForce = [](uint32_t asked) -> uint32_t {
        if (asked == 2770 || asked == 3324)
            return 2770;
        if (asked == 4155)
            return 1385;
        return asked;
    };
    Device().RefreshDiscType();
    EXPECT_EQ(Entries(Speeds()), (std::vector<Entry>{{1385, "1.0x"}, {2770, "2.0x"}, {5540, "4.0x"},
                                                     {6925, "5.0x"}, {8310, "6.0x"}}));
}

TEST_F(CDeviceTest, RefusedSpeedsAreLeftOutAndPressedDiscsGetNone)
{
    fake.discType = DISC_TYPE_DVDR;
    fake.highestWriteSpeed = 4155;
    ON_CALL(fake, SetSpeeds).WillByDefault(Fail(9));
    Device().RefreshDiscType();
    EXPECT_TRUE(Speeds().empty());
    fake.Restore();

    for (int type : {DISC_TYPE_DVDROM, DISC_TYPE_UNSUPPORTED}) {
        fake.discType = type;
        Device().RefreshDiscType();
        EXPECT_TRUE(Speeds().empty()) << "disc type " << type;
    }
}

TEST_F(CDeviceTest, FailedSpeedQueryLeavesAnEmptyList)
{
    fake.highestWriteSpeed = 8310;
    Device().RefreshDiscType();
    EXPECT_FALSE(Speeds().empty());
    ON_CALL(fake, GetSpeeds).WillByDefault(Fail(3));
    EXPECT_FALSE(Device().RefreshWriteSpeeds());
    EXPECT_TRUE(Device().GetWriteSpeeds().empty());
    EXPECT_TRUE(Logged(LOG_CHANNEL_TRACE, LOG_INFO,
                       "\n\nGetWriteSpeeds(): StarBurn_CdvdBurnerGrabber_GetSpeeds() failed, exception 3, status 82, text 'scripted failure'\n"));
}

TEST_F(CDeviceTest, SetSpeedReturnsTheSpeedInForce)
{
    fake.highestWriteSpeed = 22160;
    fake.speedInForce = [](uint32_t) { return 16620u; };
    uint32_t speed = 22160;
    EXPECT_TRUE(Device().SetSpeed(speed));
    EXPECT_EQ(speed, 16620u);

    ON_CALL(fake, GetSpeeds).WillByDefault(Fail(3));
    speed = 5540;
    EXPECT_FALSE(Device().SetSpeed(speed));
    EXPECT_EQ(speed, 5540u);
}

TEST_F(CDeviceTest, EjectReportsOnTheBurnLogAndSaysWhyItFailed)
{
    EXPECT_TRUE(Device().Eject());
    EXPECT_EQ(log.Texts(LOG_CHANNEL_BURN), std::vector<std::string>{"Eject"});

    log.Clear();
    ON_CALL(fake, Eject).WillByDefault(FailSaying(4, "tray blocked"));
    EXPECT_EQ(Device().Eject().Message(), "Eject failed: tray blocked");
    EXPECT_TRUE(Logged(LOG_CHANNEL_BURN, LOG_ERROR, "Ejecting Error!"));
    EXPECT_TRUE(Logged(LOG_CHANNEL_TRACE, LOG_ERROR,
                       "\n\nCDevice::Eject()): StarBurn_CdvdBurnerGrabber_Eject() failed, exception 4, status 82, text 'tray blocked'\n"));
}

} // namespace
