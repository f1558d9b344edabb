// MurmurHash2, the 32-bit variant (m = 0x5BD1E995, r = 24) over little-endian
// words. The translation cache uses it to turn a text into a short key.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QtEndian>
#include <QtGlobal>
#include <string_view>

namespace zor {

class TStream;

namespace murmur2_detail {

constexpr quint32 kM = 0x5BD1E995u;
constexpr int kR = 24;

inline quint32 mixWord(quint32 h, quint32 k)
{
    k *= kM;
    k ^= k >> kR;
    k *= kM;
    h *= kM;
    return h ^ k;
}

// Mixes the whole little-endian words of p; returns the bytes consumed.
inline qsizetype mixWords(quint32 &h, const uchar *p, qsizetype length)
{
    const qsizetype words = length / 4;
    for (qsizetype i = 0; i < words; ++i)
        h = mixWord(h, qFromLittleEndian<quint32>(p + 4 * i));
    return words * 4;
}

inline quint32 finish(quint32 h, const uchar *tail, qsizetype rest)
{
    switch (rest) {
    case 3:
        h ^= quint32(tail[2]) << 16;
        [[fallthrough]];
    case 2:
        h ^= quint32(tail[1]) << 8;
        [[fallthrough]];
    case 1:
        h ^= quint32(tail[0]);
        h *= kM;
        break;
    default:
        break;
    }
    h ^= h >> 13;
    h *= kM;
    h ^= h >> 15;
    return h;
}

} // namespace murmur2_detail

// Hashes length bytes at data with the given seed. Inline: cache keys hash
// short texts, where a call into the library would cost as much as the hash.
inline quint32 CalcMurmur2(const void *data, qsizetype length, quint32 seed)
{
    const auto *p = static_cast<const uchar *>(data);
    // The published algorithm folds the length in as a 32-bit value.
    quint32 h = seed ^ quint32(length);
    const qsizetype done = murmur2_detail::mixWords(h, p, length);
    return murmur2_detail::finish(h, p + done, length - done);
}
// Byte array form.
inline quint32 CalcMurmur2(const QByteArray &bytes, quint32 seed)
{
    return CalcMurmur2(bytes.constData(), bytes.size(), seed);
}
// 8-bit string form: hashes the string's bytes as they are.
inline quint32 CalcMurmur2(std::string_view text, quint32 seed)
{
    return CalcMurmur2(text.data(), qsizetype(text.size()), seed);
}
// Hashes the whole stream from position 0 to its size in bounded chunks and
// restores the stream's position afterwards, also when a read throws.
ZOR_EXPORT quint32 CalcMurmur2(TStream &stream, quint32 seed);

} // namespace zor
