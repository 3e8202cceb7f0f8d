#pragma once
// A disc image made up on the spot: a byte pattern that tells every position
// apart. It can fail at a chosen sector, and it can hold still at a chosen
// sector until the test lets it go on.

#include "recorder/ImageStream.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

class PatternStream : public ImageStream {
public:
    static constexpr int64_t kSector = 2048;

    PatternStream(int64_t sectors, std::string sourceFolder, std::string label)
        : size_(sectors * kSector), folder_(std::move(sourceFolder)), label_(std::move(label))
    {
    }

    static unsigned char ByteAt(int64_t position)
    {
        const int64_t sector = position / kSector;
        return static_cast<unsigned char>((position * 7 + sector * 13) & 0xff);
    }

    void FailAtSector(int64_t sector) { failAt_ = sector * kSector; }
    void HoldAtSector(int64_t sector) { holdAt_ = sector * kSector; }

    // Waits until a read reached the held sector.
    void WaitUntilHeld()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return held_; });
    }
    void Release()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

    int64_t Size() const override { return size_; }

    int64_t Read(unsigned char* buffer, int64_t size) override
    {
        ++reads_;
        maxRead_ = std::max<int64_t>(maxRead_, size);
        if (holdAt_ >= 0 && position_ + size > holdAt_) {
            std::unique_lock<std::mutex> lock(mutex_);
            held_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return released_; });
        }
        if (failAt_ >= 0 && position_ + size > failAt_) {
            error_ = folder_ + "/VTS_01_1.VOB: Input/output error";
            return -1;
        }
        const int64_t count = std::min(size, size_ - position_);
        for (int64_t i = 0; i < count; ++i)
            buffer[i] = ByteAt(position_ + i);
        position_ += count;
        return count;
    }

    std::string Error() const override { return error_; }
    std::string VolumeLabel() const override { return label_; }
    std::string SourceFolder() const override { return folder_; }

    int64_t Delivered() const { return position_; }
    int64_t Reads() const { return reads_; }
    int64_t LargestRead() const { return maxRead_; }

private:
    int64_t size_;
    std::string folder_;
    std::string label_;
    std::atomic<int64_t> position_{0};
    std::atomic<int64_t> reads_{0};
    std::atomic<int64_t> maxRead_{0};
    int64_t failAt_ = -1;
    int64_t holdAt_ = -1;
    std::string error_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    bool released_ = false;
};
