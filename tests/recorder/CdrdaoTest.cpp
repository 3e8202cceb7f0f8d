// cdrdao as the VideoCD writer sees it, played by a script that prints what
// cdrdao prints and keeps the arguments it was given.

#include "recorder/BurnEvents.h"
#include "recorder/VideoCdMaker.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

struct Seen {
    std::vector<int> reasons;
    std::vector<int64_t> done;
};

void Remember(int reason, void* context, void*, void* param2)
{
    auto* seen = static_cast<Seen*>(context);
    if (seen->reasons.empty() || seen->reasons.back() != reason || reason == RECORDER_EVENT_CACHE_WAIT_BEGIN)
        seen->reasons.push_back(reason);
    if (reason == RECORDER_EVENT_PROGRESS)
        seen->done.push_back(*static_cast<int64_t*>(param2));
}

class CdrdaoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* path = std::getenv("PATH");
        savedPath_ = path != nullptr ? path : "";
        setenv("PATH", (temp_.Path("bin") + ":" + savedPath_).c_str(), 1);
        mkdir(temp_.Path("bin").c_str(), 0755);
        image_.bin = temp_.Write("disc.bin", std::string(2352 * 100, 'x'));
        image_.cue = temp_.Write("disc.cue", "FILE \"disc.bin\" BINARY\n");
    }
    void TearDown() override { setenv("PATH", savedPath_.c_str(), 1); }

    void FakeCdrdao(const std::string& body)
    {
        const std::string script = temp_.Write("bin/cdrdao", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" +
                                                                 temp_.Path("args") + "\"\n" + body);
        chmod(script.c_str(), 0755);
    }

    std::string Arguments()
    {
        std::ifstream in(temp_.Path("args"));
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    TempDir temp_;
    std::string savedPath_;
    VideoCdImage image_;
    WriteControl control_;
    Seen seen_;
};

TEST_F(CdrdaoTest, ProgressOfBothTracksBecomesEvents)
{
    FakeCdrdao("echo 'Cdrdao version 1.2.4 - (C) Andreas Mueller'\n"
               "echo 'Writing track 01 (mode MODE2/MODE2 )...'\n"
               "printf 'Wrote 1 of 4 MB (Buffers 100%%  98%%).\\r'\n"
               "echo 'Writing track 02 (mode MODE2/MODE2 )...'\n"
               "printf 'Wrote 2 of 4 MB (Buffers 100%%  98%%).\\r'\n"
               "echo 'Flushing cache...'\n");
    WriteSettings settings;
    settings.speed = 1400;
    settings.underrunProof = false;
    const WriteEvents events{Remember, &seen_, nullptr};
    const UnitResult result = WriteCueWithCdrdao("/dev/sr9", image_, settings, events, control_);
    ASSERT_TRUE(result.Ok()) << result.text;
    EXPECT_EQ(Arguments(), "write\n--device\n/dev/sr9\n-n\n--speed\n7\n--buffer-under-run-protection\n0\n" +
                               image_.cue + "\n");
    const std::vector<int> expected = {
        RECORDER_EVENT_ANALYZE_BEGIN,     RECORDER_EVENT_ANALYZE_END,      RECORDER_EVENT_CACHE_WAIT_BEGIN,
        RECORDER_EVENT_CACHE_WAIT_END,    RECORDER_EVENT_PROGRESS,         RECORDER_EVENT_CACHE_WAIT_BEGIN,
        RECORDER_EVENT_CACHE_WAIT_END,    RECORDER_EVENT_PROGRESS,         RECORDER_EVENT_SYNCHRONIZE_BEGIN,
        RECORDER_EVENT_SYNCHRONIZE_END};
    EXPECT_EQ(seen_.reasons, expected);
    const int64_t bytes = 2352 * 100;
    EXPECT_EQ(seen_.done, (std::vector<int64_t>{bytes / 4, bytes / 2, bytes}));
}

TEST_F(CdrdaoTest, AFailureCarriesCdrdaosLastWords)
{
    FakeCdrdao("echo 'ERROR: Cannot open SCSI device /dev/sr9'\nexit 1\n");
    const WriteEvents events{Remember, &seen_, nullptr};
    const UnitResult result = WriteCueWithCdrdao("/dev/sr9", image_, WriteSettings{}, events, control_);
    EXPECT_FALSE(result.Ok());
    EXPECT_NE(result.text.find("exit code 1"), std::string::npos) << result.text;
    EXPECT_NE(result.text.find("Cannot open SCSI device /dev/sr9"), std::string::npos) << result.text;
}

TEST_F(CdrdaoTest, MissingCdrdaoIsNamed)
{
    setenv("PATH", temp_.Path("bin").c_str(), 1);
    const UnitResult result = WriteCueWithCdrdao("/dev/sr9", image_, WriteSettings{}, WriteEvents{}, control_);
    EXPECT_FALSE(result.Ok());
    EXPECT_NE(result.text.find("cdrdao is not installed"), std::string::npos) << result.text;
}

} // namespace
