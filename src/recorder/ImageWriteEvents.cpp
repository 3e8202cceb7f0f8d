#include "recorder/ImageWriteEvents.h"

#include "recorder/BurnEvents.h"
#include "recorder/ImageStream.h"
#include "recorder/SpeedTables.h"
#include "recorder/WriteControl.h"

#include <cstdio>

namespace {

constexpr int64_t kBlockBytes = 2048;

} // namespace

UnitResult AnnounceImage(const ImageStream& stream, const WriteEvents& events)
{
    int64_t bytes = stream.Size();
    int64_t blocks = bytes / kBlockBytes;
    events.Send(RECORDER_EVENT_ANALYZE_BEGIN);
    if (bytes <= 0 || bytes % kBlockBytes != 0) {
        char text[96];
        std::snprintf(text, sizeof text, "the disc image has an unusable size of %lld bytes",
                      static_cast<long long>(bytes));
        return UnitResult::Failure(RECORDER_INVALID_ARGUMENT, text);
    }
    events.Send(RECORDER_EVENT_ANALYZE_END, &bytes, &blocks);
    return UnitResult::Success();
}

void ReportWriteSpeed(const WriteEvents& events, WriteSpeedTable table, int64_t bytes, double seconds)
{
    if (bytes <= 0 || seconds <= 0)
        return;
    auto kbps = static_cast<uint32_t>(static_cast<double>(bytes) / seconds / 1000.0);
    const SpeedEntry* rows = table == WriteSpeedTable::Cd ? CD_SPEED_TABLE : DVD_SPEED_TABLE;
    const size_t count = table == WriteSpeedTable::Cd ? CD_SPEED_TABLE_SIZE : DVD_SPEED_TABLE_SIZE;
    const char* label = NearestSpeedLabel(rows, count, kbps);
    char faster[32];
    if (label == nullptr) {
        // Faster than any nominal row (an image file on a fast disk).
        std::snprintf(faster, sizeof faster, "%.1fx", static_cast<double>(kbps) / rows[0].speed);
        label = faster;
    }
    events.Send(RECORDER_EVENT_WRITE_SPEED, &kbps, const_cast<char*>(label));
}
