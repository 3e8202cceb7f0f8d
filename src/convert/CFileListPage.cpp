#include "convert/CFileListPage.h"

#include "platform/Paths.h"
#include "platform/UiSeam.h"
#include "platform/UiThread.h"
#include "res/resource.h"

namespace {

// One of the page's list boxes as the rest of the system reads it, from any
// thread and for as long as the process runs: a worker may still hold the
// record's pointer after the window and its pages are gone. Every read runs
// on the UI thread, where the page is also destroyed, so a page that has gone
// reads as an empty list.
class PublishedList final : public SourceList {
public:
    explicit PublishedList(int listId) : listId_(listId) {}

    void Attach(const CFileListPage* page) { page_ = page; }
    void Detach(const CFileListPage* page)
    {
        if (page_ == page)
            page_ = nullptr;
    }

    int GetCount() const override
    {
        int count = 0;
        SendToUi([&] {
            if (page_)
                count = page_->ListGetCount(listId_);
        });
        return count;
    }

    std::string GetText(int index) const override
    {
        std::string text;
        SendToUi([&] {
            if (page_)
                text = page_->ListGetText(listId_, index);
        });
        return text;
    }

private:
    const int listId_;
    const CFileListPage* page_ = nullptr; // touched on the UI thread only
};

PublishedList g_paths(IDC_FILES_PATHS);
PublishedList g_names(IDC_FILES_NAMES);

} // namespace

CFileListPage::CFileListPage() : CWizardPage(IDD_FILELIST) {}

CFileListPage::~CFileListPage()
{
    g_paths.Detach(this);
    g_names.Detach(this);
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
    ConversionSettings& settings = Settings();
    if (settings.task != settings.previousTask) {
        OnClear();
        settings.previousTask = settings.task;
    }
    ShowWindow(true);
}

void CFileListPage::LeavePage()
{
    ShowWindow(false);
    g_paths.Attach(this);
    g_names.Attach(this);
    Settings().sourcePaths = &g_paths;
    Settings().sourceNames = &g_names;
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
    auto chosen = Ui().GetOpenFileNames(AfxGetMainWnd(), FilterForTask(Settings().task));
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
