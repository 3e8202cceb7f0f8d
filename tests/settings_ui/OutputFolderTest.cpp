#include "OutputPageFixture.h"

#include "core/OptionRecord.h"
#include "platform/Paths.h"

#include <QImage>
#include <QWidget>

TEST(TempFolder, IsTmpdirWhenThatIsAFolderElseTmp)
{
    TempDir dir;
    {
        ScopedEnv tmpdir("TMPDIR", dir.Path("inner"));
        EXPECT_EQ(GetTempFolder(), "/tmp/");
        std::filesystem::create_directory(dir.Path("inner"));
        EXPECT_EQ(GetTempFolder(), dir.Path("inner/"));
    }
    {
        ScopedEnv tmpdir("TMPDIR", dir.Write("plain", "a file"));
        EXPECT_EQ(GetTempFolder(), "/tmp/");
    }
    ScopedEnv tmpdir("TMPDIR", dir.Folder());
    EXPECT_EQ(GetTempFolder(), dir.Folder());
}

class OutputFolderTest : public OutputPageTest {
protected:
    void SetUp() override
    {
        OutputPageTest::SetUp();
        std::filesystem::create_directory(dirs_.Path("home"));
        std::filesystem::create_directory(dirs_.Path("tmp"));
        Settings().useTempFolder = 0;
    }

    TempDir dirs_;
    ScopedEnv home_{"HOME", dirs_.Path("home")};
    ScopedEnv tmpdir_{"TMPDIR", dirs_.Path("tmp")};
};

TEST_F(OutputFolderTest, TheTempFolderReplacesABrowsedOneOnEveryEntry)
{
    Settings().useTempFolder = 1;
    Settings().outputFolder = "/videos/out/";
    COutputPage& page = OpenPage();
    EXPECT_EQ(page.GetDlgItemText(IDC_OUT_FOLDER), dirs_.Path("tmp/"));
    EXPECT_FALSE(page.IsDlgItemEnabled(IDC_OUT_BROWSE));

    seam_.AnswerFolder(std::string("/videos/chosen"));
    page.OnBrowse();
    EXPECT_EQ(page.GetDlgItemText(IDC_OUT_FOLDER), "/videos/chosen/");
    page.LeavePage();
    EXPECT_EQ(Settings().outputFolder, "/videos/chosen/");

    page.EnterPage();
    EXPECT_EQ(page.GetDlgItemText(IDC_OUT_FOLDER), dirs_.Path("tmp/"));
    page.LeavePage();
    EXPECT_EQ(Settings().outputFolder, dirs_.Path("tmp/"));
}

TEST_F(OutputFolderTest, AStoredFolderWithoutSeparatorGetsOne)
{
    ConversionSettings stored;
    stored.SetDefaults();
    stored.useTempFolder = 0;
    stored.outputFolder = "/videos/out";
    ASSERT_TRUE(WriteOptionFile(dirs_.Path("Option.dat"), stored));
    ASSERT_TRUE(ReadOptionFile(dirs_.Path("Option.dat"), Settings()));
    COutputPage& page = OpenPage(CT_VIDEO2MPG);
    EXPECT_EQ(page.GetDlgItemText(IDC_OUT_FOLDER), "/videos/out/");
    page.LeavePage();
    EXPECT_EQ(Settings().outputFolder, "/videos/out/");
}

TEST_F(OutputFolderTest, NoFolderMeansTheHomeFolder)
{
    // The start-up record's "C:\" names a file in the working directory here.
    ASSERT_EQ(Settings().outputFolder, "C:\\");
    COutputPage& page = OpenPage(CT_VIDEO2MPG);
    EXPECT_EQ(page.GetDlgItemText(IDC_OUT_FOLDER), dirs_.Path("home/"));

    Settings().outputFolder = "";
    page.EnterPage();
    EXPECT_EQ(page.GetDlgItemText(IDC_OUT_FOLDER), dirs_.Path("home/"));

    page.SetDlgItemText(IDC_OUT_FOLDER, "");
    page.LeavePage();
    EXPECT_EQ(Settings().outputFolder, dirs_.Path("home/"));
}

TEST_F(OutputFolderTest, ConvertOnlyTaskCoversTheDvdSettings)
{
    COutputPage& page = OpenPage(CT_VIDEO2MPG);
    EXPECT_TRUE(page.IsDlgItemVisible(IDC_OUT_FORMAT));
    EXPECT_FALSE(page.IsDlgItemVisible(IDC_OUT_TV_SYSTEM));
    EXPECT_TRUE(page.IsDlgItemVisible(IDC_OUT_DVD_PANEL));
    for (int id : {IDC_OUT_BURNER, IDC_OUT_SPEED, IDC_OUT_ALL_IN_ONE, IDC_OUT_VOLUME_LABEL, IDC_OUT_REFRESH})
        EXPECT_FALSE(page.IsDlgItemEnabled(id)) << id;

    // Nothing of the recorder row shows through the panel.
    const QImage shot = page.Widget()->grab().toImage();
    const QRect burner = page.Control(IDC_OUT_BURNER)->geometry().adjusted(2, 2, -2, -2);
    const QRgb background = shot.pixel(burner.topLeft());
    int differing = 0;
    for (int y = burner.top(); y <= burner.bottom(); ++y)
        for (int x = burner.left(); x <= burner.right(); ++x)
            differing += shot.pixel(x, y) != background;
    EXPECT_EQ(differing, 0);

    page.LeavePage();
    Settings().task = CT_VIDEO2DVD;
    page.EnterPage();
    EXPECT_FALSE(page.IsDlgItemVisible(IDC_OUT_FORMAT));
    EXPECT_TRUE(page.IsDlgItemVisible(IDC_OUT_TV_SYSTEM));
    EXPECT_FALSE(page.IsDlgItemVisible(IDC_OUT_DVD_PANEL));
    for (int id : {IDC_OUT_BURNER, IDC_OUT_SPEED, IDC_OUT_ALL_IN_ONE, IDC_OUT_VOLUME_LABEL, IDC_OUT_REFRESH})
        EXPECT_TRUE(page.IsDlgItemEnabled(id)) << id;
}

TEST_F(OutputFolderTest, TheVolumeLabelHoldsAtMost254Characters)
{
    Settings().discVolumeLabel = std::string(300, 'L');
    COutputPage& page = OpenPage();
    EXPECT_EQ(page.GetDlgItemText(IDC_OUT_VOLUME_LABEL).size(), 254u);
    // Characters, not bytes, are what the edit counts.
    page.SetDlgItemText(IDC_OUT_VOLUME_LABEL, std::string(253, 'L') + "\xC3\xA9\xC3\xA9");
    page.LeavePage();
    EXPECT_EQ(Settings().discVolumeLabel, std::string(253, 'L'));
}
