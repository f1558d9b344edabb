#include "PagePainter.h"
#include "PicturePlacement.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDateTime>
#include <QHash>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QUrl>

#include <algorithm>
#include <vector>

namespace zor {

namespace {

// A paragraph our painter decorates, with its place in the laid-out body.
struct Decorated
{
    QRectF Rect;
    QTextBlockFormat Format;
};

QColor shadeColor(const QTextBlockFormat &bf)
{
    const QColor base = bf.hasProperty(QTextFormat::BackgroundBrush) ? bf.background().color()
                                                                    : QColor(Qt::white);
    const QColor ink = bf.hasProperty(wpShadingColor) ? bf.colorProperty(wpShadingColor) : QColor(Qt::black);
    const double f = std::clamp(bf.intProperty(wpShading), 0, 10000) / 10000.0;
    return QColor(qRound(base.red() * (1 - f) + ink.red() * f), qRound(base.green() * (1 - f) + ink.green() * f),
                  qRound(base.blue() * (1 - f) + ink.blue() * f));
}

bool hasBorder(const QTextBlockFormat &bf)
{
    for (int i = 0; i < 4; ++i)
        if (bf.intProperty(wpBorderLeft + i) > 0)
            return true;
    return false;
}

// Sections of equal page geometry flow on from one to the next; where the
// geometry changes, a new page starts and the text is laid out again at the
// new size. Each such stretch is a run: its own copy of the body, laid out
// at its page's size.
constexpr size_t kMaxRuns = 256; // later changes of geometry keep the last one

bool sameGeometry(const TWPPageSetup &a, const TWPPageSetup &b)
{
    return a.PageWidth == b.PageWidth && a.PageHeight == b.PageHeight && a.MarginLeft == b.MarginLeft
           && a.MarginTop == b.MarginTop && a.MarginRight == b.MarginRight && a.MarginBottom == b.MarginBottom;
}

// Landscape pages are wider than high; sizes kept to what paper can be.
TWPPageSetup normalised(TWPPageSetup page)
{
    if (page.Landscape && page.PageWidth < page.PageHeight)
        std::swap(page.PageWidth, page.PageHeight);
    page.PageWidth = std::clamp(page.PageWidth, 720, 31680 * 2);
    page.PageHeight = std::clamp(page.PageHeight, 720, 31680 * 2);
    return page;
}

bool topLevel(const QTextBlock &b)
{
    return b.isValid() && QTextCursor(b).currentFrame() == b.document()->rootFrame();
}

} // namespace

class TWPPagePainterPrivate
{
public:
    struct Run
    {
        TWPPageSetup page;
        QSizeF pageSize, bodySize;
        std::unique_ptr<QTextDocument> body;
        int firstSection = 0;
        int first = 0;  // its first page in the document
        int skip = 0;   // pages of its body before its own text
        int count = 1;
        int start = -1; // where its text starts in the body; -1: at the top
        int end = -1;   // where the next run's text starts; -1: none follows
        int offset = 0; // characters of the print copy cut off before its body
        std::vector<Decorated> decorated;
        QHash<const QTextDocument *, std::shared_ptr<QTextDocument>> subTexts; // headers, footers, notes
    };

    const TWPDocument *doc = nullptr;
    std::vector<Run> runs;
    mutable TWPFieldContext context;
    std::vector<int> runOfPage;
    std::vector<int> sectionOfPage;
    std::vector<std::vector<int>> footnotesOfPage; // footnotes referred to on each page
    std::vector<std::pair<int, int>> hidden; // (position, length) left out of print copies, ascending
    int pageCount = 1;
    QColor paper = Qt::white;

    // A copy of text for print: hidden text out, our field handler on it;
    // true in hasFields when it shows any field.
    std::unique_ptr<QTextDocument> printCopy(const QTextDocument *text, bool *hasFields = nullptr,
                                             std::vector<std::pair<int, int>> *hiddenOut = nullptr)
    {
        std::unique_ptr<QTextDocument> c(text->clone());
        // Pictures are the document's: headers, footers and notes name them
        // but hold none of their own.
        for (const QString &name : doc->PictureNames())
            c->addResource(QTextDocument::ImageResource, QUrl(name),
                           doc->Text()->resource(QTextDocument::ImageResource, QUrl(name)));
        c->setDefaultFont(text->defaultFont());
        c->setUndoRedoEnabled(false);
        c->setDocumentMargin(0);
        c->setUseDesignMetrics(true);
        RegisterFieldHandler(c.get(), [this] { return context; });
        std::vector<std::pair<int, int>> hidden;
        for (QTextBlock b = c->begin(); b.isValid(); b = b.next()) {
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat cf = it.fragment().charFormat();
                if (cf.boolProperty(wpHidden))
                    hidden.emplace_back(it.fragment().position(), it.fragment().length());
                else if (hasFields && cf.objectType() == WPFieldObjectType)
                    *hasFields = true;
            }
        }
        QTextCursor cur(c.get());
        for (auto h = hidden.rbegin(); h != hidden.rend(); ++h) {
            cur.setPosition(h->first);
            cur.setPosition(h->first + h->second, QTextCursor::KeepAnchor);
            cur.removeSelectedText();
        }
        if (hiddenOut)
            *hiddenOut = std::move(hidden);
        return c;
    }

    QTextDocument *subText(Run &run, const QTextDocument *text)
    {
        if (!text || text->isEmpty())
            return nullptr;
        auto it = run.subTexts.find(text);
        if (it == run.subTexts.end()) {
            std::shared_ptr<QTextDocument> c = printCopy(text);
            c->setTextWidth(run.bodySize.width());
            it = run.subTexts.insert(text, std::move(c));
        }
        return it.value().get();
    }

    static void setGeometry(Run &run, const TWPPageSetup &p)
    {
        run.page = normalised(p);
        run.pageSize = QSizeF(TwipsToUnits(run.page.PageWidth), TwipsToUnits(run.page.PageHeight));
        // A body of at least a quarter inch each way, whatever the margins say.
        const qreal w = std::max<qreal>(24, run.pageSize.width()
                                                - TwipsToUnits(run.page.MarginLeft + run.page.MarginRight));
        const qreal h = std::max<qreal>(24, run.pageSize.height()
                                                - TwipsToUnits(run.page.MarginTop + run.page.MarginBottom));
        run.bodySize = QSizeF(w, h);
    }

    // Sections start at the first block that names a higher section than
    // the one before; positions in a print copy of the text.
    static std::vector<int> sectionStarts(const QTextDocument *body, int sectionCount)
    {
        std::vector<int> starts(size_t(std::max(1, sectionCount)), -1);
        starts[0] = 0;
        int current = 0;
        for (QTextBlock b = body->begin(); b.isValid(); b = b.next()) {
            const QTextBlockFormat bf = b.blockFormat();
            if (!bf.hasProperty(wpSectionIndex))
                continue;
            const int n = bf.intProperty(wpSectionIndex);
            if (n > current && n < sectionCount) {
                current = n;
                starts[size_t(n)] = b.position();
            }
        }
        return starts;
    }

    void layOut(const TWPDocument &d, const std::optional<TWPPageSetup> &fixed)
    {
        doc = &d;
        paper = TColorToQColor(GetRTFDataColorValue(d, u"page-background-color"_qs, 0xFFFFFF));
        context = d.FieldContext();
        context.Page = 1;
        context.PageCount = 1;
        bool hasFields = false;
        std::unique_ptr<QTextDocument> full = printCopy(d.Text(), &hasFields, &hidden);

        runs.clear();
        if (fixed) {
            runs.emplace_back();
            setGeometry(runs.back(), *fixed);
        } else {
            const std::vector<int> starts = sectionStarts(full.get(), d.SectionCount());
            for (int s = 0; s < d.SectionCount(); ++s) {
                const TWPPageSetup p = normalised(d.PageSetup(s));
                if (s > 0 && (starts[size_t(s)] < 0 || runs.size() >= kMaxRuns
                              || sameGeometry(p, runs.back().page)))
                    continue;
                if (!runs.empty())
                    runs.back().end = starts[size_t(s)];
                runs.emplace_back();
                setGeometry(runs.back(), d.PageSetup(s));
                runs.back().firstSection = s;
                runs.back().start = s > 0 ? starts[size_t(s)] : -1;
            }
        }
        for (size_t r = 0; r < runs.size(); ++r)
            runs[r].body = r + 1 == runs.size() ? std::move(full) : printCopy(d.Text());
        for (Run &run : runs)
            trim(run);

        paginate();
        if (hasFields && pageCount > 1) {
            // Page counts are wider than "1": lay out again with the real one.
            context.PageCount = pageCount;
            for (Run &run : runs)
                run.body->markContentsDirty(0, run.body->characterCount());
            paginate();
            context.PageCount = pageCount;
        }
    }

    // Cuts a run's copy down to its own text where that can be done without
    // cutting into a table, and starts its text on a page of its own; the
    // rest is skipped by page.
    void trim(Run &run)
    {
        QTextDocument *body = run.body.get();
        QTextCursor cur(body);
        if (run.end >= 0) {
            const QTextBlock next = body->findBlock(run.end);
            if (topLevel(next) && topLevel(next.previous())) {
                cur.setPosition(next.position() - 1);
                cur.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
                cur.removeSelectedText();
                run.end = -1;
            } else {
                QTextBlockFormat bf;
                bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
                QTextCursor(next).mergeBlockFormat(bf);
            }
        }
        if (run.start >= 0) {
            QTextBlock first = body->findBlock(run.start);
            if (topLevel(first) && topLevel(first.previous())) {
                run.offset = first.position() - 1;
                cur.setPosition(0);
                cur.setPosition(first.position() - 1, QTextCursor::KeepAnchor);
                cur.removeSelectedText();
                first = body->begin().next();
                if (run.end >= 0)
                    run.end -= run.start - first.position();
                run.start = first.position();
            }
            QTextBlockFormat bf;
            bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            QTextCursor(first).mergeBlockFormat(bf);
        }
        body->setPageSize(run.bodySize);
    }

    void paginate()
    {
        pageCount = 0;
        for (Run &run : runs) {
            QAbstractTextDocumentLayout *layout = run.body->documentLayout();
            const int total = std::max(1, layout->pageCount());
            run.skip = run.start >= 0 ? pageOf(run, layout->blockBoundingRect(run.body->findBlock(run.start)).top(), total)
                                      : 0;
            const int stop = run.end >= 0
                                 ? pageOf(run, layout->blockBoundingRect(run.body->findBlock(run.end)).top(), total)
                                 : total;
            run.count = std::max(1, stop - run.skip);
            run.first = pageCount;
            pageCount += run.count;
        }
        runOfPage.assign(size_t(pageCount), 0);
        sectionOfPage.assign(size_t(pageCount), 0);
        footnotesOfPage.assign(size_t(pageCount), {});
        for (size_t r = 0; r < runs.size(); ++r) {
            Run &run = runs[r];
            std::fill(runOfPage.begin() + run.first, runOfPage.begin() + run.first + run.count, int(r));
            describe(run);
        }
    }

    // The run's page (counted from its body's first) of a body position.
    int pageOf(const Run &run, qreal y, int total) const
    {
        // Lines start at a page's top exactly; half a unit keeps a rounding
        // error from putting them on the page before.
        return std::clamp(int((y + 0.5) / run.bodySize.height()), 0, total - 1);
    }

    // The document's page of a run's body position; -1 when it is not one
    // of the run's pages.
    int globalPage(const Run &run, qreal y) const
    {
        const int local = int((y + 0.5) / run.bodySize.height());
        if (local < run.skip)
            return -1;
        return run.first + std::min(local - run.skip, run.count - 1);
    }

    // Print copies lack the hidden runs; document positions count them.
    int toDocument(int pos) const
    {
        for (const auto &[start, length] : hidden) {
            if (start > pos)
                break;
            pos += length;
        }
        return pos;
    }
    int toPrint(int pos) const
    {
        int removed = 0;
        for (const auto &[start, length] : hidden) {
            if (start >= pos)
                break;
            removed += std::min(length, pos - start);
        }
        return pos - removed;
    }

    // Sections, decorated paragraphs and footnotes of a run's pages.
    void describe(Run &run)
    {
        QAbstractTextDocumentLayout *layout = run.body->documentLayout();
        run.decorated.clear();
        int current = run.firstSection;
        int lastPage = run.first - 1;
        const int endPos = run.end >= 0 ? run.end : run.body->characterCount();
        QTextBlock b = run.start >= 0 ? run.body->findBlock(run.start) : run.body->begin();
        for (; b.isValid() && b.position() < endPos; b = b.next()) {
            const QTextBlockFormat bf = b.blockFormat();
            const QRectF rect = layout->blockBoundingRect(b);
            if (bf.hasProperty(wpSectionIndex)) {
                const int n = bf.intProperty(wpSectionIndex);
                if (n > current && n < doc->SectionCount())
                    current = n;
            }
            const int pg = globalPage(run, rect.top());
            if (pg < 0)
                continue;
            for (int i = lastPage + 1; i <= pg; ++i)
                sectionOfPage[size_t(i)] = current;
            lastPage = std::max(lastPage, pg);
            if ((bf.hasProperty(wpShading) && bf.intProperty(wpShading) > 0) || hasBorder(bf)
                || bf.hasProperty(QTextFormat::BackgroundBrush)) {
                const qreal pad = TwipsToUnits(bf.intProperty(wpBorderSpacing));
                run.decorated.push_back({rect.adjusted(-pad, -pad, pad, pad), bf});
            }
            // A note goes on the page of the line that refers to it.
            if (doc->FootnoteCount() == 0)
                continue;
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat cf = it.fragment().charFormat();
                if (cf.objectType() != WPFieldObjectType
                    || cf.intProperty(wpFieldKind) != int(TWPFieldKind::Footnote))
                    continue;
                const QTextLine line = b.layout()->lineForTextPosition(it.fragment().position() - b.position());
                const int np = globalPage(run, rect.top() + (line.isValid() ? line.y() : 0));
                if (np < 0)
                    continue;
                for (int i = 0; i < it.fragment().length(); ++i)
                    footnotesOfPage[size_t(np)].push_back(cf.intProperty(wpFootnote));
            }
        }
        for (int i = lastPage + 1; i < run.first + run.count; ++i)
            sectionOfPage[size_t(i)] = current;
    }

    const QTextDocument *headerFor(int pg, bool header) const
    {
        const int s = sectionOfPage[size_t(pg)];
        const bool first = pg == 0 || sectionOfPage[size_t(pg - 1)] != s;
        const auto get = [&](TWPHeaderKind k) {
            return header ? doc->Header(s, k) : doc->Footer(s, k);
        };
        if (first && doc->PageSetup(s).TitlePage)
            return get(TWPHeaderKind::First);
        if ((pg + 1) % 2 == 0)
            if (const QTextDocument *left = get(TWPHeaderKind::Left))
                return left;
        return get(TWPHeaderKind::All);
    }
};

QStringList PDFPageSizeNames()
{
    return {u"Letter"_qs, u"A4"_qs, u"A3"_qs, u"Legal"_qs, u"B5"_qs, u"C5"_qs, u"8x11"_qs, u"B4"_qs,
            u"A5"_qs, u"Folio"_qs, u"Executive"_qs, u"Envelope B4"_qs, u"Envelope B5"_qs,
            u"Envelope C6"_qs, u"Envelope DL"_qs, u"Envelope Monarch"_qs, u"Envelope #9"_qs,
            u"Envelope #10"_qs, u"Envelope #11"_qs};
}

QPageSize PDFPageSizeToQPageSize(TPDFPageSize size)
{
    static const QPageSize::PageSizeId ids[] = {
        QPageSize::Letter, QPageSize::A4, QPageSize::A3, QPageSize::Legal, QPageSize::B5,
        QPageSize::C5E, QPageSize::Custom, QPageSize::B4, QPageSize::A5, QPageSize::Folio,
        QPageSize::Executive, QPageSize::EnvelopeB4, QPageSize::EnvelopeB5, QPageSize::EnvelopeC6,
        QPageSize::EnvelopeDL, QPageSize::EnvelopeMonarch, QPageSize::Envelope9,
        QPageSize::Envelope10, QPageSize::Envelope11};
    if (size == ps8x11)
        return QPageSize(QSizeF(8, 11), QPageSize::Inch, u"8x11"_qs);
    if (size < psLetter || size > psEnv11)
        return QPageSize(QPageSize::A4);
    return QPageSize(ids[size]);
}

TWPPageSetup PDFPageSetup(TPDFPageSize size, TPDFPageOrientation orientation, int left, int top,
                          int right, int bottom)
{
    const QSizeF pt = PDFPageSizeToQPageSize(size).size(QPageSize::Point);
    const auto twips = [](qint64 mm) { return int(std::clamp<qint64>(mm * 1440 * 10 / 254, -31680 * 4, 31680 * 4)); };
    TWPPageSetup p;
    p.PageWidth = qRound(pt.width() * 20);
    p.PageHeight = qRound(pt.height() * 20);
    if (orientation == poPageLandscape) {
        std::swap(p.PageWidth, p.PageHeight);
        p.Landscape = true;
    }
    p.MarginLeft = twips(left);
    p.MarginTop = twips(top);
    p.MarginRight = twips(right);
    p.MarginBottom = twips(bottom);
    return p;
}

TWPPagePainter::TWPPagePainter(const TWPDocument &doc) : d(std::make_unique<TWPPagePainterPrivate>())
{
    d->layOut(doc, std::nullopt);
}

TWPPagePainter::TWPPagePainter(const TWPDocument &doc, const TWPPageSetup &page)
    : d(std::make_unique<TWPPagePainterPrivate>())
{
    d->layOut(doc, page);
}

TWPPagePainter::~TWPPagePainter() = default;

int TWPPagePainter::PageCount() const { return d->pageCount; }
QSizeF TWPPagePainter::PageSize() const { return d->runs.front().pageSize; }
QColor TWPPagePainter::PaperColor() const { return d->paper; }

QSizeF TWPPagePainter::PageSize(int page) const
{
    if (page < 0 || page >= d->pageCount)
        return PageSize();
    return d->runs[size_t(d->runOfPage[size_t(page)])].pageSize;
}

void TWPPagePainter::PaintPage(QPainter &painter, int page) const
{
    if (page < 0 || page >= d->pageCount)
        return;
    TWPPagePainterPrivate::Run &run = d->runs[size_t(d->runOfPage[size_t(page)])];
    d->context.Page = page + 1;
    d->context.PageCount = d->pageCount;
    const TWPPageSetup &p = run.page;
    const QSizeF body = run.bodySize;
    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.palette.setColor(QPalette::Text, Qt::black);

    painter.save();
    painter.fillRect(QRectF(QPointF(0, 0), run.pageSize), d->paper);

    // Header and footer, drawn whole (they are not clipped to the margins).
    for (bool header : {true, false}) {
        QTextDocument *t = d->subText(run, d->headerFor(page, header));
        if (!t)
            continue;
        const qreal h = t->documentLayout()->documentSize().height();
        const qreal y = header ? TwipsToUnits(p.HeaderY) : run.pageSize.height() - TwipsToUnits(p.FooterY) - h;
        painter.save();
        painter.translate(TwipsToUnits(p.MarginLeft), y);
        ctx.clip = QRectF(0, 0, body.width(), h);
        DrawPicturesUnderText(painter, t, ctx.clip);
        t->documentLayout()->draw(&painter, ctx);
        painter.restore();
    }

    // Footnotes below the body, above the footer, after a short rule.
    if (!d->footnotesOfPage[size_t(page)].empty()) {
        painter.save();
        qreal y = TwipsToUnits(p.MarginTop) + body.height() + 4;
        painter.translate(TwipsToUnits(p.MarginLeft), 0);
        painter.setPen(QPen(Qt::black, 0.75));
        painter.drawLine(QPointF(0, y), QPointF(body.width() / 3, y));
        y += 3;
        for (int index : d->footnotesOfPage[size_t(page)]) {
            QTextDocument *t = d->subText(run, d->doc->Footnote(index));
            if (!t)
                continue;
            painter.save();
            painter.translate(0, y);
            ctx.clip = QRectF(QPointF(0, 0), t->documentLayout()->documentSize());
            DrawPicturesUnderText(painter, t, ctx.clip);
            t->documentLayout()->draw(&painter, ctx);
            painter.restore();
            y += t->documentLayout()->documentSize().height();
        }
        painter.restore();
    }

    const int local = page - run.first + run.skip;
    const QRectF slice(0, local * body.height(), body.width(), body.height());
    painter.translate(TwipsToUnits(p.MarginLeft), TwipsToUnits(p.MarginTop));
    painter.setClipRect(QRectF(QPointF(0, 0), body), Qt::IntersectClip);
    painter.translate(0, -slice.top());

    for (const Decorated &dec : run.decorated)
        if (dec.Rect.intersects(slice)
            && (dec.Format.intProperty(wpShading) > 0 || dec.Format.hasProperty(QTextFormat::BackgroundBrush)))
            painter.fillRect(dec.Rect, shadeColor(dec.Format));

    // Lines are drawn when they meet the clip: a line that merely touches
    // the page's edge belongs to the neighbour (and in a PDF its text would
    // be there, clipped or not).
    DrawPicturesUnderText(painter, run.body.get(), slice);
    ctx.clip = slice.adjusted(0, 0.5, 0, -0.5);
    run.body->documentLayout()->draw(&painter, ctx);

    for (const Decorated &dec : run.decorated) {
        if (!dec.Rect.intersects(slice) || !hasBorder(dec.Format))
            continue;
        const QColor color = dec.Format.hasProperty(wpBorderColor) ? dec.Format.colorProperty(wpBorderColor)
                                                                   : QColor(Qt::black);
        const QRectF r = dec.Rect;
        const QLineF lines[4] = {{r.topLeft(), r.bottomLeft()}, {r.topLeft(), r.topRight()},
                                 {r.topRight(), r.bottomRight()}, {r.bottomLeft(), r.bottomRight()}};
        const int style = dec.Format.intProperty(wpBorderStyle);
        for (int i = 0; i < 4; ++i) {
            const int w = dec.Format.intProperty(wpBorderLeft + i);
            if (w <= 0)
                continue;
            const qreal width = TwipsToUnits(std::min(w, 1440)) * (style == wpbsThick ? 2 : 1);
            QPen pen(color, width);
            if (style == wpbsDotted)
                pen.setStyle(Qt::DotLine);
            else if (style == wpbsDashed)
                pen.setStyle(Qt::DashLine);
            painter.setPen(pen);
            if (style != wpbsDouble) {
                painter.drawLine(lines[i]);
                continue;
            }
            // Two lines of the width, a width apart, the outer one on the edge.
            const QLineF l = lines[i];
            const QPointF in = i == 0 ? QPointF(1, 0) : i == 1 ? QPointF(0, 1) : i == 2 ? QPointF(-1, 0) : QPointF(0, -1);
            painter.drawLine(l);
            painter.drawLine(l.translated(in * width * 2));
        }
    }
    painter.restore();
}

QImage TWPPagePainter::RenderPage(int page, qreal dpi) const
{
    dpi = std::clamp<qreal>(dpi, 1, 1200);
    const QSize size = (PageSize(page) * dpi / 96.0).toSize().expandedTo(QSize(1, 1));
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter painter(&img);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(dpi / 96.0, dpi / 96.0);
    PaintPage(painter, page);
    painter.end();
    return img;
}

int TWPPagePainter::PositionAt(int page, QPointF point) const
{
    if (page < 0 || page >= d->pageCount)
        return -1;
    const TWPPagePainterPrivate::Run &run = d->runs[size_t(d->runOfPage[size_t(page)])];
    const QSizeF body = run.bodySize;
    // Points in the margins go to the nearest line of the body.
    const qreal x = std::clamp<qreal>(point.x() - TwipsToUnits(run.page.MarginLeft), 0, body.width());
    const qreal y = std::clamp<qreal>(point.y() - TwipsToUnits(run.page.MarginTop), 0.5, body.height() - 0.5);
    const int local = page - run.first + run.skip;
    const int pos = run.body->documentLayout()->hitTest(QPointF(x, local * body.height() + y), Qt::FuzzyHit);
    return pos < 0 ? -1 : d->toDocument(pos + run.offset);
}

int TWPPagePainter::CaretRect(int position, QRectF *rect) const
{
    if (!d->doc || position < 0 || position >= d->doc->Text()->characterCount())
        return -1;
    const int print = d->toPrint(position);
    for (const TWPPagePainterPrivate::Run &run : d->runs) {
        const int pos = print - run.offset;
        const int from = run.start >= 0 ? run.start : 0;
        const int to = run.end >= 0 ? run.end : run.body->characterCount();
        if (pos < from || pos >= to)
            continue;
        const QTextBlock block = run.body->findBlock(pos);
        if (!block.isValid() || !block.layout())
            return -1;
        const QTextLine line = block.layout()->lineForTextPosition(pos - block.position());
        const QRectF br = run.body->documentLayout()->blockBoundingRect(block);
        const qreal x = line.isValid() ? line.cursorToX(pos - block.position()) : 0;
        const qreal y = br.top() + (line.isValid() ? line.y() : 0);
        const int page = d->globalPage(run, y);
        if (page < 0)
            return -1;
        const int local = page - run.first + run.skip;
        if (rect)
            *rect = QRectF(TwipsToUnits(run.page.MarginLeft) + br.left() + x,
                           TwipsToUnits(run.page.MarginTop) + y - local * run.bodySize.height(), 1,
                           line.isValid() ? line.height() : br.height());
        return page;
    }
    return -1;
}

namespace {

// A PDF page of a size in document units, portrait or landscape as it is
// wider or higher.
QPageLayout pdfLayout(const QSizeF &units)
{
    const QSizeF pt = units * 0.75; // units are 1/96 in, points 1/72
    const bool landscape = pt.width() > pt.height();
    const QPageSize size(landscape ? pt.transposed() : pt, QPageSize::Point, {}, QPageSize::ExactMatch);
    return QPageLayout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
}

} // namespace

QByteArray TWPPagePainter::WritePdf(const TWPDocument &doc, const TWPPdfOptions &options)
{
    const TWPPagePainter pages = options.Page ? TWPPagePainter(doc, *options.Page) : TWPPagePainter(doc);
    const auto pick = [&](const QString &given, const char *key) {
        return given.isEmpty() ? doc.Info(QString::fromLatin1(key)) : given;
    };
    const QString title = pick(options.Title, "title");

    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    {
        QPdfWriter w(&buf);
        const int res = std::clamp(options.Resolution, 72, 9600);
        w.setResolution(res);
        w.setPageLayout(pdfLayout(pages.PageSize(0)));
        w.setTitle(title);
        w.setCreator(options.Creator);
        QPainter painter;
        if (!painter.begin(&w))
            return {};
        painter.scale(res / 96.0, res / 96.0);
        for (int i = 0; i < pages.PageCount(); ++i) {
            if (i > 0) {
                // Set before the page begins: a section's pages keep its size.
                if (pages.PageSize(i) != pages.PageSize(i - 1))
                    w.setPageLayout(pdfLayout(pages.PageSize(i)));
                w.newPage();
            }
            pages.PaintPage(painter, i);
        }
        painter.end();
    }
    return SetPdfInfo(out, title, pick(options.Author, "author"), pick(options.Subject, "subject"),
                      pick(options.Keywords, "keywords"), options.Creator);
}

namespace {

// A PDF text string: UTF-16BE with its byte order mark, in hex.
QByteArray pdfText(const QString &s)
{
    QByteArray out = "<FEFF";
    for (QChar c : s)
        out += QByteArray::number(c.unicode() | 0x10000, 16).mid(1).toUpper();
    return out + '>';
}

} // namespace

QByteArray TWPPagePainter::SetPdfInfo(const QByteArray &pdf, const QString &title, const QString &author,
                                      const QString &subject, const QString &keywords, const QString &creator)
{
    const qsizetype sx = pdf.lastIndexOf("startxref");
    if (sx < 0)
        return pdf;
    bool ok = false;
    const qint64 prev = pdf.mid(sx + 9, 24).trimmed().split('\n').value(0).trimmed().toLongLong(&ok);
    if (!ok || prev < 0 || prev >= pdf.size() || !pdf.mid(prev, 4).startsWith("xref"))
        return pdf; // a cross-reference stream or damage: leave it alone
    const qsizetype tr = pdf.lastIndexOf("trailer", sx);
    if (tr < 0)
        return pdf;
    const QByteArray trailer = pdf.mid(tr, sx - tr);
    static const QRegularExpression sizeRe(u"/Size\\s+(\\d+)"_qs);
    static const QRegularExpression rootRe(u"/Root\\s+(\\d+\\s+\\d+\\s+R)"_qs);
    static const QRegularExpression idRe(u"/ID\\s*\\[[^\\]]*\\]"_qs);
    const QString t = QString::fromLatin1(trailer);
    const auto size = sizeRe.match(t);
    const auto root = rootRe.match(t);
    if (!size.hasMatch() || !root.hasMatch())
        return pdf;
    const qint64 obj = size.captured(1).toLongLong();
    if (obj <= 0 || obj > 8388607)
        return pdf;

    QByteArray out = pdf;
    if (!out.endsWith('\n'))
        out += '\n';
    const qint64 infoAt = out.size();
    QByteArray info = QByteArray::number(obj) + " 0 obj\n<<";
    const auto entry = [&](const char *key, const QString &value) {
        if (!value.isEmpty())
            info += QByteArray(" /") + key + ' ' + pdfText(value);
    };
    entry("Title", title);
    entry("Author", author);
    entry("Subject", subject);
    entry("Keywords", keywords);
    entry("Creator", creator);
    entry("Producer", u"ZorCompCore"_qs);
    info += " /CreationDate (D:" + QDateTime::currentDateTimeUtc().toString(u"yyyyMMddHHmmss"_qs).toLatin1()
            + "Z)";
    info += " >>\nendobj\n";
    out += info;
    const qint64 xrefAt = out.size();
    out += "xref\n" + QByteArray::number(obj) + " 1\n";
    out += QByteArray::number(infoAt).rightJustified(10, '0') + " 00000 n\r\n";
    out += "trailer\n<< /Size " + QByteArray::number(obj + 1) + " /Root " + root.captured(1).toLatin1()
           + " /Info " + QByteArray::number(obj) + " 0 R /Prev " + QByteArray::number(prev);
    const auto id = idRe.match(t);
    if (id.hasMatch())
        out += ' ' + id.captured(0).toLatin1();
    out += " >>\nstartxref\n" + QByteArray::number(xrefAt) + "\n%%EOF\n";
    return out;
}

} // namespace zor
