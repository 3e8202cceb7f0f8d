// Opening targets with the desktop's programs: the Exec lines of desktop
// entries and the error texts, with stand-ins on PATH.

#include "platform/DesktopEntry.h"
#include "platform/DesktopOpener.h"
#include "support/StandInOpener.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

namespace {

using Args = std::vector<std::string>;

TEST(DesktopEntry, HandlerCommandCutsAtThePlaceholderAndAppendsTheTarget)
{
    // No placeholder: the whole command, then the target.
    EXPECT_EQ(HandlerCommand("firefox --new-window", "https://a.org/"),
              (Args{"firefox", "--new-window", "https://a.org/"}));
    // Whatever follows the first %u/%U/%f/%F goes, as after "%1".
    EXPECT_EQ(HandlerCommand("chromium %U --incognito", "x"), (Args{"chromium", "x"}));
    EXPECT_EQ(HandlerCommand("viewer --open=%f", "x"), (Args{"viewer", "--open=", "x"}));
    EXPECT_EQ(HandlerCommand("\"/opt/My Browser/run\" --tab \"%u\"", "x"), (Args{"/opt/My Browser/run", "--tab", "x"}));
    // Other field codes expand to nothing, "%%" is a percent sign.
    EXPECT_EQ(HandlerCommand("browser %i --rate=100%% %c %u", "x"), (Args{"browser", "--rate=100%", "x"}));
    // The target is one argument, whatever it holds.
    EXPECT_EQ(HandlerCommand("browser %u", "-a b \"$HOME\" `x`;"), (Args{"browser", "-a b \"$HOME\" `x`;"}));
    EXPECT_EQ(HandlerCommand("%u", "x"), std::nullopt);
    EXPECT_EQ(HandlerCommand("\"browser %u", "x"), std::nullopt);
}

TEST(DesktopEntry, ExecLinesSplitByTheQuotingRules)
{
    EXPECT_EQ(SplitExecLine("  a   b\tc "), (Args{"a", "b", "c"}));
    EXPECT_EQ(SplitExecLine("\"a b\" \"\" c\"d e\"f"), (Args{"a b", "", "cd ef"}));
    EXPECT_EQ(SplitExecLine(R"("q\"uote" "\$x \`y\` back\\slash" "\n")"),
              (Args{"q\"uote", "$x `y` back\\slash", "\\n"}));
    EXPECT_EQ(SplitExecLine("a \"b"), std::nullopt);
}

TEST(DesktopEntry, ReadsExecOfTheMainGroupWithStringEscapes)
{
    TempDir dir;
    const std::string entry = dir.Write("b.desktop", "[Desktop Entry]\nName=B\nExecute=no\nExec = /opt/a\\sb \"x\\\\$y\" %u\r\n"
                                                     "[Desktop Action new]\nExec=/other %u\n");
    EXPECT_EQ(ReadDesktopExec(entry), "/opt/a b \"x\\$y\" %u");
    EXPECT_EQ(HandlerCommand(*ReadDesktopExec(entry), "t"), (Args{"/opt/a", "b", "x$y", "t"}));
    dir.Write("none.desktop", "[Desktop Action new]\nExec=/other %u\n");
    EXPECT_EQ(ReadDesktopExec(dir.Path("none.desktop")), std::nullopt);
    EXPECT_EQ(ReadDesktopExec(dir.Path("missing.desktop")), std::nullopt);
    // A FIFO under an entry's name has no writer: reading it would never end.
    ASSERT_EQ(mkfifo(dir.Path("fifo.desktop").c_str(), 0600), 0);
    EXPECT_EQ(ReadDesktopExec(dir.Path("fifo.desktop")), std::nullopt);
}

TEST(DesktopEntry, FindsEntriesInTheApplicationFoldersInOrder)
{
    TempDir home, system;
    std::filesystem::create_directories(home.Path("applications/vendor"));
    std::filesystem::create_directories(system.Path("applications"));
    home.Write("applications/vendor/web.desktop", "[Desktop Entry]\n");
    system.Write("applications/vendor-web.desktop", "[Desktop Entry]\n");
    system.Write("applications/mail.desktop", "[Desktop Entry]\n");

    ScopedEnv dataHome("XDG_DATA_HOME", home.Folder());
    ScopedEnv dataDirs("XDG_DATA_DIRS", system.Folder() + ":/nonexistent");
    const std::vector<std::string> folders = ApplicationFolders();
    ASSERT_EQ(folders.size(), 3u);
    EXPECT_EQ(folders[0], home.Path("applications/"));
    EXPECT_EQ(FindDesktopEntry("vendor-web.desktop"), home.Path("applications/vendor/web.desktop"));
    EXPECT_EQ(FindDesktopEntry("mail.desktop"), system.Path("applications/mail.desktop"));
    EXPECT_EQ(FindDesktopEntry("absent.desktop"), "");
    EXPECT_EQ(FindDesktopEntry("../applications/mail.desktop"), "");
}

TEST(DesktopOpener, ErrorTextsAndOpenerCodes)
{
    EXPECT_EQ(HyperlinkErrorText(2), "Unable to open hyperlink:\n\nThe specified file was not found.");
    EXPECT_EQ(HyperlinkErrorText(0), "Unable to open hyperlink:\n\nThe operating system is out\nof memory or resources.");
    EXPECT_EQ(HyperlinkErrorText(26), "Unable to open hyperlink:\n\nA sharing violation occurred. ");
    EXPECT_EQ(HyperlinkErrorText(31),
              "Unable to open hyperlink:\n\nThere is no application associated\nwith the given filename extension.");
    EXPECT_EQ(HyperlinkErrorText(33), "Unable to open hyperlink:\n\nUnknown Error (33) occurred.");
    EXPECT_EQ(HyperlinkErrorText(-4), "Unable to open hyperlink:\n\nUnknown Error (-4) occurred.");

    EXPECT_GT(OpenerExitCode(0), 32);
    EXPECT_EQ(OpenerExitCode(2), kOpenFileNotFound);
    EXPECT_EQ(OpenerExitCode(3), kOpenNoAssociation);
    EXPECT_EQ(OpenerExitCode(4), kOpenAssociationIncomplete);
    EXPECT_LE(OpenerExitCode(1), 32);
}

// The stand-ins always exit, so the waits only bound a broken test; a slow
// machine must not turn an exit into "still running", which reads as success.
const OpenerWaits kPatient{20000, 20000, 20000};

// Runs the test from folder, back to where it was at the end.
class ScopedWorkingFolder {
public:
    explicit ScopedWorkingFolder(const std::string& folder) : old_(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~ScopedWorkingFolder() { std::filesystem::current_path(old_); }

private:
    std::filesystem::path old_;
};

TEST(DesktopOpener, ThePathsOpenerReceivesTheTargetIntactAndPathsAbsolute)
{
    TempDir bin, files;
    const std::string record = bin.Path("record");
    WriteRecordingScript(bin, "xdg-open", record);
    ScopedEnv path("PATH", bin.Path(""));

    EXPECT_EQ(OpenWithDesktop("", kPatient), kOpenFileNotFound);
    EXPECT_EQ(OpenWithDesktop(files.Path("missing"), kPatient), kOpenFileNotFound);
    EXPECT_FALSE(std::filesystem::exists(record));

    const std::string odd = files.Write("-n a b \"q\" $HOME `id`;'x'", "");
    EXPECT_GT(OpenWithDesktop(odd, kPatient), 32);
    EXPECT_EQ(RecordedArguments(record), Args{odd});

    // A relative name that looks like an option reaches the opener as a path.
    std::filesystem::remove(record);
    {
        ScopedWorkingFolder here(files.Folder());
        EXPECT_GT(OpenWithDesktop("-n a b \"q\" $HOME `id`;'x'", kPatient), 32);
    }
    EXPECT_EQ(RecordedArguments(record), Args{odd});

    // Addresses are handed on as they are, whether or not a file has the name.
    for (const std::string address : {"https://a.org/?q=a b&h=$HOME", "mailto:help@kandrix.example.org"}) {
        std::filesystem::remove(record);
        EXPECT_GT(OpenWithDesktop(address, kPatient), 32);
        EXPECT_EQ(RecordedArguments(record), Args{address});
    }
}

TEST(DesktopOpener, FailuresWithoutAWebPageHandlerGiveTheOpenersCause)
{
    TempDir bin;
    const std::string page = bin.Write("page.html", "<p>x</p>");
    ScopedEnv path("PATH", bin.Path(""));
    EXPECT_EQ(OpenWithDesktop("https://a.org/", kPatient), kOpenNoAssociation);

    WriteRecordingScript(bin, "xdg-open", bin.Path("record"), 2);
    EXPECT_EQ(OpenWithDesktop(page, kPatient), kOpenFileNotFound);
    WriteRecordingScript(bin, "xdg-open", bin.Path("record"), 4);
    EXPECT_EQ(OpenWithDesktop(page, kPatient), kOpenAssociationIncomplete);
}

// A desktop with a web-page handler registered for text/html, and an opener
// that exits with openerStatus.
class WebPageHandlerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteRecordingScript(bin_, "xdg-mime", bin_.Path("query"), 0, "web browser.desktop");
        WriteRecordingScript(bin_, "browse", bin_.Path("browser"));
        std::filesystem::create_directories(data_.Path("applications"));
        data_.Write("applications/web browser.desktop",
                    "[Desktop Entry]\nType=Application\nExec=browse --new-tab \"%u\" --ignored\n");
    }
    void OpenerExits(int status) { WriteRecordingScript(bin_, "xdg-open", bin_.Path("opener"), status); }

    TempDir bin_, data_;
    ScopedEnv path_{"PATH", bin_.Path("")};
    ScopedEnv dataHome_{"XDG_DATA_HOME", data_.Folder()};
    ScopedEnv dataDirs_{"XDG_DATA_DIRS", data_.Path("none")};
};

TEST_F(WebPageHandlerTest, AnOpenerThatFindsNoProgramFallsBackToTheWebPageHandler)
{
    OpenerExits(4);
    EXPECT_GT(OpenWithDesktop("https://a.org/?q=a b", kPatient), 32);
    EXPECT_EQ(RecordedArguments(bin_.Path("query")), (Args{"query", "default", "text/html"}));
    EXPECT_EQ(RecordedArguments(bin_.Path("browser")), (Args{"--new-tab", "https://a.org/?q=a b"}));
}

TEST_F(WebPageHandlerTest, ATargetTheOpenerFoundMissingStaysAFailure)
{
    // A folder gone since the link was made must not start a browser on a
    // "not found" page that then reads as a successful open.
    OpenerExits(2);
    EXPECT_EQ(OpenWithDesktop(data_.Folder(), kPatient), kOpenFileNotFound);
    EXPECT_EQ(RecordedArguments(bin_.Path("opener")), Args{data_.Folder()});
    EXPECT_FALSE(std::filesystem::exists(bin_.Path("query")));
    EXPECT_FALSE(std::filesystem::exists(bin_.Path("browser")));

    EXPECT_EQ(OpenWithDesktop(data_.Path("gone"), kPatient), kOpenFileNotFound);
    EXPECT_FALSE(std::filesystem::exists(bin_.Path("query")));
}

} // namespace
