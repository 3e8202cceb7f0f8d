#include "widgets/SkinLoader.h"

#include "platform/Paths.h"

#include <QApplication>
#include <QColor>
#include <QFile>
#include <QMetaEnum>
#include <QPalette>
#include <QStyleFactory>
#include <QTextStream>

namespace {

bool ApplyPaletteLine(QPalette& palette, const QString& line)
{
    const int equals = line.indexOf('=');
    if (equals <= 0)
        return false;
    const QByteArray role = line.left(equals).trimmed().toLatin1();
    const QColor colour(line.mid(equals + 1).trimmed());
    bool known = false;
    const int value = QMetaEnum::fromType<QPalette::ColorRole>().keyToValue(role.constData(), &known);
    if (!known || !colour.isValid())
        return false;
    palette.setColor(static_cast<QPalette::ColorRole>(value), colour);
    return true;
}

// True when the scheme set at least one colour.
bool LoadScheme(const QString& path, QPalette& palette)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QTextStream in(&file);
    bool inPalette = false;
    bool any = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
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
    QFile skin(QString::fromStdString(skinPath));
    if (!qApp || !skin.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    const QString styleSheet = QString::fromUtf8(skin.readAll());

    QPalette palette = QApplication::palette();
    const std::string schemePath = FolderOf(skinPath) + kPathSeparator + schemeName;
    if (LoadScheme(QString::fromStdString(schemePath), palette)) {
        // The platform's native styles may ignore a palette; Fusion draws with it.
        if (QStyle* fusion = QStyleFactory::create("Fusion"))
            QApplication::setStyle(fusion);
        QApplication::setPalette(palette);
    }
    qApp->setStyleSheet(styleSheet);
    return true;
}
