// Languages named the ways people and tools name them: by ISO 639 code ("de",
// "de_DE", "de-AT"), by English name ("German") or by the language's own name
// ("Deutsch"), matched without regard to case. Translation files and services
// speak in codes, language components and cache files in names; these two
// functions let either side find the other. The names are Qt's locale data.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QString>

namespace zor {

// The two-letter ISO 639-1 code ("de"), or the three-letter one for languages
// without a two-letter code; empty when the text names no known language.
ZOR_EXPORT QString LanguageCodeOf(const QString &ANameOrCode);
// The English name ("German"); empty when the text names no known language.
ZOR_EXPORT QString LanguageNameOf(const QString &ANameOrCode);

} // namespace zor
