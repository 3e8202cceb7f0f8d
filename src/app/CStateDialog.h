#pragma once
// A dialog that keeps a record of its own in a small binary file: read when
// the dialog initialises, written on OK and whenever the derived dialog asks.
// What the record holds is the derived dialog's choice (SerializeState).

#include "platform/Dialog.h"
#include "platform/SettingsLocation.h"

#include <string>

class StateArchive;

class CStateDialog : public CDialog {
public:
    // The file is stateFileName in programFolder (which ends in the
    // separator), or in the user's configuration folder when the program
    // folder is not the user's (see SettingsLocation).
    CStateDialog(int templateId, const std::string& stateFileName, const std::string& programFolder);

    const std::string& StateFilePath() const { return location_.file; }

    // False, changing nothing, when neither the file nor the defaults shipped
    // in its stead can be opened.
    bool LoadState();
    // False, writing nothing, when the file cannot be created.
    bool SaveState();

protected:
    // Reads or writes the record; the archive says which. The base keeps nothing.
    virtual void SerializeState(StateArchive& archive, bool storing);

    bool OnInitDialog() override;
    void OnOK() override;

private:
    SettingsLocation location_;
};
