#pragma once
// The second page: the ordered list of source files, kept as two parallel
// list boxes (names shown, full paths hidden) that the conversion and the
// burn read by index once the page is left.

#include "app/CWizardPage.h"
#include "app/ConversionSettings.h"

#include <string>
#include <vector>

// One list box of a dialog seen as a SourceList. The dialog's control
// operations make it safe to read from a worker thread.
class ListBoxSourceList final : public SourceList {
public:
    ListBoxSourceList(const CDialog& dialog, int listId) : dialog_(dialog), listId_(listId) {}
    int GetCount() const override;
    std::string GetText(int index) const override;

private:
    const CDialog& dialog_;
    int listId_;
};

class CFileListPage : public CWizardPage {
public:
    CFileListPage();

    void EnterPage() override;
    void LeavePage() override;

    // The Open dialog's filter for a task.
    static std::string FilterForTask(int task);

    void OnAddFiles();
    void OnDelete();
    void OnClear();
    void AddFile(const std::string& path);
    int FileCount() const;

    const SourceList& Paths() const { return paths_; }
    const SourceList& Names() const { return names_; }

protected:
    void OnCommand(int id, int notifyCode) override;

private:
    ListBoxSourceList paths_;
    ListBoxSourceList names_;
};
