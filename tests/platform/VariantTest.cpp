#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/SysUtils.h>
#include <ZorCompCore/platform/Variant.h>

#include "TestUtil.h"

#include <cmath>
#include <cstring>
#include <limits>

using namespace zor;

static_assert(sizeof(Variant) == 16, "a variant is a type tag and one 8-byte slot");

namespace {

template <class E, class Fn>
QString messageOf(Fn fn)
{
    try {
        fn();
    } catch (const E &e) {
        return e.Message();
    } catch (const Exception &e) {
        return QStringLiteral("wrong class %1: %2").arg(QLatin1String(e.ClassName()), e.Message());
    }
    return QStringLiteral("no exception");
}

QByteArray rawBytes(const Variant &v)
{
    const int size = VarArrayElementSize(v.ArrayElementType());
    return QByteArray(static_cast<const char *>(v.ArrayData()), v.ArrayCount() * size);
}

// Counts live instances so that tests can see interface references released.
class Counted : public TInterfacedObject
{
public:
    explicit Counted(int &alive) : m_alive(alive) { ++m_alive; }
    ~Counted() override { --m_alive; }

private:
    int &m_alive;
};

} // namespace

TEST(Variant, ConstructorsPickTheNaturalType)
{
    const struct { const char *name; Variant v; TVarType type; } rows[] = {
        {"bool", Variant(true), varBoolean},
        {"int", Variant(5), varInteger},
        {"qint64", Variant(qint64(5)), varInt64},
        {"long", Variant(5L), varInt64},
        {"unsigned", Variant(5u), varLongWord},
        {"unsigned long long", Variant(5ull), varUInt64},
        {"double", Variant(1.5), varDouble},
        {"float promotes", Variant(1.5f), varDouble},
        {"QString", Variant(QStringLiteral("x")), varUString},
        {"char*", Variant("x"), varUString},
        {"Currency", Variant(Currency::FromScaled(1)), varCurrency},
        {"ansi", Variant::FromAnsi("x"), varString},
        {"olestr", Variant::FromOleStr(QStringLiteral("x")), varOleStr},
        {"date", Variant::FromDateTime(1), varDate},
        {"single", Variant::FromSingle(1), varSingle},
        {"byte", Variant::FromByte(1), varByte},
        {"error", Variant::FromError(5), varError},
        {"null", Variant::Null(), varNull},
        {"empty", Variant(), varEmpty},
        {"interface", Variant(IPtr<IInterface>()), varUnknown},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(r.v.Type(), r.type);
    }
    EXPECT_EQ(Variant(true).RawInt() & 0xFFFF, 0xFFFF); // OLE true is all bits set
    // signed integers read back through RawInt() as the number itself
    EXPECT_EQ(Variant(-5).RawInt(), -5);
    EXPECT_EQ(Variant::FromSmallint(-2).RawInt(), -2);
    EXPECT_EQ(Variant::FromShortInt(-128).RawInt(), -128);
    EXPECT_EQ(Variant::FromLongWord(0xFFFFFFFFu).RawInt(), 0xFFFFFFFFll);
    EXPECT_EQ(VarCast(Variant(-7), varSmallint).RawInt(), -7);
}

TEST(Variant, CopiesOfHeapValuesAreIndependent)
{
    Variant a(QStringLiteral("one"));
    Variant b = a;
    b = QStringLiteral("two");
    EXPECT_EQ(VarToStr(a), QStringLiteral("one"));
    Variant c = std::move(b);
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(VarToStr(c), QStringLiteral("two"));
    c = c; // self-assignment keeps the value
    EXPECT_EQ(VarToStr(c), QStringLiteral("two"));
    c = 5; // heap value replaced by a plain one
    EXPECT_EQ(c.Type(), varInteger);
    a = Variant(2.5);
    EXPECT_EQ(a.RawDouble(), 2.5);
}

TEST(Variant, InterfaceValuesHoldAReference)
{
    int alive = 0;
    {
        Variant v(IPtr<IInterface>(new Counted(alive)));
        EXPECT_EQ(alive, 1);
        Variant copy = v;
        v = Variant();
        EXPECT_EQ(alive, 1) << "the copy still holds it";
        EXPECT_NE(copy.RawInterface(), nullptr);
        const Variant asDispatch = VarCast(copy, varDispatch);
        EXPECT_EQ(asDispatch.RawInterface(), copy.RawInterface());
        EXPECT_TRUE(VarSameValue(copy, asDispatch));
        EXPECT_FALSE(VarIsClear(copy));
        EXPECT_EQ(messageOf<EVariantTypeCastError>([&] { VarToStr(copy); }),
                  QStringLiteral("Could not convert variant of type (Unknown) into type (String)"));
    }
    EXPECT_EQ(alive, 0);
    EXPECT_TRUE(VarIsClear(Variant::ZeroOf(varUnknown)));
}

TEST(Variant, VarToStrFollowsTheClassicTexts)
{
    const struct { const char *name; Variant v; const char *text; } rows[] = {
        {"null", Variant::Null(), ""},
        {"empty", Variant(), ""},
        {"integer", Variant(-12), "-12"},
        {"int64 max", Variant(std::numeric_limits<qint64>::max()), "9223372036854775807"},
        {"uint64 max", Variant::FromUInt64(std::numeric_limits<quint64>::max()), "18446744073709551615"},
        {"double", Variant(1.5), "1.5"},
        {"0.1+0.2", Variant(0.1 + 0.2), "0.3"},
        {"big double", Variant(1e20), "1E20"},
        {"single", Variant::FromSingle(0.1f), "0.1"},
        {"currency", Variant(Currency::FromScaled(125000)), "12.5"},
        {"true", Variant(true), "True"},
        {"false", Variant(false), "False"},
        {"date", Variant::FromDateTime(EncodeDate(2023, 3, 15)), "03/15/2023"},
        {"date-time", Variant::FromDateTime(EncodeDateTime(2023, 3, 15, 10, 30, 0, 0)), "03/15/2023 10:30:00"},
        {"time only", Variant::FromDateTime(0.5), "12:00:00"},
        {"date zero", Variant::FromDateTime(0), "12/30/1899"},
        {"ansi", Variant::FromAnsi("caf\xE9"), "caf\xC3\xA9"},
        {"byte", Variant::FromByte(200), "200"},
        {"shortint", Variant::FromShortInt(-5), "-5"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(VarToStr(r.v), QString::fromUtf8(r.text));
    }
    EXPECT_EQ(VarToStrDef(Variant::Null(), QStringLiteral("-")), QStringLiteral("-"));
    EXPECT_EQ(messageOf<EVariantTypeCastError>([] { VarToStr(VarArrayOf({1})); }),
              QStringLiteral("Could not convert variant of type (Array Variant) into type (String)"));
}

TEST(Variant, VarCastConvertsOrRaisesWithTheTypeNames)
{
    struct Row
    {
        const char *name;
        Variant in;
        TVarType to;
        Variant expected; // compared by type and text
    };
    const Row ok[] = {
        {"string to integer", Variant("123"), varInteger, Variant(123)},
        {"hex string to integer", Variant("$10"), varInteger, Variant(16)},
        {"string to double", Variant("1.5"), varDouble, Variant(1.5)},
        {"float string to integer", Variant("2.7"), varInteger, Variant(3)},
        {"half to even", Variant(2.5), varInteger, Variant(2)},
        {"half to even, odd", Variant(3.5), varInteger, Variant(4)},
        {"negative half", Variant(-2.5), varInteger, Variant(-2)},
        {"true to integer", Variant(true), varInteger, Variant(-1)},
        {"true to byte", Variant(true), varByte, Variant::FromByte(255)},
        {"text true", Variant("True"), varBoolean, Variant(true)},
        {"number text to bool", Variant("0"), varBoolean, Variant(false)},
        {"empty to integer", Variant(), varInteger, Variant(0)},
        {"empty to string", Variant(), varUString, Variant("")},
        {"double to currency", Variant(1.23456), varCurrency, Variant(Currency::FromScaled(12346))},
        {"currency half to even", Variant(Currency::FromScaled(25000)), varInteger, Variant(2)},
        {"currency to integer", Variant(Currency::FromScaled(35000)), varInteger, Variant(4)},
        {"string to currency", Variant("12.3456"), varCurrency, Variant(Currency::FromScaled(123456))},
        {"date text", Variant("03/15/2023"), varDate, Variant::FromDateTime(EncodeDate(2023, 3, 15))},
        {"number to date", Variant(45000), varDate, Variant::FromDateTime(45000)},
        {"integer to string", Variant(42), varUString, Variant("42")},
        {"integer to ansi", Variant(42), varString, Variant::FromAnsi("42")},
        {"ansi to unicode", Variant::FromAnsi("\x80"), varUString, Variant(QStringLiteral("\u20AC"))},
        {"int64 to double", Variant(qint64(1) << 53), varDouble, Variant(9007199254740992.0)},
        {"uint64 max to uint64", Variant("18446744073709551615"), varUInt64,
         Variant::FromUInt64(std::numeric_limits<quint64>::max())},
        {"integer to smallint", Variant(-32768), varSmallint, Variant::FromSmallint(-32768)},
        {"null to null", Variant::Null(), varNull, Variant::Null()},
    };
    for (const auto &r : ok) {
        SCOPED_TRACE(r.name);
        const Variant got = VarCast(r.in, r.to);
        EXPECT_EQ(got.Type(), r.expected.Type());
        EXPECT_EQ(VarToStr(got), VarToStr(r.expected));
    }
    const struct { const char *name; Variant in; TVarType to; const char *message; } bad[] = {
        {"text to double", Variant("abc"), varDouble, "Could not convert variant of type (String) into type (Double)"},
        {"text to integer", Variant("abc"), varInteger, "Could not convert variant of type (String) into type (Integer)"},
        {"ansi text to bool", Variant::FromAnsi("maybe"), varBoolean,
         "Could not convert variant of type (AnsiString) into type (Boolean)"},
        {"null to integer", Variant::Null(), varInteger, "Could not convert variant of type (Null) into type (Integer)"},
        {"null to string", Variant::Null(), varUString, "Could not convert variant of type (Null) into type (String)"},
        {"array to integer", VarArrayCreate(0, 1, varInteger), varInteger,
         "Could not convert variant of type (Array Integer) into type (Integer)"},
        {"number to interface", Variant(1), varUnknown, "Could not convert variant of type (Integer) into type (Unknown)"},
        {"to decimal", Variant(1), varDecimal, "Could not convert variant of type (Integer) into type (Decimal)"},
    };
    for (const auto &r : bad) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(messageOf<EVariantTypeCastError>([&] { VarCast(r.in, r.to); }), QLatin1String(r.message));
    }
    const struct { const char *name; Variant in; TVarType to; const char *message; } overflow[] = {
        {"integer to smallint", Variant(100000), varSmallint,
         "Overflow while converting variant of type (Integer) into type (Smallint)"},
        {"negative to byte", Variant(-1), varByte, "Overflow while converting variant of type (Integer) into type (Byte)"},
        {"double to integer", Variant(3e9), varInteger, "Overflow while converting variant of type (Double) into type (Integer)"},
        {"huge double to int64", Variant(1e30), varInt64, "Overflow while converting variant of type (Double) into type (Int64)"},
        {"NaN to integer", Variant(std::nan("")), varInteger, "Overflow while converting variant of type (Double) into type (Integer)"},
        {"double to single", Variant(1e300), varSingle, "Overflow while converting variant of type (Double) into type (Single)"},
        {"double to currency", Variant(1e300), varCurrency,
         "Overflow while converting variant of type (Double) into type (Currency)"},
        {"text to word", Variant("70000"), varWord, "Overflow while converting variant of type (String) into type (Word)"},
    };
    for (const auto &r : overflow) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(messageOf<EVariantOverflowError>([&] { VarCast(r.in, r.to); }), QLatin1String(r.message));
    }
}

TEST(Variant, SameValueAcrossTypes)
{
    const struct { const char *name; Variant a, b; bool same; } rows[] = {
        {"integer and its text", Variant(1), Variant(QStringLiteral("1")), true},
        {"double and integer", Variant(1.0), Variant(1), true},
        {"double and its text", Variant(2.5), Variant("2.5"), true},
        {"null and null", Variant::Null(), Variant::Null(), true},
        {"null and empty", Variant::Null(), Variant(), false},
        {"empty and empty", Variant(), Variant(), true},
        {"empty and zero", Variant(), Variant(0), false},
        {"empty and empty string", Variant(), Variant(""), false},
        {"text and number that cannot convert", Variant("abc"), Variant(1), false},
        {"same text", Variant("abc"), Variant("abc"), true},
        {"text differs by case", Variant("abc"), Variant("ABC"), false},
        {"boolean and its text", Variant(true), Variant("True"), true},
        {"boolean and -1", Variant(true), Variant(-1), true},
        {"boolean and 1", Variant(true), Variant(1), false},
        {"ansi and unicode text", Variant::FromAnsi("abc"), Variant("abc"), true},
        {"olestr and unicode", Variant::FromOleStr(QStringLiteral("x")), Variant("x"), true},
        {"currency and double", Variant(Currency::FromScaled(15000)), Variant(1.5), true},
        {"currency and integer", Variant(Currency::FromScaled(20000)), Variant(2), true},
        {"int64 and uint64", Variant(std::numeric_limits<qint64>::max()),
         Variant::FromUInt64(quint64(std::numeric_limits<qint64>::max())), true},
        {"large int64 neighbours", Variant(std::numeric_limits<qint64>::max()),
         Variant(std::numeric_limits<qint64>::max() - 1), false},
        {"date and double", Variant::FromDateTime(45000.5), Variant(45000.5), true},
        {"date and its text", Variant::FromDateTime(EncodeDate(2023, 3, 15)), Variant("03/15/2023"), true},
        {"NaN and NaN", Variant(std::nan("")), Variant(std::nan("")), false},
        {"equal arrays", VarArrayOf({1, "x"}), VarArrayOf({1, "x"}), true},
        {"arrays of different length", VarArrayOf({1}), VarArrayOf({1, 2}), false},
        {"array and scalar", VarArrayOf({1}), Variant(1), false},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(VarSameValue(r.a, r.b), r.same);
        EXPECT_EQ(VarSameValue(r.b, r.a), r.same) << "not symmetric";
        EXPECT_EQ(r.a == r.b, r.same);
    }
}

TEST(Variant, CompareValueOrdersNumbersNumerically)
{
    EXPECT_EQ(VarCompareValue(1, 2), vrLessThan);
    EXPECT_EQ(VarCompareValue(Variant("b"), Variant("a")), vrGreaterThan);
    EXPECT_EQ(VarCompareValue(Variant("10"), Variant(9)), vrGreaterThan); // not "10" < "9"
    EXPECT_EQ(VarCompareValue(Variant("10"), Variant("9")), vrLessThan);  // both text: by text
    EXPECT_EQ(VarCompareValue(Variant(false), Variant(true)), vrLessThan);
    EXPECT_EQ(VarCompareValue(Variant::Null(), Variant(1)), vrNotEqual);
    EXPECT_EQ(VarCompareValue(Variant::FromUInt64(std::numeric_limits<quint64>::max()), Variant(-1)), vrGreaterThan);
    EXPECT_EQ(VarCompareValue(Variant(Currency::FromScaled(1)), Variant(0)), vrGreaterThan);
    EXPECT_EQ(messageOf<EVariantTypeCastError>([] { VarCompareValue(Variant(1), Variant("abc")); }),
              QStringLiteral("Could not convert variant of type (String) into type (Double)"));
    // through references
    Variant x(3);
    EXPECT_EQ(VarCompareValue(Variant::AsRef(x), Variant(3)), vrEqual);
}

TEST(Variant, ArithmeticPromotion)
{
    const int maxInt = std::numeric_limits<int>::max();
    const qint64 maxInt64 = std::numeric_limits<qint64>::max();
    const struct { const char *name; Variant result; TVarType type; const char *text; } rows[] = {
        {"int + int", Variant(2) + Variant(3), varInteger, "5"},
        {"int overflow widens", Variant(maxInt) + Variant(1), varInt64, "2147483648"},
        {"int * int overflow widens", Variant(65536) * Variant(65536), varInt64, "4294967296"},
        {"int64 overflow goes to double", Variant(maxInt64) + Variant(1), varDouble, "9.22337203685478E18"},
        {"smallint + byte", Variant::FromSmallint(2) + Variant::FromByte(3), varInteger, "5"},
        {"int64 stays int64", Variant(qint64(2)) + Variant(3), varInt64, "5"},
        {"string + string", Variant("a") + Variant("b"), varUString, "ab"},
        {"ansi + ansi", Variant::FromAnsi("a") + Variant::FromAnsi("b"), varString, "ab"},
        {"number text + number", Variant("1") + Variant(1), varDouble, "2"},
        {"number text * number text", Variant("2") * Variant("3"), varDouble, "6"},
        {"empty + number", Variant() + Variant(1), varInteger, "1"},
        {"empty + string", Variant() + Variant("x"), varUString, "x"},
        {"null + number", Variant::Null() + Variant(1), varNull, ""},
        {"number - null", Variant(1) - Variant::Null(), varNull, ""},
        {"null + string", Variant::Null() + Variant("x"), varNull, ""},
        {"division gives double", Variant(7) / Variant(2), varDouble, "3.5"},
        {"even division still double", Variant(6) / Variant(3), varDouble, "2"},
        {"0.1 + 0.2", Variant(0.1) + Variant(0.2), varDouble, "0.3"},
        {"double + int", Variant(1.5) + Variant(1), varDouble, "2.5"},
        {"currency + int", Variant(Currency::FromScaled(15000)) + Variant(1), varCurrency, "2.5"},
        {"currency * currency", Variant(Currency::FromScaled(15000)) * Variant(Currency::FromScaled(25000)),
         varCurrency, "3.75"},
        {"currency + double", Variant(Currency::FromScaled(15000)) + Variant(0.25), varDouble, "1.75"},
        {"currency + text", Variant(Currency::FromScaled(1)) + Variant("0.0002"), varCurrency, "0.0003"},
        {"date + int", Variant::FromDateTime(EncodeDate(2024, 2, 28)) + Variant(1), varDate, "02/29/2024"},
        {"date - date", Variant::FromDateTime(10) - Variant::FromDateTime(7.5), varDouble, "2.5"},
        {"bool + int", Variant(true) + Variant(1), varInteger, "0"},
        {"int div", VarIntDiv(7, 2), varInteger, "3"},
        {"negative mod", VarMod(-7, 2), varInteger, "-1"},
        {"int div of doubles rounds", VarIntDiv(7.6, 2), varInteger, "4"},
        {"negate MinInt widens", -Variant(std::numeric_limits<int>::min()), varInt64, "2147483648"},
        {"negate double", -Variant(1.5), varDouble, "-1.5"},
        {"negate null", -Variant::Null(), varNull, ""},
        {"and of booleans", VarAnd(true, false), varBoolean, "False"},
        {"or of boolean and text", VarOr(Variant(false), Variant("True")), varBoolean, "True"},
        {"xor of booleans", VarXor(true, true), varBoolean, "False"},
        {"and of integers", VarAnd(12, 10), varInteger, "8"},
        {"or of integers", VarOr(12, 3), varInteger, "15"},
        {"and with null", VarAnd(Variant::Null(), true), varNull, ""},
        {"not boolean", VarNot(true), varBoolean, "False"},
        {"not integer", VarNot(0), varInteger, "-1"},
        {"not int64", VarNot(Variant(qint64(0))), varInt64, "-1"},
        {"shl", VarShl(1, 4), varInteger, "16"},
        {"shl wraps at 32 bits", VarShl(1, 31), varInteger, "-2147483648"},
        {"shr is logical", VarShr(-1, 28), varInteger, "15"},
        {"shl int64", VarShl(Variant(qint64(1)), 40), varInt64, "1099511627776"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(r.result.Type(), r.type);
        EXPECT_EQ(VarToStr(r.result), QLatin1String(r.text));
    }
}

TEST(Variant, ArithmeticErrors)
{
    EXPECT_EQ(messageOf<EVariantTypeCastError>([] { return Variant("abc") + Variant(1); }),
              QStringLiteral("Could not convert variant of type (String) into type (Double)"));
    EXPECT_EQ(messageOf<EDivByZero>([] { return VarIntDiv(1, 0); }), QStringLiteral("Division by zero"));
    EXPECT_EQ(messageOf<EDivByZero>([] { return VarMod(1, 0); }), QStringLiteral("Division by zero"));
    EXPECT_EQ(messageOf<EZeroDivide>([] { return Variant(1) / Variant(0); }),
              QStringLiteral("Floating point division by zero"));
    EXPECT_EQ(messageOf<EZeroDivide>([] { return Variant(-1.5) / Variant(0.0); }),
              QStringLiteral("Floating point division by zero"));
    EXPECT_EQ(messageOf<EInvalidOp>([] { return Variant(0) / Variant(0); }),
              QStringLiteral("Invalid floating point operation"));
    EXPECT_EQ(messageOf<EOverflow>([] { return Variant(1e308) * Variant(10.0); }),
              QStringLiteral("Floating point overflow"));
    EXPECT_EQ(messageOf<EVariantInvalidOpError>([] { return VarArrayOf({1}) + Variant(1); }),
              QStringLiteral("Invalid variant operation"));
    EXPECT_EQ(messageOf<EVariantInvalidOpError>([] { return Variant(IPtr<IInterface>()) * Variant(1); }),
              QStringLiteral("Invalid variant operation"));
    // infinities given in are passed through, not reported as a new overflow
    EXPECT_TRUE(std::isinf((Variant(std::numeric_limits<double>::infinity()) + Variant(1)).RawDouble()));
}

TEST(Variant, ArrayBoundsAndConversionOnPut)
{
    Variant a = VarArrayCreate(5, 7, varInteger);
    EXPECT_EQ(a.Type(), varArray | varInteger);
    EXPECT_EQ(a.ArrayLowBound(), 5);
    EXPECT_EQ(a.ArrayHighBound(), 7);
    EXPECT_EQ(a.ArrayCount(), 3);
    EXPECT_EQ(VarArrayDimCount(a), 1);
    EXPECT_EQ(a.ArrayGet(5).Type(), varInteger);
    a.ArrayPut(6, Variant("42"));
    EXPECT_EQ(a.ArrayGet(6).Type(), varInteger);
    EXPECT_EQ(a.ArrayGet(6).RawInt(), 42);
    for (int bad : {4, 8, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(messageOf<EVariantBadIndexError>([&] { a.ArrayGet(bad); }),
                  QStringLiteral("Variant or safe array index out of bounds"));
        EXPECT_THROW(a.ArrayPut(bad, 1), EVariantBadIndexError);
    }
    EXPECT_THROW(a.ArrayPut(5, Variant("x")), EVariantTypeCastError);
    EXPECT_EQ(a.ArrayGet(5).RawInt(), 0) << "a failed put leaves the element";
    EXPECT_THROW(VarArrayLowBound(a, 2), EVariantBadIndexError);

    EXPECT_EQ(messageOf<EVariantError>([] { Variant(1).ArrayLowBound(); }), QStringLiteral("Variant is not an array"));
    EXPECT_EQ(messageOf<EVariantError>([] { VarArrayCreate(1, -5, varInteger); }),
              QStringLiteral("Error creating variant or safe array"));
    EXPECT_THROW(VarArrayCreate(0, 1, varNull), EVariantError);
    EXPECT_THROW(VarArrayCreate(0, std::numeric_limits<int>::max(), varVariant), EOutOfMemory);
    const Variant empty = VarArrayCreate(0, -1, varByte);
    EXPECT_EQ(empty.ArrayCount(), 0);
    EXPECT_EQ(VarArrayToBytes(empty), QByteArray());
}

TEST(Variant, SimpleElementTypesKeepRawLittleEndianStorage)
{
    const struct { TVarType type; int size; Variant value; const char *bytes; } rows[] = {
        {varSmallint, 2, Variant::FromSmallint(-2), "fe ff"},
        {varInteger, 4, Variant(0x01020304), "04 03 02 01"},
        {varSingle, 4, Variant::FromSingle(1.0f), "00 00 80 3f"},
        {varDouble, 8, Variant(1.0), "00 00 00 00 00 00 f0 3f"},
        {varCurrency, 8, Variant(Currency::FromScaled(1)), "01 00 00 00 00 00 00 00"},
        {varDate, 8, Variant::FromDateTime(2.0), "00 00 00 00 00 00 00 40"},
        {varError, 4, Variant::FromError(-1), "ff ff ff ff"},
        {varBoolean, 2, Variant(true), "ff ff"},
        {varByte, 1, Variant::FromByte(0xAB), "ab"},
        {varShortInt, 1, Variant::FromShortInt(-1), "ff"},
        {varWord, 2, Variant::FromWord(0x1234), "34 12"},
        {varLongWord, 4, Variant::FromLongWord(0x80000000u), "00 00 00 80"},
        {varInt64, 8, Variant(qint64(-2)), "fe ff ff ff ff ff ff ff"},
        {varUInt64, 8, Variant::FromUInt64(1), "01 00 00 00 00 00 00 00"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(VarTypeAsText(r.type).toStdString());
        EXPECT_EQ(VarArrayElementSize(r.type), r.size);
        Variant a = VarArrayCreate(1, 2, r.type);
        EXPECT_EQ(rawBytes(a), QByteArray(2 * r.size, '\0')) << "elements start at zero";
        a.ArrayPut(2, r.value);
        EXPECT_EQ(hexBytes(rawBytes(a).mid(r.size)), QLatin1String(r.bytes));
        EXPECT_TRUE(VarSameValue(a.ArrayGet(2), r.value));
        EXPECT_EQ(a.ArrayGet(2).Type(), r.type);
        EXPECT_EQ(a.ArrayGet(2).RawInt(), r.value.RawInt()) << "same slot bits as a fresh value";
    }
    for (TVarType t : {varOleStr, varVariant, varUString, varString, varUnknown}) {
        SCOPED_TRACE(t);
        EXPECT_EQ(VarArrayElementSize(t), 0);
        EXPECT_EQ(VarArrayCreate(0, 1, t).ArrayData(), nullptr);
    }
    // raw bytes written directly are what the elements read back
    Variant b = VarArrayCreate(0, 1, varBoolean);
    std::memcpy(b.ArrayData(), "\x01\x00\x00\x00", 4);
    EXPECT_EQ(b.ArrayGet(0).Type(), varBoolean);
    EXPECT_EQ(VarToStr(b.ArrayGet(0)), QStringLiteral("True"));
    EXPECT_EQ(VarToStr(b.ArrayGet(1)), QStringLiteral("False"));
}

TEST(Variant, ArraysCopyOnWrite)
{
    Variant a = VarArrayCreate(0, 2, varInteger);
    a.ArrayPut(0, 1);
    const void *before = static_cast<const Variant &>(a).ArrayData();
    Variant b = a;
    EXPECT_EQ(static_cast<const Variant &>(b).ArrayData(), before) << "a copy shares the storage";
    b.ArrayPut(0, 2);
    EXPECT_EQ(a.ArrayGet(0).RawInt(), 1);
    EXPECT_EQ(b.ArrayGet(0).RawInt(), 2);
    EXPECT_EQ(static_cast<const Variant &>(a).ArrayData(), before) << "the original kept its storage";

    // handing out writable data detaches as well
    Variant c = a;
    static_cast<qint32 *>(c.ArrayData())[1] = 77;
    EXPECT_EQ(a.ArrayGet(1).RawInt(), 0);
    EXPECT_EQ(c.ArrayGet(1).RawInt(), 77);

    // variant elements: nested arrays stay values too
    Variant outer = VarArrayOf({1, VarArrayOf({2, 3})});
    Variant copy = outer;
    Variant inner = copy.ArrayGet(1);
    inner.ArrayPut(0, 9);
    copy.ArrayPut(1, inner);
    EXPECT_EQ(VarToStr(outer.ArrayGet(1).ArrayGet(0)), QStringLiteral("2"));
    EXPECT_EQ(VarToStr(copy.ArrayGet(1).ArrayGet(0)), QStringLiteral("9"));

    // an array stored into itself holds its former self, not a cycle
    Variant self = VarArrayOf({1, 2});
    self.ArrayPut(0, self);
    EXPECT_TRUE(self.ArrayGet(0).IsArray());
    EXPECT_EQ(VarToStr(self.ArrayGet(0).ArrayGet(0)), QStringLiteral("1"));
}

TEST(Variant, RedimKeepsElements)
{
    Variant a = VarArrayCreate(1, 3, varUString);
    EXPECT_EQ(a.ArrayGet(1).Type(), varUString);
    a.ArrayPut(1, 5);
    EXPECT_EQ(a.ArrayGet(1).Type(), varUString);
    a.ArrayPut(3, "three");
    Variant shared = a;
    a.ArrayRedim(4);
    EXPECT_EQ(a.ArrayHighBound(), 4);
    EXPECT_EQ(VarToStr(a.ArrayGet(1)), QStringLiteral("5"));
    EXPECT_EQ(VarToStr(a.ArrayGet(3)), QStringLiteral("three"));
    EXPECT_EQ(a.ArrayGet(4).Type(), varUString);
    EXPECT_EQ(shared.ArrayHighBound(), 3) << "the copy keeps its bounds";
    a.ArrayRedim(1);
    EXPECT_EQ(a.ArrayCount(), 1);
    a.ArrayRedim(0);
    EXPECT_EQ(a.ArrayCount(), 0);
    EXPECT_THROW(a.ArrayRedim(-1), EVariantError);

    Variant d = VarArrayCreate(0, 0, varDouble);
    d.ArrayPut(0, 1.5);
    d.ArrayRedim(2);
    EXPECT_EQ(hexBytes(rawBytes(d)), QStringLiteral("00 00 00 00 00 00 f8 3f") + QStringLiteral(" 00").repeated(16));
}

TEST(Variant, ByteArrays)
{
    const QByteArray bytes("\x00\x01\xFE\xFF", 4);
    const Variant v = VarArrayFromBytes(bytes);
    EXPECT_EQ(v.Type(), varArray | varByte);
    EXPECT_EQ(VarArrayToBytes(v), bytes);
    EXPECT_EQ(VarArrayToBytes(VarArrayOf({1, 2, 255})), QByteArray("\x01\x02\xFF"));
    EXPECT_THROW(VarArrayToBytes(VarArrayOf({256})), EVariantOverflowError);
    EXPECT_THROW(VarArrayToBytes(Variant(1)), EVariantError);
}

TEST(Variant, ByReferenceVariantsSeeTheirTarget)
{
    Variant x(5);
    Variant r = Variant::AsRef(x);
    EXPECT_EQ(r.Type(), varByRef | varInteger);
    EXPECT_TRUE(r.IsByRef());
    EXPECT_EQ(&r.Deref(), &x);
    EXPECT_EQ(VarToStr(r), QStringLiteral("5"));
    x = 7;
    EXPECT_EQ(VarToStr(r), QStringLiteral("7"));
    EXPECT_EQ(VarToInt(r + Variant(1)), 8);
    const Variant again = Variant::AsRef(r);
    EXPECT_EQ(&again.Deref(), &x) << "a reference to a reference is the same reference";

    Variant arr = VarArrayCreate(0, 0, varInteger);
    Variant ra = Variant::AsRef(arr);
    ra.ArrayPut(0, 9);
    EXPECT_EQ(arr.ArrayGet(0).RawInt(), 9);
    EXPECT_TRUE(VarIsArray(ra));
}

TEST(Variant, QVariantRoundTrips)
{
    const Variant values[] = {
        Variant(5), Variant(qint64(1) << 40), Variant(2.5), Variant(true), Variant(QStringLiteral("x\u20AC")),
        Variant::FromLongWord(4000000000u), Variant::FromUInt64(std::numeric_limits<quint64>::max()),
        Variant::Null(), Variant(), Variant::FromDateTime(EncodeDateTime(2024, 1, 2, 3, 4, 5, 6)),
        VarArrayFromBytes(QByteArray("\x00\x80", 2)), VarArrayOf({1, "two", VarArrayOf({3.5})}),
    };
    for (const Variant &v : values) {
        SCOPED_TRACE(VarTypeAsText(v.Type()).toStdString());
        const Variant back = Variant::FromQVariant(v.ToQVariant());
        EXPECT_EQ(back.Type(), v.Type());
        EXPECT_TRUE(VarSameValue(back, v) || (v.IsArray() && VarArrayToBytes(back) == VarArrayToBytes(v)));
    }
    EXPECT_EQ(Variant(QStringLiteral("s")).ToQVariant().typeId(), QMetaType::QString);
    EXPECT_EQ(Variant::FromDateTime(1).ToQVariant().typeId(), QMetaType::QDateTime);
    EXPECT_EQ(VarArrayFromBytes("ab").ToQVariant().typeId(), QMetaType::QByteArray);
    EXPECT_EQ(Variant::FromQVariant(QVariant(QStringList{"a", "b"})).ArrayCount(), 2);
    EXPECT_EQ(Variant::FromQVariant(QVariant(QDate(2024, 1, 2))).Type(), varDate);
}

TEST(Variant, TypeNamesAndZeroValues)
{
    const struct { TVarType t; const char *name; } names[] = {
        {varInteger, "Integer"}, {varUString, "String"}, {varString, "AnsiString"}, {varOleStr, "OleStr"},
        {TVarType(varArray | varVariant), "Array Variant"}, {TVarType(varByRef | varDouble), "Ref Double"},
        {varUInt64, "UInt64"}, {varEmpty, "Empty"},
    };
    for (const auto &n : names)
        EXPECT_EQ(VarTypeAsText(n.t), QLatin1String(n.name));

    for (TVarType t : {varSmallint, varInteger, varSingle, varDouble, varCurrency, varDate, varBoolean, varShortInt,
                       varByte, varWord, varLongWord, varInt64, varUInt64, varOleStr, varUString, varString}) {
        SCOPED_TRACE(t);
        const Variant z = Variant::ZeroOf(t);
        EXPECT_EQ(z.Type(), t);
        EXPECT_EQ(z.IsString() ? 0 : z.RawInt(), 0);
        EXPECT_TRUE(VarSameValue(VarCast(Variant(), t), z));
    }
    EXPECT_TRUE(Variant::ZeroOf(varVariant).IsEmpty());
    EXPECT_THROW(Variant::ZeroOf(0x0FFF), EVariantTypeCastError);

    EXPECT_TRUE(VarIsStr(Variant::FromAnsi("")));
    EXPECT_TRUE(VarIsNumeric(Variant(Currency())));
    EXPECT_FALSE(VarIsNumeric(Variant(true)));
    EXPECT_FALSE(VarIsOrdinal(Variant(1.0)));
    EXPECT_TRUE(VarIsFloat(Variant::FromSingle(1)));
    EXPECT_FALSE(VarIsFloat(Variant::FromDateTime(1)));
}
