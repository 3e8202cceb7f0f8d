// The burn operations of CDevice: each drives the recording library step by
// step on the burn worker and reports every step in the log.

#include "burn/CDevice.h"

#include "core/Log.h"

#include <cinttypes>
#include <cstdio>

struct CDevice::BurnTexts {
    // The operation's name as its trace lines print it.
    const char* name;
    // The same in the speed step's trace and in the failure trace of the
    // buffer-underrun protection query, where it is spelt differently.
    const char* speedName;
    const char* bupName;
    const char* speedFailure;
    const char* writeCall;
    const char* complete;
    // DVD-Video also announces the unit test and the protection query.
    bool announcesChecks;
};

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

const CDevice::BurnTexts kVideoCDTexts = {
    "CDevice::BurnVideoCD()",
    "CDevice::BurnVideoCD()",
    "CDevice::BurnVideoCD())",
    "Setting speed failed!",
    "StarBurn_CdvdBurnerGrabber_VideoCDEx",
    "Burning Complete",
    false,
};

const CDevice::BurnTexts kSuperVideoCDTexts = {
    "CDevice::BurnSuperVideoCD()",
    "CDevice::BurnSuperVideoCD()",
    "CDevice::BurnSuperVideoCD())",
    "CDevice::BurnSuperVideoCD():Setting speed failed!",
    "StarBurn_CdvdBurnerGrabber_SuperVideoCDEx",
    "Burning Complete",
    false,
};

const char* YesNo(uint8_t flag)
{
    return flag != 0 ? "Yes" : "No";
}

// The library's words when it gave any, else what the step itself knows.
StepResult BurnFailed(const char* libraryText, const char* otherwise)
{
    return StepResult::Failed("Burn", *libraryText != '\0' ? libraryText : otherwise);
}

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

bool CDevice::ClaimBurn()
{
    std::lock_guard<std::mutex> lock(burnMutex_);
    if (burning_)
        return false;
    burning_ = true;
    return true;
}

void CDevice::EndBurn()
{
    std::lock_guard<std::mutex> lock(burnMutex_);
    burning_ = false;
    cancelRequested_ = false;
}

void CDevice::CancelBurn()
{
    GrabberHandle writing = nullptr;
    {
        std::lock_guard<std::mutex> lock(burnMutex_);
        // A request kept while idle would stop a later burn the user asked for.
        if (!burning_)
            return;
        cancelRequested_ = true;
        writing = writeGrabber_;
    }
    // Outside the lock: the library's cancel only sets stop flags and
    // signals the tool the write runs, and the writing thread waits for the
    // stop, never this one. A write that has ended meanwhile leaves the
    // request on a grabber no later burn writes with: each burn makes a
    // grabber of its own, and handles are never used twice.
    if (writing != nullptr)
        library_.CancelWrite(writing);
}

bool CDevice::WriteCall(CallResult& result, const GrabberOp& write)
{
    GrabberHandle grabber = nullptr;
    {
        std::lock_guard<std::mutex> lock(ioMutex_);
        if (writing_ || grabber_ == nullptr) {
            result.Refuse(writing_ ? "The recorder is busy writing a disc" : "The recorder has no grabber");
            Publish(result);
            return false;
        }
        grabber = grabber_;
        writing_ = true;
    }
    bool cancelled;
    {
        std::lock_guard<std::mutex> lock(burnMutex_);
        cancelled = cancelRequested_;
        if (!cancelled)
            writeGrabber_ = grabber;
    }
    if (cancelled)
        result.Refuse("The burn was cancelled before writing");
    else
        result.End(write(library_, grabber, result.Report()));
    {
        std::lock_guard<std::mutex> lock(burnMutex_);
        writeGrabber_ = nullptr;
    }
    std::lock_guard<std::mutex> lock(ioMutex_);
    writing_ = false;
    Publish(result);
    return result.Ok();
}

StepResult CDevice::StartBurnGrabber(RecorderCallback callback)
{
    CallResult created;
    if (CreateGrabber(callback, created))
        return StepResult::Done();
    LogPrintf(LOG_CHANNEL_BURN, LOG_ERROR, "Started Error!");
    return BurnFailed(created.text, "the recorder cannot be reached");
}

StepResult CDevice::CheckUnitReady(const BurnTexts& texts)
{
    if (texts.announcesChecks) {
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "%s: Testing unit ready... ", texts.name);
        LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Testing unit ready...");
    }
    CallResult result;
    if (!CallOk(result, [](RecorderLibrary& library, GrabberHandle grabber, const CallReport& report) {
            return library.TestUnitReady(grabber, report);
        })) {
        LogPrintf(LOG_CHANNEL_BURN, LOG_ERROR, "Unit is not ready!");
        return BurnFailed(result.text, "the recorder is not ready");
    }
    LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Unit is ready!");
    return StepResult::Done();
}

// Buffer-underrun protection, speed and calibration; a failure only when the
// protection state cannot be read.
StepResult CDevice::PrepareWrite(const BurnTexts& texts, BurnOptions& options)
{
    if (texts.announcesChecks) {
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO,
                  "OK!\n%s: Getting BUP (Buffer Underrun Protection) support... ", texts.name);
        LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Getting BUP (Buffer Underrun Protection) support...");
    }
    CallResult result;
    uint8_t enabled = 0, supported = 0;
    if (!CallOk(result, [&](RecorderLibrary& library, GrabberHandle grabber, const CallReport& report) {
            return library.GetBUP(grabber, report, &enabled, &supported);
        })) {
        LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR,
                  "\n\n%s: StarBurn_CdvdBurnerGrabber_GetBUP() failed, exception %ld, status %ld, text '%s'\n",
                  texts.bupName, static_cast<long>(result.exception), static_cast<long>(result.status), result.text);
        LogPrintf(LOG_CHANNEL_BURN, LOG_ERROR, "Getting BUP failed!");
        return BurnFailed(result.text, "the recorder's buffer underrun protection cannot be read");
    }
    LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Getting BUP successfully!");
    LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "OK!\n%s: BUP (Buffer Underrun Protection) Enabled: %s, Supported: %s\n",
              texts.name, YesNo(enabled), YesNo(supported));

    LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "%s: Enabling BUP (Buffer Underrun Protection)... ", texts.name);
    LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Enabling BUP (Buffer Underrun Protection)...");
    // Asked for whatever the support flag said: some units report it wrongly.
    CallResult set;
    if (CallOk(set, [](RecorderLibrary& library, GrabberHandle grabber, const CallReport& report) {
            return library.SetBUP(grabber, report, 1);
        })) {
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "OK!\n");
        LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Enabling BUP successfully!");
    } else {
        LogPrintf(LOG_CHANNEL_TRACE, LOG_WARNING,
                  "Failed!\n%s: WARNING! StarBurn_CdvdBurnerGrabber_SetBUP() failed, exception %ld, status %ld, text '%s'\n",
                  texts.name, static_cast<long>(set.exception), static_cast<long>(set.status), set.text);
        LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Enabling BUP failed!");
    }

    SetBurnSpeed(texts, options);
    if (options.sendOpc)
        SendOpc(texts);
    return StepResult::Done();
}

void CDevice::SetBurnSpeed(const BurnTexts& texts, BurnOptions& options)
{
    const char* label = options.speedLabel.c_str();
    LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "%s: Setting speed %s (%ld KBps)... ", texts.speedName, label,
              static_cast<long>(options.speed));
    LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Setting speed %s (%ld KBps)... ", label, static_cast<long>(options.speed));
    uint32_t speed = options.speed;
    if (!SetSpeed(speed)) {
        LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR, "%s", texts.speedFailure);
        LogPrintf(LOG_CHANNEL_BURN, LOG_ERROR, "Setting speed failed!");
        return;
    }
    options.speed = speed;
    LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Setting speed %s (%ld KBps) successfully!", label, static_cast<long>(speed));
    LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "Setting speed %s (%ld KBps) successfully!", label, static_cast<long>(speed));
}

void CDevice::SendOpc(const BurnTexts& texts)
{
    LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "%s: Sending OPC (Optimum Power Calibration)... ", texts.name);
    LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Sending OPC (Optimum Power Calibration)...");
    CallResult result;
    if (CallOk(result, [](RecorderLibrary& library, GrabberHandle grabber, const CallReport& report) {
            return library.SendOPC(grabber, report);
        })) {
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "OK!\n%s: Writing the stuff to the CD/DVD disc >>>\n", texts.name);
        LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Sending OPC successfully.");
        return;
    }
    LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR, "Failed!\n");
    LogPrintf(LOG_CHANNEL_BURN, LOG_ERROR, "Sending OPC Error!");
    LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "%s: Writing the stuff to the CD/DVD disc >>>\n", texts.name);
}

StepResult CDevice::BurnAlone(const std::function<StepResult()>& burn)
{
    // A second burn would replace the grabber the first one writes with.
    if (!ClaimBurn()) {
        LogPrintf(LOG_CHANNEL_BURN, LOG_ERROR, "Started Error!");
        return StepResult::Failed("Burn", "another burn is running on this recorder");
    }
    StepResult burnt = burn();
    EndBurn();
    return burnt;
}

void CDevice::LogWriteFailure(const BurnTexts& texts, const CallResult& result)
{
    LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR, "\n\n%s: %s failed, exception %ld, status %ld, text '%s'\n", texts.name,
              texts.writeCall, static_cast<long>(result.exception), static_cast<long>(result.status), result.text);
    LogPrintf(LOG_CHANNEL_BURN, LOG_ERROR, "Burning Error!");
}

StepResult CDevice::BurnDVDVideo(BurnOptions& options, const std::string& folder)
{
    return BurnAlone([&] {
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

StepResult CDevice::BurnVideoCD(BurnOptions& options, const std::string& source)
{
    return BurnAlone([&] { return BurnVideoCDKind(kVideoCDTexts, options, source); });
}

StepResult CDevice::BurnSuperVideoCD(BurnOptions& options, const std::string& source)
{
    return BurnAlone([&] { return BurnVideoCDKind(kSuperVideoCDTexts, options, source); });
}

StepResult CDevice::BurnVideoCDKind(const BurnTexts& texts, BurnOptions& options, const std::string& source)
{
    LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Started");
    StepResult step = StartBurnGrabber(&CDevice::BurnEvent);
    if (step)
        step = CheckUnitReady(texts);
    if (step)
        step = PrepareWrite(texts, options);
    if (!step)
        return step;

    progress_.store(0);
    trackCounter_.store(0);
    const bool super = &texts == &kSuperVideoCDTexts;
    CallResult written;
    WriteCall(written, [&](RecorderLibrary& library, GrabberHandle grabber, const CallReport& report) {
        return super ? library.SuperVideoCDEx(grabber, report, 1, source.c_str(), "Album VideoCDEx", 1, 1, 0, 1, 5)
                     : library.VideoCDEx(grabber, report, 1, source.c_str(), "Album VideoCDEx", 1, 1, 0, 1, 5);
    });
    if (!written.Ok()) {
        LogWriteFailure(texts, written);
        return BurnFailed(written.text, "writing the disc failed");
    }
    progress_.store(100);
    LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "%s", texts.complete);
    return StepResult::Done();
}
