#pragma once
// A UiSeam for tests: records every question exactly as asked and answers
// from a script. Installs itself for its lifetime. Safe from any thread.

#include "platform/UiSeam.h"

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class ScriptedSeam final : public UiSeam {
public:
    struct Box {
        CDialog* owner;
        std::string text;
        std::string caption;
        unsigned type;
    };
    struct FileDialog {
        std::string kind; // "open", "save", "folder"
        std::string filter;
        std::string defaultName;
        std::string defaultExtension;
        std::string title;
    };

    ScriptedSeam() { SetUiSeam(this); }
    ~ScriptedSeam() override { SetUiSeam(nullptr); }

    // Answers, taken in order; when a queue is empty: IDOK / IDNO for a
    // message box, cancel for the dialogs, 42 for the shell.
    void AnswerBox(int answer) { Locked([&] { boxAnswers_.push_back(answer); }); }
    void AnswerOpen(std::optional<std::vector<std::string>> files)
    {
        Locked([&] { openAnswers_.push_back(std::move(files)); });
    }
    void AnswerSave(std::optional<std::string> path) { Locked([&] { saveAnswers_.push_back(std::move(path)); }); }
    void AnswerFolder(std::optional<std::string> folder)
    {
        Locked([&] { folderAnswers_.push_back(std::move(folder)); });
    }
    void AnswerShell(int result) { Locked([&] { shellAnswers_.push_back(result); }); }

    std::vector<Box> Boxes() const { return Copy(boxes_); }
    std::vector<FileDialog> Dialogs() const { return Copy(dialogs_); }
    std::vector<std::string> ShellTargets() const { return Copy(shellTargets_); }
    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> texts;
        for (const Box& box : Boxes())
            texts.push_back(box.text);
        return texts;
    }

    int MessageBox(CDialog* owner, const std::string& text, const std::string& caption,
                   unsigned type) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_.push_back({owner, text, caption, type});
        if (boxAnswers_.empty())
            return (type & 0x0F) == MB_YESNO ? IDNO : 1;
        int answer = boxAnswers_.front();
        boxAnswers_.pop_front();
        return answer;
    }
    std::optional<std::vector<std::string>> GetOpenFileNames(CDialog*, const std::string& filter) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dialogs_.push_back({"open", filter, {}, {}, {}});
        return Take(openAnswers_);
    }
    std::optional<std::string> GetSaveFileName(CDialog*, const std::string& defaultName,
                                               const std::string& defaultExtension,
                                               const std::string& filter) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dialogs_.push_back({"save", filter, defaultName, defaultExtension, {}});
        return Take(saveAnswers_);
    }
    std::optional<std::string> BrowseForFolder(CDialog*, const std::string& title) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dialogs_.push_back({"folder", {}, {}, {}, title});
        return Take(folderAnswers_);
    }
    int ShellOpen(const std::string& target) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        shellTargets_.push_back(target);
        if (shellAnswers_.empty())
            return 42;
        int result = shellAnswers_.front();
        shellAnswers_.pop_front();
        return result;
    }

private:
    template <typename F>
    void Locked(F f)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        f();
    }
    template <typename T>
    std::vector<T> Copy(const std::vector<T>& items) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return items;
    }
    template <typename T>
    static T Take(std::deque<T>& queue)
    {
        if (queue.empty())
            return T{};
        T answer{};
        std::swap(answer, queue.front());
        queue.pop_front();
        return answer;
    }

    mutable std::mutex mutex_;
    std::vector<Box> boxes_;
    std::vector<FileDialog> dialogs_;
    std::vector<std::string> shellTargets_;
    std::deque<int> boxAnswers_;
    std::deque<std::optional<std::vector<std::string>>> openAnswers_;
    std::deque<std::optional<std::string>> saveAnswers_;
    std::deque<std::optional<std::string>> folderAnswers_;
    std::deque<int> shellAnswers_;
};
