// Statements: blocks, assignments, conditionals, loops and case. Every loop
// pass counts against the run's budget (one decrement, the slow check only
// when it runs out).
#include <ZorCompCore/script/Nodes_p.h>

#include <typeinfo>

namespace zor::script {

namespace {

inline void markError(SNode *s)
{
    // The innermost statement names the position of a runtime error.
    if (!t_error.Set && s) {
        t_error.Set = true;
        t_error.At = s->At;
    }
}

// A statement on its own where a block of one would run it: the caller
// marks an error's position as the block would have.
inline Flow execMarked(SNode *s, Value *fp)
{
    try {
        return s->exec(fp);
    } catch (const Exception &) {
        markError(s);
        throw;
    } catch (const std::bad_alloc &) {
        markError(s);
        ThrowOutOfMemory();
    }
}

} // namespace

Flow BlockNode::exec(Value *fp)
{
    SNode *s = nullptr;
    try {
        for (auto &st : Body) {
            s = st.get();
            const Flow f = s->exec(fp);
            if (f != Flow::Normal)
                return f;
        }
    } catch (const Exception &) {
        markError(s);
        throw;
    } catch (const std::bad_alloc &) {
        markError(s);
        ThrowOutOfMemory();
    }
    return Flow::Normal;
}

namespace {

// A block of a routine that uses On Error Resume Next: while the routine's
// flag is set, a statement that fails is left and the next one runs.
struct ResumeBlockNode : SNode
{
    std::vector<SP> Body;
    int Slot;
    Flow exec(Value *fp) override
    {
        for (auto &st : Body) {
            try {
                const Flow f = st->exec(fp);
                if (f != Flow::Normal)
                    return f;
            } catch (const EScriptAborted &) {
                throw;
            } catch (const Exception &) {
                if (!fp[Slot].ToBool()) {
                    markError(st.get());
                    throw;
                }
                t_error.Set = false;
            } catch (const std::bad_alloc &) {
                if (!fp[Slot].ToBool()) {
                    markError(st.get());
                    ThrowOutOfMemory();
                }
                t_error.Set = false;
            }
        }
        return Flow::Normal;
    }
};

struct EmptyNode : SNode
{
    Flow exec(Value *) override { return Flow::Normal; }
};

struct ExprStmtNode : SNode
{
    EP E;
    Flow exec(Value *fp) override
    {
        E->eval(fp);
        return Flow::Normal;
    }
};

struct AssignNode : SNode
{
    EP Target, Rhs;
    Flow exec(Value *fp) override
    {
        Target->store(fp, Rhs->eval(fp));
        return Flow::Normal;
    }
};

struct AssignLocalNode : SNode
{
    int Slot;
    TK Type;
    EP Rhs;
    Flow exec(Value *fp) override
    {
        fp[Slot] = Coerce(Rhs->eval(fp), Type);
        return Flow::Normal;
    }
};

// An integer into an Integer variable: the slot is updated in place.
struct IntAssignNode : SNode
{
    EP Target; // LocalNode, RefNode or GlobalNode of an Integer variable
    Place At_;
    EP Rhs;
    Flow exec(Value *fp) override
    {
        const qint64 v = Rhs->evalInt(fp);
        Value *p = At_.at(fp);
        if (p && p->k == VK::Int)
            p->i = v;
        else
            Target->store(fp, Value(v));
        return Flow::Normal;
    }
};

// x := x + e, updated in place: strings grow without being copied.
struct AppendNode : SNode
{
    EP Target, Rhs;
    Place At_;
    TK Type;
    BinaryFn AddFn;
    bool RhsInt = false;
    Flow exec(Value *fp) override
    {
        if (RhsInt) {
            const qint64 v = Rhs->evalInt(fp);
            Value *p = At_.at(fp);
            if (p && p->k == VK::Int) {
                p->i = qint64(quint64(p->i) + quint64(v)); // Integer variables wrap around
                return Flow::Normal;
            }
            Target->store(fp, AddFn(Target->eval(fp), Value(v)));
            return Flow::Normal;
        }
        Value r = Rhs->eval(fp);
        Value *p = At_.at(fp);
        if (!p) {
            Target->store(fp, AddFn(Target->eval(fp), r));
            return Flow::Normal;
        }
        qint64 sum;
        if (IsIntKind(Type) && p->k == VK::Int && r.k == VK::Int) {
            p->i = qint64(quint64(p->i) + quint64(r.i)); // Integer variables wrap around
        } else if (p->k == VK::Int && r.k == VK::Int && !__builtin_add_overflow(p->i, r.i, &sum)) {
            p->i = sum;
        } else if (p->k == VK::Str && r.k == VK::Str) {
            CheckSize((p->s.size() + r.s.size()) * qsizetype(sizeof(QChar)));
            p->s.append(r.s);
        } else {
            *p = Coerce(AddFn(*p, r), Type);
        }
        return Flow::Normal;
    }
};

struct IfNode : SNode
{
    EP Cond;
    SP Then, Else;
    Flow exec(Value *fp) override
    {
        if (Cond->evalBool(fp))
            return execMarked(Then.get(), fp);
        return Else ? execMarked(Else.get(), fp) : Flow::Normal;
    }
};

// if … else if … else: the else-if branches are a list, however many.
struct IfChainNode : SNode
{
    std::vector<EP> Conds;
    std::vector<SP> Thens;
    SP Else;
    Flow exec(Value *fp) override
    {
        const size_t n = Conds.size();
        for (size_t i = 0; i < n; ++i)
            if (Conds[i]->evalBool(fp))
                return Thens[i]->exec(fp);
        return Else ? Else->exec(fp) : Flow::Normal;
    }
};

struct WhileNode : SNode
{
    EP Cond;
    SP Body;
    qint64 Weight;
    Flow exec(Value *fp) override
    {
        while (Cond->evalBool(fp)) {
            Step(Weight);
            const Flow f = execMarked(Body.get(), fp);
            if (f == Flow::Break)
                break;
            if (f == Flow::Exit)
                return f;
        }
        return Flow::Normal;
    }
};

// repeat … until Cond, or do … while Cond (Negate).
struct RepeatNode : SNode
{
    EP Cond;
    SP Body;
    bool Negate;
    qint64 Weight;
    Flow exec(Value *fp) override
    {
        for (;;) {
            Step(Weight);
            const Flow f = execMarked(Body.get(), fp);
            if (f == Flow::Break)
                break;
            if (f == Flow::Exit)
                return f;
            if (Cond->evalBool(fp) != Negate)
                break;
        }
        return Flow::Normal;
    }
};

struct ForNode : SNode
{
    EP Var, From, To, Step_;
    Place At_;
    SP Body;
    bool Down;
    qint64 Weight;
    Flow exec(Value *fp) override
    {
        qint64 i = From->eval(fp).ToInt();
        const qint64 limit = To->eval(fp).ToInt();
        const qint64 step = Step_ ? Step_->eval(fp).ToInt() : (Down ? -1 : 1);
        if (step == 0)
            throw EfsScriptError(QStringLiteral("Step of a for loop must not be zero"));
        while (step > 0 ? i <= limit : i >= limit) {
            Step(Weight);
            Value *p = At_.at(fp);
            if (p && p->k == VK::Int)
                p->i = i;
            else if (p)
                *p = Value(i);
            else
                Var->store(fp, Value(i));
            const Flow f = execMarked(Body.get(), fp);
            if (f == Flow::Break)
                break;
            if (f == Flow::Exit)
                return f;
            if (__builtin_add_overflow(i, step, &i))
                break;
        }
        return Flow::Normal;
    }
};

struct CForNode : SNode
{
    SP Init, StepStmt, Body;
    EP Cond;
    qint64 Weight;
    Flow exec(Value *fp) override
    {
        Init->exec(fp);
        for (;;) {
            if (Cond && !Cond->evalBool(fp))
                break;
            Step(Weight);
            const Flow f = execMarked(Body.get(), fp);
            if (f == Flow::Break)
                break;
            if (f == Flow::Exit)
                return f;
            StepStmt->exec(fp);
        }
        return Flow::Normal;
    }
};

struct CaseLabel
{
    EP Lo, Hi; // Hi set: a range
    Op Rel = Op::Eq; // Basic's "Case Is > 5": the selector against Lo
};

bool relationHolds(Op rel, int c)
{
    if (c == 2)
        return false; // unordered (null)
    switch (rel) {
    case Op::Ne: return c != 0;
    case Op::Lt: return c < 0;
    case Op::Le: return c <= 0;
    case Op::Gt: return c > 0;
    case Op::Ge: return c >= 0;
    default: return c == 0;
    }
}

struct CaseNode : SNode
{
    EP Selector;
    std::vector<std::vector<CaseLabel>> Labels;
    std::vector<SP> Bodies; // one per label list; the last is the else part
    bool FallThrough;       // C switch

    bool matches(const std::vector<CaseLabel> &labels, const Value &v, Value *fp)
    {
        for (const CaseLabel &l : labels) {
            if (l.Hi) {
                const int lo = Compare(l.Lo->eval(fp), v), hi = Compare(v, l.Hi->eval(fp));
                if ((lo == -1 || lo == 0) && (hi == -1 || hi == 0))
                    return true;
            } else if (relationHolds(l.Rel, Compare(v, l.Lo->eval(fp)))) {
                return true;
            }
        }
        return false;
    }

    Flow exec(Value *fp) override
    {
        const Value v = Selector->eval(fp);
        size_t start = Bodies.size();
        for (size_t i = 0; i < Labels.size(); ++i) {
            if (matches(Labels[i], v, fp)) {
                start = i;
                break;
            }
        }
        if (start == Bodies.size()) {
            // no label matched: the else part (Pascal) or the default label (C)
            if (!FallThrough)
                return Bodies.back() ? Bodies.back()->exec(fp) : Flow::Normal;
            for (size_t i = 0; i < Labels.size(); ++i) {
                if (Labels[i].empty()) {
                    start = i;
                    break;
                }
            }
            if (start == Bodies.size())
                return Flow::Normal;
        }
        if (!FallThrough)
            return Bodies[start]->exec(fp);
        for (size_t i = start; i < Labels.size(); ++i) {
            const Flow f = Bodies[i]->exec(fp);
            if (f == Flow::Break)
                return Flow::Normal;
            if (f != Flow::Normal)
                return f;
        }
        return Flow::Normal;
    }
};

struct ExitNode : SNode
{
    EP V;
    int Slot = -1;
    TK Type = TK::Any;
    Flow exec(Value *fp) override
    {
        if (V) {
            Value v = V->eval(fp);
            if (Slot >= 0)
                fp[Slot] = Coerce(std::move(v), Type);
        }
        return Flow::Exit;
    }
};

struct JumpNode : SNode
{
    Flow F;
    Flow exec(Value *) override { return F; }
};

// int a[n], int m[r][c] (arrays of arrays), int b[n] = {…} (the list, filled
// up to n with default elements).
struct NewArrayNode : ENode
{
    std::vector<EP> Sizes;
    EP Init;
    TK Elem;

    Value build(const qint64 *sizes, size_t dims, qint64 &total)
    {
        const qint64 n = sizes[0];
        total = n > 0 && total > 0 ? total * n : 0;
        if (n < 0 || n > 10'000'000 || total > 10'000'000)
            rangeError();
        CheckSize(total * qsizetype(sizeof(Value)));
        Value a = Value::NewArray(0, int(n) - 1);
        ArrayBox *box = a.MutableArray();
        if (dims == 1) {
            const Value d = DefaultOf(Elem);
            for (Value &e : box->Items)
                e = d;
            return a;
        }
        for (size_t i = 0; i < size_t(n); ++i) {
            qint64 sub = total;
            StoreElement(box, i, build(sizes + 1, dims - 1, sub));
        }
        return a;
    }

    Value eval(Value *fp) override
    {
        qint64 sizes[8];
        for (size_t i = 0; i < Sizes.size(); ++i)
            sizes[i] = Sizes[i]->eval(fp).ToInt();
        if (Init) {
            Value a = Init->eval(fp);
            ArrayBox *box = a.MutableArray();
            if (box && sizes[0] > qint64(box->Items.size())) {
                if (sizes[0] > 10'000'000)
                    rangeError();
                CheckSize(sizes[0] * qsizetype(sizeof(Value)));
                box->Items.resize(size_t(sizes[0]), DefaultOf(Sizes.size() > 1 ? TK::Any : Elem));
            }
            return a;
        }
        qint64 total = 1;
        return build(sizes, Sizes.size(), total);
    }
};

// for x in a list: its elements, or its keys (indices of arrays and
// strings as text, names of object properties).
struct ForEachNode : SNode
{
    EP Var, List;
    SP Body;
    bool Keys;
    qint64 Weight;

    Flow pass(Value *fp, Value v)
    {
        Step(Weight);
        Var->store(fp, std::move(v));
        return execMarked(Body.get(), fp);
    }

    Flow exec(Value *fp) override
    {
        Value list = List->eval(fp);
        if (list.k == VK::Ref)
            list = *list.ref;
        Flow f = Flow::Normal;
        if (list.k == VK::Array) {
            // the array may change while the loop runs: bounds are read each pass
            const Value keep = list;
            const ArrayBox *a = keep.Array();
            for (size_t i = 0; i < a->Items.size() && f != Flow::Break && f != Flow::Exit; ++i)
                f = pass(fp, Keys ? Value(QString::number(qint64(a->Low) + qint64(i))) : Value(a->Items[i]));
        } else if (list.k == VK::Str) {
            for (qsizetype i = 0; i < list.s.size() && f != Flow::Break && f != Flow::Exit; ++i)
                f = pass(fp, Keys ? Value(QString::number(i)) : Value(QString(list.s[i])));
        } else if (MapBox *m = list.Map()) {
            std::vector<QString> names;
            for (const auto &p : m->Properties())
                names.push_back(p.first);
            for (size_t i = 0; i < names.size() && f != Flow::Break && f != Flow::Exit; ++i) {
                const Value *v = m->Find(names[i]);
                if (!v)
                    continue;
                f = pass(fp, Keys ? Value(names[i]) : *v);
            }
        } else if (list.k != VK::Null && list.k != VK::Empty) {
            throw EfsScriptError(QStringLiteral("Array type required"));
        }
        return f == Flow::Exit ? f : Flow::Normal;
    }
};

bool sameName(const Expr &a, const Expr &b)
{
    return a.Kind == EK::Name && b.Kind == EK::Name && a.Name.compare(b.Name, Qt::CaseInsensitive) == 0;
}

bool isRangeLabel(const Expr &e)
{
    return e.A && e.B && e.At.Line == e.A->At.Line && e.At.Col == e.A->At.Col;
}

// Statements a loop pass or a call counts: those directly in its body.
qint64 weightOf(const Stmt &s)
{
    return s.Kind == SK::Block ? std::max<qint64>(1, qint64(s.Body.size())) : 1;
}

} // namespace

SP Compiler::block(const Stmt &s)
{
    std::vector<SP> body;
    if (s.Kind == SK::Block) {
        for (const StmtP &st : s.Body)
            if (st)
                body.push_back(stmt(*st));
    } else {
        body.push_back(stmt(s));
    }
    if (m_scope && m_scope->ResumeSlot >= 0) {
        auto b = node<ResumeBlockNode>(s.At);
        b->Body = std::move(body);
        b->Slot = m_scope->ResumeSlot;
        return b;
    }
    auto b = node<BlockNode>(s.At);
    b->Body = std::move(body);
    return b;
}

SP Compiler::stmt(const Stmt &s)
{
    if (!StackRoomLeft())
        compileError(QStringLiteral("Nesting too deep"), s.At);
    switch (s.Kind) {
    case SK::Block: return block(s);
    case SK::Empty: return node<EmptyNode>(s.At);
    case SK::ExprStmt: {
        auto n = node<ExprStmtNode>(s.At);
        n->E = expr(*s.A);
        return n;
    }
    case SK::Assign: return assignment(s);
    case SK::VarDecl: return varDecl(s);
    case SK::If: return ifStatement(s);
    case SK::While: {
        auto n = node<WhileNode>(s.At);
        n->Cond = condition(*s.A);
        n->Body = loopBody(*s.Body[0], n->Weight);
        return n;
    }
    case SK::Repeat: {
        auto n = node<RepeatNode>(s.At);
        n->Body = loopBody(*s.Body[0], n->Weight);
        n->Cond = condition(*s.A);
        n->Negate = s.Negate;
        return n;
    }
    case SK::For: {
        auto n = node<ForNode>(s.At);
        Expr var;
        var.Kind = EK::Name;
        var.Name = s.Name;
        var.At = s.At;
        n->Var = lvalue(var);
        n->At_ = Place::Of(n->Var.get());
        n->From = expr(*s.A);
        n->To = expr(*s.B);
        if (s.C)
            n->Step_ = expr(*s.C);
        n->Down = s.Down;
        n->Body = loopBody(*s.Body[0], n->Weight);
        return n;
    }
    case SK::CFor: {
        auto n = node<CForNode>(s.At);
        n->Init = block(*s.Body[0]);
        if (s.A)
            n->Cond = condition(*s.A);
        n->StepStmt = block(*s.Body[1]);
        n->Body = loopBody(*s.Body[2], n->Weight);
        return n;
    }
    case SK::ForEach: {
        auto n = node<ForEachNode>(s.At);
        n->List = expr(*s.A);
        if (!s.TypeName.isEmpty()) {
            const TK t = typeKind(s.TypeName);
            const int slot = localSlot(s.Name, t);
            m_scope->Names[s.Name.toUpper()].Type = t;
            n->Var = localNode({slot, false, t}, s.At);
        } else {
            Expr var;
            var.Kind = EK::Name;
            var.Name = s.Name;
            var.At = s.At;
            n->Var = lvalue(var);
        }
        n->Keys = s.Keys;
        n->Body = loopBody(*s.Body[0], n->Weight);
        return n;
    }
    case SK::Case:
    case SK::Switch: return caseStatement(s);
    case SK::TryExcept: return tryExcept(s);
    case SK::TryFinally: return tryFinally(s);
    case SK::Raise: return raise(s);
    case SK::OnError: return onError(s);
    case SK::With: return withStatement(s);
    case SK::Exit: {
        auto n = node<ExitNode>(s.At);
        if (s.A) {
            n->V = expr(*s.A);
            if (m_scope->R && m_scope->R->ResultSlot >= 0) {
                n->Slot = m_scope->R->ResultSlot;
                n->Type = m_scope->R->ResultType;
            }
        }
        return n;
    }
    case SK::Break:
    case SK::Continue: {
        if (m_loops == 0)
            compileError(QStringLiteral("BREAK or CONTINUE outside of loop"), s.At);
        auto n = node<JumpNode>(s.At);
        n->F = s.Kind == SK::Break ? Flow::Break : Flow::Continue;
        return n;
    }
    }
    compileError(QStringLiteral("Statement expected"), s.At);
}

SP Compiler::ifStatement(const Stmt &s)
{
    if (s.Branches.empty()) {
        auto n = node<IfNode>(s.At);
        n->Cond = condition(*s.A);
        n->Then = single(block(*s.Body[0]));
        if (s.Body.size() > 1 && s.Body[1])
            n->Else = single(block(*s.Body[1]));
        return n;
    }
    auto n = node<IfChainNode>(s.At);
    n->Conds.push_back(condition(*s.A));
    n->Thens.push_back(block(*s.Body[0]));
    for (const CaseBranch &br : s.Branches) {
        n->Conds.push_back(condition(*br.Labels[0]));
        n->Thens.push_back(block(*br.Body[0]));
    }
    if (s.Body.size() > 1 && s.Body[1])
        n->Else = block(*s.Body[1]);
    return n;
}

SP Compiler::caseStatement(const Stmt &s)
{
    auto n = node<CaseNode>(s.At);
    n->FallThrough = s.Kind == SK::Switch;
    n->Selector = expr(*s.A);
    if (n->FallThrough)
        ++m_loops; // break leaves the switch
    for (const CaseBranch &br : s.Branches) {
        std::vector<CaseLabel> labels;
        for (const ExprP &l : br.Labels) {
            CaseLabel cl;
            if (l->Kind == EK::Binary && !l->A) {
                // "Is <relation> value": the parser leaves the selector's side empty
                cl.Lo = expr(*l->B);
                cl.Rel = l->Oper;
            } else if (l->Kind == EK::Binary && l->Oper == Op::Le && !n->FallThrough && isRangeLabel(*l)) {
                cl.Lo = expr(*l->A);
                cl.Hi = expr(*l->B);
            } else {
                cl.Lo = expr(*l);
            }
            labels.push_back(std::move(cl));
        }
        n->Labels.push_back(std::move(labels));
        auto b = node<BlockNode>(s.At);
        for (const StmtP &st : br.Body)
            if (st)
                b->Body.push_back(stmt(*st));
        n->Bodies.push_back(std::move(b));
    }
    if (n->FallThrough)
        --m_loops;
    if (!n->FallThrough)
        n->Bodies.push_back(s.Body.empty() ? nullptr : block(*s.Body[0]));
    return n;
}

SP Compiler::loopBody(const Stmt &s, qint64 &weight)
{
    weight = weightOf(s);
    ++m_loops;
    SP b = single(block(s));
    --m_loops;
    return b;
}

// A block of one statement is that statement (its runner marks errors as
// the block would).
SP Compiler::single(SP b)
{
    if (typeid(*b) == typeid(BlockNode)) {
        auto *blk = static_cast<BlockNode *>(b.get());
        if (blk->Body.size() == 1)
            return std::move(blk->Body.front());
    }
    return b;
}

int Compiler::localSlot(const QString &name, TK type)
{
    const QString up = name.toUpper();
    auto it = m_scope->Names.find(up);
    if (it != m_scope->Names.end())
        return it->Slot;
    return m_scope->declare(up, type, false, DefaultOf(type));
}

SP Compiler::varDecl(const Stmt &s)
{
    const TK t = typeKind(s.TypeName);
    if (m_scope->RoutineUpper.isEmpty() && (s.A || s.B) && !m_scope->Names.contains(s.Name.toUpper())) {
        // a top-level declaration with an initialiser: sets the global
        Resolved r = resolve(s.Name);
        if (r.K == Resolved::RItem && r.Item->IsProgramItem() && isVariableItem(r.Item.get())) {
            auto n = node<AssignNode>(s.At);
            n->Target = globalNode(r.Item, s.At);
            n->Rhs = s.B ? newArray(s, t) : expr(*s.A);
            return n;
        }
    }
    const int slot = localSlot(s.Name, t);
    m_scope->Names[s.Name.toUpper()].Type = t;
    auto n = node<AssignLocalNode>(s.At);
    n->Slot = slot;
    n->Type = t;
    if (s.B) {
        // int a[10] / Dim a(9): an array of that many default elements
        n->Type = TK::Any;
        m_scope->Names[s.Name.toUpper()].Type = TK::Any;
        n->Rhs = newArray(s, t);
        return n;
    }
    if (s.A) {
        n->Rhs = expr(*s.A);
    } else {
        auto lit = node<LitNode>(s.At);
        lit->V = DefaultOf(t);
        n->Rhs = std::move(lit);
    }
    return n;
}

EP Compiler::newArray(const Stmt &s, TK elem)
{
    auto na = node<NewArrayNode>(s.At);
    na->Sizes.push_back(expr(*s.B));
    for (const ExprP &d : s.Dims)
        na->Sizes.push_back(expr(*d));
    if (s.A)
        na->Init = expr(*s.A);
    na->Elem = elem;
    return na;
}

SP Compiler::assignment(const Stmt &s)
{
    const Expr &target = *s.Target;
    // x := x + e on a variable: in place
    if (target.Kind == EK::Name && s.A->Kind == EK::Binary && s.A->Oper == Op::Add && sameName(target, *s.A->A)) {
        EP lv = lvalue(target);
        auto *global = dynamic_cast<GlobalNode *>(lv.get());
        if ((global && !global->ReadOnly) || dynamic_cast<LocalNode *>(lv.get()) || dynamic_cast<RefNode *>(lv.get())) {
            auto n = node<AppendNode>(s.At);
            n->Type = kindOfTarget(lv.get());
            n->At_ = Place::Of(lv.get());
            n->Target = std::move(lv);
            n->Rhs = expr(*s.A->B);
            n->AddFn = m_rules.Binary[int(Op::Add)];
            n->RhsInt = IsIntKind(n->Type) && n->Rhs->isInt();
            return n;
        }
    }
    EP lv = lvalue(target);
    if (lv->isInt() && IsIntKind(kindOfTarget(lv.get()))) {
        EP rhs = expr(*s.A);
        if (rhs->isInt()) {
            auto n = node<IntAssignNode>(s.At);
            n->At_ = Place::Of(lv.get());
            n->Target = std::move(lv);
            n->Rhs = std::move(rhs);
            return n;
        }
        auto n = node<AssignNode>(s.At);
        n->Target = std::move(lv);
        n->Rhs = std::move(rhs);
        return n;
    }
    if (auto *local = dynamic_cast<LocalNode *>(lv.get())) {
        auto n = node<AssignLocalNode>(s.At);
        n->Slot = local->Slot;
        n->Type = local->Type;
        n->Rhs = expr(*s.A);
        return n;
    }
    auto n = node<AssignNode>(s.At);
    n->Target = std::move(lv);
    n->Rhs = expr(*s.A);
    return n;
}

TK Compiler::kindOfTarget(ENode *n)
{
    if (auto *l = dynamic_cast<LocalNode *>(n))
        return l->Type;
    if (auto *r = dynamic_cast<RefNode *>(n))
        return r->Type;
    if (auto *g = dynamic_cast<GlobalNode *>(n))
        return g->Type;
    return TK::Any;
}

} // namespace zor::script
