// The small dialogs of the translation tools, driven offscreen, each also in
// another language than English.
#include <ZorCompCore/localisation/DictionaryPrompt.h>
#include <ZorCompCore/localisation/LangNames.h>
#include <ZorCompCore/localisation/Splash.h>
#include <ZorCompCore/localisation/WidthsTooltip.h>

#include <ZorCompCore/localisation/runtime/EditorForms.h>
#include <ZorCompCore/localisation/runtime/SiLangLinked.h>
#include <ZorCompCore/platform/StringList.h>
#include "TestUtil.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>
#include <gtest/gtest.h>

using namespace zor;

namespace {

// Tool forms created inside speak ALanguage.
struct EditorLanguage
{
    const TsiEditorSettings saved = siEditorSettings();
    explicit EditorLanguage(int ALanguage) { siEditorSettings().Language = ALanguage; }
    ~EditorLanguage() { siEditorSettings() = saved; }
};

} // namespace

// --- Language names ---------------------------------------------------------

TEST(LangNamesDialog, OkNeedsChangedNamesWithoutEmptyOnes)
{
    TfrmLangNames dlg;
    dlg.SetNames({QStringLiteral("English"), QString(), QStringLiteral("Russian")});
    dlg.show();
    auto rename = [](TfrmLangNames &ADlg, int ARow, const QString &AName) {
        ADlg.ListBox()->setCurrentRow(ARow);
        ADlg.NameEdit()->setText(AName);
        ADlg.Modify();
    };
    EXPECT_EQ(dlg.NameEdit()->text(), QStringLiteral("English")) << "the first entry is selected on show";
    EXPECT_FALSE(dlg.OKButton()->isEnabled() || dlg.ModifyButton()->isEnabled());
    dlg.NameEdit()->setText(QStringLiteral("   "));
    EXPECT_FALSE(dlg.ModifyButton()->isEnabled()) << "blank after trimming";

    rename(dlg, 0, QStringLiteral("British"));
    EXPECT_FALSE(dlg.OKButton()->isEnabled()) << "entry 1 still has no name";
    EXPECT_FALSE(dlg.ModifyButton()->isEnabled()) << "the edit holds the selected name";
    rename(dlg, 1, QStringLiteral("German"));
    EXPECT_TRUE(dlg.OKButton()->isEnabled());

    dlg.ListBox()->setCurrentRow(-1);
    EXPECT_EQ(dlg.NameEdit()->text(), QString());
    dlg.NameEdit()->setText(QStringLiteral("Orphan"));
    EXPECT_FALSE(dlg.ModifyButton()->isEnabled()) << "nothing selected";
    EXPECT_EQ(dlg.Names(), (QStringList{QStringLiteral("British"), QStringLiteral("German"), QStringLiteral("Russian")}));

    // Renamed back to the names it opened with: nothing to accept.
    TfrmLangNames again;
    again.SetNames({QStringLiteral("A")});
    again.show();
    rename(again, 0, QStringLiteral("A "));
    EXPECT_TRUE(again.OKButton()->isEnabled()) << "trailing blanks make another name";
    rename(again, 0, QStringLiteral("A"));
    EXPECT_FALSE(again.OKButton()->isEnabled());
}

TEST(LangNamesDialog, EmptyNamesAreDrawnAsAGreyPlaceholder)
{
    TfrmLangNames dlg;
    dlg.SetNames({QStringLiteral("English"), QString()});
    dlg.show();
    const QPalette palette = dlg.ListBox()->palette();

    EXPECT_EQ(dlg.LookOf(0, false).Text, QStringLiteral("English"));
    EXPECT_EQ(dlg.LookOf(0, false).Color, palette.color(QPalette::Active, QPalette::Text));
    EXPECT_EQ(dlg.LookOf(1, false).Text, QStringLiteral("<no name>"));
    EXPECT_EQ(dlg.LookOf(1, false).Color, palette.color(QPalette::Disabled, QPalette::Text));
    EXPECT_EQ(dlg.LookOf(1, true).Color, palette.color(QPalette::HighlightedText));
    EXPECT_EQ(dlg.LookOf(5, false).Text, QString());

    // A line plus the padding, through the delegate.
    const int expected = QFontMetrics(dlg.ListBox()->font()).height() +
                         qRound(4.0 * dlg.ListBox()->logicalDpiY() / 96.0);
    EXPECT_EQ(dlg.ItemHeight(), expected);
    EXPECT_EQ(dlg.ListBox()->visualItemRect(dlg.ListBox()->item(1)).height(), expected);

    EditorLanguage german(2);
    TfrmLangNames de;
    de.SetNames({QString()});
    EXPECT_EQ(de.windowTitle(), QStringLiteral("Sprachnamen"));
    EXPECT_EQ(de.LookOf(0, false).Text, QStringLiteral("<kein Name>"));
}

TEST(LangNamesDialog, AcceptedNamesReplaceTheList)
{
    TStringList names({QStringLiteral("English"), QStringLiteral("German")});
    int result = ChangeLanguagesDlg(names, nullptr, [](TfrmLangNames &dlg) {
        dlg.NameEdit()->setText(QStringLiteral("Changed"));
        dlg.Modify();
        QTimer::singleShot(0, &dlg, &QDialog::reject);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(names.ToQStringList(), (QStringList{QStringLiteral("English"), QStringLiteral("German")}));

    TsiLangDispatcher dispatcher;
    dispatcher.LangNames().Assign(TStringList({QStringLiteral("English"), QStringLiteral("Spanish")}));
    dispatcher.SetActiveLanguage(2);
    QString title;
    result = ChangeLanguagesDlg(names, &dispatcher, [&](TfrmLangNames &dlg) {
        QTimer::singleShot(0, &dlg, [&dlg, &title] {
            title = dlg.windowTitle();
            dlg.ListBox()->setCurrentRow(1);
            dlg.NameEdit()->setText(QStringLiteral("Deutsch"));
            dlg.Modify();
            dlg.OKButton()->click();
        });
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(title, QStringLiteral("Nombres de idiomas")) << "follows the dispatcher";
    EXPECT_EQ(names.ToQStringList(), (QStringList{QStringLiteral("English"), QStringLiteral("Deutsch")}));
}

// --- Splash -----------------------------------------------------------------

TEST(SplashWindow, CreatedByAnyCallShownBySplashDestroyedByNoSplash)
{
    ASSERT_EQ(SplashWindow(), nullptr);
    SplashProgress(3);
    QWidget *w = SplashWindow();
    ASSERT_NE(w, nullptr) << "progress before Splash creates the window";
    EXPECT_TRUE(w->isHidden());
    auto *bar = w->findChild<QProgressBar *>(QStringLiteral("pbProgress"));
    auto *label = w->findChild<QLabel *>(QStringLiteral("lblText"));
    auto *picture = w->findChild<QLabel *>(QStringLiteral("imgPicture"));
    ASSERT_TRUE(bar && label && picture);

    Splash(QStringLiteral("Counting…"), 1);
    Splash(QStringLiteral("Counting texts"), 0); // a second call must not stack the busy cursor
    EXPECT_EQ(SplashWindow(), w);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(label->text(), QStringLiteral("Counting texts"));
    EXPECT_FALSE(picture->pixmap().isNull());
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);

    SplashInitProgress(10);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->value(), 0);
    SplashProgress(4);
    EXPECT_EQ(bar->value(), 4);
    SplashProgress(25);
    EXPECT_EQ(bar->value(), 10) << "overshooting fills the bar";
    SplashInitProgress(-3);
    EXPECT_EQ(bar->maximum(), 0);
    SplashHideProgress();
    EXPECT_FALSE(bar->isVisible());

    Splash(QStringLiteral("No picture"), quint8(SplashImageCount()));
    EXPECT_TRUE(picture->pixmap().isNull());

    NoSplash();
    EXPECT_EQ(SplashWindow(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "one busy cursor for both calls";
    NoSplash(); // again: nothing left to undo
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// --- Widths tooltip ---------------------------------------------------------

namespace {

struct WidthsFixture : ::testing::Test
{
    QTemporaryDir dir;
    ScopedEnv env{"ZOR_REGISTRY_DIR", dir.path().toUtf8()};
    const QStringList names{QStringLiteral("English"), QStringLiteral("German"), QStringLiteral("Russian")};
    const QRect middle{QGuiApplication::primaryScreen()->availableGeometry().center() - QPoint(40, 10), QSize(80, 20)};

    ~WidthsFixture() override { HideWidthTooltip(); }

    // The numbers of "W (x R) - L ch." / "W (shortest) - L ch." / "H (x R)";
    // value -1 for any other text.
    struct Cell
    {
        int value = -1;
        QString ratio;
        int length = -1;
        bool shortest = false;
    };
    static Cell at(int ARow, int AColumn)
    {
        static const QRegularExpression re(
            QStringLiteral(R"(^(\d+) \((?:x (\d+\.\d\d)|(shortest))\)(?: - (\d+) ch\.)?$)"));
        const QRegularExpressionMatch m = re.match(WidthTooltipCell(ARow, AColumn));
        if (!m.hasMatch())
            return {};
        return {m.captured(1).toInt(), m.captured(2), m.captured(4).isEmpty() ? -1 : m.captured(4).toInt(),
                !m.captured(3).isEmpty()};
    }
};

using WidthsTooltip = WidthsFixture;

} // namespace

TEST_F(WidthsTooltip, WidthsAndHeightsAreComparedWithTheSmallest)
{
    ShowWidthTooltip(names, {QStringLiteral("Save file"), QStringLiteral("Datei\nspeichern"), QString()}, middle, 1,
                     nullptr);
    const Cell en = at(1, 1), de = at(2, 1);
    ASSERT_GT(en.value, 0) << WidthTooltipCell(1, 1).toStdString();
    ASSERT_GT(de.value, 0) << WidthTooltipCell(2, 1).toStdString();
    const Cell &shorter = en.value <= de.value ? en : de, &longer = en.value <= de.value ? de : en;
    EXPECT_TRUE(shorter.shortest && !longer.shortest);
    EXPECT_EQ(longer.ratio, QString::number(double(longer.value) / shorter.value, 'f', 2));
    EXPECT_EQ(en.length, 9);
    EXPECT_EQ(de.length, 15) << "the line break counts as a character";

    // Two lines are higher than one; the one-line text is the reference.
    const Cell enH = at(1, 2), deH = at(2, 2);
    EXPECT_EQ(enH.ratio, QStringLiteral("1.00"));
    EXPECT_GT(deH.value, enH.value);
    EXPECT_EQ(deH.ratio, QString::number(double(deH.value) / enH.value, 'f', 2));
    EXPECT_EQ(WidthTooltipCell(3, 2), QStringLiteral("0 (x 0.00)"));

    // Equal widths are all "shortest".
    UpdateLanguageWidthTooltip(2, QStringLiteral("Save file"));
    EXPECT_TRUE(at(3, 1).shortest);
    EXPECT_EQ(at(3, 1).value, en.value);
}

TEST_F(WidthsTooltip, MissingTextsAreEmptyAndUpdatesMeasureOneLanguageAgain)
{
    UpdateLanguageWidthTooltip(0, QStringLiteral("no window yet"));
    EXPECT_EQ(WidthTooltipWindow(), nullptr) << "updating does not create the window";

    ShowWidthTooltip(names, {QString()}, middle, 1, nullptr);
    ASSERT_NE(WidthTooltipWindow(), nullptr);
    EXPECT_EQ(QStringList({WidthTooltipCell(0, 0), WidthTooltipCell(0, 1), WidthTooltipCell(0, 2)}),
              (QStringList{QStringLiteral("Language"), QStringLiteral("Width"), QStringLiteral("Height")}));
    for (int i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(WidthTooltipCell(1 + i, 0), names.at(i));
        EXPECT_EQ(WidthTooltipCell(1 + i, 1), QStringLiteral("(empty)"));
    }
    EXPECT_EQ(WidthTooltipCell(4, 0) + WidthTooltipCell(-1, 0) + WidthTooltipCell(1, 3), QString())
        << "one row per language, three columns";

    ShowWidthTooltip(names, {QStringLiteral("OK"), QStringLiteral("Übernehmen"), QStringLiteral("Применить")},
                     middle, 1, nullptr);
    EXPECT_TRUE(at(1, 1).shortest);
    const int before = at(1, 1).value;
    UpdateLanguageWidthTooltip(0, QString());
    EXPECT_EQ(WidthTooltipCell(1, 1), QStringLiteral("(empty)"));
    EXPECT_FALSE(at(2, 1).shortest && at(3, 1).shortest);
    UpdateLanguageWidthTooltip(0, QStringLiteral("OK"));
    UpdateLanguageWidthTooltip(3, QStringLiteral("out of range"));
    UpdateLanguageWidthTooltip(-1, QStringLiteral("out of range"));
    EXPECT_EQ(at(1, 1).value, before);

    HideWidthTooltip();
    EXPECT_EQ(WidthTooltipWindow(), nullptr);
    HideWidthTooltip();
}

TEST_F(WidthsTooltip, PlacedBesideTheRectWithinTheScreen)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    auto placeAt = [&](const QRect &ARect) {
        ShowWidthTooltip(names, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, ARect, 1, nullptr);
        return WidthTooltipWindow() ? WidthTooltipWindow()->frameGeometry() : QRect();
    };
    const QRect inside(screen.topLeft() + QPoint(10, 10), QSize(40, 20));
    QRect at = placeAt(inside);
    QWidget *w = WidthTooltipWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible() && w->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(at.topLeft(), inside.bottomRight() + QPoint(1, 1));

    const QRect corner(screen.bottomRight() - QPoint(30, 10), QSize(20, 8));
    at = placeAt(corner);
    EXPECT_EQ(WidthTooltipWindow(), w) << "one window";
    EXPECT_EQ(at.bottomRight(), corner.topLeft() - QPoint(1, 1));

    // Too wide for either side of a screen-wide rect: kept on the screen.
    const QRect wide(screen.left(), screen.top() + 20, screen.width(), 10);
    EXPECT_EQ(placeAt(wide).topLeft(), QPoint(screen.left(), wide.bottom() + 1));
}

TEST_F(WidthsTooltip, FollowsTheRequestedLanguageOrTheDispatcher)
{
    const QStringList texts{QStringLiteral("Hi"), QString(), QStringLiteral("Привет")};
    ShowWidthTooltip(names, texts, middle, 2, nullptr);
    EXPECT_EQ(WidthTooltipCell(0, 1), QStringLiteral("Breite"));
    EXPECT_EQ(WidthTooltipCell(2, 1), QStringLiteral("(leer)"));
    EXPECT_TRUE(WidthTooltipCell(1, 1).contains(QStringLiteral("(kürzeste)")) ||
                WidthTooltipCell(3, 1).contains(QStringLiteral("(kürzeste)")));
    HideWidthTooltip();

    TsiLangDispatcher dispatcher;
    dispatcher.LangNames().Assign(TStringList({QStringLiteral("English"), QStringLiteral("Russian")}));
    dispatcher.SetActiveLanguage(2);
    ShowWidthTooltip(names, texts, middle, 1, &dispatcher);
    EXPECT_EQ(WidthTooltipCell(0, 2), QStringLiteral("Высота"));
    const QString ruWidth = WidthTooltipCell(3, 1);

    // Switching keeps the measured values and rewrites the words.
    dispatcher.SetActiveLanguage(1);
    EXPECT_EQ(WidthTooltipCell(0, 2), QStringLiteral("Height"));
    EXPECT_EQ(WidthTooltipCell(2, 1), QStringLiteral("(empty)"));
    EXPECT_TRUE(ruWidth.startsWith(QString::number(at(3, 1).value) + u' ')) << ruWidth.toStdString();

    ShowWidthTooltip(names, texts, middle, 4, nullptr);
    EXPECT_EQ(WidthTooltipCell(0, 2), QStringLiteral("Alto"));
    dispatcher.SetActiveLanguage(2);
    EXPECT_EQ(WidthTooltipCell(0, 2), QStringLiteral("Alto")) << "no longer follows the dispatcher";
}

TEST_F(WidthsTooltip, ColumnWidthsSurviveHidingAndShowingAgain)
{
    ShowWidthTooltip(names, {QStringLiteral("a")}, middle, 1, nullptr);
    auto *grid = WidthTooltipWindow()->findChild<QTableWidget *>();
    ASSERT_NE(grid, nullptr);
    const int defaultWidth = grid->columnWidth(1);
    grid->setColumnWidth(1, defaultWidth + 37);
    const int windowWidth = WidthTooltipWindow()->width();
    HideWidthTooltip();

    ShowWidthTooltip(names, {QStringLiteral("a")}, middle, 1, nullptr);
    grid = WidthTooltipWindow()->findChild<QTableWidget *>();
    EXPECT_EQ(grid->columnWidth(1), defaultWidth + 37);
    EXPECT_GT(WidthTooltipWindow()->width(), windowWidth) << "the window fits the wider column";
}

// --- Dictionary prompt --------------------------------------------------------

TEST(DictionaryPromptDialog, ChoicesAndTheChosenFileAreReadBack)
{
    TfrmDictionaryPrompt dlg;
    auto *ok = dlg.findChild<QPushButton *>(QStringLiteral("btnOK"));
    auto *caption = dlg.findChild<QLabel *>(QStringLiteral("lblDictionary"));
    ASSERT_TRUE(ok && caption);
    EXPECT_EQ(caption->text(), QStringLiteral(" Dictionary: "));

    int refreshed = 0;
    dlg.OnRefresh = [&](TfrmDictionaryPrompt &d) {
        ++refreshed;
        d.SetBaseLanguages({QStringLiteral("English"), QStringLiteral("German"), QStringLiteral("Spanish")}, 0);
        d.SetDictionaryLanguages({QStringLiteral("German"), QStringLiteral("Spanish")}, {QStringLiteral("spanish")});
    };
    QString offered = QStringLiteral("unset");
    dlg.FilePicker = [&](const QString &ACurrent) {
        offered = ACurrent;
        return QString();
    };
    dlg.findChild<QPushButton *>(QStringLiteral("btnBrowse"))->click();
    EXPECT_EQ(offered, QString());
    EXPECT_EQ(refreshed, 0) << "a cancelled pick changes nothing";
    EXPECT_FALSE(ok->isEnabled());

    dlg.FilePicker = [&](const QString &) { return QStringLiteral("/data/main.dic"); };
    dlg.BrowseDictionary();
    EXPECT_EQ(refreshed, 1);
    EXPECT_EQ(caption->text(), QStringLiteral(" Dictionary: /data/main.dic"));
    EXPECT_EQ(dlg.BaseLanguage(), QStringLiteral("English"));
    EXPECT_EQ(dlg.DictionaryLanguages(), QStringList{QStringLiteral("Spanish")});
    EXPECT_TRUE(ok->isEnabled());

    // The only language to fill may not be the base language.
    dlg.SetBaseLanguages({QStringLiteral("Spanish")}, 0);
    EXPECT_FALSE(ok->isEnabled());
    auto *targets = dlg.findChild<QListWidget *>(QStringLiteral("lbDictLanguages"));
    targets->item(0)->setCheckState(Qt::Checked);
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(dlg.DictionaryLanguages(), (QStringList{QStringLiteral("German"), QStringLiteral("Spanish")}));
    dlg.SetBaseLanguages({QStringLiteral("Spanish")}, 4);
    EXPECT_EQ(dlg.BaseLanguageIndex(), -1);
    EXPECT_EQ(dlg.BaseLanguage(), QString());
    EXPECT_FALSE(ok->isEnabled());

    // Each option reads its own box and no other.
    using Getter = bool (TfrmDictionaryPrompt::*)() const;
    const std::pair<const char *, Getter> options[] = {
        {"chkOverwrite", &TfrmDictionaryPrompt::OverwriteExisting},
        {"chkCaseSensitive", &TfrmDictionaryPrompt::CaseSensitive},
        {"chkSkipAmpersand", &TfrmDictionaryPrompt::SkipAmpersands},
        {"chkParseMultiLines", &TfrmDictionaryPrompt::ParseMultiLines},
        {"chkForceEmpty", &TfrmDictionaryPrompt::ForceEmpty},
        {"chkThisSession", &TfrmDictionaryPrompt::DontAskThisSession},
        {"chkThisProject", &TfrmDictionaryPrompt::DontAskThisProject},
    };
    for (const auto &[box, get] : options) {
        SCOPED_TRACE(box);
        dlg.findChild<QCheckBox *>(QString::fromLatin1(box))->click();
        for (const auto &[other, otherGet] : options)
            EXPECT_EQ((dlg.*otherGet)(), other == box) << other;
        dlg.findChild<QCheckBox *>(QString::fromLatin1(box))->click();
    }
    EXPECT_EQ(dlg.findChild<QCheckBox *>(QStringLiteral("chkSkipAmpersand"))->text(),
              QStringLiteral("&Skip && chars when searching"));
}

TEST(DictionaryPromptDialog, TheFileStaysInTheCaptionAcrossLanguages)
{
    EditorLanguage russian(3);
    TfrmDictionaryPrompt dlg;
    dlg.SetDictionaryFile(QStringLiteral("/d/words.dic"));
    auto *caption = dlg.findChild<QLabel *>(QStringLiteral("lblDictionary"));
    EXPECT_EQ(caption->text(), QStringLiteral(" Словарь: /d/words.dic"));
    dlg.Lang()->SetActiveLanguage(2);
    EXPECT_EQ(caption->text(), QStringLiteral(" Wörterbuch: /d/words.dic"));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Einstellungen für den Wörterbuch-Manager"));
}
