#pragma once
// What the conversion page shows of a batch whose files convert side by side.
// The earliest file still running leads: the top bar and the counter follow
// it. The total sums every file's share. A file's log is held until every
// file before it has ended, so that the sections of files that convert at
// the same time never interleave and the log reads in list order.
// Owned by the one thread that runs the batch.

#include <cstddef>
#include <string>
#include <vector>

class BatchBoard {
public:
    explicit BatchBoard(std::vector<std::string> names);

    void Start(size_t index);
    void SetPercent(size_t index, int percent);
    void AddLog(size_t index, std::string text);
    // The file is done with, whatever the outcome: skipped, failed or
    // converted. A converted file shows 100.
    void End(size_t index, bool converted);

    struct Display {
        // The running files' names, the leading one first; once none runs,
        // the name of the file that led last.
        std::string label;
        int number = 0;   // 1-based number of the leading file; 0 before any started
        int percent = -1; // the leading file's percent; -1 while it has reported none
        int total = 0;    // 0..100 over all files, an ended file counting whole
    };
    Display Current() const;

    // The log entries whose turn has come, in list order, each given once.
    std::vector<std::string> TakeLog();

private:
    enum class State { Waiting, Running, Ended };
    struct File {
        std::string name;
        State state = State::Waiting;
        int percent = -1;
        std::vector<std::string> log;
    };
    void FollowEarliest();

    std::vector<File> files_;
    size_t lead_;
    size_t logged_ = 0; // files before this one have had their log written
};
