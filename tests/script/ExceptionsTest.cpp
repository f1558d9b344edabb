// Exceptions as objects in every syntax: handlers by class, the caught
// object's members, re-raising, host exceptions that keep their class, and
// BasicScript's On Error Resume Next.
#include "TestUtil.h"

#include <ZorCompCore/script/Interpreter.h>

using namespace zor;

namespace {

// Runs a program with Print(Value); its output, or the error that escaped.
QStringList run(const char *language, const QString &source, QString *escaped = nullptr)
{
    TfsScript s;
    QStringList out;
    s.SetSyntaxType(QString::fromLatin1(language));
    s.AddScriptMethod(QStringLiteral("procedure Print(Value: Variant)"),
                      [&out](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *m) {
                          out << VarToStr(m->GetVParam(0));
                          return Variant();
                      });
    s.AddScriptMethod(QStringLiteral("procedure HostFails(What: String)"),
                      [](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *m) -> Variant {
                          if (VarToStr(m->GetVParam(0)) == u"convert")
                              throw EConvertError(QStringLiteral("'x' is not a valid integer value"));
                          throw EDivByZero(QStringLiteral("Division by zero"));
                      });
    s.Lines() = source.split(u'\n');
    if (!s.Compile()) {
        out << QStringLiteral("compile %1: %2").arg(s.ErrorPos(), s.ErrorMsg());
        return out;
    }
    try {
        s.Execute();
    } catch (const Exception &e) {
        if (escaped)
            *escaped = QString::fromLatin1(e.ClassName()) + QStringLiteral(": ") + e.Message();
        else
            out << QStringLiteral("escaped ") + QString::fromLatin1(e.ClassName());
    }
    return out;
}

TEST(Exceptions, PascalHandlersPickTheFirstMatchingClass)
{
    const QString src = QStringLiteral(
        "procedure Try1(What: String);\nbegin\n"
        " try\n  HostFails(What);\n except\n"
        "  on E: EConvertError do Print('convert ' + E.ClassName + ' ' + E.Message);\n"
        "  on E: EIntError do Print('int ' + E.ClassName);\n"
        "  on Exception do Print('any');\n"
        " end;\nend;\n"
        "begin\n Try1('convert');\n Try1('div');\n"
        " try raise EMyError.Create('mine') except on E: EConvertError do Print('wrong'); else Print('else') end;\n"
        " try raise EMyError.Create('mine') except on E: Exception do Print(E.ClassName + ': ' + E.Message) end;\n"
        "end.");
    EXPECT_EQ(run("PascalScript", src),
              (QStringList{"convert EConvertError 'x' is not a valid integer value", "int EDivByZero", "else",
                           "EMyError: mine"}));
}

TEST(Exceptions, ReRaisingKeepsTheHostClassForTheHost)
{
    QString escaped;
    const QStringList out = run("PascalScript",
                                QStringLiteral("begin\n try\n  HostFails('convert');\n except\n"
                                               "  on E: EDivByZero do Print('no');\n end;\nend."),
                                &escaped);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_EQ(escaped, u"EConvertError: 'x' is not a valid integer value"); // no handler fits: it goes on
    run("PascalScript",
        QStringLiteral("begin\n try\n  HostFails('div');\n except\n  on E: Exception do begin Print(1); raise; end;\n"
                       " end;\nend."),
        &escaped);
    EXPECT_EQ(escaped, u"EDivByZero: Division by zero");
    run("PascalScript",
        QStringLiteral("var X: Variant;\nbegin\n try HostFails('div') except on E: Exception do X := E end;\n"
                       " raise X;\nend."),
        &escaped);
    EXPECT_EQ(escaped, u"EDivByZero: Division by zero"); // a kept exception object raised later
}

TEST(Exceptions, CLikeCatchAndBasicCatchAs)
{
    EXPECT_EQ(run("JScript", QStringLiteral("try { throw new Error(\"bad\"); } catch (e) { Print(e.message); Print(e.Message); }\n"
                                            "try { HostFails(\"convert\"); } catch (e) { Print(e.ClassName); }")),
              (QStringList{"bad", "bad", "EConvertError"}));
    EXPECT_EQ(run("C++Script",
                  QStringLiteral("try { HostFails(\"div\"); } catch (EConvertError e) { Print(\"convert\"); }"
                                 " catch (...) { Print(\"all\"); }\n"
                                 "try { throw \"text\"; } catch (e) { Print(e.Message); }")),
              (QStringList{"all", "text"}));
    EXPECT_EQ(run("BasicScript", QStringLiteral("Try\n HostFails \"div\"\nCatch ex As EConvertError\n Print \"convert\"\n"
                                                "Catch ex As Exception\n Print ex.ClassName\nFinally\n Print \"finally\"\n"
                                                "End Try\n")),
              (QStringList{"EDivByZero", "finally"}));
}

TEST(Exceptions, OnErrorResumeNextSkipsTheFailingStatementUntilGoToZero)
{
    QString escaped;
    const QStringList out = run("BasicScript",
                                QStringLiteral("Sub Go()\n On Error Resume Next\n Print 1\n HostFails \"div\"\n Print 2\n"
                                               " On Error GoTo 0\n HostFails \"convert\"\n Print 3\nEnd Sub\nGo\n"),
                                &escaped);
    EXPECT_EQ(out, (QStringList{"1", "2"}));
    EXPECT_EQ(escaped, u"EConvertError: 'x' is not a valid integer value");
}

TEST(Exceptions, AbortsAndReRaiseOutsideAHandler)
{
    EXPECT_EQ(run("PascalScript", QStringLiteral("begin\n raise;\nend.")), (QStringList{"escaped Exception"}));
}

} // namespace
