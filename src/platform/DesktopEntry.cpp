#include "platform/DesktopEntry.h"

#include "platform/Paths.h"
#include "platform/RegularFile.h"

#include <cstdlib>
#include <sstream>

namespace {

constexpr std::uint64_t kMaxDesktopEntrySize = 1024 * 1024;

std::string EnvOr(const char* name, const std::string& fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? std::string(value) : fallback;
}

std::vector<std::string> SplitList(const std::string& list)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        if (end > start)
            parts.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string UnescapeStringValue(const std::string& value)
{
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[++i]) {
        case 's': out += ' '; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default:
            // Not a string escape: left for the Exec quoting rules.
            out += '\\';
            out += value[i];
        }
    }
    return out;
}

bool IsPlaceholder(char code)
{
    return code == 'u' || code == 'U' || code == 'f' || code == 'F';
}

// "%%" is a literal '%'; any other field code expands to nothing here.
std::string DropFieldCodes(const std::string& argument)
{
    std::string out;
    for (size_t i = 0; i < argument.size(); ++i) {
        if (argument[i] != '%' || i + 1 == argument.size()) {
            out += argument[i];
            continue;
        }
        if (argument[++i] == '%')
            out += '%';
    }
    return out;
}

} // namespace

std::vector<std::string> ApplicationFolders()
{
    std::vector<std::string> folders;
    const std::string home = GetHomeFolder();
    const std::string dataHome = EnvOr("XDG_DATA_HOME", home.empty() ? "" : home + ".local/share");
    if (!dataHome.empty())
        folders.push_back(WithTrailingSeparator(dataHome) + "applications/");
    for (const std::string& dir : SplitList(EnvOr("XDG_DATA_DIRS", "/usr/local/share:/usr/share")))
        folders.push_back(WithTrailingSeparator(dir) + "applications/");
    return folders;
}

std::string FindDesktopEntry(const std::string& desktopId, const std::vector<std::string>& folders)
{
    if (desktopId.empty() || desktopId.find('/') != std::string::npos || desktopId[0] == '.')
        return {};
    for (const std::string& folder : folders) {
        if (FileExists(folder + desktopId))
            return folder + desktopId;
        // "vendor-name.desktop" may lie in vendor/name.desktop, at any dash.
        for (size_t dash = desktopId.find('-'); dash != std::string::npos; dash = desktopId.find('-', dash + 1)) {
            std::string nested = desktopId;
            nested[dash] = '/';
            if (FileExists(folder + nested))
                return folder + nested;
        }
    }
    return {};
}

std::optional<std::string> ReadDesktopExec(const std::string& path)
{
    // A desktop entry is a few KB; whatever else lies under the name (a FIFO
    // above all) must not stall the click that asked for it.
    std::string text;
    if (!ReadRegularFile(path, kMaxDesktopEntrySize, text))
        return std::nullopt;
    std::istringstream in(text);
    std::string line;
    bool inEntry = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry || line.compare(0, 4, "Exec") != 0)
            continue;
        size_t equals = line.find_first_not_of(' ', 4);
        if (equals == std::string::npos || line[equals] != '=')
            continue;
        size_t value = line.find_first_not_of(' ', equals + 1);
        return UnescapeStringValue(value == std::string::npos ? "" : line.substr(value));
    }
    return std::nullopt;
}

std::string CutAtPlaceholder(const std::string& exec)
{
    for (size_t i = 0; i + 1 < exec.size(); ++i) {
        if (exec[i] != '%')
            continue;
        if (exec[i + 1] == '%') {
            ++i;
            continue;
        }
        if (!IsPlaceholder(exec[i + 1]))
            continue;
        const bool quoted = i > 0 && exec[i - 1] == '"' && i + 2 < exec.size() && exec[i + 2] == '"';
        return exec.substr(0, quoted ? i - 1 : i);
    }
    return exec;
}

std::optional<std::vector<std::string>> SplitExecLine(const std::string& exec)
{
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool inQuotes = false;
    for (size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (inQuotes) {
            if (c == '"') {
                inQuotes = false;
            } else if (c == '\\' && i + 1 < exec.size() &&
                       (exec[i + 1] == '"' || exec[i + 1] == '`' || exec[i + 1] == '$' || exec[i + 1] == '\\')) {
                current += exec[++i];
            } else {
                current += c;
            }
        } else if (c == ' ' || c == '\t' || c == '\n') {
            if (inArgument)
                arguments.push_back(current);
            current.clear();
            inArgument = false;
        } else if (c == '"') {
            inQuotes = true;
            inArgument = true;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inQuotes)
        return std::nullopt;
    if (inArgument)
        arguments.push_back(current);
    return arguments;
}

std::optional<std::vector<std::string>> HandlerCommand(const std::string& exec, const std::string& target)
{
    std::optional<std::vector<std::string>> split = SplitExecLine(CutAtPlaceholder(exec));
    if (!split)
        return std::nullopt;
    std::vector<std::string> command;
    for (const std::string& argument : *split) {
        std::string kept = DropFieldCodes(argument);
        if (!kept.empty())
            command.push_back(kept);
    }
    if (command.empty())
        return std::nullopt;
    command.push_back(target);
    return command;
}
