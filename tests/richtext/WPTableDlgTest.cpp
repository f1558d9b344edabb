#include "WPDialogTestUtil.h"

#include <ZorCompCore/richtext/dialogs/WPTableDlg.h>

#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextTable>

using namespace zor;
using namespace wpdialog_test;

namespace {

QTextTable *firstTable(TWPRichText &editor)
{
    for (QTextFrame *f : Text(editor)->rootFrame()->childFrames())
        if (auto *t = qobject_cast<QTextTable *>(f))
            return t;
    return nullptr;
}

QString cellText(QTextTable *t, int row, int column)
{
    QTextCursor c = t->cellAt(row, column).firstCursorPosition();
    c.setPosition(t->cellAt(row, column).lastCursorPosition().position(), QTextCursor::KeepAnchor);
    return c.selectedText();
}

// A 2 x 2 table "a b / c d" after a paragraph.
const char16_t *kTable = u"Intro\\par\\trowd\\cellx2000\\cellx4000\\intbl a\\cell b\\cell\\row"
                         u"\\trowd\\cellx2000\\cellx4000\\intbl c\\cell d\\cell\\row\\pard After\\par";

bool act(TWPTableDlg &dlg, const char *radio, int count = 1)
{
    return Answer(dlg, [&](QDialog &form) {
        Child<QRadioButton>(form, radio)->setChecked(true);
        Child<QSpinBox>(form, "spCount")->setValue(count);
    });
}

} // namespace

TEST(WPTableDlg, InsertsANewTableAtTheCaretInOneUndoStep)
{
    TWPRichText editor;
    Load(editor, u"Before\\par After\\par"_qs);
    const QByteArray before = Rtf(editor);
    Select(editor, 7);
    TWPTableDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        EXPECT_TRUE(Child<QRadioButton>(form, "rbNewTable")->isChecked());
        EXPECT_FALSE(Child<QGroupBox>(form, "grpChange")->isEnabled()) << "no table at the caret";
        Child<QSpinBox>(form, "spRows")->setValue(3);
        Child<QSpinBox>(form, "spColumns")->setValue(4);
        Child<QSpinBox>(form, "spWidth")->setValue(80);
        Child<QDoubleSpinBox>(form, "spBorder")->setValue(0);
    }));
    QTextTable *t = firstTable(editor);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->rows(), 3);
    EXPECT_EQ(t->columns(), 4);
    EXPECT_EQ(t->format().border(), 0);
    const auto widths = t->format().columnWidthConstraints();
    ASSERT_EQ(widths.size(), 4);
    EXPECT_EQ(widths[0].type(), QTextLength::PercentageLength);
    EXPECT_EQ(widths[0].rawValue(), 20);
    EXPECT_EQ(editor.TextCursor().currentTable(), t) << "the caret goes into the first cell";
    const QByteArray rtf = Rtf(editor);
    EXPECT_EQ(rtf.count("\\row"), 3);
    EXPECT_EQ(rtf.count("\\clwWidth1000"), 12) << rtf.constData();
    EXPECT_FALSE(rtf.contains("\\clbrdrt")) << "no border asked for";
    EXPECT_TRUE(editor.Undo());
    EXPECT_EQ(firstTable(editor), nullptr);
    EXPECT_EQ(Rtf(editor), before);
}

TEST(WPTableDlg, InsertsRowsAndColumnsBesideTheCaretsCell)
{
    TWPRichText editor;
    Load(editor, QString::fromUtf16(kTable));
    TWPTableDlg dlg;
    dlg.SetEditBox(&editor);
    QTextTable *t = firstTable(editor);
    ASSERT_NE(t, nullptr);
    editor.SetTextCursor(t->cellAt(0, 1).firstCursorPosition());
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        EXPECT_TRUE(Child<QGroupBox>(form, "grpChange")->isEnabled());
        EXPECT_TRUE(Child<QRadioButton>(form, "rbInsertRowsBelow")->isChecked()) << "in a table: rows below";
        Child<QSpinBox>(form, "spCount")->setValue(2);
    }));
    EXPECT_EQ(t->rows(), 4);
    EXPECT_EQ(cellText(t, 0, 1), "b");
    EXPECT_EQ(cellText(t, 1, 1), "");
    EXPECT_EQ(cellText(t, 3, 1), "d");

    editor.SetTextCursor(t->cellAt(3, 1).firstCursorPosition());
    EXPECT_TRUE(act(dlg, "rbInsertRowsAbove"));
    EXPECT_EQ(t->rows(), 5);
    EXPECT_EQ(cellText(t, 4, 1), "d");

    editor.SetTextCursor(t->cellAt(0, 0).firstCursorPosition());
    EXPECT_TRUE(act(dlg, "rbInsertColumnsLeft"));
    EXPECT_EQ(t->columns(), 3);
    EXPECT_EQ(cellText(t, 0, 1), "a");
    editor.SetTextCursor(t->cellAt(0, 2).firstCursorPosition());
    EXPECT_TRUE(act(dlg, "rbInsertColumnsRight", 3));
    EXPECT_EQ(t->columns(), 6);
    EXPECT_EQ(cellText(t, 0, 2), "b");
    EXPECT_EQ(cellText(t, 0, 5), "");
}

TEST(WPTableDlg, DeletesTheRowsOrColumnsTheSelectionSpans)
{
    TWPRichText editor;
    Load(editor, QString::fromUtf16(kTable));
    TWPTableDlg dlg;
    dlg.SetEditBox(&editor);
    QTextTable *t = firstTable(editor);
    ASSERT_NE(t, nullptr);
    editor.SetTextCursor(t->cellAt(1, 0).firstCursorPosition());
    EXPECT_TRUE(act(dlg, "rbDeleteColumns"));
    EXPECT_EQ(t->columns(), 1);
    EXPECT_EQ(cellText(t, 0, 0), "b");
    EXPECT_TRUE(editor.Undo());
    EXPECT_EQ(t->columns(), 2) << "one undo step";

    // A selection from the first row into the second takes both rows, and
    // with them the table.
    QTextCursor c = t->cellAt(0, 0).firstCursorPosition();
    c.setPosition(t->cellAt(1, 1).firstCursorPosition().position(), QTextCursor::KeepAnchor);
    editor.SetTextCursor(c);
    EXPECT_TRUE(act(dlg, "rbDeleteRows"));
    EXPECT_EQ(firstTable(editor), nullptr);
    EXPECT_EQ(Plain(editor), "Intro\nAfter");
}

TEST(WPTableDlg, ProtectedCellsAreNotDeleted)
{
    TWPRichText editor;
    Load(editor, u"\\trowd\\cellx2000\\cellx4000\\intbl {\\protect a}\\cell b\\cell\\row"
                 u"\\trowd\\cellx2000\\cellx4000\\intbl c\\cell d\\cell\\row\\pard After\\par"_qs);
    TWPTableDlg dlg;
    dlg.SetEditBox(&editor);
    QTextTable *t = firstTable(editor);
    ASSERT_NE(t, nullptr);
    QSignalSpy refused(&editor, &TWPRichText::EditRefused);
    editor.SetTextCursor(t->cellAt(0, 1).firstCursorPosition());
    EXPECT_FALSE(act(dlg, "rbDeleteRows")) << "row 1 holds protected text";
    EXPECT_EQ(t->rows(), 2);
    EXPECT_EQ(refused.count(), 1);
    EXPECT_TRUE(act(dlg, "rbDeleteColumns")) << "column 2 does not";
    EXPECT_EQ(t->columns(), 1);
}
