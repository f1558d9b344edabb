#include <ZorCompCore/web/mime/MimeMessage.h>

#include "MimeCodec_p.h"

#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/utilities/FileUtils.h>

#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QRandomGenerator>
#include <QSaveFile>

#include <algorithm>
#include <cstring>
#include <vector>

namespace zor {

namespace {

constexpr int MaxDepth = 64;      // deeper containers stay opaque
constexpr int MaxParts = 10000;   // beyond, a container stops splitting
constexpr int FoldWidth = 78;
constexpr int MaxLine = 998;

bool isWsp(char c)
{
    return c == ' ' || c == '\t';
}

bool isAscii(QByteArrayView b)
{
    // Eight bytes at a time: bodies are megabytes.
    const char *p = b.data();
    const qsizetype n = b.size();
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 w;
        std::memcpy(&w, p + i, 8);
        if (w & 0x8080808080808080ULL)
            return false;
    }
    for (; i < n; ++i)
        if (uchar(p[i]) >= 0x80)
            return false;
    return true;
}

// Text in its charset; unknown or missing charsets fall back to UTF-8 when
// valid, else Windows-1252, as for header bytes.
QString decodeText(const QByteArray &bytes, const QString &charset)
{
    const QString cs = charset.trimmed().toLower();
    if (!cs.isEmpty() && cs != QLatin1String("us-ascii")) {
        try {
            return DecodeCharset(bytes, cs);
        } catch (const Exception &) {
        }
    }
    return DecodeHeaderBytes(bytes);
}

QByteArray randomToken(int length)
{
    static const char alphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    QByteArray out;
    for (int i = 0; i < length; ++i)
        out += alphabet[QRandomGenerator::global()->bounded(62)];
    return out;
}

// name: value, folded before blanks so that lines stay within 78 where the
// value allows (a run without blanks cannot be folded).
QByteArray foldHeader(const QByteArray &name, const QByteArray &value)
{
    const QByteArray whole = name + ": " + value;
    if (whole.size() <= FoldWidth)
        return whole + "\r\n";
    QByteArray out;
    qsizetype lineLen = 0;
    qsizetype i = 0;
    const qsizetype n = whole.size();
    while (i < n) {
        // The next chunk: leading blanks plus the word after them.
        qsizetype j = i;
        while (j < n && isWsp(whole[j]))
            ++j;
        // Blanks with no word after them stay on the line: a continuation
        // line of blanks only is not a header line.
        const bool word = j < n;
        while (j < n && !isWsp(whole[j]))
            ++j;
        const qsizetype len = j - i;
        // Never right after "Name:": a value must start on the field's line.
        if (word && i > name.size() + 1 && lineLen > 0 && lineLen + len > FoldWidth && isWsp(whole[i])) {
            out += "\r\n";
            lineLen = 0;
        }
        out += QByteArrayView(whole).sliced(i, len);
        lineLen += len;
        i = j;
    }
    return out + "\r\n";
}

bool isAddressHeader(const QByteArray &name)
{
    static const char *const names[] = {"from", "sender", "to", "cc", "bcc", "reply-to",
                                        "resent-from", "resent-sender", "resent-to", "resent-cc"};
    const QByteArray l = name.toLower();
    return std::any_of(std::begin(names), std::end(names), [&](const char *n) { return l == n; });
}

bool isUnstructuredHeader(const QByteArray &name)
{
    const QByteArray l = name.toLower();
    return l == "subject" || l == "comments" || l == "content-description" || l.startsWith("x-");
}

// A header value ready for the wire: 8-bit text in unstructured fields and
// display names becomes encoded words; other fields stay as they are.
QByteArray wireValue(const QByteArray &name, const QByteArray &raw)
{
    if (isAscii(raw))
        return raw;
    if (isAddressHeader(name))
        return FormatAddressList(ParseAddressList(raw));
    if (isUnstructuredHeader(name))
        return EncodeHeaderWords(DecodeHeaderWords(raw));
    return raw;
}

QByteArray contentTypeValue(const QString &type, const QList<QPair<QString, QString>> &params)
{
    QByteArray out = type.toLatin1();
    for (const auto &p : params) {
        if (p.first == QLatin1String("name") && NeedsEncodedWords(p.second))
            // Readers that predate RFC 2231 know the name only this way.
            out += "; name=\"" + EncodeHeaderWords(p.second) + '"';
        else
            out += "; " + FormatParam(p.first, p.second);
    }
    return out;
}

void setParam(QList<QPair<QString, QString>> &params, const QString &name, const QString &value)
{
    for (auto &p : params)
        if (p.first == name) {
            p.second = value;
            return;
        }
    params.append({name, value});
}

void removeParam(QList<QPair<QString, QString>> &params, const QString &name)
{
    params.removeIf([&](const QPair<QString, QString> &p) { return p.first == name; });
}

struct Parser
{
    const QByteArray &data;

    // One line from pos: its text without the break, and where the next starts.
    bool line(qsizetype pos, qsizetype end, qsizetype &textEnd, qsizetype &next) const
    {
        if (pos >= end)
            return false;
        qsizetype nl = data.indexOf('\n', pos);
        if (nl < 0 || nl >= end) {
            textEnd = end;
            next = end;
        } else {
            textEnd = nl;
            next = nl + 1;
        }
        if (textEnd > pos && data[textEnd - 1] == '\r')
            --textEnd;
        return true;
    }

    // Reads header fields from [pos, end); returns where the body starts.
    qsizetype headers(qsizetype pos, qsizetype end, TMimeHeaders &out, QList<TMimeHeaders::Field> &fields) const
    {
        qsizetype textEnd = 0, next = 0;
        bool first = true;
        while (line(pos, end, textEnd, next)) {
            const QByteArray text = data.mid(pos, textEnd - pos);
            if (text.isEmpty()) {
                pos = next; // the blank line belongs to neither side
                break;
            }
            if (isWsp(text[0]) && !fields.isEmpty()) {
                fields.last().Value += text; // unfolding drops only the line break
            } else {
                const qsizetype colon = text.indexOf(':');
                const QByteArray name = colon > 0 ? text.left(colon).trimmed() : QByteArray();
                bool valid = !name.isEmpty();
                for (const char c : name)
                    if (uchar(c) <= 32 || uchar(c) >= 127)
                        valid = false;
                if (!valid) {
                    if (first && text.startsWith("From ")) { // an mbox separator line
                        pos = next;
                        first = false;
                        continue;
                    }
                    break; // not a header: the body starts here
                }
                qsizetype v = colon + 1;
                while (v < text.size() && isWsp(text[v]))
                    ++v;
                fields.append({name, text.mid(v)});
            }
            first = false;
            pos = next;
        }
        for (auto &f : fields) {
            // Blanks around a value are not part of it (a value may start on
            // a continuation line).
            qsizetype lead = 0;
            while (lead < f.Value.size() && isWsp(f.Value[lead]))
                ++lead;
            f.Value.remove(0, lead);
            while (!f.Value.isEmpty() && isWsp(f.Value.back()))
                f.Value.chop(1);
            out.Add(f.Name, f.Value);
        }
        fields.clear();
        return pos;
    }
};

QByteArray decodeTransfer(QByteArrayView body, const QByteArray &cte)
{
    const QByteArray e = cte.trimmed().toLower();
    if (e == "base64")
        return DecodeBase64(body);
    if (e == "quoted-printable")
        return DecodeQuotedPrintable(body);
    return body.toByteArray();
}

struct Pending
{
    qsizetype start, end;
    int parent;
    int depth;
};

} // namespace

// ---------------------------------------------------------------- headers

bool TMimeHeaders::Has(const QByteArray &name) const
{
    return std::any_of(FFields.begin(), FFields.end(),
                       [&](const Field &f) { return f.Name.compare(name, Qt::CaseInsensitive) == 0; });
}

QByteArray TMimeHeaders::Raw(const QByteArray &name) const
{
    for (const Field &f : FFields)
        if (f.Name.compare(name, Qt::CaseInsensitive) == 0)
            return f.Value;
    return {};
}

QString TMimeHeaders::Text(const QByteArray &name) const
{
    return DecodeHeaderWords(Raw(name));
}

QList<QByteArray> TMimeHeaders::RawAll(const QByteArray &name) const
{
    QList<QByteArray> out;
    for (const Field &f : FFields)
        if (f.Name.compare(name, Qt::CaseInsensitive) == 0)
            out << f.Value;
    return out;
}

void TMimeHeaders::Add(const QByteArray &name, const QByteArray &rawValue)
{
    FFields.append({name, rawValue});
}

void TMimeHeaders::Set(const QByteArray &name, const QByteArray &rawValue)
{
    qsizetype at = -1;
    for (qsizetype i = 0; i < FFields.size(); ++i)
        if (FFields[i].Name.compare(name, Qt::CaseInsensitive) == 0) {
            at = i;
            break;
        }
    Remove(name);
    if (rawValue.isEmpty())
        return;
    if (at < 0 || at > FFields.size())
        FFields.append({name, rawValue});
    else
        FFields.insert(at, {name, rawValue});
}

void TMimeHeaders::Remove(const QByteArray &name)
{
    FFields.removeIf([&](const Field &f) { return f.Name.compare(name, Qt::CaseInsensitive) == 0; });
}

// ---------------------------------------------------------------- parts

// The content and the lock that orders reads of its one stream position.
struct TMimePart::Content
{
    mutable QMutex Lock;
    TSwapedStream Stream{TMimePart::AttachmentMemoryLimit};
};

QByteArray TMimePart::Data() const
{
    if (!FContent)
        return {};
    QMutexLocker lock(&FContent->Lock);
    FContent->Stream.Seek(0, soBeginning);
    return FContent->Stream.ReadAll();
}

void TMimePart::SetData(const QByteArray &AData)
{
    auto content = std::make_shared<Content>();
    content->Stream.WriteBuffer(AData.constData(), AData.size()); // past the limit: into the file
    FContent = std::move(content);
}

qint64 TMimePart::DataSize() const
{
    if (!FContent)
        return 0;
    QMutexLocker lock(&FContent->Lock);
    return FContent->Stream.Size();
}

bool TMimePart::DataSwapped() const
{
    if (!FContent)
        return false;
    QMutexLocker lock(&FContent->Lock);
    return FContent->Stream.Swaping();
}

void TMimePart::SaveDataToStream(TStream &AStream) const
{
    if (!FContent)
        return;
    QMutexLocker lock(&FContent->Lock);
    FContent->Stream.Seek(0, soBeginning);
    AStream.CopyFrom(FContent->Stream, 0);
}

QString TMimePart::ContentType() const
{
    const QString t = ParseHeaderParams(Headers.Raw("Content-Type")).Value;
    return t.isEmpty() ? QStringLiteral("text/plain") : t;
}

QString TMimePart::Param(const QString &name) const
{
    return ParseHeaderParams(Headers.Raw("Content-Type")).Param(name);
}

QString TMimePart::ContentDisposition() const
{
    return ParseHeaderParams(Headers.Raw("Content-Disposition")).Value;
}

QString TMimePart::FileName() const
{
    const QString f = ParseHeaderParams(Headers.Raw("Content-Disposition")).Param(QStringLiteral("filename"));
    return f.isEmpty() ? Param(QStringLiteral("name")) : f;
}

QString TMimePart::ContentID() const
{
    return QString::fromLatin1(Headers.Raw("Content-ID").trimmed());
}

void TMimePart::SetContentType(const QString &type, const QString &charset)
{
    TMimeHeaderParams p = ParseHeaderParams(Headers.Raw("Content-Type"));
    if (!charset.isEmpty())
        setParam(p.Params, QStringLiteral("charset"), charset);
    Headers.Set("Content-Type", contentTypeValue(type.toLower(), p.Params));
}

void TMimePart::SetAttachment(const QString &disposition, const QString &fileName)
{
    IsAttachment = true;
    TMimeHeaderParams ct = ParseHeaderParams(Headers.Raw("Content-Type"));
    if (!fileName.isEmpty())
        setParam(ct.Params, QStringLiteral("name"), fileName);
    Headers.Set("Content-Type", contentTypeValue(ct.Value.isEmpty() ? QStringLiteral("application/octet-stream")
                                                                    : ct.Value,
                                                 ct.Params));
    QByteArray cd = disposition.toLatin1();
    if (!fileName.isEmpty())
        cd += "; " + FormatParam(QStringLiteral("filename"), fileName);
    Headers.Set("Content-Disposition", cd);
}

void TMimePart::SetContentID(const QString &id)
{
    Headers.Set("Content-ID", id.toLatin1());
}

// ---------------------------------------------------------------- message

TMimeMessage::TMimeMessage() = default;
TMimeMessage::~TMimeMessage() = default;

QList<TMimeAddress> TMimeMessage::From() const { return ParseAddressList(Headers.Raw("From")); }
QList<TMimeAddress> TMimeMessage::Sender() const { return ParseAddressList(Headers.Raw("Sender")); }
QList<TMimeAddress> TMimeMessage::To() const { return ParseAddressList(Headers.Raw("To")); }
QList<TMimeAddress> TMimeMessage::Cc() const { return ParseAddressList(Headers.Raw("Cc")); }
QList<TMimeAddress> TMimeMessage::Bcc() const { return ParseAddressList(Headers.Raw("Bcc")); }
QList<TMimeAddress> TMimeMessage::ReplyTo() const { return ParseAddressList(Headers.Raw("Reply-To")); }

void TMimeMessage::SetAddresses(const QByteArray &header, const QList<TMimeAddress> &list)
{
    Headers.Set(header, FormatAddressList(list));
}

QString TMimeMessage::Subject() const
{
    return Headers.Text("Subject");
}

void TMimeMessage::SetSubject(const QString &subject)
{
    Headers.Set("Subject", EncodeHeaderWords(subject));
}

bool TMimeMessage::Date(TDateTime &utc) const
{
    int offset = 0;
    return Headers.Has("Date") && ParseMailDate(Headers.Raw("Date"), utc, offset);
}

QString TMimeMessage::ContentType() const
{
    const QString t = ParseHeaderParams(Headers.Raw("Content-Type")).Value;
    return t.isEmpty() ? QStringLiteral("text/plain") : t;
}

QString TMimeMessage::Param(const QString &name) const
{
    return ParseHeaderParams(Headers.Raw("Content-Type")).Param(name);
}

void TMimeMessage::SetContentType(const QString &type, const QString &charset)
{
    TMimeHeaderParams p = ParseHeaderParams(Headers.Raw("Content-Type"));
    if (!charset.isEmpty())
        setParam(p.Params, QStringLiteral("charset"), charset);
    if (!type.startsWith(QLatin1String("multipart/"), Qt::CaseInsensitive))
        removeParam(p.Params, QStringLiteral("boundary"));
    Headers.Set("Content-Type", contentTypeValue(type.toLower(), p.Params));
}

void TMimeMessage::Clear()
{
    Headers.Clear();
    Body.Clear();
    MessageParts.clear();
}

void TMimeMessage::Parse(const QByteArray &data)
{
    Clear();
    Parser p{data};
    QList<TMimeHeaders::Field> scratch;
    const qsizetype bodyStart = p.headers(0, data.size(), Headers, scratch);

    // Depth-first over entities with an explicit stack: the input decides
    // how much there is, never how deep the C++ stack goes.
    std::vector<Pending> stack;
    stack.push_back({bodyStart, data.size(), -2, 0}); // -2: the message itself
    while (!stack.empty()) {
        const Pending e = stack.back();
        stack.pop_back();
        TMimePart part;
        qsizetype contentStart = e.start;
        if (e.parent == -2) {
            // The message's own content headers describe its body.
            for (int i = 0; i < Headers.Count(); ++i)
                if (Headers.At(i).Name.toLower().startsWith("content-"))
                    part.Headers.Add(Headers.At(i).Name, Headers.At(i).Value);
        } else {
            contentStart = p.headers(e.start, e.end, part.Headers, scratch);
            part.ParentPart = e.parent;
        }
        const QByteArrayView content = QByteArrayView(data).sliced(contentStart, e.end - contentStart);
        const QString type = part.ContentType();
        const QByteArray boundary = part.Param(QStringLiteral("boundary")).toUtf8();
        const bool container = type.startsWith(QLatin1String("multipart/")) && !boundary.isEmpty();

        if (container && e.depth < MaxDepth) {
            // Split at delimiter lines: "--boundary" at a line start with
            // optional "--" and blanks. The search jumps from one occurrence
            // of the delimiter to the next instead of walking every line.
            const QByteArray delim = "--" + boundary;
            const QByteArrayView all(data);
            QList<QPair<qsizetype, qsizetype>> ranges;
            qsizetype from = contentStart;
            qsizetype partStart = -1, preambleEnd = e.end;
            bool closed = false;
            while (!closed && from < e.end) {
                const qsizetype pos = all.first(e.end).indexOf(delim, from);
                if (pos < 0)
                    break;
                from = pos + 1;
                if (pos > contentStart && data[pos - 1] != '\n')
                    continue; // not at a line start
                qsizetype textEnd = 0, next = 0;
                p.line(pos, e.end, textEnd, next);
                bool isDelim = false, isClose = false;
                qsizetype k = pos + delim.size();
                if (k <= textEnd) {
                    if (k + 2 <= textEnd && data[k] == '-' && data[k + 1] == '-') {
                        isClose = true;
                        k += 2;
                    }
                    while (k < textEnd && isWsp(data[k]))
                        ++k;
                    isDelim = k == textEnd;
                }
                if (isDelim && int(MessageParts.size() + ranges.size() + stack.size()) < MaxParts) {
                    // The line break before a delimiter belongs to it.
                    qsizetype before = pos;
                    if (before > contentStart && data[before - 1] == '\n')
                        --before;
                    if (before > contentStart && data[before - 1] == '\r')
                        --before;
                    if (partStart < 0)
                        preambleEnd = before;
                    else
                        ranges.append({partStart, qMax(partStart, before)});
                    partStart = next;
                    closed = isClose;
                    from = next;
                }
            }
            if (partStart >= 0 && !closed)
                ranges.append({partStart, e.end}); // no closing boundary: ends with the data
            const QByteArray preamble = data.mid(contentStart, qMax<qsizetype>(0, preambleEnd - contentStart));
            const int index = e.parent == -2 ? -1 : int(MessageParts.size());
            if (e.parent == -2) {
                if (!preamble.isEmpty())
                    Body.SetText(decodeText(preamble, {}));
            } else {
                if (!preamble.isEmpty())
                    part.Body.SetText(decodeText(preamble, {}));
                MessageParts.append(std::move(part));
            }
            for (qsizetype k = ranges.size() - 1; k >= 0; --k)
                stack.push_back({ranges[k].first, ranges[k].second, index, e.depth + 1});
            continue;
        }

        const QByteArray bytes = decodeTransfer(content, part.Headers.Raw("Content-Transfer-Encoding"));
        const bool text = type.startsWith(QLatin1String("text/")) && part.ContentDisposition() != QLatin1String("attachment");
        if (e.parent == -2 && text) {
            Body.SetText(decodeText(bytes, part.CharSet()));
            continue;
        }
        if (text) {
            part.Body.SetText(decodeText(bytes, part.CharSet()));
        } else {
            part.IsAttachment = true;
            // Opaque containers (too deep, no boundary) keep their raw content.
            part.SetData(bytes);
        }
        MessageParts.append(std::move(part));
    }
}

void TMimeMessage::LoadFromStream(TStream &AStream)
{
    Parse(AStream.ReadAll());
}

void TMimeMessage::LoadFromFile(const QString &AFileName)
{
    QFile f(AFileName);
    if (!f.open(QIODevice::ReadOnly))
        throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(AFileName, f.errorString()));
    Parse(f.readAll());
}

namespace {

using mime_detail::ensureRoom;

// Appends in with every line break (CR, LF or CRLF) as CRLF.
void appendCrlf(QByteArray &out, QByteArrayView in)
{
    ensureRoom(out, in.size() + in.size() / 16 + 2);
    const char *p = in.data();
    const qsizetype n = in.size();
    qsizetype i = 0;
    while (i < n) {
        qsizetype j = i;
        while (j < n && p[j] != '\r' && p[j] != '\n')
            ++j;
        out.append(p + i, j - i);
        if (j >= n)
            break;
        ensureRoom(out, 2 + (n - j) / 16);
        out.append("\r\n", 2);
        i = j + (p[j] == '\r' && j + 1 < n && p[j + 1] == '\n' ? 2 : 1);
    }
}

// Writes the message into one buffer, each byte once: headers, delimiters
// and encoded bodies are appended in place, never built apart and copied.
struct Writer
{
    TMimeMessage &msg;
    QByteArray &out;
    std::vector<std::vector<int>> children; // by part index; the last entry: the message

    explicit Writer(TMimeMessage &m, QByteArray &o) : msg(m), out(o)
    {
        const int n = int(msg.MessageParts.size());
        children.resize(size_t(n) + 1);
        for (int i = 0; i < n; ++i) {
            const int parent = msg.MessageParts[i].ParentPart;
            if (parent == i)
                continue;
            if (parent >= 0 && parent < n)
                children[size_t(parent)].push_back(i);
            else if (parent == -1)
                children[size_t(n)].push_back(i);
        }
    }

    const std::vector<int> &childrenOf(int index) const
    {
        return children[index < 0 ? children.size() - 1 : size_t(index)];
    }

    void header(const QByteArray &name, const QByteArray &value)
    {
        const QByteArray line = foldHeader(name, value);
        ensureRoom(out, line.size());
        out += line;
    }

    // A part's own headers after the content headers we decide.
    void partHeaders(const TMimeHeaders &h, const QByteArray &contentType, const QByteArray &cte,
                     const QByteArray &disposition)
    {
        header("Content-Type", contentType);
        if (!cte.isEmpty())
            header("Content-Transfer-Encoding", cte);
        if (!disposition.isEmpty())
            header("Content-Disposition", disposition);
        for (int i = 0; i < h.Count(); ++i) {
            const QByteArray &name = h.At(i).Name;
            if (name.compare("content-type", Qt::CaseInsensitive) == 0
                || name.compare("content-transfer-encoding", Qt::CaseInsensitive) == 0
                || name.compare("mime-version", Qt::CaseInsensitive) == 0
                || (!disposition.isEmpty() && name.compare("content-disposition", Qt::CaseInsensitive) == 0))
                continue;
            header(name, wireValue(name, h.At(i).Value));
        }
    }

    void contentHeaders(bool top, const TMimeHeaders &h, const QByteArray &contentType, const QByteArray &cte,
                        const QByteArray &disposition = {})
    {
        if (top) {
            header("Content-Type", contentType);
            if (!cte.isEmpty())
                header("Content-Transfer-Encoding", cte);
        } else {
            partHeaders(h, contentType, cte, disposition);
        }
        ensureRoom(out, 2);
        out += "\r\n";
    }

    // A text body: 7bit when it is ASCII with short lines, else
    // quoted-printable (and utf-8 when it is not ASCII). Returns whether the
    // body went out as written (a boundary must then be checked against it).
    bool textEntity(bool top, const TMimeHeaders &h, TMimeHeaderParams &ct, const TStringList &body)
    {
        QByteArray bytes;
        if (body.Count())
            appendCrlf(bytes, body.Text().toUtf8());
        const bool ascii = isAscii(bytes);
        if (!ascii)
            setParam(ct.Params, QStringLiteral("charset"), QStringLiteral("utf-8"));
        // Lines end in CRLF now: the distance between line feeds decides.
        bool longLine = false;
        const char *const b = bytes.constData();
        const qsizetype n = bytes.size();
        for (qsizetype s = 0; s < n && !longLine;) {
            const void *lf = std::memchr(b + s, '\n', size_t(n - s));
            const qsizetype e = lf ? static_cast<const char *>(lf) - b - 1 : n;
            longLine = e - s > MaxLine;
            s = e + 2;
        }
        const bool plain = ascii && !longLine;
        contentHeaders(top, h, contentTypeValue(ct.Value, ct.Params), plain ? "7bit" : "quoted-printable");
        if (plain) {
            ensureRoom(out, bytes.size());
            out += bytes;
        } else {
            mime_detail::appendQuotedPrintable(out, bytes);
        }
        return plain;
    }

    // Headers and body of part index (-1: the message's content headers and
    // body). Returns whether anything in it went out as written rather than
    // base64 or quoted-printable, which cannot hold a delimiter of ours.
    bool entity(int index, int depth)
    {
        const bool top = index < 0;
        TMimePart *part = top ? nullptr : &msg.MessageParts[index];
        const TMimeHeaders &h = top ? msg.Headers : part->Headers;
        TMimeHeaderParams ct = ParseHeaderParams(h.Raw("Content-Type"));
        const std::vector<int> &kids = childrenOf(index);
        const bool container = top ? !kids.empty() : part->IsMultipart() && !part->IsAttachment;
        if (container && depth < MaxDepth)
            return containerEntity(top, h, ct, top ? msg.Body : part->Body, kids, depth);
        if (top || !part->IsAttachment) {
            removeParam(ct.Params, QStringLiteral("boundary"));
            if (ct.Value.isEmpty() || ct.Value.startsWith(QLatin1String("multipart/")))
                ct.Value = QStringLiteral("text/plain");
            return textEntity(top, h, ct, top ? msg.Body : part->Body);
        }
        QByteArray data = part->Data();
        if (!part->StoredPathName.isEmpty()) {
            QFile f(part->StoredPathName);
            if (!f.open(QIODevice::ReadOnly))
                throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(part->StoredPathName, f.errorString()));
            data = f.readAll();
        }
        if (ct.Value.isEmpty())
            ct.Value = part->ContentType(); // what a reader assumes without the header
        // An opaque container is content now: a boundary would invite a split.
        removeParam(ct.Params, QStringLiteral("boundary"));
        if (ct.Value.startsWith(QLatin1String("message/"))) {
            // RFC 2046: an enclosed message is never base64 or quoted-printable.
            contentHeaders(false, h, contentTypeValue(ct.Value, ct.Params), isAscii(data) ? "7bit" : "8bit");
            appendCrlf(out, data);
            return true;
        }
        QByteArray disposition;
        const QString fileName = part->FileName();
        if (!fileName.isEmpty())
            setParam(ct.Params, QStringLiteral("name"), fileName);
        const QString disp = part->ContentDisposition();
        if (!disp.isEmpty() || !fileName.isEmpty()) {
            disposition = (disp.isEmpty() ? QStringLiteral("attachment") : disp).toLatin1();
            if (!fileName.isEmpty())
                disposition += "; " + FormatParam(QStringLiteral("filename"), fileName);
        }
        contentHeaders(false, h, contentTypeValue(ct.Value, ct.Params), "base64", disposition);
        mime_detail::appendBase64Lines(out, data);
        return false;
    }

    bool containerEntity(bool top, const TMimeHeaders &h, TMimeHeaderParams &ct, const TStringList &preamble,
                         const std::vector<int> &kids, int depth)
    {
        if (!ct.Value.startsWith(QLatin1String("multipart/")))
            ct.Value = QStringLiteral("multipart/mixed");
        const qsizetype start = out.size();
        for (;;) {
            // The boundary is chosen first and checked once the content
            // stands, against whatever went out as written ("=_" occurs in
            // neither base64 nor our quoted-printable).
            const QByteArray boundary = "=_zor_" + randomToken(24);
            setParam(ct.Params, QStringLiteral("boundary"), QString::fromLatin1(boundary));
            contentHeaders(top, h, contentTypeValue(ct.Value, ct.Params), {});
            std::vector<std::pair<qsizetype, qsizetype>> raw;
            if (preamble.Count()) {
                const qsizetype at = out.size();
                appendCrlf(out, preamble.Text().toUtf8());
                raw.emplace_back(at, out.size());
            }
            for (const int c : kids) {
                ensureRoom(out, boundary.size() + 4);
                out += "--" + boundary + "\r\n";
                const qsizetype at = out.size();
                if (entity(c, depth + 1))
                    raw.emplace_back(at, out.size());
                ensureRoom(out, 2);
                out += "\r\n";
            }
            ensureRoom(out, boundary.size() + 6);
            out += "--" + boundary + "--\r\n";
            const bool clash = std::any_of(raw.begin(), raw.end(), [&](const auto &r) {
                return QByteArrayView(out).sliced(r.first, r.second - r.first).contains(boundary);
            });
            if (!clash)
                return !raw.empty();
            out.truncate(start);
        }
    }

    qsizetype estimate() const
    {
        qsizetype size = 4096;
        for (const TMimePart &p : msg.MessageParts) {
            size += 512 + qsizetype(p.DataSize() / 57 * 78) + 80;
            for (int i = 0; i < p.Body.Count(); ++i)
                size += p.Body[i].size() * 5 / 4 + 2;
        }
        for (int i = 0; i < msg.Body.Count(); ++i)
            size += msg.Body[i].size() * 5 / 4 + 2;
        return size;
    }
};

} // namespace

QByteArray TMimeMessage::ToBytes()
{
    if (!Headers.Has("Date")) {
        const int offset = QDateTime::currentDateTime().offsetFromUtc() / 60;
        Headers.Add("Date", FormatMailDate(NowUTC(), offset));
    }
    if (!Headers.Has("Message-ID")) {
        QString domain = QStringLiteral("localhost");
        const QList<TMimeAddress> from = From();
        if (!from.isEmpty() && from.first().Address.contains(u'@'))
            domain = from.first().Address.section(u'@', -1);
        Headers.Add("Message-ID", "<" + randomToken(32) + "@" + domain.toUtf8() + ">");
    }
    QByteArray out;
    Writer w(*this, out);
    out.reserve(w.estimate());
    for (int i = 0; i < Headers.Count(); ++i) {
        const QByteArray &name = Headers.At(i).Name;
        if (name.compare("bcc", Qt::CaseInsensitive) == 0 || name.compare("mime-version", Qt::CaseInsensitive) == 0
            || name.compare("content-type", Qt::CaseInsensitive) == 0
            || name.compare("content-transfer-encoding", Qt::CaseInsensitive) == 0
            // the content written is ours: an attachment read at the top is
            // written as a part with its own disposition
            || name.compare("content-disposition", Qt::CaseInsensitive) == 0)
            continue;
        w.header(name, wireValue(name, Headers.At(i).Value));
    }
    out += "MIME-Version: 1.0\r\n";
    w.entity(-1, 0);
    return out;
}

void TMimeMessage::SaveToStream(TStream &AStream)
{
    const QByteArray bytes = ToBytes();
    AStream.WriteBuffer(bytes.constData(), bytes.size());
}

void TMimeMessage::SaveToFile(const QString &AFileName)
{
    const QByteArray bytes = ToBytes();
    QSaveFile f(AFileName);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(AFileName, f.errorString()));
}

} // namespace zor
