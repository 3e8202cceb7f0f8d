#pragma once
// Shared by the authoring tests: a view that records what the job shows, a
// program folder with a stand-in ar.exe, and small file helpers.

#include "convert/DvdAuthoring.h"
#include "platform/RunFolder.h"
#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// Called on the test's own thread: the runner hands output to its sink on
// the thread that runs the batch.
class RecordingView final : public AuthoringView {
public:
    void AddBurnLogLine(const std::string& text) override { log.push_back(text); }
    void ShowBurnStatus(const std::string& text) override
    {
        status = text;
        log.push_back(text);
    }
    void ReplaceListEntry(int index, const std::string& path) override { list.at(index) = path; }
    void MessageBox(const std::string& text) override { boxes.push_back(text); }

    std::string LogText() const
    {
        std::string all;
        for (const std::string& line : log)
            all += line + "\n";
        return all;
    }

    std::vector<std::string> log;
    std::vector<std::string> list;
    std::vector<std::string> boxes;
    std::string status;
};

// A run's work folder for an output folder of the test's.
inline std::shared_ptr<RunFolder> WorkFolderIn(const std::string& out)
{
    std::string error;
    std::shared_ptr<RunFolder> folder = RunFolder::Create(out, &error);
    return folder ? folder : throw std::runtime_error(error);
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

// A program folder inside dir whose ar.exe is the fake one, told what to do
// by its "mode" file ("ok", "fail" or "silent").
inline std::string MakeFakeProgramFolder(const std::string& folder, const std::string& mode)
{
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(std::string(KANDRIX_TEST_FIXTURES) + "fake_ar.sh", folder + "ar.exe",
                               std::filesystem::copy_options::overwrite_existing);
    WriteFile(folder + "mode", mode);
    return folder;
}

// The arguments the fake ar.exe was run with.
inline std::vector<std::string> FakeArArguments(const std::string& programFolder)
{
    std::vector<std::string> arguments;
    std::string all = ReadFile(programFolder + "args");
    std::string::size_type start = 0;
    for (std::string::size_type end; (end = all.find('\0', start)) != std::string::npos; start = end + 1)
        arguments.push_back(all.substr(start, end - start));
    return arguments;
}

// Changes the current folder for the object's lifetime, so that relative
// paths, and anything a stray command might create, stay in a test's own
// folder.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::string& folder) : previous_(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~CurrentFolder()
    {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
    }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::filesystem::path previous_;
};
