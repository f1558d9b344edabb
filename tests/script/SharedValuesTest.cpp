// Arrays and objects that copies share (JScript) must stay safe: no cycle a
// script could build, no recursion when a long chain of them is freed, no
// harm from a sort comparison that contradicts itself. And what one syntax
// means by a value stays in that syntax.
#include "TestUtil.h"

#include <ZorCompCore/script/Interpreter.h>

#include <pthread.h>

using namespace zor;

namespace {

// Compiles and runs; the lines ShowMessage wrote, or the error.
QString run(const QString &language, const QString &source)
{
    QStringList out;
    fsShowMessageHook = [&out](const QString &text) { out << text; };
    struct Reset
    {
        ~Reset() { fsShowMessageHook = nullptr; }
    } reset;
    TfsScript s;
    s.SetSyntaxType(language);
    s.Lines() = source.split(u'\n');
    if (!s.Compile())
        return QStringLiteral("compile: ") + s.ErrorMsg();
    try {
        s.Execute();
    } catch (const Exception &e) {
        out << QString::fromLatin1(e.ClassName()) + QStringLiteral(": ") + e.Message();
    }
    return out.join(u'|');
}

TEST(SharedValues, AContainerCannotBeMadeToHoldItself)
{
    // Every way of storing: push, index, property, nested through another array, splice, unshift.
    const char *const stores[] = {
        "a.push(a);", "a[0] = a;", "o.self = o;", "o[\"k\"] = o;", "var b = [a]; a[1] = b;",
        "var p = {inner: o}; o.back = p;", "a.splice(0, 0, a);", "a.unshift(a);", "a.length = 0; a.push([a]);",
    };
    for (const char *store : stores) {
        const QString src = QStringLiteral("var a = [1, 2];\nvar o = {};\ntry {\n  %1\n  ShowMessage(\"stored\");\n"
                                           "} catch (e) {\n  ShowMessage(e.message);\n}\nShowMessage(a.length);")
                                .arg(QLatin1String(store));
        const QString r = run(QStringLiteral("JScript"), src);
        EXPECT_TRUE(r.startsWith(u"An array or object cannot contain itself|")) << store << ": " << r.toStdString();
    }
    // The same array twice, side by side, is no cycle.
    EXPECT_EQ(run(QStringLiteral("JScript"), QStringLiteral("var a = [1]; var b = [a, a]; ShowMessage(b.length);")),
              u"2");
}

TEST(SharedValues, LongChainsAreBuiltAndFreedOnASmallStack)
{
    const QString src = QStringLiteral(
        "var head = [];\nvar x = head;\n"
        "for (var i = 0; i < 300000; i++) { var t = []; x.push(t); x = t; }\n"
        "var oh = {};\nvar y = oh;\n"
        "for (var i = 0; i < 300000; i++) { var u = {}; y.next = u; y = u; }\n"
        "x = 0; y = 0;\n"
        "try { ShowMessage(\"\" + head); } catch (e) { ShowMessage(e.message); }\n"
        "head = 0; oh = 0;\nShowMessage(\"freed\");");
    QString r;
    onSmallStack([&] { r = run(QStringLiteral("JScript"), src); });
    EXPECT_EQ(r, u"Arrays nested too deeply|freed");
}

TEST(SharedValues, SortingWithAContradictoryComparisonKeepsEveryElement)
{
    const QString src = QStringLiteral(
        "var a = [];\nfor (var i = 0; i < 2000; i++) a.push(i);\n"
        "a.sort(function (x, y) { return Math.random() - 0.5; });\n"
        "var s = 0;\nfor (var i = 0; i < a.length; i++) s += a[i];\n"
        "ShowMessage(a.length + \" \" + s);\n"
        "a.sort(function (x, y) { return x - y; });\nShowMessage(a[0] + \" \" + a[1999]);\n"
        "try { a.sort(function (x, y) { throw new Error(\"stop\"); }); } catch (e) { ShowMessage(e.message); }\n"
        "ShowMessage(a.length);");
    EXPECT_EQ(run(QStringLiteral("JScript"), src), u"2000 1999000|0 1999|stop|2000");
}

TEST(SharedValues, EachSyntaxKeepsItsOwnMeaning)
{
    // Arrays: shared in JScript, copied in C++Script.
    EXPECT_EQ(run(QStringLiteral("JScript"), QStringLiteral("var a = [1]; var b = a; b[0] = 2; ShowMessage(a[0]);")),
              u"2");
    EXPECT_EQ(run(QStringLiteral("C++Script"),
                  QStringLiteral("{ int a[] = {1}; int b[1]; b = a; b[0] = 2; ShowMessage(a[0]); }")),
              u"1");
    // Text and numbers: joined in C++Script and JScript, a conversion error in PascalScript.
    EXPECT_EQ(run(QStringLiteral("C++Script"), QStringLiteral("{ ShowMessage(\"n=\" + 3); }")), u"n=3");
    EXPECT_EQ(run(QStringLiteral("JScript"), QStringLiteral("ShowMessage(3 + \"\" + 4);")), u"34");
    EXPECT_TRUE(run(QStringLiteral("PascalScript"), QStringLiteral("begin ShowMessage('n=' + 3); end."))
                    .startsWith(u"EVariantTypeCastError"));
    // Truth of a string: JScript only.
    EXPECT_EQ(run(QStringLiteral("JScript"), QStringLiteral("if (\"x\") ShowMessage(\"yes\");")), u"yes");
    EXPECT_TRUE(run(QStringLiteral("C++Script"), QStringLiteral("{ if (\"x\") ShowMessage(\"yes\"); }"))
                    .startsWith(u"EVariantTypeCastError"));
    // Methods of strings are JScript's; other syntaxes name the member that is missing.
    EXPECT_EQ(run(QStringLiteral("C++Script"), QStringLiteral("{ string s = \"ab\"; ShowMessage(s.length); }")),
              u"Exception: Unknown member 'length' of String");
}

TEST(SharedValues, FunctionValuesCallWhatTheyName)
{
    // A value of a routine is called with missing arguments undefined and
    // extra ones dropped; calling something else is an error.
    const QString src = QStringLiteral(
        "function two(a, b) { return typeof b; }\nvar f = two;\n"
        "ShowMessage(f(1));\nShowMessage(f(1, 2, 3));\n"
        "var n = 5;\ntry { n(1); } catch (e) { ShowMessage(e.message); }");
    EXPECT_EQ(run(QStringLiteral("JScript"), src), u"undefined|number|Integer is not a function");
}

} // namespace
