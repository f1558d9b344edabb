// Exceptions as objects: try/except with handlers by class, try/finally,
// raise and re-raise, and BasicScript's On Error Resume Next. A caught
// exception keeps the original C++ exception, so that re-raising it hands the
// host the class it raised.
#include <ZorCompCore/script/Nodes_p.h>

#include <ZorCompCore/script/Builtins_p.h>

namespace zor::script {

namespace {

// Ancestors of the library's exception classes, by name; classes a host
// registers on a script (AddScriptClass with an ancestor) extend the chain.
QString hostAncestor(const QString &cls)
{
    static const QHash<QString, QString> parents = [] {
        QHash<QString, QString> h;
        const char *const pairs[][2] = {
            {"EABORT", "Exception"}, {"ECONVERTERROR", "Exception"}, {"ELISTERROR", "Exception"},
            {"ESTRINGLISTERROR", "Exception"}, {"ESTREAMERROR", "Exception"}, {"EREADERROR", "EStreamError"},
            {"EWRITEERROR", "EStreamError"}, {"EFOPENERROR", "EStreamError"}, {"EFCREATEERROR", "EStreamError"},
            {"EASSERTIONFAILED", "Exception"}, {"EVARIANTERROR", "Exception"},
            {"EVARIANTTYPECASTERROR", "EVariantError"}, {"EVARIANTOVERFLOWERROR", "EVariantError"},
            {"EVARIANTBADINDEXERROR", "EVariantError"}, {"EVARIANTINVALIDOPERROR", "EVariantError"},
            {"EEXTERNAL", "Exception"}, {"EMATHERROR", "EExternal"}, {"EZERODIVIDE", "EMathError"},
            {"EINVALIDOP", "EMathError"}, {"EOVERFLOW", "EMathError"}, {"EINTERROR", "EExternal"},
            {"EDIVBYZERO", "EIntError"}, {"ERANGEERROR", "EIntError"}, {"EINTOVERFLOW", "EIntError"},
            {"EACCESSVIOLATION", "EExternal"}, {"ESTACKOVERFLOW", "EExternal"}, {"EINVALIDCAST", "Exception"},
            {"EINVALIDPOINTER", "Exception"}, {"EABSTRACTERROR", "Exception"},
            {"EARGUMENTEXCEPTION", "Exception"}, {"EARGUMENTOUTOFRANGEEXCEPTION", "EArgumentException"},
            {"ENOTSUPPORTEDEXCEPTION", "Exception"}, {"ENOTIMPLEMENTED", "Exception"},
            {"EINVALIDOPERATION", "Exception"}, {"ECOMPONENTERROR", "Exception"},
            {"EREGISTRYEXCEPTION", "Exception"}, {"EENCODINGERROR", "Exception"},
            {"EOUTOFMEMORY", "Exception"}, {"EOSERROR", "Exception"}, {"ERROR", "Exception"},
        };
        for (const auto &p : pairs)
            h.insert(QString::fromLatin1(p[0]), QString::fromLatin1(p[1]));
        return h;
    }();
    return parents.value(cls.toUpper());
}

QString ancestorOf(const QString &cls, const TfsScript *script)
{
    if (script) {
        if (auto *c = dynamic_cast<TfsClassVariable *>(script->Find(cls)); c && !c->Ancestor().isEmpty())
            return c->Ancestor();
    }
    return hostAncestor(cls);
}

struct ScriptHandler
{
    QString ClassName; // empty: every exception
    int VarSlot = -1;
    SP Body;
};

struct TryExceptNode : SNode
{
    SP Body, Else;
    std::vector<ScriptHandler> Handlers;
    int VarSlot = -1; // without handlers: the variable of the one handler (Else)
    TfsScript *Script;

    Flow exec(Value *fp) override
    {
        try {
            return Body->exec(fp);
        } catch (const EScriptAborted &) {
            throw; // the host ends the run: no script handler may keep it going
        } catch (const Exception &e) {
            return handle(fp, e);
        } catch (const std::bad_alloc &) {
            try {
                ThrowOutOfMemory();
            } catch (const Exception &e) {
                return handle(fp, e);
            }
        }
        return Flow::Normal;
    }

    // Runs inside the catch clause, so that "raise;" re-raises what was caught.
    Flow handle(Value *fp, const Exception &e)
    {
        t_error.Set = false; // handled: the next error gets its own position
        PushHandledException(e.Message(), QString::fromLatin1(e.ClassName()));
        struct Pop
        {
            ~Pop() { PopHandledException(); }
        } pop;
        if (Handlers.empty()) {
            if (VarSlot >= 0)
                fp[VarSlot] = CaughtException(e);
            return Else->exec(fp);
        }
        const QByteArray cls(e.ClassName());
        for (ScriptHandler &h : Handlers) {
            if (h.ClassName.isEmpty() || ExceptionIsA(cls, h.ClassName, Script)) {
                if (h.VarSlot >= 0)
                    fp[h.VarSlot] = CaughtException(e);
                return h.Body->exec(fp);
            }
        }
        if (Else)
            return Else->exec(fp);
        throw;
    }
};

struct TryFinallyNode : SNode
{
    SP Body, Finally;
    Flow exec(Value *fp) override
    {
        Flow f;
        try {
            f = Body->exec(fp);
        } catch (...) {
            Finally->exec(fp);
            throw;
        }
        const Flow g = Finally->exec(fp);
        return g != Flow::Normal ? g : f;
    }
};

struct RaiseNode : SNode
{
    EP Thrown; // null: re-raise
    Flow exec(Value *fp) override
    {
        if (!Thrown) {
            if (!std::current_exception())
                throw EfsScriptError(QStringLiteral("Re-raising an exception only allowed in exception handler"));
            throw;
        }
        const Value v = Thrown->eval(fp);
        if (const ExceptionBox *e = v.ExceptionData()) {
            if (e->Original)
                std::rethrow_exception(e->Original);
            throw EfsScriptError(e->Message, e->ClassName);
        }
        throw EfsScriptError(v.ToString(), "Exception");
    }
};

struct NewExceptionNode : ENode
{
    QByteArray ClassName;
    EP Message;
    Value eval(Value *fp) override
    {
        return Value::NewException(Message ? Message->eval(fp).ToString() : QString(), ClassName);
    }
};

struct OnErrorNode : SNode
{
    int Slot;
    bool Resume;
    Flow exec(Value *fp) override
    {
        fp[Slot] = Value(Resume);
        return Flow::Normal;
    }
};

bool usesOnError(const Stmt &s)
{
    if (s.Kind == SK::OnError)
        return true;
    for (const StmtP &b : s.Body)
        if (b && usesOnError(*b))
            return true;
    for (const CaseBranch &br : s.Branches)
        for (const StmtP &b : br.Body)
            if (b && usesOnError(*b))
                return true;
    for (const Handler &h : s.Handlers)
        if (h.Body && usesOnError(*h.Body))
            return true;
    return false;
}

} // namespace

Value CaughtException(const Exception &e)
{
    return Value::NewException(e.Message(), QByteArray(e.ClassName()), std::current_exception());
}

bool ExceptionIsA(const QByteArray &className, const QString &wanted, const TfsScript *script)
{
    QString cls = QString::fromLatin1(className);
    for (int depth = 0; depth < 64 && !cls.isEmpty(); ++depth) {
        if (cls.compare(wanted, Qt::CaseInsensitive) == 0)
            return true;
        const QString parent = ancestorOf(cls, script);
        if (!parent.isEmpty())
            cls = parent;
        else
            cls = cls.compare(u"Exception", Qt::CaseInsensitive) == 0 ? QString() : QStringLiteral("Exception");
    }
    return false;
}

// Names an exception class: the root, a library class, or a class the host
// registered as descending from one.
bool Compiler::isExceptionClass(const QString &name)
{
    if (name.compare(u"Exception", Qt::CaseInsensitive) == 0 || !hostAncestor(name).isEmpty())
        return true;
    QString cls = name;
    for (int depth = 0; depth < 64; ++depth) {
        auto *c = dynamic_cast<TfsClassVariable *>(m_script->Find(cls));
        if (!c || c->Ancestor().isEmpty())
            return false;
        cls = c->Ancestor();
        if (cls.compare(u"Exception", Qt::CaseInsensitive) == 0 || !hostAncestor(cls).isEmpty())
            return true;
    }
    return false;
}

EP Compiler::newException(const Expr &className, const std::vector<ExprP> &args, Pos at)
{
    if (args.size() > 1)
        compileError(QStringLiteral("Too many actual parameters"), at);
    auto n = node<NewExceptionNode>(at);
    n->ClassName = className.Name.toLatin1();
    if (!args.empty())
        n->Message = expr(*args[0]);
    return n;
}

SP Compiler::tryExcept(const Stmt &s)
{
    auto n = node<TryExceptNode>(s.At);
    n->Script = m_script;
    n->Body = block(*s.Body[0]);
    if (s.Handlers.empty()) {
        if (!s.Name.isEmpty())
            n->VarSlot = localSlot(s.Name, TK::Any);
        n->Else = block(*s.Body[1]);
        return n;
    }
    for (const Handler &h : s.Handlers) {
        ScriptHandler sh;
        sh.ClassName = h.ClassName;
        if (!h.Var.isEmpty())
            sh.VarSlot = localSlot(h.Var, TK::Any);
        sh.Body = block(*h.Body);
        n->Handlers.push_back(std::move(sh));
    }
    if (s.Body.size() > 1 && s.Body[1])
        n->Else = block(*s.Body[1]);
    return n;
}

SP Compiler::tryFinally(const Stmt &s)
{
    auto n = node<TryFinallyNode>(s.At);
    n->Body = block(*s.Body[0]);
    n->Finally = block(*s.Body[1]);
    return n;
}

SP Compiler::raise(const Stmt &s)
{
    auto n = node<RaiseNode>(s.At);
    if (!s.A)
        return n;
    // raise EMyError.Create('text') / throw new EMyError("text"): a class of
    // the script's own naming needs no declaration
    const Expr &e = *s.A;
    if (e.Kind == EK::Call && e.A->Kind == EK::Member && e.A->Name.compare(u"Create", Qt::CaseInsensitive) == 0
        && e.A->A->Kind == EK::Name && !resolvesToValue(e.A->A->Name)
        && (resolve(e.A->A->Name).K == Resolved::RNone || isExceptionClass(e.A->A->Name))) {
        n->Thrown = newException(*e.A->A, e.Args, e.At);
        return n;
    }
    n->Thrown = expr(e);
    return n;
}

SP Compiler::onError(const Stmt &s)
{
    if (!m_scope || m_scope->ResumeSlot < 0)
        compileError(QStringLiteral("'On Error' is not allowed here"), s.At);
    auto n = node<OnErrorNode>(s.At);
    n->Slot = m_scope->ResumeSlot;
    n->Resume = !s.Negate;
    return n;
}

// Before a body is compiled: a routine that uses On Error gets its flag.
void Compiler::beginBody(const Stmt &body)
{
    if (usesOnError(body))
        m_scope->ResumeSlot = m_scope->hidden(Value(false));
}

} // namespace zor::script
