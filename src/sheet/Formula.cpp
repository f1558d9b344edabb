// Formula tokenizer, parser and text form.
//
// Precedence, loosest first: comparison, &, + -, * /, ^ (left to right, so
// 2^3^2 is 64), postfix %, prefix - + (binding tighter than ^, so -2^2 is 4).
#include "Formula_p.h"
#include "Functions.h"

#include <cmath>

namespace zor::sheet_detail {

namespace {

struct Token
{
    enum Kind { Num, Str, Bool, Err, Ref, Func, Name, Op, LParen, RParen, Comma, End } kind = End;
    char op = 0;
    double num = 0;
    QString text;                 // Num source text, Str, Func/Name name, Ref sheet
    bool hasSheet = false;
    AreaKind area = AreaKind::Cells;
    bool isArea = false;
    RefPart a, b;
};

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'.' || c == u'\\';
}

class Tokenizer
{
public:
    Tokenizer(const QString &s, int row, int col) : s_(s), row_(row), col_(col) {}

    bool Run(std::vector<Token> &out, QString &error)
    {
        for (;;) {
            skipSpace();
            Token t;
            if (i_ >= s_.size()) {
                out.push_back(t);
                return true;
            }
            if (!next(t)) {
                error = error_.isEmpty() ? QStringLiteral("Unexpected character at %1").arg(i_ + 1) : error_;
                return false;
            }
            out.push_back(std::move(t));
        }
    }

private:
    void skipSpace()
    {
        while (i_ < s_.size() && (s_[i_] == u' ' || s_[i_] == u'\n' || s_[i_] == u'\r' || s_[i_] == u'\t'))
            ++i_;
    }
    QChar at(qsizetype k) const { return k < s_.size() ? s_[k] : QChar(); }

    // [$]letters[$]digits, [$]letters, [$]digits: which parts were present.
    struct Part
    {
        bool hasCol = false, hasRow = false;
        RefPart p;
        qsizetype end = 0;
    };
    bool scanPart(qsizetype k, Part &out) const
    {
        Part r;
        bool colAbs = false;
        if (at(k) == u'$')
            colAbs = true, ++k;
        qsizetype start = k;
        qint64 col = 0;
        while (k < s_.size() && k - start < 4 && at(k).unicode() < 128 && at(k).isLetter())
            col = col * 26 + (at(k).toUpper().unicode() - 'A' + 1), ++k;
        if (k > start) {
            if (k - start > 3 || col > MaxCols)
                return false;
            r.hasCol = true;
            r.p.colAbs = colAbs;
            r.p.col = int(col - 1);
        } else if (colAbs) {
            // "$5" is a row part marked absolute
            r.p.rowAbs = true;
        }
        bool rowAbs = r.p.rowAbs;
        if (r.hasCol && at(k) == u'$')
            rowAbs = true, ++k;
        start = k;
        qint64 row = 0;
        while (k < s_.size() && at(k).isDigit() && at(k).unicode() < 128 && k - start < 8)
            row = row * 10 + (at(k).unicode() - '0'), ++k;
        if (k > start) {
            if (row < 1 || row > MaxRows || at(k).isDigit())
                return false;
            r.hasRow = true;
            r.p.rowAbs = rowAbs;
            r.p.row = int(row - 1);
        } else if (rowAbs && r.hasCol) {
            return false; // "A$"
        }
        if (!r.hasCol && !r.hasRow)
            return false;
        r.end = k;
        out = r;
        return true;
    }

    void makeRelative(RefPart &p) const
    {
        if (!p.rowAbs)
            p.row -= row_;
        if (!p.colAbs)
            p.col -= col_;
    }

    // A reference at i_ (after an optional sheet prefix): cell, area, columns or rows.
    bool scanRef(Token &t)
    {
        Part a;
        if (!scanPart(i_, a))
            return false;
        qsizetype k = a.end;
        if (a.hasCol && a.hasRow) {
            if (at(k) == u':') {
                Part b;
                if (scanPart(k + 1, b) && b.hasCol && b.hasRow && !isWordChar(at(b.end)) && at(b.end) != u'(') {
                    t.isArea = true;
                    t.b = b.p;
                    k = b.end;
                }
            }
        } else {
            // whole columns or rows need their partner
            Part b;
            if (at(k) != u':' || !scanPart(k + 1, b) || b.hasCol != a.hasCol || b.hasRow != a.hasRow)
                return false;
            if (isWordChar(at(b.end)))
                return false;
            t.isArea = true;
            t.area = a.hasCol ? AreaKind::Columns : AreaKind::Rows;
            t.b = b.p;
            k = b.end;
        }
        if (isWordChar(at(k)) || at(k) == u'(' || at(k) == u'!')
            return false;
        t.kind = Token::Ref;
        t.a = a.p;
        makeRelative(t.a);
        if (t.isArea)
            makeRelative(t.b);
        // Whole columns keep their rows absolute (and whole rows their columns),
        // so that the key does not depend on where the formula stands.
        if (t.area == AreaKind::Columns)
            t.a.rowAbs = t.b.rowAbs = true;
        if (t.area == AreaKind::Rows)
            t.a.colAbs = t.b.colAbs = true;
        i_ = k;
        return true;
    }

    // "Sheet!#REF!": a reference whose cells were deleted.
    bool deletedRef(Token &t)
    {
        if (s_.mid(i_, 5).compare(QLatin1String("#REF!"), Qt::CaseInsensitive) != 0)
            return false;
        t = Token();
        t.kind = Token::Err;
        t.num = int(TSheetError::Ref);
        i_ += 5;
        return true;
    }

    bool next(Token &t)
    {
        const QChar c = s_[i_];
        if (c == u'"') {
            QString v;
            for (qsizetype k = i_ + 1; k < s_.size(); ++k) {
                if (s_[k] == u'"') {
                    if (at(k + 1) == u'"') {
                        v += u'"';
                        ++k;
                        continue;
                    }
                    t.kind = Token::Str;
                    t.text = v;
                    i_ = k + 1;
                    return true;
                }
                v += s_[k];
            }
            error_ = QStringLiteral("Unterminated text");
            return false;
        }
        if (c == u'#') {
            for (int e = 1; e <= 7; ++e) {
                const QString name = SheetErrorText(TSheetError(e));
                if (s_.mid(i_, name.size()).compare(name, Qt::CaseInsensitive) == 0) {
                    t.kind = Token::Err;
                    t.num = e;
                    i_ += name.size();
                    return true;
                }
            }
            return false;
        }
        if (c == u'\'') {
            QString name;
            qsizetype k = i_ + 1;
            for (; k < s_.size(); ++k) {
                if (s_[k] == u'\'') {
                    if (at(k + 1) == u'\'') {
                        name += u'\'';
                        ++k;
                        continue;
                    }
                    break;
                }
                name += s_[k];
            }
            if (k >= s_.size() || at(k + 1) != u'!' || name.isEmpty())
                return false;
            i_ = k + 2;
            t.hasSheet = true;
            t.text = name;
            return scanRef(t) || deletedRef(t);
        }
        if (c.isDigit() || c == u'.') {
            Token r;
            if (scanRef(r)) { // 1:3
                t = r;
                return true;
            }
            qsizetype k = i_;
            while (at(k).isDigit())
                ++k;
            if (at(k) == u'.') {
                ++k;
                while (at(k).isDigit())
                    ++k;
            }
            if ((at(k) == u'e' || at(k) == u'E') &&
                (at(k + 1).isDigit() || ((at(k + 1) == u'+' || at(k + 1) == u'-') && at(k + 2).isDigit()))) {
                k += 2;
                while (at(k).isDigit())
                    ++k;
            }
            bool ok = false;
            t.text = s_.mid(i_, k - i_).toUpper();
            t.num = t.text.toDouble(&ok);
            if (!ok || !std::isfinite(t.num))
                return false;
            t.kind = Token::Num;
            i_ = k;
            return true;
        }
        if (c == u'$') {
            return scanRef(t);
        }
        if (c.isLetter() || c == u'_' || c == u'\\') {
            if (scanRef(t))
                return true;
            qsizetype k = i_;
            while (k < s_.size() && isWordChar(s_[k]))
                ++k;
            QString word = s_.mid(i_, k - i_);
            if (at(k) == u'!') {
                i_ = k + 1;
                t.hasSheet = true;
                t.text = word;
                return scanRef(t) || deletedRef(t);
            }
            i_ = k;
            skipSpace();
            if (at(i_) == u'(') {
                t.kind = Token::Func;
                t.text = word; // as written, with any "_xlfn." prefix
                return true;
            }
            if (word.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0 ||
                word.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0) {
                t.kind = Token::Bool;
                t.num = word.size() == 4 ? 1 : 0;
                return true;
            }
            t.kind = Token::Name;
            t.text = word;
            return true;
        }
        ++i_;
        switch (c.unicode()) {
        case '(': t.kind = Token::LParen; return true;
        case ')': t.kind = Token::RParen; return true;
        case ',': t.kind = Token::Comma; return true;
        case '+': case '-': case '*': case '/': case '^': case '&': case '=': case '%':
            t.kind = Token::Op;
            t.op = char(c.unicode());
            return true;
        case '<':
            t.kind = Token::Op;
            t.op = '<';
            if (at(i_) == u'=')
                t.op = 'l', ++i_;
            else if (at(i_) == u'>')
                t.op = 'n', ++i_;
            return true;
        case '>':
            t.kind = Token::Op;
            t.op = '>';
            if (at(i_) == u'=')
                t.op = 'g', ++i_;
            return true;
        }
        --i_;
        return false;
    }

    const QString &s_;
    qsizetype i_ = 0;
    int row_, col_;
    QString error_;
};

// Appends v in decimal: the key is built for every formula entered, so it is
// written in place rather than from formatted temporaries.
void appendInt(QString &s, int v)
{
    char buf[12];
    int n = 0;
    unsigned u = v < 0 ? 0u - unsigned(v) : unsigned(v);
    do
        buf[n++] = char('0' + u % 10);
    while ((u /= 10) != 0);
    if (v < 0)
        s += u'-';
    while (n > 0)
        s += QLatin1Char(buf[--n]);
}

void appendPartKey(QString &s, const RefPart &p, AreaKind k)
{
    auto one = [&](char16_t letter, int v, bool absolute) {
        s += letter;
        if (!absolute)
            s += u'[';
        appendInt(s, v);
        if (!absolute)
            s += u']';
    };
    if (k != AreaKind::Columns)
        one(u'R', p.row, p.rowAbs);
    if (k != AreaKind::Rows)
        one(u'C', p.col, p.colAbs);
}

QString tokenKey(const std::vector<Token> &toks)
{
    QString key;
    key.reserve(qsizetype(toks.size()) * 8);
    for (const Token &t : toks) {
        switch (t.kind) {
        case Token::Num: key += t.text; break;
        case Token::Str: key += u'"' + QString(t.text).replace(u'"', QLatin1String("\"\"")) + u'"'; break;
        case Token::Bool: key += t.num ? QLatin1String("TRUE") : QLatin1String("FALSE"); break;
        case Token::Err: key += SheetErrorText(TSheetError(int(t.num))); break;
        case Token::Ref:
            if (t.hasSheet)
                key += u'\'' + QString(t.text).replace(u'\'', QLatin1String("''")) + QLatin1String("'!");
            appendPartKey(key, t.a, t.area);
            if (t.isArea) {
                key += u':';
                appendPartKey(key, t.b, t.area);
            }
            break;
        case Token::Func: key += t.text; break;
        case Token::Name: key += u'\x01' + t.text.toUpper(); break;
        case Token::Op: key += QLatin1Char(t.op); break;
        case Token::LParen: key += u'('; break;
        case Token::RParen: key += u')'; break;
        case Token::Comma: key += u','; break;
        case Token::End: break;
        }
        key += u' ';
    }
    return key;
}

class Parser
{
public:
    Parser(const std::vector<Token> &t, FormulaCode &code) : t_(t), code_(code) {}

    bool Run(QString &error)
    {
        const int root = compare();
        if (root < 0 || t_[p_].kind != Token::End) {
            error = error_.isEmpty() ? QStringLiteral("Syntax error") : error_;
            return false;
        }
        code_.root = root;
        return true;
    }

private:
    int add(FNode n)
    {
        code_.nodes.push_back(std::move(n));
        return int(code_.nodes.size() - 1);
    }
    bool isOp(char op) const { return t_[p_].kind == Token::Op && t_[p_].op == op; }
    int binary(char op, int l, int r)
    {
        if (l < 0 || r < 0)
            return -1;
        FNode n;
        n.kind = FNode::Binary;
        n.op = op;
        n.kids = {l, r};
        return add(std::move(n));
    }

    int compare()
    {
        int l = concat();
        while (l >= 0 && t_[p_].kind == Token::Op && QByteArrayView("=<>lgn").contains(t_[p_].op)) {
            const char op = t_[p_++].op;
            l = binary(op, l, concat());
        }
        return l;
    }
    int concat()
    {
        int l = additive();
        while (l >= 0 && isOp('&')) {
            ++p_;
            l = binary('&', l, additive());
        }
        return l;
    }
    int additive()
    {
        int l = multiplicative();
        while (l >= 0 && (isOp('+') || isOp('-'))) {
            const char op = t_[p_++].op;
            l = binary(op, l, multiplicative());
        }
        return l;
    }
    int multiplicative()
    {
        int l = power();
        while (l >= 0 && (isOp('*') || isOp('/'))) {
            const char op = t_[p_++].op;
            l = binary(op, l, power());
        }
        return l;
    }
    int power()
    {
        int l = unary();
        while (l >= 0 && isOp('^')) {
            ++p_;
            l = binary('^', l, unary());
        }
        return l;
    }
    int unary()
    {
        if (isOp('-') || isOp('+')) {
            const char op = t_[p_++].op;
            if (++depth_ > MaxDepth * 4)
                return fail(QStringLiteral("Formula nested too deeply"));
            const int k = unary();
            --depth_;
            if (k < 0)
                return -1;
            FNode n;
            n.kind = FNode::Unary;
            n.op = op;
            n.kids = {k};
            return add(std::move(n));
        }
        int k = primary();
        while (k >= 0 && isOp('%')) {
            ++p_;
            FNode n;
            n.kind = FNode::Percent;
            n.kids = {k};
            k = add(std::move(n));
        }
        return k;
    }
    int fail(const QString &msg)
    {
        if (error_.isEmpty())
            error_ = msg;
        return -1;
    }
    int primary()
    {
        const Token &t = t_[p_];
        FNode n;
        switch (t.kind) {
        case Token::Num: n.kind = FNode::Num; n.num = t.num; n.str = t.text; ++p_; return add(std::move(n));
        case Token::Str: n.kind = FNode::Str; n.str = t.text; ++p_; return add(std::move(n));
        case Token::Bool: n.kind = FNode::Bool; n.num = t.num; ++p_; return add(std::move(n));
        case Token::Err: n.kind = FNode::Err; n.err = TSheetError(int(t.num)); ++p_; return add(std::move(n));
        case Token::Name: n.kind = FNode::Name; n.str = t.text; ++p_; return add(std::move(n));
        case Token::Ref:
            n.kind = t.isArea ? FNode::Area : FNode::Ref;
            n.hasSheet = t.hasSheet;
            n.str = t.text;
            n.area = t.area;
            n.a = t.a;
            n.b = t.b;
            ++p_;
            return add(std::move(n));
        case Token::LParen: {
            ++p_;
            if (++depth_ > MaxDepth)
                return fail(QStringLiteral("Formula nested too deeply"));
            const int k = compare();
            --depth_;
            if (k < 0)
                return -1;
            if (t_[p_].kind != Token::RParen)
                return fail(QStringLiteral("Missing )"));
            ++p_;
            n.kind = FNode::Unary;
            n.op = '(';
            n.kids = {k};
            return add(std::move(n));
        }
        case Token::Func: {
            n.kind = FNode::Call;
            n.str = t.text;
            p_ += 2; // name and "("
            if (++depth_ > MaxDepth)
                return fail(QStringLiteral("Formula nested too deeply"));
            if (t_[p_].kind != Token::RParen) {
                for (;;) {
                    int k;
                    if (t_[p_].kind == Token::Comma || t_[p_].kind == Token::RParen) {
                        FNode m;
                        m.kind = FNode::Missing;
                        k = add(std::move(m));
                    } else {
                        k = compare();
                        if (k < 0)
                            return -1;
                    }
                    n.kids.push_back(k);
                    if (n.kids.size() > 255)
                        return fail(QStringLiteral("Too many arguments"));
                    if (t_[p_].kind == Token::Comma) {
                        ++p_;
                        continue;
                    }
                    break;
                }
            }
            --depth_;
            if (t_[p_].kind != Token::RParen)
                return fail(QStringLiteral("Missing )"));
            ++p_;
            // Files prefix newer functions ("_xlfn."): known ones show without
            // it, unknown ones keep the name as written so it goes back unchanged.
            QString bare = n.str.toUpper();
            if (bare.startsWith(QLatin1String("_XLFN.")) || bare.startsWith(QLatin1String("_XLWS.")))
                bare.remove(0, 6);
            n.fn = SpreadSheetFunctionsRepository().Find(bare);
            if (!n.fn)
                code_.unknownFunction = true;
            else
                n.str = n.fn->name;
            if (n.fn && n.fn->isVolatile)
                code_.isVolatile = true;
            return add(std::move(n));
        }
        default:
            return fail(QStringLiteral("Syntax error"));
        }
    }

    const std::vector<Token> &t_;
    FormulaCode &code_;
    size_t p_ = 0;
    int depth_ = 0;
    QString error_;
};

QString quoteSheet(const QString &name)
{
    bool plain = !name.isEmpty() && (name[0].isLetter() || name[0] == u'_');
    for (QChar c : name)
        if (!(c.isLetterOrNumber() || c == u'_' || c == u'.'))
            plain = false;
    // A name that reads as a cell ("A1") must be quoted too.
    int r, c;
    if (plain && !ParseCellName(name, r, c))
        return name;
    return u'\'' + QString(name).replace(u'\'', QLatin1String("''")) + u'\'';
}

class Writer
{
public:
    Writer(const FormulaCode &c, int row, int col, const RefMapper *m) : c_(c), row_(row), col_(col), m_(m) {}

    void node(int i, QString &out) const
    {
        const FNode &n = c_.nodes[size_t(i)];
        switch (n.kind) {
        case FNode::Num: out += n.str.isEmpty() ? SheetNumberText(n.num) : n.str; break;
        case FNode::Str: out += u'"' + QString(n.str).replace(u'"', QLatin1String("\"\"")) + u'"'; break;
        case FNode::Bool: out += n.num ? QLatin1String("TRUE") : QLatin1String("FALSE"); break;
        case FNode::Err: out += SheetErrorText(n.err); break;
        case FNode::Name: out += n.str; break;
        case FNode::Missing: break;
        case FNode::Ref:
        case FNode::Area: ref(n, out); break;
        case FNode::Unary:
            if (n.op == '(') {
                out += u'(';
                node(n.kids[0], out);
                out += u')';
            } else {
                out += QLatin1Char(n.op);
                node(n.kids[0], out);
            }
            break;
        case FNode::Percent: node(n.kids[0], out); out += u'%'; break;
        case FNode::Binary: {
            node(n.kids[0], out);
            switch (n.op) {
            case 'l': out += QLatin1String("<="); break;
            case 'g': out += QLatin1String(">="); break;
            case 'n': out += QLatin1String("<>"); break;
            default: out += QLatin1Char(n.op);
            }
            node(n.kids[1], out);
            break;
        }
        case FNode::Call:
            out += n.str + u'(';
            for (size_t k = 0; k < n.kids.size(); ++k) {
                if (k)
                    out += u',';
                node(n.kids[k], out);
            }
            out += u')';
            break;
        }
    }

private:
    // One end of a reference, mapped; false when it left the grid or was deleted.
    bool place(const FNode &n, const RefPart &p, int end, int &r, int &c) const
    {
        r = p.rowAbs ? p.row : p.row + row_;
        c = p.colAbs ? p.col : p.col + col_;
        const QString sheet = n.hasSheet ? n.str : QString();
        if (n.area != AreaKind::Columns && m_ && !m_->MapRow(sheet, r, end))
            return false;
        if (n.area != AreaKind::Rows && m_ && !m_->MapCol(sheet, c, end))
            return false;
        if (n.area != AreaKind::Rows && (c < 0 || c >= MaxCols))
            return false;
        if (n.area != AreaKind::Columns && (r < 0 || r >= MaxRows))
            return false;
        return true;
    }
    QString partText(const FNode &n, const RefPart &p, int r, int c) const
    {
        QString out;
        if (n.area != AreaKind::Rows)
            out += (p.colAbs ? QStringLiteral("$") : QString()) + ColumnName(c);
        if (n.area != AreaKind::Columns)
            out += (p.rowAbs ? QStringLiteral("$") : QString()) + QString::number(r + 1);
        return out;
    }
    void ref(const FNode &n, QString &out) const
    {
        if (n.hasSheet)
            out += quoteSheet(n.str) + u'!';
        int r1, c1, r2 = 0, c2 = 0;
        const bool area = n.kind == FNode::Area;
        bool ok = place(n, n.a, area ? 1 : 0, r1, c1);
        if (area) {
            ok = place(n, n.b, 2, r2, c2) && ok;
            // A range whose every row (or column) was deleted is gone as well.
            if (ok && m_ && (r1 > r2 || c1 > c2) && !(n.a.row > n.b.row || n.a.col > n.b.col))
                ok = false;
        }
        if (!ok) {
            out += QStringLiteral("#REF!");
            return;
        }
        out += partText(n, n.a, r1, c1);
        if (area)
            out += u':' + partText(n, n.b, r2, c2);
    }

    const FormulaCode &c_;
    int row_, col_;
    const RefMapper *m_;
};

} // namespace

std::shared_ptr<const FormulaCode> CompileFormula(const QString &text, int row, int col, QString *error,
                                                  FormulaCache *cache)
{
    QString body = text;
    if (body.startsWith(u'='))
        body.remove(0, 1);
    std::vector<Token> toks;
    QString err;
    Tokenizer tz(body, row, col);
    if (!tz.Run(toks, err)) {
        if (error)
            *error = err;
        return nullptr;
    }
    QString key = tokenKey(toks);
    if (cache) {
        auto it = cache->constFind(key);
        if (it != cache->constEnd())
            if (auto code = it.value().lock())
                return code;
    }
    auto code = std::make_shared<FormulaCode>();
    Parser p(toks, *code);
    if (!p.Run(err)) {
        if (error)
            *error = err;
        return nullptr;
    }
    code->key = key;
    if (cache) {
        // Edits leave trees nobody uses: drop them whenever the cache doubles.
        if (cache->size() >= 1024 && (cache->size() & (cache->size() - 1)) == 0)
            cache->removeIf([](const auto &e) { return e.value().expired(); });
        cache->insert(key, code);
    }
    return code;
}

QString FormulaText(const FormulaCode &code, int row, int col, const RefMapper *mapper)
{
    QString out;
    if (code.root >= 0)
        Writer(code, row, col, mapper).node(code.root, out);
    return out;
}

QString ColumnName(int col)
{
    QString s;
    for (int c = col + 1; c > 0; c = (c - 1) / 26)
        s.prepend(QChar(u'A' + (c - 1) % 26));
    return s;
}

QString CellName(int row, int col)
{
    return ColumnName(col) + QString::number(row + 1);
}

bool ParseCellName(const QString &s, int &row, int &col)
{
    qsizetype k = 0;
    if (s.startsWith(u'$'))
        ++k;
    qint64 c = 0;
    const qsizetype start = k;
    while (k < s.size() && k - start < 4 && s[k].unicode() < 128 && s[k].isLetter())
        c = c * 26 + (s[k].toUpper().unicode() - 'A' + 1), ++k;
    if (k == start || k - start > 3 || c > MaxCols)
        return false;
    if (k < s.size() && s[k] == u'$')
        ++k;
    const qsizetype rs = k;
    qint64 r = 0;
    while (k < s.size() && s[k].unicode() < 128 && s[k].isDigit() && k - rs < 8)
        r = r * 10 + (s[k].unicode() - '0'), ++k;
    if (k == rs || k != s.size() || r < 1 || r > MaxRows)
        return false;
    row = int(r - 1);
    col = int(c - 1);
    return true;
}

} // namespace zor::sheet_detail
