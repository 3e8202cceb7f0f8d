#pragma once
// Large blocks of an image, hashed on a thread of their own while the
// caller reads the next block and writes this one: MD5 runs at about the
// speed of a disk, so done in line it would halve the speed of a write. The
// caller fills a free block, hands it over, and may go on reading it (to
// write it out) until it asks for the next free block. Blocks are aligned
// for direct I/O.

#include <condition_variable>
#include <cstddef>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class ImageDigest;

class DigestPipeline {
public:
    static constexpr size_t kBlockBytes = 1 << 20;

    explicit DigestPipeline(ImageDigest& digest);
    // Waits for what was handed over.
    ~DigestPipeline();
    DigestPipeline(const DigestPipeline&) = delete;
    DigestPipeline& operator=(const DigestPipeline&) = delete;

    // A block of kBlockBytes to fill; waits while all are being hashed.
    unsigned char* FreeBlock();
    // The first bytes of block go to the digest, after those handed before.
    void Hash(unsigned char* block, size_t bytes);
    // Returns once everything handed over is in the digest.
    void Finish();

private:
    struct Handed {
        unsigned char* block;
        size_t bytes;
    };
    void Run();

    ImageDigest& digest_;
    struct Free {
        void operator()(unsigned char* block) const { std::free(block); }
    };
    std::vector<std::unique_ptr<unsigned char, Free>> blocks_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Handed> queue_;
    std::vector<unsigned char*> free_;
    bool hashing_ = false;
    bool stop_ = false;
    std::thread thread_;
};
