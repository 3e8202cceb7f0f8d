#include "convert/CConvertPage.h"

#include "res/resource.h"

struct CConvertPage::Run {};

CConvertPage::CConvertPage() : CWizardPage(IDD_CONVERT) {}

CConvertPage::~CConvertPage() = default;

bool CConvertPage::OnInitDialog()
{
    ProgressSetRange(IDC_CONV_FILE_PROGRESS, 0, 100);
    ProgressSetRange(IDC_CONV_TOTAL_PROGRESS, 0, 100);
    return true;
}

void CConvertPage::EnterPage()
{
    ShowWindow(true);
}

void CConvertPage::LeavePage()
{
    ShowWindow(false);
    ProgressSetPos(IDC_CONV_FILE_PROGRESS, 0);
    ProgressSetPos(IDC_CONV_TOTAL_PROGRESS, 0);
}

void CConvertPage::StopRunningEncoder() {}

void CConvertPage::AddLogLine(const std::string& text)
{
    ListAddString(IDC_CONV_LOG, text);
}

void CConvertPage::OnCommand(int id, int notifyCode)
{
    CWizardPage::OnCommand(id, notifyCode);
}
