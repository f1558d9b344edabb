// Character references: the decoder must agree with how browsers read them,
// and escaping must read back as the original text.
#include "TestUtil.h"

#include <ZorCompCore/html/HtmlEntities.h>

using namespace zor;

namespace {

TEST(HtmlEntities, DecodesNamedNumericAndLegacyReferences)
{
    struct Row
    {
        const char16_t *in, *text, *attr;
    } rows[] = {
        {u"a &amp; b", u"a & b", u"a & b"},
        {u"&lt;&gt;&quot;&apos;", u"<>\"'", u"<>\"'"},
        {u"&notin; &notit;", u"\u2209 \u00ACit;", u"\u2209 &notit;"},   // longest match
        {u"&copy=2 &copy2 &copy", u"\u00A9=2 \u00A92 \u00A9", u"&copy=2 &copy2 \u00A9"},
        {u"&unknown; & &; &#; &#x;", u"&unknown; & &; &#; &#x;", u"&unknown; & &; &#; &#x;"},
        {u"&#65;&#x42;&#X43&#0;&#x110000;&#xD800;", u"ABC\uFFFD\uFFFD\uFFFD",
         u"ABC\uFFFD\uFFFD\uFFFD"},
        {u"&#128;&#x9F;&#160;", u"\u20AC\u0178\u00A0", u"\u20AC\u0178\u00A0"},
        {u"&#x1F600;&fjlig;&NotEqualTilde;", u"\U0001F600fj\u2242\u0338",
         u"\U0001F600fj\u2242\u0338"},
        {u"&#99999999999999999999;", u"\uFFFD", u"\uFFFD"},
    };
    for (const Row &r : rows) {
        const QString in = QString::fromUtf16(r.in);
        EXPECT_EQ(DecodeHtmlEntities(in), QString::fromUtf16(r.text)) << in.toStdString();
        EXPECT_EQ(DecodeHtmlEntities(in, true), QString::fromUtf16(r.attr)) << in.toStdString();
    }
}

TEST(HtmlEntities, TableHasEveryNameOfHtml5)
{
    // First, last and a few in between of the sorted table; a broken sort
    // order would make the binary search miss names.
    EXPECT_EQ(HtmlEntityText(u"AElig"), u"\u00C6");
    EXPECT_EQ(HtmlEntityText(u"zwnj;"), u"\u200C");
    EXPECT_EQ(HtmlEntityText(u"Mellintrf;"), u"\u2133");
    EXPECT_EQ(HtmlEntityText(u"CounterClockwiseContourIntegral;"), u"\u2233");
    EXPECT_TRUE(HtmlEntityText(u"nbsp").size() == 1);
    EXPECT_TRUE(HtmlEntityText(u"bogus;").isNull());
    EXPECT_TRUE(HtmlEntityText(u"amp;x").isNull());
}

TEST(HtmlEntities, EscapingReadsBack)
{
    const QString text = u"<a href=\"x\">Tom & 'Jerry'</a> &amp;"_qs;
    EXPECT_EQ(EscapeHtmlText(text), u"&lt;a href=\"x\"&gt;Tom &amp; 'Jerry'&lt;/a&gt; &amp;amp;");
    EXPECT_EQ(DecodeHtmlEntities(EscapeHtmlText(text)), text);
    EXPECT_EQ(DecodeHtmlEntities(EscapeHtmlText(text, true), true), text);
    EXPECT_FALSE(EscapeHtmlText(text, true).contains(u'"'));
}

} // namespace
