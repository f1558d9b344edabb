#include "HtmlEntities.h"

#include <algorithm>
#include <cstring>

namespace zor {
namespace {

struct Entity
{
    const char *Name;
    char16_t Units[4];
};

constexpr Entity kEntities[] = {
#include "HtmlEntityTable.inc"
};

// The longest name (without "&") is 32 characters.
constexpr int kMaxNameLength = 32;

// C1 controls that documents mean as Windows-1252 characters.
constexpr char16_t kC1Replacement[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool isAsciiAlnum(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9');
}

int compareName(const char *name, QStringView key)
{
    qsizetype i = 0;
    for (; name[i] && i < key.size(); ++i) {
        const int d = int(uchar(name[i])) - int(key[i].unicode());
        if (d != 0)
            return d;
    }
    if (name[i])
        return 1;
    return i < key.size() ? -1 : 0;
}

const Entity *findEntity(QStringView key)
{
    const Entity *begin = std::begin(kEntities), *end = std::end(kEntities);
    const Entity *it = std::lower_bound(begin, end, key, [](const Entity &e, QStringView k) {
        return compareName(e.Name, k) < 0;
    });
    return it != end && compareName(it->Name, key) == 0 ? it : nullptr;
}

void appendEntity(QString &out, const Entity &e)
{
    for (char16_t u : e.Units) {
        if (!u)
            break;
        out += QChar(u);
    }
}

void appendCodePoint(QString &out, quint32 cp)
{
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    else if (cp >= 0x80 && cp <= 0x9F)
        cp = kC1Replacement[cp - 0x80];
    if (cp > 0xFFFF) {
        const char32_t c = cp;
        out += QString::fromUcs4(&c, 1);
    } else {
        out += QChar(char16_t(cp));
    }
}

// Decodes the reference at text[i] == '&'; returns the index after it, or i
// when nothing there is a reference.
qsizetype decodeAt(QStringView text, qsizetype i, bool inAttribute, QString &out)
{
    const qsizetype n = text.size();
    qsizetype p = i + 1;
    if (p < n && text[p] == u'#') {
        ++p;
        bool hex = false;
        if (p < n && (text[p] == u'x' || text[p] == u'X')) {
            hex = true;
            ++p;
        }
        const qsizetype digits = p;
        quint32 cp = 0;
        bool overflow = false;
        for (; p < n; ++p) {
            const char16_t u = text[p].unicode();
            int v;
            if (u >= '0' && u <= '9')
                v = u - '0';
            else if (hex && u >= 'a' && u <= 'f')
                v = u - 'a' + 10;
            else if (hex && u >= 'A' && u <= 'F')
                v = u - 'A' + 10;
            else
                break;
            if (!overflow) {
                cp = cp * (hex ? 16 : 10) + quint32(v);
                overflow = cp > 0x10FFFF;
            }
        }
        if (p == digits)
            return i;
        if (p < n && text[p] == u';')
            ++p;
        appendCodePoint(out, overflow ? 0x110000 : cp);
        return p;
    }
    qsizetype e = p;
    while (e < n && e - p < kMaxNameLength && isAsciiAlnum(text[e]))
        ++e;
    if (e == p)
        return i;
    if (e < n && text[e] == u';') {
        if (const Entity *ent = findEntity(text.sliced(p, e + 1 - p))) {
            appendEntity(out, *ent);
            return e + 1;
        }
    }
    // Legacy names without a semicolon: the longest one that matches.
    for (qsizetype len = e - p; len > 0; --len) {
        if (const Entity *ent = findEntity(text.sliced(p, len))) {
            const qsizetype after = p + len;
            if (inAttribute && after < n && (isAsciiAlnum(text[after]) || text[after] == u'='))
                return i;
            appendEntity(out, *ent);
            return after;
        }
    }
    return i;
}

} // namespace

QString DecodeHtmlEntities(QStringView text, bool inAttribute)
{
    qsizetype amp = text.indexOf(u'&');
    if (amp < 0)
        return text.toString();
    QString out;
    out.reserve(text.size());
    out += text.first(amp);
    qsizetype i = amp;
    const qsizetype n = text.size();
    while (i < n) {
        if (text[i] == u'&') {
            const qsizetype next = decodeAt(text, i, inAttribute, out);
            if (next != i) {
                i = next;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

QString HtmlEntityText(QStringView name)
{
    if (name.size() > kMaxNameLength + 1)
        return {};
    const Entity *e = findEntity(name);
    if (!e)
        return {};
    QString out;
    appendEntity(out, *e);
    return out;
}

QString EscapeHtmlText(QStringView text, bool quotes)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (QChar c : text) {
        switch (c.unicode()) {
        case '&': out += u"&amp;"; break;
        case '<': out += u"&lt;"; break;
        case '>': out += u"&gt;"; break;
        case '"':
            if (quotes) { out += u"&quot;"; break; }
            out += c;
            break;
        case '\'':
            if (quotes) { out += u"&#39;"; break; }
            out += c;
            break;
        default: out += c;
        }
    }
    return out;
}

} // namespace zor
