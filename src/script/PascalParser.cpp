// PascalScript front end: units of declarations and a begin … end. block.
#include <ZorCompCore/script/Parser.h>
#include <ZorCompCore/script/Intrinsics_p.h>
#include <ZorCompCore/script/ParserBase_p.h>

namespace zor::script {

namespace {

class PascalParser : public ParserBase
{
public:
    using ParserBase::ParserBase;

    // program -> [PROGRAM name ;] [USES names ;] {decl} [BEGIN stmts END] [.]
    ProgramDef program()
    {
        ProgramDef prog;
        if (acceptKw("PROGRAM")) {
            ident();
            expectSym(";");
        }
        if (acceptKw("USES")) {
            do {
                if (cur().Kind == Tok::Str) next(); else ident();
            } while (acceptSym(","));
            expectSym(";");
        }
        declarations(prog.Globals, &prog.Routines);
        if (isKw("BEGIN")) {
            prog.Main = block();
            if (!acceptSym("."))
                acceptSym(";");
        } else {
            prog.Main = makeStmt(SK::Block, pos());
        }
        if (!atEnd())
            error(QStringLiteral("'.' expected"));
        return prog;
    }

    // header -> (PROCEDURE|FUNCTION) name [( params )] [: type] [;]
    RoutineDef header()
    {
        RoutineDef r;
        r.At = pos();
        if (acceptKw("FUNCTION"))
            r.IsFunction = true;
        else
            expectKw("PROCEDURE");
        r.Name = ident();
        if (acceptSym("(")) {
            if (!isSym(")")) {
                do {
                    params(r.Params);
                } while (acceptSym(";"));
            }
            expectSym(")");
        }
        if (r.IsFunction && acceptSym(":"))
            r.ResultType = typeName(nullptr);
        return r;
    }

private:
    // params -> [VAR|CONST|OUT] names [: type] [= default]
    void params(std::vector<ParamDef> &out)
    {
        bool byRef = false;
        if (acceptKw("VAR"))
            byRef = true;
        else if (acceptKw("CONST"))
            ;
        else if (cur().Kind == Tok::Ident && cur().Text.compare(u"out", Qt::CaseInsensitive) == 0
                 && peek().Kind == Tok::Ident)
            byRef = true, next();
        const size_t first = out.size();
        do {
            ParamDef p;
            p.Name = ident();
            p.ByRef = byRef;
            out.push_back(std::move(p));
        } while (acceptSym(","));
        QString type;
        if (acceptSym(":"))
            type = typeName(nullptr);
        ExprP def;
        if (acceptSym("="))
            def = expression();
        for (size_t i = first; i < out.size(); ++i) {
            out[i].TypeName = type;
            if (def && i + 1 == out.size())
                out[i].Default = std::move(def);
        }
    }

    // Bounds of fixed-size array levels, outermost first.
    using Dims = std::vector<std::pair<int, int>>;

    // type -> name | ARRAY [ '[' lo .. hi {, lo .. hi} ']' ] OF type
    // array[0..2, 0..3] of T is array[0..2] of array[0..3] of T. The bounds
    // of the leading fixed-size levels go to dimsOut (a dynamic level ends
    // them: its elements start empty).
    QString typeName(VarDef *arrayOut, Dims *dimsOut = nullptr)
    {
        Dims dims;
        QString type;
        if (acceptKw("ARRAY")) {
            if (acceptSym("[")) {
                do {
                    const qint64 lo = constInt();
                    expectSym("..");
                    const qint64 hi = constInt();
                    if (hi - lo > 10'000'000 || hi < lo - 1)
                        error(QStringLiteral("Array too large"));
                    dims.push_back({int(lo), int(hi)});
                    if (dims.size() > 8)
                        error(QStringLiteral("Too many dimensions"));
                } while (acceptSym(","));
                expectSym("]");
            }
            expectKw("OF");
            Dims inner;
            const QString elem = typeName(nullptr, &inner);
            if (!dims.empty())
                dims.insert(dims.end(), inner.begin(), inner.end());
            type = QStringLiteral("array of ").repeated(std::max<qsizetype>(1, qsizetype(dims.size()) - qsizetype(inner.size())))
                + elem;
        } else {
            if (cur().Kind == Tok::Kw && (isKw("PROCEDURE") || isKw("FUNCTION")))
                error(QStringLiteral("Type expected"));
            type = ident();
            // a named array type stands for its declaration
            const auto alias = m_arrayTypes.constFind(type.toUpper());
            if (alias == m_arrayTypes.cend()) {
                if (dimsOut)
                    dimsOut->clear();
                return type;
            }
            type = alias->first;
            dims = alias->second;
        }
        if (arrayOut) {
            arrayOut->IsArray = true;
            arrayOut->ArrayLow = dims.empty() ? 0 : dims[0].first;
            arrayOut->ArrayHigh = dims.empty() ? -1 : dims[0].second;
        }
        if (dimsOut)
            *dimsOut = std::move(dims);
        return type;
    }

    // The default of a fixed-size array (type upper case, the array's
    // own): each level a new array of its bounds holding the next level's
    // default.
    ExprP fixedArray(const QString &type, const Dims &dims, size_t level, Pos at)
    {
        if (level == dims.size())
            return defaultOf(type, at);
        auto call = makeExpr(EK::Call, at);
        call->A = makeExpr(EK::Name, at);
        call->A->Name = QString::fromUtf16(kNewArrayFn);
        call->HasParens = true;
        call->Args.push_back(literal(Value(dims[level].first), at));
        call->Args.push_back(literal(Value(dims[level].second), at));
        call->Args.push_back(fixedArray(elementType(type), dims, level + 1, at));
        return call;
    }

    qint64 constInt()
    {
        bool neg = acceptSym("-");
        if (cur().Kind != Tok::Int)
            error(QStringLiteral("Integer constant expected"));
        const qint64 v = cur().Int;
        next();
        return neg ? -v : v;
    }

    // decl -> VAR vars | CONST consts | routine
    void declarations(std::vector<VarDef> &vars, std::vector<RoutineDef> *routines)
    {
        for (;;) {
            if (acceptKw("VAR")) {
                while (cur().Kind == Tok::Ident)
                    varGroup(vars);
            } else if (acceptKw("CONST")) {
                while (cur().Kind == Tok::Ident) {
                    VarDef c;
                    c.At = pos();
                    c.Name = ident();
                    c.IsConst = true;
                    if (acceptSym(":"))
                        c.TypeName = typeName(nullptr);
                    expectSym("=");
                    c.Init = expression();
                    expectSym(";");
                    vars.push_back(std::move(c));
                }
            } else if (acceptKw("TYPE")) {
                while (cur().Kind == Tok::Ident)
                    typeDecl();
            } else if (isKw("PROCEDURE") || isKw("FUNCTION")) {
                routine(*routines);
            } else {
                return;
            }
        }
    }

    // vars -> names : type [= expr] ;
    void varGroup(std::vector<VarDef> &vars)
    {
        const size_t first = vars.size();
        do {
            VarDef v;
            v.At = pos();
            v.Name = ident();
            vars.push_back(std::move(v));
        } while (acceptSym(","));
        expectSym(":");
        VarDef shape;
        Dims dims;
        const QString type = typeName(&shape, &dims);
        ExprP init;
        if (acceptSym("="))
            init = expression();
        expectSym(";");
        const QString typeUpper = type.toUpper();
        for (size_t i = first; i < vars.size(); ++i) {
            m_varTypes.insert(vars[i].Name.toUpper(), typeUpper);
            if (m_records.contains(typeUpper) && !init)
                vars[i].Init = recordDefaults(typeUpper, vars[i].At);
            if (dims.size() > 1) // the elements are fixed-size arrays themselves
                vars[i].ElemInit = fixedArray(elementType(typeUpper), dims, 1, vars[i].At);
            else if (shape.IsArray && m_records.contains(elementType(typeUpper)))
                vars[i].ElemInit = recordDefaults(elementType(typeUpper), vars[i].At);
            vars[i].TypeName = type;
            vars[i].IsArray = shape.IsArray;
            vars[i].ArrayLow = shape.ArrayLow;
            vars[i].ArrayHigh = shape.ArrayHigh;
            if (init && i + 1 == vars.size())
                vars[i].Init = std::move(init);
        }
    }

    // routine -> header ; [FORWARD ;] {decl} block ;
    void routine(std::vector<RoutineDef> &out)
    {
        Nest nest(this); // routines nest in routines
        RoutineDef r = header();
        expectSym(";");
        if (cur().Kind == Tok::Ident && cur().Text.compare(u"forward", Qt::CaseInsensitive) == 0) {
            next();
            expectSym(";");
            return; // the body follows later under the same name
        }
        const QHash<QString, QString> outerTypes = m_varTypes;
        for (const ParamDef &p : r.Params)
            m_varTypes.insert(p.Name.toUpper(), p.TypeName.toUpper());
        if (r.IsFunction) {
            m_varTypes.insert(QStringLiteral("RESULT"), r.ResultType.toUpper());
            m_varTypes.insert(r.Name.toUpper(), r.ResultType.toUpper());
        }
        declarations(r.Locals, &r.Nested);
        r.Body = block();
        m_varTypes = outerTypes;
        expectSym(";");
        out.push_back(std::move(r));
    }

    // block -> BEGIN stmts END
    StmtP block()
    {
        auto b = makeStmt(SK::Block, pos());
        expectKw("BEGIN");
        statements(b->Body, "END");
        expectKw("END");
        return b;
    }

    // stmts -> stmt {; stmt}, up to one of the closing words
    void statements(std::vector<StmtP> &out, const char *close1, const char *close2 = nullptr,
                    const char *close3 = nullptr)
    {
        for (;;) {
            if (isKw(close1) || (close2 && isKw(close2)) || (close3 && isKw(close3)))
                return;
            if (atEnd())
                error(QStringLiteral("'%1' expected").arg(QLatin1String(close1)));
            if (StmtP s = statement())
                out.push_back(std::move(s));
            if (acceptSym(";"))
                continue;
            if (isKw(close1) || (close2 && isKw(close2)) || (close3 && isKw(close3)))
                return;
            error(QStringLiteral("';' expected"));
        }
    }

    StmtP statement()
    {
        Nest nest(this);
        const Pos at = pos();
        if (isSym(";") || isKw("END") || isKw("ELSE") || isKw("UNTIL") || isKw("EXCEPT") || isKw("FINALLY"))
            return nullptr; // the empty statement
        if (isKw("BEGIN"))
            return block();
        if (acceptKw("IF")) {
            // ifStmt -> IF expr THEN stmt {ELSE IF expr THEN stmt} [ELSE stmt]
            // (else-if chains are a list: generated code has thousands of branches)
            auto s = makeStmt(SK::If, at);
            s->A = expression();
            expectKw("THEN");
            s->Body.push_back(optStatement());
            while (isKw("ELSE") && peek().Kind == Tok::Kw && peek().Text == u"IF") {
                next();
                next();
                CaseBranch br;
                br.Labels.push_back(expression());
                expectKw("THEN");
                br.Body.push_back(optStatement());
                s->Branches.push_back(std::move(br));
            }
            if (acceptKw("ELSE"))
                s->Body.push_back(optStatement());
            return s;
        }
        if (acceptKw("WHILE")) {
            // whileStmt -> WHILE expr DO stmt
            auto s = makeStmt(SK::While, at);
            s->A = expression();
            expectKw("DO");
            s->Body.push_back(optStatement());
            return s;
        }
        if (acceptKw("REPEAT")) {
            // repeatStmt -> REPEAT stmts UNTIL expr
            auto s = makeStmt(SK::Repeat, at);
            auto body = makeStmt(SK::Block, at);
            statements(body->Body, "UNTIL");
            expectKw("UNTIL");
            s->A = expression();
            s->Body.push_back(std::move(body));
            return s;
        }
        if (acceptKw("FOR")) {
            // forStmt -> FOR name := expr (TO|DOWNTO) expr DO stmt
            auto s = makeStmt(SK::For, at);
            s->Name = ident();
            if (acceptKw("IN")) {
                // forInStmt -> FOR name IN expr DO stmt
                s->Kind = SK::ForEach;
                s->A = expression();
                expectKw("DO");
                s->Body.push_back(optStatement());
                return s;
            }
            expectSym(":=");
            s->A = expression();
            if (acceptKw("DOWNTO"))
                s->Down = true;
            else
                expectKw("TO");
            s->B = expression();
            expectKw("DO");
            s->Body.push_back(optStatement());
            return s;
        }
        if (acceptKw("CASE"))
            return caseStatement(at);
        if (acceptKw("TRY")) {
            // tryStmt -> TRY stmts (EXCEPT stmts | FINALLY stmts) END
            auto body = makeStmt(SK::Block, at);
            statements(body->Body, "EXCEPT", "FINALLY");
            auto handler = makeStmt(SK::Block, pos());
            StmtP s;
            if (acceptKw("EXCEPT")) {
                s = makeStmt(SK::TryExcept, at);
                if (isOn()) {
                    exceptHandlers(*s);
                    s->Body.push_back(std::move(body));
                    if (acceptKw("ELSE")) {
                        statements(handler->Body, "END");
                        s->Body.push_back(std::move(handler));
                    }
                    expectKw("END");
                    return s;
                }
            } else {
                expectKw("FINALLY");
                s = makeStmt(SK::TryFinally, at);
            }
            statements(handler->Body, "END");
            expectKw("END");
            s->Body.push_back(std::move(body));
            s->Body.push_back(std::move(handler));
            return s;
        }
        if (acceptKw("EXIT")) {
            auto s = makeStmt(SK::Exit, at);
            if (acceptSym("(")) {
                if (!isSym(")"))
                    s->A = expression();
                expectSym(")");
            }
            return s;
        }
        if (acceptKw("BREAK"))
            return makeStmt(SK::Break, at);
        if (acceptKw("CONTINUE"))
            return makeStmt(SK::Continue, at);
        if (acceptKw("RAISE")) {
            auto s = makeStmt(SK::Raise, at);
            if (!isSym(";") && !isKw("END") && !isKw("ELSE") && !isKw("EXCEPT") && !isKw("FINALLY")
                && !isKw("UNTIL"))
                s->A = expression();
            return s;
        }
        if (acceptKw("WITH")) {
            // withStmt -> WITH designator {, designator} DO stmt: inside, the
            // fields of the records name their parts of the variables
            // fields of the records name their parts of the variables; an
            // object's members are found by the compiler (SK::With)
            size_t opened = 0;
            std::vector<StmtP> objects; // outermost first
            do {
                const Pos wp = pos();
                ExprP target = designator();
                if (m_records.contains(m_lastType)) {
                    m_with.push_back({std::move(target), m_lastType});
                    ++opened;
                    continue;
                }
                auto w = makeStmt(SK::With, wp);
                w->A = std::move(target);
                w->TypeName = m_lastType;
                objects.push_back(std::move(w));
            } while (acceptSym(","));
            expectKw("DO");
            StmtP body = optStatement();
            m_with.resize(m_with.size() - opened);
            while (!objects.empty()) {
                StmtP w = std::move(objects.back());
                objects.pop_back();
                w->Body.push_back(std::move(body));
                body = std::move(w);
            }
            return body;
        }
        if (cur().Kind != Tok::Ident)
            error(QStringLiteral("Statement expected"));
        // simpleStmt -> designator [:= expr]
        ExprP target = designator();
        if (acceptSym(":=")) {
            if (!isAssignable(*target))
                errorAt(QStringLiteral("Left side cannot be assigned to"), at);
            auto s = makeStmt(SK::Assign, at);
            s->Target = std::move(target);
            s->A = expression();
            return s;
        }
        auto s = makeStmt(SK::ExprStmt, at);
        s->A = std::move(target);
        return s;
    }

    // "on" starting an exception handler (not a variable of that name).
    bool isOn() const
    {
        return cur().Kind == Tok::Ident && cur().Text.compare(u"on", Qt::CaseInsensitive) == 0
            && peek().Kind == Tok::Ident;
    }

    // handlers -> {ON [name :] class DO stmt [;]}
    void exceptHandlers(Stmt &s)
    {
        while (isOn()) {
            Handler h;
            h.At = pos();
            next();
            h.ClassName = ident();
            if (acceptSym(":")) {
                h.Var = h.ClassName;
                h.ClassName = ident();
            }
            expectKw("DO");
            h.Body = optStatement();
            acceptSym(";");
            s.Handlers.push_back(std::move(h));
        }
    }

    // An empty statement ("if x then ;") is allowed where one statement goes.
    StmtP optStatement()
    {
        StmtP s = statement();
        return s ? std::move(s) : makeStmt(SK::Empty, pos());
    }

    // caseStmt -> CASE expr OF {labels : stmt ;} [ELSE stmts] END
    StmtP caseStatement(Pos at)
    {
        auto s = makeStmt(SK::Case, at);
        s->A = expression();
        expectKw("OF");
        while (!isKw("ELSE") && !isKw("END")) {
            if (atEnd())
                error(QStringLiteral("'END' expected"));
            CaseBranch br;
            do {
                const Pos lp = pos();
                ExprP lo = expression();
                if (acceptSym(".."))
                    lo = binary(Op::Le, std::move(lo), expression(), lp);
                br.Labels.push_back(std::move(lo));
            } while (acceptSym(","));
            expectSym(":");
            br.Body.push_back(optStatement());
            s->Branches.push_back(std::move(br));
            if (!acceptSym(";"))
                break;
        }
        auto elseBody = makeStmt(SK::Block, pos());
        if (acceptKw("ELSE"))
            statements(elseBody->Body, "END");
        expectKw("END");
        s->Body.push_back(std::move(elseBody));
        return s;
    }

    // expr -> simple [relop simple]
    ExprP expression()
    {
        Nest nest(this);
        ExprP left = simple();
        for (;;) {
            const Pos at = pos();
            Op op;
            if (acceptSym("=")) op = Op::Eq;
            else if (acceptSym("<>")) op = Op::Ne;
            else if (acceptSym("<")) op = Op::Lt;
            else if (acceptSym("<=")) op = Op::Le;
            else if (acceptSym(">")) op = Op::Gt;
            else if (acceptSym(">=")) op = Op::Ge;
            else if (acceptKw("IN")) {
                left = membership(std::move(left), at);
                continue;
            }
            else return left;
            left = binary(op, std::move(left), simple(), at);
        }
    }

    // membership -> x IN '[' [item {, item}] ']' | x IN simple; item -> expr [.. expr]
    // A set written out becomes a test against its ranges; a single value
    // has no upper end (an empty literal), so it is evaluated once.
    ExprP membership(ExprP x, Pos at)
    {
        auto call = makeExpr(EK::Call, at);
        call->A = makeExpr(EK::Name, at);
        call->Args.push_back(std::move(x));
        if (acceptSym("[")) {
            call->A->Name = QString::fromUtf16(kInSetFn);
            if (!isSym("]")) {
                do {
                    ExprP lo = expression();
                    ExprP hi;
                    if (acceptSym(".."))
                        hi = expression();
                    else
                        hi = literal(Value(), lo->At);
                    call->Args.push_back(std::move(lo));
                    call->Args.push_back(std::move(hi));
                } while (acceptSym(","));
            }
            expectSym("]");
        } else {
            call->A->Name = QString::fromUtf16(kInFn);
            call->Args.push_back(simple());
        }
        call->HasParens = true;
        return call;
    }

    // simple -> term {(+|-|OR|XOR) term}
    ExprP simple()
    {
        ExprP left = term();
        for (;;) {
            const Pos at = pos();
            Op op;
            if (acceptSym("+")) op = Op::Add;
            else if (acceptSym("-")) op = Op::Sub;
            else if (acceptKw("OR")) op = Op::Or;
            else if (acceptKw("XOR")) op = Op::Xor;
            else return left;
            left = binary(op, std::move(left), term(), at);
        }
    }

    // term -> factor {(*|/|DIV|MOD|AND|SHL|SHR) factor}
    ExprP term()
    {
        ExprP left = factor();
        for (;;) {
            const Pos at = pos();
            Op op;
            if (acceptSym("*")) op = Op::Mul;
            else if (acceptSym("/")) op = Op::Divide;
            else if (acceptKw("DIV")) op = Op::IntDiv;
            else if (acceptKw("MOD")) op = Op::Mod;
            else if (acceptKw("AND")) op = Op::And;
            else if (acceptKw("SHL")) op = Op::Shl;
            else if (acceptKw("SHR")) op = Op::Shr;
            else return left;
            left = binary(op, std::move(left), factor(), at);
        }
    }

    // factor -> NOT factor | - factor | + factor | literal | ( expr ) | [ list ] | designator
    ExprP factor()
    {
        Nest nest(this);
        const Pos at = pos();
        if (acceptKw("NOT"))
            return unary(Op::Not, factor(), at);
        if (acceptSym("-"))
            return unary(Op::Neg, factor(), at);
        if (acceptSym("+"))
            return unary(Op::Plus, factor(), at);
        if (ExprP lit = literalToken())
            return lit;
        if (acceptKw("NIL"))
            return literal(Value::Object(nullptr), at);
        if (acceptKw("TRUE"))
            return literal(Value(true), at);
        if (acceptKw("FALSE"))
            return literal(Value(false), at);
        if (ExprP e = bracketed(at, [this] { return expression(); }))
            return e;
        if (cur().Kind == Tok::Ident)
            return designator();
        expressionExpected();
    }

    // designator -> name {. name | [ exprs ] | ( exprs )}
    ExprP designator()
    {
        const Pos at = pos();
        const QString name = ident();
        const QString upper = name.toUpper();
        ExprP e;
        QString type;
        // a field of a record opened by an enclosing with comes first
        for (auto w = m_with.rbegin(); w != m_with.rend() && !e; ++w) {
            const int k = fieldIndex(w->Type, upper);
            if (k >= 0) {
                e = field(clone(*w->Target, 0), k, at);
                type = m_records.value(w->Type)[size_t(k)].Type;
            }
        }
        if (!e) {
            if (upper == u"SETLENGTH" && isSym("(") && !m_varTypes.contains(upper))
                return setLength(at);
            e = makeExpr(EK::Name, at);
            e->Name = name;
            type = m_varTypes.value(upper);
        }
        // r.Field on a record variable is its part; records hold records, and
        // arrays of records have them as elements (a[i].X)
        for (;;) {
            if (isSym(".") && peek().Kind == Tok::Ident && m_records.contains(type)) {
                next();
                const Pos fp = pos();
                const QString f = ident();
                const int k = fieldIndex(type, f.toUpper());
                if (k < 0)
                    errorAt(QStringLiteral("Unknown member '%1' of %2").arg(f, m_recordNames.value(type)), fp);
                e = field(std::move(e), k, fp);
                type = m_records.value(type)[size_t(k)].Type;
            } else if (isSym("[") && !elementType(type).isEmpty()) {
                auto ix = makeExpr(EK::Index, pos());
                next();
                ix->A = std::move(e);
                do {
                    ix->Args.push_back(expression());
                    type = elementType(type);
                } while (acceptSym(","));
                expectSym("]");
                e = std::move(ix);
            } else {
                break;
            }
        }
        m_lastType = type;
        return suffixes(std::move(e), [this] { return expression(); });
    }

    // "ARRAY OF T" -> "T"; empty for types that are not arrays.
    static QString elementType(const QString &type)
    {
        return type.startsWith(u"ARRAY OF ") ? type.mid(9) : QString();
    }

    // setLength -> SETLENGTH ( designator , expr ): new elements of a typed
    // array start at their type's default (records with their fields').
    // Other argument counts stay a call of the library's SetLength, which
    // says what is wrong with them.
    ExprP setLength(Pos at)
    {
        auto call = makeExpr(EK::Call, at);
        call->A = makeExpr(EK::Name, at);
        call->A->Name = QStringLiteral("SetLength");
        call->HasParens = true;
        expectSym("(");
        QString elem;
        if (!isSym(")")) {
            m_lastType.clear();
            call->Args.push_back(expression());
            if (call->Args[0]->Kind == EK::Name || call->Args[0]->Kind == EK::Index)
                elem = elementType(m_lastType);
            while (acceptSym(","))
                call->Args.push_back(expression());
        }
        expectSym(")");
        if (call->Args.size() == 2) {
            call->A->Name = QString::fromUtf16(kSetLengthFn);
            call->Args.push_back(elem.isEmpty() ? literal(Value(), at) : defaultOf(elem, at));
        } else if (call->Args.size() > 2 && call->Args.size() <= 9) {
            // SetLength(a, 3, 4): a's elements get their own length too; the
            // innermost new elements start at their type's default
            for (size_t i = 2; i < call->Args.size(); ++i)
                elem = elementType(elem);
            call->A->Name = QString::fromUtf16(kSetLengthDimsFn);
            call->Args.insert(call->Args.begin() + 1, elem.isEmpty() ? literal(Value(), at) : defaultOf(elem, at));
        }
        m_lastType.clear();
        return call;
    }

    // Records --------------------------------------------------------------
    // A record is an array of its fields in declaration order: assignment
    // copies it (arrays are values), and r.X is the element X stands for.

    struct Field
    {
        QString Name; // upper case
        QString Type; // upper case
        Dims Bounds;  // a fixed-size array's
    };

    // typeDecl -> name = RECORD {names : type ;} END ; | name = type ;
    void typeDecl()
    {
        const Pos at = pos();
        const QString name = ident();
        expectSym("=");
        if (!acceptKw("RECORD")) {
            VarDef shape;
            Dims dims;
            const QString aliased = typeName(&shape, &dims).toUpper();
            expectSym(";");
            if (shape.IsArray)
                m_arrayTypes.insert(name.toUpper(), {aliased, std::move(dims)});
            if (m_records.contains(aliased)) {
                m_records.insert(name.toUpper(), m_records.value(aliased));
                m_recordNames.insert(name.toUpper(), name);
            }
            return;
        }
        std::vector<Field> fields;
        while (!isKw("END")) {
            if (atEnd())
                error(QStringLiteral("'END' expected"));
            const size_t first = fields.size();
            do {
                const QString f = ident().toUpper();
                for (const Field &old : fields)
                    if (old.Name == f)
                        error(QStringLiteral("Identifier redeclared: '%1'").arg(f));
                fields.push_back({f, {}, {}});
            } while (acceptSym(","));
            expectSym(":");
            Dims dims;
            const QString t = typeName(nullptr, &dims).toUpper();
            for (size_t i = first; i < fields.size(); ++i) {
                fields[i].Type = t;
                fields[i].Bounds = dims;
            }
            if (!acceptSym(";"))
                break;
        }
        expectKw("END");
        expectSym(";");
        if (fields.empty())
            errorAt(QStringLiteral("Record without fields"), at);
        m_records.insert(name.toUpper(), std::move(fields));
        m_recordNames.insert(name.toUpper(), name);
    }

    int fieldIndex(const QString &type, const QString &upperField) const
    {
        auto it = m_records.find(type);
        if (it == m_records.end())
            return -1;
        for (size_t i = 0; i < it->size(); ++i)
            if ((*it)[i].Name == upperField)
                return int(i);
        return -1;
    }

    ExprP field(ExprP record, int k, Pos at)
    {
        auto ix = makeExpr(EK::Index, at);
        ix->A = std::move(record);
        ix->Args.push_back(literal(Value(k), at));
        return ix;
    }

    // The value a fresh variable of a record type holds: each field's default.
    ExprP recordDefaults(const QString &type, Pos at)
    {
        Nest nest(this); // a record type may name itself as a field's type
        auto lit = makeExpr(EK::ArrayLit, at);
        for (const Field &f : m_records.value(type))
            lit->Args.push_back(fixedArray(f.Type, f.Bounds, 0, at));
        return lit;
    }

    // The default of a type (upper case) as a literal: 0, '', False, a record's
    // fields; empty for the rest (variants, objects, dynamic arrays).
    ExprP defaultOf(const QString &type, Pos at)
    {
        {
            static const QStringList ints = {QStringLiteral("INTEGER"), QStringLiteral("INT64"), QStringLiteral("LONGINT"), QStringLiteral("CARDINAL"), QStringLiteral("BYTE"),
                                             QStringLiteral("WORD"), QStringLiteral("SMALLINT"), QStringLiteral("SHORTINT"), QStringLiteral("LONGWORD")};
            static const QStringList floats = {QStringLiteral("DOUBLE"), QStringLiteral("EXTENDED"), QStringLiteral("SINGLE"), QStringLiteral("REAL"), QStringLiteral("CURRENCY")};
            static const QStringList strings = {QStringLiteral("STRING"), QStringLiteral("CHAR"), QStringLiteral("ANSISTRING"), QStringLiteral("WIDESTRING"),
                                                QStringLiteral("UNICODESTRING"), QStringLiteral("WIDECHAR")};
            if (m_records.contains(type))
                return recordDefaults(type, at);
            if (ints.contains(type))
                return literal(Value(0), at);
            if (floats.contains(type))
                return literal(Value(0.0), at);
            if (strings.contains(type))
                return literal(Value(QString()), at);
            if (type == u"BOOLEAN")
                return literal(Value(false), at);
            return literal(Value(), at);
        }
    }

    // A with target is read again at each field it opens; targets are
    // designators, a few levels deep.
    ExprP clone(const Expr &e, int depth)
    {
        if (depth > 64)
            errorAt(QStringLiteral("Nesting too deep"), e.At);
        auto c = makeExpr(e.Kind, e.At);
        c->Lit = e.Lit;
        c->Name = e.Name;
        c->Oper = e.Oper;
        c->HasParens = e.HasParens;
        if (e.A) c->A = clone(*e.A, depth + 1);
        if (e.B) c->B = clone(*e.B, depth + 1);
        if (e.C) c->C = clone(*e.C, depth + 1);
        for (const ExprP &a : e.Args)
            c->Args.push_back(a ? clone(*a, depth + 1) : nullptr);
        return c;
    }

    struct WithRecord
    {
        ExprP Target;
        QString Type;
    };

    QHash<QString, std::vector<Field>> m_records; // upper-case type name -> fields
    QHash<QString, QString> m_recordNames;       // as declared, for messages
    QHash<QString, std::pair<QString, Dims>> m_arrayTypes; // upper-case name -> array type, its bounds
    QHash<QString, QString> m_varTypes;          // upper-case variable -> upper-case type name
    std::vector<WithRecord> m_with;
    QString m_lastType;                          // of the designator parsed last
};

} // namespace

ProgramDef ParsePascal(const std::vector<Token> &tokens)
{
    ProgramDef prog = PascalParser(tokens).program();
    LiftNestedRoutines(prog);
    return prog;
}

RoutineDef ParseRoutineHeader(const QString &declaration)
{
    const std::vector<Token> tokens = Tokenize(declaration, Syntax::Pascal);
    class HeaderParser : public PascalParser
    {
    public:
        using PascalParser::PascalParser;
        RoutineDef run()
        {
            RoutineDef r = header();
            acceptSym(";");
            if (!atEnd())
                error(QStringLiteral("';' expected"));
            return r;
        }
    };
    return HeaderParser(tokens).run();
}

ProgramDef Parse(const QString &source, Syntax syntax, bool extendedCharset)
{
    const std::vector<Token> tokens = Tokenize(source, syntax, extendedCharset);
    switch (syntax) {
    case Syntax::Pascal: return ParsePascal(tokens);
    case Syntax::Cpp: return ParseCpp(tokens);
    case Syntax::JScript: return ParseJScript(tokens);
    case Syntax::Basic: return ParseBasic(tokens);
    }
    return ParsePascal(tokens);
}

} // namespace zor::script
