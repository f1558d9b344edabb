#include <ZorCompCore/core/SortedLists.h>
#include <ZorCompCore/core/StreamHelper.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>
#include "TestUtil.h"

#include <QFile>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>

using namespace zor;

namespace {

QByteArray written(const std::function<void(TStreamHelper &)> &fn)
{
    TMemoryStream ms;
    TStreamHelper h(&ms);
    fn(h);
    return ms.ToBytes();
}

QByteArray variantBytes(const Variant &v)
{
    return written([&](TStreamHelper &h) { h.WriteVariant(v); });
}

Variant readVariantFrom(const QByteArray &bytes)
{
    TBytesStream s(bytes);
    return TStreamHelper(&s).ReadVariant();
}

// The message of the zor::Exception fn raises, with its class ("" when none).
QString failureOf(const std::function<void()> &fn)
{
    try {
        fn();
    } catch (const Exception &e) {
        return QString::fromLatin1(e.ClassName()).append(u": ").append(e.Message());
    }
    return {};
}

const QString kInvalid = QStringLiteral("EReadError: Invalid stream data!");
const QString kNotImplemented = QStringLiteral("EAssertionFailed: varType not implemented yet!");

} // namespace

TEST(StreamHelper, ScalarsHaveTheirExactLittleEndianBytes)
{
    struct Row {
        const char *name;
        std::function<void(TStreamHelper &)> write;
        const char *hex;
    };
    const Row rows[] = {
        {"Boolean true", [](TStreamHelper &h) { h.WriteBoolean(true); }, "01"},
        {"Boolean false", [](TStreamHelper &h) { h.WriteBoolean(false); }, "00"},
        {"Byte", [](TStreamHelper &h) { h.WriteByte(0xAB); }, "ab"},
        {"ShortInteger", [](TStreamHelper &h) { h.WriteShortInteger(-2); }, "fe"},
        {"SmallInt", [](TStreamHelper &h) { h.WriteSmallInt(-2); }, "fe ff"},
        {"Word", [](TStreamHelper &h) { h.WriteWord(0x1234); }, "34 12"},
        {"Integer", [](TStreamHelper &h) { h.WriteInteger(-2147483647 - 1); }, "00 00 00 80"},
        {"Cardinal", [](TStreamHelper &h) { h.WriteCardinal(0xDEADBEEF); }, "ef be ad de"},
        {"Int64", [](TStreamHelper &h) { h.WriteInt64(0x0102030405060708LL); }, "08 07 06 05 04 03 02 01"},
        {"Float", [](TStreamHelper &h) { h.WriteFloat(1.0); }, "00 00 00 00 00 00 f0 3f"},
        {"Currency 1.5", [](TStreamHelper &h) { h.WriteCurrency(Currency::FromScaled(15000)); },
         "98 3a 00 00 00 00 00 00"},
        {"DateTime", [](TStreamHelper &h) { h.WriteDateTime(-1.5); }, "00 00 00 00 00 00 f8 bf"},
        {"SQLTimeStamp",
         [](TStreamHelper &h) {
             TSQLTimeStamp ts;
             ts.Year = 2024; ts.Month = 2; ts.Day = 29; ts.Hour = 13; ts.Minute = 14; ts.Second = 15;
             ts.Fractions = 999;
             h.WriteSQLTimeStamp(ts);
         },
         "e8 07 02 00 1d 00 0d 00 0e 00 0f 00 e7 03 00 00"},
        {"SystemTime",
         [](TStreamHelper &h) {
             TSystemTime st;
             st.wYear = 2001; st.wMonth = 12; st.wDayOfWeek = 1; st.wDay = 31;
             st.wHour = 23; st.wMinute = 59; st.wSecond = 58; st.wMilliseconds = 500;
             h.WriteSystemTime(st);
         },
         "d1 07 0c 00 01 00 1f 00 17 00 3b 00 3a 00 f4 01"},
        {"Guid", [](TStreamHelper &h) { h.WriteGuid(QUuid("{0C315F96-71A8-4968-B091-BFBE8129B7BD}")); },
         "96 5f 31 0c a8 71 68 49 b0 91 bf be 81 29 b7 bd"},
        {"empty string", [](TStreamHelper &h) { h.WriteString(QString()); }, "00 00 00 00 00 00 00 00"},
        {"string AB", [](TStreamHelper &h) { h.WriteString(QStringLiteral("AB")); },
         "02 00 00 00 00 00 00 00 41 00 42 00"},
        {"string of a surrogate pair counts code units",
         [](TStreamHelper &h) { h.WriteString(QString::fromUtf8("\xF0\x9F\x98\x80")); },
         "02 00 00 00 00 00 00 00 3d d8 00 de"},
        {"AnsiString with size", [](TStreamHelper &h) { h.WriteAnsiString("\xE9x", true); },
         "02 00 00 00 00 00 00 00 e9 78"},
        {"AnsiString bytes only", [](TStreamHelper &h) { h.WriteAnsiString("ab", false); }, "61 62"},
        {"Binary", [](TStreamHelper &h) { h.WriteBinary(QByteArray("\x00\xff", 2)); },
         "02 00 00 00 00 00 00 00 00 ff"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(hexBytes(written(row.write)), hexBytes(bytesFromHex(row.hex)));
    }
}

TEST(StreamHelper, ScalarsRoundTrip)
{
    TMemoryStream ms;
    TStreamHelper h(&ms);
    TSQLTimeStamp ts;
    ts.Year = -5; ts.Month = 12; ts.Day = 31; ts.Fractions = 7;
    TSystemTime st;
    st.wYear = 1999; st.wMilliseconds = 999;
    const QUuid guid = QUuid::createUuid();
    const QString text = QString::fromUtf8("Grüße \xF0\x9F\x98\x80");

    h.WriteBoolean(true);
    h.WriteByte(255);
    h.WriteShortInteger(-128);
    h.WriteSmallInt(-32768);
    h.WriteWord(65535);
    h.WriteInteger(std::numeric_limits<qint32>::min());
    h.WriteCardinal(std::numeric_limits<quint32>::max());
    h.WriteInt64(std::numeric_limits<qint64>::min());
    h.WriteFloat(std::nextafter(1.0, 2.0));
    h.WriteCurrency(Currency::FromScaled(std::numeric_limits<qint64>::max()));
    h.WriteDateTime(45000.75);
    h.WriteSQLTimeStamp(ts);
    h.WriteDateTimeAsTimeStamp(EncodeDateTime(2020, 5, 17, 8, 30, 15, 250));
    h.WriteSystemTime(st);
    h.WriteGuid(guid);
    h.WriteString(text);
    h.WriteAnsiString("raw\x80", true);
    h.WriteAnsiString("xyz", false);
    h.WriteBinary(QByteArray(1000, '\x5a'));

    ms.Seek(0, soBeginning);
    EXPECT_TRUE(h.ReadBoolean());
    EXPECT_EQ(h.ReadByte(), 255);
    EXPECT_EQ(h.ReadShortInteger(), -128);
    EXPECT_EQ(h.ReadSmallInt(), -32768);
    EXPECT_EQ(h.ReadWord(), 65535);
    EXPECT_EQ(h.ReadInteger(), std::numeric_limits<qint32>::min());
    EXPECT_EQ(h.ReadCardinal(), std::numeric_limits<quint32>::max());
    EXPECT_EQ(h.ReadInt64(), std::numeric_limits<qint64>::min());
    EXPECT_EQ(h.ReadFloat(), std::nextafter(1.0, 2.0));
    EXPECT_EQ(h.ReadCurrency().Scaled, std::numeric_limits<qint64>::max());
    EXPECT_EQ(h.ReadDateTime(), 45000.75);
    EXPECT_EQ(h.ReadSQLTimeStamp(), ts);
    EXPECT_NEAR(h.ReadDateTimeAsTimeStamp(), EncodeDateTime(2020, 5, 17, 8, 30, 15, 250), 1e-9);
    EXPECT_EQ(h.ReadSystemTime(), st);
    EXPECT_EQ(h.ReadGuid(), guid);
    EXPECT_EQ(h.ReadString(), text);
    EXPECT_EQ(h.ReadAnsiString(), QByteArray("raw\x80"));
    EXPECT_EQ(h.ReadAnsiString(3), QByteArray("xyz"));
    EXPECT_EQ(h.ReadBinary(), QByteArray(1000, '\x5a'));
    EXPECT_EQ(ms.Position(), ms.Size());
}

TEST(StreamHelper, PlainReadsReturnDefaultsOnShortData)
{
    struct Row {
        const char *name;
        const char *hex;                                   // what is left in the stream
        std::function<bool(TStreamHelper &)> readIsDefault;
    };
    const Row rows[] = {
        {"Boolean at end", "", [](TStreamHelper &h) { return h.ReadBoolean() == false; }},
        {"Integer with two bytes", "ff ff", [](TStreamHelper &h) { return h.ReadInteger() == 0; }},
        {"Cardinal with three bytes", "ff ff ff", [](TStreamHelper &h) { return h.ReadCardinal() == 0; }},
        {"Int64 with seven bytes", "ff ff ff ff ff ff ff", [](TStreamHelper &h) { return h.ReadInt64() == 0; }},
        {"Float", "00 00 f0 3f", [](TStreamHelper &h) { return h.ReadFloat() == 0.0; }},
        {"DateTime is the smallest date", "01", [](TStreamHelper &h) { return h.ReadDateTime() == MinDateTime; }},
        {"SQLTimeStamp with 15 bytes", "e8 07 02 00 1d 00 0d 00 0e 00 0f 00 e7 03 00",
         [](TStreamHelper &h) { return h.ReadSQLTimeStamp() == TSQLTimeStamp(); }},
        {"DateTimeAsTimeStamp", "e8 07", [](TStreamHelper &h) { return h.ReadDateTimeAsTimeStamp() == 0.0; }},
        {"Guid", "01 02 03", [](TStreamHelper &h) { return h.ReadGuid().isNull(); }},
        {"String with 7 bytes", "02 00 00 00 00 00 00", [](TStreamHelper &h) { return h.ReadString().isEmpty(); }},
        {"String with a negative count", "fe ff ff ff ff ff ff ff 41 00",
         [](TStreamHelper &h) { return h.ReadString().isEmpty(); }},
        {"AnsiString", "05", [](TStreamHelper &h) { return h.ReadAnsiString().isEmpty(); }},
        {"AnsiString(0)", "41", [](TStreamHelper &h) { return h.ReadAnsiString(0).isEmpty(); }},
        {"AnsiString(-1)", "41", [](TStreamHelper &h) { return h.ReadAnsiString(-1).isEmpty(); }},
        {"Binary", "", [](TStreamHelper &h) { return h.ReadBinary().isEmpty(); }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TBytesStream s(bytesFromHex(row.hex));
        TStreamHelper h(&s);
        EXPECT_TRUE(row.readIsDefault(h));
    }
}

TEST(StreamHelper, SystemTimeKeepsTheFieldsThatCouldBeRead)
{
    TBytesStream s(bytesFromHex("d1 07 0c 00 01"));
    const TSystemTime st = TStreamHelper(&s).ReadSystemTime();
    EXPECT_EQ(st.wYear, 2001);
    EXPECT_EQ(st.wMonth, 12);
    EXPECT_EQ(st.wDayOfWeek, 0); // only one of its two bytes was there
    EXPECT_EQ(st.wMilliseconds, 0);
}

TEST(StreamHelper, HostileCountsAreBoundedByTheData)
{
    // 2^40 code units announced, 12 bytes present.
    QByteArray bytes = bytesFromHex("00 00 00 00 00 01 00 00");
    bytes += QByteArray("a\0b\0c\0d\0e\0f\0", 12);
    {
        TBytesStream s(bytes);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(TStreamHelper(&s).ReadString(), QStringLiteral("abcdef"));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_EQ(s.Position(), s.Size());
    }
    {
        TBytesStream s(bytes);
        EXPECT_EQ(TStreamHelper(&s).ReadBinary().size(), 12);
    }
    {
        // A count longer than one read chunk, data shorter than the count.
        QByteArray longer = bytesFromHex("40 42 0f 00 00 00 00 00"); // 1000000 units
        longer += QByteArray(300001, 'x');                        // 150000.5 units
        TBytesStream s(longer);
        EXPECT_EQ(TStreamHelper(&s).ReadString().size(), 150000);
    }
}

// Lists and simple-type arrays that end before their count are filled up as
// the plain reads say, as long as that stays small; hostile counts are refused.
TEST(StreamHelper, ShortListsAndArraysAreFilledUpWithinTheBound)
{
    {
        // three strings announced, one present
        TBytesStream s(bytesFromHex("03 00 00 00 01 00 00 00 00 00 00 00 41 00"));
        TStringList list;
        TStreamHelper(&s).ReadStrings(list);
        EXPECT_EQ(list.Count(), 3);
        EXPECT_EQ(list.Text(), QStringLiteral("A\n\n\n"));
    }
    {
        TBytesStream s(bytesFromHex("04 00 00 00 05 00 00 00 03 00"));
        TSortedIntegerList list;
        list.SetDuplicates(dupAccept);
        TStreamHelper(&s).ReadIntegerList(list);
        EXPECT_EQ(list.AsCommaText(), QStringLiteral("0,0,0,5")); // partial and missing values read as 0
    }
    {
        // int array of 3 with one element present
        TBytesStream s(bytesFromHex("03 20 03 00 00 00 07 00 00 00 02"));
        const Variant v = TStreamHelper(&s).ReadVariant();
        ASSERT_TRUE(v.IsArray());
        EXPECT_EQ(v.ArrayCount(), 3);
        EXPECT_EQ(VarToInt(v.ArrayGet(0)), 7);
        EXPECT_EQ(VarToInt(v.ArrayGet(1)), 2); // the partial element keeps its byte
        EXPECT_EQ(VarToInt(v.ArrayGet(2)), 0);
        EXPECT_EQ(s.Position(), s.Size());
    }
    {
        TBytesStream s(bytesFromHex("0b 20 03 00 00 00 01"));
        const Variant v = TStreamHelper(&s).ReadVariant();
        EXPECT_EQ(v.ArrayCount(), 3);
        EXPECT_TRUE(VarToBool(v.ArrayGet(0)));
        EXPECT_FALSE(VarToBool(v.ArrayGet(2)));
    }
    // Beyond the bound: refused, and the list is empty.
    const QString kInvalid = QStringLiteral("EReadError: Invalid stream data!");
    {
        TBytesStream s(bytesFromHex("ff ff ff 7f 00 00 00 00 00 00 00 00"));
        TStringList list;
        list.Add(QStringLiteral("old"));
        EXPECT_EQ(failureOf([&] { TStreamHelper(&s).ReadStrings(list); }), kInvalid);
        EXPECT_EQ(list.Count(), 0);
    }
    {
        TBytesStream s(bytesFromHex("ff ff ff 7f 05 00 00 00 03 00"));
        TSortedIntegerList list;
        EXPECT_EQ(failureOf([&] { TStreamHelper(&s).ReadIntegerList(list); }), kInvalid);
    }
    EXPECT_EQ(failureOf([] { readVariantFrom(bytesFromHex("05 20 ff ff ff 7f 00 00 00 00 00 00 00 00")); }),
              kInvalid);
    // Just inside and just outside the factor over the bytes left.
    {
        const qint64 left = 1000;
        const qint64 inside = (TStreamHelper::ShortDataFactor * left + TStreamHelper::ShortDataSlack) / 4;
        for (const qint64 count : {inside, inside + 1}) {
            QByteArray bytes = bytesFromHex("03 20");
            const qint32 n = qint32(count);
            bytes.append(reinterpret_cast<const char *>(&n), 4);
            bytes.append(QByteArray(left, '\x01'));
            const QString failure = failureOf([&] { readVariantFrom(bytes); });
            EXPECT_EQ(failure, count == inside ? QString() : kInvalid) << count;
        }
    }
    // However much data is left, filling up stops at MaxShortDataBytes.
    {
        const QByteArray left(1024 * 1024, '\x01');
        ASSERT_LT(TStreamHelper::MaxShortDataBytes, TStreamHelper::ShortDataFactor * left.size());
        const qint64 largest = TStreamHelper::MaxShortDataBytes / 4;
        for (const qint64 count : {largest, largest + 1}) {
            QByteArray bytes = bytesFromHex("03 20");
            const qint32 n = qint32(count);
            bytes.append(reinterpret_cast<const char *>(&n), 4);
            bytes.append(left);
            const QString failure = failureOf([&] { readVariantFrom(bytes); });
            EXPECT_EQ(failure, count == largest ? QString() : kInvalid) << count;
        }
    }
    // An unknown tag inside a variant array is named as such, not as short data.
    EXPECT_EQ(failureOf([] { readVariantFrom(bytesFromHex("0c 20 05 00 00 00 03 00 01 00 00 00 09 00")); }),
              QStringLiteral("EAssertionFailed: varType not implemented yet!"));
}

TEST(StreamHelper, BooleanByteIsReturnedUnchanged)
{
    TBytesStream s(bytesFromHex("07 00 01"));
    TStreamHelper h(&s);
    EXPECT_EQ(h.ReadBooleanByte(), 7);
    EXPECT_FALSE(h.ReadBoolean());
    EXPECT_EQ(h.ReadBooleanByte(), 1);
    EXPECT_EQ(h.ReadBooleanByte(), 0); // short stream
}

TEST(StreamHelper, VariantBytesAreExact)
{
    Variant ints = VarArrayCreate(5, 7, varInteger);
    ints.ArrayPut(5, Variant(1));
    ints.ArrayPut(6, Variant(-1));
    ints.ArrayPut(7, Variant(0x01020304));
    Variant bools = VarArrayCreate(0, 2, varBoolean);
    bools.ArrayPut(0, Variant(true));
    bools.ArrayPut(2, Variant(true));

    struct Row {
        const char *name;
        Variant value;
        const char *hex;
    };
    const Row rows[] = {
        {"empty", Variant(), "00 00"},
        {"null", Variant::Null(), "01 00"},
        {"interface travels as empty", Variant(IPtr<IInterface>()), "00 00"},
        {"smallint", Variant::FromSmallint(-2), "02 00 fe ff"},
        {"integer", Variant(258), "03 00 02 01 00 00"},
        {"single", Variant::FromSingle(1.0f), "04 00 00 00 80 3f"},
        {"double", Variant(2.0), "05 00 00 00 00 00 00 00 00 40"},
        {"currency", Variant(Currency::FromScaled(10000)), "06 00 10 27 00 00 00 00 00 00"},
        {"date", Variant::FromDateTime(1.0), "07 00 00 00 00 00 00 00 f0 3f"},
        {"OLE string", Variant::FromOleStr(QStringLiteral("AB")), "08 00 02 00 00 00 41 00 42 00"},
        {"UTF-16 string", Variant(QStringLiteral("AB")), "02 01 02 00 00 00 41 00 42 00"},
        {"8-bit string is written as UTF-16", Variant::FromAnsi("\xE9"), "00 01 01 00 00 00 e9 00"},
        {"error", Variant::FromError(-2147352572), "0a 00 04 00 02 80"},
        {"Boolean true is the low byte of -1", Variant(true), "0b 00 ff"},
        {"Boolean false", Variant(false), "0b 00 00"},
        {"shortint", Variant::FromShortInt(-1), "10 00 ff"},
        {"byte", Variant::FromByte(200), "11 00 c8"},
        {"word", Variant::FromWord(0xFFFE), "12 00 fe ff"},
        {"longword", Variant::FromLongWord(0x80000000u), "13 00 00 00 00 80"},
        {"int64", Variant(qint64(-2)), "14 00 fe ff ff ff ff ff ff ff"},
        {"uint64", Variant::FromUInt64(~0ULL), "15 00 ff ff ff ff ff ff ff ff"},
        {"integer array, low bound not stored", ints, "03 20 03 00 00 00 01 00 00 00 ff ff ff ff 04 03 02 01"},
        {"Boolean array, one byte per element", bools, "0b 20 03 00 00 00 ff 00 ff"},
        {"empty array", VarArrayCreate(0, -1, varDouble), "05 20 00 00 00 00"},
        {"variant array, each element tagged",
         VarArrayOf({Variant(7), Variant(QStringLiteral("x"))}),
         "0c 20 02 00 00 00 03 00 07 00 00 00 02 01 01 00 00 00 78 00"},
        {"nested array",
         VarArrayOf({VarArrayOf({Variant::Null()}), Variant()}),
         "0c 20 02 00 00 00 0c 20 01 00 00 00 01 00 00 00"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(hexBytes(variantBytes(row.value)), hexBytes(bytesFromHex(row.hex)));
    }
}

TEST(StreamHelper, VariantsRoundTrip)
{
    Variant doubles = VarArrayCreate(-3, 1, varDouble);
    for (int i = -3; i <= 1; ++i)
        doubles.ArrayPut(i, Variant(i * 1.25));
    Variant strings = VarArrayCreate(0, 1, varUString);
    strings.ArrayPut(0, Variant(QStringLiteral("one")));
    strings.ArrayPut(1, Variant(QString()));
    Variant int64s = VarArrayCreate(0, 1, varInt64);
    int64s.ArrayPut(1, Variant(std::numeric_limits<qint64>::max()));
    Variant bytes = VarArrayFromBytes(QByteArray("\x00\x01\xfe\xff", 4));

    const Variant values[] = {
        Variant(), Variant::Null(), Variant::FromSmallint(-32768), Variant(std::numeric_limits<int>::min()),
        Variant::FromSingle(-0.5f), Variant(std::numeric_limits<double>::denorm_min()),
        Variant(Currency::FromScaled(-123456789)), Variant::FromDateTime(MinDateTime),
        Variant::FromError(5), Variant(true), Variant(false), Variant::FromShortInt(-128),
        Variant::FromByte(255), Variant::FromWord(65535), Variant::FromLongWord(4294967295u),
        Variant(std::numeric_limits<qint64>::min()), Variant::FromUInt64(18446744073709551615ULL),
        Variant(QString()), Variant(QString::fromUtf8("Zürich \xF0\x9F\x98\x80")),
        doubles, strings, int64s, bytes,
        VarArrayOf({Variant(1), VarArrayOf({Variant(2.5), Variant(QStringLiteral("deep"))}), Variant::Null()}),
    };
    for (const Variant &v : values) {
        SCOPED_TRACE(VarTypeAsText(v.Type()).toStdString());
        const Variant back = readVariantFrom(variantBytes(v));
        ASSERT_EQ(back.Type(), v.Type());
        if (v.IsArray()) {
            ASSERT_EQ(back.ArrayLowBound(), 0);
            ASSERT_EQ(back.ArrayCount(), v.ArrayCount());
            // Same bytes again: elements, their types and nesting survived.
            EXPECT_EQ(hexBytes(variantBytes(back)), hexBytes(variantBytes(v)));
        } else if (v.Type() == varError) {
            EXPECT_EQ(back.RawInt(), v.RawInt());
        } else if (!v.IsEmpty() && !v.IsNull()) {
            EXPECT_TRUE(VarSameValue(back, v)) << VarToStr(back).toStdString();
        }
    }
}

TEST(StreamHelper, StringVariantsReadBackAsUtf16Strings)
{
    for (const char *hex : {"08 00 02 00 00 00 41 00 42 00", "00 01 02 00 00 00 41 00 42 00",
                            "02 01 02 00 00 00 41 00 42 00"}) {
        SCOPED_TRACE(hex);
        const Variant v = readVariantFrom(bytesFromHex(hex));
        EXPECT_EQ(v.Type(), varUString);
        EXPECT_EQ(VarToStr(v), QStringLiteral("AB"));
    }
    // Any non-zero Boolean byte is true; by-reference and other top flags are masked away.
    EXPECT_TRUE(VarToBool(readVariantFrom(bytesFromHex("0b 00 01"))));
    EXPECT_EQ(readVariantFrom(bytesFromHex("03 40 07 00 00 00")).Type(), varInteger);
}

TEST(StreamHelper, ByReferenceVariantsAreWrittenAsTheirValue)
{
    Variant target(QStringLiteral("AB"));
    const Variant ref = Variant::AsRef(target);
    ASSERT_TRUE(ref.IsByRef());
    EXPECT_EQ(hexBytes(variantBytes(ref)), hexBytes(variantBytes(target)));
}

TEST(StreamHelper, InvalidVariantDataRaises)
{
    QByteArray deep;
    for (int i = 0; i < 200; ++i)
        deep += bytesFromHex("0c 20 01 00 00 00");
    deep += bytesFromHex("00 00");
    QByteArray okDepth;
    for (int i = 0; i < TStreamHelper::MaxVariantNesting; ++i)
        okDepth += bytesFromHex("0c 20 01 00 00 00");
    okDepth += bytesFromHex("00 00");

    struct Row {
        const char *name;
        QByteArray bytes;
        QString failure;
    };
    const Row rows[] = {
        {"no data", QByteArray(), kInvalid},
        {"one byte", bytesFromHex("03"), kInvalid},
        {"integer payload cut", bytesFromHex("03 00 01 02"), kInvalid},
        {"double payload cut", bytesFromHex("05 00 00 00 00 00 00 00 f0"), kInvalid},
        {"string count cut", bytesFromHex("08 00 02 00"), kInvalid},
        {"string shorter than its count", bytesFromHex("08 00 03 00 00 00 41 00 42 00"), kInvalid},
        {"string with a huge count", bytesFromHex("02 01 ff ff ff 7f 41 00"), kInvalid},
        {"string with a negative count", bytesFromHex("02 01 ff ff ff ff"), kInvalid},
        {"array count cut", bytesFromHex("03 20 01 00"), kInvalid},
        {"array with a negative count", bytesFromHex("03 20 ff ff ff ff"), kInvalid},
        {"double array with a huge count", bytesFromHex("05 20 ff ff ff 7f 00 00 00 00 00 00 00 00"), kInvalid},
        {"variant array with a huge count", bytesFromHex("0c 20 ff ff ff 7f 00 00 00 00"), kInvalid},
        {"variant array element missing", bytesFromHex("0c 20 02 00 00 00 01 00 00"), kInvalid},
        {"int64 array holding a string", bytesFromHex("14 20 01 00 00 00 02 01 01 00 00 00 78 00"), kInvalid},
        {"arrays nested too deep", deep, kInvalid},
        {"dispatch", bytesFromHex("09 00 00 00 00 00"), kNotImplemented},
        {"decimal", bytesFromHex("0e 00"), kNotImplemented},
        {"variant outside an array", bytesFromHex("0c 00"), kNotImplemented},
        {"unknown type 0x0FFF", bytesFromHex("ff 0f"), kNotImplemented},
        {"array of interfaces", bytesFromHex("0d 20 00 00 00 00"), kNotImplemented},
        {"array of empties", bytesFromHex("00 20 00 00 00 00"), kNotImplemented},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(failureOf([&] { readVariantFrom(row.bytes); }), row.failure);
    }
    EXPECT_TRUE(readVariantFrom(okDepth).IsArray());
}

TEST(StreamHelper, UnsupportedTypesFailAfterTheirTag)
{
    TMemoryStream ms;
    TStreamHelper h(&ms);
    const Variant refs = VarArrayCreate(0, 0, varUnknown);
    EXPECT_EQ(failureOf([&] { h.WriteVariant(refs); }), kNotImplemented);
    EXPECT_EQ(hexBytes(ms.ToBytes()), QStringLiteral("0d 20"));
}

TEST(StreamHelper, StreamsAreCopiedWholeWithTheirCount)
{
    TBytesStream source(QByteArray("0123456789"));
    source.Seek(4, soBeginning);
    const QByteArray small = written([&](TStreamHelper &h) { h.WriteStream(source); });
    EXPECT_EQ(hexBytes(small), hexBytes(bytesFromHex("0a 00 00 00") + "0123456789"));
    const QByteArray big = written([&](TStreamHelper &h) { h.WriteBigStream(source); });
    EXPECT_EQ(hexBytes(big), hexBytes(bytesFromHex("0a 00 00 00 00 00 00 00") + "0123456789"));

    // Larger than one 1 MiB chunk.
    QByteArray payload(3 * 1048576 + 17, Qt::Uninitialized);
    for (qsizetype i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 31 + 7);
    TBytesStream large(payload);
    TMemoryStream ms;
    TStreamHelper h(&ms);
    h.WriteBigStream(large);
    h.WriteStream(source);
    ms.Seek(0, soBeginning);
    TBytesStream dest(QByteArray("old content that must go"));
    h.ReadBigStream(dest);
    EXPECT_TRUE(dest.ToBytes() == payload);
    h.ReadStream(dest);
    EXPECT_EQ(dest.ToBytes(), QByteArray("0123456789"));

    // A count beyond the data is a read error.
    TBytesStream truncated(bytesFromHex("05 00 00 00 61 62"));
    TMemoryStream out;
    EXPECT_EQ(failureOf([&] { TStreamHelper(&truncated).ReadStream(out); }),
              QStringLiteral("EReadError: Stream read error"));
    EXPECT_EQ(out.Size(), 0);
    TBytesStream hostile(bytesFromHex("ff ff ff ff ff ff ff 7f 61"));
    EXPECT_THROW(TStreamHelper(&hostile).ReadBigStream(out), EReadError);
    // A short or non-positive count leaves an empty destination.
    TBytesStream negative(bytesFromHex("fb ff ff ff 61 62"));
    TBytesStream filled(QByteArray("xyz"));
    TStreamHelper(&negative).ReadStream(filled);
    EXPECT_EQ(filled.Size(), 0);
}

TEST(StreamHelper, ListsRoundTripUnderTheTargetsRules)
{
    TStringList source(QStringList{QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("b"), QString()});
    TSortedIntegerList ints(QStringLiteral("9,-4,2147483647"));
    TMemoryStream ms;
    TStreamHelper h(&ms);
    h.WriteStrings(source);
    h.WriteIntegerList(ints);
    EXPECT_EQ(hexBytes(ms.ToBytes().right(16)),
              QStringLiteral("03 00 00 00 fc ff ff ff 09 00 00 00 ff ff ff 7f"));

    ms.Seek(0, soBeginning);
    TStringList sorted;
    sorted.SetSorted(true);
    sorted.SetDuplicates(dupIgnore);
    sorted.Add(QStringLiteral("gone"));
    int changes = 0;
    sorted.OnChange = [&](TStringList &) { ++changes; };
    h.ReadStrings(sorted);
    EXPECT_EQ(sorted.ToQStringList(), (QStringList{QString(), QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(changes, 1);
    TSortedIntegerList back(QStringLiteral("1"));
    h.ReadIntegerList(back);
    EXPECT_TRUE(back.CompareList(ints));
}

TEST(StreamHelper, SaveStreamToFileWritesTheWholeStream)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TBytesStream mem(QByteArray("memory stream"));
    mem.Seek(3, soBeginning);
    SaveStreamToFile(mem, dir.filePath(QStringLiteral("a.bin")));
    {
        TFileStream other(dir.filePath(QStringLiteral("src.bin")), fmCreate);
        other.WriteBuffer("file stream", 11);
        SaveStreamToFile(other, dir.filePath(QStringLiteral("b.bin")));
    }
    QFile a(dir.filePath(QStringLiteral("a.bin")));
    QFile b(dir.filePath(QStringLiteral("b.bin")));
    ASSERT_TRUE(a.open(QIODevice::ReadOnly));
    ASSERT_TRUE(b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), QByteArray("memory stream"));
    EXPECT_EQ(b.readAll(), QByteArray("file stream"));
}

TEST(StreamHelper, OwnedStreamIsDeletedWithTheHelper)
{
    struct Probe : TMemoryStream {
        bool *deleted;
        explicit Probe(bool *d) : deleted(d) {}
        ~Probe() override { *deleted = true; }
    };
    bool deleted = false;
    { TStreamHelper h(new Probe(&deleted), true); }
    EXPECT_TRUE(deleted);
    deleted = false;
    Probe kept(&deleted);
    { TStreamHelper h(&kept, false); }
    EXPECT_FALSE(deleted);
}
