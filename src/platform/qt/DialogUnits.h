#pragma once
// Dialog units of a template's font: a horizontal unit is a quarter of the
// font's average character width, a vertical one an eighth of its height,
// as the dialog templates were laid out.

#include <QFont>
#include <QRect>
#include <QString>

struct DialogTemplate;

struct DialogUnits {
    int baseX = 4; // average character width in pixels
    int baseY = 8; // character height in pixels

    static DialogUnits ForFont(const QFont& font);
    int X(int du) const;
    int Y(int du) const;
    QRect Map(int x, int y, int cx, int cy) const;
};

// The template's font on this system: "MS Sans Serif" does not exist off
// Windows and becomes the desktop's sans-serif at the same point size.
QFont TemplateFont(const DialogTemplate& t);
