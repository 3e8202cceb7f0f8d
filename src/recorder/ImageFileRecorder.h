#pragma once
// The image-file recorder: a pseudo-unit reported after the real ones, so that
// a DVD-Video image can be made without a physical drive. It always holds a
// blank overwritable disc and writes at the nominal DVD speeds.

#include "recorder/RecorderLibrary.h"

#include <cstdint>
#include <string>

namespace ImageFileRecorder {

constexpr const char* kVendor = "KANDRIX";
constexpr const char* kProduct = "Image File";
constexpr const char* kRevision = "1.0";
constexpr const char* kDriveName = "ISO";

// The image stands for a blank single-layer DVD-R. A larger image is still
// written: the user may want it for a double-layer disc or another use.
constexpr int64_t kCapacity = 4700372992LL;

// Real units get their host adapter number as port, which never reaches 255.
constexpr uint8_t kPort = 255;

DeviceAddress Address();

uint32_t HighestWriteSpeed();
// A nominal DVD speed is taken as asked; any other request gets the fastest
// nominal speed not above it, or the slowest one.
uint32_t SpeedInForce(uint32_t requested);

} // namespace ImageFileRecorder

namespace ImageFileRecorder {

// The image's file name for a volume label: characters a file name cannot
// hold become '_', as does a leading '.' or '-'; no label gives "KANDRIX.iso".
std::string ImageFileName(const std::string& label);

// The name to take when the label's own is taken by a file that must not be
// replaced: "MyDVD (2).iso" for number 2.
std::string NumberedImageFileName(const std::string& label, int number);

// The image is written under a name of this pattern in the output folder and
// renamed once complete; a killed run leaves one behind.
constexpr const char* kPartPrefix = ".kandrix-image-";
constexpr const char* kPartSuffix = ".part";
bool IsPartFileName(const std::string& name);

} // namespace ImageFileRecorder
