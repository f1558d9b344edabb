#include <ZorCompCore/web/HtmlEncodeDecode.h>

#include <ZorCompCore/html/HtmlNode.h>
#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/StringList.h>

#include <QStringDecoder>

#include <array>
#include <atomic>
#include <cmath>
#include <mutex>

namespace zor {

namespace {

// Names written between "&" and ";", used only when names are allowed.
// Keep the two columns in step (ORDER ENTITY).
constexpr char16_t kEntityChars[] = {
    u'\u00E4', u'\u00F6', u'\u00FC', u'\u00C4', u'\u00D6', u'\u00DC', u'\u00DF', u'\u00A7', u'\u20AC',
    u'\u00BD', u'\u00B2', u'\u221A', u'\u2211', u'&', u'<', u'>', u'"', u'\''};
constexpr const char *kEntityCodes[] = {
    "auml", "ouml", "uuml", "Auml", "Ouml", "Uuml", "szlig", "sect", "euro",
    "frac12", "sup2", "radic", "sum", "amp", "lt", "gt", "quot", "apos"};
static_assert(std::size(kEntityChars) == 18 && std::size(kEntityCodes) == 18);

// Numeric references "&#<number>;". The blank stands for #160 and the trade
// mark sign for #153: decoding "&#160;" gives a plain blank, and the sign is
// written at its Windows-1252 position.
struct NumericRef
{
    char16_t Char;
    quint16 Number;
};
constexpr NumericRef kChars[] = {
    {u'\u2013', 8211}, {u'\u2014', 8212}, {u'\u00A1', 161}, {u'\u00BF', 191},
    {u'"', 34}, {u'\u201C', 8220}, {u'\u201D', 8221}, {u'\'', 39},
    {u'\u2018', 8216}, {u'\u2019', 8217}, {u'\u00AB', 171}, {u'\u00BB', 187},

    {u' ', 160}, {u'&', 38}, {u'\u00A2', 162}, {u'\u00A9', 169},
    {u'\u00F7', 247}, {u'>', 62}, {u'<', 60}, {u'\u00B5', 181},
    {u'\u00B7', 183}, {u'\u00B6', 182}, {u'\u00B1', 177}, {u'\u20AC', 8364},
    {u'\u00A3', 163}, {u'\u00AE', 174}, {u'\u00A7', 167}, {u'\u2122', 153},
    {u'\u00A5', 165}, {u'\u00B0', 176},

    // Latin letters, lower case first, numbered by their code point.
    {u'\u00E1', 0xE1}, {u'\u00C1', 0xC1}, {u'\u00E0', 0xE0}, {u'\u00C0', 0xC0},
    {u'\u00E2', 0xE2}, {u'\u00C2', 0xC2}, {u'\u00E5', 0xE5}, {u'\u00C5', 0xC5},
    {u'\u00E3', 0xE3}, {u'\u00C3', 0xC3}, {u'\u00E4', 0xE4}, {u'\u00C4', 0xC4},
    {u'\u00E6', 0xE6}, {u'\u00C6', 0xC6}, {u'\u00E7', 0xE7}, {u'\u00C7', 0xC7},
    {u'\u00E9', 0xE9}, {u'\u00C9', 0xC9}, {u'\u00E8', 0xE8}, {u'\u00C8', 0xC8},
    {u'\u00EA', 0xEA}, {u'\u00CA', 0xCA}, {u'\u00EB', 0xEB}, {u'\u00CB', 0xCB},
    {u'\u00ED', 0xED}, {u'\u00CD', 0xCD}, {u'\u00EC', 0xEC}, {u'\u00CC', 0xCC},
    {u'\u00EE', 0xEE}, {u'\u00CE', 0xCE}, {u'\u00EF', 0xEF}, {u'\u00CF', 0xCF},
    {u'\u00F1', 0xF1}, {u'\u00D1', 0xD1}, {u'\u00F3', 0xF3}, {u'\u00D3', 0xD3},
    {u'\u00F2', 0xF2}, {u'\u00D2', 0xD2}, {u'\u00F4', 0xF4}, {u'\u00D4', 0xD4},
    {u'\u00F8', 0xF8}, {u'\u00D8', 0xD8}, {u'\u00F5', 0xF5}, {u'\u00D5', 0xD5},
    {u'\u00F6', 0xF6}, {u'\u00D6', 0xD6},
    {u'\u00DF', 0xDF},
    {u'\u00FA', 0xFA}, {u'\u00DA', 0xDA}, {u'\u00F9', 0xF9}, {u'\u00D9', 0xD9},
    {u'\u00FB', 0xFB}, {u'\u00DB', 0xDB}, {u'\u00FC', 0xFC}, {u'\u00DC', 0xDC},
    {u'\u00FF', 255}, {u'\u00B4', 180}, {u'`', 96},
};
static_assert(std::size(kChars) == 88);

// Every character of both tables lies below this; a direct index per table
// makes encoding one lookup per character.
constexpr char16_t kLookupLimit = 0x2300;

// The reference texts, built on first use and freed by the module's
// shut-down. Indexes hold the table position of a character (its first
// one), -1 for none.
struct EntityTables
{
    QString Named[std::size(kEntityChars)];
    QString Numeric[std::size(kChars)];
    std::array<qint8, kLookupLimit> NamedIndex;
    std::array<qint8, kLookupLimit> NumericIndex;

    EntityTables()
    {
        NamedIndex.fill(-1);
        NumericIndex.fill(-1);
        for (int i = int(std::size(kEntityChars)) - 1; i >= 0; --i) {
            Named[i] = u'&' + QLatin1StringView(kEntityCodes[i]) + u';';
            NamedIndex[kEntityChars[i]] = qint8(i);
        }
        for (int i = int(std::size(kChars)) - 1; i >= 0; --i) {
            Numeric[i] = QStringLiteral("&#%1;").arg(kChars[i].Number);
            NumericIndex[kChars[i].Char] = qint8(i);
        }
    }
};

std::atomic<EntityTables *> g_tables{nullptr};
std::mutex g_tablesBuild;

const EntityTables &tables()
{
    if (const EntityTables *t = g_tables.load(std::memory_order_acquire))
        return *t;
    std::lock_guard lock(g_tablesBuild);
    EntityTables *t = g_tables.load(std::memory_order_acquire);
    if (!t) {
        t = new EntityTables;
        g_tables.store(t, std::memory_order_release);
    }
    return *t;
}

// Position of needle (lower-case ASCII) in hay, comparing A-Z as a-z only.
qsizetype indexOfAsciiLower(QStringView hay, QLatin1StringView needle, qsizetype from)
{
    const qsizetype n = needle.size();
    for (qsizetype i = std::max<qsizetype>(from, 0); i + n <= hay.size(); ++i) {
        qsizetype k = 0;
        for (; k < n; ++k) {
            char16_t c = hay[i + k].unicode();
            if (c >= u'A' && c <= u'Z')
                c += 32;
            if (c != char16_t(uchar(needle[k].toLatin1())))
                break;
        }
        if (k == n)
            return i;
    }
    return -1;
}

// Text from bytes the way a byte order mark says, the mark itself kept as
// U+FEFF (it is part of the bytes being converted); without one, the bytes
// are ANSI.
QString decodeByMark(const QByteArray &bytes)
{
    auto decode = [&](QStringConverter::Encoding e) {
        QStringDecoder d(e, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
        return QString(d(bytes));
    };
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return decode(QStringConverter::Utf8);
    if (bytes.startsWith("\xFF\xFE"))
        return decode(QStringConverter::Utf16LE);
    if (bytes.startsWith("\xFE\xFF"))
        return decode(QStringConverter::Utf16BE);
    return FromAnsi(bytes);
}

} // namespace

int THTMLUtils::PosIsInCharSet(QChar AChar, QStringView ACharSet, int High)
{
    const qsizetype last = std::min<qsizetype>(High, ACharSet.size() - 1);
    for (qsizetype i = 0; i <= last; ++i)
        if (ACharSet[i] == AChar)
            return int(i);
    return -1;
}

QString THTMLUtils::HtmlEncode(const QString &Data, bool AAllowEntities)
{
    const EntityTables &t = tables();
    QString out;
    out.reserve(qsizetype(std::lround(Data.size() * 1.5)));
    for (qsizetype i = 0; i < Data.size(); ++i) {
        const char16_t c = Data[i].unicode();
        if (c == u' ') {
            // A lone blank stays; a leading one or one after a blank would
            // collapse in HTML, so it is written as a no-break space.
            if (i == 0 || Data[i - 1] == u' ')
                out += QStringLiteral("&nbsp;");
            else
                out += u' ';
            continue;
        }
        if (c < kLookupLimit) {
            if (AAllowEntities && t.NamedIndex[c] >= 0) {
                out += t.Named[t.NamedIndex[c]];
                continue;
            }
            if (t.NumericIndex[c] >= 0) {
                out += t.Numeric[t.NumericIndex[c]];
                continue;
            }
        }
        out += QChar(c);
    }
    return out;
}

QString THTMLUtils::HtmlDecode(const QString &aStr)
{
    if (!aStr.contains(u'&'))
        return aStr;
    const EntityTables &t = tables();
    // Pass after pass, as the tables order them: what one pass produces may
    // be decoded by a later one ("&amp;lt;" ends as "<").
    QString s = aStr;
    for (size_t i = 0; i < std::size(kEntityChars); ++i)
        s.replace(t.Named[i], QString(QChar(kEntityChars[i])));
    for (size_t i = 0; i < std::size(kChars); ++i)
        s.replace(t.Numeric[i], QString(QChar(kChars[i].Char)));
    s.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
    return s;
}

QString THTMLUtils::ConvertTextToHTML(const QString &AText, bool AIncludeVisualCrLf)
{
    TStringList lines;
    lines.SetText(AText);
    QString out;
    bool open = false;
    auto close = [&] {
        out += QStringLiteral("</p>");
        if (AIncludeVisualCrLf)
            out += QStringLiteral("\r\n");
        open = false;
    };
    for (int i = 0; i < lines.Count(); ++i) {
        const QString line = lines.Get(i);
        if (line.isEmpty()) {
            if (open)
                close();
            continue;
        }
        if (!open) {
            out += QStringLiteral("<p>");
            open = true;
        }
        out += HtmlEncode(line, true);
    }
    if (open)
        close();
    return out;
}

QString THTMLUtils::ConvertHTMLToText(const QString &AHTML)
{
    THtmlNode doc;
    doc.Parse(AHTML);
    return doc.InnerText();
}

QString THTMLUtils::ConvertHTMLToSimpleHTML(const QString &S)
{
    QString s = S;
    s.remove(QStringLiteral("<p>"));
    s.remove(QStringLiteral("</p>"));
    s.replace(QStringLiteral("<br>"), QStringLiteral("\r\n"));
    s.replace(QStringLiteral("<br/>"), QStringLiteral("\r\n"));
    s.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
    return s;
}

QString THTMLUtils::ConvertSimpleHTMLToHTML(const QString &S)
{
    QString s = S;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("<br/>"));
    s.replace(QStringLiteral("  "), QStringLiteral(" &nbsp;"));
    return s;
}

QString THTMLUtils::ExtractBodyPartFromHTML(const QString &AHTML)
{
    const qsizetype open = indexOfAsciiLower(AHTML, QLatin1StringView("<body"), 0);
    if (open < 0)
        return AHTML;
    const qsizetype close = indexOfAsciiLower(AHTML, QLatin1StringView("</body>"), open + 5);
    if (close < 0)
        return AHTML;
    const qsizetype gt = AHTML.indexOf(u'>', open);
    // "<body</body>": the tag never ends before the closing one; nothing lies between.
    if (gt < 0 || gt >= close)
        return {};
    return AHTML.mid(gt + 1, close - gt - 1);
}

QString THTMLUtils::GetHTMLCharSet(const QString &S, const QString &ADefault)
{
    Q_UNUSED(ADefault) // callers tell "declared" from "not declared" by the empty result
    const qsizetype p = S.indexOf(QStringLiteral("charset="));
    if (p < 0)
        return {};
    const qsizetype eq = S.indexOf(u'=', p);
    const qsizetype semi = S.indexOf(u';', p);
    const qsizetype quote = S.indexOf(u'"', p);
    // The value ends at a ';' that comes before the closing quote, else at
    // the quote; a quote right after '=' (charset="x") leaves nothing.
    const qsizetype end = (semi >= 0 && quote > semi) ? semi : quote;
    if (end <= eq + 1)
        return {};
    QString result = S.mid(eq + 1, end - eq - 1);
    if (result.size() > 2 && result.startsWith(u'"') && result.endsWith(u'"'))
        result = result.mid(1, result.size() - 2);
    return result;
}

bool THTMLUtils::GetHasHTMLCharSet(const QString &S)
{
    return !GetHTMLCharSet(S, QString()).isEmpty();
}

QByteArray THTMLUtils::EncodeByCharset(const QString &S, const QString &ACharSet)
{
    const QByteArray ansi = ToAnsi(S);
    if (ACharSet.isEmpty())
        return ansi;
    try {
        // The text has been through the ANSI code page: what it could not
        // hold is '?' by now, whatever the target charset could have held.
        return EncodeCharset(decodeByMark(ansi), ACharSet);
    } catch (const EEncodingError &) {
        return ansi; // a charset this system does not know: the ANSI bytes
    }
}

QByteArray THTMLUtils::EncodeHTMLByOwnCharset(const QString &S)
{
    const QString charset = GetHTMLCharSet(S, QStringLiteral("UTF-8"));
    if (charset.isEmpty())
        return ToAnsi(S);
    return EncodeByCharset(S, charset);
}

namespace detail {

void HtmlEncodeDecodeShutdown()
{
    std::lock_guard lock(g_tablesBuild);
    delete g_tables.exchange(nullptr, std::memory_order_acq_rel);
}

} // namespace detail

} // namespace zor
