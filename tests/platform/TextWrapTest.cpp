// Word wrapping: where breaks go, what is never broken, and that wrapping
// only ever inserts the break string.
#include <ZorCompCore/platform/TextWrap.h>

#include "TestUtil.h"

#include <gtest/gtest.h>

using namespace zor;

namespace {

const QString kBreakChars = QStringLiteral(" ,-(");

struct WrapRow
{
    const char *name;
    const char16_t *text;
    int maxCol;
    const char16_t *expected; // "|" is the inserted break
};

} // namespace

TEST(TextWrap, BreaksAfterTheLastBreakCharacterThatFits)
{
    const WrapRow rows[] = {
        {"fits", u"one two", 10, u"one two"},
        {"last blank before the limit", u"one two three", 8, u"one two |three"},
        {"every word once the limit is small", u"one two three", 6, u"one |two |three"},
        {"column 1: one word a line", u"a, b-c  d", 1, u"a, |b-|c  |d"},
        {"a run of break characters stays on its line", u"a ,- b", 1, u"a ,- |b"},
        {"a word longer than the limit stays whole", u"abcdefgh ij", 3, u"abcdefgh |ij"},
        {"leading blanks are no break point", u"  a b", 1, u"  a |b"},
        {"trailing blanks add no line", u"a b  ", 1, u"a |b  "},
        {"no break inside single quotes", u"say 'a b' now", 1, u"say |'a b' |now"},
        {"no break inside double quotes", u"x \"p, q\"(y)", 1, u"x |\"p, q\"(|y)"},
        {"a quote left open ends with the line", u"it's a\nb c", 1, u"it's a\nb |c"},
        {"existing break string is a line end", u"ab|c d", 2, u"ab|c |d"},
        {"CR LF, CR and LF are line ends", u"a\r\nb\rc\nd e", 1, u"a\r\nb\rc\nd |e"},
        {"limit below 1 counts as 1", u"a b", -5, u"a |b"},
        {"empty text", u"", 1, u""},
    };
    for (const WrapRow &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(WrapText(QString::fromUtf16(row.text), QStringLiteral("|"), kBreakChars, row.maxCol),
                  QString::fromUtf16(row.expected));
    }
}

TEST(TextWrap, OnlyInsertsTheBreakString)
{
    const QString text = QStringLiteral("The quick (brown) fox - jumps, over 'the lazy' dog, "
                                        "again and again, until it is tired-out.");
    for (int col : {1, 2, 5, 10, 17, 40, 200}) {
        SCOPED_TRACE(col);
        const QString wrapped = WrapText(text, QStringLiteral("\r\n"), kBreakChars, col);
        QString back = wrapped;
        EXPECT_EQ(back.remove(QStringLiteral("\r\n")), text);
        if (col >= text.size())
            EXPECT_EQ(wrapped, text) << "nothing to break when the text fits";
        else
            EXPECT_NE(wrapped, text);
    }
    EXPECT_EQ(WrapText(text, QString(), kBreakChars, 1), text) << "empty break string";
    EXPECT_EQ(WrapText(text, QStringLiteral("\n"), QString(), 1), text) << "no break characters";
}
