// Interfaces through which components ask a text store for translations.
// Languages are counted from 0 here (the language component counts from 1).
#pragma once

#include <ZorCompCore/platform/Interface.h>
#include <ZorCompCore/zor_export.h>

#include <QString>

namespace zor {

class ZOR_EXPORT ITranslator : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{6DCE07FD-9C9C-4F80-9471-4CD9A0925BDE}");
    // The text of the ID AText (NUL-terminated UTF-16) in the active language.
    virtual QString Get_Text(const char16_t *AText) = 0;
    virtual QString Get_Text(const QString &AText) = 0;
    virtual QString Get_Language() = 0;
    // 0-based index of a language name; -1 for an empty or unknown name.
    virtual int Get_LangIndex(const QString &ALang) = 0;
    // The text in language ALangIndex (0-based; -1 is the active language).
    virtual QString Get_Text(const QString &AText, int ALangIndex) = 0;
};

// The extended translator interface of the product line. Only its identity is
// known here: this library neither implements nor calls its operations.
class ZOR_EXPORT ITranslatorEx : public ITranslator
{
public:
    ZOR_INTERFACE_IID("{1FA2283E-C360-4C1E-A7F9-1B3921AD1B9D}");
};

} // namespace zor
