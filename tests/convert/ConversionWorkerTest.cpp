#include "convert/ConversionWorker.h"

#include "app/ConversionSettings.h"
#include "support/ScriptedSeam.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>

namespace {

class ListOf final : public SourceList {
public:
    std::vector<std::string> items;
    int GetCount() const override { return static_cast<int>(items.size()); }
    std::string GetText(int index) const override { return items.at(static_cast<size_t>(index)); }
};

class RecordingView final : public ConversionView {
public:
    std::vector<std::string> files; // "name n/count"
    std::vector<int> percents;
    std::vector<std::string> log;
    int completions = 0;
    std::function<void(RecordingView&)> onLog;

    void ShowFile(const std::string& name, int number, int count) override
    {
        files.push_back(name + " " + std::to_string(number) + "/" + std::to_string(count));
    }
    void ShowPercent(int percent) override { percents.push_back(percent); }
    void AddLogLine(const std::string& text) override
    {
        log.push_back(text);
        if (onLog)
            onLog(*this);
    }
    CDialog* Owner() override { return reinterpret_cast<CDialog*>(0x77); }
    void TransComplete() override { ++completions; }
};

// A program folder whose mg.exe is the fake encoder, and a source folder of
// files whose first word tells the fake what to do.
class ConversionWorkerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_symlink(std::string(KANDRIX_TEST_FIXTURES) + "fake_mg.sh", program.Path("mg.exe"));
        settings.task = CT_VIDEO2MPG;
        settings.outputFormat = 4;
        settings.outputFolder = output.Folder();
        settings.programFolder = program.Folder();
        settings.overwriteExisting = 1;
        settings.sourcePaths = &paths;
        settings.sourceNames = &names;
    }

    void AddSource(const std::string& name, const std::string& behaviour)
    {
        paths.items.push_back(behaviour.empty() ? sources.Path(name) : sources.Write(name, behaviour));
        names.items.push_back(name);
    }

    void Run() { AVI2MPEGFunc(settings, view, control, 20); }

    TempDir program, sources, output;
    ListOf paths, names;
    ConversionSettings settings;
    RecordingView view;
    ConversionControl control;
    ScriptedSeam seam;
};

} // namespace

TEST_F(ConversionWorkerTest, ConvertsEveryFileInListOrder)
{
    AddSource("a.avi", "ok");
    AddSource("b.avi", "ok");
    AddSource("c.avi", "ok");
    Run();
    EXPECT_EQ(view.files, (std::vector<std::string>{"a.avi 1/3", "b.avi 2/3", "c.avi 3/3"}));
    EXPECT_EQ(settings.succeededCount, 3);
    EXPECT_EQ(settings.convertedFiles, (std::vector<std::string>{output.Path("a.avi.vob"), output.Path("b.avi.vob"),
                                                                 output.Path("c.avi.vob")}));
    ASSERT_FALSE(view.percents.empty());
    EXPECT_EQ(view.percents.front(), 50);
    EXPECT_EQ(view.percents.back(), 100);
    EXPECT_EQ(view.completions, 1);
    EXPECT_TRUE(seam.Boxes().empty());
}

TEST_F(ConversionWorkerTest, FailedFilesAreNotCountedAndTheOthersGoOn)
{
    AddSource("a.avi", "ok");
    AddSource("unreadable.avi", ""); // never written
    AddSource("broken.avi", "fail");
    // An output from an earlier run proves nothing about this one.
    output.Write("broken.avi.vob", "old");
    AddSource("d.avi", "ok");
    Run();
    EXPECT_EQ(settings.succeededCount, 2);
    EXPECT_EQ(settings.convertedFiles, (std::vector<std::string>{output.Path("a.avi.vob"), output.Path("d.avi.vob")}));
    EXPECT_EQ(view.completions, 1);
    EXPECT_TRUE(seam.Boxes().empty());
}

TEST_F(ConversionWorkerTest, CancelDuringTheSecondFileEndsTheRun)
{
    AddSource("a.avi", "ok");
    AddSource("b.avi", "slow");
    AddSource("c.avi", "ok");
    view.onLog = [this](RecordingView& v) {
        if (v.files.size() == 2 && v.log.back().find("time=") != std::string::npos)
            control.cancel = 1;
    };
    Run();
    EXPECT_EQ(settings.succeededCount, 0);
    EXPECT_EQ(settings.convertedFiles, (std::vector<std::string>{output.Path("a.avi.vob")}));
    EXPECT_EQ(view.files.size(), 2u);
    EXPECT_EQ(view.completions, 1);
    // Nothing is deleted: the first output and the partial second stay.
    EXPECT_TRUE(std::filesystem::exists(output.Path("a.avi.vob")));
    EXPECT_TRUE(std::filesystem::exists(output.Path("b.avi.vob")));
    EXPECT_FALSE(std::filesystem::exists(output.Path("c.avi.vob")));
}

TEST_F(ConversionWorkerTest, MissingEncoderStopsAtTheFirstFile)
{
    std::filesystem::remove(program.Path("mg.exe"));
    AddSource("a.avi", "ok");
    AddSource("b.avi", "ok");
    Run();
    EXPECT_EQ(seam.BoxTexts(), (std::vector<std::string>{"Error on CreateProcess()"}));
    EXPECT_EQ(seam.Boxes()[0].owner, view.Owner());
    EXPECT_EQ(settings.succeededCount, 0);
    EXPECT_EQ(view.completions, 1);
    EXPECT_TRUE(view.files.empty());
}

TEST_F(ConversionWorkerTest, NoToTheOverwriteQuestionSkipsThatFileOnly)
{
    settings.overwriteExisting = 0;
    AddSource("a.avi", "ok");
    AddSource("b.avi", "ok");
    std::string existing = output.Write("a.avi.vob", "keep me");
    seam.AnswerBox(IDNO);
    Run();
    EXPECT_EQ(seam.BoxTexts(), (std::vector<std::string>{"The file: " + existing + " have exist. writeover it? "}));
    EXPECT_EQ(settings.convertedFiles, (std::vector<std::string>{output.Path("b.avi.vob")}));
    EXPECT_EQ(settings.succeededCount, 1);
    std::ifstream kept(existing);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep me");
}

TEST_F(ConversionWorkerTest, AwkwardSourcePathReachesTheEncoder)
{
    settings.sameAsSource = 1;
    AddSource("my \"best\" $HOME `id` clip.avi", "ok");
    AddSource("-dash.avi", "ok");
    Run();
    EXPECT_EQ(settings.succeededCount, 2);
    EXPECT_TRUE(std::filesystem::exists(sources.Path("my \"best\" $HOME `id` clip.avi.vob")));
    EXPECT_TRUE(std::filesystem::exists(sources.Path("-dash.avi.vob")));
}

TEST_F(ConversionWorkerTest, Task0WithoutATemporaryNameLogsAndGoesOn)
{
    settings.task = CT_VIDEO2DVD;
    settings.outputFolder = output.Path("missing/");
    AddSource("a.avi", "ok");
    AddSource("b.avi", "ok");
    Run();
    std::string line = "Cannot create a temporary file in " + output.Path("missing/") + ": No such file or directory";
    EXPECT_EQ(view.log, (std::vector<std::string>{line, line}));
    EXPECT_EQ(settings.succeededCount, 0);
    EXPECT_EQ(view.completions, 1);

    settings.outputFolder = output.Folder();
    Run();
    ASSERT_EQ(settings.convertedFiles.size(), 2u);
    for (const std::string& file : settings.convertedFiles) {
        EXPECT_TRUE(std::filesystem::exists(file));
        EXPECT_TRUE(std::filesystem::exists(file.substr(0, file.size() - 4))); // its placeholder
    }
}

TEST_F(ConversionWorkerTest, EmptyListAndTask1)
{
    Run();
    EXPECT_EQ(view.completions, 1);
    EXPECT_EQ(settings.succeededCount, 0);

    settings.task = CT_MPG2DVD;
    AddSource("a.avi", "ok");
    Run();
    EXPECT_EQ(seam.BoxTexts(), (std::vector<std::string>{"error AVI2MPEGFunc -> CT_MPG2DVD "}));
    EXPECT_EQ(view.completions, 1);
}
