#include "platform/UiSeam.h"

#include "platform/Paths.h"

#include <atomic>
#include <cstdio>

namespace {

// In force until the application installs its windowed seam: no window can
// be shown, so questions are written to standard error and get the cautious
// answer (No, Cancel).
class ConsoleSeam final : public UiSeam {
public:
    int MessageBox(CDialog*, const std::string& text, const std::string& caption,
                   unsigned type) override
    {
        std::fprintf(stderr, "%s: %s\n", caption.empty() ? ProgramName().c_str() : caption.c_str(),
                     text.c_str());
        return (type & 0x0F) == MB_YESNO ? IDNO : 1;
    }
    std::optional<std::vector<std::string>> GetOpenFileNames(CDialog*, const std::string&) override
    {
        return std::nullopt;
    }
    std::optional<std::string> GetSaveFileName(CDialog*, const std::string&, const std::string&,
                                               const std::string&) override
    {
        return std::nullopt;
    }
    std::optional<std::string> BrowseForFolder(CDialog*, const std::string&) override
    {
        return std::nullopt;
    }
    int ShellOpen(const std::string&) override { return 31; }
};

ConsoleSeam g_consoleSeam;
std::atomic<UiSeam*> g_seam{nullptr};
std::atomic<UiSeam*> g_defaultSeam{&g_consoleSeam};

} // namespace

UiSeam& Ui()
{
    UiSeam* seam = g_seam.load();
    return seam ? *seam : *g_defaultSeam.load();
}

void SetUiSeam(UiSeam* seam)
{
    g_seam.store(seam);
}

std::string ProgramName()
{
    std::string name = FileNameOf(GetExecutablePath());
    size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

void SetDefaultUiSeam(UiSeam* seam)
{
    g_defaultSeam.store(seam ? seam : &g_consoleSeam);
}

int AfxMessageBox(const std::string& text, unsigned type)
{
    return Ui().MessageBox(nullptr, text, std::string(), type);
}
