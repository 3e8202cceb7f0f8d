#pragma once
// Where everything of the disc's menu goes, without drawing it: the pages,
// their heading and buttons, each button's caption fitted to its box, and
// where the arrow keys lead from each button. Boxes are in display pixels
// (square pixels, the width the TV shows: 768 or 1024 for 576 lines), which
// keeps the layout free of the DVD's anamorphic storage; ToStored maps a
// box to the 720 pixels of the stored frame.

#include <functional>
#include <string>
#include <vector>

struct MenuFrame {
    int width = 720; // stored
    int height = 576;
    bool wide = false; // 16:9, else 4:3
    int DisplayWidth() const { return wide ? height * 16 / 9 : height * 4 / 3; }
};

struct Box {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int Right() const { return x + width; }
    int Bottom() const { return y + height; }
};

enum class MenuAction { PlayVideo, PlayAll, PreviousPage, NextPage };

struct MenuButton {
    MenuAction action = MenuAction::PlayVideo;
    int video = -1; // PlayVideo: the video's index in the title
    std::string caption;
    Box box;
    bool centred = false;
    // Button indices on the page that the arrow keys lead to.
    int up = 0;
    int down = 0;
    int left = 0;
    int right = 0;
};

struct MenuPage {
    std::string heading;
    Box headingBox;
    std::vector<MenuButton> buttons;
};

// Width in display pixels of text at the size (pixels) and weight.
using TextWidth = std::function<int(const std::string& text, int pixels, bool bold)>;

constexpr int kVideosPerPage = 12;

int HeadingPixels(const MenuFrame& frame);
int CaptionPixels(const MenuFrame& frame);
// The title-safe area: 10% off each side.
Box SafeArea(const MenuFrame& frame);

// One page per 12 videos. names are the videos' captions in title order;
// label heads every page ("" for none).
std::vector<MenuPage> LayOutMenu(const MenuFrame& frame, const std::string& label,
                                 const std::vector<std::string>& names, const TextWidth& width);

// text (UTF-8) as it fits in width: whole, or cut at a character and ended
// with "…". Control characters become blanks.
std::string FitText(const std::string& text, int width, const std::function<int(const std::string&)>& measure);

// A box of display pixels in the stored frame, its top and bottom on even
// lines, as subpicture buttons need.
Box ToStored(const Box& box, const MenuFrame& frame);
