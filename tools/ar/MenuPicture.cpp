#include "MenuPicture.h"

#include <QBuffer>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace {

const QString kFamily = QStringLiteral("DejaVu Sans");
const char* const kFontFiles[] = {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                                  "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"};

// The program's dark scheme ("Normal Black").
const QColor kWindow(0x1f, 0x21, 0x25);
const QColor kBase(0x15, 0x17, 0x1a);
const QColor kButton(0x2c, 0x30, 0x36);
const QColor kButtonLine(0x45, 0x4a, 0x52);
const QColor kButtonText(0xec, 0xee, 0xf1);
const QColor kHeadingText(0xff, 0xff, 0xff);
const QColor kAccent(0x2e, 0x6d, 0xb4);
const QColor kLink(0x7d, 0xbb, 0xff);

// Subpicture contrast comes in sixteenths; these are exact steps.
constexpr int kFillAlpha = 0x66;
constexpr int kOpaque = 0xff;

QFont MenuFont(int pixels, bool bold)
{
    QFont font(kFamily);
    font.setPixelSize(pixels);
    font.setBold(bold);
    // Measured and drawn at the same width, whatever the frame's scale.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

void DrawCaption(QPainter& painter, const MenuButton& button, int pixels)
{
    painter.setFont(MenuFont(pixels, false));
    painter.setPen(kButtonText);
    const int padding = pixels * 3 / 5;
    const QRect inside(button.box.x + padding, button.box.y, button.box.width - 2 * padding, button.box.height);
    painter.drawText(inside, Qt::AlignVCenter | (button.centred ? Qt::AlignHCenter : Qt::AlignLeft),
                     QString::fromUtf8(button.caption.c_str()));
}

// Four bars rather than a stroked outline, so no edge pixel is blended.
void FillFrame(QPainter& painter, const QRect& box, int thickness, const QColor& colour)
{
    painter.fillRect(box.x(), box.y(), box.width(), thickness, colour);
    painter.fillRect(box.x(), box.bottom() + 1 - thickness, box.width(), thickness, colour);
    painter.fillRect(box.x(), box.y(), thickness, box.height(), colour);
    painter.fillRect(box.right() + 1 - thickness, box.y(), thickness, box.height(), colour);
}

} // namespace

bool LoadMenuFont(std::string* error)
{
    for (const char* file : kFontFiles)
        QFontDatabase::addApplicationFont(QString::fromUtf8(file));
    if (QFontDatabase::families().contains(kFamily))
        return true;
    *error = "the font DejaVu Sans is not installed (" + std::string(kFontFiles[0]) + ")";
    return false;
}

TextWidth MenuTextWidth()
{
    return [](const std::string& text, int pixels, bool bold) {
        return QFontMetrics(MenuFont(pixels, bold)).horizontalAdvance(QString::fromUtf8(text.c_str()));
    };
}

QImage DrawBackground(const MenuFrame& frame, const MenuPage& page)
{
    QImage image(frame.width, frame.height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    QLinearGradient shade(0, 0, 0, frame.height);
    shade.setColorAt(0, kWindow);
    shade.setColorAt(1, kBase);
    painter.fillRect(image.rect(), shade);
    // Drawn in display pixels; the player widens the stored frame again.
    painter.scale(static_cast<double>(frame.width) / frame.DisplayWidth(), 1.0);

    const int heading = HeadingPixels(frame);
    painter.setFont(MenuFont(heading, true));
    painter.setPen(kHeadingText);
    const Box& box = page.headingBox;
    painter.drawText(QRect(box.x, box.y, box.width, box.height), Qt::AlignCenter,
                     QString::fromUtf8(page.heading.c_str()));
    painter.fillRect(QRectF(box.x, box.Bottom() + heading / 5, box.width, 2), kAccent);

    const int radius = CaptionPixels(frame) / 3;
    for (const MenuButton& button : page.buttons) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(button.box.x + 0.5, button.box.y + 0.5, button.box.width - 1,
                                    button.box.height - 1),
                             radius, radius);
        painter.fillPath(shape, kButton);
        painter.setPen(QPen(kButtonLine, 1));
        painter.drawPath(shape);
        DrawCaption(painter, button, CaptionPixels(frame));
    }
    return image;
}

Box SubpictureBox(const MenuFrame& frame, const Box& box, bool letterbox)
{
    Box stored = ToStored(box, frame);
    if (!letterbox)
        return stored;
    // A letterboxed picture keeps three quarters of its lines, centred.
    const int top = (frame.height / 8 + stored.y * 3 / 4) & ~1;
    const int bottom = (frame.height / 8 + stored.Bottom() * 3 / 4 + 1) & ~1;
    return {stored.x, top, stored.width, bottom - top};
}

QImage DrawButtons(const MenuFrame& frame, const MenuPage& page, ButtonState state, bool letterbox)
{
    QImage image(frame.width, frame.height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints({});
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    QColor fill = state == ButtonState::Highlighted ? kAccent : QColor(Qt::white);
    fill.setAlpha(kFillAlpha);
    QColor edge = state == ButtonState::Highlighted ? kLink : QColor(Qt::white);
    edge.setAlpha(kOpaque);
    const int thickness = std::max(2, frame.height / 144) & ~1;
    for (const MenuButton& button : page.buttons) {
        const Box box = SubpictureBox(frame, button.box, letterbox);
        const QRect rect(box.x, box.y, box.width, box.height);
        painter.fillRect(rect, fill);
        FillFrame(painter, rect, thickness, edge);
    }
    return image;
}

QImage DrawPreview(const MenuFrame& frame, const MenuPage& page, int highlighted)
{
    QImage picture = DrawBackground(frame, page);
    QImage buttons = DrawButtons(frame, page, ButtonState::Highlighted, false);
    const Box box = SubpictureBox(frame, page.buttons.at(static_cast<size_t>(highlighted)).box, false);
    QPainter painter(&picture);
    painter.drawImage(QRect(box.x, box.y, box.width, box.height), buttons,
                      QRect(box.x, box.y, box.width, box.height));
    painter.end();
    // As the TV shows it: square pixels.
    return picture.scaled(frame.DisplayWidth(), frame.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QByteArray PngBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}
