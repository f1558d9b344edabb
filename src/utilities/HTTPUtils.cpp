#include <ZorCompCore/utilities/HTTPUtils.h>

#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>

#include <QElapsedTimer>
#include <QStringDecoder>
#include <QUrl>
#include <ZorCompCore/platform/SysUtils.h>

#include <QFile>
#include <ZorCompCore/utilities/CurlApi_p.h>

#include <memory>
#include <mutex>

namespace zor {

namespace {

void ensureCurlGlobal()
{
    detail::Curl(); // loads libcurl and initialises it once
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

// Bounds the certificate chain; libcurl has no option of its own for it.
CURLcode onSslContext(CURL *, void *sslContext, void *user)
{
    detail::Curl().ssl_ctx_set_verify_depth(sslContext, *static_cast<int *>(user));
    return CURLE_OK;
}

struct CurlDeleter
{
    void operator()(CURL *c) const { detail::Curl().easy_cleanup(c); }
};
struct SlistDeleter
{
    void operator()(curl_slist *l) const { detail::Curl().slist_free_all(l); }
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

struct TIdSSLHTTP::Private
{
    bool handleRedirects = true;
    int readTimeout = 0;
    THTTPOptions options = 0;
    TIdSSLOptions ssl;
    QString certPassword;
    THTTPRequest request;
    THTTPResponse response;
};

TIdSSLHTTP::TIdSSLHTTP() : d(std::make_unique<Private>()) {}
TIdSSLHTTP::~TIdSSLHTTP() = default;

bool TIdSSLHTTP::HandleRedirects() const { return d->handleRedirects; }
void TIdSSLHTTP::SetHandleRedirects(bool value) { d->handleRedirects = value; }
int TIdSSLHTTP::ReadTimeout() const { return d->readTimeout; }
void TIdSSLHTTP::SetReadTimeout(int milliseconds) { d->readTimeout = milliseconds; }
THTTPOptions TIdSSLHTTP::HTTPOptions() const { return d->options; }
void TIdSSLHTTP::SetHTTPOptions(THTTPOptions value) { d->options = value; }
TIdSSLOptions &TIdSSLHTTP::SSLOptions() { return d->ssl; }
QString TIdSSLHTTP::SSLCertPassword() const { return d->certPassword; }
void TIdSSLHTTP::SetSSLCertPassword(const QString &value) { d->certPassword = value; }
THTTPRequest &TIdSSLHTTP::Request() { return d->request; }
const THTTPResponse &TIdSSLHTTP::Response() const { return d->response; }

QString TIdSSLHTTP::Get(const QString &AURL)
{
    return DoRequest(QStringLiteral("GET"), AURL).BodyAsText();
}

void TIdSSLHTTP::Get(const QString &AURL, TStream &AResponseContent)
{
    const THTTPResponse &r = DoRequest(QStringLiteral("GET"), AURL);
    AResponseContent.WriteBuffer(r.Body.constData(), r.Body.size());
}

void TIdSSLHTTP::Post(const QString &AURL, TStream &ASource, TStream &AResponseContent)
{
    const THTTPResponse &r = DoRequest(QStringLiteral("POST"), AURL, ASource.ToBytes());
    AResponseContent.WriteBuffer(r.Body.constData(), r.Body.size());
}

QString TIdSSLHTTP::Post(const QString &AURL, TStream &ASource)
{
    return DoRequest(QStringLiteral("POST"), AURL, ASource.ToBytes()).BodyAsText();
}

const THTTPResponse &TIdSSLHTTP::DoRequest(const QString &AMethod, const QString &AURL,
                                           const QByteArray &ABody)
{
    ensureCurlGlobal();
    std::unique_ptr<CURL, CurlDeleter> curl(detail::Curl().easy_init());
    if (!curl)
        throw EHTTPSocketError(QStringLiteral("Cannot create an HTTP client"));
    CURL *c = curl.get();

    d->response = THTTPResponse();
    THTTPResponse &response = d->response;
    Transfer t;
    t.response = &response;
    t.body = ABody;
    t.readTimeoutMs = d->readTimeout;

    // Credentials in the URL win; explicit ones stay when the URL has none.
    // A copy, so that one URL's credentials never travel to the next request.
    THTTPRequest request = d->request;
    if (!QUrl(AURL).userName().isEmpty() || request.Username.isEmpty())
        THTTPUtils::SetUpAuthByURL(AURL, request);
    const THTTPOptions options = d->options;
    const QByteArray url = AURL.toUtf8();
    const QByteArray user = request.Username.toUtf8();
    const QByteArray password = request.Password.toUtf8();
    const QByteArray method = AMethod.toUpper().toLatin1();
    const QByteArray certFile = QFile::encodeName(d->ssl.CertFile);
    const QByteArray keyFile = QFile::encodeName(d->ssl.KeyFile);
    const QByteArray caFile = QFile::encodeName(d->ssl.RootCertFile);
    const QByteArray keyPassword = d->certPassword.toUtf8();
    char errbuf[CURL_ERROR_SIZE] = {};

    detail::Curl().easy_setopt(c, CURLOPT_URL, url.constData());
    detail::Curl().easy_setopt(c, CURLOPT_ERRORBUFFER, errbuf);
    detail::Curl().easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    detail::Curl().easy_setopt(c, CURLOPT_WRITEFUNCTION, onWrite);
    detail::Curl().easy_setopt(c, CURLOPT_WRITEDATA, &t);
    detail::Curl().easy_setopt(c, CURLOPT_HEADERFUNCTION, onHeader);
    detail::Curl().easy_setopt(c, CURLOPT_HEADERDATA, &t);
    detail::Curl().easy_setopt(c, CURLOPT_XFERINFOFUNCTION, onProgress);
    detail::Curl().easy_setopt(c, CURLOPT_XFERINFODATA, &t);
    detail::Curl().easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    detail::Curl().easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    detail::Curl().easy_setopt(c, CURLOPT_ACCEPT_ENCODING, ""); // whatever libcurl can decode
    if (d->handleRedirects && !(options & hoNoRedirects)) {
        detail::Curl().easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
        detail::Curl().easy_setopt(c, CURLOPT_MAXREDIRS, 15L);
        detail::Curl().easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        // Keep the method and body of a POST across 301/302/303 answers.
        detail::Curl().easy_setopt(c, CURLOPT_POSTREDIR, long(CURL_REDIR_POST_ALL));
    }

    // TLS: the highest version both sides speak (libcurl's default).
    const bool verify = d->ssl.VerifyPeer && !(options & hoNoPeerVerification);
    detail::Curl().easy_setopt(c, CURLOPT_SSL_VERIFYPEER, verify ? 1L : 0L);
    detail::Curl().easy_setopt(c, CURLOPT_SSL_VERIFYHOST, verify ? 2L : 0L);
    if (!caFile.isEmpty())
        detail::Curl().easy_setopt(c, CURLOPT_CAINFO, caFile.constData());
    if (!certFile.isEmpty())
        detail::Curl().easy_setopt(c, CURLOPT_SSLCERT, certFile.constData());
    if (!keyFile.isEmpty())
        detail::Curl().easy_setopt(c, CURLOPT_SSLKEY, keyFile.constData());
    if (!keyPassword.isEmpty())
        detail::Curl().easy_setopt(c, CURLOPT_KEYPASSWD, keyPassword.constData());
    int depth = d->ssl.VerifyDepth;
    detail::Curl().easy_setopt(c, CURLOPT_SSL_CTX_FUNCTION, onSslContext);
    detail::Curl().easy_setopt(c, CURLOPT_SSL_CTX_DATA, &depth);

    if (d->readTimeout > 0)
        detail::Curl().easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(d->readTimeout));
    if (request.BasicAuthentication) {
        detail::Curl().easy_setopt(c, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
        detail::Curl().easy_setopt(c, CURLOPT_USERNAME, user.constData());
        detail::Curl().easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    }

    std::unique_ptr<curl_slist, SlistDeleter> headers;
    auto addHeader = [&headers](const QByteArray &line) {
        headers.reset(detail::Curl().slist_append(headers.release(), line.constData()));
    };
    if (!request.ContentType.isEmpty())
        addHeader("Content-Type: " + request.ContentType.toLatin1());
    for (const auto &h : request.CustomHeaders)
        addHeader(h.first + ": " + h.second);
    // libcurl would otherwise wait for a 100 Continue before larger bodies.
    addHeader("Expect:");
    detail::Curl().easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());

    if (method == "GET") {
        detail::Curl().easy_setopt(c, CURLOPT_HTTPGET, 1L);
    } else {
        if (method != "POST")
            detail::Curl().easy_setopt(c, CURLOPT_CUSTOMREQUEST, method.constData());
        detail::Curl().easy_setopt(c, CURLOPT_POST, 1L);
        // libcurl sends from this buffer and can rewind it for redirects.
        detail::Curl().easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(t.body.size()));
        detail::Curl().easy_setopt(c, CURLOPT_POSTFIELDS, t.body.constData());
    }

    t.idle.start();
    const CURLcode rc = detail::Curl().easy_perform(c);
    if (rc != CURLE_OK) {
        if (t.timedOut)
            throw EHTTPSocketError(QStringLiteral("Read timed out."), int(CURLE_OPERATION_TIMEDOUT));
        const QString detail = errbuf[0] ? QString::fromLocal8Bit(errbuf)
                                         : QString::fromLatin1(detail::Curl().easy_strerror(rc));
        throw EHTTPSocketError(detail, int(rc));
    }
    long code = 0;
    detail::Curl().easy_getinfo(c, CURLINFO_RESPONSE_CODE, &code);
    response.ResponseCode = int(code);
    if (code >= 400 && !(options & hoNoProtocolErrorException)) {
        const QString line = response.ResponseText.isEmpty()
                                 ? QStringLiteral("HTTP %1").arg(code)
                                 : response.ResponseText;
        throw EHTTPProtocolException(line, int(code), response.BodyAsText());
    }
    return response;
}

THTTPResponse THTTPUtils::Request(const QString &AMethod, const QString &AURL,
                                  const QByteArray &ABody, const THTTPRequest &ARequest,
                                  int AReadTimeout, THTTPOptions AHTTPOptions)
{
    TIdSSLHTTP client;
    client.Request() = ARequest;
    client.SetReadTimeout(AReadTimeout);
    client.SetHTTPOptions(AHTTPOptions);
    return client.DoRequest(AMethod, AURL, ABody);
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

QString THTTPUtils::GetInternationalURL(const QString &AURL)
{
    const qsizetype scheme = AURL.indexOf(QLatin1String("://"));
    const qsizetype hostStart = scheme < 0 ? 0 : scheme + 3;
    qsizetype pathEnd = AURL.size();
    for (const QChar stop : {u'?', u'#'}) {
        const qsizetype i = AURL.indexOf(stop, hostStart);
        if (i >= 0 && i < pathEnd)
            pathEnd = i;
    }
    const qsizetype first = AURL.indexOf(u'/', hostStart);
    if (first < 0 || first >= pathEnd)
        return AURL;
    const qsizetype last = AURL.lastIndexOf(u'/', pathEnd - 1);
    return AURL.left(first) + ParamsEncode(AURL.mid(first, last - first + 1)) + AURL.mid(last + 1);
}

namespace {

bool findLink(const QString &header, const QString &name, const QString &value, QString &out)
{
    const QString key = u';' + name + QLatin1String("=\"") + value + u'"';
    const qsizetype at = header.indexOf(key);
    if (at < 0)
        return false;
    const qsizetype open = header.lastIndexOf(u'<', at);
    if (open < 0)
        return false;
    // The address ends one character before the semicolon: the closing ">".
    out = header.mid(open + 1, qMax<qsizetype>(0, at - 1 - (open + 1)));
    return true;
}

} // namespace

bool THTTPUtils::GetHeaderLink(const QList<QPair<QByteArray, QByteArray>> &AHeaders,
                               const QString &AParamName, const QString &AParamValue, QString &AValue)
{
    AValue.clear();
    for (const auto &h : AHeaders)
        if (h.first.compare("Link", Qt::CaseInsensitive) == 0)
            return findLink(QString::fromUtf8(h.second), AParamName, AParamValue, AValue);
    return false;
}

bool THTTPUtils::GetHeaderLink(const TStringList &AHeaders, const QString &AParamName,
                               const QString &AParamValue, QString &AValue)
{
    AValue.clear();
    for (int i = 0; i < AHeaders.Count(); ++i) {
        const QString line = AHeaders[i];
        const qsizetype colon = line.indexOf(u':');
        if (colon > 0 && line.left(colon).trimmed().compare(QLatin1String("Link"), Qt::CaseInsensitive) == 0)
            return findLink(line.mid(colon + 1).trimmed(), AParamName, AParamValue, AValue);
    }
    return false;
}

QString THTTPUtils::ResolveEntityRef(const QString &Name)
{
    if (!Name.startsWith(u'#'))
        return Name;
    const QString number = Name.mid(1);
    const int code = StrToInt(number);
    if (code < 0 || code > 0x10FFFF)
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(number));
    const char32_t ch = char32_t(code);
    return QString::fromUcs4(&ch, 1);
}

QString THTTPUtils::ReplaceEntities(const QString &Value)
{
    QString result = Value;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype amp = result.indexOf(u'&', pos);
        if (amp < 0)
            break;
        const qsizetype semi = result.indexOf(u';', amp + 1);
        if (semi < 0)
            break;
        const QString replacement = ResolveEntityRef(result.mid(amp + 1, semi - amp - 1));
        result.replace(amp, semi - amp + 1, replacement);
        pos = amp + replacement.size();
    }
    return result;
}

} // namespace zor
