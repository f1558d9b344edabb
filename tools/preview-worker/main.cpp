// zor-preview-worker: renders PDF pages for the preview pane in a process of
// its own, so that a hostile document can crash or exhaust only this process.
// It reads frames from stdin and answers on stdout (see PreviewFrames_p.h):
// Open answers with the page sizes, Render with the page's pixels. It has no
// widgets and opens no display. Its address space is limited (1 GiB unless
// $ZOR_PREVIEW_WORKER_AS_MB says otherwise).
#include <ZorCompCore/imaging/widgets/PreviewFrames_p.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPdfDocument>
#include <QtEndian>

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

using namespace zor::detail;

namespace {

constexpr zor::HRESULT kDrm = qint32(0x86420001u);
constexpr zor::HRESULT kPermissions = qint32(0x86420002u);
constexpr zor::HRESULT kNotFound = qint32(0x86420003u);
constexpr zor::HRESULT kCorrupt = qint32(0x86420004u);
constexpr zor::HRESULT kInvalidArg = qint32(0x80070057u);

bool ReadAll(char *p, size_t n)
{
    while (n > 0) {
        const ssize_t r = ::read(STDIN_FILENO, p, n);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        p += r;
        n -= size_t(r);
    }
    return true;
}

bool WriteAll(const QByteArray &bytes)
{
    const char *p = bytes.constData();
    size_t n = size_t(bytes.size());
    while (n > 0) {
        const ssize_t r = ::write(STDOUT_FILENO, p, n);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        p += r;
        n -= size_t(r);
    }
    return true;
}

void LimitAddressSpace()
{
    // Sanitizers reserve terabytes of shadow memory up front.
#if defined(__SANITIZE_ADDRESS__)
    return;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return;
#endif
#endif
    bool ok = false;
    qint64 mb = qEnvironmentVariableIntValue("ZOR_PREVIEW_WORKER_AS_MB", &ok);
    if (!ok || mb <= 0)
        mb = 1024;
    const rlim_t bytes = rlim_t(mb) << 20;
    rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_AS, &limit);
}

QByteArray Open(std::unique_ptr<QPdfDocument> &doc, const QString &path)
{
    doc.reset();
    const QFileInfo info(path);
    if (!info.exists())
        return MakeErrorFrame(kNotFound, QStringLiteral("The file does not exist"));
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly))
        return MakeErrorFrame(kPermissions, probe.errorString());
    probe.close();
    auto next = std::make_unique<QPdfDocument>();
    switch (next->load(path)) {
    case QPdfDocument::Error::None:
        break;
    case QPdfDocument::Error::IncorrectPassword:
        return MakeErrorFrame(kDrm, QStringLiteral("The PDF document is password protected"));
    case QPdfDocument::Error::FileNotFound:
        return MakeErrorFrame(kNotFound, QStringLiteral("The file does not exist"));
    default:
        return MakeErrorFrame(kCorrupt, QStringLiteral("The file is no readable PDF document"));
    }
    QByteArray payload;
    const int count = next->pageCount();
    if (count <= 0 || quint32(count) > kPreviewMaxPages)
        return MakeErrorFrame(kCorrupt, QStringLiteral("The PDF document has no pages to show"));
    AppendU32(payload, quint32(count));
    for (int i = 0; i < count; ++i) {
        const QSizeF size = next->pagePointSize(i);
        AppendF64(payload, size.width());
        AppendF64(payload, size.height());
    }
    doc = std::move(next);
    return MakePreviewFrame(TPreviewFrameType::PageSizes, payload);
}

QByteArray Render(QPdfDocument *doc, const QByteArray &request)
{
    if (!doc)
        return MakeErrorFrame(kInvalidArg, QStringLiteral("No document is open"));
    if (request.size() != 12)
        return MakeErrorFrame(kInvalidArg, QStringLiteral("Malformed render request"));
    const quint32 page = ReadU32(request.constData());
    const quint32 width = ReadU32(request.constData() + 4);
    const quint32 height = ReadU32(request.constData() + 8);
    if (page >= quint32(doc->pageCount()) || width == 0 || height == 0 || width > kPreviewMaxImageSide ||
        height > kPreviewMaxImageSide)
        return MakeErrorFrame(kInvalidArg, QStringLiteral("No page %1 at %2 x %3").arg(page + 1).arg(width).arg(height));
    QPdfDocumentRenderOptions options;
    // Form fields and annotations are part of what the page shows.
    options.setRenderFlags(QPdfDocumentRenderOptions::RenderFlag::Annotations);
    const QImage rendered = doc->render(int(page), QSize(int(width), int(height)), options);
    if (rendered.isNull())
        return MakeErrorFrame(kCorrupt, QStringLiteral("Cannot render page %1").arg(page + 1));
    // PDFium leaves the paper transparent; pages are white.
    QImage paper(rendered.size(), QImage::Format_ARGB32);
    paper.fill(Qt::white);
    {
        QPainter p(&paper);
        p.drawImage(0, 0, rendered);
    }
    QByteArray payload;
    payload.reserve(12 + qsizetype(width) * height * 4);
    AppendU32(payload, page);
    AppendU32(payload, width);
    AppendU32(payload, height);
    // Row by row in the wire's byte order: a copy on little-endian hosts.
    const qsizetype row = qsizetype(paper.width()) * 4;
    payload.resize(12 + row * paper.height());
    for (int y = 0; y < paper.height(); ++y)
        qToLittleEndian<quint32>(paper.constScanLine(y), paper.width(), payload.data() + 12 + y * row);
    return MakePreviewFrame(TPreviewFrameType::Image, payload);
}

} // namespace

int main(int argc, char **argv)
{
    LimitAddressSpace();
    QCoreApplication app(argc, argv);
    std::unique_ptr<QPdfDocument> doc;
    for (;;) {
        char header[kPreviewFrameHeader];
        if (!ReadAll(header, sizeof header))
            return 0; // the host closed the pipe
        const quint32 length = ReadU32(header);
        // Requests are a path or twelve bytes.
        if (length > 65536)
            return 2;
        QByteArray payload(qsizetype(length), Qt::Uninitialized);
        if (!ReadAll(payload.data(), length))
            return 0;
        QByteArray answer;
        switch (TPreviewFrameType(quint8(header[4]))) {
        case TPreviewFrameType::Open:
            answer = Open(doc, QString::fromUtf8(payload));
            break;
        case TPreviewFrameType::Render:
            answer = Render(doc.get(), payload);
            break;
        default:
            answer = MakeErrorFrame(kInvalidArg, QStringLiteral("Unknown request"));
        }
        if (!WriteAll(answer))
            return 0;
    }
}
