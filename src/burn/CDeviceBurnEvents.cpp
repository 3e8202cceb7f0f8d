// The events of a running burn, as the recording library reports them from
// inside its write call: logged, and turned into the record's progress.

#include "burn/CDevice.h"

#include "core/Log.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

namespace {

constexpr int EVENT_TARGET_FILE_ANALYZE_BEGIN = 4;
constexpr int EVENT_TARGET_FILE_ANALYZE_END = 5;
constexpr int EVENT_WAIT_CACHE_FULL_BEGIN = 6;
constexpr int EVENT_WAIT_CACHE_FULL_END = 7;
constexpr int EVENT_SYNCHRONIZE_CACHE_BEGIN = 8;
constexpr int EVENT_SYNCHRONIZE_CACHE_END = 9;
constexpr int EVENT_PROGRESS = 12;
constexpr int EVENT_DVDPLUSRW_FORMAT_BEGIN = 21;
constexpr int EVENT_DVDPLUSRW_FORMAT_END = 22;
constexpr int EVENT_CN_DVD_MEDIA_PADDING_SIZE = 26;
constexpr int EVENT_DVD_MEDIA_PADDING_BEGIN = 27;
constexpr int EVENT_DVD_MEDIA_PADDING_END = 28;
constexpr int EVENT_DVDRW_QUICK_FORMAT_BEGIN = 30;
constexpr int EVENT_DVDRW_QUICK_FORMAT_END = 31;
// The recording library's own: how fast the write went, and the MD5 of the
// image file it wrote.
constexpr int EVENT_WRITE_SPEED = 40;
constexpr int EVENT_IMAGE_MD5 = 41;

// Event parameters point to the library's values; a missing one reads as 0.
int64_t Value64(const void* param)
{
    int64_t value = 0;
    if (param != nullptr)
        std::memcpy(&value, param, sizeof value);
    return value;
}

long Value32(const void* param)
{
    int32_t value = 0;
    if (param != nullptr)
        std::memcpy(&value, param, sizeof value);
    return value;
}

} // namespace

void CDevice::DVDVideoBurnEvent(int reason, void* context, void* param1, void* param2)
{
    if (context != nullptr)
        static_cast<CDevice*>(context)->DVDVideoBurnCallback(reason, param1, param2);
}

void CDevice::BurnEvent(int reason, void* context, void* param1, void* param2)
{
    if (context != nullptr)
        static_cast<CDevice*>(context)->BurnCallback(reason, param1, param2);
}

void CDevice::DVDVideoBurnCallback(int reason, void* param1, void* param2)
{
    HandleBurnEvent("CDevice::DVDVideoBurnCallback()", reason, param1, param2, false);
}

void CDevice::BurnCallback(int reason, void* param1, void* param2)
{
    HandleBurnEvent("CDevice::BurnCallback()", reason, param1, param2, true);
}

void CDevice::HandleBurnEvent(const char* who, int reason, void* param1, void* param2, bool videoCd)
{
    switch (reason) {
    case EVENT_TARGET_FILE_ANALYZE_BEGIN:
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "%s: TARGET_FILE_ANALYZE_BEGIN\n", who);
        return;
    case EVENT_TARGET_FILE_ANALYZE_END:
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "%s: Target file size in UCHARs %" PRId64 ", LBs %" PRId64 "\n", who,
                  Value64(param1), Value64(param2));
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "%s: TARGET_FILE_ANALYZE_END\n", who);
        return;
    case EVENT_WAIT_CACHE_FULL_BEGIN: {
        const long limit = Value32(param1);
        if (videoCd) {
            // A VideoCD is written as an ISO track, then an MPEG track, each
            // starting with a cache fill.
            const int32_t track = trackCounter_.fetch_add(1) + 1;
            const char* text = track == 1 ? "Writing ISO track..." : track == 2 ? "Writing MPEG track..." : nullptr;
            if (text != nullptr) {
                LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "%s", text);
                LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "%s", text);
            }
        }
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "%s: WAIT_CACHE_FULL_BEGIN\n", who);
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "%s: Waiting for cache full not more then %ld ms... ", who, limit);
        if (videoCd)
            LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Waiting for cache full not more then %ld ms... ", limit);
        return;
    }
    case EVENT_WAIT_CACHE_FULL_END:
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "OK!\n%s: WAIT_CACHE_FULL_END\n", who);
        LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Cache is Full.");
        LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Burning...");
        return;
    case EVENT_SYNCHRONIZE_CACHE_BEGIN:
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "\n%s: SYNCHRONIZE_CACHE_BEGIN\n", who);
        return;
    case EVENT_SYNCHRONIZE_CACHE_END:
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "%s: SYNCHRONIZE_CACHE_END\n", who);
        return;
    case EVENT_PROGRESS:
        HandleProgress(param1, param2);
        return;
    case EVENT_DVDPLUSRW_FORMAT_BEGIN:
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "\n%s: DVDPLUSRW_FORMAT_BEGIN\n", who);
        return;
    case EVENT_DVDPLUSRW_FORMAT_END:
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "%s: DVDPLUSRW_FORMAT_END\n", who);
        return;
    case EVENT_WRITE_SPEED:
        if (param2 != nullptr)
            LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Writing at %s (%ld KBps)", static_cast<const char*>(param2),
                      Value32(param1));
        return;
    case EVENT_IMAGE_MD5:
        // With a verify to come, its line gives the MD5 once it is proven.
        if (param1 != nullptr && !verifyAfterWrite_.load())
            LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Image MD5: %s", static_cast<const char*>(param1));
        return;
    default:
        break;
    }
    if (videoCd)
        return;
    switch (reason) {
    case EVENT_CN_DVD_MEDIA_PADDING_SIZE:
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "%s: Target file size in LBs %" PRId64 ", track padding size in LBs %ld\n",
                  who, Value64(param1), Value32(param2));
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "%s: CN_DVD_MEDIA_PADDING_SIZE\n", who);
        break;
    case EVENT_DVD_MEDIA_PADDING_BEGIN:
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "%s: DVD_MEDIA_PADDING_BEGIN\n", who);
        break;
    case EVENT_DVD_MEDIA_PADDING_END:
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "%s: DVD_MEDIA_PADDING_END\n", who);
        break;
    case EVENT_DVDRW_QUICK_FORMAT_BEGIN:
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "\n%s: DVDRW_QUICK_FORMAT_BEGIN\n", who);
        break;
    case EVENT_DVDRW_QUICK_FORMAT_END:
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "%s: DVDRW_QUICK_FORMAT_END\n", who);
        break;
    default:
        break;
    }
}

void CDevice::HandleProgress(void* param1, void* param2)
{
    const int64_t total = Value64(param1);
    const int64_t done = Value64(param2);
    // Nothing to measure against yet.
    if (total == 0)
        return;
    // Wide enough that a large amount times 100 cannot overflow; a garbled
    // amount past the total or below zero must not push the bar off its range.
    const __int128 exact = static_cast<__int128>(done) * 100 / total;
    const int64_t percent = static_cast<int64_t>(std::clamp<__int128>(exact, 0, 100));
    if (progress_.exchange(percent) == percent)
        return;
    LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "%" PRId64 "%% ", percent);
}
