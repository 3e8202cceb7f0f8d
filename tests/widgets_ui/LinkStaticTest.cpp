// The link control attached to a real static of a dialog template, driven
// with synthesized mouse events offscreen; the open and the error box go to
// the scripted seam.

#include "platform/Dialog.h"
#include "platform/qt/ControlFactory.h"
#include "res/resource.h"
#include "support/ScriptedSeam.h"
#include "support/UiEvents.h"
#include "widgets/CLinkStatic.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QColor kLink(0, 0, 238);
const QColor kVisited(85, 26, 139);
const QColor kHover(255, 0, 0);

// The About box's template as a plain host: its statics are attached by the
// tests, not by the box.
class LinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host_.Create(nullptr));
        host_.Widget()->show();
    }
    void TearDown() override { host_.DestroyWindow(); }

    QLabel* Static(int id) { return qobject_cast<QLabel*>(host_.Control(id)); }

    void MoveOver(CLinkStatic& link)
    {
        QLabel* label = link.Label();
        const QPoint inside = label->rect().center();
        QCursor::setPos(label->mapToGlobal(inside));
        QMouseEvent move(QEvent::MouseMove, inside, label->mapToGlobal(inside), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(label, &move);
    }
    // The pointer leaves; the hover timer notices.
    bool Leave(CLinkStatic& link)
    {
        QCursor::setPos(link.Label()->mapToGlobal(QPoint(-50, -50)));
        return ProcessEventsUntil([&] { return !link.IsOverControl(); }, 5000);
    }

    CDialog host_{IDD_ABOUTBOX};
};

TEST_F(LinkTest, AttachmentTakesTheTextAsTargetOrTheTargetAsText)
{
    CLinkStatic byText;
    ASSERT_TRUE(byText.SubclassDlgItem(IDC_ABOUT_WEB, &host_));
    EXPECT_EQ(byText.GetLinkTarget(), "https://kandrix.example.org/");
    EXPECT_EQ(byText.Label()->toolTip(), "https://kandrix.example.org/");
    EXPECT_EQ(byText.Label()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(byText.Label()->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(byText.TextColour(), kLink);
    EXPECT_FALSE(byText.Label()->font().underline());

    host_.SetDlgItemText(IDC_ABOUT_SUPPORT, "");
    CLinkStatic byTarget;
    byTarget.SetLinkTarget("/media/disc");
    ASSERT_TRUE(byTarget.SubclassDlgItem(IDC_ABOUT_SUPPORT, &host_));
    EXPECT_EQ(host_.GetDlgItemText(IDC_ABOUT_SUPPORT), "/media/disc");

    // A new target replaces the tooltip; the text is the caller's.
    byTarget.SetLinkTarget("/media/other");
    EXPECT_EQ(byTarget.Label()->toolTip(), "/media/other");
    EXPECT_EQ(host_.GetDlgItemText(IDC_ABOUT_SUPPORT), "/media/disc");

    CLinkStatic nothing;
    EXPECT_FALSE(nothing.SubclassDlgItem(IDOK, &host_));
    EXPECT_FALSE(nothing.SubclassDlgItem(4242, &host_));
}

TEST_F(LinkTest, HoverTurnsRedAndUnderlinedUntilThePointerLeaves)
{
    CLinkStatic link;
    ASSERT_TRUE(link.SubclassDlgItem(IDC_ABOUT_WEB, &host_));
    MoveOver(link);
    EXPECT_TRUE(link.IsOverControl());
    EXPECT_EQ(link.TextColour(), kHover);
    EXPECT_EQ(link.Label()->palette().color(QPalette::WindowText), kHover);
    EXPECT_TRUE(link.Label()->font().underline());

    // While the pointer stays inside, the timer's ticks change nothing.
    QTest::qWait(350);
    EXPECT_TRUE(link.IsOverControl());

    ASSERT_TRUE(Leave(link));
    EXPECT_EQ(link.TextColour(), kLink);
    EXPECT_FALSE(link.Label()->font().underline());
}

TEST_F(LinkTest, UnderlineModesAlwaysAndNever)
{
    CLinkStatic always;
    ASSERT_TRUE(always.SubclassDlgItem(IDC_ABOUT_WEB, &host_));
    always.SetUnderlineMode(1);
    EXPECT_TRUE(always.Label()->font().underline());
    MoveOver(always);
    ASSERT_TRUE(Leave(always));
    EXPECT_TRUE(always.Label()->font().underline());

    CLinkStatic never;
    ASSERT_TRUE(never.SubclassDlgItem(IDC_ABOUT_SUPPORT, &host_));
    never.SetUnderlineMode(0);
    MoveOver(never);
    EXPECT_EQ(never.TextColour(), kHover);
    EXPECT_FALSE(never.Label()->font().underline());
    ASSERT_TRUE(Leave(never));
    EXPECT_FALSE(never.Label()->font().underline());
}

TEST_F(LinkTest, FitToTextKeepsTheEdgeTheAlignmentNames)
{
    struct Case {
        int id;
        unsigned style;
    };
    for (const Case& c : {Case{IDC_ABOUT_WEB, CS_NONE}, Case{IDC_ABOUT_SUPPORT, CS_CENTER | CS_CENTERIMAGE},
                          Case{IDC_ABOUT_VERSION, CS_RIGHT}}) {
        QLabel* label = Static(c.id);
        label->setProperty(kControlStyleProperty, StyleOf(label) | c.style);
        label->setGeometry(label->x(), label->y(), 400, 40);
        const QRect before = label->geometry();
        CLinkStatic link;
        ASSERT_TRUE(link.SubclassDlgItem(c.id, &host_));
        QFont underlined = label->font();
        underlined.setUnderline(true);
        const QSize text = QFontMetrics(underlined).size(0, label->text());
        const QRect after = label->geometry();
        SCOPED_TRACE(c.id);
        if (c.style & CS_CENTER) {
            // Shrunk equally at both sides, so an odd surplus leaves one pixel.
            EXPECT_LE(after.width() - text.width(), 1);
            EXPECT_LE(after.height() - text.height(), 1);
            EXPECT_LE(std::abs(after.center().x() - before.center().x()), 1);
            EXPECT_LE(std::abs(after.center().y() - before.center().y()), 1);
        } else if (c.style & CS_RIGHT) {
            EXPECT_EQ(after.size(), text);
            EXPECT_EQ(after.right(), before.right());
            EXPECT_EQ(after.top(), before.top());
        } else {
            EXPECT_EQ(after.size(), text);
            EXPECT_EQ(after.topLeft(), before.topLeft());
        }
    }
}

TEST_F(LinkTest, AClickHandsTheTargetIntactToTheShellAndMarksTheLinkVisited)
{
    ScriptedSeam seam;

    CLinkStatic link;
    const std::string target = "-r /media/a b/\"q\" $HOME 'x'";
    link.SetLinkTarget(target);
    ASSERT_TRUE(link.SubclassDlgItem(IDC_ABOUT_WEB, &host_));
    MoveOver(link);
    QTest::mouseClick(link.Label(), Qt::LeftButton, Qt::NoModifier, link.Label()->rect().center());
    EXPECT_EQ(seam.ShellTargets(), std::vector<std::string>{target});
    EXPECT_TRUE(link.IsVisited());
    EXPECT_FALSE(link.IsOverControl());
    EXPECT_EQ(link.TextColour(), kVisited);
    EXPECT_TRUE(seam.Boxes().empty());
}

TEST_F(LinkTest, AFailedOpenShowsTheErrorAndClearsVisited)
{
    ScriptedSeam seam;
    seam.AnswerShell(31);

    CLinkStatic link;
    ASSERT_TRUE(link.SubclassDlgItem(IDC_ABOUT_WEB, &host_));
    link.MarkVisited(true);
    EXPECT_EQ(link.TextColour(), kVisited);
    QTest::mouseClick(link.Label(), Qt::LeftButton, Qt::NoModifier, link.Label()->rect().center());
    ASSERT_EQ(seam.Boxes().size(), 1u);
    EXPECT_EQ(seam.Boxes()[0].text,
              "Unable to open hyperlink:\n\nThere is no application associated\nwith the given filename extension.");
    EXPECT_EQ(seam.Boxes()[0].type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(seam.Boxes()[0].owner, &host_);
    EXPECT_FALSE(link.IsVisited());
    EXPECT_EQ(link.TextColour(), kLink);
}

TEST_F(LinkTest, WithoutATargetTheControlIsPlainText)
{
    ScriptedSeam seam;
    CLinkStatic link;
    ASSERT_TRUE(link.SubclassDlgItem(IDC_ABOUT_WEB, &host_));
    link.SetLinkTarget("");
    EXPECT_NE(link.Label()->cursor().shape(), Qt::PointingHandCursor);
    MoveOver(link);
    EXPECT_FALSE(link.IsOverControl());
    QTest::mouseClick(link.Label(), Qt::LeftButton, Qt::NoModifier, link.Label()->rect().center());
    EXPECT_TRUE(seam.ShellTargets().empty());
    EXPECT_TRUE(seam.Boxes().empty());
    EXPECT_FALSE(link.IsVisited());

    link.SetLinkTarget("/media/disc");
    EXPECT_EQ(link.Label()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(link.Label(), Qt::LeftButton, Qt::NoModifier, link.Label()->rect().center());
    EXPECT_EQ(seam.ShellTargets(), std::vector<std::string>{"/media/disc"});
}

TEST_F(LinkTest, UnderASkinTheColoursComeFromThePalette)
{
    const QPalette original = QApplication::palette();
    QPalette dark = original;
    dark.setColor(QPalette::Link, QColor(120, 180, 255));
    dark.setColor(QPalette::LinkVisited, QColor(200, 150, 255));
    QApplication::setPalette(dark);
    qApp->setStyleSheet("QLabel { color: #eeeeee; }");

    CLinkStatic link;
    ASSERT_TRUE(link.SubclassDlgItem(IDC_ABOUT_WEB, &host_));
    const QColor linkColour = link.TextColour();
    const QString sheet = link.Label()->styleSheet();
    link.MarkVisited(true);
    const QColor visitedColour = link.TextColour();
    MoveOver(link);
    const QColor hoverColour = link.TextColour();
    const QString hoverSheet = link.Label()->styleSheet();

    qApp->setStyleSheet(QString());
    QApplication::setPalette(original);
    EXPECT_EQ(linkColour, QColor(120, 180, 255));
    EXPECT_TRUE(sheet.contains("#78b4ff")) << sheet.toStdString();
    EXPECT_EQ(visitedColour, QColor(200, 150, 255));
    EXPECT_EQ(hoverColour, kHover);
    EXPECT_TRUE(sheet.contains("text-decoration: none")) << sheet.toStdString();
    EXPECT_TRUE(hoverSheet.contains("#ff0000")) << hoverSheet.toStdString();
    EXPECT_TRUE(hoverSheet.contains("text-decoration: underline")) << hoverSheet.toStdString();
}

} // namespace
