// Routines declared inside routines. The compiler knows one level of frames,
// so a nested routine becomes a program routine of its own, under a name no
// script can spell ("Outer#Inner"), and reaches the outer locals it uses
// through var parameters in front of its own, which every call passes. Recursion and calls between
// nested routines keep working: a caller passes on the variables the callee
// needs, which makes them part of what the caller needs in turn.
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

// Every name an expression tree mentions. Walks with an explicit stack:
// operator chains of generated code are far deeper than the native stack.
void namesIn(const Expr *root, QSet<QString> &out)
{
    std::vector<const Expr *> pending{root};
    while (!pending.empty()) {
        const Expr *e = pending.back();
        pending.pop_back();
        if (!e)
            continue;
        if (e->Kind == EK::Name)
            out.insert(up(e->Name));
        for (const Expr *c : {e->A.get(), e->B.get(), e->C.get()})
            pending.push_back(c);
        for (const ExprP &a : e->Args)
            pending.push_back(a.get());
    }
}

// Statements nest no deeper than the parser's depth guard allows.
void namesIn(const Stmt *s, QSet<QString> &out)
{
    if (!s)
        return;
    if (!s->Name.isEmpty() && (s->Kind == SK::For || s->Kind == SK::ForEach))
        out.insert(up(s->Name));
    for (const Expr *e : {s->Target.get(), s->A.get(), s->B.get(), s->C.get()})
        if (e)
            namesIn(e, out);
    for (const StmtP &b : s->Body)
        namesIn(b.get(), out);
    for (const CaseBranch &br : s->Branches) {
        for (const ExprP &l : br.Labels)
            if (l)
                namesIn(l.get(), out);
        for (const StmtP &b : br.Body)
            namesIn(b.get(), out);
    }
    for (const Handler &h : s->Handlers)
        namesIn(h.Body.get(), out);
}

struct Lifted
{
    QString NewName;
    std::vector<QString> Captured; // outer names, in parameter order
};

using LiftMap = QHash<QString, Lifted>; // upper-case nested name -> its lifted form

ExprP nameExpr(const QString &name, Pos at)
{
    auto e = std::make_unique<Expr>();
    e->Kind = EK::Name;
    e->Name = name;
    e->At = at;
    return e;
}

// Points calls of nested routines at their lifted form and passes the
// captured variables; a bare name (a call without parentheses) becomes a call.
void rewrite(ExprP &root, const LiftMap &map)
{
    std::vector<ExprP *> pending{&root};
    while (!pending.empty()) {
        ExprP *slot = pending.back();
        pending.pop_back();
        if (!*slot)
            continue;
        Expr &e = **slot;
        if (e.Kind == EK::Call && e.A && e.A->Kind == EK::Name) {
            auto it = map.find(up(e.A->Name));
            if (it != map.end()) {
                e.A->Name = it->NewName;
                const size_t n = it->Captured.size();
                std::vector<ExprP> args;
                for (const QString &c : it->Captured)
                    args.push_back(nameExpr(c, e.At));
                for (ExprP &a : e.Args)
                    args.push_back(std::move(a));
                e.Args = std::move(args);
                for (size_t i = n; i < e.Args.size(); ++i)
                    pending.push_back(&e.Args[i]);
                continue;
            }
        }
        if (e.Kind == EK::Name) {
            auto it = map.find(up(e.Name));
            if (it != map.end()) {
                auto call = std::make_unique<Expr>();
                call->Kind = EK::Call;
                call->At = e.At;
                call->HasParens = true;
                for (const QString &c : it->Captured)
                    call->Args.push_back(nameExpr(c, e.At));
                call->A = std::move(*slot);
                call->A->Name = it->NewName;
                *slot = std::move(call);
                continue;
            }
        }
        for (ExprP *c : {&e.A, &e.B, &e.C})
            pending.push_back(c);
        for (ExprP &a : e.Args)
            pending.push_back(&a);
    }
}

void rewrite(Stmt *s, const LiftMap &map)
{
    if (!s)
        return;
    // "Name := value" assigns a function's result: the name stays.
    if (s->Target && s->Target->Kind != EK::Name)
        rewrite(s->Target, map);
    for (ExprP *e : {&s->A, &s->B, &s->C})
        rewrite(*e, map);
    for (StmtP &b : s->Body)
        rewrite(b.get(), map);
    for (CaseBranch &br : s->Branches) {
        for (ExprP &l : br.Labels)
            rewrite(l, map);
        for (StmtP &b : br.Body)
            rewrite(b.get(), map);
    }
    for (Handler &h : s->Handlers)
        rewrite(h.Body.get(), map);
}

QSet<QString> ownNames(const RoutineDef &r)
{
    QSet<QString> own;
    for (const ParamDef &p : r.Params)
        own.insert(up(p.Name));
    for (const VarDef &v : r.Locals)
        own.insert(up(v.Name));
    if (r.IsFunction)
        own.insert(QStringLiteral("RESULT"));
    return own;
}

// Lifts the routines nested in outer (their own nested ones first) into out.
void lift(RoutineDef &outer, std::vector<RoutineDef> &out)
{
    if (outer.Nested.empty())
        return;
    std::vector<RoutineDef> nested = std::move(outer.Nested);
    outer.Nested.clear();
    for (RoutineDef &n : nested)
        lift(n, out);

    // What the outer routine offers: its parameters and locals, with their types.
    QHash<QString, QString> offered; // upper name -> type name
    QHash<QString, QString> spelled; // upper name -> name as declared
    for (const ParamDef &p : outer.Params)
        offered.insert(up(p.Name), p.TypeName), spelled.insert(up(p.Name), p.Name);
    for (const VarDef &v : outer.Locals)
        offered.insert(up(v.Name), v.TypeName), spelled.insert(up(v.Name), v.Name);

    LiftMap map;
    for (const RoutineDef &n : nested)
        map.insert(up(n.Name), {outer.Name + u'#' + n.Name, {}});

    // Direct needs, then what callees need, until nothing changes.
    std::vector<QSet<QString>> needs(nested.size()), calls(nested.size()), own(nested.size());
    for (size_t i = 0; i < nested.size(); ++i) {
        QSet<QString> used;
        namesIn(nested[i].Body.get(), used);
        own[i] = ownNames(nested[i]);
        for (const QString &u : std::as_const(used)) {
            if (own[i].contains(u))
                continue;
            if (map.contains(u))
                calls[i].insert(u);
            else if (offered.contains(u))
                needs[i].insert(u);
        }
    }
    for (bool changed = true; changed;) {
        changed = false;
        for (size_t i = 0; i < nested.size(); ++i) {
            for (const QString &callee : std::as_const(calls[i])) {
                for (size_t j = 0; j < nested.size(); ++j) {
                    if (up(nested[j].Name) != callee)
                        continue;
                    for (const QString &v : std::as_const(needs[j]))
                        if (!own[i].contains(v) && !needs[i].contains(v))
                            needs[i].insert(v), changed = true;
                }
            }
        }
    }
    for (size_t i = 0; i < nested.size(); ++i) {
        QStringList names(needs[i].begin(), needs[i].end());
        std::sort(names.begin(), names.end());
        Lifted &l = map[up(nested[i].Name)];
        for (const QString &n : names)
            l.Captured.push_back(spelled.value(n));
    }

    rewrite(outer.Body.get(), map);
    for (size_t i = 0; i < nested.size(); ++i) {
        RoutineDef &n = nested[i];
        rewrite(n.Body.get(), map);
        const Lifted &l = map[up(n.Name)];
        // In front: parameters with defaults stay last.
        std::vector<ParamDef> params;
        for (const QString &c : l.Captured) {
            ParamDef p;
            p.Name = c;
            p.ByRef = true;
            p.TypeName = offered.value(up(c));
            params.push_back(std::move(p));
        }
        for (ParamDef &p : n.Params)
            params.push_back(std::move(p));
        n.Params = std::move(params);
        n.Name = l.NewName;
        out.push_back(std::move(n));
    }
}

} // namespace

void LiftNestedRoutines(ProgramDef &prog)
{
    std::vector<RoutineDef> lifted;
    for (RoutineDef &r : prog.Routines)
        lift(r, lifted);
    for (RoutineDef &r : lifted)
        prog.Routines.push_back(std::move(r));
}

} // namespace zor::script
