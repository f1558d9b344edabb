// zorcc sib: translation files to and from tab-separated text, so that
// translators can work in a spreadsheet.
#include "Command.h"

#include "localisation/runtime/SibFile.h"
#include "platform/Exception.h"
#include "platform/Stream.h"

#include <QFileInfo>

using namespace zor;

namespace {

// Splits off "--owner NAME"; the remaining arguments stay in args.
QString takeOwner(QStringList &args)
{
    QString owner;
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) != QLatin1String("--owner"))
            continue;
        if (i + 1 >= args.size())
            throw zorcc::UsageError{QStringLiteral("--owner needs a name")};
        owner = args.at(i + 1);
        args.remove(i, 2);
        break;
    }
    return owner;
}

TSIBFileManager loadSib(const QString &path)
{
    const QByteArray bytes = zorcc::readFileArg(path);
    TBytesStream stream(bytes);
    TSIBFileManager files;
    files.LoadFromStream(stream);
    return files;
}

QString ownerList(const TSIBFileManager &files)
{
    QStringList names;
    for (int i = 0; i < files.Count(); ++i)
        names.append(files.Entry(i).OwnerName);
    return names.join(QStringLiteral(", "));
}

int runExport(QStringList args, zorcc::Io &io)
{
    const QString owner = takeOwner(args);
    if (args.size() != 2)
        throw zorcc::UsageError{QStringLiteral("usage: zorcc sib export <file.sib> <out.tsv> [--owner NAME]")};
    const TSIBFileManager files = loadSib(args.at(0));
    int index = 0;
    if (!owner.isEmpty()) {
        index = files.IndexOfOwner(owner);
        if (index < 0)
            throw zorcc::InputError{QStringLiteral("%1 has no texts of %2 (it has: %3)")
                                        .arg(args.at(0), owner, ownerList(files))};
    } else if (files.Count() != 1) {
        throw zorcc::InputError{files.Count() == 0
                                    ? QStringLiteral("%1 holds no texts").arg(args.at(0))
                                    : QStringLiteral("%1 holds the texts of several forms; choose one with "
                                                     "--owner (%2)").arg(args.at(0), ownerList(files))};
    }
    const TSIBEntry &e = files.Entry(index);
    const QString out = SIBEntryToTSV(e);
    int rows = 0;
    for (const auto &typeLines : e.Lines)
        rows += typeLines.size();
    zorcc::writeFileArg(args.at(1), out.toUtf8());
    io.out << "exported " << rows << " texts of " << e.OwnerName << " in " << e.LangNames.size()
           << " languages to " << args.at(1) << '\n';
    return 0;
}

int runImport(QStringList args, zorcc::Io &io)
{
    QString owner = takeOwner(args);
    if (args.size() != 2)
        throw zorcc::UsageError{QStringLiteral("usage: zorcc sib import <in.tsv> <file.sib> [--owner NAME]")};
    const QString tsvPath = args.at(0), sibPath = args.at(1);
    TSIBEntry entry;
    try {
        entry = SIBEntryFromTSV(QString::fromUtf8(zorcc::readFileArg(tsvPath)));
    } catch (const EReadError &e) {
        throw zorcc::InputError{tsvPath + QStringLiteral(": ") + e.Message()};
    }

    // Other forms' texts in an existing file stay as they are.
    TSIBFileManager files;
    if (QFileInfo::exists(sibPath))
        files = loadSib(sibPath);
    if (owner.isEmpty()) {
        if (files.Count() != 1)
            throw zorcc::UsageError{QStringLiteral("name the form the texts belong to with --owner")};
        owner = files.Entry(0).OwnerName;
    }
    entry.OwnerName = owner;
    const int index = files.IndexOfOwner(owner);
    if (index >= 0) {
        entry.DefaultLanguage = qMin(files.Entry(index).DefaultLanguage, qMax(1, int(entry.LangNames.size())));
        files.Entry(index) = entry;
    } else {
        files.Add(entry);
    }
    files.SaveToFile(sibPath);
    int rows = 0;
    for (const auto &typeLines : entry.Lines)
        rows += typeLines.size();
    io.out << "imported " << rows << " texts of " << owner << " into " << sibPath << '\n';
    return 0;
}

int runSib(const QStringList &args, zorcc::Io &io)
{
    const QString verb = args.value(0);
    if (verb == QLatin1String("export"))
        return runExport(args.mid(1), io);
    if (verb == QLatin1String("import"))
        return runImport(args.mid(1), io);
    throw zorcc::UsageError{QStringLiteral("expected export or import")};
}

} // namespace

ZORCC_COMMAND({QStringLiteral("sib"), QStringLiteral("translation files (.sib) to and from tab-separated text"),
               QStringLiteral(
                   "usage: zorcc sib export <file.sib> <out.tsv> [--owner NAME]\n"
                   "       zorcc sib import <in.tsv> <file.sib> [--owner NAME]\n\n"
                   "export writes the texts of one form (the file's only one, or NAME) as UTF-8 text: a\n"
                   "header row \"ID, Type, one column per language\", then a row per text. Tabs, line\n"
                   "breaks and backslashes inside texts are written as \\t, \\n, \\r and \\\\.\n"
                   "import replaces that form's texts in the file with the rows (creating the file\n"
                   "when needed) and keeps the texts of the other forms."),
               runSib});
