#include "core/TraceFile.h"

#include "core/LogLine.h"
#include "platform/FolderTree.h"

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Text waiting for the writer beyond this is dropped, and the file says so.
constexpr size_t kMaxPending = 1024 * 1024;

std::string WithoutTrailingSlash(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

} // namespace

// Shared with the log listener, which may still run on another thread while
// the file goes.
struct TraceFile::Queue {
    std::mutex mutex;
    std::condition_variable changed;
    std::string pending;
    size_t dropped = 0;
    bool stopping = false;

    void Add(const LogEntry& entry)
    {
        std::string text;
        for (const std::string& line : TraceLines(entry))
            text += line + "\n";
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (stopping)
                return;
            if (pending.size() + text.size() > kMaxPending) {
                ++dropped;
                return;
            }
            pending += text;
        }
        changed.notify_one();
    }

    // Blocks until there is text or the file goes; false once all is written.
    bool Take(std::string& text)
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return stopping || !pending.empty() || dropped > 0; });
        if (pending.empty() && dropped == 0)
            return false;
        text.swap(pending);
        if (dropped > 0)
            text += std::to_string(dropped) + " trace messages were dropped: the trace file could not keep up\n";
        dropped = 0;
        return true;
    }
};

// Runs on the file's own thread, and alone touches the file.
class TraceFile::Writer {
public:
    Writer(std::string folder, uint64_t limit) : folder_(WithoutTrailingSlash(std::move(folder))), limit_(limit) {}
    ~Writer()
    {
        Close();
        if (folderFd_ >= 0)
            ::close(folderFd_);
    }

    void Write(const std::string& text)
    {
        std::string chunk;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            end = end == std::string::npos ? text.size() : end + 1;
            const size_t line = end - start;
            if (size_ + chunk.size() + line > limit_ && size_ + chunk.size() > 0) {
                Append(chunk);
                chunk.clear();
                Rotate();
            }
            chunk.append(text, start, line);
            start = end;
        }
        Append(chunk);
    }

private:
    bool Open()
    {
        if (fd_ >= 0)
            return true;
        if (folder_.empty())
            return Fail("there is no home folder for it");
        std::string cause;
        if (folderFd_ < 0 && (folderFd_ = OpenOwnFolder(folder_, true, &cause)) < 0)
            return Fail(cause);
        struct stat info {};
        if (::fstatat(folderFd_, kName, &info, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(info.st_mode))
            return Fail("it is " + EntryKind(info.st_mode) + ", not a file");
        // Not blocking: a FIFO put in its place meanwhile must not hold the
        // writer.
        fd_ = ::openat(folderFd_, kName, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
        if (fd_ < 0)
            return Fail(std::strerror(errno));
        if (::fstat(fd_, &info) != 0)
            return Fail(std::strerror(errno));
        if (!S_ISREG(info.st_mode))
            return Fail("it is " + EntryKind(info.st_mode) + ", not a file");
        if (info.st_uid != ::geteuid())
            return Fail("it belongs to another user");
        size_ = static_cast<uint64_t>(info.st_size);
        return true;
    }

    void Append(const std::string& text)
    {
        size_t done = 0;
        while (done < text.size() && Open()) {
            const ssize_t wrote = ::write(fd_, text.data() + done, text.size() - done);
            if (wrote < 0 && errno == EINTR)
                continue;
            if (wrote <= 0) {
                Fail(std::strerror(errno));
                return;
            }
            done += static_cast<size_t>(wrote);
            size_ += static_cast<uint64_t>(wrote);
        }
    }

    void Rotate()
    {
        if (!Open())
            return;
        Close();
        if (::renameat(folderFd_, kName, folderFd_, kOldName) != 0)
            Fail(std::string("it cannot become ") + kOldName + ": " + std::strerror(errno));
    }

    bool Fail(const std::string& cause)
    {
        if (!complained_)
            std::fprintf(stderr, "KANDRIX: the trace is not written to %s/%s: %s\n", folder_.c_str(), kName,
                         cause.c_str());
        complained_ = true;
        Close();
        // Bounded also when it cannot be turned over: nothing more is added.
        size_ = limit_;
        return false;
    }

    void Close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
        size_ = 0;
    }

    const std::string folder_;
    const uint64_t limit_;
    int folderFd_ = -1;
    int fd_ = -1;
    uint64_t size_ = 0;
    bool complained_ = false;
};

TraceFile::TraceFile(const std::string& folder, uint64_t limit) : queue_(std::make_shared<Queue>())
{
    thread_ = std::thread([queue = queue_, writer = std::make_shared<Writer>(folder, limit)] {
        std::string text;
        while (queue->Take(text)) {
            writer->Write(text);
            text.clear();
        }
    });
    registration_ = AddLogListener(LOG_CHANNEL_TRACE, [queue = queue_](const LogEntry& entry) { queue->Add(entry); });
}

TraceFile::~TraceFile()
{
    registration_.Remove();
    {
        std::lock_guard<std::mutex> lock(queue_->mutex);
        queue_->stopping = true;
    }
    queue_->changed.notify_one();
    thread_.join();
}

std::vector<std::string> TraceLines(const LogEntry& entry)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(entry.time);
    std::tm local {};
    localtime_r(&seconds, &local);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= entry.text.size()) {
        size_t end = entry.text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = entry.text.size();
        const std::string line = entry.text.substr(start, end - start);
        if (line.find_first_not_of(' ') != std::string::npos)
            lines.push_back(FormatLogLine(local, line));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> RecentTraceLines(size_t count)
{
    std::vector<std::string> lines;
    for (const LogEntry& entry : LogHistory(LOG_CHANNEL_TRACE)) {
        for (std::string& line : TraceLines(entry))
            lines.push_back(std::move(line));
    }
    if (lines.size() > count)
        lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(count));
    return lines;
}
