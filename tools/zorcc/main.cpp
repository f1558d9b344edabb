// zorcc: the library's command-line tool, one subcommand per capability.
#include "Command.h"

#include <QCoreApplication>
#include <QFile>
#include <map>

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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    zorcc::Io io{out, err};

    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        printHelp(err);
        return 2;
    }
    const QString first = args.takeFirst();
    if (first == u"--help" || first == u"-h" || first == u"help") {
        printHelp(out);
        return 0;
    }
    if (first == u"--version") {
        out << "zorcc " << ZOR_VERSION_STRING << '\n';
        return 0;
    }
    auto it = zorcc::commands().find(first);
    if (it == zorcc::commands().end()) {
        err << "zorcc: unknown command '" << first << "' (see zorcc --help)\n";
        return 2;
    }
    const zorcc::Command &cmd = it->second;
    if (args.contains(u"--help"_qs) || args.contains(u"-h"_qs)) {
        out << cmd.usage << '\n';
        return 0;
    }
    try {
        return cmd.run(args, io);
    } catch (const zorcc::UsageError &e) {
        err << "zorcc " << cmd.name << ": " << e.message << '\n' << cmd.usage << '\n';
        return 2;
    } catch (const zorcc::InputError &e) {
        err << "zorcc " << cmd.name << ": " << e.message << '\n';
        return 1;
    } catch (const zor::Exception &e) {
        err << "zorcc " << cmd.name << ": " << e.Message() << '\n';
        return 1;
    } catch (const std::exception &e) {
        err << "zorcc " << cmd.name << ": " << e.what() << '\n';
        return 1;
    }
}
