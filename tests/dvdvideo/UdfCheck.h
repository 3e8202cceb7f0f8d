#pragma once
// Walks the UDF side of an image from its anchors down to every file entry
// and checks each descriptor's tag: identifier, checksum, CRC and location.
// libdvdread and lsdvd ignore all of these, other readers do not.

#include <string>
#include <vector>

struct UdfCheckResult {
    std::vector<std::string> faults;
    int descriptors = 0; // checked and sound
    int files = 0;
    int directories = 0;
};

UdfCheckResult CheckUdfDescriptors(const std::string& image);
