#include <ZorCompCore/utilities/FastStrings.h>

#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/utilities/StrUtilsEx.h>

#include <array>
#include <map>
#include <mutex>

namespace zor {

namespace {

// Upper and lower case of every byte in the ANSI code page: a byte maps to
// the byte of its letter's other case when that is one byte of the same code
// page (É for é in Windows-1252), else to itself. Built once per code page.
struct CaseTables
{
    std::array<char, 256> upper, lower;
};

const CaseTables &ansiCaseTables()
{
    static std::mutex mutex;
    static std::map<int, CaseTables> tables; // never erased: references stay valid
    const int cp = AnsiCodePage();
    std::lock_guard lock(mutex);
    auto it = tables.find(cp);
    if (it != tables.end())
        return it->second;
    CaseTables t;
    for (int b = 0; b < 256; ++b) {
        t.upper[size_t(b)] = t.lower[size_t(b)] = char(b);
        const QString c = FromCodePage(QByteArray(1, char(b)), cp);
        if (c.size() != 1 || ToCodePage(c, cp) != QByteArray(1, char(b)))
            continue; // not a character of its own here (lead bytes, unmapped bytes)
        for (auto [other, table] : {std::pair{c.toUpper(), &t.upper}, std::pair{c.toLower(), &t.lower}}) {
            const QByteArray o = ToCodePage(other, cp);
            if (other.size() == 1 && o.size() == 1 && FromCodePage(o, cp) == other)
                (*table)[size_t(b)] = o[0];
        }
    }
    return tables.emplace(cp, t).first->second;
}

QByteArray MapBytes(const QByteArray &s, const std::array<char, 256> &table)
{
    QByteArray r = s;
    for (char &c : r)
        c = table[uchar(c)];
    return r;
}

QString LowerUnits(const QString &s)
{
    QString r(s.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < s.size(); ++i)
        r[i] = s.at(i).toLower();
    return r;
}

template<typename S>
int PosFrom(const S &subStr, const S &s, int offset)
{
    if (subStr.isEmpty() || offset < 1 || offset > s.size())
        return 0;
    return int(s.indexOf(subStr, offset - 1) + 1);
}

} // namespace

QString FastReplace(const QString &s, const QString &oldPattern, const QString &newPattern, bool caseSensitive)
{
    TReplaceFlags flags = rfReplaceAll;
    if (!caseSensitive)
        flags |= rfIgnoreCase;
    return FastStringReplace(s, oldPattern, newPattern, flags);
}

QByteArray FastReplace(const QByteArray &s, const QByteArray &oldPattern, const QByteArray &newPattern,
                       bool caseSensitive)
{
    if (s.isEmpty() || oldPattern.isEmpty())
        return s;
    const CaseTables *tables = caseSensitive ? nullptr : &ansiCaseTables();
    const QByteArray h = caseSensitive ? s : MapBytes(s, tables->upper);
    const QByteArray n = caseSensitive ? oldPattern : MapBytes(oldPattern, tables->upper);
    qsizetype at = h.indexOf(n);
    if (at < 0)
        return s;
    QByteArray out;
    out.reserve(s.size());
    qsizetype from = 0;
    while (at >= 0) {
        out += s.mid(from, at - from);
        out += newPattern;
        from = at + n.size();
        at = h.indexOf(n, from);
    }
    out += s.mid(from);
    return out;
}

int FastPos(const QString &subStr, const QString &s, int offset)
{
    return PosFrom(subStr, s, offset);
}

int FastPos(const QByteArray &subStr, const QByteArray &s, int offset)
{
    return PosFrom(subStr, s, offset);
}

int FastPosNoCase(const QString &subStr, const QString &s, int offset)
{
    return PosFrom(LowerUnits(subStr), LowerUnits(s), offset);
}

int FastPosNoCase(const QByteArray &subStr, const QByteArray &s, int offset)
{
    const CaseTables &tables = ansiCaseTables();
    return PosFrom(MapBytes(subStr, tables.lower), MapBytes(s, tables.lower), offset);
}

} // namespace zor
