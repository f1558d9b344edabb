// zorcc sib: translation files to and from the files translators work with:
// Qt Linguist (.ts), gettext (.po) and tab-separated text for spreadsheets.
#include "Command.h"

#include <ZorCompCore/localisation/LanguageCodes.h>
#include <ZorCompCore/localisation/SibExchange.h>
#include <ZorCompCore/localisation/Statistics.h>
#include <ZorCompCore/localisation/runtime/SibFile.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>

#include <QFileInfo>
#include <QRegularExpression>
#include <nlohmann/json.hpp>

using namespace zor;

namespace {

// Splits off "<option> VALUE"; the remaining arguments stay in args.
QString takeOption(QStringList &args, QLatin1String option)
{
    QString value;
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) != option)
            continue;
        if (i + 1 >= args.size())
            throw zorcc::UsageError{QStringLiteral("%1 needs a value").arg(option)};
        value = args.at(i + 1);
        args.remove(i, 2);
        break;
    }
    return value;
}

QString takeOwner(QStringList &args)
{
    return takeOption(args, QLatin1String("--owner"));
}

enum class Format { Tsv, Ts, Po };

// --format, else the file's extension; tab-separated text for any other.
Format takeFormat(QStringList &args, const QString &file)
{
    const QString given = takeOption(args, QLatin1String("--format")).toLower();
    const QString name = given.isEmpty() ? QFileInfo(file).suffix().toLower() : given;
    if (name == u"ts")
        return Format::Ts;
    if (name == u"po")
        return Format::Po;
    if (given.isEmpty() || name == u"tsv")
        return Format::Tsv;
    throw zorcc::UsageError{QStringLiteral("unknown format '%1' (one of: ts, po, tsv)").arg(given)};
}

void rejectOptions(const QStringList &args)
{
    for (const QString &a : args)
        if (a.startsWith(u"--"))
            throw zorcc::UsageError{QStringLiteral("unknown option %1").arg(a)};
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

// The target languages of the forms (all but each form's design language),
// one name per language: names of the same code count once.
QStringList targetLanguages(const TSIBFileManager &files, const QString &owner)
{
    QStringList names, codes;
    for (int i = 0; i < files.Count(); ++i) {
        const TSIBEntry &e = files.Entry(i);
        if (!owner.isEmpty() && e.OwnerName.compare(owner, Qt::CaseInsensitive) != 0)
            continue;
        for (const QString &name : e.LangNames.mid(1)) {
            const QString code = LanguageCodeOf(name);
            if (names.contains(name, Qt::CaseInsensitive) || (!code.isEmpty() && codes.contains(code)))
                continue;
            names << name;
            codes << code;
        }
    }
    return names;
}

int exportTsv(const QStringList &args, const QString &owner, zorcc::Io &io)
{
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

int runExport(QStringList args, zorcc::Io &io)
{
    const QString owner = takeOwner(args);
    const QString language = takeOption(args, QLatin1String("--language"));
    const Format format = takeFormat(args, args.value(1));
    rejectOptions(args);
    if (args.size() != 2)
        throw zorcc::UsageError{QStringLiteral("expected <file.sib> <out>")};
    if (format == Format::Tsv) {
        if (!language.isEmpty())
            throw zorcc::UsageError{QStringLiteral("--language is for ts and po: tab-separated text holds every language")};
        return exportTsv(args, owner, io);
    }
    const TSIBFileManager files = loadSib(args.at(0));
    if (!owner.isEmpty() && files.IndexOfOwner(owner) < 0)
        throw zorcc::InputError{QStringLiteral("%1 has no texts of %2 (it has: %3)").arg(args.at(0), owner, ownerList(files))};
    // One file per target language: the one asked for at <out>, or each at <out>_<code>.
    QList<std::pair<QString, QString>> targets; // language, file
    if (!language.isEmpty()) {
        targets.append({language, args.at(1)});
    } else {
        const QFileInfo out(args.at(1));
        const QString folder = args.at(1).contains(u'/') ? out.path() + u'/' : QString();
        const QString stem = folder + out.completeBaseName() + u'_';
        const QString ext = format == Format::Ts ? QStringLiteral(".ts") : QStringLiteral(".po");
        for (const QString &name : targetLanguages(files, owner)) {
            QString code = LanguageCodeOf(name);
            if (code.isEmpty())
                code = name;
            code.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
            targets.append({name, stem + code + ext});
        }
        if (targets.isEmpty())
            throw zorcc::InputError{QStringLiteral("%1 has no language besides the design language").arg(args.at(0))};
    }
    for (const auto &[lang, path] : targets) {
        TSIBExchangeFile file;
        try {
            file = SIBExchangeExtract(files, lang, owner);
        } catch (const EArgumentException &e) {
            throw zorcc::InputError{args.at(0) + QStringLiteral(": ") + e.Message()};
        }
        zorcc::writeFileArg(path, format == Format::Ts ? SIBExchangeToTS(file) : SIBExchangeToPO(file));
        int translated = 0;
        QStringList forms;
        for (const TSIBExchangeMessage &m : file.Messages) {
            translated += m.Translation.isEmpty() ? 0 : 1;
            if (!forms.contains(m.Owner))
                forms << m.Owner;
        }
        io.out << "exported " << file.Messages.size() << " texts (" << translated << " translated) of "
               << forms.join(QStringLiteral(", ")) << " in " << lang << " to " << path << '\n';
    }
    return 0;
}

int importTsv(const QStringList &args, QString owner, zorcc::Io &io)
{
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

int runImport(QStringList args, zorcc::Io &io)
{
    const QString owner = takeOwner(args);
    const QString language = takeOption(args, QLatin1String("--language"));
    const Format format = takeFormat(args, args.value(0));
    rejectOptions(args);
    if (args.size() != 2)
        throw zorcc::UsageError{QStringLiteral("expected <in> <file.sib>")};
    if (format == Format::Tsv) {
        if (!language.isEmpty())
            throw zorcc::UsageError{QStringLiteral("--language is for ts and po: tab-separated text holds every language")};
        return importTsv(args, owner, io);
    }
    const QString inPath = args.at(0), sibPath = args.at(1);
    if (!QFileInfo::exists(sibPath))
        throw zorcc::InputError{QStringLiteral("%1 does not exist: translations are merged into the file they were "
                                               "exported from").arg(sibPath)};
    TSIBExchangeFile file;
    try {
        const QByteArray data = zorcc::readFileArg(inPath);
        file = format == Format::Ts ? SIBExchangeFromTS(data) : SIBExchangeFromPO(data);
    } catch (const EReadError &e) {
        throw zorcc::InputError{inPath + QStringLiteral(": ") + e.Message()};
    }
    if (!owner.isEmpty())
        file.Messages.removeIf([&](const TSIBExchangeMessage &m) { return m.Owner.compare(owner, Qt::CaseInsensitive) != 0; });
    if (language.isEmpty() && file.Language.isEmpty())
        throw zorcc::InputError{inPath + QStringLiteral(" does not say its language: name it with --language")};
    TSIBFileManager files = loadSib(sibPath);
    TSIBMergeResult r;
    try {
        r = SIBExchangeMerge(files, file, language);
    } catch (const EArgumentException &e) {
        throw zorcc::InputError{inPath + QStringLiteral(": ") + e.Message()};
    }
    files.SaveToFile(sibPath);
    io.out << "imported " << (r.Changed + r.Unchanged) << " translations ("
           << (language.isEmpty() ? file.Language : language) << ") into " << sibPath << ": " << r.Changed
           << " changed, " << r.Unchanged << " unchanged, " << r.Untranslated << " left empty\n";
    for (const QString &form : r.LanguageAddedTo)
        io.err << "zorcc sib: note: " << form << " did not have the language; it was added\n";
    if (r.SourceChanged)
        io.err << "zorcc sib: warning: " << r.SourceChanged
               << " translations were made for a design text that has changed since; check them\n";
    if (!r.NotFound.isEmpty()) {
        io.err << "zorcc sib: warning: " << r.NotFound.size() << " texts are not in " << sibPath
               << " and were skipped:";
        for (const QString &t : r.NotFound.mid(0, 10))
            io.err << ' ' << t << ';';
        io.err << (r.NotFound.size() > 10 ? " …\n" : "\n");
    }
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

ZORCC_COMMAND({QStringLiteral("sib"), QStringLiteral("translation files (.sib) to and from Linguist, gettext and tab-separated text"),
               QStringLiteral(
                   "usage: zorcc sib export <file.sib> <out> [--format ts|po|tsv] [--language NAME] [--owner NAME]\n"
                   "       zorcc sib import <in> <file.sib> [--format ts|po|tsv] [--language NAME] [--owner NAME]\n"
                   "       zorcc sib stats <file.sib> [--owner NAME] [--json]\n\n"
                   "The format is --format or the extension of <out>/<in> (.ts, .po; anything else is\n"
                   "tab-separated text).\n\n"
                   "ts, po: one file per target language, for Qt Linguist, Poedit, Weblate, Transifex\n"
                   "and the like. Each form is a context (TS) or the start of msgctxt (PO); each text\n"
                   "carries its type and ID (\"stCaptions:btnOK.text\") and its design text (the form's\n"
                   "first language) as the source. export writes every form (or NAME's) in the language\n"
                   "--language names (a name or ISO code), or each target language to <out>_<code>.\n"
                   "import writes the file's translations into the existing .sib by form, type and ID;\n"
                   "other languages, other forms and texts left empty stay as they were. A form without\n"
                   "the language gets it (named --language, else the language's English name).\n\n"
                   "tsv: export writes the texts of one form (the file's only one, or NAME) as UTF-8\n"
                   "text: a header row \"ID, Type, one column per language\", then a row per text. Tabs,\n"
                   "line breaks and backslashes inside texts are written as \\t, \\n, \\r and \\\\.\n"
                   "import replaces that form's texts in the file with the rows (creating the file\n"
                   "when needed) and keeps the texts of the other forms.\n"
                   "stats counts how far the form's texts are translated: lines translated in every\n"
                   "language, partly or not at all, texts and words per language, and per direction\n"
                   "from the first language the texts translated and the words still to translate."),
               runSib});
