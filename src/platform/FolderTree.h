#pragma once
// Folders the program keeps for itself: made private, checked before use,
// and emptied without ever following a symbolic link out of them.

#include <string>

// Who else may write in the folder decides whether a run's files may lie
// there: a folder that is group- or world-writable, sticky (like /tmp) or
// another user's is shared. A folder that cannot be looked at counts as
// shared too.
bool IsSharedFolder(const std::string& path);

// Opens path as a folder of the user's own, making it (and missing folders
// above it) with mode 0700 first when create is set. Returns a close-on-exec
// descriptor, or -1 with the cause, naming the folder, in *error: a link, a
// file, another user's folder, or one that others can write in is refused.
int OpenOwnFolder(const std::string& path, bool create, std::string* error);

// Removes name from the folder parentFd: a file or link as it is, a folder
// with everything below it. Links are removed, never followed. A name that
// is already gone is no failure.
bool RemoveTreeAt(int parentFd, const std::string& name, std::string* error = nullptr);

// What a file system entry is, for messages: "a symbolic link", "a FIFO"...
std::string EntryKind(unsigned mode);
