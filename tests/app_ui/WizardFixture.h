#pragma once
// A wizard window built offscreen in a folder of its own, with every
// question answered by the scripted seam, over a run of its own (libburn's
// recorders, the settings at their start-up values).

#include "app/CKANDRIXDlg.h"
#include "core/ConversionSettings.h"
#include "run/RunState.h"
#include "platform/UiThread.h"
#include "res/resource.h"
#include "settings/page/COutputPage.h"
#include "support/ScriptedSeam.h"
#include "support/UiEvents.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

inline std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class WizardTest : public ::testing::Test {
public:
    // The window goes, then the run: its jobs, records and library.
    void EndRun()
    {
        if (window_)
            window_->DestroyWindow();
        window_.reset();
        AfxSetMainWnd(nullptr);
        run_.reset();
    }

protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kandrix_wizard_XXXXXX";
        folder_ = std::string(::mkdtemp(pattern)) + "/";
        Settings().programFolder = KANDRIX_BIN_DIR;
    }

    void TearDown() override
    {
        EndRun();
        std::filesystem::remove_all(folder_);
    }

    ConversionSettings& Settings() { return run_->Settings(); }

    // The run goes on over recorder (which outlives it) with the settings so
    // far; before the window opens.
    void UseRecorderLibrary(RecorderLibrary& recorder)
    {
        auto run = std::make_unique<RunState>(recorder);
        run->Settings() = Settings();
        run_ = std::move(run);
    }

    // The window with its pages, not shown: nothing modal ever opens.
    CKANDRIXDlg& OpenWindow()
    {
        window_ = std::make_unique<CKANDRIXDlg>(*run_, folder_);
        AfxSetMainWnd(window_.get());
        EXPECT_TRUE(window_->Create(nullptr));
        return *window_;
    }

    std::string File(const std::string& name) const { return folder_ + name; }

    // The output page's recorder search, started with the window, has ended.
    static void WaitForRecorderSearch(CKANDRIXDlg& window)
    {
        ASSERT_TRUE(ProcessEventsUntil([&] { return !window.OutputPage()->IsFillingBurnerLists(); }, 60000));
    }

    // Chooses the image-file recorder, which the real recording library
    // lists last, as a user would; its fastest speed gets selected.
    static void ChooseImageFileRecorder(CKANDRIXDlg& window)
    {
        WaitForRecorderSearch(window);
        COutputPage& page = *window.OutputPage();
        auto* burners = qobject_cast<QComboBox*>(page.Control(IDC_OUT_BURNER));
        ASSERT_NE(burners, nullptr);
        const int last = burners->count() - 1;
        ASSERT_GE(last, 0);
        burners->setCurrentIndex(last);
        emit burners->activated(last);
    }

    std::string folder_;
    ScriptedSeam seam_;
    std::unique_ptr<RunState> run_ = std::make_unique<RunState>();
    std::unique_ptr<CKANDRIXDlg> window_;
};
