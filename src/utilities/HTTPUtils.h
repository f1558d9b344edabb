// One-shot HTTP and HTTPS requests over libcurl, with URL and parameter
// helpers. Every request follows redirects, honours a read time-out (no byte
// received for that long) and sends basic authentication when the URL carries
// a user name.
#pragma once

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <memory>

namespace zor {

class TStream;
class TStringList;

// An answer with a status of 400 or above. Message() is the status line
// ("HTTP/1.1 404 Not Found"); ErrorMessage holds the response body.
class ZOR_EXPORT EHTTPProtocolException : public Exception
{
public:
    EHTTPProtocolException(QString message, int errorCode, QString errorMessage)
        : Exception(std::move(message)), ErrorCode(errorCode), ErrorMessage(std::move(errorMessage)) {}
    const char *ClassName() const override { return "EHTTPProtocolException"; }
    int ErrorCode = 0;
    QString ErrorMessage;
};

// A transport failure: no connection, TLS failure, read time-out. The
// message is libcurl's description of what went wrong.
class ZOR_EXPORT EHTTPSocketError : public Exception
{
public:
    explicit EHTTPSocketError(QString message, int errorCode = 0)
        : Exception(std::move(message)), ErrorCode(errorCode) {}
    const char *ClassName() const override { return "EHTTPSocketError"; }
    int ErrorCode = 0; // the CURLcode
};

// Client options for the Get form that takes them.
enum THTTPOption : unsigned {
    hoNoProtocolErrorException = 0x01, // answers >= 400 are returned, not raised
    hoNoRedirects = 0x02,              // do not follow Location answers
    hoNoPeerVerification = 0x04,       // accept any TLS certificate (test servers)
};
using THTTPOptions = unsigned;

// What a request sends besides the URL and the body.
struct ZOR_EXPORT THTTPRequest
{
    QString Username;
    QString Password;
    bool BasicAuthentication = false;
    QString ContentType;
    QList<QPair<QByteArray, QByteArray>> CustomHeaders;
};

// What came back: status, headers (name, value) in arrival order of the final
// answer, and the body.
struct ZOR_EXPORT THTTPResponse
{
    int ResponseCode = 0;
    QString ResponseText; // the status line
    QList<QPair<QByteArray, QByteArray>> RawHeaders;
    QByteArray Body;
    QString ContentType() const;     // value of the Content-Type header
    QString ContentEncoding() const; // its charset
    QString BodyAsText() const;      // decoded by charset (UTF-8 when none)
};

// TLS settings of a TIdSSLHTTP. Certificates are verified against the
// system's trust store (or RootCertFile) unless VerifyPeer is switched off:
// a client that trusts any certificate invites a man in the middle.
struct ZOR_EXPORT TIdSSLOptions
{
    QString CertFile;     // client certificate (PEM), sent when the server asks
    QString KeyFile;      // its private key (PEM); encrypted keys use SSLCertPassword
    QString RootCertFile; // CA bundle (PEM) that replaces the system's trust store
    int VerifyDepth = 5;  // longest certificate chain accepted
    bool VerifyPeer = true;
};

// An HTTP(S) client over libcurl: one object, any number of requests. Each
// request takes its credentials from the URL first (SetUpAuthByURL), follows
// redirects while HandleRedirects is set and fails when no byte moves for
// ReadTimeout milliseconds (0: no limit).
class ZOR_EXPORT TIdSSLHTTP
{
public:
    TIdSSLHTTP();
    ~TIdSSLHTTP();
    TIdSSLHTTP(const TIdSSLHTTP &) = delete;
    TIdSSLHTTP &operator=(const TIdSSLHTTP &) = delete;

    bool HandleRedirects() const;
    void SetHandleRedirects(bool value);
    int ReadTimeout() const;
    void SetReadTimeout(int milliseconds);
    THTTPOptions HTTPOptions() const;
    void SetHTTPOptions(THTTPOptions value);
    TIdSSLOptions &SSLOptions();
    QString SSLCertPassword() const;
    void SetSSLCertPassword(const QString &value);
    // What the next request sends besides URL and body (content type,
    // credentials, extra headers).
    THTTPRequest &Request();
    // The answer of the last request that reached a server.
    const THTTPResponse &Response() const;

    QString Get(const QString &AURL);
    void Get(const QString &AURL, TStream &AResponseContent);
    // Posts ASource from position 0.
    void Post(const QString &AURL, TStream &ASource, TStream &AResponseContent);
    QString Post(const QString &AURL, TStream &ASource);
    // Any method; a body is sent unless the method is GET. Raises
    // EHTTPProtocolException for answers >= 400 (unless
    // hoNoProtocolErrorException) and EHTTPSocketError for transport failures.
    const THTTPResponse &DoRequest(const QString &AMethod, const QString &AURL,
                                   const QByteArray &ABody = {});

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

class ZOR_EXPORT THTTPUtils
{
public:
    // Read time-outs are in milliseconds; 0 waits without limit. ACodePage is
    // accepted for source compatibility and not used: text answers are decoded
    // by the charset the server names.
    static QString Get(const QString &AURL, int AReadTimeout = 0, int ACodePage = 0);
    static void Get(const QString &AURL, TStream &AResponseContent, int AReadTimeout = 0,
                    int ACodePage = 0);
    static QString Get(const QString &AURL, THTTPOptions AHTTPOptions, int AReadTimeout,
                       int ACodePage);
    // Posts the list's name=value pairs form-encoded.
    static void Post(const QString &AURL, const TStringList &ASource, TStream &AResponseContent,
                     int AReadTimeout = 0);
    // Posts the stream from position 0; AContentType is sent when not empty.
    static void Post(const QString &AURL, TStream &ASource, TStream &AResponseContent,
                     int AReadTimeout = 0, const QString &AContentType = {});
    static QString Post(const QString &AURL, TStream &ASource, int AReadTimeout = 0);

    // The general request behind the forms above. AMethod is "GET" or "POST"
    // (any other verb is sent as a custom request); a body is sent when the
    // method is not GET. Raises EHTTPProtocolException for answers >= 400
    // unless hoNoProtocolErrorException is given.
    static THTTPResponse Request(const QString &AMethod, const QString &AURL,
                                 const QByteArray &ABody, const THTTPRequest &ARequest,
                                 int AReadTimeout = 0, THTTPOptions AHTTPOptions = 0);

    // Percent-encodes everything but A-Z a-z 0-9 - . _ (text as UTF-8 bytes).
    static QString ParamsEncode(const QString &ASrc);
    static QString ParamsEncode(const QByteArray &ASrc);
    // name=encoded value for each name/value entry, joined with ADelimiter.
    static QString ParamsEncode(const TStringList &AParams, const QString &ADelimiter = QStringLiteral("&"));

    static QString RemoveProtocol(const QString &AURL);
    static QString ExtractContentType(const QString &AHeaderValue);
    static QString ExtractContentEncoding(const QString &AHeaderValue);
    static bool IsHTTPUrl(const QString &AURL, bool AOnlySSL = false);
    static QString CheckAndAddProtocol(const QString &URL);
    static void SetUpAuthByURL(const QString &AURL, THTTPRequest &AHTTPRequest);

    // The ParamsEncode form of the directory part of a URL (from the first
    // "/" after the host to the last "/", slashes included); the rest stays.
    static QString GetInternationalURL(const QString &AURL);

    // Finds in the (first) Link header the entry with ;AParamName="AParamValue"
    // written exactly so (no blanks) and returns its <address> in AValue.
    static bool GetHeaderLink(const QList<QPair<QByteArray, QByteArray>> &AHeaders,
                              const QString &AParamName, const QString &AParamValue, QString &AValue);
    // The same over "Name: value" lines.
    static bool GetHeaderLink(const TStringList &AHeaders, const QString &AParamName,
                              const QString &AParamValue, QString &AValue);

    // "#nnn" (StrToInt: decimal, $hex) gives that code point, as a surrogate
    // pair above U+FFFF; EConvertError when it is no number or outside
    // 0..10FFFF. Any other name comes back as it is.
    static QString ResolveEntityRef(const QString &Name);
    // Replaces each "&name;" by ResolveEntityRef(name), left to right.
    static QString ReplaceEntities(const QString &Value);
};

} // namespace zor
