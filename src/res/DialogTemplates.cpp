#include "platform/DialogTemplate.h"
#include "platform/Messages.h"
#include "res/resource.h"

#include <algorithm>
#include <map>

namespace {

using K = ControlKind;

ControlTemplate C(int id, ControlKind kind, std::string text, int x, int y, int cx, int cy,
                  unsigned style = CS_NONE, std::vector<std::string> items = {})
{
    return ControlTemplate{id, kind, std::move(text), x, y, cx, cy, style, std::move(items)};
}

DialogTemplate Page(int id, int cx, int cy, int points, std::vector<ControlTemplate> controls)
{
    DialogTemplate t;
    t.id = id;
    t.cx = cx;
    t.cy = cy;
    t.fontName = "MS Sans Serif";
    t.fontPoints = points;
    t.child = true;
    t.controls = std::move(controls);
    return t;
}

constexpr unsigned kList = CS_BORDER | CS_VSCROLL | CS_NOTIFY;
// Statics that show file names, paths and device names: an '&' in them is
// part of the name, not a mnemonic.
constexpr unsigned kData = CS_NOPREFIX;

DialogTemplate AboutBox()
{
    DialogTemplate t;
    t.id = IDD_ABOUTBOX;
    t.caption = "About KANDRIX";
    t.cx = 262;
    t.cy = 82;
    t.fontName = "MS Sans Serif";
    t.fontPoints = 8;
    t.controls = {
        C(-1, K::Icon, "", 11, 17, 20, 20),
        C(IDC_ABOUT_VERSION, K::Static, "KANDRIX Version 1.0", 40, 10, 124, 8, CS_NOPREFIX),
        C(IDC_ABOUT_WEB, K::Static, "https://kandrix.example.org/", 40, 39, 187, 9, CS_NOTIFY),
        C(IDC_ABOUT_SUPPORT, K::Static, "support: support@kandrix.example.org", 40, 52, 125, 9, CS_NOTIFY),
        C(IDOK, K::DefPushButton, "OK", 205, 7, 50, 14, CS_GROUP),
    };
    return t;
}

DialogTemplate MainWindow()
{
    DialogTemplate t;
    t.id = IDD_KANDRIX_DIALOG;
    t.caption = "KANDRIX";
    t.cx = 380;
    t.cy = 232;
    t.fontName = "MS Sans Serif";
    t.fontPoints = 8;
    t.minimizeBox = true;
    t.controls = {
        C(IDC_MAIN_ABOUT, K::PushButton, "A&bout", 22, 15, 47, 20),
        C(IDC_MAIN_HELP, K::PushButton, "&Help", 22, 60, 47, 20),
        C(IDC_MAIN_CLOSE, K::PushButton, "&Close", 22, 195, 47, 20),
        C(-1, K::GroupBox, "", 8, 1, 79, 226),
        C(-1, K::GroupBox, "", 97, 1, 275, 226),
        C(IDC_MAIN_PAGE_FRAME, K::GroupBox, "", 103, 5, 262, 176, CS_HIDDEN),
        C(IDC_MAIN_SAVE_LOG, K::PushButton, "Save log", 110, 195, 50, 19),
        C(IDC_MAIN_PREV, K::PushButton, "<Prev(&P)", 176, 195, 50, 19),
        C(IDC_MAIN_NEXT, K::DefPushButton, "Next(&N)>", 230, 195, 50, 19),
        C(IDC_MAIN_REPEAT, K::PushButton, "Repeat(&R)", 307, 195, 50, 19),
    };
    return t;
}

DialogTemplate TaskPage()
{
    constexpr unsigned radio = CS_MULTILINE;
    return Page(IDD_TASK, 262, 176, 10,
                {
                    C(IDC_TASK_VIDEO2DVD, K::RadioButton,
                      "Create video DVD from video files (AVI, Divx, Vxid, WMV, etc).", 27, 16, 176, 23,
                      radio | CS_GROUP),
                    C(IDC_TASK_MPG2DVD, K::RadioButton,
                      "Burn DVD from the existing compatible MPEG files (MPG, MPEG, VOB).", 27, 51, 176, 18,
                      radio),
                    C(IDC_TASK_VIDEO2MPG, K::RadioButton,
                      "Converts video files into stand MPEG 1/2 or DVD compatible MPEG files (*.vob).", 27,
                      86, 176, 23, radio),
                });
}

DialogTemplate FileListPage()
{
    return Page(IDD_FILELIST, 262, 176, 8,
                {
                    C(-1, K::Static, "Input files:", 7, 6, 120, 9),
                    C(IDC_FILES_NAMES, K::ListBox, "", 7, 17, 190, 148, kList | CS_GROUP),
                    C(IDC_FILES_PATHS, K::ListBox, "", 7, 17, 190, 148, kList | CS_HIDDEN),
                    C(IDC_FILES_ADD, K::PushButton, "&Add Files", 204, 17, 50, 16, CS_GROUP),
                    C(IDC_FILES_DELETE, K::PushButton, "&Delete", 204, 39, 50, 16),
                    C(IDC_FILES_CLEAR, K::PushButton, "&Clear", 204, 61, 50, 16),
                });
}

DialogTemplate OutputPage()
{
    const std::vector<std::string> formats = {
        "Strand MPEG 1 (*.mpg)", "Strand MPEG 2 (*.mpg)", "PAL_VCD (*.vob)",  "PAL_SVCD (*.vob)",
        "PAL_DVD (*.vob)",       "NTSC_VCD (*.vob)",      "NTSC_SVCD (*.vob)", "NTSC_DVD (*.vob)",
    };
    const std::vector<std::string> tvSystems = {"PAL (Europe)", "NTSC (US, Asia)"};
    return Page(
        IDD_OUTPUT, 268, 181, 8,
        {
            C(-1, K::GroupBox, "Output folder:", 5, 1, 250, 62),
            C(IDC_OUT_FOLDER, K::Edit, "", 11, 15, 198, 16, CS_READONLY | CS_AUTOHSCROLL | CS_BORDER | CS_GROUP),
            C(IDC_OUT_BROWSE, K::PushButton, "Browse", 211, 15, 33, 16),
            C(IDC_OUT_SAME_AS_SOURCE, K::CheckBox, "Same as source", 11, 33, 92, 15),
            C(IDC_OUT_USE_TEMP, K::CheckBox, "Use \"Temp\" Folder", 115, 33, 131, 15),
            C(IDC_OUT_OVERWRITE, K::CheckBox, "Overwrite existing files", 11, 47, 188, 14),
            C(-1, K::GroupBox, "Output format:", 5, 67, 250, 31),
            C(IDC_OUT_FORMAT, K::DropDownList, "", 11, 80, 128, 85, CS_VSCROLL, formats),
            C(IDC_OUT_TV_SYSTEM, K::DropDownList, "", 11, 80, 87, 48, CS_VSCROLL, tvSystems),
            C(-1, K::GroupBox, "DVD Setting", 5, 99, 249, 52),
            C(-1, K::Static, "Burner Device:", 11, 114, 60, 11),
            C(IDC_OUT_BURNER, K::DropDownList, "", 75, 111, 124, 51, CS_VSCROLL),
            C(IDC_OUT_REFRESH, K::PushButton, "Refresh", 201, 110, 43, 15),
            C(-1, K::Static, "Speed:", 11, 135, 26, 11),
            C(IDC_OUT_SPEED, K::DropDownList, "", 40, 133, 59, 48, CS_VSCROLL),
            C(-1, K::Static, "Disc Volum:", 101, 136, 48, 11, CS_RIGHT),
            C(IDC_OUT_VOLUME_LABEL, K::Edit, "", 153, 132, 91, 15, CS_AUTOHSCROLL | CS_BORDER),
            C(IDC_OUT_ALL_IN_ONE, K::CheckBox, "Converting && Burning All-in-one", 12, 155, 177, 14),
            C(IDC_OUT_DVD_PANEL, K::Static, "", 3, 99, 253, 75),
        });
}

DialogTemplate ConvertPage()
{
    return Page(IDD_CONVERT, 262, 176, 8,
                {
                    C(-1, K::Static, "Converting ", 7, 8, 44, 9),
                    C(IDC_CONV_FILE_NAME, K::Static, "...", 52, 8, 202, 9, kData),
                    C(IDC_CONV_FILE_PROGRESS, K::Progress, "", 7, 21, 210, 12),
                    C(IDC_CONV_PERCENT, K::Static, "..", 222, 22, 32, 9, kData),
                    C(IDC_CONV_LOG, K::ListBox, "", 7, 38, 247, 98, kList),
                    C(-1, K::Static, "Total Converting:", 7, 143, 64, 9),
                    C(IDC_CONV_COUNT, K::Static, "...", 74, 143, 60, 9, kData),
                    C(IDC_CONV_TOTAL_PROGRESS, K::Progress, "", 7, 155, 170, 10),
                    C(IDC_CONV_CANCEL, K::PushButton, "&Cancel", 204, 150, 50, 16, CS_GROUP),
                });
}

DialogTemplate BurnPage()
{
    return Page(IDD_BURN, 263, 183, 8,
                {
                    C(-1, K::GroupBox, "DVD Setting", 5, 1, 250, 58),
                    C(IDC_BURN_OPC, K::CheckBox, "Send optimum power calibration (OPC)", 11, 10, 235, 11, CS_GROUP),
                    C(IDC_BURN_EJECT, K::CheckBox, "Eject disc after burning has completed", 11, 21, 235, 11),
                    C(IDC_BURN_DELETE_TEMP, K::CheckBox, "Delete temp file after burn complete", 11, 32, 235, 11),
                    C(IDC_BURN_VERIFY, K::CheckBox, "Verify after burning", 11, 43, 235, 11),
                    C(-1, K::GroupBox, "Log:", 5, 61, 250, 86),
                    C(IDC_BURN_STATUS, K::Static, "...", 11, 70, 238, 9, CS_CENTER | kData),
                    C(IDC_BURN_LOG, K::ListBox, "", 11, 80, 238, 41, kList),
                    C(IDC_BURN_PROGRESS, K::Progress, "", 11, 124, 180, 10, CS_HIDDEN),
                    C(IDC_BURN_PERCENT, K::Static, "100%", 196, 125, 30, 9, CS_HIDDEN),
                    C(IDC_BURN_ELAPSED, K::Static, "Elapsed time:", 11, 136, 180, 9, CS_HIDDEN),
                    C(-1, K::GroupBox, "Video files list:", 5, 61, 250, 86, CS_HIDDEN),
                    C(IDC_BURN_LIST, K::ListBox, "", 11, 70, 238, 71, kList | CS_HIDDEN),
                    C(IDC_BURN_START, K::PushButton, "Start Burn", 139, 151, 55, 15, CS_GROUP),
                    C(IDC_BURN_CLOSE, K::PushButton, "Close", 199, 151, 55, 15),
                });
}

DialogTemplate SummaryPage()
{
    return Page(IDD_SUMMARY, 262, 176, 8,
                {
                    C(-1, K::Static, "Total files :", 20, 24, 70, 10),
                    C(IDC_SUM_TOTAL, K::Static, "##", 95, 24, 150, 10, kData),
                    C(-1, K::Static, "Successed files :", 20, 44, 70, 10),
                    C(IDC_SUM_SUCCEEDED, K::Static, "##", 95, 44, 150, 10, kData),
                    C(-1, K::Static, "Output folder :", 20, 64, 70, 10),
                    C(IDC_SUM_FOLDER, K::Static, "##", 95, 64, 155, 10, kData | CS_NOTIFY),
                    C(IDC_SUM_BURNER_LABEL, K::Static, "Burner Device :", 20, 84, 70, 10),
                    C(IDC_SUM_BURNER, K::Static, "-", 95, 84, 155, 10, kData | CS_NOTIFY),
                });
}

const std::map<int, DialogTemplate>& Templates()
{
    static const std::map<int, DialogTemplate> templates = [] {
        std::map<int, DialogTemplate> all;
        for (DialogTemplate t : {AboutBox(), MainWindow(), FileListPage(), OutputPage(), ConvertPage(),
                                 SummaryPage(), TaskPage(), BurnPage()})
            all.emplace(t.id, std::move(t));
        return all;
    }();
    return templates;
}

} // namespace

const DialogTemplate* FindDialogTemplate(int id)
{
    auto it = Templates().find(id);
    return it == Templates().end() ? nullptr : &it->second;
}

std::vector<const DialogTemplate*> AllDialogTemplates()
{
    std::vector<const DialogTemplate*> all;
    for (const auto& [id, t] : Templates())
        all.push_back(&t);
    return all;
}

std::string LoadResourceString(int id)
{
    switch (id) {
    case IDS_ABOUTBOX:
        return "&About KANDRIX...";
    case IDS_VERSION:
        return "3.2";
    default:
        return {};
    }
}
