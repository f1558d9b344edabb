// The formula function repository: every function a formula can call, the
// library's own and those an application adds (with Add), by upper-case name.
#pragma once

#include <ZorCompCore/sheet/CellValue.h>
#include <ZorCompCore/zor_export.h>

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QObject;

namespace zor {

class TSheet;
class TSheetFunctionContext;

namespace sheet_detail {
struct Operand;
class Evaluator;
} // namespace sheet_detail

// How an argument reaches an evaluator: Value dereferences a reference to
// one value (an error argument then is the call's result without calling the
// evaluator); Reference passes it as it is. The last kind repeats.
enum class TSheetParamKind { Value, Reference };

using TSheetFunctionEvaluator = std::function<void(TSheetFunctionContext &)>;

struct TSheetFunctionInfo
{
    QString name;
    QList<TSheetParamKind> kinds;
    TSheetFunctionEvaluator evaluator;
    bool isVolatile = false;
    // The library's own functions see the raw arguments.
    void (*builtin)(sheet_detail::Evaluator &, std::vector<sheet_detail::Operand> &, sheet_detail::Operand &) = nullptr;
    int minArgs = 0, maxArgs = 255;
    char lazy = 0; // 'i' IF, 'e' IFERROR, 'n' IFNA, 'c' CHOOSE: only the branch taken is evaluated
};

// What an evaluator gets: its arguments and a place for its result.
class ZOR_EXPORT TSheetFunctionContext
{
public:
    int GetParamsCount() const;
    // The argument as text ("" for empty, "TRUE", numbers in General form).
    QString ExtractStringParameter(int index) const;
    // The argument as a number; ADefault when it is missing or empty, 0 when it is no number.
    double ExtractNumericParameterDef(int index, double ADefault) const;
    // The argument's value (the first cell of a reference).
    TCellValue ExtractParameter(int index) const;

    void AddValue(const TCellValue &value);
    void AddValue(double value) { AddValue(TCellValue::Number(value)); }
    void AddValue(const QString &value) { AddValue(TCellValue::Text(value)); }
    void AddValue(bool value) { AddValue(TCellValue::Boolean(value)); }
    // ERROR.TYPE numbering: 3 #VALUE!, 7 #N/A …
    void SetError(int code, const QString &message = QString());

    // The control that owns the formula's book; null for a book without one.
    QObject *Owner() const;
    TSheet *Sheet() const;
    int Row() const;
    int Col() const;

    TSheetFunctionContext(sheet_detail::Evaluator &e, std::vector<sheet_detail::Operand> &args,
                          sheet_detail::Operand &result);

private:
    sheet_detail::Evaluator &e_;
    std::vector<sheet_detail::Operand> &args_;
    sheet_detail::Operand &result_;
};

class ZOR_EXPORT TSpreadSheetFunctionsRepository
{
public:
    TSpreadSheetFunctionsRepository();
    ~TSpreadSheetFunctionsRepository();
    // Adds or replaces a function. Formulas compiled before keep what they found.
    void Add(const QString &name, const QList<TSheetParamKind> &kinds, TSheetFunctionEvaluator evaluator,
             bool isVolatile = false);
    // Adds a function described in full (the library's own use this).
    void Add(std::shared_ptr<const TSheetFunctionInfo> info);
    bool Remove(const QString &name);
    std::shared_ptr<const TSheetFunctionInfo> Find(const QString &name) const;
    QStringList Names() const;

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

ZOR_EXPORT TSpreadSheetFunctionsRepository &SpreadSheetFunctionsRepository();

} // namespace zor
