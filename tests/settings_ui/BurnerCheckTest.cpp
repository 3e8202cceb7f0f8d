#include "OutputPageFixture.h"

#include "platform/Job.h"

#include <QApplication>
#include <QCursor>
#include <QPushButton>

using Strings = std::vector<std::string>;

namespace {

const Strings kDvdSpeeds = {"1.0x", "2.0x", "2.4x", "3.0x", "4.0x", "5.0x", "6.0x"};

} // namespace

TEST_F(OutputPageTest, RowsNameDriveProductAndVendorAndComeWithTheSpeeds)
{
    recorder_.devices.push_back(ScriptedRecorder::Address(2, 0, 1, 0));
    COutputPage& page = CreatePage();
    WaitForFilling();
    EXPECT_EQ(Rows(IDC_OUT_BURNER), (Strings{"[/dev/sr0]DVD-RW DVR-220-PIONEER)", "[/dev/sr0]DVD-RW DVR-220-PIONEER)"}));
    EXPECT_EQ(page.ListGetCurSel(IDC_OUT_BURNER), 0);
    EXPECT_EQ(Rows(IDC_OUT_SPEED), kDvdSpeeds);
    EXPECT_EQ(page.ListGetCurSel(IDC_OUT_SPEED), 6);
    ASSERT_EQ(run_.WriteSpeeds().size(), 7u);
    EXPECT_EQ(run_.WriteSpeeds().back().speed, 8310u);
    EXPECT_EQ(recorder_.Searches(), 1);
}

TEST_F(OutputPageTest, WithoutRecorderNextOffersARefreshThatOnlyYesStarts)
{
    recorder_.devices.clear();
    COutputPage& page = OpenPage();
    EXPECT_EQ(page.ListGetCount(IDC_OUT_BURNER), 0);

    EXPECT_EQ(page.CheckBurnerReady(), 0);
    ASSERT_EQ(seam_.Boxes().size(), 1u);
    const ScriptedSeam::Box question = seam_.Boxes()[0];
    EXPECT_EQ(question.text, "Please select device for burning DVD! Refresh device list?");
    EXPECT_EQ(question.type, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(question.owner, &page);
    EXPECT_EQ(question.caption, "");
    EXPECT_FALSE(page.IsFillingBurnerLists());

    seam_.AnswerBox(IDYES);
    recorder_.devices = {ScriptedRecorder::Address(1, 0, 0, 0)};
    EXPECT_EQ(page.CheckBurnerReady(), 0);
    EXPECT_TRUE(page.IsFillingBurnerLists());
    WaitForFilling();
    EXPECT_EQ(recorder_.Searches(), 2);
    EXPECT_EQ(page.ListGetCount(IDC_OUT_BURNER), 1);
}

TEST_F(OutputPageTest, StoredNoneLeavesBothListsWithoutSelectionUntilTheUserChooses)
{
    recorder_.devices.push_back(ScriptedRecorder::Address(2, 0, 1, 0));
    Settings().burnerIndex = -1;
    Settings().speedIndex = -1;
    COutputPage& page = OpenPage();
    // The search has read every recorder: choosing and checking one asks no drive.
    EXPECT_CALL(recorder_, TestUnitReady).Times(0);
    EXPECT_CALL(recorder_, SetSpeeds).Times(0);
    EXPECT_CALL(recorder_, GetTrackInformation).Times(0);
    EXPECT_EQ(page.ListGetCount(IDC_OUT_BURNER), 2);
    EXPECT_EQ(page.ListGetCurSel(IDC_OUT_BURNER), -1);
    EXPECT_EQ(page.ListGetCurSel(IDC_OUT_SPEED), -1);

    EXPECT_EQ(page.CheckBurnerReady(), 0);
    EXPECT_EQ(seam_.BoxTexts(), Strings{"Please select device for burning DVD!"});
    EXPECT_FALSE(page.IsFillingBurnerLists());

    Choose(IDC_OUT_BURNER, 1);
    EXPECT_EQ(Rows(IDC_OUT_SPEED), kDvdSpeeds);
    EXPECT_EQ(page.ListGetCurSel(IDC_OUT_SPEED), 6);
    EXPECT_EQ(page.CheckBurnerReady(), 1);
    page.LeavePage();
    EXPECT_EQ(Settings().burnerIndex, 1);
    EXPECT_EQ(Settings().speedIndex, 6);
}

TEST_F(OutputPageTest, StoredRecorderWithoutSpeedIsAskedForOneOnce)
{
    Settings().burnerIndex = 0;
    Settings().speedIndex = -1;
    COutputPage& page = OpenPage(CT_MPG2DVD);
    EXPECT_EQ(page.ListGetCurSel(IDC_OUT_BURNER), 0);
    EXPECT_EQ(page.ListGetCurSel(IDC_OUT_SPEED), -1);

    EXPECT_EQ(page.CheckBurnerReady(), 0);
    EXPECT_EQ(seam_.BoxTexts(), Strings{"Please select burn speed."});
    EXPECT_FALSE(page.IsFillingBurnerLists());
    EXPECT_EQ(Rows(IDC_OUT_SPEED), kDvdSpeeds);
    EXPECT_EQ(page.ListGetCurSel(IDC_OUT_SPEED), 6);

    EXPECT_EQ(page.CheckBurnerReady(), 1);
    EXPECT_EQ(seam_.Boxes().size(), 1u);
}

TEST_F(OutputPageTest, EachDiscComplaintReadsTheRecordersAgain)
{
    struct Case {
        int discType;
        bool track1Blank;
        std::string complaint;
    };
    // The blank test goes first: a missing or unknown disc is not blank.
    const std::vector<Case> cases = {
        {DISC_TYPE_DVDR, false, "Please insert a blank disc! Then click on 'OK' "},
        {DISC_TYPE_NONE, false, "Please insert a blank disc! Then click on 'OK' "},
        {DISC_TYPE_UNSUPPORTED, true, "Please insert a blank disc! Then click on 'OK' "},
        {DISC_TYPE_DVDROM, true, "Disc unsupported! Please insert another"},
    };
    Settings().burnerIndex = 0;
    Settings().speedIndex = 0;
    COutputPage& page = OpenPage();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.discType);
        // The disc in the unit as the last search found it.
        recorder_.discType = c.discType;
        recorder_.track1Blank = c.track1Blank;
        page.FillBurnerLists();
        WaitForFilling();
        page.ListSetCurSel(IDC_OUT_SPEED, 0);
        const int searches = recorder_.Searches();
        const size_t boxes = seam_.Boxes().size();

        EXPECT_EQ(page.CheckBurnerReady(), 0);
        ASSERT_EQ(seam_.Boxes().size(), boxes + 1);
        EXPECT_EQ(seam_.Boxes().back().text, c.complaint);
        EXPECT_TRUE(page.IsFillingBurnerLists());
        WaitForFilling();
        EXPECT_EQ(recorder_.Searches(), searches + 1);
        EXPECT_EQ(page.ListGetCount(IDC_OUT_BURNER), 1);
    }

    recorder_.discType = DISC_TYPE_DVDR;
    recorder_.track1Blank = true;
    page.FillBurnerLists();
    WaitForFilling();
    EXPECT_EQ(page.CheckBurnerReady(), 1);
}

TEST_F(OutputPageTest, RefreshDuringASearchIsDroppedAndTheButtonSaysSo)
{
    recorder_.CloseGate();
    COutputPage& page = CreatePage();
    Settings().task = CT_VIDEO2DVD;
    page.EnterPage();
    ASSERT_TRUE(ProcessEventsUntil([&] { return recorder_.SearchWaiting(); }));
    EXPECT_TRUE(page.IsFillingBurnerLists());
    EXPECT_FALSE(page.IsDlgItemEnabled(IDC_OUT_REFRESH));
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);

    page.FillBurnerLists();
    qobject_cast<QPushButton*>(page.Control(IDC_OUT_REFRESH))->click();
    recorder_.OpenGate();
    WaitForFilling();
    EXPECT_EQ(recorder_.Searches(), 1);
    EXPECT_TRUE(page.IsDlgItemEnabled(IDC_OUT_REFRESH));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    qobject_cast<QPushButton*>(page.Control(IDC_OUT_REFRESH))->click();
    EXPECT_TRUE(page.IsFillingBurnerLists());
    WaitForFilling();
    EXPECT_EQ(recorder_.Searches(), 2);
}

TEST_F(OutputPageTest, ASearchKeepsTheChosenRowWhileItStillExists)
{
    recorder_.devices.push_back(ScriptedRecorder::Address(2, 0, 1, 0));
    Settings().burnerIndex = 1;
    COutputPage& page = OpenPage();
    EXPECT_EQ(page.ListGetCurSel(IDC_OUT_BURNER), 1);
    page.FillBurnerLists();
    WaitForFilling();
    EXPECT_EQ(page.ListGetCurSel(IDC_OUT_BURNER), 1);

    recorder_.devices.pop_back();
    page.FillBurnerLists();
    WaitForFilling();
    EXPECT_EQ(page.ListGetCurSel(IDC_OUT_BURNER), 0);
}

TEST_F(OutputPageTest, ACheckDuringASearchReadsTheRecordsTheRowsShow)
{
    Settings().burnerIndex = 0;
    Settings().speedIndex = 0;
    COutputPage& page = OpenPage();
    recorder_.CloseGate();
    page.FillBurnerLists();
    ASSERT_TRUE(ProcessEventsUntil([&] { return recorder_.SearchWaiting(); }));
    // The search has dropped nothing yet; the rows still name the old records.
    EXPECT_EQ(page.CheckBurnerReady(), 1);
    recorder_.OpenGate();
    WaitForFilling();
}

TEST_F(OutputPageTest, StoredRecorderIsChosenWhenTheFirstSearchEndsAfterEntering)
{
    recorder_.devices.push_back(ScriptedRecorder::Address(2, 0, 1, 0));
    recorder_.CloseGate();
    Settings().burnerIndex = 1;
    COutputPage& page = CreatePage();
    Settings().task = CT_VIDEO2DVD;
    page.EnterPage();
    EXPECT_EQ(page.ListGetCurSel(IDC_OUT_BURNER), -1);
    recorder_.OpenGate();
    WaitForFilling();
    EXPECT_EQ(page.ListGetCurSel(IDC_OUT_BURNER), 1);
    EXPECT_EQ(page.ListGetCurSel(IDC_OUT_SPEED), 6);
}

TEST_F(OutputPageTest, GoingAwayDuringASearchRestoresTheCursor)
{
    recorder_.CloseGate();
    CreatePage();
    ASSERT_TRUE(ProcessEventsUntil([&] { return recorder_.SearchWaiting(); }));
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    page_->DestroyWindow();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    recorder_.OpenGate();
    // The search's end finds no page to fill.
    EXPECT_TRUE(run_.Jobs().WaitForAll(std::chrono::seconds(10)).empty());
    ProcessEventsUntil([] { return false; }, 200);
    EXPECT_EQ(run_.Recorders().Count(), 1);
    page_.reset();
}
