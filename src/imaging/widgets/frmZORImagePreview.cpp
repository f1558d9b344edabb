#include "frmZORImagePreview.h"

#include <ZorCompCore/localisation/ZORLang.h>
#include <ZorCompCore/localisation/runtime/EditorForms.h>
#include <ZorCompCore/platform/Stream.h>

#include "ui_ImagePreview.h"

#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPixmap>
#include <QScrollBar>

#include <cmath>

namespace zor {

namespace {

constexpr double kMinZoom = 1.0 / 16, kMaxZoom = 16, kStep = 1.25;
// The viewer renders at most this many pixels (64 MiB of ARGB); larger zooms
// show the picture at that size.
constexpr qint64 kMaxPixels = qint64(4096) * 4096;

// The main window of the application: the active one, else the first
// visible main window, else any visible top-level window.
QWidget *MainForm()
{
    if (QWidget *w = QApplication::activeWindow())
        return w->window();
    QWidget *any = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || qobject_cast<TfrmZORImagePreview *>(w))
            continue;
        if (qobject_cast<QMainWindow *>(w))
            return w;
        if (!any)
            any = w;
    }
    return any;
}

} // namespace

struct TfrmZORImagePreview::Private
{
    Ui::ImagePreview ui;
    TZORLang *lang = nullptr;
    TGraphic picture;
    double zoom = 1;
    bool fit = true;
    QString fileName;
};

TfrmZORImagePreview::TfrmZORImagePreview(QWidget *AParent)
    : QWidget(AParent, Qt::Window), d(std::make_unique<Private>())
{
    d->ui.setupUi(this);
    d->lang = new TZORLang(this);
    d->lang->setObjectName(QStringLiteral("siLang_frmZORImagePreview"));
    // The zoom label shows a number, the caption the file's name, in every language.
    d->lang->ExcludedProperties().Add(QStringLiteral("lblZoom.text"));
    d->lang->ExcludedProperties().Add(QStringLiteral("frmZORImagePreview.windowTitle"));
    siLoadFormTexts(d->lang, QStringLiteral("ImagePreview"));
    d->ui.btnFit->setChecked(d->fit);
    d->ui.sbxImage->viewport()->installEventFilter(this);
    connect(d->ui.btnZoomIn, &QToolButton::clicked, this, &TfrmZORImagePreview::ZoomIn);
    connect(d->ui.btnZoomOut, &QToolButton::clicked, this, &TfrmZORImagePreview::ZoomOut);
    connect(d->ui.btnActualSize, &QToolButton::clicked, this, [this] { SetZoom(1); });
    connect(d->ui.btnFit, &QToolButton::toggled, this, &TfrmZORImagePreview::SetFitToWindow);
}

TfrmZORImagePreview::~TfrmZORImagePreview() = default;

TfrmZORImagePreview *TfrmZORImagePreview::ShowAsPopUp(TStream &Stream, const QString &FileName, QWidget *Control)
{
    QWidget *main = MainForm();
    // Owned by the main window's window, so it stays above it; a window of its own.
    auto form = std::make_unique<TfrmZORImagePreview>(main);
    form->setAttribute(Qt::WA_DeleteOnClose);
    Stream.SetPosition(0);
    form->LoadFromStream(Stream);
    form->SetFileName(FileName);
    QRect over;
    if (Control)
        over = Control->parentWidget() ? QRect(Control->mapToGlobal(QPoint(0, 0)), Control->size())
                                       : Control->geometry();
    else if (main)
        over = main->geometry();
    if (over.isValid())
        form->setGeometry(over);
    form->show();
    form->raise();
    form->activateWindow();
    return form.release();
}

void TfrmZORImagePreview::LoadFromStream(TStream &Stream)
{
    d->picture = TGraphic::Load(Stream.ReadAll());
    UpdateView();
}

void TfrmZORImagePreview::SetFileName(const QString &FileName)
{
    d->fileName = FileName;
    setWindowTitle(QFileInfo(FileName).fileName());
    d->ui.stbStatus->showMessage(FileName);
}

QSize TfrmZORImagePreview::PictureSize() const { return d->picture.Size(); }
double TfrmZORImagePreview::Zoom() const { return d->zoom; }
bool TfrmZORImagePreview::FitToWindow() const { return d->fit; }
TZORLang *TfrmZORImagePreview::Lang() const { return d->lang; }
QString TfrmZORImagePreview::StatusText() const { return d->ui.stbStatus->currentMessage(); }

QImage TfrmZORImagePreview::ShownImage() const
{
    return d->ui.imgPicture->pixmap().toImage();
}

void TfrmZORImagePreview::SetZoom(double AZoom)
{
    if (!std::isfinite(AZoom))
        return;
    d->fit = false;
    d->zoom = qBound(kMinZoom, AZoom, kMaxZoom);
    UpdateView();
}

void TfrmZORImagePreview::SetFitToWindow(bool AFit)
{
    d->fit = AFit;
    UpdateView();
}

void TfrmZORImagePreview::ZoomIn() { SetZoom(d->zoom * kStep); }
void TfrmZORImagePreview::ZoomOut() { SetZoom(d->zoom / kStep); }

void TfrmZORImagePreview::keyPressEvent(QKeyEvent *AEvent)
{
    if (AEvent->key() == Qt::Key_Escape && AEvent->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    if (AEvent->key() == Qt::Key_Plus)
        ZoomIn();
    else if (AEvent->key() == Qt::Key_Minus)
        ZoomOut();
    else
        QWidget::keyPressEvent(AEvent);
}

bool TfrmZORImagePreview::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    // Fitting follows the visible area, which the layout sizes after the form.
    if (AWatched == d->ui.sbxImage->viewport() && AEvent->type() == QEvent::Resize && d->fit)
        UpdateView();
    return QWidget::eventFilter(AWatched, AEvent);
}

void TfrmZORImagePreview::UpdateView()
{
    const QSignalBlocker block(d->ui.btnFit);
    d->ui.btnFit->setChecked(d->fit);
    const QSize size = d->picture.Size();
    if (size.isEmpty()) {
        d->ui.imgPicture->clear();
        return;
    }
    if (d->fit) {
        const QSize area = d->ui.sbxImage->viewport()->size();
        d->zoom = qBound(kMinZoom,
                         qMin(1.0, qMin(double(area.width()) / size.width(), double(area.height()) / size.height())),
                         1.0);
    }
    // Device pixels, so that the picture is sharp on scaled screens.
    const qreal dpr = devicePixelRatioF();
    QSize shown(qMax(1, int(std::lround(size.width() * d->zoom * dpr))),
                qMax(1, int(std::lround(size.height() * d->zoom * dpr))));
    if (qint64(shown.width()) * shown.height() > kMaxPixels) {
        const double f = std::sqrt(double(kMaxPixels) / (double(shown.width()) * shown.height()));
        shown = QSize(qMax(1, int(shown.width() * f)), qMax(1, int(shown.height() * f)));
    }
    QImage image;
    try {
        image = d->picture.ToImage(shown, false);
    } catch (const Exception &e) {
        // Shown, not thrown: this runs from buttons and resizes.
        d->ui.imgPicture->clear();
        d->ui.stbStatus->showMessage(e.Message());
        return;
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(dpr);
    d->ui.imgPicture->setPixmap(pixmap);
    d->ui.imgPicture->resize(pixmap.deviceIndependentSize().toSize());
    d->ui.lblZoom->setText(QStringLiteral("%1 %").arg(std::lround(d->zoom * 100)));
    Q_EMIT ZoomChanged();
}

} // namespace zor
