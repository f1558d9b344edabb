#include "RichTextDump.h"

#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/QEWPHTMLWriter.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>

#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

using namespace zor;
using namespace richtext_test;

namespace {

QString write(TWPCustomRtfEdit &edit, const QString &format = u"TQEWPHTMLWriter"_qs)
{
    const QByteArray bytes = edit.SaveToBytes(format);
    EXPECT_TRUE(edit.LastError().isEmpty()) << S(edit.LastError());
    return QString::fromUtf8(bytes);
}

// The style block's content, between <style …> and </style>.
QString styleSheet(const QString &html)
{
    const qsizetype open = html.indexOf(u"<style type=\"text/css\">\r\n"_qs);
    const qsizetype close = html.indexOf(u"</style>"_qs);
    if (open < 0 || close < open)
        return {};
    return html.mid(open + 25, close - open - 25);
}

} // namespace

// TColor is 0x00BBGGRR: writing its bytes in memory order gave blue for red.
TEST(QEWPHTMLWriter, ColourElementsWriteRedGreenBlue)
{
    const struct
    {
        const char *Name;
        TColor Color;
        const char *Element;
    } rows[] = {
        {"red", 0x0000FF, "color: #FF0000;"},
        {"green", 0x00FF00, "color: #00FF00;"},
        {"blue", 0xFF0000, "color: #0000FF;"},
        {"mixed bytes", 0x563412, "color: #123456;"},
        {"black keeps its zeros", 0x000000, "color: #000000;"},
        {"a fourth byte goes in front", 0x1F0000FF, "color: #1FFF0000;"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.Name);
        EXPECT_EQ(S(TQEWPHTMLWriter::GetHTMLColorStyleElement(row.Color, "color")), row.Element);
    }
    EXPECT_EQ(S(TQEWPHTMLWriter::GetHTMLColorStyleElement(0xFFFFFF, "background")), "background: #FFFFFF;");
}

// The library registers the writer at start-up: an editor finds it by its
// class name in any case, options after it, while "HTML" stays the engine's.
TEST(QEWPHTMLWriter, IsFoundByItsClassNameAmongTheRegisteredWriters)
{
    TWPCustomRtfEdit edit;
    edit.LoadFromString(u"x"_qs, u"TXT"_qs);
    const QString ours = write(edit, u"tqewphtmlwriter-onlybody,"_qs);
    EXPECT_FALSE(ours.contains("<html>")) << "options reach the writer";
    EXPECT_TRUE(write(edit).contains("a:visited {")) << "it is our writer";
    EXPECT_FALSE(write(edit, u"HTML"_qs).contains("a:visited")) << "HTML is still the engine's writer";
    EXPECT_FALSE(TQEWPHTMLWriter().UseForFilterName(u"HTML"_qs));
    EXPECT_FALSE(TQEWPHTMLWriter().UseForFilterName(u"TQEWPHTMLWriterX"_qs));
}

// The style sheet: the engine's rules first, then the links' in the default
// font, then the page background, each rule ending in CR LF.
TEST(QEWPHTMLWriter, StyleSheetAddsLinkAndPageRulesAfterTheEngines)
{
    TWPCustomRtfEdit edit;
    ASSERT_TRUE(edit.LoadFromBytes(R"({\rtf1\deff0{\fonttbl{\f0 Liberation Serif;}}{\stylesheet{\s1\b Strong;}}\s1 x\par})",
                                   u"RTF"_qs));
    QFont f = edit.Document().Text()->defaultFont();
    f.setPointSizeF(10.5);
    edit.Document().Text()->setDefaultFont(f);
    SetRTFDataColorValue(edit.Document(), u"page-background-color"_qs, 0x00FFFF); // yellow
    const QString css = styleSheet(write(edit));
    const QString link = u" { font-family:Liberation Serif;font-size:10.5pt;color: #000000; }\r\n"_qs;
    const qsizetype engine = css.indexOf(u".s-strong {"_qs);
    const qsizetype a = css.indexOf(u"a"_qs + link);
    ASSERT_GE(engine, 0) << S(css);
    EXPECT_GT(a, engine) << S(css);
    EXPECT_EQ(css.indexOf(u"a:visited"_qs + link), a + 1 + link.size());
    EXPECT_GE(css.indexOf(u"a:hover"_qs + link), 0);
    EXPECT_TRUE(css.endsWith(u"a:hover"_qs + link
                             + u"body { font-family:Liberation Serif;font-size:10.5pt;background: #FFFF00; }\r\n"_qs))
        << S(css);
}

// No stored page colour, no body rule: a body rule with the default value
// would paint every page in an arbitrary colour. A stored white is a colour.
TEST(QEWPHTMLWriter, BodyRuleOnlyWithAStoredPageColour)
{
    TWPCustomRtfEdit edit;
    edit.LoadFromString(u"plain"_qs, u"TXT"_qs);
    const QString without = styleSheet(write(edit));
    EXPECT_FALSE(without.contains("body {")) << S(without);
    EXPECT_TRUE(without.contains("a {")) << "the style sheet is always written";
    EXPECT_TRUE(without.contains("font-family:Arial;font-size:11pt;"))
        << "a document without a font of its own uses the engine's: " << S(without);

    SetRTFDataColorValue(edit.Document(), u"page-background-color"_qs, 0xFFFFFF);
    EXPECT_TRUE(styleSheet(write(edit)).contains("background: #FFFFFF; }"));

    EXPECT_FALSE(write(edit, u"TQEWPHTMLWriter-onlybody,"_qs).contains("<style"))
        << "a body alone has no head for a style sheet";
}
