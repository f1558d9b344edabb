#include "WPRichText.h"

#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/PagePainter.h>
#include <ZorCompCore/richtext/engine/PicturePlacement.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>
#include <ZorCompCore/richtext/spell/SpellAsYouGo.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBasicTimer>
#include <QClipboard>
#include <QDesktopServices>
#include <QFontMetricsF>
#include <QImage>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QRegularExpression>
#include <QTextTable>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <vector>

namespace zor {

namespace {

constexpr int Pad = 8;  // between the window's edge and the text, normal view
constexpr int Gap = 16; // around pages, page layout
constexpr int ThumbnailZoom = 20;

// Dead keys: the combining mark they put on the next letter, and the accent
// they stand for alone (before a blank, or a letter that takes no such mark).
struct DeadKey
{
    int Key;
    char16_t Combining;
    char16_t Spacing;
};

constexpr DeadKey DeadKeys[] = {
    {Qt::Key_Dead_Grave, 0x0300, u'`'},        {Qt::Key_Dead_Acute, 0x0301, 0x00B4},
    {Qt::Key_Dead_Circumflex, 0x0302, u'^'},   {Qt::Key_Dead_Tilde, 0x0303, u'~'},
    {Qt::Key_Dead_Macron, 0x0304, 0x00AF},     {Qt::Key_Dead_Breve, 0x0306, 0x02D8},
    {Qt::Key_Dead_Abovedot, 0x0307, 0x02D9},   {Qt::Key_Dead_Diaeresis, 0x0308, 0x00A8},
    {Qt::Key_Dead_Abovering, 0x030A, 0x02DA},  {Qt::Key_Dead_Doubleacute, 0x030B, 0x02DD},
    {Qt::Key_Dead_Caron, 0x030C, 0x02C7},      {Qt::Key_Dead_Cedilla, 0x0327, 0x00B8},
    {Qt::Key_Dead_Ogonek, 0x0328, 0x02DB},
};

const DeadKey *findDeadKey(int key)
{
    for (const DeadKey &k : DeadKeys)
        if (k.Key == key)
            return &k;
    return nullptr;
}

QString composeDeadKey(const DeadKey &dead, const QString &typed)
{
    if (typed == u" ")
        return QString(QChar(dead.Spacing));
    const QString composed = (typed + QChar(dead.Combining)).normalized(QString::NormalizationForm_C);
    if (composed.size() == typed.size())
        return composed;
    return QChar(dead.Spacing) + typed; // no such letter: both, as typed
}

// Clipboard formats that carry RTF, preferred to HTML and text.
const char *const RtfMimeTypes[] = {"text/rtf", "application/rtf"};

struct KeyMove
{
    QKeySequence::StandardKey Key;
    QTextCursor::MoveOperation Op;
    QTextCursor::MoveMode Mode;
};

constexpr KeyMove KeyMoves[] = {
    {QKeySequence::MoveToNextChar, QTextCursor::Right, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToPreviousChar, QTextCursor::Left, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToNextWord, QTextCursor::WordRight, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToPreviousWord, QTextCursor::WordLeft, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToNextLine, QTextCursor::Down, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToPreviousLine, QTextCursor::Up, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToStartOfLine, QTextCursor::StartOfLine, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToEndOfLine, QTextCursor::EndOfLine, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToStartOfBlock, QTextCursor::StartOfBlock, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToEndOfBlock, QTextCursor::EndOfBlock, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToStartOfDocument, QTextCursor::Start, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToEndOfDocument, QTextCursor::End, QTextCursor::MoveAnchor},
    {QKeySequence::SelectNextChar, QTextCursor::Right, QTextCursor::KeepAnchor},
    {QKeySequence::SelectPreviousChar, QTextCursor::Left, QTextCursor::KeepAnchor},
    {QKeySequence::SelectNextWord, QTextCursor::WordRight, QTextCursor::KeepAnchor},
    {QKeySequence::SelectPreviousWord, QTextCursor::WordLeft, QTextCursor::KeepAnchor},
    {QKeySequence::SelectNextLine, QTextCursor::Down, QTextCursor::KeepAnchor},
    {QKeySequence::SelectPreviousLine, QTextCursor::Up, QTextCursor::KeepAnchor},
    {QKeySequence::SelectStartOfLine, QTextCursor::StartOfLine, QTextCursor::KeepAnchor},
    {QKeySequence::SelectEndOfLine, QTextCursor::EndOfLine, QTextCursor::KeepAnchor},
    {QKeySequence::SelectStartOfBlock, QTextCursor::StartOfBlock, QTextCursor::KeepAnchor},
    {QKeySequence::SelectEndOfBlock, QTextCursor::EndOfBlock, QTextCursor::KeepAnchor},
    {QKeySequence::SelectStartOfDocument, QTextCursor::Start, QTextCursor::KeepAnchor},
    {QKeySequence::SelectEndOfDocument, QTextCursor::End, QTextCursor::KeepAnchor},
};

// Keys whose meaning is editing here, whatever shortcuts the window has.
constexpr QKeySequence::StandardKey EditingKeys[] = {
    QKeySequence::Undo, QKeySequence::Redo, QKeySequence::Copy, QKeySequence::Cut,
    QKeySequence::Paste, QKeySequence::SelectAll, QKeySequence::Delete,
    QKeySequence::DeleteStartOfWord, QKeySequence::DeleteEndOfWord,
    QKeySequence::InsertParagraphSeparator, QKeySequence::InsertLineSeparator,
    QKeySequence::MoveToNextPage, QKeySequence::MoveToPreviousPage,
    QKeySequence::SelectNextPage, QKeySequence::SelectPreviousPage,
};

// The mix of white and the shading colour a paragraph's percentage asks for.
QColor shading(const QTextBlockFormat &bf)
{
    const QColor ink = bf.hasProperty(wpShadingColor) ? bf.colorProperty(wpShadingColor) : QColor(Qt::black);
    const qreal f = std::clamp(bf.intProperty(wpShading), 0, 10000) / 10000.0;
    const auto mix = [f](int c) { return qRound(255 * (1 - f) + c * f); };
    return QColor(mix(ink.red()), mix(ink.green()), mix(ink.blue()));
}

// Empties the undo history and marks the text unchanged. The text remembers
// the undo step it was saved at: set it again, or undoing back to this state
// would still count as a change.
void startAfresh(QTextDocument *text)
{
    text->clearUndoRedoStacks();
    text->setModified(true);
    text->setModified(false);
}

} // namespace

class TWPRichTextPrivate
{
public:
    explicit TWPRichTextPrivate(TWPRichText *owner) : q(owner) {}

    TWPRichText *const q;
    TWPCustomRtfEdit edit;
    QPointer<QTextDocument> text; // the text shown; a load puts another in its place
    std::vector<QMetaObject::Connection> connections;

    // Paper, headers and footers of the pages; rebuilt a moment after edits.
    std::unique_ptr<TWPPagePainter> frames;
    int framesSections = 0;
    QTimer framesTimer;

    int zoomCode = wpZoomWrapToWindow;
    int zoom = 100;
    TWPLayoutMode layout = wplayNormal;
    bool wrapToWindow = true;
    int perRow = 1;
    bool oneClickHyperlink = false;
    unsigned viewOptions = 0;
    unsigned editOptions = wpDefaultEditOptions;
    unsigned formatOptions = 0;
    bool insertPointsHidden = false;
    QColor linkUnderline = QColor(Qt::blue);
    QPointer<TWPSpellAsYouGo> spell;
    // The link under the mouse, drawn hot: [From, To) (From -1: none).
    int hotFrom = -1, hotTo = -1;
    // Dragging a selected picture to another place; the position it would
    // go to (-1: not dragged far enough yet).
    bool dragMove = false;
    int moveTarget = -1;

    QBasicTimer blink;
    bool caretShown = true;
    const DeadKey *deadKey = nullptr;
    bool pasting = false;
    bool selecting = false;
    QString pendingLink;
    int lastPosition = -1, lastAnchor = -1;
    QTextCharFormat lastFormat;
    QTextCursor preeditAt; // where an input method's preedit text shows; null: nowhere

    // A picture in the text: its position, format and place (document units).
    struct Picture
    {
        int Position = -1;
        QRectF Rect;
        int Page = 0;
    };
    // Dragging one of a selected picture's handles (-1: none).
    int dragHandle = -1;
    Picture dragPicture;
    QPoint dragFrom;
    QRectF dragRect; // the picture's new place while dragging, viewport
    // Dragging the border between two table columns: the table and the
    // column left of the border (-1: none).
    QPointer<QTextTable> dragTable;
    int dragColumn = -1;
    qreal dragBorderX = 0; // the border's x while dragging, viewport

    QTextDocument *t() const { return edit.Document().Text(); }
    QTextCursor &cur() { return edit.TextCursor(); }
    qreal z() const { return zoom / 100.0; }

    // Geometry of the pages: the first section's, as the page painter takes it.
    QSizeF pageSize() const
    {
        TWPPageSetup p = edit.Document().PageSetup(0);
        if (p.Landscape && p.PageWidth < p.PageHeight)
            std::swap(p.PageWidth, p.PageHeight);
        return {TwipsToUnits(std::clamp(p.PageWidth, 720, 31680 * 2)),
                TwipsToUnits(std::clamp(p.PageHeight, 720, 31680 * 2))};
    }
    QPointF bodyOrigin() const
    {
        const TWPPageSetup &p = edit.Document().PageSetup(0);
        return {TwipsToUnits(p.MarginLeft), TwipsToUnits(p.MarginTop)};
    }
    QSizeF bodySize() const
    {
        const TWPPageSetup &p = edit.Document().PageSetup(0);
        const QSizeF page = pageSize();
        return {std::max<qreal>(24, page.width() - TwipsToUnits(p.MarginLeft + p.MarginRight)),
                std::max<qreal>(24, page.height() - TwipsToUnits(p.MarginTop + p.MarginBottom))};
    }

    int pageCount() const
    {
        return layout == wplayPageLayout ? std::max(1, t()->pageCount()) : 1;
    }

    // Follows the edit to the text a load put in place.
    void syncText()
    {
        QTextDocument *now = t();
        if (now == text)
            return;
        for (const QMetaObject::Connection &c : connections)
            QObject::disconnect(c);
        connections.clear();
        text = now;
        preeditAt = QTextCursor();
        frames.reset();
        now->setUseDesignMetrics(true);
        now->setDocumentMargin(0);
        hotFrom = hotTo = -1;
        applyFormatOptions(now->rootFrame());
        startAfresh(now); // a new text: nothing before it to go back to
        if (spell)
            spell->Attach(now);
        connections.push_back(QObject::connect(now, &QTextDocument::contentsChanged, q, [this] {
            framesTimer.start();
            updateScrollBars();
            q->viewport()->update();
            Q_EMIT q->TextChanged();
        }));
        connections.push_back(QObject::connect(now, &QTextDocument::modificationChanged, q,
                                               &TWPRichText::ModificationChanged));
        connections.push_back(QObject::connect(now, &QTextDocument::undoAvailable, q, &TWPRichText::UndoAvailable));
        connections.push_back(QObject::connect(now, &QTextDocument::redoAvailable, q, &TWPRichText::RedoAvailable));
        connections.push_back(QObject::connect(now->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged,
                                               q, [this] { updateScrollBars(); }));
        lastPosition = lastAnchor = -1;
        applyGeometry(true);
    }

    int fitPercent(qreal factor) const
    {
        if (!(factor > 0))
            return 10;
        return std::clamp(int(std::floor(factor * 100)), 10, 500);
    }

    // Zoom, pages per row and the text's width for the view and window.
    void applyGeometry(bool force = false, bool notify = true)
    {
        if (!text)
            return;
        const QSizeF vp = q->viewport()->size();
        const QSizeF page = pageSize();
        const int oldZoom = zoom, oldPerRow = perRow;
        switch (zoomCode) {
        case wpZoomPageWidth:
            perRow = 1;
            zoom = fitPercent((vp.width() - 2 * Gap) / page.width());
            break;
        case wpZoomFullPage:
            perRow = 1;
            zoom = fitPercent(std::min((vp.width() - 2 * Gap) / page.width(), (vp.height() - 2 * Gap) / page.height()));
            break;
        case wpZoomDoublePage:
            perRow = 2;
            zoom = fitPercent(
                std::min((vp.width() - 3 * Gap) / (2 * page.width()), (vp.height() - 2 * Gap) / page.height()));
            break;
        case wpZoomThumbnails:
            zoom = ThumbnailZoom;
            perRow = std::max(1, int((vp.width() - Gap) / (page.width() * z() + Gap)));
            break;
        default:
            perRow = 1;
            break;
        }
        QSizeF wanted;
        if (layout == wplayPageLayout)
            wanted = bodySize();
        else if (wrapToWindow)
            wanted = QSizeF(std::max<qreal>(24, (vp.width() - 2 * Pad) / z()), -1);
        else
            wanted = QSizeF(bodySize().width(), -1);
        // Setting the size lays the whole text out again: only when it changes.
        if (force || text->pageSize() != wanted)
            text->setPageSize(wanted);
        if (force)
            frames.reset(); // built again when a page is next painted
        updateScrollBars();
        q->viewport()->update();
        if (notify && (zoom != oldZoom || perRow != oldPerRow))
            Q_EMIT q->ZoomChanged();
    }

    void rebuildFrames()
    {
        framesTimer.stop();
        if (layout != wplayPageLayout) {
            frames.reset();
            return;
        }
        frames = std::make_unique<TWPPagePainter>(edit.Document());
        framesSections = edit.Document().SectionCount();
        q->viewport()->update();
    }

    QSizeF contentSize() const
    {
        const qreal vw = q->viewport()->width();
        if (layout == wplayPageLayout) {
            const QSizeF ps = pageSize() * z();
            const int rows = (pageCount() + perRow - 1) / perRow;
            return {std::max(vw, perRow * ps.width() + (perRow + 1) * Gap), rows * (ps.height() + Gap) + Gap};
        }
        const QSizeF doc = t()->documentLayout()->documentSize();
        const qreal w = wrapToWindow ? vw : t()->textWidth() * z() + 2 * Pad;
        return {w, doc.height() * z() + 2 * Pad};
    }

    void updateScrollBars()
    {
        if (!text)
            return;
        const QSizeF content = contentSize();
        const QSize vp = q->viewport()->size();
        QScrollBar *v = q->verticalScrollBar();
        QScrollBar *h = q->horizontalScrollBar();
        v->setRange(0, std::max(0, int(std::ceil(content.height())) - vp.height()));
        v->setPageStep(vp.height());
        v->setSingleStep(20);
        h->setRange(0, std::max(0, int(std::ceil(content.width())) - vp.width()));
        h->setPageStep(vp.width());
        h->setSingleStep(20);
    }

    QPointF scroll() const
    {
        return {qreal(q->horizontalScrollBar()->value()), qreal(q->verticalScrollBar()->value())};
    }

    // A page's rectangle in content coordinates (before scrolling).
    QRectF pageRect(int page) const
    {
        const QSizeF ps = pageSize() * z();
        const qreal row = perRow * ps.width() + (perRow + 1) * Gap;
        const qreal x0 = std::max<qreal>(0, (q->viewport()->width() - row) / 2);
        const int r = page / perRow, c = page % perRow;
        return {x0 + Gap + c * (ps.width() + Gap), Gap + r * (ps.height() + Gap), ps.width(), ps.height()};
    }

    // Lines start at a page's top exactly; half a unit keeps a rounding error
    // from putting them on the page before.
    int pageOfY(qreal y) const
    {
        return std::clamp(int((y + 0.5) / bodySize().height()), 0, pageCount() - 1);
    }

    // Document point -> viewport point; page: the page the point is drawn on.
    QPointF toView(const QPointF &p, int page) const
    {
        if (layout != wplayPageLayout)
            return QPointF(Pad, Pad) + p * z() - scroll();
        const QPointF local = bodyOrigin() + QPointF(p.x(), p.y() - page * bodySize().height());
        return pageRect(page).topLeft() + local * z() - scroll();
    }

    QPointF toDocument(const QPoint &viewportPos) const
    {
        const QPointF c = QPointF(viewportPos) + scroll();
        if (layout != wplayPageLayout)
            return (c - QPointF(Pad, Pad)) / z();
        const QSizeF ps = pageSize() * z();
        const int count = pageCount();
        const int rows = (count + perRow - 1) / perRow;
        const int row = std::clamp(int(std::floor((c.y() - Gap / 2.0) / (ps.height() + Gap))), 0, rows - 1);
        const qreal x0 = pageRect(row * perRow).left();
        const int col = std::clamp(int(std::floor((c.x() - x0 + Gap / 2.0) / (ps.width() + Gap))), 0, perRow - 1);
        const int page = std::min(row * perRow + col, count - 1);
        const QSizeF body = bodySize();
        QPointF local = (c - pageRect(page).topLeft()) / z() - bodyOrigin();
        local.setY(std::clamp<qreal>(local.y(), 0, body.height() - 1));
        return {local.x(), local.y() + page * body.height()};
    }

    int hitTest(const QPoint &viewportPos) const
    {
        const int pos = t()->documentLayout()->hitTest(toDocument(viewportPos), Qt::FuzzyHit);
        return pos < 0 ? t()->characterCount() - 1 : pos;
    }

    // The caret's rectangle at a position, in document units, and its page.
    QRectF caretInDocument(int position, int *page) const
    {
        const QTextBlock block = t()->findBlock(position);
        if (!block.isValid() || !block.layout())
            return {};
        const QPointF origin = t()->documentLayout()->blockBoundingRect(block).topLeft();
        const QTextLine line = block.layout()->lineForTextPosition(position - block.position());
        QRectF r;
        if (line.isValid())
            r = QRectF(origin.x() + line.cursorToX(position - block.position()), origin.y() + line.y(), 1,
                       line.height());
        else
            r = QRectF(origin, QSizeF(1, QFontMetricsF(block.charFormat().font()).height()));
        *page = pageOfY(r.top());
        return r;
    }

    QRect cursorRect(int position) const
    {
        if (position < 0 || position >= t()->characterCount())
            return {};
        int page = 0;
        const QRectF r = caretInDocument(position, &page);
        if (r.isNull())
            return {};
        const QPointF tl = toView(r.topLeft(), page);
        return QRectF(tl, QSizeF(std::max<qreal>(1, r.width() * z()), r.height() * z())).toAlignedRect();
    }

    void ensureVisible()
    {
        const QRect r = cursorRect(cur().position());
        if (!r.isValid())
            return;
        const QRect vp = q->viewport()->rect();
        QScrollBar *v = q->verticalScrollBar();
        QScrollBar *h = q->horizontalScrollBar();
        if (r.top() < 0)
            v->setValue(v->value() + r.top() - Pad);
        else if (r.bottom() > vp.bottom())
            v->setValue(v->value() + r.bottom() - vp.bottom() + Pad);
        if (r.left() < 0)
            h->setValue(h->value() + r.left() - Pad);
        else if (r.right() > vp.right())
            h->setValue(h->value() + r.right() - vp.right() + Pad);
    }

    // Signals for what moved; called after every user action.
    void cursorChanged()
    {
        const QTextCursor &c = cur();
        if (c.position() != lastPosition || c.anchor() != lastAnchor) {
            // A caret moving without a selection before or after selects nothing.
            const bool selectionChanged = c.hasSelection() || lastAnchor != lastPosition;
            lastPosition = c.position();
            lastAnchor = c.anchor();
            caretShown = true;
            if (blink.isActive())
                startBlink();
            Q_EMIT q->CursorPositionChanged();
            if (selectionChanged)
                Q_EMIT q->SelectionChanged();
        }
        const QTextCharFormat f = c.charFormat();
        if (f != lastFormat) {
            lastFormat = f;
            Q_EMIT q->CurrentCharFormatChanged(f);
        }
        q->viewport()->update();
    }

    void startBlink()
    {
        const int flash = QGuiApplication::styleHints()->cursorFlashTime();
        caretShown = true;
        if (flash > 0)
            blink.start(flash / 2, q);
        else
            blink.stop();
    }

    void refuse() { Q_EMIT q->EditRefused(); }

    // Misspellings show as the view options say.
    void applySpellStyle()
    {
        if (!spell)
            return;
        spell->SetMarkStyle((viewOptions & wpDisableMisspellMarkers)       ? TWPSpellAsYouGo::msHidden
                            : (viewOptions & wpTraditionalMisspellMarkers) ? TWPSpellAsYouGo::msWavy
                                                                           : TWPSpellAsYouGo::msDotted);
    }

    // The link at a document position: [from, to) of the run of fragments
    // with its target; false when there is none.
    bool linkRange(int position, int *from, int *to) const
    {
        const QTextBlock block = t()->findBlock(position);
        QString href;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (position >= f.position() && position < f.position() + f.length())
                href = f.charFormat().anchorHref();
        }
        if (href.isEmpty())
            return false;
        *from = -1;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const bool same = f.charFormat().anchorHref() == href;
            if (same && *from < 0)
                *from = f.position();
            if (same)
                *to = f.position() + f.length();
            if (!same && *from >= 0) {
                if (*to > position)
                    break;
                *from = -1; // another run of the same target before ours
            }
        }
        return *from >= 0;
    }

    bool editable()
    {
        if (edit.ReadOnly()) {
            refuse();
            return false;
        }
        return true;
    }

    // Whether the user may change what the cursor spans (or insert at it).
    bool mayEdit(const QTextCursor &c)
    {
        if (!editable())
            return false;
        if (!edit.Document().CanEdit(c)) {
            refuse();
            return false;
        }
        return true;
    }

    // The format new text takes at the cursor: text typed after a protected
    // run would otherwise inherit its protection.
    static QTextCharFormat typingFormat(const QTextCursor &c)
    {
        QTextCharFormat f = c.charFormat();
        f.clearProperty(wpProtected);
        return f;
    }

    bool undoRedo(bool redo)
    {
        syncText();
        if (!(editOptions & wpActivateUndo))
            return false;
        if (!editable() || !(redo ? t()->isRedoAvailable() : t()->isUndoAvailable()))
            return false;
        // A step that changed only formats (an indent, say) leaves the caret
        // where it was; Qt would put it at the end of what changed.
        const QTextCursor before = cur();
        const int length = t()->characterCount();
        if (redo)
            t()->redo(&cur());
        else
            t()->undo(&cur());
        if (t()->characterCount() == length) {
            cur().setPosition(before.anchor());
            cur().setPosition(before.position(), QTextCursor::KeepAnchor);
        }
        ensureVisible();
        cursorChanged();
        return true;
    }

    // The picture at a position; Position -1 when there is none.
    Picture pictureAt(int pos) const
    {
        if (pos < 0 || pos >= t()->characterCount() - 1)
            return {};
        QTextCursor c(t());
        c.setPosition(pos + 1); // the format of the character before
        const QTextCharFormat cf = c.charFormat();
        if (!cf.isImageFormat() || t()->characterAt(pos) != QChar::ObjectReplacementCharacter)
            return {};
        const QTextImageFormat f = cf.toImageFormat();
        if (PictureIsUnderText(f)) {
            const QRectF r = PictureUnderTextRect(t(), pos);
            return r.isValid() ? Picture{pos, r, pageOfY(r.top())} : Picture{};
        }
        QSizeF size(f.width(), f.height());
        if (size.width() <= 0 || size.height() <= 0) {
            const QImage img = t()->resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>();
            const QSizeF natural = img.isNull() ? QSizeF(16, 16) : QSizeF(img.size());
            if (size.width() > 0)
                size.setHeight(natural.height() * size.width() / natural.width());
            else if (size.height() > 0)
                size.setWidth(natural.width() * size.height() / natural.height());
            else
                size = natural;
        }
        const QTextBlock b = t()->findBlock(pos);
        const QTextLine line = b.layout() ? b.layout()->lineForTextPosition(pos - b.position()) : QTextLine();
        if (!line.isValid())
            return {};
        const QPointF origin = t()->documentLayout()->blockBoundingRect(b).topLeft();
        // Pictures stand on the baseline.
        const qreal baseline = origin.y() + line.y() + line.ascent();
        const qreal x = origin.x() + line.cursorToX(pos - b.position());
        return {pos, QRectF(x, baseline - size.height(), size.width(), size.height()), pageOfY(origin.y() + line.y())};
    }

    // The picture under the text at a viewport point with no text over it;
    // -1 when there is none.
    int underTextPictureAt(const QPointF &viewportPos) const
    {
        const QPointF dp = toDocument(viewportPos.toPoint());
        if (t()->documentLayout()->hitTest(dp, Qt::ExactHit) >= 0)
            return -1;
        for (QTextBlock b = t()->begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextFragment f = it.fragment();
                if (!PictureIsUnderText(f.charFormat()))
                    continue;
                for (int i = 0; i < f.length(); ++i) {
                    const Picture p = pictureAt(f.position() + i);
                    if (p.Position >= 0 && viewRect(p).contains(viewportPos))
                        return p.Position;
                }
            }
        return -1;
    }

    QRectF viewRect(const Picture &p) const
    {
        return {toView(p.Rect.topLeft(), p.Page), p.Rect.size() * z()};
    }

    // The picture the selection is exactly.
    Picture selectedPicture()
    {
        const QTextCursor &c = cur();
        if (c.selectionEnd() - c.selectionStart() != 1)
            return {};
        return pictureAt(c.selectionStart());
    }

    // Handles clockwise from the top left corner; even ones are corners.
    static QRectF handleRect(const QRectF &r, int i)
    {
        static const QPointF where[8] = {{0, 0}, {0.5, 0}, {1, 0}, {1, 0.5}, {1, 1}, {0.5, 1}, {0, 1}, {0, 0.5}};
        const QPointF c(r.left() + r.width() * where[i].x(), r.top() + r.height() * where[i].y());
        return {c - QPointF(3.5, 3.5), QSizeF(7, 7)};
    }

    // Whether the edit options let handle i resize: the middle of the left
    // and right edges change the width, top and bottom the height, corners both.
    bool handleAllowed(int i) const
    {
        const bool width = editOptions & wpObjectResizingWidth, height = editOptions & wpObjectResizingHeight;
        if (i % 2 == 0)
            return width && height;
        return (i == 3 || i == 7) ? width : height;
    }

    int handleAt(const QPoint &pos)
    {
        const Picture p = selectedPicture();
        if (p.Position < 0 || edit.ReadOnly())
            return -1;
        const QRectF r = viewRect(p);
        for (int i = 0; i < 8; ++i)
            if (handleAllowed(i) && handleRect(r, i).adjusted(-2, -2, 2, 2).contains(pos))
                return i;
        return -1;
    }

    // The picture's place once its handle moved by delta (viewport pixels):
    // corners keep the proportions (when the edit options say so), edges
    // change one side.
    QRectF dragged(const QPoint &delta) const
    {
        const QRectF r = viewRect(dragPicture);
        const int h = dragHandle;
        const bool left = h == 0 || h == 6 || h == 7, right = h >= 2 && h <= 4;
        const bool top = h <= 2, bottom = h >= 4 && h <= 6;
        qreal w = r.width() + (right ? delta.x() : left ? -delta.x() : 0);
        qreal ht = r.height() + (bottom ? delta.y() : top ? -delta.y() : 0);
        if (h % 2 == 0 && (editOptions & wpObjectResizingKeepRatio) && r.width() > 0 && r.height() > 0) {
            const qreal fw = w / r.width(), fh = ht / r.height();
            const qreal f = std::abs(fw - 1) >= std::abs(fh - 1) ? fw : fh;
            w = r.width() * f;
            ht = r.height() * f;
        }
        w = std::clamp<qreal>(w, 4 * z(), 4000 * z());
        ht = std::clamp<qreal>(ht, 4 * z(), 4000 * z());
        return {left ? r.right() - w : r.left(), top ? r.bottom() - ht : r.top(), w, ht};
    }

    void resizePicture(const QRectF &to)
    {
        QTextCursor c(t());
        c.setPosition(dragPicture.Position);
        c.setPosition(dragPicture.Position + 1, QTextCursor::KeepAnchor);
        if (!mayEdit(c))
            return;
        QTextImageFormat size;
        size.setWidth(to.width() / z());
        size.setHeight(to.height() / z());
        c.beginEditBlock();
        c.mergeCharFormat(size);
        PlacePicture(t(), dragPicture.Position); // a placed picture's frame takes the new width
        c.endEditBlock();
    }

    // Moves the picture being dragged to moveTarget, as one undo step.
    bool movePicture()
    {
        const int from = dragPicture.Position, to = moveTarget;
        if (from < 0 || to < 0 || to == from || to == from + 1)
            return false;
        QTextCursor src(t());
        src.setPosition(from);
        src.setPosition(from + 1, QTextCursor::KeepAnchor);
        QTextCursor dst(t());
        dst.setPosition(to);
        if (!mayEdit(src) || !mayEdit(dst))
            return false;
        src.beginEditBlock();
        // A placed picture leaves its frame first and takes the paragraph it
        // is dropped into as its new anchor.
        const bool placed = PictureIsFramed(src.charFormat());
        if (placed) {
            const int inline_ = UnframePicture(t(), from);
            src.setPosition(inline_);
            src.setPosition(inline_ + 1, QTextCursor::KeepAnchor);
        }
        const QTextDocumentFragment picture = src.selection();
        dst.insertFragment(picture);
        QTextCursor moved(t());
        moved.setPosition(dst.position() - 1);
        src.removeSelectedText();
        int now = moved.position();
        if (placed)
            now = PlacePicture(t(), now);
        src.endEditBlock();
        cur().setPosition(now);
        cur().setPosition(now + 1, QTextCursor::KeepAnchor);
        return true;
    }

    // ---- table columns -------------------------------------------------

    static QRectF cellRect(QTextDocument *doc, const QTextTableCell &cell)
    {
        return doc->documentLayout()->blockBoundingRect(cell.firstCursorPosition().block());
    }

    // The border between two columns of a table under a viewport point,
    // within three pixels; the column left of it, or -1.
    // The right edge of the last column (whole-table resizing) gives the
    // last column.
    int columnBorderAt(const QPoint &pos, QTextTable **table) const
    {
        if (edit.ReadOnly() || !(editOptions & (wpTableResizing | wpTableColumnResizing)))
            return -1;
        const QPointF dp = toDocument(pos);
        const int hit = t()->documentLayout()->hitTest(dp, Qt::FuzzyHit);
        if (hit < 0)
            return -1;
        QTextCursor c(t());
        c.setPosition(hit);
        QTextTable *tbl = c.currentTable();
        if (!tbl)
            return -1;
        const int row = tbl->cellAt(hit).row();
        if (editOptions & wpTableColumnResizing)
            for (int col = 1; col < tbl->columns(); ++col) {
                const QTextTableCell cell = tbl->cellAt(row, col);
                if (cell.column() != col)
                    continue; // inside a merged cell: no border there
                if (std::abs(cellBorderX(tbl, cell) - dp.x()) * z() <= 3) {
                    *table = tbl;
                    return col - 1;
                }
            }
        if (editOptions & wpTableResizing) {
            const QTextTableCell last = tbl->cellAt(row, tbl->columns() - 1);
            if (std::abs(cellRect(t(), last).right() + tbl->format().cellPadding() - dp.x()) * z() <= 3) {
                *table = tbl;
                return tbl->columns() - 1;
            }
        }
        return -1;
    }

    // A cell's left border: half way between its text and the text of the
    // cell before it.
    qreal cellBorderX(QTextTable *tbl, const QTextTableCell &cell) const
    {
        const QRectF r = cellRect(t(), cell);
        if (cell.column() == 0)
            return r.left();
        const QTextTableCell before = tbl->cellAt(cell.row(), cell.column() - 1);
        return (cellRect(t(), before).right() + r.left()) / 2;
    }

    // The columns' widths as laid out, measured between the left edges of
    // cells that span one column; empty when a column has no such cell.
    std::vector<qreal> columnWidths(QTextTable *tbl) const
    {
        const int n = tbl->columns();
        std::vector<qreal> left(static_cast<size_t>(n), -1), right(static_cast<size_t>(n), -1);
        for (int r = 0; r < tbl->rows(); ++r)
            for (int col = 0; col < n; ++col) {
                const QTextTableCell cell = tbl->cellAt(r, col);
                if (left[size_t(col)] >= 0 || cell.row() != r || cell.column() != col || cell.columnSpan() != 1)
                    continue;
                const QRectF br = cellRect(t(), cell);
                left[size_t(col)] = br.left();
                right[size_t(col)] = br.right();
            }
        if (std::find(left.begin(), left.end(), -1) != left.end())
            return {};
        std::vector<qreal> w(static_cast<size_t>(n));
        for (int col = 0; col + 1 < n; ++col)
            w[size_t(col)] = left[size_t(col) + 1] - left[size_t(col)];
        const qreal gap = n > 1 ? left[size_t(n) - 1] - right[size_t(n) - 2] : 0;
        w[size_t(n) - 1] = right[size_t(n) - 1] - left[size_t(n) - 1] + gap;
        return w;
    }

    // Moves the border right of column by delta (document units); the two
    // columns share their width, the table keeps its own. The border right
    // of the last column is the table's edge: the table grows or shrinks.
    // One undo step.
    bool resizeColumns(QTextTable *tbl, int column, qreal delta)
    {
        std::vector<qreal> w = columnWidths(tbl);
        if (w.empty() || column < 0 || column >= int(w.size()))
            return false;
        constexpr qreal minWidth = 12;
        const bool edge = column + 1 == int(w.size());
        delta = std::max(delta, std::min<qreal>(0, minWidth - w[size_t(column)]));
        if (!edge)
            delta = std::min(delta, std::max<qreal>(0, w[size_t(column) + 1] - minWidth));
        if (qFuzzyIsNull(delta))
            return false;
        w[size_t(column)] += delta;
        if (!edge)
            w[size_t(column) + 1] -= delta;
        QList<QTextLength> lengths;
        for (qreal x : w)
            lengths << QTextLength(QTextLength::FixedLength, x);
        QTextTableFormat f = tbl->format();
        f.setColumnWidthConstraints(lengths);
        QTextCursor c(t());
        c.beginEditBlock();
        tbl->setFormat(f);
        c.endEditBlock();
        return true;
    }

    void drawHandles(QPainter &p)
    {
        if (dragMove && moveTarget >= 0) {
            // Where the picture would go: a caret there.
            const QRect at = cursorRect(moveTarget);
            p.fillRect(QRect(at.left(), at.top(), 2, at.height()), Qt::black);
        }
        if (dragColumn >= 0) {
            p.setPen(QPen(Qt::black, 1, Qt::DashLine));
            p.drawLine(QPointF(dragBorderX, 0), QPointF(dragBorderX, p.device()->height()));
        }
        const Picture pic = selectedPicture();
        if (pic.Position < 0 || edit.ReadOnly())
            return;
        const QRectF r = viewRect(pic);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::white);
        for (int i = 0; i < 8; ++i)
            p.drawRect(handleRect(r, i));
        if (dragHandle >= 0) {
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(Qt::black, 1, Qt::DashLine));
            p.drawRect(dragRect);
        }
    }

    // Typed or pasted text at the caret, replacing the selection.
    bool insert(const QString &s)
    {
        QTextCursor &c = cur();
        if (!mayEdit(c))
            return false;
        const QTextCharFormat f = typingFormat(c);
        if (c.hasSelection()) {
            c.beginEditBlock();
            RemoveSelection(c); // a placed picture typed over takes its frame along
            c.insertText(s, f);
            c.endEditBlock();
        } else {
            c.insertText(s, f);
        }
        ensureVisible();
        return true;
    }

    bool typed(const QString &s)
    {
        const DeadKey *dead = std::exchange(deadKey, nullptr);
        const int before = cur().selectionStart();
        if (!insert(dead ? composeDeadKey(*dead, s) : s))
            return false;
        if (s.size() == 1 && endsWord(s.at(0)))
            linkWordBefore(before);
        return true;
    }

    static bool endsWord(QChar c) { return c.isSpace() || c == u'\t' || c == QChar::LineSeparator; }

    // With wpAutoDetectHyperlinks, the word that ends at position becomes a
    // link when it reads as an address: its own undo step, so that Undo takes
    // the link back and leaves what was typed.
    void linkWordBefore(int position)
    {
        if (!(editOptions & wpAutoDetectHyperlinks))
            return;
        const QTextBlock block = t()->findBlock(position);
        const QString text = block.text().left(position - block.position());
        qsizetype start = text.size();
        while (start > 0 && !endsWord(text.at(start - 1)))
            --start;
        QString word = text.mid(start);
        // Closing punctuation belongs to the sentence, not the address.
        while (!word.isEmpty() && QStringView(u".,;:!?)]}>'\"").contains(word.back()))
            word.chop(1);
        const QString href = linkTarget(word);
        if (href.isEmpty())
            return;
        QTextCursor c(t());
        c.setPosition(block.position() + int(start));
        c.setPosition(block.position() + int(start + word.size()), QTextCursor::KeepAnchor);
        if (c.charFormat().isAnchor() || !edit.Document().CanEdit(c))
            return;
        QTextCharFormat link;
        link.setAnchor(true);
        link.setAnchorHref(href);
        link.setForeground(QColor(Qt::blue));
        link.setFontUnderline(true);
        c.mergeCharFormat(link);
    }

    // The link an address typed as word stands for; empty when it is none.
    static QString linkTarget(const QString &word)
    {
        static const QRegularExpression scheme(uR"(^(https?|ftp)://[^\s/$.?#][^\s]*$|^mailto:[^\s@]+@[^\s@]+$)"_qs,
                                               QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression www(uR"(^www\.[^\s.]+\.[^\s]+$)"_qs, QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression mail(uR"(^[A-Za-z0-9._%+-]+@[A-Za-z0-9-]+(\.[A-Za-z0-9-]+)*\.[A-Za-z]{2,}$)"_qs);
        if (scheme.match(word).hasMatch())
            return word;
        if (www.match(word).hasMatch())
            return u"http://"_qs + word;
        if (mail.match(word).hasMatch())
            return u"mailto:"_qs + word;
        return {};
    }

    // Backspace, Delete and their word forms: the selection, else what op spans.
    bool remove(QTextCursor::MoveOperation op)
    {
        if (!editable())
            return false;
        QTextCursor c = cur();
        if (!c.hasSelection())
            c.movePosition(op, QTextCursor::KeepAnchor);
        if (!c.hasSelection())
            return true;
        if (!(editOptions & wpObjectDeletion) && selectedPicture().Position >= 0) {
            refuse();
            return false;
        }
        if (!mayEdit(c))
            return false;
        RemoveSelection(c);
        ensureVisible();
        return true;
    }

    bool newParagraph(bool lineBreak)
    {
        if (lineBreak)
            return insert(QString(QChar::LineSeparator));
        QTextCursor &c = cur();
        if (!mayEdit(c))
            return false;
        const QTextCharFormat f = typingFormat(c);
        // The new paragraph continues the section and the page it is on.
        QTextBlockFormat bf = c.blockFormat();
        bf.clearProperty(wpSectionIndex);
        bf.clearProperty(wpPageBreakBefore);
        bf.setPageBreakPolicy(bf.pageBreakPolicy() & ~QTextFormat::PageBreak_AlwaysBefore);
        c.beginEditBlock();
        c.removeSelectedText();
        const int end = c.position();
        c.insertBlock(bf, f);
        c.endEditBlock();
        linkWordBefore(end);
        ensureVisible();
        return true;
    }

    // Spreadsheet-style movement: Up and Down go to the cell above or below,
    // Tab and Shift+Tab to the next or previous cell (Tab in the last cell
    // adds a row). False when the caret is in no table or would leave it.
    bool moveInTable(int rows, int cells)
    {
        QTextCursor &c = cur();
        QTextTable *tbl = c.currentTable();
        if (!(editOptions & wpSpreadsheetCursorMovement) || !tbl || c.hasSelection())
            return false;
        const QTextTableCell cell = tbl->cellAt(c);
        int row = cell.row(), col = cell.column();
        if (rows != 0) {
            row = rows > 0 ? cell.row() + cell.rowSpan() : cell.row() - 1;
            if (row < 0 || row >= tbl->rows())
                return false;
        } else {
            // Cells in reading order, merged cells once.
            int index = row * tbl->columns() + col;
            QTextTableCell next;
            do {
                index += cells;
                if (index < 0)
                    return true; // the first cell: stay
                if (index >= tbl->rows() * tbl->columns()) {
                    QTextCursor at(t());
                    at.setPosition(tbl->lastPosition());
                    if (!mayEdit(at))
                        return true;
                    tbl->appendRows(1);
                }
                next = tbl->cellAt(index / tbl->columns(), index % tbl->columns());
            } while (next.row() * tbl->columns() + next.column() != index);
            row = next.row();
            col = next.column();
        }
        c = tbl->cellAt(row, col).firstCursorPosition();
        ensureVisible();
        return true;
    }

    // Lays the tables in frame (nested ones too) out as the format options
    // say. The readers give cells a minimum padding of MinPadding; without
    // it cells keep only the padding the text asks for.
    void applyFormatOptions(QTextFrame *frame)
    {
        for (QTextFrame *f : frame->childFrames()) {
            applyFormatOptions(f);
            if (auto *tbl = qobject_cast<QTextTable *>(f))
                applyFormatOptions(tbl);
        }
    }

    static constexpr qreal MinPadding = 2;

    void applyFormatOptions(QTextTable *tbl)
    {
        QTextTableFormat f = tbl->format();
        qreal padding = f.cellPadding();
        if (formatOptions & wpNoMinimumCellPadding)
            padding = padding <= MinPadding ? 0 : padding;
        else
            padding = std::max(padding, MinPadding);
        bool changed = !qFuzzyCompare(f.cellPadding() + 1, padding + 1);
        f.setCellPadding(padding);
        if (formatOptions & wpDisableAutosizeTables) {
            QList<QTextLength> w = f.columnWidthConstraints();
            const int n = tbl->columns();
            bool sized = w.size() == n;
            for (const QTextLength &l : w)
                sized = sized && l.type() != QTextLength::VariableLength;
            if (!sized && n > 0) {
                w = QList<QTextLength>(n, QTextLength(QTextLength::PercentageLength, 100.0 / n));
                f.setColumnWidthConstraints(w);
                f.setWidth(QTextLength(QTextLength::PercentageLength, 100));
                changed = true;
            }
        }
        if (changed)
            tbl->setFormat(f);
    }

    void movePage(bool down, QTextCursor::MoveMode mode)
    {
        const int step = (q->viewport()->height() - 2 * Pad) * (down ? 1 : -1);
        QScrollBar *v = q->verticalScrollBar();
        if (!(editOptions & wpMoveCPOnPageUpDown)) {
            v->setValue(v->value() + step); // only the view moves
            return;
        }
        const QRect r = cursorRect(cur().position());
        cur().setPosition(hitTest(r.center() + QPoint(0, step)), mode);
        v->setValue(v->value() + step);
        ensureVisible();
    }

    // Pastes rich text of a format through the engine's reader.
    bool insertRich(const QByteArray &data, const QString &format)
    {
        QTextCursor &c = cur();
        if (!mayEdit(c))
            return false;
        const int start = c.selectionStart();
        // The engine's after-load tab clean-up is for whole texts: here only
        // the pasted part gets it.
        const bool wantTabs = edit.WantTabs();
        edit.SetWantTabs(true);
        pasting = true;
        const bool ok = edit.LoadFromBytes(data, format, true);
        pasting = false;
        edit.SetWantTabs(wantTabs);
        if (ok && !wantTabs) {
            QTextCursor at(t());
            at.joinPreviousEditBlock();
            const int end = cur().position();
            for (QTextCursor f = t()->find(u"\t"_qs, start); !f.isNull() && f.selectionEnd() <= end;
                 f = t()->find(u"\t"_qs, f))
                f.insertText(u" "_qs);
            at.endEditBlock();
        }
        ensureVisible();
        return ok;
    }

    // Preedit text of an input method, shown in the caret's line only.
    void setPreedit(const QString &preedit, const QList<QInputMethodEvent::Attribute> &attributes)
    {
        // A cursor, not the layout: it follows edits of the text meanwhile.
        if (!preeditAt.isNull()) {
            const QTextBlock old = std::exchange(preeditAt, QTextCursor()).block();
            if (QTextLayout *l = old.layout()) {
                l->setPreeditArea(-1, QString());
                l->clearFormats();
                t()->markContentsDirty(old.position(), old.length());
            }
        }
        const QTextBlock block = cur().block();
        if (!preedit.isEmpty() && block.layout()) {
            preeditAt = cur();
            QTextLayout *l = block.layout();
            const int at = cur().position() - block.position();
            l->setPreeditArea(at, preedit);
            QList<QTextLayout::FormatRange> formats;
            for (const QInputMethodEvent::Attribute &a : attributes) {
                if (a.type != QInputMethodEvent::TextFormat)
                    continue;
                const QTextCharFormat f = qvariant_cast<QTextFormat>(a.value).toCharFormat();
                if (f.isValid())
                    formats.append({at + a.start, a.length, f});
            }
            l->setFormats(formats);
            t()->markContentsDirty(block.position(), block.length());
        }
    }

    // Paragraph shading under the text, borders over it, hidden text marked,
    // and the marks of special characters: for the blocks inside clip.
    void drawExtras(QPainter &p, const QRectF &clip, bool under)
    {
        QAbstractTextDocumentLayout *dl = t()->documentLayout();
        const int first = dl->hitTest(QPointF(0, clip.top()), Qt::FuzzyHit);
        for (QTextBlock b = t()->findBlock(std::max(0, first)); b.isValid(); b = b.next()) {
            const QRectF r = dl->blockBoundingRect(b);
            if (r.top() > clip.bottom())
                break;
            if (r.bottom() < clip.top())
                continue;
            const QTextBlockFormat bf = b.blockFormat();
            const qreal pad = TwipsToUnits(bf.intProperty(wpBorderSpacing));
            const QRectF box = r.adjusted(-pad, -pad, pad, pad);
            if (under) {
                if (bf.intProperty(wpShading) > 0)
                    p.fillRect(box, shading(bf));
                continue;
            }
            const QColor ink = bf.hasProperty(wpBorderColor) ? bf.colorProperty(wpBorderColor) : QColor(Qt::black);
            const QLineF sides[4] = {{box.topLeft(), box.bottomLeft()}, {box.topLeft(), box.topRight()},
                                     {box.topRight(), box.bottomRight()}, {box.bottomLeft(), box.bottomRight()}};
            for (int i = 0; i < 4; ++i) {
                const int w = bf.intProperty(wpBorderLeft + i);
                if (w > 0) {
                    p.setPen(QPen(ink, TwipsToUnits(std::min(w, 1440))));
                    p.drawLine(sides[i]);
                }
            }
            if (viewOptions & wpShowGridlines)
                drawGridlines(p, b, r);
            markHidden(p, b, r.topLeft());
            if (!insertPointsHidden)
                markInsertPoints(p, b, r.topLeft());
            if (viewOptions & (wpShowCR | wpShowSPC | wpShowTAB | wpShowNL | wpShowHardSPC))
                markSpecial(p, b, r.topLeft());
            if ((viewOptions & wpShowFF) && ((bf.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
                                             || bf.boolProperty(wpPageBreakBefore))) {
                // A hard page break: a dotted line above the paragraph.
                p.setPen(QPen(QColor(0, 0, 160), 0, Qt::DashDotLine));
                p.drawLine(QPointF(r.left(), r.top() - 1), QPointF(r.right(), r.top() - 1));
            }
        }
    }

    // A table printed without borders shows its cells dotted, once per cell
    // (at the cell's first paragraph), so that the user sees where to type.
    void drawGridlines(QPainter &p, const QTextBlock &b, const QRectF &r)
    {
        QTextTable *tbl = QTextCursor(b).currentTable();
        if (!tbl || tbl->format().border() > 0)
            return;
        const QTextTableCell cell = tbl->cellAt(b.position());
        if (!cell.isValid() || cell.firstCursorPosition().block() != b)
            return;
        QRectF box = r;
        const QTextBlock last = cell.lastCursorPosition().block();
        if (last != b)
            box = box.united(t()->documentLayout()->blockBoundingRect(last));
        const qreal pad = tbl->format().cellPadding() + 1;
        p.setPen(QPen(QColor(150, 150, 150), 0, Qt::DotLine)); // cosmetic: dotted at any zoom
        p.setBrush(Qt::NoBrush);
        p.drawRect(box.adjusted(-pad, -pad, pad, pad));
    }

    // Links on screen are underlined in the link colour, each run of the
    // visible blocks once.
    void underlineLinks(QAbstractTextDocumentLayout::PaintContext &ctx, const QRectF &clip)
    {
        QAbstractTextDocumentLayout *dl = t()->documentLayout();
        const int first = dl->hitTest(QPointF(0, clip.top()), Qt::FuzzyHit);
        for (QTextBlock b = t()->findBlock(std::max(0, first)); b.isValid(); b = b.next()) {
            const QRectF r = dl->blockBoundingRect(b);
            if (r.top() > clip.bottom())
                break;
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextFragment f = it.fragment();
                if (!f.charFormat().isAnchor() || f.charFormat().anchorHref().isEmpty())
                    continue;
                QAbstractTextDocumentLayout::Selection link;
                link.cursor = QTextCursor(t());
                link.cursor.setPosition(f.position());
                link.cursor.setPosition(f.position() + f.length(), QTextCursor::KeepAnchor);
                link.format.setFontUnderline(true);
                link.format.setUnderlineColor(linkUnderline);
                ctx.selections.append(link);
            }
        }
    }

    // Merge and form fields (the insert points) framed in red on screen.
    void markInsertPoints(QPainter &p, const QTextBlock &b, const QPointF &origin)
    {
        const QTextLayout *l = b.layout();
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const QTextCharFormat cf = f.charFormat();
            const int kind = cf.intProperty(wpFieldKind);
            if (cf.objectType() != WPFieldObjectType
                || (kind != int(TWPFieldKind::Merge) && kind != int(TWPFieldKind::Form)))
                continue;
            for (int at = f.position() - b.position(), end = at + f.length(); at < end; ++at) {
                const QTextLine line = l->lineForTextPosition(at);
                if (!line.isValid())
                    continue;
                const qreal x1 = line.cursorToX(at), x2 = line.cursorToX(at + 1);
                p.setPen(QPen(Qt::red, 0));
                p.setBrush(Qt::NoBrush);
                p.drawRect(QRectF(origin.x() + std::min(x1, x2), origin.y() + line.y(), std::abs(x2 - x1),
                                  line.height()));
            }
        }
    }

    void markHidden(QPainter &p, const QTextBlock &b, const QPointF &origin)
    {
        const QTextLayout *l = b.layout();
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (!f.charFormat().boolProperty(wpHidden))
                continue;
            const int s = f.position() - b.position(), e = s + f.length();
            for (int i = 0; i < l->lineCount(); ++i) {
                const QTextLine line = l->lineAt(i);
                const int from = std::max(s, line.textStart());
                const int to = std::min(e, line.textStart() + line.textLength());
                if (from >= to)
                    continue;
                const qreal x1 = line.cursorToX(from), x2 = line.cursorToX(to);
                const qreal y = origin.y() + line.y() + line.ascent() + 1.5;
                QPen pen(QColor(96, 96, 96), 0, Qt::DotLine); // cosmetic: dotted at any zoom
                p.setPen(pen);
                p.drawLine(QPointF(origin.x() + std::min(x1, x2), y), QPointF(origin.x() + std::max(x1, x2), y));
            }
        }
    }

    void markSpecial(QPainter &p, const QTextBlock &b, const QPointF &origin)
    {
        const QTextLayout *l = b.layout();
        const QString s = b.text();
        p.setPen(QColor(0, 0, 160));
        const auto mark = [&](int at, int length, QChar sign) {
            const QTextLine line = l->lineForTextPosition(at);
            if (!line.isValid())
                return;
            const qreal x1 = line.cursorToX(at), x2 = length ? line.cursorToX(at + length) : x1;
            QFont font = b.charFormat().font();
            p.setFont(font);
            const QFontMetricsF fm(font);
            const qreal x = origin.x() + (x1 + x2) / 2 - (length ? fm.horizontalAdvance(sign) / 2 : 0);
            p.drawText(QPointF(x, origin.y() + line.y() + line.ascent()), QString(sign));
        };
        for (int i = 0; i < s.size(); ++i) {
            if (s[i] == u' ' && (viewOptions & wpShowSPC))
                mark(i, 1, QChar(0x00B7));
            else if (s[i] == u'\t' && (viewOptions & wpShowTAB))
                mark(i, 1, QChar(0x2192));
            else if (s[i] == QChar::Nbsp && (viewOptions & wpShowHardSPC))
                mark(i, 1, QChar(0x00B0));
            else if (s[i] == QChar::LineSeparator && (viewOptions & wpShowNL))
                mark(i, 0, QChar(0x21B5));
        }
        if (viewOptions & wpShowCR)
            mark(int(s.size()), 0, QChar(0x00B6));
    }

    void drawText(QPainter &p, const QRectF &clip)
    {
        QAbstractTextDocumentLayout::PaintContext ctx;
        ctx.clip = clip;
        // Text without a colour of its own is black on paper, as printed.
        ctx.palette = q->palette();
        ctx.palette.setColor(QPalette::Text, Qt::black);
        const QTextCursor &c = cur();
        if (caretShown && q->hasFocus() && !edit.ReadOnly())
            ctx.cursorPosition = c.position();
        if (linkUnderline.isValid())
            underlineLinks(ctx, clip);
        if (hotFrom >= 0 && hotTo <= t()->characterCount() - 1) {
            QAbstractTextDocumentLayout::Selection hot;
            hot.cursor = QTextCursor(t());
            hot.cursor.setPosition(hotFrom);
            hot.cursor.setPosition(hotTo, QTextCursor::KeepAnchor);
            hot.format.setForeground(QColor(Qt::red));
            hot.format.setFontUnderline(true);
            ctx.selections.append(hot);
        }
        if (c.hasSelection() && !(viewOptions & wpHideSelection)) {
            QAbstractTextDocumentLayout::Selection sel;
            sel.cursor = c;
            sel.format.setBackground(q->palette().brush(QPalette::Highlight));
            sel.format.setForeground(q->palette().brush(QPalette::HighlightedText));
            ctx.selections.append(sel);
        }
        drawExtras(p, clip, true);
        DrawPicturesUnderText(p, t(), clip);
        t()->documentLayout()->draw(&p, ctx);
        drawExtras(p, clip, false);
    }

    void paint(QPainter &p, const QRect &exposed)
    {
        if (spell) // what is on screen is checked first
            spell->SetVisibleRange(hitTest(QPoint(0, 0)), hitTest(q->viewport()->rect().bottomRight()));
        const QColor paper = TColorToQColor(GetRTFDataColorValue(edit.Document(), u"page-background-color"_qs, 0xFFFFFF));
        if (layout != wplayPageLayout) {
            p.fillRect(exposed, paper);
            p.save();
            p.translate(QPointF(Pad, Pad) - scroll());
            p.scale(z(), z());
            const QRectF clip((QRectF(exposed).translated(scroll() - QPointF(Pad, Pad))).topLeft() / z(),
                              QSizeF(exposed.size()) / z());
            drawText(p, clip);
            p.restore();
            drawHandles(p);
            return;
        }
        p.fillRect(exposed, q->palette().color(QPalette::Dark));
        if (!frames || framesSections != edit.Document().SectionCount())
            rebuildFrames();
        const QSizeF page = pageSize(), body = bodySize();
        const QPointF origin = bodyOrigin();
        for (int i = 0, n = pageCount(); i < n; ++i) {
            const QRectF r = pageRect(i).translated(-scroll());
            if (!r.intersects(exposed))
                continue;
            p.fillRect(r.translated(3, 3), q->palette().color(QPalette::Shadow));
            p.save();
            p.translate(r.topLeft());
            p.scale(z(), z());
            p.fillRect(QRectF(QPointF(0, 0), page), paper);
            if (frames && i < frames->PageCount()) {
                // Everything of the page but its body, which comes from the
                // text being edited.
                QPainterPath around;
                around.addRect(QRectF(QPointF(0, 0), page));
                around.addRect(QRectF(origin, body));
                p.save();
                p.setClipPath(around);
                frames->PaintPage(p, i);
                p.restore();
            }
            if (viewOptions & wpDrawPageMarginLines) {
                p.setPen(QPen(Qt::gray, 0, Qt::DotLine));
                p.drawRect(QRectF(origin, body));
            }
            p.translate(origin);
            p.setClipRect(QRectF(QPointF(0, 0), body));
            p.translate(0, -i * body.height());
            drawText(p, QRectF(0, i * body.height(), body.width(), body.height()));
            p.restore();
        }
        drawHandles(p);
    }
};

// ---- TWPRichText -------------------------------------------------------------

TWPRichText::TWPRichText(QWidget *parent)
    : QAbstractScrollArea(parent), d(std::make_unique<TWPRichTextPrivate>(this))
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    d->framesTimer.setSingleShot(true);
    d->framesTimer.setInterval(300);
    connect(&d->framesTimer, &QTimer::timeout, this, [this] {
        if (d->layout == wplayPageLayout)
            d->rebuildFrames();
    });
    d->edit.OnAfterLoadText = [this] {
        d->syncText();
        if (!d->pasting) {
            d->cursorChanged();
            DoAfterLoadText();
        }
    };
    d->syncText();
}

TWPRichText::~TWPRichText()
{
    d->edit.OnAfterLoadText = nullptr;
    for (const QMetaObject::Connection &c : d->connections)
        disconnect(c);
}

TWPCustomRtfEdit &TWPRichText::Edit() { return d->edit; }
const TWPCustomRtfEdit &TWPRichText::Edit() const { return d->edit; }
TWPDocument &TWPRichText::Document() { return d->edit.Document(); }

QTextCursor TWPRichText::TextCursor() const { return d->edit.TextCursor(); }

void TWPRichText::SetTextCursor(const QTextCursor &cursor)
{
    d->syncText();
    if (cursor.document() != d->t())
        return;
    d->cur() = cursor;
    d->ensureVisible();
    d->cursorChanged();
}

QString TWPRichText::PlainText() const
{
    QString s = d->t()->toPlainText();
    s.replace(QChar::LineSeparator, u'\n');
    return s;
}

void TWPRichText::Clear()
{
    d->syncText();
    Document().Clear();
    d->cur() = QTextCursor(d->t());
    startAfresh(d->t());
    d->frames.reset();
    d->applyGeometry(true);
    d->cursorChanged();
}

bool TWPRichText::ReadOnly() const { return d->edit.ReadOnly(); }

void TWPRichText::SetReadOnly(bool value)
{
    d->edit.SetReadOnly(value);
    setAttribute(Qt::WA_InputMethodEnabled, !value);
    viewport()->update();
}

bool TWPRichText::WantTabs() const { return d->edit.WantTabs(); }
void TWPRichText::SetWantTabs(bool value) { d->edit.SetWantTabs(value); }
bool TWPRichText::Modified() const { return d->edit.Modified(); }
void TWPRichText::SetModified(bool value) { d->edit.SetModified(value); }
bool TWPRichText::OneClickHyperlink() const { return d->oneClickHyperlink; }
void TWPRichText::SetOneClickHyperlink(bool value) { d->oneClickHyperlink = value; }
unsigned TWPRichText::ViewOptions() const { return d->viewOptions; }

void TWPRichText::SetViewOptions(unsigned options)
{
    d->viewOptions = options;
    d->applySpellStyle();
    viewport()->update();
}

unsigned TWPRichText::EditOptions() const { return d->editOptions; }

void TWPRichText::SetEditOptions(unsigned options)
{
    d->editOptions = options;
    viewport()->update(); // handles come and go with the options
}

QColor TWPRichText::HyperlinkUnderlineColor() const { return d->linkUnderline; }

void TWPRichText::SetHyperlinkUnderlineColor(const QColor &color)
{
    d->linkUnderline = color;
    viewport()->update();
}

bool TWPRichText::InsertPointsHidden() const { return d->insertPointsHidden; }

void TWPRichText::SetInsertPointsHidden(bool value)
{
    d->insertPointsHidden = value;
    viewport()->update();
}

unsigned TWPRichText::FormatOptions() const { return d->formatOptions; }
void TWPRichText::SetFormatOptions(unsigned options) { d->formatOptions = options; }

void TWPRichText::SetSpellAsYouGo(TWPSpellAsYouGo *checker)
{
    d->syncText();
    if (d->spell == checker)
        return;
    if (d->spell && d->spell->Document() == d->t())
        d->spell->Attach(nullptr);
    d->spell = checker;
    if (checker) {
        checker->Attach(d->t());
        d->applySpellStyle();
    }
    viewport()->update();
}

TWPSpellAsYouGo *TWPRichText::SpellAsYouGo() const { return d->spell; }

bool TWPRichText::ResizeTableColumn(QTextTable *table, int column, qreal delta)
{
    d->syncText();
    if (!table || table->document() != d->t() || ReadOnly())
        return false;
    QTextCursor c(d->t());
    c.setPosition(table->firstPosition());
    c.setPosition(table->lastPosition(), QTextCursor::KeepAnchor);
    if (!d->mayEdit(c))
        return false;
    return d->resizeColumns(table, column, delta);
}

QPointF TWPRichText::MapToViewport(const QPointF &documentPoint) const
{
    return d->toView(documentPoint, d->pageOfY(documentPoint.y()));
}

bool TWPRichText::ApplyBlockFormat(const QTextBlockFormat &format)
{
    d->syncText();
    QTextCursor &c = d->cur();
    QTextCursor span(d->t());
    span.setPosition(d->t()->findBlock(c.selectionStart()).position());
    const QTextBlock last = d->t()->findBlock(c.selectionEnd());
    span.setPosition(last.position() + last.length() - 1, QTextCursor::KeepAnchor);
    if (!d->mayEdit(span))
        return false;
    c.beginEditBlock();
    c.mergeBlockFormat(format);
    c.endEditBlock();
    d->cursorChanged();
    return true;
}

bool TWPRichText::InsertTable(int rows, int columns)
{
    d->syncText();
    QTextCursor &c = d->cur();
    if (rows < 1 || columns < 1 || rows > 1000 || columns > 63)
        return false;
    if (c.currentTable() && !(d->editOptions & wpAllowCreateTableInTable)) {
        d->refuse();
        return false;
    }
    if (!d->mayEdit(c))
        return false;
    QTextTableFormat f;
    f.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    f.setBorder(1);
    f.setCellSpacing(0);
    f.setCellPadding(TWPRichTextPrivate::MinPadding);
    f.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    f.setColumnWidthConstraints(
        QList<QTextLength>(columns, QTextLength(QTextLength::PercentageLength, 100.0 / columns)));
    c.beginEditBlock();
    c.removeSelectedText();
    QTextTable *tbl = c.insertTable(rows, columns, f);
    d->applyFormatOptions(tbl);
    c.endEditBlock();
    c = tbl->cellAt(0, 0).firstCursorPosition();
    d->ensureVisible();
    d->cursorChanged();
    return true;
}

int TWPRichText::ZoomMode() const { return d->zoomCode; }
int TWPRichText::Zoom() const { return d->zoom; }
TWPLayoutMode TWPRichText::LayoutMode() const { return d->layout; }
int TWPRichText::PagesPerRow() const { return d->perRow; }

void TWPRichText::SetZoomMode(int code)
{
    d->syncText();
    const int before[] = {d->zoomCode, d->zoom, d->perRow, d->layout, d->wrapToWindow};
    switch (code) {
    case wpZoomNormal:
    case wpZoomWrapToWindow:
        d->layout = wplayNormal;
        d->wrapToWindow = code == wpZoomWrapToWindow;
        d->zoom = 100;
        break;
    case wpZoomPageLayout:
        d->layout = wplayPageLayout;
        d->zoom = 100;
        break;
    case wpZoomPageWidth:
    case wpZoomFullPage:
    case wpZoomDoublePage:
    case wpZoomThumbnails:
        d->layout = wplayPageLayout;
        break;
    default:
        if (code <= 0)
            return; // no such code
        code = std::clamp(code, 10, 500);
        d->zoom = code;
        break;
    }
    d->zoomCode = code;
    if (d->layout != wplayPageLayout)
        d->frames.reset();
    d->applyGeometry(false, false);
    d->ensureVisible();
    const int after[] = {d->zoomCode, d->zoom, d->perRow, d->layout, d->wrapToWindow};
    if (!std::equal(std::begin(before), std::end(before), std::begin(after)))
        Q_EMIT ZoomChanged();
}

void TWPRichText::SetLayoutMode(TWPLayoutMode mode)
{
    SetZoomMode(mode == wplayNormal ? wpZoomNormal : wpZoomPageLayout);
}

int TWPRichText::PageCount() const { return d->pageCount(); }

void TWPRichText::ReformatAll()
{
    d->syncText();
    d->edit.ReformatAll();
    d->t()->markContentsDirty(0, d->t()->characterCount());
    d->applyGeometry(true);
}

void TWPRichText::InputString(const QString &text)
{
    d->syncText();
    d->insert(text);
    d->cursorChanged();
}

bool TWPRichText::Undo() { return d->undoRedo(false); }
bool TWPRichText::Redo() { return d->undoRedo(true); }
bool TWPRichText::CanUndo() const
{
    return !ReadOnly() && (d->editOptions & wpActivateUndo) && d->t()->isUndoAvailable();
}

bool TWPRichText::CanRedo() const
{
    return !ReadOnly() && (d->editOptions & wpActivateUndo) && d->t()->isRedoAvailable();
}

QMimeData *TWPRichText::CreateMimeDataFromSelection() const
{
    auto *data = new QMimeData;
    if (!d->cur().hasSelection())
        return data;
    // Order matters: receivers take the first format they understand.
    data->setData(QString::fromLatin1(RtfMimeTypes[0]), d->edit.SaveToBytes(u"RTF"_qs, true));
    data->setHtml(QString::fromUtf8(d->edit.SaveToBytes(u"HTML"_qs, true)));
    data->setText(QString::fromUtf8(d->edit.SaveToBytes(u"TXT"_qs, true)));
    return data;
}

bool TWPRichText::CanInsertFromMimeData(const QMimeData *data) const
{
    if (!data || ReadOnly())
        return false;
    for (const char *type : RtfMimeTypes)
        if (data->hasFormat(QString::fromLatin1(type)))
            return true;
    return data->hasHtml() || data->hasText();
}

bool TWPRichText::InsertFromMimeData(const QMimeData *data)
{
    d->syncText();
    if (!data || !d->mayEdit(d->cur()))
        return false;
    bool ok = false;
    for (const char *type : RtfMimeTypes) {
        if (data->hasFormat(QString::fromLatin1(type))) {
            ok = d->insertRich(data->data(QString::fromLatin1(type)), u"RTF"_qs);
            break;
        }
    }
    // RTF that does not read still leaves the other formats.
    if (!ok && data->hasHtml())
        ok = d->insertRich(data->html().toUtf8(), u"HTML"_qs);
    else if (!ok && data->hasText())
        ok = d->insert(data->text());
    d->cursorChanged();
    return ok;
}

void TWPRichText::Copy()
{
    if (d->cur().hasSelection())
        QGuiApplication::clipboard()->setMimeData(CreateMimeDataFromSelection());
}

void TWPRichText::Cut()
{
    d->syncText();
    if (!d->cur().hasSelection() || !d->mayEdit(d->cur()))
        return;
    Copy();
    RemoveSelection(d->cur());
    d->cursorChanged();
}

void TWPRichText::Paste()
{
    InsertFromMimeData(QGuiApplication::clipboard()->mimeData());
}

void TWPRichText::SelectAll()
{
    d->syncText();
    d->cur().select(QTextCursor::Document);
    d->cursorChanged();
}

QRect TWPRichText::CursorRect(int position) const { return d->cursorRect(position); }
QRect TWPRichText::CursorRect() const { return d->cursorRect(d->cur().position()); }
int TWPRichText::HitTest(const QPoint &viewportPos) const { return d->hitTest(viewportPos); }

QRect TWPRichText::PictureRect(int position) const
{
    const TWPRichTextPrivate::Picture p = d->pictureAt(position);
    return p.Position < 0 ? QRect() : d->viewRect(p).toAlignedRect();
}

QString TWPRichText::HyperlinkAt(const QPoint &viewportPos) const
{
    return d->t()->documentLayout()->anchorAt(d->toDocument(viewportPos));
}

void TWPRichText::EnsureCursorVisible() { d->ensureVisible(); }

void TWPRichText::DoAfterLoadText() {}

bool TWPRichText::event(QEvent *e)
{
    if (e->type() == QEvent::ShortcutOverride) {
        auto *ke = static_cast<QKeyEvent *>(e);
        bool ours = !ke->text().isEmpty() && ke->text().at(0).isPrint()
                    && !(ke->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
        const bool undoKeys = (d->editOptions & (wpActivateUndo | wpActivateUndoHotkey))
                              == (wpActivateUndo | wpActivateUndoHotkey);
        for (QKeySequence::StandardKey k : EditingKeys)
            ours = ours || (ke->matches(k) && (undoKeys || (k != QKeySequence::Undo && k != QKeySequence::Redo)));
        for (const KeyMove &m : KeyMoves)
            ours = ours || ke->matches(m.Key);
        if (ours) {
            ke->accept();
            return true;
        }
    } else if (e->type() == QEvent::KeyPress) {
        // Tab is the focus key unless an editable text wants it.
        auto *ke = static_cast<QKeyEvent *>(e);
        const bool cellKeys = (d->editOptions & wpSpreadsheetCursorMovement) && d->cur().currentTable()
                              && (ke->key() == Qt::Key_Tab || ke->key() == Qt::Key_Backtab);
        if (((ke->key() == Qt::Key_Tab && WantTabs() && !ReadOnly()) || cellKeys)
            && !(ke->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            keyPressEvent(ke);
            return true;
        }
    }
    return QAbstractScrollArea::event(e);
}

void TWPRichText::keyPressEvent(QKeyEvent *e)
{
    d->syncText();
    QTextCursor &c = d->cur();
    bool handled = true;
    const bool undoKeys = (d->editOptions & (wpActivateUndo | wpActivateUndoHotkey))
                          == (wpActivateUndo | wpActivateUndoHotkey);
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    if ((e->matches(QKeySequence::Undo) || e->matches(QKeySequence::Redo)) && !undoKeys)
        handled = false;
    else if (e->matches(QKeySequence::Undo))
        Undo();
    else if (e->matches(QKeySequence::Redo))
        Redo();
    else if ((e->key() == Qt::Key_Up || e->key() == Qt::Key_Down) && mods == Qt::NoModifier
             && d->moveInTable(e->key() == Qt::Key_Down ? 1 : -1, 0))
        ;
    else if ((e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab) && !(mods & ~Qt::ShiftModifier)
             && d->moveInTable(0, (e->key() == Qt::Key_Backtab || (mods & Qt::ShiftModifier)) ? -1 : 1))
        ;
    else if (e->matches(QKeySequence::Copy))
        Copy();
    else if (e->matches(QKeySequence::Cut))
        Cut();
    else if (e->matches(QKeySequence::Paste))
        Paste();
    else if (e->matches(QKeySequence::SelectAll))
        SelectAll();
    else if (e->matches(QKeySequence::MoveToNextPage) || e->matches(QKeySequence::MoveToPreviousPage))
        d->movePage(e->matches(QKeySequence::MoveToNextPage), QTextCursor::MoveAnchor);
    else if (e->matches(QKeySequence::SelectNextPage) || e->matches(QKeySequence::SelectPreviousPage))
        d->movePage(e->matches(QKeySequence::SelectNextPage), QTextCursor::KeepAnchor);
    else if (e->matches(QKeySequence::Delete))
        d->remove(QTextCursor::NextCharacter);
    else if (e->matches(QKeySequence::DeleteEndOfWord))
        d->remove(QTextCursor::NextWord);
    else if (e->matches(QKeySequence::DeleteStartOfWord))
        d->remove(QTextCursor::PreviousWord);
    else if (e->key() == Qt::Key_Backspace && !(e->modifiers() & ~Qt::ShiftModifier))
        d->remove(QTextCursor::PreviousCharacter);
    else if (e->matches(QKeySequence::InsertParagraphSeparator))
        d->newParagraph(false);
    else if (e->matches(QKeySequence::InsertLineSeparator))
        d->newParagraph(true);
    else if (e->key() == Qt::Key_Tab && WantTabs() && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        d->typed(u"\t"_qs);
    else if (const DeadKey *dead = findDeadKey(e->key()); dead && e->text().isEmpty())
        d->deadKey = dead; // the platform left composing to us
    else {
        handled = false;
        for (const KeyMove &m : KeyMoves) {
            if (e->matches(m.Key)) {
                d->deadKey = nullptr;
                c.movePosition(m.Op, m.Mode);
                d->ensureVisible();
                handled = true;
                break;
            }
        }
        const QString s = e->text();
        // Ctrl+Alt is AltGr on some keyboards: it types.
        const bool command = (e->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
                             && (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
                                    != (Qt::ControlModifier | Qt::AltModifier);
        if (!handled && !s.isEmpty() && s.at(0).isPrint() && !command) {
            d->typed(s);
            handled = true;
        }
    }
    if (!handled) {
        e->ignore();
        return;
    }
    e->accept();
    d->cursorChanged();
}

void TWPRichText::mousePressEvent(QMouseEvent *e)
{
    d->syncText();
    if (e->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    d->deadKey = nullptr;
    const QPoint pos = e->position().toPoint();
    QTextTable *table = nullptr;
    if (const int column = d->columnBorderAt(pos, &table); column >= 0) {
        d->dragTable = table;
        d->dragColumn = column;
        d->dragFrom = pos;
        d->dragBorderX = pos.x();
        return;
    }
    if (const int handle = d->handleAt(pos); handle >= 0) {
        d->dragHandle = handle;
        d->dragPicture = d->selectedPicture();
        d->dragFrom = pos;
        d->dragRect = d->viewRect(d->dragPicture);
        return;
    }
    const QString link = HyperlinkAt(pos);
    if (!link.isEmpty() && (d->oneClickHyperlink || (e->modifiers() & Qt::ControlModifier))) {
        d->pendingLink = link;
        return;
    }
    const int hit = HitTest(pos);
    if (const TWPRichTextPrivate::Picture sel = d->selectedPicture();
        sel.Position >= 0 && (d->editOptions & wpObjectMoving) && !ReadOnly()
        && d->viewRect(sel).contains(e->position()) && !(e->modifiers() & Qt::ShiftModifier)) {
        d->dragMove = true;
        d->dragPicture = sel;
        d->dragFrom = pos;
        d->moveTarget = -1;
        return;
    }
    if (!(e->modifiers() & Qt::ShiftModifier) && (d->editOptions & wpObjectSelecting)) {
        // A click on a picture selects it, for its handles.
        for (int at : {hit, hit - 1}) {
            const TWPRichTextPrivate::Picture p = d->pictureAt(at);
            if (p.Position >= 0 && d->viewRect(p).contains(e->position())) {
                d->cur().setPosition(at);
                d->cur().setPosition(at + 1, QTextCursor::KeepAnchor);
                d->cursorChanged();
                return;
            }
        }
        // A picture under the text, where no text is over it.
        if (const int under = d->underTextPictureAt(e->position()); under >= 0) {
            d->cur().setPosition(under);
            d->cur().setPosition(under + 1, QTextCursor::KeepAnchor);
            d->cursorChanged();
            return;
        }
    }
    d->cur().setPosition(hit, (e->modifiers() & Qt::ShiftModifier) ? QTextCursor::KeepAnchor
                                                                   : QTextCursor::MoveAnchor);
    d->selecting = true;
    d->cursorChanged();
}

void TWPRichText::mouseMoveEvent(QMouseEvent *e)
{
    const QPoint pos = e->position().toPoint();
    if (d->dragColumn >= 0) {
        d->dragBorderX = pos.x();
        viewport()->update();
        return;
    }
    if (d->dragHandle >= 0) {
        d->dragRect = d->dragged(pos - d->dragFrom);
        viewport()->update();
        return;
    }
    if (d->dragMove) {
        if ((pos - d->dragFrom).manhattanLength() >= QApplication::startDragDistance())
            d->moveTarget = HitTest(pos);
        viewport()->setCursor(d->moveTarget >= 0 ? Qt::DragMoveCursor : Qt::ArrowCursor);
        viewport()->update();
        return;
    }
    if (d->selecting && (e->buttons() & Qt::LeftButton)) {
        d->cur().setPosition(HitTest(pos), QTextCursor::KeepAnchor);
        d->ensureVisible();
        d->cursorChanged();
        return;
    }
    static const Qt::CursorShape sizing[4] = {Qt::SizeFDiagCursor, Qt::SizeVerCursor, Qt::SizeBDiagCursor,
                                              Qt::SizeHorCursor};
    const bool overLink = (d->oneClickHyperlink || (e->modifiers() & Qt::ControlModifier))
                          && !HyperlinkAt(pos).isEmpty();
    int hotFrom = -1, hotTo = -1;
    const QString hot = HyperlinkAt(pos);
    if (!hot.isEmpty() && !d->linkRange(HitTest(pos), &hotFrom, &hotTo))
        hotFrom = hotTo = -1;
    if (hotFrom != d->hotFrom || hotTo != d->hotTo) {
        d->hotFrom = hotFrom;
        d->hotTo = hotTo;
        viewport()->update();
    }
    const int handle = d->handleAt(pos);
    QTextTable *table = nullptr;
    viewport()->setCursor(handle >= 0                               ? sizing[handle % 4]
                          : d->columnBorderAt(pos, &table) >= 0 ? Qt::SplitHCursor
                          : overLink                            ? Qt::PointingHandCursor
                                                                : Qt::IBeamCursor);
}

void TWPRichText::mouseReleaseEvent(QMouseEvent *e)
{
    d->selecting = false;
    if (d->dragColumn >= 0) {
        if (d->dragTable)
            d->resizeColumns(d->dragTable, d->dragColumn, (e->position().x() - d->dragFrom.x()) / d->z());
        d->dragColumn = -1;
        d->dragTable = nullptr;
        viewport()->update();
        return;
    }
    if (d->dragHandle >= 0) {
        d->resizePicture(d->dragged(e->position().toPoint() - d->dragFrom));
        d->dragHandle = -1;
        d->cursorChanged();
        return;
    }
    if (std::exchange(d->dragMove, false)) {
        d->movePicture();
        d->moveTarget = -1;
        viewport()->unsetCursor();
        d->cursorChanged();
        viewport()->update();
        return;
    }
    const QString link = std::exchange(d->pendingLink, QString());
    if (e->button() != Qt::LeftButton || link.isEmpty() || HyperlinkAt(e->position().toPoint()) != link)
        return;
    Q_EMIT HyperlinkClicked(link);
    QDesktopServices::openUrl(QUrl(link));
}

void TWPRichText::mouseDoubleClickEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton)
        return;
    d->cur().setPosition(HitTest(e->position().toPoint()));
    d->cur().select(QTextCursor::WordUnderCursor);
    d->cursorChanged();
}

void TWPRichText::inputMethodEvent(QInputMethodEvent *e)
{
    d->syncText();
    if (ReadOnly()) {
        e->ignore();
        return;
    }
    QTextCursor &c = d->cur();
    d->setPreedit(QString(), {});
    if (e->replacementLength() > 0) {
        const int from = c.position() + e->replacementStart();
        c.setPosition(std::clamp(from, 0, d->t()->characterCount() - 1));
        c.setPosition(std::clamp(from + e->replacementLength(), 0, d->t()->characterCount() - 1),
                      QTextCursor::KeepAnchor);
    }
    if (!e->commitString().isEmpty() || c.hasSelection())
        d->insert(e->commitString());
    d->deadKey = nullptr;
    if (!e->preeditString().isEmpty() && Document().CanEdit(c.position(), 0))
        d->setPreedit(e->preeditString(), e->attributes());
    e->accept();
    d->cursorChanged();
}

QVariant TWPRichText::inputMethodQuery(Qt::InputMethodQuery query) const
{
    const QTextCursor &c = d->edit.TextCursor();
    const QTextBlock block = c.block();
    switch (query) {
    case Qt::ImEnabled:
        return !ReadOnly();
    case Qt::ImCursorRectangle:
        return QRectF(CursorRect().translated(viewport()->pos()));
    case Qt::ImFont:
        return c.charFormat().font();
    case Qt::ImCursorPosition:
        return c.position() - block.position();
    case Qt::ImAnchorPosition:
        return std::clamp(c.anchor() - block.position(), 0, block.length() - 1);
    case Qt::ImSurroundingText:
        return block.text();
    case Qt::ImCurrentSelection:
        return c.selectedText();
    case Qt::ImAbsolutePosition:
        return c.position();
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void TWPRichText::paintEvent(QPaintEvent *e)
{
    d->syncText();
    QPainter p(viewport());
    p.setRenderHint(QPainter::TextAntialiasing);
    d->paint(p, e->rect());
}

void TWPRichText::resizeEvent(QResizeEvent *e)
{
    QAbstractScrollArea::resizeEvent(e);
    d->applyGeometry();
}

void TWPRichText::scrollContentsBy(int, int) { viewport()->update(); }

void TWPRichText::wheelEvent(QWheelEvent *e)
{
    // Ctrl+wheel zooms in steps of 10 %, as word processors do.
    if (!(e->modifiers() & Qt::ControlModifier) || e->angleDelta().y() == 0) {
        QAbstractScrollArea::wheelEvent(e);
        return;
    }
    const int step = e->angleDelta().y() > 0 ? 10 : -10;
    SetZoomMode(std::clamp((Zoom() + step) / 10 * 10, 10, 500));
    e->accept();
}

void TWPRichText::focusInEvent(QFocusEvent *e)
{
    QAbstractScrollArea::focusInEvent(e);
    d->startBlink();
    viewport()->update();
}

void TWPRichText::focusOutEvent(QFocusEvent *e)
{
    QAbstractScrollArea::focusOutEvent(e);
    d->blink.stop();
    d->deadKey = nullptr;
    viewport()->update();
}

void TWPRichText::timerEvent(QTimerEvent *e)
{
    if (e->timerId() != d->blink.timerId()) {
        QAbstractScrollArea::timerEvent(e);
        return;
    }
    d->caretShown = !d->caretShown;
    viewport()->update(CursorRect().adjusted(-2, -2, 2, 2));
}

} // namespace zor
