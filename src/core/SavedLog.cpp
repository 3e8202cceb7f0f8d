#include "core/SavedLog.h"

#include <cstdio>

namespace {

std::string WithCrLf(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

} // namespace

std::string ComposeSavedLog(const std::vector<std::string>& conversionLines,
                            const std::vector<std::string>& burnLines,
                            const std::vector<std::string>& traceLines)
{
    std::string text = "Converting log start---------\n\n";
    for (const std::string& line : conversionLines)
        text += line + "\n";
    text += "---------Converting log end\n\n";
    text += "Burning log start---------\n\n";
    for (const std::string& line : burnLines)
        text += line + "\n";
    text += "---------Burning log end\n";
    text += "\nTrace log start---------\n\n";
    for (const std::string& line : traceLines)
        text += line + "\n";
    text += "---------Trace log end\n";
    return WithCrLf(text);
}

bool WriteSavedLog(const std::string& path, const std::string& text)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    bool closed = std::fclose(file) == 0;
    return written && closed;
}
