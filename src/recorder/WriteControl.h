#pragma once
// What a write shares with the threads that may stop it: a flag, and the
// drive that libburn is writing on while it does. Stopping is safe from any
// thread at any moment of the write.

#include <atomic>
#include <memory>
#include <cstdint>
#include <mutex>
#include <string>

class ChildProcess;

namespace burn {
struct burn_drive;
} // namespace burn

class WriteControl {
public:
    // Asks the write to stop; a drive writing now is told at once. A cancel
    // meant for an earlier write (generation) does not reach a later one.
    void Cancel(uint64_t generation);
    bool Cancelled() const { return cancelled_; }

    // The writer names the drive while libburn writes on it, and clears it
    // before letting the drive go, so Cancel never reaches a released drive.
    void SetDrive(burn::burn_drive* drive);

    // Likewise for a tool the write runs (vcdimager, cdrdao).
    void SetChild(ChildProcess* child);

    // A new write starts from a clean state; returns its generation.
    uint64_t Reset();

private:
    std::atomic<bool> cancelled_{false};
    std::mutex mutex_;
    burn::burn_drive* drive_ = nullptr;
    ChildProcess* child_ = nullptr;
    uint64_t generation_ = 0;
};

// The events of a write, sent from the writing thread with no lock held.
struct WriteEvents {
    using Callback = void (*)(int reason, void* context, void* param1, void* param2);
    Callback callback = nullptr;
    void* context = nullptr;
    // Set when the grabber goes during the write: its owner may be gone too.
    std::shared_ptr<std::atomic<bool>> silenced;

    void Send(int reason, void* param1 = nullptr, void* param2 = nullptr) const
    {
        if (callback != nullptr && !(silenced && *silenced))
            callback(reason, context, param1, param2);
    }
};

// Settings the grabber holds for its next write.
struct WriteSettings {
    uint32_t speed = 0; // KBps; 0: as fast as the unit goes
    bool underrunProof = true;
    bool performOpc = false;
    bool simulate = false;
    int cacheSeconds = 5;
    // The image-file recorder's output folder.
    std::string imageFolder;
};
