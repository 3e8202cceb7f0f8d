#include "recorder/ImageDigest.h"

#include <xxhash.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

// MD5 as RFC 1321 defines it.
namespace {

// Odd, so that a change of one fingerprint always changes the sum.
constexpr uint64_t kSumFactor = 0x9e3779b97f4a7c15ULL;

constexpr uint32_t kInitial[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

inline uint32_t RotateLeft(uint32_t x, int n)
{
    return (x << n) | (x >> (32 - n));
}

// One round: 16 steps of the same function, unrolled so that the word
// order and the shifts become constants. The sum is taken in the order
// that waits least for the previous step.
template <int Round>
inline void RunRound(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, const uint32_t* word)
{
#pragma GCC unroll 16
    for (int j = 0; j < 16; ++j) {
        const int i = Round * 16 + j;
        constexpr int kStart[4] = {0, 1, 5, 0};
        constexpr int kStride[4] = {1, 5, 3, 7};
        uint32_t sum = a + kSine[i] + word[(kStart[Round] + kStride[Round] * j) % 16];
        if constexpr (Round == 0)
            sum += d ^ (b & (c ^ d));
        else if constexpr (Round == 1)
            sum += (c & ~d) + (b & d);
        else if constexpr (Round == 2)
            sum += b ^ c ^ d;
        else
            sum += c ^ (b | ~d);
        const uint32_t next = b + RotateLeft(sum, kShift[Round][j % 4]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
}

void Transform(uint32_t state[4], const unsigned char* block)
{
    uint32_t word[16];
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(word, block, sizeof word);
    } else {
        for (int i = 0; i < 16; ++i)
            word[i] = static_cast<uint32_t>(block[4 * i]) | static_cast<uint32_t>(block[4 * i + 1]) << 8 |
                      static_cast<uint32_t>(block[4 * i + 2]) << 16 | static_cast<uint32_t>(block[4 * i + 3]) << 24;
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    RunRound<0>(a, b, c, d, word);
    RunRound<1>(a, b, c, d, word);
    RunRound<2>(a, b, c, d, word);
    RunRound<3>(a, b, c, d, word);
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

} // namespace

ImageDigest::ImageDigest(int64_t bytes)
{
    std::memcpy(md5_, kInitial, sizeof md5_);
    if (bytes > 0)
        marks_.reserve(static_cast<size_t>(bytes / kSectorBytes));
}

ImageDigest::ImageDigest(ReadBackOf readBack) : written_(&readBack.written)
{
    std::memcpy(md5_, kInitial, sizeof md5_);
}

void ImageDigest::Update(const unsigned char* data, size_t size)
{
    if (size == 0)
        return;
    // A read-back is compared by its fingerprints alone.
    if (written_ == nullptr)
        Md5Blocks(data, size);
    size_t used = static_cast<size_t>(bytes_ % kSectorBytes);
    bytes_ += static_cast<int64_t>(size);
    if (used != 0) {
        const size_t take = std::min(size, static_cast<size_t>(kSectorBytes) - used);
        std::memcpy(sectorPending_ + used, data, take);
        data += take;
        size -= take;
        if (used + take < kSectorBytes)
            return;
        Sector(sectorPending_);
    }
    for (; size >= kSectorBytes; data += kSectorBytes, size -= kSectorBytes)
        Sector(data);
    std::memcpy(sectorPending_, data, size);
}

// bytes_ does not count these bytes yet.
void ImageDigest::Md5Blocks(const unsigned char* data, size_t size)
{
    const size_t used = static_cast<size_t>(bytes_ % 64);
    if (used != 0) {
        const size_t take = std::min(size, 64 - used);
        std::memcpy(md5Pending_ + used, data, take);
        data += take;
        size -= take;
        if (used + take < 64)
            return;
        Transform(md5_, md5Pending_);
    }
    for (; size >= 64; data += 64, size -= 64)
        Transform(md5_, data);
    std::memcpy(md5Pending_, data, size);
}

void ImageDigest::Sector(const unsigned char* sector)
{
    const uint64_t fingerprint = XXH3_64bits(sector, kSectorBytes);
    sum_ = sum_ * kSumFactor + fingerprint;
    const auto index = static_cast<size_t>(sectors_++);
    if (written_ == nullptr) {
        marks_.push_back(static_cast<uint32_t>(fingerprint));
        return;
    }
    const bool differs = index >= written_->marks_.size() || written_->marks_[index] != static_cast<uint32_t>(fingerprint);
    int64_t none = -1;
    if (differs)
        firstDiffering_.compare_exchange_strong(none, static_cast<int64_t>(index));
}

bool ImageDigest::SameAsWritten() const
{
    return written_ != nullptr && firstDiffering_.load() < 0 && bytes_ == written_->bytes_ && sum_ == written_->sum_;
}

std::string ImageDigest::Hex() const
{
    uint32_t state[4];
    std::memcpy(state, md5_, sizeof state);
    unsigned char tail[128] = {};
    const size_t used = static_cast<size_t>(bytes_ % 64);
    std::memcpy(tail, md5Pending_, used);
    tail[used] = 0x80;
    const size_t length = used < 56 ? 64 : 128;
    const uint64_t bits = static_cast<uint64_t>(bytes_) * 8;
    for (int i = 0; i < 8; ++i)
        tail[length - 8 + i] = static_cast<unsigned char>(bits >> (8 * i));
    Transform(state, tail);
    if (length == 128)
        Transform(state, tail + 64);
    char hex[33];
    for (int i = 0; i < 16; ++i)
        std::snprintf(hex + 2 * i, 3, "%02x", (state[i / 4] >> (8 * (i % 4))) & 0xff);
    return std::string(hex, 32);
}
