// What the build puts into the program folder beside the executable.

#include "convert/ProcessRunner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

std::string Text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Key(const std::string& entry, const std::string& key)
{
    std::istringstream lines(entry);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    return {};
}

} // namespace

TEST(ProgramFolder, TheMenuEntryStartsThisBuildWithItsIcon)
{
    const std::string folder = KANDRIX_BIN_DIR;
    const std::string entry = Text(folder + "kandrix.desktop");
    ASSERT_FALSE(entry.empty());
    EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_EQ(Key(entry, "Type"), "Application");
    EXPECT_EQ(Key(entry, "Name"), "KANDRIX");
    // The build folder of the tests holds no character Exec would escape.
    EXPECT_EQ(Key(entry, "Exec"), "\"" + folder + "kandrix\"");
    const std::string icon = Key(entry, "Icon");
    EXPECT_EQ(icon, folder + "kandrix.svg");
    ASSERT_TRUE(std::filesystem::is_regular_file(icon));
    EXPECT_LT(std::filesystem::file_size(icon), 4096u);
    EXPECT_NE(Text(icon).find("<svg"), std::string::npos);
}

TEST(ProgramFolder, TheDesktopsOwnCheckerAcceptsTheMenuEntry)
{
    std::string complaints;
    ToolRun run;
    run.arguments = {"/usr/bin/desktop-file-validate", std::string(KANDRIX_BIN_DIR) + "kandrix.desktop"};
    run.log = [&](const std::string& text) { complaints += text; };
    const ToolOutcome outcome = RunTool(run);
    EXPECT_EQ(outcome.exitStatus, 0) << complaints;
    EXPECT_EQ(complaints, "");
}

TEST(ProgramFolder, TheHelpPageStandsAlone)
{
    const std::string help = Text(std::string(KANDRIX_BIN_DIR) + "help.html");
    ASSERT_FALSE(help.empty());
    // A browser shows it from the file alone: nothing is fetched from elsewhere.
    for (const char* outside : {"<script", "<link", "<img", "<iframe", "src=", "@import", "url("})
        EXPECT_EQ(help.find(outside), std::string::npos) << outside;
    for (const char* name :
         {"kzxtmpd001", "VIDEO_TS", ".iso", "Save log", "cdrom", "ffprobe", "Estimated disc use", "2,000 kbit/s"})
        EXPECT_NE(help.find(name), std::string::npos) << name;
}
