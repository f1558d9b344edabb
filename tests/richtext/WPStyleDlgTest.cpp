#include "WPDialogTestUtil.h"

#include <ZorCompCore/richtext/dialogs/WPOneStyleDlg.h>
#include <ZorCompCore/richtext/dialogs/WPStyleDlg.h>
#include <ZorCompCore/richtext/dialogs/WPStyleSheet.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>

namespace zor {
inline void PrintTo(const TWPStyle &s, std::ostream *os)
{
    *os << (s.IsCharStyle ? "char " : "para ") << s.Name.toStdString() << " {" << s.Text.toStdString() << "} on "
        << s.BasedOn.toStdString();
}
} // namespace zor

using namespace zor;
using namespace wpdialog_test;

namespace {

TWPStyle style(const char *name, const char *text, bool isChar = false, const char *basedOn = "")
{
    return {QLatin1String(name), QLatin1String(text), QLatin1String(basedOn), isChar};
}

QStringList listed(QDialog &form)
{
    QStringList names;
    auto *list = Child<QListWidget>(form, "lstStyles");
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

void selectStyle(QDialog &form, const char *name)
{
    auto *list = Child<QListWidget>(form, "lstStyles");
    const auto items = list->findItems(QLatin1String(name), Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << name;
    list->setCurrentItem(items.first());
}

void click(QDialog &form, const char *button) { Child<QPushButton>(form, button)->click(); }

} // namespace

TEST(WPStyleSheet, ReadsTheDeclarationsAStyleCanHold)
{
    const std::vector<TWPStyle> styles = WPStylesFromCSS(
        uR"(p.Heading { font-family: "DejaVu Sans", sans-serif; font-size: 16pt; font-weight: bold;
                         text-align: center; margin: 12pt 0 6pt; }
            span.Emph { font-style: italic; color: #c00; text-decoration: underline line-through }
            .Body, p.Body { margin-left: 1in; text-indent: -0.5cm; font-size: 14px; -zor-based-on: "Heading" }
            @media print { p.Hidden { color: red } }
            span.Code, span.Code:hover { font-family: Courier New; font-weight: 300 }
            p.Bad { font-size: 5000pt; margin-left: 3em; widows: 2 }
            p.Heading { font-style: normal })"_qs);
    const std::vector<TWPStyle> expected = {
        style("Heading", "Font=DejaVu Sans;Size=16;Bold=1;Italic=0;Align=Center;IndentLeft=0;IndentRight=0;"
                         "SpaceBefore=240;SpaceAfter=120"),
        style("Emph", "Italic=1;Underline=1;StrikeOut=1;Color=#cc0000", true),
        style("Body", "Size=10.5;IndentLeft=1440;IndentFirst=-283", false, "Heading"),
        style("Code", "Font=Courier New;Bold=0", true),
        style("Bad", ""),
    };
    ASSERT_EQ(styles.size(), expected.size());
    for (size_t i = 0; i < styles.size(); ++i) {
        SCOPED_TRACE(expected[i].Name.toStdString());
        EXPECT_EQ(styles[i].Name, expected[i].Name);
        EXPECT_EQ(styles[i].Text, expected[i].Text);
        EXPECT_EQ(styles[i].IsCharStyle, expected[i].IsCharStyle);
        EXPECT_EQ(styles[i].BasedOn, expected[i].BasedOn);
    }
}

// Found by fuzzing: a margin of operators alone was read past its values.
TEST(WPStyleSheet, AMarginWithoutLengthsIsSkipped)
{
    const std::vector<TWPStyle> styles = WPStylesFromCSS(u"p.A { margin: * ; color: red } p.B { margin: 1pt / }"_qs);
    ASSERT_EQ(styles.size(), 2u);
    EXPECT_EQ(styles[0].Text, "Color=#ff0000");
    EXPECT_EQ(styles[1].Text, "IndentLeft=20;IndentRight=20;SpaceBefore=20;SpaceAfter=20");
}

TEST(WPStyleSheet, WritesStylesThatReadBackTheSame)
{
    const std::vector<TWPStyle> styles = {
        style("Heading 1", "Font=Liberation \"Serif\";Size=18;Bold=1;Align=Justify;SpaceAfter=120"),
        style("2col", "IndentLeft=-360;IndentRight=720;IndentFirst=15;SpaceBefore=0"),
        style("-9", "Underline=1;StrikeOut=0;BgColor=#ffff00", true, "2col"),
        style("a.b\\c", "Italic=0;Color=#123456", true),
        style("Ünïcode", "Size=9.5"),
    };
    const QString css = WPStylesToCSS(styles);
    EXPECT_TRUE(css.contains(u"p.Heading\\20 1 {")) << css.toStdString();
    EXPECT_EQ(WPStylesFromCSS(css), styles) << css.toStdString();
}

TEST(WPStyleSheet, QtFileFilters)
{
    EXPECT_EQ(WPQtFileFilter(QLatin1String(TWPStyleDlg::StyleSheetFilter)), "Stylesheets (*.CSS *.css)");
    EXPECT_EQ(WPQtFileFilter(u"Text|*.txt;*.log|All files (*.*)|*.*"_qs),
              "Text (*.txt *.TXT *.log *.LOG);;All files (*.*)");
}

TEST(WPStyleDlg, NewEditDeleteAndApply)
{
    TWPRichText editor;
    Load(editor, u"Title\\par Body text\\par More\\par"_qs);
    TWPDocument &doc = editor.Document();
    doc.SetStyle(style("Body", "Size=11"));
    doc.SetStyle(style("Strong", "Bold=1", true));
    TWPStyleDlg dlg;
    dlg.SetEditBox(&editor);

    // Body on the second paragraph first, then its size changes with the style.
    SelectText(editor, u"ody te"_qs);
    dlg.OnShow = [](QDialog &form) {
        EXPECT_EQ(listed(form), QStringList({"Body", "Strong"}));
        selectStyle(form, "Body");
        EXPECT_EQ(Child<QLabel>(form, "lblDescription")->text(), "Paragraph style\nSize=11");
        click(form, "btnApply");
    };
    EXPECT_TRUE(dlg.Execute());
    EXPECT_EQ(BlockAt(editor, 6).stringProperty(wpStyleName), "Body");
    EXPECT_EQ(CharAt(editor, 6).fontPointSize(), 11);
    EXPECT_FALSE(BlockAt(editor, 0).hasProperty(wpStyleName)) << "Title is not selected";
    const QByteArray applied = Rtf(editor);

    dlg.OnShow = [](QDialog &form) {
        if (form.objectName() == u"WPOneStyleDlg") {
            EXPECT_TRUE(Child<QLineEdit>(form, "edName")->isReadOnly()) << "an edited style keeps its name";
            EXPECT_EQ(Child<QDoubleSpinBox>(form, "spSize")->value(), 11);
            EXPECT_EQ(Child<QCheckBox>(form, "chkBold")->checkState(), Qt::PartiallyChecked) << "Body leaves it";
            Child<QDoubleSpinBox>(form, "spSize")->setValue(20);
            ClickOk(form);
            return;
        }
        selectStyle(form, "Body");
        click(form, "btnEdit");
        EXPECT_EQ(Child<QLabel>(form, "lblDescription")->text(), "Paragraph style\nSize=20");
        click(form, "btnClose");
    };
    EXPECT_TRUE(dlg.Execute()) << "the styles changed";
    EXPECT_EQ(doc.FindStyle(u"Body"_qs)->Text, "Size=20");
    EXPECT_EQ(CharAt(editor, 6).fontPointSize(), 20) << "text with the style follows it";
    EXPECT_EQ(CharAt(editor, 16).fontPointSize(), 0);
    EXPECT_TRUE(editor.Undo());
    EXPECT_EQ(CharAt(editor, 6).fontPointSize(), 11) << "re-applying was one undo step";

    dlg.OnShow = [](QDialog &form) {
        if (form.objectName() == u"WPOneStyleDlg") {
            auto *name = Child<QLineEdit>(form, "edName");
            name->setText(u"strong"_qs);
            ClickOk(form);
            EXPECT_EQ(form.result(), 0) << "the name is taken";
            EXPECT_FALSE(Child<QLabel>(form, "lblError")->text().isEmpty());
            name->setText(u"Quote"_qs);
            Child<QCheckBox>(form, "chkItalic")->setChecked(true);
            Child<QDoubleSpinBox>(form, "spIndentLeft")->setValue(1);
            ClickOk(form);
            return;
        }
        selectStyle(form, "Body");
        click(form, "btnNew");
        EXPECT_EQ(listed(form), QStringList({"Body", "Strong", "Quote"}));
        selectStyle(form, "Strong");
        click(form, "btnDelete");
        EXPECT_EQ(listed(form), QStringList({"Body", "Quote"}));
        click(form, "btnClose");
    };
    EXPECT_TRUE(dlg.Execute());
    ASSERT_NE(doc.FindStyle(u"Quote"_qs), nullptr);
    EXPECT_EQ(doc.FindStyle(u"Quote"_qs)->BasedOn, "Body") << "a new style is based on the one chosen";
    EXPECT_EQ(doc.FindStyle(u"Quote"_qs)->Text, "Italic=1;IndentLeft=567");
    EXPECT_EQ(doc.FindStyle(u"Strong"_qs), nullptr);
    (void)applied;
}

TEST(WPStyleDlg, ApplyingACharacterStyleAndBasedOnStyles)
{
    TWPRichText editor;
    Load(editor, u"one two three\\par"_qs);
    TWPDocument &doc = editor.Document();
    doc.SetStyle(style("Base", "Size=14;Italic=1"));
    doc.SetStyle(style("Loud", "Bold=1;Italic=0", true, "Base"));
    const QByteArray before = Rtf(editor);
    SelectText(editor, u"two"_qs);
    TWPStyleDlg dlg;
    dlg.SetEditBox(&editor);
    dlg.OnShow = [](QDialog &form) {
        selectStyle(form, "Loud");
        Child<QListWidget>(form, "lstStyles")->itemDoubleClicked(Child<QListWidget>(form, "lstStyles")->currentItem());
    };
    EXPECT_TRUE(dlg.Execute());
    const QTextCharFormat f = CharAt(editor, 4);
    EXPECT_EQ(f.stringProperty(wpStyleName), "Loud");
    EXPECT_EQ(f.fontWeight(), QFont::Bold);
    EXPECT_EQ(f.fontPointSize(), 14) << "from the style it is based on";
    EXPECT_FALSE(f.fontItalic()) << "its own setting wins";
    EXPECT_FALSE(CharAt(editor, 0).hasProperty(wpStyleName));
    EXPECT_TRUE(editor.Undo());
    EXPECT_EQ(Rtf(editor), before);

    // A loop of "based on" ends.
    doc.SetStyle(style("Base", "Size=14", false, "Loud"));
    EXPECT_EQ(WPResolvedStyleText(doc, u"Loud"_qs), "Size=14;Bold=1;Italic=0");
}

TEST(WPStyleDlg, ImportAndExportStyleSheets)
{
    QTemporaryDir dir;
    TWPRichText editor;
    Load(editor, u"x\\par"_qs);
    editor.Document().SetStyle(style("Note", "Size=9;Color=#808080"));
    editor.Document().SetStyle(style("Key", "Bold=1", true));
    TWPStyleDlg dlg;
    dlg.SetEditBox(&editor);
    const QString file = dir.filePath(u"styles.CSS"_qs);
    dlg.OnChooseFile = [&](bool forSaving) {
        EXPECT_TRUE(forSaving);
        return file;
    };
    dlg.OnShow = [](QDialog &form) {
        click(form, "btnExport");
        EXPECT_TRUE(Child<QLabel>(form, "lblDescription")->text().startsWith("Styles exported to"));
        click(form, "btnClose");
    };
    EXPECT_FALSE(dlg.Execute()) << "exporting changes nothing";
    ASSERT_TRUE(QFile::exists(file));

    TWPRichText other;
    Load(other, u"y\\par"_qs);
    other.Document().SetStyle(style("Note", "Size=30"));
    other.Document().SetStyle(style("Own", "Size=8"));
    dlg.SetEditBox(&other);
    dlg.OnChooseFile = [&](bool forSaving) {
        EXPECT_FALSE(forSaving);
        return file;
    };
    dlg.OnShow = [](QDialog &form) {
        click(form, "btnImport");
        EXPECT_EQ(Child<QLabel>(form, "lblDescription")->text(), "2 style(s) imported.");
        EXPECT_EQ(listed(form), QStringList({"Note", "Own", "Key"}));
        click(form, "btnClose");
    };
    EXPECT_TRUE(dlg.Execute());
    EXPECT_EQ(other.Document().FindStyle(u"Note"_qs)->Text, "Size=9;Color=#808080") << "imported styles win";
    EXPECT_TRUE(other.Document().FindStyle(u"Key"_qs)->IsCharStyle);
    EXPECT_TRUE(other.Modified());

    EXPECT_EQ(dlg.ImportStyleSheet(dir.filePath(u"missing.css"_qs)), -1);
    EXPECT_TRUE(dlg.LastError().startsWith("Cannot open")) << dlg.LastError().toStdString();
}

TEST(WPOneStyleDlg, MakesANewStyleFromTheCaretOrEditsTheCaretsStyle)
{
    TWPRichText editor;
    Load(editor, u"\\qc{\\b\\fs28 Big} title\\par plain\\par"_qs);
    editor.Document().SetStyle(style("Taken", ""));
    Select(editor, 1);
    TWPOneStyleDlg dlg;
    dlg.SetEditBox(&editor);
    dlg.OnShow = [](QDialog &form) {
        auto *name = Child<QLineEdit>(form, "edName");
        EXPECT_FALSE(name->isReadOnly());
        EXPECT_EQ(Child<QCheckBox>(form, "chkBold")->checkState(), Qt::Checked) << "the caret's look";
        EXPECT_EQ(Child<QDoubleSpinBox>(form, "spSize")->value(), 14);
        EXPECT_EQ(Child<QComboBox>(form, "cbAlignment")->currentText(), "Centered");
        ClickOk(form);
        EXPECT_EQ(form.result(), 0) << "no name";
        name->setText(u"TAKEN"_qs);
        ClickOk(form);
        EXPECT_EQ(form.result(), 0) << "names compare without case";
        name->setText(u"Title"_qs);
        ClickOk(form);
    };
    EXPECT_TRUE(dlg.Execute());
    const TWPStyle *title = editor.Document().FindStyle(u"Title"_qs);
    ASSERT_NE(title, nullptr);
    EXPECT_TRUE(title->Text.contains(u"Bold=1")) << title->Text.toStdString();
    EXPECT_TRUE(title->Text.contains(u"Align=Center"));
    EXPECT_EQ(BlockAt(editor, 0).stringProperty(wpStyleName), "Title") << "the paragraph takes the new style";
    EXPECT_FALSE(BlockAt(editor, 10).hasProperty(wpStyleName));

    dlg.OnShow = [](QDialog &form) {
        EXPECT_EQ(Child<QLineEdit>(form, "edName")->text(), "Title");
        EXPECT_TRUE(Child<QLineEdit>(form, "edName")->isReadOnly());
        Child<QCheckBox>(form, "chkUnderline")->setChecked(true);
        ClickOk(form);
    };
    EXPECT_TRUE(dlg.Execute());
    EXPECT_TRUE(editor.Document().FindStyle(u"Title"_qs)->Text.contains(u"Underline=1"));
    EXPECT_TRUE(CharAt(editor, 6).fontUnderline()) << "the paragraph follows its style";
}

TEST(WPStyleDlg, ProtectedTextDoesNotTakeAStyle)
{
    TWPRichText editor;
    Load(editor, u"{\\protect fixed} text\\par"_qs);
    editor.Document().SetStyle(style("Body", "Size=20"));
    SelectText(editor, u"text"_qs);
    QSignalSpy refused(&editor, &TWPRichText::EditRefused);
    TWPStyleDlg dlg;
    dlg.SetEditBox(&editor);
    dlg.OnShow = [](QDialog &form) { click(form, "btnApply"); };
    EXPECT_FALSE(dlg.Execute());
    EXPECT_EQ(refused.count(), 1);
    EXPECT_FALSE(BlockAt(editor, 0).hasProperty(wpStyleName));
}
