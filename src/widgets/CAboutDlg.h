#pragma once
// The About box: the program's icon, name and version, its web page and
// support address.

#include "platform/Dialog.h"

#include <string>

class CAboutDlg : public CDialog {
public:
    CAboutDlg();

    static std::string VersionText();

    static constexpr const char* kWebAddress = "https://kandrix.example.org/";
    static constexpr const char* kSupportAddress = "support@kandrix.example.org";

protected:
    bool OnInitDialog() override;
};
