// zorcc translate: texts through the dynamic translator and its local cache,
// backed by a LibreTranslate service or a glossary.
#include "Command.h"

#include <ZorCompCore/core/SyncObjs.h>
#include <ZorCompCore/localisation/GlossaryTranslator.h>
#include <ZorCompCore/localisation/LanguageCodes.h>
#include <ZorCompCore/localisation/LibreTranslator.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/MainThread.h>

#include <QElapsedTimer>
#include <QFileInfo>

using namespace zor;

namespace {

struct Options
{
    QString from, to, service, glossary, textId = QStringLiteral("zorcc.text"), cacheDir;
    bool defer = false;
    int timeoutMs = 30000;
    QStringList texts;
};

Options parse(const QStringList &args)
{
    Options o;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&]() -> QString {
            if (i + 1 >= args.size())
                throw zorcc::UsageError{QStringLiteral("%1 needs a value").arg(a)};
            return args[++i];
        };
        if (a == u"--from")
            o.from = value();
        else if (a == u"--to")
            o.to = value();
        else if (a == u"--service")
            o.service = value();
        else if (a == u"--glossary")
            o.glossary = value();
        else if (a == u"--id")
            o.textId = value();
        else if (a == u"--cache-dir")
            o.cacheDir = value();
        else if (a == u"--defer")
            o.defer = true;
        else if (a == u"--timeout") {
            bool ok = false;
            o.timeoutMs = value().toInt(&ok);
            if (!ok || o.timeoutMs <= 0)
                throw zorcc::UsageError{QStringLiteral("--timeout takes a positive number of milliseconds")};
        } else if (a.startsWith(u"--") && a.size() > 2)
            throw zorcc::UsageError{QStringLiteral("unknown option %1").arg(a)};
        else
            o.texts << (a == u"--" && i + 1 < args.size() ? args[++i] : a);
    }
    if (o.from.isEmpty() || o.to.isEmpty())
        throw zorcc::UsageError{QStringLiteral("--from and --to are required")};
    if (o.texts.isEmpty())
        throw zorcc::UsageError{QStringLiteral("no text to translate")};
    if (o.service.isEmpty() && o.glossary.isEmpty())
        o.service = qEnvironmentVariable("ZOR_LIBRETRANSLATE_URL");
    if (o.service.isEmpty() == o.glossary.isEmpty())
        throw zorcc::UsageError{QStringLiteral("give either --service <url> or --glossary <file>")};
    return o;
}

// Entries of the pair now in memory, for the progress line.
int cachedCount(TZORCustomTranslator &t, const Options &o)
{
    TZORLocalCacheLangData *c = t.LocalCache().GetCacheByLangPair(o.from, o.to);
    c->Sync().BeginRead();
    const int n = c->Count();
    c->Sync().EndRead();
    return n;
}

// The text ID of text AIndex: the same in direct and deferred mode, so that
// both read and fill the same cache entries.
QString textIdOf(const Options &o, int AIndex)
{
    return o.texts.size() == 1 ? o.textId : o.textId + u'.' + QString::number(AIndex + 1);
}

// Whether the cache folder takes new files (it exists, or was just created).
bool cacheFolderWritable(const QString &folder, QString &why)
{
    const QFileInfo info(folder);
    if (folder.isEmpty())
        why = QStringLiteral("no cache folder");
    else if (!info.isDir())
        why = QStringLiteral("%1 does not exist and cannot be created").arg(folder);
    else if (!info.isWritable())
        why = QStringLiteral("%1 is not writable").arg(folder);
    return why.isEmpty();
}

int runTranslate(const QStringList &args, zorcc::Io &io)
{
    Options o = parse(args);
    // "de", "German" and "Deutsch" name one pair, one cache file and one
    // glossary: the English name, where the translator knows it by that name
    // (a service may name a language otherwise than Qt's locale data).
    auto canonical = [&o](const TZORCustomTranslator *translator) {
        for (QString *lang : {&o.from, &o.to}) {
            const QString name = LanguageNameOf(*lang);
            if (!name.isEmpty() && (!translator || translator->KnowsLanguage(name) || !translator->KnowsLanguage(*lang)))
                *lang = name;
        }
    };

    TComponentPtr<TZORCustomTranslator> translator;
    TZORLibreTranslator *libre = nullptr;
    if (!o.service.isEmpty()) {
        libre = new TZORLibreTranslator;
        translator.reset(libre);
        libre->SetServiceURL(o.service);
        libre->SetReadTimeout(o.timeoutMs);
        canonical(libre);
    } else {
        auto *glossary = new TZORGlossaryTranslator;
        translator.reset(glossary);
        if (QFileInfo(o.glossary).isDir()) {
            if (glossary->LoadGlossaryFolder(o.glossary) == 0)
                throw zorcc::InputError{QStringLiteral("%1 holds no <Source>-<Dest>.tsv glossary").arg(o.glossary)};
            canonical(glossary);
        } else {
            canonical(nullptr); // the file is loaded under the names chosen here
            glossary->LoadGlossaryFile(o.from, o.to, o.glossary);
        }
    }
    if (!translator->KnowsLanguage(o.from) || !translator->KnowsLanguage(o.to))
        throw zorcc::InputError{QStringLiteral("the translator does not know %1 to %2").arg(o.from, o.to)};
    translator->SetAppName(QStringLiteral("zorcc"));
    if (!o.cacheDir.isEmpty())
        translator->SetLocalCachePersistancePath(o.cacheDir);
    translator->SetActive(true); // computes and creates the cache folder
    QString cacheProblem;
    if (!cacheFolderWritable(translator->LocalCachePersistancePath(), cacheProblem))
        io.err << "zorcc translate: warning: translations cannot be cached: " << cacheProblem << '\n';

    if (o.defer) {
        int callbacks = 0;
        struct Counter
        {
            int *n;
            void Done(QObject *) { ++*n; }
        } counter{&callbacks};
        const int before = cachedCount(*translator, o);
        for (int i = 0; i < o.texts.size(); ++i)
            translator->ScheduleDynamicTranslation(textIdOf(o, i), o.texts[i], o.from, o.to,
                                                   TNotifyEvent::Of<&Counter::Done>(&counter));
        io.err << "scheduled " << o.texts.size() << " text(s)\n";
        io.err.flush();
        if (translator->ProcessScheduledTranslations(true)) {
            QElapsedTimer timer;
            timer.start();
            qint64 lastReport = 0;
            while (translator->IsScheduledTranslationsLoadingLocked() || callbacks == 0) {
                CheckSynchronize(50);
                if (timer.elapsed() - lastReport >= 1000) {
                    lastReport = timer.elapsed();
                    io.err << "  " << (cachedCount(*translator, o) - before) << " new translation(s) after "
                           << lastReport / 1000 << " s\n";
                    io.err.flush();
                }
                if (!translator->IsScheduledTranslationsLoadingLocked())
                    break; // finished without anything to report
            }
            translator->WaitForSchduledLoaders(false);
        }
        io.err << "loader finished: " << (cachedCount(*translator, o) - before) << " new translation(s)\n";
    }

    int failed = 0;
    for (int i = 0; i < o.texts.size(); ++i) {
        TCacheFillMode mode = o.defer ? cfmNever : cfmAllways;
        io.out << translator->TranslateText(textIdOf(o, i), o.texts[i], o.from, o.to, mode) << '\n';
        if (mode == cfmTranslationError || mode == cfmNotFound)
            ++failed;
    }
    io.out.flush();
    if (failed) {
        const QString why = libre ? libre->LastError() : QStringLiteral("not in the glossary");
        io.err << "zorcc translate: " << failed << " text(s) left untranslated"
               << (why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why)) << '\n';
    }
    // Saved here rather than by the translator's destructor, which has nobody
    // to tell when the folder cannot be written.
    if (cacheProblem.isEmpty()) {
        try {
            translator->SaveLocalCacheData();
        } catch (const Exception &e) {
            cacheProblem = e.Message();
            io.err << "zorcc translate: warning: translations cannot be cached: " << cacheProblem << '\n';
        }
    }
    translator.reset();
    return failed || !cacheProblem.isEmpty() ? 1 : 0;
}

} // namespace

ZORCC_COMMAND({QStringLiteral("translate"), QStringLiteral("translate texts through the translator and its cache"),
               QStringLiteral(
                   "usage: zorcc translate --from <lang> --to <lang> [--service <url> | --glossary <file|folder>]\n"
                   "                      [--defer] [--id <text id>] [--cache-dir <folder>] [--timeout <ms>] <text>...\n\n"
                   "Translates each text and prints one line per text. Languages are English names\n"
                   "(German), own names (Deutsch) or ISO 639-1 codes (de): all three name the same pair,\n"
                   "cache file and glossary. --service talks to a LibreTranslate server (default: $ZOR_LIBRETRANSLATE_URL,\n"
                   "key from $ZOR_LIBRETRANSLATE_API_KEY); --glossary uses a tab-separated glossary file for the\n"
                   "pair, or a folder of <Source>-<Dest>.tsv files (English names: German-English.tsv).\n"
                   "Results are cached in the translator's default cache folder for zorcc, in your\n"
                   "home's data folders, unless --cache-dir is given; a text is cached under its text ID\n"
                   "(--id, default zorcc.text; with several texts <id>.1, <id>.2 …) and its wording, the\n"
                   "same with and without --defer.\n"
                   "--defer schedules the texts for the background loader, shows its progress on stderr and\n"
                   "prints the results once it is done. Exit status 1 when a text stays untranslated or\n"
                   "the cache folder cannot be written (a warning says which)."),
               runTranslate});
