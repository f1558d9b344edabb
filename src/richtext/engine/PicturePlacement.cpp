#include "PicturePlacement.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextObjectInterface>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <vector>

namespace zor {

namespace {

// Between a floating picture and the text beside it.
constexpr qreal FloatGap = 6;

QImage pictureImage(const QTextDocument *text, const QTextImageFormat &f)
{
    const QVariant v = text->resource(QTextDocument::ImageResource, QUrl(f.name()));
    if (v.canConvert<QImage>())
        return v.value<QImage>();
    if (v.canConvert<QPixmap>())
        return v.value<QPixmap>().toImage();
    return {};
}

QTextBlockFormat spacerFormat()
{
    QTextBlockFormat f;
    f.setProperty(wpObjSpacer, true);
    f.setLineHeight(0, QTextBlockFormat::FixedHeight);
    f.setTopMargin(0);
    f.setBottomMargin(0);
    return f;
}

QTextFrameFormat frameFormat(const QTextDocument *text, const QTextImageFormat &picture,
                             const QTextBlockFormat &paragraph, int offset)
{
    QTextFrameFormat f;
    f.setProperty(wpObjFrame, true);
    f.setProperty(wpObjAnchorOffset, offset);
    f.setBorder(0);
    f.setPadding(0);
    f.setMargin(0);
    f.setWidth(PictureSize(text, picture).width());
    // A paragraph's picture keeps the paragraph's indent on its side; the
    // page's stands at the edge of the text area.
    const bool page = PicturePositionMode(picture) == wpotPage;
    const TWPObjWrapMode wrap = PictureWrapMode(picture);
    const Qt::Alignment align = paragraph.alignment() & Qt::AlignHorizontal_Mask;
    if (wrap == wpwrNone) {
        f.setPosition(QTextFrameFormat::InFlow);
        if (!page)
            f.setLeftMargin(paragraph.leftMargin());
    } else if (wrap == wpwrAutomatic && (align == Qt::AlignRight || align == Qt::AlignTrailing)) {
        // The side with more room: a right-aligned paragraph's lines end on
        // the right, so its left side has it.
        f.setPosition(QTextFrameFormat::FloatRight);
        f.setLeftMargin(FloatGap);
        if (!page)
            f.setRightMargin(paragraph.rightMargin());
    } else {
        // Automatic wrap of any other paragraph, and wrap on both sides:
        // Qt's layout flows text beside a float on one side only.
        f.setPosition(QTextFrameFormat::FloatLeft);
        f.setRightMargin(FloatGap);
        if (!page)
            f.setLeftMargin(paragraph.leftMargin());
    }
    return f;
}

// The picture frame whose only content is the picture at position, or null.
// Read from the characters and the frame start's format, not from the frame
// tree: inside an edit block Qt rebuilds that tree only when the block ends,
// so a frame just pasted is not in it yet.
QTextFrame *pictureFrameOf(QTextDocument *text, int position)
{
    if (position < 1 || text->characterAt(position - 1) != QChar(0xFDD0) /* a frame's start */
        || text->characterAt(position + 1) != QChar(0xFDD1) /* its end */)
        return nullptr;
    auto *f = qobject_cast<QTextFrame *>(text->objectForFormat(text->findBlock(position).charFormat()));
    return IsPictureFrame(f) ? f : nullptr;
}

// The picture at position leaves its paragraph for a frame before it.
int frame(QTextDocument *text, int position, const QTextImageFormat &picture)
{
    const QTextBlock paragraph = text->findBlock(position);
    const int start = paragraph.position();
    const QTextBlockFormat paraFormat = paragraph.blockFormat();
    const QTextCharFormat paraChar = paragraph.charFormat();
    QTextCursor c(text);
    c.beginEditBlock();
    c.setPosition(position);
    c.setPosition(position + 1, QTextCursor::KeepAnchor);
    c.removeSelectedText();
    c.setPosition(start);
    QTextFrame *f = c.insertFrame(frameFormat(text, picture, paraFormat, position - start));
    c.insertImage(picture);
    QTextCursor inner(text);
    inner.setPosition(f->firstPosition());
    inner.setBlockFormat(QTextBlockFormat());

    // The block the frame's start ends: empty, new. The paragraph before
    // (if any, in the same container) ends there instead; else it stays as
    // a spacer of no height.
    const QTextBlock before = text->findBlock(f->firstPosition() - 1);
    const QTextBlock prev = before.previous();
    // A plain paragraph end only (a cell's or a frame's start or end is no
    // such character).
    if (prev.isValid() && text->characterAt(before.position() - 1) == QChar::ParagraphSeparator) {
        const QTextBlockFormat prevFormat = prev.blockFormat();
        const QTextCharFormat prevChar = prev.charFormat();
        QTextCursor r(text);
        r.setPosition(before.position() - 1);
        r.setPosition(before.position(), QTextCursor::KeepAnchor);
        r.removeSelectedText();
        r.setBlockFormat(prevFormat);
        r.setBlockCharFormat(prevChar);
    } else {
        QTextCursor(before).setBlockFormat(spacerFormat());
    }
    QTextCursor after(text);
    after.setPosition(f->lastPosition() + 1);
    after.setBlockFormat(paraFormat);
    after.setBlockCharFormat(paraChar);
    c.endEditBlock();
    return f->firstPosition();
}

// The picture of frame f goes back into its paragraph as a character.
int unframe(QTextDocument *text, int position, const QTextFrame *f, const QTextImageFormat &picture)
{
    const int offset = std::max(0, f->frameFormat().intProperty(wpObjAnchorOffset));
    const int start = position - 1; // the frame's start character
    const int end = position + 2;   // just after its end character
    const QTextBlock before = text->findBlock(start);
    const QTextBlock paragraph = text->findBlock(end);
    const bool spacer = IsPictureSpacer(before);
    const QTextBlockFormat beforeFormat = before.blockFormat(), paraFormat = paragraph.blockFormat();
    const QTextCharFormat beforeChar = before.charFormat(), paraChar = paragraph.charFormat();
    QTextCursor c(text);
    c.beginEditBlock();
    c.setPosition(start);
    c.setPosition(end, QTextCursor::KeepAnchor);
    c.removeSelectedText();
    // What stood before the frame and the paragraph are one block now.
    if (spacer && before.length() <= 1) {
        c.setBlockFormat(paraFormat);
        c.setBlockCharFormat(paraChar);
    } else {
        c.insertBlock(paraFormat, paraChar);
        QTextCursor b(text);
        b.setPosition(c.position() - 1);
        b.setBlockFormat(spacer ? QTextBlockFormat() : beforeFormat);
        b.setBlockCharFormat(beforeChar);
    }
    const QTextBlock now = c.block();
    const int at = now.position() + std::min(offset, now.length() - 1);
    c.setPosition(at);
    c.insertImage(picture);
    c.endEditBlock();
    return at;
}

// Pictures under the text take no room in their line and are painted
// before the text; the rest is drawn by Qt's own handler.
class TWPPictureHandler : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    TWPPictureHandler(QObject *qtHandler, QObject *parent) : QObject(parent), m_qt(qtHandler) {}

    QSizeF intrinsicSize(QTextDocument *doc, int pos, const QTextFormat &format) override
    {
        if (PictureIsUnderText(format))
            return {0, 0};
        if (QTextObjectInterface *qt = qtHandler())
            return qt->intrinsicSize(doc, pos, format);
        return PictureSize(doc, format.toImageFormat());
    }

    void drawObject(QPainter *painter, const QRectF &rect, QTextDocument *doc, int pos,
                    const QTextFormat &format) override
    {
        if (PictureIsUnderText(format))
            return;
        if (QTextObjectInterface *qt = qtHandler()) {
            qt->drawObject(painter, rect, doc, pos, format);
            return;
        }
        const QImage img = pictureImage(doc, format.toImageFormat());
        if (!img.isNull())
            painter->drawImage(rect, img);
    }

private:
    QTextObjectInterface *qtHandler() const { return m_qt ? qobject_cast<QTextObjectInterface *>(m_qt.data()) : nullptr; }
    QPointer<QObject> m_qt;
};

} // namespace

TWPObjPositionMode PicturePositionMode(const QTextFormat &f)
{
    const int v = f.intProperty(wpObjPositionMode);
    return v == wpotPar || v == wpotPage ? TWPObjPositionMode(v) : wpotChar;
}

TWPObjWrapMode PictureWrapMode(const QTextFormat &f)
{
    const int v = f.intProperty(wpObjWrapMode);
    return v == wpwrBoth || v == wpwrNone ? TWPObjWrapMode(v) : wpwrAutomatic;
}

bool PictureIsUnderText(const QTextFormat &f)
{
    return f.isImageFormat() && PicturePositionMode(f) != wpotChar && f.boolProperty(wpObjUnderText);
}

bool PictureIsFramed(const QTextFormat &f)
{
    return f.isImageFormat() && PicturePositionMode(f) != wpotChar && !f.boolProperty(wpObjUnderText);
}

bool IsPictureFrame(const QTextFrame *frame)
{
    return frame && !qobject_cast<const QTextTable *>(frame) && frame->frameFormat().boolProperty(wpObjFrame);
}

bool IsPictureSpacer(const QTextBlock &block)
{
    return block.isValid() && block.blockFormat().boolProperty(wpObjSpacer);
}

QSizeF PictureSize(const QTextDocument *text, const QTextImageFormat &f)
{
    // Whole units, as Qt's own image handler measures.
    const bool hasW = f.hasProperty(QTextFormat::ImageWidth), hasH = f.hasProperty(QTextFormat::ImageHeight);
    QSizeF size(qRound(f.width()), qRound(f.height()));
    if (!hasW || !hasH) {
        const QImage img = pictureImage(text, f);
        const QSizeF natural = img.isNull() ? QSizeF(16, 16) : QSizeF(img.size());
        if (!hasW)
            size.setWidth(hasH && natural.height() > 0 ? std::max(1, int(natural.width() * size.height() / natural.height()))
                                                       : natural.width());
        if (!hasH)
            size.setHeight(hasW && natural.width() > 0 ? std::max(1, int(natural.height() * size.width() / natural.width()))
                                                       : natural.height());
    }
    return size;
}

namespace {

// The picture at position (its image format), when there is one.
bool pictureAt(QTextDocument *text, int position, QTextImageFormat *picture)
{
    if (!text || position < 0 || position >= text->characterCount() - 1
        || text->characterAt(position) != QChar::ObjectReplacementCharacter)
        return false;
    QTextCursor c(text);
    c.setPosition(position + 1);
    const QTextCharFormat cf = c.charFormat();
    if (!cf.isImageFormat())
        return false;
    *picture = cf.toImageFormat();
    return true;
}

} // namespace

int PlacePicture(QTextDocument *text, int position)
{
    QTextImageFormat picture;
    if (!pictureAt(text, position, &picture))
        return position;
    QTextFrame *f = pictureFrameOf(text, position);
    const bool framed = f != nullptr;
    if (framed && PictureIsFramed(picture)) {
        const QTextBlock paragraph = text->findBlock(position + 2);
        const QTextFrameFormat now = frameFormat(text, picture, paragraph.blockFormat(),
                                                 f->frameFormat().intProperty(wpObjAnchorOffset));
        if (now != f->frameFormat())
            f->setFrameFormat(now);
        return position;
    }
    if (framed)
        return unframe(text, position, f, picture);
    if (PictureIsFramed(picture))
        return frame(text, position, picture);
    return position;
}

int UnframePicture(QTextDocument *text, int position)
{
    QTextImageFormat picture;
    if (!pictureAt(text, position, &picture))
        return position;
    const QTextFrame *f = pictureFrameOf(text, position);
    return f ? unframe(text, position, f, picture) : position;
}

void RemoveSelection(QTextCursor &cursor)
{
    QTextDocument *text = cursor.document();
    const int at = cursor.selectionStart();
    if (text && cursor.selectionEnd() - at == 1) {
        if (pictureFrameOf(text, at)) {
            cursor.beginEditBlock();
            const int inlineAt = UnframePicture(text, at);
            cursor.setPosition(inlineAt);
            cursor.setPosition(inlineAt + 1, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
            cursor.endEditBlock();
            return;
        }
    }
    cursor.removeSelectedText();
}

void PlacePictures(QTextDocument *text)
{
    if (!text)
        return;
    // Cursors follow the edits that placing the others makes.
    std::vector<QTextCursor> pictures;
    for (QTextBlock b = text->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            const QTextCharFormat cf = frag.charFormat();
            if (!cf.isImageFormat())
                continue;
            for (int i = 0; i < frag.length(); ++i)
                if (PictureIsFramed(cf) || pictureFrameOf(text, frag.position() + i))
                    pictures.emplace_back(text).setPosition(frag.position() + i);
        }
    if (pictures.empty())
        return;
    QTextCursor edit(text);
    edit.beginEditBlock();
    for (const QTextCursor &p : pictures)
        PlacePicture(text, p.position());
    edit.endEditBlock();
}

QRectF PictureUnderTextRect(const QTextDocument *text, int position)
{
    if (!text || position < 0 || position >= text->characterCount() - 1)
        return {};
    QTextCursor c(const_cast<QTextDocument *>(text));
    c.setPosition(position + 1);
    const QTextCharFormat cf = c.charFormat();
    if (!PictureIsUnderText(cf) || text->characterAt(position) != QChar::ObjectReplacementCharacter)
        return {};
    const QTextBlock b = text->findBlock(position);
    const QTextLine line = b.layout() ? b.layout()->lineForTextPosition(position - b.position()) : QTextLine();
    if (!line.isValid())
        return {};
    const QPointF origin = text->documentLayout()->blockBoundingRect(b).topLeft();
    return {QPointF(origin.x() + line.cursorToX(position - b.position()), origin.y() + line.y()),
            PictureSize(text, cf.toImageFormat())};
}

void DrawPicturesUnderText(QPainter &painter, const QTextDocument *text, const QRectF &clip)
{
    if (!text)
        return;
    for (QTextBlock b = text->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!PictureIsUnderText(frag.charFormat()))
                continue;
            const QImage img = pictureImage(text, frag.charFormat().toImageFormat());
            for (int i = 0; i < frag.length(); ++i) {
                const QRectF r = PictureUnderTextRect(text, frag.position() + i);
                if (!img.isNull() && r.intersects(clip))
                    painter.drawImage(r, img);
            }
        }
}

void RegisterPictureHandler(QTextDocument *text)
{
    QAbstractTextDocumentLayout *layout = text->documentLayout();
    auto *current = dynamic_cast<QObject *>(layout->handlerForObject(QTextFormat::ImageObject));
    if (qobject_cast<TWPPictureHandler *>(current))
        return;
    layout->registerHandler(QTextFormat::ImageObject, new TWPPictureHandler(current, layout));
}

} // namespace zor

#include "PicturePlacement.moc"
