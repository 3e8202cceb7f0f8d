#pragma once
// Makes the menu videos of a disc in ar.exe's work folder: draws each page,
// encodes it with FFmpeg as a still with silence, and lays the buttons over
// it as a subpicture with spumux (a second stream for a 16:9 menu shown
// letterboxed).

#include "DiscXml.h"
#include "SequenceHeader.h"

#include <string>
#include <vector>

class WorkFolder;

struct MenuRequest {
    TvSystem system = TvSystem::Pal;
    bool wide = false;
    std::string label;
    std::vector<std::string> names; // captions, in title order
};

struct MenuResult {
    bool made = false;
    std::string why;    // when not made
    int stopSignal = 0; // the signal that stopped a tool; the run must end
    DiscMenu menu;
};

MenuResult MakeMenu(const MenuRequest& request, const WorkFolder& work);

// Whether spumux's report says every subpicture went in:
//   INFO: 1 subtitles added, 0 subtitles skipped, stream: 32, offset: 0.54
// spumux ends well also when it skipped a picture it could not use.
bool SpumuxAddedAll(const std::string& report);
