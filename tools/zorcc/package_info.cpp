// zorcc info: the package's module table and the library version.
#include "Command.h"

#include <ZorCompCore/package/Package.h>

namespace {

int runInfo(const QStringList &args, zorcc::Io &io)
{
    if (!args.isEmpty())
        throw zorcc::UsageError{QStringLiteral("takes no arguments")};
    io.out << "ZorCompCore " << zor::LibraryVersion() << "\n\n";
    io.out << "Modules in start-up order (shut-down runs backwards):\n";
    io.out << "  #   module                               start-up  shut-down\n";
    for (int i = 0; i < zor::ModuleCount(); ++i) {
        const zor::ModuleInfo m = zor::ModuleAt(i);
        io.out << "  " << QString::number(i + 1).leftJustified(3) << ' '
               << QString::fromLatin1(m.Name).leftJustified(36) << ' '
               << QString::fromLatin1(m.HasStartup ? "yes" : "-").leftJustified(9) << ' '
               << (m.HasShutdown ? "yes" : "-") << '\n';
    }
    return 0;
}

} // namespace

ZORCC_COMMAND({QStringLiteral("info"), QStringLiteral("print the module table and library version"),
               QStringLiteral("usage: zorcc info\n\nPrints the library version and the package's modules "
                              "in start-up order, with which of them have start-up and shut-down actions."),
               runInfo});
