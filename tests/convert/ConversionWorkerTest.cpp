#include "convert/ConversionWorker.h"

#include "core/ConversionSettings.h"
#include "platform/JobQuestions.h"
#include "platform/Paths.h"
#include "platform/RunFolder.h"
#include "support/ManualJobControl.h"
#include "support/ProcessProbe.h"
#include "support/ScriptedSeam.h"
#include "support/TempDir.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <thread>

namespace {

class RecordingView final : public ConversionView {
public:
    std::vector<std::string> files; // "names n/count"
    std::vector<std::pair<std::string, int>> percents; // the label shown, the percent
    std::vector<int> totals;
    std::vector<std::string> log;
    SeamQuestions questions{reinterpret_cast<CDialog*>(0x77)};
    // What the test does when the worker shows these running files.
    std::map<std::string, std::function<void()>> onShow;

    void ShowFile(const std::string& names, int number, int count) override
    {
        files.push_back(names + " " + std::to_string(number) + "/" + std::to_string(count));
        label = names;
        if (auto reaction = onShow.find(names); reaction != onShow.end())
            reaction->second();
    }
    void ShowPercent(int percent) override { percents.emplace_back(label, percent); }
    void ShowTotal(int percent) override { totals.push_back(percent); }
    void AddLogLine(const std::string& text) override { log.push_back(text); }
    JobQuestions& Questions() override { return questions; }

private:
    std::string label;
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
        request.encoders = 2;
    }

    void AddSource(const std::string& name, const std::string& behaviour)
    {
        request.sources.push_back(
            {behaviour.empty() ? sources.Path(name) : sources.Write(name, behaviour), name});
    }

    void Run() { result = AVI2MPEGFunc(request, view, &control, 20); }

    // A stand-in that reports percent, then waits until the test opens its
    // gate; the function opens it.
    std::function<void()> AddWaiting(const std::string& name, int percent, bool fails = false)
    {
        const std::string gate = sources.Path(name + ".gate");
        AddSource(name, "wait " + std::to_string(percent) + " " + gate + (fails ? " fail" : ""));
        return [this, gate] { sources.Write(FileNameOf(gate), ""); };
    }

    TempDir program, sources, output;
    ConversionRequest request;
    ConversionResult result;
    RecordingView view;
    ManualJobControl control;
    ScriptedSeam seam;
};

} // namespace

// Files end in another order than the list's: c first, then a, b (which
// fails), d. Each gate opens when the worker shows the running files.
TEST_F(ConversionWorkerTest, SideBySideFilesKeepListOrderWhateverTheyEndIn)
{
    request.encoders = 3;
    auto openA = AddWaiting("a.avi", 10);
    auto openB = AddWaiting("b.avi", 20, true);
    auto openC = AddWaiting("c.avi", 30);
    auto openD = AddWaiting("d.avi", 40);
    view.onShow = {{"a.avi, b.avi, c.avi", openC}, {"a.avi, b.avi, d.avi", openA}, {"b.avi, d.avi", openB},
                   {"d.avi", openD}};
    Run();

    EXPECT_EQ(view.files, (std::vector<std::string>{"a.avi 1/4", "a.avi, b.avi 1/4", "a.avi, b.avi, c.avi 1/4",
                                                    "a.avi, b.avi 1/4", "a.avi, b.avi, d.avi 1/4", "b.avi, d.avi 2/4",
                                                    "d.avi 4/4"}));
    // The bar shows the leading file's percent only, never c's 30.
    const std::map<char, std::set<int>> percentsOf = {{'a', {10, 100}}, {'b', {20}}, {'d', {40, 100}}};
    for (const auto& [label, percent] : view.percents)
        EXPECT_EQ(percentsOf.at(label[0]).count(percent), 1u) << label << " " << percent;
    EXPECT_EQ(view.percents.back().second, 100);
    EXPECT_TRUE(std::is_sorted(view.totals.begin(), view.totals.end()));
    EXPECT_EQ(view.totals.back(), 100);

    EXPECT_EQ(result.convertedFiles, (std::vector<std::string>{output.Path("a.avi.vob"), output.Path("c.avi.vob"),
                                                               output.Path("d.avi.vob")}));
    EXPECT_EQ(result.succeededCount, 3);
    // Every entry belongs to one file, and the files' blocks follow the list.
    std::string owners;
    for (const std::string& entry : view.log) {
        ASSERT_TRUE(entry.size() > 5 && entry.substr(1, 4) == ".avi") << entry;
        if (owners.empty() || owners.back() != entry[0])
            owners += entry[0];
    }
    EXPECT_EQ(owners, "abcd");
}

TEST_F(ConversionWorkerTest, CancelStopsEveryEncoderAtOnce)
{
    AddWaiting("a.avi", 10);
    AddWaiting("b.avi", 20);
    AddSource("c.avi", "ok");
    std::vector<pid_t> encoders;
    view.onShow["a.avi, b.avi"] = [&] {
        for (const char* name : {"a.avi.vob.pid", "b.avi.vob.pid"}) {
            pid_t pid = 0;
            for (int tries = 0; pid <= 0 && tries < 1000; ++tries) {
                std::ifstream(output.Path(name)) >> pid;
                std::this_thread::sleep_for(std::chrono::milliseconds(pid > 0 ? 0 : 10));
            }
            encoders.push_back(pid);
        }
        control.Cancel();
    };
    Run();
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.succeededCount, 0);
    ASSERT_EQ(encoders.size(), 2u);
    for (pid_t encoder : encoders) {
        ASSERT_GT(encoder, 0);
        EXPECT_TRUE(ProcessGone(encoder));
    }
    EXPECT_FALSE(std::filesystem::exists(output.Path("c.avi.vob")));
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
    EXPECT_EQ(result.succeededCount, 2);
    EXPECT_EQ(result.convertedFiles, (std::vector<std::string>{output.Path("a.avi.vob"), output.Path("d.avi.vob")}));
    EXPECT_EQ(view.totals.back(), 100);
    EXPECT_TRUE(seam.Boxes().empty());
}

// Two files of one name from two folders make one output: the second waits
// for the first to end, and asks before it replaces it.
TEST_F(ConversionWorkerTest, OverwriteQuestionsComeBeforeTheirEncoderOneAtATime)
{
    request.overwriteExisting = 0;
    AddSource("a.avi", "ok");
    std::string existing = output.Write("a.avi.vob", "keep me");
    view.onShow["b.avi"] = AddWaiting("b.avi", 10);
    request.sources.push_back({program.Write("b.avi", "ok"), "b.avi"});
    seam.AnswerBox(IDNO);
    seam.AnswerBox(IDYES);
    Run();
    EXPECT_EQ(seam.BoxTexts(), (std::vector<std::string>{"The file: " + existing + " have exist. writeover it? ",
                                                         "The file: " + output.Path("b.avi.vob") +
                                                             " have exist. writeover it? "}));
    EXPECT_EQ(result.convertedFiles, (std::vector<std::string>(2, output.Path("b.avi.vob"))));
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
