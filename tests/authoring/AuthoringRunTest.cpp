#include "AuthoringKit.h"

#include "core/ConversionSettings.h"

#include "support/ScopedEnv.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

struct AuthoringRun {
    std::shared_ptr<RunFolder> work;
    RecordingView view;
    AuthoringPaths paths;
    std::vector<std::string> files;

    StepResult Write(int task, const std::string& out, const std::string& program, const std::vector<std::string>& list)
    {
        work = WorkFolderIn(out);
        files = list;
        view.list = list;
        return WriteAuthoringFiles({task, out, program, list}, *work, view, paths, files);
    }
    std::string Work() const { return work->Path(); }
    StepResult Author() { return RunAuthoringBatch(paths, view); }
    std::string Ifo() const { return paths.folder + "/VIDEO_TS/VIDEO_TS.IFO"; }
    bool Logged(const std::string& text) const { return view.LogText().find(text) != std::string::npos; }
};

} // namespace

TEST(AuthoringRunTest, CopiesTheSourcesAndRunsArExeOnTheXml)
{
    TempDir dir;
    const std::string program = MakeFakeProgramFolder(dir.Path("prog/"), "ok");
    const std::string out = dir.Folder();
    const std::string first = dir.Write("first.mpg", "first");
    const std::string second = dir.Write("second.mpg", "second");
    AuthoringRun run;
    ASSERT_TRUE(run.Write(CT_MPG2DVD, out, program, {first, second}));
    ASSERT_TRUE(run.Author()) << run.view.LogText();

    EXPECT_EQ(ReadFile(run.files[0]), "first");
    EXPECT_EQ(ReadFile(run.files[1]), "second");
    EXPECT_TRUE(fs::exists(run.Ifo()));
    const std::string work = run.Work();
    EXPECT_EQ(FakeArArguments(program),
              (std::vector<std::string> {"-o", work + "kzxtmpd001", "-x", work + "kzxtmpf001.xml"}));

    const std::vector<std::string> log = run.view.log;
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(log.begin() + 2, log.begin() + 4),
              (std::vector<std::string> {"DVD Author...", "DVD Author..."}));
    EXPECT_EQ(run.view.status, "DVD Author...");
    EXPECT_TRUE(run.Logged("+ cp -lf -- " + first + " " + run.files[0])) << run.view.LogText();
    EXPECT_TRUE(run.Logged("+ mkdir -p -- " + work + "kzxtmpd001"));
    EXPECT_TRUE(run.Logged("+ find " + work + "kzxtmpd001 ! -type d -delete"));
    EXPECT_TRUE(run.Logged("+ " + program + "ar.exe -o " + work + "kzxtmpd001 -x " + work + "kzxtmpf001.xml"));
    EXPECT_TRUE(run.Logged("INFO: dvdauthor creating VTS"));
    EXPECT_FALSE(run.Logged("Authoring failed"));
}

// The user's names, whatever the list holds now, reach ar.exe beside the
// batch, which stays as it was.
TEST(AuthoringRunTest, TheMenuTextsReachArExe)
{
    TempDir dir;
    const std::string program = MakeFakeProgramFolder(dir.Path("prog/"), "ok");
    AuthoringRun run;
    ASSERT_TRUE(run.Write(CT_MPG2DVD, dir.Folder(), program, {dir.Write("Beach.day.mpg", "")}));
    const MenuTexts texts = MenuTextsFor("My DVD & more", {"/videos/Beach.day.mpg", "/v/two\nlines.vob", "/v/-x"});
    ASSERT_TRUE(RunAuthoringBatch(run.paths, run.view, nullptr, &texts)) << run.view.LogText();
    EXPECT_EQ(ReadFile(program + "menu"), std::string("My DVD & more\0Beach.day\ntwo lines\n-x", 36));
    EXPECT_TRUE(run.Logged("+ " + program + "ar.exe -o ")) << run.view.LogText();
}

TEST(AuthoringRunTest, AnEarlierTreeIsEmptiedBeforeArExeRuns)
{
    TempDir dir;
    // An ar.exe that writes nothing shows whether the old tree was still there.
    AuthoringRun run;
    ASSERT_TRUE(run.Write(CT_VIDEO2DVD, dir.Folder(), MakeFakeProgramFolder(dir.Path("prog/"), "silent"),
                          {dir.Write("a.mpg", "a")}));
    const std::string folder = run.Work() + "kzxtmpd001/";
    fs::create_directories(folder + "VIDEO_TS");
    fs::create_directories(folder + "sub/deeper");
    WriteFile(folder + "VIDEO_TS/VIDEO_TS.IFO", "stale");
    WriteFile(folder + "VIDEO_TS/VTS_01_1.VOB", "stale");
    WriteFile(folder + "leftover.txt", "stale");
    WriteFile(folder + "sub/deeper/old.vob", "stale");
    fs::create_symlink("/nonexistent", folder + "sub/dangling");
    EXPECT_EQ(run.Author().Message(), "Authoring failed: ar.exe wrote no " + run.Ifo())
        << "an old tree must not pass for this run's";

    std::vector<std::string> left;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder))
        left.push_back(entry.path().string().substr(folder.size()) + (entry.is_directory() ? "/" : ""));
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string> {"VIDEO_TS/", "sub/", "sub/deeper/"}));
}

TEST(AuthoringRunTest, AFailingArExeFailsTheAuthoringWithItsError)
{
    TempDir dir;
    AuthoringRun run;
    ASSERT_TRUE(run.Write(CT_VIDEO2DVD, dir.Folder(), MakeFakeProgramFolder(dir.Path("prog/"), "fail"),
                          {dir.Write("a.mpg", "a")}));
    EXPECT_EQ(run.Author().Message(), "Authoring failed: ERR:  something") << run.view.LogText();

    AuthoringRun missing;
    fs::create_directory(dir.Path("empty"));
    ASSERT_TRUE(missing.Write(CT_VIDEO2DVD, dir.Folder(), dir.Path("empty/"), {dir.Path("a.mpg")}));
    const StepResult failed = missing.Author();
    EXPECT_EQ(failed.Step(), "Authoring");
    EXPECT_NE(failed.Reason().find("ar.exe"), std::string::npos) << failed;
}

// A copy costs nothing where the file system allows a hard link; on another
// file system it is a copy of its own. Either way the user's file keeps its
// bytes, also when a retry has to copy over a linked copy.
TEST(AuthoringRunTest, ACopyIsALinkOnTheSameFileSystemAndACopyElsewhere)
{
    TempDir dir;
    const std::string program = MakeFakeProgramFolder(dir.Path("prog/"), "ok");
    const std::string source = dir.Write("first.mpg", "first");
    const std::string movie = dir.Path("movie.mpg");
    fs::create_symlink(source, movie);
    AuthoringRun run;
    ASSERT_TRUE(run.Write(CT_MPG2DVD, dir.Folder(), program, {movie}));
    ASSERT_TRUE(run.Author()) << run.view.LogText();
    EXPECT_TRUE(fs::equivalent(run.files[0], source));

    ScopedEnv shm("TMPDIR", "/dev/shm");
    TempDir elsewhere;
    struct stat here {}, there {};
    if (::stat(dir.Folder().c_str(), &here) != 0 || ::stat(elsewhere.Folder().c_str(), &there) != 0 ||
        here.st_dev == there.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    fs::remove(movie);
    fs::create_symlink(elsewhere.Write("second.mpg", "second, longer"), movie);
    ASSERT_TRUE(WriteAuthoringFiles({CT_MPG2DVD, dir.Folder(), program, run.files}, *run.work, run.view, run.paths,
                                    run.files));
    ASSERT_TRUE(run.Author()) << run.view.LogText();
    EXPECT_EQ(ReadFile(run.files[0]), "second, longer");
    EXPECT_FALSE(fs::equivalent(run.files[0], elsewhere.Path("second.mpg")));
    EXPECT_EQ(ReadFile(source), "first");
}

TEST(AuthoringRunTest, ACopyThatFailsStopsTheBatch)
{
    TempDir dir;
    const std::string program = MakeFakeProgramFolder(dir.Path("prog/"), "ok");
    const std::string source = dir.Write("gone.mpg", "x");
    AuthoringRun run;
    ASSERT_TRUE(run.Write(CT_MPG2DVD, dir.Folder(), program, {source}));
    fs::remove(source);
    const std::string last = run.Author().Message();
    EXPECT_EQ(last.rfind("Authoring failed: cp: ", 0), 0u) << run.view.LogText();
    EXPECT_NE(last.find("gone.mpg"), std::string::npos) << last;
    EXPECT_FALSE(fs::exists(program + "args")) << "ar.exe must not run after a failed copy";
}

TEST(AuthoringRunTest, HostileNamesReachTheToolsIntactAndRunNothing)
{
    TempDir dir;
    CurrentFolder inside(dir.Folder());
    const std::vector<std::string> names = {
        "it's.mpg", "$HOME.mpg", "`id`.mpg", "a;b.mpg", "a&b.mpg", "a|b.mpg", "new\nline.mpg",
        "-rf.mpg", "$(touch pwned)", "\"quoted\" \\back.mpg",
    };
    fs::create_directory(dir.Path("in"));
    std::vector<std::string> sources;
    for (size_t i = 0; i < names.size(); ++i) {
        sources.push_back(dir.Path("in/") + names[i]);
        WriteFile(sources.back(), "content " + std::to_string(i));
    }
    const std::string out = dir.Path("out 'o' $(touch pwned) `touch pwned`;|&\n/");
    fs::create_directory(out);
    const std::string program = MakeFakeProgramFolder(dir.Path("prog $(touch pwned)/"), "ok");

    AuthoringRun run;
    ASSERT_TRUE(run.Write(CT_MPG2DVD, out, program, sources));
    ASSERT_TRUE(run.Author()) << run.view.LogText();
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(ReadFile(run.files[i]), "content " + std::to_string(i)) << names[i];
    EXPECT_EQ(FakeArArguments(program),
              (std::vector<std::string> {"-o", run.Work() + "kzxtmpd001", "-x", run.Work() + "kzxtmpf001.xml"}));
    EXPECT_TRUE(fs::exists(run.Work() + "kzxtmpd001/VIDEO_TS/VIDEO_TS.IFO"));
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir.Folder()))
        EXPECT_NE(entry.path().filename(), "pwned") << entry.path();
}

TEST(AuthoringRunTest, RelativePathsStartingWithADashAreNoOptions)
{
    TempDir dir;
    CurrentFolder inside(dir.Folder());
    MakeFakeProgramFolder(dir.Path("-prog/"), "ok");
    fs::create_directory(dir.Path("-out"));
    WriteFile(dir.Path("-rf"), "data");

    AuthoringRun run;
    ASSERT_TRUE(run.Write(CT_MPG2DVD, "-out/", "-prog/", {"-rf"}));
    ASSERT_TRUE(run.Author()) << run.view.LogText();
    EXPECT_EQ(ReadFile(run.files[0]), "data");
    EXPECT_EQ(ReadFile(dir.Path("-rf")), "data");
    EXPECT_EQ(run.Work().rfind("-out/", 0), 0u) << run.Work();
    EXPECT_TRUE(fs::exists(run.Work() + "kzxtmpd001/VIDEO_TS/VIDEO_TS.IFO"));
}
