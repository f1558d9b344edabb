// Scripts in an application: a host object and a host function the script
// uses, a script function the application calls, and the three kinds of
// error (compile, runtime, limits). Exits with 1 when anything differs from
// what the guide shows.
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Variant.h>
#include <ZorCompCore/script/FastScriptUtils.h>
#include <ZorCompCore/script/Interpreter.h>

#include <QCoreApplication>
#include <QObject>
#include <QTextStream>

using namespace zor;

namespace {

QTextStream out(stdout);
int failures = 0;

void check(bool ok, const char *what)
{
    if (!ok) {
        out << "unexpected: " << what << '\n';
        ++failures;
    }
}

// An object of the application that scripts may read and change: its
// Q_PROPERTYs are script properties, its Q_INVOKABLE methods script methods.
class Order : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Customer READ customer WRITE setCustomer)
    Q_PROPERTY(double Total READ total)

public:
    QString customer() const { return m_customer; }
    void setCustomer(const QString &name) { m_customer = name; }
    double total() const { return m_total; }
    Q_INVOKABLE void AddLine(int quantity, double price) { m_total += quantity * price; }

private:
    QString m_customer;
    double m_total = 0;
};

const char *kScript = R"(
function Gross(Net: Double): Double;
begin
  Result := Round(Net * (100 + VatPercent('DE'))) / 100;
end;

begin
  Order.Customer := UpperCase(Order.Customer);
  Order.AddLine(3, 12.5);
  Order.AddLine(1, 99.99);
  ShowMessage(Order.Customer + ': ' + FormatFloat('0.00', Gross(Order.Total)));
end.
)";

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);

    // ShowMessage of scripts: here into the program's output
    fsShowMessageHook = [](const QString &text) { out << "script says: " << text << '\n'; };

    Order order;
    order.setCustomer(QStringLiteral("Acme Ltd"));

    TfsZORScript script;
    script.SetSyntaxType(QStringLiteral("PascalScript"));
    script.AddScriptObject(QStringLiteral("Order"), &order);
    script.AddScriptMethod(QStringLiteral("function VatPercent(Country: String): Integer"),
                           [](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *call) {
                               const QString country = VarToStr(call->GetVParam(0));
                               return Variant(country == u"DE" ? 19 : 20);
                           });
    script.Lines() = QString::fromUtf8(kScript).split(u'\n');

    if (!script.Compile()) {
        out << "compile error at " << script.ErrorPos() << ": " << script.ErrorMsg() << '\n';
        return 1;
    }
    script.Execute(true);
    check(order.customer() == u"ACME LTD", "the script changed the customer");
    check(qAbs(order.total() - 137.49) < 1e-9, "two lines were added");

    // Calling a function of the script: the arguments travel as an array.
    const Variant gross = script.CallFunction(QStringLiteral("Gross"), VarArrayOf({Variant(100)}));
    out << "Gross(100) = " << VarToStr(gross) << '\n';
    check(VarToStr(gross) == u"119", "Gross(100)");
    check(script.CallFunction(QStringLiteral("Missing"), VarArrayOf({})).IsNull(), "a missing function gives null");

    // Compile errors: Compile answers false; the position is "line:column".
    TfsZORScript broken;
    broken.Lines() = QStringList{QStringLiteral("begin"), QStringLiteral("  x := 1 +;"), QStringLiteral("end.")};
    if (!broken.Compile())
        out << "compile error at " << broken.ErrorPos() << ": " << broken.ErrorMsg() << '\n';
    check(broken.ErrorPos().startsWith(u"2:"), "the error is on line 2");

    // Runtime errors raise out of Execute (or CallFunction) as zor::Exception,
    // with the script's position kept in ErrorPos.
    TfsZORScript failing;
    failing.Lines() = QStringList{QStringLiteral("begin"), QStringLiteral("  ShowMessage(IntToStr(StrToInt('12a')));"),
                                  QStringLiteral("end.")};
    check(failing.Compile(), "the failing script compiles");
    try {
        failing.Execute(true);
        check(false, "StrToInt('12a') raised nothing");
    } catch (const EConvertError &e) {
        out << "runtime error at " << failing.ErrorPos() << ": " << e.Message() << '\n';
    }

    // Scripts written by users get limits: a time budget, a statement budget,
    // a memory ceiling. A run over them ends with EScriptAborted.
    TfsZORScript runaway;
    runaway.SetSyntaxType(QStringLiteral("BasicScript"));
    runaway.Lines() = QStringList{QStringLiteral("Do While True"), QStringLiteral("Loop")};
    runaway.SetStatementLimit(100000);
    check(runaway.Compile(), "the runaway script compiles");
    try {
        runaway.Execute(true);
        check(false, "the endless loop ended by itself");
    } catch (const EScriptAborted &e) {
        out << "stopped: " << e.Message() << '\n';
    }

    fsShowMessageHook = nullptr;
    return failures ? 1 : 0;
}

#include "main.moc"
