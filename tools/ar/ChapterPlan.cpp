#include "ChapterPlan.h"

#include <cstdio>

namespace {

constexpr int kInterval = 5 * 60;
constexpr int kEndGap = 60;
constexpr size_t kMostChapters = 99;

std::vector<std::vector<int>> MarksEvery(int interval, const std::vector<double>& durations, size_t* total)
{
    std::vector<std::vector<int>> marks;
    *total = 0;
    for (double duration : durations) {
        std::vector<int> video = {0};
        for (int at = interval; interval > 0 && at + kEndGap <= duration; at += interval)
            video.push_back(at);
        *total += video.size();
        marks.push_back(video);
    }
    return marks;
}

} // namespace

ChapterPlan PlanChapters(const std::vector<double>& durations)
{
    ChapterPlan plan;
    size_t total = 0;
    for (int interval = kInterval;; interval += kInterval) {
        plan.marks = MarksEvery(interval, durations, &total);
        if (total <= kMostChapters)
            break;
        // Not even the interval of the longest video fits: starts only.
        std::vector<std::vector<int>> starts = MarksEvery(0, durations, &total);
        bool onlyStarts = true;
        for (size_t i = 0; i < starts.size(); ++i)
            onlyStarts = onlyStarts && plan.marks[i].size() == starts[i].size();
        if (onlyStarts)
            break;
    }
    int next = 1;
    for (const std::vector<int>& video : plan.marks) {
        plan.firstChapter.push_back(next);
        next += static_cast<int>(video.size());
    }
    return plan;
}

std::string ChapterAttribute(const std::vector<int>& marks)
{
    std::string text;
    for (int mark : marks) {
        char one[32];
        if (mark == 0)
            std::snprintf(one, sizeof one, "0");
        else
            std::snprintf(one, sizeof one, "%d:%02d:%02d", mark / 3600, mark / 60 % 60, mark % 60);
        text += (text.empty() ? "" : ",") + std::string(one);
    }
    return text;
}
