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
};
Q_DECLARE_FLAGS(TWPViewOptions, TWPViewOption)

} // namespace zor

Q_DECLARE_OPERATORS_FOR_FLAGS(zor::TWPViewOptions)
