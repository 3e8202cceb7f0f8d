#pragma once
// One unit the library lists: a real drive or the image-file recorder. The
// library keeps the registry of units and grabbers and its lock; a unit only
// answers for itself. Queries are called under the library's lock and are
// short; the writes are called without it and run for minutes.

#include "recorder/ImageDigest.h"
#include "recorder/LibburnMessages.h"
#include "recorder/RecorderLibrary.h"
#include "recorder/WriteControl.h"

#include <cstdint>
#include <memory>
#include <string>

class ImageStream;

struct UnitIdentity {
    DeviceAddress address;
    std::string name; // the device name record's text
    std::string vendor;
    std::string product;
    std::string revision;
    uint32_t cacheSize = 0;
};

struct UnitSpeeds {
    uint32_t read = 0;
    uint32_t highestWrite = 0;
};

struct UnitWriteModes {
    bool trackAtOnce = false;
    bool sessionAtOnce = false;
    bool raw = false;
};

// The VideoCD kinds vcdimager makes.
enum class VideoCdKind { VideoCd, SuperVideoCd };

class RecorderUnit {
public:
    explicit RecorderUnit(UnitIdentity identity) : identity_(std::move(identity)) {}
    virtual ~RecorderUnit() = default;
    RecorderUnit(const RecorderUnit&) = delete;
    RecorderUnit& operator=(const RecorderUnit&) = delete;

    const UnitIdentity& Identity() const { return identity_; }

    // Held while a grabber needs the unit, let go when the last one goes.
    virtual UnitResult Acquire() = 0;
    virtual void LetGo() = 0;
    // A grabber's queries fail when this is false.
    virtual bool Acquired() const = 0;

    virtual UnitResult Ready() = 0;
    virtual int DiscType() = 0;
    virtual UnitResult Speeds(UnitSpeeds& speeds) = 0;
    // The speed the unit will write at when asked for requested.
    virtual UnitResult SetWriteSpeed(uint32_t requested, uint32_t& inForce) = 0;
    virtual UnitResult TrackInformation(uint32_t track, unsigned char* record) = 0;
    virtual UnitResult TableOfContents(unsigned char* record) = 0;
    // The bytes the inserted disc can still take; 0 when not known.
    virtual UnitResult Capacity(int64_t& bytes)
    {
        bytes = 0;
        return UnitResult::Success();
    }
    virtual UnitResult Eject() = 0;
    virtual UnitResult UnderrunProtection(bool& supported) = 0;
    virtual UnitResult WriteModes(UnitWriteModes& modes) = 0;

    // The writes: on the caller's thread, no library lock held. The unit is
    // acquired before and, for a drive, after (unless cancelled).
    virtual UnitResult WriteImage(ImageStream& stream, const WriteSettings& settings,
                                  const WriteEvents& events) = 0;
    virtual UnitResult WriteVideoCd(VideoCdKind kind, const std::string& sourcePath,
                                    const std::string& album, const WriteSettings& settings,
                                    const WriteEvents& events) = 0;

    // The image the last write made, once; a unit that makes no image
    // files has none.
    virtual WrittenImage TakeWrittenImage() { return {}; }

    // Reads back exactly the image the last write put on the medium and
    // compares it with what went there; md5 becomes the MD5 of what was
    // read. Runs like a write: no library lock held, stopped by CancelWrite.
    virtual UnitResult VerifyLastWrite(const WriteEvents& events, std::string& md5)
    {
        (void)events;
        (void)md5;
        return UnitResult::Failure(RECORDER_NOT_SUPPORTED_YET, Identity().name + " cannot read back what it wrote");
    }

    // Called as the library marks the unit busy, before the write: a cancel
    // with the generation returned reaches this write and no other.
    uint64_t BeginWrite() { return control_.Reset(); }
    // Any thread; stops that write if it still runs.
    void CancelWrite(uint64_t generation) { control_.Cancel(generation); }

protected:
    WriteControl& Control() { return control_; }
    // What the last write put on the medium, for its verify; nullptr after
    // a write that failed.
    void KeepDigest(std::unique_ptr<ImageDigest> digest) { lastDigest_ = std::move(digest); }
    const ImageDigest* LastDigest() const { return lastDigest_.get(); }

private:
    UnitIdentity identity_;
    WriteControl control_;
    // Only the writing thread uses it; the library's busy mark keeps a
    // write and a verify from running at once.
    std::unique_ptr<ImageDigest> lastDigest_;
};
