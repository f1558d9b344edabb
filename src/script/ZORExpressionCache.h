// Compiles each distinct expression text once, into a small wrapper function
// of a private script whose parent is the script the expression belongs to,
// and evaluates it on demand. Errors come back as text, never as exceptions
// (except an abort).
#pragma once

#include <ZorCompCore/platform/Variant.h>
#include <ZorCompCore/zor_export.h>

#include <QString>
#include <memory>

namespace zor {

class TfsScript;

class ZOR_EXPORT TZORExpressionCache
{
public:
    explicit TZORExpressionCache(TfsScript *AScript);
    ~TZORExpressionCache();
    TZORExpressionCache(const TZORExpressionCache &) = delete;
    TZORExpressionCache &operator=(const TZORExpressionCache &) = delete;

    // Drops every compiled expression.
    void Clear();
    // The value of Expression evaluated against AScript. ErrorMsg is empty on
    // success, else "Expression-Error: '<expression>': <compile error>" or the
    // message of the runtime error (the result is then null).
    Variant Calc(const QString &Expression, QString &ErrorMsg, TfsScript *AScript);

    QString ScriptLanguage() const;
    void SetScriptLanguage(const QString &ALanguage);
    // Off by default: texts differing only in letter case share one function.
    bool CaseSensitive() const;
    void SetCaseSensitive(bool v);
    // Number of distinct compiled expressions.
    int Count() const;

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
