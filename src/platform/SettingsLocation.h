#pragma once
// Where the program keeps its settings file. A program folder the user owns
// (a build, a portable copy) keeps it beside the program. An installed one
// belongs to the system: there a save would fail, or, for root, write under
// the install prefix, so the file goes to the user's configuration folder.

#include <string>

// Put by the install into the program folder: whoever may write there, it is
// not the user's.
constexpr const char* kInstallMarkerName = "installed";

struct SettingsLocation {
    // Read at start, written on save.
    std::string file;
    // Read instead while file is absent: what an installation ships as the
    // first settings ("" when file is in the program folder itself).
    std::string shippedDefaults;
    // The user's own folder for file, made before the first save ("" when
    // file is in the program folder).
    std::string privateFolder;

    bool operator==(const SettingsLocation&) const = default;
};

// What the rule decides on; LocateSettings finds it out.
struct SettingsFacts {
    std::string programFolder;  // ends in the separator
    bool programFolderIsUsers = false;
    std::string configHome;  // ends in the separator; "" when the user has none
};

SettingsLocation ChooseSettingsLocation(const SettingsFacts& facts, const std::string& fileName);

// The program folder is the user's when this user may write in it and the
// install has not marked it. The configuration home is $XDG_CONFIG_HOME when
// it is an absolute path, else ~/.config.
SettingsFacts FindSettingsFacts(const std::string& programFolder);

SettingsLocation LocateSettings(const std::string& programFolder, const std::string& fileName);

// Makes location's private folder, and any missing folder above it, for the
// user alone (0700). True when there is nothing to make or it is a folder
// now; otherwise false, with the folder and the cause in *cause.
bool MakeSettingsFolder(const SettingsLocation& location, std::string* cause);
