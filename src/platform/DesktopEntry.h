#pragma once
// The desktop entry registered for web pages: where it lies, and the command
// its Exec line gives for one target.

#include <optional>
#include <string>
#include <vector>

// The folders that hold desktop entries, most important first:
// $XDG_DATA_HOME (else ~/.local/share) and each of $XDG_DATA_DIRS (else
// /usr/local/share:/usr/share), each followed by "/applications/".
std::vector<std::string> ApplicationFolders();

// The file of a desktop file id ("firefox.desktop") in those folders; an id
// with '-' may also name a subfolder ("kde-foo.desktop" in kde/foo.desktop).
// "" when there is none.
std::string FindDesktopEntry(const std::string& desktopId,
                             const std::vector<std::string>& folders = ApplicationFolders());

// The Exec value of the [Desktop Entry] group, with the escapes of a string
// value (\s \n \t \r \\) resolved; nullopt when the file or the key is missing.
std::optional<std::string> ReadDesktopExec(const std::string& path);

// The command up to its first %u, %U, %f or %F placeholder, the quote before
// a quoted placeholder included; the whole command without one.
std::string CutAtPlaceholder(const std::string& exec);

// An Exec command split into arguments by the desktop-entry quoting rules:
// blanks separate, double quotes group, and inside them a backslash keeps
// the next '"', '`', '$' or '\' literal. nullopt for an unclosed quote.
std::optional<std::vector<std::string>> SplitExecLine(const std::string& exec);

// The argument vector that opens target with the handler: the command cut at
// its placeholder and split, other field codes dropped, "%%" made '%', and the
// target appended as one argument of its own. nullopt when no program is left.
std::optional<std::vector<std::string>> HandlerCommand(const std::string& exec, const std::string& target);
