#pragma once
// A page of the wizard: a child dialog that refreshes itself from the shared
// settings record when entered and stores its values there when left.

#include "platform/Dialog.h"

class CWizardPage : public CDialog {
public:
    using CDialog::CDialog;
    // Store the page's values into ConversionSettings and hide the page.
    virtual void LeavePage() = 0;
    // Refresh the controls from ConversionSettings, start what the page
    // starts, and show the page.
    virtual void EnterPage() = 0;
};
