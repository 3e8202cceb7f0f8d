#include "recorder/StreamSource.h"

#include "recorder/ImageDigest.h"
#include "recorder/ImageStream.h"
#include "recorder/WriteControl.h"

#include <libburn/libburn.h>

#include <cstdlib>

using namespace burn;

namespace {

StreamSourceState& StateOf(burn_source* source)
{
    return *static_cast<StreamSourceState*>(source->data);
}

void Failed(StreamSourceState& state, std::string error)
{
    if (!state.failed) {
        state.error = std::move(error);
        state.failed = true;
    }
}

// libburn wants the whole buffer, or a short one only at the end.
int ReadStream(burn_source* source, unsigned char* buffer, int size)
{
    StreamSourceState& state = StateOf(source);
    if (state.failed)
        return -1;
    int filled = 0;
    while (filled < size) {
        if (state.control != nullptr && state.control->Cancelled()) {
            Failed(state, "the write was cancelled");
            return -1;
        }
        const int64_t got = state.stream->Read(buffer + filled, size - filled);
        if (got < 0) {
            const std::string cause = state.stream->Error();
            Failed(state, cause.empty() ? "the disc image could not be read" : cause);
            return -1;
        }
        if (got == 0)
            break;
        filled += static_cast<int>(got);
    }
    if (state.digest != nullptr)
        state.digest->Update(buffer, static_cast<size_t>(filled));
    // After the digest: whoever sees the count sees the digest of those bytes.
    state.delivered += filled;
    return filled;
}

off_t StreamSize(burn_source* source)
{
    return static_cast<off_t>(StateOf(source).stream->Size());
}

// The size is the stream's own: nothing is cut off and no padding added.
int KeepSize(burn_source*, off_t)
{
    return 1;
}

void NoData(burn_source*) {}

} // namespace

burn_source* NewStreamSource(StreamSourceState& state)
{
    // libburn frees the struct with free(), so it comes from calloc.
    auto* source = static_cast<burn_source*>(std::calloc(1, sizeof(burn_source)));
    if (source == nullptr)
        return nullptr;
    source->refcount = 1;
    source->read = nullptr;
    source->read_sub = nullptr;
    source->get_size = StreamSize;
    source->set_size = KeepSize;
    source->free_data = NoData;
    source->data = &state;
    source->version = 1;
    source->read_xt = ReadStream;
    source->cancel = nullptr;
    return source;
}
