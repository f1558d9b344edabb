#include <ZorCompCore/web/SMTPSender.h>

#include <ZorCompCore/web/mime/MimeMessage.h>

#include "TestUtil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QElapsedTimer>
#include <QProcess>

using namespace zor;

namespace {

// A local aiosmtpd sink: never the network.
class Sink
{
public:
    explicit Sink(bool auth)
    {
        QStringList args{QStringLiteral(ZOR_SOURCE_DIR "/examples/data/mail/smtp_sink.py")};
        if (auth)
            args << QStringLiteral("--auth");
        process.start(QStringLiteral("/usr/bin/python3"), args);
        QElapsedTimer clock;
        clock.start();
        while (!process.canReadLine() && clock.elapsed() < 15000)
            process.waitForReadyRead(100);
        port = process.readLine().trimmed().toInt();
    }
    ~Sink()
    {
        process.kill();
        process.waitForFinished();
    }
    QString url() const { return QStringLiteral("smtp://127.0.0.1:%1").arg(port); }
    // The next message the sink printed.
    QJsonObject received()
    {
        // waitForReadyRead also wakes for the sink's warnings on stderr: poll.
        QElapsedTimer clock;
        clock.start();
        while (!process.canReadLine()) {
            if (clock.elapsed() > 15000)
                return {};
            process.waitForReadyRead(100);
        }
        return QJsonDocument::fromJson(process.readLine()).object();
    }
    QProcess process;
    int port = 0;
};

TMimeMessage sample()
{
    TMimeMessage m;
    m.SetAddresses("From", {{QStringLiteral("Anna"), QStringLiteral("anna@example.org")}});
    m.SetAddresses("To", {{QString(), QStringLiteral("to@example.org")}});
    m.SetAddresses("Cc", {{QStringLiteral("C"), QStringLiteral("cc@example.org")}});
    m.SetAddresses("Bcc", {{QString(), QStringLiteral("hidden@example.org")}});
    m.SetSubject(QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e"));
    // Lines a transport must escape and restore: a lone dot, a leading dot.
    m.Body.SetText(QStringLiteral("first\n.\n..two\n.three\nFrom me\nlast"));
    return m;
}

} // namespace

TEST(SMTPSender, DeliversTheBytesWithBccOnlyInTheEnvelope)
{
    Sink sink(false);
    ASSERT_GT(sink.port, 0) << sink.process.readAllStandardError().toStdString();
    TMimeMessage m = sample();
    m.Headers.Add("Sender", "\"Office\" <office@example.org>");
    TSMTPSender sender;
    sender.URL = sink.url();
    sender.StartTLS = stlsNone;
    sender.Timeout = 15000;
    const QByteArray sent = sender.Send(m);
    const QJsonObject got = sink.received();
    ASSERT_FALSE(got.isEmpty()) << sink.process.state() << " " << sink.process.errorString().toStdString() << sink.process.readAllStandardError().toStdString();
    EXPECT_EQ(got[QStringLiteral("from")].toString(), QStringLiteral("office@example.org"));
    EXPECT_EQ(got[QStringLiteral("rcpt")].toArray(),
              (QJsonArray{QStringLiteral("to@example.org"), QStringLiteral("cc@example.org"),
                          QStringLiteral("hidden@example.org")}));
    const QByteArray data = QByteArray::fromBase64(got[QStringLiteral("data")].toString().toLatin1());
    EXPECT_EQ(data, sent);
    EXPECT_FALSE(data.contains("hidden@example.org"));
    EXPECT_TRUE(data.contains("\r\n.\r\n..two\r\n.three\r\n"));

    // Without Sender the envelope comes from From.
    TMimeMessage plain = sample();
    sender.Send(plain);
    EXPECT_EQ(sink.received()[QStringLiteral("from")].toString(), QStringLiteral("anna@example.org"));
}

TEST(SMTPSender, RefusalsCarryTheServersCodeAndText)
{
    Sink sink(false);
    ASSERT_GT(sink.port, 0);
    TMimeMessage m = sample();
    m.SetAddresses("Cc", {{QString(), QStringLiteral("unknown@example.org")}});
    TSMTPSender sender;
    sender.URL = sink.url();
    sender.StartTLS = stlsNone;
    sender.Timeout = 15000;
    try {
        sender.Send(m);
        FAIL() << "no exception";
    } catch (const ESMTPError &e) {
        EXPECT_EQ(e.Code, 550);
        EXPECT_EQ(e.Message(), QStringLiteral("550 5.1.1 <unknown@example.org>: user unknown"));
    }
    // Nobody listening: a transport failure, code 0.
    const int port = sink.port;
    sink.process.kill();
    sink.process.waitForFinished();
    sender.URL = QStringLiteral("smtp://127.0.0.1:%1").arg(port);
    try {
        sender.Send(m);
        FAIL() << "no exception";
    } catch (const ESMTPError &e) {
        EXPECT_EQ(e.Code, 0);
        EXPECT_FALSE(e.Message().isEmpty());
    }
}

TEST(SMTPSender, AuthenticatesWithPlain)
{
    Sink sink(true);
    ASSERT_GT(sink.port, 0);
    TSMTPSender sender;
    sender.URL = sink.url();
    sender.StartTLS = stlsNone;
    sender.Timeout = 15000;
    TMimeMessage m = sample();
    // The server wants AUTH: without credentials it refuses the sender.
    EXPECT_THROW(sender.Send(m), ESMTPError);
    sender.Username = QStringLiteral("anna");
    sender.Password = QStringLiteral("falsch");
    try {
        sender.Send(m);
        FAIL() << "no exception";
    } catch (const ESMTPError &e) {
        EXPECT_EQ(e.Code, 535);
    }
    sender.Password = QStringLiteral("geheim");
    const QByteArray sent = sender.Send(m);
    EXPECT_EQ(QByteArray::fromBase64(sink.received()[QStringLiteral("data")].toString().toLatin1()), sent);
}
