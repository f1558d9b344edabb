#include <ZorCompCore/web/MessageEx.h>

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>

#include "TestUtil.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using namespace zor;

namespace {

const QByteArray kMessage =
    "From: a@example.org\r\nSubject: parts\r\nContent-Type: multipart/mixed; boundary=o\r\n\r\n"
    "--o\r\nContent-Type: multipart/related; boundary=r\r\n\r\n"
    "--r\r\nContent-Type: multipart/alternative; boundary=a\r\n\r\n"
    "--a\r\nContent-Type: text/plain\r\n\r\nplain text\r\n"
    "--a\r\nContent-Type: TEXT/HTML\r\n\r\n<p><img src=\"cid:logo.png@01DA\"><img src=\"cid:used\"></p>\r\n--a--\r\n"
    "--r\r\nContent-Type: image/png\r\nContent-ID: <logo.png@01DA>\r\nContent-Disposition: inline\r\n"
    "Content-Transfer-Encoding: base64\r\n\r\nAAEC\r\n"
    "--r\r\nContent-Type: image/gif\r\nContent-ID: <used>\r\nContent-Transfer-Encoding: base64\r\n\r\nR0lG\r\n"
    "--r\r\nContent-Type: image/jpeg\r\nContent-ID: <unused>\r\nContent-Transfer-Encoding: base64\r\n\r\n/9j/\r\n"
    "--r--\r\n"
    "--o\r\nContent-Type: application/pdf; name=\"../../evil.pdf\"\r\nContent-Disposition: inline; filename=\"../../evil.pdf\"\r\n"
    "Content-Transfer-Encoding: base64\r\n\r\nJVBE\r\n--o--\r\n";

QByteArray pngBytes(QSize size, QColor color)
{
    QImage img(size, QImage::Format_ARGB32);
    img.fill(color);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return bytes;
}

// A 1x1 GIF: the format mail clients still send and the writers cannot keep.
const QByteArray kGif64 = "R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7";

// A newsletter as mail clients write it: HTML beside plain text, pictures
// named by content ID, once as written in the ID, once percent-encoded.
QByteArray richMessage(const QByteArray &png)
{
    return "From: a@example.org\r\nSubject: =?utf-8?q?Gr=C3=BC=C3=9Fe?=\r\n"
           "Content-Type: multipart/related; boundary=r\r\n\r\n"
           "--r\r\nContent-Type: multipart/alternative; boundary=a\r\n\r\n"
           "--a\r\nContent-Type: text/plain\r\n\r\nplain only\r\n"
           "--a\r\nContent-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
           "<p>Hello <b>W=C3=B6rld</b><img src=3D\"cid:logo%C3%A4.png\"><img src=3D\"cid:dot%40x\">"
           "<img src=3D\"cid:doc\"><img src=3D\"cid:missing\"><img src=3D\"logo.png\"></p>\r\n--a--\r\n"
           "--r\r\nContent-Type: image/png\r\nContent-ID: <logo%C3%A4.png>\r\nContent-Transfer-Encoding: base64\r\n\r\n"
           + png.toBase64() + "\r\n"
           "--r\r\nContent-Type: image/gif\r\nContent-ID: <dot@x>\r\nContent-Transfer-Encoding: base64\r\n\r\n"
           + kGif64 + "\r\n"
           "--r\r\nContent-Type: application/pdf\r\nContent-ID: <doc>\r\nContent-Transfer-Encoding: base64\r\n\r\nJVBE\r\n"
           "--r--\r\n";
}

// The pictures the text shows, in text order.
QList<const TWPPicture *> shownPictures(const TWPDocument &doc)
{
    QList<const TWPPicture *> out;
    for (QTextBlock b = doc.Text()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                out << doc.Picture(it.fragment().charFormat().stringProperty(wpPictureName));
    return out;
}

QString plainText(const TWPDocument &doc)
{
    QString s = doc.Text()->toPlainText();
    s.remove(QChar::ObjectReplacementCharacter);
    return s.trimmed(); // the line break after </p> is a blank to HTML
}

} // namespace

TEST(MessageEx, TextBodiesByType)
{
    TIdMessageEx m;
    m.Parse(kMessage);
    EXPECT_EQ(TIdMessageEx::GetEmailTextBody(m, QStringLiteral("text/plain")), QStringLiteral("plain text\n"));
    EXPECT_TRUE(TIdMessageEx::GetEmailTextBody(m, QStringLiteral("text/html")).startsWith(QLatin1String("<p>")));
    EXPECT_EQ(TIdMessageEx::GetEmailTextBody(m, QStringLiteral("text/calendar")), QString());
    // Containers and attachments have no content of their own.
    EXPECT_EQ(TIdMessageEx::ExtractContentFromPart(m.MessageParts[0]), QString());
    EXPECT_EQ(TIdMessageEx::ExtractContentFromPart(m.MessageParts[5]), QString());

    TIdMessageEx single;
    single.Parse("Content-Type: text/html\r\n\r\n<b>x</b>\r\n");
    EXPECT_EQ(TIdMessageEx::GetEmailTextBody(single, QStringLiteral("text/html")), QStringLiteral("<b>x</b>\n"));
    EXPECT_EQ(TIdMessageEx::GetEmailTextBody(single, QStringLiteral("text/plain")), QString());
}

TEST(MessageEx, ReplyIndentAndContentIds)
{
    EXPECT_EQ(TIdMessageEx::ConvertToReplyTextIndent(QStringLiteral("a\r\nb\r\n")), QStringLiteral("> a\r\n> b\r\n> "));
    EXPECT_EQ(TIdMessageEx::ConvertToReplyTextIndent(QString()), QStringLiteral("> "));

    const QString html = QStringLiteral("<IMG src=\"a.png\"><img alt=\"\" src=\"G%C3%BC.png\"><img src=\"b.png\">");
    EXPECT_EQ(TIdMessageEx::AddContentIDForHtmlMail(html),
              QStringLiteral("<IMG src=\"cid:a.png\"><img alt=\"\" src=\"cid:G%C3%BC.png\"><img src=\"cid:b.png\">"));
    TStringList names;
    names.Add(QStringLiteral("/tmp/a.png"));
    names.Add(QString::fromUtf8("G\xC3\xBC.png")); // matched through its path encoding
    EXPECT_EQ(TIdMessageEx::AddContentIDForHtmlMail(html, &names),
              QStringLiteral("<IMG src=\"cid:a.png\"><img alt=\"\" src=\"cid:G%C3%BC.png\"><img src=\"b.png\">"));

    const QString cid = QStringLiteral("<img src=\"CID:logo.png@01DA\"><img src=\"x.png\"><img src=\"cid:y\">");
    EXPECT_EQ(TIdMessageEx::RemoveContentIDFromHtmlMail(cid),
              QStringLiteral("<img src=\"logo.png@01DA\"><img src=\"x.png\"><img src=\"y\">"));
    EXPECT_EQ(TIdMessageEx::RemoveContentIDFromHtmlMail(cid, QStringLiteral("file:///t/"), true),
              QStringLiteral("<img src=\"file:///t/logo.png\"><img src=\"x.png\"><img src=\"file:///t/y\">"));

    TMimePart p;
    for (const auto &[raw, id] : {std::pair{"<a@b>", "a@b"}, {"<>", "<>"}, {"a@b", "a@b"}, {"<a", "<a"}}) {
        p.SetContentID(QString::fromLatin1(raw));
        EXPECT_EQ(TIdMessageEx::GetContentID(p), QString::fromLatin1(id)) << raw;
    }
}

TEST(MessageEx, InlineAttachmentsAreSavedInsideTheFolder)
{
    TIdMessageEx m;
    m.Parse(kMessage);
    ASSERT_EQ(m.MessageParts.size(), 8);
    EXPECT_TRUE(m.GetSmartIsInlineAttachment(m.MessageParts[4]));  // inline disposition
    EXPECT_TRUE(m.GetSmartIsInlineAttachment(m.MessageParts[5]));  // cid used by the HTML
    EXPECT_FALSE(m.GetSmartIsInlineAttachment(m.MessageParts[6])); // cid nobody uses
    EXPECT_FALSE(m.GetSmartIsInlineAttachment(m.MessageParts[3])); // the HTML itself

    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("sub"));
    const QStringList saved = m.SaveInlineAttachementsToPath(target);
    QStringList names;
    for (const QString &s : saved)
        names << QFileInfo(s).fileName();
    EXPECT_EQ(names, (QStringList{QStringLiteral("logo.png"), QStringLiteral("used.gif"), QStringLiteral("evil.pdf")}));
    for (const QString &s : saved)
        EXPECT_EQ(QFileInfo(s).absolutePath(), QDir(target).absolutePath());
    QFile f(saved[0]);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("\x00\x01\x02", 3));
}

TEST(MessageEx, LoadingFiles)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("m.eml"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(kMessage);
    f.close();
    TIdMessageEx m;
    m.LoadFromFile(path, true);
    EXPECT_EQ(m.Subject(), QStringLiteral("parts"));
    EXPECT_TRUE(m.MessageParts.isEmpty());
    m.LoadFromFile(path);
    EXPECT_EQ(m.MessageParts.size(), 8);
    EXPECT_THROW(m.LoadFromFile(dir.filePath(QStringLiteral("missing.eml"))), EFOpenError);

    // The rendering starts at the stream's position, the message at the
    // stream's start: the first line runs into the prefix.
    TBytesStream stream("X-Prefix: 1\r\n" + kMessage);
    stream.SetPosition(13);
    m.LoadFromStream(stream);
    EXPECT_EQ(m.Headers.Raw("X-Prefix"), QByteArray("1"));
    EXPECT_EQ(m.Subject(), QStringLiteral("parts"));
    EXPECT_EQ(m.MessageParts.size(), 8);
    EXPECT_EQ(m.RichData()->Document().Info(QStringLiteral("title")), QStringLiteral("parts"));
}

// The reader is registered when the library starts: a plain rich-text edit,
// knowing nothing of mail, loads a message by the format name.
TEST(EmlReader, HtmlBodyWithItsInlinePictures)
{
    const QByteArray png = pngBytes({3, 2}, Qt::green);
    TWPCustomRtfEdit edit;
    ASSERT_TRUE(edit.LoadFromBytes(richMessage(png), QStringLiteral("eml"))) << edit.LastError().toStdString();
    const TWPDocument &doc = edit.Document();
    EXPECT_EQ(plainText(doc), QString::fromUtf8("Hello W\xC3\xB6rld")) << "the HTML body, not the plain one";
    QTextCursor c(doc.Text());
    c.setPosition(plainText(doc).indexOf(u'W') + 1);
    EXPECT_GE(c.charFormat().fontWeight(), QFont::Bold);
    EXPECT_EQ(doc.Info(QStringLiteral("title")), QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e")) << "the subject";

    const QList<const TWPPicture *> shown = shownPictures(doc);
    ASSERT_EQ(shown.size(), 2) << "a PDF, an unknown ID and a file name show nothing";
    ASSERT_TRUE(shown[0] && shown[1]);
    EXPECT_EQ(shown[0]->Data, png) << "matched by the ID as written";
    EXPECT_EQ(shown[1]->Kind, QStringLiteral("png")) << "matched percent-decoded; the GIF kept as PNG";
    QImage dot;
    ASSERT_TRUE(dot.loadFromData(shown[1]->Data));
    EXPECT_EQ(dot.size(), QSize(1, 1));

    // Without HTML the plain text shows, one paragraph per line.
    ASSERT_TRUE(edit.LoadFromBytes("Subject: s\r\n\r\none\r\ntwo\r\n", QStringLiteral("EML")));
    EXPECT_EQ(plainText(edit.Document()), QStringLiteral("one\ntwo"));
    EXPECT_TRUE(shownPictures(edit.Document()).isEmpty());

    // Bytes that are no message are refused; the text stays.
    EXPECT_FALSE(edit.LoadFromBytes("just some text\r\n", QStringLiteral("EML")));
    EXPECT_FALSE(edit.LastError().isEmpty());
    EXPECT_EQ(plainText(edit.Document()), QStringLiteral("one\ntwo"));

    // The module's shut-down takes the reader back, its start-up brings it.
    detail::IndyUtilsShutdown();
    EXPECT_FALSE(edit.LoadFromBytes(richMessage(png), QStringLiteral("EML")));
    detail::IndyUtilsStartup();
    EXPECT_TRUE(edit.LoadFromBytes(richMessage(png), QStringLiteral("EML")));
}

TEST(EmlReader, TheMessageKeepsItsRenderingAcrossLoads)
{
    const QByteArray png = pngBytes({4, 4}, Qt::red);
    TIdMessageEx m;
    EXPECT_EQ(m.RichData(), nullptr);
    EXPECT_TRUE(m.GetBodyAsRTF().isEmpty());

    TBytesStream stream(richMessage(png));
    m.LoadFromStream(stream);
    ASSERT_NE(m.RichData(), nullptr);
    TWPCustomRtfEdit *edit = m.RichData();
    EXPECT_EQ(plainText(edit->Document()), QString::fromUtf8("Hello W\xC3\xB6rld"));
    EXPECT_EQ(shownPictures(edit->Document()).size(), 2);
    EXPECT_EQ(m.MessageParts.size(), 6);
    QByteArray rtf = m.GetBodyAsRTF();
    EXPECT_TRUE(rtf.startsWith("{\\rtf1"));
    rtf.replace("\r", "").replace("\n", "");
    EXPECT_TRUE(rtf.contains(png.toHex())) << "the picture travels into the RTF as read";

    // One edit for the message's life; a text message replaces the HTML one.
    TBytesStream text("Subject: t\r\n\r\nplain\r\n");
    m.LoadFromStream(text);
    EXPECT_EQ(m.RichData(), edit);
    EXPECT_EQ(plainText(edit->Document()), QStringLiteral("plain"));
    EXPECT_TRUE(shownPictures(edit->Document()).isEmpty());

    // Data that is no message leaves an empty rendering, not the last one.
    TBytesStream junk("no headers here\r\n");
    m.LoadFromStream(junk);
    EXPECT_TRUE(plainText(edit->Document()).isEmpty());

    // Moving the message moves its rendering.
    TIdMessageEx moved(std::move(m));
    EXPECT_EQ(moved.RichData(), edit);

    // From a file: the same.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("m.eml"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(richMessage(png));
    f.close();
    moved.LoadFromFile(path, true);
    EXPECT_TRUE(moved.MessageParts.isEmpty());
    EXPECT_EQ(shownPictures(moved.RichData()->Document()).size(), 2) << "headers only for the message, not the view";
}
