// TWPPreview: a page view of a TWPCustomRtfEdit's document, drawn by
// TWPPagePainter exactly as it prints. Pages sit in rows of one or more
// columns at a zoom in percent, or a zoom the view works out itself (page
// width, full page, as many columns as fit); the thumbnail layout puts the
// pages in a grid and with the full-page zoom fits them all into the window.
//
// The view does not own the editor and follows its document lazily: an edit
// or a load is seen the next time the view paints or is asked for pages.
// Page geometry changes that are no edit of the text call Reformat().
//
// In edit mode the view takes the caret: a click places the editor's cursor
// through the page layout (Shift and dragging select), keys move it (with
// Shift: select), type, delete and split paragraphs through the editor's
// QTextCursor (protected text and read-only editors refuse). Without edit
// mode the view is read-only.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <ZorCompCore/richtext/WPViewTypes.h>

#include <QAbstractScrollArea>

#include <memory>

class QPagedPaintDevice;

namespace zor {

class TWPCustomRtfEdit;
class TWPDocument;

// How the zoom follows the window.
enum TWPAutoZoom : int {
    wpAutoZoomOff,               // Zooming as set
    wpAutoZoomWidth,             // the columns fill the width
    wpAutoZoomFullPage,          // whole pages in the window (thumbnails: all of them)
    wpAutoZoomAdjustColumnCount  // Zooming as set, as many columns as fit
};

class ZOR_EXPORT TWPPreview : public QAbstractScrollArea
{
    Q_OBJECT
    Q_PROPERTY(int Zooming READ Zooming WRITE SetZooming NOTIFY ZoomChanged)
    Q_PROPERTY(int Page READ Page WRITE SetPage NOTIFY PageChanged)
    Q_PROPERTY(bool EditMode READ EditMode WRITE SetEditMode NOTIFY EditModeChanged)
public:
    explicit TWPPreview(QWidget *parent = nullptr);
    ~TWPPreview() override;

    // The editor shown; not owned, null shows nothing. The caller keeps it
    // alive while it is shown.
    TWPCustomRtfEdit *Editor() const;
    void SetEditor(TWPCustomRtfEdit *editor);

    // The zoom in percent, 1 … 1000; with an automatic zoom, the one in use.
    int Zooming() const;
    void SetZooming(int percent);
    TWPAutoZoom AutoZoom() const;
    void SetAutoZoom(TWPAutoZoom value);
    TWPLayoutMode LayoutMode() const;
    void SetLayoutMode(TWPLayoutMode value);
    // Columns asked for in the full layout (1 or 2).
    int PageColumns() const;
    void SetPageColumns(int value);
    // Columns on screen now (the adjusting zoom and thumbnails choose them).
    int ShownColumns() const;

    // The current page, from 0: the first shown; setting it scrolls there
    // and lays the pages out again (clamped to the pages).
    int Page() const;
    void SetPage(int page);
    int PageCount() const;
    // Only the current page, no scrolling from page to page.
    bool SinglePageMode() const;
    void SetSinglePageMode(bool value);

    TWPViewOptions ViewOptions() const;
    void SetViewOptions(TWPViewOptions value);

    bool EditMode() const;
    void SetEditMode(bool value);

    // Lays the pages out again (page geometry changed without a text edit).
    void Reformat();
    // Where a page is drawn, in viewport coordinates (empty when not shown).
    QRect PageRect(int page) const;

Q_SIGNALS:
    void ZoomChanged();
    void PageChanged(int page);
    void EditModeChanged(bool on);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

private:
    class Private;
    std::unique_ptr<Private> const d;
};

// Prints pages from … to (from 0, inclusive, clamped; to -1: the last) of
// doc on device, one page of the document on each sheet, the device's page
// set to the document's. False when the device cannot be painted on.
ZOR_EXPORT bool WPPrintPages(const TWPDocument &doc, QPagedPaintDevice &device, int from = 0,
                             int to = -1);

} // namespace zor

