#include "widgets/CAboutDlg.h"

#include "platform/DialogTemplate.h"
#include "res/resource.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

std::string CAboutDlg::VersionText()
{
    return "KANDRIX Version: " + LoadResourceString(IDS_VERSION);
}

bool CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_ABOUT_WEB, kWebAddress);
    SetDlgItemText(IDC_ABOUT_VERSION, VersionText());
    return true;
}
