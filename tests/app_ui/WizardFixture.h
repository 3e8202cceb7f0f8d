#pragma once
// A wizard window built offscreen in a folder of its own, with every
// question answered by the scripted seam and the shared record at its
// start-up values.

#include "app/CKANDRIXDlg.h"
#include "app/ConversionSettings.h"
#include "platform/UiThread.h"
#include "support/ScriptedSeam.h"
#include "support/UiEvents.h"

#include <gtest/gtest.h>

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
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kandrix_wizard_XXXXXX";
        folder_ = std::string(::mkdtemp(pattern)) + "/";
        ResetSettings();
    }

    void TearDown() override
    {
        if (window_)
            window_->DestroyWindow();
        window_.reset();
        AfxSetMainWnd(nullptr);
        // The window's end shuts the UI down for jobs; the next test has one.
        SetUiThread();
        ResetSettings();
        std::filesystem::remove_all(folder_);
    }

    static void ResetSettings()
    {
        ConversionSettings& settings = Settings();
        settings.SetDefaults();
        settings.previousTask = 0;
        settings.sourcePaths = nullptr;
        settings.sourceNames = nullptr;
        settings.convertedFiles.clear();
        settings.programFolder = KANDRIX_BIN_DIR;
    }

    // The window with its pages, not shown: nothing modal ever opens.
    CKANDRIXDlg& OpenWindow()
    {
        window_ = std::make_unique<CKANDRIXDlg>(folder_);
        AfxSetMainWnd(window_.get());
        EXPECT_TRUE(window_->Create(nullptr));
        return *window_;
    }

    std::string File(const std::string& name) const { return folder_ + name; }

    std::string folder_;
    ScriptedSeam seam_;
    std::unique_ptr<CKANDRIXDlg> window_;
};
