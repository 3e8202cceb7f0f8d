#pragma once
// The one seam between the system and the windows it asks questions with:
// message boxes, the common file dialogs, the folder browser and the shell.
// Callable from any thread; the default implementation shows its window on
// the UI thread while the caller waits. Tests install a scripted seam.

#include <optional>
#include <string>
#include <vector>

class CDialog;

// Message box buttons and icons, and the answers.
constexpr unsigned MB_OK = 0x00;
constexpr unsigned MB_YESNO = 0x04;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

class UiSeam {
public:
    virtual ~UiSeam() = default;

    // An empty caption means the program's default caption (ProgramName()).
    virtual int MessageBox(CDialog* owner, const std::string& text, const std::string& caption,
                           unsigned type) = 0;

    // filter: "description|patterns|description|patterns|...", patterns split by ';'.
    // Returns the chosen full paths in the dialog's order; nullopt on cancel.
    virtual std::optional<std::vector<std::string>> GetOpenFileNames(CDialog* owner,
                                                                     const std::string& filter) = 0;

    // Asks before an existing file is overwritten. nullopt on cancel.
    virtual std::optional<std::string> GetSaveFileName(CDialog* owner, const std::string& defaultName,
                                                       const std::string& defaultExtension,
                                                       const std::string& filter) = 0;

    // A file-system folder; nullopt on cancel.
    virtual std::optional<std::string> BrowseForFolder(CDialog* owner, const std::string& title) = 0;

    // Opens a file, folder or address with the desktop's handler. Returns a
    // value above 32 on success, else a shell error code (2: not found...).
    virtual int ShellOpen(const std::string& target) = 0;
};

// The seam in force: the one installed by SetUiSeam, else the windowed one.
UiSeam& Ui();
// Installs a seam (nullptr returns to the windowed one). Not owned.
void SetUiSeam(UiSeam* seam);
// Replaces the fallback in force when no seam is installed (the windowed one,
// installed by the application; before that a console stand-in). Not owned.
void SetDefaultUiSeam(UiSeam* seam);

// The default caption of the program's own message boxes: the executable's
// file name without extension.
std::string ProgramName();

// A message box with the default caption and no owner.
int AfxMessageBox(const std::string& text, unsigned type = MB_OK);
