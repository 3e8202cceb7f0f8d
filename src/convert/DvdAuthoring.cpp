#include "convert/DvdAuthoring.h"

#include "app/ConversionSettings.h"
#include "convert/AuthoringText.h"
#include "convert/BatchOutputLog.h"
#include "convert/ProcessRunner.h"
#include "platform/Paths.h"
#include "platform/TempName.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

// Writes the whole text, replacing any earlier file. False with the cause,
// naming the file, in *error.
bool WriteTextFile(const std::string& path, const std::string& text, std::string* error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        *error = "Cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    int writeErrno = errno;
    if (std::fclose(file) != 0 && written) {
        written = false;
        writeErrno = errno;
    }
    if (!written)
        *error = "Cannot write " + path + ": " + std::strerror(writeErrno);
    return written;
}

void ReportWriteError(AuthoringView& view, const std::string& cause, const char* message)
{
    view.AddBurnLogLine(cause);
    view.MessageBox(message);
}

// Task 1: every source gets a fresh temporary name that the batch copies it
// to, and the list names the copy from now on.
bool AssignCopies(const std::string& outputFolder, AuthoringView& view, std::vector<std::string>& files,
                  std::vector<AuthoringCopy>* copies)
{
    for (size_t i = 0; i < files.size(); ++i) {
        std::string target;
        std::string error;
        if (!MakeTempName(outputFolder, &target, &error)) {
            ReportWriteError(view, error, "Write .bat file error! ");
            return false;
        }
        copies->push_back({files[i], target});
        files[i] = target;
        view.ReplaceListEntry(static_cast<int>(i), target);
    }
    return true;
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

AuthoringPaths MakeAuthoringPaths(const std::string& outputFolder)
{
    std::string folder = outputFolder;
    if (!folder.empty() && folder.back() != kPathSeparator)
        folder += kPathSeparator;
    return {folder + "kzxtmpf001.xml", folder + "kzxtmpd001", folder + "kzxtmpfb001.bat"};
}

bool WriteAuthoringFiles(const AuthoringRequest& request, AuthoringView& view, AuthoringPaths& paths,
                         std::vector<std::string>& files)
{
    paths = MakeAuthoringPaths(request.outputFolder);
    view.AddBurnLogLine("Start DVD Author...");
    view.ShowBurnStatus("Start DVD Author...");

    std::string error;
    // The batch is created before any temporary name is taken, so a folder
    // that cannot be written leaves the list as it was.
    if (!WriteTextFile(paths.batch, std::string(), &error)) {
        ReportWriteError(view, error, "Write .bat file error! ");
        return false;
    }
    std::vector<AuthoringCopy> copies;
    if (request.task == CT_MPG2DVD && !AssignCopies(request.outputFolder, view, files, &copies))
        return false;
    const std::string batch = AuthoringBatchText(copies, paths.folder, paths.xml, request.programFolder);
    if (!WriteTextFile(paths.batch, batch, &error)) {
        ReportWriteError(view, error, "Write .bat file error! ");
        return false;
    }
    if (!WriteTextFile(paths.xml, AuthoringXmlText(files), &error)) {
        ReportWriteError(view, error, "Write xml file error! ");
        return false;
    }
    return true;
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

bool RunAuthoringBatch(const AuthoringPaths& paths, AuthoringView& view, JobControl* control,
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
    run.line = [&log](const std::string& line) { log.Add(line + "\n"); };
    run.pause = endPause;
    run.control = control;
    run.pollMs = AUTHOR_POLL_MS;
    const ToolOutcome outcome = RunTool(run);
    log.Finish();
    endPause();
    const bool ran = outcome.result != RunResult::FailedToStart;
    const int exitStatus = outcome.exitStatus;
    if (!ran)
        return false;
    if (exitStatus != 0) {
        view.AddBurnLogLine("Authoring failed: " + FailureCause(log, exitStatus));
        return false;
    }
    const std::string ifo = paths.folder + kPathSeparator + "VIDEO_TS" + kPathSeparator + "VIDEO_TS.IFO";
    if (!FileExists(ifo)) {
        view.AddBurnLogLine("Authoring failed: ar.exe wrote no " + ifo);
        return false;
    }
    return true;
}
