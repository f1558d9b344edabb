// Replace-all and substring search in UTF-16 and 8-bit strings.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>

namespace zor {

// Replaces every occurrence; case-insensitive unless caseSensitive.
ZOR_EXPORT QString FastReplace(const QString &s, const QString &oldPattern, const QString &newPattern,
                               bool caseSensitive = false);
// 8-bit form: case folding of ASCII letters only, as bytes carry no code page.
ZOR_EXPORT QByteArray FastReplace(const QByteArray &s, const QByteArray &oldPattern, const QByteArray &newPattern,
                                  bool caseSensitive = false);

// 1-based position of subStr in s from offset on; 0 when absent, when subStr
// is empty or when offset lies outside 1..length.
ZOR_EXPORT int FastPos(const QString &subStr, const QString &s, int offset = 1);
ZOR_EXPORT int FastPos(const QByteArray &subStr, const QByteArray &s, int offset = 1);
// The same on lower-cased texts.
ZOR_EXPORT int FastPosNoCase(const QString &subStr, const QString &s, int offset = 1);
ZOR_EXPORT int FastPosNoCase(const QByteArray &subStr, const QByteArray &s, int offset = 1);

} // namespace zor
