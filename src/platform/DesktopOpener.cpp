#include "platform/DesktopOpener.h"

#include "platform/ChildProcess.h"
#include "platform/DesktopEntry.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int kOpenerWaitMs = 1500;
constexpr int kQueryWaitMs = 1000;

int ErrnoCode(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return kOpenFileNotFound;
    case EACCES:
    case EPERM:
        return kOpenAccessDenied;
    case ENOMEM:
        return kOpenNotEnoughMemory;
    case ENOEXEC:
    case ELIBBAD:
        return kOpenBadFormat;
    default:
        return kOpenOutOfResources;
    }
}

int LaunchCode(const LaunchResult& launched)
{
    switch (launched.kind) {
    case LaunchResult::StillRunning:
        return kOpenSucceeded;
    case LaunchResult::Exited:
        return launched.exitStatus == 0 ? kOpenSucceeded : kOpenAssociationIncomplete;
    case LaunchResult::NotStarted:
        break;
    }
    return ErrnoCode(launched.error);
}

int OpenWithOpener(const std::string& target)
{
    const std::string opener = FindOnPath("xdg-open");
    if (opener.empty())
        return kOpenNoAssociation;
    const LaunchResult launched = LaunchDetached({opener, target}, kOpenerWaitMs);
    if (launched.kind == LaunchResult::Exited)
        return OpenerExitCode(launched.exitStatus);
    return LaunchCode(launched);
}

std::optional<std::vector<std::string>> WebPageHandlerCommand(const std::string& target)
{
    const std::string entry = FindDesktopEntry(DefaultHtmlHandler());
    if (entry.empty())
        return std::nullopt;
    const std::optional<std::string> exec = ReadDesktopExec(entry);
    if (!exec)
        return std::nullopt;
    std::optional<std::vector<std::string>> command = HandlerCommand(*exec, target);
    if (!command)
        return std::nullopt;
    std::string& program = command->front();
    if (program.find('/') == std::string::npos)
        program = FindOnPath(program);
    if (program.empty())
        return std::nullopt;
    return command;
}

void SleepMs(long milliseconds)
{
    timespec pause{milliseconds / 1000, (milliseconds % 1000) * 1000000};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

bool WriteAll(int fd, const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, void* data, size_t size)
{
    char* bytes = static_cast<char*>(data);
    while (size > 0) {
        ssize_t n = read(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The program itself, in the grandchild. Only async-signal-safe calls
// between fork and exec.
[[noreturn]] void ExecProgram(char* const* argv, int errorFd)
{
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    signal(SIGCHLD, SIG_DFL);
    int nullFd = open("/dev/null", O_RDWR);
    if (nullFd < 0 || dup2(nullFd, 0) < 0 || dup2(nullFd, 1) < 0) {
        int error = errno;
        WriteAll(errorFd, &error, sizeof error);
        _exit(127);
    }
    // The program's other descriptors (pipes of its tools above all) must
    // not live on in a program that outlives it.
    close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    execve(argv[0], argv, environ);
    int error = errno;
    WriteAll(errorFd, &error, sizeof error);
    _exit(127);
}

// The middle child: leads a new session, starts the program, watches its
// first moments, reports, and ends, leaving the program to init.
[[noreturn]] void RunDetached(char* const* argv, int reportFd, int waitMs)
{
    setsid();
    LaunchResult result;
    int execPipe[2];
    if (pipe2(execPipe, O_CLOEXEC) != 0) {
        result.error = errno;
        WriteAll(reportFd, &result, sizeof result);
        _exit(0);
    }
    pid_t program = fork();
    if (program == 0)
        ExecProgram(argv, execPipe[1]);
    close(execPipe[1]);
    if (program < 0) {
        result.error = errno;
        WriteAll(reportFd, &result, sizeof result);
        _exit(0);
    }
    int error = 0;
    if (ReadAll(execPipe[0], &error, sizeof error)) {
        waitpid(program, nullptr, 0);
        result.error = error;
        WriteAll(reportFd, &result, sizeof result);
        _exit(0);
    }
    result.kind = LaunchResult::StillRunning;
    for (int waited = 0; waited <= waitMs; waited += 20) {
        int status = 0;
        if (waitpid(program, &status, WNOHANG) == program) {
            result.kind = LaunchResult::Exited;
            result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        SleepMs(20);
    }
    WriteAll(reportFd, &result, sizeof result);
    _exit(0);
}

} // namespace

std::string FindOnPath(const std::string& name)
{
    if (name.empty() || name.find('/') != std::string::npos)
        return {};
    const char* path = std::getenv("PATH");
    if (!path)
        return {};
    const std::string list = path;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string folder = end > start ? list.substr(start, end - start) : ".";
        const std::string candidate = folder + (folder.back() == '/' ? "" : "/") + name;
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

LaunchResult LaunchDetached(const std::vector<std::string>& arguments, int waitMs)
{
    LaunchResult result;
    if (arguments.empty()) {
        result.error = ENOENT;
        return result;
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        result.error = errno;
        return result;
    }
    pid_t middle = fork();
    if (middle == 0) {
        close(report[0]);
        RunDetached(argv.data(), report[1], waitMs);
    }
    close(report[1]);
    if (middle < 0) {
        result.error = errno;
        close(report[0]);
        return result;
    }
    if (!ReadAll(report[0], &result, sizeof result)) {
        result = LaunchResult{};
        result.error = ECHILD;
    }
    close(report[0]);
    while (waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
    }
    return result;
}

int OpenerExitCode(int exitStatus)
{
    switch (exitStatus) {
    case 0:
        return kOpenSucceeded;
    case 2:
        return kOpenFileNotFound;
    case 3:
        return kOpenNoAssociation;
    default:
        return kOpenAssociationIncomplete;
    }
}

std::string DefaultHtmlHandler()
{
    const std::string query = FindOnPath("xdg-mime");
    if (query.empty())
        return {};
    ChildProcess process;
    if (process.Start({query, "query", "default", "text/html"}) != ChildProcess::StartResult::Started)
        return {};
    std::string output;
    for (int waited = 0; waited < kQueryWaitMs; waited += 50) {
        process.WaitReadable(50);
        if (process.ReadAvailable(output) == ChildProcess::ReadResult::Ended)
            break;
    }
    if (process.Running())
        process.Terminate();
    const int status = process.Finish();
    if (status < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    // One line: "firefox-esr.desktop"; a warning may share the pipe, so take
    // the last line that names a desktop file.
    std::string found;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        std::string line = output.substr(start, end - start);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r'))
            line.pop_back();
        if (line.size() > 8 && line.compare(line.size() - 8, 8, ".desktop") == 0)
            found = line;
        start = end + 1;
    }
    return found;
}

int OpenWithDesktop(const std::string& target)
{
    // An opener given nothing starts a browser on nothing.
    if (target.empty())
        return kOpenFileNotFound;
    const int opened = OpenWithOpener(target);
    if (opened > 32)
        return opened;
    const std::optional<std::vector<std::string>> command = WebPageHandlerCommand(target);
    if (!command)
        return opened;
    return LaunchCode(LaunchDetached(*command, kOpenerWaitMs));
}

std::string HyperlinkErrorText(int code)
{
    std::string description;
    switch (code) {
    case 0: description = "The operating system is out\nof memory or resources."; break;
    case 2: description = "The specified file was not found."; break;
    case 3: description = "The specified path was not found."; break;
    case 5: description = "The operating system denied\naccess to the specified file."; break;
    case 8: description = "There was not enough memory to complete the operation."; break;
    case 11: description = "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."; break;
    case 26: description = "A sharing violation occurred. "; break;
    case 27: description = "The filename association is\nincomplete or invalid."; break;
    case 28: description = "The DDE transaction could not\nbe completed because the request timed out."; break;
    case 29: description = "The DDE transaction failed."; break;
    case 30:
        description = "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed.";
        break;
    case 31: description = "There is no application associated\nwith the given filename extension."; break;
    case 32: description = "The specified dynamic-link library was not found."; break;
    default: description = "Unknown Error (" + std::to_string(code) + ") occurred.";
    }
    return "Unable to open hyperlink:\n\n" + description;
}
