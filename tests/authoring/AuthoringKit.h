#pragma once
// Shared by the authoring tests: a view that records what the job shows, a
// program folder with a stand-in ar.exe, and small file helpers.

#include "convert/DvdAuthoring.h"
#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

class RecordingView final : public AuthoringView {
public:
    void AddBurnLogLine(const std::string& text) override { Locked([&] { log_.push_back(text); }); }
    void ShowBurnStatus(const std::string& text) override
    {
        Locked([&] {
            status_ = text;
            log_.push_back(text);
        });
    }
    void ReplaceListEntry(int index, const std::string& path) override
    {
        Locked([&] {
            if (index >= 0 && static_cast<size_t>(index) < list_.size())
                list_[index] = path;
        });
    }
    void MessageBox(const std::string& text) override { Locked([&] { boxes_.push_back(text); }); }

    void SetList(std::vector<std::string> list) { Locked([&] { list_ = std::move(list); }); }
    std::vector<std::string> Log() const { return Copy(log_); }
    std::vector<std::string> List() const { return Copy(list_); }
    std::vector<std::string> Boxes() const { return Copy(boxes_); }
    std::string Status() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return status_;
    }
    std::string LogText() const
    {
        std::string all;
        for (const std::string& line : Log())
            all += line + "\n";
        return all;
    }

private:
    template <typename F>
    void Locked(F f)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        f();
    }
    template <typename T>
    T Copy(const T& value) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return value;
    }

    mutable std::mutex mutex_;
    std::vector<std::string> log_;
    std::vector<std::string> list_;
    std::vector<std::string> boxes_;
    std::string status_;
};

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
