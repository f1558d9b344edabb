#include "ActionTable_p.h"

#include <ZorCompCore/richtext/actions/WPComboActions.h>

namespace zor {

namespace {

using M = TdmQEWPActions;
using K = QKeySequence;
constexpr auto None = QKeySequence::UnknownKey;

// An engine action: its class does the work.
constexpr TWPActionDef E(const char *name, const char *cls, const char *cat, const char *de,
                         const char *en, const char *icon, K::StandardKey key = None, int tag = 0)
{
    return {name, cls, cat, de, en, icon, tag, false, key, nullptr, nullptr, -1, false};
}

// A combo action of TWPToolsCustomEditContolAction.
constexpr TWPActionDef C(const char *name, const char *cat, const char *de, const char *en,
                         const char *icon, TWPComboKind kind)
{
    return {name, "TWPToolsCustomEditContolAction", cat, de, en, icon, 0, false, None, nullptr,
            nullptr, int(kind), false};
}

// A module action with its handler.
constexpr TWPActionDef X(const char *name, const char *cat, const char *de, const char *en,
                         const char *icon, void (M::*handler)(QObject *), int tag = 0,
                         const char *dialog = nullptr, bool checkable = false, K::StandardKey key = None)
{
    return {name, nullptr, cat, de, en, icon, tag, checkable, key, handler, dialog, -1, false};
}

// A module action without a handler of its own; disabled: never enabled.
constexpr TWPActionDef N(const char *name, const char *cat, const char *de, const char *en,
                         bool disabled = false)
{
    return {name, nullptr, cat, de, en, nullptr, 0, false, None, nullptr, nullptr, -1, disabled};
}

const TWPActionDef Table[] = {
    // --- engine actions ----------------------------------------------------------
    E("WPABBottom1", "TWPABBottom", "WPT_Table", "Rahmen unten", "Bottom Border", "format-border-set-bottom"),
    E("WPADelRow1", "TWPADelRow", "WPT_Table", "Zeile löschen", "Delete Row", "edit-table-delete-row"),
    E("WPABInner1", "TWPABInner", "WPT_Table", "Innere Rahmen", "Inner Borders", "format-border-set-internal"),
    E("WPABOuter1", "TWPABOuter", "WPT_Table", "Äußerer Rahmen", "Outer Border", "format-border-set-external"),
    E("WPABAllOff1", "TWPABAllOff", "WPT_Table", "Keine Rahmen", "No Borders", "format-border-set-none"),
    E("WPACreateTable1", "TWPACreateTable", "WPT_Table", "Tabelle erstellen", "Create Table", "insert-table"),
    E("WPACombineCell1", "TWPACombineCell", "WPT_Table", "Zellen verbinden", "Combine Cells", "edit-table-cell-merge"),
    E("WPASplitCells1", "TWPASplitCells", "WPT_Table", "Zellen teilen", "Split Cells", "edit-table-cell-split"),
    E("WPAInsRow1", "TWPAInsRow", "WPT_Table", "Zeile einfügen", "Insert Row", "edit-table-insert-row-below"),
    E("WPASelectColumn1", "TWPASelectColumn", "WPT_Table", "Spalte markieren", "Select Column", "show_table_column"),
    E("WPASelectRow1", "TWPASelectRow", "WPT_Table", "Zeile markieren", "Select Row", "show_table_row"),
    E("WPAInsCol1", "TWPAInsCol", "WPT_Table", "Spalte einfügen", "Insert Column", "edit-table-insert-column-right"),
    E("WPADelCol1", "TWPADelCol", "WPT_Table", "Spalte löschen", "Delete Column", "edit-table-delete-column"),
    E("WPABLeft1", "TWPABLeft", "WPT_Table", "Rahmen links", "Left Border", "format-border-set-left"),
    E("WPABTop1", "TWPABTop", "WPT_Table", "Rahmen oben", "Top Border", "format-border-set-top"),
    E("WPABRight1", "TWPABRight", "WPT_Table", "Rahmen rechts", "Right Border", "format-border-set-right"),

    E("WPAInsertField1", "TWPAInsertField", "WPT_WithParam", "Feld einfügen", "Insert Field", "text-field"),
    E("WPAEditHyperlink1", "TWPAEditHyperlink", "WPT_WithParam", "Hyperlink bearbeiten", "Edit Hyperlink", "insert-link"),
    E("WPAInsertNextPage", "TWPAInsertNumber", "WPT_WithParam", "Nummer der nächsten Seite", "Number of Next Page", "go-next-view-page", None, 1),
    E("WPAInsertPagNo", "TWPAInsertNumber", "WPT_WithParam", "Seitennummer", "Page Number", "page-simple", None, 0),
    E("WPAInsertPriorPage", "TWPAInsertNumber", "WPT_WithParam", "Nummer der vorigen Seite", "Number of Previous Page", "go-previous-view-page", None, 2),
    E("WPAInsertPageCount", "TWPAInsertNumber", "WPT_WithParam", "Seitenanzahl", "Page Count", "view-pages-overview", None, 3),
    E("WPAInsertDate", "TWPAInsertNumber", "WPT_WithParam", "Datum", "Date", "view-calendar-day", None, 4),

    E("WPAZoomOut1", "TWPAZoomOut", "WPT_Print", "Verkleinern", "Zoom Out", "zoom-out", K::ZoomOut),
    E("WPAZoomIn1", "TWPAZoomIn", "WPT_Print", "Vergrößern", "Zoom In", "zoom-in", K::ZoomIn),
    E("WPAFitHeight1", "TWPAFitHeight", "WPT_Print", "Ganze Seite", "Fit Height", "zoom-fit-height"),
    E("WPAFitWidth1", "TWPAFitWidth", "WPT_Print", "Seitenbreite", "Fit Width", "zoom-fit-width"),
    E("WPAPrint1", "TWPAPrint", "WPT_Print", "Drucken", "Print", "document-print"),
    E("WPAPrinterSetup1", "TWPAPrinterSetup", "WPT_Print", "Druckereinrichtung", "Printer Setup", "configure"),
    E("WPAPriorPage1", "TWPAPriorPage", "WPT_Print", "Vorige Seite", "Previous Page", "go-previous"),
    E("WPANextPage1", "TWPANextPage", "WPT_Print", "Nächste Seite", "Next Page", "go-next"),

    E("WPALeft1", "TWPALeft", "WPT_ParAttr", "Linksbündig", "Left", "format-justify-left"),
    E("WPACenter1", "TWPACenter", "WPT_ParAttr", "Zentriert", "Center", "format-justify-center"),
    E("WPARight1", "TWPARight", "WPT_ParAttr", "Rechtsbündig", "Right", "format-justify-right"),
    E("WPAJustified1", "TWPAJustified", "WPT_ParAttr", "Blocksatz", "Justified", "format-justify-fill"),
    E("WPABullets1", "TWPABullets", "WPT_ParAttr", "Aufzählung", "Bullets", "format-list-unordered"),
    E("WPANumbers1", "TWPANumbers", "WPT_ParAttr", "Nummerierung", "Numbering", "format-list-ordered"),
    E("WPADecIndent1", "TWPADecIndent", "WPT_ParAttr", "Einzug verkleinern", "Decrease Indent", "format-indent-less"),
    E("WPAIncIndent1", "TWPAIncIndent", "WPT_ParAttr", "Einzug vergrößern", "Increase Indent", "format-indent-more"),

    E("WPAOpen1", "TWPAOpen", "WPT_File", "Öffnen", "Open", "document-open"),
    E("WPASave1", "TWPASave", "WPT_File", "Speichern", "Save", "document-save"),
    E("WPAExit1", "TWPAExit", "WPT_File", "Beenden", "Exit", "application-exit"),
    E("WPAClose1", "TWPAClose", "WPT_File", "Schließen", "Close", "document-close"),
    E("WPANew1", "TWPANew", "WPT_File", "Neu", "New", "document-new"),

    E("WPAUndo1", "TWPAUndo", "WPT_Edit", "Rückgängig", "Undo", "edit-undo", K::Undo),
    E("WPACopy1", "TWPACopy", "WPT_Edit", "Kopieren", "Copy", "edit-copy", K::Copy),
    E("WPACut1", "TWPACut", "WPT_Edit", "Ausschneiden", "Cut", "edit-cut", K::Cut),
    E("WPAPaste1", "TWPAPaste", "WPT_Edit", "Einfügen", "Paste", "edit-paste", K::Paste),
    E("WPASearch1", "TWPASearch", "WPT_Edit", "Suchen", "Search", "edit-find", K::Find),
    E("WPAReplace1", "TWPAReplace", "WPT_Edit", "Ersetzen", "Replace", "edit-find-replace", K::Replace),
    E("WPASellAll1", "TWPASellAll", "WPT_Edit", "Alles markieren", "Select All", "edit-select-all", K::SelectAll),
    E("WPAHideSelection1", "TWPAHideSelection", "WPT_Edit", "Markierung aufheben", "Hide Selection", "edit-select-none"),
    E("WPASpellcheck1", "TWPASpellcheck", "WPT_Edit", "Rechtschreibprüfung", "Spell Check", "tools-check-spelling"),
    E("WPARedo1", "TWPARedo", "WPT_Edit", "Wiederholen", "Redo", "edit-redo", K::Redo),
    E("WPADeleteText1", "TWPADeleteText", "WPT_Edit", "Text löschen", "Delete Text", "edit-delete"),
    E("WPASpellAsYouGo1", "TWPASpellAsYouGo", "WPT_Edit", "Prüfung während der Eingabe", "Spell As You Go", "tools-check-spelling"),
    E("WPAStartThesaurus1", "TWPAStartThesaurus", "WPT_Edit", "Thesaurus", "Thesaurus", "help-hint"),

    E("WPACancel1", "TWPACancel", "WPT_Data", "Abbrechen", "Cancel", "dialog-cancel"),
    E("WPADelete1", "TWPADelete", "WPT_Data", "Löschen", "Delete", "list-remove"),
    E("WPAAdd1", "TWPAAdd", "WPT_Data", "Hinzufügen", "Add", "list-add"),
    E("WPAEdit1", "TWPAEdit", "WPT_Data", "Bearbeiten", "Edit", "document-edit"),
    E("WPANext1", "TWPANext", "WPT_Data", "Nächster", "Next", "go-down"),
    E("WPABack1", "TWPABack", "WPT_Data", "Voriger", "Back", "go-up"),
    E("WPAOK1", "TWPAOK", "WPT_Data", "OK", "OK", "dialog-ok"),
    E("WPAToEnd1", "TWPAToEnd", "WPT_Data", "Zum Ende", "To End", "go-last"),
    E("WPAToStart1", "TWPAToStart", "WPT_Data", "Zum Anfang", "To Start", "go-first"),

    E("WPANorm1", "TWPANorm", "WPT_CharAttr", "Normal", "Normal", "format-text-code"),
    E("WPABold1", "TWPABold", "WPT_CharAttr", "Fett", "Bold", "format-text-bold", K::Bold),
    E("WPAItalic1", "TWPAItalic", "WPT_CharAttr", "Kursiv", "Italic", "format-text-italic", K::Italic),
    E("WPAProtected1", "TWPAProtected", "WPT_CharAttr", "Geschützt", "Protected", "object-locked"),
    E("WPAHidden1", "TWPAHidden", "WPT_CharAttr", "Verborgen", "Hidden", "object-hidden"),
    E("WPARTFCode1", "TWPARTFCode", "WPT_CharAttr", "RTF-Code", "RTF Code", "text-field-framed"),
    E("WPAUnderline1", "TWPAUnderline", "WPT_CharAttr", "Unterstrichen", "Underline", "format-text-underline", K::Underline),
    E("WPAStrikeout1", "TWPAStrikeout", "WPT_CharAttr", "Durchgestrichen", "Strikeout", "format-text-strikethrough"),
    E("WPASubscript1", "TWPASubscript", "WPT_CharAttr", "Tiefgestellt", "Subscript", "format-text-subscript"),
    E("WPASuperscript1", "TWPASuperscript", "WPT_CharAttr", "Hochgestellt", "Superscript", "format-text-superscript"),

    E("WPAIsOutlineMode1", "TWPAIsOutlineMode", "WPT_Outlines", "Gliederungsmodus", "Outline Mode", "view-list-tree"),
    E("WPAInOutlineUp1", "TWPAInOutlineUp", "WPT_Outlines", "Gliederung höher", "Outline Up", "go-up"),
    E("WPAInOutlineDown1", "TWPAInOutlineDown", "WPT_Outlines", "Gliederung tiefer", "Outline Down", "go-down"),

    C("WPAFontColor", "WPT_COMBOS", "Schriftfarbe", "Font Color", "format-text-color", TWPComboKind::FontColor),
    C("WPAScreenFonts", "", "Schriftart", "Font", nullptr, TWPComboKind::ScreenFonts),
    C("WPAPrinterFonts", "", "Schriftart", "Font", nullptr, TWPComboKind::PrinterFonts),
    C("WPATrueTypeFonts", "", "Schriftart", "Font", nullptr, TWPComboKind::TrueTypeFonts),
    C("WPAFonts", "", "Schriftart", "Font", nullptr, TWPComboKind::Fonts),
    C("WPABkColor", "", "Hintergrundfarbe", "Bk-Color", "format-fill-color", TWPComboKind::BkColor),
    C("WPAFontSize", "", "Schriftgröße", "Font Size", nullptr, TWPComboKind::FontSize),
    C("WPAFontSizeManual", "", "Schriftgröße", "Font Size", nullptr, TWPComboKind::FontSizeManual),
    C("WPAHTMLFontSize", "", "Schriftgröße", "Font Size", nullptr, TWPComboKind::HTMLFontSize),
    C("WPAParColor", "", "Absatzfarbe", "Par-Color", "color-fill", TWPComboKind::ParColor),
    C("WPAParAlignment", "", "Ausrichtung", "Alignment", nullptr, TWPComboKind::ParAlignment),
    C("WPAStyleNames", "", "Formatvorlage", "Style", nullptr, TWPComboKind::StyleNames),

    // --- the module's actions ---------------------------------------------------------
    X("XA_New", "Menu_File", "Neu", "New", "document-new", &M::XA_NewExecute, 0, nullptr, false, K::New),
    X("XA_Load", "Menu_File", "Laden", "Load", "document-open", &M::XA_LoadExecute, 0, nullptr, false, K::Open),
    X("XA_Save", "Menu_File", "Speichern", "Save", "document-save", &M::XA_SaveExecute, 0, nullptr, false, K::Save),
    X("XA_SaveAs", "Menu_File", "Speichern unter...", "Save As ...", "document-save-as", &M::XA_SaveAsExecute, 0, nullptr, false, K::SaveAs),
    X("XA_SaveToString", "Menu_File", "Speichern", "Save", "document-save", &M::XA_SaveToStringExecute),
    N("XA_CloseFile", "Menu_File", "Schließen", "Close"),
    X("XA_ExportFile", "Menu_File", "Exportieren...", "Export...", "document-export", &M::XA_ExportFileExecute),
    X("XA_DocProp", "Menu_File", "Eigenschaften", "Properties", "document-properties", &M::XA_DocPropExecute, 0, "TWPDocPropDlg"),
    X("XA_Print", "Menu_File", "Drucken", "Print", "document-print", &M::XA_PrintExecute, 0, nullptr, false, K::Print),
    X("XA_PrintDialog", "Menu_File", "Drucken auf...", "Print...", "document-print", &M::XA_PrintDialogExecute),
    X("XA_DiaPreview", "Menu_File", "Vorschau", "Preview", "document-print-preview", &M::XA_DiaPreviewExecute),
    X("XA_DiaPageSetup", "Menu_File", "Seite einrichten", "Page Setup", "page-simple", &M::XA_DiaPageSetupExecute, 0, "TWPPagePropDlg"),
    X("XA_HTMLPageSetup", "Menu_File", "Seite einrichten", "Page Setup", "color-fill", &M::XA_HTMLPageSetupExecute),

    X("XA_DelParFormat", "Menu_Edit", "Absatzformat", "Paragraph Format", "edit-clear", &M::XA_DelParFormatExecute),
    X("XA_DelCharFormat", "Menu_Edit", "Zeichenformat", "Character Format", "edit-clear", &M::XA_DelCharFormatExecute),
    X("XA_SelectTable", "Menu_Edit", "Tabelle", "Table", "table", &M::XA_SelectTableExecute),

    X("XA_ViewNormal", "Menu_View", "Normal", "Normal", "view-pages-continuous", &M::XA_ViewExecute, -10, nullptr, true),
    X("XA_ViewPageLayout", "Menu_View", "Seitenlayout", "Page Layout", "view-pages-single", &M::XA_ViewExecute, -12, nullptr, true),
    X("XA_ViewPageWidth", "Menu_View", "Seitenbreite", "Page Width", "zoom-fit-width", &M::XA_ViewExecute, -13, nullptr, true),
    X("XA_ViewFullPage", "Menu_View", "Ganze Seite", "Full Page", "zoom-fit-page", &M::XA_ViewExecute, -14, nullptr, true),
    X("XA_ViewDoublePage", "Menu_View", "Zwei Seiten", "Double Page", "view-pages-facing", &M::XA_ViewExecute, -15, nullptr, true),
    X("XA_View500", "Menu_View", "500 %", "500 %", nullptr, &M::XA_ViewExecute, 500, nullptr, true),
    X("XA_View200", "Menu_View", "200%", "200%", nullptr, &M::XA_ViewExecute, 200, nullptr, true),
    X("XA_View100", "Menu_View", "100 %", "100 %", "zoom-original", &M::XA_ViewExecute, 100, nullptr, true),
    X("XA_View75", "Menu_View", "75 %", "75 %", nullptr, &M::XA_ViewExecute, 75, nullptr, true),
    X("XA_View50", "Menu_View", "50 %", "50 %", nullptr, &M::XA_ViewExecute, 50, nullptr, true),
    X("XA_View25", "Menu_View", "25 %", "25 %", nullptr, &M::XA_ViewExecute, 25, nullptr, true),
    X("XA_ViewThumbnails", "Menu_View", "Miniaturansicht", "Thumbnails", "view-grid", &M::XA_ViewExecute, -19, nullptr, true),
    X("XA_ManageHeaderFooter", "Menu_View", "Kopf- und Fusszeilen bearbeiten", "Manage Header and Footer", "insert-text-frame", &M::XA_ManageHeaderFooterExecute, 0, "TWPManageHeaderFooter"),
    X("XA_FieldsMarkers", "Menu_View", "Feldmarkierungen", "Fields Markers", "text-field-frameless", &M::XA_FieldsMarkersExecute, 0, nullptr, true),
    X("XY_ShowSpecialChars", "Menu_View", "Spezialzeichen", "Special Characters", "format-text-symbol", &M::XY_ShowSpecialCharsExecute, 0, nullptr, true),

    X("XA_InsPageBreak", "Menu_Insert", "Seitenumbruch", "Page Break", "insert-page-break", &M::XA_InsPageBreakExecute),
    X("XA_InsSectionBreak", "Menu_Insert", "Abschnittsumbruch", "Section Break", "insert-horizontal-rule", &M::XA_InsSectionBreakExecute),
    N("XA_InsColumnBreak", "Menu_Insert", "Column Break after current par", "Column Break after current par", true),
    X("XA_InsGraphic", "Menu_Insert", "Grafik", "Graphic", "insert-image", &M::XA_InsGraphicExecute),
    X("XA_InsSymbol", "Menu_Insert", "Symbol", "Symbol", "character-set", &M::XA_InsSymbolExecute, 0, "TWPSymbolDlgEx"),
    X("XA_FInsPage", "Menu_Insert", "Seitennummer", "PageNumber", "page-simple", &M::XA_FInsExecute, 0),
    X("XA_FInsNextPage", "Menu_Insert", "Nummer der nächsten Seite", "Number of Next Page", "go-next-view-page", &M::XA_FInsExecute, 1),
    X("XA_FInsPriorPage", "Menu_Insert", "Nummer der vorigen Seite", "Number of Previous Page", "go-previous-view-page", &M::XA_FInsExecute, 2),
    X("XA_FInsNumPages", "Menu_Insert", "Seitenanzahl", "Page Count", "view-pages-overview", &M::XA_FInsExecute, 3),
    X("XA_FInsDate", "Menu_Insert", "Datum", "Date", "view-calendar-day", &M::XA_FInsExecute, 4),
    X("XA_FInsTime", "Menu_Insert", "Zeit", "Time", "view-calendar-time-spent", &M::XA_FInsExecute, 5),
    X("XA_InsNamedField", "Menu_Insert", "Feld...", "Field...", "text-field", &M::XA_InsNamedFieldExecute),
    X("XA_InsMailmergeField", "Menu_Insert", "Makrofeld einfügen", "Insert Mailmerge Field", "text-field-framed", &M::XA_InsMailmergeFieldExecute),
    X("XA_InsertFormField", "Menu_Insert", "Makrofeld einfügen", "Insert Form Field", "insert-button", &M::XA_InsertFormFieldExecute),
    X("XA_InsBookmark", "Menu_Insert", "Lesezeichen", "Bookmark", "bookmark-new", &M::XA_InsBookmarkExecute),
    X("XA_InsHyperlink", "Menu_Insert", "Hyperlink", "Hyperlink", "insert-link", &M::XA_InsHyperlinkExecute, 0, "TWPHyperlinkDlg"),
    N("XA_InsertTextBox", "Menu_Insert", "Textbox einfügen", "Insert TextBox", true),

    X("XA_FrmFontDialog", "Menu_Format", "Schriftart", "Font", "dialog-text-and-font", &M::XA_FrmFontDialogExecute, 0, "TWPFontDlg"),
    X("XA_FrmIndentSpacing", "Menu_Format", "Absatz", "Paragraph", "format-line-spacing-normal", &M::XA_FrmIndentSpacingExecute, 0, "TWPParagraphPropDlg"),
    X("XA_FrmBorder", "Menu_Format", "Ränder", "Border", "format-border-set-all", &M::XA_FrmBorderExecute, 0, "TWPParagraphBorderDlg"),
    X("XA_FrmNumbers", "Menu_Format", "Nummerierung...", "Numbers...", "format-list-ordered", &M::XA_FrmNumbersExecute, 0, "TWPBulletDlg"),
    X("XA_FrmTabStops", "Menu_Format", "Tabulatoren", "TabStops", "format-indent-more", &M::XA_FrmTabStopsExecute, 0, "TWPTabDlg"),
    N("XA_Col_Off", "Menu_Format", "Aus", "Off", true),
    N("XA_Col_2", "Menu_Format", "2", "2", true),
    N("XA_Col_3", "Menu_Format", "3", "3", true),
    N("XA_Col_4", "Menu_Format", "4", "4", true),
    X("XA_FrmCap_Lowercase", "Menu_Format", "Kleinbuchstaben", "Lowercase", "format-text-lowercase", &M::XA_FrmCap_LowercaseExecute),
    X("XA_FrmCap_Uppercase", "Menu_Format", "Grossbuchstaben", "Uppercase", "format-text-uppercase", &M::XA_FrmCap_UppercaseExecute),
    X("XA_FrmCap_Off", "Menu_Format", "Aus", "Off", "format-text-capitalize", &M::XA_FrmCap_OffExecute),
    X("XY_GraphicOptAsChar", "Menu_Format", "als Zeichen", "as character", "insert-image", &M::XA_GraphicOptExecute, 1, nullptr, true),
    X("XA_GraphicOpRelToParAuto", "Menu_Format", "rel. zum Absatz - automatisch links oder rechts umfließen", "rel. to par - auto wrap left or right", "text-wrap", &M::XA_GraphicOptExecute, 2, nullptr, true),
    X("XA_GraphicOpRelToParBoth", "Menu_Format", "rel. zum Absatz - links und rechts umfließen", "rel to par - wrap left and right", "text-wrap", &M::XA_GraphicOptExecute, 3, nullptr, true),
    X("XA_GraphicOptRelToPage", "Menu_Format", "rel. zur Seite - nicht umfließen", "rel. to page - no wrapping", "page-simple", &M::XA_GraphicOptExecute, 4, nullptr, true),
    X("XA_GraphicOptRelToPageWrap", "Menu_Format", "rel. zur Seite - links und rechts umfließen", "rel. to page - wrap left and right", "text-wrap", &M::XA_GraphicOptExecute, 5, nullptr, true),
    X("XA_GraphicUnderText", "Menu_Format", "Hinter dem Text", "Under Text", "object-order-back", &M::XA_GraphicOptExecute, 6, nullptr, true),
    X("XA_GraphicOptRelToParNoWrap", "Menu_Format", "rel. zum Absatz - nicht umfließen", "rel. to par - no wrapping", "object-order-lower", &M::XA_GraphicOptExecute, 7, nullptr, true),

    X("XA_SpellCheck", "Menu_Extras", "Rechtschreibeprüfung", "Spell Check", "tools-check-spelling", &M::XA_SpellCheckExecute),
    X("XA_SpellThesaurus", "Menu_Extras", "Thesaurus", "Thesaurus", "help-hint", &M::XA_SpellThesaurusExecute),
    X("XA_SpellAsYouGo", "Menu_Extras", "Rechtschreibeprüfung während der Eingabe", "SpellAsYouGo", "tools-check-spelling", &M::XA_SpellAsYouGoExecute, 0, nullptr, true),
    X("XA_ConfigSpellchecker", "Menu_Extras", "Rechtschreibprüfung einrichten", "Configure Spellcheck", "configure", &M::XA_ConfigSpellcheckerExecute),

    X("XA_CreateTable", "Menu_Table", "Tabelle erstellen", "CreateTable", "insert-table", &M::XA_CreateTableExecute, 0, "TWPTableDlg"),
    X("XA_SplitTable", "Menu_Table", "Tabelle aufteilen", "Split Table", "edit-table-insert-row-under", &M::XA_SplitTableExecute),

    X("XA_ShowRepBand", "", "Bänder", "Band Dialog", "view-split-top-bottom", &M::XA_ShowRepBandExecute, 0, "TWPReportBandsDialog"),
    N("XA_CreateReport", "", "Report erstellen", "Create Report"),
    X("XA_ConvertTokens", "", "Makros konvertieren", "Convert Tokens", "text-field-framed", &M::XA_ConvertTokensExecute),
};

} // namespace

std::span<const TWPActionDef> WPActionTable() { return Table; }

QStringList WPActionIconNames()
{
    QStringList names;
    for (const TWPActionDef &def : Table)
        if (def.Icon && !names.contains(QLatin1String(def.Icon)))
            names.append(QString::fromLatin1(def.Icon));
    return names;
}

} // namespace zor
