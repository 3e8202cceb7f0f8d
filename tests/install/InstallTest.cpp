// The program as installed for every user of a system: staged under a root
// of the test's own, checked with the desktop's own validators, and run
// from there.

#include "core/ConversionSettings.h"
#include "core/OptionRecord.h"
#include "convert/ProcessRunner.h"
#include "support/ProgramRun.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kInstalledFiles = {
    "usr/bin/kandrix",
    "usr/libexec/kandrix/NormalBlack2.ini",
    "usr/libexec/kandrix/Vista.cjstyles",
    "usr/libexec/kandrix/ar.exe",
    "usr/libexec/kandrix/help.html",
    "usr/libexec/kandrix/installed",
    "usr/libexec/kandrix/kandrix",
    "usr/libexec/kandrix/mg.exe",
    "usr/share/applications/org.kandrix.Kandrix.desktop",
    "usr/share/doc/kandrix/COPYING",
    "usr/share/doc/kandrix/README.md",
    "usr/share/doc/kandrix/copyright",
    "usr/share/icons/hicolor/scalable/apps/org.kandrix.Kandrix.svg",
    "usr/share/metainfo/org.kandrix.Kandrix.metainfo.xml",
};

// Every entry under root that is not a folder, by its path from root.
std::vector<std::string> FilesUnder(const std::string& root)
{
    std::vector<std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root))
        if (!entry.is_directory() || entry.is_symlink())
            files.push_back(entry.path().lexically_relative(root).string());
    std::sort(files.begin(), files.end());
    return files;
}

// The exit status, with everything the tool said in *output.
int StatusOf(const std::vector<std::string>& arguments, std::string* output)
{
    ToolRun run;
    run.arguments = arguments;
    run.log = [output](const std::string& text) { *output += text; };
    return RunTool(run).exitStatus;
}

std::string Text(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(Install, TheInstalledProgramValidatesAndKeepsItsSettingsInTheUsersConfigurationFolder)
{
    TempDir stage;
    std::string output;
    {
        ScopedEnv destdir("DESTDIR", stage.Folder());
        ASSERT_EQ(StatusOf({KANDRIX_CMAKE, "--install", KANDRIX_BUILD_DIR, "--prefix", "/usr"}, &output), 0) << output;
    }
    ASSERT_EQ(FilesUnder(stage.Folder()), kInstalledFiles);
    EXPECT_TRUE(fs::read_symlink(stage.Path("usr/bin/kandrix")).is_relative());

    // The desktop finds the program on PATH and the icon in its theme.
    const std::string entry = stage.Path("usr/share/applications/org.kandrix.Kandrix.desktop");
    for (const char* line : {"\nExec=kandrix\n", "\nIcon=org.kandrix.Kandrix\n"})
        EXPECT_NE(Text(entry).find(line), std::string::npos) << line;
    for (const std::vector<std::string>& validation :
         {std::vector<std::string>{"/usr/bin/desktop-file-validate", entry},
          {"/usr/bin/appstreamcli", "validate", "--no-net",
           stage.Path("usr/share/metainfo/org.kandrix.Kandrix.metainfo.xml")}}) {
        output.clear();
        EXPECT_EQ(StatusOf(validation, &output), 0) << output;
    }

    // A distributor's first settings, and a program folder no user may write.
    const std::string programFolder = stage.Path("usr/libexec/kandrix/");
    ConversionSettings shipped;
    shipped.SetDefaults();
    shipped.task = 2;
    shipped.discVolumeLabel = "Shipped";
    ASSERT_TRUE(WriteOptionFile(programFolder + "Option.dat", shipped));
    const std::vector<std::string> before = FilesUnder(stage.Folder());
    fs::permissions(programFolder, fs::perms::owner_write, fs::perm_options::remove);

    TempDir home;
    EXPECT_EQ(RunUntilStopped(stage.Path("usr/bin/kandrix"), {"XDG_CONFIG_HOME=" + home.Path("config")}, SIGTERM), 0);
    fs::permissions(programFolder, fs::perms::owner_write, fs::perm_options::add);

    EXPECT_EQ(FilesUnder(stage.Folder()), before);
    ConversionSettings saved;
    saved.SetDefaults();
    ASSERT_TRUE(ReadOptionFile(home.Path("config/kandrix/Option.dat"), saved));
    EXPECT_EQ(saved.task, 2);
    EXPECT_EQ(saved.discVolumeLabel, "Shipped");
    EXPECT_EQ(fs::status(home.Path("config/kandrix")).permissions(), fs::perms::owner_all);
}
