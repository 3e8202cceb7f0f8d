#include "MediaKit.h"

#include "platform/Paths.h"
#include "process/FindOnPath.h"
#include "process/Spawn.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

RunningProgram Start(std::vector<std::string> argv, const std::vector<std::string>* environment,
                     bool ownGroup = false)
{
    SpawnRequest request;
    if (!argv.empty() && argv[0].find('/') == std::string::npos)
        request.program = FindOnPath(argv[0]);
    request.arguments = std::move(argv);
    if (environment)
        request.environment = *environment;
    request.session = ownGroup ? ChildSession::OwnGroup : ChildSession::Same;
    const SpawnedChild child = Spawn(request);
    if (child.pidfd >= 0)
        close(child.pidfd);
    return {child.pid, child.outputFd};
}

} // namespace

RunningProgram StartProgram(const std::vector<std::string>& argv, bool ownGroup)
{
    return Start(argv, nullptr, ownGroup);
}

bool ReadSome(const RunningProgram& program, std::string* output, int timeoutMs)
{
    pollfd entry{program.outputFd, POLLIN, 0};
    int ready = poll(&entry, 1, timeoutMs);
    if (ready <= 0)
        return ready == 0 || errno == EINTR;
    char buffer[4096];
    ssize_t count = read(program.outputFd, buffer, sizeof buffer);
    if (count <= 0)
        return false;
    output->append(buffer, static_cast<size_t>(count));
    return true;
}

int WaitProgram(RunningProgram& program)
{
    if (program.outputFd >= 0)
        close(program.outputFd);
    program.outputFd = -1;
    int status = 0;
    while (waitpid(program.pid, &status, 0) < 0 && errno == EINTR) {
    }
    program.pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ProgramResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>* environment)
{
    ProgramResult result;
    RunningProgram program = Start(argv, environment);
    if (program.pid < 0)
        return result;
    result.started = true;
    // No media step of these tests takes long; a hung tool must not hang the suite.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (ReadSome(program, &result.output, 1000)) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(program.pid, SIGKILL);
            result.output += "\n[killed after 120 s]\n";
            break;
        }
    }
    result.exitCode = WaitProgram(program);
    return result;
}

std::string MakeScratchFolder()
{
    std::string pattern = GetTempFolder() + "kandrix_media_XXXXXX";
    if (!mkdtemp(pattern.data()))
        return {};
    return pattern + kPathSeparator;
}

void RemoveScratchFolder(const std::string& folder)
{
    std::error_code ignored;
    if (!folder.empty())
        std::filesystem::remove_all(folder, ignored);
}

bool MakeClip(const std::string& path, int seconds, bool withAudio, std::string* log)
{
    std::string length = std::to_string(seconds);
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
                                     "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=" + length};
    if (withAudio) {
        argv.insert(argv.end(), {"-f", "lavfi", "-i", "sine=frequency=440:duration=" + length, "-c:a", "aac"});
    }
    // A source in a common delivery format, not already MPEG.
    argv.insert(argv.end(), {"-c:v", "mpeg4", "-q:v", "3", "-shortest", path});
    ProgramResult result = RunProgram(argv);
    if (log)
        *log = result.output;
    return result.exitCode == 0 && FileExists(path);
}

bool MakeMpeg(const std::string& path, const std::string& size, const std::string& rate,
              const std::vector<std::string>& options, std::string* log)
{
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                                     "testsrc=size=" + size + ":rate=" + rate, "-f", "lavfi", "-i",
                                     "sine=sample_rate=48000", "-t", "0.4"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(path);
    const ProgramResult result = RunProgram(argv);
    if (log)
        *log = result.output;
    return result.exitCode == 0 && FileExists(path);
}

bool ProbeMedia(const std::string& path, nlohmann::json* report, std::string* log)
{
    ProgramResult result = RunProgram({"ffprobe", "-v", "error", "-show_streams", "-show_format", "-of", "json", path});
    if (log)
        *log = result.output;
    if (result.exitCode != 0)
        return false;
    *report = nlohmann::json::parse(result.output, nullptr, false);
    return !report->is_discarded();
}

const nlohmann::json* FindStream(const nlohmann::json& report, const std::string& type)
{
    auto streams = report.find("streams");
    if (streams == report.end() || !streams->is_array())
        return nullptr;
    for (const nlohmann::json& stream : *streams)
        if (TextOf(stream, "codec_type") == type)
            return &stream;
    return nullptr;
}

std::string TextOf(const nlohmann::json& object, const std::string& name)
{
    if (!object.is_object())
        return {};
    auto member = object.find(name);
    if (member == object.end())
        return {};
    return member->is_string() ? member->get<std::string>() : member->dump();
}

long IntegerOf(const nlohmann::json& object, const std::string& name)
{
    if (!object.is_object())
        return 0;
    auto member = object.find(name);
    return member != object.end() && member->is_number() ? member->get<long>() : 0;
}

long long VideoPayloadBytes(const std::string& path)
{
    ProgramResult result = RunProgram({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                       "packet=size", "-of", "csv=p=0", path});
    if (result.exitCode != 0)
        return 0;
    long long total = 0;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);)
        total += std::atoll(line.c_str());
    return total;
}

std::string MgExePath()
{
    return std::string(KANDRIX_BIN_DIR) + "mg.exe";
}

std::string ArExePath()
{
    return std::string(KANDRIX_BIN_DIR) + "ar.exe";
}

std::vector<std::string> FolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary);
    out << content;
    return static_cast<bool>(out);
}
