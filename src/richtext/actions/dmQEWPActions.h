// TdmQEWPActions: the one set of editing commands every rich-text editor of
// an application shares. It holds the action list (StdActions: the engine's
// actions WPA* and the module's own XA_*/XY_* actions, built from one table),
// their icons (StdIcons), the engine dialogs (created by class name, so an
// action whose dialog the library lacks is disabled), the print preview, the
// spell controller and the language components.
//
// Every handler works on the current editor, which OnGetWPRichText answers
// (TWPDefaultActions installs its own); without that callback handlers raise
// "Please assign event TWPDefAct.OnGetWPRichText", and with no current editor
// they do nothing. The editor's owner (the first ancestor that implements
// IQERichTextOwner) receives save-to-string and export requests.
#pragma once

#include <ZorCompCore/platform/Component.h>
#include <ZorCompCore/platform/Interface.h>
#include <ZorCompCore/richtext/engine/PagePainter.h>
#include <ZorCompCore/zor_export.h>

#include <QPointer>
#include <vector>
#include <QStringList>
#include <QTextFormat>

#include <functional>
#include <memory>

class QAction;

namespace zor {

class TImageList;
class TQEWPHTMLPageSetupDlg;
class TWPActionList;
class TWPCustomDialog;
class TWPLanguageControl;
class TWPPreviewDlg;
class TWPRichText;
class TWPSpellController;
class TZORLang;

// The owner of an editor (a frame) implements this to take the requests
// that only it can carry out.
class ZOR_EXPORT IQERichTextOwner : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{347D38D9-F0E6-4047-A185-E223B66B803C}");
    virtual void SaveToString(QObject *Sender, TWPRichText *RichText) = 0;
    virtual void ExportTo(QObject *Sender, TWPRichText *RichText) = 0;
    // The mail-merge engine bound to the owner, or null.
    virtual QObject *GetSuperMerge() = 0;
};

// (Sender, out RichText): the editor the actions work on, or null.
using TWPGetCurrentEditor = std::function<void(QObject *Sender, TWPRichText *&RichText)>;

// The editor's spell commands (TWPSpellCommand): what they do here.
//   0 check now: selects the next misspelt word from the caret
//   1 thesaurus: offers the synonyms of the word at the caret, replaces it
//   2/3 start/stop marking misspellings while typing
//   4 configuration: no options dialog exists; does nothing

class ZOR_EXPORT TdmQEWPActions : public TComponent
{
    Q_OBJECT
public:
    explicit TdmQEWPActions(QObject *AOwner = nullptr);
    ~TdmQEWPActions() override;

    TWPActionList *StdActions() const;
    TImageList *StdIcons() const;
    TZORLang *siLang() const;
    TWPSpellController *WPSpellController1() const;
    TWPLanguageControl *LanguageControl() const;
    TWPPreviewDlg *WPPreviewDlg1() const;
    // The module's dialog of a class ("TWPTableDlg", "TWPReportBandsDialog"
    // …); null when the library has no such dialog.
    TWPCustomDialog *Dialog(const QString &className);
    // The module's style list (WPStyleCollection1): "Default" ("Size=11")
    // and the styles of the editors registered so far, by name.
    const std::vector<TWPStyle> &StyleCollection() const;
    void UpdateStyleCollection(TWPRichText *Editor);
    // An action of StdActions by name; null when none.
    QAction *Action(const QString &name) const;
    // The action's tag (zoom code, field type, graphic option).
    static int Tag(const QAction *action);

    TWPGetCurrentEditor OnGetWPRichText;
    // The current editor; raises when OnGetWPRichText is not assigned.
    TWPRichText *GetTheWPRichText();
    TWPRichText *WPRichText1() { return GetTheWPRichText(); }
    // The mail-merge engine of the current editor's owner, or null.
    QObject *GetSuperMerge();
    QObject *SuperMerge() { return GetSuperMerge(); }

    // Enabled and checked states of every action for the current editor.
    void UpdateActions();
    // For binding: enables an action (other than XA_Load and XA_New) when
    // there is a current editor, else disables it and sets Handled.
    void MDIActionsUpdate(QAction *Action, bool &Handled);

    // "German" -> "DE", "English" -> "EN", "Francais" -> "FR", "Italian" ->
    // "IT", ignoring case; anything else "EN".
    static QString LanguageCode(const QString &Name);
    void LoadLanguage(const QString &Name);

    // Writes the editor's pages as PDF (margins in millimetres); false when
    // the options dialog is cancelled, the margins leave less than 50 screen
    // pixels (after showing why) or the file cannot be written.
    bool ExportToPDF(TWPRichText *RichText, const QString &FileName, int LeftMargin, int TopMargin,
                     int RightMargin, int BottomMargin, TPDFPageOrientation Orientation,
                     TPDFPageSize PageSize, const QString &Title, const QString &Author,
                     const QString &Subject, const QString &Keywords, bool ShowDialog);
    // Screen pixels per inch the margin check counts in (the primary
    // screen's logical resolution, 96 without one).
    int ScreenPixelsPerInch = 96;
    void PrintPreview(TWPRichText *RichText);

    // Copies the dictionaries shipped beside the program
    // (<program>/custom/dictionaries/*.DCT) into the user's
    // <roaming>/Quenlor/LocalSettings/WPSpell/ and loads those not loaded.
    void LoadDefaultDictionaries();
    int GetDCTIndexByFileName(const QString &FileName) const;
    // Runs one of the spell commands (0-4) on an editor.
    void SpellCommand(TWPRichText &Editor, int Command);

    // Graphic options 1-7 on the selected picture; anything else, or no
    // picture selected, changes nothing.
    void ApplyGraphicOptionsByNum(int N);
    // The band dialog's hook: types "<<" + the name after the first '=' of
    // FieldName (all of it without one) + ">>" into Editor; Handled := true.
    void DoOnBeforeInsertField(QObject *Dialog, TWPRichText *Editor, const QString &FieldName,
                               QObject *MenuItem, bool &Handled);

    // Asks for a text (input queries of the insert commands); false when
    // cancelled. Default: QInputDialog.
    std::function<bool(const QString &Caption, const QString &Prompt, QString &Value)> OnInputQuery;
    // Shows an error message. Default: a message box.
    std::function<void(const QString &Message)> OnShowError;
    // Picks one of several texts (thesaurus); false when cancelled.
    std::function<bool(const QString &Caption, const QStringList &Items, QString &Value)> OnChooseItem;

    // The handlers of the XA_*/XY_* actions; Sender is the action.
    void XA_NewExecute(QObject *Sender);
    void XA_LoadExecute(QObject *Sender);
    void XA_SaveExecute(QObject *Sender);
    void XA_SaveAsExecute(QObject *Sender);
    void XA_SaveToStringExecute(QObject *Sender);
    void XA_ExportFileExecute(QObject *Sender);
    void XA_DocPropExecute(QObject *Sender);
    void XA_PrintExecute(QObject *Sender);
    void XA_PrintDialogExecute(QObject *Sender);
    void XA_DiaPreviewExecute(QObject *Sender);
    void XA_DiaPageSetupExecute(QObject *Sender);
    void XA_HTMLPageSetupExecute(QObject *Sender);
    void XA_DelParFormatExecute(QObject *Sender);
    void XA_DelCharFormatExecute(QObject *Sender);
    void XA_SelectTableExecute(QObject *Sender);
    void XA_ViewExecute(QObject *Sender);
    void XA_ManageHeaderFooterExecute(QObject *Sender);
    void XA_InsPageBreakExecute(QObject *Sender);
    void XA_InsSectionBreakExecute(QObject *Sender);
    void XA_InsGraphicExecute(QObject *Sender);
    void XA_InsSymbolExecute(QObject *Sender);
    void XA_FInsExecute(QObject *Sender);
    void XA_InsNamedFieldExecute(QObject *Sender);
    void XA_InsMailmergeFieldExecute(QObject *Sender);
    void XA_InsertFormFieldExecute(QObject *Sender);
    void XA_InsBookmarkExecute(QObject *Sender);
    void XA_InsHyperlinkExecute(QObject *Sender);
    void XA_FieldsMarkersExecute(QObject *Sender);
    void XY_ShowSpecialCharsExecute(QObject *Sender);
    void XA_FrmFontDialogExecute(QObject *Sender);
    void XA_FrmIndentSpacingExecute(QObject *Sender);
    void XA_FrmBorderExecute(QObject *Sender);
    void XA_FrmNumbersExecute(QObject *Sender);
    void XA_FrmTabStopsExecute(QObject *Sender);
    void XA_FrmCap_LowercaseExecute(QObject *Sender);
    void XA_FrmCap_UppercaseExecute(QObject *Sender);
    void XA_FrmCap_OffExecute(QObject *Sender);
    void XA_SpellCheckExecute(QObject *Sender);
    void XA_SpellThesaurusExecute(QObject *Sender);
    void XA_SpellAsYouGoExecute(QObject *Sender);
    void XA_ConfigSpellcheckerExecute(QObject *Sender);
    void XA_CreateTableExecute(QObject *Sender);
    void XA_SplitTableExecute(QObject *Sender);
    void XA_ShowRepBandExecute(QObject *Sender);
    void XA_ConvertTokensExecute(QObject *Sender);
    void XA_GraphicOptExecute(QObject *Sender);
    // The graphic options' shared update handler.
    void XA_GraphicOptUpdate(QAction *Action);

    // Whether the insert-point markers of fields are hidden in an editor
    // (XA_FieldsMarkers switches the editor's InsertPointsHidden).
    static bool InsertPointsHidden(const TWPRichText &Editor);

private:
    void BuildActions();
    void RunHandler(QAction *action);
    void ExecuteDialog(const QString &className, bool modal = true);
    // The input query of a field (engine strings captionId and the prompt
    // after it), then the field at the caret; nothing when cancelled.
    void InsertFieldByQuery(int captionId, const QString &caption, const QString &defaultName, TWPFieldKind kind);
    bool InputQuery(int captionId, int promptId, const QString &defaultCaption,
                    const QString &defaultPrompt, QString &value);
    void ShowError(const QString &message);
    void SetCapitalization(int capitalization);

    struct Private;
    std::unique_ptr<Private> const d;
    friend struct ActionTableAccess;
};

} // namespace zor
