#include <ZorCompCore/utilities/StrUtilsEx.h>

namespace zor {

namespace {

// Per code unit, so that positions in the upper-cased copy match the original
// (QString::toUpper may lengthen text, e.g. a sharp s).
QString UpperUnits(const QString &s)
{
    QString r(s.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < s.size(); ++i)
        r[i] = s.at(i).toUpper();
    return r;
}

} // namespace

QString FastStringReplace(const QString &s, const QString &oldPattern, const QString &newPattern,
                          TReplaceFlags flags)
{
    if (s.isEmpty() || oldPattern.isEmpty())
        return s;
    const bool ignoreCase = flags.testFlag(rfIgnoreCase);
    const QString haystack = ignoreCase ? UpperUnits(s) : QString();
    const QString needle = ignoreCase ? UpperUnits(oldPattern) : QString();
    const QString &h = ignoreCase ? haystack : s;
    const QString &n = ignoreCase ? needle : oldPattern;

    qsizetype at = h.indexOf(n);
    if (at < 0)
        return s;
    QString out;
    out.reserve(s.size());
    qsizetype from = 0;
    while (at >= 0) {
        out += QStringView(s).mid(from, at - from);
        out += newPattern;
        from = at + n.size();
        if (!flags.testFlag(rfReplaceAll))
            break;
        at = h.indexOf(n, from);
    }
    out += QStringView(s).mid(from);
    return out;
}

} // namespace zor
