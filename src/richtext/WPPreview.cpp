#include "WPPreview.h"

#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/PagePainter.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>

#include <QCache>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

namespace zor {

namespace {

Q_LOGGING_CATEGORY(lcPreview, "zor.richtext.preview")

constexpr int kGap = 12;              // pixels around and between pages
constexpr double kMinScale = 0.01;    // the smallest zoom an automatic zoom picks
constexpr int kCacheKiB = 96 * 1024;  // rendered pages kept, in KiB of pixels

} // namespace

class TWPPreview::Private
{
public:
    explicit Private(TWPPreview *q) : q(q) {}

    TWPPreview *q;
    TWPCustomRtfEdit *editor = nullptr;
    std::unique_ptr<TWPPagePainter> pages;
    // What the pages were laid out from: a load replaces the text object,
    // an edit raises its revision.
    const QTextDocument *laidOutText = nullptr;
    int laidOutRevision = -1;
    QMetaObject::Connection textChanged;

    int zoom = 100;
    TWPAutoZoom autoZoom = wpAutoZoomOff;
    TWPLayoutMode layout = wplayFullLayout;
    int columns = 1;
    int page = -1;
    bool singlePage = false;
    TWPViewOptions viewOptions;
    bool editMode = false;

    // The arrangement on screen, worked out by arrange().
    double scale = 1;
    int shownColumns = 1;
    QSize pagePixels;  // one page at scale
    QSize content;     // everything, in pixels
    bool settingPage = false;

    QCache<int, QPixmap> rendered{kCacheKiB};
    double renderedScale = 0;

    // Lays the pages out again when the editor's text changed since.
    void sync()
    {
        const QTextDocument *text = editor ? editor->Document().Text() : nullptr;
        if (!text) {
            if (pages) {
                pages.reset();
                laidOutText = nullptr;
                rendered.clear();
                arrange();
            }
            return;
        }
        if (pages && text == laidOutText && text->revision() == laidOutRevision)
            return;
        if (text != laidOutText) {
            QObject::disconnect(textChanged);
            // Edits made elsewhere (the editor control, a macro) show at once.
            textChanged = QObject::connect(text, &QTextDocument::contentsChanged, q,
                                           [this] { q->viewport()->update(); });
        }
        pages = std::make_unique<TWPPagePainter>(editor->Document());
        laidOutText = text;
        laidOutRevision = text->revision();
        rendered.clear();
        arrange();
    }

    int pageCount() const { return pages ? pages->PageCount() : 0; }

    // Zoom, columns and scroll ranges from the settings and the window.
    void arrange()
    {
        const int oldZoom = zoom;
        const int oldColumns = shownColumns;
        const QSize view = q->viewport()->size();
        const int n = std::max(1, pageCount());
        const QSizeF unit = pages ? pages->PageSize() : QSizeF(794, 1123);
        const double vw = std::max(1, view.width()), vh = std::max(1, view.height());
        const auto widthFit = [&](int cols) { return (vw - (cols + 1) * kGap) / (cols * unit.width()); };
        const auto heightFit = [&](int rows) { return (vh - (rows + 1) * kGap) / (rows * unit.height()); };
        const auto fitting = [&](double s) {
            return std::max(1, int((vw - kGap) / (unit.width() * s + kGap)));
        };
        int cols = std::clamp(columns, 1, 2);
        double s = zoom / 100.0;
        if (singlePage) {
            cols = 1;
            if (autoZoom == wpAutoZoomWidth)
                s = widthFit(1);
            else if (autoZoom == wpAutoZoomFullPage)
                s = std::min(widthFit(1), heightFit(1));
        } else if (layout == wpThumbNailView) {
            if (autoZoom == wpAutoZoomFullPage) {
                // The grid that shows every page at the largest zoom; for very
                // many pages the smallest zoom and scrolling.
                s = 0;
                for (int c = 1; c <= n; ++c) {
                    const double fit = std::min(widthFit(c), heightFit((n + c - 1) / c));
                    if (fit > s) {
                        s = fit;
                        cols = c;
                    }
                }
                if (s < kMinScale) {
                    s = kMinScale;
                    cols = fitting(s);
                }
            } else {
                if (autoZoom == wpAutoZoomWidth)
                    s = widthFit(cols);
                cols = fitting(s);
            }
        } else {
            switch (autoZoom) {
            case wpAutoZoomWidth: s = widthFit(cols); break;
            case wpAutoZoomFullPage: s = std::min(widthFit(cols), heightFit(1)); break;
            case wpAutoZoomAdjustColumnCount: cols = fitting(s); break;
            case wpAutoZoomOff: break;
            }
        }
        s = std::clamp(s, kMinScale, 10.0);
        if (autoZoom != wpAutoZoomOff)
            zoom = std::clamp(int(std::lround(s * 100)), 1, 1000);
        scale = s;
        shownColumns = std::min(cols, n);
        pagePixels = QSize(std::max(1, int(std::lround(unit.width() * s))),
                           std::max(1, int(std::lround(unit.height() * s))));
        const int rows = singlePage ? 1 : (n + shownColumns - 1) / shownColumns;
        content = QSize(shownColumns * (pagePixels.width() + kGap) + kGap,
                        rows * (pagePixels.height() + kGap) + kGap);
        QScrollBar *h = q->horizontalScrollBar(), *v = q->verticalScrollBar();
        h->setRange(0, std::max(0, content.width() - view.width()));
        h->setPageStep(view.width());
        h->setSingleStep(std::max(8, pagePixels.width() / 20));
        v->setRange(0, std::max(0, content.height() - view.height()));
        v->setPageStep(view.height());
        v->setSingleStep(std::max(8, pagePixels.height() / 20));
        if (!singlePage && page >= 0)
            scrollToPage(page);
        q->viewport()->update();
        if (zoom != oldZoom || shownColumns != oldColumns)
            Q_EMIT q->ZoomChanged();
    }

    QPoint origin() const
    {
        // Pages narrower than the window stand in its middle.
        const int free = q->viewport()->width() - content.width();
        return QPoint(free > 0 ? free / 2 : -q->horizontalScrollBar()->value(),
                      -q->verticalScrollBar()->value());
    }

    QRect pageRect(int i) const
    {
        if (!pages || i < 0 || i >= pageCount())
            return {};
        int slot = i;
        if (singlePage) {
            if (i != std::max(0, page))
                return {};
            slot = 0;
        }
        const int col = slot % shownColumns, row = slot / shownColumns;
        return QRect(origin() + QPoint(kGap + col * (pagePixels.width() + kGap),
                                       kGap + row * (pagePixels.height() + kGap)),
                     pagePixels);
    }

    void scrollToPage(int p)
    {
        settingPage = true;
        q->verticalScrollBar()->setValue((p / shownColumns) * (pagePixels.height() + kGap));
        settingPage = false;
    }

    // The page a scroll position shows: the row filling most of the top,
    // keeping the current page when it is in that row.
    void pageFromScroll()
    {
        if (singlePage || settingPage || !pages)
            return;
        const int rowHeight = pagePixels.height() + kGap;
        const int row = int(std::lround(double(q->verticalScrollBar()->value()) / rowHeight));
        const int first = std::clamp(row * shownColumns, 0, pageCount() - 1);
        const int p = std::max(0, page);
        const int now = p / shownColumns == row ? p : first;
        if (now != page) {
            page = now;
            Q_EMIT q->PageChanged(page);
        }
    }

    const QPixmap *render(int i)
    {
        const qreal dpr = q->devicePixelRatioF();
        if (renderedScale != scale * dpr) {
            rendered.clear();
            renderedScale = scale * dpr;
        }
        if (QPixmap *hit = rendered.object(i))
            return hit;
        auto pm = std::make_unique<QPixmap>(pagePixels * dpr);
        pm->setDevicePixelRatio(dpr);
        pm->fill(pages->PaperColor());
        QPainter p(pm.get());
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.scale(scale, scale);
        pages->PaintPage(p, i);
        p.end();
        const int kib = std::max<qint64>(1, qint64(pm->width()) * pm->height() * 4 / 1024);
        QPixmap *raw = pm.release();
        if (!rendered.insert(i, raw, kib))
            return nullptr; // larger than the whole cache: drawn directly
        return raw;
    }

    // Editing ------------------------------------------------------------

    bool canType() const { return editMode && editor && !editor->ReadOnly(); }

    // The caret's page and rectangle in viewport pixels; -1 when not shown.
    int caretRect(QRect *out)
    {
        if (!pages || !editor)
            return -1;
        QRectF r;
        const int pg = pages->CaretRect(editor->TextCursor().position(), &r);
        const QRect pr = pageRect(pg);
        if (pg < 0 || pr.isEmpty())
            return -1;
        *out = QRect(pr.topLeft() + QPoint(int(r.left() * scale), int(r.top() * scale)),
                     QSize(std::max(1, int(std::lround(scale))), std::max(2, int(std::lround(r.height() * scale)))));
        return pg;
    }

    void showCaret()
    {
        sync();
        QRectF r;
        const int pg = pages && editor ? pages->CaretRect(editor->TextCursor().position(), &r) : -1;
        if (pg < 0)
            return;
        if (singlePage && pg != page) {
            page = pg;
            Q_EMIT q->PageChanged(page);
        }
        QRect c;
        if (caretRect(&c) < 0)
            return;
        QScrollBar *v = q->verticalScrollBar();
        const int h = q->viewport()->height();
        if (c.top() < 0)
            v->setValue(v->value() + c.top() - kGap);
        else if (c.bottom() > h)
            v->setValue(v->value() + c.bottom() - h + kGap);
        q->viewport()->update();
    }

    // Moves the caret a line up or down on the pages (not in the editor's
    // own layout, whose lines may break elsewhere).
    void moveLine(int direction, QTextCursor::MoveMode mode)
    {
        QRectF r;
        const int pg = pages->CaretRect(editor->TextCursor().position(), &r);
        if (pg < 0)
            return;
        const auto onLine = [&](int pos, int page, const QRectF *line) {
            QRectF o;
            return pages->CaretRect(pos, &o) == page && (!line || std::abs(o.top() - line->top()) < 0.5);
        };
        int pos = pages->PositionAt(pg, QPointF(r.left(), direction < 0 ? r.top() - 1 : r.bottom() + 1));
        if (pos >= 0 && !onLine(pos, pg, &r)) {
            editor->TextCursor().setPosition(pos, mode);
            return;
        }
        // The caret is on the page's first or last line: on to the
        // neighbour's nearest line. Below a page's last line the text may
        // have room left (a page break), so search up from its bottom.
        const int target = pg + direction;
        if (target < 0 || target >= pageCount())
            return;
        if (direction > 0) {
            pos = pages->PositionAt(target, QPointF(r.left(), 0));
        } else {
            for (qreal y = pages->PageSize().height(); y > 0; y -= 4) {
                pos = pages->PositionAt(target, QPointF(r.left(), y));
                if (onLine(pos, target, nullptr))
                    break;
            }
        }
        if (pos >= 0)
            editor->TextCursor().setPosition(pos, mode);
    }

    // The document position under a viewport point; -1 when on no page.
    int positionAt(QPoint at)
    {
        for (int i = 0; i < pageCount(); ++i) {
            const QRect r = pageRect(i);
            if (r.contains(at))
                return pages->PositionAt(i, QPointF(at - r.topLeft()) / scale);
        }
        return -1;
    }

    // The selection as one rectangle a line, in viewport pixels. Long
    // selections are shown up to a bound: each character is a layout query.
    QList<QRect> selectionRects()
    {
        QList<QRect> out;
        const QTextCursor &c = editor->TextCursor();
        const int end = std::min(c.selectionEnd(), c.selectionStart() + 20000);
        QRectF line;
        int linePage = -1;
        const auto flush = [&] {
            const QRect pr = pageRect(linePage);
            if (linePage >= 0 && !pr.isEmpty())
                out << QRectF(QPointF(pr.topLeft()) + line.topLeft() * scale, line.size() * scale).toAlignedRect();
        };
        for (int pos = c.selectionStart(); pos < end; ++pos) {
            QRectF a, b;
            const int pg = pages->CaretRect(pos, &a);
            if (pg < 0)
                continue;
            // A character's width is up to the next caret on its line; a
            // line's last one (the paragraph's end) gets a blank's width.
            const bool sameLine = pages->CaretRect(pos + 1, &b) == pg && std::abs(b.top() - a.top()) < 0.5
                                  && b.left() > a.left();
            const QRectF ch(a.left(), a.top(), sameLine ? b.left() - a.left() : 4, a.height());
            if (pg == linePage && std::abs(ch.top() - line.top()) < 0.5) {
                line = line.united(ch);
            } else {
                flush();
                line = ch;
                linePage = pg;
            }
        }
        flush();
        return out;
    }

    void insertText(const QString &text)
    {
        if (!canType() || text.isEmpty())
            return;
        QTextCursor &c = editor->TextCursor();
        const int len = c.hasSelection() ? c.selectionEnd() - c.selectionStart() : 0;
        if (!editor->Document().CanEdit(c.selectionStart(), len))
            return;
        c.insertText(text);
    }
};

TWPPreview::TWPPreview(QWidget *parent) : QAbstractScrollArea(parent), d(std::make_unique<Private>(this))
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::ArrowCursor);
    d->viewOptions = wpHideSelection | wpDisableMisspellMarkers | wpDontGrayHeaderFooterInLayout;
}

TWPPreview::~TWPPreview()
{
    QObject::disconnect(d->textChanged);
}

TWPCustomRtfEdit *TWPPreview::Editor() const { return d->editor; }

void TWPPreview::SetEditor(TWPCustomRtfEdit *editor)
{
    if (d->editor == editor)
        return;
    QObject::disconnect(d->textChanged);
    d->editor = editor;
    d->pages.reset();
    d->laidOutText = nullptr;
    d->page = -1;
    d->sync();
    d->arrange();
    Q_EMIT PageChanged(Page());
}

int TWPPreview::Zooming() const { return d->zoom; }

void TWPPreview::SetZooming(int percent)
{
    d->zoom = std::clamp(percent, 1, 1000);
    d->arrange();
    Q_EMIT ZoomChanged();
}

TWPAutoZoom TWPPreview::AutoZoom() const { return d->autoZoom; }

void TWPPreview::SetAutoZoom(TWPAutoZoom value)
{
    d->autoZoom = value;
    d->arrange();
    Q_EMIT ZoomChanged();
}

TWPLayoutMode TWPPreview::LayoutMode() const { return d->layout; }

void TWPPreview::SetLayoutMode(TWPLayoutMode value)
{
    d->layout = value;
    d->arrange();
    Q_EMIT ZoomChanged();
}

int TWPPreview::PageColumns() const { return d->columns; }

void TWPPreview::SetPageColumns(int value)
{
    d->columns = std::clamp(value, 1, 2);
    d->arrange();
    Q_EMIT ZoomChanged();
}

int TWPPreview::ShownColumns() const { return d->shownColumns; }

int TWPPreview::Page() const { return std::max(0, d->page); }

void TWPPreview::SetPage(int page)
{
    d->sync();
    const int old = d->page;
    d->page = std::clamp(page, 0, std::max(0, d->pageCount() - 1));
    d->arrange(); // scrolls to the page
    if (d->page != old)
        Q_EMIT PageChanged(d->page);
}

int TWPPreview::PageCount() const
{
    d->sync();
    return d->pageCount();
}

bool TWPPreview::SinglePageMode() const { return d->singlePage; }

void TWPPreview::SetSinglePageMode(bool value)
{
    d->singlePage = value;
    d->arrange();
}

TWPViewOptions TWPPreview::ViewOptions() const { return d->viewOptions; }
void TWPPreview::SetViewOptions(TWPViewOptions value)
{
    d->viewOptions = value;
    viewport()->update();
}

bool TWPPreview::EditMode() const { return d->editMode; }

void TWPPreview::SetEditMode(bool value)
{
    if (d->editMode == value)
        return;
    d->editMode = value;
    setAttribute(Qt::WA_InputMethodEnabled, value);
    viewport()->setCursor(value ? Qt::IBeamCursor : Qt::ArrowCursor);
    if (value)
        setFocus();
    viewport()->update();
    Q_EMIT EditModeChanged(value);
}

void TWPPreview::Reformat()
{
    d->pages.reset();
    d->sync();
}

QRect TWPPreview::PageRect(int page) const
{
    d->sync();
    return d->pageRect(page);
}

void TWPPreview::paintEvent(QPaintEvent *event)
{
    d->sync();
    QPainter p(viewport());
    if (!d->pages)
        return;
    const QRect area = event->rect();
    const int n = d->pageCount();
    for (int i = 0; i < n; ++i) {
        const QRect r = d->pageRect(i);
        if (r.isEmpty() || !r.adjusted(0, 0, 3, 3).intersects(area))
            continue;
        p.fillRect(r.translated(3, 3), QColor(0, 0, 0, 80)); // shadow
        if (const QPixmap *pm = d->render(i)) {
            p.drawPixmap(r.topLeft(), *pm);
        } else {
            p.save();
            p.setClipRect(r);
            p.translate(r.topLeft());
            p.scale(d->scale, d->scale);
            d->pages->PaintPage(p, i);
            p.restore();
        }
        p.setPen(QColor(0, 0, 0, 120));
        p.drawRect(r.adjusted(0, 0, -1, -1));
    }
    if (d->editMode && d->editor && d->editor->TextCursor().hasSelection()
        && !(d->viewOptions & wpHideSelection)) {
        QColor mark = palette().color(QPalette::Highlight);
        mark.setAlpha(110);
        for (const QRect &r : d->selectionRects())
            p.fillRect(r, mark);
    }
    QRect caret;
    if (d->editMode && hasFocus() && d->caretRect(&caret) >= 0)
        p.fillRect(caret, Qt::black);
}

void TWPPreview::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    d->sync();
    d->arrange();
}

void TWPPreview::scrollContentsBy(int, int)
{
    d->pageFromScroll();
    viewport()->update();
}

void TWPPreview::mousePressEvent(QMouseEvent *event)
{
    if (!d->editMode || !d->editor || event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    d->sync();
    const int pos = d->positionAt(event->position().toPoint());
    if (pos >= 0) {
        d->editor->TextCursor().setPosition(
            pos, event->modifiers() & Qt::ShiftModifier ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
        viewport()->update();
    }
    setFocus();
}

void TWPPreview::mouseMoveEvent(QMouseEvent *event)
{
    if (!d->editMode || !d->editor || !(event->buttons() & Qt::LeftButton)) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    d->sync();
    const int pos = d->positionAt(event->position().toPoint());
    if (pos >= 0) {
        d->editor->TextCursor().setPosition(pos, QTextCursor::KeepAnchor);
        viewport()->update();
    }
}

void TWPPreview::keyPressEvent(QKeyEvent *event)
{
    if (!d->editMode || !d->editor) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    d->sync();
    QTextCursor &c = d->editor->TextCursor();
    const bool word = event->modifiers() & Qt::ControlModifier;
    const QTextCursor::MoveMode mode =
        event->modifiers() & Qt::ShiftModifier ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor;
    const auto move = [&](QTextCursor::MoveOperation op) { c.movePosition(op, mode); };
    switch (event->key()) {
    case Qt::Key_Left: move(word ? QTextCursor::PreviousWord : QTextCursor::Left); break;
    case Qt::Key_Right: move(word ? QTextCursor::NextWord : QTextCursor::Right); break;
    case Qt::Key_Up: d->moveLine(-1, mode); break;
    case Qt::Key_Down: d->moveLine(1, mode); break;
    case Qt::Key_Home: move(word ? QTextCursor::Start : QTextCursor::StartOfBlock); break;
    case Qt::Key_End: move(word ? QTextCursor::End : QTextCursor::EndOfBlock); break;
    case Qt::Key_Backspace:
        if (d->canType() && (c.hasSelection() || c.position() > 0)) {
            const int from = c.hasSelection() ? c.selectionStart() : c.position() - 1;
            const int to = c.hasSelection() ? c.selectionEnd() : c.position();
            if (d->editor->Document().CanEdit(from, to - from))
                c.deletePreviousChar();
        }
        break;
    case Qt::Key_Delete:
        if (d->canType()) {
            const int from = c.hasSelection() ? c.selectionStart() : c.position();
            const int to = c.hasSelection() ? c.selectionEnd() : c.position() + 1;
            if (to < d->editor->Document().Text()->characterCount()
                && d->editor->Document().CanEdit(from, to - from))
                c.deleteChar();
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (d->canType() && d->editor->Document().CanEdit(c.position(), 0))
            c.insertBlock();
        break;
    default: {
        const QString text = event->text();
        if (text.isEmpty() || !text.at(0).isPrint() || (event->modifiers() & Qt::ControlModifier)) {
            QAbstractScrollArea::keyPressEvent(event);
            return;
        }
        d->insertText(text);
    }
    }
    d->showCaret();
}

void TWPPreview::inputMethodEvent(QInputMethodEvent *event)
{
    d->insertText(event->commitString());
    d->showCaret();
    event->accept();
}

QVariant TWPPreview::inputMethodQuery(Qt::InputMethodQuery query) const
{
    switch (query) {
    case Qt::ImEnabled: return d->editMode;
    case Qt::ImCursorRectangle: {
        QRect r;
        return d->caretRect(&r) >= 0 ? QVariant(r) : QVariant();
    }
    default: return QAbstractScrollArea::inputMethodQuery(query);
    }
}

bool WPPrintPages(const TWPDocument &doc, QPagedPaintDevice &device, int from, int to)
{
    const TWPPagePainter pages(doc);
    const int last = pages.PageCount() - 1;
    from = std::clamp(from, 0, last);
    to = to < 0 ? last : std::clamp(to, from, last);
    const QSizeF pt = pages.PageSize() * 0.75; // units are 1/96 in, points 1/72
    const bool landscape = pt.width() > pt.height();
    device.setPageLayout(QPageLayout(QPageSize(landscape ? pt.transposed() : pt, QPageSize::Point, {},
                                               QPageSize::FuzzyMatch),
                                     landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                     QMarginsF(0, 0, 0, 0)));
    QPainter painter;
    if (!painter.begin(&device)) {
        qCWarning(lcPreview, "WPPrintPages: the device cannot be painted on");
        return false;
    }
    const qreal sx = device.logicalDpiX() / 96.0, sy = device.logicalDpiY() / 96.0;
    for (int i = from; i <= to; ++i) {
        if (i > from)
            device.newPage();
        painter.save();
        painter.scale(sx, sy);
        pages.PaintPage(painter, i);
        painter.restore();
    }
    return painter.end();
}

} // namespace zor
