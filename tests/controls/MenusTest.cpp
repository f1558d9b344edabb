#include <ZorCompCore/controls/Menus.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/ImageList.h>

#include "TestUtil.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

using namespace zor;

namespace {
// A 4 x 4 picture of one colour, for image lists and bitmaps.
QImage filled(Qt::GlobalColor AColor)
{
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(AColor);
    return image;
}
} // namespace

// Faults: modifier bits swapped or missed; letters, function keys or keypad
// keys mapped to the wrong codes; unknown keys turned into something.
TEST(ShortCut, SixteenBitFormAndKeySequencesMapBothWays)
{
    struct Row { const char *name; TShortCut sc; QKeySequence seq; };
    const Row rows[] = {
        {"Ctrl+S", 0x4053, QKeySequence(Qt::CTRL | Qt::Key_S)},
        {"Shift+F5", 0x2074, QKeySequence(Qt::SHIFT | Qt::Key_F5)},
        {"Alt+Delete", 0x802E, QKeySequence(Qt::ALT | Qt::Key_Delete)},
        {"Ctrl+Shift+Z", 0x605A, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
        {"keypad 5", 0x0065, QKeySequence(Qt::KeypadModifier | Qt::Key_5)},
        {"digit 5", 0x0035, QKeySequence(Qt::Key_5)},
        {"Ctrl+,", 0x40BC, QKeySequence(Qt::CTRL | Qt::Key_Comma)},
        {"Escape", 0x001B, QKeySequence(Qt::Key_Escape)},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ShortCutToKeySequence(row.sc), row.seq);
        EXPECT_EQ(KeySequenceToShortCut(row.seq), row.sc);
    }
    EXPECT_EQ(ShortCut('S', Qt::ControlModifier), 0x4053);
    EXPECT_EQ(ShortCutToText(0x4053), QStringLiteral("Ctrl+S"));
    EXPECT_TRUE(ShortCutToKeySequence(0x40FF).isEmpty());
    EXPECT_EQ(KeySequenceToShortCut(QKeySequence(QStringLiteral("Ctrl+K, Ctrl+C"))), 0);
    EXPECT_EQ(KeySequenceToShortCut(QKeySequence(Qt::Key_VolumeUp)), 0);
}

namespace {

// Records how an item hears of its changes.
class RecordingItem : public TMenuItem
{
public:
    using TMenuItem::TMenuItem;
    std::vector<QString> *Log = nullptr;
    void SetChecked(bool AValue) override
    {
        Log->push_back(Name() + QStringLiteral(".SetChecked"));
        TMenuItem::SetChecked(AValue);
    }

protected:
    void MenuChanged(bool ARebuild) override
    {
        Log->push_back(Name() + QStringLiteral(".MenuChanged"));
        TMenuItem::MenuChanged(ARebuild);
    }
};

} // namespace

// Faults: radio exclusion across groups or parents; siblings switched off
// through the Checked setter; the QActions not following the model.
TEST(MenuItem, RadioItemsTurnTheirGroupOffThroughTheChangeHook)
{
    std::vector<QString> log;
    TPopupMenu menu;
    auto make = [&](const char *name, quint8 group) {
        auto *item = new RecordingItem(&menu);
        item->SetName(QString::fromLatin1(name));
        item->Log = &log;
        item->SetRadioItem(true);
        item->SetGroupIndex(group);
        menu.Items()->Add(item);
        return item;
    };
    RecordingItem *a = make("a", 1), *b = make("b", 1), *other = make("other", 2);
    a->SetChecked(true);
    other->SetChecked(true);
    log.clear();
    b->SetChecked(true);
    EXPECT_TRUE(b->Checked());
    EXPECT_FALSE(a->Checked());
    EXPECT_TRUE(other->Checked());
    EXPECT_EQ(log, (std::vector<QString>{QStringLiteral("b.SetChecked"), QStringLiteral("a.MenuChanged")}));
    EXPECT_FALSE(a->Handle()->isChecked());
    EXPECT_TRUE(b->Handle()->isChecked());
    ASSERT_NE(a->Handle()->actionGroup(), nullptr);
    EXPECT_EQ(a->Handle()->actionGroup(), b->Handle()->actionGroup());
    EXPECT_NE(a->Handle()->actionGroup(), other->Handle()->actionGroup());
}

// Faults: a property change not reaching the QAction; the image list not
// looked up the tree (nearest SubMenuImages, then the menu's Images); a
// child added without its action in the parent's QMenu.
TEST(MenuItem, ActionsAreUpdatedInPlaceAndImagesComeFromAbove)
{
    TPopupMenu menu;
    TImageList menuImages, subImages;
    menuImages.SetSize(4, 4);
    subImages.SetSize(4, 4);
    menuImages.Add(filled(Qt::red));
    subImages.Add(filled(Qt::blue));
    menu.SetImages(&menuImages);

    auto *file = new TMenuItem(&menu);
    auto *open = new TMenuItem(&menu);
    auto *save = new TMenuItem(&menu);
    file->SetCaption(QStringLiteral("&File"));
    menu.Items()->Add(file);
    file->Add(open);
    menu.Items()->Add(save);
    QAction *const openAction = open->Handle();
    open->SetImageIndex(0);
    save->SetImageIndex(0);
    open->SetShortCut(0x4053);
    open->SetDefault(true);
    open->SetHint(QStringLiteral("Opens a file"));
    open->SetEnabled(false);
    EXPECT_EQ(open->Handle(), openAction); // the same action, updated
    EXPECT_EQ(openAction->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_TRUE(openAction->font().bold());
    EXPECT_EQ(openAction->statusTip(), QStringLiteral("Opens a file"));
    EXPECT_FALSE(openAction->isEnabled());
    ASSERT_NE(file->Handle()->menu(), nullptr);
    EXPECT_TRUE(file->Handle()->menu()->actions().contains(openAction));
    EXPECT_EQ(menu.Handle()->actions(), (QList<QAction *>{file->Handle(), save->Handle()}));

    auto colour = [](const TMenuItem *item) { return item->Icon().pixmap(4, 4).toImage().pixel(1, 1); };
    EXPECT_EQ(colour(open), QColor(Qt::red).rgb());
    file->SetSubMenuImages(&subImages);
    EXPECT_EQ(open->GetImageList(), &subImages);
    EXPECT_EQ(colour(open), QColor(Qt::blue).rgb());
    EXPECT_EQ(colour(save), QColor(Qt::red).rgb());
    open->SetImageIndex(5);
    EXPECT_TRUE(open->Icon().isNull());

    auto *line = new TMenuItem(&menu);
    line->SetCaption(QStringLiteral("-"));
    menu.Items()->Insert(1, line);
    EXPECT_TRUE(line->Handle()->isSeparator());
    EXPECT_EQ(menu.Handle()->actions().at(1), line->Handle());
    menu.Items()->Delete(1);
    EXPECT_EQ(menu.Items()->Count(), 2);
    EXPECT_THROW(file->Add(menu.Items()), EInvalidOperation);
}

// Faults: a QMenu out of step with the children after an insert in the
// middle, a move to another parent or within one, or a removal; an item that
// lost its last child still opening an empty submenu; the action's icon not
// following the image the item shows (list set later, index, bitmap).
TEST(MenuItem, QMenusFollowTheTreeThroughInsertsMovesAndRemovals)
{
    TPopupMenu menu;
    TMenuItem *root = menu.Items();
    auto make = [&menu](const char *caption) {
        auto *item = new TMenuItem(&menu);
        item->SetCaption(QString::fromLatin1(caption));
        return item;
    };
    auto actions = [](std::initializer_list<TMenuItem *> items) {
        QList<QAction *> list;
        for (TMenuItem *item : items)
            list << item->Handle();
        return list;
    };
    TMenuItem *a = make("A"), *b = make("B"), *c = make("C"), *sub = make("Sub");
    root->Add(a);
    root->Add(c);
    root->Insert(1, b);
    root->Insert(0, sub);
    EXPECT_EQ(menu.Handle()->actions(), actions({sub, a, b, c}));

    sub->Add(b);
    EXPECT_EQ(menu.Handle()->actions(), actions({sub, a, c}));
    ASSERT_NE(sub->Handle()->menu(), nullptr);
    EXPECT_EQ(sub->Handle()->menu()->actions(), actions({b}));
    root->Insert(0, c);
    EXPECT_EQ(menu.Handle()->actions(), actions({c, sub, a}));
    root->Insert(2, sub);
    EXPECT_EQ(menu.Handle()->actions(), actions({c, a, sub}));

    sub->Remove(b);
    EXPECT_EQ(sub->Handle()->menu(), nullptr);
    EXPECT_TRUE(sub->SubMenu()->actions().isEmpty());
    root->Delete(1);
    EXPECT_EQ(menu.Handle()->actions(), actions({c, sub}));

    TImageList images;
    images.SetSize(4, 4);
    images.Add(filled(Qt::red));
    images.Add(filled(Qt::blue));
    auto shown = [](const TMenuItem *item) {
        const QIcon icon = item->Handle()->icon();
        return icon.isNull() ? QRgb(0) : icon.pixmap(4, 4).toImage().pixel(1, 1);
    };
    c->SetImageIndex(1);
    EXPECT_EQ(shown(c), QRgb(0)); // no image list yet
    menu.SetImages(&images);
    EXPECT_EQ(shown(c), QColor(Qt::blue).rgb());
    c->SetImageIndex(0);
    EXPECT_EQ(shown(c), QColor(Qt::red).rgb());
    c->SetImageIndex(-1);
    EXPECT_EQ(shown(c), QRgb(0));
    c->SetBitmap(filled(Qt::blue));
    EXPECT_EQ(shown(c), QColor(Qt::blue).rgb());
}

// Faults: Assign missing a property or a callback; a foreign source accepted.
TEST(MenuItem, AssignCopiesWhatTheItemShowsAndDoes)
{
    TMenuItem src, dst;
    int clicks = 0;
    src.SetCaption(QStringLiteral("&Print"));
    src.SetShortCut(0x4050);
    src.SetGroupIndex(3);
    src.SetRadioItem(true);
    src.SetChecked(true);
    src.SetTag(42);
    src.SetHelpContext(7);
    src.SetImageIndex(2);
    src.SetBreak(mbBarBreak);
    src.SetDefault(true);
    src.SetAutoHotkeys(maManual);
    src.OnClick = [&](QObject *) { ++clicks; };
    dst.Assign(&src);
    EXPECT_EQ(dst.Caption(), QStringLiteral("&Print"));
    EXPECT_EQ(dst.ShortCut(), 0x4050);
    EXPECT_EQ(dst.GroupIndex(), 3);
    EXPECT_TRUE(dst.RadioItem());
    EXPECT_TRUE(dst.Checked());
    EXPECT_EQ(dst.Tag(), 42);
    EXPECT_EQ(dst.HelpContext(), 7);
    EXPECT_EQ(dst.ImageIndex(), 2);
    EXPECT_EQ(dst.Break(), mbBarBreak);
    EXPECT_TRUE(dst.Default());
    EXPECT_EQ(dst.AutoHotkeys(), maManual);
    dst.Click();
    EXPECT_EQ(clicks, 1);
    dst.SetEnabled(false);
    dst.Click();
    EXPECT_EQ(clicks, 1);
    QObject stranger;
    EXPECT_THROW(dst.Assign(&stranger), EConvertError);
}

namespace {

// Runs fn as soon as the menu's event loop runs.
void whenOpen(std::function<void(QWidget *)> fn)
{
    QTimer::singleShot(0, [fn] {
        QWidget *popup = QApplication::activePopupWidget();
        ASSERT_NE(popup, nullptr);
        fn(popup);
    });
}

} // namespace

// Faults: the wrong item's click for the highlighted action; a disabled item
// reachable by keys; Escape clicking; Qt's own toggling of checkable actions
// left in place of the model's state.
TEST(PopupMenu, KeysChooseItemsAndOnlyClickedItemsRun)
{
    QApplication::setStyle(QStringLiteral("Fusion"));
    TPopupMenu menu;
    std::vector<QString> clicked;
    auto add = [&](const char *caption, bool enabled) {
        auto *item = new TMenuItem(&menu);
        item->SetCaption(QString::fromLatin1(caption));
        item->SetEnabled(enabled);
        item->OnClick = [&clicked, item](QObject *) { clicked.push_back(item->Caption()); };
        menu.Items()->Add(item);
        return item;
    };
    add("&Cut", false);
    add("C&opy", true);
    add("-", true);
    TMenuItem *radio = add("&Radio", true);
    radio->SetRadioItem(true);
    int popups = 0;
    menu.OnPopup = [&](QObject *) { ++popups; };

    whenOpen([](QWidget *w) {
        QTest::keyClick(w, Qt::Key_Down);
        QTest::keyClick(w, Qt::Key_Return);
    });
    menu.Popup(100, 100);
    EXPECT_EQ(clicked, std::vector<QString>{QStringLiteral("C&opy")});
    EXPECT_EQ(popups, 1);
    EXPECT_EQ(menu.PopupPoint(), QPoint(100, 100));

    whenOpen([](QWidget *w) {
        QTest::keyClick(w, Qt::Key_Down);
        QTest::keyClick(w, Qt::Key_Down);
        QTest::keyClick(w, Qt::Key_Return);
    });
    menu.Popup(50, 60);
    ASSERT_EQ(clicked.size(), 2u);
    EXPECT_EQ(clicked.back(), QStringLiteral("&Radio"));
    EXPECT_FALSE(radio->Checked());
    EXPECT_FALSE(radio->Handle()->isChecked()); // Qt checked it; the model did not

    whenOpen([](QWidget *w) {
        QTest::keyClick(w, Qt::Key_Down);
        QTest::keyClick(w, Qt::Key_Escape);
    });
    menu.Popup(10, 10);
    EXPECT_EQ(clicked.size(), 2u);
    EXPECT_EQ(PopupList()->IndexOf(&menu), -1);
}
