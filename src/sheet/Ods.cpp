// .ods: an OpenDocument zip whose content.xml holds the tables. Formulas are
// OpenFormula ("of:=SUM([.A1:.B2];1)"), turned into the book's own syntax
// ("=SUM(A1:B2,1)") when read and back when written. Number formats are
// number:* styles, also translated both ways.
//
// Files repeat empty rows and cells with a count (number-rows-repeated="1048000"
// after the last used row is what every file has): a repeated empty run only
// moves the position; a repeated non-empty one is bounded by the grid and by a
// budget of cells per file.
#include "Book_p.h"
#include "NumberFormat.h"
#include "SheetFiles.h"
#include "Zip_p.h"

#include <QDate>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <cmath>
#include <map>
#include <set>

namespace zor {

using namespace sheet_detail;

namespace {

const QString OfficeNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");
const QString TableNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:table:1.0");
const QString TextNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
const QString StyleNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:style:1.0");
const QString NumberNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0");
const QString FoNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0");
const QString CalcExtNs = QStringLiteral("urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0");
const QByteArray MimeType = "application/vnd.oasis.opendocument.spreadsheet";

// Cells a file may make us store (repeats included): far above real sheets,
// far below what repeat counts could ask for.
constexpr qint64 MaxStoredCells = 4'000'000;
// A column is this many centimetres per character of width.
constexpr double CmPerChar = 0.1905;

// ---------------------------------------------------------------- formulas

bool needsQuotes(const QString &sheet)
{
    if (sheet.isEmpty() || sheet[0].isDigit())
        return true;
    for (QChar c : sheet)
        if (!c.isLetterOrNumber() && c != u'_')
            return true;
    return false;
}

QString quoteSheet(const QString &sheet)
{
    if (!needsQuotes(sheet))
        return sheet;
    QString q = sheet;
    q.replace(u'\'', QStringLiteral("''"));
    return u'\'' + q + u'\'';
}

// Reads a quoted name ('It''s') starting at i; i ends after the closing quote.
QString readQuoted(const QString &s, qsizetype &i)
{
    QString out;
    for (++i; i < s.size(); ++i) {
        if (s[i] == u'\'') {
            if (i + 1 < s.size() && s[i + 1] == u'\'') {
                out += u'\'';
                ++i;
                continue;
            }
            ++i;
            return out;
        }
        out += s[i];
    }
    return out;
}

// One end of a bracketed OpenFormula reference ("$Sheet1.$A$1", ".B2", "'Q 2'.C1", ".A", ".3").
struct OdfRefPart
{
    QString sheet;
    bool hasSheet = false;
    QString address;
};

OdfRefPart parseOdfRefPart(const QString &s)
{
    OdfRefPart p;
    qsizetype i = 0;
    if (i < s.size() && s[i] == u'$')
        ++i;
    if (i < s.size() && s[i] == u'\'') {
        p.sheet = readQuoted(s, i);
        p.hasSheet = true;
    } else {
        const qsizetype dot = s.indexOf(u'.', i);
        if (dot < 0) {
            p.address = s.mid(i);
            return p;
        }
        p.sheet = s.mid(i, dot - i);
        p.hasSheet = !p.sheet.isEmpty();
        i = dot;
    }
    if (i < s.size() && s[i] == u'.')
        ++i;
    p.address = s.mid(i);
    return p;
}

// Splits at the colon that is outside quotes.
QStringList splitRange(const QString &s)
{
    bool quoted = false;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u'\'')
            quoted = !quoted;
        else if (s[i] == u':' && !quoted)
            return {s.left(i), s.mid(i + 1)};
    }
    return {s};
}

// The contents of [...] as the book writes references.
QString odfRefToA1(const QString &inner)
{
    const QStringList parts = splitRange(inner);
    const OdfRefPart a = parseOdfRefPart(parts[0]);
    if (a.address.contains(QLatin1String("#REF!")) || a.sheet.contains(QLatin1String("#REF!")))
        return QStringLiteral("#REF!");
    QString out = a.hasSheet ? quoteSheet(a.sheet) + u'!' : QString();
    out += a.address;
    if (parts.size() == 2) {
        const OdfRefPart b = parseOdfRefPart(parts[1]);
        if (b.address.contains(QLatin1String("#REF!")))
            return QStringLiteral("#REF!");
        out += u':';
        // Another sheet at the far end is a three-dimensional reference,
        // which the book does not have: kept so that it fails to compile.
        if (b.hasSheet && b.sheet.compare(a.sheet, Qt::CaseInsensitive) != 0)
            out += quoteSheet(b.sheet) + u'!';
        out += b.address;
    }
    return out;
}

} // namespace

// The index of the quote closing the string that starts at `open` ("" inside
// is a quote, not the end); the text's size when it never closes.
static qsizetype closingQuote(const QString &f, qsizetype open)
{
    qsizetype i = open + 1;
    for (; i < f.size(); ++i)
        if (f[i] == u'"') {
            if (i + 1 < f.size() && f[i + 1] == u'"')
                ++i;
            else
                break;
        }
    return i;
}

// OpenFormula text (with or without "of:=") into the book's syntax with "=".
QString OdfFormulaToA1(const QString &formula)
{
    QString f = formula;
    // "of:=", "oooc:=" and the like; "msoxl:=" already is our syntax.
    if (const qsizetype colon = f.indexOf(u':'); colon > 0 && colon + 1 < f.size() && f[colon + 1] == u'=') {
        const QString ns = f.left(colon);
        bool word = true;
        for (QChar c : ns)
            word &= c.isLetter();
        if (word) {
            f = f.mid(colon + 1);
            if (ns == QLatin1String("msoxl"))
                return f;
        }
    }
    if (f.startsWith(u'='))
        f = f.mid(1);
    QString out = QStringLiteral("=");
    int braces = 0;
    for (qsizetype i = 0; i < f.size(); ++i) {
        const QChar c = f[i];
        if (c == u'"') {
            const qsizetype start = i;
            i = closingQuote(f, i);
            out += f.mid(start, i - start + 1);
        } else if (c == u'[') {
            // Brackets do not nest; quotes inside may hold "]".
            qsizetype j = i + 1;
            bool quoted = false;
            for (; j < f.size(); ++j) {
                if (f[j] == u'\'')
                    quoted = !quoted;
                else if (f[j] == u']' && !quoted)
                    break;
            }
            out += odfRefToA1(f.mid(i + 1, j - i - 1));
            i = j;
        } else if (c == u'{') {
            ++braces, out += c;
        } else if (c == u'}') {
            braces = qMax(0, braces - 1), out += c;
        } else if (c == u';') {
            out += u','; // arguments, and columns of an inline array
        } else if (c == u'|' && braces) {
            out += u';';
        } else if (c.isLetter() || c == u'_') {
            qsizetype j = i;
            while (j < f.size() && (f[j].isLetterOrNumber() || f[j] == u'_' || f[j] == u'.'))
                ++j;
            QString word = f.mid(i, j - i);
            // Names another spreadsheet's functions carry in OpenFormula.
            for (const char *prefix : {"COM.MICROSOFT.", "_xlfn."})
                if (word.startsWith(QLatin1String(prefix), Qt::CaseInsensitive))
                    word = word.mid(qstrlen(prefix));
            // TRUE() and FALSE() are functions there, constants here.
            if ((word.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0
                 || word.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0)
                && f.mid(j, 2) == QLatin1String("()"))
                j += 2;
            out += word;
            i = j - 1;
        } else {
            out += c;
        }
    }
    return out;
}

namespace {

bool isColumnWord(const QString &w)
{
    QString s = w;
    if (s.startsWith(u'$'))
        s = s.mid(1);
    if (s.isEmpty() || s.size() > 3)
        return false;
    for (QChar c : s)
        if (!(c.unicode() < 128 && c.isLetter()))
            return false;
    return true;
}

bool isRowWord(const QString &w)
{
    QString s = w;
    if (s.startsWith(u'$'))
        s = s.mid(1);
    if (s.isEmpty() || s.size() > 7)
        return false;
    for (QChar c : s)
        if (!(c.unicode() < 128 && c.isDigit()))
            return false;
    return true;
}

bool isCellWord(const QString &w)
{
    int r, c;
    return ParseCellName(w, r, c);
}

// Reads a word of reference characters (letters, digits, $, _ and .).
QString readWord(const QString &f, qsizetype i)
{
    qsizetype j = i;
    while (j < f.size() && (f[j].isLetterOrNumber() || f[j] == u'_' || f[j] == u'$' || f[j] == u'.'))
        ++j;
    return f.mid(i, j - i);
}

QString odfSheet(const QString &sheet)
{
    if (sheet.isEmpty())
        return QString();
    if (!needsQuotes(sheet))
        return sheet;
    QString q = sheet;
    q.replace(u'\'', QStringLiteral("''"));
    return u'\'' + q + u'\'';
}

} // namespace

// The book's syntax ("=SUM(A1:B2,1)") into OpenFormula ("of:=SUM([.A1:.B2];1)").
QString A1FormulaToOdf(const QString &formula)
{
    const QString f = formula.startsWith(u'=') ? formula.mid(1) : formula;
    QString out = QStringLiteral("of:=");
    int braces = 0;
    for (qsizetype i = 0; i < f.size(); ++i) {
        const QChar c = f[i];
        if (c == u'"') {
            const qsizetype start = i;
            i = closingQuote(f, i);
            out += f.mid(start, i - start + 1);
            continue;
        }
        if (c == u'{') {
            ++braces, out += c;
            continue;
        }
        if (c == u'}') {
            braces = qMax(0, braces - 1), out += c;
            continue;
        }
        if (c == u',') {
            out += u';';
            continue;
        }
        if (c == u';' && braces) {
            out += u'|';
            continue;
        }
        // A sheet-qualified reference, a cell, a range, whole columns or rows.
        QString sheet;
        qsizetype j = i;
        bool qualified = false;
        if (c == u'\'') {
            qsizetype k = i;
            sheet = readQuoted(f, k);
            if (k < f.size() && f[k] == u'!') {
                qualified = true;
                j = k + 1;
            }
        } else if (c.isLetterOrNumber() || c == u'$' || c == u'_') {
            // Only at the start of a word: not inside "1E3" or "LOG10".
            if (i > 0 && (f[i - 1].isLetterOrNumber() || f[i - 1] == u'_' || f[i - 1] == u'.' || f[i - 1] == u'$')) {
                out += c;
                continue;
            }
            const QString w = readWord(f, i);
            if (i + w.size() < f.size() && f[i + w.size()] == u'!' && !w.isEmpty()) {
                sheet = w;
                qualified = true;
                j = i + w.size() + 1;
            }
        } else {
            out += c;
            continue;
        }
        if (c == u'\'' && !qualified) {
            out += c;
            continue;
        }
        const QString first = readWord(f, j);
        qsizetype end = j + first.size();
        QString second;
        if (end < f.size() && f[end] == u':') {
            second = readWord(f, end + 1);
            const bool cells = isCellWord(first) && isCellWord(second);
            const bool cols = isColumnWord(first) && isColumnWord(second);
            const bool rows = isRowWord(first) && isRowWord(second);
            if (!(cells || cols || rows))
                second.clear();
        }
        const bool followedByCall = end < f.size() && f[end] == u'(';
        if (!second.isEmpty()) {
            out += QStringLiteral("[") + odfSheet(sheet) + u'.' + first + QStringLiteral(":.") + second + u']';
            i = end + 1 + second.size() - 1;
        } else if (isCellWord(first) && !followedByCall) {
            out += QStringLiteral("[") + odfSheet(sheet) + u'.' + first + u']';
            i = end - 1;
        } else if (qualified) {
            // A sheet name before something that is no reference (#REF!).
            out += QStringLiteral("[") + odfSheet(sheet) + u'.' + first + u']';
            i = end - 1;
        } else if (!followedByCall && (first.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0
                                       || first.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0)) {
            // OpenFormula's truth values are functions.
            out += first.toUpper() + QStringLiteral("()");
            i = end - 1;
        } else {
            out += first.isEmpty() ? QString(c) : first;
            i = first.isEmpty() ? i : end - 1;
        }
    }
    return out;
}

namespace {

// ---------------------------------------------------------------- number styles

// One number:*-style element, as read: its parts become a format section.
struct OdfNumberStyle
{
    QString code;                         // this style's own section
    std::vector<std::pair<QString, QString>> maps; // condition, applied style name
};

QString quoteLiteral(const QString &text)
{
    if (text.isEmpty())
        return QString();
    QString out;
    bool plain = true;
    for (QChar c : text)
        plain &= (c == u' ' || c == u'-' || c == u'/' || c == u':' || c == u'(' || c == u')' || c == u',' || c == u'.');
    if (plain)
        return text;
    QString q = text;
    q.replace(u'"', QStringLiteral("\\\""));
    return u'"' + q + u'"';
}

// Reads the children of a number:*-style element into a format section.
OdfNumberStyle readNumberStyle(QXmlStreamReader &x)
{
    OdfNumberStyle st;
    const QString kind = x.name().toString();
    const bool percentage = kind == QLatin1String("percentage-style");
    QString &out = st.code;
    int depth = 1;
    while (!x.atEnd() && depth > 0) {
        x.readNext();
        if (x.isEndElement()) {
            --depth;
            continue;
        }
        if (!x.isStartElement())
            continue;
        ++depth;
        const auto a = x.attributes();
        const QString n = x.name().toString();
        const bool longForm = a.value(NumberNs, QLatin1String("style")) == QLatin1String("long");
        auto attrInt = [&](const char *name, int def) {
            bool ok;
            const int v = a.value(NumberNs, QLatin1String(name)).toInt(&ok);
            return ok ? qBound(0, v, 30) : def;
        };
        if (n == QLatin1String("number") || n == QLatin1String("scientific-number")) {
            const int decimals = attrInt("decimal-places", 0);
            const int minInt = attrInt("min-integer-digits", 1);
            const bool grouping = a.value(NumberNs, QLatin1String("grouping")) == QLatin1String("true");
            QString intPart = QString(minInt, u'0');
            if (grouping)
                intPart = intPart.size() >= 4 ? intPart : QString(4 - intPart.size(), u'#') + intPart,
                intPart.insert(intPart.size() - 3, u',');
            if (intPart.isEmpty())
                intPart = QStringLiteral("#");
            out += intPart;
            if (decimals > 0)
                out += u'.' + QString(decimals, u'0');
            if (n == QLatin1String("scientific-number"))
                out += QStringLiteral("E+") + QString(qMax(1, attrInt("min-exponent-digits", 2)), u'0');
        } else if (n == QLatin1String("fraction")) {
            out += QStringLiteral("# ?/?");
        } else if (n == QLatin1String("text")) {
            const QString t = x.readElementText(QXmlStreamReader::IncludeChildElements);
            --depth;
            // The "%" of a percentage style is its text part.
            out += percentage && t == QLatin1String("%") ? t : quoteLiteral(t);
        } else if (n == QLatin1String("text-content")) {
            out += u'@';
        } else if (n == QLatin1String("year")) {
            out += longForm ? QStringLiteral("yyyy") : QStringLiteral("yy");
        } else if (n == QLatin1String("month")) {
            const bool textual = a.value(NumberNs, QLatin1String("textual")) == QLatin1String("true");
            out += textual ? (longForm ? QStringLiteral("mmmm") : QStringLiteral("mmm"))
                           : (longForm ? QStringLiteral("mm") : QStringLiteral("m"));
        } else if (n == QLatin1String("day")) {
            out += longForm ? QStringLiteral("dd") : QStringLiteral("d");
        } else if (n == QLatin1String("day-of-week")) {
            out += longForm ? QStringLiteral("dddd") : QStringLiteral("ddd");
        } else if (n == QLatin1String("hours")) {
            out += longForm ? QStringLiteral("hh") : QStringLiteral("h");
        } else if (n == QLatin1String("minutes")) {
            out += longForm ? QStringLiteral("mm") : QStringLiteral("m");
        } else if (n == QLatin1String("seconds")) {
            out += longForm ? QStringLiteral("ss") : QStringLiteral("s");
            const int decimals = attrInt("decimal-places", 0);
            if (decimals > 0)
                out += u'.' + QString(decimals, u'0');
        } else if (n == QLatin1String("am-pm")) {
            out += QStringLiteral("AM/PM");
        } else if (n == QLatin1String("map")) {
            st.maps.emplace_back(a.value(StyleNs, QLatin1String("condition")).toString(),
                                 a.value(StyleNs, QLatin1String("apply-style-name")).toString());
        } else if (n == QLatin1String("text-properties")) {
            const QString color = a.value(FoNs, QLatin1String("color")).toString().toUpper();
            if (color == QLatin1String("#FF0000"))
                out.prepend(QStringLiteral("[Red]"));
        }
    }
    // Elapsed hours ([h]) are a time style attribute.
    return st;
}

// The whole format code of a style: its maps pick other styles for sections.
QString formatCodeOf(const QString &name, const std::map<QString, OdfNumberStyle> &styles)
{
    auto it = styles.find(name);
    if (it == styles.end())
        return QStringLiteral("General");
    const OdfNumberStyle &st = it->second;
    auto section = [&](const QString &n) {
        auto s = styles.find(n);
        return s == styles.end() ? QString() : s->second.code;
    };
    QString positive, negative;
    for (const auto &[cond, target] : st.maps) {
        const QString c = QString(cond).remove(u' ');
        if (c == QLatin1String("value()>=0") || c == QLatin1String("value()>0"))
            positive = section(target);
        else if (c == QLatin1String("value()<0"))
            negative = section(target);
    }
    if (!positive.isEmpty() && !negative.isEmpty())
        return positive + u';' + negative + u';' + st.code;
    if (!positive.isEmpty())
        return positive + u';' + st.code;
    return st.code.isEmpty() ? QStringLiteral("General") : st.code;
}

// ---- writing: a format code into number:*-style elements

// The sections of a format code, split at ";" outside quotes and brackets.
QStringList formatSections(const QString &code)
{
    QStringList out;
    QString cur;
    bool quoted = false, bracket = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == u'\\' && i + 1 < code.size() && !quoted) {
            cur += c, cur += code[++i];
            continue;
        }
        if (c == u'"')
            quoted = !quoted;
        else if (c == u'[' && !quoted)
            bracket = true;
        else if (c == u']' && !quoted)
            bracket = false;
        if (c == u';' && !quoted && !bracket) {
            out << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    out << cur;
    return out;
}

// Writes one section as a style named name; false when the section is nothing
// a number style can say (the cell is then written without a format).
void writeSection(QXmlStreamWriter &w, const QString &name, const QString &section,
                  const std::vector<std::pair<QString, QString>> &maps)
{
    // Classify: dates/times, text, percentage, scientific, plain number.
    QString s = section;
    bool red = false;
    if (s.startsWith(QLatin1String("[Red]"), Qt::CaseInsensitive))
        red = true, s = s.mid(5);
    bool isDate = false, isTime = false, isText = false, isPercent = false, elapsed = false;
    {
        bool quoted = false;
        for (qsizetype i = 0; i < s.size(); ++i) {
            const QChar c = s[i].toLower();
            if (s[i] == u'"')
                quoted = !quoted;
            if (quoted)
                continue;
            if (s[i] == u'\\') {
                ++i;
                continue;
            }
            if (c == u'y' || c == u'd')
                isDate = true;
            else if (c == u'h' || c == u's')
                isTime = true;
            else if (c == u'@')
                isText = true;
            else if (c == u'%')
                isPercent = true;
            else if (c == u'[' && s.mid(i, 3).toLower() == QLatin1String("[h]"))
                elapsed = true, isTime = true;
        }
    }
    QString element = isText      ? QStringLiteral("text-style")
                      : isDate    ? QStringLiteral("date-style")
                      : isTime    ? QStringLiteral("time-style")
                      : isPercent ? QStringLiteral("percentage-style")
                                  : QStringLiteral("number-style");
    w.writeStartElement(NumberNs, element);
    w.writeAttribute(StyleNs, QStringLiteral("name"), name);
    if (elapsed)
        w.writeAttribute(NumberNs, QStringLiteral("truncate-on-overflow"), QStringLiteral("false"));
    if (red) {
        w.writeEmptyElement(StyleNs, QStringLiteral("text-properties"));
        w.writeAttribute(FoNs, QStringLiteral("color"), QStringLiteral("#ff0000"));
    }
    QString literal;
    auto flush = [&] {
        if (!literal.isEmpty())
            w.writeTextElement(NumberNs, QStringLiteral("text"), literal);
        literal.clear();
    };
    bool sawHour = false;
    for (qsizetype i = 0; i < s.size();) {
        const QChar c = s[i];
        const QChar lc = c.toLower();
        auto run = [&](QChar ch) {
            qsizetype j = i;
            while (j < s.size() && s[j].toLower() == ch)
                ++j;
            const qsizetype n = j - i;
            i = j;
            return n;
        };
        if (c == u'"') {
            qsizetype j = i + 1;
            while (j < s.size() && s[j] != u'"')
                literal += s[j++];
            i = j + 1;
        } else if (c == u'\\' && i + 1 < s.size()) {
            literal += s[i + 1];
            i += 2;
        } else if (c == u'_' && i + 1 < s.size()) {
            literal += u' ';
            i += 2;
        } else if (c == u'*' && i + 1 < s.size()) {
            i += 2;
        } else if (c == u'[') {
            const qsizetype j = s.indexOf(u']', i);
            const QString inner = s.mid(i + 1, (j < 0 ? s.size() : j) - i - 1).toLower();
            if (inner == QLatin1String("h") || inner == QLatin1String("hh")) {
                flush();
                w.writeEmptyElement(NumberNs, QStringLiteral("hours"));
                sawHour = true;
            }
            i = j < 0 ? s.size() : j + 1;
        } else if (!isDate && !isTime && (c == u'0' || c == u'#' || c == u'?' || c == u'.' || c == u',')) {
            flush();
            qsizetype j = i;
            int minInt = 0, decimals = 0, expDigits = 0;
            bool grouping = false, afterPoint = false, scientific = false;
            while (j < s.size()) {
                const QChar d = s[j];
                if (d == u'0' || d == u'#' || d == u'?') {
                    if (afterPoint)
                        ++decimals;
                    else if (d == u'0')
                        ++minInt;
                } else if (d == u'.' && !afterPoint) {
                    afterPoint = true;
                } else if (d == u',' && !afterPoint) {
                    grouping = true;
                } else if ((d == u'E' || d == u'e') && j + 1 < s.size() && (s[j + 1] == u'+' || s[j + 1] == u'-')) {
                    scientific = true;
                    j += 2;
                    while (j < s.size() && s[j] == u'0')
                        ++expDigits, ++j;
                    break;
                } else {
                    break;
                }
                ++j;
            }
            i = j;
            w.writeEmptyElement(NumberNs, scientific ? QStringLiteral("scientific-number") : QStringLiteral("number"));
            w.writeAttribute(NumberNs, QStringLiteral("decimal-places"), QString::number(decimals));
            w.writeAttribute(NumberNs, QStringLiteral("min-integer-digits"), QString::number(minInt));
            if (grouping)
                w.writeAttribute(NumberNs, QStringLiteral("grouping"), QStringLiteral("true"));
            if (scientific)
                w.writeAttribute(NumberNs, QStringLiteral("min-exponent-digits"), QString::number(expDigits));
        } else if (c == u'%') {
            literal += c;
            ++i;
        } else if (c == u'@') {
            flush();
            w.writeEmptyElement(NumberNs, QStringLiteral("text-content"));
            ++i;
        } else if ((isDate || isTime) && (lc == u'y' || lc == u'm' || lc == u'd' || lc == u'h' || lc == u's')) {
            flush();
            const qsizetype at = i;
            const qsizetype n = run(lc);
            auto longStyle = [&](bool isLong) {
                if (isLong)
                    w.writeAttribute(NumberNs, QStringLiteral("style"), QStringLiteral("long"));
            };
            if (lc == u'y') {
                w.writeEmptyElement(NumberNs, QStringLiteral("year"));
                longStyle(n > 2);
            } else if (lc == u'd') {
                w.writeEmptyElement(NumberNs, n > 2 ? QStringLiteral("day-of-week") : QStringLiteral("day"));
                longStyle(n == 2 || n > 3);
            } else if (lc == u'h') {
                w.writeEmptyElement(NumberNs, QStringLiteral("hours"));
                longStyle(n > 1);
                sawHour = true;
            } else if (lc == u's') {
                w.writeEmptyElement(NumberNs, QStringLiteral("seconds"));
                longStyle(n > 1);
                if (i < s.size() && s[i] == u'.') {
                    qsizetype k = i + 1;
                    while (k < s.size() && s[k] == u'0')
                        ++k;
                    w.writeAttribute(NumberNs, QStringLiteral("decimal-places"), QString::number(k - i - 1));
                    i = k;
                }
            } else {
                // m: minutes right after hours or right before seconds.
                qsizetype k = i;
                while (k < s.size() && !s[k].isLetter())
                    ++k;
                const bool minutes = n <= 2 && (sawHour || (k < s.size() && s[k].toLower() == u's'));
                Q_UNUSED(at);
                if (minutes) {
                    w.writeEmptyElement(NumberNs, QStringLiteral("minutes"));
                    longStyle(n == 2);
                } else {
                    w.writeEmptyElement(NumberNs, QStringLiteral("month"));
                    longStyle(n == 2 || n == 4);
                    if (n >= 3)
                        w.writeAttribute(NumberNs, QStringLiteral("textual"), QStringLiteral("true"));
                }
            }
        } else if ((isDate || isTime) && s.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
            flush();
            w.writeEmptyElement(NumberNs, QStringLiteral("am-pm"));
            i += 5;
        } else {
            literal += c;
            ++i;
        }
    }
    flush();
    for (const auto &[cond, target] : maps) {
        w.writeEmptyElement(StyleNs, QStringLiteral("map"));
        w.writeAttribute(StyleNs, QStringLiteral("condition"), cond);
        w.writeAttribute(StyleNs, QStringLiteral("apply-style-name"), target);
    }
    w.writeEndElement();
}

// A format code as one style named name (and helpers name + "P0", "P1" for sections).
void writeNumberStyle(QXmlStreamWriter &w, const QString &name, const QString &code)
{
    const QStringList sections = formatSections(code);
    if (sections.size() == 1) {
        writeSection(w, name, sections[0], {});
    } else if (sections.size() == 2) {
        writeSection(w, name + QStringLiteral("P0"), sections[0], {});
        writeSection(w, name, sections[1], {{QStringLiteral("value()>=0"), name + QStringLiteral("P0")}});
    } else {
        writeSection(w, name + QStringLiteral("P0"), sections[0], {});
        writeSection(w, name + QStringLiteral("P1"), sections[1], {});
        writeSection(w, name, sections[2],
                     {{QStringLiteral("value()>0"), name + QStringLiteral("P0")}, {QStringLiteral("value()<0"), name + QStringLiteral("P1")}});
    }
}

// ---------------------------------------------------------------- reading

// "PT12H30M15.5S" (or "-PT…") into a day fraction.
double parseDuration(const QString &s, bool &ok)
{
    ok = false;
    qsizetype i = 0;
    bool negative = false;
    if (i < s.size() && s[i] == u'-')
        negative = true, ++i;
    if (s.mid(i, 1) != QLatin1String("P"))
        return 0;
    ++i;
    double days = 0;
    bool inTime = false;
    QString num;
    for (; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == u'T') {
            inTime = true;
        } else if (c.isDigit() || c == u'.') {
            num += c;
        } else {
            const double v = num.toDouble();
            num.clear();
            if (c == u'D' && !inTime)
                days += v;
            else if (c == u'H' && inTime)
                days += v / 24;
            else if (c == u'M' && inTime)
                days += v / 1440;
            else if (c == u'S' && inTime)
                days += v / 86400;
            else if (c == u'Y')
                days += v * 365;
            else if (c == u'M')
                days += v * 30;
            else
                return 0;
        }
    }
    ok = true;
    return negative ? -days : days;
}

// "2024-02-29" or "2024-02-29T13:45:00" into a date serial.
double parseDateValue(const QString &s, bool &ok)
{
    ok = false;
    const QDate d = QDate::fromString(s.left(10), Qt::ISODate);
    if (!d.isValid())
        return 0;
    double serial = double(QDate(1899, 12, 30).daysTo(d));
    if (s.size() > 11 && s[10] == u'T') {
        const QStringList t = s.mid(11).split(u':');
        if (t.size() >= 2)
            serial += t[0].toDouble() / 24 + t[1].toDouble() / 1440 + (t.size() > 2 ? t[2].toDouble() / 86400 : 0);
    }
    ok = true;
    return serial;
}

// The text of a cell: its <text:p> paragraphs joined by line breaks, with
// <text:s c="n"/> spaces, tabs and nested spans.
QString readCellText(QXmlStreamReader &x, int &depth)
{
    QString out;
    int paragraphs = 0;
    const int start = depth;
    while (!x.atEnd() && depth >= start) {
        x.readNext();
        if (x.isStartElement()) {
            ++depth;
            const auto n = x.name();
            if (x.namespaceUri() == TextNs && (n == QLatin1String("p") || n == QLatin1String("h"))) {
                if (paragraphs++ > 0)
                    out += u'\n';
            } else if (x.namespaceUri() == TextNs && n == QLatin1String("s")) {
                bool ok;
                const int c = x.attributes().value(TextNs, QLatin1String("c")).toInt(&ok);
                out += QString(ok ? qBound(1, c, 1000) : 1, u' ');
            } else if (x.namespaceUri() == TextNs && n == QLatin1String("tab")) {
                out += u'\t';
            } else if (x.namespaceUri() == TextNs && n == QLatin1String("line-break")) {
                out += u'\n';
            } else if (x.namespaceUri() == OfficeNs && n == QLatin1String("annotation")) {
                x.skipCurrentElement();
                --depth;
            }
        } else if (x.isEndElement()) {
            --depth;
        } else if (x.isCharacters() && depth > start) {
            out += x.text();
        }
    }
    return out;
}

struct CellStyleInfo
{
    QString dataStyle;
};

struct Reader
{
    explicit Reader(TSheetBook &b) : book(b) {}
    TSheetBook &book;
    QStringList warnings;
    std::map<QString, OdfNumberStyle> numberStyles;
    QHash<QString, QString> cellFormats;  // cell style -> format code
    QHash<QString, double> columnWidths;  // column style -> characters
    qint64 stored = 0;
    QString error;

    void readStyles(QXmlStreamReader &x, std::map<QString, QString> &cellDataStyles)
    {
        // Inside office:automatic-styles or office:styles.
        int depth = 1;
        while (!x.atEnd() && depth > 0) {
            x.readNext();
            if (x.isEndElement()) {
                --depth;
                continue;
            }
            if (!x.isStartElement())
                continue;
            ++depth;
            const auto a = x.attributes();
            if (x.namespaceUri() == NumberNs && x.name().endsWith(QLatin1String("-style"))) {
                const QString name = a.value(StyleNs, QLatin1String("name")).toString();
                const bool elapsed = a.value(NumberNs, QLatin1String("truncate-on-overflow")) == QLatin1String("false");
                OdfNumberStyle st = readNumberStyle(x);
                --depth;
                if (elapsed) {
                    // The first hours part counts elapsed hours.
                    const qsizetype h = st.code.indexOf(QLatin1String("h"));
                    if (h >= 0) {
                        qsizetype e = h;
                        while (e < st.code.size() && st.code[e] == u'h')
                            ++e;
                        st.code = st.code.left(h) + u'[' + st.code.mid(h, e - h) + u']' + st.code.mid(e);
                    }
                }
                numberStyles[name] = std::move(st);
            } else if (x.namespaceUri() == StyleNs && x.name() == QLatin1String("style")) {
                const QString name = a.value(StyleNs, QLatin1String("name")).toString();
                const auto family = a.value(StyleNs, QLatin1String("family"));
                if (family == QLatin1String("table-cell")) {
                    const QString ds = a.value(StyleNs, QLatin1String("data-style-name")).toString();
                    if (!ds.isEmpty())
                        cellDataStyles[name] = ds;
                } else if (family == QLatin1String("table-column")) {
                    // Its width is in the child properties.
                    while (x.readNextStartElement()) {
                        if (x.name() == QLatin1String("table-column-properties")) {
                            const double w = lengthInChars(
                                x.attributes().value(StyleNs, QLatin1String("column-width")).toString());
                            if (w > 0)
                                columnWidths.insert(name, w);
                        }
                        x.skipCurrentElement();
                    }
                    --depth;
                }
            }
        }
    }

    static double lengthInChars(const QString &len)
    {
        static const std::pair<const char *, double> units[] = {
            {"cm", 1}, {"mm", 0.1}, {"in", 2.54}, {"pt", 2.54 / 72}, {"pc", 2.54 / 6}, {"px", 2.54 / 96}};
        for (const auto &[unit, cm] : units)
            if (len.endsWith(QLatin1String(unit))) {
                bool ok;
                const double v = len.chopped(2).toDouble(&ok);
                return ok && v > 0 ? v * cm / CmPerChar : 0;
            }
        return 0;
    }

    // Stores one cell (repeated count times along the row); false when the
    // file asks for more cells than we hold.
    bool placeCell(TSheet *sheet, int row, int col, int count, const TCellValue &value, const QString &formula,
                   const QString &format, std::vector<int> &placed)
    {
        const bool hasContent = !value.IsEmpty() || !formula.isEmpty();
        if (!hasContent)
            return true;
        count = qMin(count, MaxCols - col);
        stored += count;
        if (stored > MaxStoredCells) {
            error = QStringLiteral("The file holds more than %1 cells").arg(MaxStoredCells);
            return false;
        }
        auto &cache = SheetAccess::D(&book).cache;
        if (!formula.isEmpty()) {
            const QString a1 = OdfFormulaToA1(formula);
            auto code = CompileFormula(a1, row, col, nullptr, &cache);
            if (!code || code->unknownFunction) {
                sheet->SetUnparsedFormula(row, col, a1, value);
            } else {
                SheetAccess::D(sheet).Get(row, col).value = value;
                sheet->SetFormula(row, col, u'=' + FormulaText(*code, row, col));
            }
        } else {
            sheet->SetValue(row, col, value);
        }
        if (!format.isEmpty() && format != QLatin1String("General"))
            sheet->SetNumberFormat(row, col, format);
        placed.push_back(col);
        // Repeats are copies: relative references move along.
        for (int k = 1; k < count; ++k) {
            sheet->CopyCell(row, col, row, col + k);
            placed.push_back(col + k);
        }
        return true;
    }

    bool readTable(QXmlStreamReader &x, TSheet *sheet)
    {
        int row = 0;
        int column = 0; // for table:table-column widths
        while (!x.atEnd()) {
            x.readNext();
            if (x.isEndElement() && x.namespaceUri() == TableNs && x.name() == QLatin1String("table"))
                return true;
            if (!x.isStartElement())
                continue;
            const auto a = x.attributes();
            const auto n = x.name();
            if (x.namespaceUri() == TableNs && n == QLatin1String("table-column")) {
                bool ok;
                qint64 rep = a.value(TableNs, QLatin1String("number-columns-repeated")).toLongLong(&ok);
                rep = ok && rep > 0 ? rep : 1;
                const double w = columnWidths.value(a.value(TableNs, QLatin1String("style-name")).toString(), 0);
                // Widths of real columns only: a trailing run of thousands is the rest of the grid.
                if (w > 0 && rep <= 256)
                    for (qint64 k = 0; k < rep && column + k < MaxCols; ++k)
                        sheet->SetColumnWidth(int(column + k), w);
                column = int(qMin<qint64>(MaxCols, column + rep));
                x.skipCurrentElement();
            } else if (x.namespaceUri() == TableNs && n == QLatin1String("table-row")) {
                bool ok;
                qint64 rep = a.value(TableNs, QLatin1String("number-rows-repeated")).toLongLong(&ok);
                rep = ok && rep > 0 ? rep : 1;
                if (row >= MaxRows) {
                    x.skipCurrentElement();
                    continue;
                }
                const qint64 before = stored;
                std::vector<int> cols;
                if (!readRow(x, sheet, row, cols))
                    return false;
                // A repeated row with content: copy what the first one got.
                if (stored > before && rep > 1) {
                    const qint64 copies = qMin<qint64>(rep - 1, MaxRows - row - 1);
                    const qint64 perRow = stored - before;
                    if (stored + perRow * copies > MaxStoredCells) {
                        error = QStringLiteral("The file holds more than %1 cells").arg(MaxStoredCells);
                        return false;
                    }
                    stored += perRow * copies;
                    for (qint64 k = 1; k <= copies; ++k)
                        for (int c : cols)
                            sheet->CopyCell(row, c, int(row + k), c);
                }
                row = int(qMin<qint64>(MaxRows, row + rep));
            } else if (x.namespaceUri() == TableNs
                       && (n == QLatin1String("table-header-rows") || n == QLatin1String("table-rows")
                           || n == QLatin1String("table-row-group") || n == QLatin1String("table-column-group")
                           || n == QLatin1String("table-header-columns") || n == QLatin1String("table-columns"))) {
                // Groups only wrap rows and columns: read on inside them.
            } else if (n == QLatin1String("frame") || n == QLatin1String("shapes")) {
                warnings << QStringLiteral("Charts and images are not kept");
                x.skipCurrentElement();
            } else {
                x.skipCurrentElement();
            }
        }
        return true;
    }

    bool readRow(QXmlStreamReader &x, TSheet *sheet, int row, std::vector<int> &placed)
    {
        int col = 0;
        while (x.readNextStartElement()) {
            const auto a = x.attributes();
            const bool covered = x.name() == QLatin1String("covered-table-cell");
            if (x.name() != QLatin1String("table-cell") && !covered) {
                x.skipCurrentElement();
                continue;
            }
            bool ok;
            qint64 rep = a.value(TableNs, QLatin1String("number-columns-repeated")).toLongLong(&ok);
            rep = ok && rep > 0 ? rep : 1;
            const QString type = a.value(OfficeNs, QLatin1String("value-type")).toString();
            const QString calcType = a.value(CalcExtNs, QLatin1String("value-type")).toString();
            QString formula = a.value(TableNs, QLatin1String("formula")).toString();
            const QString styleName = a.value(TableNs, QLatin1String("style-name")).toString();
            const int spanCols = a.value(TableNs, QLatin1String("number-columns-spanned")).toInt();
            const int spanRows = a.value(TableNs, QLatin1String("number-rows-spanned")).toInt();
            QString numberAttr = a.value(OfficeNs, QLatin1String("value")).toString();
            const QString dateAttr = a.value(OfficeNs, QLatin1String("date-value")).toString();
            const QString timeAttr = a.value(OfficeNs, QLatin1String("time-value")).toString();
            const QString boolAttr = a.value(OfficeNs, QLatin1String("boolean-value")).toString();
            const bool hasStringAttr = a.hasAttribute(OfficeNs, QLatin1String("string-value"));
            const QString stringAttr = a.value(OfficeNs, QLatin1String("string-value")).toString();
            int depth = 0;
            const QString text = readCellText(x, depth);
            if (col >= MaxCols)
                continue;
            TCellValue value;
            if (type == QLatin1String("float") || type == QLatin1String("percentage")
                || type == QLatin1String("currency")) {
                const double d = numberAttr.toDouble(&ok);
                value = ok ? TCellValue::Number(d) : TCellValue();
            } else if (type == QLatin1String("date")) {
                const double d = parseDateValue(dateAttr, ok);
                value = ok ? TCellValue::Number(d) : TCellValue::Text(text);
            } else if (type == QLatin1String("time")) {
                const double d = parseDuration(timeAttr, ok);
                value = ok ? TCellValue::Number(d) : TCellValue::Text(text);
            } else if (type == QLatin1String("boolean")) {
                value = TCellValue::Boolean(boolAttr == QLatin1String("true") || boolAttr == QLatin1String("1"));
            } else if (type == QLatin1String("string") || hasStringAttr || !text.isEmpty()) {
                value = TCellValue::Text(hasStringAttr ? stringAttr : text);
            }
            // Formula errors are text results there.
            if (calcType == QLatin1String("error")
                || (!formula.isEmpty() && value.IsText() && SheetErrorFromText(value.text) != TSheetError::None)) {
                const TSheetError e = SheetErrorFromText(text);
                value = TCellValue::Error(e == TSheetError::None ? TSheetError::Value : e);
            }
            if (spanCols > 1 || spanRows > 1)
                sheet->AddMerge(QRect(col, row, qBound(1, spanCols, MaxCols - col), qBound(1, spanRows, MaxRows - row)));
            const QString format = styleName.isEmpty() ? QString() : cellFormats.value(styleName);
            if (!placeCell(sheet, row, col, int(qMin<qint64>(rep, MaxCols)), value, formula, format, placed))
                return false;
            col = int(qMin<qint64>(MaxCols, col + rep));
        }
        return true;
    }

    bool readContent(const QByteArray &content, const QByteArray &styles)
    {
        std::map<QString, QString> cellDataStyles;
        // Styles shared by the document first, then the content's own.
        for (const QByteArray *part : {&styles, &content}) {
            if (part->isEmpty())
                continue;
            QXmlStreamReader x(*part);
            while (!x.atEnd()) {
                x.readNext();
                if (x.isStartElement() && x.namespaceUri() == OfficeNs
                    && (x.name() == QLatin1String("automatic-styles") || x.name() == QLatin1String("styles")))
                    readStyles(x, cellDataStyles);
                if (x.isStartElement() && x.namespaceUri() == OfficeNs && x.name() == QLatin1String("body"))
                    break;
            }
        }
        for (const auto &[cell, data] : cellDataStyles)
            cellFormats.insert(cell, formatCodeOf(data, numberStyles));

        QXmlStreamReader x(content);
        bool sawSpreadsheet = false;
        while (!x.atEnd()) {
            x.readNext();
            if (!x.isStartElement())
                continue;
            if (x.namespaceUri() == OfficeNs && x.name() == QLatin1String("spreadsheet"))
                sawSpreadsheet = true;
            else if (x.namespaceUri() == OfficeNs && x.name() == QLatin1String("scripts"))
                warnings << QStringLiteral("Macros are not kept"), x.skipCurrentElement();
            else if (sawSpreadsheet && x.namespaceUri() == TableNs && x.name() == QLatin1String("table")) {
                QString name = x.attributes().value(TableNs, QLatin1String("name")).toString();
                if (name.isEmpty() || book.SheetByName(name))
                    name.clear();
                TSheet *sheet = book.AddSheet(name);
                if (!readTable(x, sheet))
                    return false;
            }
        }
        if (x.hasError()) {
            error = QStringLiteral("Damaged content part: %1").arg(x.errorString());
            return false;
        }
        if (!sawSpreadsheet) {
            error = QStringLiteral("Not an OpenDocument spreadsheet");
            return false;
        }
        return true;
    }
};

QByteArray xmlPart(const std::function<void(QXmlStreamWriter &)> &body)
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument(QStringLiteral("1.0"), true);
    body(w);
    w.writeEndDocument();
    return out;
}

QString numberText(double v)
{
    return QString::number(v, 'g', 17);
}

} // namespace

bool LoadOds(TSheetBook &book, const QByteArray &data, QString *error)
{
    book.Clear();
    auto fail = [&](const QString &m) {
        book.Clear();
        if (error)
            *error = m;
        return false;
    };
    ZipReader zip;
    QString err;
    if (!zip.Open(data, err))
        return fail(err);
    if (zip.Contains(QStringLiteral("mimetype"))) {
        QByteArray mime;
        if (!zip.Read(QStringLiteral("mimetype"), mime, err))
            return fail(err);
        if (mime.trimmed() != MimeType)
            return fail(QStringLiteral("Not an OpenDocument spreadsheet (%1)")
                            .arg(QString::fromLatin1(mime.left(80).trimmed())));
    }
    QByteArray content, styles;
    if (!zip.Read(QStringLiteral("content.xml"), content, err))
        return fail(QStringLiteral("Not an OpenDocument spreadsheet: %1").arg(err));
    if (zip.Contains(QStringLiteral("styles.xml")) && !zip.Read(QStringLiteral("styles.xml"), styles, err))
        return fail(err);
    Reader r(book);
    for (const QString &n : zip.Names()) {
        if (n.startsWith(QLatin1String("Basic/")) || n.startsWith(QLatin1String("Scripts/")))
            r.warnings << QStringLiteral("Macros are not kept");
        else if (n.startsWith(QLatin1String("Object ")) || n.startsWith(QLatin1String("Pictures/")))
            r.warnings << QStringLiteral("Charts and images are not kept");
    }
    book.BeginUpdate();
    const bool ok = r.readContent(content, styles);
    if (!ok) {
        book.EndUpdate();
        return fail(r.error);
    }
    if (book.SheetCount() == 0)
        book.AddSheet();
    r.warnings.removeDuplicates();
    book.SetLoadWarnings(r.warnings);
    book.EndUpdate();
    return true;
}

bool SaveOds(const TSheetBook &book, QByteArray &data, QString *error)
{
    ZipWriter zip;
    zip.Add(QStringLiteral("mimetype"), MimeType, true);
    zip.Add(QStringLiteral("META-INF/manifest.xml"), xmlPart([](QXmlStreamWriter &w) {
                const QString m = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:manifest:1.0");
                w.writeNamespace(m, QStringLiteral("manifest"));
                w.writeStartElement(m, QStringLiteral("manifest"));
                w.writeAttribute(m, QStringLiteral("version"), QStringLiteral("1.2"));
                auto entry = [&](const QString &path, const QString &type) {
                    w.writeEmptyElement(m, QStringLiteral("file-entry"));
                    w.writeAttribute(m, QStringLiteral("full-path"), path);
                    w.writeAttribute(m, QStringLiteral("media-type"), type);
                };
                entry(QStringLiteral("/"), QString::fromLatin1(MimeType));
                entry(QStringLiteral("content.xml"), QStringLiteral("text/xml"));
                entry(QStringLiteral("styles.xml"), QStringLiteral("text/xml"));
                w.writeEndElement();
            }));
    zip.Add(QStringLiteral("styles.xml"), xmlPart([](QXmlStreamWriter &w) {
                w.writeNamespace(OfficeNs, QStringLiteral("office"));
                w.writeStartElement(OfficeNs, QStringLiteral("document-styles"));
                w.writeAttribute(OfficeNs, QStringLiteral("version"), QStringLiteral("1.2"));
                w.writeEndElement();
            }));

    // Styles first: collect every format and column width the sheets use.
    QStringList formats;              // distinct non-General codes; cell style "ce<i+1>"
    QHash<QString, int> formatIndex;
    QList<double> widths;             // distinct widths; column style "co<i+1>"
    QHash<double, int> widthIndex;
    for (int i = 0; i < book.SheetCount(); ++i) {
        const TSheet *s = book.Sheet(i);
        s->ForEachCell([&](int r, int c) {
            const QString f = s->NumberFormat(r, c);
            if (f != QLatin1String("General") && !formatIndex.contains(f)) {
                formatIndex.insert(f, int(formats.size()));
                formats << f;
            }
        });
        for (int c : s->ColumnsWithWidth())
            if (!widthIndex.contains(s->ColumnWidth(c))) {
                widthIndex.insert(s->ColumnWidth(c), int(widths.size()));
                widths << s->ColumnWidth(c);
            }
    }

    zip.Add(QStringLiteral("content.xml"), xmlPart([&](QXmlStreamWriter &w) {
                w.writeNamespace(OfficeNs, QStringLiteral("office"));
                w.writeNamespace(TableNs, QStringLiteral("table"));
                w.writeNamespace(TextNs, QStringLiteral("text"));
                w.writeNamespace(StyleNs, QStringLiteral("style"));
                w.writeNamespace(NumberNs, QStringLiteral("number"));
                w.writeNamespace(FoNs, QStringLiteral("fo"));
                w.writeNamespace(CalcExtNs, QStringLiteral("calcext"));
                w.writeNamespace(QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:of:1.2"), QStringLiteral("of"));
                w.writeStartElement(OfficeNs, QStringLiteral("document-content"));
                w.writeAttribute(OfficeNs, QStringLiteral("version"), QStringLiteral("1.2"));
                w.writeStartElement(OfficeNs, QStringLiteral("automatic-styles"));
                for (int i = 0; i < widths.size(); ++i) {
                    w.writeStartElement(StyleNs, QStringLiteral("style"));
                    w.writeAttribute(StyleNs, QStringLiteral("name"), QStringLiteral("co%1").arg(i + 1));
                    w.writeAttribute(StyleNs, QStringLiteral("family"), QStringLiteral("table-column"));
                    w.writeEmptyElement(StyleNs, QStringLiteral("table-column-properties"));
                    w.writeAttribute(StyleNs, QStringLiteral("column-width"),
                                     QString::number(widths[i] * CmPerChar, 'f', 4) + QStringLiteral("cm"));
                    w.writeEndElement();
                }
                for (int i = 0; i < formats.size(); ++i)
                    writeNumberStyle(w, QStringLiteral("N%1").arg(i + 1), formats[i]);
                for (int i = 0; i < formats.size(); ++i) {
                    w.writeEmptyElement(StyleNs, QStringLiteral("style"));
                    w.writeAttribute(StyleNs, QStringLiteral("name"), QStringLiteral("ce%1").arg(i + 1));
                    w.writeAttribute(StyleNs, QStringLiteral("family"), QStringLiteral("table-cell"));
                    w.writeAttribute(StyleNs, QStringLiteral("data-style-name"), QStringLiteral("N%1").arg(i + 1));
                }
                w.writeEndElement(); // automatic-styles
                w.writeStartElement(OfficeNs, QStringLiteral("body"));
                w.writeStartElement(OfficeNs, QStringLiteral("spreadsheet"));
                for (int i = 0; i < book.SheetCount(); ++i) {
                    const TSheet *s = book.Sheet(i);
                    w.writeStartElement(TableNs, QStringLiteral("table"));
                    w.writeAttribute(TableNs, QStringLiteral("name"), s->Name());
                    // Columns: styled ones, the gaps between as repeated plain columns.
                    int next = 0;
                    for (int c : s->ColumnsWithWidth()) {
                        if (c > next) {
                            w.writeEmptyElement(TableNs, QStringLiteral("table-column"));
                            if (c - next > 1)
                                w.writeAttribute(TableNs, QStringLiteral("number-columns-repeated"),
                                                 QString::number(c - next));
                        }
                        w.writeEmptyElement(TableNs, QStringLiteral("table-column"));
                        w.writeAttribute(TableNs, QStringLiteral("style-name"),
                                         QStringLiteral("co%1").arg(widthIndex.value(s->ColumnWidth(c)) + 1));
                        next = c + 1;
                    }
                    if (next == 0) {
                        w.writeEmptyElement(TableNs, QStringLiteral("table-column"));
                    }
                    // Merged areas: the first cell spans, the others are covered.
                    std::map<std::pair<int, int>, QRect> spans;
                    for (const QRect &m : s->Merges())
                        spans[{m.top(), m.left()}] = m;
                    auto coveredRuns = [&](int r) {
                        std::vector<std::pair<int, int>> runs; // first column, count
                        for (const QRect &m : s->Merges())
                            if (r >= m.top() && r <= m.bottom()) {
                                const int first = r == m.top() ? m.left() + 1 : m.left();
                                if (m.right() >= first)
                                    runs.emplace_back(first, m.right() - first + 1);
                            }
                        return runs;
                    };
                    std::map<int, std::vector<int>> rows;
                    s->ForEachCell([&](int r, int c) { rows[r].push_back(c); });
                    for (const QRect &m : s->Merges())
                        for (int r = m.top(); r <= m.bottom() && r - m.top() < 4096; ++r)
                            rows[r];
                    int nextRow = 0;
                    for (auto &[r, cols] : rows) {
                        if (r > nextRow) {
                            w.writeStartElement(TableNs, QStringLiteral("table-row"));
                            if (r - nextRow > 1)
                                w.writeAttribute(TableNs, QStringLiteral("number-rows-repeated"),
                                                 QString::number(r - nextRow));
                            w.writeEmptyElement(TableNs, QStringLiteral("table-cell"));
                            w.writeEndElement();
                        }
                        nextRow = r + 1;
                        std::sort(cols.begin(), cols.end());
                        std::set<int> covered;
                        for (auto [first, count] : coveredRuns(r))
                            for (int k = 0; k < count && k < 1024; ++k)
                                covered.insert(first + k);
                        std::set<int> all(cols.begin(), cols.end());
                        all.insert(covered.begin(), covered.end());
                        for (auto sp = spans.lower_bound({r, 0}); sp != spans.end() && sp->first.first == r; ++sp)
                            all.insert(sp->first.second);
                        w.writeStartElement(TableNs, QStringLiteral("table-row"));
                        int nextCol = 0;
                        for (int c : all) {
                            if (c > nextCol) {
                                w.writeEmptyElement(TableNs, QStringLiteral("table-cell"));
                                if (c - nextCol > 1)
                                    w.writeAttribute(TableNs, QStringLiteral("number-columns-repeated"),
                                                     QString::number(c - nextCol));
                            }
                            nextCol = c + 1;
                            w.writeStartElement(TableNs, covered.count(c) ? QStringLiteral("covered-table-cell")
                                                                           : QStringLiteral("table-cell"));
                            if (auto sp = spans.find({r, c}); sp != spans.end()) {
                                w.writeAttribute(TableNs, QStringLiteral("number-columns-spanned"),
                                                 QString::number(sp->second.width()));
                                w.writeAttribute(TableNs, QStringLiteral("number-rows-spanned"),
                                                 QString::number(sp->second.height()));
                            }
                            const QString fmt = s->NumberFormat(r, c);
                            if (fmt != QLatin1String("General"))
                                w.writeAttribute(TableNs, QStringLiteral("style-name"),
                                                 QStringLiteral("ce%1").arg(formatIndex.value(fmt) + 1));
                            if (s->HasFormula(r, c))
                                w.writeAttribute(TableNs, QStringLiteral("formula"), A1FormulaToOdf(s->Formula(r, c)));
                            const TCellValue v = s->Value(r, c);
                            switch (v.kind) {
                            case TCellKind::Empty: break;
                            case TCellKind::Number: {
                                const bool percent = fmt.contains(u'%') && !IsDateFormat(fmt);
                                const QString type = percent ? QStringLiteral("percentage") : QStringLiteral("float");
                                w.writeAttribute(OfficeNs, QStringLiteral("value-type"), type);
                                w.writeAttribute(CalcExtNs, QStringLiteral("value-type"), type);
                                w.writeAttribute(OfficeNs, QStringLiteral("value"), numberText(v.number));
                                break;
                            }
                            case TCellKind::Boolean:
                                w.writeAttribute(OfficeNs, QStringLiteral("value-type"), QStringLiteral("boolean"));
                                w.writeAttribute(CalcExtNs, QStringLiteral("value-type"), QStringLiteral("boolean"));
                                w.writeAttribute(OfficeNs, QStringLiteral("boolean-value"),
                                                 v.number ? QStringLiteral("true") : QStringLiteral("false"));
                                break;
                            case TCellKind::Text:
                                w.writeAttribute(OfficeNs, QStringLiteral("value-type"), QStringLiteral("string"));
                                w.writeAttribute(CalcExtNs, QStringLiteral("value-type"), QStringLiteral("string"));
                                break;
                            case TCellKind::Error:
                                w.writeAttribute(OfficeNs, QStringLiteral("value-type"), QStringLiteral("string"));
                                w.writeAttribute(OfficeNs, QStringLiteral("string-value"), QString());
                                w.writeAttribute(CalcExtNs, QStringLiteral("value-type"), QStringLiteral("error"));
                                break;
                            }
                            if (!v.IsEmpty()) {
                                // The paragraph shows the value; lines become paragraphs.
                                const QString shown = v.IsText() ? v.text : s->DisplayText(r, c);
                                for (const QString &line : shown.split(u'\n')) {
                                    w.writeStartElement(TextNs, QStringLiteral("p"));
                                    // Runs of spaces need text:s to survive.
                                    QString pending;
                                    for (qsizetype k = 0; k < line.size(); ++k) {
                                        if (line[k] == u' ' && (k == 0 || line[k - 1] == u' ' || k + 1 == line.size())) {
                                            w.writeCharacters(pending);
                                            pending.clear();
                                            w.writeEmptyElement(TextNs, QStringLiteral("s"));
                                        } else if (line[k] == u'\t') {
                                            w.writeCharacters(pending);
                                            pending.clear();
                                            w.writeEmptyElement(TextNs, QStringLiteral("tab"));
                                        } else {
                                            pending += line[k];
                                        }
                                    }
                                    w.writeCharacters(pending);
                                    w.writeEndElement();
                                }
                            }
                            w.writeEndElement();
                        }
                        w.writeEndElement(); // table-row
                    }
                    if (rows.empty()) {
                        w.writeStartElement(TableNs, QStringLiteral("table-row"));
                        w.writeEmptyElement(TableNs, QStringLiteral("table-cell"));
                        w.writeEndElement();
                    }
                    w.writeEndElement(); // table
                }
                w.writeEndElement(); // spreadsheet
                w.writeEndElement(); // body
                w.writeEndElement(); // document-content
            }));
    QString err;
    if (!zip.Finish(data, err)) {
        if (error)
            *error = err;
        return false;
    }
    return true;
}

} // namespace zor
