// The built-in in-process previewers (pictures, SVG and metafiles, plain
// text, Markdown, HTML) and their registration: classes in the class table,
// MIME types in the shell's association table.
#include "Previewers_p.h"

#include "WindowsPreviewHandlerControl.h"

#include <ZorCompCore/imaging/Graphic.h>
#include <ZorCompCore/imaging/GraphicClass.h>
#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/platform/ComObj.h>

#include <QBuffer>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QImageReader>
#include <QMouseEvent>
#include <QMovie>
#include <QMutex>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStringDecoder>
#include <QTextBrowser>
#include <QThreadPool>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <memory>

namespace zor {

namespace detail {

HRESULT AdviseViewCompletion(QWidget *view, TPreviewDone done)
{
    auto *deferred = dynamic_cast<TDeferredView *>(view);
    if (!deferred || deferred->Finished())
        return S_FALSE;
    deferred->SetDone(std::move(done));
    return S_OK;
}

HRESULT TStreamPreviewer::QueryInterface(const QUuid &iid, void **obj)
{
    if (AnswerInterface<IPreviewHandler>(this, iid, obj) || AnswerInterface<IInitializeWithStream>(this, iid, obj) ||
        AnswerInterface<IPreviewHandlerCompletion>(this, iid, obj))
        return S_OK;
    return TInterfacedObject::QueryInterface(iid, obj);
}

HRESULT TStreamPreviewer::AdviseCompletion(TPreviewDone done) { return AdviseViewCompletion(FView, std::move(done)); }

HRESULT TStreamPreviewer::Initialize(IDataStream *stream, quint32)
{
    if (!stream)
        return E_POINTER;
    try {
        // Reads at most MaxBytes() + 1 to learn whether the file goes on.
        const qint64 limit = MaxBytes();
        FData.clear();
        stream->Seek(0, 0);
        char buffer[65536];
        while (FData.size() <= limit) {
            const int n = stream->Read(buffer, int(std::min<qint64>(sizeof buffer, limit + 1 - FData.size())));
            if (n <= 0)
                break;
            FData.append(buffer, n);
        }
        FTruncated = FData.size() > limit;
        if (FTruncated)
            FData.truncate(limit);
        return S_OK;
    } catch (...) {
        return HandleCallException();
    }
}

HRESULT TStreamPreviewer::SetWindow(HWND parent, const QRect &rect)
{
    FParent = parent;
    FRect = rect;
    if (FView) {
        FView->setParent(parent);
        FView->setGeometry(rect);
        FView->setVisible(parent != nullptr);
    }
    return S_OK;
}

HRESULT TStreamPreviewer::SetRect(const QRect &rect)
{
    FRect = rect;
    if (FView)
        FView->setGeometry(rect);
    return S_OK;
}

HRESULT TStreamPreviewer::DoPreview()
{
    try {
        if (!FParent)
            throw EOleSysError(QStringLiteral("The previewer has no window"), E_UNEXPECTED);
        delete FView.data();
        QWidget *view = CreateView(FParent);
        FView = view;
        view->setGeometry(FRect);
        view->show();
        return S_OK;
    } catch (...) {
        return HandleCallException();
    }
}

HRESULT TStreamPreviewer::Unload()
{
    delete FView.data();
    FData.clear();
    return S_OK;
}

TStreamPreviewer::~TStreamPreviewer()
{
    delete FView.data();
}

QString DecodeText(const QByteArray &data)
{
    if (auto encoding = QStringConverter::encodingForData(data)) {
        QStringDecoder decoder(*encoding, QStringDecoder::Flag::Stateless);
        return decoder.decode(data);
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8.decode(data);
    if (!utf8.hasError())
        return text;
    return FromAnsi(data);
}

} // namespace detail

namespace {

using detail::TStreamPreviewer;

// Pictures above this many pixels decode on the thread pool, at the size the
// pane shows them, so that arrowing through a folder of photos stays smooth;
// smaller ones decode at once, whole.
constexpr qint64 kSyncPixels = qint64(1) << 20;

// size fitted into bounds, never enlarged.
QSizeF Fitted(QSizeF size, QSizeF bounds)
{
    if (size.width() > bounds.width() || size.height() > bounds.height())
        size.scale(bounds, Qt::KeepAspectRatio);
    return size;
}

QRectF Centred(QSizeF size, QSize area)
{
    return QRectF(QPointF((area.width() - size.width()) / 2, (area.height() - size.height()) / 2), size);
}

class TPictureView;

// One decode request of a view. The view cancels it when it wants another
// size or goes away; the pool task then skips the work or drops its result.
class TDecodeTicket : public std::enable_shared_from_this<TDecodeTicket>
{
public:
    explicit TDecodeTicket(TPictureView *view) : FView(view) {}
    bool Cancelled() const
    {
        QMutexLocker lock(&FLock);
        return !FView;
    }
    void Cancel()
    {
        QMutexLocker lock(&FLock);
        FView = nullptr;
    }
    // From the pool: queues the result to the view's thread.
    void Deliver(QImage image, QString error);

private:
    mutable QMutex FLock;
    TPictureView *FView;
};

// A picture fitted into the widget, never enlarged, centred. A large raster
// picture is decoded on the thread pool at the size it is shown (again when
// the widget grows or zooms in); until then the widget stays empty.
//
// Zoom: Ctrl+wheel about the mouse, + and - about the centre, 1 for the
// natural size, 0 back to fitting. A picture larger than the widget is
// moved by dragging or the wheel. The widget takes the focus only when
// clicked, so a file list beside the pane keeps its arrow keys.
class TPictureView final : public QWidget, public detail::TDeferredView
{
public:
    // Decoded already: a vector drawing, or a small raster picture.
    TPictureView(TGraphic graphic, QWidget *parent) : QWidget(parent), FNatural(graphic.Size())
    {
        setFocusPolicy(Qt::ClickFocus);
        if (graphic.IsVector())
            FVector = std::move(graphic);
        else
            FImage = graphic.Image();
        Finish(S_OK, {});
    }
    // A raster picture of natural (upright) size, decoded later.
    TPictureView(QByteArray data, const TGraphicClass *cls, QSize natural, QWidget *parent)
        : QWidget(parent), FData(std::move(data)), FClass(cls), FNatural(natural)
    {
        setFocusPolicy(Qt::ClickFocus);
    }
    ~TPictureView() override
    {
        if (FTicket)
            FTicket->Cancel();
    }

    // Asks the pool for the picture at the size shown, unless what is there
    // or on its way is large enough.
    void EnsureDecoded()
    {
        if (FData.isEmpty() || FFailed)
            return;
        const QSize wanted = (Shown() * devicePixelRatioF()).toSize().boundedTo(FNatural);
        if (wanted.isEmpty())
            return;
        const auto covers = [&](QSize s) { return s.width() >= wanted.width() && s.height() >= wanted.height(); };
        if (covers(FImage.size()) || (FTicket && covers(FRequested)))
            return;
        if (FTicket)
            FTicket->Cancel();
        FTicket = std::make_shared<TDecodeTicket>(this);
        FRequested = wanted;
        // The task holds its own share of the bytes and nothing of the view.
        QThreadPool::globalInstance()->start([ticket = FTicket, data = FData, cls = FClass, wanted] {
            if (ticket->Cancelled())
                return; // a newer file or size came first
            QImage image;
            QString error;
            try {
                image = TGraphic::Load(data, cls, wanted).Image();
            } catch (const Exception &e) {
                error = e.Message();
            } catch (const std::bad_alloc &) {
                error = QStringLiteral("Not enough memory to decode the picture");
            }
            ticket->Deliver(std::move(image), std::move(error));
        });
    }

    void Decoded(const QImage &image, const QString &error)
    {
        FTicket.reset();
        if (image.isNull()) {
            // A larger decode failing keeps what shows; the first one failing
            // is the preview's failure.
            FFailed = true;
            if (FImage.isNull())
                Finish(E_PREVIEW_CORRUPT, error.isEmpty() ? QStringLiteral("The picture cannot be decoded") : error);
            return;
        }
        FImage = image;
        FScaled = QImage();
        update();
        Finish(S_OK, {});
    }

    // 0: fitted; else the scale against the natural size.
    double Zoom() const { return FZoom; }
    // Zooms to scale (0: fit), keeping the picture's point under anchor
    // (widget coordinates) where it is.
    void SetZoom(double scale, QPointF anchor)
    {
        if (FNatural.isEmpty())
            return;
        const QRectF before = Target();
        const QPointF picture = before.isEmpty() ? QPointF()
                                                 : QPointF((anchor.x() - before.x()) / before.width(),
                                                           (anchor.y() - before.y()) / before.height());
        FZoom = scale <= 0 ? 0 : std::clamp(scale, kMinZoom, kMaxZoom);
        const QSizeF shown = Shown();
        FScroll = QPointF(picture.x() * shown.width() - anchor.x(), picture.y() * shown.height() - anchor.y());
        ClampScroll();
        EnsureDecoded();
        update();
    }
    // The picture's rectangle in the widget.
    QRectF Target() const
    {
        const QSizeF shown = Shown();
        QRectF r = Centred(shown, size());
        if (shown.width() > width())
            r.moveLeft(-FScroll.x());
        if (shown.height() > height())
            r.moveTop(-FScroll.y());
        return r;
    }

protected:
    void resizeEvent(QResizeEvent *) override
    {
        ClampScroll();
        EnsureDecoded();
    }

    void wheelEvent(QWheelEvent *e) override
    {
        if (e->modifiers() & Qt::ControlModifier) {
            const int steps = e->angleDelta().y() / 120;
            if (steps)
                SetZoom(Scale() * std::pow(kZoomStep, steps), e->position());
            return;
        }
        if (!Overflows()) {
            e->ignore(); // the pane's parent may scroll
            return;
        }
        MoveBy(-QPointF(e->angleDelta()) / 2);
    }

    void keyPressEvent(QKeyEvent *e) override
    {
        const QPointF centre(width() / 2.0, height() / 2.0);
        switch (e->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            SetZoom(Scale() * kZoomStep, centre);
            break;
        case Qt::Key_Minus:
            SetZoom(Scale() / kZoomStep, centre);
            break;
        case Qt::Key_1:
            SetZoom(1, centre);
            break;
        case Qt::Key_0:
            SetZoom(0, centre);
            break;
        default:
            QWidget::keyPressEvent(e);
        }
    }

    void mousePressEvent(QMouseEvent *e) override
    {
        FDragFrom = e->position();
        if (Overflows())
            setCursor(Qt::ClosedHandCursor);
    }
    void mouseMoveEvent(QMouseEvent *e) override
    {
        if (!(e->buttons() & Qt::LeftButton) || !Overflows())
            return;
        MoveBy(FDragFrom - e->position());
        FDragFrom = e->position();
    }
    void mouseReleaseEvent(QMouseEvent *) override { unsetCursor(); }

    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().brush(QPalette::Base));
        const QRectF target = Target();
        const QSizeF shown = target.size();
        if (shown.isEmpty())
            return;
        if (!FVector.IsEmpty()) {
            FVector.Draw(p, target);
            return;
        }
        if (FImage.isNull())
            return;
        const QSize pixels = (shown * devicePixelRatioF()).toSize();
        if (pixels.width() > FImage.width() || pixels.height() > FImage.height()) {
            // Zoomed past the decoded pixels: drawn through the painter, so
            // no copy larger than the picture is ever made; pixels stay
            // sharp, as zooming in is for seeing them.
            p.drawImage(target, FImage);
            return;
        }
        // A scaled copy per size: repaints while scrolling stay cheap.
        if (FScaled.size() != pixels) {
            FScaled = FImage.size() == pixels
                          ? FImage
                          : FImage.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            FScaled.setDevicePixelRatio(devicePixelRatioF());
        }
        p.drawImage(target.topLeft(), FScaled);
    }

private:
    static constexpr double kZoomStep = 1.25;
    static constexpr double kMinZoom = 1.0 / 64;
    static constexpr double kMaxZoom = 32;

    QSizeF Shown() const { return FZoom > 0 ? QSizeF(FNatural) * FZoom : Fitted(FNatural, size()); }
    double Scale() const
    {
        return FNatural.width() > 0 ? Shown().width() / FNatural.width() : 1;
    }
    bool Overflows() const
    {
        const QSizeF shown = Shown();
        return shown.width() > width() || shown.height() > height();
    }
    void MoveBy(QPointF delta)
    {
        FScroll += delta;
        ClampScroll();
        update();
    }
    void ClampScroll()
    {
        const QSizeF shown = Shown();
        FScroll.setX(std::clamp(FScroll.x(), 0.0, qMax(0.0, shown.width() - width())));
        FScroll.setY(std::clamp(FScroll.y(), 0.0, qMax(0.0, shown.height() - height())));
    }

    QByteArray FData; // kept for decoding at other sizes
    const TGraphicClass *FClass = nullptr;
    QSize FNatural;
    TGraphic FVector;
    QImage FImage;
    QImage FScaled;
    std::shared_ptr<TDecodeTicket> FTicket; // the request on its way, if any
    QSize FRequested;
    bool FFailed = false;
    double FZoom = 0;
    QPointF FScroll;   // the widget's top-left in the shown picture
    QPointF FDragFrom;
};

void TDecodeTicket::Deliver(QImage image, QString error)
{
    // Under the lock the view cannot get past its destructor's Cancel; once
    // it is gone, Qt drops the queued call together with it.
    QMutexLocker lock(&FLock);
    if (!FView)
        return;
    QMetaObject::invokeMethod(
        FView,
        [view = FView, ticket = shared_from_this(), image = std::move(image), error = std::move(error)] {
            // Replaced by a request for another size meanwhile: stale.
            if (!ticket->Cancelled())
                view->Decoded(image, error);
        },
        Qt::QueuedConnection);
}

// An animation (GIF, WebP) played fitted into the widget, never enlarged;
// it runs only while the widget is visible.
class TMovieView final : public QWidget
{
public:
    TMovieView(const QByteArray &data, const QByteArray &format, QWidget *parent) : QWidget(parent), FData(data)
    {
        FBuffer = new QBuffer(&FData, this);
        FBuffer->open(QIODevice::ReadOnly);
        FMovie = new QMovie(FBuffer, format, this);
        FMovie->setCacheMode(QMovie::CacheNone);
        connect(FMovie, &QMovie::frameChanged, this, [this] { update(); });
    }
    ~TMovieView() override
    {
        // Before the bytes they read go.
        delete FMovie;
        delete FBuffer;
    }

protected:
    void showEvent(QShowEvent *) override
    {
        if (FMovie->state() == QMovie::Paused)
            FMovie->setPaused(false);
        else if (FMovie->state() == QMovie::NotRunning)
            FMovie->start();
    }
    void hideEvent(QHideEvent *) override
    {
        if (FMovie->state() == QMovie::Running)
            FMovie->setPaused(true);
    }
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().brush(QPalette::Base));
        const QImage frame = FMovie->currentImage();
        if (frame.isNull())
            return;
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(Centred(Fitted(frame.size(), size()), size()), frame);
    }

private:
    QByteArray FData;
    QBuffer *FBuffer = nullptr;
    QMovie *FMovie = nullptr;
};

class TPicturePreviewer final : public TStreamPreviewer
{
protected:
    qint64 MaxBytes() const override { return qint64(512) << 20; }
    QWidget *CreateView(QWidget *parent) override
    {
        if (Truncated())
            throw EOleSysError(QStringLiteral("The picture is too large to preview"), E_PREVIEW_CORRUPT);
        try {
            const TGraphicClass *cls = GuessDibGraphicClass(Data());
            // A document in a picture's clothes is not parsed in this process.
            if (cls && cls->Kind() == TGraphicKind::Pdf)
                throw EOleSysError(QStringLiteral("The file holds a PDF document, not a picture"), E_PREVIEW_CORRUPT);
            if (cls && cls->Kind() == TGraphicKind::Raster)
                if (QWidget *view = CreateRasterView(cls, parent))
                    return view;
            return new TPictureView(TGraphic::Load(Data(), cls), parent);
        } catch (const EEnvisionError &e) {
            throw EOleSysError(e.Message(), E_PREVIEW_CORRUPT);
        }
    }

private:
    // The header decides: an animation plays, a large picture decodes later
    // (nullptr: decode now).
    QWidget *CreateRasterView(const TGraphicClass *cls, QWidget *parent)
    {
        QByteArray bytes = Data();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, cls->QtFormat());
        reader.setAutoTransform(true);
        QSize natural = reader.size();
        // No size from the header: decoding now says what is wrong.
        if (natural.isEmpty())
            return nullptr;
        if (reader.transformation() & QImageIOHandler::TransformationRotate90)
            natural.transpose();
        if (reader.supportsAnimation() && reader.imageCount() > 1)
            return new TMovieView(Data(), cls->QtFormat(), parent);
        if (qint64(natural.width()) * natural.height() <= kSyncPixels)
            return nullptr;
        auto *view = new TPictureView(Data(), cls, natural, parent);
        view->resize(Rect().size());
        view->EnsureDecoded();
        return view;
    }
};

class TTextPreviewer final : public TStreamPreviewer
{
protected:
    QWidget *CreateView(QWidget *parent) override
    {
        auto *view = new QPlainTextEdit(parent);
        view->setReadOnly(true);
        view->setLineWrapMode(QPlainTextEdit::NoWrap);
        QString text = detail::DecodeText(Data());
        if (Truncated())
            text += QStringLiteral("\n\n[truncated: only the first MiB is shown]");
        view->setPlainText(text);
        return view;
    }
};

// Shows documents without fetching anything; links open outside.
class TOfflineBrowser final : public QTextBrowser
{
public:
    explicit TOfflineBrowser(QWidget *parent) : QTextBrowser(parent)
    {
        setOpenLinks(false);
        connect(this, &QTextBrowser::anchorClicked, this, [](const QUrl &url) {
            if (!url.isRelative())
                QDesktopServices::openUrl(url);
        });
    }
    QVariant loadResource(int, const QUrl &) override { return {}; }
};

class TMarkdownPreviewer final : public TStreamPreviewer
{
protected:
    QWidget *CreateView(QWidget *parent) override
    {
        auto *view = new TOfflineBrowser(parent);
        view->setMarkdown(detail::DecodeText(Data()));
        return view;
    }
};

class THtmlPreviewer final : public TStreamPreviewer
{
protected:
    QWidget *CreateView(QWidget *parent) override
    {
        auto *view = new TOfflineBrowser(parent);
        const QByteArray &data = Data();
        const auto encoding = QStringConverter::encodingForHtml(data);
        view->setHtml(encoding ? QStringDecoder(*encoding).decode(data) : detail::DecodeText(data));
        return view;
    }
};

template <class T>
TClassFactory InProcess()
{
    return [] { return IPtr<IInterface>(static_cast<IPreviewHandler *>(new T)); };
}

} // namespace

namespace detail {

void RegisterBuiltInPreviewers()
{
    CoRegisterClass(PreviewClasses::Picture, {InProcess<TPicturePreviewer>(), nullptr});
    CoRegisterClass(PreviewClasses::Text, {InProcess<TTextPreviewer>(), nullptr});
    CoRegisterClass(PreviewClasses::Markdown, {InProcess<TMarkdownPreviewer>(), nullptr});
    CoRegisterClass(PreviewClasses::Html, {InProcess<THtmlPreviewer>(), nullptr});

    const QUuid iid = IPreviewHandler::IID;
    for (const char *type : {"image/png", "image/jpeg", "image/gif", "image/bmp", "image/webp", "image/tiff",
                             "image/vnd.microsoft.icon", "image/x-portable-pixmap", "image/x-portable-graymap",
                             "image/x-portable-bitmap", "image/x-xbitmap", "image/x-xpixmap", "image/x-tga",
                             "image/svg+xml", "image/emf", "image/wmf"})
        AssocRegisterShellExtension(QLatin1String(type), iid, PreviewClasses::Picture);
    AssocRegisterShellExtension(QStringLiteral("text/plain"), iid, PreviewClasses::Text);
    AssocRegisterShellExtension(QStringLiteral("text/markdown"), iid, PreviewClasses::Markdown);
    AssocRegisterShellExtension(QStringLiteral("text/html"), iid, PreviewClasses::Html);
    AssocRegisterShellExtension(QStringLiteral("application/xhtml+xml"), iid, PreviewClasses::Html);
    // RTF descends from plain text but waits for the rich-text engine.
    AssocBlockShellExtension(QStringLiteral("application/rtf"), iid);
    RegisterPdfPreviewer();
}

void WindowsPreviewHandlerControlStartup()
{
    CoInitialize();
    RegisterBuiltInPreviewers();
}

void WindowsPreviewHandlerControlShutdown()
{
    StopPreviewWorkers();
    CoUninitialize();
}

} // namespace detail

} // namespace zor
