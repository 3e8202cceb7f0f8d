#pragma once
// The burn page's tests: the wizard in a folder of its own with an output
// folder inside it, taken through task 1 to the burn page.

#include "app_ui/WizardFixture.h"

#include "shell/CTaskPage.h"
#include "burn/page/CBurnPage.h"
#include "burn/MockRecorderLibrary.h"
#include "convert/page/CFileListPage.h"

#include <sys/stat.h>

using Strings = std::vector<std::string>;

inline void Executable(const std::string& path, const std::string& script)
{
    std::ofstream(path) << script;
    ::chmod(path.c_str(), 0755);
}

// An authoring tool that makes a tree at once.
constexpr const char* kTreeMaker = "#!/bin/sh\nmkdir -p \"$2/VIDEO_TS\" && touch \"$2/VIDEO_TS/VIDEO_TS.IFO\"\n";

class BurnPageTest : public WizardTest {
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        out_ = folder_ + "out/";
        std::filesystem::create_directory(out_);
        Settings().useTempFolder = 0;
        Settings().outputFolder = out_;
    }

    void TearDown() override
    {
        // The run holds grabbers of a test's library: it goes before it does.
        WizardTest::TearDown();
        recorder_.reset();
    }

    // Task 1 as far as the burn page, with the recorder the library lists
    // last and all-in-one as given.
    CKANDRIXDlg& ToBurnPage(const Strings& files, int allInOne)
    {
        Settings().allInOne = allInOne;
        CKANDRIXDlg& window = OpenWindow();
        window.TaskPage()->CheckRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG, IDC_TASK_MPG2DVD);
        window.OnNext();
        for (const std::string& file : files)
            window.FileListPage()->AddFile(file);
        window.OnNext();
        ChooseImageFileRecorder(window);
        window.OnNext();
        // The MPEG files are read on a job before the burn page opens.
        EXPECT_TRUE(ProcessEventsUntil([&] { return !window.OutputPage()->IsCheckingFit(); }, 30000));
        EXPECT_EQ(window.CurrentPageIndex(), CKANDRIXDlg::kBurnPage);
        return window;
    }

    // An authoring that makes a tree at once (unless the test has its own
    // ar.exe), and a scripted drive with a blank DVD-R.
    ScriptedRecorder& UseScriptedRecorder(const std::string& arScript = kTreeMaker)
    {
        Executable(folder_ + "ar.exe", arScript);
        Settings().programFolder = folder_;
        recorder_ = std::make_unique<ScriptedRecorder>();
        recorder_->devices = {ScriptedRecorder::Address(1, 0, 0, 0)};
        recorder_->discType = DISC_TYPE_DVDR;
        recorder_->highestWriteSpeed = 11080;
        UseRecorderLibrary(*recorder_);
        return *recorder_;
    }

    // The same with a write that waits until it is released or cancelled.
    ScriptedRecorder& UseBlockingRecorder()
    {
        UseScriptedRecorder().blockWrites = true;
        return *recorder_;
    }


    static bool WaitForBurnEnd(CKANDRIXDlg& window)
    {
        return ProcessEventsUntil([&] { return !window.BurnPage()->IsBurning(); }, 120000);
    }

    std::string out_;
    std::unique_ptr<ScriptedRecorder> recorder_;
};
