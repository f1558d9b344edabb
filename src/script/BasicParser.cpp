// BasicScript front end: line-oriented statements, Sub/Function blocks and
// top-level statements that form the main block.
#include <ZorCompCore/script/Parser.h>
#include <ZorCompCore/script/Intrinsics_p.h>
#include <ZorCompCore/script/ParserBase_p.h>

namespace zor::script {

namespace {

class BasicParser : public ParserBase
{
public:
    using ParserBase::ParserBase;

    // program -> {sub | function | statement} separated by line breaks
    ProgramDef program()
    {
        ProgramDef prog;
        prog.Main = makeStmt(SK::Block, pos());
        for (;;) {
            skipSeparators();
            if (atEnd())
                return prog;
            if (isKw("SUB") || isKw("FUNCTION")) {
                prog.Routines.push_back(routine());
                continue;
            }
            if (isKw("DIM") || isKw("CONST")) {
                // top-level Dim: globals; an initialiser runs in the main block
                std::vector<StmtP> decls;
                dim(decls);
                for (auto &d : decls) {
                    VarDef v;
                    v.At = d->At;
                    v.Name = d->Name;
                    v.TypeName = d->TypeName;
                    v.IsArray = d->B != nullptr; // sized in the main block
                    prog.Globals.push_back(std::move(v));
                    if (d->A || d->B) // initialiser or array size: runs in the main block
                        prog.Main->Body.push_back(std::move(d));
                }
                endOfStatement();
                continue;
            }
            if (StmtP s = statement())
                prog.Main->Body.push_back(std::move(s));
            endOfStatement();
        }
    }

private:
    static bool isWord(const Token &t, const char *upper)
    {
        return t.Kind == Tok::Ident && t.Text.compare(QLatin1String(upper), Qt::CaseInsensitive) == 0;
    }
    bool isSeparator() const { return cur().Kind == Tok::NewLine || isSym(":"); }
    void skipSeparators()
    {
        while (isSeparator())
            next();
    }
    void endOfStatement()
    {
        if (atEnd() || isSeparator() || isKw("ELSE")) {
            skipSeparators();
            return;
        }
        error(QStringLiteral("End of statement expected"));
    }
    // END followed by the given word ("END IF", "END SUB" …)
    bool isEnd(const char *word) const
    {
        return isKw("END") && peek().Kind == Tok::Kw && peek().Text == QLatin1String(word);
    }
    void expectEnd(const char *word)
    {
        if (!isEnd(word))
            error(QStringLiteral("'END %1' expected").arg(QLatin1String(word)));
        next();
        next();
    }

    // routine -> (SUB|FUNCTION) name [( params )] [AS type] NL stmts END (SUB|FUNCTION)
    RoutineDef routine()
    {
        RoutineDef r;
        r.At = pos();
        r.IsFunction = isKw("FUNCTION");
        const char *closer = r.IsFunction ? "FUNCTION" : "SUB";
        next();
        r.Name = ident();
        if (acceptSym("(")) {
            if (!isSym(")")) {
                do {
                    ParamDef p;
                    acceptKw("OPTIONAL");
                    if (acceptKw("BYREF"))
                        p.ByRef = true;
                    else
                        acceptKw("BYVAL");
                    p.Name = ident();
                    if (acceptKw("AS"))
                        p.TypeName = ident();
                    if (acceptSym("="))
                        p.Default = expression();
                    r.Params.push_back(std::move(p));
                } while (acceptSym(","));
            }
            expectSym(")");
        }
        if (acceptKw("AS"))
            r.ResultType = ident();
        r.Body = makeStmt(SK::Block, pos());
        body(r.Body->Body, [&] { return isEnd(closer); });
        expectEnd(closer);
        return r;
    }

    template <typename Stop>
    void body(std::vector<StmtP> &out, Stop stop)
    {
        for (;;) {
            skipSeparators();
            if (stop())
                return;
            if (atEnd())
                error(QStringLiteral("Unexpected end of script"));
            if (StmtP s = statement())
                out.push_back(std::move(s));
            endOfStatement();
        }
    }

    // dim -> (DIM|CONST) name [( size )] [AS type] [= expr] {, …}
    void dim(std::vector<StmtP> &out)
    {
        next();
        do {
            auto s = makeStmt(SK::VarDecl, pos());
            s->Name = ident();
            if (acceptSym("(")) {
                if (isSym(")")) // Dim a(): no elements until ReDim
                    s->B = literal(Value(0), pos());
                else
                    s->B = binary(Op::Add, expression(), literal(Value(1), pos()), pos()); // Dim a(n): 0..n
                expectSym(")");
            }
            if (acceptKw("AS"))
                s->TypeName = ident();
            if (acceptSym("="))
                s->A = expression();
            out.push_back(std::move(s));
        } while (acceptSym(","));
    }

    // The statements of a For or For Each loop up to NEXT [name].
    void forBody(Stmt &loop)
    {
        auto b = makeStmt(SK::Block, pos());
        body(b->Body, [&] { return isKw("NEXT"); });
        expectKw("NEXT");
        if (cur().Kind == Tok::Ident)
            next();
        loop.Body.push_back(std::move(b));
    }

    StmtP statement()
    {
        Nest nest(this);
        const Pos at = pos();
        if (isKw("DIM") || isKw("CONST")) {
            auto b = makeStmt(SK::Block, at);
            dim(b->Body);
            return b;
        }
        if (acceptKw("IF"))
            return ifStatement(at);
        if (acceptKw("FOR")) {
            // forStmt -> FOR name = expr TO expr [STEP expr] NL stmts NEXT [name]
            //          | FOR EACH name IN expr NL stmts NEXT [name]
            auto s = makeStmt(SK::For, at);
            if (isWord(cur(), "EACH") && peek().Kind == Tok::Ident) {
                next();
                s->Kind = SK::ForEach;
                s->Name = ident();
                if (!isWord(cur(), "IN"))
                    error(QStringLiteral("'IN' expected"));
                next();
                s->A = expression();
                forBody(*s);
                return s;
            }
            s->Name = ident();
            expectSym("=");
            s->A = expression();
            expectKw("TO");
            s->B = expression();
            if (acceptKw("STEP"))
                s->C = expression();
            forBody(*s);
            return s;
        }
        if (acceptKw("WHILE")) {
            // whileStmt -> WHILE expr NL stmts (WEND | END WHILE)
            auto s = makeStmt(SK::While, at);
            s->A = expression();
            auto b = makeStmt(SK::Block, pos());
            body(b->Body, [&] { return isKw("WEND") || isEnd("WHILE"); });
            if (!acceptKw("WEND"))
                expectEnd("WHILE");
            s->Body.push_back(std::move(b));
            return s;
        }
        if (acceptKw("DO"))
            return doLoop(at);
        if (acceptKw("SELECT"))
            return selectCase(at);
        if (acceptKw("TRY")) {
            // tryStmt -> TRY stmts [CATCH [name] stmts] [FINALLY stmts] END TRY
            auto b = makeStmt(SK::Block, pos());
            body(b->Body, [&] { return isKw("CATCH") || isKw("FINALLY") || isEnd("TRY"); });
            StmtP s = std::move(b);
            if (isKw("CATCH")) {
                // CATCH [name [AS class]] stmts, one or more: the first that fits runs
                auto te = makeStmt(SK::TryExcept, at);
                te->Body.push_back(std::move(s));
                while (acceptKw("CATCH")) {
                    Handler h;
                    h.At = pos();
                    if (cur().Kind == Tok::Ident) {
                        h.Var = ident();
                        if (acceptKw("AS"))
                            h.ClassName = ident();
                    }
                    auto hb = makeStmt(SK::Block, pos());
                    body(hb->Body, [&] { return isKw("CATCH") || isKw("FINALLY") || isEnd("TRY"); });
                    h.Body = std::move(hb);
                    te->Handlers.push_back(std::move(h));
                }
                s = std::move(te);
            }
            if (acceptKw("FINALLY")) {
                auto tf = makeStmt(SK::TryFinally, at);
                auto h = makeStmt(SK::Block, pos());
                body(h->Body, [&] { return isEnd("TRY"); });
                tf->Body.push_back(std::move(s));
                tf->Body.push_back(std::move(h));
                s = std::move(tf);
            }
            expectEnd("TRY");
            return s;
        }
        if (acceptKw("EXIT")) {
            // EXIT SUB|FUNCTION leaves the routine; EXIT FOR|DO|WHILE the loop
            if (acceptKw("SUB") || acceptKw("FUNCTION"))
                return makeStmt(SK::Exit, at);
            if (acceptKw("FOR") || acceptKw("DO") || acceptKw("WHILE"))
                return makeStmt(SK::Break, at);
            error(QStringLiteral("'SUB', 'FUNCTION', 'FOR' or 'DO' expected"));
        }
        if (acceptKw("RETURN")) {
            auto s = makeStmt(SK::Exit, at);
            if (!atEnd() && !isSeparator())
                s->A = expression();
            return s;
        }
        if (acceptKw("THROW")) {
            auto s = makeStmt(SK::Raise, at);
            if (!atEnd() && !isSeparator())
                s->A = expression();
            return s;
        }
        if (isWord(cur(), "ON") && isWord(peek(), "ERROR")) {
            // ON ERROR RESUME NEXT | ON ERROR GOTO 0
            next();
            next();
            auto s = makeStmt(SK::OnError, at);
            if (isWord(cur(), "RESUME") && peek().Kind == Tok::Kw && peek().Text == u"NEXT") {
                next();
                next();
                return s;
            }
            if (isWord(cur(), "GOTO") && peek().Kind == Tok::Int && peek().Int == 0) {
                next();
                next();
                s->Negate = true;
                return s;
            }
            error(QStringLiteral("'Resume Next' or 'GoTo 0' expected"));
        }
        if ((isWord(cur(), "CALL") || isWord(cur(), "SET")) && peek().Kind == Tok::Ident)
            next(); // Call S(x) is the call; Set x = … the assignment
        if (isWord(cur(), "REDIM") && peek().Kind == Tok::Ident)
            return reDim(at);
        if (isWord(cur(), "WITH") && !isSym("=") && peek().Kind != Tok::NewLine)
            return withBlock(at);
        const bool withMember = isSym(".") && !m_with.empty();
        if (cur().Kind != Tok::Ident && !withMember)
            error(QStringLiteral("Statement expected"));
        // simpleStmt -> target = expr | target op= expr | call [args without parentheses]
        const size_t start = m_p;
        ExprP target = postfix();
        if (target->Kind == EK::Call && target->A->Kind == EK::Name && !atEnd() && !isSeparator()
            && !isKw("ELSE") && !isSym("=") && !isSym("+=") && !isSym("-=")
            && !isSym("*=") && !isSym("/=") && !isSym("&=")) {
            // "Print (a + b) * 2": the parentheses belong to the first argument
            m_p = start;
            auto name = makeExpr(EK::Name, pos());
            name->Name = ident();
            target = std::move(name);
        }
        static const struct { const char *sym; Op op; } compound[] = {
            {"+=", Op::Add}, {"-=", Op::Sub}, {"*=", Op::Mul}, {"/=", Op::Divide}, {"&=", Op::Concat}};
        if (acceptSym("=")) {
            if (target->Kind == EK::Call && !target->Args.empty())
                target->Kind = EK::Index; // a(i) = v
            if (!isAssignable(*target))
                errorAt(QStringLiteral("Left side cannot be assigned to"), at);
            auto s = makeStmt(SK::Assign, at);
            s->Target = std::move(target);
            s->A = expression();
            return s;
        }
        for (const auto &c : compound) {
            if (acceptSym(c.sym)) {
                if (!isAssignable(*target))
                    errorAt(QStringLiteral("Left side cannot be assigned to"), at);
                auto s = makeStmt(SK::Assign, at);
                auto copy = makeExpr(EK::Name, target->At);
                if (target->Kind != EK::Name)
                    errorAt(QStringLiteral("Compound assignment needs a variable"), at);
                copy->Name = target->Name;
                s->A = binary(c.op, std::move(copy), expression(), at);
                s->Target = std::move(target);
                return s;
            }
        }
        if (!atEnd() && !isSeparator() && !isKw("ELSE")) {
            // A call written without parentheses: ShowMessage "x", 1
            auto call = makeExpr(EK::Call, at);
            call->A = std::move(target);
            call->HasParens = true;
            do {
                call->Args.push_back(expression());
            } while (acceptSym(","));
            target = std::move(call);
        }
        auto s = makeStmt(SK::ExprStmt, at);
        s->A = std::move(target);
        return s;
    }

    // ifStmt -> IF expr THEN stmt [ELSE stmt]                              (one line)
    //         | IF expr THEN NL stmts {ELSEIF expr THEN stmts} [ELSE stmts] END IF
    StmtP ifStatement(Pos at)
    {
        auto s = makeStmt(SK::If, at);
        s->A = expression();
        expectKw("THEN");
        if (!isSeparator() || isSym(":")) {
            auto thenB = makeStmt(SK::Block, pos());
            thenB->Body.push_back(statement());
            s->Body.push_back(std::move(thenB));
            if (acceptKw("ELSE")) {
                auto elseB = makeStmt(SK::Block, pos());
                elseB->Body.push_back(statement());
                s->Body.push_back(std::move(elseB));
            }
            return s;
        }
        auto thenB = makeStmt(SK::Block, pos());
        body(thenB->Body, [&] { return isKw("ELSEIF") || isKw("ELSE") || isEnd("IF"); });
        s->Body.push_back(std::move(thenB));
        // ElseIf branches are a list, not nesting: generated code has thousands
        while (acceptKw("ELSEIF")) {
            CaseBranch br;
            br.Labels.push_back(expression());
            expectKw("THEN");
            auto b = makeStmt(SK::Block, pos());
            body(b->Body, [&] { return isKw("ELSEIF") || isKw("ELSE") || isEnd("IF"); });
            br.Body.push_back(std::move(b));
            s->Branches.push_back(std::move(br));
        }
        if (acceptKw("ELSE")) {
            auto elseB = makeStmt(SK::Block, pos());
            body(elseB->Body, [&] { return isEnd("IF"); });
            s->Body.push_back(std::move(elseB));
        }
        expectEnd("IF");
        return s;
    }

    // doLoop -> DO [(WHILE|UNTIL) expr] NL stmts LOOP [(WHILE|UNTIL) expr]
    StmtP doLoop(Pos at)
    {
        ExprP pre;
        bool preUntil = false;
        if (acceptKw("WHILE"))
            pre = expression();
        else if (acceptKw("UNTIL"))
            pre = expression(), preUntil = true;
        auto b = makeStmt(SK::Block, pos());
        body(b->Body, [&] { return isKw("LOOP"); });
        expectKw("LOOP");
        if (pre) {
            auto s = makeStmt(SK::While, at);
            s->A = preUntil ? unary(Op::Not, std::move(pre), at) : std::move(pre);
            s->Body.push_back(std::move(b));
            return s;
        }
        auto s = makeStmt(SK::Repeat, at);
        s->Body.push_back(std::move(b));
        if (acceptKw("WHILE")) {
            s->A = expression();
            s->Negate = true;
        } else if (acceptKw("UNTIL")) {
            s->A = expression();
        } else {
            s->A = literal(Value(false), at); // until false: runs until Exit Do
        }
        return s;
    }

    // reDim -> REDIM [PRESERVE] name ( high ) {, name ( high )}
    // Each array is replaced by one of 0..high, keeping elements with Preserve.
    StmtP reDim(Pos at)
    {
        next();
        bool preserve = false;
        if (isWord(cur(), "PRESERVE") && peek().Kind == Tok::Ident) {
            next();
            preserve = true;
        }
        auto b = makeStmt(SK::Block, at);
        do {
            const Pos p = pos();
            auto s = makeStmt(SK::Assign, p);
            s->Target = makeExpr(EK::Name, p);
            s->Target->Name = ident();
            auto call = makeExpr(EK::Call, p);
            call->A = makeExpr(EK::Name, p);
            call->A->Name = QString::fromUtf16(kReDimFn);
            call->HasParens = true;
            auto current = makeExpr(EK::Name, p);
            current->Name = s->Target->Name;
            call->Args.push_back(std::move(current));
            expectSym("(");
            call->Args.push_back(expression());
            expectSym(")");
            call->Args.push_back(literal(Value(preserve), p));
            s->A = std::move(call);
            b->Body.push_back(std::move(s));
        } while (acceptSym(","));
        return b;
    }

    // withBlock -> WITH expr NL stmts END WITH; inside, ".name" is a member
    // of the object, which is evaluated once into a variable no script can name.
    StmtP withBlock(Pos at)
    {
        next();
        auto b = makeStmt(SK::Block, at);
        auto decl = makeStmt(SK::VarDecl, at);
        decl->Name = QStringLiteral("#WITH%1").arg(m_with.size());
        decl->A = expression();
        m_with.push_back(decl->Name);
        b->Body.push_back(std::move(decl));
        body(b->Body, [&] { return isKw("END") && isWord(peek(), "WITH"); });
        next();
        next();
        m_with.pop_back();
        return b;
    }

    // selectCase -> SELECT CASE expr NL {CASE labels NL stmts} [CASE ELSE NL stmts] END SELECT
    StmtP selectCase(Pos at)
    {
        expectKw("CASE");
        auto s = makeStmt(SK::Case, at);
        s->A = expression();
        auto elseB = makeStmt(SK::Block, pos());
        skipSeparators();
        while (!isEnd("SELECT")) {
            expectKw("CASE");
            if (acceptKw("ELSE")) {
                body(elseB->Body, [&] { return isEnd("SELECT"); });
                break;
            }
            CaseBranch br;
            do {
                const Pos lp = pos();
                if (acceptKw("IS")) {
                    // IS relop expr: the selector's side stays empty
                    static const struct { const char *sym; Op op; } rel[] = {
                        {"<>", Op::Ne}, {"<=", Op::Le}, {">=", Op::Ge}, {"<", Op::Lt}, {">", Op::Gt}, {"=", Op::Eq}};
                    Op op = Op::Eq;
                    bool found = false;
                    for (const auto &r : rel)
                        if (!found && acceptSym(r.sym))
                            op = r.op, found = true;
                    if (!found)
                        error(QStringLiteral("Comparison operator expected"));
                    br.Labels.push_back(binary(op, nullptr, expression(), lp));
                    continue;
                }
                ExprP lo = expression();
                if (acceptKw("TO"))
                    lo = binary(Op::Le, std::move(lo), expression(), lp);
                br.Labels.push_back(std::move(lo));
            } while (acceptSym(","));
            auto b = makeStmt(SK::Block, pos());
            body(b->Body, [&] { return isKw("CASE") || isEnd("SELECT"); });
            br.Body.push_back(std::move(b));
            s->Branches.push_back(std::move(br));
        }
        expectEnd("SELECT");
        s->Body.push_back(std::move(elseB));
        return s;
    }

    // expr -> andExpr {(OR|XOR) andExpr}
    ExprP expression()
    {
        Nest nest(this);
        ExprP left = andExpr();
        for (;;) {
            const Pos at = pos();
            if (acceptKw("OR"))
                left = binary(Op::Or, std::move(left), andExpr(), at);
            else if (acceptKw("XOR"))
                left = binary(Op::Xor, std::move(left), andExpr(), at);
            else
                return left;
        }
    }

    ExprP andExpr()
    {
        ExprP left = notExpr();
        for (;;) {
            const Pos at = pos();
            if (!acceptKw("AND"))
                return left;
            left = binary(Op::And, std::move(left), notExpr(), at);
        }
    }

    ExprP notExpr()
    {
        Nest nest(this);
        const Pos at = pos();
        if (acceptKw("NOT"))
            return unary(Op::Not, notExpr(), at);
        return comparison();
    }

    ExprP comparison()
    {
        ExprP left = concat();
        for (;;) {
            const Pos at = pos();
            Op op;
            if (acceptSym("=")) op = Op::Eq;
            else if (acceptSym("<>")) op = Op::Ne;
            else if (acceptSym("<")) op = Op::Lt;
            else if (acceptSym("<=")) op = Op::Le;
            else if (acceptSym(">")) op = Op::Gt;
            else if (acceptSym(">=")) op = Op::Ge;
            else return left;
            left = binary(op, std::move(left), concat(), at);
        }
    }

    ExprP concat()
    {
        ExprP left = additive();
        for (;;) {
            const Pos at = pos();
            if (!acceptSym("&"))
                return left;
            left = binary(Op::Concat, std::move(left), additive(), at);
        }
    }

    ExprP additive()
    {
        ExprP left = modExpr();
        for (;;) {
            const Pos at = pos();
            if (acceptSym("+"))
                left = binary(Op::Add, std::move(left), modExpr(), at);
            else if (acceptSym("-"))
                left = binary(Op::Sub, std::move(left), modExpr(), at);
            else
                return left;
        }
    }

    ExprP modExpr()
    {
        ExprP left = intDiv();
        for (;;) {
            const Pos at = pos();
            if (!acceptKw("MOD"))
                return left;
            left = binary(Op::Mod, std::move(left), intDiv(), at);
        }
    }

    ExprP intDiv()
    {
        ExprP left = multiplicative();
        for (;;) {
            const Pos at = pos();
            if (!acceptSym("\\"))
                return left;
            left = binary(Op::IntDiv, std::move(left), multiplicative(), at);
        }
    }

    ExprP multiplicative()
    {
        ExprP left = negation();
        for (;;) {
            const Pos at = pos();
            if (acceptSym("*"))
                left = binary(Op::Mul, std::move(left), negation(), at);
            else if (acceptSym("/"))
                left = binary(Op::Divide, std::move(left), negation(), at);
            else
                return left;
        }
    }

    ExprP negation()
    {
        Nest nest(this);
        const Pos at = pos();
        if (acceptSym("-"))
            return unary(Op::Neg, negation(), at);
        if (acceptSym("+"))
            return unary(Op::Plus, negation(), at);
        return power();
    }

    // power -> primary {^ (primary | - power)}: binds tighter than negation
    ExprP power()
    {
        ExprP left = primary();
        for (;;) {
            const Pos at = pos();
            if (!acceptSym("^"))
                return left;
            Nest nest(this);
            ExprP right = isSym("-") || isSym("+") ? negation() : primary();
            left = binary(Op::Pow, std::move(left), std::move(right), at);
        }
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
        if (acceptKw("NULL") || acceptKw("NOTHING"))
            return literal(Value::Null(), at);
        if (ExprP e = bracketed(at, [this] { return expression(); }))
            return e;
        if (isWord(cur(), "NEW") && peek().Kind == Tok::Ident) {
            // NEW class [( args )]: the class's constructor
            next();
            auto cls = makeExpr(EK::Name, pos());
            cls->Name = ident();
            auto create = makeExpr(EK::Member, at);
            create->A = std::move(cls);
            create->Name = QStringLiteral("Create");
            auto call = makeExpr(EK::Call, at);
            call->A = std::move(create);
            call->HasParens = true;
            if (acceptSym("("))
                argumentList(call->Args, ")", [this] { return expression(); });
            return call;
        }
        if (cur().Kind == Tok::Ident || (isSym(".") && !m_with.empty()))
            return postfix();
        expressionExpected();
    }

    // postfix -> name {. name | ( exprs ) | [ exprs ]}; a(i) on an array indexes it.
    // Inside WITH a leading ".name" starts at the object, and a dot after
    // blanks (or a line continuation) starts the next one: "ShowMessage
    // .Name", ".Add .Name" are calls whose argument is a member of the object.
    ExprP postfix()
    {
        auto e = makeExpr(EK::Name, pos());
        if (isSym(".") && !m_with.empty())
            e->Name = m_with.back();
        else
            e->Name = ident();
        const bool head = e->Name.startsWith(u'#'); // the dot right after is the with member's own
        return suffixes(std::move(e), [this] { return expression(); },
                        [this, first = head]() mutable {
                            const bool spacedWithDot = !first && !m_with.empty() && cur().SpaceBefore;
                            first = false;
                            return spacedWithDot;
                        });
    }

    std::vector<QString> m_with; // variables of the enclosing WITH blocks
};

} // namespace

ProgramDef ParseBasic(const std::vector<Token> &tokens)
{
    return BasicParser(tokens).program();
}

} // namespace zor::script
