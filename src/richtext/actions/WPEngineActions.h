// The engine's editing actions: QActions that work on whichever editor is
// current (an editor provider answers that) and follow its caret, checked
// and enabled from the character and paragraph formats there.
//
// Every action that changes text runs as one QTextCursor edit block, so one
// Undo takes it back. Edits are refused as the control refuses typing: not
// at all in a read-only editor, and not where they would touch protected
// text (TWPDocument::CanEdit); a refusal is reported through the control's
// EditRefused signal. Switching protection off is the one format change
// allowed on protected text: without it, nothing could ever unprotect it.
//
// Actions are created by class name ("TWPABold", "TWPAInsertNumber" …) with
// CreateWPToolsAction; ClassName() tells which one an action is. Actions the
// editor has nothing for (data-set navigation, outline mode, the RTF code
// view) exist so that toolbars can bind
// them, and stay disabled; so do those whose dialog the library lacks.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QAction>
#include <QPageLayout>
#include <QPointer>
#include <QStringList>

#include <functional>

class QTextCursor;

namespace zor {

class TWPCustomDialog;
class TWPRichText;
struct TWPPageSetup;
enum class TWPFieldKind : int;

// The editor the actions work on; null when there is none.
using TWPEditorProvider = std::function<TWPRichText *()>;

class ZOR_EXPORT TWPToolsAction : public QAction
{
    Q_OBJECT
public:
    TWPToolsAction(const QString &className, int kind, QObject *parent = nullptr);
    ~TWPToolsAction() override;

    // "TWPABold": the engine action class this action is.
    QString ClassName() const { return m_className; }
    TWPRichText *Editor() const;
    void SetEditorProvider(TWPEditorProvider provider);

    // Works on Editor(); does nothing without one or when disabled for it.
    void Execute();
    // Enabled and checked state for an editor (null: disabled, unchecked).
    virtual void UpdateFor(TWPRichText *editor);

    // Replaces the built-in command (the action module routes spell
    // commands through its controller this way).
    std::function<void(TWPRichText &editor)> OnExecute;
    // Where the action's dialogs come from (the action module shares its
    // own, in its language); unset: the action makes its own.
    std::function<TWPCustomDialog *(const QString &className)> DialogSource;
    // Replaces the built-in enabled state.
    std::function<bool(TWPRichText &editor)> OnIsEnabled;

    // Whether an edit of what cursor spans (or an insertion at it) is
    // allowed; false after EditRefused when it is not.
    static bool MayEdit(TWPRichText &editor, const QTextCursor &cursor);
    // A cursor over the whole paragraphs cursor's selection touches, for the
    // check of paragraph edits.
    static QTextCursor BlockSpan(const QTextCursor &cursor);

protected:
    int Kind() const { return m_kind; }
    virtual bool IsEnabledFor(TWPRichText &editor);
    virtual bool IsCheckedFor(TWPRichText &editor);
    virtual void ExecuteOn(TWPRichText &editor);
    // A dialog of a registered class: DialogSource's when set, else created
    // on first use and owned by the action; null when no such class is
    // registered.
    TWPCustomDialog *Dialog(const QString &className);

private:
    QString m_className;
    int m_kind;
    TWPEditorProvider m_provider;
    QPointer<TWPCustomDialog> m_dialog;
};

// A new engine action of a class, or null when the class is unknown.
ZOR_EXPORT TWPToolsAction *CreateWPToolsAction(const QString &className, QObject *parent = nullptr);
// The class names CreateWPToolsAction knows.
ZOR_EXPORT QStringList WPToolsActionClasses();

// Rows and columns of a table made without a table dialog.
constexpr int WPDefaultTableRows = 2;
constexpr int WPDefaultTableColumns = 3;

} // namespace zor

namespace zor {

// The file the editor was last loaded from or saved to (empty: none).
ZOR_EXPORT QString WPEditorFileName(const TWPRichText &editor);
ZOR_EXPORT void SetWPEditorFileName(TWPRichText &editor, const QString &fileName);
// Loads a file into the editor (through TdWPRichText's lock when it is one);
// false with the engine's error in LastError when it is refused.
ZOR_EXPORT bool WPLoadEditorFile(TWPRichText &editor, const QString &fileName);
ZOR_EXPORT bool WPSaveEditorFile(TWPRichText &editor, const QString &fileName);
// The open-file dialog, then WPLoadEditorFile; false when cancelled.
ZOR_EXPORT bool WPOpenDialog(TWPRichText &editor);
// Saves under WPEditorFileName, asking for a name when there is none or
// with saveAs; false when cancelled or failed.
ZOR_EXPORT bool WPSaveDialog(TWPRichText &editor, bool saveAs);
// Inserts a field at the caret (replacing the selection) as one undo step,
// in the caret's character format; refused as typing is.
ZOR_EXPORT void WPInsertField(TWPRichText &editor, TWPFieldKind kind, const QString &name = {});
// The printer's page of a section's setup and back (twips and points);
// WPPrinterSetup shows the platform's page setup dialog for the caret's
// section and lays the text out again when it changed; false when cancelled.
ZOR_EXPORT QPageLayout WPPageLayout(const TWPPageSetup &setup);
ZOR_EXPORT void WPApplyPageLayout(const QPageLayout &layout, TWPPageSetup &setup);
ZOR_EXPORT bool WPPrinterSetup(TWPRichText &editor);
// Prints the document on the default printer, or on the one the print
// dialog chooses; false when there is no printer or the dialog is cancelled.
ZOR_EXPORT bool WPPrintEditor(TWPRichText &editor, bool showDialog);

} // namespace zor
