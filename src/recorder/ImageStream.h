#pragma once
// A disc image produced on demand: its size is known before the first byte,
// and its bytes come in order, read from the files it is made of only when
// the reader reaches them. The DVD-Video file system hands one out as its
// file tree; a write reads it once, from the start, to the end.

#include <cstdint>
#include <string>

class ImageStream {
public:
    virtual ~ImageStream() = default;

    // Bytes in the whole image, a multiple of 2048.
    virtual int64_t Size() const = 0;

    // Fills buffer with the next bytes of the image. Returns the count put
    // there (less than size only at the end of the image, 0 after it), or -1
    // on failure, with the cause (file name and what is wrong) in Error().
    virtual int64_t Read(unsigned char* buffer, int64_t size) = 0;
    virtual std::string Error() const = 0;

    // The volume label as the user gave it, and the folder the image was
    // built from (the VIDEO_TS folder), for writers that name their output
    // after them.
    virtual std::string VolumeLabel() const = 0;
    virtual std::string SourceFolder() const = 0;
};
