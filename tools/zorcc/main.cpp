// zorcc: the library's command-line tool, one subcommand per capability.
#include "Command.h"

#include <QCoreApplication>
#include <QFile>
#include <QApplication>
#include <QGuiApplication>
#include <map>
#include <memory>

#include <ZorCompCore/platform/Exception.h>

namespace zorcc {

static std::map<QString, Command> &commands()
{
    static std::map<QString, Command> c;
    return c;
}

bool registerCommand(Command cmd)
{
    commands()[cmd.name] = std::move(cmd);
    return true;
}

static std::map<QString, std::function<bool(const QStringList &)>> &guiNeeds()
{
    static std::map<QString, std::function<bool(const QStringList &)>> g;
    return g;
}

bool registerGuiNeed(const QString &name, std::function<bool(const QStringList &args)> needsGui)
{
    guiNeeds()[name] = std::move(needsGui);
    return true;
}

static std::map<QString, std::function<bool(const QStringList &)>> &widgetsNeeds()
{
    static std::map<QString, std::function<bool(const QStringList &)>> w;
    return w;
}

bool registerWidgetsNeed(const QString &name, std::function<bool(const QStringList &args)> needsWidgets)
{
    widgetsNeeds()[name] = std::move(needsWidgets);
    return true;
}

// A GUI application only for runs that draw text or vector pictures, a
// widget application only for runs that use controls.
static std::unique_ptr<QCoreApplication> makeApplication(int &argc, char **argv)
{
    QStringList args;
    for (int i = 2; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const QString name = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    auto asks = [&](const std::map<QString, std::function<bool(const QStringList &)>> &needs) {
        const auto need = needs.find(name);
        return need != needs.end() && need->second(args);
    };
    const bool widgets = asks(widgetsNeeds());
    if (widgets || asks(guiNeeds())) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (widgets)
            return std::make_unique<QApplication>(argc, argv);
        return std::make_unique<QGuiApplication>(argc, argv);
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

QByteArray readFileArg(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw InputError{QStringLiteral("cannot read %1: %2").arg(path, f.errorString())};
    return f.readAll();
}

void writeFileArg(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size())
        throw InputError{QStringLiteral("cannot write %1: %2").arg(path, f.errorString())};
}

} // namespace zorcc

namespace {

void printHelp(QTextStream &out)
{
    out << "usage: zorcc <command> [arguments]\n\n"
        << "ZorCompCore's command-line tool.\n\n"
        << "Options:\n"
        << "  --help       show this help (zorcc <command> --help for a command)\n"
        << "  --version    print the library version\n\n"
        << "Commands:\n";
    for (const auto &[name, cmd] : zorcc::commands())
        out << "  " << name.leftJustified(12) << ' ' << cmd.summary << '\n';
}

// A usage error is one line saying what is wrong and where the help is; the
// help itself goes to stdout only when asked for.
int usageError(QTextStream &err, const QString &who, const QString &message)
{
    err << who << ": " << message << "\nsee '" << who << " --help'\n";
    return 2;
}

// "--help" or "-h" before a "--" that ends the options.
bool asksForHelp(const QStringList &args)
{
    for (const QString &a : args) {
        if (a == u"--")
            return false;
        if (a == u"--help" || a == u"-h")
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    const std::unique_ptr<QCoreApplication> application = zorcc::makeApplication(argc, argv);
    QCoreApplication &app = *application;
    QTextStream out(stdout);
    QTextStream err(stderr);
    zorcc::Io io{out, err};

    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usageError(err, QStringLiteral("zorcc"), QStringLiteral("missing command"));
    const QString first = args.takeFirst();
    if (first == u"--help" || first == u"-h" || first == u"help") {
        // "zorcc help <command>" is the same as "zorcc <command> --help".
        if (args.isEmpty()) {
            printHelp(out);
            return 0;
        }
        auto named = zorcc::commands().find(args.first());
        if (named == zorcc::commands().end())
            return usageError(err, QStringLiteral("zorcc"), QStringLiteral("unknown command '%1'").arg(args.first()));
        out << named->second.usage << '\n';
        return 0;
    }
    if (first == u"--version") {
        out << "zorcc " << ZOR_VERSION_STRING << '\n';
        return 0;
    }
    auto it = zorcc::commands().find(first);
    if (it == zorcc::commands().end())
        return usageError(err, QStringLiteral("zorcc"), QStringLiteral("unknown command '%1'").arg(first));
    const zorcc::Command &cmd = it->second;
    if (asksForHelp(args)) {
        out << cmd.usage << '\n';
        return 0;
    }
    const QString who = QStringLiteral("zorcc ") + cmd.name;
    try {
        return cmd.run(args, io);
    } catch (const zorcc::UsageError &e) {
        return usageError(err, who, e.message);
    } catch (const zorcc::InputError &e) {
        err << who << ": " << e.message << '\n';
        return 1;
    } catch (const zor::Exception &e) {
        err << who << ": " << e.Message() << '\n';
        return 1;
    } catch (const std::exception &e) {
        err << who << ": " << e.what() << '\n';
        return 1;
    }
}
