// The Controls page: the busy indicators on the animation clock, the sprite
// slider, the desktop's reduced-motion answer, and a popup menu of the global
// menu model mirrored live by a small toolbar, with the guided tour's calls
// written to a log. --controls FILE.png saves a picture with the menu open.
#include "GalleryPage.h"

#include <ZorCompCore/controls/AnimatedProgressBar.h>
#include <ZorCompCore/controls/QEPopupMenu.h>
#include <ZorCompCore/controls/ReducedMotion.h>
#include <ZorCompCore/controls/ZORImageSlider.h>

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextStream>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

using namespace zor;

namespace {

// A toolbar button that mirrors one menu item (the item tells it everything).
class MirrorButton : public QToolButton, public TComponentInterfaced, public IQEMenuControl
{
public:
    MirrorButton(TQEMenuItem *AItem, QWidget *AParent) : QToolButton(AParent), FItem(AItem)
    {
        setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        connect(this, &QToolButton::clicked, this, [this] {
            if (FItem)
                FItem->Do_Click(this);
        });
        AItem->Set_MenuControl(this);
    }
    ~MirrorButton() override
    {
        if (FItem)
            FItem->Set_MenuControl(nullptr);
    }
    HRESULT QueryInterface(const QUuid &iid, void **obj) override
    {
        if (AnswerInterface<IQEMenuControl>(this, iid, obj))
            return S_OK;
        return TComponentInterfaced::QueryInterface(iid, obj);
    }
    void Set_Caption(const QString &Value) override { setText(Value); }
    void Set_Enabled(bool Value) override { setEnabled(Value); }
    void Set_Visible(bool Value) override { setVisible(Value); }
    void Set_Checked(bool Value) override
    {
        setCheckable(Value || FRadio);
        setChecked(Value);
    }
    void Set_HelpContext(int) override {}
    void Set_Hint(const QString &Value) override { setToolTip(Value); }
    void Set_GroupIndex(quint8) override {}
    void Set_ShortCut(quint16 Value) override
    {
        const QString keys = ShortCutToText(Value);
        setStatusTip(keys);
    }
    void Set_RadioItem(bool Value) override { FRadio = Value; }
    void Do_Notification(TQEMenuControlNotification Notification) override
    {
        if (Notification == mmcDelete) {
            FItem = nullptr;
            setEnabled(false);
        }
    }
    void Set_Icon(const QIcon &Value) override { setIcon(Value); }

private:
    QPointer<TQEMenuItem> FItem;
    bool FRadio = false;
};

class MenuArea : public QLabel
{
public:
    explicit MenuArea(QWidget *AParent) : QLabel(AParent)
    {
        setText(QStringLiteral("Right-click here for the popup menu"));
        setAlignment(Qt::AlignCenter);
        setFrameShape(QFrame::StyledPanel);
        setMinimumHeight(60);
    }
    TQEPopupMenu *Menu = nullptr;

protected:
    void contextMenuEvent(QContextMenuEvent *e) override
    {
        if (Menu)
            Menu->Popup(e->globalPos().x(), e->globalPos().y());
    }
};

class ControlsPage : public QWidget
{
public:
    explicit ControlsPage(QWidget *parent = nullptr) : QWidget(parent)
    {
        auto *layout = new QVBoxLayout(this);

        // --- busy indicators
        auto *busy = new QGroupBox(QStringLiteral("Busy indicators"), this);
        auto *busyRow = new QHBoxLayout(busy);
        for (TZORAnimationSet set : {dasCircle1, dasBlocks}) {
            auto *a = new TZORLoadingImageAnimation(busy);
            a->SetAnimationSet(set);
            a->setFixedSize(32, 32);
            a->SetAutoAnimate(true);
            busyRow->addWidget(a);
            Animations.push_back(a);
        }
        // The 2x sheet, shown at twice the size whatever the screen.
        Slider = new TZORSpriteImageSlider(busy);
        Slider->Images()->LoadFromResName(TZORLoadingImageAnimation::AnimationSetResName(dasBlocks), 2.0);
        Slider->SetImageFitMode(ifmStretch);
        Slider->SetTransitionEffect(iteSlide);
        Slider->setFixedSize(66, 66);
        busyRow->addWidget(Slider);
        auto *sliderLabel = new QLabel(busy);
        Slider->OnChange = [this, sliderLabel](QObject *) {
            sliderLabel->setText(QStringLiteral("frame %1 of %2 (←/→ when focused)")
                                     .arg(Slider->ItemIndex() + 1).arg(Slider->Images()->Count()));
        };
        Slider->OnChange(Slider);
        busyRow->addWidget(sliderLabel);
        busyRow->addStretch();
        layout->addWidget(busy);

        auto *barBox = new QGroupBox(QStringLiteral("Running progress bar"), this);
        auto *barRow = new QHBoxLayout(barBox);
        Bar = new TAnimatedProgressBar(barBox);
        Bar->setFixedSize(200, 9);
        Bar->SetAnimate(true);
        auto *animate = new QCheckBox(QStringLiteral("Animate"), barBox);
        animate->setChecked(true);
        connect(animate, &QCheckBox::toggled, Bar, [this](bool on) { Bar->SetAnimate(on); });
        auto *manual = new QCheckBox(QStringLiteral("ManualAnimate"), barBox);
        connect(manual, &QCheckBox::toggled, Bar, [this](bool on) { Bar->SetManualAnimate(on); });
        auto *step = new QPushButton(QStringLiteral("Step"), barBox);
        connect(step, &QPushButton::clicked, Bar, [this] {
            for (int i = 0; i < 10; ++i)
                Bar->ManualStep();
        });
        barRow->addWidget(Bar);
        barRow->addWidget(animate);
        barRow->addWidget(manual);
        barRow->addWidget(step);
        barRow->addStretch();
        layout->addWidget(barBox);

        Motion = new QLabel(this);
        auto showMotion = [this] {
            TReducedMotion *rm = TReducedMotion::Instance();
            Motion->setText(QStringLiteral("Reduced motion: %1 (decided by %2); animation timer %3 ms")
                                .arg(rm->Reduced() ? QStringLiteral("on") : QStringLiteral("off"), rm->Source())
                                .arg(Animations.front()->TimerInterval()));
        };
        connect(TReducedMotion::Instance(), &TReducedMotion::Changed, this, showMotion);
        showMotion();
        layout->addWidget(Motion);

        // --- popup menu, mirrored by a toolbar
        auto *menuBox = new QGroupBox(QStringLiteral("Popup menu of the global menu model"), this);
        auto *menuLayout = new QVBoxLayout(menuBox);
        Menu = new TQEPopupMenu(this);
        Menu->SetCaption(QStringLiteral("Gallery menu"));
        Menu->SetUniqueIdent(QStringLiteral("GalleryMenu"));
        buildMenu();
        auto *toolbar = new QToolBar(menuBox);
        for (int i = 0; i < Menu->Items()->Count(); ++i)
            if (auto *item = qobject_cast<TQEMenuItem *>(Menu->Items()->Items(i)); item && !item->IsLine())
                toolbar->addWidget(new MirrorButton(item, toolbar));
        menuLayout->addWidget(toolbar);
        Area = new MenuArea(menuBox);
        Area->Menu = Menu;
        menuLayout->addWidget(Area);
        layout->addWidget(menuBox);

        Log = new QPlainTextEdit(this);
        Log->setReadOnly(true);
        Log->setMaximumBlockCount(200);
        Log->setPlaceholderText(QStringLiteral("Guided-tour calls appear here"));
        layout->addWidget(Log);

        GlobalProcRegisterGlobalLiveTourAction = [this](ILiveTourAction *a) {
            log(QStringLiteral("tour: register %1 (%2)").arg(a->Get_Caption(), a->Get_Identifier()));
        };
        GlobalProcUnRegisterGlobalLiveTourAction = [this](ILiveTourAction *a) {
            log(QStringLiteral("tour: unregister %1").arg(a->Get_Caption()));
        };
        GlobalProcFunctionNotificationProc = [this](ILiveTourAction *a, int index, TFunctionNotification) {
            log(QStringLiteral("tour: function %1 of %2 executed").arg(index).arg(a->Get_Caption()));
        };
    }

    ~ControlsPage() override
    {
        GlobalProcRegisterGlobalLiveTourAction = nullptr;
        GlobalProcUnRegisterGlobalLiveTourAction = nullptr;
        GlobalProcFunctionNotificationProc = nullptr;
    }

    void log(const QString &line)
    {
        Log->appendPlainText(line);
        Lines << line;
    }

    void buildMenu()
    {
        auto add = [this](const QString &caption, TShortCut keys) {
            TQEMenuItem *item = Menu->CreateItem(true);
            item->SetCaption(caption);
            item->SetShortCut(keys);
            item->OnClick = [this, item](QObject *) { log(QStringLiteral("click: %1").arg(StripHotkey(item->Caption()))); };
            return item;
        };
        TQEMenuItem *bold = add(QStringLiteral("&Bold"), scCtrl | 'B');
        bold->SetHint(QStringLiteral("A check item: each click toggles it"));
        bold->OnClick = [this, bold](QObject *) {
            bold->SetChecked(!bold->Checked());
            log(QStringLiteral("click: Bold, now %1").arg(bold->Checked() ? "on" : "off"));
        };
        add(cLineCaption, 0);
        for (const char *side : {"&Left", "&Centre", "&Right"}) {
            TQEMenuItem *radio = add(QString::fromLatin1(side), 0);
            radio->SetRadioItem(true);
            radio->SetGroupIndex(1);
            radio->OnClick = [this, radio](QObject *) {
                radio->SetChecked(true);
                log(QStringLiteral("click: %1 aligned").arg(StripHotkey(radio->Caption())));
            };
        }
        Menu->Items()->Items(2)->SetChecked(true);
        add(cLineCaption, 0);
        add(QStringLiteral("&Disabled item"), 0)->SetEnabled(false);
        Recent = add(QStringLiteral("Recent &files"), 0);
        // Rebuilt each time the menu opens.
        Menu->OnInvalidate = [this](QObject *) {
            Recent->Clear();
            ++Opened;
            for (int i = 1; i <= 3; ++i) {
                TQEMenuItem *file = Menu->CreateItem(false);
                file->SetCaption(QStringLiteral("report-%1-%2.html").arg(Opened).arg(i));
                file->OnClick = [this, file](QObject *) { log(QStringLiteral("open %1").arg(file->Caption())); };
                Recent->Add(file);
            }
        };
    }

    std::vector<TZORLoadingImageAnimation *> Animations;
    TZORSpriteImageSlider *Slider = nullptr;
    TAnimatedProgressBar *Bar = nullptr;
    QLabel *Motion = nullptr;
    TQEPopupMenu *Menu = nullptr;
    TQEMenuItem *Recent = nullptr;
    MenuArea *Area = nullptr;
    QPlainTextEdit *Log = nullptr;
    QStringList Lines;
    int Opened = 0;
};

// Waits (a few seconds at most) until the window is on the screen.
bool waitExposed(QWindow *AWindow)
{
    QElapsedTimer waited;
    waited.start();
    while (AWindow && !AWindow->isExposed() && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return AWindow && AWindow->isExposed();
}

// Opens the menu over the page, takes the picture, and closes the menu with
// Down, Return (a click on the first item). On a display (Xvfb in the
// showcase) the picture is the screen itself, grabbed while the menu is
// open; on the offscreen platform page and menu are drawn into one picture.
int runHeadless(QApplication &, const QStringList &args)
{
    QTextStream out(stdout);
    const QString picture = gallery::argValue(args, QStringLiteral("--controls"));
    const bool onScreen = QGuiApplication::platformName() != u"offscreen";
    ControlsPage page;
    page.resize(760, 560);
    page.move(0, 0);
    page.show();
    if (onScreen && !waitExposed(page.windowHandle()))
        out << "The page did not appear on the screen\n";
    QApplication::processEvents();
    for (TZORLoadingImageAnimation *a : page.Animations)
        a->Step();
    for (int i = 0; i < 90; ++i) // the block a third of the way along
        page.Bar->ManualStep();
    out << "loading animations: " << page.Animations[0]->Images()->Count() << " and "
        << page.Animations[1]->Images()->Count() << " frames; slider: " << page.Slider->Images()->Count()
        << " frames of " << page.Slider->Images()->Items(0).width() << " px\n";
    out << page.Motion->text() << '\n';
    bool saved = false, menuShown = false;
    QTimer::singleShot(0, [&] {
        QWidget *menu = QApplication::activePopupWidget();
        if (!menu)
            return;
        menuShown = true;
        QImage shot;
        if (onScreen && waitExposed(menu->windowHandle())) {
            page.repaint();
            menu->repaint();
            QGuiApplication::sync(); // everything drawn has reached the server
            const QRect area = page.frameGeometry().united(menu->frameGeometry());
            shot = page.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
        } else {
            shot = page.grab().toImage();
            QPainter p(&shot);
            p.drawPixmap(page.mapFromGlobal(menu->mapToGlobal(QPoint(0, 0))), menu->grab());
        }
        saved = !picture.isEmpty() && !shot.isNull() && shot.save(picture);
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(menu, &down);
        QCoreApplication::sendEvent(menu, &enter);
    });
    const QPoint at = page.Area->mapToGlobal(QPoint(40, 10));
    page.Menu->Popup(at.x(), at.y());
    if (!menuShown)
        out << "The popup menu did not open\n";
    for (const QString &line : page.Lines)
        out << line << '\n';
    if (!picture.isEmpty())
        out << (saved ? (onScreen ? "Screen grabbed to " : "Picture saved to ") : "Could not save ") << picture << '\n';
    return saved || picture.isEmpty() ? 0 : 1;
}

const bool registered =
    gallery::registerPage({QStringLiteral("Controls"), 90,
                           [](QWidget *parent) -> QWidget * { return new ControlsPage(parent); }})
    && gallery::registerCommand({QStringLiteral("--controls"),
                                 QStringLiteral("--controls FILE.png   the Controls page with its popup menu open"),
                                 runHeadless});

} // namespace
