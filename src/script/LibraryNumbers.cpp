// Library functions on numbers: rounding, arithmetic, Inc and Dec.
#include <ZorCompCore/script/Library_p.h>

#include <ZorCompCore/platform/Exception.h>

#include <cmath>

namespace zor::script::lib {

qint64 checkedInt(double v)
{
    if (!std::isfinite(v) || v >= 9.2233720368547758e18 || v < -9.2233720368547758e18)
        throw EInvalidOp(QStringLiteral("Invalid floating point operation"));
    return qint64(v);
}

Value fnAbs(Args a, int)
{
    if (a[0]->k == VK::Int)
        return Value(a[0]->i < 0 ? -a[0]->i : a[0]->i);
    return Value(std::fabs(real(a, 0)));
}

// Round: half to even, as the runtime rounds.
Value fnRound(Args a, int) { return Value(checkedInt(std::nearbyint(real(a, 0)))); }
Value fnTrunc(Args a, int) { return Value(checkedInt(std::trunc(real(a, 0)))); }
Value fnInt(Args a, int) { return Value(std::trunc(real(a, 0))); }
Value fnFrac(Args a, int)
{
    const double v = real(a, 0);
    return Value(v - std::trunc(v));
}

Value fnSqrt(Args a, int)
{
    const double v = real(a, 0);
    if (v < 0)
        throw EInvalidOp(QStringLiteral("Invalid floating point operation"));
    return Value(std::sqrt(v));
}

Value fnPower(Args a, int) { return Value(std::pow(real(a, 0), real(a, 1))); }
Value fnMin(Args a, int) { return Compare(*a[1], *a[0]) == -1 ? *a[1] : *a[0]; }
Value fnMax(Args a, int) { return Compare(*a[1], *a[0]) == 1 ? *a[1] : *a[0]; }

Value fnInc(Args a, int n)
{
    *a[0] = Add(*a[0], n > 1 ? *a[1] : Value(1));
    return Value();
}

Value fnDec(Args a, int n)
{
    *a[0] = Sub(*a[0], n > 1 ? *a[1] : Value(1));
    return Value();
}

} // namespace zor::script::lib
