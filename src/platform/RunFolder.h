#pragma once
// The private work folder of one run: the authoring batch and XML, the
// authoring folder, the intermediate MPEG files and the copies of the user's
// files live here under their usual names, where no other user can reach
// them. Made with mode 0700 inside the output folder, or inside the user's
// cache folder when others can write in the output folder.
//
// A lock file marks the folder as in use for the run's life, and a record
// in the cache folder names it, so that the folder of a run that was killed
// is found and removed at the next start (RunSweep.h).

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class JobRegistry;

class RunFolder {
public:
    static constexpr const char* kLockName = "kandrix.lock";
    static constexpr const char* kNamePrefix = ".kandrix-run-";

    // A new work folder for a run writing into outputFolder; nullptr with
    // the cause, naming the folder, in *error.
    static std::shared_ptr<RunFolder> Create(const std::string& outputFolder, std::string* error);

    // Removes the folder unless Remove has.
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    // The folder, ending in the separator.
    const std::string& Path() const { return path_; }
    // The output folder the run writes its results to.
    const std::string& OutputFolder() const { return outputFolder_; }
    // Whether path names an entry of this folder.
    bool Holds(const std::string& path) const;

    // A new empty file with a unique temporary name in the folder.
    bool MakeTempName(std::string* path, std::string* error);
    // Writes name anew with text, replacing the folder's own earlier file of
    // that name. False with the cause, naming the file, in *error.
    bool WriteFile(const std::string& name, const std::string& text, std::string* error);
    // Removes name (a file, or a folder with all below it) from the folder.
    bool RemoveEntry(const std::string& name);

    // The user's file that a file of the folder was made from, for messages
    // that should name what the user knows; "" when there is none.
    void SetSourceOf(const std::string& path, const std::string& source);
    std::string SourceOf(const std::string& path) const;
    std::map<std::string, std::string> Sources() const;

    // Keeps fd open, with whatever lock it holds, until the folder goes.
    void Hold(int fd);

    // Removes the folder with all in it and its record, and lets go of what
    // it holds. Once only; later calls do nothing.
    void Remove();
    // The same on a job of its own among jobs, so that the caller never waits.
    static void RemoveLater(JobRegistry& jobs, std::shared_ptr<RunFolder> folder);

private:
    RunFolder() = default;
    bool Open(const std::string& outputFolder, std::string* error);
    bool MakeFolder(const std::string& base, std::string* error);
    bool WriteRecord(std::string* error);
    void RemoveFolder();

    std::string path_;
    std::string outputFolder_;
    std::string recordPath_;
    int folderFd_ = -1;
    int lockFd_ = -1;

    mutable std::mutex mutex_;
    std::map<std::string, std::string> sources_;
    std::vector<int> held_;
    bool removed_ = false;
};
