// The conversion page driven offscreen over the fake encoder, with a stand-in
// main window that counts the completion messages.

#include "convert/page/CConvertPage.h"

#include "core/ConversionSettings.h"
#include "res/resource.h"
#include "run/RunState.h"
#include "support/ProcessProbe.h"
#include "support/ScriptedSeam.h"
#include "support/StringSourceList.h"
#include "support/TempDir.h"
#include "support/UiEvents.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <regex>

namespace {

class MainWindowStandIn final : public CDialog {
public:
    MainWindowStandIn() : CDialog(IDD_KANDRIX_DIALOG) {}
    int completions = 0;

protected:
    bool OnMessage(unsigned message, WPARAM, LPARAM) override
    {
        if (message == WM_TRANS_COMPLETE)
            ++completions;
        return true;
    }
};

void Serve(int milliseconds)
{
    ProcessEventsUntil([] { return false; }, milliseconds);
}

class ConvertPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_symlink(std::string(KANDRIX_TEST_FIXTURES) + "fake_mg.sh", program.Path("mg.exe"));
        ConversionSettings& settings = Settings();
        settings.task = CT_VIDEO2MPG;
        settings.outputFormat = 4;
        settings.sameAsSource = 0;
        settings.overwriteExisting = 1;
        settings.outputFolder = output.Folder();
        settings.programFolder = program.Folder();
        settings.sourcePaths = &paths;
        settings.sourceNames = &names;
        AfxSetMainWnd(&mainWindow);
        ASSERT_TRUE(mainWindow.Create(nullptr));
        mainWindow.ShowWindow(true);
        page = std::make_unique<CConvertPage>(run);
        ASSERT_TRUE(page->Create(&mainWindow));
    }

    void TearDown() override
    {
        page.reset();
        mainWindow.DestroyWindow();
        AfxSetMainWnd(nullptr);
    }

    ConversionSettings& Settings() { return run.Settings(); }

    void AddSource(const std::string& name, const std::string& behaviour)
    {
        paths.items.push_back(sources.Write(name, behaviour));
        names.items.push_back(name);
    }

    bool RunToCompletion(int completions = 1)
    {
        return ProcessEventsUntil([&] { return mainWindow.completions >= completions; });
    }

    std::vector<std::string> LogEntries() const
    {
        std::vector<std::string> entries;
        for (int i = 0; i < page->ListGetCount(IDC_CONV_LOG); ++i)
            entries.push_back(page->ListGetText(IDC_CONV_LOG, i));
        return entries;
    }

    TempDir program, sources, output;
    StringSourceList paths, names;
    RunState run;
    ScriptedSeam seam;
    MainWindowStandIn mainWindow;
    std::unique_ptr<CConvertPage> page;
};

} // namespace

TEST_F(ConvertPageTest, ShowsEachFileAndKeepsTheLogAcrossRuns)
{
    AddSource("a.avi", "ok");
    AddSource("b.avi", "ok");
    AddSource("c.avi", "ok");
    page->EnterPage();
    EXPECT_TRUE(page->IsWindowVisible());
    ASSERT_TRUE(RunToCompletion());

    // The files convert side by side: the one that ended last stays on show.
    const std::map<std::string, std::string> numbers = {{"a.avi", "1/3"}, {"b.avi", "2/3"}, {"c.avi", "3/3"}};
    EXPECT_EQ(page->GetDlgItemText(IDC_CONV_COUNT), numbers.at(page->GetDlgItemText(IDC_CONV_FILE_NAME)));
    EXPECT_EQ(page->ProgressGetPos(IDC_CONV_FILE_PROGRESS), 100);
    EXPECT_EQ(page->ProgressGetPos(IDC_CONV_TOTAL_PROGRESS), 100);
    EXPECT_EQ(page->GetDlgItemText(IDC_CONV_PERCENT), "100%");
    EXPECT_EQ(Settings().succeededCount, 3);
    EXPECT_EQ(Settings().convertedFiles.size(), 3u);

    std::vector<std::string> first = LogEntries();
    ASSERT_FALSE(first.empty());
    for (const std::string& entry : first)
        EXPECT_TRUE(std::regex_search(entry, std::regex("^[0-2][0-9]:[0-5][0-9]:[0-5][0-9] "))) << entry;
    EXPECT_NE(first.front().find("Duration: 00:00:10.00"), std::string::npos);
    EXPECT_EQ(page->ListGetCurSel(IDC_CONV_LOG), static_cast<int>(first.size()) - 1);

    page->LeavePage();
    EXPECT_FALSE(page->IsWindowVisible());
    EXPECT_EQ(page->ProgressGetPos(IDC_CONV_FILE_PROGRESS), 0);
    EXPECT_EQ(page->ProgressGetPos(IDC_CONV_TOTAL_PROGRESS), 0);

    Settings().convertedFiles = {"stale"};
    page->EnterPage();
    ASSERT_TRUE(RunToCompletion(2));
    EXPECT_EQ(Settings().succeededCount, 3);
    EXPECT_EQ(Settings().convertedFiles.size(), 3u);
    std::vector<std::string> both = LogEntries();
    ASSERT_GT(both.size(), first.size());
    EXPECT_TRUE(std::equal(first.begin(), first.end(), both.begin()));
    Serve(100);
    EXPECT_EQ(mainWindow.completions, 2);
}

TEST_F(ConvertPageTest, CancelStopsEveryEncoder)
{
    AddSource("a.avi", "slow");
    AddSource("b.avi", "slow");
    AddSource("c.avi", "slow");
    page->EnterPage();
    pid_t first = 0;
    ASSERT_TRUE(ProcessEventsUntil([&] {
        std::ifstream(output.Path("a.avi.vob.pid")) >> first;
        return first > 0;
    }));

    auto* cancel = qobject_cast<QAbstractButton*>(page->Control(IDC_CONV_CANCEL));
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    cancel->click(); // a second press changes nothing
    ASSERT_TRUE(RunToCompletion());

    EXPECT_EQ(Settings().succeededCount, 0);
    EXPECT_TRUE(Settings().convertedFiles.empty());
    EXPECT_EQ(page->GetDlgItemText(IDC_CONV_COUNT), "1/3");
    // However many ran side by side on this machine, none is left.
    for (const char* name : {"a.avi.vob.pid", "b.avi.vob.pid", "c.avi.vob.pid"}) {
        pid_t encoder = 0;
        if (std::ifstream(output.Path(name)) >> encoder) {
            EXPECT_TRUE(ProcessGone(encoder)) << name;
        }
    }
    Serve(100);
    EXPECT_EQ(mainWindow.completions, 1);
}

TEST_F(ConvertPageTest, StartedCancelledAndRestartedAtOnceCountsOnlyTheNewRun)
{
    AddSource("a.avi", "slow");
    page->EnterPage();
    page->CancelConversion();
    // Entered again before the first run's end has even arrived.
    paths.items = {sources.Write("b.avi", "ok"), sources.Write("c.avi", "ok")};
    names.items = {"b.avi", "c.avi"};
    page->EnterPage();
    ASSERT_TRUE(RunToCompletion());
    Serve(300);
    EXPECT_EQ(mainWindow.completions, 1);
    EXPECT_EQ(Settings().succeededCount, 2);
    EXPECT_EQ(Settings().convertedFiles,
              (std::vector<std::string>{output.Path("b.avi.vob"), output.Path("c.avi.vob")}));
    EXPECT_FALSE(page->IsConverting());
}

TEST_F(ConvertPageTest, MissingEncoderIsReportedAndTheRunEnds)
{
    std::filesystem::remove(program.Path("mg.exe"));
    AddSource("a.avi", "ok");
    AddSource("b.avi", "ok");
    page->EnterPage();
    ASSERT_TRUE(RunToCompletion());
    ASSERT_EQ(seam.Boxes().size(), 1u);
    EXPECT_EQ(seam.Boxes()[0].text, "Error on CreateProcess()");
    EXPECT_EQ(seam.Boxes()[0].owner, page.get());
    EXPECT_EQ(seam.Boxes()[0].caption, "");
    EXPECT_EQ(Settings().succeededCount, 0);
}

TEST_F(ConvertPageTest, ClosingStopsTheRunningEncoder)
{
    AddSource("a.avi", "slow");
    page->EnterPage();
    std::string pidFile = output.Path("a.avi.vob.pid");
    pid_t encoder = 0;
    ASSERT_TRUE(ProcessEventsUntil([&] {
        std::ifstream(pidFile) >> encoder;
        return encoder > 0;
    }));
    page.reset();
    EXPECT_TRUE(ProcessGone(encoder));
    Serve(300);
    EXPECT_EQ(mainWindow.completions, 0);
}
