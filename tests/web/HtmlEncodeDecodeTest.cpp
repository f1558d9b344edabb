#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/web/HtmlEncodeDecode.h>

#include "TestUtil.h"

using zor::THTMLUtils;

namespace {

// The tests pin the ANSI code page: what EncodeByCharset loses depends on it.
class AnsiCodePage1252 : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FOld = zor::AnsiCodePage();
        zor::SetAnsiCodePage(1252);
    }
    void TearDown() override { zor::SetAnsiCodePage(FOld); }
    int FOld = 0;
};

struct EncodeCase
{
    const char *name;
    QString in;
    bool entities;
    QString out;
};

} // namespace

TEST(HtmlEncode, BlanksNamesAndNumbers)
{
    const EncodeCase cases[] = {
        {"two leading blanks", u"  a b"_qs, false, u"&nbsp;&nbsp;a b"_qs},
        {"a run keeps its width", u"a  b"_qs, false, u"a &nbsp;b"_qs},
        {"three blanks", u"a   b"_qs, true, u"a &nbsp;&nbsp;b"_qs},
        {"a no-break space is no blank", u"\u00A0 x"_qs, false, u"\u00A0 x"_qs},
        {"umlaut by name", u"\u00E4"_qs, true, u"&auml;"_qs},
        {"umlaut by number", u"\u00E4"_qs, false, u"&#228;"_qs},
        {"trade mark at its old position", u"\u2122"_qs, false, u"&#153;"_qs},
        {"trade mark has no name", u"\u2122"_qs, true, u"&#153;"_qs},
        {"markup by name", u"<a href='x'>\"&\""_qs, true, u"&lt;a href=&apos;x&apos;&gt;&quot;&amp;&quot;"_qs},
        {"markup by number", u"<a href='x'>\"&\""_qs, false, u"&#60;a href=&#39;x&#39;&#62;&#34;&#38;&#34;"_qs},
        {"names fall back to numbers", u"\u00E9\u2013\u00A9"_qs, true, u"&#233;&#8211;&#169;"_qs},
        {"name-only characters", u"\u221A\u2211\u00BD\u00B2"_qs, false, u"\u221A\u2211\u00BD\u00B2"_qs},
        {"name-only characters by name", u"\u221A\u2211\u00BD\u00B2"_qs, true, u"&radic;&sum;&frac12;&sup2;"_qs},
        {"euro both ways", u"\u20AC|\u20AC"_qs, false, u"&#8364;|&#8364;"_qs},
        {"outside both tables", u"\u0416\U0001F600\u00F0"_qs, true, u"\u0416\U0001F600\u00F0"_qs},
        {"empty", QString(), true, QString()},
    };
    for (const EncodeCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(THTMLUtils::HtmlEncode(c.in, c.entities), c.out);
    }
}

TEST(HtmlEncode, TheNumericTableAsWritten)
{
    // Punctuation and symbols with their fixed numbers.
    EXPECT_EQ(THTMLUtils::HtmlEncode(u"\u2013\u2014\u00A1\u00BF\u201C\u201D\u2018\u2019\u00AB\u00BB"_qs, false),
              u"&#8211;&#8212;&#161;&#191;&#8220;&#8221;&#8216;&#8217;&#171;&#187;"_qs);
    EXPECT_EQ(THTMLUtils::HtmlEncode(u"\u00A2\u00F7\u00B5\u00B7\u00B6\u00B1\u00A3\u00AE\u00A7\u00A5\u00B0"_qs, false),
              u"&#162;&#247;&#181;&#183;&#182;&#177;&#163;&#174;&#167;&#165;&#176;"_qs);
    // Letters are numbered by their code point; their neighbours outside
    // the table stay as they are.
    const QString letters =
        u"\u00E1\u00C1\u00E0\u00C0\u00E2\u00C2\u00E5\u00C5\u00E3\u00C3\u00E4\u00C4\u00E6\u00C6\u00E7\u00C7"
        "\u00E9\u00C9\u00E8\u00C8\u00EA\u00CA\u00EB\u00CB\u00ED\u00CD\u00EC\u00CC\u00EE\u00CE\u00EF\u00CF"
        "\u00F1\u00D1\u00F3\u00D3\u00F2\u00D2\u00F4\u00D4\u00F8\u00D8\u00F5\u00D5\u00F6\u00D6\u00DF"
        "\u00FA\u00DA\u00F9\u00D9\u00FB\u00DB\u00FC\u00DC\u00FF\u00B4`"_qs;
    for (QChar c : letters) {
        SCOPED_TRACE(QString(c).toStdString());
        EXPECT_EQ(THTMLUtils::HtmlEncode(QString(c), false), QStringLiteral("&#%1;").arg(c.unicode()));
    }
    for (QChar c : u"\u00F0\u00D0\u00DD\u00FD\u00D7\u00DE\u00FE\u0178\u00A0"_qs) {
        SCOPED_TRACE(QString(c).toStdString());
        EXPECT_EQ(THTMLUtils::HtmlEncode(QString(c), false), QString(c));
    }
}

TEST(HtmlDecode, TablesPassByPass)
{
    const struct
    {
        const char *name;
        QString in, out;
    } cases[] = {
        {"#160 is a plain blank", u"a&#160;b"_qs, u"a b"_qs},
        {"nbsp too", u"&nbsp;&nbsp;x"_qs, u"  x"_qs},
        {"#153 is the trade mark", u"&#153;"_qs, u"\u2122"_qs},
        {"references outside the table stay", u"&#8482;&copy;&#x41;"_qs, u"&#8482;&copy;&#x41;"_qs},
        {"names are case-sensitive", u"&AUML;&Auml;&auml;"_qs, u"&AUML;\u00C4\u00E4"_qs},
        {"double encoding decodes twice", u"&amp;lt;b&amp;gt;"_qs, u"<b>"_qs},
        {"an encoded #160 becomes a blank", u"&amp;#160;"_qs, u" "_qs},
        // #8211 has had its pass when #38 produces it.
        {"later passes do not revisit earlier ones", u"&#38;#8211;"_qs, u"&#8211;"_qs},
        {"numbers and names mix", u"&#228;&ouml;&#8364;&euro;"_qs, u"\u00E4\u00F6\u20AC\u20AC"_qs},
        {"without semicolon nothing", u"&auml &#228"_qs, u"&auml &#228"_qs},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(THTMLUtils::HtmlDecode(c.in), c.out);
    }
}

TEST(HtmlDecode, UndoesEncodeOfEveryTableCharacter)
{
    const QString text =
        u"x \u2013\u2014\u00A1\u00BF\"\u201C\u201D'\u2018\u2019\u00AB\u00BB &\u00A2\u00A9\u00F7><\u00B5\u00B7"
        "\u00B6\u00B1\u20AC\u00A3\u00AE\u00A7\u2122\u00A5\u00B0\u00E1\u00C4\u00DF\u00FF\u00B4`"
        "\u00E4\u00F6\u00FC\u00C4\u00D6\u00DC\u00DF\u00A7\u20AC\u00BD\u00B2\u221A\u2211  y"_qs;
    for (bool entities : {false, true}) {
        SCOPED_TRACE(entities ? "names" : "numbers");
        const QString encoded = THTMLUtils::HtmlEncode(text, entities);
        EXPECT_FALSE(encoded.contains(u'<') || encoded.contains(u'"'));
        EXPECT_EQ(THTMLUtils::HtmlDecode(encoded), text);
    }
}

TEST(HtmlEncodeDecode, TablesAreRebuiltAfterTheModuleShutDown)
{
    EXPECT_EQ(THTMLUtils::HtmlEncode(u"\u00E4"_qs, true), u"&auml;"_qs);
    zor::detail::HtmlEncodeDecodeShutdown();
    EXPECT_EQ(THTMLUtils::HtmlEncode(u"\u00E4"_qs, true), u"&auml;"_qs);
    zor::detail::HtmlEncodeDecodeShutdown();
    EXPECT_EQ(THTMLUtils::HtmlDecode(u"&#228;"_qs), u"\u00E4"_qs);
}

TEST(PosIsInCharSet, FirstMatchUpToHigh)
{
    const QString set = u"abcab"_qs;
    EXPECT_EQ(THTMLUtils::PosIsInCharSet(u'b', set, 4), 1);
    EXPECT_EQ(THTMLUtils::PosIsInCharSet(u'c', set, 1), -1);
    EXPECT_EQ(THTMLUtils::PosIsInCharSet(u'c', set, 2), 2);
    EXPECT_EQ(THTMLUtils::PosIsInCharSet(u'a', set, -1), -1);
    EXPECT_EQ(THTMLUtils::PosIsInCharSet(u'z', set, 100), -1);
    EXPECT_EQ(THTMLUtils::PosIsInCharSet(u'a', QStringView(), 3), -1);
}

TEST(ConvertTextToHTML, LinesJoinEmptyLinesCloseParagraphs)
{
    const struct
    {
        const char *name;
        QString in;
        QString plain, visual;
    } cases[] = {
        {"two lines join", u"a\r\nb"_qs, u"<p>ab</p>"_qs, u"<p>ab</p>\r\n"_qs},
        {"an empty line between", u"a\r\n\r\nb"_qs, u"<p>a</p><p>b</p>"_qs, u"<p>a</p>\r\n<p>b</p>\r\n"_qs},
        {"LF and CR break too", u"a\n\nb\r\rc"_qs, u"<p>a</p><p>b</p><p>c</p>"_qs,
         u"<p>a</p>\r\n<p>b</p>\r\n<p>c</p>\r\n"_qs},
        {"leading and repeated empty lines", u"\r\n\r\na\r\n\r\n\r\nb\r\n"_qs, u"<p>a</p><p>b</p>"_qs,
         u"<p>a</p>\r\n<p>b</p>\r\n"_qs},
        {"lines are encoded with names", u"1 < 2  & \u00FC"_qs, u"<p>1 &lt; 2 &nbsp;&amp; &uuml;</p>"_qs,
         u"<p>1 &lt; 2 &nbsp;&amp; &uuml;</p>\r\n"_qs},
        {"a blank line is not empty", u"a\r\n \r\nb"_qs, u"<p>a&nbsp;b</p>"_qs, u"<p>a&nbsp;b</p>\r\n"_qs},
        {"nothing", u"\r\n\r\n"_qs, QString(), QString()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(THTMLUtils::ConvertTextToHTML(c.in, false), c.plain);
        EXPECT_EQ(THTMLUtils::ConvertTextToHTML(c.in, true), c.visual);
    }
}

TEST(ConvertHTMLToText, WhatAReaderSees)
{
    const QString text = THTMLUtils::ConvertHTMLToText(
        u"<html><head><title>T</title><style>p{color:red}</style></head><body>"
        "<p>Hello <b>World</b></p><p>x &amp; y<br>z</p><script>var a;</script></body></html>"_qs);
    EXPECT_EQ(text, u"Hello World\r\nx & y\r\nz"_qs);
}

TEST(SimpleHTML, BothDirections)
{
    EXPECT_EQ(THTMLUtils::ConvertHTMLToSimpleHTML(u"<p>a<br>b<br/>c&nbsp;&nbsp;d</p><P>e<BR>"_qs),
              u"a\r\nb\r\nc  d<P>e<BR>"_qs);
    EXPECT_EQ(THTMLUtils::ConvertSimpleHTMLToHTML(u"a\r\nb  c   d    e\nf"_qs),
              u"a<br/>b &nbsp;c &nbsp; d &nbsp; &nbsp;e\nf"_qs);
    // Simple HTML made from HTML reads back to what it was made from.
    const QString simple = u"one\r\ntwo  three"_qs;
    EXPECT_EQ(THTMLUtils::ConvertHTMLToSimpleHTML(THTMLUtils::ConvertSimpleHTMLToHTML(simple)), simple);
}

TEST(ExtractBodyPartFromHTML, BetweenTheBodyTags)
{
    const struct
    {
        const char *name;
        QString in, out;
    } cases[] = {
        {"tags in any case", u"<HTML><BODY class=x>Hi <b>there</b></Body></html>"_qs, u"Hi <b>there</b>"_qs},
        {"the text keeps its case", u"<body>AbC</body>"_qs, u"AbC"_qs},
        // U+0130 lower-cases to two code units: positions must not shift.
        {"wide lower case before the body", u"<title>\u0130\u0130</title><body>x</body>"_qs, u"x"_qs},
        {"no body", u"<p>just this</p>"_qs, u"<p>just this</p>"_qs},
        {"no end tag", u"<body><p>open"_qs, u"<body><p>open"_qs},
        {"an end tag before the body does not count", u"</body><body>x"_qs, u"</body><body>x"_qs},
        {"a tag that never ends", u"<body</body>"_qs, QString()},
        {"empty body", u"<body></body>"_qs, QString()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(THTMLUtils::ExtractBodyPartFromHTML(c.in), c.out);
    }
}

TEST(GetHTMLCharSet, TheQuotedMetaContentOnly)
{
    const struct
    {
        const char *name;
        QString in, out;
    } cases[] = {
        {"meta content", uR"(<meta http-equiv="Content-Type" content="text/html; charset=utf-8">)"_qs, u"utf-8"_qs},
        {"the short form gives nothing", uR"(<meta charset="utf-8"><p>a;b</p>)"_qs, QString()},
        {"ends at a semicolon before the quote", uR"(content="text/html; charset=iso-8859-1; x=y")"_qs,
         u"iso-8859-1"_qs},
        {"a semicolon after the quote does not count", uR"(content="text/html; charset=koi8-r"><p>a;</p>)"_qs,
         u"koi8-r"_qs},
        {"no quote at all", u"content=text/html; charset=utf-8>"_qs, QString()},
        {"case-sensitive", uR"(content="text/html; CHARSET=utf-8")"_qs, QString()},
        {"the first one counts", uR"(content="a; charset=windows-1250" content="b; charset=utf-8")"_qs,
         u"windows-1250"_qs},
        {"none", u"<p>x</p>"_qs, QString()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(THTMLUtils::GetHTMLCharSet(c.in, u"UTF-8"_qs), c.out);
        EXPECT_EQ(THTMLUtils::GetHasHTMLCharSet(c.in), !c.out.isEmpty());
    }
}

TEST_F(AnsiCodePage1252, EncodeByCharsetGoesThroughTheAnsiCodePage)
{
    // Both characters exist in Windows-1252 and survive the detour.
    EXPECT_EQ(hexBytes(THTMLUtils::EncodeByCharset(u"\u00E4\u20AC"_qs, u"utf-8"_qs)), u"c3 a4 e2 82 ac"_qs);
    EXPECT_EQ(hexBytes(THTMLUtils::EncodeByCharset(u"\u20AC"_qs, u"ISO-8859-15"_qs)), u"a4"_qs);
    // Omega is lost on the way, although UTF-8 could hold it.
    EXPECT_EQ(hexBytes(THTMLUtils::EncodeByCharset(u"\u03A9\u00E4"_qs, u"utf-8"_qs)), u"3f c3 a4"_qs);
    // No charset, or one nobody knows: the ANSI bytes.
    EXPECT_EQ(hexBytes(THTMLUtils::EncodeByCharset(u"\u00E4\u20AC"_qs, QString())), u"e4 80"_qs);
    EXPECT_EQ(hexBytes(THTMLUtils::EncodeByCharset(u"\u00E4\u20AC"_qs, u"x-no-such-charset"_qs)), u"e4 80"_qs);
    // ANSI bytes that happen to start like a UTF-8 byte order mark are read
    // as UTF-8: the mark becomes a character Latin-1 lacks.
    EXPECT_EQ(hexBytes(THTMLUtils::EncodeByCharset(u"\u00EF\u00BB\u00BFa"_qs, u"iso-8859-1"_qs)), u"3f 61"_qs);
}

TEST_F(AnsiCodePage1252, EncodeHTMLByOwnCharset)
{
    const QString declared = uR"(<meta content="text/html; charset=iso-8859-15">)"_qs;
    EXPECT_TRUE(THTMLUtils::EncodeHTMLByOwnCharset(declared + u"\u20AC"_qs).endsWith('\xA4'));
    // Undeclared, and the short form that reads as undeclared: ANSI, not UTF-8.
    EXPECT_TRUE(THTMLUtils::EncodeHTMLByOwnCharset(u"<p>\u20AC</p>"_qs).contains('\x80'));
    const QByteArray shortForm = THTMLUtils::EncodeHTMLByOwnCharset(uR"(<meta charset="utf-8">)"_qs + u"\u00E4"_qs);
    EXPECT_TRUE(shortForm.endsWith('\xE4'));
    EXPECT_FALSE(shortForm.contains("\xC3\xA4"));
}
