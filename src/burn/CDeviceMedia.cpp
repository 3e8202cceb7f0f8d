// The disc in a recorder: its type, its tracks, how much is recorded on it,
// and the write speeds it can take.

#include "burn/CDevice.h"

#include "core/Log.h"
#include "recorder/DiscTypes.h"

#include <algorithm>
#include <vector>

namespace {

// The tracks' lengths times their block sizes.
double RecordedBytes(const std::vector<unsigned char>& toc)
{
    double size = 0.0;
    const int tracks = toc[TOC_TRACK_COUNT_OFFSET];
    for (int k = 0; k < tracks; ++k) {
        const size_t base = TOC_TRACK_STRIDE * static_cast<size_t>(k);
        const uint32_t start = ReadRecord32(toc.data(), TOC_START_OFFSET + base);
        const uint32_t end = ReadRecord32(toc.data(), TOC_END_OFFSET + base);
        const uint32_t bytesPerBlock = ReadRecord32(toc.data(), TOC_BYTES_PER_BLOCK_OFFSET + base);
        size += static_cast<double>(static_cast<int32_t>(end - start)) * bytesPerBlock;
    }
    return size;
}

} // namespace

bool CDevice::RefreshDiscType()
{
    CallResult create;
    CallResult ready;
    Access access;
    {
        std::lock_guard<std::mutex> lock(ioMutex_);
        access = AccessLocked(create);
        if (access == Access::Ready) {
            ready.End(library_.TestUnitReady(grabber_, ready.Report()));
            Publish(ready);
            const int discType = ready.Ok() ? library_.GetInsertedDiscType(grabber_) : DISC_TYPE_NONE;
            std::lock_guard<std::mutex> factsLock(factsMutex_);
            facts_.discType = discType;
        }
    }
    if (access != Access::Ready)
        return Refused(access, create);
    return ready.Ok();
}

bool CDevice::GetTrackInfoLocked(uint32_t track, TrackInfoRecord& record, CallResult& result)
{
    result.End(library_.GetTrackInformation(grabber_, result.Report(), track, record.data()));
    Publish(result);
    return result.Ok();
}

void CDevice::LogTrackInfoFailure(const CallResult& result)
{
    LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR,
              "\n\nCDevice::GetTrackInfo: StarBurn_CdvdBurnerGrabber_GetTrackInformation() failed, exception %ld, status %ld, text '%s'\n",
              static_cast<long>(result.exception), static_cast<long>(result.status), result.text);
}

bool CDevice::GetTrackInfo(uint32_t track, TrackInfoRecord& record)
{
    CallResult result;
    const Access access =
        GrabberCall(result, [&](RecorderLibrary& library, GrabberHandle grabber, const CallReport& report) {
            return library.GetTrackInformation(grabber, report, track, record.data());
        });
    if (access != Access::Ready)
        return false;
    if (!result.Ok())
        LogTrackInfoFailure(result);
    return result.Ok();
}

bool CDevice::RefreshMediaSize()
{
    CallResult create;
    CallResult failure;
    Access access;
    bool known = true;
    bool sized = false;
    bool trackInfoFailed = false;
    double size = 0.0;
    int64_t capacity = 0;
    {
        std::lock_guard<std::mutex> lock(ioMutex_);
        access = AccessLocked(create);
        CallResult ready;
        if (access == Access::Ready) {
            ready.End(library_.TestUnitReady(grabber_, ready.Report()));
            Publish(ready);
        }
        if (access == Access::Ready && ready.Ok()) {
            // Not published: a library that cannot tell is no failed query.
            CallResult space;
            if (!space.End(library_.GetMediaCapacity(grabber_, space.Report(), &capacity)))
                capacity = 0;
            const int discType = library_.GetInsertedDiscType(grabber_);
            if (discType >= DISC_TYPE_DVDRW_RO && discType <= DISC_TYPE_OVERWRITABLE) {
                TrackInfoRecord record{};
                // An unreadable recorded area is not an empty one: the disc may
                // hold data that a burn would overwrite.
                sized = GetTrackInfoLocked(TRACK_RECORDED_AREA, record, failure);
                trackInfoFailed = !sized;
                if (sized)
                    size = ReadRecord32(record.data(), TRACK_INFO_BLOCKS_OFFSET) * 2048.0;
            } else {
                std::vector<unsigned char> toc(RECORDER_TOC_SIZE, 0);
                sized = failure.End(library_.GetTOCInformation(grabber_, failure.Report(), toc.data()));
                Publish(failure);
                if (sized)
                    size = RecordedBytes(toc);
            }
            // Nor is an unreadable table of contents an empty one.
            known = sized;
        }
        if (access != Access::Busy) {
            std::lock_guard<std::mutex> factsLock(factsMutex_);
            // A failed track query keeps the size it had.
            if (!trackInfoFailed)
                facts_.mediaSize = size;
            facts_.mediaSizeKnown = known;
            facts_.mediaCapacity = capacity;
        }
    }
    if (access != Access::Ready)
        return Refused(access, create);
    if (trackInfoFailed)
        LogTrackInfoFailure(failure);
    else if (!sized && failure.exception != RECORDER_SUCCESS)
        LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR,
                  "\nRefreshMediaSize(): StarBurn_CdvdBurnerGrabber_GetTOCInformation() failed, exception %ld, status %ld, text '%s'\n",
                  static_cast<long>(failure.exception), static_cast<long>(failure.status), failure.text);
    return sized;
}

bool CDevice::RefreshMediaInfo()
{
    RefreshDiscType();
    RefreshMediaSize();
    const bool blank = ProbeBlank();
    std::lock_guard<std::mutex> lock(factsMutex_);
    facts_.discBlank = blank;
    return true;
}

bool CDevice::IsDiscBlank() const
{
    std::lock_guard<std::mutex> lock(factsMutex_);
    return facts_.discBlank;
}

bool CDevice::ProbeBlank()
{
    const RecorderFacts facts = GetFacts();
    switch (facts.discType) {
    case DISC_TYPE_CDR:
    case DISC_TYPE_CDRW:
    case DISC_TYPE_DVDR:
    case DISC_TYPE_DVDPLUSR:
    case DISC_TYPE_DVD_DL: {
        TrackInfoRecord record{};
        return GetTrackInfo(1, record) && record[TRACK_INFO_BLANK_OFFSET] != 0;
    }
    case DISC_TYPE_DVDROM:
    case DISC_TYPE_DVDRW_RO:
    case DISC_TYPE_DVDPLUSRW:
    case DISC_TYPE_OVERWRITABLE:
        return facts.mediaSizeKnown && facts.mediaSize == 0.0;
    default:
        return false;
    }
}

bool CDevice::QuerySpeedsLocked(uint32_t& writeInForce, uint32_t& highest, CallResult& result)
{
    uint32_t readInForce = 0, highestRead = 0;
    result.End(library_.GetSpeeds(grabber_, result.Report(), &readInForce, &highestRead, &writeInForce, &highest));
    Publish(result);
    return result.Ok();
}

bool CDevice::RefreshWriteSpeeds()
{
    SpeedList list;
    CallResult create;
    CallResult result;
    Access access;
    uint32_t writeInForce = 0, highest = 0;
    {
        std::lock_guard<std::mutex> lock(ioMutex_);
        access = AccessLocked(create);
        if (access == Access::Ready)
            QuerySpeedsLocked(writeInForce, highest, result);
    }
    const bool queried = access == Access::Ready && result.Ok();
    if (queried)
        ProbeDiscSpeeds(highest, list);
    // A recorder busy writing keeps the speeds it had; any other failure
    // leaves none to offer.
    if (access != Access::Busy) {
        std::lock_guard<std::mutex> lock(factsMutex_);
        facts_.writeSpeeds = list;
    }
    if (access != Access::Ready)
        return Refused(access, create);
    if (!queried)
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO,
                  "\n\nGetWriteSpeeds(): StarBurn_CdvdBurnerGrabber_GetSpeeds() failed, exception %ld, status %ld, text '%s'\n",
                  static_cast<long>(result.exception), static_cast<long>(result.status), result.text);
    return queried;
}

void CDevice::ProbeDiscSpeeds(uint32_t highest, SpeedList& list)
{
    switch (GetDiscType()) {
    case DISC_TYPE_CDR:
    case DISC_TYPE_CDRW:
    case 11: // two CD kinds of the library that no libburn profile maps to
    case 12:
        ProbeSpeeds(CD_SPEED_TABLE, CD_SPEED_TABLE_SIZE, highest, list);
        break;
    case DISC_TYPE_DVDR:
    case DISC_TYPE_DVDRAM:
    case DISC_TYPE_DVDRW_RO:
    case DISC_TYPE_DVDPLUSRW:
    case DISC_TYPE_OVERWRITABLE:
    case DISC_TYPE_DVDPLUSR:
    case DISC_TYPE_DVD_DL:
        ProbeSpeeds(DVD_SPEED_TABLE, DVD_SPEED_TABLE_SIZE, highest, list);
        break;
    case DISC_TYPE_NONE:
        ListNominalSpeeds(highest, list);
        break;
    default:
        break;
    }
}

// Asks the recorder for each nominal speed up to its highest and keeps the
// speeds it really puts in force, each labelled with the nearest nominal one.
// Every request takes the I/O lock on its own, so other calls on the unit
// need not wait for the whole probe.
void CDevice::ProbeSpeeds(const SpeedEntry* table, size_t rows, uint32_t highest, SpeedList& list)
{
    if (highest < table[0].speed)
        return;
    uint32_t previous = 0;
    for (size_t i = 0; i < rows && table[i].speed <= highest; ++i) {
        if (table[i].speed <= previous)
            continue;
        uint32_t speed = table[i].speed;
        if (SetSpeed(speed) && speed != previous) {
            const char* label = NearestSpeedLabel(table, rows, speed);
            const bool listed = std::any_of(list.begin(), list.end(),
                                            [speed](const SpeedEntry& e) { return e.speed == speed; });
            if (label != nullptr && !listed)
                list.push_back({speed, label});
        }
        previous = speed;
    }
}

void CDevice::ListNominalSpeeds(uint32_t highest, SpeedList& list)
{
    if (highest < CD_SPEED_TABLE[0].speed)
        return;
    for (const SpeedEntry& row : CD_SPEED_TABLE) {
        if (row.speed <= highest)
            list.push_back(row);
    }
}

bool CDevice::SetSpeed(uint32_t& speed)
{
    CallResult create;
    CallResult result;
    Access access;
    uint32_t writeInForce = 0, highest = 0;
    bool set = false;
    {
        std::lock_guard<std::mutex> lock(ioMutex_);
        access = AccessLocked(create);
        if (access == Access::Ready) {
            result.End(library_.SetSpeeds(grabber_, result.Report(), RECORDER_MAX_READ_SPEED, speed));
            Publish(result);
            set = result.Ok() && QuerySpeedsLocked(writeInForce, highest, result);
        }
    }
    if (access != Access::Ready)
        return Refused(access, create);
    if (set)
        speed = writeInForce;
    return set;
}
