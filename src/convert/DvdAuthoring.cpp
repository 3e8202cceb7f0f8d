#include "convert/DvdAuthoring.h"

#include "core/ConversionSettings.h"
#include "convert/AuthoringText.h"
#include "convert/BatchOutputLog.h"
#include "convert/ProcessRunner.h"
#include "platform/Paths.h"
#include "platform/RunFolder.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace {

constexpr const char* kStep = "Authoring";

StepResult WriteError(AuthoringView& view, const std::string& cause, const char* message)
{
    view.MessageBox(message);
    return StepResult::Failed(kStep, cause);
}

std::uintmax_t FileSize(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? static_cast<std::uintmax_t>(info.st_size) : 0;
}

// A copy an earlier try made whole is authored as it is: a retry never
// copies a large file again.
bool IsCompleteCopy(const RunFolder& folder, const std::string& copy)
{
    const std::string source = folder.SourceOf(copy);
    return !source.empty() && FileSize(copy) > 0 && FileSize(copy) == FileSize(source);
}

// Task 1: every source gets a fresh temporary name in the work folder that
// the batch copies it to, and the list names the copy from now on.
StepResult AssignCopies(RunFolder& folder, AuthoringView& view, std::vector<std::string>& files,
                        std::vector<AuthoringCopy>* copies)
{
    for (size_t i = 0; i < files.size(); ++i) {
        if (folder.Holds(files[i])) {
            const std::string source = folder.SourceOf(files[i]);
            if (!source.empty() && !IsCompleteCopy(folder, files[i]))
                copies->push_back({source, files[i]});
            continue;
        }
        std::string target;
        std::string error;
        if (!folder.MakeTempName(&target, &error))
            return WriteError(view, error, "Write .bat file error! ");
        folder.SetSourceOf(target, files[i]);
        copies->push_back({files[i], target});
        files[i] = target;
        view.ReplaceListEntry(static_cast<int>(i), target);
    }
    return StepResult::Done();
}

// The batch runs with the menu's texts added to the environment.
std::vector<std::string> BatchArguments(const std::string& batch, const MenuTexts* texts)
{
    std::vector<std::string> arguments;
    if (texts) {
        std::string names;
        for (const std::string& name : texts->names)
            names += (names.empty() ? "" : "\n") + name;
        arguments = {"/usr/bin/env", "KANDRIX_DISC_LABEL=" + texts->label, "KANDRIX_TITLE_NAMES=" + names};
    }
    // Traced, so the log shows each command as it runs.
    arguments.insert(arguments.end(), {"/bin/sh", "-x", "--", batch});
    return arguments;
}

std::vector<std::pair<std::string, std::string>> UserNames(const RunFolder& folder,
                                                           const std::vector<std::string>& files)
{
    std::vector<std::pair<std::string, std::string>> names;
    for (const std::string& file : files) {
        const std::string source = folder.SourceOf(file);
        if (source.empty())
            continue;
        names.emplace_back(file, FileNameOf(source));
        names.emplace_back(FileNameOf(file), FileNameOf(source));
    }
    std::stable_sort(names.begin(), names.end(),
                     [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
    return names;
}

std::string FailureCause(const BatchOutputLog& log, int exitStatus)
{
    std::string cause = log.ErrorLine();
    if (!cause.empty())
        return cause;
    if (exitStatus < 0)
        return "the batch was stopped before it ended";
    return "the batch ended with exit status " + std::to_string(exitStatus);
}

} // namespace

AuthoringPaths MakeAuthoringPaths(const std::string& workFolder)
{
    const std::string folder = WithTrailingSeparator(workFolder);
    return {folder + kAuthoringXmlName, folder + kAuthoringFolderName, folder + kAuthoringBatchName, {}};
}

StepResult WriteAuthoringFiles(const AuthoringRequest& request, RunFolder& workFolder, AuthoringView& view,
                               AuthoringPaths& paths, std::vector<std::string>& files)
{
    paths = MakeAuthoringPaths(workFolder.Path());
    view.AddBurnLogLine("Start DVD Author...");
    view.ShowBurnStatus("Start DVD Author...");

    // What an earlier try left must not pass for this one's.
    workFolder.RemoveEntry(kAuthoringFolderName);
    workFolder.RemoveEntry(kAuthoringXmlName);
    std::string error;
    // The batch is created before any temporary name is taken, so a folder
    // that cannot be written leaves the list as it was.
    if (!workFolder.WriteFile(kAuthoringBatchName, std::string(), &error))
        return WriteError(view, error, "Write .bat file error! ");
    std::vector<AuthoringCopy> copies;
    if (request.task == CT_MPG2DVD) {
        if (StepResult assigned = AssignCopies(workFolder, view, files, &copies); !assigned)
            return assigned;
    }
    const std::string batch = AuthoringBatchText(copies, paths.folder, paths.xml, request.programFolder);
    if (!workFolder.WriteFile(kAuthoringBatchName, batch, &error))
        return WriteError(view, error, "Write .bat file error! ");
    if (!workFolder.WriteFile(kAuthoringXmlName, AuthoringXmlText(files), &error))
        return WriteError(view, error, "Write xml file error! ");
    paths.userNames = UserNames(workFolder, files);
    return StepResult::Done();
}

MenuTexts MenuTextsFor(const std::string& label, const std::vector<std::string>& files)
{
    MenuTexts texts {label, {}};
    for (const std::string& file : files) {
        std::string name = std::filesystem::path(file).stem().string();
        // One name a line: a line end inside a name would split it.
        std::replace(name.begin(), name.end(), '\n', ' ');
        texts.names.push_back(name);
    }
    return texts;
}

std::string WithUserNames(const std::string& line, const AuthoringPaths& paths)
{
    std::string named = line;
    for (const auto& [seen, shown] : paths.userNames) {
        for (size_t at = named.find(seen); at != std::string::npos; at = named.find(seen, at + shown.size()))
            named.replace(at, seen.size(), shown);
    }
    return named;
}

StepResult RunAuthoringBatch(const AuthoringPaths& paths, AuthoringView& view, JobControl* control,
                             const MenuTexts* texts)
{
    view.AddBurnLogLine("DVD Author...");
    view.ShowBurnStatus("DVD Author...");

    // The lines of one pause make one entry of the burn log, so the
    // authoring tool's progress reports cannot flood it.
    std::string entry;
    BatchOutputLog log([&entry](const std::string& line) { entry += (entry.empty() ? "" : "\n") + line; });
    auto endPause = [&] {
        if (!entry.empty())
            view.AddBurnLogLine(entry);
        entry.clear();
    };
    ToolRun run;
    run.arguments = BatchArguments(paths.batch, texts);
    // The shell's trace shows the commands as they ran; everything else
    // names the user's files.
    run.line = [&](const std::string& line) {
        log.Add((line.rfind("+ ", 0) == 0 ? line : WithUserNames(line, paths)) + "\n");
    };
    run.pause = endPause;
    run.control = control;
    run.pollMs = AUTHOR_POLL_MS;
    const ToolOutcome outcome = RunTool(run);
    log.Finish();
    endPause();
    if (outcome.result == RunResult::FailedToStart)
        return StepResult::Failed(kStep, outcome.startFailure);
    if (outcome.exitStatus != 0)
        return StepResult::Failed(kStep, FailureCause(log, outcome.exitStatus));
    const std::string ifo = paths.folder + kPathSeparator + "VIDEO_TS" + kPathSeparator + "VIDEO_TS.IFO";
    if (!FileExists(ifo))
        return StepResult::Failed(kStep, "ar.exe wrote no " + ifo);
    return StepResult::Done();
}
