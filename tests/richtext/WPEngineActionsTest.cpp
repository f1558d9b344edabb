// The engine's actions and combo actions on an editor: what they change,
// as one undo step each, what they refuse, and the states they show.

#include <ZorCompCore/richtext/WPCustomDialog.h>
#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/actions/WPComboActions.h>
#include <ZorCompCore/richtext/actions/WPEngineActions.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>

#include <QComboBox>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

#include <gtest/gtest.h>

#include <memory>

using namespace zor;

namespace {

struct Fixture
{
    TWPRichText editor;
    std::vector<std::unique_ptr<TWPToolsAction>> actions;

    TWPToolsAction *action(const char *cls)
    {
        actions.emplace_back(CreateWPToolsAction(QString::fromLatin1(cls)));
        TWPToolsAction *a = actions.back().get();
        EXPECT_NE(a, nullptr) << cls;
        a->SetEditorProvider([this] { return &editor; });
        a->UpdateFor(&editor);
        return a;
    }
    // As a toolbar button: with the state of the moment.
    void fire(TWPToolsAction *a)
    {
        a->UpdateFor(&editor);
        a->trigger();
    }
    void type(const QString &text) { editor.InputString(text); }
    void select(int from, int to)
    {
        QTextCursor c = editor.TextCursor();
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        editor.SetTextCursor(c);
    }
    QTextCharFormat formatAt(int pos)
    {
        QTextCursor c(editor.Document().Text());
        c.setPosition(pos + 1);
        return c.charFormat();
    }
    QByteArray rtf() { return editor.Edit().SaveToBytes(QStringLiteral("RTF")); }
};

} // namespace

// Catches: a toggle that sets but never clears, a check state that does not
// follow the caret, an edit that is not one undo step.
TEST(WPEngineActions, CharacterAttributesToggleAndUndoAsOneStep)
{
    struct Row
    {
        const char *cls;
        std::function<bool(const QTextCharFormat &)> has;
    };
    const Row rows[] = {
        {"TWPABold", [](const QTextCharFormat &f) { return f.fontWeight() >= QFont::Bold; }},
        {"TWPAItalic", [](const QTextCharFormat &f) { return f.fontItalic(); }},
        {"TWPAUnderline", [](const QTextCharFormat &f) { return f.fontUnderline(); }},
        {"TWPAStrikeout", [](const QTextCharFormat &f) { return f.fontStrikeOut(); }},
        {"TWPASubscript", [](const QTextCharFormat &f) { return f.verticalAlignment() == QTextCharFormat::AlignSubScript; }},
        {"TWPASuperscript", [](const QTextCharFormat &f) { return f.verticalAlignment() == QTextCharFormat::AlignSuperScript; }},
        {"TWPAHidden", [](const QTextCharFormat &f) { return f.boolProperty(wpHidden); }},
        {"TWPAProtected", [](const QTextCharFormat &f) { return f.boolProperty(wpProtected); }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.cls);
        Fixture f;
        f.type(QStringLiteral("one two"));
        TWPToolsAction *a = f.action(row.cls);
        f.select(0, 3);
        a->UpdateFor(&f.editor);
        EXPECT_TRUE(a->isEnabled());
        EXPECT_FALSE(a->isChecked());
        f.fire(a);
        EXPECT_TRUE(row.has(f.formatAt(1)));
        EXPECT_FALSE(row.has(f.formatAt(5)));
        EXPECT_TRUE(a->isChecked());
        f.select(5, 6);
        a->UpdateFor(&f.editor);
        EXPECT_FALSE(a->isChecked()) << "the state follows the caret";
        ASSERT_TRUE(f.editor.Undo());
        EXPECT_FALSE(row.has(f.formatAt(1))) << "one undo takes it all back";
        EXPECT_EQ(f.editor.PlainText(), QStringLiteral("one two"));
        f.select(0, 3);
        f.fire(a);
        f.fire(a);
        EXPECT_FALSE(row.has(f.formatAt(1))) << "a second trigger clears";
    }
}

// Catches: the caret's format not taking the attribute (typing after the
// button shows plain text), Norm leaving an attribute set.
TEST(WPEngineActions, CaretFormatAndNormal)
{
    Fixture f;
    TWPToolsAction *bold = f.action("TWPABold");
    TWPToolsAction *italic = f.action("TWPAItalic");
    TWPToolsAction *norm = f.action("TWPANorm");
    f.type(QStringLiteral("a"));
    f.fire(bold);
    f.fire(italic);
    f.type(QStringLiteral("b"));
    EXPECT_TRUE(f.formatAt(1).fontWeight() >= QFont::Bold);
    EXPECT_TRUE(f.formatAt(1).fontItalic());
    EXPECT_FALSE(f.formatAt(0).fontWeight() >= QFont::Bold);
    norm->UpdateFor(&f.editor);
    EXPECT_FALSE(norm->isChecked());
    f.select(0, 2);
    f.fire(norm);
    EXPECT_FALSE(f.formatAt(1).fontWeight() >= QFont::Bold);
    EXPECT_FALSE(f.formatAt(1).fontItalic());
    EXPECT_TRUE(norm->isChecked());
}

// Catches: formatting protected text, editing a read-only editor, and
// unprotecting being refused too (then nothing could unprotect).
TEST(WPEngineActions, ProtectedAndReadOnlyRefuse)
{
    Fixture f;
    f.type(QStringLiteral("keep this"));
    TWPToolsAction *prot = f.action("TWPAProtected");
    TWPToolsAction *bold = f.action("TWPABold");
    f.select(0, 4);
    f.fire(prot);
    ASSERT_TRUE(f.formatAt(1).boolProperty(wpProtected));
    QSignalSpy refused(&f.editor, &TWPRichText::EditRefused);
    f.select(0, 4);
    f.fire(bold);
    EXPECT_EQ(refused.count(), 1);
    EXPECT_FALSE(f.formatAt(1).fontWeight() >= QFont::Bold);
    f.fire(prot);
    EXPECT_FALSE(f.formatAt(1).boolProperty(wpProtected)) << "unprotecting is allowed";

    f.editor.SetReadOnly(true);
    bold->UpdateFor(&f.editor);
    bold->Execute();
    EXPECT_FALSE(f.formatAt(1).fontWeight() >= QFont::Bold);
}

// Catches: alignment not applied to every selected paragraph; the check
// state of Left on a paragraph that never set one; bullets not toggling off;
// numbers not switching a bullet list's style.
TEST(WPEngineActions, ParagraphAlignmentAndLists)
{
    Fixture f;
    f.type(QStringLiteral("one"));
    QTextCursor c = f.editor.TextCursor();
    c.insertBlock();
    c.insertText(QStringLiteral("two"));
    f.editor.SetTextCursor(c);
    TWPToolsAction *left = f.action("TWPALeft");
    TWPToolsAction *center = f.action("TWPACenter");
    TWPToolsAction *bullets = f.action("TWPABullets");
    TWPToolsAction *numbers = f.action("TWPANumbers");
    EXPECT_TRUE(left->isChecked());
    f.select(1, 5);
    f.fire(center);
    QTextDocument *t = f.editor.Document().Text();
    EXPECT_EQ(t->begin().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(t->lastBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    left->UpdateFor(&f.editor);
    EXPECT_FALSE(left->isChecked());
    EXPECT_TRUE(center->isChecked());

    f.fire(bullets);
    ASSERT_NE(t->begin().textList(), nullptr);
    EXPECT_EQ(t->begin().textList(), t->lastBlock().textList());
    EXPECT_EQ(t->begin().textList()->format().style(), QTextListFormat::ListDisc);
    numbers->UpdateFor(&f.editor);
    EXPECT_FALSE(numbers->isChecked());
    f.fire(numbers);
    EXPECT_EQ(t->begin().textList()->format().style(), QTextListFormat::ListDecimal);
    f.fire(numbers);
    EXPECT_EQ(t->begin().textList(), nullptr);
    EXPECT_EQ(t->lastBlock().textList(), nullptr);
}

// Catches: decrease-indent enabled (and going negative) at indent 0.
TEST(WPEngineActions, Indent)
{
    Fixture f;
    f.type(QStringLiteral("x"));
    TWPToolsAction *inc = f.action("TWPAIncIndent");
    TWPToolsAction *dec = f.action("TWPADecIndent");
    EXPECT_FALSE(dec->isEnabled());
    f.fire(inc);
    f.fire(inc);
    EXPECT_EQ(f.editor.TextCursor().blockFormat().indent(), 2);
    dec->UpdateFor(&f.editor);
    EXPECT_TRUE(dec->isEnabled());
    f.fire(dec);
    f.fire(dec);
    EXPECT_EQ(f.editor.TextCursor().blockFormat().indent(), 0);
    EXPECT_FALSE(dec->isEnabled());
}

namespace {
// A table dialog that records what it was run for.
struct TableDialogLog
{
    int executed = 0;
    TWPRichText *editor = nullptr;
};
TableDialogLog g_tableLog;

class TestTableDlg : public TWPCustomDialog
{
public:
    using TWPCustomDialog::TWPCustomDialog;
    bool Execute() override
    {
        ++g_tableLog.executed;
        g_tableLog.editor = EditBox();
        return true;
    }
};
} // namespace

// Catches: table actions enabled outside a table, rows/columns inserted at
// the wrong place, merge and split not undoing as one step, select row
// selecting one cell, and the table dialog not being used when registered.
TEST(WPEngineActions, Tables)
{
    Fixture f;
    TWPToolsAction *create = f.action("TWPACreateTable");
    TWPToolsAction *insRow = f.action("TWPAInsRow");
    TWPToolsAction *delCol = f.action("TWPADelCol");
    TWPToolsAction *combine = f.action("TWPACombineCell");
    TWPToolsAction *split = f.action("TWPASplitCells");
    TWPToolsAction *selRow = f.action("TWPASelectRow");
    EXPECT_FALSE(insRow->isEnabled());

    if (!TWPCustomDialog::IsRegistered(QStringLiteral("TWPTableDlg"))) {
        f.fire(create);
        QTextTable *t = f.editor.TextCursor().currentTable();
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->rows(), WPDefaultTableRows);
        EXPECT_EQ(t->columns(), WPDefaultTableColumns);
        f.editor.Undo();
        EXPECT_EQ(f.editor.TextCursor().currentTable(), nullptr) << "the table is one undo step";
    }
    TWPCustomDialog::RegisterClass(QStringLiteral("TWPTableDlg"),
                                   [](QObject *owner) { return new TestTableDlg(owner); });
    g_tableLog = {};
    f.action("TWPACreateTable")->trigger();
    EXPECT_EQ(g_tableLog.executed, 1);
    EXPECT_EQ(g_tableLog.editor, &f.editor);

    QTextCursor c = f.editor.TextCursor();
    QTextTable *t = c.insertTable(2, 3);
    t->cellAt(0, 1).firstCursorPosition().insertText(QStringLiteral("B"));
    f.editor.SetTextCursor(t->cellAt(0, 1).firstCursorPosition());
    insRow->UpdateFor(&f.editor);
    EXPECT_TRUE(insRow->isEnabled());
    f.fire(insRow);
    EXPECT_EQ(t->rows(), 3);
    EXPECT_EQ(t->cellAt(1, 1).firstCursorPosition().block().text(), QString()) << "below the caret's row";
    f.fire(delCol);
    EXPECT_EQ(t->columns(), 2);
    f.editor.Undo();
    EXPECT_EQ(t->columns(), 3);

    f.editor.SetTextCursor(t->cellAt(0, 0).firstCursorPosition());
    selRow->UpdateFor(&f.editor);
    f.fire(selRow);
    int row, rows, col, cols;
    f.editor.TextCursor().selectedTableCells(&row, &rows, &col, &cols);
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(cols, 3);
    combine->UpdateFor(&f.editor);
    ASSERT_TRUE(combine->isEnabled());
    f.fire(combine);
    EXPECT_EQ(t->cellAt(0, 0).columnSpan(), 3);
    f.editor.SetTextCursor(t->cellAt(0, 0).firstCursorPosition());
    split->UpdateFor(&f.editor);
    ASSERT_TRUE(split->isEnabled());
    f.fire(split);
    EXPECT_EQ(t->cellAt(0, 0).columnSpan(), 1);
    f.editor.Undo();
    EXPECT_EQ(t->cellAt(0, 0).columnSpan(), 3);
}

// Catches: a border toggle that does not switch off again, outer borders
// set on inner edges, all-off leaving the table's own border showing.
TEST(WPEngineActions, CellBorders)
{
    Fixture f;
    QTextCursor c = f.editor.TextCursor();
    QTextTableFormat tf;
    tf.setBorder(0);
    QTextTable *t = c.insertTable(2, 2, tf);
    f.editor.SetTextCursor(t->cellAt(0, 0).firstCursorPosition());
    TWPToolsAction *left = f.action("TWPABLeft");
    TWPToolsAction *outer = f.action("TWPABOuter");
    TWPToolsAction *off = f.action("TWPABAllOff");
    EXPECT_FALSE(left->isChecked());
    f.fire(left);
    EXPECT_GT(t->cellAt(0, 0).format().toTableCellFormat().leftBorder(), 0);
    EXPECT_TRUE(left->isChecked());
    f.fire(left);
    EXPECT_EQ(t->cellAt(0, 0).format().toTableCellFormat().leftBorder(), 0);

    QTextCursor all = t->cellAt(0, 0).firstCursorPosition();
    all.setPosition(t->cellAt(1, 1).lastCursorPosition().position(), QTextCursor::KeepAnchor);
    f.editor.SetTextCursor(all);
    f.fire(outer);
    const QTextTableCellFormat topLeft = t->cellAt(0, 0).format().toTableCellFormat();
    EXPECT_GT(topLeft.leftBorder(), 0);
    EXPECT_GT(topLeft.topBorder(), 0);
    EXPECT_FALSE(topLeft.hasProperty(QTextFormat::TableCellRightBorder)) << "an inner edge";
    EXPECT_GT(t->cellAt(1, 1).format().toTableCellFormat().bottomBorder(), 0);

    QTextTableFormat bordered = t->format();
    bordered.setBorder(1);
    t->setFormat(bordered);
    f.editor.SetTextCursor(all);
    f.fire(off);
    f.editor.SetTextCursor(t->cellAt(1, 0).firstCursorPosition());
    left->UpdateFor(&f.editor);
    EXPECT_FALSE(left->isChecked()) << "off overrides the table's border";
}

// Catches: number fields inserted with the wrong kind, a named field
// without its name, a field taking the name of the field before it.
TEST(WPEngineActions, Fields)
{
    Fixture f;
    const TWPFieldKind kinds[] = {TWPFieldKind::Page, TWPFieldKind::NextPage, TWPFieldKind::PriorPage,
                                  TWPFieldKind::NumPages, TWPFieldKind::Date};
    for (int tag = 0; tag < 5; ++tag) {
        TWPToolsAction *a = f.action("TWPAInsertNumber");
        a->setData(tag);
        a->UpdateFor(&f.editor);
        f.fire(a);
        EXPECT_EQ(f.formatAt(tag).intProperty(wpFieldKind), int(kinds[tag])) << tag;
    }
    TWPToolsAction *named = f.action("TWPAInsertField");
    EXPECT_FALSE(named->isEnabled()) << "no name given";
    named->setData(QStringLiteral("Customer"));
    named->UpdateFor(&f.editor);
    f.fire(named);
    EXPECT_EQ(f.formatAt(5).stringProperty(wpFieldName), QStringLiteral("Customer"));
    EXPECT_EQ(f.formatAt(5).intProperty(wpFieldKind), int(TWPFieldKind::Named));
    TWPToolsAction *page = f.action("TWPAInsertNumber");
    f.fire(page);
    EXPECT_EQ(f.formatAt(6).intProperty(wpFieldKind), int(TWPFieldKind::Page));
    EXPECT_FALSE(f.formatAt(6).hasProperty(wpFieldName)) << "nothing taken over from the field before";
}

// Catches: zoom steps off by a factor, fit actions not checked, undo
// enabled with nothing to undo, cut enabled without a selection.
TEST(WPEngineActions, ZoomAndEditStates)
{
    Fixture f;
    TWPToolsAction *in = f.action("TWPAZoomIn");
    TWPToolsAction *out = f.action("TWPAZoomOut");
    TWPToolsAction *width = f.action("TWPAFitWidth");
    TWPToolsAction *undo = f.action("TWPAUndo");
    TWPToolsAction *cut = f.action("TWPACut");
    TWPToolsAction *data = f.action("TWPANext");
    f.editor.SetZoomMode(100);
    f.fire(in);
    EXPECT_EQ(f.editor.ZoomMode(), 110);
    f.fire(out);
    f.fire(out);
    EXPECT_EQ(f.editor.ZoomMode(), 90);
    f.fire(width);
    EXPECT_EQ(f.editor.ZoomMode(), wpZoomPageWidth);
    EXPECT_TRUE(width->isChecked());
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_FALSE(cut->isEnabled());
    EXPECT_FALSE(data->isEnabled()) << "no data set behind the editor";
    f.type(QStringLiteral("abc"));
    f.select(0, 2);
    undo->UpdateFor(&f.editor);
    cut->UpdateFor(&f.editor);
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_TRUE(cut->isEnabled());
    TWPToolsAction *del = f.action("TWPADeleteText");
    f.fire(del);
    EXPECT_EQ(f.editor.PlainText(), QStringLiteral("c"));
}

// Catches: a combo that neither shows the caret's value nor applies the
// picked one; "(Automatic)" not removing the colour; nonsense sizes taken.
TEST(WPComboActions, SizeColorAlignmentStyle)
{
    Fixture f;
    f.type(QStringLiteral("text"));
    f.select(0, 4);
    QComboBox sizeBox, colorBox, alignBox, htmlBox, styleBox;
    auto make = [&](TWPComboKind kind, QComboBox &box) {
        auto *a = new TWPToolsCustomEditContolAction(kind);
        f.actions.emplace_back(a);
        a->SetEditorProvider([&f] { return &f.editor; });
        a->SetControl(&box);
        return a;
    };
    TWPToolsCustomEditContolAction *size = make(TWPComboKind::FontSize, sizeBox);
    TWPToolsCustomEditContolAction *color = make(TWPComboKind::FontColor, colorBox);
    make(TWPComboKind::ParAlignment, alignBox);
    TWPToolsCustomEditContolAction *html = make(TWPComboKind::HTMLFontSize, htmlBox);

    EXPECT_TRUE(size->ApplyText(QStringLiteral("18")));
    EXPECT_EQ(f.formatAt(1).fontPointSize(), 18);
    size->UpdateFor(&f.editor);
    EXPECT_EQ(sizeBox.currentText(), QStringLiteral("18"));
    EXPECT_FALSE(size->ApplyText(QStringLiteral("-3")));
    EXPECT_FALSE(size->ApplyText(QStringLiteral("big")));
    EXPECT_FALSE(size->ApplyText(QStringLiteral("100000")));
    EXPECT_EQ(f.formatAt(1).fontPointSize(), 18);

    EXPECT_TRUE(html->ApplyText(QStringLiteral("7")));
    EXPECT_EQ(f.formatAt(1).fontPointSize(), 36);
    EXPECT_FALSE(html->ApplyText(QStringLiteral("8")));

    ASSERT_EQ(colorBox.itemText(0), QStringLiteral("(Automatic)"));
    EXPECT_TRUE(color->ApplyText(QStringLiteral("Red")));
    EXPECT_EQ(f.formatAt(1).foreground().color(), QColor(255, 0, 0));
    color->UpdateFor(&f.editor);
    EXPECT_EQ(colorBox.currentText(), QStringLiteral("Red"));
    EXPECT_TRUE(color->ApplyText(QStringLiteral("(Automatic)")));
    EXPECT_FALSE(f.formatAt(1).hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_EQ(f.editor.PlainText(), QStringLiteral("text"));

    // As the user picks an entry.
    alignBox.setCurrentIndex(alignBox.findText(QStringLiteral("Right")));
    Q_EMIT alignBox.textActivated(QStringLiteral("Right"));
    EXPECT_EQ(f.editor.TextCursor().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);

    f.editor.Document().SetStyle({QStringLiteral("Heading"), QStringLiteral("Size=20;Bold=1"), {}, false});
    TWPToolsCustomEditContolAction *style = make(TWPComboKind::StyleNames, styleBox);
    EXPECT_GE(styleBox.findText(QStringLiteral("Heading")), 0);
    EXPECT_TRUE(style->ApplyText(QStringLiteral("Heading")));
    EXPECT_EQ(f.editor.TextCursor().blockFormat().stringProperty(wpStyleName), QStringLiteral("Heading"));
    EXPECT_EQ(f.formatAt(1).fontPointSize(), 20);
    EXPECT_FALSE(style->ApplyText(QStringLiteral("Nope")));

    QComboBox fontBox, scalableBox;
    TWPToolsCustomEditContolAction *font = make(TWPComboKind::Fonts, fontBox);
    make(TWPComboKind::TrueTypeFonts, scalableBox);
    ASSERT_GT(fontBox.count(), 0);
    for (int i = 0; i < scalableBox.count(); ++i)
        EXPECT_GE(fontBox.findText(scalableBox.itemText(i)), 0);
    const QString family = fontBox.itemText(fontBox.count() - 1);
    EXPECT_TRUE(font->ApplyText(family));
    EXPECT_EQ(f.formatAt(1).fontFamilies().toStringList().value(0), family);
    font->UpdateFor(&f.editor);
    EXPECT_EQ(fontBox.currentText(), family);
    EXPECT_FALSE(font->ApplyText(QStringLiteral("  ")));
}
