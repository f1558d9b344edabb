#include <ZorCompCore/web/mime/MimeMessage.h>

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/web/EmailSenderUtils.h>

#include "TestUtil.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

using namespace zor;

namespace {

// Python's email package is the independent reader both sides are checked
// against (policy=default: the modern, strict parser).
QJsonObject pythonView(const QByteArray &bytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("m.eml"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return {};
    f.close();
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(ZOR_TEST_DATA "/mail/mime_view.py"), path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        ADD_FAILURE() << "python: " << p.readAllStandardError().toStdString();
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

// Python keeps the line breaks of the data and ends a text as it ends; our
// TStringList ends every line with one break. Compare texts with LF breaks
// and without the final break.
QString sameBreaks(QString s)
{
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    while (s.endsWith(u'\n'))
        s.chop(1);
    return s;
}

// Our reading, in the shape mime_view.py prints.
QJsonArray ourParts(const TMimeMessage &m)
{
    QJsonArray out;
    for (const TMimePart &p : m.MessageParts) {
        QJsonObject o{{"type", p.ContentType()}, {"parent", p.ParentPart}};
        if (!(p.IsMultipart() && !p.IsAttachment)) {
            o[QStringLiteral("filename")] = p.FileName();
            o[QStringLiteral("cid")] = p.ContentID();
            o[QStringLiteral("disposition")] = p.ContentDisposition();
            if (!p.IsAttachment) {
                o[QStringLiteral("text")] = sameBreaks(p.Body.Text());
            } else if (!p.ContentType().startsWith(QLatin1String("message/"))) {
                o[QStringLiteral("sha256")] = QString::fromLatin1(
                    QCryptographicHash::hash(p.Data(), QCryptographicHash::Sha256).toHex());
                o[QStringLiteral("size")] = p.DataSize();
            }
        }
        out.append(o);
    }
    return out;
}

QJsonArray normalisedPython(QJsonArray parts)
{
    for (qsizetype i = 0; i < parts.size(); ++i) {
        QJsonObject o = parts[i].toObject();
        if (o.contains(QStringLiteral("text")))
            o[QStringLiteral("text")] = sameBreaks(o[QStringLiteral("text")].toString());
        parts[i] = o;
    }
    return parts;
}

QJsonArray addressJson(const QList<TMimeAddress> &list)
{
    QJsonArray out;
    for (const TMimeAddress &a : list)
        out.append(QJsonArray{a.Name, a.Address});
    return out;
}

// Our view of bytes must be Python's view of them.
void expectSameAsPython(const QByteArray &bytes, bool expectNoDefects = true)
{
    TMimeMessage m;
    m.Parse(bytes);
    const QJsonObject py = pythonView(bytes);
    ASSERT_FALSE(py.isEmpty());
    if (expectNoDefects) {
        EXPECT_TRUE(py[QStringLiteral("defects")].toArray().isEmpty())
            << QJsonDocument(py[QStringLiteral("defects")].toArray()).toJson().toStdString();
    }
    EXPECT_EQ(m.Subject(), py[QStringLiteral("subject")].toString());
    EXPECT_EQ(addressJson(m.From()), py[QStringLiteral("from")].toArray());
    EXPECT_EQ(addressJson(m.To()), py[QStringLiteral("to")].toArray());
    EXPECT_EQ(ourParts(m), normalisedPython(py[QStringLiteral("parts")].toArray()))
        << "ours:   " << QJsonDocument(ourParts(m)).toJson(QJsonDocument::Compact).toStdString() << "\npython: "
        << QJsonDocument(py[QStringLiteral("parts")].toArray()).toJson(QJsonDocument::Compact).toStdString();
    if (py.contains(QStringLiteral("body"))) {
        EXPECT_EQ(sameBreaks(m.Body.Text()), sameBreaks(py[QStringLiteral("body")].toString()));
    }
    TDateTime utc = 0;
    if (m.Date(utc)) {
        EXPECT_NEAR(double(DateTimeToUnix(utc)), py[QStringLiteral("date")].toDouble(), 1.0);
    }
}

QByteArray lf(const char *s)
{
    return QByteArray(s);
}

QByteArray crlf(const char *s)
{
    return QByteArray(s).replace("\n", "\r\n");
}

} // namespace

TEST(MimeMessage, ReaderAgreesWithPython)
{
    struct Row
    {
        const char *name;
        QByteArray data;
        bool clean = true; // Python finds no defect
    };
    const Row rows[] = {
        {"latin-1 and shift_jis words, nested parts, CRLF",
         crlf("From: =?iso-8859-1?q?J=FCrgen_M=FCller?= <jm@example.org>\n"
              "To: \"Team, all\" <team@example.org>, other@example.org\n"
              "Subject: =?Shift_JIS?B?k/qWe4zq?= und\n =?iso-8859-1?q?Gr=FC=DFe?=\n"
              "Date: Fri, 21 Nov 1997 09:55:06 -0600\n"
              "MIME-Version: 1.0\n"
              "Content-Type: multipart/mixed; boundary=\"outer\"\n\n"
              "preamble\n--outer\n"
              "Content-Type: multipart/alternative; boundary=inner\n\n"
              "--inner\nContent-Type: text/plain; charset=iso-8859-1\n"
              "Content-Transfer-Encoding: quoted-printable\n\nGr=FC=DFe=\n aus K=F6ln\n"
              "--inner\nContent-Type: text/html; charset=utf-8\nContent-Transfer-Encoding: base64\n\n"
              "PHA+R3LDvMOfZTwvcD4=\n--inner--\n"
              "--outer\nContent-Type: application/pdf; name=\"x.pdf\"\n"
              "Content-Disposition: attachment; filename*0*=utf-8''%C3%A4rger;\n filename*1=\".pdf\"\n"
              "Content-Transfer-Encoding: base64\n\nJVBERi0xLjQK\n"
              "--outer\nContent-Type: image/png\nContent-ID: <logo@x>\nContent-Disposition: inline\n"
              "Content-Transfer-Encoding: base64\n\niVBORw0KGgo=\n--outer--\nepilogue\n")},
        {"LF only and no closing boundary",
         lf("From: a@example.org\nSubject: plain\nContent-Type: multipart/mixed; boundary=b\n\n"
            "--b\nContent-Type: text/plain\n\nfirst\n--b\nContent-Type: text/plain; charset=utf-8\n"
            "Content-Transfer-Encoding: 8bit\n\nzweite Zeile \xC3\xBC\nand more\n"),
         false},
        {"single text part in windows-1252",
         crlf("From: \"B\" <b@example.org>\nSubject: simple\nContent-Type: text/plain; charset=windows-1252\n"
              "Content-Transfer-Encoding: quoted-printable\n\n=80 und =E4\nline two\n")},
        {"message/rfc822 kept whole, text attachment",
         crlf("From: c@example.org\nSubject: fwd\nContent-Type: multipart/mixed; boundary=\"z\"\n\n"
              "--z\nContent-Type: text/plain\n\nsee below\n--z\nContent-Type: message/rfc822\n\n"
              "From: d@example.org\nSubject: inner\n\ninner body\n"
              "--z\nContent-Type: text/csv; name=t.csv\nContent-Disposition: attachment; filename=t.csv\n\n"
              "a;b\n1;2\n--z--\n")},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        expectSameAsPython(r.data, r.clean);
    }
}

TEST(MimeMessage, ReaderKeepsHeadersAsWritten)
{
    TMimeMessage m;
    m.Parse(crlf("Received: one\nX-Note: a\nreceived: two\n\tfolded\nSubject: \xC3\xA4 8-bit\n"
                 "X-Latin: \xE4\n\nbody\n"));
    EXPECT_EQ(m.Headers.RawAll("RECEIVED"), (QList<QByteArray>{"one", "two\tfolded"}));
    EXPECT_EQ(m.Headers.At(2).Name, QByteArray("received"));
    EXPECT_EQ(m.Subject(), QString::fromUtf8("\xC3\xA4 8-bit"));
    EXPECT_EQ(m.Headers.Text("x-latin"), QString::fromUtf8("\xC3\xA4"));
    EXPECT_EQ(m.Body.Text(), QStringLiteral("body\n"));
    // A line that is no header starts the body.
    m.Parse("Subject: s\nthis is not a header\nmore\n");
    EXPECT_EQ(m.Body.Count(), 2);
    EXPECT_EQ(m.Subject(), QStringLiteral("s"));
}

// The message's own Content-Disposition described the content it was read
// with; written again, the content is ours, and an old "attachment" over a
// text body (or over the multipart holding the attachment) would turn the
// body into an attachment on the next read.
TEST(MimeMessage, WritingDropsTheOldTopLevelDisposition)
{
    const QByteArray inputs[] = {
        // a multipart whose boundary never closes: read as a text body
        crlf("Subject: x\nContent-Type: multipart/mixed; boundary=\"never\n"
             "Content-Disposition: attachment; filename=a.bin\n\nhello\n"),
        // a single attachment: written as a multipart holding it
        crlf("Subject: x\nContent-Disposition: attachment; filename=a.bin\n\nhello\n"),
    };
    for (const QByteArray &input : inputs) {
        TMimeMessage first;
        first.Parse(input);
        TMimeMessage second;
        second.Parse(first.ToBytes());
        ASSERT_EQ(second.MessageParts.size(), first.MessageParts.size()) << input.constData();
        EXPECT_EQ(second.Body.Text(), first.Body.Text());
        EXPECT_FALSE(second.Headers.Has("Content-Disposition"));
    }
}

// Folding never writes a continuation line of blanks only (readers take it
// for the end of the header block), even for a long value ending in blanks.
TEST(MimeMessage, FoldingWritesNoBlankContinuationLines)
{
    TMimeMessage m;
    m.Headers.Add("Subject", QByteArray(120, '}') + "  ");
    m.Headers.Add("X-Note", QByteArray(70, 'a') + " " + QByteArray(30, 'b') + " ");
    m.Body.SetText(QStringLiteral("x"));
    const QByteArray bytes = m.ToBytes();
    const QByteArray head = bytes.left(bytes.indexOf("\r\n\r\n") + 2);
    for (const QByteArray &line : head.split('\n'))
        EXPECT_FALSE(!line.isEmpty() && line.trimmed().isEmpty()) << bytes.constData();
    TMimeMessage again;
    again.Parse(bytes);
    EXPECT_EQ(again.Subject(), QString(120, u'}'));
}

// Text that reads with a blank at its end (here before a word that decodes
// to nothing) keeps it when written: in an encoded word, not as a bare blank
// the next reader drops.
TEST(MimeMessage, ABlankAtTheEndOfDecodedTextSurvivesWriting)
{
    TMimeMessage m;
    m.Parse("Subject: Total =?utf-8?B?\xff?=\r\nComments: =?utf-8?Q?_x?= \xff\r\n\r\nbody\r\n");
    ASSERT_EQ(m.Subject(), QStringLiteral("Total "));
    TMimeMessage again;
    again.Parse(m.ToBytes());
    EXPECT_EQ(again.Subject(), QStringLiteral("Total "));
    EXPECT_EQ(DecodeHeaderWords(again.Headers.Raw("Comments")), DecodeHeaderWords(m.Headers.Raw("Comments")));
}

// Every seed of the message fuzz corpus, the inputs that once broke it
// among them: read, written and read again, the parts, their texts and
// contents and the subject are the same.
TEST(MimeMessage, FuzzCorpusSeedsSurviveWritingAndReading)
{
    const QDir corpus(QStringLiteral(ZOR_SOURCE_DIR "/fuzz/corpus/mime_message"));
    const QStringList seeds = corpus.entryList(QDir::Files);
    ASSERT_GE(seeds.size(), 5);
    for (const QString &name : seeds) {
        SCOPED_TRACE(name.toStdString());
        QFile f(corpus.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        TMimeMessage first, second;
        first.Parse(f.readAll());
        second.Parse(first.ToBytes());
        EXPECT_EQ(first.Subject(), second.Subject());
        ASSERT_EQ(first.MessageParts.size(), second.MessageParts.size());
        for (qsizetype i = 0; i < first.MessageParts.size(); ++i) {
            const TMimePart &a = first.MessageParts[i], &b = second.MessageParts[i];
            EXPECT_EQ(a.ParentPart, b.ParentPart);
            EXPECT_EQ(a.ContentType(), b.ContentType());
            if (!a.IsAttachment && !a.IsMultipart()) {
                EXPECT_EQ(a.Body.Text(), b.Body.Text());
            } else if (a.IsAttachment && !a.ContentType().startsWith(QLatin1String("message/"))) {
                EXPECT_TRUE(a.Data() == b.Data());
            }
        }
    }
}

// The reader jumps from one occurrence of the delimiter to the next: only
// those at a line start that end their line (after "--" and blanks) split.
TEST(MimeMessage, DelimitersCountOnlyAsWholeLines)
{
    TMimeMessage m;
    m.Parse("Content-Type: multipart/mixed; boundary=b\n\n--b\n\nsee --b\n--bx\n--b-- not the end\n"
            "--b \t\nsecond\r\n--b--\r\nepilogue\n--b\n\nignored\n");
    ASSERT_EQ(m.MessageParts.size(), 2);
    EXPECT_EQ(m.MessageParts[0].Body.Text(), QStringLiteral("see --b\n--bx\n--b-- not the end\n"));
    EXPECT_EQ(m.MessageParts[1].Body.Text(), QStringLiteral("second\n"));
}

// A large attachment read from a message lives in a temporary file, not in
// memory; its content reads back the same, also from two threads at once,
// and copies of the part share it until one of them is given new content.
TEST(MimeMessage, LargeAttachmentsAreKeptInTemporaryFiles)
{
    QByteArray big(3 * 1024 * 1024 + 17, Qt::Uninitialized);
    for (qsizetype i = 0; i < big.size(); ++i)
        big[i] = char((i * 131 + i / 4096) & 0xFF);
    TMimeMessage m;
    m.SetContentType(QStringLiteral("multipart/mixed"));
    TMimePart small, large;
    for (TMimePart *p : {&small, &large}) {
        p->SetContentType(QStringLiteral("application/octet-stream"));
        p->SetAttachment(QStringLiteral("attachment"), p == &small ? QStringLiteral("s.bin") : QStringLiteral("l.bin"));
    }
    small.SetData("tiny");
    large.SetData(big);
    EXPECT_FALSE(small.DataSwapped());
    EXPECT_TRUE(large.DataSwapped());
    m.MessageParts << small << large;

    TMimeMessage read;
    read.Parse(m.ToBytes());
    ASSERT_EQ(read.MessageParts.size(), 2);
    const TMimePart &got = read.MessageParts[1];
    EXPECT_TRUE(got.DataSwapped());
    EXPECT_EQ(got.DataSize(), big.size());
    // Each read seeks the one stream: unlocked, the tsan preset reports the
    // race (a plain build rarely shows it).
    std::atomic<int> wrong = 0;
    auto readMany = [&] {
        for (int i = 0; i < 10; ++i)
            wrong += got.Data() != big;
    };
    std::thread a(readMany), b(readMany);
    a.join();
    b.join();
    EXPECT_EQ(wrong, 0);
    TMemoryStream saved;
    got.SaveDataToStream(saved);
    EXPECT_TRUE(saved.ToBytes() == big);

    TMimePart copy = got;
    copy.SetData("replaced");
    EXPECT_EQ(got.DataSize(), big.size());
    EXPECT_EQ(copy.Data(), QByteArray("replaced"));
    EXPECT_EQ(read.MessageParts[0].Data(), QByteArray("tiny"));
}

TEST(MimeMessage, NestingBeyondTheLimitStaysOpaque)
{
    // 1000 nested containers: the reader must neither recurse nor crash.
    QByteArray data = "Content-Type: multipart/mixed; boundary=b0\n\n";
    for (int i = 1; i < 1000; ++i)
        data += "--b" + QByteArray::number(i - 1) + "\nContent-Type: multipart/mixed; boundary=b"
                + QByteArray::number(i) + "\n\n";
    data += "--b999\nContent-Type: text/plain\n\ndeep\n";
    TMimeMessage m;
    m.Parse(data);
    ASSERT_EQ(m.MessageParts.size(), 64);
    for (int i = 0; i < 63; ++i) {
        EXPECT_FALSE(m.MessageParts[i].IsAttachment) << i;
        EXPECT_EQ(m.MessageParts[i].ParentPart, i - 1);
    }
    EXPECT_TRUE(m.MessageParts[63].IsAttachment);
    EXPECT_TRUE(m.MessageParts[63].Data().contains("deep"));
    // Written and read again: the same tree.
    TMimeMessage again;
    again.Parse(m.ToBytes());
    ASSERT_EQ(again.MessageParts.size(), 64);
    EXPECT_TRUE(again.MessageParts[63].IsAttachment);
}

class MimeWriter : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
};

TEST_F(MimeWriter, BuiltMessageParsesCleanlyInPython)
{
    QByteArray binary(3 * 1024 * 1024, '\0');
    QRandomGenerator rng(17);
    for (qsizetype i = 0; i < binary.size(); i += 4) {
        const quint32 v = rng.generate();
        memcpy(binary.data() + i, &v, 4);
    }
    const QByteArray png = QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR4nGNgYPgPAAEDAQAIicLsAAAAAElFTkSuQmCC");
    const QString logoName = QString::fromUtf8("L\xC3\xB6go gro\xC3\x9F.png");
    const QString logo = write(logoName, png);
    const QString data = write(QStringLiteral("data.bin"), binary);
    const QString longName = QString::fromUtf8("\xC3\x84rger mit einem sehr langen Namen ").repeated(4) + QStringLiteral(".bin");

    const QString plain = QStringLiteral("Hallo \u00e4\u00f6\u00fc\n.\n.. two dots\nFrom here on\n") + QString(1200, u'x')
                          + QStringLiteral("\nend");
    const QString html = QStringLiteral("<p>Gr\u00fc\u00dfe <img src=\"cid:") + TEmailSenderUtils::PathEncode(logoName)
                         + QStringLiteral("\"></p>");
    TStringList inlines;
    inlines.Add(logo);
    TStringList attachments;
    attachments.Add(data);
    attachments.Add(longName + u'=' + data);

    TMimeMessage m;
    m.SetAddresses("From", {{QString::fromUtf8("J\xC3\xBCrgen, der Absender"), QStringLiteral("j@example.org")}});
    m.SetAddresses("To", {{QString(), QStringLiteral("to@example.org")}});
    m.SetAddresses("Bcc", {{QString(), QStringLiteral("hidden@example.org")}});
    m.SetSubject(QString::fromUtf8("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E ") + QString(100, u'y'));
    TEmailSenderUtils::AddBodyToMessage(m, plain, html, &inlines, &attachments);

    const QByteArray bytes = m.ToBytes();
    for (const QByteArray &line : bytes.split('\n')) {
        ASSERT_LE(line.size(), 999); // 998 + CR
        for (const char c : line)
            ASSERT_LT(uchar(c), 0x80) << "8-bit byte written";
    }
    EXPECT_FALSE(bytes.contains("\r\n\r\n") && bytes.left(bytes.indexOf("\r\n\r\n")).contains("Bcc:"));
    EXPECT_TRUE(m.Headers.Has("Message-ID"));
    EXPECT_TRUE(m.Headers.Has("Date"));

    const QJsonObject py = pythonView(bytes);
    ASSERT_FALSE(py.isEmpty());
    EXPECT_TRUE(py[QStringLiteral("defects")].toArray().isEmpty())
        << QJsonDocument(py[QStringLiteral("defects")].toArray()).toJson().toStdString();
    EXPECT_FALSE(py[QStringLiteral("bcc")].toBool());
    EXPECT_EQ(py[QStringLiteral("subject")].toString(), m.Subject());
    EXPECT_EQ(py[QStringLiteral("from")].toArray(), addressJson(m.From()));
    const QJsonArray parts = py[QStringLiteral("parts")].toArray();
    ASSERT_EQ(parts.size(), 7);
    struct Expect
    {
        const char *type;
        int parent;
    };
    const Expect tree[] = {{"multipart/related", -1}, {"multipart/alternative", 0}, {"text/plain", 1},
                           {"text/html", 1},          {"image/png", 0},             {"application/octet-stream", -1},
                           {"application/octet-stream", -1}};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(parts[i][QStringLiteral("type")].toString(), QLatin1String(tree[i].type)) << i;
        EXPECT_EQ(parts[i][QStringLiteral("parent")].toInt(), tree[i].parent) << i;
    }
    EXPECT_EQ(sameBreaks(parts[2][QStringLiteral("text")].toString()), plain);
    EXPECT_EQ(sameBreaks(parts[3][QStringLiteral("text")].toString()), html);
    EXPECT_EQ(parts[4][QStringLiteral("filename")].toString(), logoName);
    EXPECT_EQ(parts[4][QStringLiteral("disposition")].toString(), QStringLiteral("inline"));
    EXPECT_EQ(parts[4][QStringLiteral("cid")].toString(), u'<' + TEmailSenderUtils::PathEncode(logoName) + u'>');
    EXPECT_EQ(parts[4][QStringLiteral("sha256")].toString(),
              QString::fromLatin1(QCryptographicHash::hash(png, QCryptographicHash::Sha256).toHex()));
    const QString binHash = QString::fromLatin1(QCryptographicHash::hash(binary, QCryptographicHash::Sha256).toHex());
    EXPECT_EQ(parts[5][QStringLiteral("filename")].toString(), QStringLiteral("data.bin"));
    EXPECT_EQ(parts[5][QStringLiteral("sha256")].toString(), binHash);
    EXPECT_EQ(parts[6][QStringLiteral("filename")].toString(), longName);
    EXPECT_EQ(parts[6][QStringLiteral("sha256")].toString(), binHash);

    // Parse, write, parse: the same tree, texts and contents.
    TMimeMessage first;
    first.Parse(bytes);
    EXPECT_EQ(ourParts(first), normalisedPython(parts));
    TMimeMessage second;
    second.Parse(first.ToBytes());
    EXPECT_EQ(ourParts(second), ourParts(first));
    EXPECT_EQ(second.Subject(), m.Subject());
    EXPECT_EQ(second.Headers.Raw("Message-ID"), m.Headers.Raw("Message-ID"));
}

TEST_F(MimeWriter, MissingFileLeavesTheMessageAlone)
{
    TMimeMessage m;
    m.SetSubject(QStringLiteral("s"));
    TStringList inlines;
    inlines.Add(write(QStringLiteral("ok.png"), "x"));
    TStringList attachments;
    attachments.Add(QStringLiteral("shown.pdf=") + dir.filePath(QStringLiteral("missing.pdf")));
    try {
        TEmailSenderUtils::AddBodyToMessage(m, QStringLiteral("p"), QStringLiteral("<p>h</p>"), &inlines, &attachments);
        FAIL() << "no exception";
    } catch (const EFOpenError &e) {
        EXPECT_TRUE(e.Message().contains(dir.filePath(QStringLiteral("missing.pdf")))) << e.Message().toStdString();
    }
    EXPECT_TRUE(m.MessageParts.isEmpty());
    EXPECT_FALSE(m.Headers.Has("Content-Type"));

    // No HTML: the inline images stay out; the plain part is always there.
    TEmailSenderUtils::AddBodyToMessage(m, QString(), QString(), &inlines, nullptr);
    ASSERT_EQ(m.MessageParts.size(), 3);
    EXPECT_EQ(m.MessageParts[2].ContentType(), QStringLiteral("text/plain"));
    EXPECT_EQ(m.ContentType(), QStringLiteral("multipart/mixed"));
}

TEST_F(MimeWriter, SaveToFileGoesThroughATemporaryName)
{
    TMimeMessage m;
    m.SetSubject(QStringLiteral("first"));
    m.Body.SetText(QStringLiteral("one"));
    const QString path = dir.filePath(QStringLiteral("m.eml"));
    m.SaveToFile(path);
    TMimeMessage back;
    back.LoadFromFile(path);
    EXPECT_EQ(back.Subject(), QStringLiteral("first"));
    EXPECT_EQ(back.Body.Text(), QStringLiteral("one\n"));
    // A folder that cannot be written: the old file stays as it was.
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    m.SetSubject(QStringLiteral("second"));
    if (!QFile(dir.filePath(QStringLiteral("probe"))).open(QIODevice::WriteOnly)) {
        EXPECT_THROW(m.SaveToFile(path), EFCreateError);
        back.LoadFromFile(path);
        EXPECT_EQ(back.Subject(), QStringLiteral("first"));
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
