// The reference-counted byte-stream interface that crosses module
// boundaries, with change notification.
#pragma once

#include <ZorCompCore/platform/Interface.h>
#include <ZorCompCore/zor_export.h>

namespace zor {

class ZOR_EXPORT IDataStream : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{0C315F96-71A8-4968-B091-BFBE8129B7BD}");
    // Origin: 0 from the start, 1 from the current position, 2 from the end.
    virtual qint64 Seek(qint64 Offset, quint16 Origin) = 0;
    virtual int Read(void *Buffer, int Count) = 0;   // bytes read
    virtual int Write(const void *Buffer, int Count) = 0; // bytes written
    virtual qint64 GetSize() = 0;
    virtual void SetSize(qint64 NewSize) = 0;
};

class IDataStreamEx;

class ZOR_EXPORT IDataStreamChangeNotifier : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{44330148-40D0-40E1-B6A1-4F51AAFCC512}");
    virtual void DataStreamChanged(IDataStreamEx *AStream) = 0;
};

class ZOR_EXPORT IDataStreamEx : public IDataStream
{
public:
    ZOR_INTERFACE_IID("{1FC13AF4-7569-4CC5-852D-F5180E487034}");
    // Tells the registered notifiers (unless disabled) that the data changed.
    virtual void Do_Changed() = 0;
    // A notifier is held (and referenced) once, however often it registers.
    virtual void Do_RegisterChangeNotifier(IDataStreamChangeNotifier *ANotifier) = 0;
    virtual void Do_UnRegisterChangeNotifier(IDataStreamChangeNotifier *ANotifier) = 0;
    // Any interface the owner wants to keep with the stream.
    virtual IPtr<IInterface> Get_TagData() = 0;
    virtual void Set_TagData(const IPtr<IInterface> &Value) = 0;
    // Nested: notifications resume when every Disable has its Enable.
    virtual void Do_DisableNotifiers() = 0;
    virtual void Do_EnableNotifiers() = 0;
    // The contiguous bytes of an in-memory stream, nullptr otherwise.
    virtual void *Get_Memory() = 0;
    virtual bool Get_OwnsContainerStream() = 0;
    virtual void Set_OwnsContainerStream(bool Value) = 0;
};

} // namespace zor
