#include "platform/DesktopOpener.h"

#include "platform/DesktopEntry.h"
#include "process/ChildProcess.h"
#include "process/FindOnPath.h"
#include "process/Spawn.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

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

int OpenWithOpener(const std::string& target, int waitMs)
{
    const std::string opener = FindOnPath("xdg-open");
    if (opener.empty())
        return kOpenNoAssociation;
    const LaunchResult launched = LaunchDetached({opener, target}, waitMs);
    if (launched.kind == LaunchResult::Exited)
        return OpenerExitCode(launched.exitStatus);
    return LaunchCode(launched);
}

std::optional<std::vector<std::string>> WebPageHandlerCommand(const std::string& target, int queryMs)
{
    const std::string entry = FindDesktopEntry(DefaultHtmlHandler(queryMs));
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

// "scheme:" as an address has it: a letter, then letters, digits, '+', '-'
// or '.'. One letter alone would be a drive, not a scheme.
bool IsAddress(const std::string& target)
{
    const size_t colon = target.find(':');
    if (colon == std::string::npos || colon < 2 || !std::isalpha(static_cast<unsigned char>(target[0])))
        return false;
    for (size_t i = 1; i < colon; ++i) {
        const unsigned char c = static_cast<unsigned char>(target[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

std::string AbsolutePath(const std::string& path)
{
    if (path.front() == '/')
        return path;
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    return error ? std::string() : (folder / path).string();
}

// Only when nothing could open the target at all is another program worth a
// try; a target the opener found missing or refused stays a failure.
bool WorthAnotherProgram(int code)
{
    return code == kOpenNoAssociation || code == kOpenAssociationIncomplete;
}

} // namespace

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

std::string DefaultHtmlHandler(int waitMs)
{
    const std::string query = FindOnPath("xdg-mime");
    if (query.empty())
        return {};
    ChildProcess process;
    if (process.Start({query, "query", "default", "text/html"}) != ChildProcess::StartResult::Started)
        return {};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    const auto left = [&] {
        const auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        return static_cast<int>(std::max<long long>(0, rest.count()));
    };
    std::string output;
    bool ended = false;
    while (!(ended = process.ReadAvailable(output) == ChildProcess::ReadResult::Ended) && left() > 0 &&
           !process.StopRequested())
        process.WaitReadable(left());
    // One that closed its output may still be on its way out: a stop now
    // would turn its answer into a failure.
    if (!ended || !process.WaitForExit(left()))
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

int OpenWithDesktop(const std::string& target, const OpenerWaits& waits)
{
    // An opener given nothing starts a browser on nothing.
    if (target.empty())
        return kOpenFileNotFound;
    std::string opened = target;
    if (!IsAddress(target)) {
        opened = AbsolutePath(target);
        struct stat info {};
        if (opened.empty() || stat(opened.c_str(), &info) != 0)
            return kOpenFileNotFound;
    }
    const int code = OpenWithOpener(opened, waits.openerMs);
    if (code > 32 || !WorthAnotherProgram(code))
        return code;
    const std::optional<std::vector<std::string>> command = WebPageHandlerCommand(opened, waits.queryMs);
    if (!command)
        return code;
    return LaunchCode(LaunchDetached(*command, waits.handlerMs));
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
