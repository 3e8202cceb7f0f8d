#include "convert/EncodingJob.h"

#include "core/ConversionSettings.h"
#include "convert/ConversionRequest.h"
#include "platform/JobQuestions.h"
#include "platform/TempName.h"
#include "support/ScriptedSeam.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <set>

namespace {

ConversionRequest Task2(int format, const std::string& outputFolder = "/out/")
{
    ConversionRequest settings;
    settings.task = CT_VIDEO2MPG;
    settings.outputFormat = format;
    settings.outputFolder = outputFolder;
    settings.programFolder = "/opt/kandrix/";
    return settings;
}

EncodingJob Build(const ConversionRequest& settings, const std::string& path, const std::string& name)
{
    std::string error;
    std::optional<EncodingJob> job = BuildJob(settings, path, name, &error);
    EXPECT_TRUE(job) << error;
    return job.value_or(EncodingJob{});
}

} // namespace

TEST(EncodingJobTest, CommandLineOfEveryTask2Format)
{
    const char* expected[] = {
        "\"/opt/kandrix/mg.exe\" -i \"/v/clip.avi\" -y -f mpeg -r 25 -b 160 -s 320x240 \"/out/clip.avi.mpg\"",
        "\"/opt/kandrix/mg.exe\" -i \"/v/clip.avi\" -y -f mpeg2video -r 25 -b 200 -s 320x240 \"/out/clip.avi.mpg\"",
        "\"/opt/kandrix/mg.exe\" -i \"/v/clip.avi\" -y -target pal-vcd \"/out/clip.avi.vob\"",
        "\"/opt/kandrix/mg.exe\" -i \"/v/clip.avi\" -y -target pal-svcd \"/out/clip.avi.vob\"",
        "\"/opt/kandrix/mg.exe\" -i \"/v/clip.avi\" -y -target pal-dvd \"/out/clip.avi.vob\"",
        "\"/opt/kandrix/mg.exe\" -i \"/v/clip.avi\" -y -target ntsc-vcd \"/out/clip.avi.vob\"",
        "\"/opt/kandrix/mg.exe\" -i \"/v/clip.avi\" -y -target ntsc-svcd \"/out/clip.avi.vob\"",
        "\"/opt/kandrix/mg.exe\" -i \"/v/clip.avi\" -y -target ntsc-dvd \"/out/clip.avi.vob\"",
    };
    for (int format = 0; format < 8; ++format) {
        EncodingJob job = Build(Task2(format), "/v/clip.avi", "clip.avi");
        EXPECT_EQ(job.commandLine, expected[format]) << "format " << format;
        EXPECT_TRUE(job.placeholderPath.empty());
    }
    std::vector<std::string> arguments = {"/opt/kandrix/mg.exe", "-i", "/v/clip.avi", "-y", "-f", "mpeg", "-r", "25",
                                          "-b", "160", "-s", "320x240", "/out/clip.avi.mpg"};
    EXPECT_EQ(Build(Task2(0), "/v/clip.avi", "clip.avi").arguments, arguments);
}

TEST(EncodingJobTest, SameAsSourceKeepsTheSourceNameAndFolder)
{
    ConversionRequest settings = Task2(3, "/elsewhere/");
    settings.sameAsSource = 1;
    EXPECT_EQ(Build(settings, "/v/clip.avi", "clip.avi").outputPath, "/v/clip.avi.vob");
    settings.outputFormat = 1;
    EXPECT_EQ(Build(settings, "/v/clip.avi", "clip.avi").outputPath, "/v/clip.avi.mpg");
}

TEST(EncodingJobTest, AwkwardPathsStayOneArgumentEach)
{
    // Such text would break a command line run through a shell; as arguments
    // it reaches the encoder as it stands.
    std::string odd = "/v/my \"best\" $HOME `id` clip.avi";
    EncodingJob job = Build(Task2(4), odd, "my \"best\" $HOME `id` clip.avi");
    EXPECT_EQ(job.arguments[2], odd);
    EXPECT_EQ(job.arguments.back(), "/out/my \"best\" $HOME `id` clip.avi.vob");
    EXPECT_EQ(job.commandLine, "\"/opt/kandrix/mg.exe\" -i \"" + odd + "\" -y -target pal-dvd \"" + job.outputPath + "\"");

    // A relative path that looks like an option or a protocol is made a path.
    ConversionRequest relative = Task2(4, "");
    job = Build(relative, "-x.avi", "-x.avi");
    EXPECT_EQ(job.arguments[2], "./-x.avi");
    EXPECT_EQ(job.arguments.back(), "./-x.avi.vob");
    EXPECT_EQ(PathArgument("http:clip.avi"), "./http:clip.avi");
}

TEST(EncodingJobTest, Task0EncodesToAFreshTemporaryName)
{
    TempDir dir;
    ConversionRequest settings;
    settings.task = CT_VIDEO2DVD;
    settings.outputFolder = "/out/";
    settings.workFolder = dir.Folder();
    settings.programFolder = "/opt/kandrix/";
    settings.outputFormat = 0; // plays no part in task 0
    settings.sameAsSource = 1;

    for (int tv : {0, 1, 2}) {
        settings.tvSystem = tv;
        EncodingJob job = Build(settings, "/v/clip.avi", "clip.avi");
        const char* target = tv == 0 ? "pal-dvd" : "ntsc-dvd";
        EXPECT_EQ(job.commandLine, "\"/opt/kandrix/mg.exe\" -i \"/v/clip.avi\" -y -target " + std::string(target)
                                       + " \"" + job.placeholderPath + ".mpg\"");
        EXPECT_EQ(job.outputPath, job.placeholderPath + ".mpg");
        EXPECT_EQ(job.placeholderPath.rfind(dir.Folder(), 0), 0u);
        EXPECT_TRUE(std::filesystem::exists(job.placeholderPath));
    }
}

TEST(EncodingJobTest, ARunsVideoRateFollowsTheTargetButNotTheCommandText)
{
    TempDir dir;
    ConversionRequest settings;
    settings.task = CT_VIDEO2DVD;
    settings.workFolder = dir.Folder();
    settings.programFolder = "/opt/kandrix/";
    settings.tvSystem = 0;
    settings.videoKbps = 4800;
    EncodingJob job = Build(settings, "/v/clip.avi", "clip.avi");
    EXPECT_EQ(job.commandLine,
              "\"/opt/kandrix/mg.exe\" -i \"/v/clip.avi\" -y -target pal-dvd \"" + job.placeholderPath + ".mpg\"");
    const std::vector<std::string> arguments = {"/opt/kandrix/mg.exe", "-i", "/v/clip.avi", "-y", "-target",
                                                "pal-dvd", "-b:v", "4800k", job.outputPath};
    EXPECT_EQ(job.arguments, arguments);

    // Converting files (task 2) never gets one.
    ConversionRequest convert = Task2(4);
    convert.videoKbps = 4800;
    EXPECT_EQ(Build(convert, "/v/clip.avi", "clip.avi").arguments.size(), 7u);
}

TEST(EncodingJobTest, NoJobForAnUnknownFormatOrTask1)
{
    std::string error;
    EXPECT_FALSE(BuildJob(Task2(8), "/v/a.avi", "a.avi", &error));
    EXPECT_NE(error.find("/v/a.avi"), std::string::npos);
    ConversionRequest settings = Task2(4);
    settings.task = CT_MPG2DVD;
    EXPECT_FALSE(BuildJob(settings, "/v/a.avi", "a.avi", &error));
    // Task 0 never puts an intermediate file anywhere but in its work folder.
    settings.task = CT_VIDEO2DVD;
    EXPECT_FALSE(BuildJob(settings, "/v/a.avi", "a.avi", &error));
    EXPECT_NE(error.find("/v/a.avi"), std::string::npos);
}

TEST(EncodingJobTest, OverwriteQuestionOnlyForAnExistingFile)
{
    TempDir dir;
    ScriptedSeam seam;
    ConversionRequest settings = Task2(4, dir.Folder());
    settings.overwriteExisting = 0;
    std::string existing = dir.Write("clip.avi.vob", "old");
    CDialog* owner = reinterpret_cast<CDialog*>(0x1234);
    SeamQuestions questions(owner);

    EXPECT_TRUE(AskOverwrite(settings, dir.Path("new.vob"), questions));
    EXPECT_TRUE(seam.Boxes().empty());

    seam.AnswerBox(IDNO);
    EXPECT_FALSE(AskOverwrite(settings, existing, questions));
    seam.AnswerBox(IDYES);
    EXPECT_TRUE(AskOverwrite(settings, existing, questions));
    ASSERT_EQ(seam.Boxes().size(), 2u);
    ScriptedSeam::Box box = seam.Boxes()[0];
    EXPECT_EQ(box.owner, owner);
    EXPECT_EQ(box.text, "The file: " + existing + " have exist. writeover it? ");
    EXPECT_EQ(box.caption, "KANDRIX");
    EXPECT_EQ(box.type, MB_YESNO | MB_ICONQUESTION);

    settings.overwriteExisting = 1;
    EXPECT_TRUE(AskOverwrite(settings, existing, questions));
    EXPECT_EQ(seam.Boxes().size(), 2u);
}

TEST(TempNameTest, NewEmptyUniqueFiles)
{
    TempDir dir;
    std::set<std::string> names;
    for (int i = 0; i < 40; ++i) {
        std::string path;
        ASSERT_TRUE(MakeTempName(dir.Folder(), &path));
        EXPECT_TRUE(names.insert(path).second) << path;
        EXPECT_EQ(std::filesystem::file_size(path), 0u);
        std::string name = std::filesystem::path(path).filename().string();
        EXPECT_TRUE(std::regex_match(name, std::regex("vre[0-9A-F]{1,4}\\.tmp"))) << name;
        EXPECT_EQ(std::filesystem::path(path).parent_path(), std::filesystem::path(dir.Folder()).parent_path());
    }
    // Without the separator the folder is meant all the same.
    std::string path;
    ASSERT_TRUE(MakeTempName(dir.Folder().substr(0, dir.Folder().size() - 1), &path));
    EXPECT_EQ(path.rfind(dir.Folder(), 0), 0u);
}
