#include <ZorCompCore/web/SMTPSender.h>

#include <ZorCompCore/web/mime/MimeMessage.h>

#include <QFile>
#include <ZorCompCore/utilities/CurlApi_p.h>

#include <cstring>
#include <memory>
#include <mutex>

namespace zor {

namespace {

struct Upload
{
    const QByteArray *data = nullptr;
    qsizetype sent = 0;
    QByteArray refusal;   // the first reply of 400 or above, all its lines
    QByteArray current;   // reply lines of the answer being read
};

size_t onRead(char *buffer, size_t size, size_t nitems, void *user)
{
    auto *u = static_cast<Upload *>(user);
    const size_t n = std::min<size_t>(size * nitems, size_t(u->data->size() - u->sent));
    std::memcpy(buffer, u->data->constData() + u->sent, n);
    u->sent += qsizetype(n);
    return n;
}

// libcurl shows server replies as incoming header data: keep the last
// complete one ("250-..." lines continue, "250 ..." ends it).
int onDebug(CURL *, curl_infotype type, char *data, size_t size, void *user)
{
    if (type != CURLINFO_HEADER_IN)
        return 0;
    auto *u = static_cast<Upload *>(user);
    QByteArray line(data, qsizetype(size));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (!u->current.isEmpty())
        u->current += '\n';
    u->current += line;
    if (line.size() < 4 || line[3] != '-') {
        // The first refusal explains the failure; QUIT's "221" may follow it.
        if (u->refusal.isEmpty() && u->current.left(3).toInt() >= 400)
            u->refusal = u->current;
        u->current.clear();
    }
    return 0;
}

struct CurlDeleter
{
    void operator()(CURL *c) const { detail::Curl().easy_cleanup(c); }
};
struct SlistDeleter
{
    void operator()(curl_slist *l) const { detail::Curl().slist_free_all(l); }
};

QByteArray angle(const QString &address)
{
    return '<' + address.toUtf8() + '>';
}

} // namespace

TSMTPSender::TSMTPSender() = default;
TSMTPSender::~TSMTPSender() = default;

void TSMTPSender::Envelope(const TMimeMessage &AMessage, QString &AFrom, QStringList &ARecipients)
{
    AFrom.clear();
    ARecipients.clear();
    if (const auto sender = AMessage.Sender(); !sender.isEmpty())
        AFrom = sender.first().Address;
    else if (const auto f = AMessage.From(); !f.isEmpty())
        AFrom = f.first().Address;
    for (const auto &list : {AMessage.To(), AMessage.Cc(), AMessage.Bcc()})
        for (const TMimeAddress &a : list)
            if (!a.Address.isEmpty())
                ARecipients << a.Address;
}

QByteArray TSMTPSender::Send(TMimeMessage &AMessage)
{
    QString from;
    QStringList recipients;
    Envelope(AMessage, from, recipients);
    const QByteArray data = AMessage.ToBytes(); // without Bcc
    SendRaw(data, from, recipients);
    return data;
}

void TSMTPSender::SendRaw(const QByteArray &AData, const QString &AFrom, const QStringList &ARecipients)
{
    if (ARecipients.isEmpty())
        throw ESMTPError(QStringLiteral("The message has no recipients"), 0);
    std::unique_ptr<CURL, CurlDeleter> curl(detail::Curl().easy_init());
    if (!curl)
        throw ESMTPError(QStringLiteral("Cannot create an SMTP client"), 0);
    CURL *c = curl.get();

    Upload upload;
    upload.data = &AData;
    const QByteArray url = URL.toUtf8();
    const QByteArray from = angle(AFrom);
    const QByteArray user = Username.toUtf8();
    const QByteArray password = Password.toUtf8();
    const QByteArray caFile = QFile::encodeName(CAFile);
    std::unique_ptr<curl_slist, SlistDeleter> rcpt;
    for (const QString &r : ARecipients)
        rcpt.reset(detail::Curl().slist_append(rcpt.release(), angle(r).constData()));
    char errbuf[CURL_ERROR_SIZE] = {};

    detail::Curl().easy_setopt(c, CURLOPT_URL, url.constData());
    detail::Curl().easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    detail::Curl().easy_setopt(c, CURLOPT_ERRORBUFFER, errbuf);
    detail::Curl().easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    detail::Curl().easy_setopt(c, CURLOPT_MAIL_FROM, from.constData());
    detail::Curl().easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt.get());
    detail::Curl().easy_setopt(c, CURLOPT_UPLOAD, 1L);
    detail::Curl().easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(AData.size()));
    detail::Curl().easy_setopt(c, CURLOPT_READFUNCTION, onRead);
    detail::Curl().easy_setopt(c, CURLOPT_READDATA, &upload);
    detail::Curl().easy_setopt(c, CURLOPT_DEBUGFUNCTION, onDebug);
    detail::Curl().easy_setopt(c, CURLOPT_DEBUGDATA, &upload);
    detail::Curl().easy_setopt(c, CURLOPT_VERBOSE, 1L); // feeds onDebug only
    const long tls = StartTLS == stlsNone ? long(CURLUSESSL_NONE)
                     : StartTLS == stlsIfOffered ? long(CURLUSESSL_TRY)
                                                 : long(CURLUSESSL_ALL);
    detail::Curl().easy_setopt(c, CURLOPT_USE_SSL, tls);
    detail::Curl().easy_setopt(c, CURLOPT_SSL_VERIFYPEER, VerifyPeer ? 1L : 0L);
    detail::Curl().easy_setopt(c, CURLOPT_SSL_VERIFYHOST, VerifyPeer ? 2L : 0L);
    if (!caFile.isEmpty())
        detail::Curl().easy_setopt(c, CURLOPT_CAINFO, caFile.constData());
    if (!user.isEmpty()) {
        detail::Curl().easy_setopt(c, CURLOPT_USERNAME, user.constData());
        detail::Curl().easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    }
    if (Timeout > 0)
        detail::Curl().easy_setopt(c, CURLOPT_TIMEOUT_MS, long(Timeout));

    const CURLcode rc = detail::Curl().easy_perform(c);
    if (rc == CURLE_OK)
        return;
    if (!upload.refusal.isEmpty()) {
        // The server's own words: "550 5.1.1 <x@y>: user unknown".
        throw ESMTPError(QString::fromUtf8(upload.refusal), upload.refusal.left(3).toInt());
    }
    const QString detail = errbuf[0] ? QString::fromLocal8Bit(errbuf) : QString::fromLatin1(detail::Curl().easy_strerror(rc));
    throw ESMTPError(detail, 0);
}

} // namespace zor
