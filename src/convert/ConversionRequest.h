#pragma once
// What a conversion run needs, copied on the UI thread when it starts, and
// what it hands back when it ends. The worker touches nothing else, so a page
// entered again or a record changed meanwhile cannot disturb a run.

#include <memory>
#include <string>
#include <vector>

struct ConversionSettings;
class RunFolder;

struct SourceFile {
    std::string path;
    std::string name;
};

struct ConversionRequest {
    std::vector<SourceFile> sources;
    std::string outputFolder;
    int sameAsSource = 0;
    int overwriteExisting = 0;
    int task = 0;
    int outputFormat = 0;
    int tvSystem = 0;
    std::string programFolder;
    // Task 0: the video rate this run must keep to fit the disc, in kbit/s;
    // 0 keeps the DVD target's own rate.
    int videoKbps = 0;
    // Task 0: the disc estimate that chose that rate, the log's first line.
    std::string estimateLine;
    // Task 0: the run's work folder, where the intermediate files go; the
    // conversion makes it.
    std::string workFolder;
    // How many encoders run at once; 0: one per core.
    int encoders = 0;

    // On the UI thread: the record's values and the file list's entries.
    static ConversionRequest From(const ConversionSettings& settings);
};

struct ConversionResult {
    int succeededCount = 0;
    std::vector<std::string> convertedFiles;
    bool cancelled = false;
    // Task 0: holds the converted files for the burn; none when nothing
    // was converted.
    std::shared_ptr<RunFolder> workFolder;
};
