#include <ZorCompCore/utilities/Murmur2.h>

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>

#include <QtEndian>
#include <cstring>
#include <vector>

namespace zor {

namespace {

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

// Mixes whole words; returns the number of bytes consumed (a multiple of 4).
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

} // namespace

quint32 CalcMurmur2(const void *data, qsizetype length, quint32 seed)
{
    const auto *p = static_cast<const uchar *>(data);
    // The published algorithm folds the length in as a 32-bit value.
    quint32 h = seed ^ quint32(length);
    const qsizetype done = mixWords(h, p, length);
    return finish(h, p + done, length - done);
}

quint32 CalcMurmur2(const QByteArray &bytes, quint32 seed)
{
    return CalcMurmur2(bytes.constData(), bytes.size(), seed);
}

quint32 CalcMurmur2(std::string_view text, quint32 seed)
{
    return CalcMurmur2(text.data(), qsizetype(text.size()), seed);
}

quint32 CalcMurmur2(TStream &stream, quint32 seed)
{
    const qint64 saved = stream.Position();
    struct Restore
    {
        TStream &s;
        qint64 pos;
        ~Restore() { s.SetPosition(pos); }
    } restore{stream, saved};

    const qint64 size = stream.Size();
    stream.SetPosition(0);
    quint32 h = seed ^ quint32(size);

    // Chunks are a multiple of 4 so that words never straddle two reads.
    constexpr qint64 kChunk = 1 << 16;
    std::vector<uchar> buf(kChunk);
    qint64 left = size;
    while (left > 0) {
        const qint64 want = std::min(left, kChunk);
        stream.ReadBuffer(buf.data(), want);
        left -= want;
        const qsizetype done = mixWords(h, buf.data(), want);
        if (left == 0)
            return finish(h, buf.data() + done, want - done);
    }
    return finish(h, nullptr, 0);
}

} // namespace zor
