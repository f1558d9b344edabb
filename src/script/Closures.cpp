// JScript functions inside functions. The compiler knows one level of
// frames, so each inner function becomes a program routine of its own, named
// after the function it is written in ("outer#inner": two outer functions may
// both have an inner "h"). A variable of an enclosing function that an inner
// one uses must outlive the call that made it (a counter factory returns the
// function, the variable stays with it), so it lives in a cell: a one-element
// array shared by reference, made when its function starts. Every use of the
// variable reads or writes the cell's element; an inner function receives the
// cells it needs as leading parameters, from each direct call or from the
// function value that was made where the function was written.
#include <ZorCompCore/script/Parser.h>

#include <QHash>
#include <QSet>

#include <algorithm>

namespace zor::script {

namespace {

QString up(const QString &s)
{
    return s.toUpper();
}

struct Fn;

// A variable of a function, as "id:NAME".
struct VarRef
{
    Fn *Owner;
    QString Name; // upper case
};

struct Fn
{
    int Id = 0;
    RoutineDef *Def = nullptr; // null: the main block
    Stmt *Body = nullptr;
    Fn *Parent = nullptr;
    std::vector<Fn *> Children;
    QString Lifted;                  // its name as a program routine
    QSet<QString> Declared, Assigned, Used; // upper-case names its own body mentions
    QSet<QString> Own;               // its variables
    QHash<QString, QString> Spelled; // upper -> as written
    QHash<QString, Fn *> Decls;      // functions declared in it (not the ones written as values)
    std::vector<Fn *> Refs;          // functions it calls or takes as values
    QSet<QString> Needs;             // keys of enclosing functions' variables it reaches
    bool IsExpression() const { return Def && Def->Name.startsWith(u'@'); }
};

QString keyOf(const Fn *owner, const QString &upperName)
{
    return QString::number(owner->Id) + u':' + upperName;
}

class Lifter
{
public:
    explicit Lifter(ProgramDef &prog) : m_prog(prog)
    {
        for (const VarDef &g : prog.Globals)
            m_globals.insert(up(g.Name));
    }

    void run()
    {
        Fn *main = make(nullptr, nullptr, m_prog.Main.get());
        for (RoutineDef &c : m_prog.MainNested)
            main->Children.push_back(make(&c, main, c.Body.get()));
        std::vector<Fn *> roots{main};
        for (RoutineDef &r : m_prog.Routines) {
            Fn *f = make(&r, nullptr, r.Body.get());
            f->Lifted = r.Name;
            roots.push_back(f);
        }
        // the tree below the roots, then what each function is made of
        for (size_t i = 0; i < m_all.size(); ++i) {
            Fn *f = m_all[i];
            if (f != main && f->Def)
                for (RoutineDef &c : f->Def->Nested)
                    f->Children.push_back(make(&c, f, c.Body.get()));
        }
        bool nothingNested = true;
        for (Fn *f : m_all)
            nothingNested = nothingNested && f->Children.empty();
        if (nothingNested)
            return; // the common case: nothing to lift
        for (Fn *f : m_all) {
            nameChildren(*f);
            collect(*f);
        }
        for (Fn *r : roots)
            ownVariables(*r);
        for (Fn *f : m_all)
            directNeeds(*f);
        for (bool changed = true; changed;) {
            changed = false;
            for (Fn *f : m_all)
                for (Fn *g : f->Refs)
                    for (const QString &k : std::as_const(g->Needs))
                        if (m_owners.value(k) != f && !f->Needs.contains(k))
                            f->Needs.insert(k), changed = true;
        }
        for (Fn *f : m_all)
            for (const QString &k : std::as_const(f->Needs))
                m_cells.insert(k);
        for (Fn *f : m_all)
            rewriteFunction(*f);
        std::vector<RoutineDef> lifted;
        for (Fn *r : roots)
            extract(*r, lifted);
        m_prog.MainNested.clear();
        for (RoutineDef &r : lifted)
            m_prog.Routines.push_back(std::move(r));
    }

private:
    Fn *make(RoutineDef *def, Fn *parent, Stmt *body)
    {
        m_fns.push_back(std::make_unique<Fn>());
        Fn *f = m_fns.back().get();
        f->Id = int(m_fns.size());
        f->Def = def;
        f->Parent = parent;
        f->Body = body;
        m_all.push_back(f);
        return f;
    }

    // Names as program routines; a function declared in the main block keeps
    // its name (other top-level functions call it by that name).
    void nameChildren(Fn &f)
    {
        for (Fn *c : f.Children) {
            if (c->IsExpression() || !f.Def)
                c->Lifted = c->Def->Name;
            else
                c->Lifted = f.Lifted + u'#' + c->Def->Name;
            if (!c->IsExpression())
                f.Decls.insert(up(c->Def->Name), c);
        }
    }

    // --- what a body mentions --------------------------------------------------

    void name(Fn &f, QSet<QString> &set, const QString &n)
    {
        const QString u = up(n);
        set.insert(u);
        if (!f.Spelled.contains(u))
            f.Spelled.insert(u, n);
    }

    void collect(Fn &f)
    {
        if (f.Def)
            for (const ParamDef &p : f.Def->Params)
                name(f, f.Declared, p.Name);
        collect(f, f.Body);
    }

    // Statements nest no deeper than the parser's depth guard allows.
    void collect(Fn &f, const Stmt *s)
    {
        if (!s)
            return;
        if (s->Kind == SK::VarDecl)
            name(f, f.Declared, s->Name);
        if ((s->Kind == SK::ForEach || s->Kind == SK::For) && !s->Name.isEmpty()) {
            name(f, f.Assigned, s->Name);
            name(f, f.Used, s->Name);
        }
        if (s->Kind == SK::Assign && s->Target && s->Target->Kind == EK::Name)
            name(f, f.Assigned, s->Target->Name);
        for (const Expr *e : {s->Target.get(), s->A.get(), s->B.get(), s->C.get()})
            collect(f, e);
        for (const StmtP &b : s->Body)
            collect(f, b.get());
        for (const CaseBranch &br : s->Branches) {
            for (const ExprP &l : br.Labels)
                collect(f, l.get());
            for (const StmtP &b : br.Body)
                collect(f, b.get());
        }
        for (const Handler &h : s->Handlers) {
            if (!h.Var.isEmpty())
                name(f, f.Declared, h.Var);
            collect(f, h.Body.get());
        }
    }

    // Expressions walk with an explicit stack: generated operator chains are
    // far deeper than the native stack.
    void collect(Fn &f, const Expr *root)
    {
        std::vector<const Expr *> pending{root};
        while (!pending.empty()) {
            const Expr *e = pending.back();
            pending.pop_back();
            if (!e)
                continue;
            if (e->Kind == EK::Name)
                name(f, f.Used, e->Name);
            if (e->Kind == EK::Update && e->A && e->A->Kind == EK::Name)
                name(f, f.Assigned, e->A->Name);
            for (const Expr *c : {e->A.get(), e->B.get(), e->C.get()})
                pending.push_back(c);
            for (const ExprP &a : e->Args)
                pending.push_back(a.get());
        }
    }

    // --- scopes ------------------------------------------------------------------

    // A name assigned without a declaration is the function's own variable
    // unless an enclosing function or the program already has it.
    void ownVariables(Fn &f)
    {
        f.Own = f.Declared;
        for (const QString &a : std::as_const(f.Assigned)) {
            if (f.Own.contains(a) || m_globals.contains(a) || f.Decls.contains(a))
                continue;
            Fn *owner = nullptr;
            Fn *func = nullptr;
            lookup(f.Parent, a, owner, func);
            if (!owner && !func)
                f.Own.insert(a);
        }
        if (!f.Def) // the main block's declarations of globals set them
            for (const QString &g : std::as_const(m_globals))
                f.Own.remove(g);
        for (const QString &v : std::as_const(f.Own))
            m_owners.insert(keyOf(&f, v), &f);
        for (Fn *c : f.Children)
            ownVariables(*c);
    }

    // What a name means from inside f: a variable (owner) or a declared
    // function (func), the nearest enclosing one first; both null: a global,
    // a library function, or unknown.
    static void lookup(Fn *f, const QString &upperName, Fn *&owner, Fn *&func)
    {
        owner = func = nullptr;
        for (Fn *s = f; s; s = s->Parent) {
            if (s->Own.contains(upperName)) {
                owner = s;
                return;
            }
            if (Fn *d = s->Decls.value(upperName)) {
                func = d;
                return;
            }
        }
    }

    void directNeeds(Fn &f)
    {
        for (const QString &n : std::as_const(f.Used)) {
            Fn *owner, *func;
            lookup(&f, n, owner, func);
            if (owner && owner != &f)
                f.Needs.insert(keyOf(owner, n));
            if (func && std::find(f.Refs.begin(), f.Refs.end(), func) == f.Refs.end())
                f.Refs.push_back(func);
        }
        for (Fn *c : f.Children)
            if (c->IsExpression())
                f.Refs.push_back(c); // written in f's body as a value
    }

    // --- rewriting -------------------------------------------------------------

    bool isCell(const Fn *owner, const QString &upperName) const
    {
        return m_cells.contains(keyOf(owner, upperName));
    }

    // How f names the cell of a variable: its own variable holds it; a
    // received one is a parameter no script can spell.
    QString cellName(const Fn &f, const QString &key) const
    {
        const Fn *owner = m_owners.value(key);
        const QString n = key.mid(key.indexOf(u':') + 1);
        const QString spelled = owner->Spelled.value(n, n);
        if (owner == &f)
            return spelled;
        return spelled + u'@' + (owner->Def ? owner->Lifted : QStringLiteral("main"));
    }

    // The cells g takes, in the order of its leading parameters.
    static QStringList orderedNeeds(const Fn &g)
    {
        QStringList keys(g.Needs.begin(), g.Needs.end());
        std::sort(keys.begin(), keys.end());
        return keys;
    }

    static ExprP nameExpr(const QString &n, Pos at)
    {
        auto e = std::make_unique<Expr>();
        e->Kind = EK::Name;
        e->Name = n;
        e->At = at;
        return e;
    }

    // cell[0]: the variable's value.
    static ExprP element(const QString &cell, Pos at)
    {
        auto ix = std::make_unique<Expr>();
        ix->Kind = EK::Index;
        ix->At = at;
        ix->A = nameExpr(cell, at);
        auto zero = std::make_unique<Expr>();
        zero->Kind = EK::Literal;
        zero->Lit = Value(0);
        zero->At = at;
        ix->Args.push_back(std::move(zero));
        return ix;
    }

    std::vector<ExprP> cellArgs(const Fn &f, const Fn &g, Pos at) const
    {
        std::vector<ExprP> out;
        for (const QString &k : orderedNeeds(g))
            out.push_back(nameExpr(cellName(f, k), at));
        return out;
    }

    // The cell holding the variable a name means in f, or empty.
    QString cellOf(Fn &f, const QString &n) const
    {
        Fn *owner, *func;
        lookup(&f, up(n), owner, func);
        if (!owner || !isCell(owner, up(n)))
            return {};
        return cellName(f, keyOf(owner, up(n)));
    }

    void rewriteExpr(Fn &f, ExprP &root)
    {
        std::vector<ExprP *> pending{&root};
        while (!pending.empty()) {
            ExprP *slot = pending.back();
            pending.pop_back();
            if (!*slot)
                continue;
            Expr &e = **slot;
            if (e.Kind == EK::Call && e.A && e.A->Kind == EK::Name) {
                Fn *owner, *func;
                lookup(&f, up(e.A->Name), owner, func);
                if (func) {
                    // a direct call passes the cells the callee needs
                    e.A->Name = func->Lifted;
                    std::vector<ExprP> args = cellArgs(f, *func, e.At);
                    const size_t first = args.size();
                    for (ExprP &a : e.Args)
                        args.push_back(std::move(a));
                    e.Args = std::move(args);
                    for (size_t i = first; i < e.Args.size(); ++i)
                        pending.push_back(&e.Args[i]);
                    continue;
                }
            }
            if (e.Kind == EK::Name) {
                Fn *owner, *func;
                lookup(&f, up(e.Name), owner, func);
                if (func) { // the function as a value: made with its cells
                    auto lit = std::make_unique<Expr>();
                    lit->Kind = EK::FuncLit;
                    lit->At = e.At;
                    lit->Name = func->Lifted;
                    lit->Args = cellArgs(f, *func, e.At);
                    *slot = std::move(lit);
                } else if (const QString cell = cellOf(f, e.Name); !cell.isEmpty()) {
                    *slot = element(cell, e.At);
                }
                continue;
            }
            if (e.Kind == EK::FuncLit) {
                for (Fn *c : f.Children) {
                    if (c->IsExpression() && c->Def->Name == e.Name) {
                        e.Args = cellArgs(f, *c, e.At);
                        break;
                    }
                }
                continue;
            }
            for (ExprP *c : {&e.A, &e.B, &e.C})
                pending.push_back(c);
            for (ExprP &a : e.Args)
                pending.push_back(&a);
        }
    }

    // cell := [value]: a binding of its own, which function values made
    // before keep seeing with the value it had.
    static StmtP freshCell(const QString &cell, ExprP value, Pos at)
    {
        auto lit = std::make_unique<Expr>();
        lit->Kind = EK::ArrayLit;
        lit->At = at;
        if (!value) {
            value = std::make_unique<Expr>();
            value->Kind = EK::Literal;
            value->At = at;
        }
        lit->Args.push_back(std::move(value));
        auto assign = std::make_unique<Stmt>();
        assign->Kind = SK::Assign;
        assign->At = at;
        assign->Target = nameExpr(cell, at);
        assign->A = std::move(lit);
        return assign;
    }

    // The let/const declarations in a list of statements that live in cells
    // (declarations come wrapped in a block of their own).
    QStringList scopedCells(Fn &f, const std::vector<StmtP> &body)
    {
        QStringList out;
        auto take = [&](const Stmt &d) {
            if (d.Kind == SK::VarDecl && d.Scoped && isCell(&f, up(d.Name)))
                out << d.Name;
        };
        for (const StmtP &c : body) {
            if (!c)
                continue;
            take(*c);
            if (c->Kind == SK::Block && isDeclarationList(*c))
                for (const StmtP &d : c->Body)
                    take(*d);
        }
        return out;
    }

    static bool isDeclarationList(const Stmt &b)
    {
        return !b.Body.empty() && std::all_of(b.Body.begin(), b.Body.end(), [](const StmtP &d) {
            return d && d->Kind == SK::VarDecl;
        });
    }

    // A loop or handler variable held in a cell: the statement gets a plain
    // variable and its body starts by storing it into the cell (into a cell
    // of its own for each pass when the variable is a let).
    StmtP storeFirst(const QString &cell, const QString &plain, StmtP body, Pos at, bool fresh = false)
    {
        StmtP assign;
        if (fresh) {
            assign = freshCell(cell, nameExpr(plain, at), at);
        } else {
            assign = std::make_unique<Stmt>();
            assign->Kind = SK::Assign;
            assign->At = at;
            assign->Target = element(cell, at);
            assign->A = nameExpr(plain, at);
        }
        auto block = std::make_unique<Stmt>();
        block->Kind = SK::Block;
        block->At = at;
        block->Body.push_back(std::move(assign));
        if (body)
            block->Body.push_back(std::move(body));
        return block;
    }

    void rewriteStmt(Fn &f, Stmt *s)
    {
        if (!s)
            return;
        if (s->Kind == SK::VarDecl && isCell(&f, up(s->Name))) {
            // the cell exists from the function's start: the declaration stores
            if (s->A) {
                rewriteExpr(f, s->A);
                s->Kind = SK::Assign;
                s->Target = element(s->Name, s->At);
            } else {
                s->Kind = SK::Empty;
            }
            return;
        }
        if ((s->Kind == SK::ForEach || s->Kind == SK::For) && !s->Name.isEmpty()) {
            if (const QString cell = cellOf(f, s->Name); !cell.isEmpty()) {
                const QString plain = QStringLiteral("%1@each%2").arg(s->Name).arg(++m_hidden);
                s->Name = plain;
                s->TypeName.clear();
                rewriteStmt(f, s->Body[0].get());
                for (ExprP *e : {&s->Target, &s->A, &s->B, &s->C})
                    rewriteExpr(f, *e);
                s->Body[0] = storeFirst(cell, plain, std::move(s->Body[0]), s->At, s->Scoped);
                return;
            }
        }
        if (s->Kind == SK::CFor) {
            // for (let i = …; …; i++): each pass has its own i. Before the step
            // the next pass's binding starts as a copy of this one's, so a
            // function made in the body keeps the value of its pass.
            const QStringList lets = scopedCells(f, s->Body[0]->Body);
            for (StmtP &b : s->Body)
                rewriteStmt(f, b.get());
            rewriteExpr(f, s->A);
            for (const QString &v : lets) {
                const QString cell = cellOf(f, v);
                s->Body[0]->Body.insert(s->Body[0]->Body.begin(), freshCell(cell, nullptr, s->At));
                s->Body[1]->Body.insert(s->Body[1]->Body.begin(), freshCell(cell, element(cell, s->At), s->At));
            }
            return;
        }
        if (s->Kind == SK::Block && s != f.Body && !isDeclarationList(*s)) {
            // entering a block makes its let variables anew (a loop body's
            // variables are new in every pass)
            const QStringList lets = scopedCells(f, s->Body);
            for (StmtP &b : s->Body)
                rewriteStmt(f, b.get());
            for (qsizetype i = lets.size() - 1; i >= 0; --i)
                s->Body.insert(s->Body.begin(), freshCell(cellOf(f, lets[i]), nullptr, s->At));
            return;
        }
        for (ExprP *e : {&s->Target, &s->A, &s->B, &s->C})
            rewriteExpr(f, *e);
        for (StmtP &b : s->Body)
            rewriteStmt(f, b.get());
        for (CaseBranch &br : s->Branches) {
            for (ExprP &l : br.Labels)
                rewriteExpr(f, l);
            for (StmtP &b : br.Body)
                rewriteStmt(f, b.get());
        }
        for (Handler &h : s->Handlers) {
            rewriteStmt(f, h.Body.get());
            if (h.Var.isEmpty())
                continue;
            if (const QString cell = cellOf(f, h.Var); !cell.isEmpty()) {
                const QString plain = QStringLiteral("%1@caught%2").arg(h.Var).arg(++m_hidden);
                h.Body = storeFirst(cell, plain, std::move(h.Body), h.At);
                h.Var = plain;
            }
        }
    }

    void rewriteFunction(Fn &f)
    {
        rewriteStmt(f, f.Body);
        // the function's own cells, made first (a parameter's holds its value)
        QStringList own;
        for (const QString &v : std::as_const(f.Own))
            if (isCell(&f, v))
                own << v;
        std::sort(own.begin(), own.end());
        std::vector<StmtP> prologue;
        for (const QString &v : std::as_const(own)) {
            const QString spelled = f.Spelled.value(v, v);
            const Pos at = f.Body ? f.Body->At : Pos{};
            auto cell = std::make_unique<Expr>();
            cell->Kind = EK::ArrayLit;
            cell->At = at;
            bool isParam = false;
            if (f.Def)
                for (const ParamDef &p : f.Def->Params)
                    isParam = isParam || up(p.Name) == v;
            if (isParam) {
                cell->Args.push_back(nameExpr(spelled, at));
                auto s = std::make_unique<Stmt>();
                s->Kind = SK::Assign;
                s->At = at;
                s->Target = nameExpr(spelled, at);
                s->A = std::move(cell);
                prologue.push_back(std::move(s));
            } else {
                auto undefined = std::make_unique<Expr>();
                undefined->Kind = EK::Literal;
                undefined->At = at;
                cell->Args.push_back(std::move(undefined));
                auto s = std::make_unique<Stmt>();
                s->Kind = SK::VarDecl;
                s->At = at;
                s->Name = spelled;
                s->A = std::move(cell);
                prologue.push_back(std::move(s));
            }
        }
        if (!prologue.empty() && f.Body) {
            if (f.Body->Kind != SK::Block) {
                auto block = std::make_unique<Stmt>();
                block->Kind = SK::Block;
                block->At = f.Body->At;
                // the body is owned by its RoutineDef or the program: wrap in place
                std::swap(*block, *f.Body);
                prologue.push_back(std::move(block));
                f.Body->Kind = SK::Block;
                f.Body->Body = std::move(prologue);
            } else {
                for (StmtP &s : f.Body->Body)
                    prologue.push_back(std::move(s));
                f.Body->Body = std::move(prologue);
            }
        }
        if (f.Def && f.Parent) {
            std::vector<ParamDef> params;
            for (const QString &k : orderedNeeds(f)) {
                ParamDef p;
                p.Name = cellName(f, k);
                params.push_back(std::move(p));
            }
            for (ParamDef &p : f.Def->Params)
                params.push_back(std::move(p));
            f.Def->Params = std::move(params);
            f.Def->Name = f.Lifted;
        }
    }

    // Inner functions leave their outer ones, innermost first.
    static void extract(Fn &f, std::vector<RoutineDef> &out)
    {
        for (Fn *c : f.Children) {
            extract(*c, out);
            out.push_back(std::move(*c->Def));
        }
        if (f.Def)
            f.Def->Nested.clear();
    }

    ProgramDef &m_prog;
    QSet<QString> m_globals;
    std::vector<std::unique_ptr<Fn>> m_fns;
    std::vector<Fn *> m_all;
    QHash<QString, Fn *> m_owners; // variable key -> its function
    QSet<QString> m_cells;         // keys of variables that live in cells
    int m_hidden = 0;
};

} // namespace

void LiftClosures(ProgramDef &prog)
{
    Lifter(prog).run();
}

} // namespace zor::script
