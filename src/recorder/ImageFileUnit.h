#pragma once
// The image-file recorder as a unit: always a blank overwritable disc, never
// touching a file until asked to write. A DVD-Video write makes an ISO image
// in the output folder; a VideoCD write leaves vcdimager's .bin/.cue pair
// beside the MPEG file.

#include "recorder/RecorderUnit.h"

#include <mutex>

class ImageFileUnit : public RecorderUnit {
public:
    ImageFileUnit();
    ~ImageFileUnit() override;

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
    WrittenImage TakeWrittenImage() override;
    UnitResult VerifyLastWrite(const WriteEvents& events, std::string& md5) override;

private:
    UnitResult WriteInFolder(ImageStream& stream, int folderFd, const std::string& folder,
                             const WriteSettings& settings, const WriteEvents& events);
    static int OpenForReadBack(const std::string& path, int held);
    void RemoveWrittenImage(int fd);
    // The last image written until someone takes it.
    void KeepWritten(WrittenImage image);

    std::mutex writtenMutex_;
    WrittenImage written_;
};
