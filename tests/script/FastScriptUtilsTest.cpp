// The package's script class: conditional compilation, calls by name with
// parameters in and out, re-entrant calls, the debugger hook, reference
// clearing and the event adapters.
#include "TestUtil.h"

#include <ZorCompCore/script/FastScriptUtils.h>

#include <QObject>

using namespace zor;

namespace {

// Counts live instances, so that tests see when the last reference went.
class Thing : public TInterfacedObject
{
public:
    explicit Thing(int &alive) : m_alive(alive) { ++m_alive; }
    ~Thing() override { --m_alive; }

private:
    int &m_alive;
};

Variant thingVariant(int &alive)
{
    return Variant(IPtr<IInterface>(new Thing(alive)));
}

QStringList printed;

void addPrint(TfsScript &s)
{
    s.AddScriptMethod(QStringLiteral("procedure Print(Value: Variant)"),
                      [](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *m) {
                          printed << VarToStr(m->GetVParam(0));
                          return Variant();
                      });
}

TEST(FastScriptUtils, InactiveDirectiveBlocksAreCommentedOut)
{
    TfsZORScript s;
    QStringList lines = {
        QStringLiteral("begin"),
        QStringLiteral("{$IFDEF MISSING } Print('a');"),
        QStringLiteral("  Print('b');"),
        QStringLiteral("{$ENDIF } Print('c');"),
        QStringLiteral("end."),
    };
    s.PreProcessScript(lines);
    EXPECT_EQ(lines[1], QStringLiteral("{$IFDEF MISSING } (*  Print('a');"));
    EXPECT_EQ(lines[2], QStringLiteral(" //   Print('b');"));
    EXPECT_EQ(lines[3], QStringLiteral("{$ENDIF } *)  Print('c');"));
    EXPECT_EQ(lines[4], QStringLiteral("end.")) << "after ENDIF nothing is commented";
}

TEST(FastScriptUtils, DirectivesSelectTheCodeThatRunsInEverySyntax)
{
    struct Row
    {
        const char *language;
        const char *source;
    } rows[] = {
        {"PascalScript",
         "begin\n{$IFDEF Document }\n  Print('has document');\n{$ELSE }\n  Print('no document');\n{$ENDIF }\n"
         "{$IFNDEF Document }\n  Print('lacks document');\n{$ENDIF }\nend."},
        {"C++Script",
         "{\n{$IFDEF Document }\n  Print(\"has document\");\n{$ELSE }\n  Print(\"no document\");\n{$ENDIF }\n"
         "{$IFNDEF Document }\n  Print(\"lacks document\");\n{$ENDIF }\n}"},
        {"BasicScript",
         "{$IFDEF Document }\nPrint \"has document\"\n{$ELSE }\nPrint \"no document\"\n{$ENDIF }\n"
         "{$IFNDEF Document }\nPrint \"lacks document\"\n{$ENDIF }\n"},
        {"JScript",
         "{$IFDEF Document }\nPrint(\"has document\");\n{$ELSE }\nPrint(\"no document\");\n{$ENDIF }\n"
         "{$IFNDEF Document }\nPrint(\"lacks document\");\n{$ENDIF }\n"},
    };
    QObject document;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.language);
        for (bool withDocument : {true, false}) {
            TfsZORScript s;
            s.SetSyntaxType(QString::fromLatin1(row.language));
            addPrint(s);
            if (withDocument)
                s.AddScriptObject(QStringLiteral("Document"), &document);
            s.Lines() = QString::fromLatin1(row.source).split(u'\n');
            ASSERT_TRUE(s.Compile()) << s.ErrorPos().toStdString() << " " << s.ErrorMsg().toStdString() << "\n"
                                     << s.PreProcessedLines().join(u'\n').toStdString();
            printed.clear();
            s.Execute(true);
            const QStringList expected = withDocument
                ? QStringList{QStringLiteral("has document")}
                : QStringList{QStringLiteral("no document"), QStringLiteral("lacks document")};
            EXPECT_EQ(printed, expected);
        }
    }
}

TEST(FastScriptUtils, CallFunctionPassesParametersAndReturnsVarParameters)
{
    TfsZORScript s;
    s.Lines() = QString::fromLatin1(
                    "function Sum(a, b: Integer): Integer;\nbegin\n  Result := a + b;\nend;\n"
                    "procedure Twice(var x: Integer; y: Integer);\nbegin\n  x := x * 2;\n  y := 0;\nend;\n"
                    "begin\nend.")
                    .split(u'\n');
    ASSERT_TRUE(s.Compile()) << s.ErrorMsg().toStdString();
    EXPECT_TRUE(s.FunctionExists(QStringLiteral("sum")));
    EXPECT_FALSE(s.FunctionExists(QStringLiteral("Missing")));
    EXPECT_EQ(s.CallFunction(QStringLiteral("Sum"), VarArrayOf({Variant(2), Variant(40)})), Variant(42));
    EXPECT_TRUE(VarIsNull(s.CallFunction(QStringLiteral("Missing"), Variant())));

    Variant params = VarArrayOf({Variant(21), Variant(5)});
    s.CallFunction1(QStringLiteral("Twice"), params);
    EXPECT_EQ(params.ArrayGet(0), Variant(42)) << "var parameter comes back";
    EXPECT_EQ(params.ArrayGet(1), Variant(5)) << "value parameter stays";

    Variant shortArray = VarArrayOf({Variant(3)});
    s.CallFunction1(QStringLiteral("Twice"), shortArray);
    EXPECT_EQ(shortArray.ArrayCount(), 1) << "nothing is written beyond the array";
    EXPECT_EQ(shortArray.ArrayGet(0), Variant(6));
}

TEST(FastScriptUtils, ReentrantCallsKeepTheOuterCallsParameters)
{
    TfsZORScript s;
    s.AddScriptMethod(QStringLiteral("function Host(n: Integer): Integer"),
                      [&s](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *m) {
                          return s.CallFunction(QStringLiteral("F"), VarArrayOf({m->GetVParam(0)}), false);
                      });
    s.Lines() = QString::fromLatin1("function F(n: Integer): Integer;\nbegin\n  if n <= 0 then Result := 0\n"
                                    "  else Result := n + Host(n - 1);\nend;\nbegin\nend.")
                    .split(u'\n');
    ASSERT_TRUE(s.Compile()) << s.ErrorMsg().toStdString();
    EXPECT_EQ(s.CallFunction(QStringLiteral("F"), VarArrayOf({Variant(4)})), Variant(10));
    // the inner calls saved and restored the parameter the outer call set
    EXPECT_EQ(s.FindLocalProcVar(QStringLiteral("F"))->GetParam(0)->Value(), Variant(4));
}

class Debugger : public TInterfacedObject, public IZORFastScriptDebugger
{
public:
    HRESULT QueryInterface(const QUuid &iid, void **obj) override
    {
        if (AnswerInterface<IZORFastScriptDebugger>(this, iid, obj))
            return S_OK;
        return TInterfacedObject::QueryInterface(iid, obj);
    }
    int AddRef() override { return TInterfacedObject::AddRef(); }
    int Release() override { return TInterfacedObject::Release(); }
    bool IsDebuggerActive() override { return Active; }
    void BeforeCallFunction(TfsScript *, TfsProcVariable *Func, const Variant &Params) override
    {
        Calls << Func->Name() + u':' + VarToStr(Params.ArrayGet(0));
    }
    bool Active = true;
    QStringList Calls;
};

TEST(FastScriptUtils, DebuggerHearsCallsOnlyWhileActiveAndIsReleasedAtShutdown)
{
    Debugger *dbg = new Debugger;
    IPtr<IZORFastScriptDebugger> keep(dbg);
    SetGlobalScriptDebugger(keep);
    TfsZORScript s;
    s.Lines() = QStringList{QStringLiteral("procedure P(x: Integer); begin end; begin end.")};
    ASSERT_TRUE(s.Compile());
    s.CallFunction(QStringLiteral("P"), VarArrayOf({Variant(7)}));
    dbg->Active = false;
    s.CallFunction(QStringLiteral("P"), VarArrayOf({Variant(8)}));
    EXPECT_EQ(dbg->Calls, QStringList{QStringLiteral("P:7")});
    EXPECT_EQ(dbg->RefCount(), 2);
    detail::FastScriptUtilsShutdown();
    EXPECT_FALSE(GetScriptDebuggerIntf());
    EXPECT_EQ(dbg->RefCount(), 1);
}

TEST(FastScriptUtils, ClearingDropsInterfacesOfDITypedItemsAndReusesTheWalk)
{
    int alive = 0;
    TfsZORScript s;
    s.SetClearLocalRefsAfterExecute(true);
    s.AddScriptVariable(QStringLiteral("Intf"), QStringLiteral("DIThing"), thingVariant(alive));
    s.AddScriptVariable(QStringLiteral("Other"), QStringLiteral("IOther"), thingVariant(alive));
    s.Lines() = QStringList{QStringLiteral("begin Intf := Intf; end.")};
    ASSERT_TRUE(s.Compile());
    ASSERT_EQ(alive, 2);
    s.Execute(true);
    EXPECT_EQ(alive, 1) << "the DI-typed variable is cleared, the other is not";
    EXPECT_TRUE(VarIsEmpty(s.Variables(QStringLiteral("Intf"))));
    ASSERT_NE(s.RuntimeDataVarRefList(1), nullptr);
    EXPECT_TRUE(s.RuntimeDataVarRefList(1)->IsValid);

    // a second clearing goes through the recorded addresses
    s.SetVariables(QStringLiteral("Intf"), thingVariant(alive));
    EXPECT_EQ(alive, 2);
    s.ClearScriptRefs(true, true);
    EXPECT_EQ(alive, 1);

    // without locals, plain variables are left alone
    s.SetVariables(QStringLiteral("Intf"), thingVariant(alive));
    s.ClearScriptRefs(false, true);
    EXPECT_EQ(alive, 2);
    s.SetVariables(QStringLiteral("Other"), Variant());
    s.SetVariables(QStringLiteral("Intf"), Variant());
    EXPECT_EQ(alive, 0);
}

TEST(FastScriptUtils, ClearingReleasesMethodRuntimeDataSequentiallyAndInParallel)
{
    for (int methods : {3, 30}) {
        SCOPED_TRACE(methods);
        int alive = 0;
        TfsZORScript s;
        QString body;
        for (int i = 0; i < methods; ++i) {
            s.AddScriptMethod(QStringLiteral("procedure Use%1(T: DIThing)").arg(i),
                              [](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *) {
                                  return Variant();
                              });
            body += QStringLiteral("Use%1(Intf);\n").arg(i);
        }
        s.AddScriptVariable(QStringLiteral("Intf"), QStringLiteral("IThing"), thingVariant(alive));
        s.Lines() = (QStringLiteral("begin\n") + body + QStringLiteral("end.")).split(u'\n');
        ASSERT_TRUE(s.Compile()) << s.ErrorMsg().toStdString();
        s.Execute(false);
        s.SetVariables(QStringLiteral("Intf"), Variant());
        EXPECT_EQ(alive, 1) << "the methods still hold the argument of their last call";
        s.ClearScriptRefs(false, true);
        EXPECT_EQ(alive, 0);
        EXPECT_EQ(int(s.RuntimeDataVarRefList(0)->MethodHelpers.size()), methods);
        // the second clearing goes through the recorded entries (in parallel from 21 on)
        s.SetVariables(QStringLiteral("Intf"), thingVariant(alive));
        s.Execute(false);
        s.SetVariables(QStringLiteral("Intf"), Variant());
        EXPECT_EQ(alive, 1);
        s.ClearScriptRefs(false, true);
        EXPECT_EQ(alive, 0);
    }
}

TEST(FastScriptUtils, ClearingAlsoClearsTheParent)
{
    int alive = 0;
    TfsZORScript parent, child;
    parent.SetClearLocalRefsAfterExecute(true);
    parent.AddScriptVariable(QStringLiteral("P"), QStringLiteral("DIThing"), thingVariant(alive));
    child.SetParent(&parent);
    child.ClearScriptRefs(true, true);
    EXPECT_EQ(alive, 0);
    child.SetAutoClearParentRTTIRefs(false);
    parent.SetVariables(QStringLiteral("P"), thingVariant(alive));
    child.ClearScriptRefs(true, true);
    EXPECT_EQ(alive, 1);
    parent.SetVariables(QStringLiteral("P"), Variant());
}

TEST(FastScriptUtils, ScriptProceduresServeAsEventHandlers)
{
    TfsZORScript s;
    QObject button;
    button.setObjectName(QStringLiteral("Button1"));
    s.Lines() = QString::fromLatin1(
                    "var Clicks: Integer; Last: String;\n"
                    "procedure OnClick(Sender: TObject);\nbegin\n  Clicks := Clicks + 1;\n  Last := Sender.objectName;\nend;\n"
                    "procedure OnValidate(Text: String; var Accept: Boolean);\nbegin\n  Accept := Length(Text) > 2;\nend;\n"
                    "begin\nend.")
                    .split(u'\n');
    ASSERT_TRUE(s.Compile()) << s.ErrorMsg().toStdString();

    TZORCustomNotifyEvent click(&button, s.FindLocalProcVar(QStringLiteral("OnClick")));
    click.GetMethod()(&button);
    ASSERT_TRUE(click.ConnectSignal(&button, SIGNAL(objectNameChanged(QString))));
    button.setObjectName(QStringLiteral("Renamed"));
    EXPECT_EQ(s.Variables(QStringLiteral("Clicks")), Variant(2));
    EXPECT_EQ(s.Variables(QStringLiteral("Last")), Variant(QStringLiteral("Renamed")));

    TZORCustomEvent validate(&button, s.FindLocalProcVar(QStringLiteral("OnValidate")));
    QList<Variant> args = {Variant(QStringLiteral("abc")), Variant(false)};
    validate.CallVarHandler(args);
    EXPECT_EQ(args[1], Variant(true));
    args = {Variant(QStringLiteral("x")), Variant(true)};
    validate.CallVarHandler(args);
    EXPECT_EQ(args[1], Variant(false));
}

TEST(FastScriptUtils, ConstNamesAreIdentifiers)
{
    struct Row
    {
        const char *in, *out;
    } rows[] = {
        {"TMyType", "TMyType"},
        {"my type-name.x", "my_type_name_x"},
        {"9lives", "_9lives"},
        {"Ümlaut", "_mlaut"},
        {"", ""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.in);
        EXPECT_EQ(TfsZORScript::CreateScriptConstName(QString::fromUtf8(r.in)), QString::fromUtf8(r.out));
    }
}

} // namespace
