#include "WPStyleSheet.h"

#include <ZorCompCore/html/HtCSS.h>

#include <QHash>
#include <QSet>
#include <QStringList>

#include <cmath>

namespace zor {

namespace {

constexpr double kMaxPoints = 1638;
constexpr int kMaxTwips = 31680; // 22 inches, as far as styles go
constexpr qsizetype kMaxName = 255;

// The style text's pairs, in order.
std::vector<std::pair<QString, QString>> pairsOf(const QString &text)
{
    std::vector<std::pair<QString, QString>> out;
    for (const QString &part : text.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype eq = part.indexOf(u'=');
        if (eq > 0)
            out.emplace_back(part.left(eq).trimmed(), part.mid(eq + 1).trimmed());
    }
    return out;
}

// A length in points; false for what is no length (em and % relate to a
// font the style does not know).
bool points(const TCSSValue &v, double &pt)
{
    if (v.Kind == cvkNumber && v.Number == 0) {
        pt = 0;
        return true;
    }
    if (v.Kind != cvkDimension || !std::isfinite(v.Number))
        return false;
    static const QHash<QString, double> perUnit = {{u"pt"_qs, 1.0},        {u"px"_qs, 0.75},
                                                   {u"in"_qs, 72.0},       {u"cm"_qs, 72.0 / 2.54},
                                                   {u"mm"_qs, 7.2 / 2.54}, {u"pc"_qs, 12.0}};
    const auto it = perUnit.constFind(v.Unit.toLower());
    if (it == perUnit.constEnd())
        return false;
    pt = v.Number * *it;
    return std::isfinite(pt);
}

bool twips(const TCSSValue &v, int &out)
{
    double pt = 0;
    if (!points(v, pt))
        return false;
    out = int(std::lround(std::clamp(pt * 20, -double(kMaxTwips), double(kMaxTwips))));
    return true;
}

QString colorText(const TCSSValue &v)
{
    quint32 c = 0;
    if (!v.ToColor(c))
        return {};
    return TColorToQColor(c).name();
}

// font-family: the first family, its words joined ("Times New Roman").
QString family(const std::vector<TCSSValue> &values)
{
    QStringList words;
    for (const TCSSValue &v : values) {
        if (v.Kind == cvkString && words.isEmpty())
            return v.Text;
        if (v.Kind == cvkIdent)
            words << v.Text;
        else if (v.Kind == cvkOperator && !words.isEmpty())
            break;
    }
    return words.join(u' ');
}

// A style text value may hold neither separator; control characters and
// halves of surrogate pairs are no part of a name.
QString clean(const QString &s)
{
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c.isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            out += c;
            out += s[++i];
        } else if (c != u';' && c != u'=' && c.unicode() >= 0x20 && c.unicode() != 0x7F && !c.isSurrogate()) {
            out += c;
        }
    }
    out = out.trimmed();
    // Cut before a pair's second half, not inside the pair.
    if (out.size() > kMaxName)
        out.truncate(out[kMaxName - 1].isHighSurrogate() ? kMaxName - 1 : kMaxName);
    return out.trimmed();
}

class Collector
{
public:
    // Keys in the order StyleTextFromFormats writes them.
    QStringList order{u"Font"_qs,      u"Size"_qs,        u"Bold"_qs,        u"Italic"_qs,     u"Underline"_qs,
                      u"StrikeOut"_qs, u"Color"_qs,       u"BgColor"_qs,     u"Align"_qs,      u"IndentLeft"_qs,
                      u"IndentRight"_qs, u"IndentFirst"_qs, u"SpaceBefore"_qs, u"SpaceAfter"_qs};
    QHash<QString, QString> keys;
    QString basedOn;

    void set(const QString &key, const QString &value) { keys.insert(key, value); }

    void side(const char *key, const TCSSValue &v)
    {
        int t = 0;
        if (twips(v, t))
            set(QLatin1String(key), QString::number(t));
    }

    void add(const TCSSProperty &p)
    {
        const std::vector<TCSSValue> &v = p.Values;
        if (v.empty())
            return;
        const QString &n = p.Name;
        const QString ident = v.front().Kind == cvkIdent ? v.front().Text.toLower() : QString();
        if (n == u"font-family") {
            const QString f = clean(family(v));
            if (!f.isEmpty())
                set(u"Font"_qs, f);
        } else if (n == u"font-size") {
            double pt = 0;
            if (points(v.front(), pt) && pt >= 1 && pt <= kMaxPoints)
                set(u"Size"_qs, QString::number(std::round(pt * 2) / 2));
        } else if (n == u"font-weight") {
            if (ident == u"bold" || ident == u"bolder" || (v.front().Kind == cvkNumber && v.front().Number >= 600))
                set(u"Bold"_qs, u"1"_qs);
            else if (ident == u"normal" || ident == u"lighter" || v.front().Kind == cvkNumber)
                set(u"Bold"_qs, u"0"_qs);
        } else if (n == u"font-style") {
            if (ident == u"italic" || ident == u"oblique")
                set(u"Italic"_qs, u"1"_qs);
            else if (ident == u"normal")
                set(u"Italic"_qs, u"0"_qs);
        } else if (n == u"text-decoration" || n == u"text-decoration-line") {
            bool under = false, strike = false, none = false;
            for (const TCSSValue &x : v) {
                const QString i = x.Kind == cvkIdent ? x.Text.toLower() : QString();
                under = under || i == u"underline";
                strike = strike || i == u"line-through";
                none = none || i == u"none";
            }
            if (under || strike || none) {
                set(u"Underline"_qs, under ? u"1"_qs : u"0"_qs);
                set(u"StrikeOut"_qs, strike ? u"1"_qs : u"0"_qs);
            }
        } else if (n == u"color" || n == u"background-color" || n == u"background") {
            for (const TCSSValue &x : v) {
                const QString c = colorText(x);
                if (!c.isEmpty()) {
                    set(n == u"color" ? u"Color"_qs : u"BgColor"_qs, c);
                    break;
                }
            }
        } else if (n == u"text-align") {
            static const QHash<QString, QString> aligns = {
                {u"left"_qs, u"Left"_qs}, {u"center"_qs, u"Center"_qs}, {u"right"_qs, u"Right"_qs},
                {u"justify"_qs, u"Justify"_qs}};
            if (aligns.contains(ident))
                set(u"Align"_qs, aligns.value(ident));
        } else if (n == u"margin-left") {
            side("IndentLeft", v.front());
        } else if (n == u"margin-right") {
            side("IndentRight", v.front());
        } else if (n == u"margin-top") {
            side("SpaceBefore", v.front());
        } else if (n == u"margin-bottom") {
            side("SpaceAfter", v.front());
        } else if (n == u"text-indent") {
            side("IndentFirst", v.front());
        } else if (n == u"margin") {
            // top [right [bottom [left]]], the missing ones as CSS fills them
            std::vector<const TCSSValue *> m;
            for (const TCSSValue &x : v)
                if (x.Kind != cvkOperator && m.size() < 4)
                    m.push_back(&x);
            const size_t k = m.size();
            if (k == 0)
                return; // "margin: /" has no length at all
            side("SpaceBefore", *m[0]);
            side("IndentRight", *m[k > 1 ? 1 : 0]);
            side("SpaceAfter", *m[k > 2 ? 2 : 0]);
            side("IndentLeft", *m[k > 3 ? 3 : k > 1 ? 1 : 0]);
        } else if (n == u"-zor-based-on") {
            basedOn = clean(v.front().Kind == cvkString || v.front().Kind == cvkIdent ? v.front().Text : QString());
        }
    }

    QString text() const
    {
        QStringList parts;
        for (const QString &k : order)
            if (keys.contains(k))
                parts << k + u'=' + keys.value(k);
        return parts.join(u';');
    }
};

// A selector's text with its escapes resolved ("\\20 " is a blank).
QString unescaped(const QString &text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const auto hex = [&text](qsizetype k) {
            const char16_t c = text[k].unicode();
            return c >= u'0' && c <= u'9' ? int(c - u'0')
                 : c >= u'a' && c <= u'f' ? int(c - u'a' + 10)
                 : c >= u'A' && c <= u'F' ? int(c - u'A' + 10)
                                          : -1;
        };
        qsizetype j = i + 1;
        char32_t code = 0;
        while (j < text.size() && j < i + 7 && hex(j) >= 0)
            code = code * 16 + char32_t(hex(j++));
        if (j == i + 1) { // an escaped character stands for itself
            out += text[j];
            i = j;
            continue;
        }
        if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            code = 0xFFFD;
        out += QString::fromUcs4(&code, 1);
        if (j < text.size() && text[j].isSpace())
            ++j;
        i = j - 1;
    }
    return out;
}

// Whether every selector of the list that names the class names it as a
// span's ("span.Key", "p span.Key").
bool spanOnly(const QString &selectorList, const QString &cls)
{
    bool any = false;
    const QString suffix = u'.' + cls;
    for (const QString &raw : selectorList.split(u',')) {
        const QString sel = unescaped(raw).trimmed();
        if (!sel.endsWith(suffix))
            continue;
        const QString head = sel.left(sel.size() - suffix.size());
        const qsizetype cut = std::max({head.lastIndexOf(u' '), head.lastIndexOf(u'>'), head.lastIndexOf(u'+'),
                                        head.lastIndexOf(u'~')});
        if (head.mid(cut + 1).trimmed().compare(u"span", Qt::CaseInsensitive) != 0)
            return false;
        any = true;
    }
    return any;
}

// A name as a CSS identifier: characters an identifier cannot hold (and a
// leading digit or "-digit") as escapes, which the reader resolves.
QString escapeIdent(const QString &name)
{
    QString out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c >= 0x80
                           || ((c >= u'0' && c <= u'9') && !(i == 0 || (i == 1 && name[0] == u'-')))
                           || (c == u'-' && !(i == 0 && name.size() == 1));
        if (plain)
            out += QChar(c);
        else
            out += u'\\' + QString::number(c, 16) + u' ';
    }
    return out;
}

QString cssString(const QString &s)
{
    QString out = u"\""_qs;
    for (QChar c : s) {
        if (c == u'"' || c == u'\\')
            out += u'\\';
        if (c.unicode() < 0x20)
            out += u'\\' + QString::number(c.unicode(), 16) + u' ';
        else
            out += c;
    }
    return out + u'"';
}

QString ptText(const QString &twipsText)
{
    return QString::number(twipsText.toInt() / 20.0) + u"pt"_qs;
}

} // namespace

std::vector<TWPStyle> WPStylesFromCSS(QStringView css)
{
    TCSSStyleSheet sheet;
    sheet.Parse(css);
    std::vector<TWPStyle> styles;
    QSet<QString> seen;
    for (const QString &cls : sheet.ClassNames()) {
        const QString name = clean(cls);
        if (name.isEmpty() || seen.contains(name.toLower()))
            continue;
        seen.insert(name.toLower());
        Collector c;
        bool charStyle = true;
        for (const TCSSSection *section : sheet.ClassSections(cls)) {
            charStyle = charStyle && spanOnly(section->Selector, cls);
            for (const TCSSProperty &p : section->Properties)
                c.add(p);
        }
        TWPStyle s;
        s.Name = name;
        s.IsCharStyle = charStyle;
        s.BasedOn = c.basedOn.compare(name, Qt::CaseInsensitive) == 0 ? QString() : c.basedOn;
        s.Text = c.text();
        styles.push_back(s);
    }
    return styles;
}

QString WPStylesToCSS(const std::vector<TWPStyle> &styles)
{
    QString out;
    for (const TWPStyle &s : styles) {
        if (s.Name.isEmpty())
            continue;
        out += (s.IsCharStyle ? u"span."_qs : u"p."_qs) + escapeIdent(s.Name) + u" {\n"_qs;
        const auto decl = [&out](const QString &name, const QString &value) {
            out += u"  "_qs + name + u": "_qs + value + u";\n"_qs;
        };
        if (!s.BasedOn.isEmpty())
            decl(u"-zor-based-on"_qs, cssString(s.BasedOn));
        QString under, strike;
        for (const auto &[key, value] : pairsOf(s.Text)) {
            const bool on = value == u"1" || value.compare(u"true", Qt::CaseInsensitive) == 0;
            if (key.compare(u"Font", Qt::CaseInsensitive) == 0)
                decl(u"font-family"_qs, cssString(value));
            else if (key.compare(u"Size", Qt::CaseInsensitive) == 0)
                decl(u"font-size"_qs, QString::number(value.toDouble()) + u"pt"_qs);
            else if (key.compare(u"Bold", Qt::CaseInsensitive) == 0)
                decl(u"font-weight"_qs, on ? u"bold"_qs : u"normal"_qs);
            else if (key.compare(u"Italic", Qt::CaseInsensitive) == 0)
                decl(u"font-style"_qs, on ? u"italic"_qs : u"normal"_qs);
            else if (key.compare(u"Underline", Qt::CaseInsensitive) == 0)
                under = on ? u"underline"_qs : u"none"_qs;
            else if (key.compare(u"StrikeOut", Qt::CaseInsensitive) == 0)
                strike = on ? u"line-through"_qs : u"none"_qs;
            else if (key.compare(u"Color", Qt::CaseInsensitive) == 0 && QColor::fromString(value).isValid())
                decl(u"color"_qs, QColor::fromString(value).name());
            else if (key.compare(u"BgColor", Qt::CaseInsensitive) == 0 && QColor::fromString(value).isValid())
                decl(u"background-color"_qs, QColor::fromString(value).name());
            else if (key.compare(u"Align", Qt::CaseInsensitive) == 0)
                decl(u"text-align"_qs, value.toLower());
            else if (key.compare(u"IndentLeft", Qt::CaseInsensitive) == 0)
                decl(u"margin-left"_qs, ptText(value));
            else if (key.compare(u"IndentRight", Qt::CaseInsensitive) == 0)
                decl(u"margin-right"_qs, ptText(value));
            else if (key.compare(u"IndentFirst", Qt::CaseInsensitive) == 0)
                decl(u"text-indent"_qs, ptText(value));
            else if (key.compare(u"SpaceBefore", Qt::CaseInsensitive) == 0)
                decl(u"margin-top"_qs, ptText(value));
            else if (key.compare(u"SpaceAfter", Qt::CaseInsensitive) == 0)
                decl(u"margin-bottom"_qs, ptText(value));
        }
        // Underline and strike-out share one declaration.
        if (!under.isEmpty() || !strike.isEmpty()) {
            QStringList lines;
            if (under == u"underline")
                lines << under;
            if (strike == u"line-through")
                lines << strike;
            decl(u"text-decoration"_qs, lines.isEmpty() ? u"none"_qs : lines.join(u' '));
        }
        out += u"}\n"_qs;
    }
    return out;
}

QString WPQtFileFilter(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        const qsizetype paren = description.lastIndexOf(u'(');
        if (paren > 0 && description.endsWith(u')'))
            description = description.left(paren).trimmed();
        QStringList patterns;
        for (const QString &p : parts[i + 1].split(u';', Qt::SkipEmptyParts))
            for (const QString &q : {p.trimmed(), p.trimmed().toLower(), p.trimmed().toUpper()})
                if (!q.isEmpty() && !patterns.contains(q))
                    patterns << q;
        out << description + u" ("_qs + patterns.join(u' ') + u')';
    }
    return out.join(u";;"_qs);
}

} // namespace zor
