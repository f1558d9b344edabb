// The data commands as users run them: what they print for good input, and
// that bad input (damaged files, truncated bytes, values out of range) gives
// exit status 1 and a message naming what is wrong.
#include "RunZorcc.h"
#include "TestUtil.h"

#include <ZorCompCore/core/NamedVariantList.h>
#include <ZorCompCore/localisation/TranslatorCache.h>
#include <ZorCompCore/platform/Stream.h>

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

using namespace zor;

namespace {

void expectInputError(const ZorccRun &r, const QString &command, const QString &part)
{
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString();
    EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("zorcc %1: ").arg(command))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(part)) << r.err.toStdString();
}

} // namespace

TEST(ZorccVariant, EncodesAndDecodesIncludingNaNAndInfinities)
{
    const ZorccRun ab = runZorcc({u"variant"_qs, u"encode"_qs, u"{\"vt\": 258, \"value\": \"AB\"}"_qs});
    EXPECT_EQ(ab.exitCode, 0) << ab.err.toStdString();
    EXPECT_EQ(ab.out, u"02010200000041004200\n"_qs);

    struct Row {
        const char *value;
        const char *hex;
    };
    const Row rows[] = {
        {"\"NaN\"", "0500000000000000f87f"},
        {"\"Infinity\"", "0500000000000000f07f"},
        {"\"-Infinity\"", "0500000000000000f0ff"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.value);
        const ZorccRun enc = runZorcc(
            {u"variant"_qs, u"encode"_qs, QStringLiteral("{\"vt\": 5, \"value\": %1}").arg(QLatin1String(row.value))});
        EXPECT_EQ(enc.exitCode, 0) << enc.err.toStdString();
        EXPECT_EQ(enc.out, QLatin1String(row.hex) + u'\n');
        const ZorccRun dec = runZorcc({u"variant"_qs, u"decode"_qs, QLatin1String(row.hex)});
        EXPECT_EQ(dec.exitCode, 0) << dec.err.toStdString();
        EXPECT_EQ(dec.out, QStringLiteral("{\"vt\":5,\"value\":%1}\n").arg(QLatin1String(row.value)));
    }
    expectInputError(runZorcc({u"variant"_qs, u"encode"_qs, u"{\"vt\": 5, \"value\": \"nan\"}"_qs}),
                     u"variant"_qs, u"needs a number value"_qs);
}

TEST(ZorccVariant, BadBytesSayWhatAndWhere)
{
    expectInputError(runZorcc({u"variant"_qs, u"decode"_qs, u"0g"_qs}), u"variant"_qs,
                     u"the character 'g' at offset 1 is not hexadecimal"_qs);
    expectInputError(runZorcc({u"variant"_qs, u"decode"_qs, u"030"_qs}), u"variant"_qs,
                     u"odd number of hexadecimal digits"_qs);
    // Empty input is empty data, not a digit problem.
    expectInputError(runZorcc({u"variant"_qs, u"decode"_qs, QString()}), u"variant"_qs,
                     u"Invalid stream data! The data end at byte offset 0."_qs);
    // An integer cut after two of its four bytes, a string cut inside its text.
    expectInputError(runZorcc({u"variant"_qs, u"decode"_qs, u"0300 0102"_qs}), u"variant"_qs,
                     u"Invalid stream data! The data end at byte offset 4."_qs);
    expectInputError(runZorcc({u"variant"_qs, u"decode"_qs, u"0800 03000000 4100"_qs}), u"variant"_qs,
                     u"The data end at byte offset 8."_qs);
    // Malformed but not short: no offset is claimed.
    const ZorccRun negative = runZorcc({u"variant"_qs, u"decode"_qs, u"0800 ffffffff 4100"_qs});
    expectInputError(negative, u"variant"_qs, u"Invalid stream data!"_qs);
    EXPECT_FALSE(negative.err.contains(u"offset"_qs)) << negative.err.toStdString();
    expectInputError(runZorcc({u"variant"_qs, u"decode"_qs, u"0300 01000000 ff"_qs}), u"variant"_qs,
                     u"1 bytes after the variant, from byte offset 6"_qs);
}

TEST(ZorccNvl, DecodesWholeListsAndRefusesAnythingElse)
{
    QTemporaryDir dir;
    TNamedVariantList list;
    list.Add(Variant(7), u"seven"_qs);
    TMemoryStream ms;
    list.SaveToStream(ms);
    const QByteArray good = ms.ToBytes();

    const ZorccRun ok = runZorcc({u"nvl"_qs, u"decode"_qs, writeFile(dir, u"good.nvl"_qs, good)});
    EXPECT_EQ(ok.exitCode, 0) << ok.err.toStdString();
    EXPECT_TRUE(ok.out.contains(u"\"seven\""_qs)) << ok.out.toStdString();

    // A count of zero or below reads as an empty list: the bytes after it
    // show that the file is no such list.
    expectInputError(runZorcc({u"nvl"_qs, u"decode"_qs,
                               writeFile(dir, u"neg.nvl"_qs, bytesFromHex("ff ff ff ff 41 42 43"))}),
                     u"nvl"_qs, u"3 bytes after the list of 0 items, from byte offset 4"_qs);
    expectInputError(runZorcc({u"nvl"_qs, u"decode"_qs, writeFile(dir, u"tail.nvl"_qs, good + "x")}), u"nvl"_qs,
                     u"1 bytes after the list of 1 items"_qs);
    expectInputError(runZorcc({u"nvl"_qs, u"decode"_qs, writeFile(dir, u"cut.nvl"_qs, good.left(7))}), u"nvl"_qs,
                     u"The data end at byte offset 7."_qs);

    // Random files are refused, never shown as a list.
    QRandomGenerator rng(23);
    for (int i = 0; i < 20; ++i) {
        QByteArray noise(200, Qt::Uninitialized);
        for (char &c : noise)
            c = char(rng.bounded(256));
        const ZorccRun r = runZorcc({u"nvl"_qs, u"decode"_qs, writeFile(dir, u"noise.nvl"_qs, noise)});
        EXPECT_EQ(r.exitCode, 1) << i << ": " << r.out.toStdString();
    }
}

TEST(ZorccCache, DumpShowsOnlyFilesReadWhole)
{
    QTemporaryDir dir;
    TZORLocalCacheLangData pair;
    pair.AddOrSetValue(u"k1"_qs, u"eins"_qs);
    pair.AddOrSetValue(u"k2"_qs, u"zwei"_qs);
    TMemoryStream ms;
    pair.SaveToStream(ms);
    const QByteArray good = ms.ToBytes();

    const ZorccRun ok = runZorcc({u"cache"_qs, u"dump"_qs, writeFile(dir, u"good.lc"_qs, good)});
    EXPECT_EQ(ok.exitCode, 0) << ok.err.toStdString();
    EXPECT_EQ(ok.out, u"k1\teins\nk2\tzwei\n"_qs);
    const ZorccRun empty = runZorcc({u"cache"_qs, u"dump"_qs, writeFile(dir, u"empty.lc"_qs, bytesFromHex("00 00 00 00"))});
    EXPECT_EQ(empty.exitCode, 0) << empty.err.toStdString();
    EXPECT_TRUE(empty.out.isEmpty());

    expectInputError(runZorcc({u"cache"_qs, u"dump"_qs, writeFile(dir, u"cut.lc"_qs, good.left(good.size() - 3))}),
                     u"cache"_qs, u"is not a cache file: entry 2 of 2"_qs);
    expectInputError(runZorcc({u"cache"_qs, u"dump"_qs, writeFile(dir, u"text.lc"_qs, "just some text\n")}),
                     u"cache"_qs, u"is not a cache file"_qs);
    expectInputError(runZorcc({u"cache"_qs, u"dump"_qs, writeFile(dir, u"tail.lc"_qs, good + "zz")}), u"cache"_qs,
                     QStringLiteral("2 bytes after the last of 2 entries, from byte offset %1").arg(good.size()));
}

TEST(ZorccDatetime, ParseNamesTheFieldOutOfRange)
{
    const ZorccRun ok = runZorcc({u"datetime"_qs, u"parse"_qs, u"28.02.2026"_qs});
    EXPECT_EQ(ok.exitCode, 0) << ok.err.toStdString();
    EXPECT_TRUE(ok.out.startsWith(u"2026-02-2"_qs)) << ok.out.toStdString();

    expectInputError(runZorcc({u"datetime"_qs, u"parse"_qs, u"31.02.2026"_qs}), u"datetime"_qs,
                     u"the day 31 is out of range for February 2026 (1..28)"_qs);
    expectInputError(runZorcc({u"datetime"_qs, u"parse"_qs, u"2026-13-01"_qs}), u"datetime"_qs,
                     u"the month 13 is out of range (1..12)"_qs);
    expectInputError(runZorcc({u"datetime"_qs, u"parse"_qs, u"2024-02-30T10:00:00Z"_qs}), u"datetime"_qs,
                     u"the day 30 is out of range for February 2024 (1..29)"_qs);
    expectInputError(runZorcc({u"datetime"_qs, u"parse"_qs, u"2026-01-01T24:00:00Z"_qs}), u"datetime"_qs,
                     u"the hour 24 is out of range"_qs);
    const ZorccRun junk = runZorcc({u"datetime"_qs, u"parse"_qs, u"tomorrow"_qs});
    expectInputError(junk, u"datetime"_qs, u"is not a valid RFC 3339 timestamp!"_qs);
    EXPECT_FALSE(junk.err.contains(u"out of range"_qs));
}
