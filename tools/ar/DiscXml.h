#pragma once
// The dvdauthor XML ar.exe authors from: the program's one title, its
// videos with their chapters, and, when there is a menu, the menu pages in
// the video manager. The disc still plays the title on insert; the title
// ends in the menu, and the remote's Menu and Title buttons lead there.

#include "ChapterPlan.h"
#include "MenuLayout.h"
#include "convert/AuthoringText.h"

#include <string>
#include <vector>

struct DiscMenu {
    bool wide = false;
    // Per page, the menu video with its buttons.
    std::vector<std::string> videos;
    std::vector<MenuPage> pages;
};

// menu: nullptr for a disc without one.
std::string DiscXmlText(const std::vector<std::string>& files, const ChapterPlan& chapters, const DiscMenu* menu);

// The name spumux and dvdauthor know button i of a page by.
std::string ButtonName(size_t i);
