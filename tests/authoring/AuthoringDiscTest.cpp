#include "AuthoringKit.h"

#include "core/ConversionSettings.h"
#include "convert/ProcessRunner.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// Runs a tool found on the PATH to its end; its output, or "" when it failed.
std::string RunTool(const std::vector<std::string>& arguments)
{
    std::string output;
    int status = -1;
    if (!RunBatch(arguments, [&](const std::string& chunk) { output += chunk; }, 1, &status) || status != 0)
        return "";
    return output.empty() ? " " : output;
}

std::string MakeDvdMpeg(const std::string& path, const std::string& pattern)
{
    const bool made = !RunTool({"/usr/bin/env", "ffmpeg", "-v", "error", "-nostdin", "-f", "lavfi", "-i",
                                pattern + "=size=720x576:rate=25", "-f", "lavfi", "-i",
                                "anullsrc=r=48000:cl=stereo", "-t", "1", "-aspect", "4:3", "-target", "pal-dvd",
                                "-y", path})
                              .empty();
    return made ? path : "";
}

} // namespace

// The XML as written must be one that dvdauthor, which ar.exe drives,
// understands: one title playing both files, also when the output folder's
// name needs entities.
TEST(AuthoringDiscTest, DvdauthorBuildsOneTitleFromTheXml)
{
    TempDir dir;
    const std::string program = dir.Path("prog/");
    std::filesystem::create_directory(program);
    WriteFile(program + "ar.exe", "#!/bin/sh\nVIDEO_FORMAT=PAL exec dvdauthor \"$@\"\n");
    chmod((program + "ar.exe").c_str(), 0755);
    const std::string out = dir.Path("out & <x> \"q\"/");
    std::filesystem::create_directory(out);
    const std::string first = MakeDvdMpeg(dir.Path("bars.mpg"), "testsrc");
    const std::string second = MakeDvdMpeg(dir.Path("snow.mpg"), "rgbtestsrc");
    ASSERT_FALSE(first.empty() || second.empty()) << "ffmpeg could not make the sources";

    RecordingView view;
    AuthoringPaths paths;
    std::vector<std::string> files = {first, second};
    view.list = files;
    const std::shared_ptr<RunFolder> work = WorkFolderIn(out);
    ASSERT_TRUE(WriteAuthoringFiles({CT_MPG2DVD, out, program, files}, *work, view, paths, files));
    ASSERT_TRUE(RunAuthoringBatch(paths, view)) << view.LogText();

    const std::string listing = RunTool({"/usr/bin/env", "lsdvd", paths.folder});
    EXPECT_NE(listing.find("Title: 01, Length: 00:00:02"), std::string::npos) << listing;
    EXPECT_NE(listing.find("Cells: 02"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("Title: 02"), std::string::npos) << listing;
}
