#include "WPRuler.h"

#include "WPRichText.h"

#include <ZorCompCore/richtext/engine/Document.h>

#include <QAbstractTextDocumentLayout>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextTable>

#include <algorithm>
#include <climits>
#include <functional>
#include <cmath>

namespace zor {

namespace {

constexpr int Thickness = 22;  // the ruler's height (width for the vertical one)
constexpr int Grab = 4;        // how near a marker a press takes it
constexpr int DropDistance = 24; // a tab stop dragged this far off the ruler goes

TWPRulerUnit localeUnit()
{
    return QLocale().measurementSystem() == QLocale::MetricSystem ? TWPRulerUnit::Centimetre : TWPRulerUnit::Inch;
}

// Document units (1/96 inch) per ruler unit, and ticks per unit.
qreal unitLength(TWPRulerUnit u) { return u == TWPRulerUnit::Inch ? 96.0 : 96.0 / 2.54; }
int ticksPerUnit(TWPRulerUnit u) { return u == TWPRulerUnit::Inch ? 8 : 4; }

// Tick marks and numbers along one axis: from is where the scale's zero is
// drawn (pixels), step one document unit in pixels, [lo, hi] the range.
void drawScale(QPainter &p, Qt::Orientation o, qreal zero, qreal scale, qreal lo, qreal hi, TWPRulerUnit unit,
               int thickness)
{
    const qreal len = unitLength(unit) * scale;
    if (len < 4)
        return;
    const int ticks = ticksPerUnit(unit);
    const int first = int(std::floor((lo - zero) / len * ticks));
    const int last = int(std::ceil((hi - zero) / len * ticks));
    p.setPen(Qt::black);
    QFont f = p.font();
    f.setPixelSize(9);
    p.setFont(f);
    for (int i = first; i <= last; ++i) {
        const qreal at = zero + i * len / ticks;
        if (i % ticks == 0 && i != 0) {
            const QString n = QString::number(std::abs(i / ticks));
            if (o == Qt::Horizontal)
                p.drawText(QRectF(at - 10, 0, 20, thickness), Qt::AlignCenter, n);
            else
                p.drawText(QRectF(0, at - 6, thickness, 12), Qt::AlignCenter, n);
            continue;
        }
        const qreal tick = i % ticks == 0 ? 0 : (i % (ticks / 2) == 0 ? thickness / 3.0 : thickness / 6.0);
        if (tick == 0)
            continue;
        const qreal mid = thickness / 2.0;
        if (o == Qt::Horizontal)
            p.drawLine(QPointF(at, mid - tick / 2), QPointF(at, mid + tick / 2));
        else
            p.drawLine(QPointF(mid - tick / 2, at), QPointF(mid + tick / 2, at));
    }
}

// The editor's viewport origin in w's coordinates.
QPoint viewportOffset(const TWPRichText *ed, const QWidget *w)
{
    return w->mapFromGlobal(ed->viewport()->mapToGlobal(QPoint(0, 0)));
}

void follow(QWidget *ruler, TWPRichText *ed, std::vector<QMetaObject::Connection> &links)
{
    for (const QMetaObject::Connection &c : links)
        QObject::disconnect(c);
    links.clear();
    if (!ed)
        return;
    const auto repaint = [ruler] { ruler->update(); };
    links.push_back(QObject::connect(ed, &TWPRichText::CursorPositionChanged, ruler, repaint));
    links.push_back(QObject::connect(ed, &TWPRichText::TextChanged, ruler, repaint));
    links.push_back(QObject::connect(ed, &TWPRichText::ZoomChanged, ruler, repaint));
    links.push_back(QObject::connect(ed->horizontalScrollBar(), &QScrollBar::valueChanged, ruler, repaint));
    links.push_back(QObject::connect(ed->verticalScrollBar(), &QScrollBar::valueChanged, ruler, repaint));
}

// Margins of the caret's section changed from a ruler: the pages follow.
void setMargins(TWPRichText *ed, const std::function<void(TWPPageSetup &)> &change)
{
    if (ed->ReadOnly())
        return;
    TWPDocument &doc = ed->Document();
    TWPPageSetup &ps = doc.PageSetup(doc.SectionAt(ed->TextCursor().position()));
    const TWPPageSetup before = ps;
    change(ps);
    if (ps == before)
        return;
    ed->SetModified(true);
    ed->ReformatAll();
}

} // namespace

// ---- horizontal ruler -------------------------------------------------------

struct TWPRuler::Private
{
    explicit Private(TWPRuler *owner) : q(owner) {}
    TWPRuler *q;
    QPointer<TWPRichText> ed;
    std::vector<QMetaObject::Connection> links;
    TWPRulerUnit unit = localeUnit();
    QTextOption::TabType tabKind = QTextOption::LeftTab;

    // What the ruler shows, in document units across the caret's page.
    struct Geometry
    {
        bool valid = false;
        qreal y = 0;                   // the caret paragraph's top (document)
        qreal marginLeft = 0, bodyWidth = 0, marginRight = 0;
        qreal containerLeft = 0, containerRight = 0;
        qreal left = 0, first = 0, right = 0;
        QList<QTextOption::Tab> tabs;
        QPointer<QTextTable> table;
        QList<qreal> borders;          // right edges of the table's columns
    };

    // A drag in progress: what is dragged and where it started.
    enum Kind { None, MarginL, MarginR, First, Left, Right, Tab, Border };
    Kind drag = None;
    int dragIndex = -1;
    int pressX = 0;
    int dragX = 0;
    bool dropping = false; // a tab stop dragged off the ruler

    qreal z() const { return ed ? ed->Zoom() / 100.0 : 1; }

    Geometry geometry() const
    {
        Geometry g;
        if (!ed)
            return g;
        TWPDocument &doc = ed->Document();
        const QTextCursor c = ed->TextCursor();
        const TWPPageSetup &ps = doc.PageSetup(doc.SectionAt(c.position()));
        const qreal width = TwipsToUnits(ps.Landscape && ps.PageWidth < ps.PageHeight ? ps.PageHeight : ps.PageWidth);
        g.marginLeft = TwipsToUnits(ps.MarginLeft);
        g.marginRight = TwipsToUnits(ps.MarginRight);
        // The text width the control lays out with (the window's when it wraps there).
        const qreal laidOut = doc.Text()->textWidth();
        g.bodyWidth = laidOut > 0 ? laidOut : std::max<qreal>(24, width - g.marginLeft - g.marginRight);
        const QTextBlock block = c.block();
        QAbstractTextDocumentLayout *layout = doc.Text()->documentLayout();
        const QRectF br = layout->blockBoundingRect(block);
        g.y = br.top();
        g.containerLeft = br.left();
        g.containerRight = g.bodyWidth;
        const QTextBlockFormat bf = block.blockFormat();
        if (block.layout() && block.layout()->lineCount() > 0) {
            const QTextLine line = block.layout()->lineAt(block.layout()->lineCount() > 1 ? 1 : 0);
            // A line's x holds the indents and its width what they leave.
            g.containerRight = br.left() + line.x() + line.width() + bf.rightMargin();
        }
        g.left = g.containerLeft + bf.leftMargin();
        g.first = g.left + bf.textIndent();
        g.right = g.containerRight - bf.rightMargin();
        g.tabs = bf.tabPositions();
        if (QTextTable *t = c.currentTable()) {
            g.table = t;
            const int row = t->cellAt(c).row();
            for (int col = 0; col < t->columns(); ++col) {
                const QTextTableCell cell = t->cellAt(row, col);
                if (cell.column() + cell.columnSpan() - 1 != col)
                    continue; // inside a merged cell
                const QRectF r = layout->blockBoundingRect(cell.firstCursorPosition().block());
                QTextBlock b = cell.firstCursorPosition().block();
                qreal right = r.left();
                if (b.layout() && b.layout()->lineCount() > 0) {
                    const QTextLine l = b.layout()->lineAt(0);
                    right = r.left() + l.x() + l.width() + b.blockFormat().rightMargin();
                }
                g.borders << right + t->format().cellPadding();
            }
        }
        g.valid = true;
        return g;
    }

    int x(const Geometry &g, qreal docX) const
    {
        return qRound(ed->MapToViewport(QPointF(docX, g.y)).x()) + viewportOffset(ed, q).x();
    }

    int markerX(const Geometry &g, Kind k, int index = -1) const
    {
        switch (k) {
        case MarginL: return x(g, 0);
        case MarginR: return x(g, g.bodyWidth);
        case First: return x(g, g.first);
        case Left: return x(g, g.left);
        case Right: return x(g, g.right);
        case Tab: return index >= 0 && index < g.tabs.size() ? x(g, g.containerLeft + g.tabs[index].position) : -1;
        case Border: return index >= 0 && index < g.borders.size() ? x(g, g.borders[index]) : -1;
        case None: break;
        }
        return -1;
    }

    // What a press at pos takes: the nearest marker within reach. The first
    // line's indent is taken in the upper half, the other indents and tab
    // stops in the lower; column borders and margins anywhere.
    std::pair<Kind, int> hit(const QPoint &pos) const
    {
        const Geometry g = geometry();
        if (!g.valid)
            return {None, -1};
        const bool upper = pos.y() < Thickness / 2;
        std::pair<Kind, int> best{None, -1};
        int bestDistance = Grab + 1;
        const auto consider = [&](Kind k, int index) {
            const int mx = markerX(g, k, index);
            const int dist = mx < 0 ? INT_MAX : std::abs(mx - pos.x());
            if (dist < bestDistance) {
                bestDistance = dist;
                best = {k, index};
            }
        };
        if (upper) {
            consider(First, -1);
        } else {
            consider(Left, -1);
            consider(Right, -1);
            for (int i = 0; i < g.tabs.size(); ++i)
                consider(Tab, i);
        }
        for (int i = 0; i + 1 < g.borders.size(); ++i) // the last is the table's edge: the control drags it
            consider(Border, i);
        consider(MarginL, -1);
        consider(MarginR, -1);
        return best;
    }

    // Applies a finished drag; delta in document units.
    void finish(Kind k, int index, qreal delta, bool drop)
    {
        const Geometry g = geometry();
        if (!g.valid || (qFuzzyIsNull(delta) && !drop))
            return;
        QTextBlockFormat f;
        const QTextBlockFormat now = ed->TextCursor().blockFormat();
        switch (k) {
        case MarginL:
            setMargins(ed, [&](TWPPageSetup &ps) {
                ps.MarginLeft = std::max(0, ps.MarginLeft + UnitsToTwips(delta));
            });
            return;
        case MarginR:
            setMargins(ed, [&](TWPPageSetup &ps) {
                ps.MarginRight = std::max(0, ps.MarginRight - UnitsToTwips(delta));
            });
            return;
        case First:
            f.setTextIndent(now.textIndent() + delta);
            break;
        case Left:
            // The hanging part moves; the first line stays where it is.
            f.setLeftMargin(std::max<qreal>(0, now.leftMargin() + delta));
            f.setTextIndent(now.textIndent() - (f.leftMargin() - now.leftMargin()));
            break;
        case Right:
            f.setRightMargin(std::max<qreal>(0, now.rightMargin() - delta));
            break;
        case Tab: {
            QList<QTextOption::Tab> tabs = now.tabPositions();
            if (index < 0 || index >= tabs.size())
                return;
            if (drop)
                tabs.removeAt(index);
            else
                tabs[index].position = std::max<qreal>(0, tabs[index].position + delta);
            std::sort(tabs.begin(), tabs.end(), [](const auto &a, const auto &b) { return a.position < b.position; });
            f.setTabPositions(tabs);
            break;
        }
        case Border:
            if (g.table)
                ed->ResizeTableColumn(g.table, index, delta);
            return;
        case None:
            return;
        }
        ed->ApplyBlockFormat(f);
    }

    void addTab(int atX)
    {
        const Geometry g = geometry();
        if (!g.valid || ed->ReadOnly())
            return;
        const qreal zeroX = x(g, g.containerLeft);
        const qreal position = (atX - zeroX) / z();
        if (position <= 0 || g.containerLeft + position >= g.containerRight)
            return;
        QList<QTextOption::Tab> tabs = ed->TextCursor().blockFormat().tabPositions();
        tabs.append(QTextOption::Tab(position, tabKind, tabKind == QTextOption::DelimiterTab ? QLocale().decimalPoint().at(0) : QChar()));
        std::sort(tabs.begin(), tabs.end(), [](const auto &a, const auto &b) { return a.position < b.position; });
        QTextBlockFormat f;
        f.setTabPositions(tabs);
        ed->ApplyBlockFormat(f);
    }
};

TWPRuler::TWPRuler(QWidget *parent)
    : QWidget(parent), d(new Private(this))
{
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

TWPRuler::~TWPRuler() = default;

TWPRichText *TWPRuler::RichText() const { return d->ed; }

void TWPRuler::SetRichText(TWPRichText *editor)
{
    d->ed = editor;
    follow(this, editor, d->links);
    update();
}

TWPRulerUnit TWPRuler::Unit() const { return d->unit; }

void TWPRuler::SetUnit(TWPRulerUnit unit)
{
    d->unit = unit;
    update();
}

QTextOption::TabType TWPRuler::TabKind() const { return d->tabKind; }

void TWPRuler::SetTabKind(QTextOption::TabType kind)
{
    d->tabKind = kind;
    update();
}

int TWPRuler::MarkerX(TMarker marker) const
{
    const Private::Geometry g = d->geometry();
    if (!g.valid)
        return -1;
    static const Private::Kind kinds[] = {Private::MarginL, Private::MarginR, Private::First, Private::Left,
                                          Private::Right};
    return d->markerX(g, kinds[marker]);
}

QList<int> TWPRuler::TabStopXs() const
{
    const Private::Geometry g = d->geometry();
    QList<int> r;
    for (int i = 0; g.valid && i < g.tabs.size(); ++i)
        r << d->markerX(g, Private::Tab, i);
    return r;
}

QList<int> TWPRuler::ColumnBorderXs() const
{
    const Private::Geometry g = d->geometry();
    QList<int> r;
    for (int i = 0; g.valid && i < g.borders.size(); ++i)
        r << d->markerX(g, Private::Border, i);
    return r;
}

QSize TWPRuler::sizeHint() const { return {200, Thickness}; }

void TWPRuler::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    const Private::Geometry g = d->geometry();
    // The tab selector: the kind a click adds.
    const QRect selector(2, 3, Thickness - 6, Thickness - 6);
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(selector);
    static const char *const glyph[] = {"L", "R", "C", "D"};
    p.setPen(Qt::black);
    p.drawText(selector, Qt::AlignCenter, QString::fromLatin1(glyph[d->tabKind]));
    if (!g.valid)
        return;
    p.setClipRect(QRect(Thickness, 0, width() - Thickness, height()));
    const int paperL = d->x(g, -g.marginLeft), bodyL = d->markerX(g, Private::MarginL);
    const int bodyR = d->markerX(g, Private::MarginR), paperR = d->x(g, g.bodyWidth + g.marginRight);
    const QRect band(0, 3, width(), Thickness - 6);
    p.fillRect(band.adjusted(paperL - band.left(), 0, 0, 0).intersected(QRect(paperL, 3, paperR - paperL, band.height())),
               palette().color(QPalette::Mid));
    p.fillRect(QRect(bodyL, 3, bodyR - bodyL, band.height()), Qt::white);
    drawScale(p, Qt::Horizontal, d->x(g, g.containerLeft), d->z(), paperL, paperR, d->unit, Thickness);

    // Indents: first line above, left and right below.
    const auto triangle = [&](int x, bool down) {
        QPainterPath t;
        const qreal y = down ? 3 : Thickness - 3, dy = down ? 5 : -5;
        t.moveTo(x - 4, y);
        t.lineTo(x + 4, y);
        t.lineTo(x, y + dy);
        t.closeSubpath();
        p.fillPath(t, Qt::gray);
        p.setPen(Qt::black);
        p.drawPath(t);
    };
    triangle(d->markerX(g, Private::First), true);
    triangle(d->markerX(g, Private::Left), false);
    triangle(d->markerX(g, Private::Right), false);
    p.setPen(QPen(Qt::black, 2));
    for (int i = 0; i < g.tabs.size(); ++i) {
        const int tx = d->markerX(g, Private::Tab, i);
        const int y = Thickness - 9;
        p.drawLine(tx, y, tx, y + 5);
        switch (g.tabs[i].type) {
        case QTextOption::LeftTab: p.drawLine(tx, y + 5, tx + 4, y + 5); break;
        case QTextOption::RightTab: p.drawLine(tx - 4, y + 5, tx, y + 5); break;
        default: p.drawLine(tx - 3, y + 5, tx + 3, y + 5); break;
        }
    }
    p.setPen(QPen(Qt::darkGray, 1));
    for (int i = 0; i < g.borders.size(); ++i) {
        const int bx = d->markerX(g, Private::Border, i);
        p.fillRect(QRect(bx - 2, 4, 4, Thickness - 8), Qt::darkGray);
    }
    if (d->drag != Private::None) {
        p.setPen(QPen(d->dropping ? Qt::red : Qt::black, 1, Qt::DotLine));
        p.drawLine(d->dragX, 0, d->dragX, height());
    }
}

void TWPRuler::mousePressEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton || !d->ed)
        return;
    const QPoint pos = e->position().toPoint();
    // Markers first: in the normal view the text starts under the selector.
    const auto [kind, index] = d->ed->ReadOnly() ? std::pair{Private::None, -1} : d->hit(pos);
    if (kind == Private::None) {
        if (pos.x() < Thickness) {
            d->tabKind = d->tabKind == QTextOption::LeftTab     ? QTextOption::CenterTab
                         : d->tabKind == QTextOption::CenterTab ? QTextOption::RightTab
                         : d->tabKind == QTextOption::RightTab  ? QTextOption::DelimiterTab
                                                                : QTextOption::LeftTab;
            update();
        } else if (pos.y() >= Thickness / 2 && !d->ed->ReadOnly()) {
            d->addTab(pos.x());
        }
        return;
    }
    d->drag = kind;
    d->dragIndex = index;
    d->pressX = d->dragX = pos.x();
    d->dropping = false;
    update();
}

void TWPRuler::mouseMoveEvent(QMouseEvent *e)
{
    const QPoint pos = e->position().toPoint();
    if (d->drag == Private::None) {
        setCursor(d->hit(pos).first == Private::None ? Qt::ArrowCursor : Qt::SizeHorCursor);
        return;
    }
    d->dragX = pos.x();
    d->dropping = d->drag == Private::Tab && (pos.y() < -DropDistance || pos.y() > height() + DropDistance);
    update();
}

void TWPRuler::mouseReleaseEvent(QMouseEvent *e)
{
    if (d->drag == Private::None)
        return;
    const Private::Kind kind = std::exchange(d->drag, Private::None);
    const QPoint pos = e->position().toPoint();
    const bool drop = kind == Private::Tab && (pos.y() < -DropDistance || pos.y() > height() + DropDistance);
    if (d->ed)
        d->finish(kind, d->dragIndex, (pos.x() - d->pressX) / d->z(), drop);
    update();
}

// ---- vertical ruler ---------------------------------------------------------

struct TWPVertRuler::Private
{
    explicit Private(TWPVertRuler *owner) : q(owner) {}
    TWPVertRuler *q;
    QPointer<TWPRichText> ed;
    std::vector<QMetaObject::Connection> links;
    TWPRulerUnit unit = localeUnit();
    int drag = 0; // 1 top margin, 2 bottom margin
    int pressY = 0, dragY = 0;

    qreal z() const { return ed ? ed->Zoom() / 100.0 : 1; }

    // The caret's page: its paper top, body top and bottom, paper bottom
    // (ruler y), or false outside the page layout.
    bool page(int *paperTop, int *bodyTop, int *bodyBottom, int *paperBottom) const
    {
        if (!ed || ed->LayoutMode() != wplayPageLayout)
            return false;
        TWPDocument &doc = ed->Document();
        const QTextCursor c = ed->TextCursor();
        const TWPPageSetup &ps = doc.PageSetup(doc.SectionAt(c.position()));
        const qreal bodyH = doc.Text()->pageSize().height();
        if (bodyH <= 0)
            return false;
        const qreal y = doc.Text()->documentLayout()->blockBoundingRect(c.block()).top();
        const qreal top = std::floor(y / bodyH) * bodyH;
        const int off = viewportOffset(ed, q).y();
        const qreal t = ed->MapToViewport(QPointF(0, top)).y() + off;
        *bodyTop = qRound(t);
        *bodyBottom = qRound(t + bodyH * z());
        *paperTop = qRound(t - TwipsToUnits(ps.MarginTop) * z());
        *paperBottom = qRound(t + (bodyH + TwipsToUnits(ps.MarginBottom)) * z());
        return true;
    }
};

TWPVertRuler::TWPVertRuler(QWidget *parent)
    : QWidget(parent), d(new Private(this))
{
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

TWPVertRuler::~TWPVertRuler() = default;

TWPRichText *TWPVertRuler::RichText() const { return d->ed; }

void TWPVertRuler::SetRichText(TWPRichText *editor)
{
    d->ed = editor;
    follow(this, editor, d->links);
    update();
}

TWPRulerUnit TWPVertRuler::Unit() const { return d->unit; }

void TWPVertRuler::SetUnit(TWPRulerUnit unit)
{
    d->unit = unit;
    update();
}

int TWPVertRuler::MarginTopY() const
{
    int a, b, c, e;
    return d->page(&a, &b, &c, &e) ? b : -1;
}

int TWPVertRuler::MarginBottomY() const
{
    int a, b, c, e;
    return d->page(&a, &b, &c, &e) ? c : -1;
}

QSize TWPVertRuler::sizeHint() const { return {Thickness, 200}; }

void TWPVertRuler::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    int paperTop, bodyTop, bodyBottom, paperBottom;
    if (!d->page(&paperTop, &bodyTop, &bodyBottom, &paperBottom))
        return;
    p.fillRect(QRect(3, paperTop, Thickness - 6, paperBottom - paperTop), palette().color(QPalette::Mid));
    p.fillRect(QRect(3, bodyTop, Thickness - 6, bodyBottom - bodyTop), Qt::white);
    drawScale(p, Qt::Vertical, bodyTop, d->z(), paperTop, paperBottom, d->unit, Thickness);
    if (d->drag) {
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        p.drawLine(0, d->dragY, width(), d->dragY);
    }
}

void TWPVertRuler::mousePressEvent(QMouseEvent *e)
{
    int paperTop, bodyTop, bodyBottom, paperBottom;
    if (e->button() != Qt::LeftButton || !d->page(&paperTop, &bodyTop, &bodyBottom, &paperBottom)
        || d->ed->ReadOnly())
        return;
    const int y = e->position().toPoint().y();
    d->drag = std::abs(y - bodyTop) <= Grab ? 1 : std::abs(y - bodyBottom) <= Grab ? 2 : 0;
    d->pressY = d->dragY = y;
    update();
}

void TWPVertRuler::mouseMoveEvent(QMouseEvent *e)
{
    const int y = e->position().toPoint().y();
    if (!d->drag) {
        int paperTop, bodyTop, bodyBottom, paperBottom;
        const bool near = d->page(&paperTop, &bodyTop, &bodyBottom, &paperBottom)
                          && (std::abs(y - bodyTop) <= Grab || std::abs(y - bodyBottom) <= Grab);
        setCursor(near ? Qt::SizeVerCursor : Qt::ArrowCursor);
        return;
    }
    d->dragY = y;
    update();
}

void TWPVertRuler::mouseReleaseEvent(QMouseEvent *e)
{
    const int which = std::exchange(d->drag, 0);
    if (!which || !d->ed)
        return;
    const int twips = UnitsToTwips((e->position().toPoint().y() - d->pressY) / d->z());
    setMargins(d->ed, [&](TWPPageSetup &ps) {
        if (which == 1)
            ps.MarginTop = std::max(0, ps.MarginTop + twips);
        else
            ps.MarginBottom = std::max(0, ps.MarginBottom - twips);
    });
    update();
}

} // namespace zor
