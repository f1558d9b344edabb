#include <ZorCompCore/richtext/actions/WPEngineActions.h>

#include <ZorCompCore/richtext/WPCustomDialog.h>
#include <ZorCompCore/richtext/WPPreview.h>
#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/dWPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QHash>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextList>
#include <QTextTable>

#include <algorithm>

namespace zor {

namespace {

// Keep in step with Classes below.
enum Kind : int {
    kBold, kItalic, kUnderline, kStrikeout, kSubscript, kSuperscript, kHidden, kProtected, kNorm,
    kLeft, kCenter, kRight, kJustified, kBullets, kNumbers, kIncIndent, kDecIndent,
    kUndo, kRedo, kCopy, kCut, kPaste, kSelAll, kDeleteText, kHideSelection,
    kZoomIn, kZoomOut, kFitWidth, kFitHeight, kPriorPage, kNextPage,
    kCreateTable, kInsRow, kInsCol, kDelRow, kDelCol, kCombine, kSplitCells, kSelectRow, kSelectColumn,
    kBLeft, kBTop, kBRight, kBBottom, kBInner, kBOuter, kBAllOff,
    kInsertNumber, kInsertField, kSearch, kReplace, kEditHyperlink,
    kOpen, kSave, kExit, kClose, kNew, kPrint, kPrinterSetup,
    kSpellcheck, kSpellAsYouGo, kThesaurus,
    kUnsupported
};

struct ClassDef
{
    const char *Name;
    Kind K;
};

const ClassDef Classes[] = {
    {"TWPABold", kBold}, {"TWPAItalic", kItalic}, {"TWPAUnderline", kUnderline},
    {"TWPAStrikeout", kStrikeout}, {"TWPASubscript", kSubscript}, {"TWPASuperscript", kSuperscript},
    {"TWPAHidden", kHidden}, {"TWPAProtected", kProtected}, {"TWPANorm", kNorm},
    {"TWPALeft", kLeft}, {"TWPACenter", kCenter}, {"TWPARight", kRight}, {"TWPAJustified", kJustified},
    {"TWPABullets", kBullets}, {"TWPANumbers", kNumbers}, {"TWPAIncIndent", kIncIndent},
    {"TWPADecIndent", kDecIndent},
    {"TWPAUndo", kUndo}, {"TWPARedo", kRedo}, {"TWPACopy", kCopy}, {"TWPACut", kCut},
    {"TWPAPaste", kPaste}, {"TWPASellAll", kSelAll}, {"TWPADeleteText", kDeleteText},
    {"TWPAHideSelection", kHideSelection},
    {"TWPAZoomIn", kZoomIn}, {"TWPAZoomOut", kZoomOut}, {"TWPAFitWidth", kFitWidth},
    {"TWPAFitHeight", kFitHeight}, {"TWPAPriorPage", kPriorPage}, {"TWPANextPage", kNextPage},
    {"TWPACreateTable", kCreateTable}, {"TWPAInsRow", kInsRow}, {"TWPAInsCol", kInsCol},
    {"TWPADelRow", kDelRow}, {"TWPADelCol", kDelCol}, {"TWPACombineCell", kCombine},
    {"TWPASplitCells", kSplitCells}, {"TWPASelectRow", kSelectRow}, {"TWPASelectColumn", kSelectColumn},
    {"TWPABLeft", kBLeft}, {"TWPABTop", kBTop}, {"TWPABRight", kBRight}, {"TWPABBottom", kBBottom},
    {"TWPABInner", kBInner}, {"TWPABOuter", kBOuter}, {"TWPABAllOff", kBAllOff},
    {"TWPAInsertNumber", kInsertNumber}, {"TWPAInsertField", kInsertField},
    {"TWPASearch", kSearch}, {"TWPAReplace", kReplace}, {"TWPAEditHyperlink", kEditHyperlink},
    {"TWPAOpen", kOpen}, {"TWPASave", kSave}, {"TWPAExit", kExit}, {"TWPAClose", kClose},
    {"TWPANew", kNew}, {"TWPAPrint", kPrint},
    {"TWPASpellcheck", kSpellcheck}, {"TWPASpellAsYouGo", kSpellAsYouGo},
    {"TWPAStartThesaurus", kThesaurus},
    // Nothing in the editor to drive: a data set behind it, an outline
    // mode, a view of the RTF codes.
    {"TWPAPrinterSetup", kPrinterSetup}, {"TWPACancel", kUnsupported}, {"TWPADelete", kUnsupported},
    {"TWPAAdd", kUnsupported}, {"TWPAEdit", kUnsupported}, {"TWPANext", kUnsupported},
    {"TWPABack", kUnsupported}, {"TWPAOK", kUnsupported}, {"TWPAToEnd", kUnsupported},
    {"TWPAToStart", kUnsupported}, {"TWPAIsOutlineMode", kUnsupported},
    {"TWPAInOutlineUp", kUnsupported}, {"TWPAInOutlineDown", kUnsupported},
    {"TWPARTFCode", kUnsupported},
};

// Field kinds of TWPAInsertNumber by tag (the XA_FIns* tags too).
const TWPFieldKind NumberFields[] = {TWPFieldKind::Page, TWPFieldKind::NextPage, TWPFieldKind::PriorPage,
                                     TWPFieldKind::NumPages, TWPFieldKind::Date, TWPFieldKind::Time};

constexpr const char *FileNameProperty = "zorFileName";

// --- character and paragraph formats ----------------------------------------

bool hasCharAttr(const QTextCharFormat &f, int kind)
{
    switch (kind) {
    case kBold: return f.fontWeight() >= QFont::Bold;
    case kItalic: return f.fontItalic();
    case kUnderline: return f.fontUnderline();
    case kStrikeout: return f.fontStrikeOut();
    case kSubscript: return f.verticalAlignment() == QTextCharFormat::AlignSubScript;
    case kSuperscript: return f.verticalAlignment() == QTextCharFormat::AlignSuperScript;
    case kHidden: return f.boolProperty(wpHidden);
    case kProtected: return f.boolProperty(wpProtected);
    case kNorm:
        return !hasCharAttr(f, kBold) && !hasCharAttr(f, kItalic) && !hasCharAttr(f, kUnderline)
               && !hasCharAttr(f, kStrikeout) && f.verticalAlignment() == QTextCharFormat::AlignNormal;
    }
    return false;
}

QTextCharFormat charAttr(int kind, bool on)
{
    QTextCharFormat f;
    switch (kind) {
    case kBold: f.setFontWeight(on ? QFont::Bold : QFont::Normal); break;
    case kItalic: f.setFontItalic(on); break;
    case kUnderline: f.setFontUnderline(on); break;
    case kStrikeout: f.setFontStrikeOut(on); break;
    case kSubscript:
        f.setVerticalAlignment(on ? QTextCharFormat::AlignSubScript : QTextCharFormat::AlignNormal);
        break;
    case kSuperscript:
        f.setVerticalAlignment(on ? QTextCharFormat::AlignSuperScript : QTextCharFormat::AlignNormal);
        break;
    case kHidden: f.setProperty(wpHidden, on); break;
    case kProtected: f.setProperty(wpProtected, on); break;
    case kNorm:
        f.setFontWeight(QFont::Normal);
        f.setFontItalic(false);
        f.setFontUnderline(false);
        f.setFontStrikeOut(false);
        f.setVerticalAlignment(QTextCharFormat::AlignNormal);
        break;
    }
    return f;
}

Qt::Alignment alignOf(int kind)
{
    switch (kind) {
    case kCenter: return Qt::AlignHCenter;
    case kRight: return Qt::AlignRight;
    case kJustified: return Qt::AlignJustify;
    default: return Qt::AlignLeft;
    }
}

bool isBulletStyle(QTextListFormat::Style s)
{
    return s == QTextListFormat::ListDisc || s == QTextListFormat::ListCircle
           || s == QTextListFormat::ListSquare;
}

// The blocks a cursor's selection touches (the caret's block without one).
QList<QTextBlock> selectedBlocks(const QTextCursor &c)
{
    QList<QTextBlock> blocks;
    const QTextDocument *t = c.document();
    QTextBlock b = t->findBlock(c.selectionStart());
    const QTextBlock last = t->findBlock(c.selectionEnd());
    for (; b.isValid(); b = b.next()) {
        blocks.append(b);
        if (b == last)
            break;
    }
    return blocks;
}


// --- pages of the text's own layout (page layout view) ----------------------------

// The page a position's line is drawn on.
int pageAt(QTextDocument *t, int pos)
{
    const QTextBlock b = t->findBlock(pos);
    t->documentLayout()->blockBoundingRect(b); // lays the block out
    const QTextLayout *l = b.layout();
    const QTextLine line = l->lineForTextPosition(pos - b.position());
    const qreal y = l->position().y() + (line.isValid() ? line.y() : 0);
    return int(y / t->pageSize().height());
}

// The first position drawn on page or after it; -1 when the text ends before.
int firstPositionOnPage(QTextDocument *t, int page)
{
    for (QTextBlock b = t->begin(); b.isValid(); b = b.next()) {
        t->documentLayout()->blockBoundingRect(b);
        const QTextLayout *l = b.layout();
        for (int i = 0; i < l->lineCount(); ++i) {
            const QTextLine line = l->lineAt(i);
            if (int((l->position().y() + line.y()) / t->pageSize().height()) >= page)
                return b.position() + line.textStart();
        }
    }
    return -1;
}

// --- tables ---------------------------------------------------------------------

struct CellRange
{
    QTextTable *Table = nullptr;
    int Row = 0, Column = 0, Rows = 0, Columns = 0;
};

CellRange cellRange(const QTextCursor &c)
{
    CellRange r;
    r.Table = c.currentTable();
    if (!r.Table)
        return r;
    if (c.hasComplexSelection()) {
        c.selectedTableCells(&r.Row, &r.Rows, &r.Column, &r.Columns);
    } else {
        const QTextTableCell cell = r.Table->cellAt(c);
        r.Row = cell.row();
        r.Column = cell.column();
        r.Rows = cell.rowSpan();
        r.Columns = cell.columnSpan();
    }
    return r;
}

enum Edge { EdgeLeft, EdgeTop, EdgeRight, EdgeBottom };

// A cell edge as drawn: its own width when set, else the table's border.
bool hasEdge(QTextTable *t, const QTextTableCell &cell, Edge e)
{
    const QTextTableCellFormat f = cell.format().toTableCellFormat();
    const int props[] = {QTextFormat::TableCellLeftBorder, QTextFormat::TableCellTopBorder,
                         QTextFormat::TableCellRightBorder, QTextFormat::TableCellBottomBorder};
    if (f.hasProperty(props[e]))
        return f.doubleProperty(props[e]) > 0;
    return t->format().border() > 0;
}

void setEdge(QTextTableCellFormat &f, Edge e, bool on)
{
    const qreal w = on ? 1 : 0;
    const auto style = on ? QTextFrameFormat::BorderStyle_Solid : QTextFrameFormat::BorderStyle_None;
    const QBrush brush(Qt::black);
    switch (e) {
    case EdgeLeft: f.setLeftBorder(w); f.setLeftBorderStyle(style); f.setLeftBorderBrush(brush); break;
    case EdgeTop: f.setTopBorder(w); f.setTopBorderStyle(style); f.setTopBorderBrush(brush); break;
    case EdgeRight: f.setRightBorder(w); f.setRightBorderStyle(style); f.setRightBorderBrush(brush); break;
    case EdgeBottom:
        f.setBottomBorder(w); f.setBottomBorderStyle(style); f.setBottomBorderBrush(brush); break;
    }
}

// Sets, in every cell of the range, the edges edgesOf(row, column) names.
template <class EdgesOf>
void applyEdges(const CellRange &r, EdgesOf edgesOf)
{
    for (int row = r.Row; row < r.Row + r.Rows; ++row) {
        for (int col = r.Column; col < r.Column + r.Columns; ++col) {
            QTextTableCell cell = r.Table->cellAt(row, col);
            if (cell.row() != row || cell.column() != col)
                continue; // covered by a merged cell
            QTextTableCellFormat f = cell.format().toTableCellFormat();
            bool changed = false;
            for (Edge e : {EdgeLeft, EdgeTop, EdgeRight, EdgeBottom}) {
                int on = edgesOf(row, col, e); // -1: leave it
                if (on >= 0) {
                    setEdge(f, e, on != 0);
                    changed = true;
                }
            }
            if (changed)
                cell.setFormat(f);
        }
    }
}

QTextCursor cellSpan(QTextTable *t, int row0, int col0, int row1, int col1)
{
    QTextCursor c = t->cellAt(row0, col0).firstCursorPosition();
    c.setPosition(t->cellAt(row1, col1).lastCursorPosition().position(), QTextCursor::KeepAnchor);
    return c;
}

} // namespace

// --- TWPToolsAction ---------------------------------------------------------------

TWPToolsAction::TWPToolsAction(const QString &className, int kind, QObject *parent)
    : QAction(parent), m_className(className), m_kind(kind)
{
    switch (kind) {
    case kBold: case kItalic: case kUnderline: case kStrikeout: case kSubscript: case kSuperscript:
    case kHidden: case kProtected: case kNorm: case kLeft: case kCenter: case kRight: case kJustified:
    case kBullets: case kNumbers: case kFitWidth: case kFitHeight: case kSpellAsYouGo:
    case kBLeft: case kBTop: case kBRight: case kBBottom:
        setCheckable(true);
        break;
    default:
        break;
    }
    setEnabled(false);
    connect(this, &QAction::triggered, this, &TWPToolsAction::Execute);
}

TWPToolsAction::~TWPToolsAction() = default;

TWPRichText *TWPToolsAction::Editor() const { return m_provider ? m_provider() : nullptr; }

void TWPToolsAction::SetEditorProvider(TWPEditorProvider provider) { m_provider = std::move(provider); }

void TWPToolsAction::Execute()
{
    TWPRichText *e = Editor();
    if (!e)
        return;
    if (OnIsEnabled ? OnIsEnabled(*e) : IsEnabledFor(*e)) {
        if (OnExecute)
            OnExecute(*e);
        else
            ExecuteOn(*e);
    }
    // A checkable action was toggled by the trigger: show the editor's state.
    UpdateFor(Editor());
}

void TWPToolsAction::UpdateFor(TWPRichText *editor)
{
    setEnabled(editor && (OnIsEnabled ? OnIsEnabled(*editor) : IsEnabledFor(*editor)));
    if (isCheckable())
        setChecked(editor && IsCheckedFor(*editor));
}

bool TWPToolsAction::MayEdit(TWPRichText &editor, const QTextCursor &cursor)
{
    if (editor.ReadOnly() || !editor.Document().CanEdit(cursor)) {
        Q_EMIT editor.EditRefused();
        return false;
    }
    return true;
}

QTextCursor TWPToolsAction::BlockSpan(const QTextCursor &c)
{
    QTextCursor span(c.document());
    span.setPosition(c.document()->findBlock(c.selectionStart()).position());
    const QTextBlock last = c.document()->findBlock(c.selectionEnd());
    span.setPosition(last.position() + last.length() - 1, QTextCursor::KeepAnchor);
    return span;
}

TWPCustomDialog *TWPToolsAction::Dialog(const QString &className)
{
    if (DialogSource)
        return DialogSource(className);
    if (!m_dialog)
        m_dialog = TWPCustomDialog::Create(className, this);
    return m_dialog;
}

bool TWPToolsAction::IsEnabledFor(TWPRichText &e)
{
    const QTextCursor c = e.TextCursor();
    const bool editable = !e.ReadOnly();
    switch (m_kind) {
    case kUnsupported: return false;
    case kUndo: return e.CanUndo();
    case kRedo: return e.CanRedo();
    case kCopy: return c.hasSelection();
    case kCut: case kDeleteText: return editable && c.hasSelection();
    case kHideSelection: return c.hasSelection();
    case kPaste: return e.CanInsertFromMimeData(QApplication::clipboard()->mimeData());
    case kSelAll: case kZoomIn: case kZoomOut: case kFitWidth: case kFitHeight: case kOpen:
    case kSave: case kExit:
        return true;
    case kPriorPage: case kNextPage: {
        if (e.LayoutMode() != wplayPageLayout || e.Document().Text()->pageSize().height() <= 0)
            return false;
        const int page = pageAt(e.Document().Text(), c.position());
        return m_kind == kPriorPage ? page > 0 : firstPositionOnPage(e.Document().Text(), page + 1) >= 0;
    }
    case kInsRow: case kInsCol: case kDelRow: case kDelCol: case kSelectRow: case kSelectColumn:
    case kBLeft: case kBTop: case kBRight: case kBBottom: case kBInner: case kBOuter: case kBAllOff:
        return editable && c.currentTable();
    case kCombine: return editable && c.currentTable() && c.hasComplexSelection();
    case kSplitCells: {
        if (!editable || !c.currentTable())
            return false;
        const QTextTableCell cell = c.currentTable()->cellAt(c);
        return cell.rowSpan() > 1 || cell.columnSpan() > 1;
    }
    case kInsertNumber: return editable && data().toInt() >= 0 && data().toInt() < int(std::size(NumberFields));
    case kInsertField: return editable && !data().toString().isEmpty();
    case kSearch: return TWPCustomDialog::IsRegistered(QStringLiteral("TWPFindDlg"));
    case kReplace: return editable && TWPCustomDialog::IsRegistered(QStringLiteral("TWPReplaceDlg"));
    case kEditHyperlink: return editable && TWPCustomDialog::IsRegistered(QStringLiteral("TWPHyperlinkDlg"));
    case kPrint: return !QPrinterInfo::defaultPrinter().isNull();
    case kPrinterSetup: return editable;
    case kSpellcheck: case kSpellAsYouGo: case kThesaurus:
        return bool(OnExecute); // the module's spell controller does the work
    case kDecIndent: {
        for (const QTextBlock &b : selectedBlocks(c))
            if (b.blockFormat().indent() > 0 || (b.textList() && b.textList()->format().indent() > 1))
                return editable;
        return false;
    }
    default:
        return editable;
    }
}

bool TWPToolsAction::IsCheckedFor(TWPRichText &e)
{
    const QTextCursor c = e.TextCursor();
    switch (m_kind) {
    case kBold: case kItalic: case kUnderline: case kStrikeout: case kSubscript: case kSuperscript:
    case kHidden: case kProtected: case kNorm:
        return hasCharAttr(c.charFormat(), m_kind);
    case kLeft: case kCenter: case kRight: case kJustified: {
        const Qt::Alignment a = c.blockFormat().alignment() & Qt::AlignHorizontal_Mask;
        const Qt::Alignment want = alignOf(m_kind);
        return a == want || (m_kind == kLeft && (a == Qt::AlignLeading || a == 0));
    }
    case kBullets: case kNumbers: {
        const QTextList *l = c.currentList();
        return l && isBulletStyle(l->format().style()) == (m_kind == kBullets);
    }
    case kFitWidth: return e.ZoomMode() == wpZoomPageWidth;
    case kFitHeight: return e.ZoomMode() == wpZoomFullPage;
    case kBLeft: case kBTop: case kBRight: case kBBottom: {
        QTextTable *t = c.currentTable();
        return t && hasEdge(t, t->cellAt(c), Edge(m_kind - kBLeft));
    }
    default:
        return isChecked();
    }
}

void TWPToolsAction::ExecuteOn(TWPRichText &e)
{
    QTextCursor c = e.TextCursor();
    QTextDocument *t = e.Document().Text();
    switch (m_kind) {
    case kBold: case kItalic: case kUnderline: case kStrikeout: case kSubscript: case kSuperscript:
    case kHidden: case kProtected: case kNorm: {
        // Only unprotecting may touch protected text.
        const bool unprotect = m_kind == kProtected && hasCharAttr(c.charFormat(), kProtected);
        if (unprotect ? e.ReadOnly() : !MayEdit(e, c)) {
            if (unprotect)
                Q_EMIT e.EditRefused();
            return;
        }
        const QTextCharFormat f = charAttr(m_kind, m_kind == kNorm || !hasCharAttr(c.charFormat(), m_kind));
        // Without a selection the caret's format changes: it is what is typed next.
        c.beginEditBlock();
        c.mergeCharFormat(f);
        c.endEditBlock();
        e.SetTextCursor(c);
        return;
    }
    case kLeft: case kCenter: case kRight: case kJustified: {
        if (!MayEdit(e, BlockSpan(c)))
            return;
        QTextBlockFormat bf;
        bf.setAlignment(alignOf(m_kind));
        c.beginEditBlock();
        c.mergeBlockFormat(bf);
        c.endEditBlock();
        e.SetTextCursor(c);
        return;
    }
    case kBullets: case kNumbers: {
        if (!MayEdit(e, BlockSpan(c)))
            return;
        const bool bullets = m_kind == kBullets;
        QTextList *l = c.currentList();
        c.beginEditBlock();
        if (l && isBulletStyle(l->format().style()) == bullets) {
            for (const QTextBlock &b : selectedBlocks(c)) {
                if (QTextList *bl = b.textList()) {
                    bl->remove(b);
                    QTextCursor bc(b);
                    QTextBlockFormat bf = b.blockFormat();
                    bf.setIndent(0);
                    bc.setBlockFormat(bf);
                }
            }
        } else if (l) {
            QTextListFormat lf = l->format();
            lf.setStyle(bullets ? QTextListFormat::ListDisc : QTextListFormat::ListDecimal);
            l->setFormat(lf);
        } else {
            c.createList(bullets ? QTextListFormat::ListDisc : QTextListFormat::ListDecimal);
        }
        c.endEditBlock();
        e.SetTextCursor(c);
        return;
    }
    case kIncIndent: case kDecIndent: {
        if (!MayEdit(e, BlockSpan(c)))
            return;
        const int step = m_kind == kIncIndent ? 1 : -1;
        QList<QTextList *> lists;
        c.beginEditBlock();
        for (const QTextBlock &b : selectedBlocks(c)) {
            if (QTextList *l = b.textList()) {
                if (!lists.contains(l))
                    lists.append(l);
                continue;
            }
            QTextCursor bc(b);
            QTextBlockFormat bf = b.blockFormat();
            bf.setIndent(std::max(0, bf.indent() + step));
            bc.setBlockFormat(bf);
        }
        for (QTextList *l : lists) {
            QTextListFormat lf = l->format();
            lf.setIndent(std::max(1, lf.indent() + step));
            l->setFormat(lf);
        }
        c.endEditBlock();
        e.SetTextCursor(c);
        return;
    }
    case kUndo: e.Undo(); return;
    case kRedo: e.Redo(); return;
    case kCopy: e.Copy(); return;
    case kCut: e.Cut(); return;
    case kPaste: e.Paste(); return;
    case kSelAll: e.SelectAll(); return;
    case kDeleteText:
        if (!MayEdit(e, c))
            return;
        c.beginEditBlock();
        c.removeSelectedText();
        c.endEditBlock();
        e.SetTextCursor(c);
        return;
    case kHideSelection:
        c.clearSelection();
        e.SetTextCursor(c);
        return;
    case kZoomIn: case kZoomOut:
        e.SetZoomMode(std::clamp(e.Zoom() + (m_kind == kZoomIn ? 10 : -10), 10, 500));
        return;
    case kFitWidth: e.SetZoomMode(wpZoomPageWidth); return;
    case kFitHeight: e.SetZoomMode(wpZoomFullPage); return;
    case kPriorPage: case kNextPage: {
        const int page = pageAt(t, c.position());
        const int pos = firstPositionOnPage(t, std::max(0, page + (m_kind == kNextPage ? 1 : -1)));
        if (pos >= 0) {
            c.setPosition(pos);
            e.SetTextCursor(c);
        }
        return;
    }
    case kCreateTable: {
        if (TWPCustomDialog *dlg = Dialog(QStringLiteral("TWPTableDlg"))) {
            dlg->SetEditBox(&e);
            dlg->Execute();
            return;
        }
        if (!MayEdit(e, c))
            return;
        // The engine's own table look: one-unit collapsed borders.
        QTextTableFormat tf;
        tf.setBorder(1);
        tf.setBorderCollapse(true);
        tf.setCellPadding(2);
        tf.setCellSpacing(0);
        c.beginEditBlock();
        c.removeSelectedText();
        c.insertTable(WPDefaultTableRows, WPDefaultTableColumns, tf);
        c.endEditBlock();
        e.SetTextCursor(c);
        return;
    }
    default:
        break;
    }

    const CellRange r = cellRange(c);
    switch (m_kind) {
    case kInsRow: case kInsCol: case kDelRow: case kDelCol: case kCombine: case kSplitCells:
    case kBLeft: case kBTop: case kBRight: case kBBottom: case kBInner: case kBOuter: case kBAllOff: {
        if (!r.Table)
            return;
        const QTextCursor span = cellSpan(r.Table, r.Row, r.Column, r.Row + r.Rows - 1, r.Column + r.Columns - 1);
        // Rows and columns are edited whole: check all of them.
        QTextCursor check = span;
        if (m_kind == kDelRow || m_kind == kInsRow)
            check = cellSpan(r.Table, r.Row, 0, r.Row + r.Rows - 1, r.Table->columns() - 1);
        else if (m_kind == kDelCol || m_kind == kInsCol)
            check = cellSpan(r.Table, 0, r.Column, r.Table->rows() - 1, r.Column + r.Columns - 1);
        if (!MayEdit(e, check))
            return;
        QTextCursor edit(t);
        edit.beginEditBlock();
        switch (m_kind) {
        case kInsRow: r.Table->insertRows(r.Row + r.Rows, 1); break;
        case kInsCol: r.Table->insertColumns(r.Column + r.Columns, 1); break;
        case kDelRow: r.Table->removeRows(r.Row, r.Rows); break;
        case kDelCol: r.Table->removeColumns(r.Column, r.Columns); break;
        case kCombine: r.Table->mergeCells(r.Row, r.Column, r.Rows, r.Columns); break;
        case kSplitCells: r.Table->splitCell(r.Row, r.Column, 1, 1); break;
        case kBLeft: case kBTop: case kBRight: case kBBottom: {
            const Edge edge = Edge(m_kind - kBLeft);
            const bool on = !hasEdge(r.Table, r.Table->cellAt(c), edge);
            const int last[] = {r.Column, r.Row, r.Column + r.Columns - 1, r.Row + r.Rows - 1};
            applyEdges(r, [&](int row, int col, Edge e2) {
                if (e2 != edge)
                    return -1;
                const int at = edge == EdgeLeft || edge == EdgeRight ? col : row;
                return at == last[edge] ? int(on) : -1;
            });
            break;
        }
        case kBOuter: case kBInner: {
            const bool outer = m_kind == kBOuter;
            applyEdges(r, [&](int row, int col, Edge e2) {
                const bool isOuter = (e2 == EdgeLeft && col == r.Column) || (e2 == EdgeTop && row == r.Row)
                                     || (e2 == EdgeRight && col == r.Column + r.Columns - 1)
                                     || (e2 == EdgeBottom && row == r.Row + r.Rows - 1);
                return isOuter == outer ? 1 : -1;
            });
            break;
        }
        case kBAllOff:
            applyEdges(r, [](int, int, Edge) { return 0; });
            break;
        }
        edit.endEditBlock();
        e.SetTextCursor(e.TextCursor());
        return;
    }
    case kSelectRow: case kSelectColumn:
        if (!r.Table)
            return;
        e.SetTextCursor(m_kind == kSelectRow
                            ? cellSpan(r.Table, r.Row, 0, r.Row + r.Rows - 1, r.Table->columns() - 1)
                            : cellSpan(r.Table, 0, r.Column, r.Table->rows() - 1, r.Column + r.Columns - 1));
        return;
    case kInsertNumber:
        WPInsertField(e, NumberFields[data().toInt()]);
        return;
    case kInsertField:
        WPInsertField(e, TWPFieldKind::Named, data().toString());
        return;
    case kSearch: case kReplace: case kEditHyperlink: {
        const char *cls = m_kind == kSearch ? "TWPFindDlg" : m_kind == kReplace ? "TWPReplaceDlg" : "TWPHyperlinkDlg";
        if (TWPCustomDialog *dlg = Dialog(QString::fromLatin1(cls))) {
            dlg->SetEditBox(&e);
            dlg->Execute();
        }
        return;
    }
    case kOpen: WPOpenDialog(e); return;
    case kSave: WPSaveDialog(e, false); return;
    case kExit:
        if (QWidget *w = e.window())
            w->close();
        return;
    case kNew: case kClose:
        e.Clear();
        SetWPEditorFileName(e, {});
        return;
    case kPrint: WPPrintEditor(e, false); return;
    case kPrinterSetup: WPPrinterSetup(e); return;
    default:
        return;
    }
}

TWPToolsAction *CreateWPToolsAction(const QString &className, QObject *parent)
{
    for (const ClassDef &def : Classes)
        if (className.compare(QLatin1String(def.Name), Qt::CaseInsensitive) == 0)
            return new TWPToolsAction(QString::fromLatin1(def.Name), def.K, parent);
    return nullptr;
}

QStringList WPToolsActionClasses()
{
    QStringList names;
    for (const ClassDef &def : Classes)
        names.append(QString::fromLatin1(def.Name));
    return names;
}

// --- files and printing -------------------------------------------------------------

QString WPEditorFileName(const TWPRichText &editor) { return editor.property(FileNameProperty).toString(); }

void SetWPEditorFileName(TWPRichText &editor, const QString &fileName)
{
    editor.setProperty(FileNameProperty, fileName);
}

bool WPLoadEditorFile(TWPRichText &editor, const QString &fileName)
{
    bool ok;
    if (auto *d = qobject_cast<TdWPRichText *>(&editor))
        ok = d->LoadFromFile(fileName);
    else
        ok = editor.Edit().LoadFromFile(fileName);
    if (ok) {
        SetWPEditorFileName(editor, fileName);
        editor.SetTextCursor(QTextCursor(editor.Document().Text()));
    }
    return ok;
}

bool WPSaveEditorFile(TWPRichText &editor, const QString &fileName)
{
    const bool ok = qobject_cast<TdWPRichText *>(&editor)
                        ? static_cast<TdWPRichText &>(editor).SaveToFile(fileName)
                        : editor.Edit().SaveToFile(fileName);
    if (ok) {
        SetWPEditorFileName(editor, fileName);
        editor.SetModified(false);
    }
    return ok;
}

namespace {
const QString FileFilter = QStringLiteral(
    "Documents (*.rtf *.wpt *.htm *.html *.txt);;RTF (*.rtf);;HTML (*.htm *.html);;Text (*.txt);;All files (*)");
}

bool WPOpenDialog(TWPRichText &editor)
{
    const QString name = QFileDialog::getOpenFileName(&editor, QString(), WPEditorFileName(editor), FileFilter);
    return !name.isEmpty() && WPLoadEditorFile(editor, name);
}

bool WPSaveDialog(TWPRichText &editor, bool saveAs)
{
    QString name = WPEditorFileName(editor);
    if (saveAs || name.isEmpty())
        name = QFileDialog::getSaveFileName(&editor, QString(), name, FileFilter);
    return !name.isEmpty() && WPSaveEditorFile(editor, name);
}

void WPInsertField(TWPRichText &editor, TWPFieldKind kind, const QString &name)
{
    QTextCursor c = editor.TextCursor();
    if (!TWPToolsAction::MayEdit(editor, c))
        return;
    // The caret's format without what a field or picture before it carries.
    QTextCharFormat base = c.charFormat();
    for (int p : {int(QTextFormat::ObjectType), int(wpFieldKind), int(wpFieldName), int(wpFieldFormat),
                  int(wpFieldResult), int(wpPictureName), int(QTextFormat::ImageName)})
        base.clearProperty(p);
    c.beginEditBlock();
    c.removeSelectedText();
    editor.Document().InsertField(c, kind, name, {}, base);
    c.endEditBlock();
    editor.SetTextCursor(c);
}

bool WPPrintEditor(TWPRichText &editor, bool showDialog)
{
    if (QPrinterInfo::defaultPrinter().isNull() && !showDialog)
        return false;
    QPrinter printer(QPrinter::HighResolution);
    if (showDialog) {
        QPrintDialog dlg(&printer, &editor);
        if (dlg.exec() != QDialog::Accepted)
            return false;
    }
    editor.ReformatAll();
    return WPPrintPages(editor.Document(), printer);
}

QPageLayout WPPageLayout(const TWPPageSetup &setup)
{
    const bool landscape = setup.Landscape || setup.PageWidth > setup.PageHeight;
    const QSizeF portrait(std::min(setup.PageWidth, setup.PageHeight) / 20.0,
                          std::max(setup.PageWidth, setup.PageHeight) / 20.0);
    const QPageSize size(portrait, QPageSize::Point, QString(), QPageSize::FuzzyMatch);
    return QPageLayout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(setup.MarginLeft / 20.0, setup.MarginTop / 20.0, setup.MarginRight / 20.0,
                                 setup.MarginBottom / 20.0),
                       QPageLayout::Point);
}

void WPApplyPageLayout(const QPageLayout &layout, TWPPageSetup &setup)
{
    const QSizeF points = layout.pageSize().size(QPageSize::Point);
    const auto twips = [](qreal pt) { return int(std::lround(pt * 20)); };
    const bool landscape = layout.orientation() == QPageLayout::Landscape;
    const int width = twips(landscape ? points.height() : points.width());
    const int height = twips(landscape ? points.width() : points.height());
    // The dialog names sizes in whole points (A4 is 595 x 842): the size a
    // text had stays exact when only that rounding tells them apart.
    // Turning the page keeps them exact too.
    constexpr int Rounding = 20;
    const int shortSide = std::min(setup.PageWidth, setup.PageHeight), longSide = std::max(setup.PageWidth, setup.PageHeight);
    const bool same = std::abs(std::min(width, height) - shortSide) <= Rounding
                      && std::abs(std::max(width, height) - longSide) <= Rounding;
    setup.PageWidth = same ? (landscape ? longSide : shortSide) : width;
    setup.PageHeight = same ? (landscape ? shortSide : longSide) : height;
    setup.Landscape = landscape;
    const QMarginsF m = layout.margins(QPageLayout::Point);
    setup.MarginLeft = twips(m.left());
    setup.MarginTop = twips(m.top());
    setup.MarginRight = twips(m.right());
    setup.MarginBottom = twips(m.bottom());
}

bool WPPrinterSetup(TWPRichText &editor)
{
    TWPDocument &doc = editor.Document();
    TWPPageSetup &setup = doc.PageSetup(doc.SectionAt(editor.TextCursor().position()));
    QPrinter printer;
    printer.setPageLayout(WPPageLayout(setup));
    QPageSetupDialog dialog(&printer, &editor);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const TWPPageSetup before = setup;
    WPApplyPageLayout(printer.pageLayout(), setup);
    if (setup == before)
        return true;
    editor.SetModified(true);
    editor.ReformatAll();
    return true;
}

} // namespace zor
