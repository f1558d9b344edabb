// The word-processing document: a QTextDocument (text, shaping, tables, lists,
// undo) plus what a word processor keeps beside the text and QTextDocument has
// no place for.
//
// - Sections: page setup in twips (1/1440 in) with a header and a footer each.
//   Section 0 starts at the first block; a later section starts at the block
//   whose format carries wpSectionIndex, so sections move with edits.
// - Named styles, held in their text form ("Size=11;Bold=1"); paragraphs and
//   runs name theirs through wpStyleName.
// - Fields: object characters (QTextFormat::ObjectReplacementCharacter) of
//   type WPFieldObjectType drawn by a QTextObjectInterface handler, showing
//   page numbers, dates, merge values ("<<name>>" until merged) and so on.
// - Bookmarks: named ranges that follow edits of the text.
// - Hidden text (wpHidden: left out of print, PDF, HTML and TXT) and protected
//   text (wpProtected: edits touching it are refused, see CanEdit).
// - Paragraph borders and shading (block properties; drawn by our painter).
// - Named data items: bytes by name (GetRTFDataColorValue keeps colours there).
// - Pictures: the bytes as read (PNG, JPEG, EMF, WMF), so writers give back
//   what was read; the text holds a QTextImageFormat naming the picture. A
//   picture placed beside its paragraph or the page says so in its format
//   (wpObjPositionMode …) and sits in a frame of its own (PicturePlacement.h).
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QColor>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTextCharFormat>
#include <QTextFormat>

#include <functional>
#include <memory>
#include <vector>

class QTextBlockFormat;
class QTextCursor;
class QTextDocument;

namespace zor {

// A colour in the layout 0x00BBGGRR.
using TColor = quint32;
ZOR_EXPORT QColor TColorToQColor(TColor c);
ZOR_EXPORT TColor QColorToTColor(const QColor &c);

// Our properties on QTextFormat. Keep the numbers: documents in undo stacks
// and fragments carry them.
enum TWPProperty : int {
    wpStyleName = QTextFormat::UserProperty + 0x100, // QString (block or char)
    wpHidden,             // bool (char)
    wpProtected,          // bool (char)
    wpBorderLeft,         // int, line width in twips; 0 or absent: no line (block)
    wpBorderTop,
    wpBorderRight,
    wpBorderBottom,
    wpBorderColor,        // QColor (block)
    wpBorderSpacing,      // int twips between text and line (block)
    wpShading,            // int, hundredths of a percent 0..10000 (block)
    wpShadingColor,       // QColor the percentage applies (block)
    wpSectionIndex,       // int: this block starts section n (block)
    wpFieldKind,          // int TWPFieldKind (field object)
    wpFieldName,          // QString: merge/named/form field name
    wpFieldFormat,        // QString: date/time picture ("dd.MM.yyyy")
    wpFieldResult,        // QString: the text last shown
    wpPictureName,        // QString: key into Pictures() (image format)
    wpPageBreakBefore,    // bool (block): a hard page break before this block
    wpFootnote,           // int: the footnote a Footnote field refers to
    wpBorderStyle,        // int TWPBorderStyle of all the block's lines; absent: single
    wpBandKind,           // int TWPBandKind: a report band starts at this block (block)
    wpBandName,           // QString: the band's name (block)
    wpBandDataBase,       // QString: the data base a data band repeats over (block)

    // How a picture sits in the text (image format; see PicturePlacement.h).
    wpObjPositionMode = QTextFormat::UserProperty + 0x180, // int TWPObjPositionMode
    wpObjWrapMode,        // int TWPObjWrapMode
    wpObjUnderText,       // bool: drawn beneath the text, which it does not push aside
    wpObjFrame,           // bool (frame): the frame holds one positioned picture
    wpObjAnchorOffset,    // int (frame): where in its paragraph the picture was a character
    wpObjSpacer,          // bool (block): an empty block before such a frame, drawn with no height
};

// Where a picture is placed: as a character of its line, or beside its
// paragraph or the page's text area (keep the numbers: kept in documents).
enum TWPObjPositionMode : int { wpotChar = 0, wpotPar = 1, wpotPage = 2 };
// How text flows around a placed picture.
enum TWPObjWrapMode : int { wpwrAutomatic = 0, wpwrBoth = 1, wpwrNone = 2 };

// How a paragraph's border lines are drawn (keep the numbers: RTF maps them).
enum TWPBorderStyle : int { wpbsSingle = 0, wpbsDouble, wpbsDotted, wpbsDashed, wpbsThick };

// Report bands of a template: each starts at a block marked with its kind
// and runs to the next band's start.
enum class TWPBandKind : int { None = 0, Header = 1, Data = 2, Footer = 3, GroupHeader = 4, GroupFooter = 5 };

constexpr int WPFieldObjectType = QTextFormat::UserObject + 0x21;

enum class TWPFieldKind : int {
    Page = 1,     // this page's number
    NextPage,     // the next page's number, empty on the last page
    PriorPage,    // the previous page's number, empty on the first page
    NumPages,     // the page count
    Date,
    Time,
    Named,        // a named value supplied by the application
    Merge,        // a mail-merge field: "<<name>>" until merged
    Form,         // a form field: its current result text
    Footnote,     // a footnote's number: its reference in the text, its mark in the note
};

// Page geometry of a section, in twips. The defaults are A4 portrait with
// 1 inch margins.
struct TWPPageSetup
{
    int PageWidth = 11906;
    int PageHeight = 16838;
    int MarginLeft = 1440;
    int MarginTop = 1440;
    int MarginRight = 1440;
    int MarginBottom = 1440;
    int HeaderY = 720;     // header's distance from the top edge
    int FooterY = 720;     // footer's distance from the bottom edge
    bool Landscape = false;
    bool TitlePage = false; // the first page has its own header and footer
    bool operator==(const TWPPageSetup &) const = default;
};

// Which pages a header or footer is for: every page (odd ones when there is
// a Left one), the even pages, or the first page of a section with TitlePage.
enum class TWPHeaderKind : int { All = 0, Left = 1, First = 2 };

struct TWPBookmark
{
    QString Name;
    int Start = 0; // document positions; Start <= End
    int End = 0;
    bool operator==(const TWPBookmark &) const = default;
};

struct TWPPicture
{
    QByteArray Data;   // as read: PNG, JPEG, EMF or WMF bytes
    QString Kind;      // "png", "jpeg", "emf", "wmf"
};

// What a field shows depends on where it is drawn.
struct TWPFieldContext
{
    int Page = 1;
    int PageCount = 1;
    QDateTime Now;                                   // invalid: the current time
    std::function<QString(const QString &)> Value;  // merge/named values; null: none
};

// A named style in its text form: "Key=Value" pairs separated by ';'.
// Keys: Font, Size (points), Bold, Italic, Underline, StrikeOut, Color and
// BgColor (#RRGGBB), Align (Left, Center, Right, Justify), IndentLeft,
// IndentRight, IndentFirst, SpaceBefore, SpaceAfter (twips).
struct TWPStyle
{
    QString Name;
    QString Text;            // "Size=11"
    QString BasedOn;         // empty: none
    bool IsCharStyle = false;
    bool operator==(const TWPStyle &) const = default;
};

ZOR_EXPORT QTextCharFormat StyleTextToCharFormat(const QString &text);
ZOR_EXPORT QTextBlockFormat StyleTextToBlockFormat(const QString &text);
// The text form of the formats' properties that a style can hold, keys in a
// fixed order, so equal formats give equal texts.
ZOR_EXPORT QString StyleTextFromFormats(const QTextCharFormat &cf, const QTextBlockFormat &bf);

// Twips <-> QTextDocument units (pixels at 96 dpi: 15 twips each).
inline qreal TwipsToUnits(int twips) { return twips / 15.0; }
ZOR_EXPORT int UnitsToTwips(qreal units);

class TWPDocumentPrivate;

class ZOR_EXPORT TWPDocument
{
public:
    TWPDocument();
    ~TWPDocument();
    TWPDocument(const TWPDocument &) = delete;
    TWPDocument &operator=(const TWPDocument &) = delete;

    // Exchanges everything with other, texts included (so Text() changes).
    void Swap(TWPDocument &other);

    // Between these, edits of the text are not laid out and bookmarks stay
    // where they are put (readers call them around building a document);
    // EndBulkLoad gives the text a new layout.
    void BeginBulkLoad();
    void EndBulkLoad();

    // The text; owned. Its layout draws our fields.
    QTextDocument *Text() const;
    // Empties text, sections, styles, bookmarks, data items and pictures.
    void Clear();

    // Footnotes: their texts, in the order of their references (Footnote
    // fields whose wpFootnote is the index).
    int AddFootnote();
    int FootnoteCount() const;
    QTextDocument *Footnote(int index) const;

    // Sections in document order; there is always at least one.
    int SectionCount() const;
    TWPPageSetup &PageSetup(int section);
    const TWPPageSetup &PageSetup(int section) const;
    // Header/footer text of a section, created on first use (null from the
    // const overloads when the section has none).
    QTextDocument *Header(int section);
    QTextDocument *Footer(int section);
    QTextDocument *Header(int section) const;
    QTextDocument *Footer(int section) const;
    QTextDocument *Header(int section, TWPHeaderKind kind);
    QTextDocument *Footer(int section, TWPHeaderKind kind);
    QTextDocument *Header(int section, TWPHeaderKind kind) const;
    QTextDocument *Footer(int section, TWPHeaderKind kind) const;
    // Starts a new section at the cursor's block (which must not be the first
    // block); returns its index. Its page setup copies the previous section's.
    int AddSection(const QTextCursor &at);
    // The section the block at position belongs to.
    int SectionAt(int position) const;

    // Named styles, in the order added; names compare case-insensitively.
    const std::vector<TWPStyle> &Styles() const;
    void SetStyle(const TWPStyle &style); // adds or replaces by name
    const TWPStyle *FindStyle(const QString &name) const;

    // Bookmarks follow edits: text inserted at either end stays outside;
    // removing a bookmark's text collapses it.
    const std::vector<TWPBookmark> &Bookmarks() const;
    void AddBookmark(const QString &name, int start, int end); // replaces by name
    const TWPBookmark *FindBookmark(const QString &name) const;

    // Named data items (bytes).
    QStringList DataItemNames() const;
    bool HasDataItem(const QString &name) const;
    QByteArray DataItem(const QString &name) const;
    void SetDataItem(const QString &name, const QByteArray &data);

    // Document information (title, subject, author, keywords, comment …).
    QString Info(const QString &key) const;
    void SetInfo(const QString &key, const QString &value);
    QStringList InfoKeys() const;

    // Pictures: adds the bytes under a new name and the rendered image as the
    // text's image resource. Returns the name, empty when no reader takes the
    // bytes. sizeUnits: the shown size (invalid: the picture's own).
    QString AddPicture(const QByteArray &data, const QString &kind);
    const TWPPicture *Picture(const QString &name) const;
    QStringList PictureNames() const;
    // Inserts the picture at the cursor at size (units; invalid: natural).
    void InsertPicture(QTextCursor &cursor, const QString &name, QSizeF size = {});

    // Fields: inserts a field object; what it shows comes from FieldText.
    void InsertField(QTextCursor &cursor, TWPFieldKind kind, const QString &name = {},
                     const QString &format = {}, const QTextCharFormat &base = {});
    void SetFieldContext(const TWPFieldContext &context);
    const TWPFieldContext &FieldContext() const;
    static QString FieldText(const QTextFormat &field, const TWPFieldContext &context);

    // False when an edit of [position, position + length) would touch
    // protected text; a length of 0 is an insertion, refused between two
    // protected characters.
    bool CanEdit(int position, int length) const;
    bool CanEdit(const QTextCursor &cursor) const;

    // Removes the named style; false when there is none. Text that names it
    // keeps its formats (writers leave the unknown name out).
    bool RemoveStyle(const QString &name);
    // Removes a section's header (footer: its footer) of a kind; false when
    // it has none.
    bool RemoveHeaderFooter(int section, TWPHeaderKind kind, bool footer);

private:
    std::unique_ptr<TWPDocumentPrivate> d;
};

// The colour kept in data item name (4 bytes, little-endian TColor), or
// defaultColor when there is none.
ZOR_EXPORT TColor GetRTFDataColorValue(const TWPDocument &doc, const QString &name,
                                       TColor defaultColor);
ZOR_EXPORT void SetRTFDataColorValue(TWPDocument &doc, const QString &name, TColor color);

// Registers the field handler with a text's layout (done for the document's
// own texts; call it for a QTextDocument that shows fields elsewhere).
ZOR_EXPORT void RegisterFieldHandler(QTextDocument *text, const TWPDocument *owner);
// The same with the context from a function (a page painter's, say).
ZOR_EXPORT void RegisterFieldHandler(QTextDocument *text, std::function<TWPFieldContext()> context);

} // namespace zor
