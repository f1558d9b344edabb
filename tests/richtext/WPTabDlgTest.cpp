#include "WPDialogTestUtil.h"

#include <ZorCompCore/richtext/dialogs/WPTabDlg.h>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QLocale>

using namespace zor;
using namespace wpdialog_test;

namespace {

struct LocaleScope
{
    explicit LocaleScope(const char *name) { QLocale::setDefault(QLocale(QLatin1String(name))); }
    ~LocaleScope() { QLocale::setDefault(QLocale::c()); }
};

void setStop(QDialog &form, double at, int kind)
{
    Child<QDoubleSpinBox>(form, "spPosition")->setValue(at);
    Child<QComboBox>(form, "cbKind")->setCurrentIndex(kind);
    Child<QPushButton>(form, "btnSet")->click();
}

QStringList listed(QDialog &form)
{
    QStringList items;
    auto *list = Child<QListWidget>(form, "lstTabs");
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

} // namespace

TEST(WPTabDlg, SetsTheStopsOfTheSelectedParagraphsInOneUndoStep)
{
    LocaleScope metric("de_DE");
    TWPRichText editor;
    Load(editor, u"a\\tab b\\par c\\par d\\par"_qs);
    const QByteArray before = Rtf(editor);
    Select(editor, 0, 5);
    TWPTabDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        EXPECT_TRUE(listed(form).isEmpty());
        setStop(form, 5.08, 1);
        setStop(form, 2.54, 3);
        setStop(form, 7.62, 2);
        setStop(form, 5.08, 0); // replaces the right stop at 5.08
        EXPECT_EQ(listed(form), QStringList({"2,54 cm  Decimal", "5,08 cm  Left", "7,62 cm  Centered"}));
    }));
    for (int at : {0, 4}) {
        const QList<QTextOption::Tab> tabs = BlockAt(editor, at).tabPositions();
        ASSERT_EQ(tabs.size(), 3);
        EXPECT_EQ(UnitsToTwips(tabs[0].position), 1440);
        EXPECT_EQ(tabs[0].type, QTextOption::DelimiterTab);
        EXPECT_EQ(tabs[0].delimiter, QChar(u',')) << "the locale's decimal sign";
        EXPECT_EQ(UnitsToTwips(tabs[1].position), 2880);
        EXPECT_EQ(tabs[1].type, QTextOption::LeftTab);
        EXPECT_EQ(tabs[2].type, QTextOption::CenterTab);
    }
    EXPECT_TRUE(BlockAt(editor, 6).tabPositions().isEmpty());
    EXPECT_EQ(Rtf(editor).count("\\tqdec\\tx1440\\tx2880\\tqc\\tx4320"), 2) << Rtf(editor).constData();
    EXPECT_TRUE(editor.Undo());
    EXPECT_EQ(Rtf(editor), before);
}

TEST(WPTabDlg, ListsTheFirstParagraphsStopsAndClearsThem)
{
    LocaleScope imperial("en_US");
    TWPRichText editor;
    Load(editor, u"\\tqr\\tx1440\\tx2160 a\\par\\pard\\tx720 b\\par"_qs);
    editor.SelectAll();
    TWPTabDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        EXPECT_EQ(listed(form), QStringList({"1.00 in  Right", "1.50 in  Left"}));
        auto *list = Child<QListWidget>(form, "lstTabs");
        list->setCurrentRow(1);
        EXPECT_EQ(Child<QDoubleSpinBox>(form, "spPosition")->value(), 1.5) << "a chosen stop shows";
        Child<QPushButton>(form, "btnClear")->click();
        EXPECT_EQ(listed(form), QStringList({"1.00 in  Right"}));
    }));
    EXPECT_EQ(BlockAt(editor, 0).tabPositions().size(), 1);
    EXPECT_EQ(BlockAt(editor, 2).tabPositions().size(), 1) << "all paragraphs take the list";
    EXPECT_EQ(BlockAt(editor, 2).tabPositions()[0].type, QTextOption::RightTab);

    EXPECT_TRUE(Answer(dlg, [](QDialog &form) { Child<QPushButton>(form, "btnClearAll")->click(); }));
    EXPECT_TRUE(BlockAt(editor, 0).tabPositions().isEmpty());
}

TEST(WPTabDlg, UnchangedStopsAreLeftAsTheyWere)
{
    LocaleScope metric("de_DE");
    TWPRichText editor;
    Load(editor, u"\\tx1000 a\\par\\pard\\tx500 b\\par"_qs);
    const QByteArray before = Rtf(editor);
    editor.SelectAll();
    TWPTabDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(Answer(dlg, [](QDialog &) {}));
    EXPECT_EQ(Rtf(editor), before) << "OK alone does not spread the first paragraph's stops";
}
