#include <ZorCompCore/web/MessageEx.h>

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>

#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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

    // From the stream's position on.
    TBytesStream stream("garbage" + kMessage);
    stream.SetPosition(7);
    m.LoadFromStream(stream);
    EXPECT_EQ(m.Subject(), QStringLiteral("parts"));
}
