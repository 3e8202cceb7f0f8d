#pragma once
// The program's skin: an optional look loaded at start for every window.
//
// Our skin format, both files plain text in the program folder:
// - the skin file ("Vista.cjstyles") is a Qt style sheet, applied to the
//   whole application;
// - the colour scheme ("NormalBlack2.ini"), next to it, is an INI file whose
//   [Palette] section maps palette roles to colours, for example
//       [Palette]
//       Window=#202020
//       WindowText=#e0e0e0
//       Button=#303030
//   Roles are the names of QPalette's colour roles (Window, WindowText, Base,
//   AlternateBase, Text, Button, ButtonText, BrightText, Highlight,
//   HighlightedText, ToolTipBase, ToolTipText, Light, Midlight, Mid, Dark,
//   Shadow, Link, LinkVisited, PlaceholderText); colours are anything
//   QColor accepts ("#rrggbb", "red"). A role prefixed with a state
//   ("Disabled.Text=#808080"; Active, Inactive, Disabled) is set for that
//   state only, after the plain lines above it. Unknown roles and bad
//   colours are skipped. The two go together: a skin whose scheme is
//   missing or sets no colour is not loaded, and a scheme needs its skin.

#include <string>

// Loads the skin file and the scheme of that name from the skin file's
// folder. False, with the system's look untouched, when either is missing.
// Either file is read only when it is a regular file of at most 1 MB.
bool LoadSkin(const std::string& skinPath, const std::string& schemeName);
