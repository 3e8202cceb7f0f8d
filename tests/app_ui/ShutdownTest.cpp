#include "WizardFixture.h"

#include "shell/CTaskPage.h"
#include "convert/page/CFileListPage.h"
#include "res/resource.h"

#include <sys/stat.h>

namespace {

// Running and not yet a zombie.
bool ProcessAlive(int pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return false;
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

} // namespace

TEST_F(WizardTest, ClosingDuringAConversionStopsTheEncoder)
{
    // An encoder that never finishes by itself.
    const std::string encoder = File("mg.exe");
    std::ofstream(encoder) << "#!/bin/sh\necho $$ > \"" << File("mg.pid") << "\"\nexec sleep 30\n";
    ::chmod(encoder.c_str(), 0755);
    std::ofstream(File("a.avi")) << "not a video";
    Settings().programFolder = folder_;

    CKANDRIXDlg& window = OpenWindow();
    window.TaskPage()->CheckRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG, IDC_TASK_VIDEO2MPG);
    window.OnNext();
    window.FileListPage()->AddFile(File("a.avi"));
    window.OnNext();
    window.OnNext();
    ASSERT_EQ(window.CurrentPageIndex(), CKANDRIXDlg::kConvertPage);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !ReadText(File("mg.pid")).empty(); }, 10000));
    const int pid = std::stoi(ReadText(File("mg.pid")));
    ASSERT_TRUE(ProcessAlive(pid));

    // The window's end stops the conversion and waits for it.
    window.DestroyWindow();
    EXPECT_FALSE(ProcessAlive(pid));
    EXPECT_EQ(ReadBytes(File("Option.dat")).empty(), false);
    EXPECT_TRUE(seam_.Boxes().empty());
}
