// DVD-Video image benchmark: a VIDEO_TS tree of over 1 GB (made once with
// FFmpeg and dvdauthor, kept under the build folder) turned into an image
// written to /dev/null by our file system, by genisoimage, and plainly read
// by cat. Each runs as a child process, so its peak memory is its own.
// Prints figures only.

#include "process/FindOnPath.h"
#include "process/Spawn.h"
#include "recorder/ImageStream.h"
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
constexpr int kLargeCopies = 62;
constexpr int kSmallCopies = 3;
constexpr int kRounds = 5;

using Clock = std::chrono::steady_clock;

struct Run {
    bool ok = false;
    double seconds = 0;
    long peakKb = 0;
};

// The figures of a child that has been started at start.
Run Finish(pid_t pid, Clock::time_point start)
{
    Run run;
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.peakKb = usage.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// Our own code, in a process of its own so that its peak memory is its own.
Run Measure(const std::function<int()>& child)
{
    Clock::time_point start = Clock::now();
    pid_t pid = fork();
    if (pid == 0)
        _exit(child());
    return Finish(pid, start);
}

// A program from PATH, its output thrown away.
Run Measure(std::vector<std::string> argv)
{
    Clock::time_point start = Clock::now();
    SpawnRequest request;
    request.program = FindOnPath(argv[0]);
    request.arguments = std::move(argv);
    request.output = request.error = kNullStream;
    const SpawnedChild child = Spawn(request);
    if (child.pidfd >= 0)
        close(child.pidfd);
    return Finish(child.pid, start);
}

// Our file system, read in 256 KiB blocks as a writer would, into /dev/null.
int OurImage(const std::string& videoTs)
{
    char text[RECORDER_EXCEPTION_TEXT_SIZE];
    uint32_t status = 0;
    DvdVideoHandle handle = nullptr;
    // Building the file system needs no drive; the library is never started.
    LibburnRecorder library;
    if (library.DVDVideoCreate(&handle, videoTs.c_str(), 1, text, sizeof text, &status, "Benchmark",
                               "StarBurnPublisher", "StarBurnApplication", 2006, 10, 20, 12, 10, 0, 50) !=
        RECORDER_SUCCESS) {
        std::fprintf(stderr, "bench_dvdimage: %s\n", text);
        return 1;
    }
    FileTreeHandle tree = nullptr;
    library.DVDVideoGetFileTree(handle, &tree);
    auto* stream = static_cast<ImageStream*>(tree);
    int null = open("/dev/null", O_WRONLY);
    std::vector<unsigned char> buffer(1 << 18);
    int64_t total = 0;
    for (int64_t got; (got = stream->Read(buffer.data(), static_cast<int64_t>(buffer.size()))) != 0; total += got) {
        if (got < 0 || write(null, buffer.data(), static_cast<size_t>(got)) != got) {
            std::fprintf(stderr, "bench_dvdimage: %s\n", stream->Error().c_str());
            return 1;
        }
    }
    return total == stream->Size() ? 0 : 1;
}

bool Quiet(const std::vector<std::string>& argv)
{
    return Measure(argv).ok;
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
    void Add(const Run& run)
    {
        ok = ok && run.ok;
        seconds = std::min(seconds, run.seconds);
        peakKb = std::max(peakKb, run.peakKb);
    }
};

void Print(const char* name, const Best& best)
{
    std::printf("  %-12s %7.2f s   peak %7.1f MB%s\n", name, best.seconds, best.peakKb / 1024.0,
                best.ok ? "" : "   FAILED");
}

} // namespace

int main()
{
    std::string bench = KANDRIX_BENCH_DIR;
    fs::create_directories(bench);
    std::string clip = bench + "dvdimage-clip.mpg";
    std::printf("bench_dvdimage: preparing the trees (made once, kept under %s)...\n", bench.c_str());
    std::fflush(stdout);
    std::string large = MakeClip(clip) ? MakeTree(bench + "dvdimage-large/", clip, kLargeCopies) : "";
    std::string small = large.empty() ? "" : MakeTree(bench + "dvdimage-small/", clip, kSmallCopies);
    if (large.empty() || small.empty()) {
        std::fprintf(stderr, "bench_dvdimage: could not make the VIDEO_TS trees with ffmpeg and dvdauthor\n");
        return 1;
    }
    std::vector<std::string> files;
    int64_t bytes = TreeBytes(large, &files);
    std::string root = fs::path(large).parent_path().parent_path().string();

    std::vector<std::string> cat = {"cat"};
    cat.insert(cat.end(), files.begin(), files.end());
    Quiet(cat); // the same warm page cache for all three

    Best ours, genisoimage, plain, oursSmall;
    // Alternating keeps a change of machine load from favouring one side;
    // the best round counts, since the machine is shared.
    for (int round = 0; round < kRounds; ++round) {
        ours.Add(Measure([&large] { return OurImage(large); }));
        genisoimage.Add(
            Measure(std::vector<std::string>{"genisoimage", "-quiet", "-dvd-video", "-udf", "-V", "Benchmark", "-o",
                                             "/dev/null", root}));
        plain.Add(Measure(cat));
        oursSmall.Add(Measure([&small] { return OurImage(small); }));
    }

    std::vector<std::string> smallFiles;
    int64_t smallBytes = TreeBytes(small, &smallFiles);
    std::printf("DVD-Video image of a %.2f GB VIDEO_TS (%zu files) into /dev/null, best of %d rounds:\n", bytes / 1e9,
                files.size(), kRounds);
    Print("ours", ours);
    Print("genisoimage", genisoimage);
    Print("cat", plain);
    std::printf("  time ours / genisoimage: %.2f (target at most 1.00)\n", ours.seconds / genisoimage.seconds);
    std::printf("  time ours / cat:         %.2f (target at most 1.25)\n", ours.seconds / plain.seconds);
    std::printf("  peak memory of ours: %.1f MB for %.2f GB, %.1f MB for %.2f GB (ratio %.2f)\n",
                ours.peakKb / 1024.0, bytes / 1e9, oursSmall.peakKb / 1024.0, smallBytes / 1e9,
                static_cast<double>(ours.peakKb) / static_cast<double>(std::max(1L, oursSmall.peakKb)));
    return ours.ok && genisoimage.ok && plain.ok && oursSmall.ok ? 0 : 1;
}
