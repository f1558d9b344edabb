// The interfaces between a preview pane and the previewers it hosts: the
// previewer itself, the three ways of handing it a file, and the pane's side.
// A window is a QWidget: SetWindow parents the previewer's widget into it.
#pragma once

#include <ZorCompCore/core/DataStreamDef.h>
#include <ZorCompCore/platform/ShellAssoc.h>

#include <QRect>

#include <functional>

class QWidget;

namespace zor {

using HWND = QWidget *;

// Access modes handed to the initialisers.
constexpr quint32 STGM_READ = 0x0;

class ZOR_EXPORT IPreviewHandler : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{8895B1C6-B41F-4C1C-A562-0D564250836F}");
    virtual HRESULT SetWindow(HWND parent, const QRect &rect) = 0; // nullptr detaches
    virtual HRESULT SetRect(const QRect &rect) = 0;
    virtual HRESULT DoPreview() = 0;
    virtual HRESULT Unload() = 0;
};

class ZOR_EXPORT IInitializeWithStream : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{B824B49D-22AC-4161-AC8A-9916E8FA3F7F}");
    virtual HRESULT Initialize(IDataStream *stream, quint32 mode) = 0;
};

class ZOR_EXPORT IInitializeWithFile : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{B7D14566-0509-4CCE-A71F-0A554233BD9B}");
    virtual HRESULT Initialize(const QString &path, quint32 mode) = 0;
};

class ZOR_EXPORT IInitializeWithItem : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{7F73BE3F-FB79-493C-A6C7-7EE14E245841}");
    virtual HRESULT Initialize(IShellItem *item, quint32 mode) = 0;
};

class ZOR_EXPORT IPreviewHandlerFrame : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{FEC87AAF-35F9-447A-ADB7-20234491401A}");
    virtual HRESULT GetWindowContext(void *info) = 0;
    virtual HRESULT TranslateAccelerator(void *msg) = 0;
};

// A previewer whose picture is made after DoPreview returned (decoded on a
// worker thread, rendered by another process) tells the pane when it is
// complete. The pane asks for this once DoPreview succeeded; a previewer
// without it is complete when DoPreview returns.
using TPreviewDone = std::function<void(HRESULT result, const QString &description)>;

class ZOR_EXPORT IPreviewHandlerCompletion : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{1737C6FE-08B8-4F00-8C97-ECB209063B09}");
    // S_FALSE: the picture is complete already and done is not called. S_OK:
    // done runs once, on the GUI thread, with S_OK when the picture shows or
    // a failure code and its description; never after Unload.
    virtual HRESULT AdviseCompletion(TPreviewDone done) = 0;
};

// Failures a previewer reports for its file.
constexpr HRESULT E_PREVIEW_DRM = qint32(0x86420001u);         // protected (an encrypted PDF)
constexpr HRESULT E_PREVIEW_PERMISSIONS = qint32(0x86420002u); // cannot be read
constexpr HRESULT E_PREVIEW_NOT_FOUND = qint32(0x86420003u);   // gone
constexpr HRESULT E_PREVIEW_CORRUPT = qint32(0x86420004u);     // cannot be decoded

} // namespace zor
