// The reference of what each script syntax offers: its statements, its
// operators and the library functions it knows. The function lists are
// printed from the engine's own table, so the reference cannot drift from
// what scripts can call.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QList>
#include <QString>
#include <QStringList>

namespace zor {

// One library function as a syntax knows it.
struct TfsLibraryFunction
{
    QString Name;
    QString Declaration; // in the syntax's own notation; optional parameters in brackets
    QString Category;    // "Strings", "Numbers", "Dates", …
    QString Summary;
    QString AliasOf;     // the name this one spells differently, or empty
    QStringList Languages;
    QStringList Parameters; // their names, as the declaration lists them
    int MinArgs = 0;        // arguments a call must give
    int MaxArgs = 0;        // and may give
    bool IsConstant = false;
};

// The library functions a language ("PascalScript", "C++Script",
// "BasicScript", "JScript") knows, in reference order; every row of the
// table (declared in PascalScript notation) when ALanguage is empty.
// EfsScriptError for a language the engine does not have.
ZOR_EXPORT QList<TfsLibraryFunction> fsLibraryFunctions(const QString &ALanguage = QString());

// The functions as a listing: plain text, or Markdown tables by category.
ZOR_EXPORT QString fsLibraryListing(const QString &ALanguage, bool AMarkdown);

// The Markdown reference page of one language: statements, operators and
// library functions (docs/scripts/<language>.md is this text).
ZOR_EXPORT QString fsScriptReference(const QString &ALanguage);

// The examples the page shows, each wrapped into a whole program, so that a
// test can compile them.
ZOR_EXPORT QStringList fsScriptReferenceExamples(const QString &ALanguage);

} // namespace zor
