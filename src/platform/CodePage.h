// 8-bit text: the process's ANSI code page (from the locale's language unless
// set, see AnsiCodePage), numbered code pages and named charsets (HTML, e-mail).
// Windows-1252, ISO-8859-1, US-ASCII and UTF-8 (65001) are built in; other
// code pages and charsets go through iconv. Characters the target cannot
// represent become '?'.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QLocale>
#include <QString>

namespace zor {

constexpr int CP_UTF8 = 65001;

// The code page of 8-bit strings (varString variants, AnsiString data, the
// text hash in translation cache keys). Unless set, it is chosen on first use
// from the system locale's language (QLocale::system()), as the system picks
// its own 8-bit code page: see AnsiCodePageForLocale.
ZOR_EXPORT int AnsiCodePage();
// ru, uk, bg, sr 1251; el 1253; tr 1254; he 1255; ar, fa 1256; lt, lv, et
// 1257; vi 1258; th 874; ja 932; zh 936 (Traditional script, Taiwan, Hong
// Kong, Macao 950); ko 949; every other language 1252.
ZOR_EXPORT int AnsiCodePageForLocale(const QLocale &locale);
// Raises EEncodingError for a code page this system cannot convert.
ZOR_EXPORT void SetAnsiCodePage(int codePage);

ZOR_EXPORT QByteArray ToAnsi(const QString &text);
ZOR_EXPORT QString FromAnsi(const QByteArray &bytes);

// EEncodingError "Unsupported code page %d" when neither built in nor known to iconv.
ZOR_EXPORT QByteArray ToCodePage(const QString &text, int codePage);
ZOR_EXPORT QString FromCodePage(const QByteArray &bytes, int codePage);
ZOR_EXPORT bool IsCodePageSupported(int codePage);

// Charsets by their IANA/MIME name ("utf-8", "iso-8859-15", "windows-1250",
// "koi8-r" …), case-insensitive; EEncodingError "Unsupported charset: %s".
ZOR_EXPORT QByteArray EncodeCharset(const QString &text, const QString &charsetName);
ZOR_EXPORT QString DecodeCharset(const QByteArray &bytes, const QString &charsetName);
// The code page number of a charset name (0 when it has none), e.g. 1252 for "windows-1252".
ZOR_EXPORT int CharsetToCodePage(const QString &charsetName);

} // namespace zor
