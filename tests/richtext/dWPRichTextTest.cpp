// The load-locked control and the e-mail viewer: what a load leaves behind
// (tabs, undo, the event), that the process-wide lock is really held while
// it runs and released however it ends, and messages shown from files.

#include "WidgetInput.h"

#include <ZorCompCore/core/SyncObjs.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/richtext/dWPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/LoadLock.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QFile>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <thread>

using namespace zor;
using namespace richtext_test;

namespace {

// Whether another thread could take the load lock right now.
bool lockFreeForOthers()
{
    bool free = false;
    std::thread other([&free] {
        free = WPLoadLock().TryEnter();
        if (free)
            WPLoadLock().Leave();
    });
    other.join();
    return free;
}

// Catches: tabs kept when the control does not want them (or replaced when
// it does), the clean-up left on the undo stack, AfterLoadText not called
// or called before the clean-up.
TEST(dWPRichText, TabsBecomeBlanksWhenNotWanted)
{
    struct Row
    {
        const char *name;
        QString text, format;
        bool wantTabs;
        QString expected;
    };
    const Row rows[] = {
        {"text, tabs not wanted", u"a\tb"_qs, u"TXT"_qs, false, u"a b"_qs},
        {"rtf, tabs not wanted", u"{\\rtf1 a\\tab b\\tab\\tab c}"_qs, u"RTF"_qs, false, u"a b  c"_qs},
        {"text, tabs wanted", u"a\tb"_qs, u"TXT"_qs, true, u"a\tb"_qs},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TdWPRichText w;
        w.SetWantTabs(row.wantTabs);
        QString seen;
        int calls = 0;
        w.AfterLoadText = [&](TdWPRichText *sender) {
            EXPECT_EQ(sender, &w);
            seen = sender->PlainText();
            ++calls;
        };
        ASSERT_TRUE(w.LoadFromString(row.text, row.format)) << w.Edit().LastError().toStdString();
        EXPECT_EQ(w.PlainText(), row.expected);
        EXPECT_EQ(seen, row.expected) << "the event sees the cleaned text";
        EXPECT_EQ(calls, 1);
        EXPECT_FALSE(w.CanUndo());
        EXPECT_FALSE(w.Modified());
    }
}

// Catches: a paste taken for a load (AfterLoadText called, the whole text's
// tabs cleaned, the modified flag reset by the clean-up) and pasted tabs kept
// where the control wants none.
TEST(dWPRichText, PastesAreNoLoads)
{
    TdWPRichText w;
    w.SetWantTabs(true);
    int calls = 0;
    w.AfterLoadText = [&](TdWPRichText *) { ++calls; };
    ASSERT_TRUE(w.LoadFromString(u"kept\ttab"_qs, u"TXT"_qs));
    w.SetWantTabs(false);
    auto *data = new QMimeData;
    data->setData(u"text/rtf"_qs, "{\\rtf1 p\\tab q}");
    QGuiApplication::clipboard()->setMimeData(data);
    w.Paste();
    EXPECT_EQ(w.PlainText(), u"p qkept\ttab"_qs);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(w.Modified());
    EXPECT_TRUE(w.Undo());
    EXPECT_EQ(w.PlainText(), u"kept\ttab"_qs) << "one step undoes the paste and its clean-up";
}

// Catches: a load outside the lock, a lock left held after a failed load,
// and a replaced text the control no longer shows or edits.
TEST(dWPRichText, LoadsRunUnderTheProcessLock)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("doc.rtf"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("{\\rtf1 from a file}");
    }
    TdWPRichText w;
    int heldDuringLoad = 0;
    int loads = 0;
    w.AfterLoadText = [&](TdWPRichText *) {
        ++loads;
        heldDuringLoad += !lockFreeForOthers();
    };

    ASSERT_TRUE(w.LoadFromFile(file));
    EXPECT_EQ(w.PlainText(), QStringLiteral("from a file"));
    QByteArray rtf = "{\\rtf1 from a stream}";
    QBuffer stream(&rtf);
    stream.open(QIODevice::ReadOnly);
    ASSERT_TRUE(w.LoadFromStream(stream));
    EXPECT_EQ(w.PlainText(), QStringLiteral("from a stream"));
    ASSERT_TRUE(w.LoadFromString(QStringLiteral("from a string"), QStringLiteral("TXT")));
    EXPECT_EQ(loads, 3);
    EXPECT_EQ(heldDuringLoad, 3);
    EXPECT_TRUE(lockFreeForOthers());

    // Failures keep the text and release the lock.
    EXPECT_FALSE(w.LoadFromFile(dir.filePath(QStringLiteral("missing.rtf"))));
    EXPECT_FALSE(w.LoadFromString(QStringLiteral("whatever"), QStringLiteral("NOSUCHFORMAT")));
    EXPECT_EQ(w.PlainText(), QStringLiteral("from a string"));
    EXPECT_EQ(loads, 3);
    EXPECT_TRUE(lockFreeForOthers());

    // The control edits the loaded text, and saves what it shows.
    QTextCursor c = w.TextCursor();
    c.movePosition(QTextCursor::End);
    w.SetTextCursor(c);
    Type(&w, QStringLiteral("!"));
    QByteArray out;
    QBuffer saved(&out);
    saved.open(QIODevice::WriteOnly);
    ASSERT_TRUE(w.SaveToStream(saved, QStringLiteral("TXT")));
    EXPECT_EQ(out.trimmed(), QByteArray("from a string!"));
    EXPECT_TRUE(lockFreeForOthers());
}

// A message with an HTML body (bold word, a tab) and a text alternative.
QByteArray htmlMessage()
{
    return "From: a@example.org\r\n"
           "To: b@example.org\r\n"
           "Subject: greeting\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: multipart/alternative; boundary=\"xx\"\r\n"
           "\r\n"
           "--xx\r\n"
           "Content-Type: text/plain; charset=utf-8\r\n"
           "\r\n"
           "plain alternative\r\n"
           "--xx\r\n"
           "Content-Type: text/html; charset=utf-8\r\n"
           "\r\n"
           "<html><body><p>Hello <b>mail</b> reader</p></body></html>\r\n"
           "--xx--\r\n";
}

// Catches: the viewer showing the text alternative instead of the HTML
// body, formatting lost on the way through RTF, a viewer that can be typed
// into, a load outside the lock, a missing file passing silently.
TEST(EMLPreviewRichText, ShowsTheMessageReadOnly)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("m.eml"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(htmlMessage());
    }
    TEMLPreviewRichText w;
    bool held = false;
    w.AfterLoadText = [&](TdWPRichText *) { held = !lockFreeForOthers(); };
    ASSERT_TRUE(w.LoadEMLFile(file));
    EXPECT_EQ(w.PlainText().trimmed(), QStringLiteral("Hello mail reader"));
    EXPECT_TRUE(held);
    EXPECT_TRUE(lockFreeForOthers());
    QTextCursor c(w.Document().Text());
    c.setPosition(int(w.PlainText().indexOf(QStringLiteral("mail"))) + 1);
    EXPECT_GE(c.charFormat().fontWeight(), QFont::Bold);

    EXPECT_TRUE(w.ReadOnly());
    Type(&w, QStringLiteral("x"));
    EXPECT_EQ(w.PlainText().trimmed(), QStringLiteral("Hello mail reader"));

    // A text-only message from a stream replaces it.
    TBytesStream text("Subject: t\r\n\r\njust text\r\n");
    ASSERT_TRUE(w.LoadEMLStream(text));
    EXPECT_EQ(w.PlainText(), QStringLiteral("just text"));

    EXPECT_THROW(w.LoadEMLFile(dir.filePath(QStringLiteral("missing.eml"))), EFOpenError);
    EXPECT_EQ(w.PlainText(), QStringLiteral("just text"));
    EXPECT_TRUE(lockFreeForOthers());
}

} // namespace
