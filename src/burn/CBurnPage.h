#pragma once
// The fifth page: the burn options, the list of videos to burn and the burn
// log, to which the recorder code writes through the log's burn channel.

#include "app/CWizardPage.h"

#include <string>

class CBurnPage : public CWizardPage {
public:
    CBurnPage();
    ~CBurnPage() override;

    void EnterPage() override;
    void LeavePage() override;

    // Appends a time-stamped line to the burn log and scrolls to it. Any thread.
    void AddBurnLogLine(const std::string& text);
    // Sets the status line and logs the same text.
    void ShowBurnStatus(const std::string& text);

    void OnStartBurn();
    void OnClose();

    // The log listener of the burn channel: every text becomes a line of the
    // page's log.
    static void BurnLogListener(int level, const char* text);

protected:
    bool OnInitDialog() override;
    void OnCommand(int id, int notifyCode) override;

private:
    void StoreOptions();
    void FillBurnList();
};
