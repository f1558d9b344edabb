// Colours: the Windows layout (0x00BBGGRR) must not be mixed up with the
// CSS order (#RRGGBB) in either direction.
#include "TestUtil.h"

#include <ZorCompCore/html/HtmlColors.h>

using namespace zor;

namespace {

TEST(HtmlColors, WindowsColoursBecomeHtml)
{
    EXPECT_EQ(htmlColortoStr(0xA56E3A), u"#3A6EA5"); // red 58, green 110, blue 165
    EXPECT_EQ(htmlColortoStr(0x000000FF), u"#FF0000");
    EXPECT_EQ(htmlColortoStr(0x0A0B0C), u"#0C0B0A");
    EXPECT_EQ(htmlColortoStr(0xFF123456), u"#563412"); // high byte ignored

    EXPECT_EQ(Win2Color(0x00123456), 0x00123456u);
    EXPECT_EQ(Win2Color(0xFF000001), 0xA56E3Au); // desktop of the classic scheme
    EXPECT_EQ(Win2Color(0xFF00000F), 0xC8D0D4u); // button face 212,208,200
    EXPECT_EQ(Win2Color(0xFF000018), 0xE1FFFFu); // info background 255,255,225
    EXPECT_EQ(Win2Color(0xFF00001E), 0xC8D0D4u); // last index: menu bar
    EXPECT_EQ(Win2Color(0xFF00001F), 0u);        // no such index
    // Read from a decimal text as a signed value, as templates pass it.
    EXPECT_EQ(htmlColortoStr(Win2Color(quint32(qint32(-16777201)))), u"#D4D0C8");
}

TEST(HtmlColors, CssColoursAreRead)
{
    struct Row
    {
        const char16_t *text;
        quint32 color;
    } rows[] = {
        {u"red", 0x0000FF},           {u"  Navy ", 0x800000},
        {u"aliceblue", 0xFFF8F0},     {u"YELLOWGREEN", 0x32CD9A},
        {u"rebeccapurple", 0x993366}, {u"#abc", 0xCCBBAA},
        {u"#0A0b0C", 0x0C0B0A},       {u"rgb(1, 2, 3)", 0x030201},
        {u"RGB(300,-5, 100%)", 0xFF00FF}, {u"rgb(50%,0,0)", 0x000080},
    };
    for (const Row &r : rows) {
        quint32 c = 0xDEADBEEF;
        EXPECT_TRUE(HtmlStrToColor(r.text, c)) << QString::fromUtf16(r.text).toStdString();
        EXPECT_EQ(c, r.color) << QString::fromUtf16(r.text).toStdString();
    }
    for (const char16_t *bad : {u"", u"#", u"#12", u"#12345", u"#ggg", u"rgb(1,2)",
                                u"rgb(1,2,3,4)", u"rgb(a,2,3)", u"reds", u"re", u"r\u00E9d",
                                u"rgb(1,2,3"}) {
        quint32 c = 7;
        EXPECT_FALSE(HtmlStrToColor(bad, c)) << QString::fromUtf16(bad).toStdString();
        EXPECT_EQ(c, 7u);
    }
    // Round trip through both layouts.
    quint32 c = 0;
    ASSERT_TRUE(HtmlStrToColor(htmlColortoStr(0x123456), c));
    EXPECT_EQ(c, 0x123456u);
}

} // namespace
