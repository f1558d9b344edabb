#include <ZorCompCore/web/mime/MimeMessage.h>

#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>

#include <QDateTime>
#include <QFile>
#include <QRandomGenerator>
#include <QSaveFile>

#include <algorithm>

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

bool isAscii(const QByteArray &b)
{
    return std::all_of(b.begin(), b.end(), [](char c) { return uchar(c) < 0x80; });
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

QByteArray normaliseCrlf(const QByteArray &in)
{
    QByteArray out;
    out.reserve(in.size() + in.size() / 32);
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < in.size() && in[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
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
        while (j < n && !isWsp(whole[j]))
            ++j;
        const qsizetype len = j - i;
        // Never right after "Name:": a value must start on the field's line.
        if (i > name.size() + 1 && lineLen > 0 && lineLen + len > FoldWidth && isWsp(whole[i])) {
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

QByteArray decodeTransfer(const QByteArray &body, const QByteArray &cte)
{
    const QByteArray e = cte.trimmed().toLower();
    if (e == "base64")
        return DecodeBase64(body);
    if (e == "quoted-printable")
        return DecodeQuotedPrintable(body);
    return body;
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
        const QByteArray content = data.mid(contentStart, e.end - contentStart);
        const QString type = part.ContentType();
        const QByteArray boundary = part.Param(QStringLiteral("boundary")).toUtf8();
        const bool container = type.startsWith(QLatin1String("multipart/")) && !boundary.isEmpty();

        if (container && e.depth < MaxDepth) {
            // Split at delimiter lines: "--boundary" with optional "--" and blanks.
            const QByteArray delim = "--" + boundary;
            QList<QPair<qsizetype, qsizetype>> ranges;
            qsizetype pos = contentStart, textEnd = 0, next = 0;
            qsizetype partStart = -1, preambleEnd = e.end;
            bool closed = false;
            while (!closed && p.line(pos, e.end, textEnd, next)) {
                bool isDelim = false, isClose = false;
                if (data.mid(pos, delim.size()) == delim) {
                    qsizetype k = pos + delim.size();
                    if (k + 2 <= textEnd && data.mid(k, 2) == "--") {
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
                }
                pos = next;
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
                MessageParts.append(part);
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
            part.Data = bytes;
        }
        MessageParts.append(part);
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

struct Writer
{
    TMimeMessage &msg;

    QByteArray textBody(const TStringList &body, QList<QPair<QString, QString>> &params, QByteArray &cte)
    {
        const QString text = body.Count() ? body.Text() : QString();
        QByteArray bytes = text.toUtf8();
        const bool ascii = isAscii(bytes);
        if (!ascii)
            setParam(params, QStringLiteral("charset"), QStringLiteral("utf-8"));
        bytes = normaliseCrlf(bytes);
        bool longLine = false;
        for (qsizetype s = 0; s < bytes.size();) {
            qsizetype e = bytes.indexOf("\r\n", s);
            if (e < 0)
                e = bytes.size();
            if (e - s > MaxLine)
                longLine = true;
            s = e + 2;
        }
        if (ascii && !longLine) {
            cte = "7bit";
            return bytes;
        }
        cte = "quoted-printable";
        return EncodeQuotedPrintable(bytes);
    }

    QByteArray partHeaders(const TMimeHeaders &h, const QByteArray &contentType, const QByteArray &cte,
                           const QByteArray &disposition)
    {
        QByteArray out = foldHeader("Content-Type", contentType);
        if (!cte.isEmpty())
            out += foldHeader("Content-Transfer-Encoding", cte);
        if (!disposition.isEmpty())
            out += foldHeader("Content-Disposition", disposition);
        for (int i = 0; i < h.Count(); ++i) {
            const QByteArray l = h.At(i).Name.toLower();
            if (l == "content-type" || l == "content-transfer-encoding" || l == "mime-version"
                || (l == "content-disposition" && !disposition.isEmpty()))
                continue;
            out += foldHeader(h.At(i).Name, wireValue(h.At(i).Name, h.At(i).Value));
        }
        return out;
    }

    QByteArray boundaryFor(const QList<QByteArray> &children)
    {
        for (;;) {
            const QByteArray b = "=_zor_" + randomToken(24);
            // "=_" cannot occur in base64 or in our quoted-printable, but a
            // part written 7bit could hold anything: check.
            if (std::none_of(children.begin(), children.end(), [&](const QByteArray &c) { return c.contains(b); }))
                return b;
        }
    }

    // The content (headers and body) of part index; -1 is the message's body.
    QByteArray entity(int index, int depth)
    {
        const bool top = index < 0;
        const TMimePart *part = top ? nullptr : &msg.MessageParts[index];
        const TMimeHeaders &h = top ? msg.Headers : part->Headers;
        TMimeHeaderParams ct = ParseHeaderParams(h.Raw("Content-Type"));
        QList<int> children;
        for (int i = 0; i < msg.MessageParts.size(); ++i)
            if (msg.MessageParts[i].ParentPart == index && i != index)
                children << i;
        const bool container = top ? !children.isEmpty() : part->IsMultipart() && !part->IsAttachment;
        if (container && depth < MaxDepth) {
            if (!ct.Value.startsWith(QLatin1String("multipart/")))
                ct.Value = QStringLiteral("multipart/mixed");
            QList<QByteArray> written;
            for (int c : children)
                written << entity(c, depth + 1);
            const QByteArray boundary = boundaryFor(written);
            setParam(ct.Params, QStringLiteral("boundary"), QString::fromLatin1(boundary));
            QByteArray body;
            const TStringList &preamble = top ? msg.Body : part->Body;
            if (preamble.Count())
                body += normaliseCrlf(preamble.Text().toUtf8());
            for (const QByteArray &w : written)
                body += "--" + boundary + "\r\n" + w + "\r\n";
            body += "--" + boundary + "--\r\n";
            const QByteArray headers = top ? QByteArray() : partHeaders(h, contentTypeValue(ct.Value, ct.Params), {}, {});
            return top ? contentTypeValue(ct.Value, ct.Params) + '\n' + body : headers + "\r\n" + body;
        }
        if (top || !part->IsAttachment) {
            removeParam(ct.Params, QStringLiteral("boundary"));
            if (ct.Value.isEmpty() || ct.Value.startsWith(QLatin1String("multipart/")))
                ct.Value = QStringLiteral("text/plain");
            QByteArray cte;
            const QByteArray body = textBody(top ? msg.Body : part->Body, ct.Params, cte);
            if (top)
                return contentTypeValue(ct.Value, ct.Params) + '\n' + cte + '\n' + body;
            return partHeaders(h, contentTypeValue(ct.Value, ct.Params), cte, {}) + "\r\n" + body;
        }
        QByteArray data = part->Data;
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
            const QByteArray cte = isAscii(data) ? "7bit" : "8bit";
            const QByteArray body = normaliseCrlf(data);
            return partHeaders(h, contentTypeValue(ct.Value, ct.Params), cte, {}) + "\r\n" + body;
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
        return partHeaders(h, contentTypeValue(ct.Value, ct.Params), "base64", disposition) + "\r\n"
               + EncodeBase64Lines(data);
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
    Writer w{*this};
    // The body first: it decides the content headers of the message.
    const QByteArray content = w.entity(-1, 0);
    QByteArray out;
    for (int i = 0; i < Headers.Count(); ++i) {
        const QByteArray l = Headers.At(i).Name.toLower();
        if (l == "bcc" || l == "mime-version" || l == "content-type" || l == "content-transfer-encoding")
            continue;
        out += foldHeader(Headers.At(i).Name, wireValue(Headers.At(i).Name, Headers.At(i).Value));
    }
    out += "MIME-Version: 1.0\r\n";
    // entity(-1) gives "type\n[cte\n]body" for the message itself.
    const qsizetype nl1 = content.indexOf('\n');
    out += foldHeader("Content-Type", content.left(nl1));
    qsizetype bodyAt = nl1 + 1;
    if (!content.left(nl1).startsWith("multipart/")) {
        // A text body: its transfer encoding follows on the next line.
        const qsizetype nl2 = content.indexOf('\n', bodyAt);
        out += foldHeader("Content-Transfer-Encoding", content.mid(bodyAt, nl2 - bodyAt));
        bodyAt = nl2 + 1;
    }
    out += "\r\n";
    out += QByteArrayView(content).sliced(bodyAt);
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
