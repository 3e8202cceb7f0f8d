#pragma once
// Widgets for the controls of a dialog template, and the window text of each
// kind as the dialog framework reads and writes it.

#include "platform/DialogTemplate.h"
#include "platform/qt/DialogUnits.h"

#include <QString>
#include <string>

class QWidget;

// Properties every created control carries.
inline constexpr const char* kControlIdProperty = "kandrixControlId";
inline constexpr const char* kControlKindProperty = "kandrixControlKind";
inline constexpr const char* kControlStyleProperty = "kandrixControlStyle";
inline constexpr const char* kRawTextProperty = "kandrixRawText";

// Creates the control as a child of parent, placed and with its initial
// text, items and state; shown unless the template hides it.
QWidget* CreateControl(const ControlTemplate& control, const DialogUnits& units, QWidget* parent);

ControlKind KindOf(const QWidget* control);
unsigned StyleOf(const QWidget* control);

void SetControlText(QWidget* control, const std::string& text);
std::string ControlText(const QWidget* control);

// A static's text as shown: "&&" is one '&', a single '&' marks a mnemonic
// and is not drawn.
QString StripMnemonics(const QString& text);

// Greedy word wrap to width pixels, for button texts that wrap.
QString WrapToWidth(const QString& text, const QFontMetrics& metrics, int width);
