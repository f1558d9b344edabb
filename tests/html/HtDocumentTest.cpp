// Documents with styles: the sheet follows the tree it was read from, shared
// sheets are shared only between documents that ask for it.
#include "TestUtil.h"

#include <ZorCompCore/html/HtDocument.h>

using namespace zor;

namespace {

TEST(HtDocument, StyleSheetFollowsTheStyleElements)
{
    THtDocument doc;
    doc.Parse(u"<html><head><style>.thumb { width: 120px; thumbfmt: png }</style>"
              u"<style type=\"text/less\">.thumb { width: 1px }</style></head>"
              u"<body style=\"background-color: #FFFFFF\"><p>x</p>"
              u"<STYLE TYPE=\"TEXT/CSS\">.late { height: 9 }</STYLE></body></html>"_qs);
    ASSERT_NE(doc.Body(), nullptr);
    EXPECT_EQ(doc.Body()->TagName(), u"body");

    // Sections in document order; a sheet of another language is not CSS.
    const TCSSSection *thumb = doc.FindCSSClass(u"thumb"_qs);
    ASSERT_NE(thumb, nullptr);
    EXPECT_EQ(thumb->Values(u"width")->front().Number, 120);
    EXPECT_EQ(doc.StyleSheet().ClassSections(u"thumb"_qs).size(), 1);
    ASSERT_NE(doc.FindCSSClass(u"late"_qs), nullptr);
    EXPECT_EQ(doc.FindCSSClass(u"late"_qs)->Values(u"height")->front().Kind, cvkNumber);

    // Changing a style element through the tree changes the sheet.
    doc.FindFirst(u"style")->SetInnerHTML(u".thumb { width: 64px }"_qs);
    EXPECT_EQ(doc.FindCSSClass(u"thumb"_qs)->Values(u"width")->front().Number, 64);
    doc.FindFirst(u"head")->DeleteChild(0);
    EXPECT_EQ(doc.FindCSSClass(u"thumb"_qs), nullptr);
    EXPECT_NE(doc.FindCSSClass(u"late"_qs), nullptr);

    // The body's inline background, read as a colour.
    quint32 c = 0;
    ASSERT_TRUE(THtDocument::GetInlineStyleColor(doc.Body(), u"background-color", c));
    EXPECT_EQ(c, 0xFFFFFFu);

    THtDocument empty;
    empty.Parse(u"<p>no body</p>"_qs);
    EXPECT_EQ(empty.Body(), nullptr);
    EXPECT_EQ(empty.StyleSheet().SectionCount(), 0);
}

TEST(HtDocument, SharedStylesShareOnlyWhenAsked)
{
    const QString html = u"<style>.a { x: 1 }</style>"_qs;
    THtDocument one, two, own;
    one.Parse(html);
    two.Parse(html);
    own.SetSharedStyles(false);
    own.Parse(html);
    EXPECT_TRUE(one.SharedStyles());
    EXPECT_FALSE(own.SharedStyles());
    EXPECT_EQ(&one.StyleSheet(), &two.StyleSheet());
    EXPECT_NE(&own.StyleSheet(), &one.StyleSheet());
    EXPECT_NE(own.FindCSSClass(u"a"_qs), nullptr);

    // A shared document that changes its styles leaves the other's sheet alone.
    two.FindFirst(u"style")->SetInnerHTML(u".b { y: 2 }"_qs);
    EXPECT_EQ(two.FindCSSClass(u"a"_qs), nullptr);
    EXPECT_NE(one.FindCSSClass(u"a"_qs), nullptr);

    // Switching sharing off gives the document a sheet of its own.
    one.SetSharedStyles(false);
    THtDocument three;
    three.Parse(html);
    EXPECT_NE(&one.StyleSheet(), &three.StyleSheet());
    EXPECT_NE(one.FindCSSClass(u"a"_qs), nullptr);
}

} // namespace
