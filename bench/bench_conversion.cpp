// Conversion benchmark: a batch of clips converted to PAL DVD by the
// conversion worker (its jobs, mg.exe, the runner, one encoder per core), and
// by FFmpeg alone with the same options, one encoder after another and two
// side by side, as one would run them by hand. Each path's time and the peak
// memory of the processes it ran; the rounds interleave the paths, and the
// best round of each counts. Prints figures only.

#include "core/ConversionSettings.h"
#include "convert/ConversionRequest.h"
#include "convert/ConversionWorker.h"
#include "convert/EncoderDialect.h"
#include "convert/EncodingJob.h"
#include "platform/JobQuestions.h"
#include "platform/Paths.h"
#include "platform/RunFolder.h"
#include "process/FindOnPath.h"
#include "process/Spawn.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kClipSeconds = 30;
constexpr int kClipCount = 4;
constexpr int kRounds = 2;
constexpr int kPalDvd = 4; // task 2's "PAL_DVD (*.vob)"

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The resident memory of this process and all its descendants, sampled every
// 50 ms while it lives; its peak in MiB.
class PeakMemory {
public:
    PeakMemory() : sampler_([this] { Sample(); }) {}
    double StopMiB()
    {
        stop_ = true;
        sampler_.join();
        return static_cast<double>(peakPages_) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1 << 20);
    }

private:
    void Sample()
    {
        while (!stop_) {
            peakPages_ = std::max(peakPages_, TreePages());
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    // /proc/PID/stat: "1234 (ffmpeg) S 1200 ...", the parent after the name.
    static long TreePages()
    {
        std::map<pid_t, std::pair<pid_t, long>> processes; // pid: parent, resident pages
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            const std::string name = entry.path().filename();
            if (name.find_first_not_of("0123456789") != std::string::npos)
                continue;
            std::string stat;
            std::getline(std::ifstream(entry.path() / "stat"), stat);
            long size = 0;
            long resident = 0;
            std::ifstream(entry.path() / "statm") >> size >> resident;
            const size_t close = stat.rfind(')');
            if (close == std::string::npos)
                continue;
            char state = 0;
            pid_t parent = 0;
            if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &parent) == 2)
                processes[std::stoi(name)] = {parent, resident};
        }
        std::set<pid_t> tree = {getpid()};
        long pages = 0;
        for (bool grew = true; grew;) {
            grew = false;
            for (const auto& [pid, process] : processes) {
                if (!tree.count(pid) && tree.count(process.first))
                    grew = tree.insert(pid).second;
            }
        }
        for (pid_t pid : tree)
            pages += processes.count(pid) ? processes[pid].second : 0;
        return pages;
    }

    std::atomic<bool> stop_ {false};
    long peakPages_ = 0;
    std::thread sampler_;
};

struct Measure {
    double seconds = 0;
    double peakMiB = 0;
    bool ok = false;
};

pid_t Start(std::vector<std::string> argv)
{
    SpawnRequest request;
    request.program = FindOnPath(argv[0]);
    request.arguments = std::move(argv);
    request.output = request.error = kNullStream;
    const SpawnedChild child = Spawn(request);
    if (child.failure != SpawnedChild::Failure::None)
        return -1;
    close(child.pidfd);
    return child.pid;
}

bool Succeeded(int status)
{
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool MakeClip(const std::string& path)
{
    const std::string length = std::to_string(kClipSeconds);
    const pid_t ffmpeg = Start({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i",
                                "testsrc=size=720x576:rate=25:duration=" + length, "-f", "lavfi", "-i",
                                "sine=frequency=440:duration=" + length, "-c:v", "mpeg4", "-q:v", "3", "-c:a", "aac",
                                "-shortest", path});
    int status = 0;
    return ffmpeg > 0 && waitpid(ffmpeg, &status, 0) == ffmpeg && Succeeded(status);
}

// The page's part, reduced to what costs nothing.
class QuietView : public ConversionView {
public:
    void ShowFile(const std::string&, int, int) override {}
    void ShowPercent(int) override {}
    void ShowTotal(int) override {}
    void AddLogLine(const std::string&) override {}
    JobQuestions& Questions() override { return questions; }

    SeamQuestions questions;
};

Measure ThroughWorker(const ConversionRequest& request)
{
    QuietView view;
    PeakMemory memory;
    const Clock::time_point start = Clock::now();
    ConversionResult result = AVI2MPEGFunc(request, view, nullptr);
    Measure measure;
    measure.seconds = SecondsSince(start);
    measure.peakMiB = memory.StopMiB();
    measure.ok = result.succeededCount == static_cast<int>(request.sources.size());
    if (result.workFolder)
        result.workFolder->Remove();
    return measure;
}

// FFmpeg with the options mg.exe gives it for each job, at most lanes at
// once, the next started as soon as one ends (as xargs -P would).
Measure ByHand(const std::vector<EncodingJob>& jobs, size_t lanes)
{
    PeakMemory memory;
    const Clock::time_point start = Clock::now();
    Measure measure;
    measure.ok = true;
    size_t next = 0;
    size_t running = 0;
    while (next < jobs.size() || running > 0) {
        if (next < jobs.size() && running < lanes) {
            std::vector<std::string> argv = {"ffmpeg"};
            const std::vector<std::string> options(jobs[next].arguments.begin() + 1, jobs[next].arguments.end());
            for (const std::string& argument : TranslateEncoderArguments(options))
                argv.push_back(argument);
            ++next;
            measure.ok = Start(argv) > 0 && measure.ok;
            running += measure.ok ? 1 : 0;
            continue;
        }
        int status = 0;
        if (wait(&status) < 0)
            break;
        --running;
        measure.ok = Succeeded(status) && measure.ok;
    }
    measure.seconds = SecondsSince(start);
    measure.peakMiB = memory.StopMiB();
    return measure;
}

std::vector<EncodingJob> JobsOf(const ConversionRequest& request)
{
    std::vector<EncodingJob> jobs;
    for (const SourceFile& source : request.sources) {
        std::string error;
        std::optional<EncodingJob> job = BuildJob(request, source.path, source.name, &error);
        if (!job) {
            std::fprintf(stderr, "bench_conversion: %s\n", error.c_str());
            return {};
        }
        jobs.push_back(*job);
    }
    return jobs;
}

struct Path {
    const char* name;
    std::function<Measure()> run;
    Measure best;
};

void Print(const Path& path)
{
    std::printf("  %-28s %7.2f s   peak memory %6.1f MiB\n", path.name, path.best.seconds, path.best.peakMiB);
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
    const std::string byHand = folder + "by-hand" + kPathSeparator;
    const std::string worker = folder + "worker" + kPathSeparator;
    std::filesystem::create_directory(byHand);
    std::filesystem::create_directory(worker);

    ConversionRequest request;
    request.programFolder = KANDRIX_BIN_DIR;
    request.outputFolder = worker;
    request.task = CT_VIDEO2MPG;
    request.outputFormat = kPalDvd;
    request.overwriteExisting = 1;
    bool ok = true;
    for (int i = 0; i < kClipCount && ok; ++i) {
        const std::string name = "clip" + std::to_string(i + 1) + ".mkv";
        ok = MakeClip(folder + name);
        request.sources.push_back({folder + name, name});
    }
    ConversionRequest task0 = request;
    task0.task = CT_VIDEO2DVD;
    task0.tvSystem = 0;
    ConversionRequest raw = request;
    raw.outputFolder = byHand;
    const std::vector<EncodingJob> jobs = JobsOf(raw);
    if (!ok || jobs.empty()) {
        std::fprintf(stderr, "bench_conversion: no clips to convert\n");
        std::filesystem::remove_all(folder);
        return 1;
    }

    std::vector<Path> paths = {
        {"FFmpeg, one after another", [&] { return ByHand(jobs, 1); }, {}},
        {"FFmpeg, two side by side", [&] { return ByHand(jobs, 2); }, {}},
        {"conversion worker, task 2", [&] { return ThroughWorker(request); }, {}},
        {"conversion worker, task 0", [&] { return ThroughWorker(task0); }, {}},
    };
    std::printf("%d clips of %d s to PAL DVD; the worker runs %d encoders at once; best of %d interleaved rounds\n",
                kClipCount, kClipSeconds, EncoderSlots(request), kRounds);
    for (int round = 0; round < kRounds && ok; ++round) {
        // Each round takes the paths in the other order, so that a change of
        // the machine's load favours none of them.
        for (size_t i = 0; i < paths.size() && ok; ++i) {
            Path& path = paths[round % 2 == 0 ? i : paths.size() - 1 - i];
            const Measure measure = path.run();
            ok = measure.ok;
            if (!ok)
                std::fprintf(stderr, "bench_conversion: %s failed\n", path.name);
            if (path.best.seconds == 0 || measure.seconds < path.best.seconds)
                path.best = measure;
        }
    }
    if (ok) {
        for (const Path& path : paths)
            Print(path);
        const double oneByOne = paths[0].best.seconds;
        const double pair = paths[1].best.seconds;
        std::printf("ratios: two side by side / one after another %.3f; worker (task 2) / one after another %.3f "
                    "(target 0.65 on two cores); worker / two side by side: task 2 %.3f, task 0 %.3f\n",
                    pair / oneByOne, paths[2].best.seconds / oneByOne, paths[2].best.seconds / pair,
                    paths[3].best.seconds / pair);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return ok ? 0 : 1;
}
