#pragma once

// Character references of HTML: decoding (numeric and the named references
// of HTML5, including the legacy names that may go without a semicolon) and
// the escaping used when text or attribute values are written back.

#include <ZorCompCore/zor_export.h>

#include <QString>
#include <QStringView>

namespace zor {

/// Decodes the character references in \a text. \a inAttribute applies the
/// attribute-value rule: a legacy name without its semicolon that is followed
/// by a letter, digit or "=" stays as written ("?a=1&copy=2" is a URL).
ZOR_EXPORT QString DecodeHtmlEntities(QStringView text, bool inAttribute = false);

/// The text that the named reference \a name stands for ("amp;" gives "&",
/// "amp" too); a null string when the name is unknown.
ZOR_EXPORT QString HtmlEntityText(QStringView name);

/// Escapes "&", "<" and ">" (and, with \a quotes, '"' and "'") so that
/// \a text reads back as itself.
ZOR_EXPORT QString EscapeHtmlText(QStringView text, bool quotes = false);

} // namespace zor
