#include "core/ConversionSettings.h"

void ConversionSettings::SetDefaults()
{
    outputFolder = "C:\\";
    sameAsSource = 0;
    useTempFolder = 1;
    overwriteExisting = 1;
    outputFormat = 4;
    task = CT_VIDEO2DVD;
    tvSystem = 1;
    allInOne = 1;
    speedIndex = -1;
    burnerIndex = -1;
    discVolumeLabel = "MyDVD";
    succeededCount = 0;
    sendOpc = 0;
    deleteTempAfterBurn = 1;
    ejectAfterBurn = 1;
}
