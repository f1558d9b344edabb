// TInterfacedStream presents a stream as a reference-counted IDataStreamEx
// with change notification; TDataStreamWrapper presents any IDataStream as
// an ordinary TStream.
#pragma once

#include <ZorCompCore/core/DataStreamDef.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/zor_export.h>

#include <vector>

namespace zor {

class ZOR_EXPORT TInterfacedStream : public TInterfacedObject, public IDataStreamEx
{
public:
    // With CacheStream, AStream's whole content is copied into an owned
    // memory stream (left positioned at its end) and AStream is deleted at
    // once when FreeStreamOnDestroy; otherwise AStream itself is used, and
    // deleted with this object when FreeStreamOnDestroy.
    TInterfacedStream(TStream *AStream, bool FreeStreamOnDestroy, bool CacheStream = false);

    HRESULT QueryInterface(const QUuid &iid, void **obj) override;

    qint64 Seek(qint64 Offset, quint16 Origin) override;
    int Read(void *Buffer, int Count) override;
    int Write(const void *Buffer, int Count) override;    // notifies
    qint64 GetSize() override;
    void SetSize(qint64 NewSize) override;                // notifies

    void Do_Changed() override;
    void Do_RegisterChangeNotifier(IDataStreamChangeNotifier *ANotifier) override;
    void Do_UnRegisterChangeNotifier(IDataStreamChangeNotifier *ANotifier) override;
    IPtr<IInterface> Get_TagData() override;
    void Set_TagData(const IPtr<IInterface> &Value) override;
    void Do_DisableNotifiers() override;
    void Do_EnableNotifiers() override;
    void *Get_Memory() override;
    bool Get_OwnsContainerStream() override;
    void Set_OwnsContainerStream(bool Value) override;

    TStream *Stream() const { return FStream; }

protected:
    ~TInterfacedStream() override;

private:
    void Changed();

    TStream *FStream = nullptr;
    bool FFreeStreamOnDestroy = false;
    std::vector<IPtr<IDataStreamChangeNotifier>> FNotifyList;
    IPtr<IInterface> FTagData;
    qint32 FDisableNotifierCount = 0;
};

class ZOR_EXPORT TDataStreamWrapper : public TStream
{
public:
    explicit TDataStreamWrapper(const IPtr<IDataStream> &ADataStream);
    ~TDataStreamWrapper() override;

    qint64 Read(void *buffer, qint64 count) override;
    qint64 Write(const void *buffer, qint64 count) override;
    qint64 Seek(qint64 offset, TSeekOrigin origin) override;
    qint64 Size() override;
    void SetSize(qint64 newSize) override;

    IDataStream *DataStream() const { return FDataStream.get(); }

private:
    IPtr<IDataStream> FDataStream;
};

} // namespace zor
