#include "app/CStateDialog.h"

#include "core/StateArchive.h"

#include <cstdint>
#include <cstdio>
#include <vector>

CStateDialog::CStateDialog(int templateId, const std::string& stateFileName, const std::string& programFolder)
    : CDialog(templateId), location_(LocateSettings(programFolder, stateFileName))
{
}

bool CStateDialog::LoadState()
{
    std::vector<std::uint8_t> bytes;
    if (!ReadStateFile(location_.file, bytes) &&
        (location_.shippedDefaults.empty() || !ReadStateFile(location_.shippedDefaults, bytes)))
        return false;
    StateArchive archive(std::move(bytes));
    SerializeState(archive, false);
    return true;
}

bool CStateDialog::SaveState()
{
    StateArchive archive;
    SerializeState(archive, true);
    std::string cause;
    if (!MakeSettingsFolder(location_, &cause)) {
        std::fprintf(stderr, "KANDRIX: the settings cannot be saved to %s: %s\n", location_.file.c_str(),
                     cause.c_str());
        return false;
    }
    return WriteStateFile(location_.file, archive.Bytes());
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
