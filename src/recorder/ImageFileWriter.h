#pragma once
// Writes an ImageStream straight into an open image file, in large blocks
// that the stream fills, and makes it durable. A file never runs dry the
// way a drive does, so nothing is buffered on the way: the write goes at
// the speed of the disk, with the MD5 taken beside it.

#include "recorder/LibburnMessages.h"
#include "recorder/WriteControl.h"

#include <string>

class DigestPipeline;
class ImageDigest;
class ImageStream;

class ImageFileWriter {
public:
    // fd: the file, empty and open for writing; target: its name for the
    // user, in the failures' texts.
    ImageFileWriter(int fd, std::string target, const WriteSettings& settings, const WriteEvents& events,
                    const WriteControl& control);

    // The whole image, with the file's data on the disk when it succeeds;
    // digest takes every byte written. Cancel is looked at between blocks.
    UnitResult Write(ImageStream& stream, ImageDigest& digest);

private:
    UnitResult Copy(ImageStream& stream, DigestPipeline& pipeline);
    bool WriteAll(const unsigned char* data, size_t size);
    UnitResult SystemFailure(int error) const;

    int fd_;
    std::string target_;
    WriteSettings settings_;
    WriteEvents events_;
    const WriteControl& control_;
};
