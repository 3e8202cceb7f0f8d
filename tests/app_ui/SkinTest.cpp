#include "WizardFixture.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

TEST_F(WizardTest, SkinFilesInTheProgramFolderStyleEveryWindow)
{
    const QPalette systemPalette = QApplication::palette();
    const QString systemStyle = QApplication::style()->name();

    WriteFile(File("Vista.cjstyles"), "QPushButton { padding: 2px; }\n");
    WriteFile(File("NormalBlack2.ini"), "; dark\n[Palette]\nWindow=#202020\nWindowText=#e0e0e0\nNoSuchRole=#ffffff\n"
                                        "Button=not a colour\n[Other]\nBase=#123456\n");
    OpenWindow();
    const QPalette skinned = QApplication::palette();
    const QString styleSheet = qApp->styleSheet();

    qApp->setStyleSheet(QString());
    QApplication::setStyle(systemStyle);
    QApplication::setPalette(systemPalette);

    EXPECT_EQ(styleSheet, "QPushButton { padding: 2px; }\n");
    EXPECT_EQ(skinned.color(QPalette::Window), QColor("#202020"));
    EXPECT_EQ(skinned.color(QPalette::WindowText), QColor("#e0e0e0"));
    EXPECT_EQ(skinned.color(QPalette::Base), systemPalette.color(QPalette::Base));
}


namespace {

// The skin's palette and sheet are the application's: each test puts the
// system's look back.
class SystemLook {
public:
    SystemLook() : palette_(QApplication::palette()), style_(QApplication::style()->name()) {}
    ~SystemLook()
    {
        qApp->setStyleSheet(QString());
        QApplication::setStyle(style_);
        QApplication::setPalette(palette_);
    }
    const QPalette& Palette() const { return palette_; }

private:
    QPalette palette_;
    QString style_;
};

} // namespace

TEST_F(WizardTest, ASkinWithoutItsSchemeIsNotUsed)
{
    SystemLook system;
    WriteFile(File("Vista.cjstyles"), "QWidget { background: #101010; }\n");
    OpenWindow();
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
    EXPECT_EQ(QApplication::palette().color(QPalette::Link), system.Palette().color(QPalette::Link));
}

TEST_F(WizardTest, TheShippedSkinIsDarkWithReadableTextLinksAndDisabledState)
{
    SystemLook system;
    for (const char* name : {"Vista.cjstyles", "NormalBlack2.ini"})
        std::filesystem::copy_file(std::string(KANDRIX_BIN_DIR) + name, File(name));
    OpenWindow();
    const QPalette skinned = QApplication::palette();
    EXPECT_FALSE(qApp->styleSheet().isEmpty());

    auto lightness = [&](QPalette::ColorGroup group, QPalette::ColorRole role) {
        return skinned.color(group, role).lightness();
    };
    EXPECT_LT(lightness(QPalette::Active, QPalette::Window), 60);
    EXPECT_LT(lightness(QPalette::Active, QPalette::Base), 60);
    EXPECT_GT(lightness(QPalette::Active, QPalette::WindowText), 200);
    EXPECT_GT(lightness(QPalette::Active, QPalette::Text), 200);
    // The hyperlink control takes its colours from these two.
    EXPECT_GT(lightness(QPalette::Active, QPalette::Link), 150);
    EXPECT_GT(lightness(QPalette::Active, QPalette::LinkVisited), 150);
    EXPECT_NE(skinned.color(QPalette::Link), skinned.color(QPalette::LinkVisited));
    // Disabled text is dimmer than enabled text, yet not lost in the window.
    EXPECT_LT(lightness(QPalette::Disabled, QPalette::WindowText), lightness(QPalette::Active, QPalette::WindowText));
    EXPECT_GT(lightness(QPalette::Disabled, QPalette::WindowText), lightness(QPalette::Active, QPalette::Window) + 60);
}

TEST_F(WizardTest, FifosInTheProgramFolderAreNoSkinNoSettingsAndNoLibrary)
{
    SystemLook system;
    for (const char* name : {"Option.dat", "Vista.cjstyles", "NormalBlack2.ini", "RenqaDMO.dll"})
        ASSERT_EQ(::mkfifo(File(name).c_str(), 0600), 0) << name;
    // Nothing ever writes to the FIFOs: a read that waits would hang the
    // test; the alarm fails it instead.
    ::alarm(60);
    Settings().task = CT_VIDEO2MPG;
    CKANDRIXDlg& window = OpenWindow();
    EXPECT_EQ(Settings().task, CT_VIDEO2MPG);
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
    window.DestroyWindow();
    ::alarm(0);
    // The settings replace the FIFO as a file of their own.
    EXPECT_TRUE(std::filesystem::is_regular_file(File("Option.dat")));
}
