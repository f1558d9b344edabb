// Byte arrays to and from streams and data streams, hex text, and content
// comparison of two data streams.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>

namespace zor {

class TStream;
class IDataStream;

// The two byte-array kinds are one type here; both return B.
ZOR_EXPORT QByteArray BytesOfDynByteArray(const QByteArray &B);
ZOR_EXPORT QByteArray DynBytesOfByteArray(const QByteArray &B);
// The bytes of A followed by those of B.
ZOR_EXPORT QByteArray ConcatBinray(const QByteArray &A, const QByteArray &B);

// The whole stream from position 0 (nullptr: empty); the position ends
// after the bytes read.
ZOR_EXPORT QByteArray StreamToBinary(TStream *AStream);
ZOR_EXPORT QByteArray StreamToDynByteArray(TStream *AStream);
ZOR_EXPORT QByteArray StreamToRawByteString(TStream *AStream);
ZOR_EXPORT QByteArray StreamToBinary(IDataStream *AStream);
ZOR_EXPORT QByteArray StreamToRawByteString(IDataStream *AStream);
// Writes B at the stream's position, after emptying the stream when AClear.
ZOR_EXPORT void BinaryToStream(TStream &AStream, const QByteArray &B, bool AClear);
ZOR_EXPORT QByteArray BytesToRawByteString(const QByteArray &B);
// APrefix and two lower-case hex digits per byte; AEmptyValue for empty B.
ZOR_EXPORT QByteArray BinaryToHex(const QByteArray &B, const QString &APrefix = QString(),
                                  const QString &AEmptyValue = QString());
// True when both streams hold the same bytes (compared in memory when both
// expose it, else read from position 0).
ZOR_EXPORT bool CompareBinaryStream(IDataStream *A, IDataStream *B);

} // namespace zor
