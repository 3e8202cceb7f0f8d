#include "convert/BatchOutputLog.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct Lines {
    std::vector<std::string> lines;
    BatchOutputLog log {[this](const std::string& line) { lines.push_back(line); }};
};

} // namespace

TEST(BatchOutputLogTest, ChunksBecomeWholeLines)
{
    Lines out;
    out.log.Add("+ ");
    out.log.Add("mkdir -p -- /out/kzxtmpd001\n+ find /out/kzxtmpd001 ! -type d");
    EXPECT_EQ(out.lines, std::vector<std::string> {"+ mkdir -p -- /out/kzxtmpd001"});
    out.log.Add(" -delete\nSTAT: VOBU 16 at 3MB\rSTAT: VOBU 32 at 6MB\r\n\n   \nlast words");
    out.log.Finish();
    EXPECT_EQ(out.lines, (std::vector<std::string> {"+ mkdir -p -- /out/kzxtmpd001",
                                                    "+ find /out/kzxtmpd001 ! -type d -delete",
                                                    "STAT: VOBU 16 at 3MB", "STAT: VOBU 32 at 6MB", "last words"}));
}

TEST(BatchOutputLogTest, TheCauseIsTheLastErrorReportElseTheLastUntracedLine)
{
    Lines tool;
    tool.log.Add("+ /opt/ar.exe -o /ERR/kzxtmpd001\nERR:  no video format specified for VMGM\n"
                 "INFO: cleaning up\n+ exit 1\n");
    EXPECT_EQ(tool.log.ErrorLine(), "ERR:  no video format specified for VMGM");

    Lines copy;
    copy.log.Add("+ cp -f -- /in/a.mpg /out/vre1.tmp\ncp: cannot stat '/in/a.mpg': No such file or directory\n"
                 "+ exit 1\n");
    EXPECT_EQ(copy.log.ErrorLine(), "cp: cannot stat '/in/a.mpg': No such file or directory");

    Lines quiet;
    quiet.log.Add("+ exit 1\n");
    EXPECT_EQ(quiet.log.ErrorLine(), "");
}
