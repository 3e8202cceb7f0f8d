// Conversion benchmark: the same clips converted by the conversion worker
// (its jobs, mg.exe, the runner's chunk loop with its pauses) and by FFmpeg
// alone with the same options, its output discarded. Prints figures only.

#include "core/ConversionSettings.h"
#include "convert/ConversionRequest.h"
#include "convert/ConversionWorker.h"
#include "convert/EncoderDialect.h"
#include "convert/EncodingJob.h"
#include "platform/JobQuestions.h"
#include "platform/Paths.h"
#include "process/FindOnPath.h"
#include "process/Spawn.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kClipSeconds = 10;
constexpr int kClipCount = 3;
constexpr int kRounds = 3;

struct Format {
    const char* name;
    int task;
    int outputFormat; // task 2
    int tvSystem;     // task 0
};

const Format kFormats[] = {
    {"DVD (PAL, task 0)", CT_VIDEO2DVD, 0, 0},
    {"Strand MPEG 1", CT_VIDEO2MPG, 0, 0},
    {"NTSC_SVCD", CT_VIDEO2MPG, 6, 1},
};

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs a program from PATH with its output thrown away; its exit code, -1
// otherwise.
int RunQuietly(std::vector<std::string> argv)
{
    SpawnRequest request;
    request.program = FindOnPath(argv[0]);
    request.arguments = std::move(argv);
    request.output = request.error = kNullStream;
    const SpawnedChild child = Spawn(request);
    if (child.failure != SpawnedChild::Failure::None)
        return -1;
    close(child.pidfd);
    int status = 0;
    if (waitpid(child.pid, &status, 0) != child.pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

bool MakeClip(const std::string& path)
{
    std::string length = std::to_string(kClipSeconds);
    return RunQuietly({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=" + length,
                       "-f", "lavfi", "-i", "sine=frequency=440:duration=" + length, "-c:v", "mpeg4", "-q:v", "3",
                       "-c:a", "aac", "-shortest", path}) == 0;
}

// The page's part, reduced to what costs nothing.
class QuietView : public ConversionView {
public:
    void ShowFile(const std::string&, int, int) override {}
    void ShowPercent(int) override {}
    void ShowTotal(int) override {}
    void AddLogLine(const std::string& text) override { logBytes += text.size(); }
    JobQuestions& Questions() override { return questions; }

    size_t logBytes = 0;
    SeamQuestions questions;
};

// One clip's list through the conversion worker, as the page runs it.
double TimeThroughWorker(const ConversionRequest& base, const std::string& clip, bool* ok)
{
    ConversionRequest request = base;
    request.sources = {{clip, FileNameOf(clip)}};
    QuietView view;
    Clock::time_point start = Clock::now();
    const ConversionResult result = AVI2MPEGFunc(request, view, nullptr);
    double seconds = SecondsSince(start);
    *ok = result.succeededCount == 1;
    return seconds;
}

// FFmpeg alone, with the options mg.exe gives it for the same job.
double TimeFFmpegAlone(const EncodingJob& job, bool* ok)
{
    std::vector<std::string> argv = {"ffmpeg"};
    std::vector<std::string> rest(job.arguments.begin() + 1, job.arguments.end());
    for (const std::string& argument : TranslateEncoderArguments(rest))
        argv.push_back(argument);
    Clock::time_point start = Clock::now();
    *ok = RunQuietly(argv) == 0 && FileExists(job.outputPath);
    return SecondsSince(start);
}

std::vector<std::string> MakeClips(const std::string& folder)
{
    std::vector<std::string> clips;
    for (int i = 0; i < kClipCount; ++i) {
        std::string path = folder + "clip" + std::to_string(i + 1) + ".mkv";
        if (!MakeClip(path)) {
            std::fprintf(stderr, "bench_conversion: ffmpeg could not make %s\n", path.c_str());
            return {};
        }
        clips.push_back(path);
    }
    return clips;
}

double TimeAlone(const ConversionRequest& settings, const std::string& clip, bool* ok)
{
    std::string error;
    std::optional<EncodingJob> job = BuildJob(settings, clip, FileNameOf(clip), &error);
    if (!job) {
        std::fprintf(stderr, "bench_conversion: %s\n", error.c_str());
        *ok = false;
        return 0;
    }
    return TimeFFmpegAlone(*job, ok);
}

struct Times {
    double best = 1e9;
    double total = 0;
    void Add(double seconds)
    {
        best = std::min(best, seconds);
        total += seconds;
    }
};

// Per clip, the best of the rounds counts: the machine is shared, and a
// round that met a busy moment says nothing about either side.
bool BenchFormat(const Format& format, const std::vector<std::string>& clips, const std::string& folder)
{
    ConversionRequest settings;
    settings.programFolder = KANDRIX_BIN_DIR;
    settings.outputFolder = folder;
    settings.workFolder = folder;
    settings.task = format.task;
    settings.outputFormat = format.outputFormat;
    settings.tvSystem = format.tvSystem;
    settings.overwriteExisting = 1;

    double workerBest = 0;
    double aloneBest = 0;
    double workerTotal = 0;
    double aloneTotal = 0;
    for (const std::string& clip : clips) {
        Times worker;
        Times alone;
        // Alternating the two keeps a change of machine load from favouring one.
        for (int round = 0; round < kRounds; ++round) {
            bool okAlone = false;
            bool okWorker = false;
            alone.Add(TimeAlone(settings, clip, &okAlone));
            worker.Add(TimeThroughWorker(settings, clip, &okWorker));
            if (!okAlone || !okWorker) {
                std::fprintf(stderr, "bench_conversion: %s of %s: %s failed\n", format.name, clip.c_str(),
                             okAlone ? "the conversion worker" : "ffmpeg alone");
                return false;
            }
        }
        workerBest += worker.best;
        aloneBest += alone.best;
        workerTotal += worker.total;
        aloneTotal += alone.total;
    }
    std::printf("%-18s  best: worker %6.2f s  ffmpeg alone %6.2f s  ratio %.3f   all rounds: ratio %.3f\n",
                format.name, workerBest, aloneBest, workerBest / aloneBest, workerTotal / aloneTotal);
    return true;
}

} // namespace

int main()
{
    std::string folder = GetTempFolder() + "kandrix_bench_XXXXXX";
    if (GetTempFolder().empty() || !mkdtemp(folder.data())) {
        std::fprintf(stderr, "bench_conversion: no temporary folder\n");
        return 1;
    }
    folder += kPathSeparator;

    std::vector<std::string> clips = MakeClips(folder);
    bool ok = !clips.empty();
    if (ok)
        std::printf("%d clips of %d s, %d rounds per clip and format, encoder pause %d ms\n", kClipCount, kClipSeconds, kRounds,
                    ENCODER_POLL_MS);
    for (const Format& format : kFormats) {
        if (!ok)
            break;
        ok = BenchFormat(format, clips, folder);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return ok ? 0 : 1;
}
