// Translation files (.sib) through the tools translators use: Qt Linguist
// (TS 2.1) and gettext PO (Poedit, Weblate, Transifex, msgcat …). One
// exchange file carries one target language of every form in the .sib:
//
//   TS   <TS version="2.1" language="fr" sourcelanguage="de">, one <context>
//        per form (its class name); per text a <message> whose <source> is the
//        design text (language 1), whose <comment> is "<type>:<ID>"
//        ("stCaptions:btnOK.text", the type as StringsTypeName writes it or
//        "Extended") and whose <translation> is the target language's text,
//        type="unfinished" while empty. Characters XML cannot carry are written
//        as <byte value="xHH"/>, as Qt's tools do.
//   PO   UTF-8; the header names the languages ("Language", and "X-Language",
//        "X-Source-Language", "X-Qt-Contexts: true" as Qt's lconvert writes
//        them); per text msgctxt "<form>|<type>:<ID>" ('~' and '|' inside
//        the parts written "~~" and "~|"), msgid the design text,
//        msgstr the translation. This is exactly what lconvert makes of our TS
//        files and back. UTF-8 cannot carry a lone surrogate: such a unit
//        (only a damaged .sib has one) is replaced.
//
// Texts whose design text is empty have nothing to translate and are left
// out (gettext reads an empty msgid as the header). Reading accepts what
// Linguist, lconvert, msgcat and msgfmt write: plural forms (the first is
// taken), obsolete and vanished messages (skipped), fuzzy/unfinished flags,
// wrapped and escaped PO strings, byte escapes. It raises EReadError naming
// the line ("line 12: msgctxt 'x' is not <form>|<type>:<ID>") and takes
// nothing over from a file that fails to read.
//
// Merging writes each translated text into the .sib by form, type and ID and
// leaves everything else as it was: other languages, other forms, texts the
// file does not mention, and texts whose translation is empty.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace zor {

class TSIBFileManager;

// The type of an extended translation item; 0..StringsTypeCount-1 are the
// collections (TStringsType).
constexpr int SIBExtendedType = 12;

struct ZOR_EXPORT TSIBExchangeMessage
{
    QString Owner;           // the form's class name
    int Type = 0;            // TStringsType or SIBExtendedType
    QString ID;
    QString Source;          // the design text (language 1)
    QString Translation;     // empty: not translated
    bool Unfinished = false; // Linguist's "unfinished", gettext's "fuzzy"

    bool operator==(const TSIBExchangeMessage &) const = default;
};

struct ZOR_EXPORT TSIBExchangeFile
{
    QString Language;       // target language as the file names it (a code, or a name)
    QString SourceLanguage; // the design language, likewise
    QList<TSIBExchangeMessage> Messages;

    bool operator==(const TSIBExchangeFile &) const = default;
};

// The texts of ALanguage (a language name or code, matched against each form's
// language names by name, then by ISO code) of every form that has that
// language, or of AOwner only. The file's languages are ISO codes where the
// names have one (LanguageCodeOf). EArgumentException when no form (or AOwner) has
// the language, or when it is a form's design language.
ZOR_EXPORT TSIBExchangeFile SIBExchangeExtract(const TSIBFileManager &AFiles, const QString &ALanguage,
                                               const QString &AOwner = {});

ZOR_EXPORT QByteArray SIBExchangeToTS(const TSIBExchangeFile &AFile);
ZOR_EXPORT QByteArray SIBExchangeToPO(const TSIBExchangeFile &AFile);
ZOR_EXPORT TSIBExchangeFile SIBExchangeFromTS(const QByteArray &AData);
ZOR_EXPORT TSIBExchangeFile SIBExchangeFromPO(const QByteArray &AData);

struct ZOR_EXPORT TSIBMergeResult
{
    int Changed = 0;       // texts written that differ from before
    int Unchanged = 0;     // texts equal to what the .sib held
    int Untranslated = 0;  // empty translations: the .sib keeps its text
    int SourceChanged = 0; // written although the design text changed since the export
    // Forms that did not have the language and got it as their last one.
    QStringList LanguageAddedTo;
    // "<form> <type>:<ID>" of texts the .sib does not have (skipped).
    QStringList NotFound;
};

// Writes AFile's translations into AFiles (see the top of this file). The
// language is ALanguage when given, else the file's; a form without it gets
// it as a new language, named ALanguage or the language's English name.
// Unfinished translations are taken like finished ones (as lrelease does).
ZOR_EXPORT TSIBMergeResult SIBExchangeMerge(TSIBFileManager &AFiles, const TSIBExchangeFile &AFile,
                                            const QString &ALanguage = {});

} // namespace zor
