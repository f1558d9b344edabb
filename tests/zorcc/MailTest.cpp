#include "RunZorcc.h"
#include "TestUtil.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(ZorccMail, BuildShowExtract)
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("t.txt")), "Hallo \xC3\xA4\n");
    writeFile(dir.filePath(QStringLiteral("h.html")), "<p><img src=\"L\xC3\xB6go.png\"></p>");
    writeFile(dir.filePath(QString::fromUtf8("L\xC3\xB6go.png")), QByteArray("\x89PNG\r\n\x1a\n", 8));
    writeFile(dir.filePath(QStringLiteral("r.pdf")), "%PDF-1.4\n");
    const ZorccRun built = runZorcc({QStringLiteral("mail"), QStringLiteral("build"), QStringLiteral("--from"),
                                     QStringLiteral("Anna <a@example.org>"), QStringLiteral("--to"), QStringLiteral("b@example.org"),
                                     QStringLiteral("--subject"), QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e"),
                                     QStringLiteral("--text"), QStringLiteral("t.txt"), QStringLiteral("--html"), QStringLiteral("h.html"),
                                     QStringLiteral("--inline"), QString::fromUtf8("L\xC3\xB6go.png"), QStringLiteral("--attach"),
                                     QStringLiteral("r.pdf=Bericht.pdf"), QStringLiteral("--suppress"), QStringLiteral("DR,OOF"),
                                     QStringLiteral("-o"), QStringLiteral("m.eml")},
                                    dir.path());
    ASSERT_EQ(built.exitCode, 0) << built.err.toStdString();

    const ZorccRun shown = runZorcc({QStringLiteral("mail"), QStringLiteral("show"), QStringLiteral("m.eml"), QStringLiteral("--json")}, dir.path());
    ASSERT_EQ(shown.exitCode, 0) << shown.err.toStdString();
    const QJsonObject j = QJsonDocument::fromJson(shown.out.toUtf8()).object();
    EXPECT_EQ(j[QStringLiteral("subject")].toString(), QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e"));
    EXPECT_EQ(j[QStringLiteral("suppress")].toString(), QStringLiteral("DR, OOF"));
    EXPECT_EQ(j[QStringLiteral("body")].toString(), QString::fromUtf8("Hallo \xC3\xA4\n"));
    const QJsonArray parts = j[QStringLiteral("parts")].toArray();
    ASSERT_EQ(parts.size(), 6);
    EXPECT_EQ(parts[4][QStringLiteral("contentId")].toString(), QStringLiteral("L%C3%B6go.png"));
    EXPECT_EQ(parts[4][QStringLiteral("size")].toInt(), 8);
    EXPECT_EQ(parts[5][QStringLiteral("name")].toString(), QStringLiteral("Bericht.pdf"));
    // The HTML refers to the image by exactly its content ID.
    QFile eml(dir.filePath(QStringLiteral("m.eml")));
    ASSERT_TRUE(eml.open(QIODevice::ReadOnly));
    EXPECT_TRUE(eml.readAll().contains("src=\"cid:L%C3%B6go.png\""));

    const ZorccRun extracted = runZorcc({QStringLiteral("mail"), QStringLiteral("extract"), QStringLiteral("m.eml"), QStringLiteral("out")}, dir.path());
    ASSERT_EQ(extracted.exitCode, 0) << extracted.err.toStdString();
    QFile pdf(dir.filePath(QStringLiteral("out/Bericht.pdf")));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_EQ(pdf.readAll(), QByteArray("%PDF-1.4\n"));

    // A missing attachment: exit 1 naming it, no file written.
    const ZorccRun bad = runZorcc({QStringLiteral("mail"), QStringLiteral("build"), QStringLiteral("--attach"),
                                   QStringLiteral("nix.pdf"), QStringLiteral("-o"), QStringLiteral("x.eml")}, dir.path());
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("nix.pdf"))) << bad.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("x.eml"))));
    EXPECT_EQ(runZorcc({QStringLiteral("mail"), QStringLiteral("frobnicate")}).exitCode, 2);
}

TEST(ZorccMail, SendsToALocalSink)
{
    QProcess sink;
    sink.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(ZOR_SOURCE_DIR "/examples/data/mail/smtp_sink.py")});
    QElapsedTimer clock;
    clock.start();
    while (!sink.canReadLine() && clock.elapsed() < 15000)
        sink.waitForReadyRead(100);
    const int port = sink.readLine().trimmed().toInt();
    ASSERT_GT(port, 0);
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("t.txt")), "text\n");
    const ZorccRun r = runZorcc({QStringLiteral("mail"), QStringLiteral("build"), QStringLiteral("--from"), QStringLiteral("a@example.org"),
                                 QStringLiteral("--to"), QStringLiteral("b@example.org"), QStringLiteral("--bcc"), QStringLiteral("c@example.org"),
                                 QStringLiteral("--text"), QStringLiteral("t.txt"), QStringLiteral("-o"), QStringLiteral("m.eml"),
                                 QStringLiteral("--send"), QStringLiteral("smtp://127.0.0.1:%1").arg(port)},
                                dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    clock.restart();
    while (!sink.canReadLine() && clock.elapsed() < 15000)
        sink.waitForReadyRead(100);
    const QJsonObject got = QJsonDocument::fromJson(sink.readLine()).object();
    EXPECT_EQ(got[QStringLiteral("rcpt")].toArray(), (QJsonArray{QStringLiteral("b@example.org"), QStringLiteral("c@example.org")}));
    QFile eml(dir.filePath(QStringLiteral("m.eml")));
    ASSERT_TRUE(eml.open(QIODevice::ReadOnly));
    // The file and the delivery are the same message.
    EXPECT_EQ(QByteArray::fromBase64(got[QStringLiteral("data")].toString().toLatin1()), eml.readAll());
    sink.kill();
    sink.waitForFinished();
}
