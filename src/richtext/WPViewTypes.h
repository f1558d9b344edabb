// Layout modes and view options shared by the editor control and the page
// preview, so that one set of names serves both (and the frame's settings).
#pragma once

#include <QFlags>

namespace zor {

enum TWPLayoutMode : int {
    wplayNormal,     // the text wrapped to the window (editor)
    wplayPageLayout, // pages as printed (editor)
    wplayFullLayout, // pages in rows of columns (preview)
    wpThumbNailView  // small pages in a grid as wide as the window (preview)
};

// What a view draws besides the text. The preview shows no misspelling
// marks and no greyed headers and footers, so the last two hold whatever is
// set there.
enum TWPViewOption : unsigned {
    wpShowCR = 0x01,                       // paragraph ends
    wpShowSPC = 0x02,                      // spaces
    wpShowTAB = 0x04,                      // tabs
    wpDrawPageMarginLines = 0x08,          // the text area of each page, dotted
    wpHideSelection = 0x10,                // no selection drawn (preview in edit mode)
    wpDisableMisspellMarkers = 0x20,
    wpDontGrayHeaderFooterInLayout = 0x40,
    wpShowGridlines = 0x80,                // dotted cell edges of tables drawn without borders
    wpTraditionalMisspellMarkers = 0x100,  // misspellings red and wavy (else a dotted line)
    // Set with wpShowCR by the special-characters command.
    wpShowFF = 0x200,                      // page breaks
    wpShowNL = 0x400,                      // line breaks
    wpShowHardSPC = 0x800,                 // non-breaking spaces
};
Q_DECLARE_FLAGS(TWPViewOptions, TWPViewOption)

// What the user may do with the mouse and keys in an editor control.
enum TWPEditOption : unsigned {
    wpTableResizing = 0x0001,              // the whole table, by its right edge
    wpTableColumnResizing = 0x0002,        // the border between two columns
    wpObjectMoving = 0x0004,               // a selected picture dragged to another place
    wpObjectResizingWidth = 0x0008,        // a selected picture's left and right handles
    wpObjectResizingHeight = 0x0010,       // its top and bottom handles
    wpObjectResizingKeepRatio = 0x0020,    // corner handles keep the proportions
    wpObjectSelecting = 0x0040,            // a click on a picture selects it
    wpObjectDeletion = 0x0080,             // Delete and Backspace remove a selected picture
    wpSpreadsheetCursorMovement = 0x0100,  // Up, Down, Tab and Shift+Tab go from cell to cell
    wpActivateUndo = 0x0200,
    wpActivateUndoHotkey = 0x0400,         // Ctrl+Z and Ctrl+Y (with wpActivateUndo)
    wpMoveCPOnPageUpDown = 0x0800,         // Page Up/Down move the caret, not only the view
    wpAutoDetectHyperlinks = 0x1000,       // a typed address becomes a link when its word ends
    wpAllowCreateTableInTable = 0x2000,    // tables inside table cells
};
Q_DECLARE_FLAGS(TWPEditOptions, TWPEditOption)

// The editor frame's settings; a bare control starts with these too.
constexpr unsigned wpDefaultEditOptions = 0x3FFF;

// How tables are laid out. Both apply to texts loaded, and tables inserted,
// after they are set.
enum TWPFormatOption : unsigned {
    wpDisableAutosizeTables = 0x01, // columns without a width share the table's width evenly
    wpNoMinimumCellPadding = 0x02,  // cells keep only the padding the text gives them
};
Q_DECLARE_FLAGS(TWPFormatOptions, TWPFormatOption)

} // namespace zor

Q_DECLARE_OPERATORS_FOR_FLAGS(zor::TWPViewOptions)
Q_DECLARE_OPERATORS_FOR_FLAGS(zor::TWPEditOptions)
Q_DECLARE_OPERATORS_FOR_FLAGS(zor::TWPFormatOptions)
