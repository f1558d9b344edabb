#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/platform/Exception.h>

#include "TestUtil.h"

using namespace zor;

TEST(CodePage, Windows1252EveryByteRoundTrips)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = FromCodePage(all, 1252);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(ToCodePage(text, 1252), all);
}

TEST(CodePage, Windows1252Table)
{
    const struct { uchar byte; char16_t ch; } rows[] = {
        {0x80, 0x20AC}, {0x82, 0x201A}, {0x83, 0x0192}, {0x8A, 0x0160}, {0x8C, 0x0152},
        {0x8E, 0x017D}, {0x91, 0x2018}, {0x96, 0x2013}, {0x99, 0x2122}, {0x9C, 0x0153},
        {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xE9, 0x00E9}, {0xFF, 0x00FF}, {0x41, 'A'},
        // the five bytes without a character stay the C1 controls of the same value
        {0x81, 0x0081}, {0x8D, 0x008D}, {0x8F, 0x008F}, {0x90, 0x0090}, {0x9D, 0x009D},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(int(r.byte));
        EXPECT_EQ(FromCodePage(QByteArray(1, char(r.byte)), 1252), QString(QChar(r.ch)));
        EXPECT_EQ(ToCodePage(QString(QChar(r.ch)), 1252), QByteArray(1, char(r.byte)));
    }
}

TEST(CodePage, UnmappableCharactersBecomeOneQuestionMarkEach)
{
    EXPECT_EQ(ToCodePage(QStringLiteral("a\u65E5\u672Cb"), 1252), QByteArray("a??b"));
    // a character outside the BMP is one character, not two
    EXPECT_EQ(ToCodePage(QString::fromUtf8("x\xF0\x9F\x98\x80y"), 1252), QByteArray("x?y"));
    // a lone surrogate as well
    QString lone = QStringLiteral("ab");
    lone.insert(1, QChar(0xD800));
    EXPECT_EQ(ToCodePage(lone, 1252), QByteArray("a?b"));
    EXPECT_EQ(ToCodePage(QStringLiteral("\u20AC"), 28591), QByteArray("?"));
    EXPECT_EQ(ToCodePage(QStringLiteral("\u00E9"), 20127), QByteArray("?"));
}

TEST(CodePage, AnsiCodePageIsSettable)
{
    // Unless set, the system locale's language decides (1252 for C and the
    // Western European languages).
    EXPECT_EQ(AnsiCodePage(), AnsiCodePageForLocale(QLocale::system()));
    SetAnsiCodePage(1252);
    EXPECT_EQ(ToAnsi(QStringLiteral("\u20AC5")), QByteArray("\x80" "5"));
    EXPECT_EQ(FromAnsi(QByteArray("\x80")), QStringLiteral("\u20AC"));

    SetAnsiCodePage(CP_UTF8);
    EXPECT_EQ(ToAnsi(QStringLiteral("\u20AC")), QByteArray("\xE2\x82\xAC"));
    SetAnsiCodePage(1252);

    try {
        SetAnsiCodePage(99999);
        ADD_FAILURE() << "no exception";
    } catch (const EEncodingError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Unsupported code page 99999"));
    }
    EXPECT_EQ(AnsiCodePage(), 1252);
}

TEST(CodePage, OtherCodePagesThroughIconv)
{
    const QString russian = QStringLiteral("\u041F\u0440\u0438\u0432\u0435\u0442"); // Privet
    const QByteArray cp1251 = ToCodePage(russian, 1251);
    EXPECT_EQ(hexBytes(cp1251), QStringLiteral("cf f0 e8 e2 e5 f2"));
    EXPECT_EQ(FromCodePage(cp1251, 1251), russian);
    EXPECT_EQ(ToCodePage(QStringLiteral("\u65E5x"), 1251), QByteArray("?x"));

    const QString japanese = QStringLiteral("\u65E5\u672C\u8A9E");
    EXPECT_EQ(FromCodePage(ToCodePage(japanese, 932), 932), japanese);
    EXPECT_EQ(FromCodePage(ToCodePage(QStringLiteral("\u00C4"), 28592), 28592), QStringLiteral("\u00C4"));
    EXPECT_TRUE(IsCodePageSupported(1250));
    EXPECT_FALSE(IsCodePageSupported(-3));
}

TEST(CodePage, StatefulCharsetKeepsItsShiftStateAroundSubstitutions)
{
    const QByteArray jis = EncodeCharset(QStringLiteral("\u65E5\u20AC\u672Ca"), QStringLiteral("ISO-2022-JP"));
    EXPECT_EQ(DecodeCharset(jis, QStringLiteral("iso-2022-jp")), QStringLiteral("\u65E5?\u672Ca"));
}

TEST(CodePage, BadInputDecodesToReplacementCharacters)
{
    EXPECT_EQ(DecodeCharset(QByteArray("a\xFF" "b"), QStringLiteral("UTF-8")), QStringLiteral("a\uFFFDb"));
    // a truncated double-byte character at the end
    const QString s = DecodeCharset(QByteArray("ab\x82"), QStringLiteral("shift_jis"));
    EXPECT_EQ(s, QStringLiteral("ab\uFFFD"));
    EXPECT_EQ(FromCodePage(QByteArray("\x41\x00\x42", 3), 1200), QStringLiteral("AB").left(1) + QChar(0xFFFD));
    EXPECT_EQ(FromCodePage(QByteArray("a\x80"), 20127), QStringLiteral("a\uFFFD"));
}

TEST(CodePage, NamedCharsets)
{
    const struct { const char *name; int cp; } names[] = {
        {"UTF-8", 65001}, {"windows-1252", 1252}, {"ISO-8859-15", 28605}, {"us-ascii", 20127},
        {"latin1", 28591}, {"koi8-r", 20866}, {"Shift_JIS", 932}, {"cp850", 850}, {"no-such-thing", 0},
    };
    for (const auto &n : names) {
        SCOPED_TRACE(n.name);
        EXPECT_EQ(CharsetToCodePage(QString::fromLatin1(n.name)), n.cp);
    }
    const QString text = QStringLiteral("Gr\u00FC\u00DFe \u20AC");
    EXPECT_EQ(EncodeCharset(text, QStringLiteral("ISO-8859-15")), QByteArray("Gr\xFC\xDF" "e \xA4"));
    EXPECT_EQ(EncodeCharset(text, QStringLiteral("ISO-8859-1")), QByteArray("Gr\xFC\xDF" "e ?"));
    EXPECT_EQ(DecodeCharset(QByteArray("Gr\xFC\xDF" "e \xA4"), QStringLiteral("iso-8859-15")), text);
    EXPECT_EQ(DecodeCharset(QByteArray("\xEF\xBB\xBFok"), QStringLiteral("utf-8")), QStringLiteral("ok"));
    EXPECT_EQ(DecodeCharset(QByteArray("\xFE\xFF\x00o\x00k", 6), QStringLiteral("utf-16")), QStringLiteral("ok"));
    EXPECT_EQ(DecodeCharset(QByteArray("\xFF\xFEo\x00k\x00", 6), QStringLiteral("UTF-16")), QStringLiteral("ok"));
    EXPECT_EQ(DecodeCharset(QByteArray("o\x00k\x00", 4), QStringLiteral("utf-16le")), QStringLiteral("ok"));
    EXPECT_EQ(EncodeCharset(QStringLiteral("ok"), QStringLiteral("utf-16be")), QByteArray("\x00o\x00k", 4));
    EXPECT_EQ(DecodeCharset(EncodeCharset(text, QStringLiteral("KOI8-R")), QStringLiteral("KOI8-R")),
              QStringLiteral("Gr??e ?"));
    try {
        EncodeCharset(text, QStringLiteral("x-nonsense"));
        ADD_FAILURE() << "no exception";
    } catch (const EEncodingError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Unsupported charset: x-nonsense"));
    }
    EXPECT_THROW(DecodeCharset(QByteArray("x"), QStringLiteral("x-nonsense")), EEncodingError);
}
