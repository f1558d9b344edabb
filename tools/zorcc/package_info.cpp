// zorcc info: the package's module table and the library version, and what
// each module is for.
#include "Command.h"

#include <ZorCompCore/package/Package.h>

#include <QFileInfo>

namespace {

struct HeaderSummary
{
    const char *path;  // below include/ZorCompCore/
    const char *text;  // the comment the header opens with
};
#include "HeaderSummaries.inc"

// Module names are the unit names of the package's table ("_StreamHelper",
// "quenlor.Tools.Translator"); the header carries the unit's own name. The few
// whose header has another name are listed here.
const HeaderSummary *headerOf(const QString &module)
{
    static const std::pair<const char *, const char *> renamed[] = {
        {"quenlor.Tools.Exceptions", "core/ExceptionUtils.h"},
        {"_IndyUtils", "web/MessageEx.h"},
        {"_WPReportHelper", "richtext/engine/ReportHelper.h"},
        {"_cxWPToolsRichEditZOREditor", "richtext/frame/frmQEWPRichText.h"},
    };
    auto byPath = [](const QString &path) -> const HeaderSummary * {
        for (const HeaderSummary &h : kHeaderSummaries) {
            if (path == QLatin1String(h.path))
                return &h;
        }
        return nullptr;
    };
    for (const auto &[name, path] : renamed) {
        if (module == QLatin1String(name))
            return byPath(QLatin1String(path));
    }
    QString unit = module.mid(module.lastIndexOf(u'.') + 1);
    while (unit.startsWith(u'_'))
        unit.remove(0, 1);
    // Exact names first, then without the "quenlor" prefix, then the longest
    // header name the unit starts with (_LiveTourActionDef: LiveTour.h).
    const HeaderSummary *best = nullptr;
    qsizetype bestLength = 0;
    for (const QString &key : {unit, unit.startsWith(u"quenlor") ? unit.mid(7) : QString()}) {
        for (const HeaderSummary &h : kHeaderSummaries) {
            const QString base = QFileInfo(QLatin1String(h.path)).baseName();
            if (!key.isEmpty() && base.compare(key, Qt::CaseInsensitive) == 0)
                return &h;
            if (base.size() > bestLength && unit.startsWith(base, Qt::CaseInsensitive)) {
                best = &h;
                bestLength = base.size();
            }
        }
    }
    return best;
}

void printTable(zorcc::Io &io)
{
    io.out << "ZorCompCore " << zor::LibraryVersion() << "\n\n"
           << "Modules in start-up order (shut-down runs backwards). Each is one unit of the library,\n"
           << "listed under the name the package's module table gives it (the names a host sees through\n"
           << "GetPackageInfoTable); \"header\" is where its interface is declared, included as\n"
           << "<ZorCompCore/header>. 'zorcc info <module>' says what a module is for.\n\n"
           << "  #   module                          header                            start-up  shut-down\n";
    for (int i = 0; i < zor::ModuleCount(); ++i) {
        const zor::ModuleInfo m = zor::ModuleAt(i);
        const HeaderSummary *h = headerOf(QString::fromLatin1(m.Name));
        io.out << "  " << QString::number(i + 1).leftJustified(3) << ' '
               << QString::fromLatin1(m.Name).leftJustified(31) << ' '
               << QString::fromLatin1(h ? h->path : "-").leftJustified(33) << ' '
               << QString::fromLatin1(m.HasStartup ? "yes" : "-").leftJustified(9) << ' '
               << (m.HasShutdown ? "yes" : "-") << '\n';
    }
}

void printModule(const QString &name, zorcc::Io &io)
{
    for (int i = 0; i < zor::ModuleCount(); ++i) {
        const zor::ModuleInfo m = zor::ModuleAt(i);
        if (name != QLatin1String(m.Name))
            continue;
        const HeaderSummary *h = headerOf(name);
        io.out << name << " (module " << i + 1 << " of " << zor::ModuleCount() << ")\n"
               << "header: " << (h ? QStringLiteral("<ZorCompCore/%1>").arg(QLatin1String(h->path)) : u"-"_qs)
               << "\nstart-up action: " << (m.HasStartup ? "yes" : "none")
               << "\nshut-down action: " << (m.HasShutdown ? "yes" : "none") << "\n";
        if (h && *h->text)
            io.out << '\n' << QString::fromUtf8(h->text);
        return;
    }
    throw zorcc::InputError{QStringLiteral("no module named '%1' (zorcc info lists them)").arg(name)};
}

int runInfo(const QStringList &args, zorcc::Io &io)
{
    if (args.size() > 1)
        throw zorcc::UsageError{QStringLiteral("takes at most one module name")};
    if (!args.isEmpty() && args.first().startsWith(u'-'))
        throw zorcc::UsageError{QStringLiteral("unknown option %1").arg(args.first())};
    if (args.isEmpty())
        printTable(io);
    else
        printModule(args.first(), io);
    return 0;
}

} // namespace

ZORCC_COMMAND({QStringLiteral("info"), QStringLiteral("print the module table and library version"),
               QStringLiteral("usage: zorcc info [<module>]\n\n"
                              "Prints the library version and the package's modules in start-up order: the\n"
                              "name the module table gives each, the header that declares its interface, and\n"
                              "which of them have start-up and shut-down actions (run when the library is\n"
                              "loaded and unloaded). With a module name, prints what that module is for."),
               runInfo});
