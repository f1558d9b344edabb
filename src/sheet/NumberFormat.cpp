#include "NumberFormat.h"

#include <ZorCompCore/platform/DateTime.h>

#include <QStringList>
#include <cmath>

namespace zor {

namespace {

struct Tok
{
    enum Kind { Lit, Digit, Point, Comma, Percent, Exp, Date, At } kind = Lit;
    QString text;   // Lit text, Date code (lower case), Digit char, Exp sign
    int count = 0;  // Exp digits
};

QStringList splitSections(const QString &f)
{
    QStringList out;
    QString cur;
    bool quoted = false;
    for (qsizetype i = 0; i < f.size(); ++i) {
        const QChar c = f[i];
        if (c == u'"')
            quoted = !quoted;
        if (!quoted && c == u'\\' && i + 1 < f.size()) {
            cur += c;
            cur += f[++i];
            continue;
        }
        if (!quoted && c == u';') {
            out << cur;
            cur.clear();
            continue;
        }
        cur += c;
    }
    out << cur;
    return out;
}

bool isDateChar(QChar c)
{
    const QChar l = c.toLower();
    return l == u'y' || l == u'm' || l == u'd' || l == u'h' || l == u's';
}

std::vector<Tok> tokenize(const QString &f, bool &isDate)
{
    std::vector<Tok> t;
    isDate = false;
    bool digits = false;
    auto lit = [&](const QString &s) {
        if (!t.empty() && t.back().kind == Tok::Lit)
            t.back().text += s;
        else
            t.push_back({Tok::Lit, s, 0});
    };
    for (qsizetype i = 0; i < f.size(); ++i) {
        const QChar c = f[i];
        if (c == u'"') {
            const qsizetype e = f.indexOf(u'"', i + 1);
            lit(f.mid(i + 1, (e < 0 ? f.size() : e) - i - 1));
            i = e < 0 ? f.size() : e;
        } else if (c == u'\\' && i + 1 < f.size()) {
            lit(QString(f[++i]));
        } else if (c == u'_' && i + 1 < f.size()) {
            lit(QStringLiteral(" "));
            ++i;
        } else if (c == u'*' && i + 1 < f.size()) {
            ++i; // fill characters need a width; skipped
        } else if (c == u'[') {
            const qsizetype e = f.indexOf(u']', i);
            const QString in = f.mid(i + 1, (e < 0 ? f.size() : e) - i - 1).toLower();
            if (!in.isEmpty() && (in[0] == u'h' || in[0] == u'm' || in[0] == u's') && in.count(in[0]) == in.size()) {
                t.push_back({Tok::Date, u'[' + in + u']', 0});
                isDate = true;
            }
            i = e < 0 ? f.size() : e; // colours and conditions are not shown
        } else if (c == u'0' || c == u'#' || c == u'?') {
            t.push_back({Tok::Digit, QString(c), 0});
            digits = true;
        } else if (c == u'.') {
            // ".0" after seconds is a fraction of a second
            if (!t.empty() && t.back().kind == Tok::Date && t.back().text.startsWith(u's') && i + 1 < f.size() &&
                f[i + 1] == u'0') {
                qsizetype k = i + 1;
                while (k < f.size() && f[k] == u'0')
                    ++k;
                t.push_back({Tok::Date, QStringLiteral(".") + QString(k - i - 1, u'0'), 0});
                i = k - 1;
            } else {
                t.push_back({Tok::Point, QString(), 0});
            }
        } else if (c == u',') {
            t.push_back({Tok::Comma, QString(), 0});
        } else if (c == u'%') {
            t.push_back({Tok::Percent, QString(), 0});
        } else if ((c == u'E' || c == u'e') && i + 1 < f.size() && (f[i + 1] == u'+' || f[i + 1] == u'-') && digits) {
            qsizetype k = i + 2;
            while (k < f.size() && (f[k] == u'0' || f[k] == u'#'))
                ++k;
            t.push_back({Tok::Exp, QString(f[i + 1]), int(k - i - 2)});
            i = k - 1;
        } else if (c == u'@') {
            t.push_back({Tok::At, QString(), 0});
        } else if (f.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
            t.push_back({Tok::Date, QStringLiteral("ampm"), 0});
            isDate = true;
            i += 4;
        } else if (f.mid(i, 3).compare(QLatin1String("A/P"), Qt::CaseInsensitive) == 0) {
            t.push_back({Tok::Date, QStringLiteral("ap"), 0});
            isDate = true;
            i += 2;
        } else if (isDateChar(c)) {
            qsizetype k = i;
            while (k < f.size() && f[k].toLower() == c.toLower())
                ++k;
            t.push_back({Tok::Date, f.mid(i, k - i).toLower(), 0});
            isDate = true;
            i = k - 1;
        } else {
            lit(QString(c));
        }
    }
    return t;
}

const char *const monthNames[] = {"January", "February", "March", "April", "May", "June", "July",
                                  "August", "September", "October", "November", "December"};
const char *const dayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

QString formatDate(double v, std::vector<Tok> &t)
{
    if (v < 0 || v > MaxDateTime)
        return QString(11, u'#');
    bool twelve = false;
    int fracDigits = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        Tok &k = t[i];
        if (k.kind != Tok::Date)
            continue;
        if (k.text == QLatin1String("ampm") || k.text == QLatin1String("ap"))
            twelve = true;
        if (k.text.startsWith(u'.'))
            fracDigits = int(k.text.size() - 1);
        // "m" right after hours or right before seconds means minutes
        if (k.text.startsWith(u'm') && k.text.size() <= 2) {
            bool minute = false;
            for (size_t j = i; j-- > 0;)
                if (t[j].kind == Tok::Date) {
                    minute = t[j].text.startsWith(u'h') || t[j].text.startsWith(QLatin1String("[h"));
                    break;
                }
            for (size_t j = i + 1; !minute && j < t.size(); ++j)
                if (t[j].kind == Tok::Date) {
                    minute = t[j].text.startsWith(u's') || t[j].text.startsWith(QLatin1String("[s"));
                    break;
                }
            if (minute)
                k.text = k.text.size() == 1 ? QStringLiteral("n") : QStringLiteral("nn");
        }
    }
    // Round to what is shown: whole seconds unless fractions are.
    const double unit = std::pow(10.0, fracDigits) * 86400.0;
    const double rounded = std::round(v * unit) / unit;
    int y, mo, d, h, mi, s, ms;
    DecodeDateTime(rounded + 0.1 / 86400000.0, y, mo, d, h, mi, s, ms);
    const double totalSecs = std::floor(rounded * 86400.0 + 1e-6);
    QString out;
    auto two = [](int n) { return QString::number(n).rightJustified(2, u'0'); };
    for (const Tok &k : t) {
        if (k.kind == Tok::Lit) {
            out += k.text;
            continue;
        }
        if (k.kind != Tok::Date) {
            if (k.kind == Tok::Point)
                out += u'.';
            else if (k.kind == Tok::Comma)
                out += u',';
            continue;
        }
        const QString &c = k.text;
        if (c.startsWith(u'y'))
            out += c.size() <= 2 ? two(y % 100) : QString::number(y).rightJustified(4, u'0');
        else if (c.startsWith(u'm'))
            out += c.size() == 1 ? QString::number(mo) : c.size() == 2 ? two(mo)
                 : c.size() == 3 ? QString::fromLatin1(monthNames[mo - 1]).left(3)
                 : c.size() == 5 ? QString::fromLatin1(monthNames[mo - 1]).left(1)
                                 : QString::fromLatin1(monthNames[mo - 1]);
        else if (c.startsWith(u'd')) {
            const int dow = DayOfWeek(std::floor(rounded)) - 1;
            out += c.size() == 1 ? QString::number(d) : c.size() == 2 ? two(d)
                 : c.size() == 3 ? QString::fromLatin1(dayNames[dow]).left(3) : QString::fromLatin1(dayNames[dow]);
        } else if (c.startsWith(u'h')) {
            int hh = twelve ? (h % 12 == 0 ? 12 : h % 12) : h;
            out += c.size() == 1 ? QString::number(hh) : two(hh);
        } else if (c.startsWith(u'n'))
            out += c.size() == 1 ? QString::number(mi) : two(mi);
        else if (c.startsWith(u's'))
            out += c.size() == 1 ? QString::number(s) : two(s);
        else if (c.startsWith(u'.'))
            out += u'.' + QString::number(ms).rightJustified(3, u'0').left(fracDigits);
        else if (c == QLatin1String("ampm"))
            out += h < 12 ? QLatin1String("AM") : QLatin1String("PM");
        else if (c == QLatin1String("ap"))
            out += h < 12 ? u'A' : u'P';
        else if (c.startsWith(QLatin1String("[h")))
            out += QString::number(qint64(totalSecs / 3600)).rightJustified(c.size() - 2, u'0');
        else if (c.startsWith(QLatin1String("[m")))
            out += QString::number(qint64(totalSecs / 60)).rightJustified(c.size() - 2, u'0');
        else if (c.startsWith(QLatin1String("[s")))
            out += QString::number(qint64(totalSecs)).rightJustified(c.size() - 2, u'0');
    }
    return out;
}

// a >= 0 with frac decimals, rounded half up on its 15 significant digits
// (what a spreadsheet shows: 3.145 is 3.15 although the double is 3.14499…).
QString fixedDecimal(double a, int frac)
{
    if (a == 0)
        return frac > 0 ? QStringLiteral("0.") + QString(frac, u'0') : QStringLiteral("0");
    const QString e = QString::number(a, 'e', 14); // d.ddddddddddddddde±XX
    QString digits = e.left(1) + e.mid(2, 14);
    const int exp = e.mid(e.indexOf(u'e') + 1).toInt();
    int intLen = exp + 1;                 // digits before the point
    const int keep = intLen + frac;       // digits that stay
    if (keep < 0)
        return fixedDecimal(0, frac);
    if (keep < digits.size()) {
        const bool up = digits[keep] >= u'5';
        digits.truncate(keep);
        if (up) {
            int i = keep - 1;
            for (; i >= 0; --i) {
                if (digits[i] == u'9') {
                    digits[i] = u'0';
                } else {
                    digits[i] = QChar(digits[i].unicode() + 1);
                    break;
                }
            }
            if (i < 0) {
                digits.prepend(u'1');
                ++intLen;
            }
        }
    }
    while (digits.size() < intLen + frac)
        digits += u'0';
    // Leading zeros for values below 1.
    if (intLen <= 0) {
        digits.prepend(QString(1 - intLen, u'0'));
        intLen = 1;
    }
    QString out = digits.left(intLen);
    if (frac > 0)
        out += u'.' + digits.mid(intLen, frac);
    return out;
}

QString formatNumber(double v, const std::vector<Tok> &t, bool sign)
{
    // Layout of the placeholders.
    int intDigits = 0, fracDigits = 0, percents = 0, scale = 0;
    bool thousands = false, point = false;
    const Tok *exp = nullptr;
    for (size_t i = 0; i < t.size(); ++i) {
        const Tok &k = t[i];
        switch (k.kind) {
        case Tok::Digit: (point || exp ? fracDigits : intDigits) += exp ? 0 : 1; break;
        case Tok::Point: point = true; break;
        case Tok::Percent: ++percents; break;
        case Tok::Exp: exp = &k; break;
        case Tok::Comma: {
            bool digitAfter = false;
            for (size_t j = i + 1; j < t.size() && t[j].kind != Tok::Point && t[j].kind != Tok::Exp; ++j)
                if (t[j].kind == Tok::Digit)
                    digitAfter = true;
            if (point || exp)
                break;
            if (digitAfter && intDigits > 0)
                thousands = true;
            else if (!digitAfter && intDigits > 0)
                ++scale; // "0," shows thousands
            break;
        }
        default: break;
        }
    }
    double a = std::abs(v) * std::pow(100.0, percents) / std::pow(1000.0, scale);
    int e10 = 0;
    if (exp && a != 0) {
        const int lead = std::max(1, intDigits);
        e10 = int(std::floor(std::log10(a))) - (lead - 1);
        a /= std::pow(10.0, e10);
        // rounding may carry to the next power
        if (fixedDecimal(a, fracDigits).toDouble() >= std::pow(10.0, lead))
            a /= 10, ++e10;
    }
    QString num = fixedDecimal(a, std::min(fracDigits, 30));
    QString ip = num.section(u'.', 0, 0), fp = num.section(u'.', 1);
    if (ip == QLatin1String("0"))
        ip.clear();
    // Trailing optional fraction digits are dropped.
    for (int i = fracDigits - 1; i >= 0; --i) {
        int seen = 0;
        const Tok *ph = nullptr;
        bool after = false;
        for (const Tok &k : t) {
            if (k.kind == Tok::Point)
                after = true;
            else if (k.kind == Tok::Exp)
                break;
            else if (after && k.kind == Tok::Digit && seen++ == i)
                ph = &k;
        }
        if (!ph || ph->text == QLatin1String("0") || i >= fp.size() || fp[i] != u'0')
            break;
        fp[i] = ph->text == QLatin1String("?") ? u' ' : u'\0';
    }
    QString out;
    // No minus before a value that shows as zero.
    bool nonZero = !ip.isEmpty() || (exp && a != 0);
    for (QChar c : fp)
        nonZero |= c >= u'1' && c <= u'9';
    if (sign && v < 0 && nonZero)
        out += u'-';
    int intIndex = 0, fracIndex = 0;
    bool after = false, expDone = false;
    for (const Tok &k : t) {
        switch (k.kind) {
        case Tok::Lit: out += k.text; break;
        case Tok::At: break;
        case Tok::Date: break;
        case Tok::Percent: out += u'%'; break;
        case Tok::Comma: break;
        case Tok::Point: after = true; out += u'.'; break;
        case Tok::Exp: {
            expDone = true;
            out += u'E';
            if (e10 < 0)
                out += u'-';
            else if (k.text == QLatin1String("+"))
                out += u'+';
            out += QString::number(std::abs(e10)).rightJustified(std::max(1, k.count), u'0');
            break;
        }
        case Tok::Digit: {
            if (expDone)
                break;
            if (!after) {
                // Digit positions counted from the right of the integer part.
                const int pos = intDigits - 1 - intIndex;
                QString digits;
                if (intIndex == 0 && ip.size() > intDigits)
                    digits = ip.left(ip.size() - intDigits + 1);
                else if (ip.size() > pos)
                    digits = QString(ip[ip.size() - 1 - pos]);
                else if (k.text == QLatin1String("0"))
                    digits = QStringLiteral("0");
                else if (k.text == QLatin1String("?"))
                    digits = QStringLiteral(" ");
                const int width = int(digits.size());
                for (int j = 0; j < width; ++j) {
                    out += digits[j];
                    const int p = pos + (width - 1 - j);
                    if (thousands && p > 0 && p % 3 == 0 && digits[j] != u' ')
                        out += u',';
                }
                ++intIndex;
            } else {
                if (fracIndex < fp.size() && fp[fracIndex] != u'\0')
                    out += fp[fracIndex];
                ++fracIndex;
            }
            break;
        }
        }
    }
    return out;
}

} // namespace

QString FormatSheetNumber(double v, const QString &format)
{
    return FormatCellValue(TCellValue::Number(v), format);
}

bool IsDateFormat(const QString &format)
{
    bool isDate = false;
    tokenize(splitSections(format).value(0), isDate);
    return isDate;
}

QString FormatCellValue(const TCellValue &value, const QString &format)
{
    const QStringList sections = splitSections(format);
    if (!value.IsNumber()) {
        if (value.IsText()) {
            QString sec;
            if (sections.size() >= 4)
                sec = sections[3];
            else if (sections.size() == 1 && sections[0].contains(u'@'))
                sec = sections[0];
            if (sec.isEmpty())
                return value.text;
            bool isDate;
            QString out;
            for (const Tok &k : tokenize(sec, isDate))
                out += k.kind == Tok::At ? value.text : k.kind == Tok::Lit ? k.text : QString();
            return out;
        }
        return value.ToString();
    }
    const double v = value.number;
    int index = 0;
    bool sign = true;
    if (sections.size() >= 2 && v < 0)
        index = 1, sign = false;
    else if (sections.size() >= 3 && v == 0)
        index = 2;
    const QString sec = sections.value(index);
    if (sec.trimmed().compare(QLatin1String("General"), Qt::CaseInsensitive) == 0 || sec.isEmpty()) {
        const QString g = SheetNumberText(index == 1 ? std::abs(v) : v);
        return g;
    }
    bool isDate = false;
    std::vector<Tok> t = tokenize(sec, isDate);
    if (isDate)
        return formatDate(v, t);
    bool hasDigits = false;
    for (const Tok &k : t)
        hasDigits |= k.kind == Tok::Digit;
    if (!hasDigits) {
        // Only literals: the literal text ("-" sections, "@" and the like).
        QString out = sign && v < 0 ? QStringLiteral("-") : QString();
        for (const Tok &k : t)
            out += k.kind == Tok::Lit ? k.text : k.kind == Tok::Percent ? QStringLiteral("%") : QString();
        if (t.empty() || (t.size() == 1 && t[0].kind == Tok::At))
            return SheetNumberText(v);
        return out;
    }
    return formatNumber(v, t, sign);
}

} // namespace zor
