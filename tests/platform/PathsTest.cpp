#include "platform/Paths.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

TEST(Paths, AReplacedProgramFileStillNamesTheProgram)
{
    TempDir folder;
    const std::string program = folder.Write("kandrix", "");
    // Rebuilt or updated while running: the new file lies where the old one was.
    EXPECT_EQ(WithoutDeletedMark(program + " (deleted)"), program);
    EXPECT_EQ(WithoutDeletedMark(program), program);
    // A file really named so keeps its name.
    const std::string odd = folder.Write("odd (deleted)", "");
    EXPECT_EQ(WithoutDeletedMark(odd), odd);
}
