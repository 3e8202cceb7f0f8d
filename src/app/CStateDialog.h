#pragma once
// A dialog that keeps a record of its own in a small binary file: read when
// the dialog initialises, written on OK and whenever the derived dialog asks.
// What the record holds is the derived dialog's choice (SerializeState).

#include "platform/Dialog.h"

#include <string>

class StateArchive;

class CStateDialog : public CDialog {
public:
    // The file is stateFileName inside folder (which ends in the separator).
    CStateDialog(int templateId, const std::string& stateFileName, const std::string& folder);

    const std::string& StateFilePath() const { return stateFilePath_; }

    // False, changing nothing, when the file cannot be opened.
    bool LoadState();
    // False, writing nothing, when the file cannot be created.
    bool SaveState();

protected:
    // Reads or writes the record; the archive says which. The base keeps nothing.
    virtual void SerializeState(StateArchive& archive, bool storing);

    bool OnInitDialog() override;
    void OnOK() override;

private:
    std::string stateFilePath_;
};
