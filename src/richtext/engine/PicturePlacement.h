// Positioned pictures: what a picture's image format says about its place
// (wpObjPositionMode, wpObjWrapMode, wpObjUnderText) turned into a layout
// that QTextDocumentLayout carries out.
//
// - As a character (wpotChar): the picture stays an object character of its
//   line, as inserted.
// - Relative to its paragraph or to the page, not under the text: the picture
//   moves into a frame of its own (wpObjFrame) standing just before its
//   paragraph. With wrap the frame floats (QTextFrameFormat::FloatLeft or
//   FloatRight) and the paragraph's lines flow beside it; without wrap the
//   frame is in the flow, so the picture stands on its own line. Automatic
//   wrap floats to the side with more room: right for a right-aligned
//   paragraph, left otherwise. Qt flows text on one side of a float only, so
//   "wrap both sides" floats left. A paragraph-relative frame keeps the
//   paragraph's indent on its side; a page-relative one sits at the edge of
//   the text area. The layout has no offsets from the anchor, so a
//   page-relative picture goes where its paragraph is, not to a fixed place
//   on the page.
// - Under the text (relative pictures only): the picture stays a character
//   that takes no room in its line; DrawPicturesUnderText paints it, its top
//   left at that place, before the text is drawn over it.
//
// A frame always has a block before it. Where the paragraph has a paragraph
// before it in the same frame, that paragraph's end becomes the frame's
// start; otherwise (the first paragraph of a text or a cell) the block before
// the frame is an empty spacer block (wpObjSpacer) laid out with no height,
// which writers leave out. The frame notes where in the paragraph the picture
// was, so going back to a character puts it there again.
#pragma once

#include <ZorCompCore/zor_export.h>

#include "Document.h"

#include <QRectF>
#include <QSizeF>

class QPainter;
class QTextBlock;
class QTextCursor;
class QTextDocument;
class QTextFrame;
class QTextImageFormat;

namespace zor {

// The picture's position mode; wpotChar for anything unknown.
ZOR_EXPORT TWPObjPositionMode PicturePositionMode(const QTextFormat &f);
// Its wrap mode; wpwrAutomatic for anything unknown.
ZOR_EXPORT TWPObjWrapMode PictureWrapMode(const QTextFormat &f);
// Placed relative to paragraph or page and drawn under the text.
ZOR_EXPORT bool PictureIsUnderText(const QTextFormat &f);
// Placed relative to paragraph or page in a frame of its own.
ZOR_EXPORT bool PictureIsFramed(const QTextFormat &f);

ZOR_EXPORT bool IsPictureFrame(const QTextFrame *frame);
ZOR_EXPORT bool IsPictureSpacer(const QTextBlock &block);

// The size a picture is shown at (document units): its format's width and
// height, the missing one from the image's proportions, else the image's own.
ZOR_EXPORT QSizeF PictureSize(const QTextDocument *text, const QTextImageFormat &f);

// Makes the layout of the picture at position (an image's object character)
// follow its format, as one undo step; returns the picture's position
// afterwards (position itself when it is no picture).
ZOR_EXPORT int PlacePicture(QTextDocument *text, int position);
// Takes a framed picture out of its frame back into its paragraph, whatever
// its format says; returns its position (position itself for others).
ZOR_EXPORT int UnframePicture(QTextDocument *text, int position);
// Removes what the cursor selects. A placed picture selected alone goes
// with its frame, so no empty frame stays behind (one undo step).
ZOR_EXPORT void RemoveSelection(QTextCursor &cursor);
// The same for every picture of the text (readers call it after loading).
ZOR_EXPORT void PlacePictures(QTextDocument *text);

// Where a picture under the text is drawn (document units); empty for others.
ZOR_EXPORT QRectF PictureUnderTextRect(const QTextDocument *text, int position);
// Paints the pictures under the text that meet clip (document units); call
// it before drawing the text.
ZOR_EXPORT void DrawPicturesUnderText(QPainter &painter, const QTextDocument *text, const QRectF &clip);

// Puts our picture handler on the text's layout: pictures under the text
// take no room there (others are drawn as Qt draws them).
ZOR_EXPORT void RegisterPictureHandler(QTextDocument *text);

} // namespace zor
