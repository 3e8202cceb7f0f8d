#pragma once
// The volume label as each file system can hold it. The label comes as UTF-8;
// bytes that are not valid UTF-8 are taken as Latin-1.

#include <string>

namespace VolumeLabel {

constexpr size_t kIsoLength = 32;
constexpr size_t kUdfLength = 126;

std::u32string Decode(const std::string& utf8);

// At most 32 d-characters: letters in upper case, digits, and '_' for the rest.
std::string IsoIdentifier(const std::string& label);

// At most maxLength characters of the label.
std::u32string UdfIdentifier(const std::string& label, size_t maxLength);

} // namespace VolumeLabel
