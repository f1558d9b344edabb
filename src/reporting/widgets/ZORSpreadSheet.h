// The spreadsheet with a script attached. Its formulas may call two more
// functions: DBVALUE("Set", "Field" [, 1]) asks the application for a data
// set field's value (OnGetDataSetFieldValue), SCRIPT("expression") evaluates
// an expression of the sheet's script. Script code sees the control as
// "SpreadSheet" (CellValue('B3'), SetCellValue('Sheet2!A1', 5)) and can read
// any expression of its own through Get(Name).
//
// Both functions are volatile: every recalculation asks again, since neither
// the application's data nor the script's state is known to the book.
#pragma once

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/platform/Variant.h>
#include <ZorCompCore/sheet/CellValue.h>
#include <ZorCompCore/sheet/widgets/SpreadSheet.h>
#include <ZorCompCore/zor_export.h>

#include <QPoint>
#include <QVariant>
#include <functional>
#include <memory>

namespace zor {

class TfsZORScript;
class TZORExpressionCache;

ZOR_DECLARE_EXCEPTION(EZORSpreadSheetException, Exception)

// A script that does not compile or an expression that fails; the position is
// X = column, Y = line ((0,0) for expressions).
class ZOR_EXPORT EZORSpreadSheetScriptException : public EZORSpreadSheetException
{
public:
    EZORSpreadSheetScriptException(const QString &AMessage, QPoint APosition);
    const char *ClassName() const override { return "EZORSpreadSheetScriptException"; }
    QPoint Position() const { return FPosition; }

private:
    QPoint FPosition;
};

// AResult is false on entry; a handler that served the request sets it.
using TGetDataSetFieldValueEvent = std::function<void(QObject *Sender, const QString &ADataSetName,
                                                      const QString &AFieldName, bool ARealValue, Variant &Value,
                                                      bool &AResult)>;
using TSetDataSetFieldValueEvent = std::function<void(QObject *Sender, const QString &ADataSetName,
                                                      const QString &AFieldName, bool ARealValue,
                                                      const Variant &Value, bool &AResult)>;

class ZOR_EXPORT TZORSpreadSheet : public TSpreadSheet
{
    Q_OBJECT
public:
    explicit TZORSpreadSheet(QWidget *AOwner = nullptr);
    ~TZORSpreadSheet() override;

    TfsZORScript *Script() const;
    // Every change recompiles the script (once per BeginUpdate/EndUpdate);
    // a compile error raises EZORSpreadSheetScriptException out of the change.
    TStringList &ScriptText() const;
    void SetScriptText(const TStringList &ALines);
    QString ScriptLanguage() const;
    void SetScriptLanguage(const QString &ALanguage);
    // A floating-point division by zero in an expression is then no error.
    bool IgnoreDivByZero() const;
    void SetIgnoreDivByZero(bool AValue);

    // A data field written Set."Field", a script variable, or else any
    // expression of the script's language; EZORSpreadSheetScriptException on error.
    Variant GetScriptValue(const QString &AScript);
    // Assigns a data field or script variable; any other text is evaluated.
    void SetScriptValue(const QString &AScript, const Variant &Value);
    // An empty PascalScript program.
    void ClearScript();

    // For scripts: the value of "B3" or "Sheet2!B3" (of the active sheet
    // without a name); null for an empty cell, an error's text for an error.
    Q_INVOKABLE QVariant CellValue(const QString &ARef) const;
    // Numbers, texts, booleans and date-times as values; a text starting
    // with "=" is a formula; null empties the cell.
    Q_INVOKABLE void SetCellValue(const QString &ARef, const QVariant &AValue);

    TGetDataSetFieldValueEvent OnGetDataSetFieldValue;
    TSetDataSetFieldValueEvent OnSetDataSetFieldValue;

    // The cell value a script value makes: numbers, texts and booleans as
    // they are, date-times as their serial, null/unassigned empty, anything
    // else #VALUE!.
    static TCellValue CellValueFromVariant(const Variant &AValue);

protected:
    virtual bool PrepareScript();
    bool DoGetValue(const QString &Expr, Variant &Value);
    bool DoSetValue(const QString &Expr, const Variant &Value);
    // Set."Field" into its two names; both empty when the text has no ."
    static void GetDatasetAndField(const QString &Expr, QString &DataSetName, QString &FieldName);
    // The script engine's last error position.
    QPoint ErrorPos() const;
    // "line:column" into (column, line); (0,0) when AMessage is empty.
    static QPoint ErrorStrToPos(const QString &APos, const QString &AMessage);

private:
    // The sheet and cell a reference names; false when it names none.
    bool resolve(const QString &ARef, TSheet *&sheet, int &row, int &col) const;
    struct Private;
    std::unique_ptr<Private> const d;
};

namespace detail {
// Module actions: register and remove the DBVALUE and SCRIPT functions.
void ZORSpreadSheetStartup();
void ZORSpreadSheetShutdown();
} // namespace detail

} // namespace zor
