// Variant copies and arithmetic as the script interpreter's inner loop uses
// them, and the text conversions reports call per cell.
#include <ZorCompCore/platform/SysUtils.h>
#include <ZorCompCore/platform/Variant.h>

#include <benchmark/benchmark.h>

#include <vector>

using namespace zor;

static void BM_CopyIntegers(benchmark::State &state)
{
    std::vector<Variant> src(1024), dst(1024);
    for (int i = 0; i < 1024; ++i)
        src[size_t(i)] = Variant(i);
    for (auto _ : state) {
        for (size_t i = 0; i < src.size(); ++i)
            dst[i] = src[i];
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(BM_CopyIntegers);

static void BM_CopyStrings(benchmark::State &state)
{
    std::vector<Variant> src(1024, Variant(QStringLiteral("some text"))), dst(1024);
    for (auto _ : state) {
        for (size_t i = 0; i < src.size(); ++i)
            dst[i] = src[i];
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(BM_CopyStrings);

static void BM_AddIntegers(benchmark::State &state)
{
    Variant sum(0);
    const Variant one(1);
    for (auto _ : state) {
        sum = sum + one;
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_AddIntegers);

static void BM_AddMixed(benchmark::State &state)
{
    Variant sum(0.5);
    const Variant one(Currency::FromScaled(10000));
    for (auto _ : state) {
        benchmark::DoNotOptimize(sum + one);
    }
}
BENCHMARK(BM_AddMixed);

static void BM_SameValueAcrossTypes(benchmark::State &state)
{
    const Variant a(42), b(QStringLiteral("42"));
    for (auto _ : state)
        benchmark::DoNotOptimize(VarSameValue(a, b));
}
BENCHMARK(BM_SameValueAcrossTypes);

static void BM_ArrayPutGet(benchmark::State &state)
{
    Variant a = VarArrayCreate(0, 1023, varInteger);
    for (auto _ : state) {
        for (int i = 0; i < 1024; ++i)
            a.ArrayPut(i, Variant(i));
        qint64 s = 0;
        for (int i = 0; i < 1024; ++i)
            s += a.ArrayGet(i).RawInt();
        benchmark::DoNotOptimize(s);
    }
    state.SetItemsProcessed(state.iterations() * 2048);
}
BENCHMARK(BM_ArrayPutGet);

static void BM_FloatToStr(benchmark::State &state)
{
    double v = 0.1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FloatToStr(v));
        v += 1.37;
    }
}
BENCHMARK(BM_FloatToStr);

static void BM_FormatFloatPicture(benchmark::State &state)
{
    const QString picture = QStringLiteral("#,##0.00;(#,##0.00)");
    double v = -12345.678;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatFloat(picture, v));
        v += 3.3;
    }
}
BENCHMARK(BM_FormatFloatPicture);

static void BM_FormatDateTime(benchmark::State &state)
{
    const QString picture = QStringLiteral("yyyy-mm-dd hh:nn:ss.zzz");
    double v = 45000.123;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatDateTime(picture, v));
        v += 0.37;
    }
}
BENCHMARK(BM_FormatDateTime);

BENCHMARK_MAIN();
