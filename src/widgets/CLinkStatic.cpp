#include "widgets/CLinkStatic.h"

#include "platform/DesktopOpener.h"
#include "platform/Dialog.h"
#include "platform/UiSeam.h"
#include "platform/UiThread.h"
#include "platform/qt/ControlFactory.h"
#include "platform/qt/DialogWindow.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>

namespace {

template <typename F>
void OnUiThread(F&& call)
{
    if (IsUiThread())
        call();
    else
        SendToUi(call);
}

// A skin's style sheet may give labels a colour and a font of its own; the
// link's own sheet must win over it.
bool Skinned()
{
    return qApp && !qApp->styleSheet().isEmpty();
}

// A widget with a sheet of its own takes its font from style sheets alone, so
// the sheet names the template's font too, or the text would outgrow the
// size fitted to it.
QString SkinnedSheet(const QColor& colour, const QFont& font)
{
    QString family = font.family();
    family.replace(QLatin1Char('"'), QString());
    const QString size = font.pointSizeF() > 0 ? QStringLiteral("%1pt").arg(font.pointSizeF())
                                               : QStringLiteral("%1px").arg(font.pixelSize());
    return QStringLiteral("QLabel { color: %1; font-family: \"%2\"; font-size: %3; font-weight: %4; "
                          "text-decoration: %5; }")
        .arg(colour.name(), family, size)
        .arg(static_cast<int>(font.weight()))
        .arg(font.underline() ? QStringLiteral("underline") : QStringLiteral("none"));
}

} // namespace

CLinkStatic::CLinkStatic()
{
    hoverTimer_.setInterval(kHoverTimerMs);
    connect(&hoverTimer_, &QTimer::timeout, this, [this] { HoverEndTest(); });
}

CLinkStatic::~CLinkStatic()
{
    if (label_)
        label_->removeEventFilter(this);
}

bool CLinkStatic::SubclassDlgItem(int id, CDialog* dialog)
{
    bool attached = false;
    OnUiThread([&] {
        auto* label = qobject_cast<QLabel*>(dialog ? dialog->Control(id) : nullptr);
        if (!label || KindOf(label) != ControlKind::Static || label_)
            return;
        label_ = label;
        dialog_ = dialog;
        Attach();
        attached = true;
    });
    return attached;
}

void CLinkStatic::Attach()
{
    // A notifying static takes the mouse; the others let it through.
    label_->setProperty(kControlStyleProperty, StyleOf(label_) | CS_NOTIFY);
    label_->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    label_->setMouseTracking(true);
    // A link is one line; it is sized to its text instead of wrapping.
    label_->setWordWrap(false);

    const std::string text = ControlText(label_);
    if (target_.empty())
        target_ = text;
    if (text.empty())
        SetControlText(label_, target_);

    plainFont_ = label_->font();
    plainFont_.setUnderline(false);
    underlinedFont_ = plainFont_;
    underlinedFont_.setUnderline(true);

    FitToText();
    UseCursor();
    // A mode chosen before attachment takes effect now.
    UseFont(underlineMode_ == 1);
    label_->setToolTip(QString::fromStdString(target_));
    label_->installEventFilter(this);
    ApplyLook();
}

void CLinkStatic::SetLinkTarget(const std::string& target)
{
    OnUiThread([&] {
        target_ = target;
        if (!label_)
            return;
        FitToText();
        UseCursor();
        label_->setToolTip(QString::fromStdString(target_));
    });
}

void CLinkStatic::MarkVisited(bool visited)
{
    OnUiThread([&] {
        visited_ = visited;
        if (label_)
            ApplyLook();
    });
}

void CLinkStatic::SetUnderlineMode(int mode)
{
    OnUiThread([&] {
        if (mode == underlineMode_)
            return;
        if (label_)
            UseFont(mode == 1);
        underlineMode_ = mode;
        if (label_)
            ApplyLook();
    });
}

void CLinkStatic::FitToText()
{
    OnUiThread([&] {
        if (!label_ || !fitToText_)
            return;
        const QRect window = label_->geometry();
        const QRect client = label_->contentsRect();
        const QSize text = QFontMetrics(underlinedFont_).size(0, label_->text());
        const int wantedHeight = text.height() + window.height() - client.height();
        const int wantedWidth = text.width() + window.width() - client.width();
        int left = window.left(), top = window.top();
        int right = window.left() + window.width(), bottom = window.top() + window.height();

        const unsigned style = StyleOf(label_);
        if (style & CS_CENTERIMAGE) {
            const int shrink = (window.height() - wantedHeight) / 2;
            top += shrink;
            bottom -= shrink;
        } else {
            bottom = top + wantedHeight;
        }
        if (style & CS_CENTER) {
            const int shrink = (window.width() - wantedWidth) / 2;
            left += shrink;
            right -= shrink;
        } else if (style & CS_RIGHT) {
            left = right - wantedWidth;
        } else {
            right = left + wantedWidth;
        }
        label_->setGeometry(left, top, right - left, bottom - top);
    });
}

void CLinkStatic::DestroyWindow()
{
    OnUiThread([&] {
        hoverTimer_.stop();
        if (label_) {
            label_->removeEventFilter(this);
            label_->deleteLater();
        }
        label_.clear();
    });
}

int CLinkStatic::OpenLinkTarget(const std::string& target)
{
    return Ui().ShellOpen(target);
}

void CLinkStatic::ShowOpenError(int code)
{
    Ui().MessageBox(dialog_, HyperlinkErrorText(code), "", MB_OK | MB_ICONEXCLAMATION);
}

QColor CLinkStatic::TextColour() const
{
    if (overControl_)
        return hoverColour_;
    return visited_ ? VisitedColour() : LinkColour();
}

QColor CLinkStatic::LinkColour() const
{
    return Skinned() ? qApp->palette().color(QPalette::Link) : linkColour_;
}

QColor CLinkStatic::VisitedColour() const
{
    return Skinned() ? qApp->palette().color(QPalette::LinkVisited) : visitedColour_;
}

bool CLinkStatic::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != label_)
        return false;
    switch (event->type()) {
    case QEvent::MouseMove:
        HoverStart();
        break;
    case QEvent::MouseButtonPress:
        pressed_ = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
        break;
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const bool click = pressed_ && mouse->button() == Qt::LeftButton &&
                           label_->rect().contains(mouse->position().toPoint());
        pressed_ = false;
        if (click) {
            DialogWindow::Dispatch([this] { Click(); });
            return true;
        }
        break;
    }
    default:
        break;
    }
    return false;
}

// With nothing to open the control is plain text: no hand, no hover, and a
// click does nothing rather than report a failed open.
void CLinkStatic::UseCursor()
{
    if (target_.empty())
        label_->unsetCursor();
    else
        label_->setCursor(Qt::PointingHandCursor);
}

void CLinkStatic::HoverStart()
{
    if (overControl_ || target_.empty())
        return;
    overControl_ = true;
    if (underlineMode_ == -1)
        UseFont(true);
    ApplyLook();
    hoverTimer_.start();
}

void CLinkStatic::HoverEndTest()
{
    if (!label_) {
        hoverTimer_.stop();
        return;
    }
    if (label_->rect().contains(label_->mapFromGlobal(QCursor::pos())))
        return;
    overControl_ = false;
    hoverTimer_.stop();
    if (underlineMode_ != 1)
        UseFont(false);
    ApplyLook();
}

void CLinkStatic::Click()
{
    if (target_.empty())
        return;
    overControl_ = false;
    const int result = OpenLinkTarget(target_);
    visited_ = result > 32;
    if (visited_) {
        MarkVisited(true);
        return;
    }
    if (label_)
        ApplyLook();
    QApplication::beep();
    ShowOpenError(result);
}

void CLinkStatic::UseFont(bool underlined)
{
    underlined_ = underlined;
    label_->setFont(underlined ? underlinedFont_ : plainFont_);
}

void CLinkStatic::ApplyLook()
{
    const QColor colour = TextColour();
    QPalette palette = label_->palette();
    palette.setColor(QPalette::WindowText, colour);
    label_->setPalette(palette);
    if (Skinned())
        label_->setStyleSheet(SkinnedSheet(colour, underlined_ ? underlinedFont_ : plainFont_));
    else if (!label_->styleSheet().isEmpty())
        label_->setStyleSheet(QString());
    label_->update();
}
