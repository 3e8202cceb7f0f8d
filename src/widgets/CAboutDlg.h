#pragma once
// The About box: the program's icon, name and version, its web page and
// support address as links.

#include "platform/Dialog.h"
#include "widgets/CLinkStatic.h"

#include <string>

class CAboutDlg : public CDialog {
public:
    CAboutDlg();

    static std::string VersionText();

    // The README names the same two.
    static constexpr const char* kWebAddress = "https://kandrix.example.org/";
    static constexpr const char* kSupportAddress = "support@kandrix.example.org";

    CLinkStatic& WebLink() { return webLink_; }
    CLinkStatic& SupportLink() { return supportLink_; }

protected:
    bool OnInitDialog() override;

private:
    CLinkStatic supportLink_;
    CLinkStatic webLink_;
};
