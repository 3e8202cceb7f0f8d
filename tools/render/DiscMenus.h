#pragma once
#include <QString>

// The disc menus ar.exe makes, as a TV shows them with the first button
// highlighted: menu-pal.png and menu-ntsc.png (a full page of a longer
// list), menu-pal-2.png (its last page) and menu-ntsc-wide.png (16:9).
bool RenderDiscMenus(const QString& folder);
