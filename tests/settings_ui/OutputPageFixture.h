#pragma once
// The output page on its own, built offscreen over a run of the scripted
// recording library, with the settings at their start-up values.

#include "GatedRecorderLibrary.h"

#include "core/ConversionSettings.h"
#include "recorder/DiscTypes.h"
#include "res/resource.h"
#include "run/RunState.h"
#include "settings/page/COutputPage.h"
#include "support/ScriptedSeam.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "support/UiEvents.h"

#include <gtest/gtest.h>

#include <QComboBox>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class OutputPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        recorder_.devices = {ScriptedRecorder::Address(1, 0, 0, 0)};
        recorder_.discType = DISC_TYPE_DVDR;
        recorder_.highestWriteSpeed = 8310;
        recorder_.vendor = "PIONEER";
        recorder_.product = "DVD-RW DVR-220";
    }

    void TearDown() override
    {
        recorder_.OpenGate();
        if (page_) {
            WaitForFilling();
            page_->DestroyWindow();
            page_.reset();
        }
        // A search abandoned by its page still uses the scripted library.
        EXPECT_TRUE(run_.Jobs().WaitForAll(std::chrono::seconds(10)).empty());
    }

    ConversionSettings& Settings() { return run_.Settings(); }

    // The page as the wizard makes it: created, its first search started.
    COutputPage& CreatePage()
    {
        page_ = std::make_unique<COutputPage>(run_);
        EXPECT_TRUE(page_->Create(nullptr));
        return *page_;
    }

    // Created, first search done, entered with the record as it stands.
    COutputPage& OpenPage(int task = CT_VIDEO2DVD)
    {
        CreatePage();
        WaitForFilling();
        Settings().task = task;
        page_->EnterPage();
        return *page_;
    }

    void WaitForFilling()
    {
        ASSERT_TRUE(ProcessEventsUntil([&] { return !page_->IsFillingBurnerLists(); }, 10000));
    }

    // What a user's choice in a drop-down list does.
    void Choose(int id, int row)
    {
        auto* combo = qobject_cast<QComboBox*>(page_->Control(id));
        ASSERT_NE(combo, nullptr);
        combo->setCurrentIndex(row);
        emit combo->activated(row);
    }

    std::vector<std::string> Rows(int id) const
    {
        std::vector<std::string> rows;
        for (int i = 0; i < page_->ListGetCount(id); ++i)
            rows.push_back(page_->ListGetText(id, i));
        return rows;
    }

    GatedRecorderLibrary recorder_;
    RunState run_{recorder_};
    ScriptedSeam seam_;
    std::unique_ptr<COutputPage> page_;
};
