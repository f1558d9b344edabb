#include <ZorCompCore/utilities/HTTPUtils.h>

#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>

#include <QElapsedTimer>
#include <QStringDecoder>
#include <QUrl>
#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace zor {

namespace {

void ensureCurlGlobal()
{
    // curl_global_init is not thread-safe on older libcurl builds.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer
{
    THTTPResponse *response = nullptr;
    QByteArray body;
    QElapsedTimer idle;        // restarted on every byte that moves
    curl_off_t lastDown = -1;
    curl_off_t lastUp = -1;
    qint64 readTimeoutMs = 0;
    bool timedOut = false;
};

size_t onWrite(char *ptr, size_t size, size_t nmemb, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    t->response->Body.append(ptr, qsizetype(size * nmemb));
    return size * nmemb;
}

size_t onHeader(char *buffer, size_t size, size_t nitems, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    const size_t total = size * nitems;
    QByteArray line(buffer, qsizetype(total));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.startsWith("HTTP/")) {
        // A new answer (after a redirect or a 100 Continue) replaces the headers.
        t->response->ResponseText = QString::fromLatin1(line);
        t->response->RawHeaders.clear();
    } else if (const qsizetype colon = line.indexOf(':'); colon > 0) {
        t->response->RawHeaders.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    return total;
}

int onProgress(void *user, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow)
{
    auto *t = static_cast<Transfer *>(user);
    if (dlnow != t->lastDown || ulnow != t->lastUp) {
        t->lastDown = dlnow;
        t->lastUp = ulnow;
        t->idle.restart();
        return 0;
    }
    if (t->readTimeoutMs > 0 && t->idle.elapsed() > t->readTimeoutMs) {
        t->timedOut = true;
        return 1; // aborts the transfer
    }
    return 0;
}

struct CurlDeleter
{
    void operator()(CURL *c) const { curl_easy_cleanup(c); }
};
struct SlistDeleter
{
    void operator()(curl_slist *l) const { curl_slist_free_all(l); }
};

QString headerValue(const QList<QPair<QByteArray, QByteArray>> &headers, const char *name)
{
    for (const auto &h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(h.second);
    return {};
}

bool isUnreserved(uchar c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'
           || c == '.' || c == '_';
}

} // namespace

QString THTTPResponse::ContentType() const
{
    return headerValue(RawHeaders, "Content-Type");
}

QString THTTPResponse::ContentEncoding() const
{
    return THTTPUtils::ExtractContentEncoding(ContentType());
}

QString THTTPResponse::BodyAsText() const
{
    QString charset = ContentEncoding().trimmed();
    if (charset.startsWith(u'"') && charset.endsWith(u'"') && charset.size() >= 2)
        charset = charset.mid(1, charset.size() - 2);
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.toLatin1().constData());
        if (decoder.isValid())
            return decoder.decode(Body);
    }
    return QString::fromUtf8(Body);
}

THTTPResponse THTTPUtils::Request(const QString &AMethod, const QString &AURL,
                                  const QByteArray &ABody, const THTTPRequest &ARequest,
                                  int AReadTimeout, THTTPOptions AHTTPOptions)
{
    ensureCurlGlobal();
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl)
        throw EHTTPSocketError(QStringLiteral("Cannot create an HTTP client"));
    CURL *c = curl.get();

    THTTPResponse response;
    Transfer t;
    t.response = &response;
    t.body = ABody;
    t.readTimeoutMs = AReadTimeout;

    THTTPRequest request = ARequest;
    // Credentials in the URL win; explicit ones stay when the URL has none.
    if (request.Username.isEmpty())
        SetUpAuthByURL(AURL, request);
    const QByteArray url = AURL.toUtf8();
    const QByteArray user = request.Username.toUtf8();
    const QByteArray password = request.Password.toUtf8();
    const QByteArray method = AMethod.toUpper().toLatin1();
    char errbuf[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errbuf);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, onWrite);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, ""); // whatever libcurl can decode
    if (!(AHTTPOptions & hoNoRedirects)) {
        curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(c, CURLOPT_MAXREDIRS, 15L);
        curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        // Keep the method and body of a POST across 301/302/303 answers.
        curl_easy_setopt(c, CURLOPT_POSTREDIR, long(CURL_REDIR_POST_ALL));
    }
    if (AHTTPOptions & hoNoPeerVerification) {
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    if (AReadTimeout > 0)
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(AReadTimeout));
    if (request.BasicAuthentication) {
        curl_easy_setopt(c, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
        curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    }

    std::unique_ptr<curl_slist, SlistDeleter> headers;
    auto addHeader = [&headers](const QByteArray &line) {
        headers.reset(curl_slist_append(headers.release(), line.constData()));
    };
    if (!request.ContentType.isEmpty())
        addHeader("Content-Type: " + request.ContentType.toLatin1());
    for (const auto &h : request.CustomHeaders)
        addHeader(h.first + ": " + h.second);
    // libcurl would otherwise wait for a 100 Continue before larger bodies.
    addHeader("Expect:");
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());

    if (method == "GET") {
        curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    } else {
        if (method != "POST")
            curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, method.constData());
        curl_easy_setopt(c, CURLOPT_POST, 1L);
        // libcurl sends from this buffer and can rewind it for redirects.
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(t.body.size()));
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, t.body.constData());
    }

    t.idle.start();
    const CURLcode rc = curl_easy_perform(c);
    if (rc != CURLE_OK) {
        if (t.timedOut)
            throw EHTTPSocketError(QStringLiteral("Read timed out."), int(CURLE_OPERATION_TIMEDOUT));
        const QString detail = errbuf[0] ? QString::fromLocal8Bit(errbuf)
                                         : QString::fromLatin1(curl_easy_strerror(rc));
        throw EHTTPSocketError(detail, int(rc));
    }
    long code = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &code);
    response.ResponseCode = int(code);
    if (code >= 400 && !(AHTTPOptions & hoNoProtocolErrorException)) {
        const QString line = response.ResponseText.isEmpty()
                                 ? QStringLiteral("HTTP %1").arg(code)
                                 : response.ResponseText;
        throw EHTTPProtocolException(line, int(code), response.BodyAsText());
    }
    return response;
}

QString THTTPUtils::Get(const QString &AURL, int AReadTimeout, int)
{
    return Request(QStringLiteral("GET"), AURL, {}, {}, AReadTimeout).BodyAsText();
}

void THTTPUtils::Get(const QString &AURL, TStream &AResponseContent, int AReadTimeout, int)
{
    const THTTPResponse r = Request(QStringLiteral("GET"), AURL, {}, {}, AReadTimeout);
    AResponseContent.WriteBuffer(r.Body.constData(), r.Body.size());
}

QString THTTPUtils::Get(const QString &AURL, THTTPOptions AHTTPOptions, int AReadTimeout, int)
{
    return Request(QStringLiteral("GET"), AURL, {}, {}, AReadTimeout, AHTTPOptions).BodyAsText();
}

void THTTPUtils::Post(const QString &AURL, const TStringList &ASource, TStream &AResponseContent,
                      int AReadTimeout)
{
    THTTPRequest req;
    req.ContentType = QStringLiteral("application/x-www-form-urlencoded");
    const QByteArray body = ParamsEncode(ASource, QStringLiteral("&")).toLatin1();
    const THTTPResponse r = Request(QStringLiteral("POST"), AURL, body, req, AReadTimeout);
    AResponseContent.WriteBuffer(r.Body.constData(), r.Body.size());
}

void THTTPUtils::Post(const QString &AURL, TStream &ASource, TStream &AResponseContent,
                      int AReadTimeout, const QString &AContentType)
{
    THTTPRequest req;
    req.ContentType = AContentType;
    const THTTPResponse r = Request(QStringLiteral("POST"), AURL, ASource.ToBytes(), req, AReadTimeout);
    AResponseContent.WriteBuffer(r.Body.constData(), r.Body.size());
}

QString THTTPUtils::Post(const QString &AURL, TStream &ASource, int AReadTimeout)
{
    return Request(QStringLiteral("POST"), AURL, ASource.ToBytes(), {}, AReadTimeout).BodyAsText();
}

QString THTTPUtils::ParamsEncode(const QByteArray &ASrc)
{
    static const char hex[] = "0123456789ABCDEF";
    QString out;
    out.reserve(ASrc.size());
    for (const char ch : ASrc) {
        const auto c = uchar(ch);
        if (isUnreserved(c)) {
            out += QLatin1Char(ch);
        } else {
            out += u'%';
            out += QLatin1Char(hex[c >> 4]);
            out += QLatin1Char(hex[c & 15]);
        }
    }
    return out;
}

QString THTTPUtils::ParamsEncode(const QString &ASrc)
{
    return ParamsEncode(ASrc.toUtf8());
}

QString THTTPUtils::ParamsEncode(const TStringList &AParams, const QString &ADelimiter)
{
    QStringList parts;
    for (int i = 0; i < AParams.Count(); ++i)
        parts << AParams.Names(i) + u'=' + ParamsEncode(AParams.ValueFromIndex(i));
    return parts.join(ADelimiter);
}

QString THTTPUtils::RemoveProtocol(const QString &AURL)
{
    const qsizetype i = AURL.indexOf(QLatin1String("//"));
    return i < 0 ? AURL : AURL.mid(i + 2);
}

QString THTTPUtils::ExtractContentType(const QString &AHeaderValue)
{
    const qsizetype i = AHeaderValue.indexOf(u';');
    return i < 0 ? AHeaderValue : AHeaderValue.left(i);
}

QString THTTPUtils::ExtractContentEncoding(const QString &AHeaderValue)
{
    static const QLatin1String key("charset=");
    const qsizetype i = AHeaderValue.indexOf(key);
    if (i < 0)
        return {};
    QString rest = AHeaderValue.mid(i + key.size());
    const qsizetype semi = rest.indexOf(u';');
    return semi < 0 ? rest : rest.left(semi);
}

bool THTTPUtils::IsHTTPUrl(const QString &AURL, bool AOnlySSL)
{
    if (AURL.left(8).toLower() == QLatin1String("https://"))
        return true;
    return !AOnlySSL && AURL.left(7).toLower() == QLatin1String("http://");
}

QString THTTPUtils::CheckAndAddProtocol(const QString &URL)
{
    return IsHTTPUrl(URL) ? URL : QStringLiteral("https://") + URL;
}

void THTTPUtils::SetUpAuthByURL(const QString &AURL, THTTPRequest &AHTTPRequest)
{
    if (AURL.isEmpty())
        return;
    const QUrl url(AURL);
    if (!url.userName().isEmpty()) {
        AHTTPRequest.Username = url.userName(QUrl::FullyDecoded);
        AHTTPRequest.Password = url.password(QUrl::FullyDecoded);
        AHTTPRequest.BasicAuthentication = true;
    } else {
        AHTTPRequest.BasicAuthentication = false;
    }
}

} // namespace zor
