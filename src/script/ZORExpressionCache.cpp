// Expression cache: one wrapper function per distinct expression text.
#include <ZorCompCore/script/ZORExpressionCache.h>

#include <ZorCompCore/script/Interpreter.h>

#include <QHash>

namespace zor {

struct TZORExpressionCache::Private
{
    // Expression text (lower-cased unless case-sensitive) -> its wrapper.
    QHash<QString, std::shared_ptr<TfsCustomVariable>> Expressions;
    // The same functions by the exact text, so that a repeated evaluation
    // needs no case folding.
    QHash<QString, std::shared_ptr<TfsCustomVariable>> Exact;
    TfsScript *MainScript = nullptr;
    std::unique_ptr<TfsScript> Script;
    QString ScriptLanguage = QStringLiteral("PascalScript");
    bool CaseSensitive = false;
    // The scripts the cached wrappers were compiled against, and their
    // generations then: a recompiled script invalidates every wrapper.
    std::vector<std::pair<const TfsScript *, quint64>> BoundTo;

    static std::vector<std::pair<const TfsScript *, quint64>> chain(const TfsScript *s)
    {
        std::vector<std::pair<const TfsScript *, quint64>> r;
        for (; s; s = s->Parent())
            r.emplace_back(s, s->Generation());
        return r;
    }

    // True while the wrappers were compiled against s and its parents as they are now.
    bool boundTo(const TfsScript *s) const
    {
        size_t i = 0;
        for (; s; s = s->Parent(), ++i)
            if (i >= BoundTo.size() || BoundTo[i].first != s || BoundTo[i].second != s->Generation())
                return false;
        return i == BoundTo.size();
    }

    QString key(const QString &text) const { return CaseSensitive ? text : text.toLower(); }
};

namespace {

// The wrapper function around an expression, by language; empty for an
// unknown language.
QString wrapperText(const QString &language, const QString &name, const QString &expr)
{
    const QString l = language.toUpper();
    if (l == u"PASCALSCRIPT")
        return QStringLiteral("function ") + name + QStringLiteral(": Variant; begin ") + QStringLiteral("Result := ")
            + expr + QStringLiteral(" end; begin end.");
    if (l == u"C++SCRIPT")
        return QStringLiteral("Variant ") + name + QStringLiteral("() { ") + QStringLiteral("return ") + expr
            + QStringLiteral("; } {}");
    if (l == u"BASICSCRIPT")
        return QStringLiteral("function ") + name + u'\n' + QStringLiteral("return ") + expr + u'\n'
            + QStringLiteral("end function");
    if (l == u"JSCRIPT")
        return QStringLiteral("function ") + name + QStringLiteral("() { ") + QStringLiteral("return ") + expr
            + QStringLiteral("; }");
    return QString();
}

} // namespace

TZORExpressionCache::TZORExpressionCache(TfsScript *AScript) : d(std::make_unique<Private>())
{
    d->MainScript = AScript;
    d->Script = std::make_unique<TfsScript>(nullptr);
    d->Script->SetExtendedCharset(true);
}

TZORExpressionCache::~TZORExpressionCache()
{
    d->Expressions.clear();
    d->Script.reset();
}

void TZORExpressionCache::Clear()
{
    d->Expressions.clear();
    d->Exact.clear();
    d->Script->Clear();
}

QString TZORExpressionCache::ScriptLanguage() const
{
    return d->ScriptLanguage;
}

void TZORExpressionCache::SetScriptLanguage(const QString &ALanguage)
{
    d->ScriptLanguage = ALanguage;
}

bool TZORExpressionCache::CaseSensitive() const
{
    return d->CaseSensitive;
}

void TZORExpressionCache::SetCaseSensitive(bool v)
{
    if (v == d->CaseSensitive)
        return;
    d->CaseSensitive = v;
    d->Exact.clear();
    // re-key what is cached under the new rule
    QHash<QString, std::shared_ptr<TfsCustomVariable>> old;
    old.swap(d->Expressions);
    for (auto it = old.begin(); it != old.end(); ++it)
        d->Expressions.insert(d->key(it.key()), it.value());
}

int TZORExpressionCache::Count() const
{
    return int(d->Expressions.size());
}

Variant TZORExpressionCache::Calc(const QString &Expression, QString &ErrorMsg, TfsScript *AScript)
{
    ErrorMsg.clear();
    try {
        d->Script->SetParent(AScript);
    } catch (const Exception &e) {
        ErrorMsg = e.Message();
        return Variant::Null();
    }
    if (!d->boundTo(AScript)) {
        // compiled against other items than these: compile again
        d->Expressions.clear();
        d->Exact.clear();
        d->Script->Clear();
        d->BoundTo = Private::chain(AScript);
    }
    std::shared_ptr<TfsCustomVariable> func = d->Exact.value(Expression);
    if (!func) {
        func = d->Expressions.value(d->key(Expression));
        if (func)
            d->Exact.insert(Expression, func);
    }
    if (!func) {
        const QString name = QStringLiteral("fr3f") + QString::number(d->Expressions.size());
        d->Script->SetSyntaxType(d->ScriptLanguage);
        const QString text = wrapperText(d->ScriptLanguage, name, Expression);
        d->Script->Lines() = text.split(u'\n');
        const bool ok = !text.isEmpty() && d->Script->Compile();
        TfsCustomVariable *item = d->Script->FindLocal(name);
        if (!ok || !dynamic_cast<TfsProcVariable *>(item)) {
            if (item)
                d->Script->Remove(item);
            const QString why = text.isEmpty()
                ? QStringLiteral("Unknown script language: '%1'").arg(d->ScriptLanguage)
                : d->Script->ErrorMsg();
            ErrorMsg = QStringLiteral("Expression-Error: '") + Expression + QStringLiteral("': ") + why;
            return Variant::Null();
        }
        func = d->Script->Shared(item);
        d->Expressions.insert(d->key(Expression), func);
        d->Exact.insert(Expression, func);
    }
    Variant result;
    // The flag is off only for this evaluation: no change signals for that
    // (every cell of a report would send two), only for a flag that was off
    // before and is on afterwards.
    struct MainProgOff
    {
        TfsScript *main;
        bool wasOn;
        explicit MainProgOff(TfsScript *m) : main(m), wasOn(m && m->FMainProg)
        {
            if (wasOn)
                main->FMainProg = false;
        }
        ~MainProgOff()
        {
            if (wasOn)
                main->FMainProg = true;
            else if (main)
                main->SetMainProg(true);
        }
    } off(d->MainScript);
    try {
        result = func->Value();
    } catch (const EAbort &) {
        throw; // an abort passes on
    } catch (const Exception &e) {
        ErrorMsg = e.Message();
    }
    return result;
}

} // namespace zor
