// TfrmQEWPRichText: the ready-made word-processor window. One editor with
// its rulers, a status bar, the main menu, twelve toolbars and two context
// menus, all wired to the shared rich-text actions.
//
// The actions are shared by every frame of the process, so a frame never
// hides, disables or re-binds them: each menu and toolbar item of the form
// is a proxy named after its shared action, mirroring its text, icon,
// enabled and checked state and triggering it, with its shortcut scoped to
// the frame. Item groups show and hide proxies only, so two frames in one
// window keep their own modes.
//
// Used in place (DialogMode rtfDlgInplace: a child filling its parent, no
// status bar) or as a modal dialog; editing a file (FileMode) or a string
// the caller collects through OnSave; reduced to a viewer (ViewerOnly); or
// switched to web pages (EnabledWebPageMode: HTML sizes, no tabs).
#pragma once

#include <ZorCompCore/platform/Interface.h>
#include <ZorCompCore/richtext/actions/dmQEWPActions.h>
#include <ZorCompCore/zor_export.h>

#include <QMainWindow>

#include <functional>
#include <memory>

class QComboBox;

namespace zor {

class TdWPRichText;
class TWPRuler;
class TWPVertRuler;
class TWPSuperMerge;

enum TQERFDialogMode : int { rtfDlgInplace = 0, rtfDlgDialog = 1 };

// A set of the frame's items shown and hidden together.
class ZOR_EXPORT TWPItemGroup
{
public:
    void Add(QAction *item);
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible);
    const QList<QAction *> &Items() const { return m_items; }

private:
    QList<QAction *> m_items;
    bool m_visible = true;
};

class ZOR_EXPORT TfrmQEWPRichText : public QMainWindow, public TComponentInterfaced, public IQERichTextOwner
{
    Q_OBJECT

public:
    explicit TfrmQEWPRichText(QWidget *parent = nullptr);
    ~TfrmQEWPRichText() override;

    // IInterface: the frame lives by its owner, not by a count.
    HRESULT QueryInterface(const QUuid &iid, void **obj) override;
    int AddRef() override { return -1; }
    int Release() override { return -1; }

    // IQERichTextOwner
    void SaveToString(QObject *Sender, TWPRichText *RichText) override;
    void ExportTo(QObject *Sender, TWPRichText *RichText) override;
    QObject *GetSuperMerge() override;

    TdWPRichText *WPRichText1() const;
    TWPRuler *WPRuler1() const;
    TWPVertRuler *WPVertRuler1() const;
    // An item of the form by its name ("XA_Save", "btnFonSizeUp", "menuTable").
    QAction *Item(const QString &name) const;
    QToolBar *Bar(const QString &name) const;
    // The groups of items the modes show and hide ("dxBarGroupHTML", ...).
    TWPItemGroup *Group(const QString &name) const;
    // The combo boxes of the Font bar, by the name of the action they show
    // ("WPAFontSize", "WPAStyleNames", ...).
    QComboBox *Combo(const QString &actionName) const;
    QMenu *ObjectsMenu() const;
    QMenu *GraphicsMenu() const;

    QString Title() const;
    void SetTitle(const QString &value);
    // The engine's language as a name ("German", "English", ...).
    QString Language() const;
    void SetLanguage(const QString &name);
    TQERFDialogMode DialogMode() const;
    void SetDialogMode(TQERFDialogMode mode);
    bool ViewerOnly() const;
    void SetViewerOnly(bool value);
    bool EnabledWebPageMode() const;
    void SetEnabledWebPageMode(bool value);
    bool EnableWordProcessor() const;
    void SetEnableWordProcessor(bool value);
    bool FileMode() const;
    void SetFileMode(bool value);
    bool ShowSaveButton() const;
    void SetShowSaveButton(bool value);
    bool Modified() const;
    void SetModified(bool value);
    bool NeedSave() const;
    void SetNeedSave(bool value);
    bool ReadOnly() const;
    void SetReadOnly(bool value);
    // The whole text as RTF; an empty value clears the editor.
    QString RTFText() const;
    void SetRTFText(const QString &value);
    QString PlainText() const;
    void SetPlainText(const QString &value);
    // The report engine bound to the frame (not owned): its template becomes
    // the editor's document, the reporting items show while one is bound,
    // and the band dialog opens when the frame is shown.
    TWPSuperMerge *SuperMerge() const;
    void SetSuperMerge(TWPSuperMerge *engine);

    std::function<void(TfrmQEWPRichText *Sender)> OnSave;
    std::function<void(TfrmQEWPRichText *Sender)> OnChange;

    bool LoadHTMLFromFile(const QString &FileName);
    bool LoadRTFFromFile(const QString &FileName);
    bool LoadHTMLFromStr(const QString &Text);
    bool SaveAsRTFFile(const QString &FileName);
    bool SaveAsDOCFile(const QString &FileName);
    bool SaveAsTextFile(const QString &FileName);
    // HTML with the pictures written beside it as "img" + ImagePrefix + n.
    // Extra is accepted and not used.
    bool SaveAsHTMLFile(const QString &FileName, const QString &Extra, const QString &ImagePrefix);
    QString SaveAsHTMLStr(const QString &BaseFolder, const QString &Extra, const QString &ImagePrefix);
    bool ExportToPDF(const QString &FileName, int LeftMargin, int TopMargin, int RightMargin, int BottomMargin,
                     TPDFPageOrientation Orientation, TPDFPageSize PageSize, const QString &Title,
                     const QString &Author, const QString &Subject, const QString &Keywords, bool ShowDialog);
    // On the default printer; false (after saying why) when there is none.
    bool Print();
    void PrintTo();
    void PrintPreview();

    // The font size buttons: the visible size box goes one up or down.
    void FontSizeUp();
    void FontSizeDown();

    // The focus message of the edit-box links (wpAfterGetFocus attaches the
    // Font bar's boxes to their actions).
    void EditBoxStateMsg(QObject *Sender, QWidget *Editor, int Msg);

    // Posts the request that opens the report band dialog once the frame
    // runs its events (a window message number 1025 elsewhere).
    void PostShowBandDialog();

protected:
    bool event(QEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void changeEvent(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

// A pop-up editor for another rich-text control (a grid's rich-text cell):
// the frame in string mode on a copy of the control's text; saving copies it
// back and marks the control modified.
class ZOR_EXPORT TExternalRichEditor
{
public:
    // Returns whether the user saved.
    bool ShowEditor(TWPRichText *Edit);

    // How the frame is shown; the default runs it modally. Tests replace it.
    static std::function<void(TfrmQEWPRichText &Frame)> &ShowModal();

private:
    void DoOnSave(TfrmQEWPRichText *Sender);
    bool FSaved = false;
    TfrmQEWPRichText *FForm = nullptr;
    TWPRichText *FSource = nullptr;
};

// The process-wide hook an in-grid rich-text editor calls for its pop-up
// command ("Editieren..."): (sender, the cell's control, out saved). The
// library sets it to DoShowZORExternalRichEditor when it starts.
using TShowExternalRichEditor = std::function<void(QObject *Sender, TWPRichText *Edit, bool &Saved)>;
ZOR_EXPORT TShowExternalRichEditor &ShowExternalRichEditorHook();
ZOR_EXPORT void DoShowZORExternalRichEditor(QObject *Sender, TWPRichText *Edit, bool &Saved);
// The pop-up command's caption.
ZOR_EXPORT QString cxWPToolsEditShowEditorCaption();

} // namespace zor
