#include "recorder/DriveUnit.h"

#include "process/FindOnPath.h"
#include "recorder/DiscTypes.h"
#include "recorder/ImageStream.h"
#include "recorder/ReadBack.h"
#include "recorder/RecorderRecords.h"
#include "recorder/TrackWriter.h"
#include "recorder/VideoCdMaker.h"
#include "recorder/VolumeProbe.h"

#include <libburn/libburn.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace burn;

namespace {

constexpr int kBlockBytes = 2048;
constexpr int kAudioBlockBytes = 2352;

struct TrackEntry {
    int start;
    int blocks;
    int bytesPerBlock;
};

// The tracks of all sessions in disc order; empty for a blank disc.
std::vector<TrackEntry> TracksOf(burn_drive* drive)
{
    std::vector<TrackEntry> tracks;
    burn_disc* disc = burn_drive_get_disc(drive);
    if (disc == nullptr)
        return tracks;
    int sessionCount = 0;
    burn_session** sessions = burn_disc_get_sessions(disc, &sessionCount);
    for (int s = 0; s < sessionCount; ++s) {
        int trackCount = 0;
        burn_track** sessionTracks = burn_session_get_tracks(sessions[s], &trackCount);
        for (int t = 0; t < trackCount; ++t) {
            burn_toc_entry entry{};
            burn_track_get_entry(sessionTracks[t], &entry);
            const bool data = (entry.control & 4) != 0;
            tracks.push_back({entry.start_lba, entry.track_blocks, data ? kBlockBytes : kAudioBlockBytes});
        }
    }
    burn_disc_free(disc);
    return tracks;
}

uint32_t ClampSpeed(int speed)
{
    return speed > 0 ? static_cast<uint32_t>(speed) : 0;
}

bool IsCdProfile(int profile)
{
    return profile >= 0x08 && profile <= 0x0a;
}

UnitResult Fail(RecorderException exception, const std::string& text)
{
    return UnitResult::Failure(exception, text);
}

} // namespace

DriveUnit::DriveUnit(UnitIdentity identity, std::string path)
    : RecorderUnit(std::move(identity)), path_(std::move(path))
{
}

DriveUnit::~DriveUnit()
{
    Release(false);
}

UnitResult DriveUnit::Acquire()
{
    return Grab(false);
}

UnitResult DriveUnit::Grab(bool load)
{
    if (grabbed_ != nullptr)
        return UnitResult::Success();
    DiscardLibburnMessages();
    std::string path = path_;
    burn_drive_info* info = nullptr;
    if (burn_drive_scan_and_grab(&info, path.data(), load ? 1 : 0) != 1)
        return Fail(RECORDER_GRAB_FAILED, "could not acquire the drive " + path_);
    grabbed_ = info;
    return UnitResult::Success();
}

void DriveUnit::LetGo()
{
    Release(false);
}

void DriveUnit::Release(bool eject)
{
    if (grabbed_ == nullptr)
        return;
    burn_drive_release(grabbed_[0].drive, eject ? 1 : 0);
    burn_drive_info_free(grabbed_);
    grabbed_ = nullptr;
}

bool DriveUnit::Acquired() const
{
    return grabbed_ != nullptr;
}

burn_drive* DriveUnit::Drive() const
{
    return grabbed_ != nullptr ? grabbed_[0].drive : nullptr;
}

int DriveUnit::Profile() const
{
    int profile = 0;
    char name[80] = {};
    if (burn_disc_get_profile(Drive(), &profile, name) != 1)
        return 0;
    return profile;
}

// libburn calls these media blank whatever file system they hold.
bool DriveUnit::Overwritable() const
{
    const int profile = Profile();
    return profile == 0x12 || profile == 0x13 || profile == 0x1a;
}

UnitResult DriveUnit::Ready()
{
    burn_drive* drive = Drive();
    burn_disc_status status = burn_disc_get_status(drive);
    if (status == BURN_DISC_UNREADY || status == BURN_DISC_EMPTY) {
        // A disc inserted since the drive was acquired is seen only after a
        // fresh look.
        burn_drive_re_assess(drive, 0);
        status = burn_disc_get_status(drive);
    }
    if (status == BURN_DISC_EMPTY)
        return Fail(RECORDER_UNIT_NOT_READY, "no disc in " + path_);
    if (status == BURN_DISC_UNREADY || status == BURN_DISC_UNGRABBED)
        return Fail(RECORDER_UNIT_NOT_READY, path_ + " is not ready");
    return UnitResult::Success();
}

int DriveUnit::DiscType()
{
    burn_drive* drive = Drive();
    if (drive == nullptr)
        return DISC_TYPE_NONE;
    const burn_disc_status status = burn_disc_get_status(drive);
    if (status == BURN_DISC_EMPTY || status == BURN_DISC_UNREADY || status == BURN_DISC_UNGRABBED)
        return DISC_TYPE_NONE;
    int profile = 0;
    char name[80] = {};
    if (burn_disc_get_profile(drive, &profile, name) != 1)
        return DISC_TYPE_NONE;
    return DiscTypeFromProfile(profile);
}

UnitResult DriveUnit::Capacity(int64_t& bytes)
{
    burn_drive* drive = Drive();
    const off_t space = drive != nullptr ? burn_disc_available_space(drive, nullptr) : 0;
    bytes = space > 0 ? static_cast<int64_t>(space) : 0;
    return UnitResult::Success();
}

UnitResult DriveUnit::Speeds(UnitSpeeds& speeds)
{
    speeds.highestWrite = ClampSpeed(burn_drive_get_write_speed(Drive()));
    speeds.read = ClampSpeed(burn_drive_get_read_speed(Drive()));
    return UnitResult::Success();
}

UnitResult DriveUnit::SetWriteSpeed(uint32_t requested, uint32_t& inForce)
{
    burn_drive* drive = Drive();
    DiscardLibburnMessages();
    burn_drive_set_speed(drive, 0, static_cast<int>(requested));
    if (LatestLibburnMessage().present)
        return Fail(RECORDER_COMMAND_FAILED, "the drive refused the write speed");
    // libburn does not read the speed back; the drive runs at the fastest of
    // its reported speeds that does not exceed the request, at its slowest
    // below them all, and as asked when it reports none.
    burn_speed_descriptor* best = nullptr;
    inForce = 0;
    if (burn_drive_get_best_speed(drive, static_cast<int>(requested), &best, 0) > 0 && best != nullptr)
        inForce = ClampSpeed(best->write_speed);
    if (inForce == 0)
        inForce = ClampSpeed(burn_drive_get_min_write_speed(drive));
    if (inForce == 0)
        inForce = requested;
    return UnitResult::Success();
}

UnitResult DriveUnit::TrackInformation(uint32_t track, unsigned char* record)
{
    if (UnitResult ready = Ready(); !ready.Ok())
        return ready;
    burn_drive* drive = Drive();
    const std::vector<TrackEntry> tracks = TracksOf(drive);
    const burn_disc_status status = burn_disc_get_status(drive);
    const bool writable = status == BURN_DISC_BLANK || status == BURN_DISC_APPENDABLE;
    if (track == TRACK_RECORDED_AREA) {
        uint32_t recorded = 0;
        for (const TrackEntry& t : tracks)
            recorded += static_cast<uint32_t>(std::max(t.blocks, 0));
        uint32_t volume = 0;
        if (Overwritable() && FindRecordedVolume(drive, volume))
            recorded = std::max(recorded, volume);
        record[TRACK_INFO_BLANK_OFFSET] = recorded == 0 ? 1 : 0;
        WriteRecord32(record, TRACK_INFO_BLOCKS_OFFSET, recorded);
        return UnitResult::Success();
    }
    if (track >= 1 && track <= tracks.size()) {
        WriteRecord32(record, TRACK_INFO_BLOCKS_OFFSET,
                      static_cast<uint32_t>(std::max(tracks[track - 1].blocks, 0)));
        return UnitResult::Success();
    }
    if (track == tracks.size() + 1 && writable) {
        // The track still to be written: blank, with the free space as size,
        // unless an overwritable medium holds a file system libburn missed.
        uint32_t volume = 0;
        const bool holdsData = Overwritable() && FindRecordedVolume(drive, volume);
        const off_t space = burn_disc_available_space(drive, nullptr);
        record[TRACK_INFO_BLANK_OFFSET] = holdsData ? 0 : 1;
        WriteRecord32(record, TRACK_INFO_BLOCKS_OFFSET, static_cast<uint32_t>(space / kBlockBytes));
        return UnitResult::Success();
    }
    char text[64];
    std::snprintf(text, sizeof text, "the disc has no track %u", track);
    return Fail(RECORDER_NO_SUCH_TRACK, text);
}

UnitResult DriveUnit::TableOfContents(unsigned char* record)
{
    if (UnitResult ready = Ready(); !ready.Ok())
        return ready;
    const std::vector<TrackEntry> tracks = TracksOf(Drive());
    const size_t count = std::min(tracks.size(), TOC_MAX_TRACKS);
    record[TOC_TRACK_COUNT_OFFSET] = static_cast<unsigned char>(count);
    for (size_t k = 0; k < count; ++k) {
        const size_t base = TOC_TRACK_STRIDE * k;
        WriteRecord32(record, TOC_START_OFFSET + base, static_cast<uint32_t>(tracks[k].start));
        WriteRecord32(record, TOC_END_OFFSET + base,
                      static_cast<uint32_t>(tracks[k].start + tracks[k].blocks));
        WriteRecord32(record, TOC_BYTES_PER_BLOCK_OFFSET + base,
                      static_cast<uint32_t>(tracks[k].bytesPerBlock));
    }
    return UnitResult::Success();
}

UnitResult DriveUnit::Eject()
{
    // libburn ejects only when it lets go of a drive; the drive is acquired
    // again at once so the grabbers of this unit stay usable.
    Release(true);
    UnitResult again = Acquire();
    if (!again.Ok())
        return Fail(again.exception, "the disc was ejected, but " + again.text);
    return UnitResult::Success();
}

UnitResult DriveUnit::UnderrunProtection(bool& supported)
{
    burn_write_opts* options = burn_write_opts_new(Drive());
    if (options == nullptr)
        return Fail(RECORDER_COMMAND_FAILED, "no write options for the drive");
    supported = burn_write_opts_set_underrun_proof(options, 1) == 1;
    burn_write_opts_free(options);
    return UnitResult::Success();
}

UnitResult DriveUnit::WriteModes(UnitWriteModes& modes)
{
    burn_multi_caps* caps = nullptr;
    const int result = burn_disc_get_multi_caps(Drive(), BURN_WRITE_NONE, &caps, 0);
    if (result < 0) {
        burn_disc_free_multi_caps(&caps);
        return Fail(RECORDER_COMMAND_FAILED, "the drive's write modes could not be read");
    }
    modes.trackAtOnce = result > 0 && caps->might_do_tao > 0;
    modes.sessionAtOnce = result > 0 && caps->might_do_sao > 0;
    modes.raw = result > 0 && caps->might_do_raw > 0;
    burn_disc_free_multi_caps(&caps);
    return UnitResult::Success();
}

UnitResult DriveUnit::WriteImage(ImageStream& stream, const WriteSettings& settings,
                                 const WriteEvents& events)
{
    KeepDigest(nullptr);
    if (UnitResult ready = Ready(); !ready.Ok())
        return ready;
    const auto table = IsCdProfile(Profile()) ? WriteSpeedTable::Cd : WriteSpeedTable::Dvd;
    TrackWriter writer(Drive(), settings, events, Control(), table);
    auto digest = std::make_unique<ImageDigest>(stream.Size());
    UnitResult result = writer.Write(stream, *digest);
    KeepDigest(result.Ok() ? std::move(digest) : nullptr);
    // Stopped from outside (the user quit, the program ends): nothing stays held.
    if (Control().Cancelled())
        Release(false);
    return result;
}

// libburn reads what the drive says it holds; a drive may tell the new
// session's size only after a fresh look, some only after the medium was
// loaded again.
bool DriveUnit::ReadableUpTo(int64_t bytes)
{
    if (Drive() == nullptr)
        return false;
    burn_drive_re_assess(Drive(), 0);
    int capacity = 0;
    return burn_get_read_capacity(Drive(), &capacity, 0) == 1 && static_cast<int64_t>(capacity) * kBlockBytes >= bytes;
}

UnitResult DriveUnit::VerifyLastWrite(const WriteEvents& events, std::string& md5)
{
    const ImageDigest* written = LastDigest();
    if (written == nullptr)
        return Fail(RECORDER_COMMAND_FAILED, "nothing was written to read back");
    if (!ReadableUpTo(written->Bytes())) {
        Release(true);
        if (UnitResult loaded = Grab(true); !loaded.Ok())
            return Fail(loaded.exception, "the disc could not be loaded again to read it back: " + loaded.text);
        if (!ReadableUpTo(written->Bytes()))
            return Fail(RECORDER_COMMAND_FAILED, "the drive does not read back what it wrote on " + path_);
    }
    DriveReadBack source(Drive());
    UnitResult result = VerifyReadBack(source, *written, Control(), events, md5);
    if (Control().Cancelled())
        Release(false);
    return result;
}

UnitResult DriveUnit::WriteVideoCd(VideoCdKind kind, const std::string& sourcePath,
                                   const std::string& album, const WriteSettings& settings,
                                   const WriteEvents& events)
{
    KeepDigest(nullptr);
    if (FindOnPath("cdrdao").empty())
        return Fail(RECORDER_COMMAND_FAILED,
                    "cdrdao is not installed; it is needed to write a VideoCD or SuperVideoCD on a recorder");
    const char* tmp = std::getenv("TMPDIR");
    std::string work = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/kandrix-vcd-XXXXXX";
    if (mkdtemp(work.data()) == nullptr)
        return Fail(RECORDER_COMMAND_FAILED, "cannot make a work folder for the VideoCD image");
    VideoCdImage image;
    // The image is made quietly; the events are those of the write itself.
    UnitResult result = MakeVideoCdImage(kind, sourcePath, album, work, WriteEvents{}, Control(), image);
    if (result.Ok()) {
        // cdrdao needs the drive to itself.
        Release(false);
        result = WriteCueWithCdrdao(path_, image, settings, events, Control());
        if (!Control().Cancelled()) {
            UnitResult again = Acquire();
            if (result.Ok() && !again.Ok())
                result = Fail(again.exception, "the disc was written, but " + again.text);
        }
    }
    if (Control().Cancelled())
        Release(false);
    unlink(image.bin.c_str());
    unlink(image.cue.c_str());
    rmdir(work.c_str());
    return result;
}
