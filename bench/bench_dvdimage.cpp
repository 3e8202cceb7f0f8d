// DVD-Video image benchmark: a VIDEO_TS tree of over 1 GB (made once with
// FFmpeg and dvdauthor, kept under the build folder) burnt on the image-file
// recorder through the recorder record and the recording library, as a burn
// does, against the tools a user would run by hand: genisoimage to a file
// and sync, cp of the tree and sync; and the burn's read-back against cat and
// dd of the image, each from a cold cache. Every side runs in a process of its own,
// so its peak memory is its own. Prints figures only.

#include "burn/BurnOptions.h"
#include "burn/CDevice.h"
#include "core/Log.h"
#include "process/FindOnPath.h"
#include "process/Spawn.h"
#include "recorder/ImageFileRecorder.h"
#include "recorder/LibburnRecorder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kClipSeconds = 20;
// 20 s at 8 Mbit/s is about 18 MB a clip; 62 of them make a tree past 1 GiB,
// so dvdauthor also splits the title VOB.
constexpr int kCopies = 62;
constexpr int kRounds = 2;

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Run {
    bool ok = false;
    double seconds = 0;
    long peakKb = 0;
    // What a child of ours measured itself: the write and the read-back.
    double phases[2] = {0, 0};
};

// Waits for a child started at start.
Run Finish(pid_t pid, Clock::time_point start)
{
    Run run;
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.seconds = Since(start);
    run.peakKb = usage.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// Programs from PATH one after the other, their output thrown away: the
// time is the sum, the peak memory the largest.
Run Measure(const std::vector<std::vector<std::string>>& commands)
{
    Run total;
    total.ok = true;
    for (const std::vector<std::string>& argv : commands) {
        const Clock::time_point start = Clock::now();
        SpawnRequest request;
        request.program = FindOnPath(argv[0]);
        request.arguments = argv;
        request.output = request.error = kNullStream;
        const SpawnedChild child = Spawn(request);
        if (child.pidfd >= 0)
            close(child.pidfd);
        const Run run = Finish(child.pid, start);
        total.ok = total.ok && run.ok;
        total.seconds += run.seconds;
        total.peakKb = std::max(total.peakKb, run.peakKb);
    }
    return total;
}

// Our own code in a child process, which times its phases itself and hands
// them back through a pipe.
Run MeasureOurs(const std::function<bool(double* phases)>& child)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    const Clock::time_point start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        double phases[2] = {0, 0};
        const bool ok = child(phases);
        const bool sent = write(pipeFds[1], phases, sizeof phases) == static_cast<ssize_t>(sizeof phases);
        _exit(ok && sent ? 0 : 1);
    }
    close(pipeFds[1]);
    Run run;
    const bool got = pid > 0 && read(pipeFds[0], run.phases, sizeof run.phases) == sizeof run.phases;
    close(pipeFds[0]);
    const Run ended = Finish(pid, start);
    run.ok = got && ended.ok;
    run.seconds = ended.seconds;
    run.peakKb = ended.peakKb;
    return run;
}

// A burn of videoTs on the image-file recorder into folder, as the burn
// page starts it: phases[0] the write (with its sync), phases[1] the
// read-back.
bool OurBurn(const std::string& videoTs, const std::string& folder, double* phases)
{
    LibburnRecorder library;
    CDevice::InitStarBurnDll(library);
    library.FindDevice(RECORDER_SCSI_TYPE_CDVD, 0, [](int, void*, void*, void*) {}, nullptr);
    auto device = std::make_shared<CDevice>(library, ImageFileRecorder::Address());
    BurnOptions options;
    options.speed = ImageFileRecorder::HighestWriteSpeed();
    options.speedLabel = "16.0x";
    options.SetVolumeLabel("Benchmark");
    options.device = device;
    options.imageFolder = folder;
    options.verify = true;
    Clock::time_point start = Clock::now();
    Clock::time_point verifying{};
    LogListenerRegistration listener = AddLogListener(LOG_CHANNEL_BURN, [&](const LogEntry& entry) {
        if (entry.text == "Verifying...")
            verifying = Clock::now();
        else if (entry.text.rfind("Verify failed", 0) == 0 || entry.text.rfind("Burning Error", 0) == 0)
            std::fprintf(stderr, "bench_dvdimage: %s (%s)\n", entry.text.c_str(), device->GetExceptionText().c_str());
    });
    const StepResult burnt = device->BurnDVDVideo(options, videoTs);
    const Clock::time_point end = Clock::now();
    if (verifying == Clock::time_point{})
        verifying = end;
    phases[0] = std::chrono::duration<double>(verifying - start).count();
    phases[1] = std::chrono::duration<double>(end - verifying).count();
    if (!burnt)
        std::fprintf(stderr, "bench_dvdimage: %s\n", burnt.Message().c_str());
    return burnt.Ok();
}

// Takes the file out of the page cache as the verify does, so that the next
// reader reads the disk.
void DropCache(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    fdatasync(fd);
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
}

bool Quiet(const std::vector<std::string>& argv)
{
    return Measure({argv}).ok;
}

bool MakeClip(const std::string& path)
{
    if (fs::exists(path))
        return true;
    std::string length = std::to_string(kClipSeconds);
    std::string work = path + ".work.mpg";
    bool made = Quiet({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i",
                       "testsrc2=size=720x576:rate=25:duration=" + length, "-f", "lavfi", "-i",
                       "sine=frequency=440:duration=" + length, "-target", "pal-dvd", "-b:v", "8000k", "-minrate",
                       "8000k", "-maxrate", "8000k", work});
    return made && rename(work.c_str(), path.c_str()) == 0;
}

// copies of the clip, in titles of at most 20 cells each. dvdauthor takes a
// file named twice for one cell, so each copy gets a name of its own.
std::string MakeTree(const std::string& folder, const std::string& clip, int copies)
{
    std::string videoTs = folder + "dvd/VIDEO_TS/";
    if (fs::exists(videoTs + "VIDEO_TS.BUP"))
        return videoTs;
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::create_directories(folder);
    std::ofstream xml(folder + "dvd.xml");
    xml << "<dvdauthor><vmgm/><titleset><titles>\n";
    for (int i = 0; i < copies; ++i) {
        if (i % 20 == 0)
            xml << (i ? "</pgc>" : "") << "<pgc>";
        std::string copy = folder + "clip-" + std::to_string(i) + ".mpg";
        fs::create_symlink(clip, copy);
        xml << "<vob file=\"" << copy << "\"/>\n";
    }
    xml << "</pgc></titles></titleset></dvdauthor>\n";
    xml.close();
    setenv("VIDEO_FORMAT", "PAL", 1);
    std::string work = folder + "work";
    if (!Quiet({"dvdauthor", "-o", work, "-x", folder + "dvd.xml"}) || rename(work.c_str(), (folder + "dvd").c_str()))
        return {};
    return videoTs;
}

int64_t TreeBytes(const std::string& videoTs, std::vector<std::string>* files)
{
    int64_t bytes = 0;
    for (const auto& entry : fs::directory_iterator(videoTs)) {
        files->push_back(entry.path().string());
        bytes += static_cast<int64_t>(entry.file_size());
    }
    std::sort(files->begin(), files->end());
    return bytes;
}

struct Best {
    double seconds = 1e9;
    long peakKb = 0;
    bool ok = true;
    void Add(bool good, double time, long peak)
    {
        ok = ok && good;
        seconds = std::min(seconds, time);
        peakKb = std::max(peakKb, peak);
    }
    void Add(const Run& run) { Add(run.ok, run.seconds, run.peakKb); }
};

void Print(const char* name, const Best& best, double bytes)
{
    std::printf("  %-34s %6.2f s %7.0f MB/s   peak %6.1f MB%s\n", name, best.seconds, bytes / 1e6 / best.seconds,
                best.peakKb / 1024.0, best.ok ? "" : "   FAILED");
}

struct Figures {
    Best write, verify, genisoimage, cp, cat, dd;
    bool Ok() const { return write.ok && verify.ok && genisoimage.ok && cp.ok && cat.ok && dd.ok; }
};

// The tree's files, kept warm in the page cache for every writer; its
// outputs go to work, a folder only we can reach.
Figures MeasureRounds(const std::string& videoTs, const std::vector<std::string>& files, const std::string& work)
{
    const std::string root = fs::path(videoTs).parent_path().parent_path().string();
    const std::string image = work + "/Benchmark.iso";
    const std::string theirs = work + "/genisoimage.iso";
    const std::string copy = work + "/copy";
    std::vector<std::string> syncCopy = {"sync"};
    for (const std::string& file : files)
        syncCopy.push_back(copy + "/" + fs::path(file).filename().string());
    Figures figures;
    const std::vector<std::function<void()>> sides = {
        [&] {
            const Run ours = MeasureOurs([&](double* phases) { return OurBurn(videoTs, work, phases); });
            figures.write.Add(ours.ok, ours.phases[0], ours.peakKb);
            figures.verify.Add(ours.ok, ours.phases[1], ours.peakKb);
            DropCache(image);
            figures.cat.Add(Measure({{"cat", image}}));
            DropCache(image);
            figures.dd.Add(Measure({{"dd", "if=" + image, "of=/dev/null", "bs=1M", "iflag=direct"}}));
            fs::remove(image);
        },
        [&] {
            figures.genisoimage.Add(Measure(
                {{"genisoimage", "-quiet", "-dvd-video", "-udf", "-V", "Benchmark", "-o", theirs, root}, {"sync", theirs}}));
            fs::remove(theirs);
        },
        [&] {
            figures.cp.Add(Measure({{"cp", "-r", videoTs, copy}, syncCopy}));
            fs::remove_all(copy);
        },
    };
    std::vector<std::string> cat = {"cat"};
    cat.insert(cat.end(), files.begin(), files.end());
    Quiet(cat);
    // Alternating keeps a change of machine load from favouring one side,
    // and each round starts with another side, as what ran before (the
    // memory a writer freed) weighs on the next; the best round counts,
    // since the machine is shared.
    for (int round = 0; round < kRounds; ++round) {
        for (size_t k = 0; k < sides.size(); ++k)
            sides[(k + static_cast<size_t>(round)) % sides.size()]();
    }
    return figures;
}

void Report(const Figures& figures, double bytes, size_t files)
{
    std::printf("A %.2f GB VIDEO_TS (%zu files) to an image file on disk, best of %d interleaved rounds:\n",
                bytes / 1e9, files, kRounds);
    Print("ours: image-file recorder, fsync", figures.write, bytes);
    Print("genisoimage to a file, sync", figures.genisoimage, bytes);
    Print("cp of the tree, sync", figures.cp, bytes);
    std::printf("  time ours / (genisoimage + sync): %.2f\n", figures.write.seconds / figures.genisoimage.seconds);
    std::printf("  time ours / (cp + sync):          %.2f\n", figures.write.seconds / figures.cp.seconds);
    std::printf("The image read back from a cold cache:\n");
    Print("ours: the burn's verify", figures.verify, bytes);
    Print("cat of the image", figures.cat, bytes);
    Print("dd of the image, direct I/O", figures.dd, bytes);
    std::printf("  time ours / cat: %.2f\n", figures.verify.seconds / figures.cat.seconds);
    std::printf("  time ours / dd:  %.2f\n", figures.verify.seconds / figures.dd.seconds);
    std::printf("  (ours' peak memory is that of the whole burn, write and verify)\n");
}

} // namespace

int main()
{
    std::string bench = KANDRIX_BENCH_DIR;
    fs::create_directories(bench);
    std::string clip = bench + "dvdimage-clip.mpg";
    std::printf("bench_dvdimage: preparing the tree (made once, kept under %s)...\n", bench.c_str());
    std::fflush(stdout);
    std::string videoTs = MakeClip(clip) ? MakeTree(bench + "dvdimage-large/", clip, kCopies) : "";
    if (videoTs.empty()) {
        std::fprintf(stderr, "bench_dvdimage: could not make the VIDEO_TS tree with ffmpeg and dvdauthor\n");
        return 1;
    }
    std::vector<std::string> files;
    const int64_t bytes = TreeBytes(videoTs, &files);
    std::string work = bench + "run-XXXXXX";
    if (mkdtemp(work.data()) == nullptr) {
        std::perror("bench_dvdimage: mkdtemp");
        return 1;
    }
    const Figures figures = MeasureRounds(videoTs, files, work);
    fs::remove_all(work);
    Report(figures, static_cast<double>(bytes), files.size());
    return figures.Ok() ? 0 : 1;
}
