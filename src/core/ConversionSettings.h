#pragma once
// The one shared record of a run (the run's state holds it). Pages store
// into it when left and refresh from it when entered; workers write only the
// run results.

#include <memory>
#include <string>
#include <vector>

class RunFolder;

constexpr int CT_VIDEO2DVD = 0;
constexpr int CT_MPG2DVD = 1;
constexpr int CT_VIDEO2MPG = 2;

// Read access to one of the file list page's two parallel lists. The page's
// implementation may be called from a worker thread.
class SourceList {
public:
    virtual ~SourceList() = default;
    virtual int GetCount() const = 0;
    virtual std::string GetText(int index) const = 0;
};

struct ConversionSettings {
    std::string outputFolder;
    int sameAsSource = 0;
    int useTempFolder = 0;
    int overwriteExisting = 0;
    const SourceList* sourcePaths = nullptr; // owned by the file list page
    const SourceList* sourceNames = nullptr; // owned by the file list page
    std::string programFolder;
    int outputFormat = 0;
    int task = 0;
    int previousTask = 0;
    int tvSystem = 0;
    int allInOne = 0;
    int speedIndex = 0;
    int burnerIndex = 0;
    std::string discVolumeLabel;
    int succeededCount = 0;
    std::vector<std::string> convertedFiles;
    // The run's private work folder while its files are needed; not
    // persisted.
    std::shared_ptr<RunFolder> workFolder;
    int sendOpc = 0;
    int deleteTempAfterBurn = 0;
    int ejectAfterBurn = 0;

    // The start-up values; the run results and the list references are kept.
    void SetDefaults();
};
