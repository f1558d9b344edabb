// Style sheets: the tokenizer's corners (escapes, strings, url(), numbers and
// units, comments), error recovery, the class dictionary, and the inline
// style edits that must leave every other byte alone.
#include "TestUtil.h"

#include <ZorCompCore/html/HtCSS.h>
#include <ZorCompCore/html/HtDocument.h>

using namespace zor;

namespace {

std::string str(const QString &s)
{
    return s.toStdString();
}

TEST(HtCSS, ValuesAreTyped)
{
    const auto decls = ParseCSSDeclarations(
        u"width: 200px; height:0; zoom: 1.5e1; w2: -.5EM; margin: 10% auto;"
        u" font: 12px/1.2 \"Times New Roman\", serif; color: #0A0B0C;"
        u" background: url( a\\)b.png ) rgb(1, 2, 3) url('q.png');"
        u" content: 'it\\'s \\41 \\1F600 x'; thumbfmt: png");
    ASSERT_EQ(decls.size(), 10u);
    struct Row
    {
        int decl, value;
        TCSSValueKind kind;
        const char16_t *text;
        double number;
        const char16_t *unit;
    } rows[] = {
        {0, 0, cvkDimension, u"200px", 200, u"px"},
        {1, 0, cvkNumber, u"0", 0, u""},
        {2, 0, cvkNumber, u"1.5e1", 15, u""},
        {3, 0, cvkDimension, u"-.5EM", -0.5, u"EM"},
        {4, 0, cvkPercentage, u"10%", 10, u""},
        {4, 1, cvkIdent, u"auto", 0, u""},
        {5, 0, cvkDimension, u"12px", 12, u"px"},
        {5, 1, cvkOperator, u"/", 0, u""},
        {5, 2, cvkNumber, u"1.2", 1.2, u""},
        {5, 3, cvkString, u"Times New Roman", 0, u""},
        {5, 4, cvkOperator, u",", 0, u""},
        {5, 5, cvkIdent, u"serif", 0, u""},
        {6, 0, cvkHash, u"#0A0B0C", 0, u""},
        {7, 0, cvkUrl, u"a)b.png", 0, u""},
        {7, 1, cvkFunction, u"rgb(1, 2, 3)", 0, u"rgb"},
        {7, 2, cvkUrl, u"q.png", 0, u""},
        {8, 0, cvkString, u"it's A\U0001F600x", 0, u""}, // a blank after a hex escape belongs to it
        {9, 0, cvkIdent, u"png", 0, u""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(str(QString::fromUtf16(r.text)));
        const auto &values = decls[size_t(r.decl)].Values;
        ASSERT_LT(size_t(r.value), values.size());
        const TCSSValue &v = values[size_t(r.value)];
        EXPECT_EQ(v.Kind, r.kind);
        EXPECT_EQ(v.Text, QString::fromUtf16(r.text));
        EXPECT_DOUBLE_EQ(v.Number, r.number);
        EXPECT_EQ(v.Unit, QString::fromUtf16(r.unit));
    }
    EXPECT_EQ(decls[4].Values.size(), 2u);
    EXPECT_EQ(decls[5].ValueText, u"12px/1.2 \"Times New Roman\", serif");

    quint32 c = 0;
    EXPECT_TRUE(decls[6].Values[0].ToColor(c));
    EXPECT_EQ(c, 0x0C0B0Au);
    EXPECT_TRUE(decls[7].Values[1].ToColor(c));
    EXPECT_EQ(c, 0x030201u);
    EXPECT_FALSE(decls[0].Values[0].ToColor(c)); // 200px is no colour
    EXPECT_TRUE(decls[0].Values[0].IsNumeric());
    EXPECT_FALSE(decls[4].Values[0].IsNumeric()); // percentages are not kind 7 or 9
}

TEST(HtCSS, BadDeclarationsAreSkippedAsCssSkipsThem)
{
    // Each bad declaration costs only itself: the next ";" at the top level
    // (not one inside brackets or a string) ends it.
    const auto decls = ParseCSSDeclarations(
        u"color red; 5px: x; a: f(1; 2); b: 'x;y'; c:d !important; ; e : [;] ;"
        u" @media x { y: z } f: g; h: 'broken\n; i: j; /* k: l; */ m: n !  IMPORTANT");
    QStringList names;
    for (const TCSSProperty &p : decls)
        names << p.Name + u'=' + p.ValueText + (p.Important ? u"!"_qs : QString());
    EXPECT_EQ(names.join(u'|'), u"a=f(1; 2)|b='x;y'|c=d!|e=[;]|f=g|h='broken|i=j|m=n!");
}

TEST(HtCSS, ClassDictionaryFollowsTheSelectors)
{
    TCSSStyleSheet sheet;
    sheet.Parse(u"<!-- .thumb { width: 100px } -->\n"
                u"@media print { .thumb { width: 1px } }\n"
                u"@import url(x.css);\n"
                u"img.thumb, .other , .x .thumb { width: 200px; thumbfmt: png }\n"
                u".thumb:hover { width: 3px }\n"
                u".thumb::before, a[href].Thumb { width: 4px }\n"
                u".a.b, p>span { }\n"
                u"{ lost: yes }\n"
                u".thumb { width: 5px; width: 6px; }\n"
                u".open { width: 7px");
    EXPECT_EQ(sheet.ClassNames(),
              (QStringList{u"thumb"_qs, u"other"_qs, u"Thumb"_qs, u"b"_qs, u"open"_qs}));
    const auto thumbs = sheet.ClassSections(u"thumb"_qs);
    ASSERT_EQ(thumbs.size(), 3); // the rule with two .thumb selectors counts once
    EXPECT_EQ(thumbs[0]->Selector, u".thumb");
    EXPECT_EQ(thumbs[0]->Property(u"width")->ValueText, u"100px");
    EXPECT_EQ(thumbs[1]->Selector, u"img.thumb, .other , .x .thumb");
    EXPECT_EQ(thumbs[2]->Property(u"WIDTH")->ValueText, u"6px"); // the last declaration counts
    EXPECT_EQ(sheet.FindClass(u"thumb"_qs), thumbs[0]);
    EXPECT_EQ(sheet.FindClass(u"other"_qs), thumbs[1]);
    ASSERT_NE(sheet.FindClass(u"Thumb"_qs), nullptr); // classes are case-sensitive
    EXPECT_EQ(sheet.FindClass(u"Thumb"_qs)->Property(u"width")->ValueText, u"4px");
    EXPECT_EQ(sheet.FindClass(u"a"_qs), nullptr);
    ASSERT_NE(sheet.FindClass(u"open"_qs), nullptr); // an unclosed block ends with the text
    EXPECT_EQ(sheet.FindClass(u"open"_qs)->Property(u"width")->Values[0].Number, 7);
    EXPECT_EQ(thumbs[1]->Values(u"thumbfmt")->front().Text, u"png");
    EXPECT_EQ(thumbs[1]->Values(u"height"), nullptr);
    // Sections are the rules, in order, whether or not they name a class.
    EXPECT_EQ(sheet.SectionCount(), 7);

    sheet.Parse(u".late { x: 1 }");
    EXPECT_EQ(sheet.ClassNames().last(), u"late");
    sheet.Clear();
    EXPECT_EQ(sheet.SectionCount(), 0);
    EXPECT_EQ(sheet.FindClass(u"thumb"_qs), nullptr);
}

TEST(HtCSS, EscapesAndHostileText)
{
    TCSSStyleSheet sheet;
    // An escaped class name, a NUL, an escape of an out-of-range code point.
    sheet.Parse(u".\\31 23 { a: \\110000x } .n\\00 { b: c }");
    ASSERT_NE(sheet.FindClass(u"123"_qs), nullptr);
    EXPECT_EQ(sheet.FindClass(u"123"_qs)->Property(u"a")->Values[0].Text, u"\uFFFDx");
    EXPECT_NE(sheet.FindClass(u"n\uFFFD"_qs), nullptr);

    // Deep nesting costs no stack; text that never closes anything ends cleanly.
    const QString deep = u".d { x: "_qs + QString(200000, u'(') + u"}"_qs;
    sheet.Clear();
    sheet.Parse(deep);
    ASSERT_EQ(sheet.SectionCount(), 1);
    for (const char16_t *text : {u"/*", u"'", u"url(", u"\\", u"@", u".", u"{", u"}}}", u"a{b:'\\"}) {
        sheet.Clear();
        sheet.Parse(QString::fromUtf16(text));
        ParseCSSDeclarations(QString::fromUtf16(text));
    }
}

TEST(HtCSS, InlineStyleEditsTouchOnlyTheirDeclaration)
{
    THtDocument doc;
    doc.Parse(u"<p style=\"color: red; margin:0 auto /*keep*/;COLOR : blue !important\">x</p>"
              u"<b>y</b>"_qs);
    THtmlNode *p = doc.FindFirst(u"p");
    EXPECT_EQ(THtDocument::GetInlineStyle(p, u"color"), u"blue");
    EXPECT_EQ(THtDocument::GetInlineStyle(p, u"margin"), u"0 auto");
    EXPECT_EQ(THtDocument::GetInlineStyle(p, u"padding"), u"");

    // The declaration that counts (the last) is changed in place.
    THtDocument::SetInlineStyle(p, u"color"_qs, u"green"_qs);
    EXPECT_EQ(p->GetAttribute(u"style"), u"color: red; margin:0 auto /*keep*/;COLOR : green !important");
    THtDocument::SetInlineStyle(p, u"padding"_qs, u"2px"_qs);
    EXPECT_EQ(p->GetAttribute(u"style"),
              u"color: red; margin:0 auto /*keep*/;COLOR : green !important; padding: 2px");

    EXPECT_TRUE(THtDocument::RemoveInlineStyle(p, u"Color"));
    EXPECT_EQ(p->GetAttribute(u"style"), u"margin:0 auto /*keep*/; padding: 2px");
    EXPECT_FALSE(THtDocument::RemoveInlineStyle(p, u"color"));
    EXPECT_TRUE(THtDocument::RemoveInlineStyle(p, u"padding"));
    EXPECT_TRUE(THtDocument::RemoveInlineStyle(p, u"margin"));
    EXPECT_FALSE(p->HasAttribute(u"style")); // nothing left: the attribute goes
    EXPECT_EQ(doc.OuterHTML(), u"<p>x</p><b>y</b>");

    // An element without a style gets one; the rest of the tag stays as written.
    THtmlNode *b = doc.FindFirst(u"b");
    THtDocument::SetInlineStyle(b, u"color"_qs, u"#fff"_qs);
    EXPECT_EQ(doc.OuterHTML(), u"<p>x</p><b style=\"color: #fff\">y</b>");
    quint32 c = 0;
    EXPECT_TRUE(THtDocument::GetInlineStyleColor(b, u"color", c));
    EXPECT_EQ(c, 0xFFFFFFu);
    EXPECT_FALSE(THtDocument::GetInlineStyleColor(b, u"background", c));
}

TEST(HtCSS, NewDeclarationsStandAloneAfterOpenText)
{
    // A style that leaves a string, a comment, a function or an escape open
    // must not swallow the declaration added after it; nor may a ";" that
    // only looks like the end of the last declaration (in a broken string or
    // a comment).
    for (const char16_t *style : {u"a: 'x", u"a: b /* c", u"a: f(1, [2", u"a: b\\", u"a: url(x",
                                  u"a: url(x y\\", u"a: 'x\\", u"a: b;\u00A0", u"@x {", u"a:b;  ",
                                  u"c 'x;\r", u"a: b /*;*/", u"/**/"}) {
        SCOPED_TRACE(str(QString::fromUtf16(style)));
        THtDocument doc;
        doc.Parse(u"<i>"_qs);
        THtmlNode *i = doc.FindFirst(u"i");
        i->SetAttribute(u"style"_qs, QString::fromUtf16(style));
        THtDocument::SetInlineStyle(i, u"color"_qs, u"red"_qs);
        EXPECT_EQ(THtDocument::GetInlineStyle(i, u"color"), u"red") << str(i->GetAttribute(u"style"));
        EXPECT_TRUE(i->GetAttribute(u"style").startsWith(QString::fromUtf16(style)));
        EXPECT_TRUE(THtDocument::RemoveInlineStyle(i, u"color"));
        EXPECT_EQ(THtDocument::GetInlineStyle(i, u"color"), u"");
    }
}

} // namespace
