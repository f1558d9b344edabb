// zorcc script: runs a script file, or evaluates one expression.
//   zorcc script run <file> [--language <name>] [--call <Function(args)>]
//   zorcc script eval <expression> [--language <name>]
//   zorcc script functions [--syntax <name>] [--markdown]
//   zorcc script reference --syntax <name>
#include "Command.h"

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/script/FastScriptUtils.h>
#include <ZorCompCore/script/ScriptReference.h>
#include <ZorCompCore/script/ScriptUtils.h>
#include <ZorCompCore/script/ZORExpressionCache.h>

#include <QFileInfo>

using namespace zor;

namespace {

const char *kUsage =
    "usage: zorcc script run <file> [--language <name>] [--call <Function(args)>]\n"
    "       zorcc script eval <expression> [--language <name>]\n"
    "       zorcc script functions [--syntax <name>] [--markdown]\n"
    "       zorcc script reference --syntax <name>\n\n"
    "run      compiles and runs a script; ShowMessage writes to standard output.\n"
    "         With --call, the main block runs first, then the function is called\n"
    "         with the literal arguments given ('text', numbers, null, #date-time#)\n"
    "         and its result is printed. Errors are reported as file:line:column: message.\n"
    "eval     prints the value of one expression.\n"
    "functions  lists the built-in functions a syntax knows, with their parameters;\n"
    "         without --syntax every function with the syntaxes that know it.\n"
    "         --markdown prints Markdown tables.\n"
    "reference  prints the Markdown reference page of a syntax: statements,\n"
    "         operators and built-in functions (docs/scripts/<syntax>.md).\n\n"
    "--language  PascalScript (default; chosen from the extension otherwise: .pas,\n"
    "            .cpps C++Script, .bas BasicScript, .js JScript)\n"
    "--syntax    the same as --language";

QString languageForFile(const QString &path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == u"cpps" || ext == u"cpp")
        return QStringLiteral("C++Script");
    if (ext == u"bas" || ext == u"vbs")
        return QStringLiteral("BasicScript");
    if (ext == u"js")
        return QStringLiteral("JScript");
    return QStringLiteral("PascalScript");
}

const QStringList kLanguages = {QStringLiteral("PascalScript"), QStringLiteral("C++Script"),
                                 QStringLiteral("BasicScript"), QStringLiteral("JScript")};

// The language as the engine spells it; a usage error naming the valid ones.
QString checkedLanguage(const QString &language)
{
    for (const QString &l : kLanguages)
        if (l.compare(language, Qt::CaseInsensitive) == 0)
            return l;
    throw zorcc::UsageError{QStringLiteral("unknown script language '%1' (one of: %2)")
                                .arg(language, kLanguages.join(QStringLiteral(", ")))};
}

// Reads --call before anything runs: the name and the literal arguments.
void parseCall(const QString &call, QString &name, QList<Variant> &args)
{
    const qsizetype open = call.indexOf(u'(');
    if (open >= 0 && call.indexOf(u')', open) < 0)
        throw zorcc::UsageError{QStringLiteral("--call: missing ')' in ") + call};
    try {
        if (!TZORScriptUtils::ParseSingleScriptCall(call, name, args))
            throw zorcc::UsageError{QStringLiteral("--call: cannot read ") + call};
    } catch (const Exception &e) {
        throw zorcc::UsageError{QStringLiteral("--call: ") + e.Message()};
    }
    name = name.trimmed();
    if (name.isEmpty())
        throw zorcc::UsageError{QStringLiteral("--call: no function name in ") + call};
}

struct Options
{
    QStringList positional;
    QString language;
    QString call;
    bool markdown = false;
};

Options parse(const QStringList &args)
{
    Options o;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == u"--language" || a == u"--syntax" || a == u"--call") {
            if (i + 1 >= args.size())
                throw zorcc::UsageError{a + QStringLiteral(" needs a value")};
            (a == u"--call" ? o.call : o.language) = args[++i];
        } else if (a == u"--markdown") {
            o.markdown = true;
        } else if (a.startsWith(u"--")) {
            throw zorcc::UsageError{QStringLiteral("unknown option ") + a};
        } else {
            o.positional << a;
        }
    }
    return o;
}

int run(const Options &o, zorcc::Io &io)
{
    if (o.positional.size() != 1)
        throw zorcc::UsageError{QStringLiteral("run takes one script file")};
    const QString path = o.positional[0];
    const QString language = o.language.isEmpty() ? languageForFile(path) : checkedLanguage(o.language);
    QString name;
    QList<Variant> callArgs;
    if (!o.call.isEmpty())
        parseCall(o.call, name, callArgs);
    const QString source = QString::fromUtf8(zorcc::readFileArg(path));
    TfsZORScript script;
    script.SetSyntaxType(language);
    fsShowMessageHook = [&io](const QString &text) { io.out << text << '\n'; };
    struct ResetHook
    {
        ~ResetHook() { fsShowMessageHook = nullptr; }
    } reset;
    script.Lines() = source.split(u'\n');
    if (!script.Compile())
        throw zorcc::InputError{path + u':' + script.ErrorPos() + QStringLiteral(": ") + script.ErrorMsg()};
    if (!o.call.isEmpty() && !script.FunctionExists(name))
        throw zorcc::InputError{path + QStringLiteral(": no function '") + name + u'\''};
    try {
        script.Execute(true);
        if (!o.call.isEmpty()) {
            const Variant r = script.CallFunction(name, VarArrayOf(callArgs));
            io.out << VarToStr(r) << '\n';
        }
    } catch (const Exception &e) {
        const QString pos = script.ErrorPos().isEmpty() ? QStringLiteral("0:0") : script.ErrorPos();
        throw zorcc::InputError{path + u':' + pos + QStringLiteral(": ") + e.Message()};
    }
    return 0;
}

int eval(const Options &o, zorcc::Io &io)
{
    if (o.positional.size() != 1)
        throw zorcc::UsageError{QStringLiteral("eval takes one expression")};
    TfsZORScript main;
    TZORExpressionCache cache(&main);
    cache.SetScriptLanguage(o.language.isEmpty() ? QStringLiteral("PascalScript") : checkedLanguage(o.language));
    QString error;
    const Variant v = cache.Calc(o.positional[0], error, &main);
    if (!error.isEmpty())
        throw zorcc::InputError{error};
    io.out << VarToStr(v) << '\n';
    return 0;
}

int functions(const Options &o, zorcc::Io &io)
{
    if (!o.positional.isEmpty())
        throw zorcc::UsageError{QStringLiteral("functions takes no arguments besides its options")};
    const QString language = o.language.isEmpty() ? QString() : checkedLanguage(o.language);
    io.out << fsLibraryListing(language, o.markdown);
    return 0;
}

int reference(const Options &o, zorcc::Io &io)
{
    if (!o.positional.isEmpty())
        throw zorcc::UsageError{QStringLiteral("reference takes no arguments besides --syntax")};
    if (o.language.isEmpty())
        throw zorcc::UsageError{QStringLiteral("reference needs --syntax (one of: %1)")
                                    .arg(kLanguages.join(QStringLiteral(", ")))};
    io.out << fsScriptReference(checkedLanguage(o.language));
    return 0;
}

int runScript(const QStringList &args, zorcc::Io &io)
{
    if (args.isEmpty())
        throw zorcc::UsageError{QStringLiteral("expected run, eval, functions or reference")};
    const Options o = parse(args.mid(1));
    if (args[0] == u"run")
        return run(o, io);
    if (args[0] == u"eval")
        return eval(o, io);
    if (args[0] == u"functions")
        return functions(o, io);
    if (args[0] == u"reference")
        return reference(o, io);
    throw zorcc::UsageError{QStringLiteral("unknown verb ") + args[0]};
}

} // namespace

ZORCC_COMMAND({QStringLiteral("script"), QStringLiteral("run a script, evaluate an expression, list the built-in functions"),
               QString::fromLatin1(kUsage), runScript});
