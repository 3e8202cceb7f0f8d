#pragma once
// The last page: how many sources there were, how many were converted,
// where the outputs went and which recorder was used.

#include "app/CWizardPage.h"

#include <string>

class CDevice;

class CSummaryPage : public CWizardPage {
public:
    CSummaryPage();

    void EnterPage() override;
    void LeavePage() override;

    // The folder the outputs went to, as the page shows it.
    static std::string OutputFolderText();
    // "[drive]product-vendor)"
    static std::string RecorderText(const CDevice& device);

private:
    void ShowRecorder(bool show);
};
