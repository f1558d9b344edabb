// The library's replace-all for strings.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QFlags>
#include <QString>

namespace zor {

enum TReplaceFlag { rfReplaceAll = 0x1, rfIgnoreCase = 0x2 };
Q_DECLARE_FLAGS(TReplaceFlags, TReplaceFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TReplaceFlags)

// Replaces oldPattern by newPattern, left to right without overlap: every
// occurrence with rfReplaceAll, else the first. rfIgnoreCase matches the
// upper-cased texts. An empty pattern leaves s unchanged.
ZOR_EXPORT QString FastStringReplace(const QString &s, const QString &oldPattern, const QString &newPattern,
                                     TReplaceFlags flags = TReplaceFlags(rfReplaceAll) | rfIgnoreCase);

} // namespace zor
