#include "QEWPPrvFrm.h"

#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>

#include "ui_QEWPPrvFrm.h"

#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace zor {

namespace {

// The percentages of the zoom list's first entries (ORDER TWPPvZoomMode).
constexpr int kEntryZoom[] = {500, 200, 150, 100, 75, 50, 25, 10};
constexpr int kPageWidthEntry = wpPvFullWidth, kFullPageEntry = wpPvFullPage,
              kTwoPagesEntry = wpPvDoublePage;

const QString kPaperColor = QStringLiteral("page-background-color");

// The engine's texts shown by its controls, by number. Until the engine has a
// table of translations these are its English texts.
QString WPEngineText(int id)
{
    switch (id) {
    case 111: return QStringLiteral("Page Width");
    case 112: return QStringLiteral("Full Page");
    case 113: return QStringLiteral("Two Pages");
    default: return {};
    }
}

// The window a dialog centres on: the active one, else a visible main window.
QWidget *MainForm()
{
    if (QWidget *w = QApplication::activeWindow())
        return w->window();
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && qobject_cast<QMainWindow *>(w))
            return w;
    return nullptr;
}

} // namespace

// ---- TQEWPPreviewForm ----------------------------------------------------

struct TQEWPPreviewForm::Private
{
    Ui::QEWPPrvFrm ui;
    QLabel *lblZoom = nullptr;   // the status bar's first panel
    QTimer *tmrZoom = nullptr;
    QPointer<TWPPreviewDlg> dialog;
    TWPCustomRtfEdit *source = nullptr;
    std::unique_ptr<TWPCustomRtfEdit> copy;   // of a word-wrapping source
    std::unique_ptr<QPrinter> printer;
    bool updatingCombo = false;
    // The text UpdateCbxZoom put into the combo: when the combo reports it
    // back (its edit repeats Enter, losing the focus ends editing) it is no
    // choice of the user's.
    QString comboEcho;
    bool forceChange = false;
    int pendingZoom = 0;   // the number the timer applies once more
};

TQEWPPreviewForm::TQEWPPreviewForm(QWidget *AParent) : QDialog(AParent), d(std::make_unique<Private>())
{
    d->ui.setupUi(this);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    TWPPreview *pv = d->ui.WPPreview1;
    pv->SetPage(-1);
    pv->SetZooming(1);
    pv->SetViewOptions(wpHideSelection | wpDisableMisspellMarkers | wpDontGrayHeaderFooterInLayout);

    d->lblZoom = new QLabel(this);
    d->lblZoom->setObjectName(QStringLiteral("lblZoom"));
    d->ui.stbStatus->addWidget(d->lblZoom);
    d->tmrZoom = new QTimer(this);
    d->tmrZoom->setObjectName(QStringLiteral("tmrZoom"));
    d->tmrZoom->setSingleShot(true);
    d->tmrZoom->setInterval(100);
    // The adjusting zoom's column count depends on the scroll bars, which
    // settle only after the first arrangement: apply the choice once more.
    connect(d->tmrZoom, &QTimer::timeout, this, [this] {
        if (d->pendingZoom > 10 && d->pendingZoom <= 50) {
            d->ui.WPPreview1->SetZooming(d->pendingZoom);
            d->ui.WPPreview1->SetPage(d->ui.WPPreview1->Page());
        }
    });

    d->ui.edtPage->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), d->ui.edtPage));
    // Key preview: the navigation keys work wherever the focus is.
    for (QWidget *w : findChildren<QWidget *>())
        w->installEventFilter(this);

    connect(d->ui.btnClose, &QAbstractButton::clicked, this, &QWidget::close);
    connect(d->ui.btnFirst, &QAbstractButton::clicked, this, [pv] { pv->SetPage(0); });
    connect(d->ui.btnLast, &QAbstractButton::clicked, this, [pv] { pv->SetPage(pv->PageCount() - 1); });
    connect(d->ui.btnPrev, &QAbstractButton::clicked, this,
            [pv] { pv->SetPage(pv->Page() - pv->ShownColumns()); });
    connect(d->ui.btnNext, &QAbstractButton::clicked, this,
            [pv] { pv->SetPage(pv->Page() + pv->ShownColumns()); });
    connect(d->ui.btnPrint, &QAbstractButton::clicked, this, &TQEWPPreviewForm::PrintClick);
    connect(d->ui.btnExport, &QAbstractButton::clicked, this, &TQEWPPreviewForm::SaveClick);
    connect(d->ui.btnExportPdf, &QAbstractButton::clicked, this, &TQEWPPreviewForm::ExportPdfClicked);
    connect(d->ui.btnMailTo, &QAbstractButton::clicked, this, &TQEWPPreviewForm::MailToClicked);
    connect(d->ui.btnPrinterSetup, &QAbstractButton::clicked, this, [this] {
        if (!d->printer)
            d->printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        QPageSetupDialog(d->printer.get(), this).exec();
    });
    connect(d->ui.btnEdit, &QAbstractButton::toggled, pv, &TWPPreview::SetEditMode);
    connect(pv, &TWPPreview::EditModeChanged, d->ui.btnEdit, &QAbstractButton::setChecked);
    connect(d->ui.cbxZoomModes, &QComboBox::textActivated, this, [this] { cbxZoomModesChange(); });
    connect(d->ui.cbxZoomModes->lineEdit(), &QLineEdit::returnPressed, this, [this] { cbxZoomModesChange(); });
    connect(pv, &TWPPreview::ZoomChanged, this, [this] {
        UpdateCbxZoom();
        d->lblZoom->setText(QStringLiteral("%1%").arg(d->ui.WPPreview1->Zooming()));
    });
    connect(pv, &TWPPreview::PageChanged, this, [this] {
        d->ui.lblPageCount->setText(u'/' + QString::number(d->ui.WPPreview1->PageCount()));
        d->ui.edtPage->setText(QString::number(d->ui.WPPreview1->Page() + 1));
    });
}

TQEWPPreviewForm::~TQEWPPreviewForm()
{
    if (d->dialog)
        d->dialog->FormClosing(this);
    // The preview must not look at the copy while it goes.
    d->ui.WPPreview1->SetEditor(nullptr);
}

TWPPreview *TQEWPPreviewForm::Preview() const { return d->ui.WPPreview1; }
TWPCustomRtfEdit *TQEWPPreviewForm::Source() const { return d->source; }
TWPCustomRtfEdit *TQEWPPreviewForm::Shown() const { return d->ui.WPPreview1->Editor(); }
TWPPreviewDlg *TQEWPPreviewForm::Dialog() const { return d->dialog; }
void TQEWPPreviewForm::SetDialog(TWPPreviewDlg *ADialog) { d->dialog = ADialog; }

void TQEWPPreviewForm::SetSource(TWPCustomRtfEdit *AEditor)
{
    d->ui.WPPreview1->SetEditor(nullptr);
    d->copy.reset();
    d->source = AEditor;
    TWPCustomRtfEdit *shown = AEditor;
    if (AEditor && AEditor->WordWrap()) {
        // A wrapping editor has no pages: lay out a copy of its text instead.
        auto copy = std::make_unique<TWPCustomRtfEdit>();
        QBuffer stream;
        stream.open(QIODevice::ReadWrite);
        if (AEditor->SaveToStream(stream, QStringLiteral("WPTOOLS"))) {
            stream.seek(0);
            copy->LoadFromStream(stream, QStringLiteral("WPTOOLS"));
        }
        copy->SetWordWrap(false);
        const int last = copy->Document().Text()->characterCount() - 1;
        copy->TextCursor().setPosition(std::clamp(AEditor->TextCursor().position(), 0, last));
        if (AEditor->Document().HasDataItem(kPaperColor))
            SetRTFDataColorValue(copy->Document(), kPaperColor,
                                 GetRTFDataColorValue(AEditor->Document(), kPaperColor, 0xFFFFFF));
        d->copy = std::move(copy);
        shown = d->copy.get();
    }
    d->ui.WPPreview1->SetEditor(shown);
}

void TQEWPPreviewForm::cbxZoomModesChange()
{
    if (d->updatingCombo)
        return;
    TWPPreview *pv = d->ui.WPPreview1;
    const QString text = d->ui.cbxZoomModes->currentText();
    if (!d->forceChange && text == d->comboEcho)
        return;
    bool isNumber = false;
    int n = text.trimmed().toInt(&isNumber);
    if (!isNumber)
        n = 0;
    const int entry = d->ui.cbxZoomModes->findText(text, Qt::MatchExactly);
    if (entry >= 0 && entry < int(std::size(kEntryZoom))) {
        n = kEntryZoom[entry];
    } else if (entry == kPageWidthEntry || entry == kFullPageEntry || entry == kTwoPagesEntry) {
        pv->SetLayoutMode(wplayFullLayout);
        pv->SetAutoZoom(entry == kPageWidthEntry ? wpAutoZoomWidth : wpAutoZoomFullPage);
        pv->SetPageColumns(entry == kTwoPagesEntry ? 2 : 1);
    }
    if (entry >= 0 && entry <= kTwoPagesEntry && d->dialog)
        d->dialog->SetZoomMode(TWPPvZoomMode(entry));

    if (n >= 1 && n <= 10) {
        pv->SetAutoZoom(wpAutoZoomFullPage);
        pv->SetLayoutMode(wpThumbNailView);
    } else if (n > 10 && n <= 50) {
        pv->SetAutoZoom(wpAutoZoomAdjustColumnCount);
        pv->SetLayoutMode(wplayFullLayout);
        pv->SetZooming(n);
        d->pendingZoom = n;
        d->tmrZoom->start();
    } else if (n > 50) {
        pv->SetLayoutMode(wplayFullLayout);
        pv->SetAutoZoom(wpAutoZoomOff);
        pv->SetPageColumns(1);
        pv->SetZooming(n);
    }
    pv->SetPage(pv->Page());
    d->lblZoom->setText(QStringLiteral("%1%").arg(pv->Zooming()));
    UpdateCbxZoom();
}

void TQEWPPreviewForm::UpdateCbxZoom()
{
    const TWPPreview *pv = d->ui.WPPreview1;
    QComboBox *cbx = d->ui.cbxZoomModes;
    // Thumbnails and the column-adjusting zoom choose their columns
    // themselves: there the columns asked for say nothing, the zoom does.
    const bool ownColumns = pv->LayoutMode() == wplayFullLayout && pv->AutoZoom() != wpAutoZoomAdjustColumnCount;
    d->updatingCombo = true;
    if (pv->AutoZoom() == wpAutoZoomWidth && cbx->count() > kPageWidthEntry) {
        cbx->setCurrentIndex(kPageWidthEntry);
    } else if (ownColumns && pv->PageColumns() == 2 && cbx->count() > kTwoPagesEntry) {
        cbx->setCurrentIndex(kTwoPagesEntry);
    } else if (ownColumns && pv->AutoZoom() == wpAutoZoomFullPage && pv->PageColumns() == 1
               && cbx->count() > kFullPageEntry) {
        cbx->setCurrentIndex(kFullPageEntry);
    } else {
        cbx->setCurrentIndex(-1);
        cbx->setEditText(QStringLiteral("%1%").arg(pv->Zooming()));
    }
    d->comboEcho = cbx->currentText();
    d->updatingCombo = false;
}

void TQEWPPreviewForm::SelectZoomMode(TWPPvZoomMode AMode)
{
    QComboBox *cbx = d->ui.cbxZoomModes;
    if (AMode < 0 || AMode >= cbx->count())
        return;
    d->updatingCombo = true;
    cbx->setCurrentIndex(AMode);
    d->updatingCombo = false;
    d->forceChange = true;
    cbxZoomModesChange();
    d->forceChange = false;
}

void TQEWPPreviewForm::PrintClick()
{
    if (d->dialog && d->dialog->OnPrintClick) {
        d->dialog->OnPrintClick(*this);
        return;
    }
    TWPCustomRtfEdit *editor = Shown();
    if (!editor)
        return;
    if (!d->printer)
        d->printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    const int count = d->ui.WPPreview1->PageCount();
    QPrintDialog dlg(d->printer.get(), this);
    dlg.setMinMax(1, std::max(1, count));
    dlg.setOption(QAbstractPrintDialog::PrintPageRange);
    if (dlg.exec() != QDialog::Accepted)
        return;
    int from = 0, to = count - 1;
    if (d->printer->printRange() == QPrinter::PageRange) {
        from = d->printer->fromPage() - 1;
        to = d->printer->toPage() - 1;
    } else if (d->printer->printRange() == QPrinter::CurrentPage) {
        from = to = d->ui.WPPreview1->Page();
    }
    if (!WPPrintPages(editor->Document(), *d->printer, from, to))
        QMessageBox::warning(this, windowTitle(), tr("The document could not be printed."));
}

void TQEWPPreviewForm::SaveClick()
{
    if (d->dialog && d->dialog->OnSaveClick) {
        d->dialog->OnSaveClick(*this);
        return;
    }
    TWPCustomRtfEdit *editor = d->source ? d->source : Shown();
    if (!editor)
        return;
    const QString name = QFileDialog::getSaveFileName(
        this, tr("Export"), {},
        tr("Rich Text (*.rtf);;HTML (*.htm *.html);;Text (*.txt);;OpenDocument (*.odt);;PDF (*.pdf)"));
    if (name.isEmpty())
        return;
    if (!editor->SaveToFile(name))
        QMessageBox::warning(this, windowTitle(), editor->LastError());
}

void TQEWPPreviewForm::showEvent(QShowEvent *AEvent)
{
    QComboBox *cbx = d->ui.cbxZoomModes;
    if (cbx->count() > 10) {
        const QSignalBlocker block(cbx);
        for (int i = 0; i < 3; ++i)
            cbx->setItemText(kPageWidthEntry + i, WPEngineText(111 + i));
    }
    QDialog::showEvent(AEvent);
}

void TQEWPPreviewForm::closeEvent(QCloseEvent *AEvent)
{
    if (d->dialog)
        d->dialog->FormClosing(this);
    QDialog::closeEvent(AEvent);
}

void TQEWPPreviewForm::keyPressEvent(QKeyEvent *AEvent)
{
    if (!eventFilter(this, AEvent))
        QDialog::keyPressEvent(AEvent);
}

bool TQEWPPreviewForm::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    if (AEvent->type() != QEvent::KeyPress)
        return QDialog::eventFilter(AWatched, AEvent);
    auto *key = static_cast<QKeyEvent *>(AEvent);
    TWPPreview *pv = d->ui.WPPreview1;
    if (AWatched == d->ui.edtPage) {
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            bool ok = false;
            const int typed = d->ui.edtPage->text().toInt(&ok);
            if (ok)
                pv->SetPage(typed - 1);
            d->ui.edtPage->setText(QString::number(pv->Page() + 1));
            return true;
        }
        const QString text = key->text();
        if (!text.isEmpty() && key->key() != Qt::Key_Backspace && !(text.size() == 1 && text[0].isDigit())
            && text[0].isPrint())
            return true;
    }
    // In edit mode the preview's own keys move the caret.
    if (pv->EditMode() && (AWatched == pv || AWatched == pv->viewport()))
        return QDialog::eventFilter(AWatched, AEvent);
    const bool inEdit = qobject_cast<QLineEdit *>(AWatched) != nullptr;
    switch (key->key()) {
    case Qt::Key_PageUp: pv->SetPage(pv->Page() - pv->ShownColumns()); return true;
    case Qt::Key_PageDown: pv->SetPage(pv->Page() + pv->ShownColumns()); return true;
    case Qt::Key_Home:
        if (inEdit)
            break;
        pv->SetPage(0);
        return true;
    case Qt::Key_End:
        if (inEdit)
            break;
        pv->SetPage(pv->PageCount() - 1);
        return true;
    default: break;
    }
    return QDialog::eventFilter(AWatched, AEvent);
}

// ---- TWPPreviewDlg -------------------------------------------------------

struct TWPPreviewDlg::Private
{
    TWPCustomRtfEdit *editBox = nullptr;
    QPointer<TQEWPPreviewForm> form;
    bool inExec = false;
    TWPFormPosition defaultPosition = poScreenCenter;
    QRect bounds{10, 10, 319, 426};
    bool placed = false;   // bounds came from a closed form or the application
    QSize minSize{220, 220};
    Qt::WindowStates windowState = Qt::WindowNoState;
    TWPPvZoomMode zoomMode = wp100Percent;
    TWPViewOptions viewOptions = wpHideSelection | wpDisableMisspellMarkers | wpDontGrayHeaderFooterInLayout;
    bool singlePage = false;
    bool modal = true;
};

TWPPreviewDlg::TWPPreviewDlg(QObject *AOwner) : QObject(AOwner), d(std::make_unique<Private>()) {}

TWPPreviewDlg::~TWPPreviewDlg()
{
    if (d->form) {
        d->form->SetDialog(nullptr);
        if (!d->inExec)
            delete d->form;
        else
            d->form->reject();
    }
}

TWPCustomRtfEdit *TWPPreviewDlg::EditBox() const { return d->editBox; }
void TWPPreviewDlg::SetEditBox(TWPCustomRtfEdit *AEditBox) { d->editBox = AEditBox; }
TQEWPPreviewForm *TWPPreviewDlg::Form() const { return d->form; }

bool TWPPreviewDlg::Execute()
{
    if (!d->editBox)
        return false;
    if (d->form) {
        d->form->show();
        d->form->raise();
        d->form->activateWindow();
        return true;
    }
    auto *form = new TQEWPPreviewForm(MainForm());
    d->form = form;
    form->SetDialog(this);
    form->setMinimumSize(d->minSize);
    if (d->placed) {
        form->setGeometry(d->bounds);
    } else {
        form->resize(d->bounds.size().expandedTo(d->minSize));
        QRect over;
        if (d->defaultPosition == poMainFormCenter && MainForm())
            over = MainForm()->frameGeometry();
        else if (d->defaultPosition != poDesigned && QGuiApplication::primaryScreen())
            over = QGuiApplication::primaryScreen()->availableGeometry();
        if (over.isValid())
            form->move(over.center() - QPoint(form->width() / 2, form->height() / 2));
    }
    form->setWindowState(d->windowState);
    form->Preview()->SetViewOptions(d->viewOptions);
    form->Preview()->SetSinglePageMode(d->singlePage);
    form->SetSource(d->editBox);
    form->SelectZoomMode(d->zoomMode);
    if (OnPrepareDlg)
        OnPrepareDlg(*form);
    if (d->modal) {
        // The application may free the dialog (or the form's parent the
        // form) while the form is shown.
        const QPointer<TWPPreviewDlg> self(this);
        const QPointer<TQEWPPreviewForm> shown(form);
        d->inExec = true;
        form->exec();
        if (self)
            d->inExec = false;
        delete shown.data();  // writes the bounds back
    } else {
        form->setAttribute(Qt::WA_DeleteOnClose);
        form->show();
    }
    return true;
}

void TWPPreviewDlg::Close()
{
    if (!d->form)
        return;
    if (d->inExec) {
        d->form->close();  // Execute frees it when exec returns
        return;
    }
    TQEWPPreviewForm *form = d->form;
    form->setAttribute(Qt::WA_DeleteOnClose, false);
    form->close();
    delete form;
}

void TWPPreviewDlg::FormClosing(TQEWPPreviewForm *AForm)
{
    const QRect r = AForm->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)
                        ? AForm->normalGeometry()
                        : AForm->geometry();
    if (r.isValid()) {
        d->bounds = r;
        d->placed = true;
    }
}

int TWPPreviewDlg::CurrentZooming() const { return d->form ? d->form->Preview()->Zooming() : 100; }

TWPFormPosition TWPPreviewDlg::DefaultPosition() const { return d->defaultPosition; }
void TWPPreviewDlg::SetDefaultPosition(TWPFormPosition AValue) { d->defaultPosition = AValue; }
int TWPPreviewDlg::Left() const { return d->bounds.left(); }
int TWPPreviewDlg::Top() const { return d->bounds.top(); }
int TWPPreviewDlg::Width() const { return d->bounds.width(); }
int TWPPreviewDlg::Height() const { return d->bounds.height(); }

void TWPPreviewDlg::SetLeft(int AValue)
{
    d->bounds.moveLeft(AValue);
    d->placed = true;
}

void TWPPreviewDlg::SetTop(int AValue)
{
    d->bounds.moveTop(AValue);
    d->placed = true;
}

void TWPPreviewDlg::SetWidth(int AValue) { d->bounds.setWidth(std::max(1, AValue)); }
void TWPPreviewDlg::SetHeight(int AValue) { d->bounds.setHeight(std::max(1, AValue)); }
int TWPPreviewDlg::MinWidth() const { return d->minSize.width(); }
int TWPPreviewDlg::MinHeight() const { return d->minSize.height(); }
void TWPPreviewDlg::SetMinWidth(int AValue) { d->minSize.setWidth(std::max(0, AValue)); }
void TWPPreviewDlg::SetMinHeight(int AValue) { d->minSize.setHeight(std::max(0, AValue)); }
Qt::WindowStates TWPPreviewDlg::WindowState() const { return d->windowState; }
void TWPPreviewDlg::SetWindowState(Qt::WindowStates AValue) { d->windowState = AValue; }
TWPPvZoomMode TWPPreviewDlg::ZoomMode() const { return d->zoomMode; }

void TWPPreviewDlg::SetZoomMode(TWPPvZoomMode AValue)
{
    if (AValue >= wp500Percent && AValue <= wpPvDoublePage)
        d->zoomMode = AValue;
}

TWPViewOptions TWPPreviewDlg::ViewOptions() const { return d->viewOptions; }
void TWPPreviewDlg::SetViewOptions(TWPViewOptions AValue) { d->viewOptions = AValue; }
bool TWPPreviewDlg::SinglePageMode() const { return d->singlePage; }

void TWPPreviewDlg::SetSinglePageMode(bool AValue)
{
    d->singlePage = AValue;
    if (d->form)
        d->form->Preview()->SetSinglePageMode(AValue);
}

bool TWPPreviewDlg::Modal() const { return d->modal; }
void TWPPreviewDlg::SetModal(bool AValue) { d->modal = AValue; }

// ---- WPShowPreview -------------------------------------------------------

TQEWPPreviewForm *WPShowPreview(TWPCustomRtfEdit *AEditor, bool AModal)
{
    static QPointer<TQEWPPreviewForm> shared;
    if (!shared) {
        shared = new TQEWPPreviewForm;
        // The application owns it: it goes when the event loop ends.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, shared.data(), &QObject::deleteLater);
    }
    shared->Preview()->SetEditor(AEditor);
    if (AModal) {
        if (shared->isVisible())
            shared->close();
        shared->exec();
    } else {
        shared->show();
        shared->raise();
    }
    return shared;
}

} // namespace zor
