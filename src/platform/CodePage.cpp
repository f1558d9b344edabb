#include "CodePage.h"

#include "Exception.h"

#include <QList>
#include <QLocale>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace zor {

namespace {

std::atomic<int> g_ansiCodePage{0}; // 0: not chosen yet

// Windows-1252 0x80..0x9F. The five bytes Windows leaves undefined (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value, as the
// system converter does, so that every byte survives a round trip.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

enum class Builtin { None, Cp1252, Latin1, Ascii, Utf8, Utf16LE, Utf16BE };

Builtin builtinFor(int codePage)
{
    switch (codePage) {
    case 1252: return Builtin::Cp1252;
    case 28591: return Builtin::Latin1;
    case 20127: return Builtin::Ascii;
    case CP_UTF8: return Builtin::Utf8;
    case 1200: return Builtin::Utf16LE;
    case 1201: return Builtin::Utf16BE;
    default: return Builtin::None;
    }
}

char encode1252(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return char(cp);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == cp)
            return char(0x80 + i);
    return '?';
}

// Applies fn to each code point; a lone surrogate counts as one unmappable character.
template <class Fn>
void forEachCodePoint(const QString &text, Fn fn)
{
    const qsizetype n = text.size();
    const char16_t *p = reinterpret_cast<const char16_t *>(text.utf16());
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = p[i];
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
            c = QChar::surrogateToUcs4(char16_t(c), p[i + 1]);
            ++i;
        } else if (QChar::isSurrogate(c)) {
            c = 0xFFFD;
        }
        fn(c);
    }
}

QByteArray encodeSingleByte(const QString &text, Builtin kind)
{
    QByteArray out;
    out.reserve(text.size());
    forEachCodePoint(text, [&](char32_t c) {
        switch (kind) {
        case Builtin::Cp1252: out.append(encode1252(c)); break;
        case Builtin::Latin1: out.append(c <= 0xFF ? char(c) : '?'); break;
        default: out.append(c < 0x80 ? char(c) : '?'); break;
        }
    });
    return out;
}

QString decodeSingleByte(const QByteArray &bytes, Builtin kind)
{
    QString out(bytes.size(), Qt::Uninitialized);
    char16_t *d = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar b = uchar(bytes[i]);
        if (kind == Builtin::Cp1252 && b >= 0x80 && b < 0xA0)
            d[i] = kCp1252High[b - 0x80];
        else if (kind == Builtin::Ascii && b >= 0x80)
            d[i] = 0xFFFD;
        else
            d[i] = b;
    }
    return out;
}

QByteArray encodeBuiltin(const QString &text, Builtin kind)
{
    switch (kind) {
    case Builtin::Utf8: return text.toUtf8();
    case Builtin::Utf16LE:
    case Builtin::Utf16BE: {
        QByteArray out(text.size() * 2, Qt::Uninitialized);
        const char16_t *p = reinterpret_cast<const char16_t *>(text.utf16());
        const bool le = kind == Builtin::Utf16LE;
        for (qsizetype i = 0; i < text.size(); ++i) {
            out[2 * i + (le ? 0 : 1)] = char(p[i] & 0xFF);
            out[2 * i + (le ? 1 : 0)] = char(p[i] >> 8);
        }
        return out;
    }
    default: return encodeSingleByte(text, kind);
    }
}

QString decodeBuiltin(const QByteArray &bytes, Builtin kind)
{
    switch (kind) {
    case Builtin::Utf8: return QString::fromUtf8(bytes);
    case Builtin::Utf16LE:
    case Builtin::Utf16BE: {
        const qsizetype n = bytes.size() / 2;
        QString out(n, Qt::Uninitialized);
        char16_t *d = reinterpret_cast<char16_t *>(out.data());
        const bool le = kind == Builtin::Utf16LE;
        for (qsizetype i = 0; i < n; ++i) {
            const uchar a = uchar(bytes[2 * i]), b = uchar(bytes[2 * i + 1]);
            d[i] = le ? char16_t(a | (b << 8)) : char16_t(b | (a << 8));
        }
        if (bytes.size() % 2)
            out.append(QChar(0xFFFD)); // a dangling half code unit
        return out;
    }
    default: return decodeSingleByte(bytes, kind);
    }
}

// iconv name of a Windows code page number; empty when there is none.
QByteArray iconvNameForCodePage(int codePage)
{
    if (codePage >= 28591 && codePage <= 28606 && codePage != 28600 && codePage != 28602)
        return "ISO-8859-" + QByteArray::number(codePage - 28590);
    switch (codePage) {
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 50220: return "ISO-2022-JP";
    case 51932: return "EUC-JP";
    case 51949: return "EUC-KR";
    case 54936: return "GB18030";
    case 10000: return "MACINTOSH";
    case 12000: return "UTF-32LE";
    case 12001: return "UTF-32BE";
    case 65000: return "UTF-7";
    case 20932: return "EUC-JP";
    default: break;
    }
    if (codePage > 0 && codePage < 65536)
        return "CP" + QByteArray::number(codePage);
    return {};
}

struct Iconv
{
    iconv_t cd;
    Iconv(const QByteArray &to, const QByteArray &from) : cd(iconv_open(to.constData(), from.constData())) {}
    ~Iconv() { if (ok()) iconv_close(cd); }
    Iconv(const Iconv &) = delete;
    Iconv &operator=(const Iconv &) = delete;
    bool ok() const { return cd != iconv_t(-1); }
};

bool iconvKnows(const QByteArray &name)
{
    if (name.isEmpty())
        return false;
    Iconv probe("UTF-8", name);
    return probe.ok();
}

// Text -> charset; characters the charset lacks become '?'.
bool iconvEncode(const QString &text, const QByteArray &charset, QByteArray &out)
{
    Iconv cv(charset, "UTF-32LE");
    if (!cv.ok())
        return false;
    QList<uint> ucs4;
    ucs4.reserve(text.size());
    forEachCodePoint(text, [&](char32_t c) { ucs4.append(c); });
    char *in = reinterpret_cast<char *>(ucs4.data());
    size_t inLeft = size_t(ucs4.size()) * 4;
    out.resize(qsizetype(inLeft) + 16);
    size_t used = 0;
    auto grow = [&] { out.resize(out.size() * 2 + 16); };
    for (;;) {
        char *dst = out.data() + used;
        size_t outLeft = size_t(out.size()) - used;
        const size_t r = iconv(cv.cd, inLeft ? &in : nullptr, &inLeft, &dst, &outLeft);
        used = size_t(out.size()) - outLeft;
        if (r != size_t(-1)) {
            if (inLeft == 0) {
                // flush the shift state of stateful charsets (ISO-2022-JP)
                dst = out.data() + used;
                outLeft = size_t(out.size()) - used;
                if (iconv(cv.cd, nullptr, nullptr, &dst, &outLeft) == size_t(-1) && errno == E2BIG) {
                    grow();
                    continue;
                }
                used = size_t(out.size()) - outLeft;
                break;
            }
            continue;
        }
        if (errno == E2BIG) {
            grow();
        } else if (errno == EILSEQ || errno == EINVAL) {
            // Unmappable: convert a '?' in its place, which also keeps the
            // shift state of stateful charsets (ISO-2022-JP) consistent.
            const uint question = '?';
            if (std::memcmp(in, &question, 4) == 0)
                return false; // the charset cannot even write '?'
            std::memcpy(in, &question, 4);
        } else {
            return false;
        }
    }
    out.resize(qsizetype(used));
    return true;
}

// charset -> text; bytes that do not decode become U+FFFD.
bool iconvDecode(const QByteArray &bytes, const QByteArray &charset, QString &out)
{
    Iconv cv("UTF-16LE", charset);
    if (!cv.ok())
        return false;
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    QByteArray buf(qsizetype(inLeft) * 4 + 16, Qt::Uninitialized);
    size_t used = 0;
    auto putReplacement = [&] {
        if (size_t(buf.size()) - used < 2)
            buf.resize(buf.size() * 2 + 16);
        buf[qsizetype(used++)] = char(0xFD);
        buf[qsizetype(used++)] = char(0xFF);
    };
    while (inLeft > 0) {
        char *dst = buf.data() + used;
        size_t outLeft = size_t(buf.size()) - used;
        const size_t r = iconv(cv.cd, &in, &inLeft, &dst, &outLeft);
        used = size_t(buf.size()) - outLeft;
        if (r != size_t(-1))
            break;
        if (errno == E2BIG) {
            buf.resize(buf.size() * 2 + 16);
        } else if (errno == EILSEQ) {
            ++in;
            --inLeft;
            putReplacement();
        } else if (errno == EINVAL) { // truncated multi-byte sequence at the end
            putReplacement();
            break;
        } else {
            return false;
        }
    }
    out = QString(reinterpret_cast<const QChar *>(buf.constData()), qsizetype(used / 2));
    return true;
}

[[noreturn]] void unsupportedCodePage(int codePage)
{
    throw EEncodingError(QStringLiteral("Unsupported code page %1").arg(codePage));
}

[[noreturn]] void unsupportedCharset(const QString &name)
{
    throw EEncodingError(QStringLiteral("Unsupported charset: %1").arg(name));
}

} // namespace

int AnsiCodePageForLocale(const QLocale &locale)
{
    switch (locale.language()) {
    case QLocale::Russian:
    case QLocale::Ukrainian:
    case QLocale::Bulgarian:
    case QLocale::Serbian: return 1251;
    case QLocale::Greek: return 1253;
    case QLocale::Turkish: return 1254;
    case QLocale::Hebrew: return 1255;
    case QLocale::Arabic:
    case QLocale::Persian: return 1256;
    case QLocale::Lithuanian:
    case QLocale::Latvian:
    case QLocale::Estonian: return 1257;
    case QLocale::Vietnamese: return 1258;
    case QLocale::Thai: return 874;
    case QLocale::Japanese: return 932;
    case QLocale::Korean: return 949;
    case QLocale::Chinese:
        if (locale.script() == QLocale::TraditionalChineseScript || locale.territory() == QLocale::Taiwan
            || locale.territory() == QLocale::HongKong || locale.territory() == QLocale::Macao)
            return 950;
        return 936;
    default: return 1252;
    }
}

int AnsiCodePage()
{
    int cp = g_ansiCodePage.load(std::memory_order_relaxed);
    if (cp != 0)
        return cp;
    // Chosen once from the system locale, as the system's own 8-bit code page
    // would be; a code page iconv lacks falls back to the built-in one.
    cp = AnsiCodePageForLocale(QLocale::system());
    if (!IsCodePageSupported(cp))
        cp = 1252;
    int expected = 0;
    if (!g_ansiCodePage.compare_exchange_strong(expected, cp, std::memory_order_relaxed))
        return expected; // set meanwhile
    return cp;
}

void SetAnsiCodePage(int codePage)
{
    if (!IsCodePageSupported(codePage))
        unsupportedCodePage(codePage);
    g_ansiCodePage.store(codePage, std::memory_order_relaxed);
}

QByteArray ToAnsi(const QString &text)
{
    return ToCodePage(text, AnsiCodePage());
}

QString FromAnsi(const QByteArray &bytes)
{
    return FromCodePage(bytes, AnsiCodePage());
}

bool IsCodePageSupported(int codePage)
{
    return builtinFor(codePage) != Builtin::None || iconvKnows(iconvNameForCodePage(codePage));
}

QByteArray ToCodePage(const QString &text, int codePage)
{
    const Builtin b = builtinFor(codePage);
    if (b != Builtin::None)
        return encodeBuiltin(text, b);
    QByteArray out;
    if (!iconvEncode(text, iconvNameForCodePage(codePage), out))
        unsupportedCodePage(codePage);
    return out;
}

QString FromCodePage(const QByteArray &bytes, int codePage)
{
    const Builtin b = builtinFor(codePage);
    if (b != Builtin::None)
        return decodeBuiltin(bytes, b);
    QString out;
    if (!iconvDecode(bytes, iconvNameForCodePage(codePage), out))
        unsupportedCodePage(codePage);
    return out;
}

int CharsetToCodePage(const QString &charsetName)
{
    const QString n = charsetName.trimmed().toLower();
    static const struct { const char *name; int cp; } kNames[] = {
        {"utf-8", 65001}, {"utf8", 65001}, {"us-ascii", 20127}, {"ascii", 20127},
        {"iso-8859-1", 28591}, {"latin1", 28591}, {"iso_8859-1", 28591}, {"l1", 28591},
        {"utf-16", 1200}, {"utf-16le", 1200}, {"utf-16be", 1201}, {"unicode", 1200},
        {"utf-32", 12000}, {"utf-32le", 12000}, {"utf-32be", 12001}, {"utf-7", 65000},
        {"koi8-r", 20866}, {"koi8-u", 21866}, {"shift_jis", 932}, {"shift-jis", 932},
        {"sjis", 932}, {"gb2312", 936}, {"gbk", 936}, {"big5", 950}, {"euc-kr", 51949},
        {"ks_c_5601-1987", 949}, {"euc-jp", 51932}, {"iso-2022-jp", 50220},
        {"gb18030", 54936}, {"macintosh", 10000}, {"ibm437", 437}, {"ibm850", 850},
        {"ibm852", 852}, {"ibm866", 866}, {"x-mac-roman", 10000},
    };
    for (const auto &e : kNames)
        if (n == QLatin1StringView(e.name))
            return e.cp;
    bool ok = false;
    if (n.startsWith(u"windows-")) {
        const int cp = n.mid(8).toInt(&ok);
        return ok ? cp : 0;
    }
    if (n.startsWith(u"iso-8859-")) {
        const int part = n.mid(9).toInt(&ok);
        return ok && part >= 1 && part <= 16 ? 28590 + part : 0;
    }
    if (n.startsWith(u"cp")) {
        const int cp = n.mid(2).toInt(&ok);
        return ok ? cp : 0;
    }
    return 0;
}

QByteArray EncodeCharset(const QString &text, const QString &charsetName)
{
    const int cp = CharsetToCodePage(charsetName);
    if (builtinFor(cp) != Builtin::None)
        return encodeBuiltin(text, builtinFor(cp));
    QByteArray out;
    const QByteArray name = cp ? iconvNameForCodePage(cp) : charsetName.trimmed().toLatin1().toUpper();
    if (name.isEmpty() || !iconvEncode(text, name, out)) {
        // the name itself may be one iconv knows under another spelling
        if (!cp || !iconvEncode(text, charsetName.trimmed().toLatin1().toUpper(), out))
            unsupportedCharset(charsetName);
    }
    return out;
}

QString DecodeCharset(const QByteArray &bytes, const QString &charsetName)
{
    int cp = CharsetToCodePage(charsetName);
    if (cp == 1200 || cp == 1201) {
        // a byte order mark decides over the name's default (plain "UTF-16" means little-endian here)
        if (bytes.startsWith("\xFF\xFE"))
            return decodeBuiltin(bytes.mid(2), Builtin::Utf16LE);
        if (bytes.startsWith("\xFE\xFF"))
            return decodeBuiltin(bytes.mid(2), Builtin::Utf16BE);
    }
    if (builtinFor(cp) != Builtin::None) {
        QString s = decodeBuiltin(bytes, builtinFor(cp));
        if (cp == CP_UTF8 && s.startsWith(QChar(0xFEFF)))
            s.remove(0, 1);
        return s;
    }
    QString out;
    const QByteArray name = cp ? iconvNameForCodePage(cp) : charsetName.trimmed().toLatin1().toUpper();
    if (name.isEmpty() || !iconvDecode(bytes, name, out)) {
        if (!cp || !iconvDecode(bytes, charsetName.trimmed().toLatin1().toUpper(), out))
            unsupportedCharset(charsetName);
    }
    return out;
}

} // namespace zor
