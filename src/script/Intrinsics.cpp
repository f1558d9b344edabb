// Routines that belong to a syntax: set membership and re-dimensioning of
// arrays.
#include <ZorCompCore/script/Intrinsics_p.h>
#include <ZorCompCore/script/Library_p.h>

#include <ZorCompCore/platform/Exception.h>

#include <QHash>

#include <algorithm>

namespace zor::script {

namespace {

using Args = Value *const *;

bool within(const Value &x, const Value &lo, const Value &hi)
{
    const int l = Compare(x, lo);
    const int h = Compare(x, hi);
    return l != 2 && h != 2 && l >= 0 && h <= 0;
}

// Pairs of range ends; a single value comes with an empty upper end.
Value fnInSet(Args a, int n)
{
    for (int i = 1; i + 1 < n; i += 2)
        if (a[i + 1]->IsEmpty() ? Equal(*a[0], *a[i]) : within(*a[0], *a[i], *a[i + 1]))
            return Value(true);
    return Value(false);
}

Value fnIn(Args a, int)
{
    const Value &x = *a[0];
    if (const ArrayBox *arr = a[1]->Array()) {
        for (const Value &e : arr->Items)
            if (Equal(x, e))
                return Value(true);
        return Value(false);
    }
    if (a[1]->k == VK::Str)
        return Value(!x.ToString().isEmpty() && a[1]->s.contains(x.ToString()));
    return Value(Equal(x, *a[1]));
}

// ReDim: a fresh array of 0..high, keeping the leading elements with Preserve.
Value fnReDim(Args a, int)
{
    const qint64 high = a[1]->ToInt();
    if (high < -1 || high >= 100'000'000)
        throw ERangeError(QStringLiteral("Range check error"));
    Value r = Value::NewArray(0, int(high));
    if (a[2]->ToBool()) {
        if (const ArrayBox *old = a[0]->Array()) {
            ArrayBox *to = r.MutableArray();
            const size_t keep = std::min(old->Items.size(), to->Items.size());
            for (size_t i = 0; i < keep; ++i)
                to->Items[i] = old->Items[i];
        }
    }
    return r;
}

// Not in the reference: no script spells these names.
const Builtin kIntrinsics[] = {
    {"#INSET", 1, -1, 0, true, fnInSet, kInAll, nullptr, nullptr, nullptr, nullptr},
    {"#IN", 2, 2, 0, true, fnIn, kInAll, nullptr, nullptr, nullptr, nullptr},
    {"#REDIM", 3, 3, 0, true, fnReDim, kInAll, nullptr, nullptr, nullptr, nullptr},
    {"#SETLENGTH", 3, 3, 1u, false, lib::fnSetLengthShared, kInAll, nullptr, nullptr, nullptr, nullptr},
    {"#SETLENGTHN", 3, 10, 1u, false, lib::fnSetLengthDims, kInAll, nullptr, nullptr, nullptr, nullptr},
    {"#NEWARRAY", 3, 3, 0, true, lib::fnNewArray, kInAll, nullptr, nullptr, nullptr, nullptr},
};

} // namespace

const Builtin *FindIntrinsic(const QString &upperName)
{
    static const QHash<QString, const Builtin *> index = [] {
        QHash<QString, const Builtin *> h;
        for (const Builtin &b : kIntrinsics)
            h.insert(QString::fromLatin1(b.Name), &b);
        return h;
    }();
    return index.value(upperName);
}

} // namespace zor::script
