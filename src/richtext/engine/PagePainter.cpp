#include "PagePainter.h"

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

} // namespace

class TWPPagePainterPrivate
{
public:
    const TWPDocument *doc = nullptr;
    TWPPageSetup page;
    std::unique_ptr<QTextDocument> body;
    QHash<const QTextDocument *, std::shared_ptr<QTextDocument>> subTexts; // headers, footers
    mutable TWPFieldContext context;
    std::vector<Decorated> decorated;
    std::vector<int> sectionOfPage;
    std::vector<std::vector<int>> footnotesOfPage; // footnotes referred to on each page
    std::vector<std::pair<int, int>> hidden; // (position, length) left out of body, ascending
    int pageCount = 1;
    QSizeF pageSize, bodySize;
    QColor paper = Qt::white;

    // A copy of text for print: hidden text out, our field handler on it;
    // true in hasFields when it shows any field.
    std::unique_ptr<QTextDocument> printCopy(const QTextDocument *text, bool *hasFields = nullptr,
                                             std::vector<std::pair<int, int>> *hiddenOut = nullptr)
    {
        std::unique_ptr<QTextDocument> c(text->clone());
        for (const QString &name : doc->PictureNames())
            c->addResource(QTextDocument::ImageResource, QUrl(name),
                           text->resource(QTextDocument::ImageResource, QUrl(name)));
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

    QTextDocument *subText(const QTextDocument *text)
    {
        if (!text || text->isEmpty())
            return nullptr;
        auto it = subTexts.find(text);
        if (it == subTexts.end()) {
            std::shared_ptr<QTextDocument> c = printCopy(text);
            c->setTextWidth(bodySize.width());
            it = subTexts.insert(text, std::move(c));
        }
        return it.value().get();
    }

    void layOut(const TWPDocument &d, const TWPPageSetup &p)
    {
        doc = &d;
        page = p;
        if (page.Landscape && page.PageWidth < page.PageHeight)
            std::swap(page.PageWidth, page.PageHeight);
        page.PageWidth = std::clamp(page.PageWidth, 720, 31680 * 2);
        page.PageHeight = std::clamp(page.PageHeight, 720, 31680 * 2);
        pageSize = QSizeF(TwipsToUnits(page.PageWidth), TwipsToUnits(page.PageHeight));
        // A body of at least a quarter inch each way, whatever the margins say.
        const qreal w = std::max<qreal>(24, pageSize.width() - TwipsToUnits(page.MarginLeft + page.MarginRight));
        const qreal h = std::max<qreal>(24, pageSize.height() - TwipsToUnits(page.MarginTop + page.MarginBottom));
        bodySize = QSizeF(w, h);
        paper = TColorToQColor(GetRTFDataColorValue(d, u"page-background-color"_qs, 0xFFFFFF));

        context = d.FieldContext();
        context.Page = 1;
        context.PageCount = 1;
        bool hasFields = false;
        body = printCopy(d.Text(), &hasFields, &hidden);
        body->setPageSize(bodySize);
        QAbstractTextDocumentLayout *layout = body->documentLayout();
        pageCount = std::max(1, layout->pageCount());
        if (hasFields && pageCount > 1) {
            // Page counts are wider than "1": lay out again with the real one.
            context.PageCount = pageCount;
            body->markContentsDirty(0, body->characterCount());
            pageCount = std::max(1, layout->pageCount());
            context.PageCount = pageCount;
        }

        // A page belongs to the section of the first paragraph that starts on it.
        sectionOfPage.assign(size_t(pageCount), 0);
        int current = 0;
        int lastPage = -1;
        for (QTextBlock b = body->begin(); b.isValid(); b = b.next()) {
            const QTextBlockFormat bf = b.blockFormat();
            const QRectF r = layout->blockBoundingRect(b);
            if (bf.hasProperty(wpSectionIndex)) {
                const int n = bf.intProperty(wpSectionIndex);
                if (n > current && n < d.SectionCount())
                    current = n;
            }
            const int pg = pageOf(r.top());
            for (int i = lastPage + 1; i <= pg; ++i)
                sectionOfPage[size_t(i)] = current;
            lastPage = std::max(lastPage, pg);
            if ((bf.hasProperty(wpShading) && bf.intProperty(wpShading) > 0) || hasBorder(bf)
                || bf.hasProperty(QTextFormat::BackgroundBrush)) {
                const qreal pad = TwipsToUnits(bf.intProperty(wpBorderSpacing));
                decorated.push_back({r.adjusted(-pad, -pad, pad, pad), bf});
            }
        }
        for (int i = lastPage + 1; i < pageCount; ++i)
            sectionOfPage[size_t(i)] = current;

        // A note goes on the page of the line that refers to it.
        footnotesOfPage.assign(size_t(pageCount), {});
        if (d.FootnoteCount() > 0) {
            for (QTextBlock b = body->begin(); b.isValid(); b = b.next()) {
                for (auto it = b.begin(); !it.atEnd(); ++it) {
                    const QTextCharFormat cf = it.fragment().charFormat();
                    if (cf.objectType() != WPFieldObjectType
                        || cf.intProperty(wpFieldKind) != int(TWPFieldKind::Footnote))
                        continue;
                    const QTextLine line = b.layout()->lineForTextPosition(it.fragment().position() - b.position());
                    const qreal y = layout->blockBoundingRect(b).top() + (line.isValid() ? line.y() : 0);
                    const int pg = pageOf(y);
                    for (int i = 0; i < it.fragment().length(); ++i)
                        footnotesOfPage[size_t(pg)].push_back(cf.intProperty(wpFootnote));
                }
            }
        }
    }

    // Lines start at a page's top exactly; half a unit keeps a rounding error
    // from putting them on the page before.
    int pageOf(qreal y) const
    {
        return std::clamp(int((y + 0.5) / bodySize.height()), 0, pageCount - 1);
    }

    // Body positions lack the hidden runs; document positions count them.
    int toDocument(int pos) const
    {
        for (const auto &[start, length] : hidden) {
            if (start > pos)
                break;
            pos += length;
        }
        return pos;
    }
    int toBody(int pos) const
    {
        int removed = 0;
        for (const auto &[start, length] : hidden) {
            if (start >= pos)
                break;
            removed += std::min(length, pos - start);
        }
        return pos - removed;
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

TWPPagePainter::TWPPagePainter(const TWPDocument &doc) : TWPPagePainter(doc, doc.PageSetup(0)) {}

TWPPagePainter::TWPPagePainter(const TWPDocument &doc, const TWPPageSetup &page)
    : d(std::make_unique<TWPPagePainterPrivate>())
{
    d->layOut(doc, page);
}

TWPPagePainter::~TWPPagePainter() = default;

int TWPPagePainter::PageCount() const { return d->pageCount; }
QSizeF TWPPagePainter::PageSize() const { return d->pageSize; }
QColor TWPPagePainter::PaperColor() const { return d->paper; }

void TWPPagePainter::PaintPage(QPainter &painter, int page) const
{
    if (page < 0 || page >= d->pageCount)
        return;
    d->context.Page = page + 1;
    d->context.PageCount = d->pageCount;
    const TWPPageSetup &p = d->page;
    const QSizeF body = d->bodySize;
    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.palette.setColor(QPalette::Text, Qt::black);

    painter.save();
    painter.fillRect(QRectF(QPointF(0, 0), d->pageSize), d->paper);

    // Header and footer, drawn whole (they are not clipped to the margins).
    for (bool header : {true, false}) {
        QTextDocument *t = d->subText(d->headerFor(page, header));
        if (!t)
            continue;
        const qreal h = t->documentLayout()->documentSize().height();
        const qreal y = header ? TwipsToUnits(p.HeaderY) : d->pageSize.height() - TwipsToUnits(p.FooterY) - h;
        painter.save();
        painter.translate(TwipsToUnits(p.MarginLeft), y);
        ctx.clip = QRectF(0, 0, body.width(), h);
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
            QTextDocument *t = d->subText(d->doc->Footnote(index));
            if (!t)
                continue;
            painter.save();
            painter.translate(0, y);
            ctx.clip = QRectF(QPointF(0, 0), t->documentLayout()->documentSize());
            t->documentLayout()->draw(&painter, ctx);
            painter.restore();
            y += t->documentLayout()->documentSize().height();
        }
        painter.restore();
    }

    const QRectF slice(0, page * body.height(), body.width(), body.height());
    painter.translate(TwipsToUnits(p.MarginLeft), TwipsToUnits(p.MarginTop));
    painter.setClipRect(QRectF(QPointF(0, 0), body), Qt::IntersectClip);
    painter.translate(0, -slice.top());

    for (const Decorated &dec : d->decorated)
        if (dec.Rect.intersects(slice)
            && (dec.Format.intProperty(wpShading) > 0 || dec.Format.hasProperty(QTextFormat::BackgroundBrush)))
            painter.fillRect(dec.Rect, shadeColor(dec.Format));

    // Lines are drawn when they meet the clip: a line that merely touches
    // the page's edge belongs to the neighbour (and in a PDF its text would
    // be there, clipped or not).
    ctx.clip = slice.adjusted(0, 0.5, 0, -0.5);
    d->body->documentLayout()->draw(&painter, ctx);

    for (const Decorated &dec : d->decorated) {
        if (!dec.Rect.intersects(slice) || !hasBorder(dec.Format))
            continue;
        const QColor color = dec.Format.hasProperty(wpBorderColor) ? dec.Format.colorProperty(wpBorderColor)
                                                                   : QColor(Qt::black);
        const QRectF r = dec.Rect;
        const QLineF lines[4] = {{r.topLeft(), r.bottomLeft()}, {r.topLeft(), r.topRight()},
                                 {r.topRight(), r.bottomRight()}, {r.bottomLeft(), r.bottomRight()}};
        for (int i = 0; i < 4; ++i) {
            const int w = dec.Format.intProperty(wpBorderLeft + i);
            if (w <= 0)
                continue;
            painter.setPen(QPen(color, TwipsToUnits(std::min(w, 1440))));
            painter.drawLine(lines[i]);
        }
    }
    painter.restore();
}

QImage TWPPagePainter::RenderPage(int page, qreal dpi) const
{
    dpi = std::clamp<qreal>(dpi, 1, 1200);
    const QSize size = (d->pageSize * dpi / 96.0).toSize().expandedTo(QSize(1, 1));
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
    const QSizeF body = d->bodySize;
    // Points in the margins go to the nearest line of the body.
    const qreal x = std::clamp<qreal>(point.x() - TwipsToUnits(d->page.MarginLeft), 0, body.width());
    const qreal y = std::clamp<qreal>(point.y() - TwipsToUnits(d->page.MarginTop), 0.5, body.height() - 0.5);
    const int pos = d->body->documentLayout()->hitTest(QPointF(x, page * body.height() + y), Qt::FuzzyHit);
    return pos < 0 ? -1 : d->toDocument(pos);
}

int TWPPagePainter::CaretRect(int position, QRectF *rect) const
{
    if (position < 0 || position >= d->doc->Text()->characterCount())
        return -1;
    const int pos = d->toBody(position);
    const QTextBlock block = d->body->findBlock(pos);
    if (!block.isValid() || !block.layout())
        return -1;
    const QTextLine line = block.layout()->lineForTextPosition(pos - block.position());
    const QRectF br = d->body->documentLayout()->blockBoundingRect(block);
    const qreal x = line.isValid() ? line.cursorToX(pos - block.position()) : 0;
    const qreal y = br.top() + (line.isValid() ? line.y() : 0);
    const int page = d->pageOf(y);
    if (rect)
        *rect = QRectF(TwipsToUnits(d->page.MarginLeft) + br.left() + x,
                       TwipsToUnits(d->page.MarginTop) + y - page * d->bodySize.height(), 1,
                       line.isValid() ? line.height() : br.height());
    return page;
}

QByteArray TWPPagePainter::WritePdf(const TWPDocument &doc, const TWPPdfOptions &options)
{
    const TWPPagePainter pages(doc, options.Page ? *options.Page : doc.PageSetup(0));
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
        const QSizeF pt = pages.PageSize() * 0.75; // units are 1/96 in, points 1/72
        const bool landscape = pt.width() > pt.height();
        const QPageSize size(landscape ? pt.transposed() : pt, QPageSize::Point, {}, QPageSize::ExactMatch);
        w.setPageLayout(QPageLayout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                    QMarginsF(0, 0, 0, 0)));
        w.setTitle(title);
        w.setCreator(options.Creator);
        QPainter painter;
        if (!painter.begin(&w))
            return {};
        painter.scale(res / 96.0, res / 96.0);
        for (int i = 0; i < pages.PageCount(); ++i) {
            if (i > 0)
                w.newPage();
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
