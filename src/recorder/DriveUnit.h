#pragma once
// A real recorder found by libburn's bus scan, acquired by its device path
// while a grabber needs it.

#include "recorder/RecorderUnit.h"

namespace burn {
struct burn_drive;
struct burn_drive_info;
} // namespace burn

class DriveUnit : public RecorderUnit {
public:
    DriveUnit(UnitIdentity identity, std::string path);
    ~DriveUnit() override;

    UnitResult Acquire() override;
    void LetGo() override;
    bool Acquired() const override;

    UnitResult Ready() override;
    int DiscType() override;
    UnitResult Speeds(UnitSpeeds& speeds) override;
    UnitResult SetWriteSpeed(uint32_t requested, uint32_t& inForce) override;
    UnitResult TrackInformation(uint32_t track, unsigned char* record) override;
    UnitResult TableOfContents(unsigned char* record) override;
    UnitResult Capacity(int64_t& bytes) override;
    UnitResult Eject() override;
    UnitResult UnderrunProtection(bool& supported) override;
    UnitResult WriteModes(UnitWriteModes& modes) override;

    UnitResult WriteImage(ImageStream& stream, const WriteSettings& settings,
                          const WriteEvents& events) override;
    UnitResult WriteVideoCd(VideoCdKind kind, const std::string& sourcePath, const std::string& album,
                            const WriteSettings& settings, const WriteEvents& events) override;
    UnitResult VerifyLastWrite(const WriteEvents& events, std::string& md5) override;

private:
    burn::burn_drive* Drive() const;
    // load: close the tray first.
    UnitResult Grab(bool load);
    void Release(bool eject);
    bool ReadableUpTo(int64_t bytes);
    int Profile() const;
    bool Overwritable() const;

    std::string path_;
    burn::burn_drive_info* grabbed_ = nullptr;
};
