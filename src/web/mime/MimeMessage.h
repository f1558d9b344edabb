// TMimeMessage: an Internet mail message (RFC 5322 with MIME, RFC 2045-2049)
// read from and written to bytes.
//
// Model. Headers keep their order, repeats and raw (unfolded) values; names
// compare case-insensitively. A message without parts keeps its text in
// Body. A multipart message lists its parts flat, depth first, each with the
// index of its container in ParentPart (-1: the message itself); multipart
// containers are text parts whose ContentType is "multipart/...", their
// preamble in Body. Leaves of type text/* without an attachment disposition
// are text parts (Body decoded by their charset), all others attachments
// (Data(), decoded from the transfer encoding; large ones in temporary files).
//
// Reading never fails: lines may end in LF or CRLF; a part whose closing
// boundary is missing ends at the end of the data; message/rfc822 parts stay
// attachments; containers nested deeper than 64 stay opaque attachments, so
// no input drives recursion; a non-text single-part message becomes one
// attachment part.
//
// Writing: CRLF; headers folded at 78 characters where blanks allow, never
// over 998 when the value has blanks; encoded words only in unstructured
// text and display names; text parts 7bit when ASCII with lines of at most
// 998 bytes, else quoted-printable, always utf-8 when not ASCII; attachments
// base64 with filename*=utf-8''... beside an encoded-word name=; boundaries
// random and checked against the content. Date and Message-ID are added when
// missing, Bcc is never written.
#pragma once

#include <ZorCompCore/web/mime/MimeCodec.h>
#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

namespace zor {

class TStream;

// Ordered header fields with raw values.
class ZOR_EXPORT TMimeHeaders
{
public:
    struct Field
    {
        QByteArray Name;
        QByteArray Value; // unfolded, as written
    };
    int Count() const { return int(FFields.size()); }
    const Field &At(int index) const { return FFields.at(index); }
    bool Has(const QByteArray &name) const;
    // The first field of that name ("" when none), raw and decoded.
    QByteArray Raw(const QByteArray &name) const;
    QString Text(const QByteArray &name) const; // encoded words decoded
    QList<QByteArray> RawAll(const QByteArray &name) const;
    void Add(const QByteArray &name, const QByteArray &rawValue);
    // Replaces the first field of that name (keeping its place) and removes
    // the others; appends when there is none. An empty value removes all.
    void Set(const QByteArray &name, const QByteArray &rawValue);
    void Remove(const QByteArray &name);
    void Clear() { FFields.clear(); }

private:
    QList<Field> FFields;
};

class ZOR_EXPORT TMimePart
{
public:
    TMimeHeaders Headers;
    int ParentPart = -1;
    bool IsAttachment = false;
    TStringList Body; // text parts: the decoded text; containers: the preamble
    // Attachments added from a file: read when the message is written.
    QString StoredPathName;

    // Attachments: the decoded content. Up to AttachmentMemoryLimit bytes it
    // is kept in memory, beyond that in a self-deleting temporary file (a
    // TSwapedStream), so that a message read with large attachments holds
    // little memory. Copies of a part share the content until one of them
    // sets new content; reading it is safe from several threads.
    static constexpr qint64 AttachmentMemoryLimit = 1 << 20;
    QByteArray Data() const;
    void SetData(const QByteArray &AData);
    qint64 DataSize() const;
    bool DataSwapped() const; // held in a temporary file
    // Writes the content to AStream in pieces (no copy of it in memory).
    void SaveDataToStream(TStream &AStream) const;

    // Lower-cased media type ("text/plain" when the header is missing).
    QString ContentType() const;
    QString Param(const QString &name) const; // a Content-Type parameter
    QString CharSet() const { return Param(QStringLiteral("charset")); }
    QString ContentDisposition() const; // "inline", "attachment" or ""
    // The file name: Content-Disposition's filename, else Content-Type's name.
    QString FileName() const;
    QString ContentID() const; // as written, with its angle brackets
    bool IsMultipart() const { return ContentType().startsWith(QLatin1String("multipart/")); }

    // Helpers for building parts.
    void SetContentType(const QString &type, const QString &charset = {});
    void SetAttachment(const QString &disposition, const QString &fileName);
    void SetContentID(const QString &id);

private:
    struct Content;
    std::shared_ptr<Content> FContent;
};

class ZOR_EXPORT TMimeMessage
{
public:
    TMimeMessage();
    virtual ~TMimeMessage();

    TMimeHeaders Headers;
    TStringList Body; // without parts: the text; with parts: the preamble
    QList<TMimePart> MessageParts;

    // Typed views of the headers.
    QList<TMimeAddress> From() const;
    QList<TMimeAddress> Sender() const;
    QList<TMimeAddress> To() const;
    QList<TMimeAddress> Cc() const;
    QList<TMimeAddress> Bcc() const;
    QList<TMimeAddress> ReplyTo() const;
    void SetAddresses(const QByteArray &header, const QList<TMimeAddress> &list);
    QString Subject() const;
    void SetSubject(const QString &subject);
    // The Date header in UTC; false when missing or unreadable.
    bool Date(TDateTime &utc) const;
    QString ContentType() const; // lower-cased media type, "text/plain" by default
    QString Param(const QString &name) const;
    QString CharSet() const { return Param(QStringLiteral("charset")); }
    void SetContentType(const QString &type, const QString &charset = {});

    // Clears everything, then reads the message.
    void Parse(const QByteArray &data);
    void LoadFromStream(TStream &AStream);
    void LoadFromFile(const QString &AFileName);
    // The message as sent (CRLF). Adds Date and Message-ID to the headers when
    // they are missing, so that saving twice gives the same identity.
    QByteArray ToBytes();
    void SaveToStream(TStream &AStream);
    // Writes to a temporary name in the same folder, then renames it into place.
    void SaveToFile(const QString &AFileName);
    void Clear();
};

} // namespace zor
