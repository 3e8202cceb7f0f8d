#include "platform/qt/QtUiSeam.h"

#include "platform/qt/FocusReturn.h"

#include "platform/DesktopOpener.h"
#include "platform/Dialog.h"
#include "platform/Messages.h"
#include "platform/UiThread.h"
#include "platform/WaitCursor.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace {

QWidget* OwnerWidget(CDialog* owner)
{
    if (!owner)
        owner = AfxGetMainWnd();
    QWidget* widget = owner ? owner->Widget() : nullptr;
    return widget ? widget->window() : nullptr;
}

// Shows a window on the UI thread while the caller waits; neutral when the
// UI has shut down.
template <typename R, typename F>
R OnUi(R neutral, F&& show)
{
    auto shown = [&] {
        FocusReturn focus(OwnerWidget(nullptr));
        return show();
    };
    if (IsUiThread())
        return shown();
    R result = neutral;
    SendToUi([&] { result = shown(); });
    return result;
}

QMessageBox::Icon BoxIcon(unsigned type)
{
    switch (type & 0xF0) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

bool IsYesNo(unsigned type)
{
    return (type & 0x0F) == MB_YESNO;
}

QString StripTrailingPatternList(const QString& description)
{
    QString trimmed = description.trimmed();
    if (trimmed.endsWith(QLatin1Char(')'))) {
        qsizetype open = trimmed.lastIndexOf(QLatin1Char('('));
        if (open > 0)
            return trimmed.left(open).trimmed();
    }
    return trimmed;
}

} // namespace

QStringList QtFileFilters(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            QString p = pattern.trimmed();
            patterns << (p == QStringLiteral("*.*") ? QStringLiteral("*") : p);
        }
        if (patterns.isEmpty())
            continue;
        // Qt reads the patterns from the last parentheses, so a description
        // that already lists them would otherwise list them twice.
        QString description = StripTrailingPatternList(parts[i]);
        filters << QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
    }
    return filters;
}

int QtUiSeam::MessageBox(CDialog* owner, const std::string& text, const std::string& caption, unsigned type)
{
    const int neutral = IsYesNo(type) ? IDNO : IDOK;
    return OnUi(neutral, [&] {
        QMessageBox box(BoxIcon(type),
                        QString::fromStdString(caption.empty() ? ProgramName() : caption),
                        QString::fromStdString(text),
                        IsYesNo(type) ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
                        OwnerWidget(owner));
        box.setTextFormat(Qt::PlainText);
        int answer = box.exec();
        if (!IsYesNo(type))
            return IDOK;
        return answer == QMessageBox::Yes ? IDYES : IDNO;
    });
}

std::optional<std::vector<std::string>> QtUiSeam::GetOpenFileNames(CDialog* owner, const std::string& filter)
{
    using Result = std::optional<std::vector<std::string>>;
    return OnUi(Result(), [&]() -> Result {
        QFileDialog dialog(OwnerWidget(owner));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFiles);
        dialog.setNameFilters(QtFileFilters(filter));
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        std::vector<std::string> files;
        for (const QString& file : dialog.selectedFiles())
            files.push_back(QDir::toNativeSeparators(file).toStdString());
        if (files.empty())
            return std::nullopt;
        return files;
    });
}

std::optional<std::string> QtUiSeam::GetSaveFileName(CDialog* owner, const std::string& defaultName,
                                                     const std::string& defaultExtension,
                                                     const std::string& filter)
{
    using Result = std::optional<std::string>;
    return OnUi(Result(), [&]() -> Result {
        QFileDialog dialog(OwnerWidget(owner));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
        dialog.setNameFilters(QtFileFilters(filter));
        dialog.setDefaultSuffix(QString::fromStdString(defaultExtension));
        dialog.selectFile(QString::fromStdString(defaultName));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return QDir::toNativeSeparators(dialog.selectedFiles().first()).toStdString();
    });
}

std::optional<std::string> QtUiSeam::BrowseForFolder(CDialog* owner, const std::string& title)
{
    using Result = std::optional<std::string>;
    return OnUi(Result(), [&]() -> Result {
        QString folder = QFileDialog::getExistingDirectory(OwnerWidget(owner), QString::fromStdString(title),
                                                           QString(), QFileDialog::ShowDirsOnly);
        if (folder.isEmpty())
            return std::nullopt;
        return QDir::toNativeSeparators(folder).toStdString();
    });
}

int QtUiSeam::ShellOpen(const std::string& target)
{
    // The opener is watched for its first moments before the answer is
    // known; the window cannot repaint meanwhile, so the pointer says why.
    const bool onUi = IsUiThread();
    if (onUi)
        BeginWaitCursor();
    const int result = OpenWithDesktop(target);
    if (onUi)
        EndWaitCursor();
    return result;
}

void InstallWindowedUiSeam()
{
    static QtUiSeam seam;
    SetDefaultUiSeam(&seam);
}
