#pragma once
// The MPEG video sequence header of a title file: the start code 00 00 01 B3
// and then, in 32 bits, width (12), height (12), aspect code (4) and frame
// rate code (4).

#include <cstddef>
#include <string>

struct SequenceHeader {
    int width = 0;
    int height = 0;
    int aspectCode = 0;
    int frameRateCode = 0;
};

enum class TvSystem { Unknown, Pal, Ntsc };

// The first plausible sequence header in data; false when there is none.
bool FindSequenceHeader(const unsigned char* data, size_t size, SequenceHeader* header);

// The first sequence header of a file, searched for in its first megabytes.
// False, with *error saying why (without the file's name), when the file
// cannot be read or holds none there.
bool ReadSequenceHeader(const std::string& path, SequenceHeader* header, std::string* error);

// 25 frames/s is PAL; 29.97 and 30, and 23.976 (film for NTSC discs), NTSC.
TvSystem TvSystemOf(int frameRateCode);
const char* TvSystemName(TvSystem system);
// The frame rate a code stands for, as text ("25", "29.97"); "?" when none.
const char* FrameRateText(int frameRateCode);
// How long a frame lasts in 90 kHz ticks (3600 at 25 frames/s); 0 when
// the code stands for no rate.
int FrameTicks(int frameRateCode);
