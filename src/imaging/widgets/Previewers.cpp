// The built-in in-process previewers (pictures, SVG and metafiles, plain
// text, Markdown, HTML) and their registration: classes in the class table,
// MIME types in the shell's association table.
#include "Previewers_p.h"

#include "WindowsPreviewHandlerControl.h"

#include <ZorCompCore/imaging/Graphic.h>
#include <ZorCompCore/imaging/GraphicClass.h>
#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/platform/ComObj.h>

#include <QDesktopServices>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStringDecoder>
#include <QTextBrowser>

namespace zor {

namespace detail {

HRESULT TStreamPreviewer::QueryInterface(const QUuid &iid, void **obj)
{
    if (AnswerInterface<IPreviewHandler>(this, iid, obj) || AnswerInterface<IInitializeWithStream>(this, iid, obj))
        return S_OK;
    return TInterfacedObject::QueryInterface(iid, obj);
}

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

// Draws a picture fitted into the widget, never enlarged, centred.
class TPictureView final : public QWidget
{
public:
    TPictureView(TGraphic graphic, QWidget *parent) : QWidget(parent), FGraphic(std::move(graphic)) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().brush(QPalette::Base));
        QSizeF size = FGraphic.Size();
        if (size.isEmpty())
            return;
        if (size.width() > width() || size.height() > height())
            size.scale(QSizeF(this->size()), Qt::KeepAspectRatio);
        const QRectF target(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
        if (FGraphic.IsVector()) {
            FGraphic.Draw(p, target);
            return;
        }
        // A scaled copy per size: repaints while scrolling stay cheap.
        const QSize pixels = (size * devicePixelRatioF()).toSize();
        if (FScaled.size() != pixels) {
            FScaled = FGraphic.Image().scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            FScaled.setDevicePixelRatio(devicePixelRatioF());
        }
        p.drawImage(target.topLeft(), FScaled);
    }

private:
    TGraphic FGraphic;
    QImage FScaled;
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
            return new TPictureView(TGraphic::Load(Data()), parent);
        } catch (const EEnvisionError &e) {
            throw EOleSysError(e.Message(), E_PREVIEW_CORRUPT);
        }
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
