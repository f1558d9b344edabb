// TWPRichText: the word-processor control. A scroll area that shows and edits
// the document of a TWPCustomRtfEdit it owns; the edit's cursor is the caret,
// so what the edit saves "as selection" is what the user selected.
//
// Views, chosen by zoom codes (ZoomMode):
//   -10  normal: one column of text wrapped at the page's text width, 100 %
//   -12  page layout: the pages as printed, one below the other, 100 %
//   -13  page width: page layout, zoomed so a page fills the window's width
//   -14  full page: page layout, zoomed so a whole page fits the window
//   -15  double page: page layout, two pages side by side fit the window
//   -18  wrap to window: normal view at 100 %, lines wrapped at the window's width
//   -19  thumbnails: page layout at a fifth of the size, as many per row as fit
//   10..500  a zoom percentage, keeping the view
// Fitting codes (-13, -14, -15, -19, -18) follow the window when it resizes;
// Ctrl+wheel steps the percentage by 10.
//
// Pages take the geometry of the first section and break where print and
// PDF break (the same text width and design metrics); their paper, headers,
// footers and notes come from TWPPagePainter. Hidden text stays in the
// screen's layout, marked with a dotted line, so a page with hidden text may
// end a few lines off its printed twin.
//
// Editing refuses (EditRefused) whatever touches protected text, and
// everything while ReadOnly. The clipboard carries "text/rtf" first, then
// HTML and plain text, and pastes the richest of them it is offered.
//
// EditOptions switch what the mouse and keys do (all on by default): a
// click on a picture selects it; its eight handles resize it (corners keep
// its proportions), and dragging it moves it; column borders and a table's
// right edge are dragged; in tables Up, Down, Tab and Shift+Tab go from cell
// to cell; an address typed before a blank or Enter becomes a link (its own
// undo step). A link under the mouse is drawn red.
#pragma once

#include <ZorCompCore/richtext/WPViewTypes.h>
#include <ZorCompCore/zor_export.h>

#include <QAbstractScrollArea>
#include <QTextCharFormat>
#include <QTextBlockFormat>
#include <QTextCursor>

#include <memory>

class QMimeData;
class QTextTable;

namespace zor {

class TWPCustomRtfEdit;
class TWPSpellAsYouGo;
class TWPDocument;

// Zoom codes that are no percentage.
enum TWPZoomCode : int {
    wpZoomNormal = -10,
    wpZoomPageLayout = -12,
    wpZoomPageWidth = -13,
    wpZoomFullPage = -14,
    wpZoomDoublePage = -15,
    wpZoomWrapToWindow = -18,
    wpZoomThumbnails = -19,
};

class TWPRichTextPrivate;

class ZOR_EXPORT TWPRichText : public QAbstractScrollArea
{
    Q_OBJECT
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(bool WantTabs READ WantTabs WRITE SetWantTabs)
    Q_PROPERTY(bool Modified READ Modified WRITE SetModified NOTIFY ModificationChanged)
    Q_PROPERTY(int ZoomMode READ ZoomMode WRITE SetZoomMode NOTIFY ZoomChanged)

public:
    explicit TWPRichText(QWidget *parent = nullptr);
    ~TWPRichText() override;

    // The headless editor behind the control; loads through it are shown.
    TWPCustomRtfEdit &Edit();
    const TWPCustomRtfEdit &Edit() const;
    TWPDocument &Document();
    // The caret and selection (the edit's cursor).
    QTextCursor TextCursor() const;
    void SetTextCursor(const QTextCursor &cursor);
    // The text without formatting, paragraphs separated by '\n'.
    QString PlainText() const;
    void Clear();

    bool ReadOnly() const;
    void SetReadOnly(bool value);
    // Off: Tab moves the focus, and loaded tabs become blanks.
    bool WantTabs() const;
    void SetWantTabs(bool value);
    bool Modified() const;
    void SetModified(bool value);
    // On: a click opens a hyperlink; off: only a click with Ctrl held.
    bool OneClickHyperlink() const;
    void SetOneClickHyperlink(bool value);
    unsigned ViewOptions() const;
    void SetViewOptions(unsigned options);
    // What the mouse and keys may do (TWPEditOption); wpDefaultEditOptions.
    unsigned EditOptions() const;
    void SetEditOptions(unsigned options);
    // Links on screen are underlined in this colour (blue at first); an
    // invalid colour leaves them as the text has them (web pages).
    QColor HyperlinkUnderlineColor() const;
    void SetHyperlinkUnderlineColor(const QColor &color);
    // Merge and form fields (the insert points) are framed in red on screen
    // unless hidden (the field-markers command switches them).
    bool InsertPointsHidden() const;
    void SetInsertPointsHidden(bool value);
    // How tables are laid out (TWPFormatOption), for texts loaded and
    // tables inserted after this is set.
    unsigned FormatOptions() const;
    void SetFormatOptions(unsigned options);

    // Marks misspellings while the text is edited: the control attaches the
    // text it shows (again after each load), has what is on screen checked
    // first, and draws the marks as the view options say (none with
    // wpDisableMisspellMarkers, wavy with wpTraditionalMisspellMarkers, else
    // dotted). Not owned; null stops.
    void SetSpellAsYouGo(TWPSpellAsYouGo *checker);
    TWPSpellAsYouGo *SpellAsYouGo() const;

    // Merges format into the paragraphs the selection touches (the caret's
    // paragraph without one). Refused when read-only or protected. One undo step.
    bool ApplyBlockFormat(const QTextBlockFormat &format);

    // Moves the border right of a table column by delta (document units):
    // the column and the next share their width; the last column's border
    // is the table's edge. One undo step.
    bool ResizeTableColumn(QTextTable *table, int column, qreal delta);

    // A table of rows x columns as wide as the text at the caret, replacing
    // the selection; the caret goes to its first cell. Refused inside a
    // table without wpAllowCreateTableInTable. One undo step.
    bool InsertTable(int rows, int columns);

    // The last zoom code set (see the top of this file).
    int ZoomMode() const;
    void SetZoomMode(int code);
    // The zoom in effect, in percent, fitted to the window where the code says.
    int Zoom() const;
    TWPLayoutMode LayoutMode() const;
    void SetLayoutMode(TWPLayoutMode mode);
    // Pages shown side by side (page layout), 1 in the normal view.
    int PagesPerRow() const;
    // Pages of the screen's layout (1 in the normal view).
    int PageCount() const;
    // Lays the text out again and rebuilds the pages' frames.
    void ReformatAll();

    // Edits as the user makes them: refused when read-only or protected.
    void InputString(const QString &text);
    bool Undo();
    bool Redo();
    bool CanUndo() const;
    bool CanRedo() const;
    void Copy();
    void Cut();
    void Paste();
    void SelectAll();
    // What Copy puts on the clipboard: "text/rtf", "text/html", "text/plain".
    QMimeData *CreateMimeDataFromSelection() const;
    bool CanInsertFromMimeData(const QMimeData *data) const;
    // Pastes the richest format data has; false when nothing was inserted.
    bool InsertFromMimeData(const QMimeData *data);

    // Where a document position is drawn, in viewport coordinates (the caret
    // rectangle there); invalid when the position does not exist.
    QRect CursorRect(int position) const;
    QRect CursorRect() const;
    // Where a point of the document's layout (units of 1/96 inch) is drawn,
    // in viewport coordinates, on the page its y falls on.
    QPointF MapToViewport(const QPointF &documentPoint) const;
    // The document position nearest to a viewport point.
    int HitTest(const QPoint &viewportPos) const;
    // Where the picture at a document position is drawn (viewport); invalid
    // when there is no picture there.
    QRect PictureRect(int position) const;
    // The hyperlink target at a viewport point; empty when none.
    QString HyperlinkAt(const QPoint &viewportPos) const;
    void EnsureCursorVisible();

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

Q_SIGNALS:
    void CursorPositionChanged();
    void SelectionChanged();
    void CurrentCharFormatChanged(const QTextCharFormat &format);
    void TextChanged();
    void ModificationChanged(bool modified);
    void UndoAvailable(bool available);
    void RedoAvailable(bool available);
    void ZoomChanged();
    // An edit was refused: read-only, or protected text in its way.
    void EditRefused();
    // A hyperlink was activated; it is opened with QDesktopServices after.
    void HyperlinkClicked(const QString &url);

protected:
    // After every load that replaced or inserted text (not after a paste).
    virtual void DoAfterLoadText();

    bool event(QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void inputMethodEvent(QInputMethodEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void timerEvent(QTimerEvent *e) override;

private:
    friend class TWPRichTextPrivate;
    std::unique_ptr<TWPRichTextPrivate> const d;
};

} // namespace zor
