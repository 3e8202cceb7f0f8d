// Task 0 with three videos, through the burn worker to the image-file
// recorder: the disc plays on insert as before, and a player's own machine
// (libdvdnav) finds its way through the chapters and the menu.

#include "BurnFlowKit.h"

#include "core/ConversionSettings.h"
#include "burn/BurnRun.h"
#include "support/ManualJobControl.h"
#include "support/TempDir.h"

#include <dvdnav/dvdnav.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

class RecordingBurnView final : public BurnView {
public:
    void AddBurnLogLine(const std::string& text) override { log += text + "\n"; }
    void ShowBurnStatus(const std::string&) override {}
    void ReplaceListEntry(int, const std::string&) override {}
    void MessageBox(const std::string& text) override { log += "[box] " + text + "\n"; }
    void BeginBurnProgress() override {}
    std::string log;
};

// Where a player is after it has played on: the title and chapter it entered
// (title 0 in a menu), and whether it stands still in the video manager's
// menu.
struct Place {
    int title = -1;
    int part = -1;
    bool inMenu = false;
    int buttons = 0;
};

class Player {
public:
    explicit Player(const std::string& image)
    {
        if (dvdnav_open(&nav_, image.c_str()) != DVDNAV_STATUS_OK)
            nav_ = nullptr;
    }
    ~Player()
    {
        if (nav_)
            dvdnav_close(nav_);
    }
    bool Opened() const { return nav_ != nullptr; }

    // Plays until a title's cell starts (unless throughTitles) or a menu
    // holds its still picture.
    Place PlayOn(bool throughTitles = false)
    {
        Place place;
        for (int block = 0; block < 200000; ++block) {
            uint8_t data[DVD_VIDEO_LB_LEN];
            uint8_t* buffer = data;
            int event = 0;
            int length = 0;
            if (dvdnav_get_next_block(nav_, buffer, &event, &length) != DVDNAV_STATUS_OK || event == DVDNAV_STOP)
                break;
            if (event == DVDNAV_WAIT)
                dvdnav_wait_skip(nav_);
            const bool still = event == DVDNAV_STILL_FRAME && dvdnav_is_domain_vmgm(nav_);
            const bool title = event == DVDNAV_CELL_CHANGE && dvdnav_is_domain_vts(nav_) && !throughTitles;
            if (still || title) {
                dvdnav_current_title_info(nav_, &place.title, &place.part);
                place.inMenu = still;
                pci_t* pci = dvdnav_get_current_nav_pci(nav_);
                place.buttons = still && pci ? pci->hli.hl_gi.btn_ns : 0;
                return place;
            }
        }
        return place;
    }

    Place Press(DVDMenuID_t menu)
    {
        dvdnav_menu_call(nav_, menu);
        return PlayOn();
    }
    Place Activate(int button)
    {
        dvdnav_button_select_and_activate(nav_, dvdnav_get_current_nav_pci(nav_), button);
        return PlayOn();
    }

private:
    dvdnav_t* nav_ = nullptr;
};

} // namespace

TEST(DiscMenuFlowTest, ThreeVideosGetAMenuThatLeadsToEachOne)
{
    TempDir temp;
    const std::string output = temp.Path("out/");
    std::filesystem::create_directories(output);
    ConversionRequest conversion;
    conversion.task = CT_VIDEO2DVD;
    conversion.tvSystem = 0;
    conversion.outputFolder = output;
    conversion.programFolder = ProgramFolder();
    for (const auto& [name, seconds] : {std::pair{"beach", 2}, std::pair{"harbour", 3}, std::pair{"old town", 2}}) {
        std::string log;
        const std::string clip = MakeSourceClip(temp.Path(std::string(name) + ".mp4"), seconds, &log);
        ASSERT_FALSE(clip.empty()) << log;
        conversion.sources.push_back({clip, std::string(name) + ".mp4"});
    }
    RecordingConversionView conversionView;
    ManualJobControl control;
    const ConversionResult converted = AVI2MPEGFunc(conversion, conversionView, &control, 50);
    ASSERT_EQ(converted.succeededCount, 3) << conversionView.log;

    LibburnRecorder library;
    std::shared_ptr<CDevice> recorder = FindImageRecorder(library);
    ASSERT_NE(recorder, nullptr);
    BurnRequest request;
    request.authoring = {CT_VIDEO2DVD, output, ProgramFolder(), converted.convertedFiles};
    request.workFolder = converted.workFolder;
    ASSERT_TRUE(FillBurnOptions(recorder, "4.0x", "Summer 2026", "", &request.options));
    RecordingBurnView view;
    BurnLog burnLog;
    const BurnOutcome outcome = BurnThread(request, view, control);
    ASSERT_TRUE(outcome.result) << outcome.result << view.log << burnLog.Text();
    EXPECT_EQ(view.log.find("no menu"), std::string::npos) << view.log;

    Player player(outcome.imagePath);
    ASSERT_TRUE(player.Opened()) << outcome.imagePath;
    const Place inserted = player.PlayOn();
    EXPECT_EQ(inserted.title, 1);
    EXPECT_EQ(inserted.part, 1);
    const Place menu = player.Press(DVD_MENU_Title);
    EXPECT_TRUE(menu.inMenu);
    EXPECT_EQ(menu.buttons, 4); // three videos and "Play all"

    // Each video is one chapter here; "Play all" starts at the first.
    const int parts[] = {1, 2, 3, 1};
    for (int button = 1; button <= 4; ++button) {
        SCOPED_TRACE(button);
        const Place played = player.Activate(button);
        EXPECT_EQ(played.title, 1);
        EXPECT_EQ(played.part, parts[button - 1]);
        const Place back = button == 3 ? player.PlayOn(true) : player.Press(DVD_MENU_Root);
        EXPECT_TRUE(back.inMenu) << (button == 3 ? "the last video does not end in the menu" : "Menu");
        EXPECT_EQ(back.buttons, 4);
    }
}
