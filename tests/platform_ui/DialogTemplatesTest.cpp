// The dialog templates as built: every control where the pages expect it,
// with its kind, text and state, and layouts without collisions.

#include "app/CKANDRIXDlg.h"
#include "platform/Dialog.h"
#include "platform/DialogTemplate.h"
#include "platform/qt/ControlFactory.h"
#include "platform/qt/DialogUnits.h"
#include "res/resource.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace {

TEST(DialogUnits, FollowTheTemplateFontsMetrics)
{
    for (int points : {8, 10, 14}) {
        DialogTemplate t;
        t.fontName = "MS Sans Serif";
        t.fontPoints = points;
        QFont font = TemplateFont(t);
        EXPECT_EQ(font.family(), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
        EXPECT_EQ(font.pointSize(), points);

        QFontMetrics metrics(font);
        DialogUnits units = DialogUnits::ForFont(font);
        int alphabet = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        EXPECT_EQ(units.baseX, (alphabet + 26) / 52);
        EXPECT_EQ(units.baseY, metrics.height());
        EXPECT_EQ(units.X(4), units.baseX);
        EXPECT_EQ(units.Y(8), units.baseY);
        EXPECT_EQ(units.X(200), (200 * units.baseX + 2) / 4);
        EXPECT_EQ(units.Y(100), (100 * units.baseY + 4) / 8);
    }
    DialogTemplate small, large;
    small.fontPoints = 8;
    large.fontPoints = 16;
    EXPECT_GT(DialogUnits::ForFont(TemplateFont(large)).X(100), DialogUnits::ForFont(TemplateFont(small)).X(100));
}

TEST(DialogTemplates, ControlsArePlacedInDialogUnitsOfTheirFont)
{
    CDialog about(IDD_ABOUTBOX);
    ASSERT_TRUE(about.Create(nullptr));
    DialogUnits units = DialogUnits::ForFont(TemplateFont(*FindDialogTemplate(IDD_ABOUTBOX)));
    CDialog::Rect ok = about.GetControlRect(IDOK);
    EXPECT_EQ(ok.left, units.X(205));
    EXPECT_EQ(ok.top, units.Y(7));
    EXPECT_EQ(ok.right, units.X(205 + 50));
    EXPECT_EQ(ok.bottom, units.Y(7 + 14));
    CDialog::Rect client = about.GetClientRect();
    EXPECT_EQ(client.right, units.X(262));
    EXPECT_EQ(client.bottom, units.Y(82));
}

TEST(DialogTemplates, EveryDialogTheWizardUsesExists)
{
    std::set<int> ids;
    for (const DialogTemplate* t : AllDialogTemplates())
        ids.insert(t->id);
    EXPECT_EQ(ids, (std::set<int>{100, 102, 138, 140, 141, 142, 152, 154}));
    EXPECT_EQ(FindDialogTemplate(999), nullptr);
    EXPECT_EQ(LoadResourceString(IDS_ABOUTBOX), "&About KANDRIX...");
    EXPECT_EQ(LoadResourceString(IDS_VERSION), "3.2");
    EXPECT_EQ(LoadResourceString(4711), "");
    CDialog unknown(999);
    EXPECT_FALSE(unknown.Create(nullptr));
    EXPECT_FALSE(unknown.HasWindow());
}

TEST(DialogTemplates, ControlsHaveTheirKindsTextsAndStates)
{
    CDialog files(IDD_FILELIST);
    ASSERT_TRUE(files.Create(nullptr));
    EXPECT_NE(qobject_cast<QListWidget*>(files.Control(IDC_FILES_NAMES)), nullptr);
    EXPECT_TRUE(files.IsDlgItemVisible(IDC_FILES_NAMES));
    EXPECT_FALSE(files.IsDlgItemVisible(IDC_FILES_PATHS));
    EXPECT_EQ(files.GetControlRect(IDC_FILES_PATHS).top, files.GetControlRect(IDC_FILES_NAMES).top);
    EXPECT_EQ(files.GetDlgItemText(IDC_FILES_ADD), "&Add Files");
    EXPECT_NE(qobject_cast<QPushButton*>(files.Control(IDC_FILES_CLEAR)), nullptr);

    CDialog output(IDD_OUTPUT);
    ASSERT_TRUE(output.Create(nullptr));
    auto* folder = qobject_cast<QLineEdit*>(output.Control(IDC_OUT_FOLDER));
    ASSERT_NE(folder, nullptr);
    EXPECT_TRUE(folder->isReadOnly());
    EXPECT_FALSE(qobject_cast<QLineEdit*>(output.Control(IDC_OUT_VOLUME_LABEL))->isReadOnly());
    auto* allInOne = qobject_cast<QCheckBox*>(output.Control(IDC_OUT_ALL_IN_ONE));
    ASSERT_NE(allInOne, nullptr);
    EXPECT_EQ(output.GetDlgItemText(IDC_OUT_ALL_IN_ONE), "Converting && Burning All-in-one");
    EXPECT_EQ(output.GetDlgItemText(IDC_OUT_USE_TEMP), "Use \"Temp\" Folder");
    EXPECT_EQ(output.ListGetCount(IDC_OUT_FORMAT), 8);
    EXPECT_EQ(output.ListGetText(IDC_OUT_FORMAT, 4), "PAL_DVD (*.vob)");
    EXPECT_EQ(output.ListGetText(IDC_OUT_TV_SYSTEM, 1), "NTSC (US, Asia)");
    EXPECT_EQ(output.ListGetCurSel(IDC_OUT_FORMAT), -1);
    EXPECT_EQ(output.ListGetCount(IDC_OUT_BURNER), 0);

    CDialog convert(IDD_CONVERT);
    ASSERT_TRUE(convert.Create(nullptr));
    EXPECT_NE(qobject_cast<QProgressBar*>(convert.Control(IDC_CONV_FILE_PROGRESS)), nullptr);
    EXPECT_EQ(convert.ProgressGetPos(IDC_CONV_FILE_PROGRESS), 0);
    EXPECT_TRUE(convert.IsDlgItemVisible(IDC_CONV_TOTAL_PROGRESS));
    EXPECT_EQ(convert.GetDlgItemText(IDC_CONV_FILE_NAME), "...");
    EXPECT_EQ(convert.GetDlgItemText(IDC_CONV_PERCENT), "..");
    EXPECT_EQ(convert.GetDlgItemText(IDC_CONV_CANCEL), "&Cancel");

    CDialog task(IDD_TASK);
    ASSERT_TRUE(task.Create(nullptr));
    EXPECT_NE(qobject_cast<QRadioButton*>(task.Control(IDC_TASK_MPG2DVD)), nullptr);
    EXPECT_EQ(task.GetDlgItemText(IDC_TASK_VIDEO2MPG),
              "Converts video files into stand MPEG 1/2 or DVD compatible MPEG files (*.vob).");
    EXPECT_EQ(task.GetCheckedRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG), 0);

    CDialog summary(IDD_SUMMARY);
    ASSERT_TRUE(summary.Create(nullptr));
    EXPECT_EQ(summary.GetDlgItemText(IDC_SUM_BURNER), "-");
    EXPECT_EQ(summary.GetDlgItemText(IDC_SUM_BURNER_LABEL), "Burner Device :");
    EXPECT_EQ(summary.GetDlgItemText(IDC_SUM_FOLDER), "##");

    CDialog burn(IDD_BURN);
    ASSERT_TRUE(burn.Create(nullptr));
    EXPECT_TRUE(burn.IsDlgItemVisible(IDC_BURN_STATUS));
    EXPECT_FALSE(burn.IsDlgItemVisible(IDC_BURN_PROGRESS));
    EXPECT_FALSE(burn.IsDlgItemVisible(IDC_BURN_LIST));
    EXPECT_EQ(burn.GetDlgItemText(IDC_BURN_START), "Start Burn");
    EXPECT_EQ(qobject_cast<QLabel*>(burn.Control(IDC_BURN_STATUS))->alignment() & Qt::AlignHorizontal_Mask,
              Qt::AlignHCenter);
}

TEST(DialogTemplates, StaticsShowPrefixesAsThePlatformDid)
{
    CDialog about(IDD_ABOUTBOX);
    ASSERT_TRUE(about.Create(nullptr));
    about.SetDlgItemText(IDC_ABOUT_VERSION, "R&D Version");
    EXPECT_EQ(qobject_cast<QLabel*>(about.Control(IDC_ABOUT_VERSION))->text(), "R&D Version");
    about.SetDlgItemText(IDC_ABOUT_SUPPORT, "Tom && &Jerry");
    EXPECT_EQ(qobject_cast<QLabel*>(about.Control(IDC_ABOUT_SUPPORT))->text(), "Tom & Jerry");
    EXPECT_EQ(about.GetDlgItemText(IDC_ABOUT_SUPPORT), "Tom && &Jerry");
}

bool Exempt(int templateId, const QWidget* a, const QWidget* b)
{
    static const std::set<std::pair<int, int>> sharedPlaces = {
        {IDC_OUT_FORMAT, IDC_OUT_TV_SYSTEM},
        {IDC_FILES_NAMES, IDC_FILES_PATHS},
    };
    int idA = a->property(kControlIdProperty).toInt();
    int idB = b->property(kControlIdProperty).toInt();
    if (sharedPlaces.count({std::min(idA, idB), std::max(idA, idB)}))
        return true;
    if (templateId == IDD_OUTPUT && (idA == IDC_OUT_DVD_PANEL || idB == IDC_OUT_DVD_PANEL))
        return true;
    // The two folder boxes reach one unit into the overwrite box below them;
    // a check box draws nothing in its lower margin.
    if (templateId == IDD_OUTPUT && (idA == IDC_OUT_OVERWRITE || idB == IDC_OUT_OVERWRITE) &&
        (idA == IDC_OUT_SAME_AS_SOURCE || idB == IDC_OUT_SAME_AS_SOURCE || idA == IDC_OUT_USE_TEMP ||
         idB == IDC_OUT_USE_TEMP))
        return true;
    // A group box frames what lies inside it.
    auto frames = [](const QWidget* outer, const QWidget* inner) {
        return KindOf(outer) == ControlKind::GroupBox && outer->geometry().contains(inner->geometry());
    };
    return frames(a, b) || frames(b, a);
}

TEST(DialogTemplates, ControlsLieInsideTheirDialogAndDoNotOverlap)
{
    for (const DialogTemplate* t : AllDialogTemplates()) {
        CDialog dialog(t->id);
        ASSERT_TRUE(dialog.Create(nullptr)) << t->id;
        const QRect client = dialog.Widget()->rect();
        std::vector<QWidget*> shown;
        for (const ControlTemplate& c : t->controls) {
            EXPECT_LE(c.x + c.cx, t->cx) << t->id << " control " << c.id << " " << c.text;
            EXPECT_LE(c.y + (c.kind == ControlKind::DropDownList ? 14 : c.cy), t->cy)
                << t->id << " control " << c.id << " " << c.text;
        }
        for (QWidget* control : dialog.Widget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (control->property(kControlIdProperty).isNull())
                continue;
            EXPECT_TRUE(client.contains(control->geometry())) << t->id << " control " << control->objectName().toStdString();
            if (!control->isHidden())
                shown.push_back(control);
        }
        for (size_t i = 0; i < shown.size(); ++i)
            for (size_t j = i + 1; j < shown.size(); ++j)
                if (!Exempt(t->id, shown[i], shown[j])) {
                    EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry()))
                        << t->id << ": " << ControlText(shown[i]) << " / " << ControlText(shown[j]);
                }
    }
}

// What a page shows must fit the rectangle the wizard lays it into.
TEST(DialogTemplates, PagesFitTheMainWindowsPageFrame)
{
    CDialog mainWindow(IDD_KANDRIX_DIALOG);
    ASSERT_TRUE(mainWindow.Create(nullptr));
    const CDialog::Rect r = CKANDRIXDlg::PageRectInFrame(mainWindow.GetControlRect(IDC_MAIN_PAGE_FRAME));
    const QSize page(r.right - r.left, r.bottom - r.top);
    for (const DialogTemplate* t : AllDialogTemplates()) {
        if (!t->child)
            continue;
        CDialog dialog(t->id);
        ASSERT_TRUE(dialog.Create(&mainWindow));
        for (QWidget* control : dialog.Widget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (control->isHidden() || control->property(kControlIdProperty).toInt() == IDC_OUT_DVD_PANEL)
                continue;
            EXPECT_TRUE(QRect(QPoint(0, 0), page).contains(control->geometry()))
                << t->id << " " << ControlText(control);
        }
    }
}

} // namespace
