#pragma once
// What is known of a disc image as it passes: its MD5, for the user to
// compare with md5sum, and a fingerprint of each 2048-byte sector (XXH3),
// for a read-back to compare with as it goes. MD5 runs at about the speed
// of a disk; the fingerprints at ten times that, so a read-back need not
// take the MD5 again to know that it read what was written, and it knows
// the first sector that differs without a copy of the image. The marks take
// 4 bytes a sector (2 MB a GB); a sum of the whole fingerprints settles
// what 32 bits could miss.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ImageDigest {
public:
    static constexpr int64_t kSectorBytes = 2048;

    // The digest of a write, with its MD5 and marks; bytes, the image's
    // expected size, only reserves room for them.
    explicit ImageDigest(int64_t bytes);
    // The digest of a read-back, checked against the write's as it goes.
    struct ReadBackOf {
        const ImageDigest& written;
    };
    explicit ImageDigest(ReadBackOf readBack);
    ImageDigest(const ImageDigest&) = delete;
    ImageDigest& operator=(const ImageDigest&) = delete;

    void Update(const unsigned char* data, size_t size);

    int64_t Bytes() const { return bytes_; }
    // The MD5 of a write's bytes so far: 32 lower-case hex digits, as md5sum
    // prints them.
    std::string Hex() const;
    // The first sector whose fingerprint differs from the written image's;
    // -1 while none does. Any thread.
    int64_t FirstDifferingSector() const { return firstDiffering_.load(); }
    // A read-back that took every sector of the write, each as written.
    bool SameAsWritten() const;

private:
    void Md5Blocks(const unsigned char* data, size_t size);
    void Sector(const unsigned char* sector);

    const ImageDigest* written_ = nullptr;
    int64_t bytes_ = 0;
    uint32_t md5_[4];
    unsigned char md5Pending_[64];
    unsigned char sectorPending_[kSectorBytes];
    int64_t sectors_ = 0;
    uint64_t sum_ = 0;
    std::vector<uint32_t> marks_;
    std::atomic<int64_t> firstDiffering_{-1};
};
