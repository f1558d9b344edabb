// What each syntax's operators and conversions mean to its users, and the
// engine services hosts build on (Find, Clear, the main-program flag, the
// expression cache after a recompile, identifier characters).
#include "TestUtil.h"

#include <ZorCompCore/script/FastScriptUtils.h>
#include <ZorCompCore/script/Interpreter.h>
#include <ZorCompCore/script/ZORExpressionCache.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <thread>

using namespace zor;

namespace {

// Evaluates one expression in a syntax through the expression cache; the
// value as text, or the error message.
QString calc(const char *language, const QString &expression)
{
    TfsScript main;
    TZORExpressionCache cache(&main);
    cache.SetScriptLanguage(QString::fromLatin1(language));
    QString error;
    const Variant v = cache.Calc(expression, error, &main);
    return error.isEmpty() ? VarToStr(v) : error;
}

TEST(SyntaxRules, OperatorsMeanWhatEachFamilyExpects)
{
    struct Row
    {
        const char *language, *expression, *expected;
    } rows[] = {
        // C++Script: integer division and remainder truncate; true counts as 1
        {"C++Script", "7 / 2", "3"},
        {"C++Script", "-7 / 2", "-3"},
        {"C++Script", "-7 % 2", "-1"},
        {"C++Script", "7.0 / 2", "3.5"},
        {"C++Script", "true + 1", "2"},
        {"C++Script", "!5", "False"},
        // JScript: + concatenates with a string, null is 0, 1/0 is Infinity
        {"JScript", "\"a\" + 1 + 2", "a12"},
        {"JScript", "1 + 2 + \"a\"", "3a"},
        {"JScript", "null + 1", "1"},
        {"JScript", "true + 1", "2"},
        {"JScript", "1 / 0 == Infinity", "True"},
        {"JScript", "7 / 2", "3.5"},
        {"JScript", "\"1\" == 1", "True"},
        {"JScript", "\"1\" === 1", "False"},
        {"JScript", "1 !== 1.0", "False"},
        {"JScript", "null == undefined", "True"},
        {"JScript", "typeof \"x\" + typeof 1 + typeof null + typeof undefined + typeof IntToStr",
         "stringnumberobjectundefinedfunction"},
        {"JScript", "\"x\" + 0.5", "x0.5"},
        // BasicScript: \ Mod ^ &
        {"BasicScript", "7 \\ 2", "3"},
        {"BasicScript", "7 Mod 3", "1"},
        {"BasicScript", "2 ^ 10", "1024"},
        {"BasicScript", "-2 ^ 2", "-4"},
        {"BasicScript", "1 & 2", "12"},
        // PascalScript: / is always a float, True is -1 as in variants
        {"PascalScript", "7 / 2", "3.5"},
        {"PascalScript", "7 div 2", "3"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string(r.language) + ": " + r.expression);
        EXPECT_EQ(calc(r.language, QString::fromLatin1(r.expression)), QString::fromLatin1(r.expected));
    }
}

TEST(SyntaxRules, TypedStoresConvertByTheSyntaxsRules)
{
    auto run = [](const char *language, const char *source) {
        TfsScript s;
        s.SetSyntaxType(QString::fromLatin1(language));
        s.Lines() = QString::fromLatin1(source).split(u'\n');
        EXPECT_TRUE(s.Compile()) << s.ErrorMsg().toStdString();
        s.Execute();
        return VarToStr(s.Variables(QStringLiteral("r")));
    };
    EXPECT_EQ(run("C++Script", "int i = 3.7; int b = true; var r = i * 10 + b;"), u"31");
    EXPECT_EQ(run("PascalScript", "var i: Integer; r: Variant;\nbegin\n i := 3.7;\n r := i;\nend."), u"4");
}

TEST(SyntaxRules, CommonMistakesSayWhatIsWrong)
{
    TfsScript s;
    s.Lines() = QStringList{"var s: String; n: Integer;", "begin", " s := 'abc';", " n := s.length;", "end."};
    ASSERT_TRUE(s.Compile());
    try {
        s.Execute();
        FAIL();
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), u"Unknown member 'length' of String");
    }
}

class Registrar : public TfsRTTIModule
{
public:
    explicit Registrar(TfsScript *s) : TfsRTTIModule(s)
    {
        // builds on a class the host registered before
        s->AddScriptClass(QStringLiteral("TShared"), QStringLiteral("TObject"))
            ->AddMethod(QStringLiteral("function Answer: Integer"),
                        [](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *) { return Variant(42); });
        s->AddScriptConst(QStringLiteral("ModuleConst"), QStringLiteral("Integer"), Variant(7));
    }
};

TEST(ScriptServices, FindClearAndTheRegistrationHook)
{
    fsRTTIModules().append(&fsModuleClass<Registrar>);
    struct Unregister
    {
        ~Unregister() { fsRTTIModules().removeAll(&fsModuleClass<Registrar>); }
    } unregister;
    TfsScript s;
    s.AddScriptClass(QStringLiteral("TShared"), QStringLiteral("TObject"));
    s.AddRTTI();
    s.AddRTTI(); // once per module
    s.SetVariables(QStringLiteral("HostVar"), Variant(1));
    EXPECT_NE(s.Find(QStringLiteral("IntToStr")), nullptr); // the library is found
    EXPECT_EQ(s.FindLocal(QStringLiteral("IntToStr")), nullptr);
    s.Clear();
    EXPECT_EQ(s.Find(QStringLiteral("HostVar")), nullptr);
    ASSERT_NE(s.Find(QStringLiteral("ModuleConst")), nullptr);
    auto *cls = dynamic_cast<TfsClassVariable *>(s.Find(QStringLiteral("TShared")));
    ASSERT_NE(cls, nullptr);
    EXPECT_NE(cls->FindMember(QStringLiteral("Answer"), &s), nullptr);
    int modules = 0;
    for (int i = 0; i < s.Count(); ++i)
        modules += s.GetItem(i)->Name() == u"ModuleConst";
    EXPECT_EQ(modules, 1);
}

TEST(ScriptServices, MainProgramFlagKeepsExpressionErrorsOutOfTheMainScript)
{
    TfsZORScript main;
    main.Lines() = QStringList{"function Half(x: Integer): Integer;", "begin", "  Result := x div 2;", "end;",
                               "begin", "end."};
    ASSERT_TRUE(main.Compile());
    // a main program called by the host records its runtime errors
    EXPECT_THROW(main.CallFunction(QStringLiteral("Half"), VarArrayOf({Variant(QStringLiteral("x"))})), Exception);
    EXPECT_FALSE(main.ErrorMsg().isEmpty());
    main.Compile();
    TZORExpressionCache cache(&main);
    QString error;
    cache.Calc(QStringLiteral("Half('y')"), error, &main);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(main.ErrorMsg().isEmpty()); // evaluated with the flag cleared
    EXPECT_TRUE(main.IsMainProg());
}

TEST(ScriptServices, CachedExpressionsFollowARecompiledMainScript)
{
    TfsZORScript main;
    main.Lines() = QStringList{"function F: Integer;", "begin", "  Result := 1;", "end;", "begin", "end."};
    ASSERT_TRUE(main.Compile());
    TZORExpressionCache cache(&main);
    QString error;
    EXPECT_EQ(VarToStr(cache.Calc(QStringLiteral("F + 1"), error, &main)), u"2");
    main.Lines()[2] = QStringLiteral("  Result := 10;");
    ASSERT_TRUE(main.Compile());
    EXPECT_EQ(VarToStr(cache.Calc(QStringLiteral("F + 1"), error, &main)), u"11");
    EXPECT_TRUE(error.isEmpty());
}

TEST(ScriptServices, ExtendedCharactersCountForEveryCharacterOfAName)
{
    for (bool extended : {false, true}) {
        TfsScript s;
        s.SetExtendedCharset(extended);
        s.Lines() = QStringList{QStringLiteral("var größe: Integer;"), "begin", QStringLiteral(" größe := 1;"), "end."};
        EXPECT_EQ(s.Compile(), extended) << s.ErrorMsg().toStdString();
    }
}

TEST(ScriptServices, ErrorsReachTheMainThreadAsASignal)
{
    TfsZORScript s;
    QStringList messages, positions;
    QList<QThread *> threads;
    QObject::connect(&s, &TfsZORScript::scriptError, &s, [&](const QString &message, const QString &position) {
        messages << message;
        positions << position;
        threads << QThread::currentThread();
    });
    s.Lines() = QStringList{"begin", "  x := 1;", "end."};
    EXPECT_FALSE(s.Compile());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(positions[0], u"2:3");
    s.Lines() = QStringList{"procedure Boom;", "begin", "  raise Exception.Create('worker');", "end;", "begin",
                            "end."};
    ASSERT_TRUE(s.Compile());
    std::thread worker([&s] {
        try {
            s.CallFunction(QStringLiteral("Boom"), Variant());
        } catch (const Exception &) {
        }
    });
    worker.join();
    QElapsedTimer t;
    t.start();
    while (messages.size() < 2 && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[1], u"worker");
    EXPECT_EQ(threads[1], QThread::currentThread()); // delivered on the main thread
}

} // namespace
