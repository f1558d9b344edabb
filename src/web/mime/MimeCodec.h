// The codecs of Internet mail, each usable on its own:
//
// - transfer encodings: streaming quoted-printable and base64 decoders that
//   never fail (garbage is skipped or kept as written, as mail readers must),
//   and the encoders the writer uses (base64 in 76-character lines,
//   quoted-printable with soft breaks at 76);
// - RFC 2047 encoded words in header text: "=?charset?Q|B?text?=" in any
//   charset DecodeCharset knows; adjacent words are joined (also a character
//   split across them); a word in an unknown charset stays as written. Header
//   bytes outside ASCII are read as UTF-8 when they form valid UTF-8, else as
//   Windows-1252;
// - parameters (Content-Type, Content-Disposition) with RFC 2231 charsets and
//   continuations ("name*0*=utf-8''%C3%A4; name*1=..."); the section count
//   is bounded by the text, never by a number read from it;
// - address lists (RFC 5322: display names, quoted strings, comments, groups,
//   obsolete routes) and dates (RFC 5322 with the obsolete zones and
//   two-digit years).
#pragma once

#include <ZorCompCore/platform/DateTime.h>
#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>

namespace zor {

// Decodes quoted-printable in pieces of any size. "=XX" (either case) is a
// byte, "=" before a line end a soft break; any other "=" is kept as written.
class ZOR_EXPORT TQuotedPrintableDecoder
{
public:
    QByteArray Feed(QByteArrayView data);
    QByteArray Finish();

private:
    QByteArray FPending; // an "=" sequence cut by the end of a piece
};

// Decodes base64 in pieces of any size, skipping every byte outside the
// alphabet. Padding ends a quantum, not the data: concatenated base64 blocks
// decode one after the other.
class ZOR_EXPORT TBase64Decoder
{
public:
    QByteArray Feed(QByteArrayView data);
    QByteArray Finish(); // a trailing incomplete quantum gives its whole bytes

private:
    quint32 FBits = 0;
    int FCount = 0;
};

// Base64 in lines of 76 characters, each ended by CRLF.
ZOR_EXPORT QByteArray EncodeBase64Lines(QByteArrayView data);
// Quoted-printable of text whose lines end in CRLF (kept as hard breaks);
// lines of at most 76 characters; blanks before a line end are encoded.
ZOR_EXPORT QByteArray EncodeQuotedPrintable(QByteArrayView data);
ZOR_EXPORT QByteArray DecodeQuotedPrintable(QByteArrayView data);
ZOR_EXPORT QByteArray DecodeBase64(QByteArrayView data);

// Header bytes to text: 8-bit bytes as UTF-8 (valid) or Windows-1252.
ZOR_EXPORT QString DecodeHeaderBytes(const QByteArray &raw);
// Unstructured header text with its encoded words decoded.
ZOR_EXPORT QString DecodeHeaderWords(const QByteArray &raw);
// Encoded words (UTF-8, B or Q, whichever is shorter, at most 75 characters
// each, never splitting a character) for text that needs them; ASCII text
// without "=?" comes back as it is, unless it starts or ends with a blank:
// a reader drops those around a header value, but not inside a word. The
// words are separated by blanks.
ZOR_EXPORT QByteArray EncodeHeaderWords(const QString &text);
// True when text cannot be written as plain ASCII header text.
ZOR_EXPORT bool NeedsEncodedWords(const QString &text);

// A parsed Content-Type or Content-Disposition: the lower-cased value before
// the first ";" and the parameters in order (lower-cased names, decoded values).
struct ZOR_EXPORT TMimeHeaderParams
{
    QString Value;
    QList<QPair<QString, QString>> Params;
    QString Param(const QString &name) const; // empty when absent
};
ZOR_EXPORT TMimeHeaderParams ParseHeaderParams(const QByteArray &raw);
// One parameter for writing: name="value" (quoted as needed) for ASCII
// values, else name*=utf-8''... (split into continuations when long).
ZOR_EXPORT QByteArray FormatParam(const QString &name, const QString &value);

struct ZOR_EXPORT TMimeAddress
{
    QString Name;    // display name, decoded; empty when none
    QString Address; // local@domain as written (no angle brackets)
    bool operator==(const TMimeAddress &o) const { return Name == o.Name && Address == o.Address; }
};
// Group names are dropped, their members kept; empty entries are skipped.
ZOR_EXPORT QList<TMimeAddress> ParseAddressList(const QByteArray &raw);
// "Name" <address> entries joined by ", "; non-ASCII names as encoded words.
ZOR_EXPORT QByteArray FormatAddressList(const QList<TMimeAddress> &list);

// RFC 5322 date-time to UTC; false when it is no date. offsetMinutes is the
// zone east of UTC as written (0 for "-0000" and unknown zones).
ZOR_EXPORT bool ParseMailDate(const QByteArray &raw, TDateTime &utc, int &offsetMinutes);
// "Mon, 07 Dec 2026 01:02:03 +0100" for a UTC time shown in a zone.
ZOR_EXPORT QByteArray FormatMailDate(TDateTime utc, int offsetMinutes);

} // namespace zor
