#pragma once
// What the burn worker hands to a burn: the options the user chose and the
// recorder and folder to burn on. The burn job keeps its own copy; a burn
// writes back only the speed it really runs at.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

class CDevice;

constexpr int32_t BURN_KIND_VIDEOCD = 0;
constexpr int32_t BURN_KIND_SUPERVIDEOCD = 1;
constexpr int32_t BURN_KIND_DVDVIDEO = 2;

// Bytes of the volume label field, terminator included.
constexpr size_t BURN_VOLUME_LABEL_SIZE = 256;

struct BurnOptions {
    bool sendOpc = false;
    // KBps; a burn replaces it by the speed the recorder put in force.
    uint32_t speed = 0;
    std::string speedLabel;
    char volumeLabel[BURN_VOLUME_LABEL_SIZE] = {};

    std::shared_ptr<CDevice> device;
    int32_t burnKind = BURN_KIND_DVDVIDEO;
    // The VIDEO_TS folder for DVD-Video, the source for the CD kinds.
    std::string treePath;
    bool eject = false;
    // Read the disc back after a DVD-Video burn and compare it with the image.
    bool verify = false;
    // Where the image-file recorder puts the image: the user's output folder.
    std::string imageFolder;
    // Whether the burn's job was asked to stop: a stop that comes before the
    // recorder is claimed finds no burn to cancel, so the claim asks again.
    std::function<bool()> stopRequested;

    // Cuts a label that does not fit the field; the rest is dropped.
    void SetVolumeLabel(const std::string& label)
    {
        const size_t length = std::min(label.size(), sizeof volumeLabel - 1);
        std::memcpy(volumeLabel, label.data(), length);
        volumeLabel[length] = '\0';
    }

    // The label as text, also when someone filled the field to the brim.
    std::string VolumeLabel() const
    {
        return std::string(volumeLabel, strnlen(volumeLabel, sizeof volumeLabel - 1));
    }
};
