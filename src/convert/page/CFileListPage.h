#pragma once
// The second page: the ordered list of source files, kept as two parallel
// list boxes (names shown, full paths hidden) that the conversion and the
// burn read by index once the page is left.

#include "core/CWizardPage.h"
#include "core/ConversionSettings.h"

#include <memory>
#include <string>

class RunState;

class CFileListPage : public CWizardPage {
public:
    explicit CFileListPage(RunState& run);
    ~CFileListPage() override;

    void EnterPage() override;
    void LeavePage() override;

    // The Open dialog's filter for a task.
    static std::string FilterForTask(int task);

    void OnAddFiles();
    void OnDelete();
    void OnClear();
    void AddFile(const std::string& path);
    int FileCount() const;

protected:
    void OnCommand(int id, int notifyCode) override;

private:
    class ListView;
    RunState& run_;
    std::unique_ptr<ListView> paths_;
    std::unique_ptr<ListView> names_;
};
