// The menu's layout and the chapter plan, which ar.exe draws and authors
// from: plain rules, checked without any tool or font.

#include "ChapterPlan.h"
#include "MenuLayout.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// Every character 10 pixels wide at 20 pixels, in proportion at others.
int FixedWidth(const std::string& text, int pixels, bool)
{
    int characters = 0;
    for (unsigned char c : text)
        characters += (c & 0xC0) != 0x80;
    return characters * pixels / 2;
}

bool Inside(const Box& inner, const Box& outer)
{
    return inner.x >= outer.x && inner.y >= outer.y && inner.Right() <= outer.Right() &&
           inner.Bottom() <= outer.Bottom();
}

bool Overlap(const Box& a, const Box& b)
{
    return a.x < b.Right() && b.x < a.Right() && a.y < b.Bottom() && b.y < a.Bottom();
}

// The buttons reachable from the first with the arrow keys.
std::set<int> Reachable(const MenuPage& page)
{
    std::set<int> seen = {0};
    std::vector<int> open = {0};
    while (!open.empty()) {
        const MenuButton& button = page.buttons.at(static_cast<size_t>(open.back()));
        open.pop_back();
        for (int next : {button.up, button.down, button.left, button.right}) {
            if (seen.insert(next).second)
                open.push_back(next);
        }
    }
    return seen;
}

} // namespace

TEST(MenuLayoutTest, PagesHoldTwelveVideosInsideTheSafeAreaAndEveryButtonCanBeReached)
{
    const MenuFrame frames[] = {{720, 576, false}, {720, 480, false}, {720, 480, true}};
    for (const MenuFrame& frame : frames) {
        for (int videos : {2, 6, 7, 12, 13, 25}) {
            SCOPED_TRACE(std::to_string(frame.height) + (frame.wide ? " 16:9, " : " 4:3, ") +
                         std::to_string(videos) + " videos");
            const std::vector<std::string> names(static_cast<size_t>(videos), std::string(60, 'n'));
            const std::vector<MenuPage> pages = LayOutMenu(frame, std::string(80, 'L'), names, FixedWidth);
            ASSERT_EQ(pages.size(), static_cast<size_t>((videos + 11) / 12));
            const Box safe = SafeArea(frame);
            EXPECT_EQ(safe.x, (frame.DisplayWidth() + 9) / 10);
            EXPECT_EQ(safe.y, frame.height / 10 + (frame.height % 10 != 0));
            int video = 0;
            for (size_t p = 0; p < pages.size(); ++p) {
                const MenuPage& page = pages[p];
                EXPECT_TRUE(Inside(page.headingBox, safe));
                EXPECT_LE(FixedWidth(page.heading, HeadingPixels(frame), true), safe.width);
                std::vector<MenuAction> bar;
                for (size_t i = 0; i < page.buttons.size(); ++i) {
                    const MenuButton& button = page.buttons[i];
                    EXPECT_TRUE(Inside(button.box, safe)) << i;
                    EXPECT_FALSE(Overlap(button.box, page.headingBox)) << i;
                    for (size_t j = 0; j < i; ++j)
                        EXPECT_FALSE(Overlap(button.box, page.buttons[j].box)) << i << " and " << j;
                    EXPECT_LE(FixedWidth(button.caption, CaptionPixels(frame), false), button.box.width);
                    if (button.action == MenuAction::PlayVideo)
                        EXPECT_EQ(button.video, video++);
                    else
                        bar.push_back(button.action);
                    const Box stored = ToStored(button.box, frame);
                    EXPECT_EQ(stored.y % 2, 0);
                    EXPECT_EQ(stored.height % 2, 0);
                    EXPECT_LE(stored.Right(), frame.width);
                }
                std::vector<MenuAction> wanted;
                if (p > 0)
                    wanted.push_back(MenuAction::PreviousPage);
                wanted.push_back(MenuAction::PlayAll);
                if (p + 1 < pages.size())
                    wanted.push_back(MenuAction::NextPage);
                EXPECT_EQ(bar, wanted);
                EXPECT_EQ(Reachable(page).size(), page.buttons.size());
            }
            EXPECT_EQ(video, videos);
        }
    }
}

// Two columns of six: the arrows move as the eye does.
TEST(MenuLayoutTest, ArrowsFollowTheGrid)
{
    const std::vector<MenuPage> pages =
        LayOutMenu({720, 576, false}, "", std::vector<std::string>(14, "clip"), FixedWidth);
    const std::vector<MenuButton>& b = pages.at(0).buttons;
    ASSERT_EQ(b.size(), 14u); // 12 videos, Play all (12), Next (13)
    struct Step {
        int from, up, down, left, right;
    } steps[] = {
        {0, 12, 1, 0, 6},   // top left: up wraps to the bar
        {3, 2, 4, 3, 9},
        {5, 4, 12, 5, 11},  // bottom left: down to the bar below
        {6, 13, 7, 0, 6},   // top right
        {11, 10, 13, 5, 11},
        {12, 5, 0, 12, 13}, // Play all
        {13, 11, 6, 12, 13}, // Next
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.from);
        const MenuButton& button = b.at(static_cast<size_t>(s.from));
        EXPECT_EQ(button.up, s.up);
        EXPECT_EQ(button.down, s.down);
        EXPECT_EQ(button.left, s.left);
        EXPECT_EQ(button.right, s.right);
    }
}

TEST(MenuLayoutTest, TextThatDoesNotFitEndsInAnEllipsis)
{
    auto measure = [](const std::string& text) { return FixedWidth(text, 20, false); };
    const struct {
        std::string text;
        int width;
        std::string fitted;
    } cases[] = {
        {"Harbour", 70, "Harbour"},
        {"Harbour", 69, "Harbo\xE2\x80\xA6"},
        {"Beach at sunset", 70, "Beach\xE2\x80\xA6"}, // no blank before the ellipsis
        {"\xC3\xA9t\xC3\xA9 \xC3\xA0 Paris", 40, "\xC3\xA9t\xC3\xA9\xE2\x80\xA6"}, // whole characters only
        {"line\nbreak\ttab", 200, "line break tab"},
        {"anything", 5, "\xE2\x80\xA6"},
        {"", 0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FitText(c.text, c.width, measure), c.fitted) << c.text << " in " << c.width;
}

TEST(ChapterPlanTest, AChapterEveryFiveMinutesButNotInTheLastMinute)
{
    const struct {
        std::vector<double> durations;
        std::vector<std::vector<int>> marks;
        std::vector<int> first;
    } cases[] = {
        {{3, 720, 3}, {{0}, {0, 300, 600}, {0}}, {1, 2, 5}},
        {{0, 359, 360, 660, 659.9}, {{0}, {0}, {0, 300}, {0, 300, 600}, {0, 300}}, {1, 2, 3, 5, 8}},
    };
    for (const auto& c : cases) {
        const ChapterPlan plan = PlanChapters(c.durations);
        EXPECT_EQ(plan.marks, c.marks);
        EXPECT_EQ(plan.firstChapter, c.first);
    }
    EXPECT_EQ(ChapterAttribute({0, 300, 600, 3900}), "0,0:05:00,0:10:00,1:05:00");
}

// A program chain holds 99 chapters: a long disc gets fewer, farther apart,
// and every video keeps its own.
TEST(ChapterPlanTest, ALongDiscKeepsToNinetyNineChapters)
{
    for (const auto& [videos, seconds, interval] :
         {std::tuple{10, 7200.0, 900}, std::tuple{98, 7200.0, 0}, std::tuple{120, 600.0, 0}}) {
        const ChapterPlan plan = PlanChapters(std::vector<double>(static_cast<size_t>(videos), seconds));
        size_t total = 0;
        for (const std::vector<int>& marks : plan.marks) {
            total += marks.size();
            ASSERT_FALSE(marks.empty());
            EXPECT_EQ(marks[0], 0);
            if (marks.size() > 1) {
                EXPECT_EQ(marks[1], interval);
            }
        }
        EXPECT_LE(total, std::max<size_t>(99, static_cast<size_t>(videos))) << videos;
        EXPECT_EQ(plan.firstChapter.back(), static_cast<int>(total - plan.marks.back().size()) + 1);
    }
}
