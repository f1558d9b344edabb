// Library functions on variants and arrays.
#include <ZorCompCore/script/Library_p.h>

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

// Dynamic arrays that assignment shares: a write through one variable shows
// in every other, while resizing hands the resized variable a copy of its
// own (a shared or fixed-size array is never resized in place). An optional
// third argument fills the new elements.
Value fnSetLengthShared(Args a, int n)
{
    const qint64 len = integer(a, 1);
    if (len < 0 || len > 100'000'000)
        throw ERangeError(QStringLiteral("Range check error"));
    Value &target = *a[0];
    if (target.k == VK::Str) {
        target.s.resize(qsizetype(len));
        return Value();
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
    if (n > 2 && !a[2]->IsEmpty() && arr->Items.size() > had) {
        if (const ArrayBox *fill = a[2]->Array()) // records are arrays of their fields
            arr->Depth = std::max(arr->Depth, fill->Depth + 1);
        for (size_t i = had; i < arr->Items.size(); ++i)
            arr->Items[i] = *a[2];
    }
    return Value();
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
