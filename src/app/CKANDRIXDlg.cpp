#include "app/CKANDRIXDlg.h"

#include "shell/CSummaryPage.h"
#include "shell/CTaskPage.h"
#include "core/ConversionSettings.h"
#include "core/MediaObjectLibrary.h"
#include "core/OptionRecord.h"
#include "core/SavedLog.h"
#include "core/TraceFile.h"
#include "core/StateArchive.h"
#include "burn/page/CBurnPage.h"
#include "convert/page/CConvertPage.h"
#include "convert/page/CFileListPage.h"
#include "platform/DesktopOpener.h"
#include "platform/DialogTemplate.h"
#include "platform/Paths.h"
#include "platform/RunFolder.h"
#include "platform/UiSeam.h"
#include "res/resource.h"
#include "run/RunState.h"
#include "settings/page/COutputPage.h"
#include "widgets/CAboutDlg.h"
#include "widgets/SkinLoader.h"

#include <algorithm>

namespace {

const char* const kStateFileName = "Option.dat";
// An HTML page replaces the compiled help file, which only Windows can show.
const char* const kHelpFileName = "help.html";
const char* const kSkinFileName = "Vista.cjstyles";
const char* const kSkinSchemeName = "NormalBlack2.ini";
// The trace's latest lines that Save log adds.
constexpr size_t kSavedTraceLines = 200;

// The page area inside the frame control, clear of the frame's border.
constexpr int kFrameInsetLeft = 3;
constexpr int kFrameInsetTop = 7;
constexpr int kFrameInsetRight = 3;
constexpr int kFrameInsetBottom = 3;

const int kFlowButtons[] = {IDC_MAIN_SAVE_LOG, IDC_MAIN_PREV, IDC_MAIN_NEXT, IDC_MAIN_REPEAT};

std::string WithoutTrailingSeparator(const std::string& folder)
{
    if (!folder.empty() && folder.back() == kPathSeparator)
        return folder.substr(0, folder.size() - 1);
    return folder;
}

} // namespace

CKANDRIXDlg::CKANDRIXDlg(RunState& run, const std::string& programFolder)
    : CStateDialog(IDD_KANDRIX_DIALOG, kStateFileName, programFolder),
      run_(run),
      programFolder_(programFolder),
      executableFolder_(WithoutTrailingSeparator(programFolder))
{
    // Before any window exists, so that every window is drawn with the skin.
    LoadSkin(executableFolder_ + kPathSeparator + kSkinFileName, kSkinSchemeName);
}

CKANDRIXDlg::~CKANDRIXDlg()
{
    DestroyPages();
}

CWizardPage* CKANDRIXDlg::Page(int index) const
{
    if (index < 0 || index >= PageCount())
        return nullptr;
    return pages_[static_cast<size_t>(index)].page.get();
}

CTaskPage* CKANDRIXDlg::TaskPage() const { return static_cast<CTaskPage*>(Page(kTaskPage)); }
CFileListPage* CKANDRIXDlg::FileListPage() const { return static_cast<CFileListPage*>(Page(kFileListPage)); }
COutputPage* CKANDRIXDlg::OutputPage() const { return static_cast<COutputPage*>(Page(kOutputPage)); }
CConvertPage* CKANDRIXDlg::ConvertPage() const { return static_cast<CConvertPage*>(Page(kConvertPage)); }
CBurnPage* CKANDRIXDlg::BurnPage() const { return static_cast<CBurnPage*>(Page(kBurnPage)); }
CSummaryPage* CKANDRIXDlg::SummaryPage() const { return static_cast<CSummaryPage*>(Page(kSummaryPage)); }

bool CKANDRIXDlg::OnInitDialog()
{
    CStateDialog::OnInitDialog();

    const std::string aboutText = LoadResourceString(IDS_ABOUTBOX);
    if (!aboutText.empty())
        AppendSystemMenuItem(IDM_ABOUTBOX, aboutText);
    SetWindowText("KANDRIX");

    ComputePageRect();
    CreatePages();
    currentPage_ = kTaskPage;
    TaskPage()->EnterPage();
    UpdateButtons();
    return true;
}

void CKANDRIXDlg::ComputePageRect()
{
    // Child windows are placed in client coordinates, which the frame's
    // rectangle already is.
    pageRect_ = PageRectInFrame(GetControlRect(IDC_MAIN_PAGE_FRAME));
}

CDialog::Rect CKANDRIXDlg::PageRectInFrame(const Rect& frame)
{
    return Rect{frame.left + kFrameInsetLeft, frame.top + kFrameInsetTop, frame.right - kFrameInsetRight,
                frame.bottom - kFrameInsetBottom};
}

void CKANDRIXDlg::CreatePages()
{
    AddPage(std::make_unique<CTaskPage>(run_));
    AddPage(std::make_unique<CFileListPage>(run_));
    AddPage(std::make_unique<COutputPage>(run_));
    AddPage(std::make_unique<CConvertPage>(run_));
    AddPage(std::make_unique<CBurnPage>(run_));
    AddPage(std::make_unique<CSummaryPage>(run_));
}

void CKANDRIXDlg::AddPage(std::unique_ptr<CWizardPage> page)
{
    page->Create(this);
    page->ShowWindow(false);
    page->MoveWindow(pageRect_.left, pageRect_.top, pageRect_.right - pageRect_.left,
                     pageRect_.bottom - pageRect_.top);
    const int ordinal = PageCount() + 1;
    pages_.push_back({ordinal, std::move(page)});
}

void CKANDRIXDlg::DestroyPages()
{
    while (!pages_.empty()) {
        pages_.back().page->DestroyWindow();
        pages_.pop_back();
    }
}

void CKANDRIXDlg::UpdateButtons()
{
    // Each button is set once: disabling the focused one, even for a moment,
    // would hand the focus on to About, where Enter opens the About box.
    const std::vector<int> enabled = EnabledFlowButtons();
    for (int id : kFlowButtons)
        EnableDlgItem(id, std::find(enabled.begin(), enabled.end(), id) != enabled.end());
}

std::vector<int> CKANDRIXDlg::EnabledFlowButtons() const
{
    // While the disc is planned the page is still current but not to be
    // left; Prev stops the check.
    if (currentPage_ == kOutputPage && OutputPage()->IsCheckingFit())
        return {IDC_MAIN_PREV};
    switch (currentPage_) {
    case kTaskPage:
        return {IDC_MAIN_NEXT};
    case kFileListPage:
    case kOutputPage:
        return {IDC_MAIN_PREV, IDC_MAIN_NEXT};
    case kBurnPage:
        return {IDC_MAIN_SAVE_LOG};
    case kSummaryPage:
        return {IDC_MAIN_SAVE_LOG, IDC_MAIN_PREV, IDC_MAIN_REPEAT};
    default:
        return {};
    }
}

void CKANDRIXDlg::ChangePage(int index)
{
    if (CWizardPage* shown = Page(currentPage_))
        shown->LeavePage();
    currentPage_ = index;
    Page(index)->EnterPage();
    UpdateButtons();
    FocusForPage(index);
}

void CKANDRIXDlg::FocusForPage(int index)
{
    // The focus left with the old page and would fall on the window's first
    // button, About. It goes where Enter does the page's natural step: Next,
    // or on the summary Repeat; while a page works, on its log, where Enter
    // does nothing (it must not cancel the work).
    switch (index) {
    case kTaskPage:
        break; // the page puts it on the chosen task
    case kFileListPage:
    case kOutputPage:
        SetFocusTo(IDC_MAIN_NEXT);
        break;
    case kConvertPage:
        ConvertPage()->SetFocusTo(IDC_CONV_LOG);
        break;
    case kBurnPage:
        BurnPage()->SetFocusTo(IDC_BURN_LOG);
        break;
    case kSummaryPage:
        SetFocusTo(IDC_MAIN_REPEAT);
        break;
    default:
        break;
    }
}

void CKANDRIXDlg::OnNext()
{
    switch (currentPage_) {
    case kTaskPage:
        ChangePage(kFileListPage);
        break;
    case kFileListPage:
        if (FileListPage()->FileCount() == 0) {
            AfxMessageBox("Please add the input files!");
            return;
        }
        ChangePage(kOutputPage);
        break;
    case kOutputPage:
        NextFromOutputPage();
        break;
    default:
        break;
    }
}

void CKANDRIXDlg::NextFromOutputPage()
{
    COutputPage* output = OutputPage();
    const int task = run_.Settings().task;
    if (task != CT_VIDEO2DVD && task != CT_MPG2DVD) {
        ChangePage(kConvertPage);
        return;
    }
    if (!output->CheckBurnerReady())
        return;
    if (task == CT_MPG2DVD && !output->CheckMpegFilesFit())
        return;
    // The sources are read on a job; the buttons wait for its end.
    auto done = [this, task](std::optional<VideoRunPlan> plan) {
        if (plan && task == CT_MPG2DVD) {
            ChangePage(kBurnPage);
        } else if (plan) {
            ConvertPage()->SetNextRunRate(plan->videoKbps, plan->estimateLine);
            ChangePage(kConvertPage);
        }
        UpdateButtons();
        // The greyed buttons handed the focus on; Next gets it back.
        if (!plan)
            FocusForPage(currentPage_);
    };
    if (task == CT_MPG2DVD)
        output->StartMpegInputCheck(done);
    else
        output->StartVideoFitCheck(done);
    UpdateButtons();
    // Next went grey; Enter now stops the check rather than open About.
    if (output->IsCheckingFit())
        SetFocusTo(IDC_MAIN_PREV);
}

void CKANDRIXDlg::OnPrev()
{
    switch (currentPage_) {
    case kFileListPage:
        ChangePage(kTaskPage);
        break;
    case kOutputPage:
        if (OutputPage()->IsCheckingFit()) {
            OutputPage()->CancelFitCheck();
            UpdateButtons();
            FocusForPage(kOutputPage);
            break;
        }
        ChangePage(kFileListPage);
        break;
    case kSummaryPage:
        ChangePage(kOutputPage);
        break;
    default:
        break;
    }
}

void CKANDRIXDlg::OnRepeat()
{
    if (currentPage_ == kSummaryPage)
        ChangePage(kTaskPage);
}

void CKANDRIXDlg::OnTransComplete()
{
    switch (run_.Settings().task) {
    case CT_VIDEO2DVD:
        ChangePage(run_.Settings().succeededCount > 0 ? kBurnPage : kSummaryPage);
        break;
    case CT_MPG2DVD:
        AfxMessageBox("error, transComplete CT_MPG2DVD");
        break;
    default:
        ChangePage(kSummaryPage);
        break;
    }
    UpdateButtons();
}

void CKANDRIXDlg::OnBurnClosed()
{
    ChangePage(kSummaryPage);
}

std::vector<std::string> CKANDRIXDlg::ListLines(const CDialog* page, int listId) const
{
    std::vector<std::string> lines;
    if (!page)
        return lines;
    const int count = page->ListGetCount(listId);
    for (int i = 0; i < count; ++i)
        lines.push_back(page->ListGetText(listId, i));
    return lines;
}

void CKANDRIXDlg::OnSaveLog()
{
    auto path = Ui().GetSaveFileName(this, "R3Xlog.txt", "txt", "Text file(*.txt)|*.txt|All Files (*.*)|*.*|");
    if (!path)
        return;
    const std::string text = ComposeSavedLog(ListLines(Page(kConvertPage), IDC_CONV_LOG),
                                             ListLines(Page(kBurnPage), IDC_BURN_LOG), RecentTraceLines(kSavedTraceLines));
    WriteSavedLog(*path, text);
}

void CKANDRIXDlg::OnHelp()
{
    // Without an opener nothing at all would happen; the user is told why.
    const int result = Ui().ShellOpen(programFolder_ + kHelpFileName);
    if (result <= 32)
        Ui().MessageBox(this, HyperlinkErrorText(result), "", MB_OK | MB_ICONEXCLAMATION);
}

void CKANDRIXDlg::OnAbout()
{
    CAboutDlg about;
    about.DoModal(this);
}

void CKANDRIXDlg::OnCommand(int id, int notifyCode)
{
    switch (id) {
    case IDC_MAIN_ABOUT:
        OnAbout();
        break;
    case IDC_MAIN_HELP:
        OnHelp();
        break;
    case IDC_MAIN_CLOSE:
        OnCancel();
        break;
    case IDC_MAIN_PREV:
        OnPrev();
        break;
    case IDC_MAIN_NEXT:
        OnNext();
        break;
    case IDC_MAIN_REPEAT:
        OnRepeat();
        break;
    case IDC_MAIN_SAVE_LOG:
        OnSaveLog();
        break;
    default:
        CStateDialog::OnCommand(id, notifyCode);
        break;
    }
}

void CKANDRIXDlg::OnSysCommand(int command)
{
    // The window system keeps the low four bits of a menu command for itself.
    if ((command & 0xFFF0) == IDM_ABOUTBOX)
        OnAbout();
    else
        CStateDialog::OnSysCommand(command);
}

bool CKANDRIXDlg::OnMessage(unsigned message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TRANS_COMPLETE:
        OnTransComplete();
        return true;
    case WM_BURN_CLOSED:
        OnBurnClosed();
        return true;
    default:
        return CStateDialog::OnMessage(message, wParam, lParam);
    }
}

void CKANDRIXDlg::OnCancel()
{
    if (!ConfirmStopRunningWork())
        return;
    CStateDialog::OnCancel();
}

void CKANDRIXDlg::EndWithoutAsking()
{
    stopRequested_ = true;
    run_.Jobs().CancelAll();
    EndDialog(IDCANCEL);
}

bool CKANDRIXDlg::ConfirmStopRunningWork()
{
    if (stopRequested_)
        return true;
    CBurnPage* burn = BurnPage();
    if (burn && burn->IsBurning())
        return Ui().MessageBox(this,
                               "A disc is being written. If you quit now the disc will be unusable. Stop the "
                               "burn and quit?",
                               std::string(), MB_YESNO | MB_ICONQUESTION) == IDYES;
    CConvertPage* convert = ConvertPage();
    if (convert && convert->IsConverting())
        return Ui().MessageBox(this, "A conversion is running. Stop it and quit?", std::string(),
                               MB_YESNO | MB_ICONQUESTION) == IDYES;
    return true;
}

void CKANDRIXDlg::OnDestroy()
{
    SaveState();
    // The pages go only once no job can reach them any more: every job is
    // stopped (a running tool with it) and waited for within a bound.
    run_.Jobs().ShutDown(stopRequested_ ? kStopRequestWait : kJobShutdownWait);
    // Nothing of the run is of use once the program ends, also when a job
    // that did not stop in time still works in it.
    if (std::shared_ptr<RunFolder> folder = std::move(run_.Settings().workFolder))
        folder->Remove();
    DestroyPages();
    RegisterMediaObjectLibrary(programFolder_ + kMediaObjectLibraryName, false);
    CStateDialog::OnDestroy();
}

void CKANDRIXDlg::SerializeState(StateArchive& archive, bool)
{
    if (archive.IsStoring())
        StoreOptionRecord(archive, run_.Settings());
    else
        LoadOptionRecord(archive, run_.Settings());
}
