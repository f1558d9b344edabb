// Base64 (MIME) coding of byte strings, with the standard alphabet and "="
// padding; the encoded text carries no line breaks.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>

namespace zor {

class TStream;

// Decoding skips characters outside the alphabet (line breaks, blanks), as
// MIME bodies wrap their lines; decoding stops at the first padding.
ZOR_EXPORT QByteArray MIMEDecodeRawByteStr(const QString &s);
// Writes the decoded bytes at the stream's position.
ZOR_EXPORT void MIMEDecodeRawByteStr(const QString &s, TStream &stream);
ZOR_EXPORT QString MIMEEncodeRawByteStr(const QByteArray &s);
// Encodes count bytes from the stream's position (count < 0: up to its end);
// EReadError when the stream holds fewer.
ZOR_EXPORT QString MIMEEncodeRawByteStr(TStream &stream, qint64 count);
// Encodes the first count bytes (count < 0 or beyond the end: all of them).
ZOR_EXPORT QString MIMEEncodeBytes(const QByteArray &bytes, qint64 count);

} // namespace zor
