// TSMTPSender: hands a message to an SMTP server over libcurl. The envelope
// sender is the Sender address (else the first From), the recipients are To,
// Cc and Bcc; Bcc travels only in the envelope, never in the data.
#pragma once

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

namespace zor {

class TMimeMessage;

// The server refused: Code is its reply code (550, 535, ...), the message its
// text. Transport failures (no connection, TLS, time-out) have Code 0.
class ZOR_EXPORT ESMTPError : public Exception
{
public:
    ESMTPError(QString message, int code) : Exception(std::move(message)), Code(code) {}
    const char *ClassName() const override { return "ESMTPError"; }
    int Code = 0;
};

enum TSMTPStartTLS {
    stlsNone,      // plain smtp:// without STARTTLS
    stlsIfOffered, // STARTTLS when the server offers it
    stlsRequired,  // fail unless STARTTLS succeeds
};

class ZOR_EXPORT TSMTPSender
{
public:
    TSMTPSender();
    ~TSMTPSender();

    // "smtp://host:port" or "smtps://host:port" (TLS from the start).
    QString URL;
    TSMTPStartTLS StartTLS = stlsIfOffered;
    QString Username; // AUTH when not empty
    QString Password;
    int Timeout = 60000; // milliseconds for the whole exchange; 0: no limit
    bool VerifyPeer = true;
    QString CAFile; // replaces the system's trust store when set

    // Writes the message (adding Date and Message-ID when missing) and sends
    // it; returns the bytes sent. Raises ESMTPError.
    QByteArray Send(TMimeMessage &AMessage);
    // The envelope of a message: Sender (else the first From) and the
    // addresses of To, Cc and Bcc.
    static void Envelope(const TMimeMessage &AMessage, QString &AFrom, QStringList &ARecipients);
    // Sends data as it is.
    void SendRaw(const QByteArray &AData, const QString &AFrom, const QStringList &ARecipients);
};

} // namespace zor
