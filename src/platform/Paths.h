#pragma once
// File-system facts the program asks of the platform.

#include <string>

// The separator between folder and name; a folder text ends with it.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// Full path of the running executable ("" when unknown).
std::string GetExecutablePath();
// The kernel names a running program whose file was replaced since (an update,
// a rebuild) "<path> (deleted)"; the program is still the one at <path>.
std::string WithoutDeletedMark(const std::string& linkText);

// Folder of the running executable, ending in the separator.
std::string GetProgramFolder();

// The system's temporary folder, ending in the separator: TMPDIR when it
// names a folder, else /tmp as the C library takes it; "" when neither is one.
std::string GetTempFolder();

// The user's home folder, ending in the separator; "" when there is none.
std::string GetHomeFolder();

// The program's own cache folder, ending in the separator:
// $XDG_CACHE_HOME/kandrix/ when XDG_CACHE_HOME is an absolute path, else
// ~/.cache/kandrix/; "" without a home folder. Not made here.
std::string GetCacheFolder();

// path with the separator at its end ("" stays "").
std::string WithTrailingSeparator(std::string path);

bool IsFolder(const std::string& path);

// The text after the last separator (the whole text without one).
std::string FileNameOf(const std::string& path);

// The text up to, not including, the last separator ("" without one).
std::string FolderOf(const std::string& path);

bool FileExists(const std::string& path);
