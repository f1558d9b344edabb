// Internal: puts read content into a QTextDocument through a cursor. Table
// content is collected until its table ends, because a table's column grid
// is only known once all of its rows have been read.
//
// W A R N I N G: not part of the library's API.
#pragma once

#include <QPointer>
#include <QSizeF>
#include <QString>
#include <QTextCursor>
#include <QTextFormat>
#include <QTextList>

#include <map>
#include <memory>
#include <vector>

namespace zor {

class TWPDocument;

namespace rtf {

struct ParaInfo
{
    QTextBlockFormat Block;
    QString ListKey;          // empty: not in a list; equal keys: one list
    QTextListFormat ListFormat;
};

struct CellDef
{
    int Right = 0;            // \cellx, twips from the row's origin
    bool MergeFirst = false;  // \clmgf
    bool MergeNext = false;   // \clmrg
    bool VMergeFirst = false; // \clvmgf
    bool VMergeNext = false;  // \clvmrg
    QColor Background;
    int WidthType = 0;        // \clftsWidth: 1 automatic, 2 fiftieths of a percent, 3 twips
    int Width = 0;            // \clwWidth
    // Own lines of the cell's edges (left, top, right, bottom), as \clbrdr*
    // gave them: -1 not given, 0 none, 1 a line of EdgeWidth twips.
    signed char EdgeOn[4] = {-1, -1, -1, -1};
    int EdgeWidth[4] = {0, 0, 0, 0};
};

struct RowDef
{
    int Left = 0;             // \trleft
    bool Borders = false;
    std::vector<CellDef> Cells;
};

struct TableBuild;

struct Item
{
    enum Kind { Text, Image, ParEnd, ParFormat, Table, BookmarkStart, BookmarkEnd } kind;
    QString text;             // text, picture or bookmark name
    QTextCharFormat format;   // Text and Image (an image format)
    ParaInfo para;            // ParEnd, ParFormat
    std::shared_ptr<TableBuild> table;
};

struct CellBuild
{
    std::vector<Item> Items;
};

struct RowBuild
{
    std::vector<CellBuild> Cells;
    RowDef Def;
};

struct TableBuild
{
    std::vector<RowBuild> Rows;
    RowBuild Current;
    CellBuild Cell;
};

class Builder
{
public:
    // Nesting deeper than this is read as the deepest allowed table.
    static constexpr int MaxTableDepth = 12;
    // Cell edges are read up to this (twips); an edge the reader makes up
    // stays within it too, so that what is written reads back the same.
    static constexpr int MaxCellEdge = 31680 * 4;

    // The text is edited in one edit block, from here to Finish.
    Builder(TWPDocument &doc, QTextDocument *text);
    ~Builder();
    Builder(const Builder &) = delete;
    Builder &operator=(const Builder &) = delete;

    void AddText(int depth, const QString &text, const QTextCharFormat &format);
    void AddImage(int depth, const QString &name, const QTextImageFormat &format);
    void EndParagraph(int depth, const ParaInfo &para);
    // The paragraph format last in effect, for a final paragraph without \par.
    void NoteParagraph(const ParaInfo &para) { m_pending = para; m_hasPending = true; }
    void EndCell(int depth, const ParaInfo &para);
    void EndRow(int depth, const RowDef &def);
    void Bookmark(int depth, const QString &name, bool start);
    void PageBreak() { m_pageBreak = true; }
    // Closes open tables and formats the last paragraph.
    void Finish();

private:
    std::vector<Item> *container(int depth);
    void add(int depth, Item &&item);
    void closeTable();
    void put(QTextCursor &cursor, Item &item);
    void applyPara(QTextCursor &cursor, const ParaInfo &para);
    void emitTable(QTextCursor &cursor, TableBuild &table);

    TWPDocument &m_doc;
    QTextDocument *m_text;
    QTextCursor m_cursor;
    std::vector<std::shared_ptr<TableBuild>> m_tables;
    std::map<QString, QPointer<QTextList>> m_lists;
    std::map<QString, int> m_bookmarkStarts;
    ParaInfo m_pending;
    bool m_hasPending = false;
    bool m_pageBreak = false;
    bool m_editing = false;
};

} // namespace rtf
} // namespace zor
