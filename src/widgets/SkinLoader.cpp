#include "widgets/SkinLoader.h"

#include "platform/Paths.h"
#include "platform/RegularFile.h"
#include "widgets/SkinStyle.h"

#include <QApplication>
#include <QColor>
#include <QMetaEnum>
#include <QPalette>
#include <QStringList>

#include <cstdio>

namespace {

// Our sheet is some ten kilobytes; Qt takes seconds over a sheet of several
// megabytes, at start and again at exit.
constexpr std::uint64_t kMaxSkinSize = 1u << 20;
// The scheme is a few dozen lines.
constexpr std::uint64_t kMaxSchemeSize = 1u << 20;

// "Role=colour" sets the role in every state; "Disabled.Role=colour" (or
// Active., Inactive.) in that state alone.
bool ApplyPaletteLine(QPalette& palette, const QString& line)
{
    const int equals = line.indexOf('=');
    if (equals <= 0)
        return false;
    QByteArray role = line.left(equals).trimmed().toLatin1();
    const QColor colour(line.mid(equals + 1).trimmed());
    bool known = true;
    int group = -1;
    if (const int dot = role.indexOf('.'); dot > 0) {
        group = QMetaEnum::fromType<QPalette::ColorGroup>().keyToValue(role.left(dot).constData(), &known);
        role = role.mid(dot + 1);
    }
    if (!known || group == QPalette::NColorGroups || group == QPalette::Current || group == QPalette::All)
        return false;
    const int value = QMetaEnum::fromType<QPalette::ColorRole>().keyToValue(role.constData(), &known);
    if (!known || !colour.isValid())
        return false;
    if (group < 0)
        palette.setColor(static_cast<QPalette::ColorRole>(value), colour);
    else
        palette.setColor(static_cast<QPalette::ColorGroup>(group), static_cast<QPalette::ColorRole>(value), colour);
    return true;
}

// True when the scheme set at least one colour.
bool LoadScheme(const std::string& path, QPalette& palette)
{
    std::string text;
    if (!ReadRegularFile(path, kMaxSchemeSize, text))
        return false;
    bool inPalette = false;
    bool any = false;
    for (const QString& raw : QString::fromUtf8(text).split('\n')) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            inPalette = line.compare("[Palette]", Qt::CaseInsensitive) == 0;
            continue;
        }
        if (inPalette && ApplyPaletteLine(palette, line))
            any = true;
    }
    return any;
}

} // namespace

bool LoadSkin(const std::string& skinPath, const std::string& schemeName)
{
    std::string sheet;
    if (!qApp || !ReadRegularFile(skinPath, kMaxSkinSize, sheet))
        return false;
    const QString styleSheet = QString::fromUtf8(sheet);

    QPalette palette = QApplication::palette();
    const std::string schemePath = FolderOf(skinPath) + kPathSeparator + schemeName;
    if (!LoadScheme(schemePath, palette)) {
        // A sheet is drawn for its scheme's colours: alone it would put the
        // system's dark-blue links and black outlines on its dark windows.
        std::fprintf(stderr, "KANDRIX: %s is not used: its colour scheme %s is missing or sets no colour\n",
                     skinPath.c_str(), schemePath.c_str());
        return false;
    }
    // The platform's native styles may ignore a palette; Fusion draws with it.
    QApplication::setStyle(new SkinStyle);
    QApplication::setPalette(palette);
    qApp->setStyleSheet(styleSheet);
    return true;
}
