// The editor as a user meets it: texts back unchanged, typing that touches
// one paragraph, formatting, the source view, read-only and undo history.
#include "HtmlEditorTestUtil.h"

#include <QAction>
#include <QImage>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QPlainTextEdit>

using namespace zor;
using ztest::EditorTest;
using ztest::readData;
using ztest::waitFor;

namespace {

using HtmlEditor = EditorTest;

TEST_F(HtmlEditor, UneditedTextComesBackByteForByte)
{
    const QString newsletter = readData(u"newsletter.html"_qs);
    ASSERT_FALSE(newsletter.isEmpty());
    editor->SetHTMLText(newsletter);
    EXPECT_EQ(editor->HTMLText(), newsletter);
    EXPECT_FALSE(editor->Modified());
    // The page did parse it: Chromium's own serialisation differs.
    EXPECT_NE(js(u"zorEditor.documentHTML()"_qs).toString(), newsletter);
}

TEST_F(HtmlEditor, TypingChangesOnlyTheParagraphTypedIn)
{
    const QString newsletter = readData(u"newsletter.html"_qs);
    editor->SetHTMLText(newsletter);
    editor->HTMLText();
    caretAtEndOf(u"typing"_qs);
    type(u"XYZ"_qs);
    ASSERT_TRUE(waitFor([&] { return editor->HTMLText().contains(u"XYZ"); }));
    EXPECT_TRUE(editor->Modified());
    EXPECT_GT(editor->ChangeCount(), 0);

    const QString out = editor->HTMLText();
    EXPECT_FALSE(out.contains(u"contenteditable"_qs, Qt::CaseInsensitive)) << "editing leaves no trace";
    const qsizetype start = newsletter.indexOf(u"<p id=\"typing\">");
    const qsizetype end = newsletter.indexOf(u"</p>", start) + 4;
    EXPECT_EQ(out.left(start), newsletter.left(start));
    EXPECT_EQ(out.right(newsletter.size() - end), newsletter.mid(end));
    EXPECT_EQ(out.mid(start, out.size() - (newsletter.size() - end) - start),
              u"<p id=\"typing\">Typing here changes this paragraph.XYZ</p>"_qs);
}

TEST_F(HtmlEditor, InsertedBlocksLeaveTheOthersAsTheyWere)
{
    const QString newsletter = readData(u"newsletter.html"_qs);
    editor->SetHTMLText(newsletter);
    caretAtEndOf(u"intro"_qs);
    editor->InsertHTML(u"<hr class=\"sep\">"_qs);
    const QString out = editor->HTMLText();
    EXPECT_TRUE(out.contains(u"<hr class=\"sep\">"_qs)) << out.toStdString();
    // The table (an added <tbody> in the page), the comments and the quote are
    // untouched source.
    for (const QString &part : {u"<table width=600 cellpadding=\"0\" cellspacing='0' class=\"header\">\n"
                                u"  <tr><td class=cell>Quarterly&nbsp;news</td>"_qs,
                                u"<!--[if !mso]><!-- --><p class=\"web-only\">Only in browsers</p><!--<![endif]-->"_qs,
                                u"<blockquote type=\"cite\" cite=\"mid:1234@example.org\">"_qs,
                                u"<ul><li>one<li>two</ul>"_qs, u"<BODY class=mail style='margin:0'>"_qs})
        EXPECT_TRUE(out.contains(part)) << part.toStdString();
    EXPECT_TRUE(editor->Modified());
}

TEST_F(HtmlEditor, FragmentsWithoutBodyKeepTheirHeadParts)
{
    // A style in front of a fragment goes to the page's head; an edit of the
    // body must not lose it.
    const QString fragment = u"<style>.x{color:red}</style>\n<p id=\"a\">one</p><p id=\"b\">two</p>"_qs;
    editor->SetHTMLText(fragment);
    caretAtEndOf(u"b"_qs);
    type(u"!"_qs);
    ASSERT_TRUE(waitFor([&] { return editor->HTMLText().contains(u"two!"); }));
    EXPECT_EQ(editor->HTMLText(), u"<style>.x{color:red}</style>\n<p id=\"a\">one</p><p id=\"b\">two!</p>"_qs);
}

TEST_F(HtmlEditor, FormattingActionsFollowTheSelection)
{
    editor->SetHTMLText(u"<p id=\"w\">word</p><p id=\"plain\">plain</p>"_qs);
    select(u"w"_qs);
    QAction *bold = editor->Action(TZORHtmlEditCommand::Bold);
    ASSERT_NE(bold, nullptr);
    bold->trigger();
    EXPECT_TRUE(editor->HTMLText().contains(u"<b>word</b>"_qs)) << editor->HTMLText().toStdString();
    EXPECT_TRUE(bold->isChecked());
    select(u"plain"_qs);
    ASSERT_TRUE(waitFor([&] { return !bold->isChecked(); })) << "the check follows the caret";
    select(u"w"_qs);
    ASSERT_TRUE(waitFor([&] { return bold->isChecked(); }));

    editor->Exec(TZORHtmlEditCommand::Undo);
    EXPECT_FALSE(editor->HTMLText().contains(u"<b>"_qs));
}

TEST_F(HtmlEditor, ClearHistoryForgetsTheUndoSteps)
{
    editor->SetHTMLText(u"<p id=\"p\">text</p>"_qs);
    caretAtEndOf(u"p"_qs);
    editor->InsertHTML(u"<b>more</b>"_qs);
    editor->ClearHistory();
    EXPECT_TRUE(editor->Modified()) << "clearing the history is no save";
    editor->Exec(TZORHtmlEditCommand::Undo);
    EXPECT_TRUE(editor->HTMLText().contains(u"more"_qs));
}

TEST_F(HtmlEditor, SourceViewShowsTheTextAndLeavingItSetsIt)
{
    const QString text = u"<p class=\"k\">source &amp; view</p>"_qs;
    editor->SetHTMLText(text);
    editor->SetSourceViewActive(true);
    EXPECT_EQ(editor->SourceView()->toPlainText(), text);
    editor->SourceView()->setPlainText(u"<p id=\"n\">changed</p>"_qs);
    EXPECT_EQ(editor->HTMLText(), u"<p id=\"n\">changed</p>"_qs) << "the source being edited is the text";
    editor->SetSourceViewActive(false);
    EXPECT_TRUE(editor->Modified());
    EXPECT_EQ(js(u"document.getElementById('n') ? 1 : 0"_qs).toInt(), 1) << "the page shows the new text";
}

TEST_F(HtmlEditor, ReadOnlyRefusesEdits)
{
    editor->SetHTMLText(u"<p id=\"p\">fixed</p>"_qs);
    editor->SetReadOnly(true);
    caretAtEndOf(u"p"_qs);
    editor->InsertHTML(u"<i>no</i>"_qs);
    type(u"abc"_qs);
    QTest::qWait(200);
    EXPECT_EQ(editor->HTMLText(), u"<p id=\"p\">fixed</p>"_qs);
    EXPECT_FALSE(editor->Modified());
    EXPECT_EQ(js(u"document.designMode"_qs).toString(), u"off"_qs);
}

TEST_F(HtmlEditor, AutoHeightFollowsTheContent)
{
    int raised = 0;
    editor->OnHeightChanged = [&](TZORHtmlEditor *) { ++raised; };
    editor->SetAutoHeight(true);
    editor->SetHTMLText(u"<p>one line</p>"_qs);
    editor->UpdateAutoSize();
    const int small = editor->height();
    QString many;
    for (int i = 0; i < 60; ++i)
        many += u"<p>line %1</p>"_qs.arg(i);
    raised = 0;
    editor->SetHTMLText(many);
    editor->UpdateAutoSize();
    EXPECT_GT(editor->height(), small + 500);
    EXPECT_GE(raised, 1);
}

TEST_F(HtmlEditor, ClicksReportTheElement)
{
    editor->SetHTMLText(u"<p><a id=\"l\" href=\"https://example.org/\" title=\"t\" "
                        u"style=\"display:inline-block;width:200px;height:40px\">link</a></p>"_qs);
    TZORHtmlElementInfo clicked;
    editor->OnElementClickEx = [&](TZORHtmlEditor *, const TZORHtmlElementInfo &e) { clicked = e; };
    const QVariantList rect = js(u"(function(){const b=document.getElementById('l').getBoundingClientRect();"
                                 u"return [b.left+5,b.top+5];})()"_qs)
                                  .toList();
    ASSERT_EQ(rect.size(), 2);
    const QUrl before = editor->View()->page()->url();
    QTest::mouseClick(editor->View()->focusProxy(), Qt::LeftButton, {},
                      QPoint(int(rect[0].toDouble()), int(rect[1].toDouble())));
    ASSERT_TRUE(waitFor([&] { return !clicked.TagName.isEmpty(); }));
    EXPECT_EQ(clicked.TagName, u"a"_qs);
    EXPECT_EQ(clicked.Attributes.value(u"title"_qs), u"t"_qs);
    EXPECT_EQ(clicked.Rect.width(), 200);
    EXPECT_FALSE(clicked.PictureLoaded);
    QTest::qWait(300);
    EXPECT_EQ(editor->View()->page()->url(), before) << "a clicked link never replaces the text";
}

TEST_F(HtmlEditor, AClickedPictureShowsInThePreview)
{
    QImage image(60, 40, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    ASSERT_TRUE(image.save(editor->ImagePath() + u"/pic.png"_qs));
    editor->SetHTMLText(u"<p><img id=\"i\" src=\"%IMAGEPATH%pic.png\"></p>"_qs);
    ASSERT_TRUE(waitFor([&] { return js(u"document.getElementById('i').naturalWidth"_qs).toInt() == 60; }));
    TZORHtmlElementInfo clicked;
    editor->OnElementClickEx = [&](TZORHtmlEditor *, const TZORHtmlElementInfo &e) { clicked = e; };
    const QVariantList at = js(u"(function(){const b=document.getElementById('i').getBoundingClientRect();"
                               u"return [b.left+10,b.top+10];})()"_qs).toList();
    ASSERT_EQ(at.size(), 2);
    QTest::mouseClick(editor->View()->focusProxy(), Qt::LeftButton, {},
                      QPoint(int(at[0].toDouble()), int(at[1].toDouble())));
    ASSERT_TRUE(waitFor([&] { return !clicked.TagName.isEmpty(); }));
    EXPECT_EQ(clicked.TagName, u"img"_qs);
    EXPECT_TRUE(clicked.PictureLoaded);
    EXPECT_EQ(clicked.Rect.size(), QSize(60, 40));
    EXPECT_TRUE(TZORHtmlEditor::ShowImageElementAsPopUp(clicked, editor.get()));

    // Not a picture, or one that did not load: no preview.
    TZORHtmlElementInfo missing = clicked;
    missing.PictureLoaded = false;
    EXPECT_FALSE(TZORHtmlEditor::ShowImageElementAsPopUp(missing, editor.get()));
    TZORHtmlElementInfo paragraph;
    paragraph.TagName = u"p"_qs;
    paragraph.PictureLoaded = true;
    EXPECT_FALSE(TZORHtmlEditor::ShowImageElementAsPopUp(paragraph, editor.get()));
}

TEST_F(HtmlEditor, EnterEditModePutsTheCaretAtTheEnd)
{
    editor->SetHTMLText(u"<p>first</p><p>last</p>"_qs);
    editor->EnterEditMode();
    type(u"!"_qs);
    ASSERT_TRUE(waitFor([&] { return editor->HTMLText().contains(u"!"); }));
    EXPECT_EQ(editor->HTMLText(), u"<p>first</p><p>last!</p>"_qs);
}

TEST_F(HtmlEditor, SourceViewColoursMarkupAcrossLines)
{
    editor->SetHTMLText(u"<p class=\"a\">x &amp; y</p>\n<!-- a comment\nover two lines -->\n<b>z</b>"_qs);
    editor->SetSourceViewActive(true);
    QTextDocument *doc = editor->SourceView()->document();
    auto formatAt = [&](int line, int column) {
        const QTextBlock block = doc->findBlockByNumber(line);
        for (const QTextLayout::FormatRange &r : block.layout()->formats())
            if (column >= r.start && column < r.start + r.length)
                return r.format;
        return QTextCharFormat();
    };
    EXPECT_EQ(formatAt(0, 1).fontWeight(), QFont::Bold) << "tag name";
    EXPECT_NE(formatAt(0, 3).foreground(), formatAt(0, 10).foreground()) << "attribute and value differ";
    EXPECT_FALSE(formatAt(0, 15).foreground().style() == Qt::NoBrush) << "the entity";
    EXPECT_TRUE(formatAt(2, 3).fontItalic()) << "the comment's second line";
    EXPECT_FALSE(formatAt(3, 3).fontItalic()) << "after the comment";
    EXPECT_EQ(formatAt(3, 1).fontWeight(), QFont::Bold);
}

} // namespace
