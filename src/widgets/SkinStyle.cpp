#include "widgets/SkinStyle.h"

#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>

SkinStyle::SkinStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {}

// Fusion outlines check and radio boxes in a shade of the window colour,
// which is lost on a dark window: the boxes seem to vanish. They get an
// outline halfway between the window and its text instead.
void SkinStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                              const QWidget* widget) const
{
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    if (element != PE_IndicatorCheckBox && element != PE_IndicatorRadioButton)
        return;
    const QPalette& palette = option->palette;
    const bool enabled = option->state & State_Enabled;
    const bool active = enabled && (option->state & (State_MouseOver | State_HasFocus));
    QColor outline = palette.color(QPalette::Highlight).lighter(140);
    if (!active) {
        const QColor text = palette.color(enabled ? QPalette::Active : QPalette::Disabled, QPalette::WindowText);
        const QColor window = palette.color(QPalette::Window);
        outline = QColor((text.red() + window.red()) / 2, (text.green() + window.green()) / 2,
                         (text.blue() + window.blue()) / 2);
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(outline, 1));
    const QRectF box = QRectF(option->rect).adjusted(0.5, 0.5, -1.5, -1.5);
    if (element == PE_IndicatorRadioButton)
        painter->drawEllipse(box);
    else
        painter->drawRoundedRect(box, 1.5, 1.5);
    painter->restore();
}
