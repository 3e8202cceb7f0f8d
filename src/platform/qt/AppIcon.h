#pragma once
// The application icon (resource 128), drawn rather than loaded so the
// program needs no image files.

#include <QIcon>
#include <QPixmap>

QPixmap AppIconPixmap(int size);
QIcon AppIcon();
