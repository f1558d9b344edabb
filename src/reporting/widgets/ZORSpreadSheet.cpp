#include "ZORSpreadSheet.h"

#include <ZorCompCore/platform/SysUtils.h>
#include <ZorCompCore/script/FastScriptUtils.h>
#include <ZorCompCore/script/ZORExpressionCache.h>
#include <ZorCompCore/sheet/Book.h>
#include <ZorCompCore/sheet/Functions.h>

namespace zor {

namespace {

// The runtime's message for a floating-point division by zero.
bool isDivByZero(const QString &message)
{
    return message == u"Floating point division by zero";
}

// The functions' names (registered from the load hook: no namespace-scope
// objects, which may not be constructed yet).
QString dbValueName() { return QStringLiteral("DBVALUE"); }
QString scriptName() { return QStringLiteral("SCRIPT"); }

} // namespace

EZORSpreadSheetScriptException::EZORSpreadSheetScriptException(const QString &AMessage, QPoint APosition)
    : EZORSpreadSheetException(AMessage), FPosition(APosition)
{
}

struct TZORSpreadSheet::Private
{
    std::unique_ptr<TfsZORScript> script;
    std::unique_ptr<TZORExpressionCache> cache;
    std::unique_ptr<TStringList> scriptText;
    bool ignoreDivByZero = false;
};

TZORSpreadSheet::TZORSpreadSheet(QWidget *AOwner) : TSpreadSheet(AOwner), d(new Private)
{
    d->scriptText = std::make_unique<TStringList>();
    d->scriptText->OnChange = [this](TStringList &) { PrepareScript(); };
    d->script = std::make_unique<TfsZORScript>();
    d->script->SetExtendedCharset(true);
    d->script->AddRTTI();
    d->cache = std::make_unique<TZORExpressionCache>(d->script.get());
    ClearScript();
}

TZORSpreadSheet::~TZORSpreadSheet()
{
    // Formulas still calling SCRIPT must find no script half torn down.
    Book().SetOnChange({});
    d->scriptText->OnChange = {};
    d->cache.reset();
    d->script.reset();
}

TfsZORScript *TZORSpreadSheet::Script() const { return d->script.get(); }
TStringList &TZORSpreadSheet::ScriptText() const { return *d->scriptText; }

void TZORSpreadSheet::SetScriptText(const TStringList &ALines)
{
    TStringList &t = *d->scriptText;
    t.BeginUpdate();
    t.Clear();
    for (int i = 0; i < ALines.Count(); ++i)
        t.Add(ALines.Get(i));
    t.EndUpdate(); // compiles once; may raise
}

QString TZORSpreadSheet::ScriptLanguage() const { return d->cache->ScriptLanguage(); }
void TZORSpreadSheet::SetScriptLanguage(const QString &ALanguage) { d->cache->SetScriptLanguage(ALanguage); }
bool TZORSpreadSheet::IgnoreDivByZero() const { return d->ignoreDivByZero; }
void TZORSpreadSheet::SetIgnoreDivByZero(bool AValue) { d->ignoreDivByZero = AValue; }

void TZORSpreadSheet::ClearScript()
{
    SetScriptLanguage(QStringLiteral("PascalScript"));
    TStringList &t = *d->scriptText;
    t.BeginUpdate();
    t.Clear();
    t.Add(QStringLiteral("begin"));
    t.Add(QString());
    t.Add(QStringLiteral("end."));
    t.EndUpdate();
}

bool TZORSpreadSheet::PrepareScript()
{
    TfsZORScript &s = *d->script;
    d->cache->Clear();
    s.ClearItems(this);
    s.SetAddedBy(this);
    struct ResetOwner
    {
        TfsScript &s;
        ~ResetOwner() { s.SetAddedBy(nullptr); }
    } reset{s};
    s.SetMainProg(true);

    const QString cls = QString::fromLatin1(metaObject()->className()).section(QStringLiteral("::"), -1);
    if (!s.Find(cls))
        s.AddScriptClass(metaObject(), QStringLiteral("TObject"));
    s.AddScriptObject(QStringLiteral("SpreadSheet"), this);
    s.AddScriptMethod(QStringLiteral("function Get(Name: String): Variant"),
                      [this](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *m) {
                          return GetScriptValue(VarToStr(m->GetVParam(0)));
                      });
    QStringList lines;
    for (int i = 0; i < d->scriptText->Count(); ++i)
        lines << d->scriptText->Get(i);
    s.SetLines(lines);
    s.SetSyntaxType(ScriptLanguage());
    if (s.Compile())
        return true;

    const QPoint p = ErrorPos();
    throw EZORSpreadSheetScriptException(QStringLiteral("Script error at %1 (rel to script block %2): %3")
                                             .arg(QStringLiteral("%1:%2").arg(p.y()).arg(p.x()),
                                                  s.ErrorPos(), s.ErrorMsg()),
                                         p);
}

QPoint TZORSpreadSheet::ErrorStrToPos(const QString &APos, const QString &AMessage)
{
    if (AMessage.isEmpty())
        return QPoint(0, 0);
    const qsizetype colon = APos.indexOf(u':');
    const int line = StrToIntDef(colon < 0 ? APos : APos.left(colon), 0);
    const int column = colon < 0 ? 0 : StrToIntDef(APos.mid(colon + 1), 0);
    return QPoint(column, line);
}

QPoint TZORSpreadSheet::ErrorPos() const
{
    return ErrorStrToPos(d->script->ErrorPos(), d->script->ErrorMsg());
}

void TZORSpreadSheet::GetDatasetAndField(const QString &Expr, QString &DataSetName, QString &FieldName)
{
    DataSetName.clear();
    FieldName.clear();
    const qsizetype p = Expr.indexOf(QStringLiteral(".\""));
    if (p < 0)
        return;
    DataSetName = Expr.left(p);
    if (!DataSetName.isEmpty())
        FieldName = Expr.mid(p + 2, Expr.size() - p - 3);
}

bool TZORSpreadSheet::DoGetValue(const QString &Expr, Variant &Value)
{
    Value = Variant::Null();
    QString set, field;
    GetDatasetAndField(Expr, set, field);
    if (!set.isEmpty() && !field.isEmpty() && OnGetDataSetFieldValue) {
        bool result = false;
        OnGetDataSetFieldValue(this, set, field, false, Value, result);
        if (result)
            return true;
    }
    TfsCustomVariable *item = d->script->FindLocal(Expr);
    if (item && !dynamic_cast<TfsProcVariable *>(item) && !dynamic_cast<TfsMethodHelper *>(item)) {
        Value = item->Value();
        return true;
    }
    return false;
}

bool TZORSpreadSheet::DoSetValue(const QString &Expr, const Variant &Value)
{
    QString set, field;
    GetDatasetAndField(Expr, set, field);
    if (!set.isEmpty() && !field.isEmpty() && OnSetDataSetFieldValue) {
        bool result = false;
        OnSetDataSetFieldValue(this, set, field, false, Value, result);
        if (result)
            return true;
    }
    TfsCustomVariable *item = d->script->FindLocal(Expr);
    if (item && !dynamic_cast<TfsProcVariable *>(item) && !dynamic_cast<TfsMethodHelper *>(item)) {
        item->SetValue(Value);
        return true;
    }
    return false;
}

Variant TZORSpreadSheet::GetScriptValue(const QString &AScript)
{
    Variant result;
    if (DoGetValue(AScript, result))
        return result;
    QString err;
    result = d->cache->Calc(AScript, err, d->script.get());
    if (!err.isEmpty() && !(d->ignoreDivByZero && isDivByZero(err)))
        throw EZORSpreadSheetScriptException(err, QPoint(0, 0));
    return result;
}

void TZORSpreadSheet::SetScriptValue(const QString &AScript, const Variant &Value)
{
    if (DoSetValue(AScript, Value))
        return;
    QString err;
    d->cache->Calc(AScript, err, d->script.get());
    if (!err.isEmpty() && !(d->ignoreDivByZero && isDivByZero(err)))
        throw EZORSpreadSheetScriptException(err, QPoint(0, 0));
}

TCellValue TZORSpreadSheet::CellValueFromVariant(const Variant &AValue)
{
    const Variant &v = AValue.Deref();
    if (v.IsNull() || v.IsEmpty())
        return TCellValue();
    if (v.IsArray())
        return TCellValue::Error(TSheetError::Value, QStringLiteral("An array is no cell value"));
    switch (v.BaseType()) {
    case varBoolean:
        return TCellValue::Boolean(VarToBool(v));
    case varDate:
        return TCellValue::Number(v.RawDouble());
    default:
        break;
    }
    if (v.IsString())
        return TCellValue::Text(VarToStr(v));
    if (v.IsNumeric())
        return TCellValue::Number(VarToDouble(v));
    return TCellValue::Error(TSheetError::Value,
                             QStringLiteral("A value of type %1 is no cell value").arg(VarTypeAsText(v.Type())));
}

bool TZORSpreadSheet::resolve(const QString &ARef, TSheet *&sheet, int &row, int &col) const
{
    QString ref = ARef.trimmed();
    sheet = ActiveSheet();
    if (const qsizetype bang = ref.lastIndexOf(u'!'); bang >= 0) {
        QString name = ref.left(bang);
        if (name.size() >= 2 && name.startsWith(u'\'') && name.endsWith(u'\''))
            name = name.mid(1, name.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
        sheet = Book().SheetByName(name);
        ref = ref.mid(bang + 1);
    }
    return sheet && ParseSheetCellName(ref, row, col);
}

QVariant TZORSpreadSheet::CellValue(const QString &ARef) const
{
    TSheet *s;
    int r, c;
    if (!resolve(ARef, s, r, c))
        throw EZORSpreadSheetException(QStringLiteral("'%1' names no cell").arg(ARef));
    const TCellValue v = s->Value(r, c);
    switch (v.kind) {
    case TCellKind::Empty: return QVariant();
    case TCellKind::Number: return v.number;
    case TCellKind::Boolean: return v.number != 0;
    case TCellKind::Text: return v.text;
    case TCellKind::Error: return SheetErrorText(v.error);
    }
    return QVariant();
}

void TZORSpreadSheet::SetCellValue(const QString &ARef, const QVariant &AValue)
{
    TSheet *s;
    int r, c;
    if (!resolve(ARef, s, r, c))
        throw EZORSpreadSheetException(QStringLiteral("'%1' names no cell").arg(ARef));
    const Variant v = Variant::FromQVariant(AValue);
    if (v.IsString() && VarToStr(v).startsWith(u'=')) {
        s->SetCellText(r, c, VarToStr(v));
        return;
    }
    const TCellValue cell = CellValueFromVariant(v);
    if (cell.IsError())
        throw EZORSpreadSheetException(cell.text);
    s->SetValue(r, c, cell);
}

namespace detail {

namespace {

TZORSpreadSheet *owningSheet(TSheetFunctionContext &ctx)
{
    return qobject_cast<TZORSpreadSheet *>(ctx.Owner());
}

void dbValue(TSheetFunctionContext &ctx)
{
    TZORSpreadSheet *sheet = owningSheet(ctx);
    if (!sheet)
        return ctx.SetError(7);
    const int n = ctx.GetParamsCount();
    if (n < 2 || n > 3)
        return ctx.SetError(3);
    const bool real = ctx.ExtractNumericParameterDef(2, 0) == 1;
    const QString set = ctx.ExtractStringParameter(0);
    const QString field = ctx.ExtractStringParameter(1);
    if (!sheet->OnGetDataSetFieldValue)
        return ctx.SetError(7);
    Variant value = Variant::Null();
    bool result = false;
    sheet->OnGetDataSetFieldValue(sheet, set, field, real, value, result);
    if (!result)
        return ctx.SetError(7);
    ctx.AddValue(TZORSpreadSheet::CellValueFromVariant(value));
}

void scriptValue(TSheetFunctionContext &ctx)
{
    TZORSpreadSheet *sheet = owningSheet(ctx);
    if (!sheet)
        return ctx.SetError(7);
    if (ctx.GetParamsCount() != 1)
        return ctx.SetError(3);
    ctx.AddValue(TZORSpreadSheet::CellValueFromVariant(sheet->GetScriptValue(ctx.ExtractStringParameter(0))));
}

} // namespace

void ZORSpreadSheetStartup()
{
    const QList<TSheetParamKind> three{TSheetParamKind::Value, TSheetParamKind::Value, TSheetParamKind::Value};
    SpreadSheetFunctionsRepository().Add(dbValueName(), three, &dbValue, true);
    SpreadSheetFunctionsRepository().Add(scriptName(), {TSheetParamKind::Value}, &scriptValue, true);
}

void ZORSpreadSheetShutdown()
{
    SpreadSheetFunctionsRepository().Remove(scriptName());
    SpreadSheetFunctionsRepository().Remove(dbValueName());
}

} // namespace detail

} // namespace zor
