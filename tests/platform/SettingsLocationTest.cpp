#include "platform/SettingsLocation.h"

#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

TEST(SettingsLocation, OnlyAProgramFolderOfTheUsersKeepsTheSettingsBesideTheProgram)
{
    TempDir root;
    const std::string build = root.Path("build/");
    const std::string installed = root.Path("installed/");
    const std::string locked = root.Path("locked/");
    for (const std::string& folder : {build, installed, locked})
        ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    root.Write(std::string("installed/") + kInstallMarkerName, "");
    ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
    ScopedEnv config("XDG_CONFIG_HOME", root.Path("config"));

    const struct {
        std::string programFolder;
        bool besideProgram;
    } cases[] = {
        {build, true},
        // Even for root, who may write there.
        {installed, false},
        // Root may write anywhere: for root only the marker tells.
        {locked, ::geteuid() == 0},
    };
    for (const auto& c : cases) {
        const SettingsLocation location = LocateSettings(c.programFolder, "Option.dat");
        if (c.besideProgram) {
            EXPECT_EQ(location.file, c.programFolder + "Option.dat");
            EXPECT_EQ(location.shippedDefaults, "") << c.programFolder;
            EXPECT_EQ(location.privateFolder, "") << c.programFolder;
        } else {
            EXPECT_EQ(location.file, root.Path("config/kandrix/Option.dat"));
            EXPECT_EQ(location.shippedDefaults, c.programFolder + "Option.dat");
            EXPECT_EQ(location.privateFolder, root.Path("config/kandrix/"));
        }
    }
    ::chmod(locked.c_str(), 0755);
}

TEST(SettingsLocation, TheConfigurationHomeIsAnAbsoluteXdgConfigHomeElseTheHomesConfig)
{
    TempDir home;
    ScopedEnv homeVariable("HOME", home.Folder());
    const struct {
        const char* xdgConfigHome;
        std::string configHome;
    } cases[] = {
        {"/srv/settings", "/srv/settings/"},
        {"", home.Path(".config/")},
        {"relative/settings", home.Path(".config/")},
    };
    for (const auto& c : cases) {
        ScopedEnv xdg("XDG_CONFIG_HOME", c.xdgConfigHome);
        EXPECT_EQ(FindSettingsFacts("/usr/libexec/kandrix/").configHome, c.configHome) << c.xdgConfigHome;
    }
    // Without any configuration home the program folder is all there is.
    EXPECT_EQ(ChooseSettingsLocation({"/opt/kandrix/", false, ""}, "Option.dat").file, "/opt/kandrix/Option.dat");
}

TEST(SettingsLocation, TheSettingsFolderIsMadeForTheUserAloneOrNamesWhatIsInTheWay)
{
    TempDir root;
    SettingsLocation location{root.Path("a/b/kandrix/Option.dat"), "", root.Path("a/b/kandrix/")};
    std::string cause;
    ASSERT_TRUE(MakeSettingsFolder(location, &cause)) << cause;
    for (const char* folder : {"a", "a/b", "a/b/kandrix"}) {
        struct stat info {};
        ASSERT_EQ(::stat(root.Path(folder).c_str(), &info), 0) << folder;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << folder;
    }
    EXPECT_TRUE(MakeSettingsFolder(location, &cause)) << cause;

    root.Write("file", "");
    location.privateFolder = root.Path("file/kandrix/");
    EXPECT_FALSE(MakeSettingsFolder(location, &cause));
    EXPECT_EQ(cause, root.Path("file") + ": not a folder");
}
