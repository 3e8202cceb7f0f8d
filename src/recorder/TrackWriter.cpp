#include "recorder/TrackWriter.h"

#include "recorder/BurnEvents.h"
#include "recorder/ImageStream.h"
#include "recorder/StreamSource.h"

#include <libburn/libburn.h>

#include <algorithm>
#include <chrono>
#include <thread>

using namespace burn;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBlockBytes = 2048;
// Bytes held between the image and the drive, so that the drive never runs
// dry; the stream is read into this and nowhere else, so memory stays flat
// whatever the image's size.
constexpr int kFifoBytes = 8 * 1024 * 1024;
// Tells libburn's fifo that our source fills any amount a call, so it reads
// 32 KiB at a time rather than one sector.
constexpr int kFifoLargeReads = 1;
// The drive's state is looked at this often; a write that ends is seen
// within one poll.
constexpr auto kPoll = std::chrono::milliseconds(15);
constexpr auto kProgressEvery = std::chrono::milliseconds(500);
// The drive's speed settles after its first seconds.
constexpr auto kSpeedMeasuredAfter = std::chrono::seconds(3);
// libburn's "A drive operation is still going on".
constexpr int kStillGoingOn = 0x00020102;
constexpr auto kPreviousWriteLimit = std::chrono::seconds(10);

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// libburn's model of the disc: one session with one data track.
struct DiscModel {
    burn_disc* disc = burn_disc_create();
    burn_session* session = burn_session_create();
    burn_track* track = burn_track_create();

    DiscModel()
    {
        burn_disc_add_session(disc, session, BURN_POS_END);
        // No offset, no tail, no padding: the track is the image, exactly.
        burn_track_define_data(track, 0, 0, 0, BURN_MODE1);
    }
    ~DiscModel()
    {
        burn_track_free(track);
        burn_session_free(session);
        burn_disc_free(disc);
    }
    DiscModel(const DiscModel&) = delete;
    DiscModel& operator=(const DiscModel&) = delete;
};

} // namespace

struct TrackWriter::Watch {
    bool formatting = false;
    bool synchronizing = false;
    int64_t lastDone = -1;
    Clock::time_point lastProgress{};
    Clock::time_point writingSince{};
    bool writing = false;
};

TrackWriter::TrackWriter(burn_drive* drive, const WriteSettings& settings, const WriteEvents& events,
                         WriteControl& control, WriteSpeedTable table)
    : drive_(drive), settings_(settings), events_(events), control_(control), table_(table)
{
}

UnitResult TrackWriter::Write(ImageStream& stream, ImageDigest& digest)
{
    if (UnitResult announced = AnnounceImage(stream, events_); !announced.Ok())
        return announced;
    StreamSourceState state;
    state.stream = &stream;
    state.control = &control_;
    state.digest = &digest;
    return Run(stream, state);
}

UnitResult TrackWriter::Run(ImageStream& stream, StreamSourceState& state)
{
    burn_source* source = NewStreamSource(state);
    if (source == nullptr)
        return UnitResult::Failure(RECORDER_COMMAND_FAILED, "no memory for the disc image's source");
    burn_source* fifo = burn_fifo_source_new(source, kBlockBytes, kFifoBytes / kBlockBytes, kFifoLargeReads);
    burn_source_free(source);
    if (fifo == nullptr)
        return UnitResult::Failure(RECORDER_COMMAND_FAILED, "libburn could not set up its buffer");

    DiscModel model;
    burn_track_set_source(model.track, fifo);
    burn_session_add_track(model.session, model.track, BURN_POS_END);
    std::string refusal;
    burn_write_opts* options = NewOptions(model.disc, refusal);
    UnitResult result;
    if (options == nullptr) {
        result = UnitResult::Failure(RECORDER_COMMAND_FAILED, refusal);
    } else {
        burn_drive_set_speed(drive_, 0, static_cast<int>(settings_.speed));
        int32_t limitMs = settings_.cacheSeconds * 1000;
        events_.Send(RECORDER_EVENT_CACHE_WAIT_BEGIN, &limitMs);
        burn_fifo_fill(fifo, 0, 1);
        events_.Send(RECORDER_EVENT_CACHE_WAIT_END);
        // A stream that failed while the cache filled has put nothing on the
        // medium yet, and will not.
        result = state.failed ? UnitResult::Failure(RECORDER_COMMAND_FAILED, state.error)
                              : WriteDisc(options, model.disc, stream.Size(), state);
        burn_write_opts_free(options);
    }
    burn_source_free(fifo);
    return result;
}

burn_write_opts* TrackWriter::NewOptions(burn_disc* disc, std::string& refusal)
{
    burn_write_opts* options = burn_write_opts_new(drive_);
    burn_write_opts_set_perform_opc(options, settings_.performOpc ? 1 : 0);
    burn_write_opts_set_underrun_proof(options, settings_.underrunProof ? 1 : 0);
    // One session, closed: a DVD-Video disc takes nothing after it.
    burn_write_opts_set_multi(options, 0);
    burn_write_opts_set_simulate(options, settings_.simulate ? 1 : 0);
    burn_write_opts_set_stdio_fsync(options, 1);
    // TAO where the medium allows it, SAO with the track's fixed size where
    // it must (DVD-R sequential, DVD+R).
    char reasons[BURN_REASONS_LEN] = {};
    if (burn_write_opts_auto_write_type(options, disc, reasons, 0) == BURN_WRITE_NONE) {
        burn_write_opts_free(options);
        refusal = std::string("the medium cannot take this write: ") + reasons;
        return nullptr;
    }
    return options;
}

UnitResult TrackWriter::WriteDisc(burn_write_opts* options, burn_disc* disc, int64_t total,
                                  const StreamSourceState& state)
{
    Watch watch;
    control_.SetDrive(drive_);
    const bool started = StartWrite(options, disc);
    if (started)
        Follow(total, watch);
    control_.SetDrive(nullptr);
    UnitResult result;
    if (!started)
        result = UnitResult::Failure(RECORDER_COMMAND_FAILED, "the drive is still busy with an earlier write");
    else if (state.failed)
        result = UnitResult::Failure(RECORDER_COMMAND_FAILED, state.error);
    else if (control_.Cancelled())
        result = UnitResult::Failure(RECORDER_COMMAND_FAILED, "the write was cancelled");
    else if (burn_drive_wrote_well(drive_) != 1)
        result = UnitResult::Failure(RECORDER_COMMAND_FAILED, "writing the disc failed");
    else if (state.delivered != total)
        result = UnitResult::Failure(RECORDER_COMMAND_FAILED, "the disc image ended early");
    Conclude(result.Ok(), total, watch);
    return result;
}

void TrackWriter::Conclude(bool wroteWell, int64_t total, Watch& watch)
{
    if (wroteWell && watch.lastDone != total)
        Progress(total, total);
    // libburn may flush without a closing state we could see.
    if (wroteWell && !watch.synchronizing) {
        watch.synchronizing = true;
        events_.Send(RECORDER_EVENT_SYNCHRONIZE_BEGIN);
    }
    if (watch.synchronizing)
        events_.Send(RECORDER_EVENT_SYNCHRONIZE_END);
    if (wroteWell && !speedReported_ && watch.writing)
        ReportMeasuredSpeed(total, Seconds(Clock::now() - watch.writingSince));
}

// A write just ended is over for libburn a moment after its drive reads as
// idle; a new write in that moment is refused and is asked again.
bool TrackWriter::StartWrite(burn_write_opts* options, burn_disc* disc)
{
    const auto deadline = Clock::now() + kPreviousWriteLimit;
    for (;;) {
        DiscardLibburnMessages();
        burn_disc_write(options, disc);
        const LibburnMessage message = LatestLibburnMessage();
        if (!message.present || message.code != kStillGoingOn)
            return true;
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// libburner's loop: the write runs in libburn's thread until the drive is
// idle; what it reports on the way becomes events.
void TrackWriter::Follow(int64_t total, Watch& watch)
{
    while (burn_drive_get_status(drive_, nullptr) == BURN_DRIVE_SPAWNING)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    int profile = 0;
    char profileName[80] = {};
    burn_disc_get_profile(drive_, &profile, profileName);
    burn_progress progress{};
    burn_drive_status status;
    while ((status = burn_drive_get_status(drive_, &progress)) != BURN_DRIVE_IDLE) {
        if (control_.Cancelled())
            burn_drive_cancel(drive_); // again, in case libburn's thread began after the first
        const bool formatting = status == BURN_DRIVE_FORMATTING;
        if (formatting != watch.formatting) {
            watch.formatting = formatting;
            const bool plus = profile == 0x1a;
            if (formatting)
                events_.Send(plus ? RECORDER_EVENT_PLUS_FORMAT_BEGIN : RECORDER_EVENT_QUICK_FORMAT_BEGIN);
            else
                events_.Send(plus ? RECORDER_EVENT_PLUS_FORMAT_END : RECORDER_EVENT_QUICK_FORMAT_END);
        }
        if (status == BURN_DRIVE_WRITING || status == BURN_DRIVE_WRITING_SYNC) {
            const auto now = Clock::now();
            if (!watch.writing) {
                watch.writing = true;
                watch.writingSince = now;
            }
            const int64_t done = std::min<int64_t>(static_cast<int64_t>(progress.sector) * kBlockBytes, total);
            if (done != watch.lastDone || now - watch.lastProgress >= kProgressEvery) {
                watch.lastDone = done;
                watch.lastProgress = now;
                Progress(total, done);
            }
            if (!speedReported_ && now - watch.writingSince >= kSpeedMeasuredAfter)
                ReportMeasuredSpeed(done, Seconds(now - watch.writingSince));
        }
        const bool closing = status == BURN_DRIVE_CLOSING_TRACK || status == BURN_DRIVE_CLOSING_SESSION;
        if (closing && !watch.synchronizing) {
            watch.synchronizing = true;
            if (watch.lastDone != total && !control_.Cancelled()) {
                watch.lastDone = total;
                Progress(total, total);
            }
            events_.Send(RECORDER_EVENT_SYNCHRONIZE_BEGIN);
        }
        std::this_thread::sleep_for(kPoll);
    }
}

void TrackWriter::Progress(int64_t total, int64_t done)
{
    events_.Send(RECORDER_EVENT_PROGRESS, &total, &done);
}

void TrackWriter::ReportMeasuredSpeed(int64_t bytes, double seconds)
{
    speedReported_ = true;
    ReportWriteSpeed(events_, table_, bytes, seconds);
}
