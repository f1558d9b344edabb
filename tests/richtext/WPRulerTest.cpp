// The rulers beside a shown control: markers where the text has them, and
// drags that change the paragraph, the table or the section, checked in the
// saved RTF and the page setup.

#include "WidgetInput.h"

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/WPRuler.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>

#include <QGridLayout>
#include <QLocale>
#include <QRegularExpression>
#include <QTextDocument>
#include <QTextTable>

#include <gtest/gtest.h>

using namespace zor;
using namespace richtext_test;

namespace {

struct Frame
{
    QWidget host;
    TWPRuler *ruler = new TWPRuler;
    TWPVertRuler *vert = new TWPVertRuler;
    TWPRichText *w = new TWPRichText;
    Frame()
    {
        auto *grid = new QGridLayout(&host);
        grid->setSpacing(0);
        grid->addWidget(ruler, 0, 1);
        grid->addWidget(vert, 1, 0);
        grid->addWidget(w, 1, 1);
        ruler->SetRichText(w);
        vert->SetRichText(w);
        w->SetZoomMode(-10); // the page's text width at 100 %
        host.resize(900, 600);
        host.show();
        QApplication::processEvents();
    }
    QString rtf() const { return QString::fromLatin1(w->Edit().SaveToBytes(QStringLiteral("RTF"))); }
    int count(const QString &pattern) const { return int(rtf().count(QRegularExpression(pattern))); }
};

void drag(QWidget *ruler, QPoint from, QPoint to)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(from), ruler->mapToGlobal(QPointF(from)), Qt::LeftButton,
                      Qt::LeftButton, {});
    QApplication::sendEvent(ruler, &press);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), ruler->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(ruler, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(to), ruler->mapToGlobal(QPointF(to)), Qt::LeftButton,
                        Qt::NoButton, {});
    QApplication::sendEvent(ruler, &release);
}

const QByteArray Paragraph = "{\\rtf1\\ansi\\paperw11906\\paperh16838\\margl1440\\margr1440\\margt1440\\margb1440"
                             "\\pard\\li720\\fi-360\\tx2880 Hello\\tab world\\par}";

} // namespace

// Catches: markers drawn off their paragraph's indents (twips and pixels
// mixed up, the viewport offset or the zoom ignored), a left-indent drag
// that moves the first line too or takes two undo steps.
TEST(WPRuler, IndentsShowAndDrag)
{
    Frame f;
    ASSERT_TRUE(f.w->Edit().LoadFromBytes(Paragraph, QStringLiteral("RTF")));
    QApplication::processEvents();
    const int body = f.ruler->MarkerX(TWPRuler::mkMarginLeft);
    ASSERT_GT(body, 0);
    EXPECT_NEAR(f.ruler->MarkerX(TWPRuler::mkLeftIndent) - body, 48, 1) << "720 twips at 96 dpi";
    EXPECT_NEAR(f.ruler->MarkerX(TWPRuler::mkFirstIndent) - body, 24, 1);
    ASSERT_EQ(f.ruler->TabStopXs().size(), 1);
    EXPECT_NEAR(f.ruler->TabStopXs()[0] - body, 192, 1);
    EXPECT_NEAR(f.ruler->MarkerX(TWPRuler::mkMarginRight) - body, (11906 - 2880) / 15.0, 2);

    f.w->SetZoomMode(200);
    QApplication::processEvents();
    EXPECT_NEAR(f.ruler->MarkerX(TWPRuler::mkLeftIndent) - f.ruler->MarkerX(TWPRuler::mkMarginLeft), 96, 2);
    f.w->SetZoomMode(-10);
    QApplication::processEvents();

    const int left = f.ruler->MarkerX(TWPRuler::mkLeftIndent);
    drag(f.ruler, QPoint(left, 18), QPoint(left + 48, 18));
    EXPECT_EQ(f.count(QStringLiteral("\\\\li1440\\b")), 1) << f.rtf().toStdString();
    EXPECT_EQ(f.count(QStringLiteral("\\\\fi-1080\\b")), 1) << "the first line stays at 360";
    EXPECT_TRUE(f.w->Undo());
    EXPECT_EQ(f.count(QStringLiteral("\\\\li720\\b")), 1) << "one undo step";

    const int first = f.ruler->MarkerX(TWPRuler::mkFirstIndent);
    drag(f.ruler, QPoint(first, 4), QPoint(first + 24, 4));
    EXPECT_EQ(f.count(QStringLiteral("\\\\fi-")), 0) << "the first line moved to the left indent";
    EXPECT_EQ(f.count(QStringLiteral("\\\\li720\\b")), 1) << "the left indent stays";

    const int right = f.ruler->MarkerX(TWPRuler::mkRightIndent);
    drag(f.ruler, QPoint(right, 18), QPoint(right - 48, 18));
    EXPECT_EQ(f.count(QStringLiteral("\\\\ri720\\b")), 1);

    f.w->SetReadOnly(true);
    const QString before = f.rtf();
    drag(f.ruler, QPoint(right - 48, 18), QPoint(right - 96, 18));
    EXPECT_EQ(f.rtf(), before);
}

// Catches: a click that adds no tab stop or one at the wrong place or of the
// wrong kind, the selector not cycling, a tab dragged off the ruler kept.
TEST(WPRuler, TabStopsAddMoveAndGo)
{
    Frame f;
    ASSERT_TRUE(f.w->Edit().LoadFromBytes(Paragraph, QStringLiteral("RTF")));
    QApplication::processEvents();
    const int body = f.ruler->MarkerX(TWPRuler::mkMarginLeft);
    const auto click = [&](QPoint at) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), f.ruler->mapToGlobal(QPointF(at)), Qt::LeftButton,
                          Qt::LeftButton, {});
        QApplication::sendEvent(f.ruler, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), f.ruler->mapToGlobal(QPointF(at)),
                            Qt::LeftButton, Qt::NoButton, {});
        QApplication::sendEvent(f.ruler, &release);
    };
    EXPECT_EQ(f.ruler->TabKind(), QTextOption::LeftTab);
    click(QPoint(1, 10)); // the selector
    EXPECT_EQ(f.ruler->TabKind(), QTextOption::CenterTab);
    click(QPoint(body + 96, 18));
    EXPECT_EQ(f.count(QStringLiteral("\\\\tqc\\\\tx1440\\b")), 1) << f.rtf().toStdString();
    EXPECT_EQ(f.count(QStringLiteral("\\\\tx2880\\b")), 1) << "the old stop stays";
    ASSERT_EQ(f.ruler->TabStopXs().size(), 2);

    const int old = f.ruler->TabStopXs()[1];
    drag(f.ruler, QPoint(old, 18), QPoint(old + 48, 18));
    EXPECT_EQ(f.count(QStringLiteral("\\\\tx3600\\b")), 1);
    const int moved = f.ruler->TabStopXs()[1];
    drag(f.ruler, QPoint(moved, 18), QPoint(moved, 80));
    EXPECT_EQ(f.count(QStringLiteral("\\\\tx3600\\b")), 0) << "dragged off: gone";
    EXPECT_EQ(f.ruler->TabStopXs().size(), 1);
}

// Catches: margin drags that change nothing or the wrong side, a column
// border drag that resizes the wrong column, the vertical ruler's margins
// in the wrong place.
TEST(WPRuler, MarginsAndColumns)
{
    Frame f;
    ASSERT_TRUE(f.w->Edit().LoadFromBytes(Paragraph, QStringLiteral("RTF")));
    QApplication::processEvents();
    const int body = f.ruler->MarkerX(TWPRuler::mkMarginLeft);
    drag(f.ruler, QPoint(body, 6), QPoint(body + 48, 6));
    EXPECT_EQ(f.w->Document().PageSetup(0).MarginLeft, 1440 + 720);
    EXPECT_EQ(f.w->Document().PageSetup(0).MarginRight, 1440);
    EXPECT_TRUE(f.w->Modified());
    QApplication::processEvents();
    const int right = f.ruler->MarkerX(TWPRuler::mkMarginRight);
    drag(f.ruler, QPoint(right, 6), QPoint(right - 24, 6));
    EXPECT_EQ(f.w->Document().PageSetup(0).MarginRight, 1440 + 360);

    f.w->SetZoomMode(-12);
    QApplication::processEvents();
    EXPECT_EQ(f.vert->MarginTopY() >= 0, true);
    EXPECT_NEAR(f.vert->MarginBottomY() - f.vert->MarginTopY(), (16838 - 2880) / 15.0, 2);
    const int top = f.vert->MarginTopY();
    drag(f.vert, QPoint(11, top), QPoint(11, top + 48));
    EXPECT_EQ(f.w->Document().PageSetup(0).MarginTop, 1440 + 720);
    f.w->SetZoomMode(-10);
    QApplication::processEvents();
    EXPECT_EQ(f.vert->MarginTopY(), -1);

    ASSERT_TRUE(f.w->Edit().LoadFromBytes(
        "{\\rtf1\\ansi\\trowd\\cellx2000\\cellx4000\\cellx6000\\pard\\intbl a\\cell b\\cell c\\cell\\row\\pard end\\par}",
        QStringLiteral("RTF")));
    QTextCursor c(f.w->Document().Text());
    c.setPosition(f.w->Document().Text()->find(QStringLiteral("b")).selectionStart());
    f.w->SetTextCursor(c);
    QApplication::processEvents();
    const QList<int> borders = f.ruler->ColumnBorderXs();
    ASSERT_EQ(borders.size(), 3);
    EXPECT_NEAR(borders[1] - borders[0], 2000 / 15.0, 3);
    drag(f.ruler, QPoint(borders[0], 11), QPoint(borders[0] + 48, 11));
    QList<int> edges;
    const QRegularExpression cellx(QStringLiteral("\\\\cellx(\\d+)"));
    for (auto it = cellx.globalMatch(f.rtf()); it.hasNext();)
        edges << it.next().captured(1).toInt();
    ASSERT_EQ(edges.size(), 3);
    EXPECT_NEAR(edges[0], 2720, 40);
    EXPECT_NEAR(edges[1], 4000, 40);
}

// Catches: units not following the locale.
TEST(WPRuler, UnitsFollowTheLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(TWPRuler().Unit(), TWPRulerUnit::Inch);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(TWPVertRuler().Unit(), TWPRulerUnit::Centimetre);
    QLocale::setDefault(saved);
}
