#pragma once
// VIDEO_TS trees made with FFmpeg and dvdauthor for the image tests. Each is
// made once and kept under the build folder, so the test processes of a run
// (and later runs) share it; a tree is built aside and moved into place, so
// processes running at once never see half of one.

#include <string>

enum class DvdTree {
    NtscTwoTitleSets, // two title sets, no menus
    PalWithMenus,     // one title set with a manager menu and a title set menu
    PalSplitVob,      // PalWithMenus with its title VOB split into two files
    ManyTitleSets,    // twelve title sets with menus: directories past one sector
};

// The tree's VIDEO_TS folder (ending in '/'), or "" with the tools' output in
// *log.
std::string TreeFolder(DvdTree tree, std::string* log);

// Copies a tree's VIDEO_TS folder into target (which must not exist).
bool CopyTree(const std::string& videoTs, const std::string& target);
