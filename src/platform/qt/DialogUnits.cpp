#include "platform/qt/DialogUnits.h"

#include "platform/DialogTemplate.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>

namespace {

int MulDivRounded(int value, int numerator, int denominator)
{
    long long product = static_cast<long long>(value) * numerator;
    long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

} // namespace

DialogUnits DialogUnits::ForFont(const QFont& font)
{
    QFontMetrics metrics(font);
    static const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    DialogUnits units;
    units.baseX = std::max(1, (metrics.horizontalAdvance(alphabet) + 26) / 52);
    units.baseY = std::max(1, metrics.height());
    return units;
}

int DialogUnits::X(int du) const
{
    return MulDivRounded(du, baseX, 4);
}

int DialogUnits::Y(int du) const
{
    return MulDivRounded(du, baseY, 8);
}

QRect DialogUnits::Map(int x, int y, int cx, int cy) const
{
    // Edges are converted, not sizes, so neighbours that touch in dialog
    // units touch in pixels too.
    return QRect(QPoint(X(x), Y(y)), QPoint(X(x + cx) - 1, Y(y + cy) - 1));
}

QFont TemplateFont(const DialogTemplate& t)
{
    QFont font;
    if (t.fontName.empty() || t.fontName == "MS Sans Serif" || t.fontName == "MS Shell Dlg") {
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    } else {
        font = QFont(QString::fromStdString(t.fontName));
        font.setStyleHint(QFont::SansSerif);
    }
    font.setPointSize(t.fontPoints > 0 ? t.fontPoints : 8);
    return font;
}
