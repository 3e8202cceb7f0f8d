#pragma once
// Opening a file, folder or address the way the desktop does: through its
// own opener (xdg-open), else through the program registered for web pages.
// The result is a shell code: above 32 for success, else the cause (2: not
// found, 31: nothing can open it...), as HyperlinkErrorText describes it.

#include <string>

constexpr int kOpenSucceeded = 33;
constexpr int kOpenOutOfResources = 0;
constexpr int kOpenFileNotFound = 2;
constexpr int kOpenAccessDenied = 5;
constexpr int kOpenNotEnoughMemory = 8;
constexpr int kOpenBadFormat = 11;
constexpr int kOpenAssociationIncomplete = 27;
constexpr int kOpenNoAssociation = 31;

// Blocks for at most about two seconds per program it starts; whatever is
// started runs on in a session of its own and outlives the program.
int OpenWithDesktop(const std::string& target);

// The text of the error box after a failed open, for the code it gave.
std::string HyperlinkErrorText(int code);

// xdg-open's exit status as a shell code (0 success, 2 no such file, 3 no
// program for it, 4 the program failed, 1 bad arguments).
int OpenerExitCode(int exitStatus);

// The desktop file id registered for text/html ("firefox.desktop"), as
// xdg-mime reports it; "" when it is not on PATH or reports none.
std::string DefaultHtmlHandler();
