#include "app/CStateDialog.h"

#include "app/StateArchive.h"

#include <cstdint>
#include <vector>

CStateDialog::CStateDialog(int templateId, const std::string& stateFileName, const std::string& folder)
    : CDialog(templateId), stateFilePath_(folder + stateFileName)
{
}

bool CStateDialog::LoadState()
{
    std::vector<std::uint8_t> bytes;
    if (!ReadStateFile(stateFilePath_, bytes))
        return false;
    StateArchive archive(std::move(bytes));
    SerializeState(archive, false);
    return true;
}

bool CStateDialog::SaveState()
{
    StateArchive archive;
    SerializeState(archive, true);
    return WriteStateFile(stateFilePath_, archive.Bytes());
}

void CStateDialog::SerializeState(StateArchive&, bool) {}

bool CStateDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    LoadState();
    return true;
}

void CStateDialog::OnOK()
{
    SaveState();
    CDialog::OnOK();
}
