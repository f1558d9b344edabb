// zorcc sib: translation files to and from tab-separated text, so that
// translators can work in a spreadsheet.
#include "Command.h"

#include "localisation/runtime/SibFile.h"
#include "platform/Stream.h"

#include <QFileInfo>

using namespace zor;

namespace {

const QChar Tab = QLatin1Char('\t');

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
    QString out = QStringLiteral("ID\tType");
    for (const QString &name : e.LangNames)
        out += Tab + siEncodeText(name);
    out += QLatin1Char('\n');
    int rows = 0;
    for (int t = 0; t < StringsTypeCount; ++t) {
        for (const QStringList &fields : e.Lines[t]) {
            QStringList row{siEncodeText(fields.value(0)), StringsTypeName(TStringsType(t))};
            for (int l = 1; l <= e.LangNames.size(); ++l)
                row.append(siEncodeText(fields.value(l)));
            out += row.join(Tab) + QLatin1Char('\n');
            ++rows;
        }
    }
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
    QString text = QString::fromUtf8(zorcc::readFileArg(tsvPath));
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();

    const QStringList header = lines.value(0).split(Tab);
    if (header.size() < 2 || header.at(0) != QLatin1String("ID") || header.at(1) != QLatin1String("Type"))
        throw zorcc::InputError{QStringLiteral("%1:1: expected the header ID, Type and one column per language")
                                    .arg(tsvPath)};
    TSIBEntry entry;
    for (int c = 2; c < header.size(); ++c)
        entry.LangNames.append(siDecodeText(header.at(c)));
    for (int n = 1; n < lines.size(); ++n) {
        if (lines.at(n).isEmpty())
            continue;
        const QStringList cells = lines.at(n).split(Tab);
        const int type = StringsTypeFromName(cells.value(1));
        if (cells.size() < 2 || type < 0)
            throw zorcc::InputError{QStringLiteral("%1:%2: unknown type '%3'").arg(tsvPath).arg(n + 1).arg(cells.value(1))};
        if (cells.size() > header.size())
            throw zorcc::InputError{QStringLiteral("%1:%2: %3 columns, the header has %4")
                                        .arg(tsvPath).arg(n + 1).arg(cells.size()).arg(header.size())};
        QStringList fields{siDecodeText(cells.at(0))};
        for (int c = 2; c < cells.size(); ++c)
            fields.append(siDecodeText(cells.at(c)));
        while (fields.size() > 1 && fields.last().isEmpty())
            fields.removeLast();
        entry.Lines[type].append(fields);
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
