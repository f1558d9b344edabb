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
};

} // namespace zor
