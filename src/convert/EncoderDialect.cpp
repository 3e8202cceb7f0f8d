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

// Options after which FFmpeg's own video filtering is the caller's choice.
constexpr std::array<std::string_view, 9> kVideoShapeOptions = {
    "-vf", "-filter:v", "-filter", "-filter_complex", "-lavfi", "-filter_script",
    "-filter_script:v", "-filter_complex_script", "-aspect",
};

struct DvdFrame {
    std::string_view target;
    int width;
    int height;
};
constexpr std::array<DvdFrame, 3> kDvdFrames = {{
    {"pal-dvd", 720, 576},
    {"ntsc-dvd", 720, 480},
    {"film-dvd", 720, 480},
}};

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

enum class Role { OnItsOwn, Option, Value };

std::vector<Role> ArgumentRoles(const std::vector<std::string>& arguments)
{
    std::vector<Role> roles(arguments.size(), Role::OnItsOwn);
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (!IsOption(arguments[i]))
            continue;
        roles[i] = Role::Option;
        if (TakesValue(arguments[i]) && i + 1 < arguments.size())
            roles[++i] = Role::Value;
    }
    return roles;
}

// The value of the last occurrence of an option, "" when not given.
std::string OptionValue(const std::vector<std::string>& arguments, std::string_view option)
{
    std::vector<Role> roles = ArgumentRoles(arguments);
    std::string value;
    for (size_t i = 0; i + 1 < arguments.size(); ++i)
        if (roles[i] == Role::Option && arguments[i] == option && roles[i + 1] == Role::Value)
            value = arguments[i + 1];
    return value;
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
    std::string dvdFilter = DvdAspectFilter(arguments);
    int output = EncoderOutputIndex(arguments);
    for (size_t i = 0; i < arguments.size(); ++i) {
        // Output options go before the output's name.
        if (!dvdFilter.empty() && static_cast<int>(i) == output) {
            out.push_back("-vf");
            out.push_back(dvdFilter);
        }
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

int EncoderOutputIndex(const std::vector<std::string>& arguments)
{
    if (arguments.empty() || ArgumentRoles(arguments).back() != Role::OnItsOwn)
        return -1;
    const std::string& last = arguments.back();
    if (last == "-" || last.rfind("pipe:", 0) == 0 || last.find("://") != std::string::npos)
        return -1;
    // Without an input there is nothing to write ("mg.exe -version x" is not an encode).
    if (OptionValue(arguments, "-i").empty())
        return -1;
    return static_cast<int>(arguments.size()) - 1;
}

bool HasEncoderFlag(const std::vector<std::string>& arguments, const std::string& flag)
{
    std::vector<Role> roles = ArgumentRoles(arguments);
    for (size_t i = 0; i < arguments.size(); ++i)
        if (roles[i] == Role::Option && arguments[i] == flag)
            return true;
    return false;
}

std::string DvdAspectFilter(const std::vector<std::string>& arguments)
{
    std::string target = OptionValue(arguments, "-target");
    const DvdFrame* frame = nullptr;
    for (const DvdFrame& candidate : kDvdFrames)
        if (target == candidate.target)
            frame = &candidate;
    if (!frame || HasEncoderFlag(arguments, "-vn"))
        return {};
    for (std::string_view option : kVideoShapeOptions)
        if (HasEncoderFlag(arguments, std::string(option)))
            return {};

    // The frame's aspect: 16:9 from the geometric middle of 4:3 and 16:9
    // up, which is where 16:9 leaves less of the frame black. Scaling the
    // picture to fit a frame of that aspect leaves it with the sample aspect
    // of that frame, so the padded frame's own aspect is right up to rounding.
    // An unknown sample aspect (0:1) is made square first: the scaler would
    // pass it on unchanged and the frame's aspect would be lost.
    const std::string aspect = "(if(gt(dar\\,sqrt(64/27))\\,16/9\\,4/3))";
    const std::string width = std::to_string(frame->width);
    const std::string height = std::to_string(frame->height);
    const std::string wider = "gt(dar\\," + aspect + ")";
    auto even = [](const std::string& size) { return "max(2\\,2*round(" + size + "/2))"; };
    std::string fitWidth = even("if(" + wider + "\\," + width + "\\," + width + "*dar/" + aspect + ")");
    std::string fitHeight = even("if(" + wider + "\\," + height + "*" + aspect + "/dar\\," + height + ")");
    return "setsar=r=sar:max=10000,scale=w='" + fitWidth + "':h='" + fitHeight + "',pad=" + width + ":" + height +
           ":(ow-iw)/2:(oh-ih)/2,setdar=r='" + aspect + "':max=1000";
}

TemporaryTemplate TemporaryOutputTemplate(const std::string& output, bool shortForm)
{
    size_t slash = output.rfind('/');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = output.rfind('.');
    // A leading dot names a hidden file, not an extension.
    if (dot == std::string::npos || dot <= nameStart)
        dot = output.size();
    std::string extension = output.substr(dot);
    std::string stem = shortForm ? output.substr(0, nameStart) + "." : output.substr(0, dot) + ".";
    return {stem + "mg-XXXXXX" + extension, static_cast<int>(extension.size())};
}

std::vector<std::string> WithoutEncoderFlag(const std::vector<std::string>& arguments, const std::string& flag)
{
    std::vector<Role> roles = ArgumentRoles(arguments);
    std::vector<std::string> kept;
    for (size_t i = 0; i < arguments.size(); ++i)
        if (roles[i] != Role::Option || arguments[i] != flag)
            kept.push_back(arguments[i]);
    return kept;
}
