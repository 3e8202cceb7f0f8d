// The DVD-Video burn of CDevice: the file system built from the VIDEO_TS
// folder, written track-at-once, its session closed, and read back when
// asked.

#include "burn/BurnTexts.h"
#include "core/Log.h"

#include <cinttypes>
#include <cstdio>

namespace {

const CDevice::BurnTexts kDvdVideoTexts = {
    "CDevice::BurnDVDVideo()",
    "CDevice::CDevice::BurnDVDVideo()",
    "CDevice::BurnDVDVideo()",
    "CDevice::BurnDVDVideo():Setting speed failed!",
    "StarBurn_CdvdBurnerGrabber_TrackAtOnceFromTree()",
    "Burning Complete!",
    true,
};

// Releases the DVD-Video file system however the burn ends.
class DvdVideoGuard {
public:
    explicit DvdVideoGuard(RecorderLibrary& library) : library_(library) {}
    ~DvdVideoGuard()
    {
        if (handle_ != nullptr)
            library_.DVDVideoRelease(&handle_);
    }
    DvdVideoGuard(const DvdVideoGuard&) = delete;
    DvdVideoGuard& operator=(const DvdVideoGuard&) = delete;

    DvdVideoHandle* Out() { return &handle_; }
    DvdVideoHandle Get() const { return handle_; }

private:
    RecorderLibrary& library_;
    DvdVideoHandle handle_ = nullptr;
};

} // namespace

StepResult CDevice::BurnDVDVideo(BurnOptions& options, const std::string& folder)
{
    return BurnAlone(options, [&] {
        LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Started");
        verifyAfterWrite_.store(options.verify);
        DvdVideoGuard dvdVideo(library_);
        StepResult step = CreateDVDVideo(options, folder, dvdVideo.Out());
        if (step)
            step = StartBurnGrabber(&CDevice::DVDVideoBurnEvent);
        if (step)
            step = CheckUnitReady(kDvdVideoTexts);
        if (step)
            step = ProbeTrackAtOnce();
        if (!step)
            return step;
        int64_t imageSize = 0;
        library_.DVDVideoGetImageSize(dvdVideo.Get(), &imageSize);
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO,
                  "CDevice::BurnDVDVideo(): Burning %" PRId64 " UCHARs of DVD-Video image\n", imageSize);
        step = PrepareWrite(kDvdVideoTexts, options);
        if (step)
            step = WriteDVDVideo(dvdVideo.Get(), options.imageFolder);
        if (step)
            step = CloseDVDVideoSession();
        if (!step)
            return step;
        progress_.store(100);
        LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "%s", kDvdVideoTexts.complete);
        return options.verify ? VerifyDisc() : StepResult::Done();
    });
}

bool CDevice::CancelRequested()
{
    std::lock_guard<std::mutex> lock(burnMutex_);
    return cancelRequested_;
}

// After the session is closed and before any eject: the bar starts again
// for the read-back.
StepResult CDevice::VerifyDisc()
{
    LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Verifying...");
    progress_.store(0);
    CallResult verified;
    char md5[RECORDER_MD5_TEXT_SIZE] = {};
    WriteCall(verified, [&](RecorderLibrary& library, GrabberHandle grabber, const CallReport& report) {
        return library.VerifyLastWrite(grabber, report, md5);
    });
    if (verified.Ok()) {
        progress_.store(100);
        LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Verify OK (MD5 %s)", md5);
        return StepResult::Done();
    }
    if (CancelRequested()) {
        LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Verify cancelled");
        return StepResult::Failed("Burn", "the verify was cancelled");
    }
    LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR,
              "\n\nCDevice::BurnDVDVideo(): VerifyLastWrite() failed, exception %ld, status %ld, text '%s'\n",
              static_cast<long>(verified.exception), static_cast<long>(verified.status), verified.text);
    LogPrintf(LOG_CHANNEL_BURN, LOG_ERROR, "Verify failed: %s", verified.text);
    return BurnFailed(verified.text, "the disc could not be read back");
}

StepResult CDevice::CreateDVDVideo(const BurnOptions& options, const std::string& folder, DvdVideoHandle* handle)
{
    CallResult created;
    const std::string label = options.VolumeLabel();
    created.End(library_.DVDVideoCreate(handle, folder.c_str(), 1, created.text, sizeof created.text,
                                        &created.status, label.c_str(), "StarBurnPublisher", "StarBurnApplication",
                                        2006, 10, 20, 12, 10, 0, 50));
    Publish(created);
    if (created.Ok())
        return StepResult::Done();
    LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR,
              "\n\nCDevice::BurnDVDVideo(): StarBurn_DVDVideo_Create(), exception %ld, status %ld, text '%s'\n",
              static_cast<long>(created.exception), static_cast<long>(created.status), created.text);
    LogPrintf(LOG_CHANNEL_BURN, LOG_ERROR, "Creating DVD-Video file system failed!");
    return BurnFailed(created.text, "the DVD-Video file system cannot be made");
}

StepResult CDevice::ProbeTrackAtOnce()
{
    LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "CDevice::BurnDVDVideo(): Probing supported write modes... ");
    LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Probing supported write modes...");
    CallResult probed;
    uint8_t trackAtOnce = 0, sessionAtOnce = 0, discAtOncePq = 0, discAtOnceRaw = 0;
    if (!CallOk(probed, [&](RecorderLibrary& library, GrabberHandle grabber, const CallReport& report) {
            return library.ProbeSupportedWriteModes(grabber, report, &trackAtOnce, &sessionAtOnce, &discAtOncePq,
                                                    &discAtOnceRaw);
        })) {
        LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR,
                  "\n\nCDevice::BurnDVDVideo(): StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes() failed, exception %ld, status %ld, text '%s'\n",
                  static_cast<long>(probed.exception), static_cast<long>(probed.status), probed.text);
        LogPrintf(LOG_CHANNEL_BURN, LOG_ERROR, "Probing supported write modes Error!");
        return BurnFailed(probed.text, "the recorder does not tell how it writes");
    }
    LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO,
              "OK!\nCDevice::BurnDVDVideo(): Track-At-Once: %s, Session-At-Once: %s, Disc-At-Once PQ: %s, Disc-At-Once raw P-W: %s\n",
              YesNo(trackAtOnce), YesNo(sessionAtOnce), YesNo(discAtOncePq), YesNo(discAtOnceRaw));
    if (trackAtOnce == 0) {
        LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR, "\n\nCDevice::BurnDVDVideo(): Track-At-Once is unsupported!!!\n");
        LogPrintf(LOG_CHANNEL_BURN, LOG_ERROR, "Track-At-Once is unsupported!");
        return StepResult::Failed("Burn", "the recorder cannot write Track-At-Once");
    }
    LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Track-At-Once is supported!");
    return StepResult::Done();
}

StepResult CDevice::WriteDVDVideo(DvdVideoHandle dvdVideo, const std::string& imageFolder)
{
    progress_.store(0);
    CallResult written;
    FileTreeHandle tree = nullptr;
    const RecorderException treeResult = library_.DVDVideoGetFileTree(dvdVideo, &tree);
    if (treeResult != RECORDER_SUCCESS || tree == nullptr) {
        written.Refuse("The DVD-Video file system has no file tree");
        if (treeResult != RECORDER_SUCCESS)
            written.exception = treeResult;
        Publish(written);
    } else {
        WriteCall(written, [&](RecorderLibrary& library, GrabberHandle grabber, const CallReport& report) {
            const RecorderException set = library.SetImageFolder(grabber, imageFolder.c_str());
            if (set != RECORDER_SUCCESS)
                return set;
            return library.TrackAtOnceFromTree(grabber, report, tree, 1, 0, 1, 1, 5);
        });
    }
    if (written.Ok())
        return StepResult::Done();
    LogWriteFailure(kDvdVideoTexts, written);
    return BurnFailed(written.text, "writing the disc failed");
}

WrittenImage CDevice::TakeWrittenImage()
{
    WrittenImage image;
    std::lock_guard<std::mutex> lock(ioMutex_);
    if (grabber_ != nullptr)
        library_.TakeWrittenImage(grabber_, &image);
    return image;
}

StepResult CDevice::CloseDVDVideoSession()
{
    LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO,
              "CDevice::BurnDVDVideo(): Try to close session by StarBurn_CdvdBurnerGrabber_CloseSession() ");
    LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Closing session...");
    CallResult closed;
    if (!CallOk(closed, [](RecorderLibrary& library, GrabberHandle grabber, const CallReport& report) {
            return library.CloseSession(grabber, report);
        })) {
        LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR,
                  "\n\nCDevice::BurnDVDVideo(): StarBurn_CdvdBurnerGrabber_CloseSession() failed, exception %ld, status %ld, text '%s'\n",
                  static_cast<long>(closed.exception), static_cast<long>(closed.status), closed.text);
        LogPrintf(LOG_CHANNEL_BURN, LOG_ERROR, "Close Session Error!");
        return BurnFailed(closed.text, "the disc's session cannot be closed");
    }
    LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO,
              "CDevice::BurnDVDVideo():StarBurn_CdvdBurnerGrabber_CloseSession(): Close session success! ");
    LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Closing session success!");
    return StepResult::Done();
}
