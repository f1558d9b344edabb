// Routines: the program's items and frames, calls of script routines, host
// methods and library functions, and the program that runs the main block.
#include <ZorCompCore/script/Nodes_p.h>

#include <ZorCompCore/script/Builtins_p.h>

namespace zor::script {

using namespace Qt::StringLiterals;

namespace {

// Evaluates the arguments of a call into Value slots: by-reference ones as
// references to the variable (or to a temporary when the argument is not one).
// Each call passes the native stack check (in Frame) and one budget step.
struct CallRoutineNode : ENode
{
    Routine *R;
    std::shared_ptr<Routine> Keep;
    std::vector<EP> Args;

    std::vector<char> IntArg; // argument i is an integer for an Integer value parameter
    // Every parameter is an Integer value given an integer argument: the
    // common call of numeric code, entered without looking at each one.
    bool AllInt = false;

    // Result is coerced on every store, so an Integer function returns an integer.
    bool isInt() const override { return IsIntKind(R->ResultType) && R->ResultSlot >= 0; }

    qint64 evalInt(Value *fp) override
    {
        Routine &r = *R;
        Frame f(r.FrameSize + r.NParams);
        if (AllInt)
            enterInts(f, fp);
        else
            enter(f, fp);
        r.Body->exec(f.Base);
        return intOf(f.Base[r.ResultSlot]);
    }

    Value eval(Value *fp) override
    {
        Routine &r = *R;
        Frame f(r.FrameSize + r.NParams);
        if (AllInt)
            enterInts(f, fp);
        else
            enter(f, fp);
        r.Body->exec(f.Base);
        return r.ResultSlot >= 0 ? std::move(f.Base[r.ResultSlot]) : Value();
    }

    void enterInts(Frame &f, Value *fp)
    {
        Step(R->Weight);
        Value *slot = f.Base;
        for (const EP &a : Args) {
            slot->i = a->evalInt(fp); // the slot is fresh
            slot->k = VK::Int;
            ++slot;
        }
        initLocals(*R, f.Base);
    }

    void enter(Frame &f, Value *fp)
    {
        Step(R->Weight);
        Routine &r = *R;
        const int n = int(Args.size());
        for (int i = 0; i < n; ++i) {
            if (IntArg[size_t(i)]) {
                f.Base[i].i = Args[size_t(i)]->evalInt(fp); // the slot is fresh
                f.Base[i].k = VK::Int;
            } else if (r.ByRef[size_t(i)]) {
                Value *p = Args[size_t(i)]->addr(fp);
                if (!p) {
                    p = &f.Base[r.FrameSize + i];
                    *p = Args[size_t(i)]->eval(fp);
                }
                f.Base[i] = Value::Reference(p);
            } else {
                f.Base[i] = Coerce(Args[size_t(i)]->eval(fp), r.ParamTypes[size_t(i)]);
            }
        }
        for (int i = n; i < r.NParams; ++i) {
            if (r.ByRef[size_t(i)]) {
                Value *p = &f.Base[r.FrameSize + i];
                *p = r.Defaults[size_t(i)];
                f.Base[i] = Value::Reference(p);
            } else {
                f.Base[i] = r.Defaults[size_t(i)];
            }
        }
        initLocals(r, f.Base);
    }
};

struct BuiltinNode : ENode
{
    const Builtin *B;
    std::vector<EP> Args;
    // Per argument: the literal it is, passed in place (library functions
    // only write arguments they take by reference); null: evaluated.
    std::vector<Value *> Literals;

    Value eval(Value *fp) override
    {
        const int n = int(Args.size());
        // only the temporaries a call needs are made (most calls take one or two)
        union Temps {
            Temps() {}
            ~Temps() {}
            Value V[8];
        } temps;
        int made = 0;
        struct Release
        {
            Temps &t;
            int &made;
            ~Release()
            {
                for (int i = 0; i < made; ++i)
                    t.V[i].~Value();
            }
        } release{temps, made};
        Value *ptrs[8];
        for (int i = 0; i < n; ++i) {
            Value *p = Literals[size_t(i)];
            if (!p && (B->RefMask & (1u << i)))
                p = Args[size_t(i)]->addr(fp);
            if (!p) {
                p = new (&temps.V[made]) Value(Args[size_t(i)]->eval(fp));
                ++made;
            }
            ptrs[i] = p;
        }
        Value r = B->Fn(ptrs, n);
        // what a library function builds is held to the host's ceiling too
        CheckedString(r);
        if (const ArrayBox *a = r.Array())
            CheckSize(qsizetype(a->Items.size()) * qsizetype(sizeof(Value)));
        return r;
    }
};

struct HostCallNode : ENode
{
    TfsMethodHelper *M;
    std::shared_ptr<TfsCustomVariable> Keep;
    std::vector<EP> Args;
    Value eval(Value *fp) override { return CallHost(M, nullptr, Args, fp); }
};

inline Value runBody(Routine &r, Frame &f)
{
    initLocals(r, f.Base);
    r.Body->exec(f.Base);
    return r.ResultSlot >= 0 ? std::move(f.Base[r.ResultSlot]) : Value();
}

} // namespace

void Compiler::run(ProgramDef &def, const std::shared_ptr<std::vector<std::shared_ptr<Routine>>> &set,
                   std::shared_ptr<Routine> &main)
{
    std::vector<std::shared_ptr<Routine>> &routines = *set;
    // Globals and constants first, so that every body sees all of them.
    for (VarDef &v : def.Globals) {
        checkNew(v.Name, v.At);
        auto item = std::make_shared<TfsVariable>(v.Name, fvtVariant, v.TypeName);
        item->SetIsProgramItem(true);
        if (v.IsConst) {
            item->SetIsReadOnly(true);
            item->SetRawValue(constant(*v.Init));
        } else {
            const TK t = typeKind(v.TypeName);
            Value init = initialValue(v, t);
            if (v.Init)
                init = Coerce(constant(*v.Init), t);
            item->SetRawValue(std::move(init));
        }
        m_globalTypes.insert(item.get(), v.IsArray ? TK::Any : typeKind(v.TypeName));
        m_script->Add(item);
    }
    // Routines: items and shells first, bodies next (calls may go forward).
    std::vector<std::pair<RoutineDef *, std::shared_ptr<Routine>>> shells;
    for (RoutineDef &rd : def.Routines) {
        checkNew(rd.Name, rd.At);
        auto r = std::make_shared<Routine>();
        r->Name = rd.Name;
        r->NParams = int(rd.Params.size());
        auto proc = std::make_shared<TfsProcVariable>(rd.Name, fvtVariant, rd.ResultType, rd.IsFunction);
        proc->SetIsProgramItem(true);
        for (ParamDef &p : rd.Params) {
            r->ByRef.push_back(p.ByRef);
            r->ParamTypes.push_back(typeKind(p.TypeName));
            auto param = std::make_shared<TfsParamItem>(p.Name, fvtVariant, p.TypeName, p.ByRef);
            if (p.Default) {
                const Value dv = constant(*p.Default);
                param->SetDefault(dv.ToVariant());
                r->Defaults.push_back(dv);
                r->HasDefault.push_back(true);
            } else {
                r->Defaults.push_back(DefaultOf(r->ParamTypes.back()));
                r->HasDefault.push_back(false);
            }
            proc->Add(param);
        }
        proc->SetEngineRoutine(std::shared_ptr<Routine>(set, r.get()), m_script);
        m_own.insert(r.get());
        m_script->Add(proc);
        shells.emplace_back(&rd, r);
        routines.push_back(r);
    }
    for (auto &[rd, r] : shells)
        compileRoutine(*rd, *r);

    main = std::make_shared<Routine>();
    main->Name = QStringLiteral("main");
    Scope scope;
    scope.R = main.get();
    m_scope = &scope;
    beginBody(*def.Main);
    main->Body = block(*def.Main);
    main->MainCount = int(def.Main->Body.size());
    main->FrameSize = scope.Count;
    main->Init = std::move(scope.Init);
    m_scope = nullptr;
}

void Compiler::checkNew(const QString &name, Pos at)
{
    if (TfsCustomVariable *old = m_script->FindLocal(name); old && old->IsProgramItem())
        compileError(QStringLiteral("Identifier redeclared: '%1'").arg(name), at);
}

Value Compiler::initialValue(const VarDef &v, TK t)
{
    if (!v.IsArray)
        return DefaultOf(t);
    if (v.ArrayHigh - v.ArrayLow > 10'000'000)
        compileError(QStringLiteral("Array too large"), v.At);
    const QString elemType = v.TypeName.mid(9); // after "array of "
    Value a = Value::NewArray(v.ArrayLow, v.ArrayHigh);
    const Value d = v.ElemInit ? constant(*v.ElemInit) : DefaultOf(typeKind(elemType));
    ArrayBox *box = a.MutableArray();
    for (size_t i = 0; i < box->Items.size(); ++i)
        StoreElement(box, i, d);
    return a;
}

// A constant expression, evaluated now (initial values, defaults, const).
Value Compiler::constant(const Expr &e)
{
    Scope *saved = m_scope;
    Scope none;
    m_scope = &none;
    EP n = expr(e);
    m_scope = saved;
    try {
        return n->eval(nullptr);
    } catch (const Exception &ex) {
        compileError(ex.Message(), e.At);
    }
}

void Compiler::compileRoutine(RoutineDef &rd, Routine &r)
{
    Scope scope;
    scope.R = &r;
    scope.RoutineUpper = rd.Name.toUpper();
    scope.NParams = int(rd.Params.size());
    for (size_t i = 0; i < rd.Params.size(); ++i) {
        const QString up = rd.Params[i].Name.toUpper();
        if (scope.Names.contains(up))
            compileError(QStringLiteral("Identifier redeclared: '%1'").arg(rd.Params[i].Name), rd.At);
        scope.declare(up, r.ParamTypes[i], rd.Params[i].ByRef, Value());
    }
    if (rd.IsFunction) {
        r.ResultType = typeKind(rd.ResultType);
        r.ResultSlot = scope.declare(QStringLiteral("RESULT"), r.ResultType, false, DefaultOf(r.ResultType));
    }
    m_scope = &scope;
    for (VarDef &v : rd.Locals) {
        const QString up = v.Name.toUpper();
        if (scope.Names.contains(up))
            compileError(QStringLiteral("Identifier redeclared: '%1'").arg(v.Name), v.At);
        if (v.IsConst) {
            const Value c = constant(*v.Init);
            scope.declare(up, TK::Any, false, c);
            continue;
        }
        const TK t = v.IsArray ? TK::Any : typeKind(v.TypeName);
        Value init = initialValue(v, t);
        if (v.Init)
            init = Coerce(constant(*v.Init), t);
        scope.declare(up, t, false, std::move(init));
    }
    beginBody(*rd.Body);
    r.Body = block(*rd.Body);
    r.Weight = 1 + (rd.Body->Kind == SK::Block ? qint64(rd.Body->Body.size()) : 1);
    r.FrameSize = scope.Count;
    r.Init = std::move(scope.Init);
    m_scope = nullptr;
}

TK Compiler::typeKind(const QString &typeName)
{
    const QString t = typeName.toUpper();
    static const QHash<QString, TK> known = {
        {u"INTEGER"_s, TK::Int}, {u"INT64"_s, TK::Int}, {u"LONGINT"_s, TK::Int}, {u"CARDINAL"_s, TK::Int},
        {u"BYTE"_s, TK::Int}, {u"WORD"_s, TK::Int}, {u"SMALLINT"_s, TK::Int}, {u"SHORTINT"_s, TK::Int},
        {u"LONGWORD"_s, TK::Int}, {u"INT"_s, TK::Int}, {u"LONG"_s, TK::Int}, {u"SHORT"_s, TK::Int},
        {u"DOUBLE"_s, TK::Float}, {u"EXTENDED"_s, TK::Float}, {u"SINGLE"_s, TK::Float},
        {u"REAL"_s, TK::Float}, {u"FLOAT"_s, TK::Float}, {u"CURRENCY"_s, TK::Float},
        {u"STRING"_s, TK::Str}, {u"ANSISTRING"_s, TK::Str}, {u"WIDESTRING"_s, TK::Str},
        {u"UNICODESTRING"_s, TK::Str}, {u"CHAR"_s, TK::Str}, {u"WIDECHAR"_s, TK::Str},
        {u"BOOLEAN"_s, TK::Bool}, {u"BOOL"_s, TK::Bool},
        {u"TDATETIME"_s, TK::Date}, {u"TDATE"_s, TK::Date}, {u"TTIME"_s, TK::Date},
    };
    if (t.isEmpty())
        return TK::Any;
    TK kind = TK::Any;
    auto it = known.find(t);
    if (it != known.end()) {
        kind = *it;
    } else if (TfsCustomVariable *item = m_script->Find(typeName)) {
        if (dynamic_cast<TfsClassVariable *>(item)) {
            kind = TK::Obj;
        } else if (item->TypeName() == u"@type") {
            switch (item->Typ()) {
            case fvtInt: kind = TK::Int; break;
            case fvtBool: kind = TK::Bool; break;
            case fvtFloat: kind = TK::Float; break;
            case fvtChar: case fvtString: kind = TK::Str; break;
            case fvtClass: kind = TK::Obj; break;
            default: break;
            }
        }
    }
    return kind == TK::Int ? m_rules.IntKind : kind;
}

EP Compiler::callRoutine(const std::shared_ptr<TfsCustomVariable> &item, const std::vector<ExprP> &argExprs, Pos at)
{
    auto *proc = static_cast<TfsProcVariable *>(item.get());
    std::shared_ptr<Routine> r = proc->EngineRoutine();
    if (!r)
        compileError(QStringLiteral("Routine '%1' is not compiled").arg(proc->Name()), at);
    if (int(argExprs.size()) > r->NParams)
        compileError(QStringLiteral("Too many actual parameters"), at);
    for (size_t i = argExprs.size(); i < size_t(r->NParams) && !m_rules.FunctionValues; ++i)
        if (!r->HasDefault[i])
            compileError(QStringLiteral("Not enough actual parameters"), at);
    auto n = node<CallRoutineNode>(at);
    n->R = r.get();
    if (!m_own.contains(r.get()))
        n->Keep = r; // another script's routine: keep its program alive
    n->Args = args(argExprs);
    n->AllInt = int(n->Args.size()) == r->NParams;
    for (size_t i = 0; i < n->Args.size(); ++i) {
        n->IntArg.push_back(!r->ByRef[i] && IsIntKind(r->ParamTypes[i]) && n->Args[i]->isInt());
        n->AllInt = n->AllInt && n->IntArg.back();
    }
    return n;
}

EP Compiler::callHostNode(const std::shared_ptr<TfsCustomVariable> &item, const std::vector<ExprP> &argExprs, Pos at)
{
    auto *m = static_cast<TfsMethodHelper *>(item.get());
    if (int(argExprs.size()) > m->GetParamsCount())
        compileError(QStringLiteral("Too many actual parameters"), at);
    for (int i = int(argExprs.size()); i < m->GetParamsCount(); ++i)
        if (!m->GetParam(i)->HasDefault())
            compileError(QStringLiteral("Not enough actual parameters"), at);
    auto n = node<HostCallNode>(at);
    n->M = m;
    n->Keep = item;
    n->Args = args(argExprs);
    return n;
}

EP Compiler::callBuiltin(const Builtin *b, const std::vector<ExprP> &argExprs, Pos at)
{
    const int n = int(argExprs.size());
    if (n < b->MinArgs)
        compileError(QStringLiteral("Not enough actual parameters"), at);
    if ((b->MaxArgs >= 0 && n > b->MaxArgs) || n > 8)
        compileError(QStringLiteral("Too many actual parameters"), at);
    auto bn = node<BuiltinNode>(at);
    bn->B = b;
    bn->Args = args(argExprs);
    for (size_t i = 0; i < bn->Args.size(); ++i) {
        auto *lit = dynamic_cast<LitNode *>(bn->Args[i].get());
        bn->Literals.push_back(lit && !(b->RefMask & (1u << i)) ? &lit->V : nullptr);
    }
    return bn;
}

// --- Program ------------------------------------------------------------------

struct Program::Private
{
    std::shared_ptr<std::vector<std::shared_ptr<Routine>>> Routines =
        std::make_shared<std::vector<std::shared_ptr<Routine>>>();
    std::shared_ptr<Routine> Main;
};

Program::Program() : d(std::make_unique<Private>()) {}
Program::~Program() = default;

std::unique_ptr<Program> Program::Compile(TfsScript *script, ProgramDef &def, Syntax syntax)
{
    std::unique_ptr<Program> p(new Program());
    Compiler c(script, syntax);
    c.run(def, p->d->Routines, p->d->Main);
    return p;
}

void Program::RunMain()
{
    Routine &m = *d->Main;
    Frame f(m.FrameSize);
    runBody(m, f);
}

int Program::MainStatementCount() const
{
    return d->Main ? d->Main->MainCount : 0;
}

Value Invoke(Routine &r, std::vector<Value> &args)
{
    Frame f(r.FrameSize + r.NParams);
    Step(r.Weight);
    for (int i = 0; i < r.NParams; ++i) {
        const bool given = size_t(i) < args.size();
        if (r.ByRef[size_t(i)]) {
            if (given && args[size_t(i)].k == VK::Ref) {
                f.Base[i] = args[size_t(i)];
            } else {
                Value *p = &f.Base[r.FrameSize + i];
                *p = given ? args[size_t(i)] : r.Defaults[size_t(i)];
                f.Base[i] = Value::Reference(p);
            }
        } else {
            f.Base[i] = given ? Coerce(args[size_t(i)], r.ParamTypes[size_t(i)]) : r.Defaults[size_t(i)];
        }
    }
    try {
        return runBody(r, f);
    } catch (const std::bad_alloc &) {
        ThrowOutOfMemory();
    }
}

int RoutineParamCount(const Routine &routine)
{
    return routine.NParams;
}

bool LastRuntimeErrorPos(int &line, int &col)
{
    if (!t_error.Set)
        return false;
    line = t_error.At.Line;
    col = t_error.At.Col;
    return true;
}

void ResetRuntimeErrorPos()
{
    t_error.Set = false;
}

} // namespace zor::script
