#pragma once
// What the end-to-end burns share: the burn log as the burn page would see
// it, a sampler of the recorder's progress, views that record what the
// conversion and the authoring show, and the steps of a run up to the burn.

#include "burn/BurnOptions.h"
#include "burn/BurnRun.h"
#include "burn/CDevice.h"
#include "core/Log.h"
#include "convert/ConversionWorker.h"
#include "convert/DvdAuthoring.h"
#include "platform/JobQuestions.h"
#include "platform/RunFolder.h"
#include "recorder/LibburnRecorder.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The burn channel's lines while the object lives.
class BurnLog {
public:
    BurnLog();
    BurnLog(const BurnLog&) = delete;
    BurnLog& operator=(const BurnLog&) = delete;

    std::vector<std::string> Lines() const;
    std::string Text() const;
    // Runs for each line on the thread that logged it, after the line is
    // kept and with no lock held, like the page's listener.
    void OnLine(std::function<void(const std::string&)> hook);

private:
    void Keep(const std::string& text);

    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    std::function<void(const std::string&)> hook_;
    LogListenerRegistration registration_;
};

// Reads a recorder's progress from a thread of its own, as the page's timer
// does, and keeps each value that differs from the one before.
class ProgressSampler {
public:
    // The first sample is taken before the constructor returns.
    explicit ProgressSampler(const CDevice& device);
    ~ProgressSampler();
    ProgressSampler(const ProgressSampler&) = delete;
    ProgressSampler& operator=(const ProgressSampler&) = delete;

    std::vector<int> Stop();

private:
    const CDevice& device_;
    std::atomic<bool> stop_{false};
    std::vector<int> values_;
    std::thread thread_;
};

class RecordingQuestions final : public JobQuestions {
public:
    int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;
    std::vector<std::string> asked;
};

class RecordingConversionView final : public ConversionView {
public:
    void ShowFile(const std::string&, int, int) override {}
    void ShowPercent(int) override {}
    void ShowTotal(int) override {}
    void AddLogLine(const std::string& text) override { log += text + "\n"; }
    JobQuestions& Questions() override { return questions; }

    std::string log;
    RecordingQuestions questions;
};

class RecordingAuthoringView final : public BurnView {
public:
    void BeginBurnProgress() override {}
    void AddBurnLogLine(const std::string& text) override { log.push_back(text); }
    void ShowBurnStatus(const std::string& text) override { log.push_back(text); }
    void ReplaceListEntry(int index, const std::string& path) override { list.at(index) = path; }
    void MessageBox(const std::string& text) override { boxes.push_back(text); }
    std::string LogText() const;

    std::vector<std::string> log;
    std::vector<std::string> list;
    std::vector<std::string> boxes;
};

// The program folder the build made: kandrix, mg.exe, ar.exe.
std::string ProgramFolder();

// A clip of seconds with sound in a delivery format; "" after a failure,
// with FFmpeg's output in *log.
std::string MakeSourceClip(const std::string& path, int seconds, std::string* log);
// A DVD-compatible MPEG made from source by the program's mg.exe.
std::string MakeDvdMpeg(const std::string& source, const std::string& path, std::string* log);

// A run's work folder for outputFolder; nullptr after a failure, with the
// cause in *log.
std::shared_ptr<RunFolder> NewWorkFolder(const std::string& outputFolder, std::string* log);

// Authors files for task in the work folder with the program's own ar.exe
// and returns the VIDEO_TS folder; "" after a failure, explained in *log.
// For task 1, *files becomes the list of temporary copies.
std::string Author(int task, RunFolder& work, std::vector<std::string>* files, std::string* log);

// The image-file recorder of a fresh device search of library, which
// outlives it, or nullptr.
std::shared_ptr<CDevice> FindImageRecorder(RecorderLibrary& library);
// Options as the burn page fills them, at the recorder's speed of the given
// label.
bool FillBurnOptions(const std::shared_ptr<CDevice>& device, const std::string& speedLabel,
                     const std::string& volumeLabel, const std::string& videoTs, BurnOptions* options);

// The ISO 9660 side's volume id for a label: upper case, d-characters, 32.
std::string IsoVolumeId(const std::string& label);
// lsdvd's title lengths in seconds, in order; empty when lsdvd failed.
std::vector<double> TitleLengths(const std::string& image, std::string* listing);
