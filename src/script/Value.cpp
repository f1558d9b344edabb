// Runtime values: conversions and operators with fast paths for the common
// integer, float and string cases.
#include <ZorCompCore/script/Value.h>

#include <ZorCompCore/platform/Exception.h>

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <cmath>

namespace zor::script {

namespace {

QMutex g_objectsLock;
QHash<quintptr, QPointer<QObject>> &knownObjects()
{
    static QHash<quintptr, QPointer<QObject>> objects;
    return objects;
}

bool bothInt(const Value &a, const Value &b) { return a.k == VK::Int && b.k == VK::Int; }

bool plainNumber(const Value &v) { return v.k == VK::Int || v.k == VK::Double; }

double num(const Value &v) { return v.k == VK::Int ? double(v.i) : v.d; }

// Anything the fast paths do not cover goes through the platform variant.
template <typename Op>
Value viaVariant(const Value &a, const Value &b, Op op)
{
    return Value::FromVariant(op(a.ToVariant(), b.ToVariant()));
}

[[noreturn]] void divByZero() { throw EDivByZero(QStringLiteral("Division by zero")); }

} // namespace

void RegisterObject(QObject *obj)
{
    if (!obj)
        return;
    QMutexLocker lock(&g_objectsLock);
    knownObjects().insert(quintptr(obj), QPointer<QObject>(obj));
}

QObject *KnownObject(quintptr address)
{
    QMutexLocker lock(&g_objectsLock);
    auto it = knownObjects().find(address);
    if (it == knownObjects().end())
        return nullptr;
    if (it->isNull()) { // destroyed since: forget it
        knownObjects().erase(it);
        return nullptr;
    }
    return it->data();
}

Value Value::NewArray(int low, int high)
{
    Value r;
    r.k = VK::Array;
    auto a = std::make_shared<ArrayBox>();
    a->Low = low;
    a->Items.resize(high >= low ? size_t(high - low + 1) : 0);
    r.box = std::move(a);
    return r;
}

Value Value::NewException(QString message, QByteArray className, std::exception_ptr original)
{
    Value r;
    r.k = VK::Exc;
    auto e = std::make_shared<ExceptionBox>();
    e->Message = std::move(message);
    e->ClassName = std::move(className);
    e->Original = std::move(original);
    r.box = std::move(e);
    return r;
}

namespace {

// Nested arrays and objects are freed from a list rather than by recursion:
// a script can chain them as deep as memory allows.
thread_local std::vector<std::shared_ptr<Boxed>> *t_releasing = nullptr;

template <typename Each>
void releaseNested(Each each)
{
    if (t_releasing) {
        each([](Value &v) {
            if (v.box && v.box.use_count() == 1 && (v.k == VK::Array || v.k == VK::Map))
                t_releasing->push_back(std::move(v.box));
        });
        return;
    }
    std::vector<std::shared_ptr<Boxed>> pending;
    t_releasing = &pending;
    each([&pending](Value &v) {
        if (v.box && v.box.use_count() == 1 && (v.k == VK::Array || v.k == VK::Map))
            pending.push_back(std::move(v.box));
    });
    while (!pending.empty()) {
        std::shared_ptr<Boxed> b = std::move(pending.back());
        pending.pop_back();
        b.reset(); // its own nested boxes land in pending
    }
    t_releasing = nullptr;
}

// Conversions that walk nested arrays stop at this depth.
constexpr int kMaxWalkDepth = 1000;
thread_local int t_walkDepth = 0;

} // namespace

ArrayBox::~ArrayBox()
{
    releaseNested([this](auto f) {
        for (Value &v : Items)
            f(v);
    });
}

MapBox::~MapBox()
{
    releaseNested([this](auto f) {
        for (auto &p : Props)
            f(p.second);
        for (Value &v : Bound)
            f(v);
    });
}

bool Reaches(const Value &v, const Boxed *target)
{
    if (v.k != VK::Array && v.k != VK::Map)
        return false;
    std::vector<const Boxed *> pending{v.box.get()};
    QSet<const Boxed *> seen;
    while (!pending.empty()) {
        const Boxed *b = pending.back();
        pending.pop_back();
        if (b == target)
            return true;
        if (seen.contains(b))
            continue;
        seen.insert(b);
        auto visit = [&pending](const Value &e) {
            if ((e.k == VK::Array || e.k == VK::Map) && e.box)
                pending.push_back(e.box.get());
        };
        if (auto *a = dynamic_cast<const ArrayBox *>(b)) {
            for (const Value &e : a->Items)
                visit(e);
        } else if (auto *m = dynamic_cast<const MapBox *>(b)) {
            for (const auto &p : m->Properties())
                visit(p.second);
        }
    }
    return false;
}

void MapBox::TakeValues(std::vector<Value> &into)
{
    for (auto &p : Props)
        into.push_back(std::move(p.second));
    for (Value &v : Bound)
        into.push_back(std::move(v));
    Props.clear();
    Bound.clear();
    Index.reset();
}

Value *MapBox::Find(const QString &name)
{
    if (Index) {
        auto it = Index->constFind(name);
        return it == Index->cend() ? nullptr : &Props[*it].second;
    }
    for (auto &p : Props)
        if (p.first == name)
            return &p.second;
    return nullptr;
}

void MapBox::Put(const QString &name, Value v)
{
    if (Value *p = Find(name)) {
        *p = std::move(v);
        return;
    }
    Props.emplace_back(name, std::move(v));
    if (Index) {
        Index->insert(name, Props.size() - 1);
    } else if (Props.size() > 12) {
        Index = std::make_unique<QHash<QString, size_t>>();
        for (size_t n = 0; n < Props.size(); ++n)
            Index->insert(Props[n].first, n);
    }
}

ArrayBox *Value::MutableArray()
{
    if (k != VK::Array)
        return nullptr;
    if (box.use_count() > 1 && !static_cast<ArrayBox *>(box.get())->ByReference) // copy on write: arrays are values
        box = std::make_shared<ArrayBox>(*static_cast<ArrayBox *>(box.get()));
    return static_cast<ArrayBox *>(box.get());
}

Value Value::FromVariant(const Variant &vin)
{
    const Variant &v = vin.Deref();
    if (v.IsArray() && v.ArrayElementType() != varByte) {
        const int lo = v.ArrayLowBound(), hi = v.ArrayHighBound();
        Value r = NewArray(lo, hi);
        auto *a = static_cast<ArrayBox *>(r.box.get());
        for (int n = lo; n <= hi; ++n)
            a->Items[size_t(n - lo)] = FromVariant(v.ArrayGet(n));
        return r;
    }
    switch (v.Type()) {
    case varEmpty: return Value();
    case varNull: return Null();
    case varBoolean: return Value(VarToBool(v));
    case varSmallint: case varInteger: case varShortInt: case varByte: case varWord:
    case varLongWord: case varInt64:
        return Value(VarToInt64(v));
    case varSingle: case varDouble: return Value(VarToDouble(v));
    case varDate: return Date(VarToDateTime(v));
    case varOleStr: case varString: case varUString: return Value(VarToStr(v));
    default: break;
    }
    Value r;
    r.k = VK::Var;
    r.box = std::make_shared<VariantBox>(v);
    return r;
}

Variant Value::ToVariant() const
{
    switch (k) {
    case VK::Empty: return Variant();
    case VK::Null: return Variant::Null();
    case VK::Bool: return Variant(i != 0);
    case VK::Int:
        if (i >= INT32_MIN && i <= INT32_MAX)
            return Variant(int(i));
        return Variant(i);
    case VK::Double: return Variant(d);
    case VK::Date: return Variant::FromDateTime(d);
    case VK::Str: return Variant(s);
    case VK::Obj: return Variant(qint64(quintptr(o))); // the object value: its address
    case VK::Array: {
        const ArrayBox *a = Array();
        struct Depth
        {
            Depth()
            {
                if (++t_walkDepth > kMaxWalkDepth) {
                    --t_walkDepth;
                    throw EVariantError(QStringLiteral("Arrays nested too deeply"));
                }
            }
            ~Depth() { --t_walkDepth; }
        } depth;
        Variant r = VarArrayCreate(a->Low, a->Low + int(a->Items.size()) - 1, varVariant);
        for (size_t n = 0; n < a->Items.size(); ++n)
            r.ArrayPut(a->Low + int(n), a->Items[n].ToVariant());
        return r;
    }
    case VK::Var: return static_cast<VariantBox *>(box.get())->V;
    case VK::Ref: return ref->ToVariant();
    case VK::Exc: return Variant(ExceptionData()->Message); // an exception reads as its message
    case VK::Map: return Map()->Kind == MapBox::MK::Date ? Variant::FromDateTime(Map()->Time / 86400000.0 + 25569.0)
                                                         : Variant();
    }
    return Variant();
}

bool Value::HoldsInterface() const
{
    if (k != VK::Var)
        return false;
    const TVarType t = static_cast<VariantBox *>(box.get())->V.Type();
    return t == varUnknown || t == varDispatch;
}

qint64 Value::ToInt() const
{
    switch (k) {
    case VK::Int: return i;
    case VK::Bool: return i ? -1 : 0;
    case VK::Double: case VK::Date:
        if (!(d > -9.2233720368547758e18 && d < 9.2233720368547758e18)) // NaN fails too
            throw EVariantOverflowError(
                QStringLiteral("Overflow while converting variant of type (Double) into type (Int64)"));
        return qint64(std::nearbyint(d)); // banker's rounding, as variants do
    case VK::Obj: return qint64(quintptr(o));
    case VK::Ref: return ref->ToInt();
    default: return VarToInt64(ToVariant());
    }
}

double Value::ToDouble() const
{
    switch (k) {
    case VK::Int: return double(i);
    case VK::Double: case VK::Date: return d;
    case VK::Bool: return i ? -1.0 : 0.0;
    case VK::Ref: return ref->ToDouble();
    default: return VarToDouble(ToVariant());
    }
}

bool Value::ToBool() const
{
    switch (k) {
    case VK::Bool: case VK::Int: return i != 0;
    case VK::Double: return d != 0;
    case VK::Obj: return o != nullptr;
    case VK::Ref: return ref->ToBool();
    default: return VarToBool(ToVariant());
    }
}

QString Value::ToString() const
{
    switch (k) {
    case VK::Str: return s;
    case VK::Empty: case VK::Null: return QString();
    case VK::Int: return QString::number(i);
    case VK::Bool: return i ? QStringLiteral("True") : QStringLiteral("False");
    case VK::Ref: return ref->ToString();
    default: return VarToStr(ToVariant());
    }
}

QObject *Value::ToObject() const
{
    switch (k) {
    case VK::Obj: return o;
    case VK::Empty: case VK::Null: return nullptr;
    case VK::Ref: return ref->ToObject();
    case VK::Int:
        if (i == 0)
            return nullptr;
        if (QObject *obj = KnownObject(quintptr(i)))
            return obj;
        break;
    default: break;
    }
    throw EInvalidCast(QStringLiteral("Invalid class typecast"));
}

Value Add(const Value &a, const Value &b)
{
    if (bothInt(a, b)) {
        qint64 r;
        if (!__builtin_add_overflow(a.i, b.i, &r))
            return Value(r);
        return Value(double(a.i) + double(b.i));
    }
    if (a.k == VK::Str && b.k == VK::Str)
        return Value(a.s + b.s);
    if (plainNumber(a) && plainNumber(b))
        return Value(num(a) + num(b));
    return viaVariant(a, b, [](const Variant &x, const Variant &y) { return x + y; });
}

Value Sub(const Value &a, const Value &b)
{
    if (bothInt(a, b)) {
        qint64 r;
        if (!__builtin_sub_overflow(a.i, b.i, &r))
            return Value(r);
        return Value(double(a.i) - double(b.i));
    }
    if (plainNumber(a) && plainNumber(b))
        return Value(num(a) - num(b));
    return viaVariant(a, b, [](const Variant &x, const Variant &y) { return x - y; });
}

Value Mul(const Value &a, const Value &b)
{
    if (bothInt(a, b)) {
        qint64 r;
        if (!__builtin_mul_overflow(a.i, b.i, &r))
            return Value(r);
        return Value(double(a.i) * double(b.i));
    }
    if (plainNumber(a) && plainNumber(b))
        return Value(num(a) * num(b));
    return viaVariant(a, b, [](const Variant &x, const Variant &y) { return x * y; });
}

Value Divide(const Value &a, const Value &b)
{
    if (plainNumber(a) && plainNumber(b)) {
        const double y = num(b), x = num(a);
        if (y == 0) {
            if (x == 0 || std::isnan(x))
                throw EInvalidOp(QStringLiteral("Invalid floating point operation"));
            throw EZeroDivide(QStringLiteral("Floating point division by zero"));
        }
        return Value(x / y);
    }
    return viaVariant(a, b, [](const Variant &x, const Variant &y) { return x / y; });
}

Value IntDiv(const Value &a, const Value &b)
{
    if (bothInt(a, b)) {
        if (b.i == 0)
            divByZero();
        if (b.i == -1)
            return Value(qint64(0ULL - quint64(a.i))); // INT64_MIN div -1 wraps instead of trapping
        return Value(a.i / b.i);
    }
    return viaVariant(a, b, [](const Variant &x, const Variant &y) { return VarIntDiv(x, y); });
}

Value Mod(const Value &a, const Value &b)
{
    if (bothInt(a, b)) {
        if (b.i == 0)
            divByZero();
        if (b.i == -1)
            return Value(qint64(0));
        return Value(a.i % b.i);
    }
    return viaVariant(a, b, [](const Variant &x, const Variant &y) { return VarMod(x, y); });
}

Value Neg(const Value &a)
{
    if (a.k == VK::Int && a.i != INT64_MIN)
        return Value(-a.i);
    if (a.k == VK::Double)
        return Value(-a.d);
    return Value::FromVariant(-a.ToVariant());
}

Value Not(const Value &a)
{
    if (a.k == VK::Bool)
        return Value(a.i == 0);
    if (a.k == VK::Int)
        return Value(~a.i);
    return Value::FromVariant(VarNot(a.ToVariant()));
}

Value And(const Value &a, const Value &b)
{
    if (a.k == VK::Bool && b.k == VK::Bool)
        return Value(a.i && b.i);
    if (bothInt(a, b))
        return Value(a.i & b.i);
    return viaVariant(a, b, [](const Variant &x, const Variant &y) { return VarAnd(x, y); });
}

Value Or(const Value &a, const Value &b)
{
    if (a.k == VK::Bool && b.k == VK::Bool)
        return Value(a.i || b.i);
    if (bothInt(a, b))
        return Value(a.i | b.i);
    return viaVariant(a, b, [](const Variant &x, const Variant &y) { return VarOr(x, y); });
}

Value Xor(const Value &a, const Value &b)
{
    if (a.k == VK::Bool && b.k == VK::Bool)
        return Value((a.i != 0) != (b.i != 0));
    if (bothInt(a, b))
        return Value(a.i ^ b.i);
    return viaVariant(a, b, [](const Variant &x, const Variant &y) { return VarXor(x, y); });
}

Value Shl(const Value &a, const Value &b)
{
    if (bothInt(a, b))
        return Value(qint64(quint64(a.i) << (b.i & 63)));
    return viaVariant(a, b, [](const Variant &x, const Variant &y) { return VarShl(x, y); });
}

Value Shr(const Value &a, const Value &b)
{
    if (bothInt(a, b))
        return Value(qint64(quint64(a.i) >> (b.i & 63)));
    return viaVariant(a, b, [](const Variant &x, const Variant &y) { return VarShr(x, y); });
}

int Compare(const Value &a, const Value &b)
{
    if (bothInt(a, b))
        return a.i < b.i ? -1 : (a.i > b.i ? 1 : 0);
    if (plainNumber(a) && plainNumber(b)) {
        const double x = num(a), y = num(b);
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (a.k == VK::Str && b.k == VK::Str) {
        const int c = QString::compare(a.s, b.s, Qt::CaseSensitive);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (a.k == VK::Bool && b.k == VK::Bool)
        return a.i == b.i ? 0 : (a.i ? 1 : -1); // False < True
    if (a.k == VK::Obj || b.k == VK::Obj) {
        // objects compare by address; nil, null, unassigned and 0 are all "no object"
        auto address = [](const Value &v, quintptr &out) {
            switch (v.k) {
            case VK::Obj: out = quintptr(v.o); return true;
            case VK::Int: out = quintptr(v.i); return true;
            case VK::Null: case VK::Empty: out = 0; return true;
            default: return false;
            }
        };
        quintptr x, y;
        if (!address(a, x) || !address(b, y))
            return 2;
        return x == y ? 0 : (x < y ? -1 : 1);
    }
    switch (VarCompareValue(a.ToVariant(), b.ToVariant())) {
    case vrEqual: return 0;
    case vrLessThan: return -1;
    case vrGreaterThan: return 1;
    case vrNotEqual: return 2;
    }
    return 2;
}

bool Equal(const Value &a, const Value &b)
{
    return Compare(a, b) == 0;
}

} // namespace zor::script
