// However a run ends, nothing of it is left but its image: not in the
// output folder, not in the cache folder.

#include "burn_ui/BurnPageFixture.h"

#include "app/StopSignals.h"
#include "burn/FakeRecorderLibrary.h"
#include "convert/CConvertPage.h"
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

class LeftoversTest : public BurnPageTest, public testing::WithParamInterface<Ending> {
public:
    void Success() { BurnMine().BurnPage()->OnClose(); }

    void RetryAfterAFailedAuthoring()
    {
        // ar.exe fails its first run, then is the real one.
        const std::string program = folder_ + "program/";
        std::filesystem::create_directory(program);
        Executable(program + "ar.exe", "#!/bin/sh\nif [ ! -e '" + program + "tried' ]; then : > '" + program +
                                           "tried'; echo 'ERR: first try'; exit 1; fi\nexec '" + KANDRIX_BIN_DIR +
                                           "ar.exe' \"$@\"\n");
        Settings().programFolder = program;
        CKANDRIXDlg& window = BurnMine();
        CBurnPage& page = *window.BurnPage();
        EXPECT_EQ(page.GetDlgItemText(IDC_BURN_STATUS).rfind("Authoring failed: ERR: first try", 0), 0u);
        page.OnStartBurn();
        ASSERT_TRUE(WaitForBurnEnd(window));
        EXPECT_EQ(page.GetDlgItemText(IDC_BURN_STATUS), "Complete!");
        Strings copies;
        for (const std::string& name : FolderNames(Settings().workFolder->Path()))
            if (name.rfind("vre", 0) == 0)
                copies.push_back(name);
        EXPECT_EQ(copies.size(), 2u) << "one copy per file";
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
        Executable(folder_ + "ar.exe", "#!/bin/sh\nmkdir -p \"$2/VIDEO_TS\" && touch \"$2/VIDEO_TS/VIDEO_TS.IFO\"\n");
        Settings().programFolder = folder_;
        FakeRecorderLibrary recorder;
        recorder.devices = {FakeRecorderLibrary::Address(1, 0, 0, 0)};
        recorder.discType = DISC_TYPE_DVDR;
        recorder.highestWriteSpeed = 11080;
        recorder.blockWrites = true;
        SetRecorderLibrary(&recorder);
        QObject listener;
        EndOnStopSignals(&listener);
        std::ofstream(folder_ + "mine.mpg") << "read by no one here";
        CKANDRIXDlg& window = ToBurnPage({folder_ + "mine.mpg"}, 1);
        ASSERT_TRUE(ProcessEventsUntil([&] { return recorder.WriteIsBlocked(); }));
        std::raise(SIGTERM);
        ASSERT_TRUE(ProcessEventsUntil([&] { return recorder.CancelCount() > 0; }));
        window.DestroyWindow();
        for (const std::string& text : seam_.BoxTexts())
            EXPECT_EQ(text.find("quit"), std::string::npos) << "asked: " << text;
        std::signal(SIGTERM, SIG_DFL);
        Devices().Clear();
    }

private:
    CKANDRIXDlg& BurnMine()
    {
        Strings mine;
        for (const char* name : {"one.mpg", "two.mpg"}) {
            mine.push_back(folder_ + name);
            const ProgramResult made = RunProgram({"ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                                                   "testsrc=duration=1", "-target", "pal-dvd", mine.back()});
            EXPECT_EQ(made.exitCode, 0) << made.output;
        }
        Settings().discVolumeLabel = "Disc";
        CKANDRIXDlg& window = ToBurnPage(mine, 1);
        EXPECT_TRUE(WaitForBurnEnd(window));
        return window;
    }
};

TEST_P(LeftoversTest, OnlyTheImageIsLeft)
{
    (this->*GetParam().run)();
    WaitForAllJobs(std::chrono::seconds(30));
    EXPECT_EQ(FolderNames(out_), GetParam().left);
    EXPECT_THAT(RunLeftovers(), testing::IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Endings, LeftoversTest,
                         testing::Values(Ending{"Success", &LeftoversTest::Success, {"Disc.iso"}},
                                         Ending{"Retry", &LeftoversTest::RetryAfterAFailedAuthoring, {"Disc.iso"}},
                                         Ending{"Cancel", &LeftoversTest::Cancel, {}},
                                         Ending{"WindowClose", &LeftoversTest::CloseTheWindow, {"Disc.iso"}},
                                         Ending{"StopSignal", &LeftoversTest::StopSignal, {}}),
                         [](const testing::TestParamInfo<Ending>& info) { return std::string(info.param.name); });

} // namespace
