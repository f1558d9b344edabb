// Library functions on variants and arrays.
#include <ZorCompCore/script/Library_p.h>

#include <ZorCompCore/platform/Exception.h>

namespace zor::script::lib {

Value fnVarIsNull(Args a, int) { return Value(a[0]->k == VK::Null); }
Value fnVarToStr(Args a, int) { return Value(str(a, 0)); }
Value fnNull(Args, int) { return Value::Null(); }
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
