#pragma once
// Where the disc's chapters start: at each video's start, then every five
// minutes into it, but none in a video's last minute, where Next would only
// skip a few seconds. A program chain holds at most 99 chapters, so on a
// long disc the interval grows by five minutes until they fit.

#include <string>
#include <vector>

struct ChapterPlan {
    // Per video, the chapter starts in seconds from its start; the first is 0.
    std::vector<std::vector<int>> marks;
    // Per video, the number of its first chapter in the title (from 1).
    std::vector<int> firstChapter;
};

// durations in seconds, in title order; 0 or less where it is not known,
// and such a video gets a chapter at its start only.
ChapterPlan PlanChapters(const std::vector<double>& durations);

// The marks as dvdauthor's chapters attribute: "0,0:05:00,0:10:00".
std::string ChapterAttribute(const std::vector<int>& marks);
