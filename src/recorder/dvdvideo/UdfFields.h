#pragma once
// The building blocks of UDF 1.02 (ECMA-167) descriptors: the descriptor tag
// with its checksum and CRC, d-strings, entity identifiers, timestamps and
// allocation descriptors.

#include "recorder/dvdvideo/DiscTime.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace UdfFields {

enum TagId : uint16_t {
    kPrimaryVolume = 1,
    kAnchor = 2,
    kImplementationUse = 4,
    kPartition = 5,
    kLogicalVolume = 6,
    kUnallocatedSpace = 7,
    kTerminating = 8,
    kIntegrity = 9,
    kFileSet = 256,
    kFileIdentifier = 257,
    kFileEntry = 261,
};

// CRC-ITU-T (x^16 + x^12 + x^5 + 1, start 0), as UDF descriptors carry it.
uint16_t Crc(const uint8_t* data, size_t size);

// Fills the 16-byte tag at descriptor; the CRC covers the length - 16 bytes
// after it, so the descriptor's body must be complete before.
void Tag(uint8_t* descriptor, uint16_t id, uint32_t location, size_t length);

// A d-string of width bytes, its last byte the length used. Text that has no
// character above U+00FF is stored in 8 bits, other text in 16.
void DString(uint8_t* at, size_t width, const std::u32string& text);
// A file identifier (no length byte); its size in bytes.
size_t FileIdentifier(uint8_t* at, const std::string& name);
size_t FileIdentifierSize(const std::string& name);

void CharSpec(uint8_t* at);
void Timestamp(uint8_t* at, const DiscTime& time);

enum class Suffix { None, Domain, Udf, Implementation };
void EntityId(uint8_t* at, const std::string& identifier, Suffix suffix);

void ExtentAd(uint8_t* at, uint32_t length, uint32_t location);
void ShortAd(uint8_t* at, uint32_t length, uint32_t block);
void LongAd(uint8_t* at, uint32_t length, uint32_t block);

constexpr const char* kImplementation = "*KANDRIX";

} // namespace UdfFields
