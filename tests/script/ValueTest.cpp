// The engine's values: the integer/float/string fast paths must agree with
// the variant rules they stand in for, and conversions must round-trip.
#include "TestUtil.h"

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/script/Value.h>

#include <QObject>
#include <limits>

using namespace zor;
using namespace zor::script;

namespace {

TEST(ScriptValue, ArithmeticKeepsIntegersAndWidensOnOverflow)
{
    const qint64 big = std::numeric_limits<qint64>::max();
    struct Row
    {
        const char *name;
        Value got;
        VK kind;
        double expected;
    } rows[] = {
        {"int + int", Add(Value(2), Value(3)), VK::Int, 5},
        {"int overflow widens", Add(Value(big), Value(1)), VK::Double, double(big) + 1},
        {"int * int overflow", Mul(Value(big), Value(2)), VK::Double, double(big) * 2},
        {"int - float", Sub(Value(5), Value(0.5)), VK::Double, 4.5},
        {"int / int is float", Divide(Value(7), Value(2)), VK::Double, 3.5},
        {"div truncates", IntDiv(Value(-7), Value(2)), VK::Int, -3},
        {"mod keeps the dividend's sign", Mod(Value(-7), Value(3)), VK::Int, -1},
        {"min div -1 does not trap", IntDiv(Value(std::numeric_limits<qint64>::min()), Value(-1)), VK::Int,
         double(std::numeric_limits<qint64>::min())},
        {"neg", Neg(Value(4)), VK::Int, -4},
        {"shl", Shl(Value(1), Value(10)), VK::Int, 1024},
        {"xor", Xor(Value(6), Value(3)), VK::Int, 5},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(r.got.k, r.kind);
        EXPECT_DOUBLE_EQ(r.got.ToDouble(), r.expected);
    }
}

TEST(ScriptValue, DivisionByZeroRaisesTheRuntimeMessages)
{
    try {
        Divide(Value(1), Value(0));
        ADD_FAILURE();
    } catch (const EZeroDivide &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Floating point division by zero"));
    }
    EXPECT_THROW(Divide(Value(0.0), Value(0)), EInvalidOp);
    EXPECT_THROW(IntDiv(Value(1), Value(0)), EDivByZero);
    EXPECT_THROW(Value(1e30).ToInt(), EVariantOverflowError) << "no undefined float-to-integer cast";
    EXPECT_THROW(Mod(Value(1), Value(0)), EDivByZero);
}

TEST(ScriptValue, ComparisonsAndEquality)
{
    EXPECT_EQ(Compare(Value(1), Value(1.5)), -1);
    EXPECT_EQ(Compare(Value(QStringLiteral("b")), Value(QStringLiteral("a"))), 1);
    EXPECT_EQ(Compare(Value(QStringLiteral("a")), Value(QStringLiteral("A"))), 1) << "strings compare by code unit";
    EXPECT_EQ(Compare(Value(false), Value(true)), -1);
    EXPECT_TRUE(Equal(Value::Null(), Value::Null()));
    EXPECT_FALSE(Equal(Value::Null(), Value(0)));
    QObject o;
    EXPECT_TRUE(Equal(Value::Object(nullptr), Value::Null())) << "nil equals null";
    EXPECT_TRUE(Equal(Value::Object(&o), Value(qint64(quintptr(&o)))));
    EXPECT_FALSE(Equal(Value::Object(&o), Value::Object(nullptr)));
    EXPECT_FALSE(Equal(Value::Object(&o), Value(QStringLiteral("x"))));
}

TEST(ScriptValue, VariantRoundTrips)
{
    const Value values[] = {
        Value(), Value::Null(), Value(true), Value(qint64(1) << 40), Value(-3), Value(2.25),
        Value(QStringLiteral("text")), Value::Date(45000.5),
    };
    for (const Value &v : values) {
        SCOPED_TRACE(v.ToString().toStdString());
        const Value back = Value::FromVariant(v.ToVariant());
        EXPECT_EQ(back.k, v.k);
        EXPECT_TRUE(back.k == VK::Empty || back.k == VK::Null || Equal(back, v));
    }
    Value arr = Value::NewArray(1, 3);
    arr.MutableArray()->Items[1] = Value(QStringLiteral("two"));
    const Variant va = arr.ToVariant();
    EXPECT_EQ(va.ArrayLowBound(), 1);
    EXPECT_EQ(va.ArrayHighBound(), 3);
    const Value back = Value::FromVariant(va);
    ASSERT_NE(back.Array(), nullptr);
    EXPECT_EQ(back.Array()->Low, 1);
    EXPECT_EQ(back.Array()->Items[1].ToString(), QStringLiteral("two"));
}

TEST(ScriptValue, ArraysAreValues)
{
    Value a = Value::NewArray(0, 1);
    a.MutableArray()->Items[0] = Value(1);
    Value b = a;
    b.MutableArray()->Items[0] = Value(2);
    EXPECT_EQ(a.Array()->Items[0].ToInt(), 1) << "writing a copy must not change the original";
    EXPECT_EQ(b.Array()->Items[0].ToInt(), 2);
}

TEST(ScriptValue, ObjectsAreOnlyTakenFromKnownAddresses)
{
    auto *o = new QObject;
    const quintptr address = quintptr(o);
    EXPECT_THROW(Value(qint64(address)).ToObject(), EInvalidCast);
    RegisterObject(o);
    EXPECT_EQ(Value(qint64(address)).ToObject(), o);
    delete o;
    EXPECT_THROW(Value(qint64(address)).ToObject(), EInvalidCast) << "a destroyed object is forgotten";
    EXPECT_EQ(Value(qint64(0)).ToObject(), nullptr);
}

} // namespace
