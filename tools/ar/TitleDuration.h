#pragma once
// How long a title file plays, from the presentation time stamps of its
// MPEG-2 video packets: the earliest near its start to the latest near its
// end. DVD title files are MPEG-2 program streams, whose video PES headers
// carry a PTS at least on every picture that starts a packet.

#include <cstddef>
#include <cstdint>
#include <string>

// The earliest and latest video PTS (90 kHz ticks) in data; false when
// data holds none.
bool FindVideoPtsRange(const unsigned char* data, size_t size, int64_t* first, int64_t* last);

// Seconds from the first to the last picture; false with *error saying why
// (without the file's name) when the file cannot be read or holds no time
// stamps.
bool ReadTitleDuration(const std::string& path, double* seconds, std::string* error);
