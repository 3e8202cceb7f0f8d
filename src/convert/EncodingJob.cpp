#include "convert/EncodingJob.h"

#include "core/ConversionSettings.h"
#include "convert/ConversionRequest.h"
#include "platform/JobQuestions.h"
#include "platform/Paths.h"
#include "platform/TempName.h"

#include <iterator>

namespace {

struct Format {
    std::vector<std::string> options;
    const char* extension;
};

// Task 2, by output format. "PAL_VCD" gets the PAL VideoCD target: the NTSC
// one it used to share with "NTSC_VCD" gave a PAL user an NTSC disc.
const Format kFormats[] = {
    {{"-f", "mpeg", "-r", "25", "-b", "160", "-s", "320x240"}, ".mpg"},
    {{"-f", "mpeg2video", "-r", "25", "-b", "200", "-s", "320x240"}, ".mpg"},
    {{"-target", "pal-vcd"}, ".vob"},
    {{"-target", "pal-svcd"}, ".vob"},
    {{"-target", "pal-dvd"}, ".vob"},
    {{"-target", "ntsc-vcd"}, ".vob"},
    {{"-target", "ntsc-svcd"}, ".vob"},
    {{"-target", "ntsc-dvd"}, ".vob"},
};

// Task 0, by TV system: 0 PAL, anything else NTSC.
const Format kDvdPal {{"-target", "pal-dvd"}, ".mpg"};
const Format kDvdNtsc {{"-target", "ntsc-dvd"}, ".mpg"};

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

EncodingJob MakeJob(const std::string& programFolder, const std::string& sourcePath, const Format& format,
                    const std::string& base, int videoKbps = 0)
{
    EncodingJob job;
    std::string encoder = programFolder + "mg.exe";
    job.outputPath = base + format.extension;

    job.commandLine = Quoted(encoder) + " -i " + Quoted(sourcePath) + " -y";
    for (const std::string& option : format.options)
        job.commandLine += " " + option;
    job.commandLine += " " + Quoted(job.outputPath);

    job.arguments = {encoder, "-i", PathArgument(sourcePath), "-y"};
    job.arguments.insert(job.arguments.end(), format.options.begin(), format.options.end());
    // After the target, whose own rate it overrides. The command text keeps
    // its old form: it is what the program has always shown.
    if (videoKbps > 0) {
        job.arguments.push_back("-b:v");
        job.arguments.push_back(std::to_string(videoKbps) + "k");
    }
    job.arguments.push_back(PathArgument(job.outputPath));
    return job;
}

} // namespace

std::string PathArgument(const std::string& path)
{
    // An absolute path can be neither an option nor a "protocol:" name; a
    // relative one is made to start with "./", which keeps its meaning.
    if (!path.empty() && path[0] == kPathSeparator)
        return path;
    return std::string(".") + kPathSeparator + path;
}

std::optional<EncodingJob> BuildJob(const ConversionRequest& request, const std::string& sourcePath,
                                    const std::string& sourceName, std::string* error)
{
    auto fail = [&](const std::string& cause) -> std::optional<EncodingJob> {
        if (error)
            *error = cause;
        return std::nullopt;
    };
    if (request.task == CT_VIDEO2MPG) {
        int index = request.outputFormat;
        if (index < 0 || index >= static_cast<int>(std::size(kFormats)))
            return fail("Unknown output format " + std::to_string(index) + " for " + sourcePath);
        std::string base = request.sameAsSource ? sourcePath : request.outputFolder + sourceName;
        return MakeJob(request.programFolder, sourcePath, kFormats[index], base);
    }
    if (request.task == CT_VIDEO2DVD) {
        std::string base;
        std::string cause;
        if (request.workFolder.empty())
            return fail("No work folder for the intermediate file of " + sourcePath);
        if (!MakeTempName(request.workFolder, &base, &cause))
            return fail(cause);
        EncodingJob job = MakeJob(request.programFolder, sourcePath,
                                  request.tvSystem == 0 ? kDvdPal : kDvdNtsc, base, request.videoKbps);
        job.placeholderPath = base;
        return job;
    }
    return fail("No encoding for task " + std::to_string(request.task));
}

bool AskOverwrite(const ConversionRequest& request, const std::string& outputPath, JobQuestions& questions)
{
    if (request.overwriteExisting || !FileExists(outputPath))
        return true;
    std::string text = "The file: " + outputPath + " have exist. writeover it? ";
    return questions.MessageBox(text, "KANDRIX", MB_YESNO | MB_ICONQUESTION) == IDYES;
}
