// Library functions on variants and arrays.
#include <ZorCompCore/script/Library_p.h>

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Variant.h>

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
