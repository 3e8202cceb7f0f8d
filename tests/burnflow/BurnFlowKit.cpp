#include "BurnFlowKit.h"

#include "core/ConversionSettings.h"
#include "core/Log.h"
#include "burn/DeviceList.h"
#include "media/MediaKit.h"
#include "platform/Messages.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <regex>

BurnLog::BurnLog()
    : registration_(AddLogListener(LOG_CHANNEL_BURN, [this](const LogEntry& entry) { Keep(entry.text); }))
{
}

void BurnLog::Keep(const std::string& text)
{
    std::function<void(const std::string&)> hook;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(text);
        hook = hook_;
    }
    if (hook)
        hook(text);
}

std::vector<std::string> BurnLog::Lines() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

std::string BurnLog::Text() const
{
    std::string all;
    for (const std::string& line : Lines())
        all += line + "\n";
    return all;
}

void BurnLog::OnLine(std::function<void(const std::string&)> hook)
{
    std::lock_guard<std::mutex> lock(mutex_);
    hook_ = std::move(hook);
}

ProgressSampler::ProgressSampler(const CDevice& device) : device_(device)
{
    values_.push_back(device_.GetProgress());
    thread_ = std::thread([this] {
        while (!stop_) {
            const int value = device_.GetProgress();
            if (value != values_.back())
                values_.push_back(value);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
}

ProgressSampler::~ProgressSampler()
{
    Stop();
}

std::vector<int> ProgressSampler::Stop()
{
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
        // What the page's timer reads after the burn: a loaded machine may
        // have given the sampler no turn since the write ended.
        const int last = device_.GetProgress();
        if (last != values_.back())
            values_.push_back(last);
    }
    return values_;
}

int RecordingQuestions::MessageBox(const std::string& text, const std::string&, unsigned)
{
    asked.push_back(text);
    return IDOK;
}

std::string RecordingAuthoringView::LogText() const
{
    std::string all;
    for (const std::string& line : log)
        all += line + "\n";
    for (const std::string& box : boxes)
        all += "[box] " + box + "\n";
    return all;
}

std::string ProgramFolder()
{
    return KANDRIX_BIN_DIR;
}

std::string MakeSourceClip(const std::string& path, int seconds, std::string* log)
{
    return MakeClip(path, seconds, true, log) ? path : "";
}

std::string MakeDvdMpeg(const std::string& source, const std::string& path, std::string* log)
{
    const ProgramResult made = RunProgram({MgExePath(), "-i", source, "-y", "-target", "pal-dvd", path});
    *log = made.output;
    return made.exitCode == 0 && std::filesystem::is_regular_file(path) ? path : "";
}

std::shared_ptr<RunFolder> NewWorkFolder(const std::string& outputFolder, std::string* log)
{
    return RunFolder::Create(outputFolder, log);
}

std::string Author(int task, RunFolder& work, std::vector<std::string>* files, std::string* log)
{
    RecordingAuthoringView view;
    view.list = *files;
    AuthoringPaths paths;
    StepResult ran = WriteAuthoringFiles({task, work.OutputFolder(), ProgramFolder(), *files}, work, view, paths, *files);
    if (ran)
        ran = RunAuthoringBatch(paths, view);
    *log = view.LogText() + ran.Message();
    if (!ran)
        return "";
    if (view.list != *files) {
        *log += "the burn list and the authored list differ\n";
        return "";
    }
    return paths.folder + "/VIDEO_TS";
}

std::shared_ptr<CDevice> FindImageRecorder(RecorderLibrary& library)
{
    DeviceList list;
    CDevice::FindDevices(library, list);
    const auto devices = list.Snapshot();
    // As the output page does before it lists the speeds, which depend on
    // the disc.
    if (devices.empty() || !devices.back()->RefreshDeviceInfo() || devices.back()->GetVendorId() != "KANDRIX" ||
        !devices.back()->RefreshMediaInfo())
        return nullptr;
    return devices.back();
}

bool FillBurnOptions(const std::shared_ptr<CDevice>& device, const std::string& speedLabel,
                     const std::string& volumeLabel, const std::string& videoTs, BurnOptions* options)
{
    if (!device->RefreshWriteSpeeds())
        return false;
    const SpeedList speeds = device->GetWriteSpeeds();
    const auto entry = std::find_if(speeds.begin(), speeds.end(),
                                    [&](const SpeedEntry& speed) { return speedLabel == speed.label; });
    if (entry == speeds.end())
        return false;
    options->speed = entry->speed;
    options->speedLabel = entry->label;
    options->SetVolumeLabel(volumeLabel);
    options->device = device;
    options->burnKind = BURN_KIND_DVDVIDEO;
    options->treePath = videoTs;
    return true;
}

std::string IsoVolumeId(const std::string& label)
{
    std::string id = label.substr(0, 32);
    for (char& c : id) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    }
    return id;
}

std::vector<double> TitleLengths(const std::string& image, std::string* listing)
{
    const ProgramResult listed = RunProgram({"lsdvd", image});
    *listing = listed.output;
    std::vector<double> lengths;
    if (listed.exitCode != 0)
        return lengths;
    // Title: 01, Length: 00:00:05.040 Chapters: 01, Cells: 02, Audio streams: 01, Subpictures: 00
    const std::regex title(R"(Title: \d+, Length: (\d\d):(\d\d):(\d\d)\.(\d+))");
    for (std::sregex_iterator it(listing->begin(), listing->end(), title), end; it != end; ++it) {
        lengths.push_back(std::stoi((*it)[1]) * 3600 + std::stoi((*it)[2]) * 60 + std::stoi((*it)[3]) +
                          std::stod("0." + (*it)[4].str()));
    }
    return lengths;
}
