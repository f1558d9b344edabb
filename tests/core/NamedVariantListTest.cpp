#include <ZorCompCore/core/InterfaceData.h>
#include <ZorCompCore/core/NamedVariantList.h>
#include <ZorCompCore/core/StreamHelper.h>
#include <ZorCompCore/core/VariantUtils.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>
#include "TestUtil.h"

#include <functional>

using namespace zor;

namespace {

struct Counted
{
    TNamedVariantList list;
    int changes = 0;
    Counted() { list.OnChange = [this](TNamedVariantList &) { ++changes; }; }
};

QByteArray saved(const TNamedVariantList &list)
{
    TMemoryStream ms;
    list.SaveToStream(ms);
    return ms.ToBytes();
}

} // namespace

TEST(NamedVariantList, EachChangeNotifiesOnceOutsideUpdates)
{
    struct Row {
        const char *name;
        std::function<void(TNamedVariantList &)> act;
        int changes;
    };
    const Row rows[] = {
        {"Add", [](TNamedVariantList &l) { l.Add(Variant(3), QStringLiteral("c")); }, 1},
        {"Insert", [](TNamedVariantList &l) { l.Insert(0, Variant(3), QStringLiteral("c")); }, 1},
        {"SetItem", [](TNamedVariantList &l) { l.SetItem(0, Variant(9)); }, 1},
        {"SetName", [](TNamedVariantList &l) { l.SetName(1, QStringLiteral("x")); }, 1},
        {"SetValue of a present name", [](TNamedVariantList &l) { l.SetValue(QStringLiteral("b"), Variant()); }, 1},
        {"SetValue of an absent name", [](TNamedVariantList &l) { l.SetValue(QStringLiteral("z"), Variant(1)); }, 1},
        {"SetTag is silent", [](TNamedVariantList &l) { l.SetTag(0, 7); }, 0},
        {"Delete is silent", [](TNamedVariantList &l) { l.Delete(0); }, 0},
        {"Clear is silent", [](TNamedVariantList &l) { l.Clear(); }, 0},
        {"batch of changes notifies once",
         [](TNamedVariantList &l) {
             l.BeginUpdate();
             l.BeginUpdate();
             l.Add(Variant(1), QStringLiteral("x"));
             l.SetItem(0, Variant(2));
             l.EndUpdate();
             l.SetName(0, QStringLiteral("y"));
             l.EndUpdate();
         },
         1},
        {"batch without changes is silent",
         [](TNamedVariantList &l) {
             l.BeginUpdate();
             l.SetTag(0, 1);
             l.EndUpdate();
         },
         0},
        {"AddValues from a list notifies once",
         [](TNamedVariantList &l) {
             TNamedVariantList other;
             other.Add(Variant(1), QStringLiteral("p"));
             other.Add(Variant(2), QStringLiteral("q"));
             l.AddValues(other);
         },
         1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Counted c;
        c.list.OnChange = nullptr;
        c.list.Add(Variant(1), QStringLiteral("a"));
        c.list.Add(Variant(2), QStringLiteral("b"));
        c.list.OnChange = [&](TNamedVariantList &) { ++c.changes; };
        row.act(c.list);
        EXPECT_EQ(c.changes, row.changes);
        EXPECT_EQ(c.list.UpdateCount(), 0);
    }
}

TEST(NamedVariantList, LookupsFindTheFirstMatch)
{
    TNamedVariantList l;
    l.Add(Variant(1), QStringLiteral("Name"));
    l.Add(Variant(QStringLiteral("1")), QStringLiteral("name"));
    l.Add(Variant(2), QStringLiteral("Name"));
    EXPECT_EQ(l.IndexOfName(QStringLiteral("Name")), 0);
    EXPECT_EQ(l.IndexOfName(QStringLiteral("name")), 1); // case matters
    EXPECT_EQ(l.IndexOfName(QStringLiteral("NAME")), -1);
    EXPECT_EQ(l.IndexOf(Variant(2)), 2);
    EXPECT_EQ(l.IndexOf(Variant::Null()), -1);
    EXPECT_TRUE(VarIsNull(l.GetValue(QStringLiteral("absent"))));
    l.SetValue(QStringLiteral("Name"), Variant(5));
    EXPECT_EQ(VarToInt(l.GetItem(0)), 5);
    EXPECT_EQ(VarToInt(l.GetItem(2)), 2);
    EXPECT_THROW(l.GetItem(3), EListError);
    EXPECT_THROW(l.Insert(5, Variant(), QString()), EListError);
}

TEST(NamedVariantList, StreamFormIsExactAndRoundTrips)
{
    TNamedVariantList l;
    l.Add(Variant(7), QStringLiteral("a"));
    l.SetTag(0, -1);
    EXPECT_EQ(hexBytes(saved(l)),
              QStringLiteral("01 00 00 00 03 00 07 00 00 00 01 00 00 00 00 00 00 00 61 00 ff ff ff ff"));

    l.Add(Variant::FromAnsi("8-bit"), QString());
    l.Add(VarArrayOf({Variant(1.5), Variant::Null()}), QString::fromUtf8("Größe"));
    l.Add(Variant(), QStringLiteral("empty"));
    l.SetTag(3, 2147483647);

    Counted back;
    back.list.Add(Variant(99), QStringLiteral("replaced"));
    back.changes = 0;
    TBytesStream s(saved(l));
    back.list.LoadFromStream(s);
    EXPECT_EQ(back.changes, 1);
    ASSERT_EQ(back.list.Count(), 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(back.list.GetName(i), l.GetName(i));
        EXPECT_EQ(back.list.GetTag(i), l.GetTag(i));
    }
    EXPECT_EQ(back.list.GetItem(1).Type(), varUString); // 8-bit strings come back as UTF-16
    EXPECT_EQ(VarToStr(back.list.GetItem(1)), QStringLiteral("8-bit"));
    EXPECT_EQ(VarToStr(back.list.GetItem(2).ArrayGet(0)), QStringLiteral("1.5"));
    EXPECT_TRUE(back.list.GetItem(3).IsEmpty());
}

TEST(NamedVariantList, LoadingBadDataKeepsWhatWasRead)
{
    {
        SCOPED_TRACE("shorter than a count");
        Counted c;
        c.list.Add(Variant(1), QStringLiteral("x"));
        TBytesStream s(bytesFromHex("05 00 00"));
        c.list.LoadFromStream(s);
        EXPECT_EQ(c.list.Count(), 0);
    }
    {
        SCOPED_TRACE("hostile count, one item present");
        TNamedVariantList one;
        one.Add(Variant(1), QStringLiteral("x"));
        QByteArray bytes = saved(one);
        bytes[0] = '\xff';
        bytes[1] = '\xff';
        bytes[2] = '\xff';
        bytes[3] = '\x7f';
        Counted c;
        TBytesStream s(bytes);
        try {
            c.list.LoadFromStream(s);
            FAIL() << "no exception";
        } catch (const EReadError &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Invalid stream data!"));
        }
        EXPECT_EQ(c.list.Count(), 1);
        EXPECT_EQ(c.list.UpdateCount(), 0);
        EXPECT_EQ(c.changes, 1); // after EndUpdate, before the exception reached us
    }
    {
        SCOPED_TRACE("name and tag missing at the end");
        Counted c;
        TBytesStream s(bytesFromHex("01 00 00 00 0b 00 ff 03 00"));
        c.list.LoadFromStream(s);
        ASSERT_EQ(c.list.Count(), 1);
        EXPECT_TRUE(VarToBool(c.list.GetItem(0)));
        EXPECT_EQ(c.list.GetName(0), QString());
        EXPECT_EQ(c.list.GetTag(0), 0);
    }
}

TEST(NamedVariantList, AddValuesAppendsWithoutReplacing)
{
    TNamedVariantList source;
    source.Add(Variant(1), QStringLiteral("a"));
    source.SetTag(0, 5);
    source.Add(Variant(2), QStringLiteral("b"));

    Counted fromList;
    fromList.list.Add(Variant(0), QStringLiteral("a"));
    fromList.changes = 0;
    fromList.list.AddValues(source);
    EXPECT_EQ(fromList.changes, 1);
    ASSERT_EQ(fromList.list.Count(), 3);
    EXPECT_EQ(fromList.list.GetName(1), QStringLiteral("a"));
    EXPECT_EQ(fromList.list.GetTag(1), 0); // tags are not copied

    Counted fromInterface;
    IPtr<INamedVariantListData> data(new TNamedVariantListData(&source, false));
    fromInterface.list.AddValues(data.get());
    EXPECT_EQ(fromInterface.changes, 1);
    EXPECT_EQ(fromInterface.list.Count(), 2);

    Counted fromStrings;
    TStringList lines(QStringList{QStringLiteral("k=v=w"), QStringLiteral("novalue"), QStringLiteral("=x")});
    fromStrings.list.AddValues(lines);
    EXPECT_EQ(fromStrings.changes, 1);
    ASSERT_EQ(fromStrings.list.Count(), 3);
    EXPECT_EQ(fromStrings.list.GetName(0), QStringLiteral("k"));
    EXPECT_EQ(fromStrings.list.GetItem(0).Type(), varUString);
    EXPECT_EQ(VarToStr(fromStrings.list.GetItem(0)), QStringLiteral("v=w"));
    EXPECT_EQ(fromStrings.list.GetName(1), lines.Names(1));
    EXPECT_EQ(VarToStr(fromStrings.list.GetItem(2)), QStringLiteral("x"));

    Counted self;
    self.list.Add(Variant(1), QStringLiteral("s"));
    self.list.AddValues(self.list);
    EXPECT_EQ(self.list.Count(), 2);
}

// --- variant utilities ----------------------------------------------------------

TEST(VariantUtils, ArraySetOperations)
{
    const Variant a = VarArrayOf({Variant(1), Variant(QStringLiteral("x")), Variant(3)});
    const Variant b = VarArrayOf({Variant(3), Variant(4), Variant(4), Variant(QStringLiteral("x"))});
    EXPECT_TRUE(VarIsValueInArray(a, Variant(QStringLiteral("x"))));
    EXPECT_TRUE(VarIsValueInArray(a, Variant(3.0)));
    EXPECT_FALSE(VarIsValueInArray(a, Variant(2)));
    EXPECT_FALSE(VarIsValueInArray(Variant(1), Variant(1)));

    const Variant joined = VarConcateArrays(a, b);
    ASSERT_EQ(joined.ArrayCount(), 4);
    EXPECT_EQ(VarToInt(joined.ArrayGet(joined.ArrayHighBound())), 4); // 4 added once
    EXPECT_EQ(a.ArrayCount(), 3);                                    // A itself is untouched

    const Variant rest = VarExcludeArray(a, b);
    ASSERT_EQ(rest.ArrayCount(), 1);
    EXPECT_EQ(rest.ArrayLowBound(), 0);
    EXPECT_EQ(VarToInt(rest.ArrayGet(0)), 1);
    EXPECT_EQ(VarExcludeArray(a, a).ArrayCount(), 0);

    EXPECT_EQ(VarToInt(VarConcateArrays(Variant(2), Variant(3))), 5);
    EXPECT_EQ(VarToInt(VarExcludeArray(Variant(2), Variant(3))), -1);
}

TEST(VariantUtils, ConversionsWithDefaults)
{
    EXPECT_EQ(VarToIntDef(Variant(qint64(1) << 40), 7), qint64(1) << 40);
    EXPECT_EQ(VarToIntDef(Variant(QStringLiteral("123")), 7), 123);
    EXPECT_EQ(VarToIntDef(Variant(QStringLiteral("12x")), 7), 7);
    EXPECT_EQ(VarToIntDef(Variant(QStringLiteral("99999999999")), 7), 7); // 32-bit parse
    EXPECT_EQ(VarToIntDef(Variant::Null(), -3), -3);
    EXPECT_EQ(VarToIntDef(Variant(), -3), -3);

    const TDateTime def = 100.5;
    EXPECT_EQ(VarToDateTimeDef(Variant(QString()), def), def);
    EXPECT_EQ(VarToDateTimeDef(Variant::Null(), def), def);
    EXPECT_EQ(VarToDateTimeDef(Variant::FromDateTime(45000.25), def), 45000.25);
    EXPECT_EQ(VarToDateDef(Variant::FromDateTime(45000.25), def), 45000.0);
    EXPECT_DOUBLE_EQ(VarToTimeDef(Variant::FromDateTime(45000.25), def), 0.25);
    EXPECT_EQ(VarToDateDef(Variant(), def), 100.0);

    EXPECT_EQ(VarToFloatDef(Variant(QString()), 2.5), 2.5);
    EXPECT_EQ(VarToFloatDef(Variant(QStringLiteral("1.25")), 2.5), 1.25);
    EXPECT_EQ(VarToCurrDef(Variant::Null(), Currency::FromScaled(5)).Scaled, 5);
    EXPECT_EQ(VarToCurrDef(Variant(1.5), Currency()).Scaled, 15000);
    EXPECT_TRUE(VarToBoolDef(Variant(), true));
    EXPECT_FALSE(VarToBoolDef(Variant(0), true));
    EXPECT_THROW(VarToFloatDef(Variant(QStringLiteral("abc")), 1.0), Exception);
}

TEST(VariantUtils, SimpleTypesAndEmptyValues)
{
    struct Row { TVarType type; bool simple; int size; };
    const Row rows[] = {
        {varSmallint, true, 2}, {varInteger, true, 4}, {varSingle, true, 4}, {varDouble, true, 8},
        {varCurrency, true, 8}, {varDate, true, 8}, {varError, true, 4}, {varBoolean, true, 1},
        {varByte, true, 1}, {varShortInt, false, -1}, {varInt64, false, -1}, {varOleStr, false, -1},
        {varVariant, false, -1}, {TVarType(varArray | varInteger), true, 4},
        {TVarType(varByRef | varDouble), true, 8}, {TVarType(0xF000 | varByte), true, 1},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.type);
        EXPECT_EQ(IsSimpleType(r.type), r.simple);
        EXPECT_EQ(GetSimpleTypeSize(r.type), r.size);
    }

    EXPECT_TRUE(GetEmptyNativeValueByVarType(varError).IsNull());
    EXPECT_TRUE(GetEmptyNativeValueByVarType(36).IsNull());
    EXPECT_EQ(VarToInt(GetEmptyNativeValueByVarType(varUInt64)), 0);
    EXPECT_EQ(VarToDateTime(GetEmptyNativeValueByVarType(varDate)), MinDateTime);
    EXPECT_EQ(GetEmptyNativeValueByVarType(varUnknown).Type(), varUnknown);
    EXPECT_EQ(GetEmptyNativeValueByVarType(varBoolean).Type(), varBoolean);
    EXPECT_EQ(GetEmptyNativeValueByVarType(varString).Type(), varUString);

    EXPECT_FALSE(VarHasValue(Variant()));
    EXPECT_FALSE(VarHasValue(Variant::FromError(0)));
    EXPECT_TRUE(VarHasValue(Variant(QString())));
}

TEST(VariantUtils, TypeIndependentEquality)
{
    Variant target(5);
    struct Row { const char *name; Variant a, b; bool same; };
    const Row rows[] = {
        {"empty/empty", Variant(), Variant(), true},
        {"empty/null", Variant(), Variant::Null(), false},
        {"null/null", Variant::Null(), Variant::Null(), true},
        {"value/null", Variant(0), Variant::Null(), false},
        {"same type", Variant(5), Variant(5), true},
        {"integer and its text", Variant(5), Variant(QStringLiteral("5")), true},
        {"text differs", Variant(5), Variant(QStringLiteral("05")), false},
        {"through a reference", Variant::AsRef(target), Variant(QStringLiteral("5")), true},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(VarSameTypeIndependedValue(r.a, r.b), r.same);
    }
}

TEST(VariantUtils, BytesOfVariants)
{
    Variant ints = VarArrayCreate(0, 1, varInteger);
    ints.ArrayPut(0, Variant(1));
    ints.ArrayPut(1, Variant(0x7F000000));
    EXPECT_EQ(hexBytes(VarToRawByteString(ints)), QStringLiteral("01 00 00 00 00 00 00 7f"));
    EXPECT_EQ(VarToRawByteString(VarArrayFromBytes("ab")), QByteArray("ab"));
    EXPECT_EQ(VarToRawByteString(Variant(QString::fromUtf8("€1"))), QByteArray("\x80" "1"));
    EXPECT_EQ(VarToRawByteString(Variant::Null()), QByteArray());
    EXPECT_EQ(VarToBinBytes(Variant(12)), QByteArray("12"));

    // Every fixed-size element type gives element size x count bytes.
    struct Row {
        TVarType type;
        Variant a, b;
        const char *hex;
    };
    const Row rows[] = {
        {varWord, Variant::FromWord(1), Variant::FromWord(0x1234), "01 00 34 12"},
        {varLongWord, Variant::FromLongWord(1), Variant::FromLongWord(0x80000000u), "01 00 00 00 00 00 00 80"},
        {varInt64, Variant(qint64(-1)), Variant(qint64(2)), "ff ff ff ff ff ff ff ff 02 00 00 00 00 00 00 00"},
        {varUInt64, Variant::FromUInt64(1), Variant::FromUInt64(256), "01 00 00 00 00 00 00 00 00 01 00 00 00 00 00 00"},
        {varShortInt, Variant::FromShortInt(-1), Variant::FromShortInt(2), "ff 02"},
        {varSmallint, Variant::FromSmallint(-2), Variant::FromSmallint(3), "fe ff 03 00"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(int(r.type));
        Variant arr = VarArrayCreate(0, 1, r.type);
        arr.ArrayPut(0, r.a);
        arr.ArrayPut(1, r.b);
        EXPECT_EQ(hexBytes(VarToRawByteString(arr)), QString::fromLatin1(r.hex));
        TMemoryStream ms;
        VarWriteToStream(arr, ms, true);
        EXPECT_EQ(hexBytes(ms.ToBytes()), QString::fromLatin1(r.hex));
    }
    // Variant arrays: numbers as bytes, texts and nested arrays as their bytes.
    EXPECT_EQ(VarToRawByteString(VarArrayOf({1, 2, 255})), QByteArray("\x01\x02\xff", 3));
    EXPECT_EQ(VarToRawByteString(VarArrayOf({Variant(QStringLiteral("ab")), Variant::Null(), 10, VarArrayFromBytes("c")})),
              QByteArray("ab\nc"));
    EXPECT_THROW(VarToRawByteString(VarArrayOf({256})), EVariantOverflowError);

    TBytesStream s(QByteArray("old"));
    s.Seek(0, soEnd);
    VarWriteToStream(Variant(QStringLiteral("xy")), s, false);
    EXPECT_EQ(s.ToBytes(), QByteArray("oldxy"));
    VarWriteToStream(ints, s, true);
    EXPECT_EQ(s.Size(), 8);

    EXPECT_TRUE(SaveVariantAsBytes(Variant()).isEmpty());
    EXPECT_EQ(hexBytes(SaveVariantAsBytes(Variant::Null())), QStringLiteral("01 00"));
    EXPECT_TRUE(RestoreVariantFromBytes(QByteArray()).IsEmpty());
    EXPECT_EQ(VarToStr(RestoreVariantFromBytes(SaveVariantAsBytes(Variant(QStringLiteral("t"))))),
              QStringLiteral("t"));
    EXPECT_THROW(RestoreVariantFromBytes(bytesFromHex("03 00 01")), EReadError);
    EXPECT_EQ(VarToInt(RestoreVariantFromBytesDef(bytesFromHex("03 00 01"), Variant(-9))), -9);
    EXPECT_EQ(VarToInt(RestoreVariantFromBytesDef(bytesFromHex("ff 0f"), Variant(-8))), -8);
}
