#pragma once
// A libburn data source that reads an ImageStream once, in order, as libburn
// (through its fifo) asks for the bytes: no copy of the image anywhere.

#include <atomic>
#include <cstdint>
#include <string>

class ImageDigest;
class ImageStream;
class WriteControl;

namespace burn {
struct burn_source;
} // namespace burn

// What the source saw, read by the writer after libburn is done with it.
struct StreamSourceState {
    ImageStream* stream = nullptr;
    const WriteControl* control = nullptr;
    // Takes the bytes as they go; read only once delivered says all came.
    ImageDigest* digest = nullptr;
    std::atomic<int64_t> delivered{0};
    std::atomic<bool> failed{false};
    std::string error; // set once, before failed turns true
};

// The returned source holds a reference the caller frees with
// burn_source_free(). state must outlive it.
burn::burn_source* NewStreamSource(StreamSourceState& state);
