#pragma once
// Draws the pages of the disc's menu with QtGui: the background that the
// menu video shows, and the button pictures that become its subpicture.
// Needs a QGuiApplication (the offscreen platform will do) and the menu
// font loaded.

#include "MenuLayout.h"

#include <QByteArray>
#include <QImage>
#include <string>

// Loads DejaVu Sans, which Debian's fonts-dejavu-core installs. False with
// the cause when it is not there.
bool LoadMenuFont(std::string* error);

// Measures with the menu font, in display pixels.
TextWidth MenuTextWidth();

// The page as the TV shows it, anti-aliased, at the stored size.
QImage DrawBackground(const MenuFrame& frame, const MenuPage& page);

enum class ButtonState { Highlighted, Activated };
// A subpicture of the buttons in one state: at most three colours and
// transparency, without anti-aliasing. letterbox: as the player shows the
// buttons of a 16:9 menu letterboxed on a 4:3 set.
QImage DrawButtons(const MenuFrame& frame, const MenuPage& page, ButtonState state, bool letterbox);

// A button's box in the subpicture, in stored pixels.
Box SubpictureBox(const MenuFrame& frame, const Box& box, bool letterbox);

// The page as a viewer sees it with button `highlighted` highlighted, for
// looking at the layout.
QImage DrawPreview(const MenuFrame& frame, const MenuPage& page, int highlighted);

QByteArray PngBytes(const QImage& image);
