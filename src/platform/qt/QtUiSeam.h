#pragma once
// The windowed UiSeam: Qt's message boxes and file dialogs, the desktop's
// handler for the shell.

#include "platform/UiSeam.h"

#include <QStringList>
#include <string>

class QtUiSeam final : public UiSeam {
public:
    int MessageBox(CDialog* owner, const std::string& text, const std::string& caption,
                   unsigned type) override;
    std::optional<std::vector<std::string>> GetOpenFileNames(CDialog* owner, const std::string& filter) override;
    std::optional<std::string> GetSaveFileName(CDialog* owner, const std::string& defaultName,
                                               const std::string& defaultExtension,
                                               const std::string& filter) override;
    std::optional<std::string> BrowseForFolder(CDialog* owner, const std::string& title) override;
    int ShellOpen(const std::string& target) override;
};

// Makes the windowed seam the one in force whenever no other is installed;
// called by the application once its QApplication exists.
void InstallWindowedUiSeam();

// "description|patterns|description|patterns|" as the file dialogs take it,
// patterns split by ';', becomes Qt's "description (pattern pattern)" list.
// "*.*" means every file, which on this platform is "*".
QStringList QtFileFilters(const std::string& filter);
