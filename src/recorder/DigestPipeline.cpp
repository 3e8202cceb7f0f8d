#include "recorder/DigestPipeline.h"

#include "recorder/ImageDigest.h"

#include <new>

namespace {

// One being filled and written, one being hashed, one waiting in between.
constexpr int kBlocks = 3;
// What direct I/O asks of a buffer on any disk.
constexpr size_t kAlignment = 4096;

} // namespace

DigestPipeline::DigestPipeline(ImageDigest& digest) : digest_(digest)
{
    for (int i = 0; i < kBlocks; ++i) {
        auto* block = static_cast<unsigned char*>(std::aligned_alloc(kAlignment, kBlockBytes));
        if (block == nullptr)
            throw std::bad_alloc();
        blocks_.emplace_back(block);
        free_.push_back(block);
    }
    thread_ = std::thread([this] { Run(); });
}

DigestPipeline::~DigestPipeline()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

unsigned char* DigestPipeline::FreeBlock()
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !free_.empty(); });
    unsigned char* block = free_.back();
    free_.pop_back();
    return block;
}

void DigestPipeline::Hash(unsigned char* block, size_t bytes)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back({block, bytes});
    }
    changed_.notify_all();
}

void DigestPipeline::Finish()
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return queue_.empty() && !hashing_; });
}

void DigestPipeline::Run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        // What was handed over is hashed even when stopping, so the digest
        // always covers a prefix of the image.
        if (queue_.empty())
            return;
        const Handed next = queue_.front();
        queue_.pop_front();
        hashing_ = true;
        lock.unlock();
        digest_.Update(next.block, next.bytes);
        lock.lock();
        hashing_ = false;
        free_.push_back(next.block);
        changed_.notify_all();
    }
}
