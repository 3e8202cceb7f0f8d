#pragma once
// How long a title file plays, from the presentation time stamps of its
// MPEG-2 video packets: the earliest near its start to the latest picture
// near its end. DVD title files are MPEG-2 program streams, whose video PES
// headers date the first picture that starts in the packet; the pictures
// after it, in the packet and in packets without a stamp (small pictures of
// a still or a low rate share a packet), follow a frame apart.

#include <cstddef>
#include <cstdint>
#include <string>

// The earliest video PTS in data and the latest time a picture starts
// (90 kHz ticks, frameTicks a frame); false when data holds no PTS.
bool FindVideoTimes(const unsigned char* data, size_t size, int frameTicks, int64_t* first, int64_t* last);

// Seconds from the first to the last picture; false with *error saying why
// (without the file's name) when the file cannot be read or holds no time
// stamps.
bool ReadTitleDuration(const std::string& path, double* seconds, std::string* error);
