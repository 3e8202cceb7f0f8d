#include "burn/CBurnPage.h"

#include "app/ConversionSettings.h"
#include "app/Log.h"
#include "app/LogLine.h"
#include "platform/UiSeam.h"
#include "platform/UiThread.h"
#include "res/resource.h"

#include <atomic>

namespace {

// The page the log listener writes to; the page is created once with the wizard.
std::atomic<CBurnPage*> g_burnPage{nullptr};

} // namespace

CBurnPage::CBurnPage() : CWizardPage(IDD_BURN)
{
    g_burnPage.store(this);
}

CBurnPage::~CBurnPage()
{
    CBurnPage* self = this;
    g_burnPage.compare_exchange_strong(self, nullptr);
}

bool CBurnPage::OnInitDialog()
{
    CWizardPage::OnInitDialog();
    AddLogListener(&CBurnPage::BurnLogListener, LOG_CHANNEL_BURN);
    return true;
}

void CBurnPage::BurnLogListener(int, const char* text)
{
    // Looked up on the UI thread, where the page is destroyed, so a burn
    // thread that outlives the window cannot write to a page that has gone.
    const std::string line = text;
    SendToUi([&line] {
        if (CBurnPage* page = g_burnPage.load())
            page->AddBurnLogLine(line);
    });
}

void CBurnPage::EnterPage()
{
    const ConversionSettings& settings = Settings();
    CheckDlgButton(IDC_BURN_OPC, settings.sendOpc ? 1 : 0);
    CheckDlgButton(IDC_BURN_EJECT, settings.ejectAfterBurn ? 1 : 0);
    CheckDlgButton(IDC_BURN_DELETE_TEMP, settings.deleteTempAfterBurn ? 1 : 0);
    FillBurnList();
    ShowWindow(true);
}

void CBurnPage::LeavePage()
{
    StoreOptions();
    ShowWindow(false);
}

void CBurnPage::StoreOptions()
{
    ConversionSettings& settings = Settings();
    settings.sendOpc = IsDlgButtonChecked(IDC_BURN_OPC);
    settings.ejectAfterBurn = IsDlgButtonChecked(IDC_BURN_EJECT);
    settings.deleteTempAfterBurn = IsDlgButtonChecked(IDC_BURN_DELETE_TEMP);
}

void CBurnPage::FillBurnList()
{
    const ConversionSettings& settings = Settings();
    ListResetContent(IDC_BURN_LIST);
    if (settings.task == CT_VIDEO2DVD) {
        for (const std::string& file : settings.convertedFiles)
            ListAddString(IDC_BURN_LIST, file);
    } else if (settings.task == CT_MPG2DVD && settings.sourcePaths) {
        for (int i = 0; i < settings.sourcePaths->GetCount(); ++i)
            ListAddString(IDC_BURN_LIST, settings.sourcePaths->GetText(i));
    }
}

void CBurnPage::AddBurnLogLine(const std::string& text)
{
    int row = ListAddString(IDC_BURN_LOG, FormatLogLineNow(text));
    ListSetCurSel(IDC_BURN_LOG, row);
}

void CBurnPage::ShowBurnStatus(const std::string& text)
{
    SetDlgItemText(IDC_BURN_STATUS, text);
    AddBurnLogLine(text);
}

void CBurnPage::OnCommand(int id, int notifyCode)
{
    switch (id) {
    case IDC_BURN_START:
        OnStartBurn();
        return;
    case IDC_BURN_CLOSE:
        OnClose();
        return;
    default:
        CWizardPage::OnCommand(id, notifyCode);
    }
}

void CBurnPage::OnStartBurn()
{
    StoreOptions();
    if (ListGetCount(IDC_BURN_LIST) == 0)
        AfxMessageBox("No video file input! ");
}

void CBurnPage::OnClose()
{
    if (CDialog* main = AfxGetMainWnd())
        main->PostMessage(WM_BURN_CLOSED);
}
