// Library functions on numbers: rounding, arithmetic, Inc and Dec.
#include <ZorCompCore/script/Library_p.h>

#include <ZorCompCore/platform/Exception.h>

#include <QRandomGenerator>

#include <cmath>
#include <random>

namespace zor::script::lib {

qint64 checkedInt(double v)
{
    if (!std::isfinite(v) || v >= 9.2233720368547758e18 || v < -9.2233720368547758e18)
        throw EInvalidOp(QStringLiteral("Invalid floating point operation"));
    return qint64(v);
}

namespace {

[[noreturn]] void invalidOp()
{
    throw EInvalidOp(QStringLiteral("Invalid floating point operation"));
}

// One generator per thread: scripts on different threads do not share
// state. Unseeded it repeats its sequence from run to run, as the classic
// runtime does until Randomize.
std::mt19937_64 &generator()
{
    thread_local std::mt19937_64 g;
    return g;
}

} // namespace

double randomUnit()
{
    return std::uniform_real_distribution<double>(0.0, 1.0)(generator());
}

double roundHalfEven(double x)
{
    return std::nearbyint(x); // the default rounding mode: to nearest, ties to even
}

Value fnAbs(Args a, int)
{
    if (a[0]->k == VK::Int)
        return Value(a[0]->i < 0 ? -a[0]->i : a[0]->i);
    return Value(std::fabs(real(a, 0)));
}

// Round: half to even, as the runtime rounds.
Value fnRound(Args a, int) { return Value(checkedInt(roundHalfEven(real(a, 0)))); }
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
        invalidOp();
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


Value fnCeil(Args a, int) { return Value(checkedInt(std::ceil(real(a, 0)))); }
Value fnFloor(Args a, int) { return Value(checkedInt(std::floor(real(a, 0)))); }

Value fnSign(Args a, int)
{
    const double v = real(a, 0);
    return Value(qint64(v > 0 ? 1 : v < 0 ? -1 : 0));
}

Value fnSqr(Args a, int)
{
    if (a[0]->k == VK::Int && a[0]->i > -3037000499LL && a[0]->i < 3037000499LL)
        return Value(a[0]->i * a[0]->i);
    const double v = real(a, 0);
    return Value(v * v);
}

Value fnExp(Args a, int) { return Value(std::exp(real(a, 0))); }

Value fnLn(Args a, int)
{
    const double v = real(a, 0);
    if (!(v > 0))
        invalidOp();
    return Value(std::log(v));
}

Value fnLog10(Args a, int)
{
    const double v = real(a, 0);
    if (!(v > 0))
        invalidOp();
    return Value(std::log10(v));
}

Value fnSin(Args a, int) { return Value(std::sin(real(a, 0))); }
Value fnCos(Args a, int) { return Value(std::cos(real(a, 0))); }
Value fnTan(Args a, int) { return Value(std::tan(real(a, 0))); }
Value fnArcTan(Args a, int) { return Value(std::atan(real(a, 0))); }
Value fnPi(Args, int) { return Value(3.14159265358979323846); }

Value fnRandom(Args a, int n)
{
    if (n == 0)
        return Value(randomUnit());
    const qint64 range = integer(a, 0);
    if (range <= 0)
        return Value(qint64(0));
    return Value(qint64(std::uniform_int_distribution<quint64>(0, quint64(range) - 1)(generator())));
}

Value fnRandomize(Args, int)
{
    generator().seed(QRandomGenerator::system()->generate64());
    return Value();
}

Value fnOdd(Args a, int) { return Value((integer(a, 0) & 1) != 0); }
// Ordinal steps: a one-character string is a Char and steps to the next
// character; a Boolean counts as 0 or 1.
static Value ordinalStep(const Value &v, int by)
{
    if (v.k == VK::Str && v.s.size() == 1)
        return Value(QString(QChar(char16_t(v.s.at(0).unicode() + by))));
    if (v.k == VK::Bool)
        return Value(qint64(v.ToBool()) + by);
    return Add(v, Value(by));
}

Value fnSucc(Args a, int) { return ordinalStep(*a[0], 1); }
Value fnPred(Args a, int) { return ordinalStep(*a[0], -1); }

} // namespace zor::script::lib
