// However a run ends, nothing of it is left but its image: not in the
// output folder, not in the cache folder.

#include "burn_ui/BurnPageFixture.h"

#include "app/StopSignals.h"
#include "convert/page/CConvertPage.h"
#include "media/MediaKit.h"
#include "platform/Job.h"
#include "platform/RunFolder.h"
#include "support/RunLeftovers.h"

#include <QObject>
#include <gmock/gmock.h>

#include <csignal>

namespace {

class LeftoversTest;

struct Ending {
    const char* name;
    void (LeftoversTest::*run)();
    Strings left;
};

void PrintTo(const Ending& ending, std::ostream* out)
{
    *out << ending.name;
}

class LeftoversTest : public BurnPageTest, public testing::WithParamInterface<Ending> {
public:
    void Success() { BurnMine().BurnPage()->OnClose(); }

    // The page is usable again after the failure, and the retry copies no
    // file of the user's a second time.
    void RetryAfterAFailedAuthoring()
    {
        const std::string program = folder_ + "program/";
        std::filesystem::create_directory(program);
        Executable(program + "ar.exe", "#!/bin/sh\nif [ ! -e '" + program + "tried' ]; then : > '" + program +
                                           "tried'; echo 'ERR: first try'; exit 1; fi\nexec '" + KANDRIX_BIN_DIR +
                                           "ar.exe' \"$@\"\n");
        Settings().programFolder = program;
        CKANDRIXDlg& window = BurnMine();
        CBurnPage& page = *window.BurnPage();
        EXPECT_EQ(page.GetDlgItemText(IDC_BURN_STATUS), "Authoring failed: ERR: first try");
        EXPECT_TRUE(page.IsDlgItemEnabled(IDC_BURN_START) && page.IsDlgItemEnabled(IDC_BURN_CLOSE));
        EXPECT_FALSE(page.IsDlgItemVisible(IDC_BURN_PROGRESS));
        EXPECT_EQ(seam_.BoxTexts(), Strings{});
        page.OnStartBurn();
        ASSERT_TRUE(WaitForBurnEnd(window));
        EXPECT_EQ(page.GetDlgItemText(IDC_BURN_STATUS), "Complete!");
        const Strings work = FolderNames(Settings().workFolder->Path());
        EXPECT_EQ(std::count_if(work.begin(), work.end(), [](auto& name) { return name.rfind("vre", 0) == 0; }), 2);
        page.OnClose();
    }

    void Cancel()
    {
        Executable(folder_ + "mg.exe", "#!/bin/sh\nexec sleep 30\n");
        Settings().programFolder = folder_;
        CKANDRIXDlg& window = OpenWindow();
        window.OnNext();
        window.FileListPage()->AddFile(folder_ + "clip.avi");
        window.OnNext();
        window.ConvertPage()->EnterPage();
        // The encoder runs once its placeholder is in the work folder.
        ASSERT_TRUE(ProcessEventsUntil([&] {
            const Strings work = FolderNames(out_);
            return work.size() == 1 && FolderNames(out_ + work[0]).size() == 2;
        }));
        window.ConvertPage()->CancelConversion();
        ASSERT_TRUE(ProcessEventsUntil([&] { return !window.ConvertPage()->IsConverting(); }));
    }

    void CloseTheWindow() { BurnMine().DestroyWindow(); }

    // During the write, which this recorder holds until it is cancelled.
    void StopSignal()
    {
        ScriptedRecorder& recorder = UseBlockingRecorder();
        QObject listener;
        EndOnStopSignals(&listener);
        std::string log;
        ASSERT_TRUE(MakeMpeg(folder_ + "mine.mpg", "720x576", "25", {"-target", "pal-dvd", "-aspect", "4:3"}, &log))
            << log;
        CKANDRIXDlg& window = ToBurnPage({folder_ + "mine.mpg"}, 1);
        ASSERT_TRUE(ProcessEventsUntil([&] { return recorder.WriteIsBlocked(); }));
        std::raise(SIGTERM);
        ASSERT_TRUE(ProcessEventsUntil([&] { return recorder.CancelCount() > 0; }));
        window.DestroyWindow();
        for (const std::string& text : seam_.BoxTexts())
            EXPECT_EQ(text.find("quit"), std::string::npos) << text;
        std::signal(SIGTERM, SIG_DFL);
    }

    CKANDRIXDlg& BurnMine()
    {
        for (const char* name : {"one.mpg", "two.mpg"}) {
            mine_.push_back(folder_ + name);
            const ProgramResult made = RunProgram({"ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                                                   "testsrc=duration=1", "-target", "pal-dvd", mine_.back()});
            EXPECT_EQ(made.exitCode, 0) << made.output;
        }
        Settings().discVolumeLabel = "Disc";
        CKANDRIXDlg& window = ToBurnPage(mine_, 1);
        EXPECT_TRUE(WaitForBurnEnd(window));
        return window;
    }

    Strings mine_;
};

TEST_P(LeftoversTest, OnlyTheImageIsLeft)
{
    (this->*GetParam().run)();
    run_->Jobs().WaitForAll(std::chrono::seconds(30));
    EXPECT_EQ(FolderNames(out_), GetParam().left);
    EXPECT_THAT(RunLeftovers(), testing::IsEmpty());
    for (const std::string& file : mine_)
        EXPECT_GT(std::filesystem::file_size(file), 0u) << "the user's own file";
}

INSTANTIATE_TEST_SUITE_P(Endings, LeftoversTest,
                         testing::Values(Ending{"Success", &LeftoversTest::Success, {"Disc.iso"}},
                                         Ending{"Retry", &LeftoversTest::RetryAfterAFailedAuthoring, {"Disc.iso"}},
                                         Ending{"Cancel", &LeftoversTest::Cancel, {}},
                                         Ending{"WindowClose", &LeftoversTest::CloseTheWindow, {"Disc.iso"}},
                                         Ending{"StopSignal", &LeftoversTest::StopSignal, {}}),
                         [](const testing::TestParamInfo<Ending>& info) { return std::string(info.param.name); });

} // namespace
