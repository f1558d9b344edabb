// The translation editor: a dialog with one table per collection type, an ID
// column and one column per language. Edits are made on a working copy and
// reach the component only when the dialog is accepted, and then only the
// lines that were changed. Its Tools menu opens the translation statistics,
// the language names and default fonts dialogs, and a table of the text
// widths of the current line in every language (actions "actStatistics",
// "actLangNames", "actDefFonts", "actWidths").
#pragma once

#include <ZorCompCore/localisation/runtime/SiLang.h>
#include <ZorCompCore/zor_export.h>

#include <QDialog>
#include <QFlags>
#include <functional>
#include <memory>

class QTableWidget;

namespace zor {

enum TShowFlag : unsigned {
    sfFull = 0x001,         // a tab for every type, also those without lines
    sfReadOnly = 0x002,     // look only: nothing can be edited
    sfDesignTime = 0x004,   // texts the form shows without a line get one first
    sfRunTime = 0x008,      // opened from a running application
    sfDisableLoad = 0x010,  // no loading from translation files
    sfDisableSave = 0x020,  // no saving to translation files
    sfSaveAsClose = 0x040,  // the accept button reads "Save" and stores the texts
    sfNoApply = 0x080,      // accepting does not re-apply the active language
    sfHideExtended = 0x100, // no tabs for the non-text types (fonts, character sets)
};
Q_DECLARE_FLAGS(TShowFlags, TShowFlag)

class ZOR_EXPORT TTransEditorDlg : public QDialog
{
    Q_OBJECT
public:
    TTransEditorDlg(TsiCustomLang *ALang, TShowFlags AFlags, QWidget *AParent = nullptr);
    ~TTransEditorDlg() override;

    // Selects the tab of AType (when shown) and row AIndex in it.
    void ShowType(TStringsType AType, int AIndex);
    // The table of a type; null when the type has no tab.
    QTableWidget *Table(TStringsType AType) const;
    // Merges a translation file into the working copy (languages by name).
    void LoadFile(const QString &AFileName);
    // Saves the working copy under the component's owner name.
    void SaveFile(const QString &AFileName);
    // Shows only rows whose ID or texts contain AText (ignoring case).
    void SetFilter(const QString &AText);

    // The working copy the tables edit, brought up to date with them.
    TsiCustomLang *WorkingCopy();

public Q_SLOTS:
    void accept() override;

private:
    void buildToolsMenu();
    void editLanguageNames();
    void showWidths();
    void buildTables();
    void tablesToWork();
    void commit();

    struct Private;
    std::unique_ptr<Private> const d;
};

// Opens the editor modally on ALang at AStartType / AStartIndex. ACallback,
// when given, is called with the dialog before it runs (to adjust it, or to
// drive it from a test). True when the dialog was accepted.
ZOR_EXPORT bool TransEditorDlg(TsiCustomLang *ALang, TStringsType AStartType, int AStartIndex,
                               TShowFlags AFlags, const std::function<void(TTransEditorDlg &)> &ACallback = {});

} // namespace zor

Q_DECLARE_OPERATORS_FOR_FLAGS(zor::TShowFlags)
