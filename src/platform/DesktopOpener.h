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

// How long the open waits for the programs it starts. A program still
// running when its wait ends has started well: xdg-open without a desktop
// session runs the application itself in the foreground.
struct OpenerWaits {
    int openerMs = 1500;  // xdg-open
    int queryMs = 1000;   // xdg-mime, asked for the web-page handler
    int handlerMs = 1000; // the web-page handler, when xdg-open cannot open it
};

// target is an address ("https://...", "mailto:...") or a local path; a
// relative path is taken from the working folder and handed on absolute, so
// it can never read as an option. A path that does not exist fails at once
// with kOpenFileNotFound. The web-page handler is tried only when there is no
// opener or it knows no program for the target. Whatever is started runs on
// in a session of its own and outlives the program.
int OpenWithDesktop(const std::string& target, const OpenerWaits& waits = {});

// The text of the error box after a failed open, for the code it gave.
std::string HyperlinkErrorText(int code);

// xdg-open's exit status as a shell code (0 success, 2 no such file, 3 no
// program for it, 4 the program failed, 1 bad arguments).
int OpenerExitCode(int exitStatus);

// The desktop file id registered for text/html ("firefox.desktop"), as
// xdg-mime reports it; "" when it is not on PATH, reports none or takes
// longer than waitMs.
std::string DefaultHtmlHandler(int waitMs = OpenerWaits{}.queryMs);
