#include "WPDialogTestUtil.h"

#include <ZorCompCore/richtext/dialogs/WPSymbolDlgEx.h>

#include <QComboBox>
#include <QFontComboBox>
#include <QLabel>
#include <QTableWidget>

using namespace zor;
using namespace wpdialog_test;

namespace {

QTableWidgetItem *cellOf(QDialog &form, char32_t code)
{
    auto *grid = Child<QTableWidget>(form, "tblChars");
    for (int r = 0; r < grid->rowCount(); ++r)
        for (int c = 0; c < grid->columnCount(); ++c)
            if (QTableWidgetItem *item = grid->item(r, c); item && item->data(Qt::UserRole).toUInt() == code)
                return item;
    return nullptr;
}

} // namespace

TEST(WPSymbolDlgEx, InsertsTheChosenCharacterInTheChosenFontEachTimeOneUndoStep)
{
    TWPRichText editor;
    Load(editor, u"Price: \\par"_qs);
    Select(editor, 7);
    TWPSymbolDlgEx dlg;
    dlg.SetEditBox(&editor);
    QString family;
    dlg.OnShow = [&](QDialog &form) {
        auto *blocks = Child<QComboBox>(form, "cbBlock");
        blocks->setCurrentIndex(blocks->findText("Currency Symbols"));
        QTableWidgetItem *euro = cellOf(form, 0x20AC);
        ASSERT_NE(euro, nullptr);
        EXPECT_EQ(euro->text(), QString(QChar(0x20AC)));
        EXPECT_EQ(cellOf(form, 0x41), nullptr) << "only the block's characters";
        Child<QTableWidget>(form, "tblChars")->setCurrentItem(euro);
        EXPECT_EQ(Child<QLabel>(form, "lblCode")->text(), "U+20AC");
        family = Child<QFontComboBox>(form, "cbFont")->currentFont().family();
        Child<QPushButton>(form, "btnInsert")->click();
        Child<QPushButton>(form, "btnInsert")->click();
        Child<QPushButton>(form, "btnClose")->click();
    };
    EXPECT_TRUE(dlg.Execute());
    EXPECT_EQ(Plain(editor), QStringLiteral("Price: \u20AC\u20AC"));
    EXPECT_EQ(CharAt(editor, 7).fontFamilies().toStringList().value(0), family);
    EXPECT_TRUE(editor.Undo());
    EXPECT_EQ(Plain(editor), QStringLiteral("Price: \u20AC")) << "each insertion is a step";

    // The next time it opens where the user left it; closing at once inserts nothing.
    dlg.OnShow = [](QDialog &form) {
        EXPECT_EQ(Child<QComboBox>(form, "cbBlock")->currentText(), "Currency Symbols");
        Child<QPushButton>(form, "btnClose")->click();
    };
    EXPECT_FALSE(dlg.Execute());
}

TEST(WPSymbolDlgEx, CharactersBeyondTheBasicPlaneAndProtectedText)
{
    TWPRichText editor;
    Load(editor, u"{\\protect ab}cd\\par"_qs);
    TWPSymbolDlgEx dlg;
    dlg.SetEditBox(&editor);
    Select(editor, 3);
    EXPECT_TRUE(dlg.InsertSymbol(0x1F600, {}));
    EXPECT_EQ(Plain(editor), QStringLiteral("abc\U0001F600d"));
    QSignalSpy refused(&editor, &TWPRichText::EditRefused);
    Select(editor, 1);
    EXPECT_FALSE(dlg.InsertSymbol(0x2022, {}));
    EXPECT_EQ(refused.count(), 1);
    EXPECT_EQ(Plain(editor), QStringLiteral("abc\U0001F600d"));
}
