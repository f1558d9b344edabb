#include <ZorCompCore/utilities/Murmur2.h>

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>

#include <QtEndian>
#include <cstring>
#include <vector>

namespace zor {

using namespace murmur2_detail;

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
