// Misspelling marks on a QTextDocument: where they go, that they never reach
// the document (modified flag, undo stack, saved RTF), that an edit checks
// only its block, and that a long text is checked in slices with the view's
// blocks first.
#include "TestUtil.h"

#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>
#include <ZorCompCore/richtext/spell/SpellAsYouGo.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

using namespace zor;

namespace {

QList<QTextLayout::FormatRange> marks(const QTextBlock &b)
{
    QList<QTextLayout::FormatRange> r;
    for (const QTextLayout::FormatRange &f : b.layout()->formats())
        if (f.format.hasProperty(TWPSpellAsYouGo::MarkProperty))
            r << f;
    return r;
}

QStringList markedWords(const QTextDocument &doc)
{
    QStringList w;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (const QTextLayout::FormatRange &f : marks(b))
            w << b.text().mid(f.start, f.length);
    return w;
}

// Runs the event loop until the marker has nothing left; false if it never gets there.
bool waitIdle(TWPSpellAsYouGo &s)
{
    for (int i = 0; i < 1000000 && !s.IsIdle(); ++i)
        QCoreApplication::processEvents();
    return s.IsIdle();
}

// Reddish pixels (the wave is thin and antialiased) in the document as its
// layout draws it.
int redPixels(QTextDocument &doc)
{
    QImage img(600, 200, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    doc.drawContents(&p);
    p.end();
    int red = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            red += c.red() - c.green() > 60;
        }
    return red;
}

struct English
{
    TWPSpellController controller;
    English() { controller.SetCurrentLanguage(wpLangEnglishUS); }
};

} // namespace

// Catches: marks at the wrong offsets or in the wrong block, not wavy, or
// left behind when the marker detaches.
TEST(SpellAsYouGo, MarksKnownMisspellings)
{
    English en;
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("Teh cat sat on the mat.\nA secnd line, all fine.\nNothing here."));
    TWPSpellAsYouGo s(&en.controller);
    s.Attach(&doc);
    ASSERT_TRUE(waitIdle(s));
    EXPECT_EQ(markedWords(doc), QStringList({QStringLiteral("Teh"), QStringLiteral("secnd")}));
    const QList<QTextLayout::FormatRange> first = marks(doc.begin());
    ASSERT_EQ(first.size(), 1);
    EXPECT_EQ(first[0].format.underlineStyle(), QTextCharFormat::WaveUnderline);

    const int secnd = int(doc.toPlainText().indexOf(QStringLiteral("secnd")));
    const TWPSpellError e = s.MisspellingAt(secnd + 2);
    EXPECT_EQ(e.Start, secnd);
    EXPECT_EQ(e.Word, QStringLiteral("secnd"));
    EXPECT_EQ(s.MisspellingAt(secnd + 8).Length, 0);

    // Drawn, not only stored: new formats drop a layout's lines, and a block
    // not laid out again would lose its text as well as the marks.
    EXPECT_GT(redPixels(doc), 10);
    EXPECT_TRUE(doc.begin().layout()->lineCount() > 0);

    s.Attach(nullptr);
    EXPECT_TRUE(markedWords(doc).isEmpty());
    EXPECT_EQ(redPixels(doc), 0);
}

// Catches: marks written as character formats (mergeCharFormat and the
// like), which set the modified flag, add undo steps and end up in the file;
// and other layout formats (a highlighter's) being thrown away.
TEST(SpellAsYouGo, MarksAreLayoutFormatsOnly)
{
    English en;
    TWPCustomRtfEdit edit;
    ASSERT_TRUE(edit.LoadFromBytes("{\\rtf1\\ansi Teh {\\b bold} wrd here.\\par Second paragrahp.\\par}", u"RTF"_qs));
    QTextDocument &doc = *edit.Document().Text();
    doc.setModified(false);
    const QByteArray rtfBefore = edit.SaveToBytes(u"RTF"_qs);
    const QString htmlBefore = doc.toHtml();
    const int undoBefore = doc.availableUndoSteps();

    QTextCharFormat other;
    other.setBackground(Qt::yellow);
    QTextLayout *layout = doc.begin().layout();
    layout->setFormats({QTextLayout::FormatRange{0, 2, other}});

    TWPSpellAsYouGo s(&en.controller);
    s.Attach(&doc);
    ASSERT_TRUE(waitIdle(s));
    ASSERT_EQ(markedWords(doc), QStringList({u"Teh"_qs, u"wrd"_qs, u"paragrahp"_qs}));
    EXPECT_FALSE(doc.isModified());
    EXPECT_EQ(doc.availableUndoSteps(), undoBefore);
    EXPECT_EQ(doc.toHtml(), htmlBefore);
    EXPECT_EQ(edit.SaveToBytes(u"RTF"_qs), rtfBefore);
    EXPECT_EQ(layout->formats().size(), 3);  // "Teh", "wrd" and the highlight
    EXPECT_EQ(layout->formats().first().format.background().color(), QColor(Qt::yellow));

    s.Attach(nullptr);
    ASSERT_EQ(layout->formats().size(), 1);
    EXPECT_FALSE(layout->formats().first().format.hasProperty(TWPSpellAsYouGo::MarkProperty));
}

// Catches: an edit re-checking the whole document (or nothing), marks of
// other blocks lost when one block changes, words added to the dictionary
// staying marked.
TEST(SpellAsYouGo, ChangeRechecksOnlyItsBlock)
{
    English en;
    QTextDocument doc;
    QStringList lines;
    for (int i = 0; i < 40; ++i)
        lines << (i == 5 ? QStringLiteral("Line with a mistaek,") : QStringLiteral("The cat sat on the mat."));
    doc.setPlainText(lines.join(u'\n'));
    TWPSpellAsYouGo s(&en.controller);
    s.Attach(&doc);
    ASSERT_TRUE(waitIdle(s));
    ASSERT_EQ(markedWords(doc), QStringList{u"mistaek"_qs});

    QList<int> checked;
    QObject::connect(&s, &TWPSpellAsYouGo::BlockChecked, [&](int pos) { checked << pos; });
    const QTextBlock target = doc.findBlockByNumber(20);
    QTextCursor cur(target);
    cur.movePosition(QTextCursor::NextWord);  // before "cat"
    cur.insertText(QStringLiteral("blak "));
    ASSERT_TRUE(waitIdle(s));
    EXPECT_EQ(checked, QList<int>{target.position()});
    EXPECT_EQ(markedWords(doc), QStringList({u"mistaek"_qs, u"blak"_qs}));

    // Joining two blocks re-checks the joined one.
    checked.clear();
    QTextCursor join(doc.findBlockByNumber(5));
    join.movePosition(QTextCursor::EndOfBlock);
    join.deleteChar();
    ASSERT_TRUE(waitIdle(s));
    EXPECT_EQ(checked, QList<int>{doc.findBlockByNumber(5).position()});
    EXPECT_EQ(markedWords(doc), QStringList({u"mistaek"_qs, u"blak"_qs}));

    en.controller.AddWord(QStringLiteral("mistaek"));
    ASSERT_TRUE(waitIdle(s));
    EXPECT_EQ(markedWords(doc), QStringList{u"blak"_qs});
}

// Catches: checking the whole text inside Attach (the event loop stops
// until it is done), the view's blocks not going first.
TEST(SpellAsYouGo, LongTextIsCheckedInSlicesViewFirst)
{
    English en;
    QTextDocument doc;
    QString text;
    for (int p = 0; p < 12000; ++p)  // about 400 pages
        text += QStringLiteral("Paragraph %1 has a typo: recieve the letter and send it back.\n").arg(p);
    doc.setPlainText(text);

    const QTextBlock view = doc.findBlockByNumber(9000);
    TWPSpellAsYouGo s(&en.controller);
    s.SetVisibleRange(view.position(), view.position() + 300);
    QList<int> checked;
    QObject::connect(&s, &TWPSpellAsYouGo::BlockChecked, [&](int pos) { checked << pos; });
    int ticks = 0;
    QTimer other;
    other.setInterval(0);
    QObject::connect(&other, &QTimer::timeout, [&] { ++ticks; });
    other.start();
    int finished = 0;
    QObject::connect(&s, &TWPSpellAsYouGo::Finished, [&finished] { ++finished; });

    s.Attach(&doc);
    EXPECT_TRUE(checked.isEmpty());
    ASSERT_TRUE(waitIdle(s));
    EXPECT_EQ(finished, 1);
    EXPECT_GT(ticks, 10);
    ASSERT_EQ(checked.size(), 12001);
    EXPECT_EQ(checked.first(), view.position());
    EXPECT_EQ(marks(doc.findBlockByNumber(11999)).size(), 1);
}
