#include "convert/BatchBoard.h"

#include <algorithm>
#include <iterator>

BatchBoard::BatchBoard(std::vector<std::string> names) : lead_(names.size())
{
    files_.reserve(names.size());
    for (std::string& name : names) {
        files_.emplace_back();
        files_.back().name = std::move(name);
    }
}

void BatchBoard::Start(size_t index)
{
    files_.at(index).state = State::Running;
    FollowEarliest();
}

void BatchBoard::SetPercent(size_t index, int percent)
{
    files_.at(index).percent = std::clamp(percent, 0, 100);
}

void BatchBoard::AddLog(size_t index, std::string text)
{
    files_.at(index).log.push_back(std::move(text));
}

void BatchBoard::End(size_t index, bool converted)
{
    File& file = files_.at(index);
    file.state = State::Ended;
    if (converted)
        file.percent = 100;
    FollowEarliest();
}

// Once nothing runs, the last leader stays on show, as the one file of a
// batch converted one after another does when it ends.
void BatchBoard::FollowEarliest()
{
    auto running = std::find_if(files_.begin(), files_.end(),
                                [](const File& file) { return file.state == State::Running; });
    if (running != files_.end())
        lead_ = static_cast<size_t>(running - files_.begin());
}

BatchBoard::Display BatchBoard::Current() const
{
    Display display;
    int sum = 0;
    for (const File& file : files_) {
        sum += file.state == State::Ended ? 100 : std::max(file.percent, 0);
        if (file.state == State::Running && &file != &files_[lead_])
            display.label += ", " + file.name;
    }
    if (!files_.empty())
        display.total = sum / static_cast<int>(files_.size());
    if (lead_ < files_.size()) {
        display.label = files_[lead_].name + display.label;
        display.number = static_cast<int>(lead_) + 1;
        display.percent = files_[lead_].percent;
    }
    return display;
}

std::vector<std::string> BatchBoard::TakeLog()
{
    std::vector<std::string> entries;
    // The earliest file not yet done writes as its encoder speaks, as a
    // single file always has; the ones after it wait for their turn, so the
    // sections still never interleave.
    while (logged_ < files_.size()) {
        File& file = files_[logged_];
        std::move(file.log.begin(), file.log.end(), std::back_inserter(entries));
        file.log.clear();
        if (file.state != State::Ended)
            break;
        ++logged_;
    }
    return entries;
}
