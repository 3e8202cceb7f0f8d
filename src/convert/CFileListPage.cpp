#include "convert/CFileListPage.h"

#include "platform/Paths.h"
#include "platform/UiSeam.h"
#include "res/resource.h"

int ListBoxSourceList::GetCount() const
{
    return dialog_.ListGetCount(listId_);
}

std::string ListBoxSourceList::GetText(int index) const
{
    return dialog_.ListGetText(listId_, index);
}

CFileListPage::CFileListPage()
    : CWizardPage(IDD_FILELIST), paths_(*this, IDC_FILES_PATHS), names_(*this, IDC_FILES_NAMES)
{
}

std::string CFileListPage::FilterForTask(int task)
{
    if (task == CT_MPG2DVD)
        return "DVD Packetized MPEG (*.vob)|*.vob|DVD compatible MPEG (*.mpg; *.mpeg)|*.mpg;*.mpeg|";
    // The first pattern list names every extension of the pairs that follow.
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
    Settings().sourcePaths = &paths_;
    Settings().sourceNames = &names_;
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
