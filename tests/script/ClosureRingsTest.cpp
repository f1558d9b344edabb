// A JScript function stored where it can reach itself (a recursive function
// expression, a method kept on the object it reads, two functions that call
// each other through variables) forms a ring of references. Rings nothing
// else refers to must be freed, by the end of the run or while a long run
// makes them; rings still in use must keep working. A counted interface
// inside each ring shows whether it was freed.
#include "TestUtil.h"

#include <ZorCompCore/platform/Interface.h>
#include <ZorCompCore/script/Interpreter.h>

using namespace zor;

namespace {

class Token : public TInterfacedObject
{
public:
    explicit Token(int &alive) : m_alive(alive) { ++m_alive; }
    ~Token() override { --m_alive; }

private:
    int &m_alive;
};

// A JScript script with NewToken() (a fresh counted interface) and Alive()
// (how many exist now).
struct Host
{
    int alive = 0;
    std::unique_ptr<TfsScript> script = std::make_unique<TfsScript>();

    Host()
    {
        script->SetSyntaxType(QStringLiteral("JScript"));
        script->AddScriptMethod(QStringLiteral("function NewToken: Variant"),
                                [this](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *) {
                                    return Variant(IPtr<IInterface>(new Token(alive)));
                                });
        script->AddScriptMethod(QStringLiteral("function Alive: Integer"),
                                [this](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *) {
                                    return Variant(alive);
                                });
    }

    void run(const QString &source)
    {
        script->Lines() = source.split(u'\n');
        ASSERT_TRUE(script->Compile()) << script->ErrorMsg().toStdString();
        script->Execute();
    }
};

TEST(ClosureRings, RingsNothingReachesAreFreedAfterTheRun)
{
    // each function makes one kind of ring holding a token and drops it
    const char *const rings[] = {
        // a recursive function expression: the function is in the cell it uses
        "function ring() {\n"
        "  var t = NewToken();\n"
        "  var fact = function (n) { t; return n < 2 ? 1 : n * fact(n - 1); };\n"
        "  return fact(5);\n"
        "}\n",
        // a method kept on the object it reads
        "function ring() {\n"
        "  var o = {token: NewToken()};\n"
        "  o.get = function () { return o.token; };\n"
        "  o.get();\n"
        "  return 120;\n"
        "}\n",
        // two functions that reach each other through their variables
        "function ring() {\n"
        "  var t = NewToken();\n"
        "  var isEven = function (n) { return n == 0 ? true : isOdd(n - 1); };\n"
        "  var isOdd = function (n) { t; return n == 0 ? false : isEven(n - 1); };\n"
        "  return isEven(4) ? 120 : 0;\n"
        "}\n",
        // a callback in an array that the callback itself reads
        "function ring() {\n"
        "  var t = NewToken();\n"
        "  var list = [];\n"
        "  list.push(function () { t; return list.length; });\n"
        "  return list[0]() * 120;\n"
        "}\n",
    };
    for (const char *ring : rings) {
        Host h;
        QString result;
        h.script->AddScriptMethod(QStringLiteral("procedure Keep(V: Variant)"),
                                  [&](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *m) {
                                      result = VarToStr(m->GetVParam(0));
                                      return Variant();
                                  });
        h.run(QString::fromLatin1(ring) + QStringLiteral("Keep(ring());\nKeep(ring());"));
        EXPECT_EQ(result, QStringLiteral("120")) << ring;
        EXPECT_EQ(h.alive, 0) << "a ring outlived the run:\n" << ring;
    }
}

TEST(ClosureRings, RingsInUseKeepWorkingAndGoWithTheScript)
{
    Host h;
    h.run(QStringLiteral("var counter;\n"
                         "function make() {\n"
                         "  var o = {n: 0, token: NewToken()};\n"
                         "  o.next = function () { o.n = o.n + 1; return o.n; };\n"
                         "  return o;\n"
                         "}\n"
                         "counter = make();\n"
                         "counter.next();\n"
                         "function step() { return counter.next(); }"));
    EXPECT_EQ(h.alive, 1) << "a ring a global holds is in use";
    auto *step = dynamic_cast<TfsProcVariable *>(h.script->Find(QStringLiteral("step")));
    ASSERT_NE(step, nullptr);
    EXPECT_EQ(TfsScript::CallProc(step, {}), Variant(2));
    EXPECT_EQ(TfsScript::CallProc(step, {}), Variant(3));
    h.script.reset();
    EXPECT_EQ(h.alive, 0) << "the ring must go with its script";
}

TEST(ClosureRings, ALongRunFreesRingsAsItGoes)
{
    Host h;
    int most = 0;
    h.script->AddScriptMethod(QStringLiteral("procedure Note(N: Integer)"),
                              [&](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *m) {
                                  most = std::max(most, VarToInt(m->GetVParam(0)));
                                  return Variant();
                              });
    h.run(QStringLiteral("function ring() {\n"
                         "  var t = NewToken();\n"
                         "  var f = function () { t; return f; };\n"
                         "  return 1;\n"
                         "}\n"
                         "var kept = [];\n"
                         "for (var i = 0; i < 6000; i++) {\n"
                         "  ring();\n"
                         "  if (i % 50 == 0) kept.push(function () { return i; });\n"
                         "  Note(Alive());\n"
                         "}"));
    EXPECT_LT(most, 3000) << "rings piled up during the run";
    EXPECT_EQ(h.alive, 0);
}

} // namespace
