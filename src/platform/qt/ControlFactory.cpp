#include "platform/qt/ControlFactory.h"

#include "platform/qt/AppIcon.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QStyle>

namespace {

Qt::Alignment StaticAlignment(unsigned style)
{
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (style & CS_CENTER)
        horizontal = Qt::AlignHCenter;
    else if (style & CS_RIGHT)
        horizontal = Qt::AlignRight;
    return horizontal | ((style & CS_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop);
}

QString ButtonText(const QWidget* button, const QString& raw)
{
    QString text = raw;
    if (StyleOf(button) & CS_NOPREFIX)
        text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    if (StyleOf(button) & CS_MULTILINE) {
        const QStyle* style = button->style();
        int indicator = style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, button) +
                        style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, button) + 4;
        text = WrapToWidth(text, button->fontMetrics(), button->width() - indicator);
    }
    return text;
}

QString LabelText(const QWidget* label, const QString& raw)
{
    return (StyleOf(label) & CS_NOPREFIX) ? raw : StripMnemonics(raw);
}

QWidget* NewWidget(const ControlTemplate& c, QWidget* parent)
{
    switch (c.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
        auto* button = new QPushButton(parent);
        button->setAutoDefault(false);
        button->setDefault(c.kind == ControlKind::DefPushButton);
        return button;
    }
    case ControlKind::CheckBox:
        return new QCheckBox(parent);
    case ControlKind::RadioButton: {
        auto* radio = new QRadioButton(parent);
        // Exclusivity follows the template's groups, not the parent.
        radio->setAutoExclusive(false);
        return radio;
    }
    case ControlKind::GroupBox: {
        auto* group = new QGroupBox(parent);
        group->setAttribute(Qt::WA_TransparentForMouseEvents);
        group->setFocusPolicy(Qt::NoFocus);
        return group;
    }
    case ControlKind::Static: {
        auto* label = new QLabel(parent);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(StaticAlignment(c.style));
        label->setWordWrap(true);
        // A static without notify lets the mouse through to what lies below.
        if (!(c.style & CS_NOTIFY))
            label->setAttribute(Qt::WA_TransparentForMouseEvents);
        return label;
    }
    case ControlKind::Icon: {
        auto* icon = new QLabel(parent);
        icon->setPixmap(AppIconPixmap(32));
        icon->setAttribute(Qt::WA_TransparentForMouseEvents);
        return icon;
    }
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(parent);
        edit->setReadOnly(c.style & CS_READONLY);
        edit->setFrame(c.style & CS_BORDER);
        return edit;
    }
    case ControlKind::ListBox: {
        auto* list = new QListWidget(parent);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setSortingEnabled(false);
        list->setUniformItemSizes(true);
        list->setFrameShape(c.style & CS_BORDER ? QFrame::StyledPanel : QFrame::NoFrame);
        return list;
    }
    case ControlKind::DropDownList: {
        auto* combo = new QComboBox(parent);
        combo->setEditable(false);
        for (const std::string& item : c.items)
            combo->addItem(QString::fromStdString(item));
        combo->setCurrentIndex(-1);
        return combo;
    }
    case ControlKind::Progress: {
        auto* progress = new QProgressBar(parent);
        progress->setRange(0, 100);
        progress->setValue(0);
        progress->setTextVisible(false);
        return progress;
    }
    }
    return new QWidget(parent);
}

QRect ControlGeometry(const ControlTemplate& c, const DialogUnits& units, QWidget* widget)
{
    QRect rect = units.Map(c.x, c.y, c.cx, c.cy);
    if (c.kind == ControlKind::DropDownList) {
        // The template's height is that of the dropped list; the closed box
        // is as high as its font needs.
        int closed = widget->fontMetrics().height() + 8;
        rect.setHeight(std::min(rect.height(), closed));
    } else if (c.kind == ControlKind::Icon) {
        rect.setSize(QSize(32, 32));
    }
    return rect;
}

} // namespace

QWidget* CreateControl(const ControlTemplate& c, const DialogUnits& units, QWidget* parent)
{
    QWidget* widget = NewWidget(c, parent);
    widget->setProperty(kControlIdProperty, c.id);
    widget->setProperty(kControlKindProperty, static_cast<int>(c.kind));
    widget->setProperty(kControlStyleProperty, c.style);
    if (c.id != -1)
        widget->setObjectName(QStringLiteral("control%1").arg(c.id));
    widget->setGeometry(ControlGeometry(c, units, widget));
    SetControlText(widget, c.text);
    widget->setEnabled(!(c.style & CS_DISABLED));
    widget->setVisible(!(c.style & CS_HIDDEN));
    if (c.kind == ControlKind::GroupBox)
        widget->lower();
    return widget;
}

ControlKind KindOf(const QWidget* control)
{
    return static_cast<ControlKind>(control->property(kControlKindProperty).toInt());
}

unsigned StyleOf(const QWidget* control)
{
    return control->property(kControlStyleProperty).toUInt();
}

void SetControlText(QWidget* control, const std::string& text)
{
    const QString raw = QString::fromStdString(text);
    switch (KindOf(control)) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
        control->setProperty(kRawTextProperty, raw);
        static_cast<QAbstractButton*>(control)->setText(ButtonText(control, raw));
        break;
    case ControlKind::GroupBox:
        control->setProperty(kRawTextProperty, raw);
        static_cast<QGroupBox*>(control)->setTitle(raw);
        break;
    case ControlKind::Static:
        control->setProperty(kRawTextProperty, raw);
        static_cast<QLabel*>(control)->setText(LabelText(control, raw));
        break;
    case ControlKind::Edit:
        static_cast<QLineEdit*>(control)->setText(raw);
        break;
    case ControlKind::Icon:
    case ControlKind::ListBox:
    case ControlKind::DropDownList:
    case ControlKind::Progress:
        control->setProperty(kRawTextProperty, raw);
        break;
    }
}

std::string ControlText(const QWidget* control)
{
    switch (KindOf(control)) {
    case ControlKind::Edit:
        return static_cast<const QLineEdit*>(control)->text().toStdString();
    case ControlKind::DropDownList:
        return static_cast<const QComboBox*>(control)->currentText().toStdString();
    default:
        return control->property(kRawTextProperty).toString().toStdString();
    }
}

QString StripMnemonics(const QString& text)
{
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) {
            ++i;
        }
        shown.append(text[i]);
    }
    return shown;
}

QString WrapToWidth(const QString& text, const QFontMetrics& metrics, int width)
{
    const QStringList words = text.split(QLatin1Char(' '));
    QString wrapped;
    QString line;
    for (const QString& word : words) {
        QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && metrics.horizontalAdvance(StripMnemonics(candidate)) > width) {
            wrapped += line + QLatin1Char('\n');
            line = word;
        } else {
            line = candidate;
        }
    }
    return wrapped + line;
}
