// The base of the in-process previewers: initialised with a stream, whose
// bytes it keeps (up to MaxBytes()), it builds its view in DoPreview and
// parents it into the pane's window.
#pragma once

#include <ZorCompCore/core/PreviewHandlerDef.h>

#include <QPointer>
#include <QWidget>

namespace zor::detail {

// A previewer's view whose picture arrives after it was made. It reports
// once (Finish); the report dies with the view, so a view replaced or
// unloaded before it finished never reports.
class TDeferredView
{
public:
    virtual ~TDeferredView() = default;
    bool Finished() const { return FFinished; }
    void SetDone(TPreviewDone done) { FDone = std::move(done); }

protected:
    void Finish(HRESULT result, const QString &description)
    {
        if (std::exchange(FFinished, true))
            return;
        if (TPreviewDone done = std::exchange(FDone, {}))
            done(result, description);
    }

private:
    bool FFinished = false;
    TPreviewDone FDone;
};

// IPreviewHandlerCompletion for a previewer showing view.
HRESULT AdviseViewCompletion(QWidget *view, TPreviewDone done);

class TStreamPreviewer : public TInterfacedObject,
                         public IPreviewHandler,
                         public IInitializeWithStream,
                         public IPreviewHandlerCompletion
{
public:
    HRESULT QueryInterface(const QUuid &iid, void **obj) override;
    HRESULT AdviseCompletion(TPreviewDone done) override;
    HRESULT Initialize(IDataStream *stream, quint32 mode) override;
    HRESULT SetWindow(HWND parent, const QRect &rect) override;
    HRESULT SetRect(const QRect &rect) override;
    HRESULT DoPreview() override;
    HRESULT Unload() override;

    QWidget *View() const { return FView; }

protected:
    ~TStreamPreviewer() override;
    virtual qint64 MaxBytes() const { return qint64(1) << 20; }
    // The view of Data(); throws EOleSysError for data it cannot show.
    virtual QWidget *CreateView(QWidget *parent) = 0;
    const QByteArray &Data() const { return FData; }
    bool Truncated() const { return FTruncated; }
    // Where the view goes in the pane's window.
    const QRect &Rect() const { return FRect; }

private:
    QByteArray FData;
    bool FTruncated = false;
    QPointer<QWidget> FParent;
    QRect FRect;
    QPointer<QWidget> FView;
};

// Text by its byte order mark, else UTF-8 when it is valid, else the ANSI code page.
QString DecodeText(const QByteArray &data);

void RegisterBuiltInPreviewers();
// The PDF previewer (a local server) and the stop of its worker processes.
void RegisterPdfPreviewer();
void StopPreviewWorkers();
void WindowsPreviewHandlerControlStartup();
void WindowsPreviewHandlerControlShutdown();

} // namespace zor::detail
