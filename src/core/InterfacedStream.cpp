#include <ZorCompCore/core/InterfacedStream.h>

#include <algorithm>
#include <memory>
#include <limits>

namespace zor {

namespace {
constexpr qint64 kCopyChunk = 1048576;
constexpr qint64 kMaxCall = std::numeric_limits<int>::max(); // IDataStream counts are 32-bit
} // namespace

TInterfacedStream::TInterfacedStream(TStream *AStream, bool FreeStreamOnDestroy, bool CacheStream)
{
    if (!CacheStream || !AStream) {
        FStream = AStream;
        FFreeStreamOnDestroy = FreeStreamOnDestroy;
        return;
    }
    auto cache = std::make_unique<TMemoryStream>();
    const qint64 size = AStream->Size();
    AStream->Seek(0, soBeginning);
    std::vector<char> buf(size_t(std::clamp<qint64>(size, 1, kCopyChunk)));
    for (qint64 done = 0; done < size;) {
        const qint64 n = AStream->Read(buf.data(), std::min(size - done, kCopyChunk));
        if (n <= 0)
            break;
        cache->Write(buf.data(), n);
        done += n;
    }
    if (FreeStreamOnDestroy)
        delete AStream;
    FStream = cache.release();
    FFreeStreamOnDestroy = true;
}

TInterfacedStream::~TInterfacedStream()
{
    if (FFreeStreamOnDestroy)
        delete FStream;
}

HRESULT TInterfacedStream::QueryInterface(const QUuid &iid, void **obj)
{
    if (AnswerInterface<IDataStreamEx>(this, iid, obj) || AnswerInterface<IDataStream>(this, iid, obj))
        return S_OK;
    return TInterfacedObject::QueryInterface(iid, obj);
}

qint64 TInterfacedStream::Seek(qint64 Offset, quint16 Origin)
{
    return FStream->Seek(Offset, TSeekOrigin(Origin));
}

int TInterfacedStream::Read(void *Buffer, int Count)
{
    return Count > 0 ? int(FStream->Read(Buffer, Count)) : 0;
}

int TInterfacedStream::Write(const void *Buffer, int Count)
{
    const int written = Count > 0 ? int(FStream->Write(Buffer, Count)) : 0;
    Changed();
    return written;
}

qint64 TInterfacedStream::GetSize()
{
    return FStream->Size();
}

void TInterfacedStream::SetSize(qint64 NewSize)
{
    FStream->SetSize(NewSize);
    Changed();
}

void TInterfacedStream::Changed()
{
    if (FDisableNotifierCount != 0 || FNotifyList.empty())
        return;
    // A copy: a notifier may unregister itself (or another) while called.
    const auto notifiers = FNotifyList;
    for (const auto &n : notifiers)
        n->DataStreamChanged(this);
}

void TInterfacedStream::Do_Changed()
{
    Changed();
}

void TInterfacedStream::Do_RegisterChangeNotifier(IDataStreamChangeNotifier *ANotifier)
{
    if (!ANotifier)
        return;
    if (std::find(FNotifyList.begin(), FNotifyList.end(), IPtr<IDataStreamChangeNotifier>(ANotifier))
        == FNotifyList.end())
        FNotifyList.emplace_back(ANotifier);
}

void TInterfacedStream::Do_UnRegisterChangeNotifier(IDataStreamChangeNotifier *ANotifier)
{
    auto it = std::find(FNotifyList.begin(), FNotifyList.end(), IPtr<IDataStreamChangeNotifier>(ANotifier));
    if (it != FNotifyList.end())
        FNotifyList.erase(it);
}

IPtr<IInterface> TInterfacedStream::Get_TagData() { return FTagData; }
void TInterfacedStream::Set_TagData(const IPtr<IInterface> &Value) { FTagData = Value; }
void TInterfacedStream::Do_DisableNotifiers() { ++FDisableNotifierCount; }
void TInterfacedStream::Do_EnableNotifiers() { --FDisableNotifierCount; }

void *TInterfacedStream::Get_Memory()
{
    auto *mem = dynamic_cast<TMemoryStream *>(FStream);
    return mem ? mem->Memory() : nullptr;
}

bool TInterfacedStream::Get_OwnsContainerStream() { return FFreeStreamOnDestroy; }
void TInterfacedStream::Set_OwnsContainerStream(bool Value) { FFreeStreamOnDestroy = Value; }

// --- TDataStreamWrapper --------------------------------------------------------

TDataStreamWrapper::TDataStreamWrapper(const IPtr<IDataStream> &ADataStream)
    : FDataStream(ADataStream)
{
}

TDataStreamWrapper::~TDataStreamWrapper()
{
    FDataStream.reset();
}

qint64 TDataStreamWrapper::Read(void *buffer, qint64 count)
{
    qint64 done = 0;
    while (done < count) {
        const int n = FDataStream->Read(static_cast<char *>(buffer) + done, int(std::min(count - done, kMaxCall)));
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

qint64 TDataStreamWrapper::Write(const void *buffer, qint64 count)
{
    qint64 done = 0;
    while (done < count) {
        const int n = FDataStream->Write(static_cast<const char *>(buffer) + done,
                                         int(std::min(count - done, kMaxCall)));
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

qint64 TDataStreamWrapper::Seek(qint64 offset, TSeekOrigin origin)
{
    return FDataStream->Seek(offset, quint16(origin));
}

qint64 TDataStreamWrapper::Size()
{
    return FDataStream->GetSize();
}

void TDataStreamWrapper::SetSize(qint64 newSize)
{
    FDataStream->SetSize(newSize);
}

} // namespace zor
