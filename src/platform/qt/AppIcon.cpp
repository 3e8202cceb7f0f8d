#include "platform/qt/AppIcon.h"

#include <QConicalGradient>
#include <QPainter>
#include <QRadialGradient>

QPixmap AppIconPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(0.5, 0.5, size - 1.0, size - 1.0);
    const QPointF centre = disc.center();

    // The recorded surface: a rainbow sheen like light on a disc.
    QConicalGradient sheen(centre, 30);
    sheen.setColorAt(0.0, QColor(200, 210, 230));
    sheen.setColorAt(0.2, QColor(150, 200, 255));
    sheen.setColorAt(0.4, QColor(230, 180, 240));
    sheen.setColorAt(0.6, QColor(190, 230, 200));
    sheen.setColorAt(0.8, QColor(250, 230, 160));
    sheen.setColorAt(1.0, QColor(200, 210, 230));
    painter.setPen(QPen(QColor(90, 100, 120), std::max(1.0, size / 32.0)));
    painter.setBrush(sheen);
    painter.drawEllipse(disc);

    const double hub = size * 0.17;
    painter.setBrush(QColor(235, 238, 245));
    painter.drawEllipse(centre, hub, hub);
    const double hole = size * 0.07;
    painter.setBrush(Qt::white);
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.drawEllipse(centre, hole, hole);
    return pixmap;
}

QIcon AppIcon()
{
    static const QIcon icon = [] {
        QIcon built;
        for (int size : {16, 24, 32, 48, 64})
            built.addPixmap(AppIconPixmap(size));
        return built;
    }();
    return icon;
}
