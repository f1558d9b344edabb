// The script engine against Lua 5.4 (linked in, same process) on the same
// workloads: recursive fib(27), a 10,000,000-step arithmetic loop, 100,000
// string concatenations, 1,000,000 calls of a three-argument function, and
// 100,000 evaluations of one cached report expression. After the runs the
// ratio engine/Lua of each workload is printed.
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Variant.h>
#include <ZorCompCore/script/Interpreter.h>
#include <ZorCompCore/script/ZORExpressionCache.h>

#include <benchmark/benchmark.h>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include <QString>
#include <cstdio>
#include <map>
#include <string>

using namespace zor;

namespace {

struct Workload
{
    const char *Name;
    const char *Pascal; // leaves its answer in the variable R
    const char *Lua;    // leaves its answer in the global R
};

const Workload kWorkloads[] = {
    {"fib",
     "var R: Integer;\n"
     "function Fib(n: Integer): Integer;\n"
     "begin\n  if n < 2 then Result := n else Result := Fib(n - 1) + Fib(n - 2);\nend;\n"
     "begin\n  R := Fib(27);\nend.",
     "local function fib(n) if n < 2 then return n end return fib(n - 1) + fib(n - 2) end\n"
     "R = fib(27)"},
    {"loop",
     "var R, i: Integer;\n"
     "begin\n  R := 0;\n  for i := 1 to 10000000 do\n    R := R + (i * 2) mod 7;\nend.",
     "local s = 0\nfor i = 1, 10000000 do s = s + (i * 2) % 7 end\nR = s"},
    {"concat",
     "var R, i: Integer; s: String;\n"
     "begin\n  s := '';\n  for i := 1 to 100000 do\n    s := s + 'abc';\n  R := Length(s);\nend.",
     "local s = \"\"\nfor i = 1, 100000 do s = s .. \"abc\" end\nR = #s"},
    {"calls",
     "var R, i: Integer;\n"
     "function F(a, b, c: Integer): Integer;\nbegin\n  Result := a + b - c;\nend;\n"
     "begin\n  R := 0;\n  for i := 1 to 1000000 do\n    R := F(R, i, 3);\nend.",
     "local function f(a, b, c) return a + b - c end\nlocal s = 0\n"
     "for i = 1, 1000000 do s = f(s, i, 3) end\nR = s"},
};

// The report expression: a formatted amount from two report variables.
const char *kExpression = "FormatFloat('0.00', Price * Qty * 1.19)";
const char *kLuaExpression =
    "Price = 12.4; Qty = 3\n"
    "local f = load(\"return string.format('%.2f', Price * Qty * 1.19)\")\n"
    "local r\nfor i = 1, 100000 do r = f() end\nR = r";
constexpr int kExpressionRuns = 100000;

QString luaAnswer(const char *source)
{
    lua_State *L = luaL_newstate();
    luaL_openlibs(L);
    QString r;
    if (luaL_dostring(L, source) == LUA_OK) {
        lua_getglobal(L, "R");
        r = QString::fromUtf8(lua_tostring(L, -1));
    } else {
        r = QStringLiteral("error: ") + QString::fromUtf8(lua_tostring(L, -1));
    }
    lua_close(L);
    return r;
}

void BM_Script(benchmark::State &state, const Workload *w)
{
    TfsScript script;
    script.Lines() = QString::fromLatin1(w->Pascal).split(u'\n');
    if (!script.Compile()) {
        state.SkipWithError(("compile: " + script.ErrorMsg()).toStdString().c_str());
        return;
    }
    for (auto _ : state)
        script.Execute();
    const QString got = VarToStr(script.Variables(QStringLiteral("R")));
    const QString want = luaAnswer(w->Lua);
    if (got != want)
        state.SkipWithError(("result " + got + " differs from Lua's " + want).toStdString().c_str());
}

void BM_Lua(benchmark::State &state, const Workload *w)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(luaAnswer(w->Lua));
}

void BM_ScriptExpression(benchmark::State &state)
{
    TfsScript main;
    main.SetVariables(QStringLiteral("Price"), Variant(12.4));
    main.SetVariables(QStringLiteral("Qty"), Variant(3));
    TZORExpressionCache cache(&main);
    QString error;
    Variant r;
    // a report holds its expressions as text already
    const QString expression = QString::fromLatin1(kExpression);
    for (auto _ : state)
        for (int i = 0; i < kExpressionRuns; ++i)
            r = cache.Calc(expression, error, &main);
    if (!error.isEmpty() || VarToStr(r) != luaAnswer(kLuaExpression))
        state.SkipWithError(("expression gave " + VarToStr(r) + error).toStdString().c_str());
}

void BM_LuaExpression(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(luaAnswer(kLuaExpression));
}

// Keeps the fastest real time of each benchmark's runs (with
// --benchmark_repetitions, the least disturbed one), by name.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &r : runs)
            if (!r.error_occurred && r.run_type == Run::RT_Iteration) {
                const std::string name = r.run_name.function_name;
                const double t = r.GetAdjustedRealTime();
                if (const auto it = Times.find(name); it == Times.end() || t < it->second)
                    Times[name] = t;
            }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> Times;
};

} // namespace

int main(int argc, char **argv)
{
    for (const Workload &w : kWorkloads) {
        benchmark::RegisterBenchmark((std::string("Script/") + w.Name).c_str(), BM_Script, &w)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("Lua/") + w.Name).c_str(), BM_Lua, &w)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("Script/expression", BM_ScriptExpression)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Lua/expression", BM_LuaExpression)->Unit(benchmark::kMillisecond);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nRatio to Lua 5.4 (engine time / Lua time; the goal is at most 1.5):\n");
    for (const char *name : {"fib", "loop", "concat", "calls", "expression"}) {
        const auto s = reporter.Times.find(std::string("Script/") + name);
        const auto l = reporter.Times.find(std::string("Lua/") + name);
        if (s == reporter.Times.end() || l == reporter.Times.end() || l->second <= 0)
            std::printf("  %-11s  not measured\n", name);
        else
            std::printf("  %-11s %6.2f\n", name, s->second / l->second);
    }
    benchmark::Shutdown();
    return 0;
}
