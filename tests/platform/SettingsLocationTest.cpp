#include "platform/SettingsLocation.h"

#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

TEST(SettingsLocation, OnlyAProgramFolderOfTheUsersKeepsTheSettingsBesideTheProgram)
{
    TempDir root;
    const std::string build = root.Path("build/"), installed = root.Path("installed/"), locked = root.Path("locked/");
    for (const std::string& folder : {build, installed, locked})
        ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    root.Write(std::string("installed/") + kInstallMarkerName, "");
    ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
    ScopedEnv config("XDG_CONFIG_HOME", root.Path("config"));
    const auto beside = [](const std::string& folder) { return SettingsLocation{folder + "Option.dat", "", ""}; };
    const auto configured = [&](const std::string& folder) {
        return SettingsLocation{root.Path("config/kandrix/Option.dat"), folder + "Option.dat", root.Path("config/kandrix/")};
    };

    EXPECT_EQ(LocateSettings(build, "Option.dat"), beside(build));
    // Also for root, who may write there.
    EXPECT_EQ(LocateSettings(installed, "Option.dat"), configured(installed));
    // Root may write anywhere: for root only the marker tells.
    EXPECT_EQ(LocateSettings(locked, "Option.dat"), ::geteuid() == 0 ? beside(locked) : configured(locked));
    ::chmod(locked.c_str(), 0755);
}

TEST(SettingsLocation, TheConfigurationHomeIsAnAbsoluteXdgConfigHomeElseTheHomesConfig)
{
    TempDir home;
    ScopedEnv homeVariable("HOME", home.Folder());
    for (const auto& [xdgConfigHome, configHome] : {std::pair<std::string, std::string>{"/srv/cfg", "/srv/cfg/"},
                                                   {"", home.Path(".config/")},
                                                   {"relative/cfg", home.Path(".config/")}}) {
        ScopedEnv xdg("XDG_CONFIG_HOME", xdgConfigHome);
        EXPECT_EQ(FindSettingsFacts("/usr/libexec/kandrix/").configHome, configHome) << xdgConfigHome;
    }
}

TEST(SettingsLocation, MakingTheSettingsFolderNamesWhatIsInTheWay)
{
    TempDir root;
    std::string cause;
    EXPECT_TRUE(MakeSettingsFolder({"", "", root.Path("a/b/kandrix/")}, &cause)) << cause;
    EXPECT_TRUE(std::filesystem::is_directory(root.Path("a/b/kandrix")));
    root.Write("file", "");
    EXPECT_FALSE(MakeSettingsFolder({"", "", root.Path("file/kandrix/")}, &cause));
    EXPECT_EQ(cause, root.Path("file") + ": not a folder");
}
