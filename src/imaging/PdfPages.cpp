#include "PdfPages_p.h"

#include "GraphicClass.h"
#include "Limits_p.h"

#include <QImageReader>
#include <QLoggingCategory>
#include <QPainter>
#include <QPdfDocument>
#include <QTemporaryFile>

#include <cmath>

Q_LOGGING_CATEGORY(lcImagingPdf, "zor.imaging.pdf")

namespace zor::detail {

void CheckRenderSize(QSize size, const char *what)
{
    if (size.width() <= 0 || size.height() <= 0)
        throw EEnvisionError(QStringLiteral("Cannot render %1 at %2 x %3 pixels")
                                 .arg(QLatin1String(what)).arg(size.width()).arg(size.height()));
    const qint64 limitBytes = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
    const qint64 bytes = qint64(size.width()) * size.height() * 4;
    if (limitBytes > 0 && bytes > limitBytes)
        throw EEnvisionError(QStringLiteral("Cannot render %1 at %2 x %3 pixels: more than the "
                                            "image allocation limit of %4 MiB")
                                 .arg(QLatin1String(what)).arg(size.width()).arg(size.height())
                                 .arg(QImageReader::allocationLimit()));
}

QSize PageSizeAtDpi(QSizeF pointSize, double dpi)
{
    // qRound halves away from zero, as a rasteriser rounds page edges.
    return QSize(qMax(1, int(std::lround(pointSize.width() * dpi / 72.0))),
                 qMax(1, int(std::lround(pointSize.height() * dpi / 72.0))));
}

namespace {

class TQtPdfPages final : public TPdfPages
{
public:
    explicit TQtPdfPages(const QByteArray &data)
    {
        // QPdfDocument loads a device asynchronously (it waits for the event
        // loop); a file loads at once, and PDFium reads it lazily.
        if (!FFile.open() || FFile.write(data) != data.size() || !FFile.flush())
            throw EEnvisionError(QStringLiteral("Cannot buffer the PDF document: %1").arg(FFile.errorString()));
        const QPdfDocument::Error err = FDoc.load(FFile.fileName());
        if (err != QPdfDocument::Error::None) {
            qCDebug(lcImagingPdf) << "load failed" << int(err);
            throw EEnvisionError(err == QPdfDocument::Error::IncorrectPassword
                                     ? QStringLiteral("The PDF document is password protected")
                                     : QStringLiteral("The data is no readable PDF document"));
        }
    }

    int PageCount() const override { return FDoc.pageCount(); }

    QSizeF PageSize(int page) const override
    {
        if (page < 0 || page >= FDoc.pageCount())
            return {};
        return FDoc.pagePointSize(page);
    }

    QImage Render(int page, QSize size) const override
    {
        if (page < 0 || page >= FDoc.pageCount())
            throw EEnvisionError(QStringLiteral("The PDF document has no page %1").arg(page + 1));
        CheckRenderSize(size, "the PDF page");
        QPdfDocumentRenderOptions options;
        // Form fields and annotations are part of what the page shows.
        options.setRenderFlags(QPdfDocumentRenderOptions::RenderFlag::Annotations);
        QImage image = const_cast<QPdfDocument &>(FDoc).render(page, size, options);
        if (image.isNull())
            throw EEnvisionError(QStringLiteral("Cannot render page %1 of the PDF document").arg(page + 1));
        // PDFium leaves the paper transparent; pages are white.
        QImage paper(image.size(), QImage::Format_RGB32);
        paper.fill(Qt::white);
        QPainter p(&paper);
        p.drawImage(0, 0, image);
        p.end();
        return paper;
    }

private:
    QTemporaryFile FFile;
    QPdfDocument FDoc;
};

} // namespace

std::unique_ptr<TPdfPages> TPdfPages::Open(const QByteArray &data)
{
    if (!HasPdfSignature(data))
        throw EEnvisionError(QStringLiteral("The data is no PDF document"));
    return std::make_unique<TQtPdfPages>(data);
}

} // namespace zor::detail
