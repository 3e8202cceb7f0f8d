// The burn steps of CDevice that every kind of disc shares, and the Video CD
// burns: each drives the recording library step by step on the burn worker
// and reports every step in the log.

#include "burn/BurnTexts.h"
#include "core/Log.h"

#include <cstdio>

namespace {

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

StepResult CDevice::BurnAlone(const BurnOptions& options, const std::function<StepResult()>& burn)
{
    // A second burn would replace the grabber the first one writes with.
    if (!ClaimBurn()) {
        LogPrintf(LOG_CHANNEL_BURN, LOG_ERROR, "Started Error!");
        return StepResult::Failed("Burn", "another burn is running on this recorder");
    }
    if (options.stopRequested && options.stopRequested()) {
        EndBurn();
        return StepResult::Failed("Burn", "the burn was cancelled");
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


StepResult CDevice::BurnVideoCD(BurnOptions& options, const std::string& source)
{
    return BurnAlone(options, [&] { return BurnVideoCDKind(kVideoCDTexts, options, source); });
}

StepResult CDevice::BurnSuperVideoCD(BurnOptions& options, const std::string& source)
{
    return BurnAlone(options, [&] { return BurnVideoCDKind(kSuperVideoCDTexts, options, source); });
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
