// Scanner with per-syntax tables.
#include <ZorCompCore/script/Lexer.h>

#include <QDate>
#include <QSet>
#include <QTime>

namespace zor::script {

namespace {

struct SyntaxTable
{
    QSet<QString> keywords;  // upper case
    QStringList operators;   // longest first
    bool pascalComments = false; // { } and (* *) besides //
    bool cComments = false;      // /* */ besides //
    bool basicComments = false;  // ' and REM
    bool lineBreaks = false;     // line breaks separate statements
    bool singleQuoteStrings = true;
    bool doubleQuoteStrings = false;
    bool backslashEscapes = false;
    bool dateLiterals = false;   // #2024-01-31#, #1/31/2024 10:30#
};

QStringList byLength(QStringList ops)
{
    std::stable_sort(ops.begin(), ops.end(), [](const QString &a, const QString &b) { return a.size() > b.size(); });
    return ops;
}

QSet<QString> words(const char *list)
{
    QSet<QString> r;
    for (const QString &w : QString::fromLatin1(list).split(u' ', Qt::SkipEmptyParts))
        r.insert(w);
    return r;
}

// Keep the key word lists in step with the parsers that read them.
const SyntaxTable &table(Syntax s)
{
    static const SyntaxTable pascal = [] {
        SyntaxTable t;
        t.keywords = words("AND ARRAY BEGIN BREAK CASE CONST CONTINUE DIV DO DOWNTO ELSE END EXCEPT EXIT "
                           "FINALLY FOR FUNCTION IF IN MOD NIL NOT OF OR PROCEDURE PROGRAM RAISE REPEAT SHL SHR "
                           "THEN TO TRY UNTIL USES VAR WHILE WITH XOR TRUE FALSE TYPE RECORD");
        t.operators = byLength({":=", "<=", ">=", "<>", "..", "+", "-", "*", "/", "=", "<", ">", "(", ")", "[",
                                "]", ",", ";", ":", ".", "^", "@"});
        t.pascalComments = true;
        return t;
    }();
    static const SyntaxTable cpp = [] {
        SyntaxTable t;
        t.keywords = words("IF ELSE WHILE DO FOR SWITCH CASE DEFAULT BREAK CONTINUE RETURN TRY CATCH FINALLY "
                           "THROW NEW DELETE TRUE FALSE NULL NIL");
        t.operators = byLength({"<<=", ">>=", "==", "!=", "<=", ">=", "&&", "||", "++", "--", "+=", "-=", "*=",
                                "/=", "%=", "&=", "|=", "^=", "<<", ">>", "+", "-", "*", "/", "%", "=", "<",
                                ">", "!", "~", "&", "|", "^", "(", ")", "[", "]", "{", "}", ",", ";", ":", ".",
                                "?"});
        t.cComments = true;
        t.doubleQuoteStrings = true;
        t.backslashEscapes = true;
        return t;
    }();
    static const SyntaxTable js = [] {
        SyntaxTable t = cpp;
        t.keywords = words("IF ELSE WHILE DO FOR SWITCH CASE DEFAULT BREAK CONTINUE RETURN TRY CATCH FINALLY "
                           "THROW NEW DELETE TRUE FALSE NULL VAR FUNCTION TYPEOF");
        t.operators = byLength(t.operators + QStringList{"===", "!=="});
        return t;
    }();
    static const SyntaxTable basic = [] {
        SyntaxTable t;
        t.keywords = words("AND AS BYREF BYVAL CASE CATCH DIM DO ELSE ELSEIF END EXIT FALSE FINALLY FOR "
                           "FUNCTION IF IS LOOP MOD NEXT NOT NOTHING NULL OR RETURN SELECT STEP SUB THEN "
                           "THROW TO TRUE TRY UNTIL WEND WHILE XOR CONST OPTIONAL");
        t.operators = byLength({"<=", ">=", "<>", "+=", "-=", "*=", "/=", "&=", "+", "-", "*", "/", "\\", "^",
                                "&", "=", "<", ">", "(", ")", "[", "]", ",", ":", "."});
        t.basicComments = true;
        t.lineBreaks = true;
        t.singleQuoteStrings = false;
        t.doubleQuoteStrings = true;
        t.dateLiterals = true;
        return t;
    }();
    switch (s) {
    case Syntax::Pascal: return pascal;
    case Syntax::Cpp: return cpp;
    case Syntax::JScript: return js;
    case Syntax::Basic: return basic;
    }
    return pascal;
}

bool isIdentChar(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

class Scanner
{
public:
    Scanner(const QString &src, Syntax syntax, bool ext) : m_src(src), m_t(table(syntax)), m_ext(ext) {}

    std::vector<Token> run()
    {
        std::vector<Token> out;
        for (;;) {
            const qsizetype before = m_pos;
            skipBlanks(out);
            Token tok;
            tok.SpaceBefore = m_pos != before;
            tok.Line = m_line;
            tok.Col = col();
            if (m_pos >= m_src.size()) {
                out.push_back(tok);
                return out;
            }
            scanOne(tok);
            out.push_back(std::move(tok));
        }
    }

private:
    int col() const { return int(m_pos - m_lineStart) + 1; }
    // Letters beyond ASCII start identifiers only with the extended character set.
    bool isIdentStart(QChar c) const { return (c.isLetter() && (m_ext || c.unicode() < 128)) || c == u'_'; }
    // The same rule for every later character of a name.
    bool isIdentPart(QChar c) const { return (c.isLetterOrNumber() && (m_ext || c.unicode() < 128)) || c == u'_'; }
    QChar at(qsizetype p) const { return p < m_src.size() ? m_src[p] : QChar(); }
    QChar cur() const { return at(m_pos); }

    [[noreturn]] void fail(const QString &msg, int line, int column) { throw SyntaxError{msg, line, column}; }

    void newLine()
    {
        ++m_line;
        m_lineStart = m_pos;
    }

    void pushNewLine(std::vector<Token> &out)
    {
        if (!m_t.lineBreaks)
            return;
        if (!out.empty() && out.back().Kind == Tok::NewLine)
            return;
        Token nl;
        nl.Kind = Tok::NewLine;
        nl.Line = m_line;
        nl.Col = col();
        out.push_back(nl);
    }

    // Skips blanks and comments; in line-based syntaxes records line breaks.
    void skipBlanks(std::vector<Token> &out)
    {
        while (m_pos < m_src.size()) {
            const QChar c = cur();
            if (c == u'\n') {
                pushNewLine(out);
                ++m_pos;
                newLine();
            } else if (c.isSpace()) {
                ++m_pos;
            } else if (c == u'/' && at(m_pos + 1) == u'/') {
                skipToLineEnd();
            } else if (c == u'{' && at(m_pos + 1) == u'$') {
                // Compiler directives are comments to every syntax.
                skipBlock(QStringLiteral("}"), 1);
            } else if (m_t.pascalComments && c == u'{') {
                skipBlock(QStringLiteral("}"), 1);
            } else if (m_t.pascalComments && c == u'(' && at(m_pos + 1) == u'*') {
                skipBlock(QStringLiteral("*)"), 2);
            } else if (m_t.cComments && c == u'/' && at(m_pos + 1) == u'*') {
                skipBlock(QStringLiteral("*/"), 2);
            } else if (m_t.basicComments && c == u'\'') {
                skipToLineEnd();
            } else if (m_t.basicComments && (c == u'r' || c == u'R')
                       && QStringView(m_src).mid(m_pos, 3).compare(u"rem", Qt::CaseInsensitive) == 0
                       && !isIdentChar(at(m_pos + 3))
                       && (m_pos == 0 || !isIdentChar(at(m_pos - 1)))) {
                skipToLineEnd();
            } else if (m_t.lineBreaks && c == u'_' && !isIdentChar(at(m_pos + 1))
                       && (m_pos == 0 || at(m_pos - 1).isSpace())) {
                // Line continuation: " _" then the line break.
                qsizetype p = m_pos + 1;
                while (p < m_src.size() && m_src[p] != u'\n' && m_src[p].isSpace())
                    ++p;
                if (p < m_src.size() && m_src[p] == u'\n') {
                    m_pos = p + 1;
                    newLine();
                } else {
                    return;
                }
            } else {
                return;
            }
        }
    }

    void skipToLineEnd()
    {
        while (m_pos < m_src.size() && cur() != u'\n')
            ++m_pos;
    }

    void skipBlock(const QString &close, int openLen)
    {
        const int line = m_line, column = col();
        m_pos += openLen;
        while (m_pos < m_src.size()) {
            if (QStringView(m_src).mid(m_pos, close.size()) == close) {
                m_pos += close.size();
                return;
            }
            if (cur() == u'\n') {
                ++m_pos;
                newLine();
            } else {
                ++m_pos;
            }
        }
        fail(QStringLiteral("Unterminated comment"), line, column);
    }

    // #date[ time]# in ISO (2024-01-31) or US order (1/31/2024).
    void scanDate(Token &tok)
    {
        const qsizetype close = m_src.indexOf(u'#', m_pos + 1);
        const qsizetype eol = m_src.indexOf(u'\n', m_pos + 1);
        if (close < 0 || (eol >= 0 && eol < close))
            fail(QStringLiteral("Unterminated date literal"), tok.Line, tok.Col);
        const QString text = m_src.mid(m_pos + 1, close - m_pos - 1).trimmed();
        const qsizetype space = text.indexOf(u' ');
        const QString datePart = space < 0 ? text : text.left(space);
        const QString timePart = space < 0 ? QString() : text.mid(space + 1).trimmed();
        QDate d = QDate::fromString(datePart, QStringLiteral("yyyy-MM-dd"));
        if (!d.isValid())
            d = QDate::fromString(datePart, QStringLiteral("M/d/yyyy"));
        QTime t(0, 0);
        if (!timePart.isEmpty()) {
            for (const char *f : {"H:mm:ss", "H:mm", "h:mm:ss AP", "h:mm AP"}) {
                t = QTime::fromString(timePart.toUpper(), QLatin1String(f));
                if (t.isValid())
                    break;
            }
        }
        if (!d.isValid() || !t.isValid())
            fail(QStringLiteral("Invalid date literal"), tok.Line, tok.Col);
        tok.Kind = Tok::Date;
        tok.Text = text;
        tok.Float = double(QDate(1899, 12, 30).daysTo(d)) + t.msecsSinceStartOfDay() / 86'400'000.0;
        m_pos = close + 1;
    }

    void scanOne(Token &tok)
    {
        const QChar c = cur();
        if (isIdentStart(c)) {
            const qsizetype start = m_pos;
            while (m_pos < m_src.size() && isIdentPart(cur()))
                ++m_pos;
            tok.Text = m_src.mid(start, m_pos - start);
            const QString upper = tok.Text.toUpper();
            if (m_t.keywords.contains(upper)) {
                tok.Kind = Tok::Kw;
                tok.Text = upper;
            } else {
                tok.Kind = Tok::Ident;
            }
            return;
        }
        if (c.isDigit() || (c == u'.' && at(m_pos + 1).isDigit() && !m_t.pascalComments)) {
            scanNumber(tok);
            return;
        }
        if (m_t.pascalComments && c == u'$' && isHex(at(m_pos + 1))) {
            ++m_pos;
            scanHex(tok);
            return;
        }
        if (m_t.basicComments && c == u'&' && (at(m_pos + 1) == u'H' || at(m_pos + 1) == u'h') && isHex(at(m_pos + 2))) {
            m_pos += 2;
            scanHex(tok);
            return;
        }
        if (m_t.dateLiterals && c == u'#') {
            scanDate(tok);
            return;
        }
        if (m_t.pascalComments && (c == u'\'' || c == u'#')) {
            scanPascalString(tok);
            return;
        }
        if ((c == u'\'' && m_t.singleQuoteStrings) || (c == u'"' && m_t.doubleQuoteStrings)) {
            scanQuoted(tok, c);
            return;
        }
        for (const QString &op : m_t.operators) {
            if (QStringView(m_src).mid(m_pos, op.size()) == op) {
                tok.Kind = Tok::Sym;
                tok.Text = op;
                m_pos += op.size();
                return;
            }
        }
        fail(QStringLiteral("Unexpected character '%1'").arg(c), m_line, col());
    }

    static bool isHex(QChar c)
    {
        return c.isDigit() || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    }

    void scanHex(Token &tok)
    {
        const qsizetype start = m_pos;
        while (m_pos < m_src.size() && isHex(cur()))
            ++m_pos;
        bool ok = false;
        const quint64 v = m_src.mid(start, m_pos - start).toULongLong(&ok, 16);
        if (!ok)
            fail(QStringLiteral("Integer constant too large"), tok.Line, tok.Col);
        tok.Kind = Tok::Int;
        tok.Int = qint64(v);
    }

    void scanNumber(Token &tok)
    {
        const qsizetype start = m_pos;
        if (cur() == u'0' && (at(m_pos + 1) == u'x' || at(m_pos + 1) == u'X') && isHex(at(m_pos + 2))
            && m_t.cComments) {
            m_pos += 2;
            scanHex(tok);
            return;
        }
        bool isFloat = false;
        while (m_pos < m_src.size() && cur().isDigit())
            ++m_pos;
        // "1..5" is a range in Pascal, not a float.
        if (cur() == u'.' && at(m_pos + 1) != u'.' && (at(m_pos + 1).isDigit() || !m_t.pascalComments)) {
            isFloat = true;
            ++m_pos;
            while (m_pos < m_src.size() && cur().isDigit())
                ++m_pos;
        }
        if ((cur() == u'e' || cur() == u'E')
            && (at(m_pos + 1).isDigit() || ((at(m_pos + 1) == u'+' || at(m_pos + 1) == u'-') && at(m_pos + 2).isDigit()))) {
            isFloat = true;
            m_pos += 2;
            while (m_pos < m_src.size() && cur().isDigit())
                ++m_pos;
        }
        const QString text = m_src.mid(start, m_pos - start);
        bool ok = false;
        if (!isFloat) {
            tok.Int = text.toLongLong(&ok);
            if (ok) {
                tok.Kind = Tok::Int;
                return;
            }
        }
        tok.Float = text.toDouble(&ok);
        if (!ok)
            fail(QStringLiteral("Invalid number '%1'").arg(text), tok.Line, tok.Col);
        tok.Kind = Tok::Float;
    }

    // 'it''s' and #13#10 pieces run together into one string.
    void scanPascalString(Token &tok)
    {
        tok.Kind = Tok::Str;
        for (;;) {
            if (cur() == u'\'') {
                ++m_pos;
                for (;;) {
                    if (m_pos >= m_src.size() || cur() == u'\n')
                        fail(QStringLiteral("Unterminated string"), tok.Line, tok.Col);
                    if (cur() == u'\'') {
                        if (at(m_pos + 1) == u'\'') {
                            tok.Text += u'\'';
                            m_pos += 2;
                            continue;
                        }
                        ++m_pos;
                        break;
                    }
                    tok.Text += cur();
                    ++m_pos;
                }
            } else if (cur() == u'#') {
                ++m_pos;
                qsizetype start = m_pos;
                bool hex = false;
                if (cur() == u'$') {
                    hex = true;
                    start = ++m_pos;
                    while (m_pos < m_src.size() && isHex(cur()))
                        ++m_pos;
                } else {
                    while (m_pos < m_src.size() && cur().isDigit())
                        ++m_pos;
                }
                bool ok = false;
                const uint code = m_src.mid(start, m_pos - start).toUInt(&ok, hex ? 16 : 10);
                if (!ok || code > 0xFFFF)
                    fail(QStringLiteral("Invalid character code"), tok.Line, tok.Col);
                tok.Text += QChar(char16_t(code));
            } else {
                return;
            }
        }
    }

    void scanQuoted(Token &tok, QChar quote)
    {
        tok.Kind = Tok::Str;
        ++m_pos;
        for (;;) {
            if (m_pos >= m_src.size() || cur() == u'\n')
                fail(QStringLiteral("Unterminated string"), tok.Line, tok.Col);
            const QChar c = cur();
            if (c == quote) {
                if (!m_t.backslashEscapes && at(m_pos + 1) == quote) { // Basic: "" inside a string
                    tok.Text += quote;
                    m_pos += 2;
                    continue;
                }
                ++m_pos;
                return;
            }
            if (c == u'\\' && m_t.backslashEscapes) {
                const QChar e = at(m_pos + 1);
                m_pos += 2;
                switch (e.unicode()) {
                case 'n': tok.Text += u'\n'; break;
                case 'r': tok.Text += u'\r'; break;
                case 't': tok.Text += u'\t'; break;
                case '0': tok.Text += QChar(0); break;
                default: tok.Text += e; break;
                }
                continue;
            }
            tok.Text += c;
            ++m_pos;
        }
    }

    const QString &m_src;
    const SyntaxTable &m_t;
    bool m_ext;
    qsizetype m_pos = 0;
    qsizetype m_lineStart = 0;
    int m_line = 1;
};

} // namespace

bool SyntaxFromLanguage(const QString &language, Syntax &out)
{
    const QString l = language.toUpper();
    if (l == u"PASCALSCRIPT")
        out = Syntax::Pascal;
    else if (l == u"C++SCRIPT")
        out = Syntax::Cpp;
    else if (l == u"BASICSCRIPT")
        out = Syntax::Basic;
    else if (l == u"JSCRIPT")
        out = Syntax::JScript;
    else
        return false;
    return true;
}

std::vector<Token> Tokenize(const QString &source, Syntax syntax, bool extendedCharset)
{
    return Scanner(source, syntax, extendedCharset).run();
}

} // namespace zor::script
