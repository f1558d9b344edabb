// Library functions on variants and arrays.
#include <ZorCompCore/script/Library_p.h>
#include <ZorCompCore/script/Interpreter.h>
#include <ZorCompCore/script/Runtime_p.h>

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Variant.h>

#include <algorithm>

namespace zor::script::lib {

Value fnVarIsNull(Args a, int) { return Value(a[0]->k == VK::Null); }
Value fnVarToStr(Args a, int) { return Value(str(a, 0)); }
Value fnNull(Args, int) { return Value::Null(); }
Value fnVarIsEmpty(Args a, int) { return Value(a[0]->k == VK::Empty); }

int varTypeCode(const Value &v, int stringCode)
{
    switch (v.k) {
    case VK::Empty: return varEmpty;
    case VK::Null: return varNull;
    case VK::Bool: return varBoolean;
    case VK::Int: return v.i >= INT32_MIN && v.i <= INT32_MAX ? varInteger : varInt64;
    case VK::Double: return varDouble;
    case VK::Date: return varDate;
    case VK::Str: return stringCode;
    case VK::Obj: case VK::Exc: case VK::Map: return varDispatch;
    case VK::Array: return varArray | varVariant;
    case VK::Var: return static_cast<const VariantBox *>(v.box.get())->V.Type();
    case VK::Ref: return varTypeCode(*v.ref, stringCode);
    }
    return varEmpty;
}

Value fnVarType(Args a, int) { return Value(varTypeCode(*a[0], varUString)); }
Value fnAssigned(Args a, int) { return Value(a[0]->ToObject() != nullptr); }

// Arrays

Value fnSetLength(Args a, int)
{
    const qint64 len = integer(a, 1);
    if (len < 0 || len > 100'000'000)
        throw ERangeError(QStringLiteral("Range check error"));
    if (a[0]->k == VK::Str) {
        a[0]->s.resize(qsizetype(len));
        return Value();
    }
    if (a[0]->k != VK::Array)
        *a[0] = Value::NewArray(0, -1);
    a[0]->MutableArray()->Items.resize(size_t(len));
    return Value();
}

namespace {

constexpr qint64 kMaxElements = 100'000'000;

// Dynamic arrays that assignment shares: a write through one variable shows
// in every other, while resizing hands the resized variable a copy of its
// own (a shared or fixed-size array is never resized in place). New
// elements get fill unless it is empty.
void resizeShared(Value &target, qint64 len, const Value &fill)
{
    if (len < 0 || len > kMaxElements)
        throw ERangeError(QStringLiteral("Range check error"));
    if (target.k == VK::Str) {
        target.s.resize(qsizetype(len));
        return;
    }
    const ArrayBox *old = target.Array();
    if (!old || !old->ByReference || target.box.use_count() > 1) {
        auto fresh = std::make_shared<ArrayBox>();
        fresh->ByReference = true;
        if (old) {
            fresh->Depth = old->Depth;
            const size_t keep = std::min(old->Items.size(), size_t(len));
            fresh->Items.assign(old->Items.begin(), old->Items.begin() + qsizetype(keep));
        }
        Value v;
        v.k = VK::Array;
        v.box = std::move(fresh);
        target = std::move(v);
    }
    ArrayBox *arr = target.MutableArray();
    const size_t had = arr->Items.size();
    arr->Items.resize(size_t(len));
    if (!fill.IsEmpty() && arr->Items.size() > had) {
        if (const ArrayBox *f = fill.Array()) // records are arrays of their fields
            arr->Depth = std::max(arr->Depth, f->Depth + 1);
        for (size_t i = had; i < arr->Items.size(); ++i)
            arr->Items[i] = fill;
    }
}

// Each level resized, then every element of it to the next level's length.
void resizeLevels(Value &target, const qint64 *lengths, int levels, const Value &fill)
{
    resizeShared(target, lengths[0], levels == 1 ? fill : Value());
    if (levels == 1 || target.k != VK::Array)
        return;
    ArrayBox *arr = target.MutableArray();
    int depth = 1;
    for (Value &e : arr->Items) {
        if (e.k != VK::Array && e.k != VK::Str)
            e = Value();
        resizeLevels(e, lengths + 1, levels - 1, fill);
        if (const ArrayBox *inner = e.Array())
            depth = std::max(depth, inner->Depth);
    }
    arr->Depth = std::max(arr->Depth, depth + 1);
}

} // namespace

Value fnSetLengthShared(Args a, int n)
{
    resizeShared(*a[0], integer(a, 1), n > 2 ? *a[2] : Value());
    return Value();
}

// SetLength(A, L1, L2, …) as (A, fill, L1, L2, …). All lengths are checked
// before anything changes, the elements they make together too.
Value fnSetLengthDims(Args a, int n)
{
    qint64 lengths[8];
    const int levels = std::min(n - 2, 8);
    qint64 total = 1;
    for (int i = 0; i < levels; ++i) {
        lengths[i] = integer(a, 2 + i);
        if (lengths[i] < 0 || lengths[i] > kMaxElements)
            throw ERangeError(QStringLiteral("Range check error"));
        total = std::min(total * std::max<qint64>(lengths[i], 1), kMaxElements + 1);
    }
    if (total > kMaxElements)
        throw ERangeError(QStringLiteral("Range check error"));
    CheckSize(qsizetype(total) * qsizetype(sizeof(Value)));
    resizeLevels(*a[0], lengths, levels, *a[1]);
    return Value();
}

// A fixed-size array of low..high whose elements all start as fill (shared
// until written: the elements of a fixed-size array are values).
Value fnNewArray(Args a, int)
{
    const qint64 low = integer(a, 0), high = integer(a, 1);
    if (high - low > 10'000'000 || high < low - 1)
        throw ERangeError(QStringLiteral("Range check error"));
    CheckSize(qsizetype(high - low + 1) * qsizetype(sizeof(Value)));
    Value r = Value::NewArray(int(low), int(high));
    ArrayBox *arr = r.MutableArray();
    if (const ArrayBox *f = a[2]->Array())
        arr->Depth = f->Depth + 1;
    if (arr->Depth > 64)
        throw EfsScriptError(QStringLiteral("Arrays nested too deeply"));
    for (Value &e : arr->Items)
        e = *a[2];
    return r;
}

Value fnHigh(Args a, int)
{
    if (const ArrayBox *arr = a[0]->Array())
        return Value(qint64(arr->Low) + qint64(arr->Items.size()) - 1);
    return Value(qint64(str(a, 0).size()));
}

Value fnLow(Args a, int)
{
    if (const ArrayBox *arr = a[0]->Array())
        return Value(qint64(arr->Low));
    return Value(qint64(1));
}

} // namespace zor::script::lib
