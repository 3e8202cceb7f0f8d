#include "recorder/VideoCdMaker.h"

#include "process/ChildProcess.h"
#include "process/FindOnPath.h"
#include "recorder/BurnEvents.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace {

constexpr int kPollMs = 200;
constexpr int64_t kCdSectorBytes = 2352;
// The MPEG track starts after the ISO track and its pregap (00:04:00).
constexpr int64_t kMpegTrackSector = 300;
constexpr uint32_t kCdSingleSpeed = 176;

int64_t FileSize(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

std::string StemOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name.empty() ? "videocd" : name;
}

std::string ExitText(const std::string& tool, int status, const std::string& lastLine)
{
    std::string text = tool + " failed";
    if (status != -1 && WIFEXITED(status))
        text += " with exit code " + std::to_string(WEXITSTATUS(status));
    else if (status != -1 && WIFSIGNALED(status))
        text += ", stopped by signal " + std::to_string(WTERMSIG(status));
    if (!lastLine.empty())
        text += ": " + lastLine;
    return text;
}

// Runs the tool to its end; each line it prints goes to onLine, and onIdle
// is called whenever it stays silent a moment. False when cancelled.
struct ToolRun {
    ChildProcess child;
    std::string lastLine;
    int status = -1;

    UnitResult Run(const std::vector<std::string>& arguments, WriteControl& control,
                   const std::function<void(const std::string&)>& onLine,
                   const std::function<void()>& onIdle)
    {
        std::string cause;
        if (child.Start(arguments, &cause) != ChildProcess::StartResult::Started)
            return UnitResult::Failure(RECORDER_COMMAND_FAILED, "cannot run " + arguments[0] + ": " + cause);
        control.SetChild(&child);
        std::string pending;
        for (;;) {
            // The cancel only asked the tool to stop; here, on the writing
            // thread, it is made to.
            if (control.Cancelled() || child.StopRequested()) {
                child.Terminate();
                break;
            }
            if (!child.WaitReadable(kPollMs)) {
                if (onIdle)
                    onIdle();
                continue;
            }
            std::string got;
            const bool ended = child.ReadAvailable(got) == ChildProcess::ReadResult::Ended;
            for (char c : got) {
                // cdrdao ends its progress lines with a carriage return.
                if (c == '\n' || c == '\r') {
                    if (!pending.empty()) {
                        lastLine = pending;
                        onLine(pending);
                    }
                    pending.clear();
                } else {
                    pending += c;
                }
            }
            if (ended)
                break;
        }
        if (!pending.empty()) {
            lastLine = pending;
            onLine(pending);
        }
        control.SetChild(nullptr);
        status = child.Finish();
        if (control.Cancelled())
            return UnitResult::Failure(RECORDER_COMMAND_FAILED, "the write was cancelled");
        if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return UnitResult::Failure(RECORDER_COMMAND_FAILED, ExitText(arguments[0], status, lastLine));
        return UnitResult::Success();
    }
};

void SendCacheWait(const WriteEvents& events, int cacheSeconds)
{
    int32_t limitMs = cacheSeconds * 1000;
    events.Send(RECORDER_EVENT_CACHE_WAIT_BEGIN, &limitMs);
    events.Send(RECORDER_EVENT_CACHE_WAIT_END);
}

void SendProgress(const WriteEvents& events, int64_t total, int64_t done)
{
    events.Send(RECORDER_EVENT_PROGRESS, &total, &done);
}

UnitResult MissingTool(const std::string& tool, const char* purpose)
{
    return UnitResult::Failure(RECORDER_COMMAND_FAILED,
                               tool + " is not installed; it is needed " + purpose);
}

} // namespace

std::string VideoCdLabel(const std::string& album)
{
    std::string label;
    for (char c : album) {
        if (label.size() == 32)
            break;
        const auto u = static_cast<unsigned char>(c);
        label += std::isalnum(u) && u < 0x80 ? static_cast<char>(std::toupper(u)) : '_';
    }
    return label.empty() ? "VIDEOCD" : label;
}

UnitResult MakeVideoCdImage(VideoCdKind kind, const std::string& sourcePath, const std::string& album,
                            const std::string& folder, const WriteEvents& events, WriteControl& control,
                            VideoCdImage& image)
{
    const std::string vcdimager = FindOnPath("vcdimager");
    if (vcdimager.empty())
        return MissingTool("vcdimager", "to make a VideoCD or SuperVideoCD image");
    events.Send(RECORDER_EVENT_ANALYZE_BEGIN);
    int64_t sourceBytes = FileSize(sourcePath);
    if (sourceBytes < 0)
        return UnitResult::Failure(RECORDER_INVALID_ARGUMENT,
                                   sourcePath + ": " + std::strerror(errno));
    // MPEG sectors carry 2324 bytes each on the disc.
    int64_t total = (sourceBytes / 2324 + kMpegTrackSector + 150) * kCdSectorBytes;
    int64_t blocks = total / kCdSectorBytes;
    events.Send(RECORDER_EVENT_ANALYZE_END, &total, &blocks);

    // Made in a folder of its own beside the result, so that an older pair of
    // the same name survives a failure and the cue names the bin as it will be.
    std::string work = folder + "/.kandrix-vcd-XXXXXX";
    if (mkdtemp(work.data()) == nullptr)
        return UnitResult::Failure(RECORDER_COMMAND_FAILED,
                                   "cannot make a work folder in " + folder + ": " + std::strerror(errno));
    const std::string stem = StemOf(sourcePath);
    const std::string bin = work + "/" + stem + ".bin";
    const std::string cue = work + "/" + stem + ".cue";
    const std::vector<std::string> arguments = {
        vcdimager, "-t", kind == VideoCdKind::VideoCd ? "vcd2" : "svcd", "-l", VideoCdLabel(album),
        "--cue-file=" + cue, "--bin-file=" + bin, "--", sourcePath};

    SendCacheWait(events, 0); // the ISO track
    bool mpegTrack = false;
    int64_t lastDone = -1;
    auto follow = [&] {
        const int64_t done = std::max<int64_t>(FileSize(bin), 0);
        if (!mpegTrack && done >= kMpegTrackSector * kCdSectorBytes) {
            mpegTrack = true;
            SendCacheWait(events, 0);
        }
        if (done != lastDone) {
            lastDone = done;
            SendProgress(events, std::max(total, done), done);
        }
    };
    ToolRun run;
    UnitResult result = run.Run(arguments, control, [](const std::string&) {}, follow);
    const int64_t made = FileSize(bin);
    if (result.Ok() && made <= 0)
        result = UnitResult::Failure(RECORDER_COMMAND_FAILED, "vcdimager made no image: " + run.lastLine);
    if (result.Ok()) {
        if (!mpegTrack)
            SendCacheWait(events, 0);
        SendProgress(events, made, made);
        events.Send(RECORDER_EVENT_SYNCHRONIZE_BEGIN);
        image.bin = folder + "/" + stem + ".bin";
        image.cue = folder + "/" + stem + ".cue";
        if (std::rename(bin.c_str(), image.bin.c_str()) != 0 || std::rename(cue.c_str(), image.cue.c_str()) != 0)
            result = UnitResult::Failure(RECORDER_COMMAND_FAILED,
                                         "cannot put the image in " + folder + ": " + std::strerror(errno));
        events.Send(RECORDER_EVENT_SYNCHRONIZE_END);
    }
    unlink(bin.c_str());
    unlink(cue.c_str());
    rmdir(work.c_str());
    return result;
}

UnitResult WriteCueWithCdrdao(const std::string& device, const VideoCdImage& image,
                              const WriteSettings& settings, const WriteEvents& events,
                              WriteControl& control)
{
    const std::string cdrdao = FindOnPath("cdrdao");
    if (cdrdao.empty())
        return MissingTool("cdrdao", "to write a VideoCD or SuperVideoCD on a recorder");
    std::vector<std::string> arguments = {cdrdao, "write", "--device", device, "-n"};
    if (settings.speed > 0) {
        arguments.push_back("--speed");
        arguments.push_back(std::to_string(std::max<uint32_t>(1, settings.speed / kCdSingleSpeed)));
    }
    if (settings.simulate)
        arguments.push_back("--simulate");
    if (!settings.underrunProof) {
        arguments.push_back("--buffer-under-run-protection");
        arguments.push_back("0");
    }
    arguments.push_back(image.cue);

    int64_t bytes = std::max<int64_t>(FileSize(image.bin), 0);
    int64_t blocks = bytes / kCdSectorBytes;
    bool synchronizing = false;
    int64_t lastDone = -1;
    auto synchronize = [&] {
        synchronizing = true;
        if (lastDone != bytes)
            SendProgress(events, bytes, bytes);
        events.Send(RECORDER_EVENT_SYNCHRONIZE_BEGIN);
    };
    auto onLine = [&](const std::string& line) {
        // Writing track 01 (mode MODE2/MODE2 )...
        if (line.rfind("Writing track", 0) == 0) {
            SendCacheWait(events, settings.cacheSeconds);
            return;
        }
        // Wrote 12 of 345 MB (Buffers 100%  98%).
        long wrote = 0, of = 0;
        if (std::sscanf(line.c_str(), "Wrote %ld of %ld MB", &wrote, &of) == 2 && of > 0 && !synchronizing) {
            // Scaled onto the image's bytes, which the MB figures round.
            const int64_t done = std::min(bytes, bytes * wrote / of);
            if (done != lastDone) {
                lastDone = done;
                SendProgress(events, bytes, done);
            }
            return;
        }
        if (!synchronizing && line.find("Flushing cache") != std::string::npos)
            synchronize();
    };
    events.Send(RECORDER_EVENT_ANALYZE_BEGIN);
    events.Send(RECORDER_EVENT_ANALYZE_END, &bytes, &blocks);
    ToolRun run;
    UnitResult result = run.Run(arguments, control, onLine, nullptr);
    if (result.Ok() && !synchronizing)
        synchronize();
    if (synchronizing)
        events.Send(RECORDER_EVENT_SYNCHRONIZE_END);
    return result;
}
