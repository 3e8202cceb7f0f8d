#pragma once
// Turns the burn list into a DVD-Video tree: writes the authoring batch and
// XML into the run's work folder and runs the batch, which runs ar.exe.
// Window free: the burn job calls it on its own thread with its data by
// value and reaches the page through an AuthoringView.

#include "platform/StepResult.h"

#include <string>
#include <utility>
#include <vector>

class JobControl;
class RunFolder;

struct AuthoringRequest {
    int task = 0;                    // CT_VIDEO2DVD or CT_MPG2DVD
    std::string outputFolder;        // ends with the separator
    std::string programFolder;       // ends with the separator; ar.exe is there
    std::vector<std::string> files;  // the burn list, in order
};

constexpr const char* kAuthoringXmlName = "kzxtmpf001.xml";
constexpr const char* kAuthoringFolderName = "kzxtmpd001";
constexpr const char* kAuthoringBatchName = "kzxtmpfb001.bat";

// The three files of a run, all in its work folder. The burn takes the
// folder followed by "/VIDEO_TS".
struct AuthoringPaths {
    std::string xml;
    std::string folder;
    std::string batch;
    // What the tools' messages say and what the user should read instead:
    // each file of the work folder, by path and by name, and the name of the
    // user's file it was made from. Longest first.
    std::vector<std::pair<std::string, std::string>> userNames;
};

// How the job reaches the burn page; called from the job's thread.
class AuthoringView {
public:
    virtual ~AuthoringView() = default;
    virtual void AddBurnLogLine(const std::string& text) = 0;
    // The status text, which the page logs once more.
    virtual void ShowBurnStatus(const std::string& text) = 0;
    // Burn list entry index becomes path.
    virtual void ReplaceListEntry(int index, const std::string& path) = 0;
    // The application's message box (OK).
    virtual void MessageBox(const std::string& text) = 0;
};

AuthoringPaths MakeAuthoringPaths(const std::string& workFolder);

// Builds the paths and writes the batch and the XML into the work folder,
// after removing what an earlier try there left. For task 1 each entry of
// files is replaced (in files and through the view) by a new temporary name
// in the work folder, which the batch copies the source to, so the user's
// own file is never touched or later deleted; an entry that already is a
// complete copy there is taken as it is. A file that cannot be written fails
// the authoring with the cause, after the message box.
StepResult WriteAuthoringFiles(const AuthoringRequest& request, RunFolder& workFolder, AuthoringView& view,
                               AuthoringPaths& paths, std::vector<std::string>& files);

// line with the work folder's files named as the user knows them.
std::string WithUserNames(const std::string& line, const AuthoringPaths& paths);

// What the disc's menu shows: the label as its heading and a caption per
// video. ar.exe finds them in its environment, so the batch and the XML stay
// as they are.
struct MenuTexts {
    std::string label;
    std::vector<std::string> names;
};

// Captions for the burn list as the user gave it (before task 1's copies):
// each file's name without its folder and extension.
MenuTexts MenuTextsFor(const std::string& label, const std::vector<std::string>& files);

// Runs the batch, its output going to the burn log. Done only when it ran to
// a clean end and left a VIDEO_TS tree in the authoring folder; otherwise
// the failure says why: the batch could not be started, a tool's error
// line, or the batch's exit status. A cancel stops the batch.
StepResult RunAuthoringBatch(const AuthoringPaths& paths, AuthoringView& view, JobControl* control = nullptr,
                             const MenuTexts* texts = nullptr);
