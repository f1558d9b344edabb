// The expression cache: one compile per distinct text, errors as text, the
// main script's items visible to expressions.
#include "TestUtil.h"

#include <ZorCompCore/script/Interpreter.h>
#include <ZorCompCore/script/ZORExpressionCache.h>

using namespace zor;

namespace {

TEST(ExpressionCache, EvaluatesInEveryLanguage)
{
    for (const char *lang : {"PascalScript", "C++Script", "BasicScript", "JScript"}) {
        SCOPED_TRACE(lang);
        TfsScript main;
        TZORExpressionCache cache(&main);
        cache.SetScriptLanguage(QString::fromLatin1(lang));
        QString err;
        EXPECT_EQ(cache.Calc(QStringLiteral("1+2"), err, &main), Variant(3));
        EXPECT_TRUE(err.isEmpty()) << err.toStdString();
        EXPECT_EQ(cache.Calc(QStringLiteral("Length(IntToStr(123)) * 2"), err, &main), Variant(6));
        EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    }
}

TEST(ExpressionCache, CompilesEachTextOnceAndSharesCaseVariants)
{
    TfsScript main;
    int calls = 0;
    main.AddScriptMethod(QStringLiteral("function Tick: Integer"),
                         [&](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *) {
                             return Variant(++calls);
                         });
    TZORExpressionCache cache(&main);
    QString err;
    EXPECT_EQ(cache.Calc(QStringLiteral("Tick * 10"), err, &main), Variant(10));
    EXPECT_EQ(cache.Calc(QStringLiteral("Tick * 10"), err, &main), Variant(20)) << "evaluated again";
    EXPECT_EQ(cache.Calc(QStringLiteral("TICK * 10"), err, &main), Variant(30));
    EXPECT_EQ(cache.Count(), 1);
    cache.SetCaseSensitive(true);
    cache.Calc(QStringLiteral("TICK * 10"), err, &main);
    EXPECT_EQ(cache.Count(), 2);
    cache.Clear();
    EXPECT_EQ(cache.Count(), 0);
    EXPECT_EQ(cache.Calc(QStringLiteral("Tick"), err, &main), Variant(5));
}

TEST(ExpressionCache, ErrorsComeBackAsText)
{
    TfsScript main;
    main.Lines() = QString::fromLatin1("var Zero: Integer;\nbegin\nend.").split(u'\n');
    ASSERT_TRUE(main.Compile());
    TZORExpressionCache cache(&main);
    struct Row
    {
        const char *language, *expr, *error;
    } rows[] = {
        {"PascalScript", "1 +", "Expression-Error: '1 +': Expression expected"},
        {"PascalScript", "Nope + 1", "Expression-Error: 'Nope + 1': Undeclared identifier: 'Nope'"},
        {"PascalScript", "1 / Zero", "Floating point division by zero"},
        {"PascalScript", "10 div Zero", "Division by zero"},
        {"C++Script", "(1", "Expression-Error: '(1': ')' expected"},
        {"Logo", "1", "Expression-Error: '1': Unknown script language: 'Logo'"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.expr);
        cache.SetScriptLanguage(QString::fromLatin1(r.language));
        QString err;
        const Variant v = cache.Calc(QString::fromLatin1(r.expr), err, &main);
        EXPECT_EQ(err, QString::fromLatin1(r.error));
        EXPECT_TRUE(VarIsNull(v) || VarIsEmpty(v));
        EXPECT_TRUE(main.IsMainProg()) << "the main flag is set again after an error";
    }
    // a failed text is not cached: fixing the script makes it work
    cache.SetScriptLanguage(QStringLiteral("PascalScript"));
    main.SetVariables(QStringLiteral("Nope"), Variant(1));
    QString err;
    EXPECT_EQ(cache.Calc(QStringLiteral("Nope + 1"), err, &main), Variant(2));
}

TEST(ExpressionCache, SeesTheMainScriptsFunctionsAndVariables)
{
    TfsScript main;
    main.Lines() = QString::fromLatin1(
                       "var Rate: Double;\nfunction Net(x: Double): Double;\nbegin\n  Result := x * (1 - Rate);\nend;\n"
                       "begin\n  Rate := 0.25;\nend.")
                       .split(u'\n');
    ASSERT_TRUE(main.Compile());
    main.Execute();
    TZORExpressionCache cache(&main);
    QString err;
    EXPECT_EQ(cache.Calc(QStringLiteral("Net(200) + Rate"), err, &main), Variant(150.25));
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
}

TEST(ExpressionCache, AbortPassesThrough)
{
    TfsScript main;
    main.AddScriptMethod(QStringLiteral("function Stop: Integer"),
                         [](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *) -> Variant {
                             Abort();
                         });
    TZORExpressionCache cache(&main);
    QString err;
    EXPECT_THROW(cache.Calc(QStringLiteral("Stop"), err, &main), EAbort);
    EXPECT_TRUE(main.IsMainProg());
}

} // namespace
