#pragma once
// The look under the skin: Qt's Fusion style, which draws with the palette,
// with check and radio boxes that stay visible on a dark window.

#include <QProxyStyle>

class SkinStyle final : public QProxyStyle {
public:
    SkinStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
};
