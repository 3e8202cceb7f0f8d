// DVD-Video knows only the display aspects 4:3 and 16:9. Each source shape
// must come out as one of them with its picture kept in shape: a white
// source in black bars shows the picture's own rectangle to cropdetect.

#include "MediaKit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace {

struct ShapeCase {
    const char* size;
    const char* sourceSar;  // of the source's pixels
    const char* target;
    const char* expectedDar;
};

const ShapeCase kShapes[] = {
    {"640x480", "1/1", "pal-dvd", "4:3"},
    {"1280x720", "1/1", "pal-dvd", "16:9"},
    {"1920x800", "1/1", "pal-dvd", "16:9"},
    {"720x576", "1/1", "pal-dvd", "4:3"},
    {"1920x800", "1/1", "ntsc-dvd", "16:9"},
    // A widescreen DVD source with wide pixels stays widescreen.
    {"720x576", "64/45", "pal-dvd", "16:9"},
};

double Ratio(const std::string& text)
{
    int a = 0, b = 0;
    if (std::sscanf(text.c_str(), "%d%*[:x/]%d", &a, &b) != 2 || b == 0)
        return 0;
    return static_cast<double>(a) / b;
}

// The rectangle cropdetect finds over the whole file, as "w:h:x:y".
std::string ActivePicture(const std::string& path)
{
    ProgramResult result = RunProgram({"ffmpeg", "-nostdin", "-hide_banner", "-i", path, "-vf",
                                       "cropdetect=limit=24:round=2:reset=0", "-f", "null", "-"});
    size_t at = result.output.rfind("crop=");
    if (at == std::string::npos)
        return result.output;
    size_t end = result.output.find_first_not_of("0123456789:", at + 5);
    return result.output.substr(at + 5, end - at - 5);
}

} // namespace

TEST(DvdAspect, EverySourceShapeBecomesFourByThreeOrSixteenByNineUnstretched)
{
    std::string folder = MakeScratchFolder();
    ASSERT_FALSE(folder.empty());
    int index = 0;
    for (const ShapeCase& shape : kShapes) {
        SCOPED_TRACE(std::string(shape.size) + " SAR " + shape.sourceSar + " to " + shape.target);
        std::string source = folder + "source" + std::to_string(index) + ".mkv";
        std::string output = folder + "out" + std::to_string(index++) + ".mpg";
        ProgramResult made = RunProgram({"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-f", "lavfi",
                                         "-i", std::string("color=white:rate=25:duration=0.5:size=") + shape.size,
                                         "-vf", std::string("setsar=") + shape.sourceSar, "-c:v", "mpeg4", source});
        ASSERT_EQ(made.exitCode, 0) << made.output;

        ProgramResult encoded = RunProgram({MgExePath(), "-i", source, "-y", "-target", shape.target, output});
        ASSERT_EQ(encoded.exitCode, 0) << encoded.output;
        nlohmann::json report;
        std::string log;
        ASSERT_TRUE(ProbeMedia(output, &report, &log)) << log;
        const nlohmann::json* video = FindStream(report, "video");
        ASSERT_NE(video, nullptr);
        EXPECT_EQ(TextOf(*video, "display_aspect_ratio"), shape.expectedDar);

        std::string crop = ActivePicture(output);
        int width = 0, height = 0;
        ASSERT_EQ(std::sscanf(crop.c_str(), "%d:%d", &width, &height), 2) << crop;
        double pictureAspect = width * Ratio(TextOf(*video, "sample_aspect_ratio")) / height;
        double sourceAspect = Ratio(shape.size) * Ratio(shape.sourceSar);
        EXPECT_NEAR(pictureAspect / sourceAspect, 1.0, 0.02) << crop;
        // The picture fills the frame one way: bars only on one axis.
        EXPECT_TRUE(width == IntegerOf(*video, "width") || height == IntegerOf(*video, "height")) << crop;
    }
    RemoveScratchFolder(folder);
}
