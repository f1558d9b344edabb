#include <ZorCompCore/utilities/FastStrings.h>

#include <ZorCompCore/utilities/StrUtilsEx.h>

namespace zor {

namespace {

char UpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

QByteArray MapBytes(const QByteArray &s, char (*f)(char))
{
    QByteArray r = s;
    for (char &c : r)
        c = f(c);
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
    const QByteArray h = caseSensitive ? s : MapBytes(s, UpperAscii);
    const QByteArray n = caseSensitive ? oldPattern : MapBytes(oldPattern, UpperAscii);
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
    return PosFrom(MapBytes(subStr, LowerAscii), MapBytes(s, LowerAscii), offset);
}

} // namespace zor
