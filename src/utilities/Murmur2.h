// MurmurHash2, the 32-bit variant (m = 0x5BD1E995, r = 24) over little-endian
// words. The translation cache uses it to turn a text into a short key.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QtGlobal>
#include <string_view>

namespace zor {

class TStream;

// Hashes length bytes at data with the given seed.
ZOR_EXPORT quint32 CalcMurmur2(const void *data, qsizetype length, quint32 seed);
// Byte array form.
ZOR_EXPORT quint32 CalcMurmur2(const QByteArray &bytes, quint32 seed);
// 8-bit string form: hashes the string's bytes as they are.
ZOR_EXPORT quint32 CalcMurmur2(std::string_view text, quint32 seed);
// Hashes the whole stream from position 0 to its size in bounded chunks and
// restores the stream's position afterwards, also when a read throws.
ZOR_EXPORT quint32 CalcMurmur2(TStream &stream, quint32 seed);

} // namespace zor
