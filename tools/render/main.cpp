// Builds every dialog template offscreen and writes <folder>/<id>.png; the
// main window is also written with each page laid into its page frame, as
// <folder>/102_<page id>.png, with a message box (messagebox.png), the file
// dialog (filedialog.png) and the folder browser (folderdialog.png).
// With --skin, everything is drawn with the skin of the program folder;
// without, the disc menus of ar.exe are drawn too (menu-*.png).

#include "DiscMenus.h"
#include "app/CKANDRIXDlg.h"
#include "shell/CSummaryPage.h"
#include "platform/Dialog.h"
#include "platform/DialogTemplate.h"
#include "platform/UiThread.h"
#include "platform/Paths.h"
#include "res/resource.h"
#include "run/RunState.h"
#include "widgets/CAboutDlg.h"
#include "widgets/SkinLoader.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QToolTip>
#include <QPixmap>
#include <QWidget>

#include <cstdio>
#include <string>
#include <memory>

namespace {

bool Save(QWidget* widget, const QString& path)
{
    widget->show();
    QApplication::processEvents();
    if (!widget->grab().save(path)) {
        std::fprintf(stderr, "kandrix_render: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// Lists, progress bars and fields with something in them, so that their
// text, selection and scroll bars can be looked at too.
void FillWithSamples(CDialog& page)
{
    for (QListWidget* list : page.Widget()->findChildren<QListWidget*>()) {
        for (int i = 1; i <= 14; ++i)
            list->addItem(QStringLiteral("holiday clip %1 - a rather long file name.avi").arg(i));
        list->setCurrentRow(1);
    }
    for (QProgressBar* bar : page.Widget()->findChildren<QProgressBar*>()) {
        bar->setValue(42);
        bar->show();
    }
    for (QComboBox* combo : page.Widget()->findChildren<QComboBox*>()) {
        if (combo->count() == 0)
            combo->addItem(QStringLiteral("[0,0,0] Sample DVD-RW (/dev/sr0)"));
        combo->setCurrentIndex(0);
    }
    if (page.TemplateId() == IDD_OUTPUT) {
        page.SetDlgItemText(IDC_OUT_FOLDER, "/home/user/Videos/");
        page.EnableDlgItem(IDC_OUT_SPEED, false);
    }
}

bool RenderMessageBox(const QString& folder)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("KANDRIX"),
                    QStringLiteral("A conversion is running. Stop it and quit?"), QMessageBox::Yes | QMessageBox::No);
    return Save(&box, folder + QStringLiteral("/messagebox.png"));
}

bool RenderFileDialog(const QString& folder, bool folders, const QString& name)
{
    QFileDialog dialog(nullptr, QString(), QString::fromStdString(GetProgramFolder()));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFileMode(folders ? QFileDialog::Directory : QFileDialog::ExistingFiles);
    if (folders)
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
    else
        dialog.setNameFilter(QStringLiteral("All Files (*);;Video files (*.avi *.mpg *.mkv)"));
    dialog.resize(640, 420);
    dialog.show();
    // The dialog lists the folder in the background.
    QElapsedTimer listing;
    listing.start();
    while (listing.elapsed() < 500)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    return Save(&dialog, folder + QStringLiteral("/") + name);
}

// An open drop-down list and a tooltip, which only exist while shown.
bool RenderPopups(const QString& folder)
{
    CDialog page(IDD_OUTPUT);
    if (!page.Create(nullptr))
        return false;
    FillWithSamples(page);
    page.Widget()->show();
    auto* formats = qobject_cast<QComboBox*>(page.Control(IDC_OUT_FORMAT));
    bool ok = formats != nullptr;
    if (formats) {
        formats->setCurrentIndex(2);
        formats->showPopup();
        QApplication::processEvents();
        QWidget* popup = QApplication::activePopupWidget();
        ok = popup && popup->grab().save(folder + QStringLiteral("/dropdown.png"));
        formats->hidePopup();
    }
    QToolTip::showText(page.Widget()->mapToGlobal(QPoint(40, 40)), QStringLiteral("https://kandrix.example.org/"),
                       page.Widget());
    QApplication::processEvents();
    bool tip = false;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("QTipLabel") && widget->isVisible())
            tip = widget->grab().save(folder + QStringLiteral("/tooltip.png"));
    }
    QToolTip::hideText();
    if (!ok || !tip)
        std::fprintf(stderr, "kandrix_render: cannot draw the drop-down list or the tooltip\n");
    return ok && tip;
}

// The dialogs whose class dresses its controls (links) are drawn as that
// class builds them; the others as their template alone.
std::unique_ptr<CDialog> MakeDialog(int id, RunState& run)
{
    if (id == IDD_ABOUTBOX)
        return std::make_unique<CAboutDlg>();
    if (id == IDD_SUMMARY)
        return std::make_unique<CSummaryPage>(run);
    return std::make_unique<CDialog>(id);
}

bool RenderAlone(const DialogTemplate& t, const QString& folder, RunState& run)
{
    std::unique_ptr<CDialog> made = MakeDialog(t.id, run);
    CDialog& dialog = *made;
    if (!dialog.Create(nullptr)) {
        std::fprintf(stderr, "kandrix_render: cannot build dialog %d\n", t.id);
        return false;
    }
    return Save(dialog.Widget(), QStringLiteral("%1/%2.png").arg(folder).arg(t.id));
}

bool RenderInMainWindow(const DialogTemplate& page, const QString& folder, RunState& run)
{
    CDialog mainWindow(IDD_KANDRIX_DIALOG);
    std::unique_ptr<CDialog> made = MakeDialog(page.id, run);
    CDialog& child = *made;
    if (!mainWindow.Create(nullptr) || !child.Create(&mainWindow)) {
        std::fprintf(stderr, "kandrix_render: cannot build dialog %d in the main window\n", page.id);
        return false;
    }
    CDialog::Rect r = CKANDRIXDlg::PageRectInFrame(mainWindow.GetControlRect(IDC_MAIN_PAGE_FRAME));
    child.MoveWindow(r.left, r.top, r.right - r.left, r.bottom - r.top);
    child.ShowWindow(true);
    FillWithSamples(child);
    // The buttons as the wizard enables them on that page.
    const bool logged = page.id == IDD_BURN || page.id == IDD_SUMMARY;
    mainWindow.EnableDlgItem(IDC_MAIN_SAVE_LOG, logged);
    mainWindow.EnableDlgItem(IDC_MAIN_PREV, page.id == IDD_FILELIST || page.id == IDD_OUTPUT || page.id == IDD_SUMMARY);
    mainWindow.EnableDlgItem(IDC_MAIN_NEXT, page.id == IDD_TASK || page.id == IDD_FILELIST || page.id == IDD_OUTPUT);
    mainWindow.EnableDlgItem(IDC_MAIN_REPEAT, page.id == IDD_SUMMARY);
    if (page.id == IDD_TASK)
        child.CheckRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG, IDC_TASK_VIDEO2DVD);
    if (page.id == IDD_OUTPUT) {
        child.CheckDlgButton(IDC_OUT_OVERWRITE, 1);
        child.ShowDlgItem(IDC_OUT_TV_SYSTEM, false);
    }
    return Save(mainWindow.Widget(), QStringLiteral("%1/%2_%3.png").arg(folder).arg(IDD_KANDRIX_DIALOG).arg(page.id));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetUiThread();
    const bool skinned = argc == 3 && std::string(argv[1]) == "--skin";
    if (argc != 2 && !skinned) {
        std::fprintf(stderr, "usage: kandrix_render [--skin] <output folder>\n");
        return 2;
    }
    if (skinned && !LoadSkin(GetProgramFolder() + "Vista.cjstyles", "NormalBlack2.ini")) {
        std::fprintf(stderr, "kandrix_render: no skin in %s\n", GetProgramFolder().c_str());
        return 1;
    }
    const QString folder = QString::fromLocal8Bit(argv[argc - 1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "kandrix_render: cannot create the folder %s\n", argv[1]);
        return 1;
    }
    bool ok = true;
    // The summary page reads the run's settings; no recorder is searched.
    RunState run;
    for (const DialogTemplate* t : AllDialogTemplates()) {
        ok = RenderAlone(*t, folder, run) && ok;
        if (t->child)
            ok = RenderInMainWindow(*t, folder, run) && ok;
    }
    ok = RenderMessageBox(folder) && ok;
    ok = RenderPopups(folder) && ok;
    ok = RenderFileDialog(folder, false, QStringLiteral("filedialog.png")) && ok;
    ok = RenderFileDialog(folder, true, QStringLiteral("folderdialog.png")) && ok;
    if (!skinned)
        ok = RenderDiscMenus(folder) && ok;
    return ok ? 0 : 1;
}
