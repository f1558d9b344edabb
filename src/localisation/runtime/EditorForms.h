// What the forms of the translation tools (the editor's dialogs: language
// names, default fonts, statistics …) share: two hooks applied when such a
// form is created, and their interface texts, which ship inside the library
// as tab-separated tables (one per form, in English, German, Russian and
// Spanish) and are loaded into the form's own language component.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QString>
#include <functional>

class QWidget;

namespace zor {

class TsiCustomLang;

struct TsiEditorSettings
{
    // Called with every tool form right after it was created.
    std::function<void(QWidget *)> OnNewForm;
    // The language (1-based) the tool forms speak: 1 English, 2 German,
    // 3 Russian, 4 Spanish.
    int Language = 1;
};

// The process-wide settings (main thread only).
ZOR_EXPORT TsiEditorSettings &siEditorSettings();

// Runs the creation hooks for a tool form: calls OnNewForm when it is set,
// and makes Language the active language of AFormLang when it is not 1.
ZOR_EXPORT void siInitEditorForm(QWidget *AForm, TsiCustomLang *AFormLang);

// Loads the interface texts of the tool form AFormName ("Statistics",
// "LangNames" …) into ALang: its languages become the table's and every row
// lands in the collection its Type column names. Returns false when the
// library has no texts for that form. The table format is the one of
// SIBEntryFromTSV (SibFile.h).
ZOR_EXPORT bool siLoadFormTexts(TsiCustomLang *ALang, const QString &AFormName);

} // namespace zor
