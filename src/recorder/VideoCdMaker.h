#pragma once
// VideoCD and SuperVideoCD discs: vcdimager makes the MODE2/2352 image
// (a .bin and its .cue sheet), and cdrdao writes it on a real recorder,
// since libburn takes no such cue sheet.

#include "recorder/LibburnMessages.h"
#include "recorder/RecorderUnit.h"
#include "recorder/WriteControl.h"

#include <string>

struct VideoCdImage {
    std::string cue;
    std::string bin;
};

// An ISO volume label of d-characters (A-Z, 0-9, _), at most 32 of them.
std::string VideoCdLabel(const std::string& album);

// Makes folder/<source's name>.bin and .cue from the MPEG file, replacing
// an older pair only once the new one is complete.
UnitResult MakeVideoCdImage(VideoCdKind kind, const std::string& sourcePath, const std::string& album,
                            const std::string& folder, const WriteEvents& events, WriteControl& control,
                            VideoCdImage& image);

// Writes the cue sheet's image with cdrdao on the device (a path such as
// /dev/sr0) that nobody else holds now.
UnitResult WriteCueWithCdrdao(const std::string& device, const VideoCdImage& image,
                              const WriteSettings& settings, const WriteEvents& events,
                              WriteControl& control);
