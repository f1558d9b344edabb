#include <ZorCompCore/core/BinaryUtils.h>

#include <ZorCompCore/core/DataStreamDef.h>
#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/platform/Stream.h>

#include <algorithm>
#include <cstring>

namespace zor {

namespace {

constexpr qint64 kChunk = 1048576;

// Reads up to size bytes, growing with what arrives, so that a size reported
// by a foreign stream cannot force one huge allocation up front.
template <class ReadFn>
QByteArray readUpTo(qint64 size, ReadFn read)
{
    QByteArray out;
    qint64 done = 0;
    while (done < size) {
        const qint64 want = std::min(size - done, kChunk);
        out.resize(qsizetype(done + want));
        const qint64 got = read(out.data() + done, want);
        if (got <= 0)
            break;
        done += got;
    }
    out.truncate(qsizetype(done));
    return out;
}

} // namespace

QByteArray BytesOfDynByteArray(const QByteArray &B) { return B; }
QByteArray DynBytesOfByteArray(const QByteArray &B) { return B; }
QByteArray ConcatBinray(const QByteArray &A, const QByteArray &B) { return A + B; }

QByteArray StreamToBinary(TStream *AStream)
{
    if (!AStream)
        return {};
    AStream->Seek(0, soBeginning);
    return readUpTo(AStream->Size(), [&](char *p, qint64 n) { return AStream->Read(p, n); });
}

QByteArray StreamToDynByteArray(TStream *AStream) { return StreamToBinary(AStream); }
QByteArray StreamToRawByteString(TStream *AStream) { return StreamToBinary(AStream); }

QByteArray StreamToBinary(IDataStream *AStream)
{
    if (!AStream)
        return {};
    AStream->Seek(0, soBeginning);
    return readUpTo(AStream->GetSize(), [&](char *p, qint64 n) { return qint64(AStream->Read(p, int(n))); });
}

QByteArray StreamToRawByteString(IDataStream *AStream) { return StreamToBinary(AStream); }

void BinaryToStream(TStream &AStream, const QByteArray &B, bool AClear)
{
    if (AClear) {
        AStream.SetSize(0);
        AStream.Seek(0, soBeginning);
    }
    if (!B.isEmpty())
        AStream.Write(B.constData(), B.size());
}

QByteArray BytesToRawByteString(const QByteArray &B) { return B; }

QByteArray BinaryToHex(const QByteArray &B, const QString &APrefix, const QString &AEmptyValue)
{
    if (B.isEmpty())
        return ToAnsi(AEmptyValue);
    static constexpr char kDigits[] = "0123456789abcdef";
    QByteArray out = ToAnsi(APrefix);
    const qsizetype start = out.size();
    out.resize(start + B.size() * 2);
    char *p = out.data() + start;
    for (const char c : B) {
        const auto b = static_cast<unsigned char>(c);
        *p++ = kDigits[b >> 4];
        *p++ = kDigits[b & 0x0F];
    }
    return out;
}

bool CompareBinaryStream(IDataStream *A, IDataStream *B)
{
    const qint64 sizeA = A ? A->GetSize() : 0;
    const qint64 sizeB = B ? B->GetSize() : 0;
    if (sizeA != sizeB)
        return false;
    if (sizeA == 0)
        return true;
    const IPtr<IDataStreamEx> exA = QueryIntf<IDataStreamEx>(static_cast<IInterface *>(A));
    const IPtr<IDataStreamEx> exB = QueryIntf<IDataStreamEx>(static_cast<IInterface *>(B));
    if (exA && exB) {
        const void *ma = exA->Get_Memory();
        const void *mb = exB->Get_Memory();
        if (ma && mb)
            return std::memcmp(ma, mb, size_t(sizeA)) == 0;
    }
    return StreamToBinary(A) == StreamToBinary(B);
}

} // namespace zor
