// Replace-all and substring search in UTF-16 and 8-bit strings.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>

namespace zor {

// Replaces every occurrence; case-insensitive unless caseSensitive.
ZOR_EXPORT QString FastReplace(const QString &s, const QString &oldPattern, const QString &newPattern,
                               bool caseSensitive = false);
// 8-bit form: the bytes are text in the ANSI code page (AnsiCodePage()), and
// letters fold case there (é matches É in Windows-1252); in multi-byte code
// pages only the single-byte letters fold.
ZOR_EXPORT QByteArray FastReplace(const QByteArray &s, const QByteArray &oldPattern, const QByteArray &newPattern,
                                  bool caseSensitive = false);

// 1-based position of subStr in s from offset on; 0 when absent, when subStr
// is empty or when offset lies outside 1..length.
ZOR_EXPORT int FastPos(const QString &subStr, const QString &s, int offset = 1);
ZOR_EXPORT int FastPos(const QByteArray &subStr, const QByteArray &s, int offset = 1);
// The same on lower-cased texts (8-bit: lower case in the ANSI code page).
ZOR_EXPORT int FastPosNoCase(const QString &subStr, const QString &s, int offset = 1);
ZOR_EXPORT int FastPosNoCase(const QByteArray &subStr, const QByteArray &s, int offset = 1);

} // namespace zor
