#pragma once
// Writes an ImageStream as one closed data track on a grabbed libburn drive
// and turns what libburn reports into the grabber's events. Runs on the calling thread until the drive is
// idle again; holds no lock of the library.

#include "recorder/ImageWriteEvents.h"
#include "recorder/LibburnMessages.h"
#include "recorder/WriteControl.h"

#include <cstdint>
#include <string>

class ImageDigest;
class ImageStream;
struct StreamSourceState;

namespace burn {
struct burn_disc;
struct burn_drive;
struct burn_write_opts;
} // namespace burn

class TrackWriter {
public:
    TrackWriter(burn::burn_drive* drive, const WriteSettings& settings, const WriteEvents& events,
                WriteControl& control, WriteSpeedTable table);

    // digest takes every byte that goes to the drive.
    UnitResult Write(ImageStream& stream, ImageDigest& digest);

private:
    struct Watch;
    UnitResult Run(ImageStream& stream, StreamSourceState& state);
    burn::burn_write_opts* NewOptions(burn::burn_disc* disc, std::string& refusal);
    UnitResult WriteDisc(burn::burn_write_opts* options, burn::burn_disc* disc, int64_t total,
                         const StreamSourceState& state);
    bool StartWrite(burn::burn_write_opts* options, burn::burn_disc* disc);
    void Conclude(bool wroteWell, int64_t total, Watch& watch);
    void Follow(int64_t total, Watch& watch);
    void Progress(int64_t total, int64_t done);
    void ReportMeasuredSpeed(int64_t bytes, double seconds);

    burn::burn_drive* drive_;
    WriteSettings settings_;
    WriteEvents events_;
    WriteControl& control_;
    WriteSpeedTable table_;
    bool speedReported_ = false;
};
