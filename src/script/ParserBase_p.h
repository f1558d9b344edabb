//
//  W A R N I N G
//  -------------
// Internal to the script front ends: the token cursor and the one place that
// raises syntax errors.
#pragma once

#include <ZorCompCore/script/Ast.h>
#include <ZorCompCore/script/Lexer.h>
#include <ZorCompCore/script/Runtime_p.h>

namespace zor::script {

class ParserBase
{
public:
    explicit ParserBase(const std::vector<Token> &tokens) : m_t(tokens) {}

protected:
    // Bounds the recursion of the rule functions: hostile input such as
    // thousands of "(" must give an error, not exhaust the native stack
    // (on a small thread stack the bytes left end it earlier).
    struct Nest
    {
        explicit Nest(ParserBase *p) : m_p(p)
        {
            if (++m_p->m_depth > 300 || !StackRoomLeft()) {
                --m_p->m_depth;
                m_p->error(QStringLiteral("Nesting too deep"));
            }
        }
        ~Nest() { --m_p->m_depth; }
        ParserBase *m_p;
    };

    const Token &cur() const { return m_t[m_p]; }
    const Token &peek(size_t n = 1) const { return m_t[std::min(m_p + n, m_t.size() - 1)]; }
    void next()
    {
        if (m_p + 1 < m_t.size())
            ++m_p;
    }
    bool atEnd() const { return cur().Kind == Tok::End; }
    Pos pos() const { return {cur().Line, cur().Col}; }

    bool isSym(const char *s) const { return cur().Kind == Tok::Sym && cur().Text == QLatin1String(s); }
    bool isKw(const char *s) const { return cur().Kind == Tok::Kw && cur().Text == QLatin1String(s); }
    bool acceptSym(const char *s)
    {
        if (!isSym(s))
            return false;
        next();
        return true;
    }
    bool acceptKw(const char *s)
    {
        if (!isKw(s))
            return false;
        next();
        return true;
    }
    void expectSym(const char *s)
    {
        if (!acceptSym(s))
            error(QStringLiteral("'%1' expected").arg(QLatin1String(s)));
    }
    void expectKw(const char *s)
    {
        if (!acceptKw(s))
            error(QStringLiteral("'%1' expected").arg(QLatin1String(s)));
    }
    QString ident()
    {
        if (cur().Kind != Tok::Ident)
            error(QStringLiteral("Identifier expected"));
        QString r = cur().Text;
        next();
        return r;
    }

    // Every syntax error leaves through here, at the current token.
    [[noreturn]] void error(const QString &msg) const { errorAt(msg, pos()); }
    [[noreturn]] static void errorAt(const QString &msg, Pos at) { throw SyntaxError{msg, at.Line, at.Col}; }

    static ExprP makeExpr(EK kind, Pos at)
    {
        auto e = std::make_unique<Expr>();
        e->Kind = kind;
        e->At = at;
        return e;
    }
    static ExprP binary(Op op, ExprP a, ExprP b, Pos at)
    {
        auto e = makeExpr(EK::Binary, at);
        e->Oper = op;
        e->A = std::move(a);
        e->B = std::move(b);
        return e;
    }
    static ExprP unary(Op op, ExprP a, Pos at)
    {
        auto e = makeExpr(EK::Unary, at);
        e->Oper = op;
        e->A = std::move(a);
        return e;
    }
    static ExprP literal(Value v, Pos at)
    {
        auto e = makeExpr(EK::Literal, at);
        e->Lit = std::move(v);
        return e;
    }
    static StmtP makeStmt(SK kind, Pos at)
    {
        auto s = std::make_unique<Stmt>();
        s->Kind = kind;
        s->At = at;
        return s;
    }
    // Literal token (number or string) at the cursor, or null.
    ExprP literalToken()
    {
        const Token &t = cur();
        ExprP e;
        if (t.Kind == Tok::Int)
            e = literal(Value(t.Int), pos());
        else if (t.Kind == Tok::Float)
            e = literal(Value(t.Float), pos());
        else if (t.Kind == Tok::Str)
            e = literal(Value(t.Text), pos());
        else if (t.Kind == Tok::Date)
            e = literal(Value::Date(t.Float), pos());
        if (e)
            next();
        return e;
    }
    static bool isAssignable(const Expr &e)
    {
        return e.Kind == EK::Name || e.Kind == EK::Member || e.Kind == EK::Index
            || (e.Kind == EK::Call && !e.HasParens);
    }

    const std::vector<Token> &m_t;
    size_t m_p = 0;
    int m_depth = 0;

    // Expressions separated by commas up to the symbol close, which is
    // consumed; the list may be empty.
    template <class ExprFn>
    void argumentList(std::vector<ExprP> &out, const char *close, ExprFn expression)
    {
        if (!isSym(close)) {
            do {
                out.push_back(expression());
            } while (acceptSym(","));
        }
        expectSym(close);
    }

    // The bracketed primaries every syntax shares: ( expr ) and the array
    // literal [ exprs ]. Null when neither starts here.
    template <class ExprFn>
    ExprP bracketed(Pos at, ExprFn expression)
    {
        if (acceptSym("(")) {
            ExprP e = expression();
            expectSym(")");
            return e;
        }
        if (acceptSym("[")) {
            auto e = makeExpr(EK::ArrayLit, at);
            argumentList(e->Args, "]", expression);
            return e;
        }
        return nullptr;
    }

    // Where a primary expression should start but none does.
    [[noreturn]] void expressionExpected()
    {
        if (atEnd())
            error(QStringLiteral("Unexpected end of script"));
        error(QStringLiteral("Expression expected"));
    }

    // suffixes -> {. name | [ exprs ] | ( exprs )} after a designator's head;
    // shared by every syntax, with the syntax's own expression rule. A dot
    // for which stopAtDot says so ends the designator instead.
    template <class ExprFn, class StopFn>
    ExprP suffixes(ExprP e, ExprFn expression, StopFn stopAtDot)
    {
        for (;;) {
            const Pos at = pos();
            if (isSym(".") && stopAtDot())
                return e;
            if (acceptSym(".")) {
                auto m = makeExpr(EK::Member, at);
                m->Name = ident();
                m->A = std::move(e);
                e = std::move(m);
            } else if (acceptSym("[")) {
                auto ix = makeExpr(EK::Index, at);
                ix->A = std::move(e);
                do {
                    ix->Args.push_back(expression());
                } while (acceptSym(","));
                expectSym("]");
                e = std::move(ix);
            } else if (acceptSym("(")) {
                auto c = makeExpr(EK::Call, at);
                c->A = std::move(e);
                c->HasParens = true;
                argumentList(c->Args, ")", expression);
                e = std::move(c);
            } else {
                return e;
            }
        }
    }
    template <class ExprFn>
    ExprP suffixes(ExprP e, ExprFn expression)
    {
        return suffixes(std::move(e), expression, [] { return false; });
    }
};

} // namespace zor::script
