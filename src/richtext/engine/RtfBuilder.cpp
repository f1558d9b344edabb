#include "RtfBuilder_p.h"

#include "Document.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>

#include <algorithm>

namespace zor::rtf {

namespace {

// Column edges beyond this many are merged into the last column: no word
// processor makes wider tables, and each column costs layout time.
constexpr size_t kMaxColumns = 64;

} // namespace

Builder::Builder(TWPDocument &doc, QTextDocument *text) : m_doc(doc), m_text(text), m_cursor(text)
{
    m_cursor.movePosition(QTextCursor::End);
    // One edit for the whole load: outside an edit block every insert makes
    // Qt find the cursor's line again (itemizing the paragraph so far), and
    // every table rescans all of the text for frames.
    m_cursor.beginEditBlock();
    m_editing = true;
}

Builder::~Builder()
{
    if (m_editing)
        m_cursor.endEditBlock();
}

std::vector<Item> *Builder::container(int depth)
{
    depth = std::clamp(depth, 0, MaxTableDepth);
    while (int(m_tables.size()) > depth)
        closeTable();
    while (int(m_tables.size()) < depth)
        m_tables.push_back(std::make_shared<TableBuild>());
    return depth == 0 ? nullptr : &m_tables.back()->Cell.Items;
}

void Builder::add(int depth, Item &&item)
{
    if (std::vector<Item> *items = container(depth))
        items->push_back(std::move(item));
    else
        put(m_cursor, item);
}

void Builder::AddText(int depth, const QString &text, const QTextCharFormat &format)
{
    if (text.isEmpty())
        return;
    add(depth, Item{Item::Text, text, format, {}, {}});
}

void Builder::AddImage(int depth, const QString &name, const QTextImageFormat &format)
{
    add(depth, Item{Item::Image, name, format, {}, {}});
}

void Builder::EndParagraph(int depth, const ParaInfo &para)
{
    add(depth, Item{Item::ParEnd, {}, {}, para, {}});
    m_hasPending = false;
}

void Builder::EndCell(int depth, const ParaInfo &para)
{
    depth = std::clamp(depth, 1, MaxTableDepth);
    container(depth)->push_back(Item{Item::ParFormat, {}, {}, para, {}});
    TableBuild &t = *m_tables.back();
    t.Current.Cells.push_back(std::move(t.Cell));
    t.Cell = {};
    m_hasPending = false;
}

void Builder::EndRow(int depth, const RowDef &def)
{
    depth = std::clamp(depth, 1, MaxTableDepth);
    container(depth);
    TableBuild &t = *m_tables.back();
    if (!t.Cell.Items.empty()) {
        t.Current.Cells.push_back(std::move(t.Cell));
        t.Cell = {};
    }
    t.Current.Def = def;
    t.Rows.push_back(std::move(t.Current));
    t.Current = {};
}

void Builder::Bookmark(int depth, const QString &name, bool start)
{
    if (!name.isEmpty())
        add(depth, Item{start ? Item::BookmarkStart : Item::BookmarkEnd, name, {}, {}, {}});
}

void Builder::closeTable()
{
    std::shared_ptr<TableBuild> t = m_tables.back();
    m_tables.pop_back();
    // A row whose \row never came still shows its cells.
    if (!t->Cell.Items.empty()) {
        t->Current.Cells.push_back(std::move(t->Cell));
        t->Cell = {};
    }
    if (!t->Current.Cells.empty())
        t->Rows.push_back(std::move(t->Current));
    if (t->Rows.empty())
        return;
    if (m_tables.empty()) {
        emitTable(m_cursor, *t);
    } else {
        m_tables.back()->Cell.Items.push_back(Item{Item::Table, {}, {}, {}, t});
    }
}

void Builder::applyPara(QTextCursor &cursor, const ParaInfo &para)
{
    QTextBlockFormat bf = para.Block;
    if (m_pageBreak) {
        bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        m_pageBreak = false;
    }
    // Keep the section mark our document placed on this block.
    const QTextBlockFormat old = cursor.blockFormat();
    if (old.hasProperty(wpSectionIndex))
        bf.setProperty(wpSectionIndex, old.property(wpSectionIndex));
    cursor.setBlockFormat(bf);
    if (para.ListKey.isEmpty())
        return;
    auto it = m_lists.find(para.ListKey);
    if (it != m_lists.end() && it->second && it->second->document() == m_text)
        it->second->add(cursor.block());
    else
        m_lists[para.ListKey] = cursor.createList(para.ListFormat);
}

void Builder::put(QTextCursor &cursor, Item &item)
{
    switch (item.kind) {
    case Item::Text:
        cursor.insertText(item.text, item.format);
        break;
    case Item::Image:
        cursor.insertImage(item.format.toImageFormat());
        break;
    case Item::ParEnd:
        applyPara(cursor, item.para);
        cursor.insertBlock(QTextBlockFormat()); // no list, no section mark carried over
        break;
    case Item::ParFormat:
        applyPara(cursor, item.para);
        break;
    case Item::Table:
        if (item.table)
            emitTable(cursor, *item.table);
        break;
    case Item::BookmarkStart:
        m_bookmarkStarts[item.text] = cursor.position();
        break;
    case Item::BookmarkEnd: {
        const auto it = m_bookmarkStarts.find(item.text);
        const int start = it == m_bookmarkStarts.end() ? cursor.position() : it->second;
        if (m_text == m_doc.Text())
            m_doc.AddBookmark(item.text, start, cursor.position());
        break;
    }
    }
}

void Builder::emitTable(QTextCursor &cursor, TableBuild &table)
{
    // The column grid: every edge any row names, left edges included.
    std::vector<int> edges;
    for (RowBuild &row : table.Rows) {
        int prev = row.Def.Left;
        edges.push_back(prev);
        // A row with more cells than \cellx gets 1-inch cells for the rest,
        // narrower where that would pass the last edge a reader accepts.
        while (row.Def.Cells.size() < row.Cells.size()) {
            CellDef c;
            const int last = row.Def.Cells.empty() ? prev : row.Def.Cells.back().Right;
            c.Right = std::max(last + 1, std::min(last + 1440, MaxCellEdge));
            row.Def.Cells.push_back(c);
        }
        for (CellDef &c : row.Def.Cells) {
            c.Right = std::max(c.Right, prev + 1); // edges only go right
            prev = c.Right;
            edges.push_back(prev);
        }
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    if (edges.size() > kMaxColumns + 1)
        edges.resize(kMaxColumns + 1);
    const auto column = [&](int x) {
        const auto it = std::lower_bound(edges.begin(), edges.end(), x);
        return std::min(int(it - edges.begin()), int(edges.size()) - 1);
    };
    const int cols = std::max(1, int(edges.size()) - 1);
    const int rows = int(table.Rows.size());

    struct Placed
    {
        int row, col, rowSpan, colSpan;
        std::vector<Item> *items;
        QColor background;
        CellDef def;
    };
    std::vector<Placed> placed;
    // owner[r * cols + c]: index into placed of the cell covering that slot.
    std::vector<int> owner(size_t(rows) * size_t(cols), -1);
    bool borders = false;
    std::vector<Item> merged; // content of merged-away cells with nowhere to go

    for (int r = 0; r < rows; ++r) {
        RowBuild &row = table.Rows[size_t(r)];
        borders = borders || row.Def.Borders;
        int prev = row.Def.Left;
        int lastPlaced = -1;
        for (size_t i = 0; i < row.Def.Cells.size(); ++i) {
            const CellDef &def = row.Def.Cells[i];
            std::vector<Item> *items = i < row.Cells.size() ? &row.Cells[i].Items : &merged;
            const int c0 = std::min(column(prev), cols - 1);
            const int c1 = std::max(c0 + 1, std::min(column(def.Right), cols));
            prev = def.Right;
            int target = -1;
            if (def.MergeNext && lastPlaced >= 0) {
                target = lastPlaced;
                Placed &p = placed[size_t(target)];
                p.colSpan = std::max(p.colSpan, c1 - p.col);
            } else if (def.VMergeNext && r > 0 && owner[size_t(r - 1) * cols + c0] >= 0) {
                target = owner[size_t(r - 1) * cols + c0];
                Placed &p = placed[size_t(target)];
                if (p.row + p.rowSpan == r)
                    p.rowSpan += 1;
            }
            if (target >= 0) {
                for (int c = c0; c < c1; ++c)
                    if (owner[size_t(r) * cols + c] < 0)
                        owner[size_t(r) * cols + c] = target;
                // Merged cells keep their text: it goes to the surviving cell.
                bool hasText = false;
                for (const Item &it : *items)
                    hasText = hasText || it.kind == Item::Text || it.kind == Item::Image || it.kind == Item::Table;
                std::vector<Item> *dest = placed[size_t(target)].items;
                // A row with more cell edges than cells gives its extra edges
                // the shared leftover list, which may be the target itself.
                if (hasText && dest != items) {
                    if (!dest->empty() && dest->back().kind == Item::ParFormat)
                        dest->back().kind = Item::ParEnd;
                    for (Item &it : *items)
                        dest->push_back(std::move(it));
                    // Moved-from items must not be emitted again (the shared
                    // leftover list can still be placed as a cell later).
                    items->clear();
                }
                lastPlaced = target;
                continue;
            }
            if (owner[size_t(r) * cols + c0] >= 0)
                continue; // the slot is taken (edges out of order)
            placed.push_back({r, c0, 1, c1 - c0, items, def.Background, def});
            lastPlaced = int(placed.size()) - 1;
            for (int c = c0; c < c1; ++c)
                if (owner[size_t(r) * cols + c] < 0)
                    owner[size_t(r) * cols + c] = lastPlaced;
        }
    }

    QTextTableFormat tf;
    tf.setCellPadding(2);
    tf.setCellSpacing(0);
    tf.setBorder(borders ? 1 : 0);
    tf.setBorderCollapse(true);
    // Column widths: fixed by the edges, unless every cell asks for automatic
    // widths or every cell gives a percentage.
    bool allAuto = true, allPercent = true;
    for (const RowBuild &row : table.Rows)
        for (const CellDef &def : row.Def.Cells) {
            allAuto = allAuto && def.WidthType == 1;
            allPercent = allPercent && def.WidthType == 2;
        }
    QList<QTextLength> widths;
    if (allPercent) {
        std::vector<double> pct(size_t(cols), 100.0 / cols);
        for (const RowBuild &row : table.Rows) {
            int prev = row.Def.Left;
            for (const CellDef &def : row.Def.Cells) {
                const int c0 = std::min(column(prev), cols - 1);
                if (column(def.Right) == c0 + 1)
                    pct[size_t(c0)] = std::clamp(def.Width / 50.0, 0.0, 100.0);
                prev = def.Right;
            }
        }
        for (double p : pct)
            widths << QTextLength(QTextLength::PercentageLength, p);
    } else if (!allAuto) {
        for (int c = 0; c < cols; ++c)
            widths << QTextLength(QTextLength::FixedLength, TwipsToUnits(edges.size() > size_t(c + 1) ? edges[size_t(c) + 1] - edges[size_t(c)] : 1440));
    }
    tf.setColumnWidthConstraints(widths);
    if (!edges.empty() && edges.front() > 0)
        tf.setLeftMargin(TwipsToUnits(edges.front()));

    // A table needs a block before it. When the paragraph before the table
    // was ended (as writers do), the new empty block would be one too many:
    // the table goes after the ended paragraph instead.
    const QTextBlock current = cursor.block();
    const QTextBlock prev = current.previous();
    bool sameContainer = prev.isValid() && QTextCursor(prev).currentFrame() == cursor.currentFrame();
    if (sameContainer) {
        if (QTextTable *outer = cursor.currentTable())
            sameContainer = outer->cellAt(prev.position()) == outer->cellAt(cursor.position());
    }
    if (current.length() == 1 && sameContainer && !current.textList()) {
        // Joining keeps the second block's format: give it the first's.
        const QTextBlockFormat keep = prev.blockFormat();
        cursor.deletePreviousChar();
        cursor.setBlockFormat(keep);
        // Within the load's edit block bookmarks are ours to move.
        if (m_text == m_doc.Text()) {
            const int gone = cursor.position();
            const std::vector<TWPBookmark> marks = m_doc.Bookmarks();
            for (const TWPBookmark &b : marks)
                if (b.End > gone)
                    m_doc.AddBookmark(b.Name, b.Start > gone ? b.Start - 1 : b.Start, b.End - 1);
        }
    }
    QTextTable *t = cursor.insertTable(rows, cols, tf);
    for (const Placed &p : placed)
        if (p.rowSpan > 1 || p.colSpan > 1)
            t->mergeCells(p.row, p.col, p.rowSpan, p.colSpan);
    for (const Placed &p : placed) {
        QTextTableCell cell = t->cellAt(p.row, p.col);
        if (p.background.isValid()) {
            QTextTableCellFormat cf = cell.format().toTableCellFormat();
            cf.setBackground(p.background);
            cell.setFormat(cf);
        }
        // A cell that lines only some of its edges keeps its own lines; one
        // lined all round takes the table's.
        const auto &on = p.def.EdgeOn;
        const bool given = on[0] >= 0 || on[1] >= 0 || on[2] >= 0 || on[3] >= 0;
        if (given && !(on[0] == 1 && on[1] == 1 && on[2] == 1 && on[3] == 1)) {
            QTextTableCellFormat cf = cell.format().toTableCellFormat();
            for (int e = 0; e < 4; ++e) {
                const qreal width = on[e] == 1 ? std::max<qreal>(1, TwipsToUnits(p.def.EdgeWidth[e])) : 0;
                const auto style = width > 0 ? QTextFrameFormat::BorderStyle_Solid : QTextFrameFormat::BorderStyle_None;
                const QBrush ink(Qt::black);
                switch (e) {
                case 0: cf.setLeftBorder(width); cf.setLeftBorderStyle(style); cf.setLeftBorderBrush(ink); break;
                case 1: cf.setTopBorder(width); cf.setTopBorderStyle(style); cf.setTopBorderBrush(ink); break;
                case 2: cf.setRightBorder(width); cf.setRightBorderStyle(style); cf.setRightBorderBrush(ink); break;
                default: cf.setBottomBorder(width); cf.setBottomBorderStyle(style); cf.setBottomBorderBrush(ink); break;
                }
            }
            cell.setFormat(cf);
        }
        QTextCursor cc = cell.firstCursorPosition();
        for (Item &it : *p.items)
            put(cc, it);
    }
    cursor = t->lastCursorPosition();
    cursor.movePosition(QTextCursor::NextBlock);
}

void Builder::Finish()
{
    while (!m_tables.empty())
        closeTable();
    if (m_hasPending) {
        applyPara(m_cursor, m_pending);
        m_hasPending = false;
    }
    if (m_editing) {
        m_editing = false;
        m_cursor.endEditBlock();
    }
}

} // namespace zor::rtf
