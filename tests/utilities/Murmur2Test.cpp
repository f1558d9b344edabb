#include <ZorCompCore/utilities/Murmur2.h>

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>

#include "TestUtil.h"

#include <random>

using namespace zor;

namespace {

constexpr quint32 kCacheSeed = 0x9747B28C;

// A stream that fails after a given number of bytes, to check that the
// position is restored when hashing is interrupted.
class FailingStream : public TMemoryStream
{
public:
    qint64 failAt = 0;
    qint64 Read(void *buffer, qint64 count) override
    {
        if (Position() + count > failAt)
            throw EReadError(QStringLiteral("Stream read error"));
        return TMemoryStream::Read(buffer, count);
    }
};

} // namespace

// Values from an independent implementation of the published algorithm.
TEST(Murmur2, KnownValues)
{
    struct Row
    {
        QByteArray data;
        quint32 seed, hash;
    };
    const Row rows[] = {
        {"", 0, 0},
        {"", kCacheSeed, 275646681u},
        {"a", kCacheSeed, 2731586172u},
        {"ab", kCacheSeed, 316155434u},
        {"abc", kCacheSeed, 479470107u},
        {"abcd", kCacheSeed, 2971317748u},
        {"Hello, world!", kCacheSeed, 3199900434u},
        {"Hello, world!", 1, 1671593801u},
        {"The quick brown fox jumps over the lazy dog", 0, 556214736u},
        {"\xE4\xF6\xFC", kCacheSeed, 842829295u},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.data.toStdString() + " seed " + std::to_string(r.seed));
        EXPECT_EQ(CalcMurmur2(r.data, r.seed), r.hash);
        EXPECT_EQ(CalcMurmur2(std::string_view(r.data.constData(), size_t(r.data.size())), r.seed), r.hash);
        TBytesStream s(r.data);
        EXPECT_EQ(CalcMurmur2(s, r.seed), r.hash);
    }
}

TEST(Murmur2, StreamMatchesBytesAcrossChunkBoundaries)
{
    std::mt19937 rng(7);
    // Sizes around the 64 KiB read chunk, with every tail length.
    for (const qsizetype size : {65532, 65533, 65534, 65535, 65536, 65537, 65538, 65539, 131075}) {
        SCOPED_TRACE(size);
        QByteArray data(size, Qt::Uninitialized);
        for (char &c : data)
            c = char(rng());
        TBytesStream s(data);
        s.SetPosition(17);
        EXPECT_EQ(CalcMurmur2(s, kCacheSeed), CalcMurmur2(data, kCacheSeed));
        EXPECT_EQ(s.Position(), 17);
    }
}

TEST(Murmur2, StreamPositionRestoredOnError)
{
    FailingStream s;
    const QByteArray data(200000, 'x');
    s.WriteBuffer(data.constData(), data.size());
    s.SetPosition(1234);
    s.failAt = 100000;
    EXPECT_THROW(CalcMurmur2(s, kCacheSeed), EReadError);
    EXPECT_EQ(s.Position(), 1234);
}
