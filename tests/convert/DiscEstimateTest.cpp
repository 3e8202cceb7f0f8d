#include "convert/DiscEstimate.h"
#include "convert/DiscFit.h"
#include "convert/DurationProbe.h"
#include "support/ManualJobControl.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

namespace {

// PATH with a folder of stand-in tools first, for the object's lifetime.
class StandInPath {
public:
    explicit StandInPath(const std::string& folder) : path_("PATH", PathWithFirst(folder)) {}

private:
    ScopedEnv path_;
};

std::string WriteScript(const TempDir& dir, const std::string& name, const std::string& body)
{
    const std::string path = dir.Write(name, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
    return path;
}

DurationSurvey Known(double seconds)
{
    DurationSurvey survey;
    survey.knownSeconds = seconds;
    survey.knownCount = 3;
    return survey;
}

} // namespace

TEST(DiscEstimateTest, AnHourAndAHalfFitsAtTheStandardRate)
{
    const RatePlan plan = PlanVideoRate(90 * 60, 3, SINGLE_LAYER_DVD_BYTES);
    EXPECT_EQ(plan.verdict, FitVerdict::StandardRate);
    EXPECT_EQ(plan.videoKbps, DVD_VIDEO_KBPS);
    EXPECT_EQ(DecideVideoFit(Known(90 * 60), 3, SINGLE_LAYER_DVD_BYTES, false).action, FitAction::GoOn);
    EXPECT_EQ(DecideVideoFit(Known(90 * 60), 3, SINGLE_LAYER_DVD_BYTES, false).videoKbps, 0);
}

TEST(DiscEstimateTest, ALongerRunGetsTheHighestRateThatFitsWithItsMargin)
{
    // 1 h 53 min 20 s needs 4,800 kbit/s: at 4,900 it would pass 98% of the disc.
    const RatePlan plan = PlanVideoRate(6800, 3, SINGLE_LAYER_DVD_BYTES);
    EXPECT_EQ(plan.verdict, FitVerdict::LowerRate);
    EXPECT_EQ(plan.videoKbps, 4800);
    EXPECT_LE(plan.estimatedBytes, SINGLE_LAYER_DVD_BYTES * 98 / 100);
    EXPECT_GT(EstimateDiscBytes(6800, 4900, 3), SINGLE_LAYER_DVD_BYTES * 98 / 100);
    EXPECT_EQ(EstimateLogLine(plan), "Estimated disc use: 4.55 GB of 4.70 GB (video at 4,800 kbit/s)");

    const FitDecision decision = DecideVideoFit(Known(3 * 3600), 3, SINGLE_LAYER_DVD_BYTES, false);
    EXPECT_EQ(decision.action, FitAction::GoOn);
    EXPECT_EQ(decision.videoKbps, 2800);
    EXPECT_EQ(decision.estimateLine, "Estimated disc use: 4.47 GB of 4.70 GB (video at 2,800 kbit/s)");
}

TEST(DiscEstimateTest, ARunTooLongEvenAtTheLowestRateIsRefusedWithTheFigures)
{
    const FitDecision decision = DecideVideoFit(Known(4 * 3600 + 10 * 60), 3, SINGLE_LAYER_DVD_BYTES, false);
    EXPECT_EQ(decision.action, FitAction::Refuse);
    EXPECT_EQ(decision.text, "The videos last 4 h 10 min. A 4.7 GB DVD holds about 4 h 5 min at acceptable "
                             "quality. Remove some files, or split them across two discs.");
}

TEST(DiscEstimateTest, TheRefusalNeverReadsAsIfTheVideosFit)
{
    // 4 h 5 min 57 s, a few seconds past what the disc holds (4 h 5 min 54 s):
    // the length rounds up and the capacity down.
    ASSERT_LT(LongestAtMinimumRate(3, SINGLE_LAYER_DVD_BYTES), 14757);
    const FitDecision decision = DecideVideoFit(Known(14757), 3, SINGLE_LAYER_DVD_BYTES, false);
    EXPECT_EQ(decision.action, FitAction::Refuse);
    EXPECT_EQ(decision.text.rfind("The videos last 4 h 6 min. A 4.7 GB DVD holds about 4 h 5 min at", 0), 0u)
        << decision.text;
    EXPECT_EQ(FormatDuration(14757, MinuteRounding::Down), "4 h 5 min");
    EXPECT_EQ(FormatDuration(4 * 3600, MinuteRounding::Up), "4 h 0 min");
    EXPECT_EQ(FormatDuration(4 * 3600, MinuteRounding::Down), "4 h 0 min");
}

TEST(DiscEstimateTest, TheImageFileRecorderAsksAndNamesTheDoubleLayerSize)
{
    const FitDecision fitsDual = DecideVideoFit(Known(4 * 3600 + 10 * 60), 3, SINGLE_LAYER_DVD_BYTES, true);
    EXPECT_EQ(fitsDual.action, FitAction::Ask);
    // Yes makes an image for a double-layer disc, at the rate that fits it.
    EXPECT_EQ(fitsDual.videoKbps, 3900);
    EXPECT_EQ(fitsDual.estimateLine, "Estimated disc use: 8.32 GB of 8.55 GB (video at 3,900 kbit/s)");
    EXPECT_NE(fitsDual.text.find("The videos last 4 h 10 min."), std::string::npos) << fitsDual.text;
    EXPECT_NE(fitsDual.text.find("it fits an 8.5 GB double-layer DVD"), std::string::npos) << fitsDual.text;

    const FitDecision tooLarge = DecideVideoFit(Known(9 * 3600), 3, SINGLE_LAYER_DVD_BYTES, true);
    EXPECT_EQ(tooLarge.action, FitAction::Ask);
    EXPECT_EQ(tooLarge.text.find("double-layer"), std::string::npos) << tooLarge.text;
    EXPECT_EQ(tooLarge.videoKbps, 0);
}

TEST(DiscEstimateTest, UnknownLengthsAskBeforeGoingOnAndAnUnknownCapacityChecksNothing)
{
    DurationSurvey survey = Known(3 * 3600);
    survey.unknown = {"holiday.avi", "-odd name.mkv"};
    const FitDecision decision = DecideVideoFit(survey, 5, SINGLE_LAYER_DVD_BYTES, false);
    EXPECT_EQ(decision.action, FitAction::Ask);
    EXPECT_NE(decision.text.find("holiday.avi, -odd name.mkv"), std::string::npos) << decision.text;
    // Yes goes on at the rate the known lengths need.
    EXPECT_EQ(decision.videoKbps, 2800);

    EXPECT_EQ(DecideVideoFit(Known(9 * 3600), 3, 0, false).action, FitAction::GoOn);
}

TEST(DiscEstimateTest, ALongListOfUnknownLengthsIsCutAndAMissingProbeIsToldOnce)
{
    DurationSurvey survey;
    for (int i = 1; i <= 12; ++i)
        survey.unknown.push_back("clip" + std::to_string(i) + ".avi");
    const FitDecision cut = DecideVideoFit(survey, 12, SINGLE_LAYER_DVD_BYTES, false);
    EXPECT_EQ(cut.action, FitAction::Ask);
    EXPECT_NE(cut.text.find("clip9.avi, clip10.avi, ... and 2 more."), std::string::npos) << cut.text;
    EXPECT_EQ(cut.text.find("clip11.avi"), std::string::npos) << cut.text;

    survey.probeMissing = true;
    const FitDecision missing = DecideVideoFit(survey, 12, SINGLE_LAYER_DVD_BYTES, false);
    EXPECT_EQ(missing.action, FitAction::Ask);
    EXPECT_EQ(missing.text, "The length of the videos could not be read: ffprobe was not found (install the "
                            "ffmpeg package). Whether they fit on the disc is not known. Go on anyway?");
}

TEST(DiscEstimateTest, MpegFilesAreMeasuredByTheirSizes)
{
    TempDir dir;
    const std::string big = dir.Path("big.mpg");
    const std::string small = dir.Write("small.mpg", std::string(2048, 'x'));
    // Sparse: five gigabytes that take no room.
    ASSERT_EQ(::truncate(dir.Write("big.mpg", "").c_str(), 5000000000LL), 0);
    const int64_t total = SummedFileSize({big, small, dir.Path("gone.mpg")});
    EXPECT_EQ(total, 5000002048LL);

    const FitDecision refused = DecideMpegFit(total, 2, SINGLE_LAYER_DVD_BYTES, false);
    EXPECT_EQ(refused.action, FitAction::Refuse);
    EXPECT_EQ(refused.text, "The MPEG files need about 5.10 GB on the disc, which holds 4.70 GB. Remove some "
                            "files, or split them across two discs.");
    const FitDecision asked = DecideMpegFit(total, 2, SINGLE_LAYER_DVD_BYTES, true);
    EXPECT_EQ(asked.action, FitAction::Ask);
    EXPECT_NE(asked.text.find("8.5 GB double-layer"), std::string::npos) << asked.text;

    EXPECT_EQ(DecideMpegFit(4000000000LL, 2, SINGLE_LAYER_DVD_BYTES, false).action, FitAction::GoOn);
    // 4.64 GB of 2 Mbit/s MPEG gains 1.3% in navigation packs: over 4.70 GB.
    EXPECT_EQ(DecideMpegFit(4640000000LL, 2, SINGLE_LAYER_DVD_BYTES, false).action, FitAction::Refuse);
}

TEST(DiscEstimateTest, FiguresReadAsPeopleWriteThem)
{
    EXPECT_EQ(FormatThousands(4800), "4,800");
    EXPECT_EQ(FormatThousands(999), "999");
    EXPECT_EQ(FormatThousands(1234567), "1,234,567");
    EXPECT_EQ(FormatDuration(55 * 60), "55 min");
    EXPECT_EQ(FormatDuration(3 * 3600 + 20 * 60 + 10), "3 h 20 min");
    EXPECT_EQ(FormatGigabytes(SINGLE_LAYER_DVD_BYTES), "4.70 GB");
    EXPECT_EQ(FormatGigabytes(SINGLE_LAYER_DVD_BYTES, 1), "4.7 GB");
}

TEST(DurationProbeTest, ReadsTheLastNumberFfprobeReports)
{
    EXPECT_EQ(ParseDurationReport("6.016000\n"), 6.016);
    EXPECT_EQ(ParseDurationReport("[mov] stream 2: unknown codec\n12.5\n"), 12.5);
    EXPECT_EQ(ParseDurationReport("N/A\n"), std::nullopt);
    EXPECT_EQ(ParseDurationReport("clip.avi: Invalid data found when processing input\n"), std::nullopt);
    EXPECT_EQ(ParseDurationReport(""), std::nullopt);
    EXPECT_EQ(ParseDurationReport("0.000000\n"), std::nullopt);
    // The keyed and JSON forms, should a caller's ffprobe print those.
    EXPECT_EQ(ParseDurationReport("[FORMAT]\nduration=10800.000000\n[/FORMAT]\n"), 10800.0);
    EXPECT_EQ(ParseDurationReport("{\n    \"format\": {\n        \"duration\": \"5400.5\"\n    }\n}\n"), 5400.5);
}

TEST(DurationProbeTest, RunsTheFfprobeOnThePathWithTheFileIntact)
{
    TempDir tools;
    // Reports the length the file itself holds, so only the file as given
    // gives a length.
    WriteScript(tools, "ffprobe", "for last; do :; done\ncat \"$last\"\n");
    StandInPath path(tools.Folder().substr(0, tools.Folder().size() - 1));
    TempDir media;
    const std::string odd = media.Write("-a $b `c`; d.avi", "5400.5\n");
    const std::string bad = media.Write("bad.avi", "N/A\n");

    const DurationSurvey survey = ProbeDurations({{odd, "-a $b `c`; d.avi"}, {bad, "bad.avi"}});
    EXPECT_DOUBLE_EQ(survey.knownSeconds, 5400.5);
    EXPECT_EQ(survey.knownCount, 1);
    EXPECT_EQ(survey.unknown, std::vector<std::string>{"bad.avi"});
    EXPECT_FALSE(survey.cancelled);
}

TEST(DurationProbeTest, WithoutFfprobeNothingIsRunAndEverySourceIsUnknown)
{
    TempDir empty;
    const char* old = std::getenv("PATH");
    const std::string saved = old ? old : "";
    ::setenv("PATH", empty.Folder().c_str(), 1);
    const DurationSurvey survey = ProbeDurations({{"/nowhere/a.avi", "a.avi"}, {"/nowhere/b.avi", "b.avi"}});
    ::setenv("PATH", saved.c_str(), 1);
    EXPECT_TRUE(survey.probeMissing);
    EXPECT_EQ(survey.unknown, (std::vector<std::string>{"a.avi", "b.avi"}));
    EXPECT_EQ(survey.knownCount, 0);
}

TEST(DurationProbeTest, AProbeThatHangsIsStoppedAndCountsAsUnknown)
{
    TempDir tools;
    WriteScript(tools, "ffprobe", "echo $$ > \"$(dirname \"$0\")/pid\"\nexec sleep 60\n");
    StandInPath path(tools.Folder().substr(0, tools.Folder().size() - 1));
    EXPECT_EQ(ProbeDuration("/nowhere/clip.avi", 300), std::nullopt);
    const std::string pid = [&] {
        std::ifstream in(tools.Path("pid"));
        std::string text;
        in >> text;
        return text;
    }();
    // On a busy machine the limit may come before the stand-in wrote its pid;
    // then there is no process of it left to look for either.
    if (!pid.empty()) {
        EXPECT_NE(::kill(std::stoi(pid), 0), 0) << "the stand-in is still running";
    }

    ManualJobControl control;
    control.Cancel();
    const DurationSurvey survey = ProbeDurations({{"/nowhere/a.avi", "a.avi"}}, &control);
    EXPECT_TRUE(survey.cancelled);
}

// Each stand-in waits until all three have started, so one after another
// none would report a length.
TEST(DurationProbeTest, TheProbesRunSideBySideAndReportInListOrder)
{
    TempDir tools;
    WriteScript(tools, "ffprobe",
                "for last; do :; done\n"
                "marks=\"$(dirname \"$0\")\"\n"
                "touch \"$marks/started.$$\"\n"
                "for i in $(seq 200); do\n"
                "  [ $(ls \"$marks\" | grep -c started) -ge 3 ] && exec cat \"$last\"\n"
                "  sleep 0.1\n"
                "done\n"
                "exit 1\n");
    StandInPath path(tools.Folder().substr(0, tools.Folder().size() - 1));
    TempDir media;
    const DurationSurvey survey = ProbeDurations({{media.Write("a.avi", "N/A\n"), "a.avi"},
                                                  {media.Write("b.avi", "2.5\n"), "b.avi"},
                                                  {media.Write("c.avi", "N/A\n"), "c.avi"}},
                                                 nullptr, 60000, 3);
    EXPECT_EQ(survey.knownCount, 1);
    EXPECT_DOUBLE_EQ(survey.knownSeconds, 2.5);
    EXPECT_EQ(survey.unknown, (std::vector<std::string>{"a.avi", "c.avi"}));
}
