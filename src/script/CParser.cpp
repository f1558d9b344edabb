// C++Script and JScript front ends. The two share their statement and
// expression grammar; they differ in declarations: C++Script writes a type
// before each variable, function and parameter ("int f(int a)"), JScript
// writes "var" and "function".
#include <ZorCompCore/script/Parser.h>
#include <ZorCompCore/script/ParserBase_p.h>

namespace zor::script {

namespace {

class CParser : public ParserBase
{
public:
    CParser(const std::vector<Token> &tokens, bool js) : ParserBase(tokens), m_js(js) {}

    // program -> {function | declaration | statement}; a trailing { … } block
    // in C++Script and all top-level statements form the main block.
    ProgramDef program()
    {
        ProgramDef prog;
        prog.Main = makeStmt(SK::Block, pos());
        m_nested.push_back(&prog.MainNested);
        while (!atEnd()) {
            if (m_js && isKw("FUNCTION")) {
                prog.Routines.push_back(jsFunction());
            } else if (!m_js && isTypedDecl() && peek(2).Kind == Tok::Sym && peek(2).Text == u"(") {
                prog.Routines.push_back(cppFunction());
            } else if (isVarDecl()) {
                // top-level declarations are globals; initialisers run first in the main block
                std::vector<StmtP> decls;
                varDecl(decls);
                terminator();
                for (auto &d : decls) {
                    VarDef v;
                    v.At = d->At;
                    v.Name = d->Name;
                    v.TypeName = d->TypeName;
                    v.IsArray = d->B != nullptr; // sized in the main block
                    if (d->Negate && d->A && !d->B) { // const: a read-only global
                        v.IsConst = true;
                        v.Init = std::move(d->A);
                        prog.Globals.push_back(std::move(v));
                        continue;
                    }
                    prog.Globals.push_back(std::move(v));
                    if (d->A || d->B) // initialiser or array size: runs in the main block
                        prog.Main->Body.push_back(std::move(d));
                }
            } else if (StmtP s = statement()) {
                prog.Main->Body.push_back(std::move(s));
            }
        }
        m_nested.pop_back();
        return prog;
    }

private:
    // C++Script: "type name" opens a declaration.
    bool isTypedDecl() const { return cur().Kind == Tok::Ident && peek().Kind == Tok::Ident; }
    bool isWord(const Token &t, const char *w) const { return t.Kind == Tok::Ident && t.Text == QLatin1String(w); }
    // JScript's let and const declare like var.
    bool isJsDecl() const
    {
        return isKw("VAR") || ((isWord(cur(), "let") || isWord(cur(), "const")) && peek().Kind == Tok::Ident);
    }
    bool isVarDecl() const { return m_js ? isJsDecl() : isTypedDecl(); }

    void terminator()
    {
        if (acceptSym(";"))
            return;
        // JScript lets a line end the statement; both accept a closing brace or the end.
        if (m_js || isSym("}") || atEnd())
            return;
        error(QStringLiteral("';' expected"));
    }

    // cppFunction -> type name ( [type [&] name [= expr] {, …}] ) block
    RoutineDef cppFunction()
    {
        RoutineDef r;
        r.At = pos();
        const QString type = ident();
        r.IsFunction = type.compare(u"void", Qt::CaseInsensitive) != 0;
        if (r.IsFunction)
            r.ResultType = type;
        r.Name = ident();
        expectSym("(");
        if (!isSym(")")) {
            do {
                ParamDef p;
                p.TypeName = ident();
                if (acceptSym("&"))
                    p.ByRef = true;
                p.Name = ident();
                if (acceptSym("="))
                    p.Default = expression();
                r.Params.push_back(std::move(p));
            } while (acceptSym(","));
        }
        expectSym(")");
        r.Body = block();
        return r;
    }

    // jsFunction -> FUNCTION name ( [name {, name}] ) block
    RoutineDef jsFunction(bool anonymous = false)
    {
        RoutineDef r;
        r.At = pos();
        expectKw("FUNCTION");
        if (!anonymous || cur().Kind == Tok::Ident)
            r.Name = ident();
        if (anonymous) // a function expression: its own name is not in scope
            r.Name = QStringLiteral("@fn%1").arg(++m_anonymous) + (r.Name.isEmpty() ? QString() : u'@' + r.Name);
        r.IsFunction = true; // a JScript function may or may not return a value
        expectSym("(");
        if (!isSym(")")) {
            do {
                ParamDef p;
                p.Name = ident();
                if (acceptSym("="))
                    p.Default = expression();
                r.Params.push_back(std::move(p));
            } while (acceptSym(","));
        }
        expectSym(")");
        m_nested.push_back(&r.Nested);
        r.Body = block();
        m_nested.pop_back();
        return r;
    }

    // varDecl -> (VAR | type) name [= expr] {, name [= expr]}
    // C++Script: [const] type name [[size]]… [= expr | = { … }]; const marks
    // the declaration with Negate.
    void varDecl(std::vector<StmtP> &out)
    {
        QString type;
        bool isConst = false, scoped = false;
        if (m_js) {
            if (!acceptKw("VAR")) {
                next(); // let, const
                scoped = true;
            }
        } else {
            type = ident();
            if (type == u"const" && cur().Kind == Tok::Ident) {
                isConst = true;
                type = ident();
            }
        }
        do {
            auto s = makeStmt(SK::VarDecl, pos());
            s->Name = ident();
            s->TypeName = type;
            s->Negate = isConst;
            s->Scoped = scoped;
            while (!m_js && acceptSym("[")) { // C++Script arrays: int a[10]; int m[3][4]; int b[] = {…};
                ExprP size = isSym("]") ? literal(Value(0), pos()) : expression();
                expectSym("]");
                if (!s->B)
                    s->B = std::move(size);
                else if (s->Dims.size() < 7)
                    s->Dims.push_back(std::move(size));
                else
                    error(QStringLiteral("Too many dimensions"));
            }
            if (acceptSym("="))
                s->A = !m_js && isSym("{") ? braceList() : expression();
            out.push_back(std::move(s));
        } while (acceptSym(","));
    }

    // { a, b, { c, d } }: an array initialiser
    ExprP braceList()
    {
        Nest nest(this);
        auto e = makeExpr(EK::ArrayLit, pos());
        expectSym("{");
        argumentList(e->Args, "}", [this] { return isSym("{") ? braceList() : expression(); });
        return e;
    }

    // block -> { stmts }
    StmtP block()
    {
        auto b = makeStmt(SK::Block, pos());
        expectSym("{");
        while (!isSym("}")) {
            if (atEnd())
                error(QStringLiteral("'}' expected"));
            if (StmtP s = statement())
                b->Body.push_back(std::move(s));
        }
        expectSym("}");
        return b;
    }

    StmtP statement()
    {
        Nest nest(this);
        const Pos at = pos();
        if (acceptSym(";"))
            return nullptr;
        if (isSym("{"))
            return block();
        if (m_js && isKw("FUNCTION") && peek().Kind == Tok::Ident) {
            // a function declared inside a block or function: it belongs to the enclosing function
            RoutineDef r = jsFunction();
            m_nested.back()->push_back(std::move(r));
            return nullptr;
        }
        if (isVarDecl()) {
            auto b = makeStmt(SK::Block, at);
            varDecl(b->Body);
            terminator();
            return b;
        }
        if (acceptKw("IF")) {
            // ifStmt -> IF ( expr ) stmt [ELSE stmt]
            // (else-if chains are a list: generated code has thousands of branches)
            auto s = makeStmt(SK::If, at);
            s->A = parenExpr();
            s->Body.push_back(bodyStatement());
            while (isKw("ELSE") && peek().Kind == Tok::Kw && peek().Text == u"IF") {
                next();
                next();
                CaseBranch br;
                br.Labels.push_back(parenExpr());
                br.Body.push_back(bodyStatement());
                s->Branches.push_back(std::move(br));
            }
            if (acceptKw("ELSE"))
                s->Body.push_back(bodyStatement());
            return s;
        }
        if (acceptKw("WHILE")) {
            auto s = makeStmt(SK::While, at);
            s->A = parenExpr();
            s->Body.push_back(bodyStatement());
            return s;
        }
        if (acceptKw("DO")) {
            // doStmt -> DO stmt WHILE ( expr ) ;
            auto s = makeStmt(SK::Repeat, at);
            s->Negate = true;
            s->Body.push_back(bodyStatement());
            expectKw("WHILE");
            s->A = parenExpr();
            terminator();
            return s;
        }
        if (acceptKw("FOR")) {
            // forStmt -> FOR ( [init] ; [expr] ; [step] ) stmt
            expectSym("(");
            if (StmtP each = forEach(at))
                return each;
            auto s = makeStmt(SK::CFor, at);
            auto init = makeStmt(SK::Block, pos());
            if (isVarDecl()) {
                varDecl(init->Body);
            } else if (!isSym(";")) {
                do {
                    init->Body.push_back(simpleStatement());
                } while (acceptSym(","));
            }
            expectSym(";");
            if (!isSym(";"))
                s->A = expression();
            expectSym(";");
            auto step = makeStmt(SK::Block, pos());
            if (!isSym(")")) {
                do {
                    step->Body.push_back(simpleStatement());
                } while (acceptSym(","));
            }
            expectSym(")");
            s->Body.push_back(std::move(init));
            s->Body.push_back(std::move(step));
            s->Body.push_back(bodyStatement());
            return s;
        }
        if (acceptKw("SWITCH"))
            return switchStatement(at);
        if (acceptKw("TRY")) {
            // tryStmt -> TRY block (CATCH [( name )] block [FINALLY block] | FINALLY block)
            StmtP body = block();
            StmtP s;
            if (isKw("CATCH")) {
                // catch (e) | catch (EClass e) | catch (...), one or more
                s = makeStmt(SK::TryExcept, at);
                s->Body.push_back(std::move(body));
                while (acceptKw("CATCH")) {
                    Handler h;
                    h.At = pos();
                    if (acceptSym("(")) {
                        if (acceptSym(".")) {
                            expectSym(".");
                            expectSym(".");
                        } else {
                            if (cur().Kind == Tok::Ident && peek().Kind == Tok::Ident)
                                h.ClassName = ident(); // a class before the name
                            h.Var = ident();
                        }
                        expectSym(")");
                    }
                    h.Body = block();
                    s->Handlers.push_back(std::move(h));
                }
                if (acceptKw("FINALLY")) {
                    auto outer = makeStmt(SK::TryFinally, at);
                    outer->Body.push_back(std::move(s));
                    outer->Body.push_back(block());
                    return outer;
                }
                return s;
            }
            expectKw("FINALLY");
            s = makeStmt(SK::TryFinally, at);
            s->Body.push_back(std::move(body));
            s->Body.push_back(block());
            return s;
        }
        if (acceptKw("RETURN")) {
            auto s = makeStmt(SK::Exit, at);
            if (!isSym(";") && !isSym("}"))
                s->A = expression();
            terminator();
            return s;
        }
        if (acceptKw("BREAK")) {
            terminator();
            return makeStmt(SK::Break, at);
        }
        if (acceptKw("CONTINUE")) {
            terminator();
            return makeStmt(SK::Continue, at);
        }
        if (acceptKw("THROW")) {
            auto s = makeStmt(SK::Raise, at);
            if (!isSym(";"))
                s->A = expression();
            terminator();
            return s;
        }
        StmtP s = simpleStatement();
        terminator();
        return s;
    }

    // for (x : list), for (int x : list) in C++Script; for (var k in obj) and
    // for (var x of list) in JScript. Null when the for is a counting one.
    StmtP forEach(Pos at)
    {
        size_t skip = 0;
        QString type;
        if (m_js && isJsDecl())
            skip = 1;
        else if (!m_js && isTypedDecl())
            skip = 1;
        const Token &name = peek(skip), &sep = peek(skip + 1);
        if (name.Kind != Tok::Ident)
            return nullptr;
        bool keys = false;
        if (m_js) {
            if (isWord(sep, "in"))
                keys = true;
            else if (!isWord(sep, "of"))
                return nullptr;
        } else if (!(sep.Kind == Tok::Sym && sep.Text == u":")) {
            return nullptr;
        }
        const bool scoped = m_js && skip && !isKw("VAR"); // let, const
        if (skip) {
            if (!m_js)
                type = cur().Text;
            next();
        }
        auto s = makeStmt(SK::ForEach, at);
        s->Scoped = scoped;
        s->Name = ident();
        s->TypeName = type;
        s->Keys = keys;
        next(); // in, of, :
        s->A = expression();
        expectSym(")");
        s->Body.push_back(bodyStatement());
        return s;
    }

    // The body of if/while/for: one statement, an empty one allowed.
    StmtP bodyStatement()
    {
        const Pos at = pos();
        StmtP s = statement();
        return s ? std::move(s) : makeStmt(SK::Empty, at);
    }

    // simpleStmt -> target (= | op=) expr | target ++ | target -- | ++ target | expr
    StmtP simpleStatement()
    {
        const Pos at = pos();
        if (isSym("++") || isSym("--")) {
            const bool inc = isSym("++");
            next();
            ExprP target = unaryExpr();
            return incDec(std::move(target), inc, at);
        }
        if (acceptKw("DELETE")) {
            // delete x  ->  x.Free
            auto call = makeExpr(EK::Call, at);
            auto m = makeExpr(EK::Member, at);
            m->Name = QStringLiteral("Free");
            m->A = unaryExpr();
            call->A = std::move(m);
            call->HasParens = true;
            auto s = makeStmt(SK::ExprStmt, at);
            s->A = std::move(call);
            return s;
        }
        ExprP e = expression();
        if (e->Kind == EK::Update) // i++ as a statement: no value to keep
            return incDec(std::move(e->A), e->Oper == Op::Add, at);
        static const struct { const char *sym; Op op; } compound[] = {
            {"+=", Op::Add}, {"-=", Op::Sub}, {"*=", Op::Mul}, {"/=", Op::Divide}, {"%=", Op::Mod},
            {"&=", Op::And}, {"|=", Op::Or}, {"^=", Op::Xor}, {"<<=", Op::Shl}, {">>=", Op::Shr},
        };
        if (acceptSym("=")) {
            checkTarget(*e, at);
            auto s = makeStmt(SK::Assign, at);
            s->Target = std::move(e);
            s->A = expression();
            return s;
        }
        for (const auto &c : compound) {
            if (acceptSym(c.sym)) {
                checkTarget(*e, at);
                return compoundAssign(std::move(e), c.op, expression(), at);
            }
        }
        auto s = makeStmt(SK::ExprStmt, at);
        s->A = std::move(e);
        return s;
    }

    void checkTarget(const Expr &e, Pos at) const
    {
        if (!isAssignable(e) && !(e.Kind == EK::Call && !e.HasParens))
            errorAt(QStringLiteral("Left side cannot be assigned to"), at);
    }

    static ExprP clone(const Expr &e)
    {
        auto c = std::make_unique<Expr>();
        c->Kind = e.Kind;
        c->At = e.At;
        c->Lit = e.Lit;
        c->Name = e.Name;
        c->Oper = e.Oper;
        c->HasParens = e.HasParens;
        if (e.A) c->A = clone(*e.A);
        if (e.B) c->B = clone(*e.B);
        if (e.C) c->C = clone(*e.C);
        for (const auto &a : e.Args)
            c->Args.push_back(clone(*a));
        return c;
    }

    StmtP compoundAssign(ExprP target, Op op, ExprP rhs, Pos at)
    {
        auto s = makeStmt(SK::Assign, at);
        ExprP value = binary(op, clone(*target), std::move(rhs), at);
        s->Target = std::move(target);
        s->A = std::move(value);
        return s;
    }

    StmtP incDec(ExprP target, bool inc, Pos at)
    {
        checkTarget(*target, at);
        return compoundAssign(std::move(target), inc ? Op::Add : Op::Sub, literal(Value(1), at), at);
    }

    // switchStmt -> SWITCH ( expr ) { {CASE expr : stmts | DEFAULT : stmts} }
    StmtP switchStatement(Pos at)
    {
        auto s = makeStmt(SK::Switch, at);
        s->A = parenExpr();
        expectSym("{");
        while (!acceptSym("}")) {
            if (atEnd())
                error(QStringLiteral("'}' expected"));
            CaseBranch br;
            if (acceptKw("DEFAULT")) {
                br.IsDefault = true;
            } else {
                expectKw("CASE");
                br.Labels.push_back(expression());
            }
            expectSym(":");
            while (!isKw("CASE") && !isKw("DEFAULT") && !isSym("}")) {
                if (atEnd())
                    error(QStringLiteral("'}' expected"));
                if (StmtP st = statement())
                    br.Body.push_back(std::move(st));
            }
            s->Branches.push_back(std::move(br));
        }
        return s;
    }

    ExprP parenExpr()
    {
        expectSym("(");
        ExprP e = expression();
        expectSym(")");
        return e;
    }

    // expr -> or [? expr : expr]
    ExprP expression()
    {
        Nest nest(this);
        ExprP c = binaryLevel(0);
        const Pos at = pos();
        if (acceptSym("?")) {
            auto e = makeExpr(EK::Cond, at);
            e->A = std::move(c);
            e->B = expression();
            expectSym(":");
            e->C = expression();
            return e;
        }
        return c;
    }

    // Binary levels, loosest first: || && | ^ & (== !=) (< <= > >=) (<< >>) (+ -) (* / %)
    ExprP binaryLevel(int level)
    {
        static const std::vector<std::vector<std::pair<const char *, Op>>> levels = {
            {{"||", Op::OrElse}},
            {{"&&", Op::AndThen}},
            {{"|", Op::Or}},
            {{"^", Op::Xor}},
            {{"&", Op::And}},
            {{"===", Op::StrictEq}, {"!==", Op::StrictNe}, {"==", Op::Eq}, {"!=", Op::Ne}},
            {{"<", Op::Lt}, {"<=", Op::Le}, {">", Op::Gt}, {">=", Op::Ge}},
            {{"<<", Op::Shl}, {">>", Op::Shr}},
            {{"+", Op::Add}, {"-", Op::Sub}},
            {{"*", Op::Mul}, {"/", Op::Divide}, {"%", Op::Mod}},
        };
        if (level == int(levels.size()))
            return unaryExpr();
        ExprP left = binaryLevel(level + 1);
        for (;;) {
            const Pos at = pos();
            bool matched = false;
            for (const auto &[sym, op] : levels[size_t(level)]) {
                if (acceptSym(sym)) {
                    left = binary(op, std::move(left), binaryLevel(level + 1), at);
                    matched = true;
                    break;
                }
            }
            if (!matched)
                return left;
        }
    }

    // unary -> (! | - | + | ~) unary | NEW name [( args )] | postfix
    ExprP unaryExpr()
    {
        Nest nest(this);
        const Pos at = pos();
        if (isSym("++") || isSym("--")) {
            const Op op = isSym("++") ? Op::Add : Op::Sub;
            next();
            auto e = makeExpr(EK::Update, at);
            e->Oper = op;
            e->A = unaryExpr();
            if (!isAssignable(*e->A))
                errorAt(QStringLiteral("Left side cannot be assigned to"), at);
            return e;
        }
        if (acceptSym("!"))
            return unary(Op::LogicalNot, unaryExpr(), at);
        if (m_js && acceptKw("TYPEOF"))
            return unary(Op::TypeOf, unaryExpr(), at);
        if (acceptSym("~"))
            return unary(Op::Not, unaryExpr(), at);
        if (acceptSym("-"))
            return unary(Op::Neg, unaryExpr(), at);
        if (acceptSym("+"))
            return unary(Op::Plus, unaryExpr(), at);
        if (acceptKw("NEW")) {
            // new T(args)  ->  T.Create(args)
            auto m = makeExpr(EK::Member, at);
            auto n = makeExpr(EK::Name, pos());
            n->Name = ident();
            m->A = std::move(n);
            m->Name = QStringLiteral("Create");
            auto call = makeExpr(EK::Call, at);
            call->A = std::move(m);
            call->HasParens = true;
            if (acceptSym("("))
                argumentList(call->Args, ")", [this] { return expression(); });
            return call;
        }
        return postfix(primary());
    }

    ExprP primary()
    {
        const Pos at = pos();
        if (ExprP lit = literalToken())
            return lit;
        if (acceptKw("TRUE"))
            return literal(Value(true), at);
        if (acceptKw("FALSE"))
            return literal(Value(false), at);
        if (acceptKw("NULL") || acceptKw("NIL"))
            return literal(Value::Null(), at);
        if (ExprP e = bracketed(at, [this] { return expression(); }))
            return e;
        if (m_js && acceptSym("{")) {
            // {name: value, "name": value, 1: value}
            auto e = makeExpr(EK::ObjectLit, at);
            while (!acceptSym("}")) {
                const Token &k = cur();
                if (k.Kind == Tok::Ident || k.Kind == Tok::Str || k.Kind == Tok::Kw)
                    e->Keys.push_back(k.Kind == Tok::Kw ? k.Text.toLower() : k.Text);
                else if (k.Kind == Tok::Int)
                    e->Keys.push_back(QString::number(k.Int));
                else
                    error(QStringLiteral("Property name expected"));
                next();
                expectSym(":");
                e->Args.push_back(expression());
                if (!acceptSym(",")) {
                    expectSym("}");
                    break;
                }
            }
            return e;
        }
        if (m_js && isKw("FUNCTION")) {
            RoutineDef r = jsFunction(true);
            auto e = makeExpr(EK::FuncLit, at);
            e->Name = r.Name;
            m_nested.back()->push_back(std::move(r));
            return e;
        }
        if (cur().Kind == Tok::Ident) {
            auto e = makeExpr(EK::Name, at);
            e->Name = ident();
            return e;
        }
        expressionExpected();
    }

    // postfix -> primary {. name | [ exprs ] | ( exprs )}
    ExprP postfix(ExprP e)
    {
        e = suffixes(std::move(e), [this] { return expression(); });
        if ((isSym("++") || isSym("--")) && isAssignable(*e)) {
            auto u = makeExpr(EK::Update, pos());
            u->Oper = isSym("++") ? Op::Add : Op::Sub;
            u->Postfix = true;
            u->A = std::move(e);
            next();
            return u;
        }
        return e;
    }

    bool m_js;
    // Where the functions declared or written next belong: the main block's
    // list, then that of each function being read.
    std::vector<std::vector<RoutineDef> *> m_nested;
    int m_anonymous = 0;
};

} // namespace

ProgramDef ParseCpp(const std::vector<Token> &tokens)
{
    return CParser(tokens, false).program();
}

ProgramDef ParseJScript(const std::vector<Token> &tokens)
{
    ProgramDef prog = CParser(tokens, true).program();
    LiftClosures(prog);
    return prog;
}

} // namespace zor::script
