#include "convert/ConversionWorker.h"

#include "core/ConversionSettings.h"
#include "platform/JobQuestions.h"
#include "platform/RunFolder.h"
#include "support/ManualJobControl.h"
#include "support/ScriptedSeam.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

class RecordingView final : public ConversionView {
public:
    std::vector<std::string> files; // "name n/count"
    std::vector<int> percents;
    std::vector<std::string> log;
    SeamQuestions questions{reinterpret_cast<CDialog*>(0x77)};

    void ShowFile(const std::string& name, int number, int count) override
    {
        files.push_back(name + " " + std::to_string(number) + "/" + std::to_string(count));
    }
    void ShowPercent(int percent) override { percents.push_back(percent); }
    void AddLogLine(const std::string& text) override { log.push_back(text); }
    JobQuestions& Questions() override { return questions; }
};

// A program folder whose mg.exe is the fake encoder, and a source folder of
// files whose first word tells the fake what to do.
class ConversionWorkerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_symlink(std::string(KANDRIX_TEST_FIXTURES) + "fake_mg.sh", program.Path("mg.exe"));
        request.task = CT_VIDEO2MPG;
        request.outputFormat = 4;
        request.outputFolder = output.Folder();
        request.programFolder = program.Folder();
        request.overwriteExisting = 1;
    }

    void AddSource(const std::string& name, const std::string& behaviour)
    {
        request.sources.push_back(
            {behaviour.empty() ? sources.Path(name) : sources.Write(name, behaviour), name});
    }

    void Run() { result = AVI2MPEGFunc(request, view, &control, 20); }

    TempDir program, sources, output;
    ConversionRequest request;
    ConversionResult result;
    RecordingView view;
    ManualJobControl control;
    ScriptedSeam seam;
};

} // namespace

TEST_F(ConversionWorkerTest, FailedFilesAreNotCountedAndTheOthersGoOn)
{
    AddSource("a.avi", "ok");
    AddSource("unreadable.avi", ""); // never written
    AddSource("broken.avi", "fail");
    // An output from an earlier run proves nothing about this one.
    output.Write("broken.avi.vob", "old");
    AddSource("d.avi", "ok");
    Run();
    EXPECT_EQ(result.succeededCount, 2);
    EXPECT_EQ(result.convertedFiles, (std::vector<std::string>{output.Path("a.avi.vob"), output.Path("d.avi.vob")}));
    EXPECT_EQ(view.files.back(), "d.avi 4/4");
    EXPECT_EQ(view.percents, (std::vector<int>{50, 100, 100, 50, 100, 100}));
    EXPECT_TRUE(seam.Boxes().empty());
}

TEST_F(ConversionWorkerTest, NoToTheOverwriteQuestionSkipsThatFileOnly)
{
    request.overwriteExisting = 0;
    AddSource("a.avi", "ok");
    AddSource("b.avi", "ok");
    std::string existing = output.Write("a.avi.vob", "keep me");
    seam.AnswerBox(IDNO);
    Run();
    EXPECT_EQ(seam.BoxTexts(), (std::vector<std::string>{"The file: " + existing + " have exist. writeover it? "}));
    EXPECT_EQ(result.convertedFiles, (std::vector<std::string>{output.Path("b.avi.vob")}));
    EXPECT_EQ(result.succeededCount, 1);
    std::ifstream kept(existing);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep me");
}

TEST_F(ConversionWorkerTest, AwkwardSourcePathReachesTheEncoder)
{
    request.sameAsSource = 1;
    AddSource("my \"best\" $HOME `id` clip.avi", "ok");
    AddSource("-dash.avi", "ok");
    Run();
    EXPECT_EQ(result.succeededCount, 2);
    EXPECT_TRUE(std::filesystem::exists(sources.Path("my \"best\" $HOME `id` clip.avi.vob")));
    EXPECT_TRUE(std::filesystem::exists(sources.Path("-dash.avi.vob")));
}

// Task 0 keeps its intermediate files in a work folder of its own, which
// goes when nothing was converted.
TEST_F(ConversionWorkerTest, Task0WorksInAFolderOfItsOwn)
{
    request.task = CT_VIDEO2DVD;
    request.outputFolder = output.Path("missing/");
    AddSource("a.avi", "ok");
    AddSource("b.avi", "fail");
    Run();
    EXPECT_EQ(view.log, (std::vector<std::string>{"Cannot make a work folder in " + output.Path("missing/") +
                                                  ": No such file or directory"}));
    EXPECT_EQ(result.succeededCount, 0);
    EXPECT_EQ(result.workFolder, nullptr);

    request.outputFolder = output.Folder();
    Run();
    ASSERT_NE(result.workFolder, nullptr);
    ASSERT_EQ(result.convertedFiles.size(), 1u);
    const std::string file = result.convertedFiles[0];
    EXPECT_TRUE(result.workFolder->Holds(file)) << file;
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(result.workFolder->SourceOf(file), request.sources[0].path);

    request.sources = {request.sources[1]};
    Run();
    EXPECT_EQ(result.workFolder, nullptr);
    for (const auto& entry : std::filesystem::directory_iterator(output.Folder()))
        EXPECT_NE(entry.path().filename().string().rfind(".kandrix-run-", 0), 0u) << entry.path();
}

TEST_F(ConversionWorkerTest, EmptyListAndTask1)
{
    Run();
    EXPECT_EQ(result.succeededCount, 0);

    request.task = CT_MPG2DVD;
    AddSource("a.avi", "ok");
    Run();
    EXPECT_EQ(seam.BoxTexts(), (std::vector<std::string>{"error AVI2MPEGFunc -> CT_MPG2DVD "}));
    EXPECT_TRUE(result.convertedFiles.empty());
}
