// The PDF previewer: a proxy in this process for pages rendered by
// zor-preview-worker. PDF renderers have a long record of crashing on hostile
// files, and a preview pane opens whatever the user clicks, so the document
// is parsed only in the worker; this side trusts nothing it reads from it.
//
// One worker serves a pane's successive files: it lives as a child of the
// pane's window. A request that takes longer than the time limit, a crash or
// a malformed answer kills it; the next file starts a fresh one.
#include "PreviewFrames_p.h"
#include "Previewers_p.h"
#include "WindowsPreviewHandlerControl.h"

#include <ZorCompCore/platform/ComObj.h>

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QScrollBar>
#include <QSet>
#include <QTimer>

#include <dlfcn.h>

#include <climits>
#include <cmath>

namespace zor {

namespace detail {

class TPreviewWorker;

namespace {

constexpr int kDefaultTimeLimitMs = 10000;
constexpr int kMargin = 8;

int TimeLimitMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("ZOR_PREVIEW_TIMEOUT_MS", &ok);
    return ok && ms > 0 ? ms : kDefaultTimeLimitMs;
}

QString WorkerPath()
{
    const QString fromEnv = qEnvironmentVariable("ZOR_PREVIEW_WORKER");
    if (!fromEnv.isEmpty())
        return fromEnv;
    // Beside the library as installed: <prefix>/lib/../libexec.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&TimeLimitMs), &info) && info.dli_fname) {
        const QString candidate = QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath() +
                                  QStringLiteral("/../libexec/zor-preview-worker");
        if (QFileInfo(candidate).isExecutable())
            return QDir::cleanPath(candidate);
    }
    return QStringLiteral(ZOR_INSTALL_LIBEXECDIR "/zor-preview-worker");
}

QSet<TPreviewWorker *> &LiveWorkers()
{
    // Never destroyed: the library's shut-down may run after static destructors.
    static auto *workers = new QSet<TPreviewWorker *>;
    return *workers;
}

} // namespace

// The connection to one worker process, owned by the pane it serves.
class TPreviewWorker final : public QObject
{
public:
    explicit TPreviewWorker(QObject *owner) : QObject(owner) { LiveWorkers().insert(this); }
    ~TPreviewWorker() override
    {
        LiveWorkers().remove(this);
        Stop();
    }

    // The worker serving parent, made on first use.
    static TPreviewWorker *For(QWidget *parent)
    {
        if (auto *w = parent->findChild<TPreviewWorker *>(QString(), Qt::FindDirectChildrenOnly))
            return w;
        return new TPreviewWorker(parent);
    }

    // Sends one request and waits for its answer (an Error frame included).
    // A worker that cannot answer is stopped; the result then is a failure
    // with its description left as error info.
    HRESULT Ask(TPreviewFrameType type, const QByteArray &payload, quint32 maxReply, TPreviewFrame &reply)
    {
        if (!Start())
            return CO_E_SERVER_EXEC_FAILURE;
        FReader.Clear();
        FReader.Expect(maxReply);
        FProcess->write(MakePreviewFrame(type, payload));
        const QDeadlineTimer deadline(TimeLimitMs());
        for (;;) {
            FReader.Append(FProcess->readAllStandardOutput());
            switch (FReader.Next(reply)) {
            case TPreviewFrameReader::Complete:
                return S_OK;
            case TPreviewFrameReader::Refused:
                return Fail(FReader.Error());
            case TPreviewFrameReader::NeedMore:
                break;
            }
            if (FProcess->state() != QProcess::Running) {
                FProcess->waitForFinished(0);
                const bool crashed = FProcess->exitStatus() == QProcess::CrashExit;
                return Fail(crashed ? QStringLiteral("The preview worker crashed")
                                    : QStringLiteral("The preview worker stopped (exit code %1)")
                                          .arg(FProcess->exitCode()));
            }
            if (deadline.hasExpired())
                return Fail(QStringLiteral("The preview worker did not answer within %1 seconds")
                                .arg(TimeLimitMs() / 1000.0));
            FProcess->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        }
    }

    qint64 ProcessId() const { return FProcess ? FProcess->processId() : 0; }

    void Stop()
    {
        if (!FProcess)
            return;
        FProcess->disconnect();
        FProcess->kill();
        FProcess->waitForFinished(-1);
        delete FProcess.data();
    }

private:
    bool Start()
    {
        if (FProcess && FProcess->state() == QProcess::Running)
            return true;
        Stop();
        FProcess = new QProcess(this);
        FProcess->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QString path = WorkerPath();
        FProcess->start(path, {});
        if (!FProcess->waitForStarted(TimeLimitMs())) {
            SetErrorInfo(QStringLiteral("Cannot start the preview worker %1: %2").arg(path, FProcess->errorString()));
            Stop();
            return false;
        }
        return true;
    }

    HRESULT Fail(const QString &why)
    {
        Stop();
        FReader.Clear();
        SetErrorInfo(why);
        // What kills a renderer is the file it was given.
        return E_PREVIEW_CORRUPT;
    }

    QPointer<QProcess> FProcess;
    TPreviewFrameReader FReader;
};

namespace {

// An Error frame as a failed result with its text as error info.
HRESULT Reported(const TPreviewFrame &frame)
{
    HRESULT code = E_FAIL;
    QString text, why;
    if (!DecodeError(frame.payload, code, text, why)) {
        SetErrorInfo(why);
        return E_PREVIEW_CORRUPT;
    }
    SetErrorInfo(text);
    return Failed(code) ? code : E_FAIL;
}

// The pages one under another at the pane's width, rendered when they come
// into view, at the device's pixel size. The preview is complete once the
// pages first in view are rendered (or the failure is written over them).
class TPdfPagesView final : public QAbstractScrollArea, public TDeferredView
{
public:
    TPdfPagesView(TPreviewWorker *worker, QList<QSizeF> sizes, QWidget *parent)
        : QAbstractScrollArea(parent), FWorker(worker), FSizes(std::move(sizes))
    {
        setFrameShape(QFrame::NoFrame);
        verticalScrollBar()->setSingleStep(24);
        UpdateScrollRange();
        // The first pages need no paint to ask for them, just the view's
        // final geometry, set before the event loop runs again.
        FRenderQueued = true;
        QTimer::singleShot(0, this, [this] { RenderVisible(); });
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QAbstractScrollArea::resizeEvent(event);
        UpdateScrollRange();
    }

    void scrollContentsBy(int, int) override { viewport()->update(); }

    void paintEvent(QPaintEvent *) override
    {
        QPainter p(viewport());
        p.fillRect(viewport()->rect(), palette().brush(QPalette::Mid));
        const int top = verticalScrollBar()->value();
        const int bottom = top + viewport()->height();
        bool missing = false;
        for (int i = 0; i < FSizes.size(); ++i) {
            const QRect r = PageRect(i);
            if (r.bottom() < top || r.top() > bottom)
                continue;
            const QRect shown = r.translated(0, -top);
            const auto it = FImages.constFind(i);
            if (it != FImages.constEnd() && it->size() == PixelSize(i)) {
                p.drawImage(shown, *it);
            } else {
                p.fillRect(shown, Qt::white);
                missing = true;
            }
        }
        if (!FError.isEmpty()) {
            p.setPen(palette().color(QPalette::Text));
            p.fillRect(QRect(0, 0, viewport()->width(), fontMetrics().height() * 2), palette().brush(QPalette::Base));
            p.drawText(QRect(0, 0, viewport()->width(), fontMetrics().height() * 2), Qt::AlignCenter,
                       u'(' + FError + u')');
        } else if (missing && !FRenderQueued) {
            // Rendered after this paint, outside it: the worker is waited for.
            FRenderQueued = true;
            QTimer::singleShot(0, this, [this] { RenderVisible(); });
        }
    }

private:
    int PageWidth() const { return qMax(16, viewport()->width() - 2 * kMargin); }
    int PageHeight(int i) const
    {
        const QSizeF s = FSizes[i];
        return qMax(1, int(std::lround(PageWidth() * s.height() / s.width())));
    }
    QRect PageRect(int i) const { return QRect(kMargin, FTops[i], PageWidth(), PageHeight(i)); }
    QSize PixelSize(int i) const
    {
        const qreal dpr = devicePixelRatioF();
        QSize size(qMax(1, int(std::lround(PageWidth() * dpr))), qMax(1, int(std::lround(PageHeight(i) * dpr))));
        if (size.width() > int(kPreviewMaxImageSide) || size.height() > int(kPreviewMaxImageSide))
            size.scale(int(kPreviewMaxImageSide), int(kPreviewMaxImageSide), Qt::KeepAspectRatio);
        return size;
    }

    // Lays the pages out at the view's width.
    void UpdateScrollRange()
    {
        FTops.resize(FSizes.size());
        qint64 y = kMargin;
        for (int i = 0; i < FSizes.size(); ++i) {
            FTops[i] = int(qMin<qint64>(y, INT_MAX / 2));
            y += PageHeight(i) + kMargin;
        }
        const int total = int(qMin<qint64>(y, INT_MAX / 2));
        verticalScrollBar()->setPageStep(viewport()->height());
        verticalScrollBar()->setRange(0, qMax(0, total - viewport()->height()));
    }

    void RenderVisible()
    {
        FRenderQueued = false;
        const int top = verticalScrollBar()->value();
        const int bottom = top + viewport()->height();
        int first = -1, last = -1;
        for (int i = 0; i < FSizes.size() && FError.isEmpty(); ++i) {
            const QRect r = PageRect(i);
            if (r.bottom() < top || r.top() > bottom)
                continue;
            if (first < 0)
                first = i;
            last = i;
            const QSize size = PixelSize(i);
            if (FImages.value(i).size() == size)
                continue;
            if (!FWorker) {
                FError = QStringLiteral("The preview worker is gone");
                break;
            }
            QByteArray request;
            AppendU32(request, quint32(i));
            AppendU32(request, quint32(size.width()));
            AppendU32(request, quint32(size.height()));
            TPreviewFrame reply;
            const quint32 max = 12 + quint32(size.width()) * quint32(size.height()) * 4;
            HRESULT hr = FWorker->Ask(TPreviewFrameType::Render, request, max, reply);
            QImage image;
            QString why;
            if (Succeeded(hr) && reply.type == TPreviewFrameType::Error) {
                hr = Reported(reply);
            } else if (Succeeded(hr) && (reply.type != TPreviewFrameType::Image ||
                                         !DecodeImage(reply.payload, quint32(i), size, image, why))) {
                FWorker->Stop();
                SetErrorInfo(why.isEmpty() ? QStringLiteral("The preview worker sent no page image") : why);
                hr = E_PREVIEW_CORRUPT;
            }
            if (Failed(hr)) {
                FError = TakeErrorInfo();
                break;
            }
            image.setDevicePixelRatio(devicePixelRatioF());
            FImages.insert(i, image);
        }
        // Only the pages near the view stay in memory.
        for (auto it = FImages.begin(); it != FImages.end();) {
            if (first >= 0 && (it.key() < first - 2 || it.key() > last + 2))
                it = FImages.erase(it);
            else
                ++it;
        }
        viewport()->update();
        Finish(S_OK, {});
    }

    QPointer<TPreviewWorker> FWorker;
    QList<QSizeF> FSizes;
    QList<int> FTops;
    QHash<int, QImage> FImages;
    QString FError;
    bool FRenderQueued = false;
};

class TPdfPreviewer final : public TInterfacedObject,
                            public IPreviewHandler,
                            public IInitializeWithFile,
                            public IPreviewHandlerCompletion
{
public:
    HRESULT QueryInterface(const QUuid &iid, void **obj) override
    {
        if (AnswerInterface<IPreviewHandler>(this, iid, obj) || AnswerInterface<IInitializeWithFile>(this, iid, obj) ||
            AnswerInterface<IPreviewHandlerCompletion>(this, iid, obj))
            return S_OK;
        return TInterfacedObject::QueryInterface(iid, obj);
    }

    HRESULT AdviseCompletion(TPreviewDone done) override { return AdviseViewCompletion(FView, std::move(done)); }

    HRESULT Initialize(const QString &path, quint32) override
    {
        FPath = QFileInfo(path).absoluteFilePath();
        return S_OK;
    }

    HRESULT SetWindow(HWND parent, const QRect &rect) override
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

    HRESULT SetRect(const QRect &rect) override
    {
        FRect = rect;
        if (FView)
            FView->setGeometry(rect);
        return S_OK;
    }

    HRESULT DoPreview() override
    {
        if (!FParent) {
            SetErrorInfo(QStringLiteral("The previewer has no window"));
            return E_UNEXPECTED;
        }
        delete FView.data();
        TPreviewWorker *worker = TPreviewWorker::For(FParent);
        TPreviewFrame reply;
        const HRESULT hr = worker->Ask(TPreviewFrameType::Open, FPath.toUtf8(), 4 + kPreviewMaxPages * 16, reply);
        if (Failed(hr))
            return hr;
        if (reply.type == TPreviewFrameType::Error)
            return Reported(reply);
        QList<QSizeF> sizes;
        QString why;
        if (reply.type != TPreviewFrameType::PageSizes || !DecodePageSizes(reply.payload, sizes, why) ||
            sizes.isEmpty()) {
            worker->Stop();
            SetErrorInfo(why.isEmpty() ? QStringLiteral("The preview worker sent no page list") : why);
            return E_PREVIEW_CORRUPT;
        }
        auto *view = new TPdfPagesView(worker, std::move(sizes), FParent);
        FView = view;
        view->setGeometry(FRect);
        view->show();
        return S_OK;
    }

    HRESULT Unload() override
    {
        delete FView.data();
        return S_OK;
    }

protected:
    ~TPdfPreviewer() override { delete FView.data(); }

private:
    QString FPath;
    QPointer<QWidget> FParent;
    QRect FRect;
    QPointer<QWidget> FView;
};

} // namespace

void RegisterPdfPreviewer()
{
    CoRegisterClass(PreviewClasses::Pdf,
                    {nullptr, [] { return IPtr<IInterface>(static_cast<IPreviewHandler *>(new TPdfPreviewer)); }});
    AssocRegisterShellExtension(QStringLiteral("application/pdf"), IPreviewHandler::IID, PreviewClasses::Pdf);
}

void StopPreviewWorkers()
{
    for (TPreviewWorker *w : LiveWorkers())
        w->Stop();
}

} // namespace detail

} // namespace zor
