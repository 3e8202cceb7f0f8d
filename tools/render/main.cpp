// Builds every dialog template offscreen and writes <folder>/<id>.png; the
// main window is also written with each page laid into its page frame, as
// <folder>/102_<page id>.png.

#include "app/CKANDRIXDlg.h"
#include "app/CSummaryPage.h"
#include "platform/Dialog.h"
#include "platform/DialogTemplate.h"
#include "platform/UiThread.h"
#include "res/resource.h"
#include "widgets/CAboutDlg.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <cstdio>
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

// The dialogs whose class dresses its controls (links) are drawn as that
// class builds them; the others as their template alone.
std::unique_ptr<CDialog> MakeDialog(int id)
{
    if (id == IDD_ABOUTBOX)
        return std::make_unique<CAboutDlg>();
    if (id == IDD_SUMMARY)
        return std::make_unique<CSummaryPage>();
    return std::make_unique<CDialog>(id);
}

bool RenderAlone(const DialogTemplate& t, const QString& folder)
{
    std::unique_ptr<CDialog> made = MakeDialog(t.id);
    CDialog& dialog = *made;
    if (!dialog.Create(nullptr)) {
        std::fprintf(stderr, "kandrix_render: cannot build dialog %d\n", t.id);
        return false;
    }
    return Save(dialog.Widget(), QStringLiteral("%1/%2.png").arg(folder).arg(t.id));
}

bool RenderInMainWindow(const DialogTemplate& page, const QString& folder)
{
    CDialog mainWindow(IDD_KANDRIX_DIALOG);
    std::unique_ptr<CDialog> made = MakeDialog(page.id);
    CDialog& child = *made;
    if (!mainWindow.Create(nullptr) || !child.Create(&mainWindow)) {
        std::fprintf(stderr, "kandrix_render: cannot build dialog %d in the main window\n", page.id);
        return false;
    }
    CDialog::Rect r = CKANDRIXDlg::PageRectInFrame(mainWindow.GetControlRect(IDC_MAIN_PAGE_FRAME));
    child.MoveWindow(r.left, r.top, r.right - r.left, r.bottom - r.top);
    child.ShowWindow(true);
    return Save(mainWindow.Widget(), QStringLiteral("%1/%2_%3.png").arg(folder).arg(IDD_KANDRIX_DIALOG).arg(page.id));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetUiThread();
    if (argc != 2) {
        std::fprintf(stderr, "usage: kandrix_render <output folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "kandrix_render: cannot create the folder %s\n", argv[1]);
        return 1;
    }
    bool ok = true;
    for (const DialogTemplate* t : AllDialogTemplates()) {
        ok = RenderAlone(*t, folder) && ok;
        if (t->child)
            ok = RenderInMainWindow(*t, folder) && ok;
    }
    return ok ? 0 : 1;
}
