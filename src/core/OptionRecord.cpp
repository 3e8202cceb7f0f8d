#include "core/OptionRecord.h"

#include "core/ConversionSettings.h"
#include "core/StateArchive.h"

#include <cstdint>

namespace {

constexpr int kFormatCount = 8;   // rows of the output format list
constexpr int kDefaultFormat = 4; // "PAL_DVD (*.vob)"
constexpr int kDefaultTvSystem = 1;

bool ReadField(StateArchive& archive, int& field)
{
    std::int32_t value = 0;
    if (!archive.ReadInt(value))
        return false;
    field = value;
    return true;
}

void BoundToRange(ConversionSettings& settings)
{
    if (settings.task < CT_VIDEO2DVD || settings.task > CT_VIDEO2MPG)
        settings.task = CT_VIDEO2DVD;
    if (settings.outputFormat < 0 || settings.outputFormat >= kFormatCount)
        settings.outputFormat = kDefaultFormat;
    if (settings.tvSystem < 0 || settings.tvSystem > 1)
        settings.tvSystem = kDefaultTvSystem;
    // Row indexes are bounded by their lists once those are filled; only
    // "nothing chosen" has a fixed value.
    if (settings.burnerIndex < -1)
        settings.burnerIndex = -1;
    if (settings.speedIndex < -1)
        settings.speedIndex = -1;
}

bool ReadFields(StateArchive& archive, ConversionSettings& s)
{
    return ReadField(archive, s.outputFormat) && archive.ReadText(s.outputFolder) && ReadField(archive, s.task) &&
           ReadField(archive, s.tvSystem) && ReadField(archive, s.allInOne) &&
           archive.ReadText(s.discVolumeLabel) && ReadField(archive, s.burnerIndex) &&
           ReadField(archive, s.speedIndex) && ReadField(archive, s.sameAsSource) &&
           ReadField(archive, s.useTempFolder) && ReadField(archive, s.overwriteExisting) &&
           ReadField(archive, s.ejectAfterBurn) && ReadField(archive, s.deleteTempAfterBurn) &&
           ReadField(archive, s.sendOpc);
}

} // namespace

void StoreOptionRecord(StateArchive& archive, const ConversionSettings& s)
{
    archive.WriteInt(s.outputFormat);
    archive.WriteText(s.outputFolder);
    archive.WriteInt(s.task);
    archive.WriteInt(s.tvSystem);
    archive.WriteInt(s.allInOne);
    archive.WriteText(s.discVolumeLabel);
    archive.WriteInt(s.burnerIndex);
    archive.WriteInt(s.speedIndex);
    archive.WriteInt(s.sameAsSource);
    archive.WriteInt(s.useTempFolder);
    archive.WriteInt(s.overwriteExisting);
    archive.WriteInt(s.ejectAfterBurn);
    archive.WriteInt(s.deleteTempAfterBurn);
    archive.WriteInt(s.sendOpc);
}

bool LoadOptionRecord(StateArchive& archive, ConversionSettings& settings)
{
    bool complete = ReadFields(archive, settings);
    BoundToRange(settings);
    settings.previousTask = settings.task;
    return complete;
}

bool ReadOptionFile(const std::string& path, ConversionSettings& settings)
{
    std::vector<std::uint8_t> bytes;
    if (!ReadStateFile(path, bytes))
        return false;
    StateArchive archive(std::move(bytes));
    LoadOptionRecord(archive, settings);
    return true;
}

bool WriteOptionFile(const std::string& path, const ConversionSettings& settings)
{
    StateArchive archive;
    StoreOptionRecord(archive, settings);
    return WriteStateFile(path, archive.Bytes());
}
