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
    supportLink_.SubclassDlgItem(IDC_ABOUT_SUPPORT, this);
    webLink_.SubclassDlgItem(IDC_ABOUT_WEB, this);
    supportLink_.SetLinkTarget(std::string("mailto:") + kSupportAddress);
    SetDlgItemText(IDC_ABOUT_WEB, kWebAddress);
    webLink_.SetLinkTarget(kWebAddress);
    SetDlgItemText(IDC_ABOUT_VERSION, VersionText());
    return true;
}
