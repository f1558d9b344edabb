// Pages of a TWPDocument: one painter for the page view, the preview, print
// and PDF, so a page breaks at the same line everywhere.
//
// The body is laid out on a copy of the text with hidden text left out, with
// design metrics (resolution-independent advances) and the body size of its
// section's page: sections of equal geometry flow on, a section whose size,
// orientation or margins differ starts a page of its own. Each page is the
// paper (its colour from the data item "page-background-color"), the header and footer of the section the
// page starts in (the first-page one on a section's first page when the
// section asks for it, the left one on even pages when there is one), the
// body's slice with paragraph shading under and borders over the text, and
// fields showing this page's number and the page count.
//
// PDF: QPdfWriter writes the pages; it can set only the title and creator,
// so the other document information (author, subject, keywords) goes into an
// incremental update appended to its output: a new Info dictionary and a
// trailer that points back to the original cross-reference table.
#pragma once

#include <ZorCompCore/zor_export.h>

#include "Document.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPageSize>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QStringList>
#include <QString>

#include <memory>
#include <optional>

class QPainter;

namespace zor {

// Page sizes of PDF export, in the order of the export options' list.
enum TPDFPageSize : int {
    psLetter, psA4, psA3, psLegal, psB5, psC5, ps8x11, psB4, psA5, psFolio, psExecutive,
    psEnvB4, psEnvB5, psEnvC6, psEnvDL, psEnvMonarch, psEnv9, psEnv10, psEnv11
};
enum TPDFPageOrientation : int { poPagePortrait, poPageLandscape };

// "Letter", "A4" … "Envelope #11", indexed by TPDFPageSize.
ZOR_EXPORT QStringList PDFPageSizeNames();
// The size (C5 is the C5 envelope; "8x11" is 8 x 11 inches).
ZOR_EXPORT QPageSize PDFPageSizeToQPageSize(TPDFPageSize size);
// A page geometry from a size, orientation and margins in millimetres.
ZOR_EXPORT TWPPageSetup PDFPageSetup(TPDFPageSize size, TPDFPageOrientation orientation, int left,
                                     int top, int right, int bottom);

struct TWPPdfOptions
{
    // Replaces the document's page geometry when set.
    std::optional<TWPPageSetup> Page;
    // Empty: the document's information of the same name.
    QString Title, Author, Subject, Keywords;
    QString Creator = QStringLiteral("ZorCompCore");
    int Resolution = 1200; // dots per inch of the PDF's coordinates
};

class TWPPagePainterPrivate;

class ZOR_EXPORT TWPPagePainter
{
public:
    explicit TWPPagePainter(const TWPDocument &doc);
    // Lays the pages out with this geometry instead of the document's.
    TWPPagePainter(const TWPDocument &doc, const TWPPageSetup &page);
    ~TWPPagePainter();
    TWPPagePainter(const TWPPagePainter &) = delete;
    TWPPagePainter &operator=(const TWPPagePainter &) = delete;

    int PageCount() const;
    // The first page's size in document units (pixels at 96 dpi).
    QSizeF PageSize() const;
    // The size of a page (from 0): its section's, landscape or not.
    QSizeF PageSize(int page) const;
    // The paper's colour: "page-background-color" when the document has it.
    QColor PaperColor() const;

    // Paints page (from 0) with the painter's origin at the page's top left
    // corner, one unit being one pixel at 96 dpi.
    void PaintPage(QPainter &painter, int page) const;
    // The page as an image at dpi.
    QImage RenderPage(int page, qreal dpi = 96) const;

    // For editing on the pages. Positions are the document's (hidden text,
    // which the pages leave out, counted); points are in page units as in
    // PaintPage. The body position nearest to point on page; -1 when page
    // does not exist.
    int PositionAt(int page, QPointF point) const;
    // The caret's page for a position, and its rectangle on that page;
    // -1 when the position is outside the text.
    int CaretRect(int position, QRectF *rect) const;

    // The document as PDF; empty when it cannot be written.
    static QByteArray WritePdf(const TWPDocument &doc, const TWPPdfOptions &options = {});
    // Appends an incremental update with a full Info dictionary to a PDF
    // whose cross-reference is a classic table; returns pdf unchanged when it
    // finds none.
    static QByteArray SetPdfInfo(const QByteArray &pdf, const QString &title, const QString &author,
                                 const QString &subject, const QString &keywords,
                                 const QString &creator);

private:
    std::unique_ptr<TWPPagePainterPrivate> d;
};

} // namespace zor
