// zorcc sib: translation files to and from tab-separated text, so that
// translators can work in a spreadsheet.
#include "Command.h"

#include <ZorCompCore/localisation/Statistics.h>
#include <ZorCompCore/localisation/runtime/SibFile.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>

#include <QFileInfo>
#include <nlohmann/json.hpp>

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

// The entry of --owner, or the file's only one.
int chooseEntry(const TSIBFileManager &files, const QString &path, const QString &owner)
{
    if (!owner.isEmpty()) {
        const int index = files.IndexOfOwner(owner);
        if (index < 0)
            throw zorcc::InputError{QStringLiteral("%1 has no texts of %2 (it has: %3)")
                                        .arg(path, owner, ownerList(files))};
        return index;
    }
    if (files.Count() != 1)
        throw zorcc::InputError{files.Count() == 0
                                    ? QStringLiteral("%1 holds no texts").arg(path)
                                    : QStringLiteral("%1 holds the texts of several forms; choose one with "
                                                     "--owner (%2)").arg(path, ownerList(files))};
    return 0;
}

int runExport(QStringList args, zorcc::Io &io)
{
    const QString owner = takeOwner(args);
    if (args.size() != 2)
        throw zorcc::UsageError{QStringLiteral("usage: zorcc sib export <file.sib> <out.tsv> [--owner NAME]")};
    const TSIBFileManager files = loadSib(args.at(0));
    const int index = chooseEntry(files, args.at(0), owner);
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

double percent(int a, int b)
{
    return b == 0 ? 0.0 : a * 100.0 / b;
}

int runStats(QStringList args, zorcc::Io &io)
{
    const QString owner = takeOwner(args);
    const bool asJson = args.removeAll(QStringLiteral("--json")) > 0;
    if (args.size() != 1)
        throw zorcc::UsageError{QStringLiteral("usage: zorcc sib stats <file.sib> [--owner NAME] [--json]")};
    const TSIBFileManager files = loadSib(args.at(0));
    const int index = chooseEntry(files, args.at(0), owner);
    TsiLang lang;
    files.AssignTo(index, &lang);
    const QString name = files.Entry(index).OwnerName;
    const TComponentPtr<TTranslationsStats> s = GetStatistics(&lang, name, false);

    if (asJson) {
        nlohmann::ordered_json j;
        j["owner"] = name.toStdString();
        j["languages"] = lang.LangNames().ToQStringList().mid(0, s->Languages()).join(u',').toStdString();
        j["properties"] = s->PropNames().toStdString();
        j["standard"] = {{"items", s->StdItems()}, {"translated", s->TranslatedStd()},
                         {"partial", s->PartialSdt()}, {"empty", s->EmptyStd()}};
        j["extended"] = {{"items", s->ExtItems()}, {"translated", s->TranslatedExt()},
                         {"partial", s->PartialExt()}, {"empty", s->EmptyExt()}};
        j["perLanguage"] = nlohmann::ordered_json::array();
        for (int i = 0; i < s->LanguageStats().Count(); ++i) {
            const TLanguageStats *l = s->LanguageStats().Items(i);
            j["perLanguage"].push_back({{"name", l->Name().toStdString()}, {"nonEmpty", l->NonEmptyItems()},
                                        {"empty", l->EmptyItems()}, {"words", l->WordsCount()}});
        }
        j["directions"] = nlohmann::ordered_json::array();
        for (int i = 0; i < s->TranslationInfos().Count(); ++i) {
            const TTranslationInfo *t = s->TranslationInfos().Items(i);
            j["directions"].push_back({{"name", t->Name().toStdString()}, {"translated", t->TranslatedCount()},
                                       {"wordsInTranslation", t->WordsInTranslation()},
                                       {"wordsToTranslate", t->WordsToTranslate()}});
        }
        io.out << QString::fromStdString(j.dump(2)) << '\n';
        return 0;
    }
    const int total = s->StdItems() + s->ExtItems();
    auto row = [&](const char *label, int count, int of) {
        io.out << "  " << label << ": " << count << " ("
               << QString::number(percent(count, of), 'f', 2) << "%)\n";
    };
    io.out << name << ": " << s->Languages() << " languages (" << s->LangNames() << ")\n"
           << "handled: " << s->PropNames() << '\n'
           << "standard items: " << s->StdItems() << '\n';
    row("translated", s->TranslatedStd(), s->StdItems());
    row("partial", s->PartialSdt(), s->StdItems());
    row("empty", s->EmptyStd(), s->StdItems());
    io.out << "extended items: " << s->ExtItems() << '\n';
    row("translated", s->TranslatedExt(), s->ExtItems());
    row("partial", s->PartialExt(), s->ExtItems());
    row("empty", s->EmptyExt(), s->ExtItems());
    io.out << "total: " << total << '\n';
    row("translated", s->TranslatedStd() + s->TranslatedExt(), total);
    for (int i = 0; i < s->LanguageStats().Count(); ++i) {
        const TLanguageStats *l = s->LanguageStats().Items(i);
        io.out << l->Name() << ": " << l->NonEmptyItems() << " texts, " << l->EmptyItems() << " empty, "
               << l->WordsCount() << " words\n";
    }
    for (int i = 0; i < s->TranslationInfos().Count(); ++i) {
        const TTranslationInfo *t = s->TranslationInfos().Items(i);
        io.out << t->Name() << ": " << t->TranslatedCount() << " translated (" << t->WordsInTranslation()
               << " words), " << t->WordsToTranslate() << " words to translate\n";
    }
    return 0;
}

int runSib(const QStringList &args, zorcc::Io &io)
{
    const QString verb = args.value(0);
    if (verb == QLatin1String("export"))
        return runExport(args.mid(1), io);
    if (verb == QLatin1String("import"))
        return runImport(args.mid(1), io);
    if (verb == QLatin1String("stats"))
        return runStats(args.mid(1), io);
    throw zorcc::UsageError{QStringLiteral("expected export, import or stats")};
}

} // namespace

ZORCC_COMMAND({QStringLiteral("sib"), QStringLiteral("translation files (.sib) to and from tab-separated text"),
               QStringLiteral(
                   "usage: zorcc sib export <file.sib> <out.tsv> [--owner NAME]\n"
                   "       zorcc sib import <in.tsv> <file.sib> [--owner NAME]\n"
                   "       zorcc sib stats <file.sib> [--owner NAME] [--json]\n\n"
                   "export writes the texts of one form (the file's only one, or NAME) as UTF-8 text: a\n"
                   "header row \"ID, Type, one column per language\", then a row per text. Tabs, line\n"
                   "breaks and backslashes inside texts are written as \\t, \\n, \\r and \\\\.\n"
                   "import replaces that form's texts in the file with the rows (creating the file\n"
                   "when needed) and keeps the texts of the other forms.\n"
                   "stats counts how far the form's texts are translated: lines translated in every\n"
                   "language, partly or not at all, texts and words per language, and per direction\n"
                   "from the first language the texts translated and the words still to translate."),
               runSib});
