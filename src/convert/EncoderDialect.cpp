#include "convert/EncoderDialect.h"

#include <array>
#include <cstdlib>
#include <string_view>

namespace {

// FFmpeg's options that take no value. Every other option takes the next
// argument as its value, which is how FFmpeg itself reads them; knowing this
// keeps a value that happens to read "-b" (a source file's name) a value.
constexpr std::array<std::string_view, 27> kFlagOptions = {
    "-y", "-n", "-an", "-vn", "-sn", "-dn", "-hide_banner", "-nostdin",
    "-stdin", "-shortest", "-stats", "-nostats", "-benchmark", "-benchmark_all",
    "-copyts", "-start_at_zero", "-re", "-accurate_seek", "-noaccurate_seek",
    "-xerror", "-ignore_unknown", "-dump", "-hex", "-debug_ts", "-autorotate",
    "-noautorotate", "-report",
};

// Old encoders read "-b" in kbit/s; anything this large was meant as bit/s.
constexpr double kKilobitLimit = 100000.0;

bool IsOption(const std::string& argument)
{
    return argument.size() > 1 && argument[0] == '-';
}

bool TakesValue(const std::string& option)
{
    for (std::string_view flag : kFlagOptions)
        if (option == flag)
            return false;
    return true;
}

void AppendVideoBitrate(std::vector<std::string>& out, const std::string& value)
{
    std::string kilobits = OldDialectKilobits(value);
    if (kilobits.empty()) {
        out.push_back("-b");
        out.push_back(value);
        return;
    }
    out.push_back("-b:v");
    out.push_back(kilobits);
    // FFmpeg's default tolerance (4000 kbit) lets its rate control run at twice
    // a small target for the whole file; the old encoders held the rate asked
    // for, and the "Strand" formats are chosen for that size.
    out.push_back("-bt");
    out.push_back(kilobits);
}

} // namespace

std::string OldDialectKilobits(const std::string& value)
{
    if (value.empty() || value.find_first_not_of("0123456789.") != std::string::npos)
        return {};
    char* end = nullptr;
    double number = std::strtod(value.c_str(), &end);
    if (end != value.c_str() + value.size() || number >= kKilobitLimit)
        return {};
    return value + "k";
}

std::vector<std::string> TranslateEncoderArguments(const std::vector<std::string>& arguments)
{
    // -nostdin: the encoder inherits the program's standard input and would
    // otherwise read keystrokes (or a closed descriptor) as commands.
    std::vector<std::string> out = {"-nostdin", "-hide_banner"};
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        bool hasValue = IsOption(argument) && TakesValue(argument) && i + 1 < arguments.size();
        if (!hasValue) {
            out.push_back(argument);
            continue;
        }
        const std::string& value = arguments[++i];
        if (argument == "-b") {
            AppendVideoBitrate(out, value);
            continue;
        }
        out.push_back(argument);
        out.push_back(value);
    }
    return out;
}
