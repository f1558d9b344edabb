// The one place that knows how PDF pages are rendered (QtPdf, over PDFium).
// Everything else asks this interface, so the renderer can change alone.
// Not part of the public API.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSizeF>

#include <memory>

namespace zor::detail {

class TPdfPages
{
public:
    virtual ~TPdfPages() = default;
    // Raises EEnvisionError when the data is no readable PDF document.
    static std::unique_ptr<TPdfPages> Open(const QByteArray &data);

    virtual int PageCount() const = 0;
    // Page size in points (1/72 inch); page is 0-based. Empty when out of range.
    virtual QSizeF PageSize(int page) const = 0;
    // The page with its form fields and annotations, on white, at exactly
    // size pixels. Raises EEnvisionError for a bad page or a size beyond the
    // image allocation limit.
    virtual QImage Render(int page, QSize size) const = 0;
};

// Pixel size of a page of pointSize points at dpi, as the page would be rasterised.
QSize PageSizeAtDpi(QSizeF pointSize, double dpi);

} // namespace zor::detail
