#pragma once
// Files the program takes from its own folder at start and exit (the
// settings, the skin, the media-object library). Whatever else may lie there
// under those names (a FIFO, a link to a device, a folder, a huge file) must
// neither block nor exhaust the program: it is taken as absent.

#include <cstdint>
#include <string>

// Opens path for reading when it names a regular file of at most maxSize
// bytes. Nothing on the way can block: the name is checked before it is
// opened, the open does not wait, and the open descriptor is checked again.
// Returns the descriptor (close-on-exec), or -1. A missing file is quietly -1;
// any other refusal writes one line naming the file and the cause to
// standard error, and, when cause is given, stores the cause there.
int OpenRegularFile(const std::string& path, std::uint64_t maxSize, std::string* cause = nullptr);

// The whole content of such a file. False, contents empty, as above; also
// when the file grows past maxSize while it is read.
bool ReadRegularFile(const std::string& path, std::uint64_t maxSize, std::string& contents,
                     std::string* cause = nullptr);
