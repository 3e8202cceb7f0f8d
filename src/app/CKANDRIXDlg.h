#pragma once
// The program's one top-level window: the wizard. It lays six pages into
// one frame, shows one at a time, moves between them with Prev, Next and
// Repeat, follows the conversion and burn completions, and keeps the user's
// choices in Option.dat (in the program folder when it is the user's).

#include "app/CStateDialog.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

class RunState;
class CWizardPage;
class CTaskPage;
class CFileListPage;
class COutputPage;
class CConvertPage;
class CBurnPage;
class CSummaryPage;

class CKANDRIXDlg : public CStateDialog {
public:
    // The window and its pages work on run, which outlives them.
    // programFolder ends in the separator; the help page, the skin, the
    // media-object library and the settings file (or their first defaults)
    // are looked for there.
    CKANDRIXDlg(RunState& run, const std::string& programFolder);
    ~CKANDRIXDlg() override;

    // How long the window's end waits for running jobs to stop; shorter
    // when a stop request from outside ends it, which must end the program
    // within 5 s.
    static constexpr std::chrono::milliseconds kJobShutdownWait{5000};
    static constexpr std::chrono::milliseconds kStopRequestWait{3000};

    // Ends the window at once without a question: the session is ending or
    // someone asked the program to stop. Running jobs are cancelled.
    void EndWithoutAsking();
    bool StopRequested() const { return stopRequested_; }

    enum PageIndex { kTaskPage, kFileListPage, kOutputPage, kConvertPage, kBurnPage, kSummaryPage, kPageCount };

    int CurrentPageIndex() const { return currentPage_; }
    int PageCount() const { return static_cast<int>(pages_.size()); }
    CWizardPage* Page(int index) const;
    Rect PageRect() const { return pageRect_; }
    // Where pages go inside the main window's frame control (client pixels).
    static Rect PageRectInFrame(const Rect& frame);

    CTaskPage* TaskPage() const;
    CFileListPage* FileListPage() const;
    COutputPage* OutputPage() const;
    CConvertPage* ConvertPage() const;
    CBurnPage* BurnPage() const;
    CSummaryPage* SummaryPage() const;

    void OnNext();
    void OnPrev();
    void OnRepeat();
    void OnSaveLog();
    void OnHelp();
    void OnAbout();

protected:
    bool OnInitDialog() override;
    void OnCommand(int id, int notifyCode) override;
    void OnSysCommand(int command) override;
    bool OnMessage(unsigned message, WPARAM wParam, LPARAM lParam) override;
    // Close, Escape and the close box: asks first while work would be lost.
    void OnCancel() override;
    void OnDestroy() override;
    void SerializeState(StateArchive& archive, bool storing) override;

private:
    struct PageEntry {
        int ordinal;
        std::unique_ptr<CWizardPage> page;
    };

    void ComputePageRect();
    void AddPage(std::unique_ptr<CWizardPage> page);
    void CreatePages();
    void DestroyPages();
    void UpdateButtons();
    std::vector<int> EnabledFlowButtons() const;
    void ChangePage(int index);
    void FocusForPage(int index);
    void NextFromOutputPage();
    void OnTransComplete();
    void OnBurnClosed();
    bool ConfirmStopRunningWork();
    std::vector<std::string> ListLines(const CDialog* page, int listId) const;

    RunState& run_;
    Rect pageRect_;
    int currentPage_ = kTaskPage;
    bool stopRequested_ = false;
    std::string programFolder_;
    std::string executableFolder_; // without the trailing separator
    std::vector<PageEntry> pages_;
};
