#include <ZorCompCore/web/mime/MimeCodec.h>

#include "MimeCodec_p.h"

#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/platform/Exception.h>

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>

namespace zor {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool isWsp(char c)
{
    return c == ' ' || c == '\t';
}

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = dec.decode(bytes); // decoding happens on conversion
    return !dec.hasError();
}

// Text in a named charset, or nothing when the charset is unknown here.
bool decodeInCharset(const QByteArray &bytes, QString charset, QString &out)
{
    // RFC 2231 lets a language ride on the charset: "utf-8*de".
    if (const qsizetype star = charset.indexOf(u'*'); star >= 0)
        charset.truncate(star);
    charset = charset.trimmed();
    if (charset.isEmpty())
        return false;
    try {
        out = DecodeCharset(bytes, charset);
        return true;
    } catch (const Exception &) {
        return false;
    }
}

} // namespace

// ---------------------------------------------------------------- transfer encodings

namespace {

// Base64 alphabet values; -1 for every other byte.
struct Base64Table
{
    qint8 value[256];
    constexpr Base64Table() : value()
    {
        for (int i = 0; i < 256; ++i)
            value[i] = -1;
        for (int i = 0; i < 26; ++i) {
            value['A' + i] = qint8(i);
            value['a' + i] = qint8(26 + i);
        }
        for (int i = 0; i < 10; ++i)
            value['0' + i] = qint8(52 + i);
        value[int('+')] = 62;
        value[int('/')] = 63;
    }
};
constexpr Base64Table kBase64;
constexpr char kBase64Chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kHex[] = "0123456789ABCDEF";

} // namespace

QByteArray TQuotedPrintableDecoder::Feed(QByteArrayView data)
{
    QByteArray joined;
    QByteArrayView in = data;
    if (!FPending.isEmpty()) {
        joined = FPending;
        joined.append(data);
        FPending.clear();
        in = joined;
    }
    const char *p = in.data();
    const qsizetype n = in.size();
    QByteArray out(n, Qt::Uninitialized);
    char *o = out.data();
    for (qsizetype i = 0; i < n; ++i) {
        // Runs without "=" are copied as they are.
        const void *eq = std::memchr(p + i, '=', size_t(n - i));
        const qsizetype at = eq ? static_cast<const char *>(eq) - p : n;
        std::memcpy(o, p + i, size_t(at - i));
        o += at - i;
        i = at;
        if (i >= n)
            break;
        if (i + 1 >= n) {
            FPending = in.sliced(i).toByteArray(); // decided when the rest arrives
            break;
        }
        const int h1 = hexValue(p[i + 1]);
        if (h1 >= 0) {
            if (i + 2 >= n) {
                FPending = in.sliced(i).toByteArray();
                break;
            }
            const int h2 = hexValue(p[i + 2]);
            if (h2 >= 0) {
                *o++ = char(h1 * 16 + h2);
                i += 2;
            } else {
                *o++ = '='; // not an escape: kept as written
            }
            continue;
        }
        // A soft break, perhaps after blanks some transport added.
        qsizetype j = i + 1;
        while (j < n && isWsp(p[j]))
            ++j;
        if (j >= n || (p[j] == '\r' && j + 1 >= n)) {
            FPending = in.sliced(i).toByteArray();
            break;
        }
        if (p[j] == '\n')
            i = j;
        else if (p[j] == '\r')
            i = p[j + 1] == '\n' ? j + 1 : j;
        else
            *o++ = '=';
    }
    out.truncate(o - out.data());
    return out;
}

QByteArray TQuotedPrintableDecoder::Finish()
{
    // An "=" the data ended on: blanks or a CR after it make a soft break
    // (nothing), anything else is kept as written.
    QByteArray rest = FPending;
    FPending.clear();
    if (rest == "=" || (rest.size() >= 2 && hexValue(rest[1]) < 0))
        return {};
    return rest;
}

QByteArray TBase64Decoder::Feed(QByteArrayView data)
{
    const auto *p = reinterpret_cast<const uchar *>(data.data());
    const qsizetype n = data.size();
    QByteArray out(n / 4 * 3 + 3, Qt::Uninitialized);
    char *o = out.data();
    qsizetype i = 0;
    while (i < n) {
        // The common case: whole quanta of alphabet characters.
        if (FCount == 0) {
            while (i + 4 <= n) {
                const int a = kBase64.value[p[i]], b = kBase64.value[p[i + 1]], c = kBase64.value[p[i + 2]],
                          d = kBase64.value[p[i + 3]];
                if ((a | b | c | d) < 0)
                    break;
                const quint32 v = quint32(a) << 18 | quint32(b) << 12 | quint32(c) << 6 | quint32(d);
                o[0] = char(v >> 16);
                o[1] = char(v >> 8);
                o[2] = char(v);
                o += 3;
                i += 4;
            }
            if (i >= n)
                break;
        }
        const uchar ch = p[i++];
        if (ch == '=') {
            // Padding closes the quantum: its whole bytes stand, the next
            // characters start afresh.
            const QByteArray tail = Finish();
            std::memcpy(o, tail.constData(), size_t(tail.size()));
            o += tail.size();
            continue;
        }
        const int v = kBase64.value[ch];
        if (v < 0)
            continue;
        FBits = (FBits << 6) | quint32(v);
        if (++FCount == 4) {
            o[0] = char((FBits >> 16) & 0xFF);
            o[1] = char((FBits >> 8) & 0xFF);
            o[2] = char(FBits & 0xFF);
            o += 3;
            FBits = 0;
            FCount = 0;
        }
    }
    out.truncate(o - out.data());
    return out;
}

QByteArray TBase64Decoder::Finish()
{
    QByteArray out;
    if (FCount == 2) {
        out += char((FBits >> 4) & 0xFF);
    } else if (FCount == 3) {
        out += char((FBits >> 10) & 0xFF);
        out += char((FBits >> 2) & 0xFF);
    }
    // A single leftover character carries no whole byte.
    FBits = 0;
    FCount = 0;
    return out;
}

QByteArray DecodeQuotedPrintable(QByteArrayView data)
{
    TQuotedPrintableDecoder d;
    QByteArray out = d.Feed(data); // before Finish: "+" would leave the order open
    return out + d.Finish();
}

QByteArray DecodeBase64(QByteArrayView data)
{
    TBase64Decoder d;
    QByteArray out = d.Feed(data);
    return out + d.Finish();
}

namespace mime_detail {

void appendBase64Lines(QByteArray &out, QByteArrayView data)
{
    constexpr qsizetype InLine = 57; // 76 characters of output
    const qsizetype n = data.size();
    const qsizetype full = n / InLine, rest = n % InLine;
    const qsizetype size = full * 78 + (rest ? (rest + 2) / 3 * 4 + 2 : 0);
    ensureRoom(out, size);
    const qsizetype at = out.size();
    out.resize(at + size);
    char *o = out.data() + at;
    const auto *p = reinterpret_cast<const uchar *>(data.data());
    // Two characters per lookup: 12 bits of input at a time.
    static const auto pairs = [] {
        std::array<char, 4096 * 2> t{};
        for (int i = 0; i < 4096; ++i) {
            t[size_t(2 * i)] = kBase64Chars[i >> 6];
            t[size_t(2 * i + 1)] = kBase64Chars[i & 63];
        }
        return t;
    }();
    const auto triple = [](const uchar *t, char *to) {
        const quint32 v = quint32(t[0]) << 16 | quint32(t[1]) << 8 | t[2];
        std::memcpy(to, &pairs[(v >> 12) * 2], 2);
        std::memcpy(to + 2, &pairs[(v & 4095) * 2], 2);
    };
    for (qsizetype line = 0; line < full; ++line) {
        for (int k = 0; k < InLine; k += 3, p += 3, o += 4)
            triple(p, o);
        o[0] = '\r';
        o[1] = '\n';
        o += 2;
    }
    if (rest) {
        qsizetype k = 0;
        for (; k + 3 <= rest; k += 3, p += 3, o += 4)
            triple(p, o);
        if (const qsizetype left = rest - k) {
            const uchar t[3] = {p[0], left > 1 ? p[1] : uchar(0), 0};
            triple(t, o);
            o += 4;
            o[-1] = '=';
            if (left == 1)
                o[-2] = '=';
        }
        o[0] = '\r';
        o[1] = '\n';
    }
}

void appendQuotedPrintable(QByteArray &out, QByteArrayView data)
{
    const qsizetype n = data.size();
    // Worst case: every byte escaped, a soft break after every 25 escapes.
    ensureRoom(out, n * 3 + n / 8 + 8);
    const qsizetype at = out.size();
    out.resize(at + n * 3 + n / 8 + 8);
    char *const begin = out.data() + at;
    char *o = begin;
    const char *p = data.data();
    qsizetype lineLen = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const auto c = uchar(p[i]);
        if (c == '\r' && i + 1 < n && p[i + 1] == '\n') {
            *o++ = '\r';
            *o++ = '\n';
            lineLen = 0;
            ++i;
            continue;
        }
        const bool atLineEnd = i + 1 == n || (p[i + 1] == '\r' && i + 2 < n && p[i + 2] == '\n');
        bool escape = c == '=' || c > 126 || (c < 32 && c != '\t') || ((c == ' ' || c == '\t') && atLineEnd);
        // A line start that mail transports mangle ("From ", a lone ".").
        if (lineLen == 0 && (c == '.' || (c == 'F' && data.sliced(i).startsWith("From "))))
            escape = true;
        const int len = escape ? 3 : 1;
        // Soft break so that no line passes 76 (the "=" counts).
        if (lineLen + len > (atLineEnd ? 76 : 75)) {
            *o++ = '=';
            *o++ = '\r';
            *o++ = '\n';
            lineLen = 0;
        }
        if (escape) {
            o[0] = '=';
            o[1] = kHex[c >> 4];
            o[2] = kHex[c & 15];
            o += 3;
        } else {
            *o++ = char(c);
        }
        lineLen += len;
    }
    out.truncate(at + (o - begin));
}

} // namespace mime_detail

QByteArray EncodeBase64Lines(QByteArrayView data)
{
    QByteArray out;
    mime_detail::appendBase64Lines(out, data);
    return out;
}

QByteArray EncodeQuotedPrintable(QByteArrayView data)
{
    QByteArray out;
    mime_detail::appendQuotedPrintable(out, data);
    return out;
}

// ---------------------------------------------------------------- header text

QString DecodeHeaderBytes(const QByteArray &raw)
{
    bool ascii = true;
    for (const char c : raw)
        if (uchar(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return QString::fromLatin1(raw);
    if (isValidUtf8(raw))
        return QString::fromUtf8(raw);
    return DecodeCharset(raw, QStringLiteral("windows-1252"));
}

namespace {

struct EncodedWord
{
    qsizetype start = 0, end = 0; // span in the raw text
    QString charset;
    QByteArray bytes; // decoded bytes
};

// Parses "=?charset?enc?text?=" at pos; false when there is none.
bool parseEncodedWord(const QByteArray &raw, qsizetype pos, EncodedWord &w)
{
    // Words are short (75 by the rules; we allow far more), so every look
    // ahead is bounded: a header full of "=?" costs linear time, not quadratic.
    constexpr qsizetype MaxCharset = 64, MaxText = 1024;
    if (raw.mid(pos, 2) != "=?")
        return false;
    const qsizetype n = raw.size();
    qsizetype q1 = pos + 2;
    while (q1 < n && q1 - pos - 2 <= MaxCharset && raw[q1] != '?')
        ++q1;
    if (q1 >= n || raw[q1] != '?' || q1 == pos + 2)
        return false;
    const qsizetype q2 = q1 + 2;
    if (q2 >= n || raw[q2] != '?')
        return false;
    qsizetype endMark = q2 + 1;
    while (endMark + 1 < n && endMark - q2 <= MaxText && !(raw[endMark] == '?' && raw[endMark + 1] == '=')
           && !isWsp(raw[endMark]) && raw[endMark] != '\r' && raw[endMark] != '\n')
        ++endMark;
    if (endMark + 1 >= n || raw[endMark] != '?' || raw[endMark + 1] != '=')
        return false;
    const QByteArray charset = raw.mid(pos + 2, q1 - pos - 2);
    const QByteArray text = raw.mid(q2 + 1, endMark - q2 - 1);
    for (const char c : charset + text)
        if (isWsp(c) || c == '\r' || c == '\n')
            return false; // words never contain blanks
    const char enc = raw[q1 + 1];
    if (enc == 'B' || enc == 'b') {
        w.bytes = DecodeBase64(text);
    } else if (enc == 'Q' || enc == 'q') {
        QByteArray t = text;
        t.replace('_', ' ');
        w.bytes = DecodeQuotedPrintable(t);
    } else {
        return false;
    }
    w.start = pos;
    w.end = endMark + 2;
    w.charset = QString::fromLatin1(charset);
    return true;
}

} // namespace

QString DecodeHeaderWords(const QByteArray &raw)
{
    QString out;
    qsizetype pos = 0;
    const qsizetype n = raw.size();
    while (pos < n) {
        const qsizetype at = raw.indexOf("=?", pos);
        if (at < 0) {
            out += DecodeHeaderBytes(raw.mid(pos));
            break;
        }
        EncodedWord w;
        if (!parseEncodedWord(raw, at, w)) {
            out += DecodeHeaderBytes(raw.mid(pos, at + 2 - pos));
            pos = at + 2;
            continue;
        }
        out += DecodeHeaderBytes(raw.mid(pos, at - pos));
        // Collect the run of words that only blanks separate; bytes of words
        // in the same charset are joined before decoding, so that a
        // character split across two words comes out whole.
        QList<EncodedWord> run{w};
        qsizetype next = w.end;
        for (;;) {
            qsizetype k = next;
            while (k < n && (isWsp(raw[k]) || raw[k] == '\r' || raw[k] == '\n'))
                ++k;
            EncodedWord more;
            if (k >= n || !parseEncodedWord(raw, k, more))
                break;
            run.append(more);
            next = more.end;
        }
        for (qsizetype i = 0; i < run.size();) {
            qsizetype j = i + 1;
            QByteArray bytes = run[i].bytes;
            while (j < run.size() && run[j].charset.compare(run[i].charset, Qt::CaseInsensitive) == 0)
                bytes += run[j++].bytes;
            QString text;
            if (decodeInCharset(bytes, run[i].charset, text)) {
                out += text;
            } else {
                // Unknown charset: the words stay as written.
                out += QString::fromLatin1(raw.mid(run[i].start, run[j - 1].end - run[i].start));
            }
            i = j;
        }
        pos = next;
    }
    return out;
}

bool NeedsEncodedWords(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x7F || (c.unicode() < 0x20 && c != u'\t'))
            return true;
    return text.contains(QLatin1String("=?"));
}

QByteArray EncodeHeaderWords(const QString &text)
{
    const bool blankAtAnEnd = !text.isEmpty() && (isWsp(text.front().toLatin1()) || isWsp(text.back().toLatin1()));
    if (!NeedsEncodedWords(text) && !blankAtAnEnd)
        return text.toLatin1();
    // Cut the text into pieces of whole characters (surrogate pairs kept
    // together) so that each word stays within 75 characters.
    static const QByteArray prefixB = "=?utf-8?B?", prefixQ = "=?utf-8?Q?";
    auto qLength = [](const QByteArray &utf8) {
        qsizetype len = 0;
        for (const char ch : utf8) {
            const auto c = uchar(ch);
            const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')
                               || c == ' ' || c == '!' || c == '*' || c == '+' || c == '-' || c == '/';
            len += plain ? 1 : 3;
        }
        return len;
    };
    auto qEncode = [](const QByteArray &utf8) {
        static const char hex[] = "0123456789ABCDEF";
        QByteArray out;
        for (const char ch : utf8) {
            const auto c = uchar(ch);
            if (c == ' ')
                out += '_';
            else if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '!'
                     || c == '*' || c == '+' || c == '-' || c == '/')
                out += char(c);
            else {
                out += '=';
                out += hex[c >> 4];
                out += hex[c & 15];
            }
        }
        return out;
    };
    const QByteArray all = text.toUtf8();
    const bool useQ = qLength(all) <= (all.size() + 2) / 3 * 4;
    const qsizetype room = 75 - prefixB.size() - 2; // "?=" closes the word
    QList<QByteArray> words;
    QByteArray piece;
    auto flush = [&]() {
        if (piece.isEmpty())
            return;
        words << (useQ ? prefixQ + qEncode(piece) : prefixB + piece.toBase64()) + "?=";
        piece.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype len = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            len = 2;
        const QByteArray ch = text.mid(i, len).toUtf8();
        i += len - 1;
        const QByteArray grown = piece + ch;
        const qsizetype size = useQ ? qLength(grown) : (grown.size() + 2) / 3 * 4;
        if (size > room)
            flush();
        piece += ch;
    }
    flush();
    return words.join(' ');
}

// ---------------------------------------------------------------- parameters

QString TMimeHeaderParams::Param(const QString &name) const
{
    for (const auto &p : Params)
        if (p.first.compare(name, Qt::CaseInsensitive) == 0)
            return p.second;
    return {};
}

namespace {

// Skips blanks and (nested) comments.
void skipCfws(const QByteArray &s, qsizetype &i)
{
    const qsizetype n = s.size();
    while (i < n) {
        if (isWsp(s[i]) || s[i] == '\r' || s[i] == '\n') {
            ++i;
        } else if (s[i] == '(') {
            int depth = 0;
            while (i < n) {
                if (s[i] == '\\') {
                    i += 2;
                    continue;
                }
                if (s[i] == '(')
                    ++depth;
                else if (s[i] == ')' && --depth == 0) {
                    ++i;
                    break;
                }
                ++i;
            }
        } else {
            break;
        }
    }
}

// A quoted string at s[i] == '"'; i ends after the closing quote (or at the end).
QByteArray readQuoted(const QByteArray &s, qsizetype &i)
{
    QByteArray out;
    const qsizetype n = s.size();
    ++i;
    while (i < n && s[i] != '"') {
        if (s[i] == '\\' && i + 1 < n)
            ++i;
        if (s[i] != '\r' && s[i] != '\n')
            out += s[i];
        ++i;
    }
    if (i < n)
        ++i;
    return out;
}

QByteArray percentDecode(const QByteArray &s)
{
    QByteArray out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0) {
            out += char(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

} // namespace

TMimeHeaderParams ParseHeaderParams(const QByteArray &raw)
{
    TMimeHeaderParams result;
    qsizetype i = 0;
    const qsizetype n = raw.size();
    skipCfws(raw, i);
    const qsizetype valueStart = i;
    while (i < n && raw[i] != ';')
        ++i;
    QByteArray value = raw.mid(valueStart, i - valueStart);
    if (const qsizetype c = value.indexOf('('); c >= 0)
        value.truncate(c);
    result.Value = QString::fromLatin1(value.trimmed()).toLower();

    struct Section
    {
        QByteArray text;
        bool encoded = false;
    };
    // name -> sections by number; plain parameters use section -1.
    std::map<QString, std::map<int, Section>> raw2231;
    QList<QString> order;
    while (i < n) {
        ++i; // the ';'
        skipCfws(raw, i);
        const qsizetype nameStart = i;
        while (i < n && raw[i] != '=' && raw[i] != ';' && !isWsp(raw[i]))
            ++i;
        QString name = QString::fromLatin1(raw.mid(nameStart, i - nameStart)).toLower();
        skipCfws(raw, i);
        if (i >= n || raw[i] != '=') {
            while (i < n && raw[i] != ';')
                ++i;
            continue;
        }
        ++i;
        skipCfws(raw, i);
        QByteArray val;
        if (i < n && raw[i] == '"') {
            val = readQuoted(raw, i);
        } else {
            const qsizetype vs = i;
            while (i < n && raw[i] != ';' && !isWsp(raw[i]) && raw[i] != '(')
                ++i;
            val = raw.mid(vs, i - vs);
        }
        while (i < n && raw[i] != ';')
            ++i;
        if (name.isEmpty())
            continue;
        // RFC 2231: name*, name*N, name*N*.
        Section sec;
        int number = -1;
        if (name.endsWith(u'*')) {
            sec.encoded = true;
            name.chop(1);
        }
        if (const qsizetype star = name.indexOf(u'*'); star >= 0) {
            bool ok = false;
            const int k = name.mid(star + 1).toInt(&ok);
            if (!ok || k < 0 || k > 9999)
                continue;
            number = k;
            name.truncate(star);
        } else if (sec.encoded) {
            number = 0;
        }
        sec.text = val;
        if (!raw2231.count(name))
            order << name;
        auto &sections = raw2231[name];
        if (!sections.count(number))
            sections[number] = sec;
    }
    for (const QString &name : order) {
        const auto &sections = raw2231[name];
        const bool extended = sections.size() > 1 || sections.begin()->first >= 0;
        if (!extended || (sections.count(-1) && sections.size() == 1)) {
            // A plain value; encoded words in it are common practice for names.
            result.Params.append({name, DecodeHeaderWords(sections.at(-1).text)});
            continue;
        }
        QString charset;
        QByteArray bytes;
        QString text;
        int expected = 0;
        for (const auto &[number, sec] : sections) {
            if (number < 0)
                continue;
            if (number != expected)
                break; // a gap ends the value
            ++expected;
            QByteArray part = sec.text;
            if (sec.encoded) {
                if (number == 0) {
                    // charset'language'value
                    const qsizetype q1 = part.indexOf('\'');
                    const qsizetype q2 = q1 < 0 ? -1 : part.indexOf('\'', q1 + 1);
                    if (q2 >= 0) {
                        charset = QString::fromLatin1(part.left(q1));
                        part = part.mid(q2 + 1);
                    }
                }
                bytes += percentDecode(part);
            } else {
                bytes += part;
            }
        }
        if (charset.isEmpty() || !decodeInCharset(bytes, charset, text))
            text = DecodeHeaderBytes(bytes);
        result.Params.append({name, text});
    }
    return result;
}

QByteArray FormatParam(const QString &name, const QString &value)
{
    bool ascii = true;
    for (const QChar c : value)
        if (c.unicode() >= 0x7F || c.unicode() < 0x20)
            ascii = false;
    // Quoted text that looks like an encoded word would be decoded as one.
    if (value.contains(QLatin1String("=?")))
        ascii = false;
    const QByteArray n = name.toLatin1();
    if (ascii) {
        QByteArray v = value.toLatin1();
        v.replace('\\', "\\\\").replace('"', "\\\"");
        return n + "=\"" + v + '"';
    }
    static const char hex[] = "0123456789ABCDEF";
    QList<QByteArray> pieces{"utf-8''"};
    for (const char ch : value.toUtf8()) {
        const auto c = uchar(ch);
        QByteArray enc;
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.' || c == '-'
            || c == '_')
            enc = QByteArray(1, char(c));
        else
            enc = QByteArray{"%"} + hex[c >> 4] + hex[c & 15];
        // Continuations keep each section short enough to fold on its own.
        if (pieces.last().size() + enc.size() > 60)
            pieces.append(QByteArray());
        pieces.last() += enc;
    }
    if (pieces.size() == 1)
        return n + "*=" + pieces[0];
    QList<QByteArray> out;
    for (qsizetype k = 0; k < pieces.size(); ++k)
        out << n + '*' + QByteArray::number(k) + "*=" + pieces[k];
    return out.join("; ");
}

// ---------------------------------------------------------------- addresses

namespace {

// Splits at top-level separators, outside quotes, comments and angle brackets.
QList<QByteArray> splitTopLevel(const QByteArray &s, char sep)
{
    QList<QByteArray> out;
    qsizetype start = 0, i = 0;
    const qsizetype n = s.size();
    bool inAngle = false;
    while (i < n) {
        const char c = s[i];
        if (c == '"') {
            readQuoted(s, i);
            continue;
        }
        if (c == '(') {
            skipCfws(s, i);
            continue;
        }
        if (c == '<')
            inAngle = true;
        else if (c == '>')
            inAngle = false;
        else if (c == sep && !inAngle) {
            out << s.mid(start, i - start);
            start = i + 1;
        }
        ++i;
    }
    out << s.mid(start);
    return out;
}

// Display-name text: quoted strings unquoted, comments dropped, encoded words
// decoded (only outside quotes, as RFC 2047 allows; inside, Python and most
// readers decode them too, so do we).
QString phraseText(const QByteArray &s, QString *comment = nullptr)
{
    QByteArray plain;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n) {
        if (s[i] == '"') {
            plain += readQuoted(s, i);
        } else if (s[i] == '(') {
            const qsizetype from = i;
            skipCfws(s, i);
            if (comment && comment->isEmpty()) {
                QByteArray c = s.mid(from, i - from).trimmed();
                if (c.startsWith('(') && c.endsWith(')'))
                    *comment = DecodeHeaderWords(c.mid(1, c.size() - 2));
            }
            plain += ' ';
        } else {
            plain += s[i++];
        }
    }
    return DecodeHeaderWords(plain).simplified();
}

QByteArray stripComments(const QByteArray &s)
{
    QByteArray out;
    qsizetype i = 0;
    while (i < s.size()) {
        if (s[i] == '(')
            skipCfws(s, i);
        else if (s[i] == '"') {
            const qsizetype from = i;
            readQuoted(s, i);
            out += s.mid(from, i - from);
        } else if (!isWsp(s[i]) && s[i] != '\r' && s[i] != '\n')
            out += s[i++];
        else
            ++i;
    }
    return out;
}

void parseMailbox(const QByteArray &entry, QList<TMimeAddress> &out)
{
    const QByteArray t = entry.trimmed();
    if (t.isEmpty())
        return;
    TMimeAddress a;
    const qsizetype lt = [&] {
        qsizetype i = 0;
        while (i < t.size()) {
            if (t[i] == '"') {
                readQuoted(t, i);
                continue;
            }
            if (t[i] == '(') {
                skipCfws(t, i);
                continue;
            }
            if (t[i] == '<')
                return i;
            ++i;
        }
        return qsizetype(-1);
    }();
    if (lt >= 0) {
        qsizetype gt = t.indexOf('>', lt);
        if (gt < 0)
            gt = t.size();
        QByteArray routeAddr = stripComments(t.mid(lt + 1, gt - lt - 1));
        // Obsolete source route: "<@a,@b:user@host>".
        if (routeAddr.startsWith('@')) {
            const qsizetype colon = routeAddr.indexOf(':');
            if (colon >= 0)
                routeAddr = routeAddr.mid(colon + 1);
        }
        a.Address = DecodeHeaderBytes(routeAddr);
        a.Name = phraseText(t.left(lt));
    } else {
        QString comment;
        phraseText(t, &comment);
        a.Address = DecodeHeaderBytes(stripComments(t));
        a.Name = comment.simplified();
    }
    if (!a.Address.isEmpty() || !a.Name.isEmpty())
        out << a;
}

} // namespace

QList<TMimeAddress> ParseAddressList(const QByteArray &raw)
{
    QList<TMimeAddress> out;
    // Groups first: "name: a, b;" (outside quotes and brackets).
    QList<QByteArray> chunks;
    {
        qsizetype start = 0, i = 0;
        const qsizetype n = raw.size();
        bool inAngle = false, inGroup = false;
        while (i < n) {
            const char c = raw[i];
            if (c == '"') {
                readQuoted(raw, i);
                continue;
            }
            if (c == '(') {
                skipCfws(raw, i);
                continue;
            }
            if (c == '<')
                inAngle = true;
            else if (c == '>')
                inAngle = false;
            else if (!inAngle && !inGroup && c == ':') {
                inGroup = true; // the group's name is dropped
                start = i + 1;
            } else if (!inAngle && inGroup && c == ';') {
                chunks << raw.mid(start, i - start);
                inGroup = false;
                start = i + 1;
            } else if (!inAngle && !inGroup && c == ',') {
                chunks << raw.mid(start, i - start);
                start = i + 1;
            }
            ++i;
        }
        chunks << raw.mid(start);
    }
    for (const QByteArray &chunk : chunks)
        for (const QByteArray &entry : splitTopLevel(chunk, ','))
            parseMailbox(entry, out);
    return out;
}

QByteArray FormatAddressList(const QList<TMimeAddress> &list)
{
    QList<QByteArray> out;
    for (const TMimeAddress &a : list) {
        const QByteArray addr = a.Address.toUtf8();
        if (a.Name.isEmpty()) {
            out << addr;
            continue;
        }
        QByteArray name;
        if (NeedsEncodedWords(a.Name)) {
            name = EncodeHeaderWords(a.Name);
        } else {
            QByteArray v = a.Name.toLatin1();
            v.replace('\\', "\\\\").replace('"', "\\\"");
            name = '"' + v + '"';
        }
        out << name + " <" + addr + '>';
    }
    return out.join(", ");
}

// ---------------------------------------------------------------- dates

bool ParseMailDate(const QByteArray &raw, TDateTime &utc, int &offsetMinutes)
{
    QByteArray spaced;
    {
        qsizetype i = 0;
        const QByteArray src = QByteArray(raw).replace(',', ' ').replace('\t', ' ');
        while (i < src.size()) {
            if (src[i] == '(') {
                skipCfws(src, i);
                spaced += ' ';
            } else {
                spaced += src[i++];
            }
        }
    }
    QList<QByteArray> tok = spaced.simplified().split(' ');
    tok.removeAll(QByteArray());
    static const char *const days[] = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};
    static const char *const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    if (!tok.isEmpty()) {
        const QByteArray first = tok.first().left(3).toLower();
        for (const char *d : days)
            if (first == d) {
                tok.removeFirst();
                break;
            }
    }
    if (tok.size() < 4)
        return false;
    bool ok = false;
    const int day = tok[0].toInt(&ok);
    if (!ok)
        return false;
    int month = 0;
    for (int m = 0; m < 12; ++m)
        if (tok[1].left(3).toLower() == months[m])
            month = m + 1;
    if (month == 0)
        return false;
    int year = tok[2].toInt(&ok);
    if (!ok || year < 0)
        return false;
    // Obsolete years: two digits are 1950-2049, three add 1900.
    if (tok[2].size() == 2)
        year += year < 50 ? 2000 : 1900;
    else if (tok[2].size() == 3)
        year += 1900;
    const QList<QByteArray> hms = tok[3].split(':');
    if (hms.size() < 2 || hms.size() > 3)
        return false;
    int hour = hms[0].toInt(&ok);
    if (!ok)
        return false;
    const int minute = hms[1].toInt(&ok);
    if (!ok)
        return false;
    int second = 0;
    if (hms.size() == 3) {
        second = hms[2].toInt(&ok);
        if (!ok)
            return false;
    }
    if (second == 60)
        second = 59; // a leap second has no TDateTime
    offsetMinutes = 0;
    if (tok.size() > 4) {
        const QByteArray z = tok[4];
        if ((z.startsWith('+') || z.startsWith('-')) && z.size() == 5) {
            const int v = z.mid(1).toInt(&ok);
            if (ok)
                offsetMinutes = (z[0] == '-' ? -1 : 1) * (v / 100 * 60 + v % 100);
        } else {
            static const struct
            {
                const char *name;
                int hours;
            } zones[] = {{"ut", 0},  {"gmt", 0}, {"utc", 0}, {"z", 0},   {"est", -5}, {"edt", -4},
                         {"cst", -6}, {"cdt", -5}, {"mst", -7}, {"mdt", -6}, {"pst", -8}, {"pdt", -7}};
            const QByteArray lz = z.toLower();
            for (const auto &zone : zones)
                if (lz == zone.name)
                    offsetMinutes = zone.hours * 60;
            // Military letters and anything else: -0000, as RFC 5322 says.
        }
    }
    TDateTime local = 0;
    TDateTime time = 0;
    if (!TryEncodeDate(year, month, day, local) || !TryEncodeTime(hour, minute, second, 0, time))
        return false;
    utc = local + time - offsetMinutes / 1440.0;
    return true;
}

QByteArray FormatMailDate(TDateTime utc, int offsetMinutes)
{
    static const char *const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const TDateTime local = utc + offsetMinutes / 1440.0;
    int y, mo, d, h, mi, s, ms;
    DecodeDateTime(local, y, mo, d, h, mi, s, ms);
    const int off = std::abs(offsetMinutes);
    return QStringLiteral("%1, %2 %3 %4 %5:%6:%7 %8%9%10")
        .arg(QLatin1String(days[DayOfWeek(local) - 1]))
        .arg(d, 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(months[mo - 1]))
        .arg(y, 4, 10, QLatin1Char('0'))
        .arg(h, 2, 10, QLatin1Char('0'))
        .arg(mi, 2, 10, QLatin1Char('0'))
        .arg(s, 2, 10, QLatin1Char('0'))
        .arg(offsetMinutes < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(off / 60, 2, 10, QLatin1Char('0'))
        .arg(off % 60, 2, 10, QLatin1Char('0'))
        .toLatin1();
}

} // namespace zor
