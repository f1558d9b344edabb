#include "HtCSS.h"

#include "AsciiCase_p.h"
#include "HtCSS_p.h"
#include "HtmlColors.h"

#include <algorithm>

namespace zor {
namespace css_p {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool isNewline(char16_t c)
{
    return c == '\n' || c == '\r' || c == '\f';
}

bool isWhitespace(char16_t c)
{
    return c == ' ' || c == '\t' || isNewline(c);
}

bool isDigit(char16_t c)
{
    return c >= '0' && c <= '9';
}

bool isHex(char16_t c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isNameStart(char16_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}

bool isName(char16_t c)
{
    return isNameStart(c) || isDigit(c) || c == '-';
}

bool isNonPrintable(char16_t c)
{
    return c <= 0x08 || c == 0x0B || (c >= 0x0E && c <= 0x1F) || c == 0x7F;
}

class Tokenizer
{
public:
    explicit Tokenizer(QStringView s) : m_s(s), m_n(s.size()) {}

    Tokens run()
    {
        Tokens out;
        // Every token takes at least one code unit: the list is bounded by the text.
        while (true) {
            skipComments();
            if (m_p >= m_n)
                break;
            const qsizetype begin = m_p;
            Token t{Tok::Delim, begin, begin, {}, 0};
            next(t);
            t.End = m_p;
            out.List.push_back(std::move(t));
        }
        if (m_danglingEscape)
            out.Closers += u' ';
        out.Closers += m_closer;
        return out;
    }

private:
    char16_t at(qsizetype i) const { return i < m_n ? m_s[i].unicode() : 0; }
    bool atEnd(qsizetype i) const { return i >= m_n; }

    void skipComments()
    {
        while (at(m_p) == '/' && at(m_p + 1) == '*' && !atEnd(m_p + 1)) {
            const qsizetype end = m_s.indexOf(u"*/", m_p + 2);
            if (end < 0) {
                m_p = m_n;
                m_closer = QStringLiteral("*/");
                return;
            }
            m_p = end + 2;
        }
    }

    // A backslash at i that starts an escape (not before a newline or the end).
    bool validEscape(qsizetype i) const
    {
        if (at(i) != '\\')
            return false;
        if (atEnd(i + 1)) {
            return false;
        }
        return !isNewline(at(i + 1));
    }
    bool startsIdent(qsizetype i) const
    {
        const char16_t c = at(i);
        if (atEnd(i))
            return false;
        if (c == '-') {
            const char16_t d = at(i + 1);
            return (!atEnd(i + 1) && (isNameStart(d) || d == '-')) || validEscape(i + 1);
        }
        return isNameStart(c) || validEscape(i);
    }
    bool startsNumber(qsizetype i) const
    {
        const char16_t c = at(i);
        if (atEnd(i))
            return false;
        if (c == '+' || c == '-') {
            if (atEnd(i + 1))
                return false;
            return isDigit(at(i + 1)) || (at(i + 1) == '.' && !atEnd(i + 2) && isDigit(at(i + 2)));
        }
        if (c == '.')
            return !atEnd(i + 1) && isDigit(at(i + 1));
        return isDigit(c);
    }

    // After the backslash: the escaped code point.
    void consumeEscape(QString &out)
    {
        if (atEnd(m_p)) {
            m_danglingEscape = true;
            out += QChar(kReplacement);
            return;
        }
        if (isHex(at(m_p))) {
            uint v = 0;
            int digits = 0;
            while (digits < 6 && !atEnd(m_p) && isHex(at(m_p))) {
                const char16_t h = at(m_p++);
                v = v * 16 + uint(isDigit(h) ? h - '0' : (h | 0x20) - 'a' + 10);
                ++digits;
            }
            if (at(m_p) == '\r' && at(m_p + 1) == '\n')
                m_p += 2;
            else if (!atEnd(m_p) && isWhitespace(at(m_p)))
                ++m_p;
            if (v == 0 || (v >= 0xD800 && v <= 0xDFFF) || v > 0x10FFFF)
                v = kReplacement;
            const char32_t cp = v;
            out += QString::fromUcs4(&cp, 1);
            return;
        }
        const char16_t c = at(m_p++);
        out += QChar(c == 0 ? kReplacement : c);
    }

    QString consumeName()
    {
        QString name;
        while (!atEnd(m_p)) {
            const char16_t c = at(m_p);
            if (isName(c)) {
                name += QChar(c);
                ++m_p;
            } else if (validEscape(m_p)) {
                ++m_p;
                consumeEscape(name);
            } else {
                break;
            }
        }
        return name;
    }

    double consumeNumber()
    {
        const qsizetype begin = m_p;
        if (at(m_p) == '+' || at(m_p) == '-')
            ++m_p;
        while (!atEnd(m_p) && isDigit(at(m_p)))
            ++m_p;
        if (at(m_p) == '.' && !atEnd(m_p + 1) && isDigit(at(m_p + 1))) {
            m_p += 2;
            while (!atEnd(m_p) && isDigit(at(m_p)))
                ++m_p;
        }
        if ((at(m_p) == 'e' || at(m_p) == 'E') && !atEnd(m_p + 1)) {
            qsizetype q = m_p + 1;
            if (at(q) == '+' || at(q) == '-')
                ++q;
            if (!atEnd(q) && isDigit(at(q))) {
                m_p = q;
                while (!atEnd(m_p) && isDigit(at(m_p)))
                    ++m_p;
            }
        }
        bool ok = false;
        const double v = m_s.sliced(begin, m_p - begin).toString().toDouble(&ok);
        return ok ? v : 0.0;
    }

    void consumeNumeric(Token &t)
    {
        t.Number = consumeNumber();
        if (startsIdent(m_p)) {
            t.Type = Tok::Dimension;
            t.Value = consumeName();
        } else if (at(m_p) == '%' && !atEnd(m_p)) {
            ++m_p;
            t.Type = Tok::Percentage;
        } else {
            t.Type = Tok::Number;
        }
    }

    void consumeString(Token &t, char16_t quote)
    {
        t.Type = Tok::String;
        while (true) {
            if (atEnd(m_p)) {
                m_closer = QString(QChar(quote));
                return;
            }
            const char16_t c = at(m_p);
            if (c == quote) {
                ++m_p;
                return;
            }
            if (isNewline(c)) {
                t.Type = Tok::BadString; // the newline is left for the next token
                return;
            }
            ++m_p;
            if (c == '\\') {
                if (atEnd(m_p)) {
                    m_danglingEscape = true;
                    continue;
                }
                if (at(m_p) == '\r' && at(m_p + 1) == '\n')
                    m_p += 2;
                else if (isNewline(at(m_p)))
                    ++m_p;
                else
                    consumeEscape(t.Value);
                continue;
            }
            t.Value += QChar(c == 0 ? kReplacement : c);
        }
    }

    void consumeBadUrlRemnants()
    {
        while (!atEnd(m_p)) {
            if (at(m_p) == ')') {
                ++m_p;
                return;
            }
            if (at(m_p) == '\\' && atEnd(m_p + 1))
                m_danglingEscape = true;
            if (validEscape(m_p)) {
                ++m_p;
                QString ignored;
                consumeEscape(ignored);
            } else {
                ++m_p;
            }
        }
        m_closer = QStringLiteral(")");
    }

    void consumeUrl(Token &t)
    {
        t.Type = Tok::Url;
        while (!atEnd(m_p) && isWhitespace(at(m_p)))
            ++m_p;
        while (true) {
            if (atEnd(m_p)) {
                m_closer = QStringLiteral(")");
                return;
            }
            const char16_t c = at(m_p);
            if (c == ')') {
                ++m_p;
                return;
            }
            if (isWhitespace(c)) {
                while (!atEnd(m_p) && isWhitespace(at(m_p)))
                    ++m_p;
                if (atEnd(m_p)) {
                    m_closer = QStringLiteral(")");
                    return;
                }
                if (at(m_p) == ')') {
                    ++m_p;
                    return;
                }
                t.Type = Tok::BadUrl;
                consumeBadUrlRemnants();
                return;
            }
            if (c == '"' || c == '\'' || c == '(' || isNonPrintable(c)) {
                t.Type = Tok::BadUrl;
                consumeBadUrlRemnants();
                return;
            }
            if (c == '\\') {
                if (validEscape(m_p)) {
                    ++m_p;
                    consumeEscape(t.Value);
                    continue;
                }
                t.Type = Tok::BadUrl;
                consumeBadUrlRemnants();
                return;
            }
            t.Value += QChar(c);
            ++m_p;
        }
    }

    void consumeIdentLike(Token &t)
    {
        t.Value = consumeName();
        if (at(m_p) == '(' && !atEnd(m_p)) {
            ++m_p;
            if (html_p::equalsIgnoringAsciiCase(t.Value, u"url")) {
                qsizetype q = m_p;
                while (!atEnd(q) && isWhitespace(at(q)))
                    ++q;
                if (at(q) != '"' && at(q) != '\'') {
                    t.Value.clear();
                    consumeUrl(t);
                    return;
                }
            }
            t.Type = Tok::Function;
            return;
        }
        t.Type = Tok::Ident;
    }

    void next(Token &t)
    {
        const char16_t c = at(m_p);
        if (isWhitespace(c)) {
            while (!atEnd(m_p) && isWhitespace(at(m_p)))
                ++m_p;
            t.Type = Tok::Whitespace;
            return;
        }
        switch (c) {
        case '"':
        case '\'':
            ++m_p;
            consumeString(t, c);
            return;
        case '#':
            if (!atEnd(m_p + 1) && (isName(at(m_p + 1)) || validEscape(m_p + 1))) {
                ++m_p;
                t.Type = Tok::Hash;
                t.Value = consumeName();
                return;
            }
            break;
        case '(': ++m_p; t.Type = Tok::LParen; return;
        case ')': ++m_p; t.Type = Tok::RParen; return;
        case '[': ++m_p; t.Type = Tok::LBracket; return;
        case ']': ++m_p; t.Type = Tok::RBracket; return;
        case '{': ++m_p; t.Type = Tok::LBrace; return;
        case '}': ++m_p; t.Type = Tok::RBrace; return;
        case ',': ++m_p; t.Type = Tok::Comma; return;
        case ':': ++m_p; t.Type = Tok::Colon; return;
        case ';': ++m_p; t.Type = Tok::Semicolon; return;
        case '+':
        case '.':
            if (startsNumber(m_p)) {
                consumeNumeric(t);
                return;
            }
            break;
        case '-':
            if (startsNumber(m_p)) {
                consumeNumeric(t);
                return;
            }
            if (at(m_p + 1) == '-' && at(m_p + 2) == '>') {
                m_p += 3;
                t.Type = Tok::CDC;
                return;
            }
            if (startsIdent(m_p)) {
                consumeIdentLike(t);
                return;
            }
            break;
        case '<':
            if (m_s.sliced(m_p).startsWith(u"<!--")) {
                m_p += 4;
                t.Type = Tok::CDO;
                return;
            }
            break;
        case '@':
            if (startsIdent(m_p + 1)) {
                ++m_p;
                t.Type = Tok::AtKeyword;
                t.Value = consumeName();
                return;
            }
            break;
        case '\\':
            if (validEscape(m_p)) {
                consumeIdentLike(t);
                return;
            }
            if (atEnd(m_p + 1))
                m_danglingEscape = true;
            break;
        default:
            if (isDigit(c)) {
                consumeNumeric(t);
                return;
            }
            if (isNameStart(c)) {
                consumeIdentLike(t);
                return;
            }
        }
        ++m_p;
        t.Type = Tok::Delim;
        t.Value = QString(QChar(c == 0 ? kReplacement : c));
    }

    QStringView m_s;
    qsizetype m_n;
    qsizetype m_p = 0;
    QString m_closer;
    bool m_danglingEscape = false;
};

bool opensBlock(Tok t)
{
    return t == Tok::LBrace || t == Tok::LParen || t == Tok::LBracket || t == Tok::Function;
}

Tok closerOf(Tok t)
{
    switch (t) {
    case Tok::LBrace: return Tok::RBrace;
    case Tok::LBracket: return Tok::RBracket;
    default: return Tok::RParen;
    }
}

// The index after the component value starting at \a i: a block or function
// runs to its matching closer (or \a to). Nesting is counted, not recursed.
size_t skipComponent(const std::vector<Token> &list, size_t i, size_t to)
{
    if (!opensBlock(list[i].Type))
        return i + 1;
    std::vector<Tok> closers{closerOf(list[i].Type)};
    for (++i; i < to; ++i) {
        const Tok t = list[i].Type;
        if (opensBlock(t))
            closers.push_back(closerOf(t));
        else if (t == closers.back()) {
            closers.pop_back();
            if (closers.empty())
                return i + 1;
        }
    }
    return to;
}

// From \a i to the next top-level ";" (its index, or \a to).
size_t skipToSemicolon(const std::vector<Token> &list, size_t i, size_t to)
{
    while (i < to && list[i].Type != Tok::Semicolon)
        i = skipComponent(list, i, to);
    return i;
}

QString blockClosers(const std::vector<Token> &list)
{
    std::vector<Tok> open;
    for (const Token &t : list) {
        if (opensBlock(t.Type))
            open.push_back(closerOf(t.Type));
        else if (!open.empty() && t.Type == open.back())
            open.pop_back();
    }
    QString out;
    for (auto it = open.rbegin(); it != open.rend(); ++it)
        out += *it == Tok::RBrace ? u'}' : (*it == Tok::RBracket ? u']' : u')');
    return out;
}

} // namespace

Tokens Tokenize(QStringView s)
{
    Tokens t = Tokenizer(s).run();
    // Blocks close after what the tokenizer left open (a string in a function).
    t.Closers += blockClosers(t.List);
    return t;
}

std::vector<DeclSpan> DeclarationSpans(const Tokens &t, size_t from, size_t to)
{
    const std::vector<Token> &list = t.List;
    std::vector<DeclSpan> out;
    size_t i = from;
    while (i < to) {
        const Tok type = list[i].Type;
        if (type == Tok::Whitespace || type == Tok::Semicolon) {
            ++i;
            continue;
        }
        if (type == Tok::AtKeyword) {
            // An at-rule in a declaration list ends at ";" or with its block.
            for (++i; i < to && list[i].Type != Tok::Semicolon;) {
                const bool block = list[i].Type == Tok::LBrace;
                i = skipComponent(list, i, to);
                if (block)
                    break;
            }
            continue;
        }
        const size_t end = skipToSemicolon(list, i, to);
        const size_t next = end < to ? end + 1 : to;
        if (type != Tok::Ident) {
            i = next;
            continue;
        }
        size_t j = i + 1;
        while (j < end && list[j].Type == Tok::Whitespace)
            ++j;
        if (j >= end || list[j].Type != Tok::Colon) {
            i = next;
            continue;
        }
        ++j;
        while (j < end && list[j].Type == Tok::Whitespace)
            ++j;
        size_t valueEnd = end;
        while (valueEnd > j && list[valueEnd - 1].Type == Tok::Whitespace)
            --valueEnd;
        DeclSpan d;
        d.Name = list[i].Value.toLower();
        // "!important" at the end, white space allowed around the "!".
        if (valueEnd > j && list[valueEnd - 1].Type == Tok::Ident
            && html_p::equalsIgnoringAsciiCase(list[valueEnd - 1].Value, u"important")) {
            size_t k = valueEnd - 1;
            while (k > j && list[k - 1].Type == Tok::Whitespace)
                --k;
            if (k > j && list[k - 1].Type == Tok::Delim && list[k - 1].Value == u"!") {
                d.Important = true;
                valueEnd = k - 1;
                while (valueEnd > j && list[valueEnd - 1].Type == Tok::Whitespace)
                    --valueEnd;
            }
        }
        d.Begin = list[i].Begin;
        d.End = end < to ? list[end].End : list[to - 1].End;
        d.ValueBegin = j < end ? list[j].Begin : list[j - 1].End;
        d.ValueEnd = valueEnd > j ? list[valueEnd - 1].End : d.ValueBegin;
        d.FirstValueToken = j;
        d.EndValueToken = std::max(j, valueEnd);
        out.push_back(std::move(d));
        i = next;
    }
    return out;
}

QString GetDeclaration(QStringView style, QStringView name)
{
    const Tokens t = Tokenize(style);
    const std::vector<DeclSpan> decls = DeclarationSpans(t, 0, t.List.size());
    for (auto it = decls.rbegin(); it != decls.rend(); ++it)
        if (html_p::equalsIgnoringAsciiCase(it->Name, name))
            return style.sliced(it->ValueBegin, it->ValueEnd - it->ValueBegin).toString();
    return QString();
}

QString SetDeclaration(const QString &style, const QString &name, const QString &value)
{
    const Tokens t = Tokenize(style);
    const std::vector<DeclSpan> decls = DeclarationSpans(t, 0, t.List.size());
    for (auto it = decls.rbegin(); it != decls.rend(); ++it) {
        if (html_p::equalsIgnoringAsciiCase(it->Name, name)) {
            QString out = style;
            out.replace(it->ValueBegin, it->ValueEnd - it->ValueBegin, value);
            return out;
        }
    }
    // Close whatever the text leaves open, so the new declaration stands alone.
    QString out = style + t.Closers;
    // A ";" ends what came before only as a token of its own (not one in a
    // string or comment).
    auto last = t.List.rbegin();
    while (last != t.List.rend() && last->Type == Tok::Whitespace)
        ++last;
    const bool empty = out.isEmpty() || (last == t.List.rend() && t.Closers.isEmpty()
                                         && std::all_of(out.cbegin(), out.cend(), [](QChar c) {
                                                return isWhitespace(c.unicode());
                                            }));
    if (!empty && (last == t.List.rend() || last->Type != Tok::Semicolon || !t.Closers.isEmpty()))
        out += u';';
    if (!empty && !isWhitespace(out.back().unicode()))
        out += u' ';
    return out + name + QStringLiteral(": ") + value;
}

QString RemoveDeclaration(const QString &style, QStringView name, bool *removed)
{
    const Tokens t = Tokenize(style);
    const std::vector<DeclSpan> decls = DeclarationSpans(t, 0, t.List.size());
    QString out = style;
    bool any = false;
    // From the back, so earlier spans stay valid.
    for (auto it = decls.rbegin(); it != decls.rend(); ++it) {
        if (!html_p::equalsIgnoringAsciiCase(it->Name, name))
            continue;
        qsizetype b = it->Begin, e = it->End;
        if (b > 0) {
            while (b > 0 && isWhitespace(out[b - 1].unicode()))
                --b;
        } else {
            while (e < out.size() && isWhitespace(out[e].unicode()))
                ++e;
        }
        out.remove(b, e - b);
        any = true;
    }
    if (removed)
        *removed = any;
    return out;
}

} // namespace css_p

using namespace css_p;

namespace {

// The typed values of tokens [from, to): blank-separated component values.
std::vector<TCSSValue> componentValues(QStringView src, const std::vector<Token> &list, size_t from,
                                       size_t to)
{
    std::vector<TCSSValue> out;
    size_t i = from;
    while (i < to) {
        const Token &t = list[i];
        const size_t next = skipComponent(list, i, to);
        TCSSValue v;
        switch (t.Type) {
        case Tok::Whitespace: i = next; continue;
        case Tok::Ident: v.Kind = cvkIdent; v.Text = t.Value; break;
        case Tok::String: v.Kind = cvkString; v.Text = t.Value; break;
        case Tok::Url: v.Kind = cvkUrl; v.Text = t.Value; break;
        case Tok::Hash: v.Kind = cvkHash; v.Text = u'#' + t.Value; break;
        case Tok::Number: v.Kind = cvkNumber; v.Number = t.Number; break;
        case Tok::Percentage: v.Kind = cvkPercentage; v.Number = t.Number; break;
        case Tok::Dimension: v.Kind = cvkDimension; v.Number = t.Number; v.Unit = t.Value; break;
        case Tok::Function:
            v.Unit = t.Value.toLower();
            v.Kind = cvkFunction;
            // url("x") is an address, whichever way it is written.
            if (v.Unit == u"url") {
                size_t k = i + 1;
                while (k < next && list[k].Type == Tok::Whitespace)
                    ++k;
                if (k < next && list[k].Type == Tok::String) {
                    v.Kind = cvkUrl;
                    v.Text = list[k].Value;
                    v.Unit.clear();
                }
            }
            break;
        case Tok::Delim:
        case Tok::Comma:
        case Tok::Colon: v.Kind = cvkOperator; break;
        case Tok::LBrace:
        case Tok::LBracket:
        case Tok::LParen: v.Kind = cvkBlock; break;
        default: v.Kind = cvkUnknown; break;
        }
        if (v.Text.isEmpty() && v.Kind != cvkString && v.Kind != cvkUrl) {
            const qsizetype e = next > i ? list[next - 1].End : t.End;
            v.Text = src.sliced(t.Begin, e - t.Begin).toString();
        }
        out.push_back(std::move(v));
        i = next;
    }
    return out;
}

std::vector<TCSSProperty> properties(QStringView src, const Tokens &t, size_t from, size_t to)
{
    std::vector<TCSSProperty> out;
    for (const DeclSpan &d : DeclarationSpans(t, from, to)) {
        TCSSProperty p;
        p.Name = d.Name;
        p.ValueText = src.sliced(d.ValueBegin, d.ValueEnd - d.ValueBegin).toString();
        p.Values = componentValues(src, t.List, d.FirstValueToken, d.EndValueToken);
        p.Important = d.Important;
        out.push_back(std::move(p));
    }
    return out;
}

// The class a selector ends in ("p.note", ".a .b"), or empty.
QString trailingClass(const std::vector<Token> &list, size_t from, size_t to)
{
    while (to > from && list[to - 1].Type == Tok::Whitespace)
        --to;
    if (to - from >= 2 && list[to - 1].Type == Tok::Ident && list[to - 2].Type == Tok::Delim
        && list[to - 2].Value == u".")
        return list[to - 1].Value;
    return QString();
}

} // namespace

bool TCSSValue::ToColor(quint32 &color) const
{
    switch (Kind) {
    case cvkIdent:
    case cvkHash:
    case cvkFunction:
        return HtmlStrToColor(Text, color);
    default:
        return false;
    }
}

const TCSSProperty *TCSSSection::Property(QStringView name) const
{
    for (auto it = Properties.rbegin(); it != Properties.rend(); ++it)
        if (html_p::equalsIgnoringAsciiCase(it->Name, name))
            return &*it;
    return nullptr;
}

const std::vector<TCSSValue> *TCSSSection::Values(QStringView name) const
{
    const TCSSProperty *p = Property(name);
    return p ? &p->Values : nullptr;
}

TCSSStyleSheet::TCSSStyleSheet() = default;
TCSSStyleSheet::~TCSSStyleSheet() = default;

void TCSSStyleSheet::Clear()
{
    m_sections.clear();
    m_classes.clear();
    m_classOrder.clear();
}

void TCSSStyleSheet::Parse(QStringView css)
{
    const Tokens t = Tokenize(css);
    const std::vector<Token> &list = t.List;
    const size_t n = list.size();
    size_t i = 0;
    while (i < n) {
        const Tok type = list[i].Type;
        if (type == Tok::Whitespace || type == Tok::CDO || type == Tok::CDC) {
            ++i;
            continue;
        }
        if (type == Tok::AtKeyword) {
            for (++i; i < n && list[i].Type != Tok::Semicolon;) {
                const bool block = list[i].Type == Tok::LBrace;
                i = skipComponent(list, i, n);
                if (block)
                    break;
            }
            if (i < n && list[i].Type == Tok::Semicolon)
                ++i;
            continue;
        }
        // A qualified rule: its prelude runs to the "{" of its block.
        const size_t prelude = i;
        while (i < n && list[i].Type != Tok::LBrace)
            i = skipComponent(list, i, n);
        if (i >= n)
            break; // a prelude without a block is dropped
        const size_t blockBegin = i;
        const size_t blockEnd = skipComponent(list, i, n);
        i = blockEnd;
        const size_t contentEnd =
            blockEnd > blockBegin + 1 && list[blockEnd - 1].Type == Tok::RBrace ? blockEnd - 1 : blockEnd;
        if (blockBegin == prelude)
            continue; // "{...}" without a selector matches nothing

        auto section = std::make_unique<TCSSSection>();
        section->Selector =
            css.sliced(list[prelude].Begin, list[blockBegin].Begin - list[prelude].Begin).trimmed().toString();
        section->Properties = properties(css, t, blockBegin + 1, contentEnd);
        // Each selector of the list that ends in a class registers the section.
        size_t s = prelude;
        while (s < blockBegin) {
            size_t e = s;
            while (e < blockBegin && list[e].Type != Tok::Comma)
                e = skipComponent(list, e, blockBegin);
            const QString cls = trailingClass(list, s, e);
            if (!cls.isEmpty()) {
                QList<const TCSSSection *> &entries = m_classes[cls];
                if (entries.isEmpty())
                    m_classOrder.push_back(cls);
                if (entries.isEmpty() || entries.back() != section.get())
                    entries.push_back(section.get());
            }
            s = e + 1;
        }
        m_sections.push_back(std::move(section));
    }
}

QList<const TCSSSection *> TCSSStyleSheet::ClassSections(const QString &name) const
{
    return m_classes.value(name);
}

const TCSSSection *TCSSStyleSheet::FindClass(const QString &name) const
{
    const auto it = m_classes.constFind(name);
    return it == m_classes.cend() || it->isEmpty() ? nullptr : it->first();
}

QStringList TCSSStyleSheet::ClassNames() const
{
    return m_classOrder;
}

std::vector<TCSSProperty> ParseCSSDeclarations(QStringView text)
{
    const Tokens t = Tokenize(text);
    return properties(text, t, 0, t.List.size());
}

} // namespace zor
