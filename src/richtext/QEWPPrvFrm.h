// The print preview: TWPPreviewDlg, the component an application keeps (it
// remembers the window's bounds and the zoom between uses), and
// TQEWPPreviewForm, the window it opens for one use: the pages in a
// TWPPreview with page navigation, a zoom choice, print, export and an edit
// mode. WPShowPreview shows one shared preview window for any editor.
//
// An editor that wraps words at its window's edge is previewed through a
// copy the form owns (its own text in our lossless format, word wrap off,
// caret and paper colour taken over); any other editor is shown itself.
#pragma once

#include <ZorCompCore/richtext/WPPreview.h>
#include <ZorCompCore/zor_export.h>

#include <QDialog>
#include <QObject>

#include <functional>
#include <memory>

namespace zor {

class TWPCustomRtfEdit;
class TQEWPPreviewForm;

// The zoom choices of the preview, in the order of its zoom list.
enum TWPPvZoomMode : int {
    wp500Percent, wp200Percent, wp150Percent, wp100Percent, wp75Percent, wp50Percent,
    wp25Percent, wp10Percent, wpPvFullWidth, wpPvFullPage, wpPvDoublePage
};

// Where a window opens when it has no remembered place.
enum TWPFormPosition : int { poDesigned, poScreenCenter, poMainFormCenter };

class ZOR_EXPORT TWPPreviewDlg : public QObject
{
    Q_OBJECT
public:
    // Handlers get the open form (its preview: Form.Preview()).
    using TWPPreviewFormEvent = std::function<void(TQEWPPreviewForm &Form)>;

    explicit TWPPreviewDlg(QObject *AOwner = nullptr);
    ~TWPPreviewDlg() override;

    // The editor previewed; not owned.
    TWPCustomRtfEdit *EditBox() const;
    void SetEditBox(TWPCustomRtfEdit *AEditBox);

    // Opens the form for EditBox, modally when Modal (returning when it is
    // closed) or not. False when there is no editor; with a form already
    // open, brings that one to the front.
    bool Execute();
    // Closes and frees an open form.
    void Close();
    // The preview's zoom in percent while the form exists, else 100.
    int CurrentZooming() const;
    // The open form; null between uses.
    TQEWPPreviewForm *Form() const;

    // Where the form opens the first time (later at its remembered bounds).
    TWPFormPosition DefaultPosition() const;
    void SetDefaultPosition(TWPFormPosition AValue);
    // The remembered bounds (10, 10, 319, 426 until set or a form closes).
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void SetLeft(int AValue);
    void SetTop(int AValue);
    void SetWidth(int AValue);
    void SetHeight(int AValue);
    // The smallest size the form can be given (220 x 220).
    int MinWidth() const;
    int MinHeight() const;
    void SetMinWidth(int AValue);
    void SetMinHeight(int AValue);
    Qt::WindowStates WindowState() const;
    void SetWindowState(Qt::WindowStates AValue);
    // The zoom choice, applied when the form opens and kept when the user
    // picks an entry of the zoom list.
    TWPPvZoomMode ZoomMode() const;
    void SetZoomMode(TWPPvZoomMode AValue);
    TWPViewOptions ViewOptions() const;
    void SetViewOptions(TWPViewOptions AValue);
    bool SinglePageMode() const;
    // Also given to the open form's preview.
    void SetSinglePageMode(bool AValue);
    bool Modal() const;
    void SetModal(bool AValue);

    // Called after the form is set up and before it is shown.
    TWPPreviewFormEvent OnPrepareDlg;
    // Replace printing and export (else the editor prints or saves itself).
    TWPPreviewFormEvent OnPrintClick;
    TWPPreviewFormEvent OnSaveClick;

private:
    friend class TQEWPPreviewForm;
    void FormClosing(TQEWPPreviewForm *AForm);
    struct Private;
    std::unique_ptr<Private> const d;
};

class ZOR_EXPORT TQEWPPreviewForm : public QDialog
{
    Q_OBJECT
public:
    explicit TQEWPPreviewForm(QWidget *AParent = nullptr);
    ~TQEWPPreviewForm() override;

    TWPPreview *Preview() const;
    // The editor the form was opened for and the one its preview shows (the
    // same, or the form's own copy of a word-wrapping editor).
    TWPCustomRtfEdit *Source() const;
    TWPCustomRtfEdit *Shown() const;
    void SetSource(TWPCustomRtfEdit *AEditor);

    // The dialog that opened the form (null for a stand-alone form): its
    // handlers are used, its zoom choice and bounds kept up to date.
    TWPPreviewDlg *Dialog() const;
    void SetDialog(TWPPreviewDlg *ADialog);

    // Applies the zoom list's current text (typed or chosen).
    void cbxZoomModesChange();
    // Shows the preview's zoom in the zoom list.
    void UpdateCbxZoom();
    // Picks entry AMode of the zoom list and applies it.
    void SelectZoomMode(TWPPvZoomMode AMode);

    // Print and Export as the buttons do them.
    void PrintClick();
    void SaveClick();

Q_SIGNALS:
    // The buttons with no behaviour of their own.
    void ExportPdfClicked();
    void MailToClicked();

protected:
    void showEvent(QShowEvent *AEvent) override;
    void closeEvent(QCloseEvent *AEvent) override;
    void keyPressEvent(QKeyEvent *AEvent) override;
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

// Shows the process's one preview form (created on first use, owned by the
// application) for AEditor: modally (a form already shown is closed first)
// or not. Returns the form.
ZOR_EXPORT TQEWPPreviewForm *WPShowPreview(TWPCustomRtfEdit *AEditor, bool AModal);

} // namespace zor
