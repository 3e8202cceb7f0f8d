#include "WizardFixture.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>

#include <fstream>

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

