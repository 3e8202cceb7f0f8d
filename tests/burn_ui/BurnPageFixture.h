#pragma once
// The burn page's tests: the wizard in a folder of its own with an output
// folder inside it, taken through task 1 to the burn page.

#include "app_ui/WizardFixture.h"

#include "app/CTaskPage.h"
#include "burn/CBurnPage.h"
#include "burn/DeviceList.h"
#include "convert/CFileListPage.h"
#include "recorder/RecorderLibrary.h"

#include <sys/stat.h>

using Strings = std::vector<std::string>;

inline void Executable(const std::string& path, const std::string& script)
{
    std::ofstream(path) << script;
    ::chmod(path.c_str(), 0755);
}

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
        WizardTest::TearDown();
        SetRecorderLibrary(nullptr);
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
        EXPECT_EQ(window.CurrentPageIndex(), CKANDRIXDlg::kBurnPage);
        return window;
    }

    static bool WaitForBurnEnd(CKANDRIXDlg& window)
    {
        return ProcessEventsUntil([&] { return !window.BurnPage()->IsBurning(); }, 120000);
    }

    std::string out_;
};
