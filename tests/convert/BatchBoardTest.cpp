#include "convert/BatchBoard.h"

#include <gtest/gtest.h>

// The total counts every file the same: a running file by its percent, an
// ended one whole, whatever its outcome; a waiting one not at all.
TEST(BatchBoard, TotalSumsTheFilesSharesAndTheLeaderIsTheEarliestRunning)
{
    BatchBoard board({"a", "b", "c", "d"});
    board.Start(1);
    board.Start(2);
    board.SetPercent(1, 50);
    board.SetPercent(2, 20);
    board.AddLog(2, "c's line");
    BatchBoard::Display shown = board.Current();
    EXPECT_EQ(shown.label, "b, c");
    EXPECT_EQ(shown.number, 2);
    EXPECT_EQ(shown.percent, 50);
    EXPECT_EQ(shown.total, 17);

    board.End(2, false);
    EXPECT_EQ(board.Current().total, 37);
    EXPECT_TRUE(board.TakeLog().empty()); // a and b come first

    board.End(0, false);
    board.AddLog(1, "b's line");
    EXPECT_EQ(board.TakeLog(), std::vector<std::string>{"b's line"}); // b leads now, and speaks as it goes
    board.AddLog(1, "b's last line");
    board.End(1, true);
    shown = board.Current();
    EXPECT_EQ(shown.label, "b");
    EXPECT_EQ(shown.percent, 100);
    EXPECT_EQ(shown.total, 75);
    EXPECT_EQ(board.TakeLog(), (std::vector<std::string>{"b's last line", "c's line"}));
}
