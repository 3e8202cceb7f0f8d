#pragma once
// ar.exe's private folder for what it makes on the way to the disc (the
// menu's pictures and videos, its own authoring XML). It lives inside the
// authoring folder, beside VIDEO_TS, and goes when the run ends. A run that
// was killed outright leaves its folder behind; the next run in the same
// place removes it.

#include <string>

class WorkFolder {
public:
    WorkFolder() = default;
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    // Makes a new folder of mode 0700 inside parent, after removing the
    // folders of runs that are gone. False with the cause in *error.
    bool Create(const std::string& parent, std::string* error);
    void Remove();

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Creates path, which must not exist yet, with the bytes of content.
// False with the cause, naming the file, in *error.
bool WriteNewFile(const std::string& path, const std::string& content, std::string* error);

// Opens a file for writing that must not exist yet, or for reading that
// must be a regular file; -1 with the cause in *error.
int CreateNewFile(const std::string& path, std::string* error);
int OpenRegularFile(const std::string& path, std::string* error);
