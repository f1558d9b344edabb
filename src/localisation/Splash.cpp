#include <ZorCompCore/localisation/Splash.h>

#include <ZorCompCore/localisation/runtime/EditorForms.h>
#include <ZorCompCore/localisation/runtime/SiLangLinked.h>
#include "ui_Splash.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QStyle>

namespace zor {

namespace {

// The pictures the window can show, by index (ORDER SPLASH IMAGES).
constexpr QStyle::StandardPixmap kImages[] = {
    QStyle::SP_MessageBoxInformation, // 0 general work
    QStyle::SP_BrowserReload,         // 1 refreshing, translating
    QStyle::SP_DialogOpenButton,      // 2 loading
    QStyle::SP_DialogSaveButton,      // 3 saving
    QStyle::SP_FileDialogDetailedView // 4 counting, statistics
};
constexpr int kImageSize = 32;

class TfrmSplash : public QWidget
{
public:
    TfrmSplash() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    {
        setAttribute(Qt::WA_DeleteOnClose, false);
        ui.setupUi(this);
        for (QStyle::StandardPixmap sp : kImages)
            images.append(style()->standardIcon(sp).pixmap(kImageSize, kImageSize));
        siLang = new TsiLangLinked(this);
        siLang->setObjectName(QStringLiteral("siLangLinked_frmSplash"));
        // The label shows the caller's text in every language.
        siLang->ExcludedProperties().Add(QStringLiteral("lblText.text"));
        siLoadFormTexts(siLang, QStringLiteral("Splash"));
        siInitEditorForm(this, siLang);
    }

    void refresh()
    {
        repaint();
        QCoreApplication::processEvents();
    }

    Ui::Splash ui;
    QList<QPixmap> images;
    TsiLangLinked *siLang = nullptr;
};

QPointer<TfrmSplash> g_splash;
bool g_busyCursor = false;

// The window, created on first use; null without a GUI application.
TfrmSplash *splash()
{
    if (!g_splash && qobject_cast<QApplication *>(QCoreApplication::instance())) {
        g_splash = new TfrmSplash;
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            g_splash->adjustSize();
            QRect r = g_splash->frameGeometry();
            r.moveCenter(screen->availableGeometry().center());
            g_splash->move(r.topLeft());
        }
    }
    return g_splash;
}

} // namespace

void Splash(const QString &AText, quint8 AImageIndex)
{
    TfrmSplash *w = splash();
    if (!w)
        return;
    if (!g_busyCursor) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        g_busyCursor = true;
    }
    w->ui.lblText->setText(AText);
    if (AImageIndex < w->images.size())
        w->ui.imgPicture->setPixmap(w->images.at(AImageIndex));
    else
        w->ui.imgPicture->clear();
    if (w->isHidden())
        w->show();
    w->refresh();
}

void NoSplash()
{
    if (g_busyCursor) {
        QGuiApplication::restoreOverrideCursor();
        g_busyCursor = false;
    }
    delete g_splash.data();
}

void SplashInitProgress(int AMax)
{
    TfrmSplash *w = splash();
    if (!w)
        return;
    w->ui.pbProgress->setRange(0, qMax(AMax, 0));
    w->ui.pbProgress->setValue(0);
    w->ui.pbProgress->show();
    w->refresh();
}

void SplashProgress(int APosition)
{
    TfrmSplash *w = splash();
    if (!w)
        return;
    QProgressBar *bar = w->ui.pbProgress;
    // QProgressBar ignores values outside its range; a caller that overshoots
    // still wants the bar full.
    bar->setValue(qBound(bar->minimum(), APosition, bar->maximum()));
    w->refresh();
}

void SplashHideProgress()
{
    if (TfrmSplash *w = splash())
        w->ui.pbProgress->hide();
}

QWidget *SplashWindow()
{
    return g_splash;
}

int SplashImageCount()
{
    return int(std::size(kImages));
}

} // namespace zor
