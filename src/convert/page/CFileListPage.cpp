#include "convert/page/CFileListPage.h"

#include "platform/Paths.h"
#include "platform/UiSeam.h"
#include "res/resource.h"
#include "run/RunState.h"

// One of the page's list boxes as the record names it. Jobs get copies of
// the entries when they start, so only the UI thread reads these.
class CFileListPage::ListView final : public SourceList {
public:
    ListView(const CFileListPage& page, int listId) : page_(page), listId_(listId) {}
    int GetCount() const override { return page_.ListGetCount(listId_); }
    std::string GetText(int index) const override { return page_.ListGetText(listId_, index); }

private:
    const CFileListPage& page_;
    const int listId_;
};

CFileListPage::CFileListPage(RunState& run)
    : CWizardPage(IDD_FILELIST),
      run_(run),
      paths_(std::make_unique<ListView>(*this, IDC_FILES_PATHS)),
      names_(std::make_unique<ListView>(*this, IDC_FILES_NAMES))
{
}

CFileListPage::~CFileListPage()
{
    // The record outlives the window; it must not keep lists that are gone.
    ConversionSettings& settings = run_.Settings();
    if (settings.sourcePaths == paths_.get())
        settings.sourcePaths = nullptr;
    if (settings.sourceNames == names_.get())
        settings.sourceNames = nullptr;
}

std::string CFileListPage::FilterForTask(int task)
{
    if (task == CT_MPG2DVD)
        return "DVD Packetized MPEG (*.vob)|*.vob|DVD compatible MPEG (*.mpg; *.mpeg)|*.mpg;*.mpeg|";
    // The first pair offers every supported extension at once, also the two
    // (asf, swf) that have no pair of their own.
    return "All supported files|*.avi;*.mkv;*.3gp;*.m4a;*.mov;*.mp4;*.mpeg;*.mpg;*.wmv;*.divx;*.xvid;*.asf;*.swf|"
           "Audio Video Interleave files (*.avi)|*.avi|"
           "Matroska (*.mkv)|*.mkv|"
           "Quicktime (*.3gp; *.m4a; *.mov; *.mp4)|*.3gp;*.m4a;*.mov;*.mp4|"
           "Raw MPEG (*.mpeg; *.mpg)|*.mpg;*.mpeg|"
           "Windows Media (*.wmv)|*.wmv|"
           "Xvid (*.divx;*.xvid)|*.divx;*.xvid|"
           "All Files (*.*)|*.*|";
}

void CFileListPage::EnterPage()
{
    ConversionSettings& settings = run_.Settings();
    if (settings.task != settings.previousTask) {
        OnClear();
        settings.previousTask = settings.task;
    }
    ShowWindow(true);
}

void CFileListPage::LeavePage()
{
    ShowWindow(false);
    run_.Settings().sourcePaths = paths_.get();
    run_.Settings().sourceNames = names_.get();
}

void CFileListPage::OnCommand(int id, int notifyCode)
{
    switch (id) {
    case IDC_FILES_ADD:
        OnAddFiles();
        return;
    case IDC_FILES_DELETE:
        OnDelete();
        return;
    case IDC_FILES_CLEAR:
        OnClear();
        return;
    case IDC_FILES_NAMES:
        if (notifyCode == LBN_SELCHANGE)
            ListSetCurSel(IDC_FILES_PATHS, ListGetCurSel(IDC_FILES_NAMES));
        else if (notifyCode == LBN_SELCANCEL)
            ListSetCurSel(IDC_FILES_PATHS, -1);
        return;
    default:
        CWizardPage::OnCommand(id, notifyCode);
    }
}

void CFileListPage::OnAddFiles()
{
    auto chosen = Ui().GetOpenFileNames(AfxGetMainWnd(), FilterForTask(run_.Settings().task));
    if (!chosen)
        return;
    for (const std::string& path : *chosen)
        AddFile(path);
}

void CFileListPage::AddFile(const std::string& path)
{
    ListAddString(IDC_FILES_PATHS, path);
    ListAddString(IDC_FILES_NAMES, FileNameOf(path));
}

void CFileListPage::OnDelete()
{
    // The shown list's selection is the one the user made; the hidden list
    // only mirrors it.
    int index = ListGetCurSel(IDC_FILES_NAMES);
    if (index < 0)
        index = ListGetCurSel(IDC_FILES_PATHS);
    if (index < 0 || index >= ListGetCount(IDC_FILES_PATHS))
        return;
    ListDeleteString(IDC_FILES_PATHS, index);
    ListDeleteString(IDC_FILES_NAMES, index);
    ListSetCurSel(IDC_FILES_NAMES, -1);
    ListSetCurSel(IDC_FILES_PATHS, -1);
}

void CFileListPage::OnClear()
{
    ListResetContent(IDC_FILES_PATHS);
    ListResetContent(IDC_FILES_NAMES);
}

int CFileListPage::FileCount() const
{
    return ListGetCount(IDC_FILES_PATHS);
}
