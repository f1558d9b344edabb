#include "WPDialogTestUtil.h"

#include <ZorCompCore/richtext/dialogs/WPManageHeaderFooter.h>

#include <QComboBox>
#include <QListWidget>
#include <QTextEdit>

using namespace zor;
using namespace wpdialog_test;

namespace {

QStringList listed(QDialog &form)
{
    QStringList items;
    auto *list = Child<QListWidget>(form, "lstItems");
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

void choose(QDialog &form, const QString &item)
{
    auto *list = Child<QListWidget>(form, "lstItems");
    const auto found = list->findItems(item, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << item.toStdString();
    list->setCurrentItem(found.first());
}

void add(QDialog &form, int section, int part, int pages)
{
    Child<QComboBox>(form, "cbSection")->setCurrentIndex(section);
    Child<QComboBox>(form, "cbPart")->setCurrentIndex(part);
    Child<QComboBox>(form, "cbPages")->setCurrentIndex(pages);
    Child<QPushButton>(form, "btnAdd")->click();
}

QString text(const QTextDocument *t) { return t ? t->toPlainText() : u"(none)"_qs; }

} // namespace

TEST(WPManageHeaderFooter, ListsEditsAddsAndDeletesOnOk)
{
    TWPRichText editor;
    Load(editor, u"{\\rtf1{\\header {\\b Head} text}{\\footerl Even foot}Body\\par\\sect\\sectd Two\\par}"_qs);
    ASSERT_EQ(editor.Document().SectionCount(), 2);
    editor.SetModified(false);
    const TWPDocument &doc = editor.Document();
    TWPManageHeaderFooter dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        EXPECT_EQ(listed(form), QStringList({"Section 1: Header, All pages", "Section 1: Footer, Even pages"}));
        choose(form, u"Section 1: Header, All pages"_qs);
        auto *edit = Child<QTextEdit>(form, "edText");
        EXPECT_EQ(edit->toPlainText(), "Head text");
        QTextCursor c(edit->document());
        c.movePosition(QTextCursor::End);
        c.insertText(u" more"_qs);
        choose(form, u"Section 1: Footer, Even pages"_qs);
        Child<QPushButton>(form, "btnDelete")->click();
        add(form, 1, 1, 2); // section 2, footer, first page
        edit->insertPlainText(u"First foot"_qs);
        add(form, 0, 0, 0); // listed already: chosen, not doubled
        EXPECT_EQ(listed(form), QStringList({"Section 1: Header, All pages", "Section 2: Footer, First page"}));
        EXPECT_EQ(edit->toPlainText(), "Head text more");
    }));
    EXPECT_EQ(text(doc.Header(0)), "Head text more");
    QTextCursor bold(editor.Document().Header(0));
    bold.setPosition(1);
    EXPECT_EQ(bold.charFormat().fontWeight(), QFont::Bold) << "the edited text keeps its formats";
    EXPECT_EQ(doc.Footer(0, TWPHeaderKind::Left), nullptr);
    EXPECT_EQ(text(doc.Footer(1, TWPHeaderKind::First)), "First foot");
    EXPECT_TRUE(doc.PageSetup(1).TitlePage) << "a first-page footer needs a first page of its own";
    EXPECT_FALSE(doc.PageSetup(0).TitlePage);
    EXPECT_TRUE(editor.Modified());
    const QByteArray rtf = Rtf(editor);
    EXPECT_FALSE(rtf.contains("\\footerl")) << rtf.constData();
    EXPECT_TRUE(rtf.contains("\\titlepg"));

    // Deleting the last first-page part turns the first page off again.
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        choose(form, u"Section 2: Footer, First page"_qs);
        Child<QPushButton>(form, "btnDelete")->click();
    }));
    EXPECT_FALSE(doc.PageSetup(1).TitlePage);
    EXPECT_EQ(doc.Footer(1, TWPHeaderKind::First), nullptr);
}

TEST(WPManageHeaderFooter, CancelAndUnchangedOkLeaveTheDocumentAlone)
{
    TWPRichText editor;
    Load(editor, u"{\\rtf1{\\header Head\\par}Body\\par}"_qs);
    editor.SetModified(false);
    const QByteArray before = Rtf(editor);
    TWPManageHeaderFooter dlg;
    dlg.SetEditBox(&editor);
    EXPECT_FALSE(Answer(dlg, [](QDialog &form) {
        Child<QPushButton>(form, "btnDelete")->click();
        add(form, 0, 1, 0);
    }, false));
    EXPECT_EQ(Rtf(editor), before);
    EXPECT_FALSE(Answer(dlg, [](QDialog &) {})) << "nothing changed";
    EXPECT_EQ(Rtf(editor), before);
    EXPECT_FALSE(editor.Modified());

    editor.SetReadOnly(true);
    bool shown = true;
    EXPECT_FALSE(Answer(dlg, [](QDialog &) {}, true, &shown));
    EXPECT_FALSE(shown);
}
