// Runtime values of the script engine. The engine works on its own compact
// value (integers, floats and strings without a trip through the platform
// variant) and converts to and from zor::Variant only where values cross the
// host API.
#pragma once

#include <ZorCompCore/platform/Variant.h>
#include <ZorCompCore/zor_export.h>

#include <QHash>
#include <QString>
#include <exception>
#include <memory>
#include <vector>

class QObject;

namespace zor::script {

// The kinds from Str on own heap parts (string or box); the ones before do not.
enum class VK : quint8 {
    Empty, // unassigned
    Null,
    Bool,
    Int,    // i
    Double, // d
    Date,   // d, days since 1899-12-30
    Obj,    // o: an object travelling through the engine
    Ref,    // ref: a by-reference parameter slot, never seen by user code
    Str,    // s
    Array,  // box: ArrayBox
    Var,    // box: VariantBox, anything else (currency, interfaces, byte arrays …)
    Exc,    // box: ExceptionBox, an exception object caught or created by a script
    Map,    // box: MapBox, an object of named properties (JScript objects, functions, Math, Date)
};

// Heap part of arrays and boxed variants, shared between copies.
struct Boxed
{
    virtual ~Boxed() = default;
};

struct ArrayBox;
struct MapBox;
struct Routine;

// An exception as scripts see it: its message and class, and the original
// C++ exception when the host raised it, so that re-raising keeps its type.
struct ZOR_EXPORT ExceptionBox : Boxed
{
    QString Message;
    QByteArray ClassName;
    std::exception_ptr Original;
};

struct ZOR_EXPORT VariantBox : Boxed
{
    explicit VariantBox(Variant v) : V(std::move(v)) {}
    Variant V;
};

class ZOR_EXPORT Value
{
public:
    Value() noexcept { i = 0; }
    Value(bool b) noexcept : k(VK::Bool) { i = b; }
    Value(int v) noexcept : k(VK::Int) { i = v; }
    Value(qint64 v) noexcept : k(VK::Int) { i = v; }
    Value(double v) noexcept : k(VK::Double) { d = v; }
    Value(QString v) noexcept : k(VK::Str), s(std::move(v)) { i = 0; }
    Value(const char16_t *v) : Value(QString::fromUtf16(v)) {}

    static Value Null() { Value r; r.k = VK::Null; return r; }
    static Value Date(double dt) { Value r; r.k = VK::Date; r.d = dt; return r; }
    // nil is an object value too: it compares equal to null and to 0.
    static Value Object(QObject *obj) { Value r; r.k = VK::Obj; r.o = obj; return r; }
    static Value Reference(Value *target) { Value r; r.k = VK::Ref; r.ref = target; return r; }
    static Value NewArray(int low, int high);
    static Value NewException(QString message, QByteArray className, std::exception_ptr original = {});

    // Engine value of a platform variant; by-reference variants are read through.
    static Value FromVariant(const Variant &v);
    Variant ToVariant() const;

    VK Kind() const { return k; }
    bool IsEmpty() const { return k == VK::Empty; }
    bool IsNull() const { return k == VK::Null; }
    bool IsString() const { return k == VK::Str; }
    bool IsNumber() const { return k == VK::Int || k == VK::Double; }
    bool OwnsHeap() const { return k >= VK::Str; }
    const ExceptionBox *ExceptionData() const
    {
        return k == VK::Exc ? static_cast<const ExceptionBox *>(box.get()) : nullptr;
    }
    // A variant holding an interface (the only values reference clearing drops).
    bool HoldsInterface() const;

    // Conversions with the variant rules; EVariantTypeCastError when impossible.
    qint64 ToInt() const;
    double ToDouble() const;
    bool ToBool() const;
    QString ToString() const; // VarToStr rules
    QObject *ToObject() const; // nil for 0/empty/null; EInvalidCast for non-objects

    ArrayBox *Array() const;
    MapBox *Map() const;
    // Writable array storage: copies the elements first when they are shared.
    ArrayBox *MutableArray();

    VK k = VK::Empty;
    union {
        qint64 i;
        double d;
        QObject *o;
        Value *ref;
    };
    QString s;
    std::shared_ptr<Boxed> box;
};

// Elements of an array value (defined after Value: it holds Values).
struct ZOR_EXPORT ArrayBox : Boxed
{
    ArrayBox() = default;
    ArrayBox(const ArrayBox &) = default;
    ~ArrayBox() override; // frees nested arrays and objects without recursion
    int Low = 0;
    int Depth = 1; // arrays inside arrays, counting this one (bounded: see StoreElement)
    // Shared by every copy of the value (JScript arrays are objects); false:
    // a copy is made before the first write through a shared value.
    bool ByReference = false;
    std::vector<Value> Items;
};

inline ArrayBox *Value::Array() const
{
    return k == VK::Array ? static_cast<ArrayBox *>(box.get()) : nullptr;
}

// An object of named properties, shared by every copy of its value. The
// engine's own objects of this kind say what they are in Kind: a function
// value (the routine it calls), Math, a Date (its time value).
struct ZOR_EXPORT MapBox : Boxed
{
    ~MapBox() override;
    enum class MK : quint8 { Plain, Function, Math, Date };
    MK Kind = MK::Plain;
    int Depth = 1; // objects and arrays inside, counting this one
    double Time = 0; // Date: milliseconds since 1970-01-01 UTC
    // Function: the routine; it stays owned by its program, and a call after
    // the program is gone is an error.
    std::weak_ptr<Routine> Fn;
    QString FnName;
    // Function: values passed in front of the caller's arguments (the cells
    // of outer variables a JScript inner function uses).
    std::vector<Value> Bound;

    Value *Find(const QString &name);
    void Put(const QString &name, Value v);
    const std::vector<std::pair<QString, Value>> &Properties() const { return Props; }
    // Moves every value it holds (properties and bound values) to the end of
    // into, leaving it empty: how a ring of references is broken.
    void TakeValues(std::vector<Value> &into);

private:
    std::vector<std::pair<QString, Value>> Props; // in the order they were added
    std::unique_ptr<QHash<QString, size_t>> Index; // by name, once there are many
};

inline MapBox *Value::Map() const
{
    return k == VK::Map ? static_cast<MapBox *>(box.get()) : nullptr;
}

// Operators with the classic variant rules; integers and floats are handled
// here, everything else goes through zor::Variant's arithmetic.
ZOR_EXPORT Value Add(const Value &a, const Value &b);
ZOR_EXPORT Value Sub(const Value &a, const Value &b);
ZOR_EXPORT Value Mul(const Value &a, const Value &b);
ZOR_EXPORT Value Divide(const Value &a, const Value &b);   // '/': always a float
ZOR_EXPORT Value IntDiv(const Value &a, const Value &b);   // div
ZOR_EXPORT Value Mod(const Value &a, const Value &b);
ZOR_EXPORT Value Neg(const Value &a);
ZOR_EXPORT Value Not(const Value &a);
ZOR_EXPORT Value And(const Value &a, const Value &b);
ZOR_EXPORT Value Or(const Value &a, const Value &b);
ZOR_EXPORT Value Xor(const Value &a, const Value &b);
ZOR_EXPORT Value Shl(const Value &a, const Value &b);
ZOR_EXPORT Value Shr(const Value &a, const Value &b);
// -1, 0, 1; 2 when unordered (null against a value).
ZOR_EXPORT int Compare(const Value &a, const Value &b);
ZOR_EXPORT bool Equal(const Value &a, const Value &b);

// True when the array or object v holds, directly or through other arrays and
// objects, the container target (storing v into target would close a cycle).
ZOR_EXPORT bool Reaches(const Value &v, const Boxed *target);

// Objects that have entered the engine, so that an integer coming back from
// the host is only taken as an object when it really names one.
ZOR_EXPORT void RegisterObject(QObject *obj);
ZOR_EXPORT QObject *KnownObject(quintptr address);

} // namespace zor::script
