#include <ZorCompCore/web/mime/MimeCodec.h>

#include "TestUtil.h"

using namespace zor;

TEST(MimeCodec, QuotedPrintableToleratesGarbageAndStreams)
{
    struct Row
    {
        const char *in, *out;
    };
    const Row rows[] = {
        {"a=3Db=3db", "a=b=b"},
        {"soft=\r\nbreak", "softbreak"},
        {"soft=\nbreak", "softbreak"},
        {"blanks after=  \t\r\nsoft", "blanks aftersoft"},
        {"=ZZ stays", "=ZZ stays"},
        {"=4 half", "=4 half"},
        {"end=", "end"},
        {"end=4", "end=4"},
        {"caf=C3=A9", "caf\xC3\xA9"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.in);
        const QByteArray in(r.in);
        EXPECT_EQ(DecodeQuotedPrintable(in), QByteArray(r.out));
        // Every cut of the input into two pieces decodes the same.
        for (qsizetype cut = 0; cut <= in.size(); ++cut) {
            TQuotedPrintableDecoder d;
            QByteArray got = d.Feed(in.left(cut)); // sequenced: + leaves the order open
            got += d.Feed(in.mid(cut));
            got += d.Finish();
            EXPECT_EQ(got, QByteArray(r.out)) << "cut at " << cut;
        }
    }
    // Writing and reading back keeps every byte; lines stay within 76.
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all += char(i);
    const QByteArray text = "From the start\r\n.\r\ntrailing blank \r\n" + all + QByteArray(200, 'x') + "\r\n";
    const QByteArray qp = EncodeQuotedPrintable(text);
    for (const QByteArray &line : qp.split('\n'))
        EXPECT_LE(line.size(), 77); // 76 + the CR
    EXPECT_FALSE(qp.contains("\nFrom "));
    EXPECT_FALSE(qp.contains("\n.\r"));
    EXPECT_EQ(DecodeQuotedPrintable(qp), QByteArray(text).replace("\r\n", "\r\n"));
}

TEST(MimeCodec, Base64SkipsGarbageAndPaddingEndsOnlyAQuantum)
{
    EXPECT_EQ(DecodeBase64("SGVs\r\nbG8*gd29y!bGQ="), QByteArray("Hello world"));
    // Two blocks glued together: the first one's padding does not end the data.
    EXPECT_EQ(DecodeBase64("YQ==Yg=="), QByteArray("ab"));
    EXPECT_EQ(DecodeBase64("YWJj"), QByteArray("abc"));
    EXPECT_EQ(DecodeBase64("YWI"), QByteArray("ab")); // no padding at all
    EXPECT_EQ(DecodeBase64("Y"), QByteArray());
    QByteArray bin;
    for (int i = 0; i < 1000; ++i)
        bin += char(i * 7);
    const QByteArray lines = EncodeBase64Lines(bin);
    for (const QByteArray &line : lines.split('\n'))
        EXPECT_LE(line.size(), 77);
    for (qsizetype cut : {0, 1, 2, 3, 77, 78, 500}) {
        TBase64Decoder d;
        QByteArray got = d.Feed(lines.left(cut));
        got += d.Feed(lines.mid(cut));
        got += d.Finish();
        EXPECT_EQ(got, bin) << cut;
    }
}

TEST(MimeCodec, EncodedWordsDecode)
{
    struct Row
    {
        const char *raw, *text;
    };
    const Row rows[] = {
        {"=?iso-8859-1?q?Gr=FC=DFe_aus_K=F6ln?=", "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln"},
        {"=?Shift_JIS?B?k/qWe4zq?=", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
        // Blanks between adjacent words vanish, blanks before plain text stay.
        {"=?utf-8?q?a?= =?utf-8?q?b?= c", "ab c"},
        {"x =?utf-8?q?a?=\r\n =?utf-8?b?Yg==?=", "x ab"},
        // One character split across two words comes out whole.
        {"=?utf-8?B?w6?= =?utf-8?B?pA==?=", "\xC3\xA4"},
        {"=?utf-8?Q?=C3?= =?utf-8?Q?=A4?=", "\xC3\xA4"},
        // RFC 2231 language suffix on the charset.
        {"=?utf-8*de?q?=C3=A4?=", "\xC3\xA4"},
        // Unknown charset and malformed words stay as written.
        {"=?x-nope?q?abc?= z", "=?x-nope?q?abc?= z"},
        {"=?utf-8?x?abc?=", "=?utf-8?x?abc?="},
        {"a =?utf-8?q?with blank?=", "a =?utf-8?q?with blank?="},
        // 8-bit headers: UTF-8 when valid, else Windows-1252.
        {"Gr\xC3\xBC\xC3\x9F" "e", "Gr\xC3\xBC\xC3\x9F" "e"},
        {"Gr\xFC\xDF" "e \x80", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.raw);
        EXPECT_EQ(DecodeHeaderWords(QByteArray(r.raw)), QString::fromUtf8(r.text));
    }
}

TEST(MimeCodec, EncodedWordsEncode)
{
    EXPECT_EQ(EncodeHeaderWords(QStringLiteral("plain ascii")), QByteArray("plain ascii"));
    const QString texts[] = {
        QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln"),
        QString::fromUtf8("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E").repeated(40),
        QString::fromUtf8("\xF0\x9F\x98\x80 a").repeated(30),
        QStringLiteral("looks =?like?q?a?= word"),
    };
    for (const QString &t : texts) {
        SCOPED_TRACE(t.toStdString());
        const QByteArray enc = EncodeHeaderWords(t);
        for (const QByteArray &word : enc.split(' ')) {
            EXPECT_LE(word.size(), 75);
            EXPECT_TRUE(word.startsWith("=?utf-8?")) << word.constData();
            // Each word decodes alone: no character is split between words.
            EXPECT_FALSE(DecodeHeaderWords(word).contains(QChar(0xFFFD)));
        }
        EXPECT_EQ(DecodeHeaderWords(enc), t);
    }
    // Mostly ASCII goes Q, mostly not B: whichever is shorter.
    EXPECT_TRUE(EncodeHeaderWords(QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e an alle Freunde und Bekannten")).startsWith("=?utf-8?Q?"));
    EXPECT_TRUE(EncodeHeaderWords(QString::fromUtf8("\xE6\x97\xA5\xE6\x9C\xAC")).startsWith("=?utf-8?B?"));
}

TEST(MimeCodec, ParametersWithRfc2231)
{
    const TMimeHeaderParams p = ParseHeaderParams(
        "Attachment (comment); filename*0*=utf-8'de'Gr%C3%BC; filename*1=\"n e\"; filename*2*=%2Etxt;"
        " size=\"12\\\"3\"; name=\"=?utf-8?q?=C3=A4?=\"; TITLE*=iso-8859-1''%E4");
    EXPECT_EQ(p.Value, QStringLiteral("attachment"));
    EXPECT_EQ(p.Param(QStringLiteral("filename")), QString::fromUtf8("Gr\xC3\xBCn e.txt"));
    EXPECT_EQ(p.Param(QStringLiteral("size")), QStringLiteral("12\"3"));
    EXPECT_EQ(p.Param(QStringLiteral("name")), QString::fromUtf8("\xC3\xA4"));
    EXPECT_EQ(p.Param(QStringLiteral("title")), QString::fromUtf8("\xC3\xA4"));
    // Sections out of order are sorted; a gap ends the value; a hostile
    // section number allocates nothing.
    EXPECT_EQ(ParseHeaderParams("x; a*1=b; a*0=a; a*3=d").Param(QStringLiteral("a")), QStringLiteral("ab"));
    EXPECT_EQ(ParseHeaderParams("x; a*999999999=b").Param(QStringLiteral("a")), QString());

    const QString longName = QString::fromUtf8("\xC3\xA4").repeated(100) + QStringLiteral(".pdf");
    const QByteArray written = FormatParam(QStringLiteral("filename"), longName);
    EXPECT_TRUE(written.startsWith("filename*0*=utf-8''"));
    for (const QByteArray &section : written.split(';'))
        EXPECT_LE(section.trimmed().size(), 78);
    EXPECT_EQ(ParseHeaderParams("attachment; " + written).Param(QStringLiteral("filename")), longName);
    EXPECT_EQ(ParseHeaderParams("a; " + FormatParam(QStringLiteral("n"), QStringLiteral("q\"\\"))).Param(QStringLiteral("n")),
              QStringLiteral("q\"\\"));
}

TEST(MimeCodec, Addresses)
{
    const QList<TMimeAddress> list = ParseAddressList(
        "\"M\\\"uller, Hans\" <hans@example.org>, =?utf-8?q?J=C3=BCrgen?= <j@x.de>, plain@x.de (Plain Name),"
        " team: a@x.de, \"B\" <b@x.de>; , <@route.x,@y:r@z.de>, Name (c) <n@x.de (c2)>");
    const QList<TMimeAddress> expected = {
        {QStringLiteral("M\"uller, Hans"), QStringLiteral("hans@example.org")},
        {QString::fromUtf8("J\xC3\xBCrgen"), QStringLiteral("j@x.de")},
        {QStringLiteral("Plain Name"), QStringLiteral("plain@x.de")},
        {QString(), QStringLiteral("a@x.de")},
        {QStringLiteral("B"), QStringLiteral("b@x.de")},
        {QString(), QStringLiteral("r@z.de")},
        {QStringLiteral("Name"), QStringLiteral("n@x.de")},
    };
    ASSERT_EQ(list.size(), expected.size());
    for (qsizetype i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i].Name, expected[i].Name) << i;
        EXPECT_EQ(list[i].Address, expected[i].Address) << i;
    }
    // Written and read back: the same list, non-ASCII names as encoded words.
    const QByteArray written = FormatAddressList(list);
    EXPECT_TRUE(written.contains("=?utf-8?"));
    EXPECT_EQ(ParseAddressList(written), list);
}

TEST(MimeCodec, Dates)
{
    struct Row
    {
        const char *raw;
        int y, mo, d, h, mi, s; // UTC
        int offset;
    };
    const Row rows[] = {
        {"Mon, 07 Dec 2026 01:02:03 +0100", 2026, 12, 7, 0, 2, 3, 60},
        {"7 Dec 2026 01:02 -0230", 2026, 12, 7, 3, 32, 0, -150},
        {"Fri, 21 Nov 97 09:55:06 GMT", 1997, 11, 21, 9, 55, 6, 0},
        {"21 Nov 07 09:55:06 EST", 2007, 11, 21, 14, 55, 6, -300},
        {"Thu, 13 Feb 1969 23:32:54 PDT (comment)", 1969, 2, 14, 6, 32, 54, -420},
        {"13 Feb 1969 23:32:54 Q", 1969, 2, 13, 23, 32, 54, 0}, // military: -0000
        {"1 Jan 101 00:00:00 +0000", 2001, 1, 1, 0, 0, 0, 0},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.raw);
        TDateTime utc = 0;
        int offset = 99;
        ASSERT_TRUE(ParseMailDate(r.raw, utc, offset));
        EXPECT_EQ(offset, r.offset);
        int y, mo, d, h, mi, s, ms;
        DecodeDateTime(utc + 1.0 / 864000000, y, mo, d, h, mi, s, ms);
        EXPECT_EQ(QList<int>({y, mo, d, h, mi, s}), QList<int>({r.y, r.mo, r.d, r.h, r.mi, r.s}));
        TDateTime again = 0;
        int offset2 = 0;
        ASSERT_TRUE(ParseMailDate(FormatMailDate(utc, r.offset), again, offset2));
        EXPECT_NEAR(again, utc, 1.0 / 86400 / 2);
    }
    TDateTime utc = 0;
    int offset = 0;
    for (const char *bad : {"", "yesterday", "32 Dec 2026 00:00", "1 Foo 2026 00:00", "1 Jan 2026 25:00"})
        EXPECT_FALSE(ParseMailDate(bad, utc, offset)) << bad;
}
