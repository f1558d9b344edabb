// The gallery application. Without arguments it shows its forms; with
// --headless it runs the language switch without a window and prints the
// form's texts before and after (for the quick start's showcase). With
// --statistics FILE.png it then counts the form's translations, prints the
// counts and saves a picture of the statistics dialog.
#include "LanguageDemo.h"

#include <ZorCompCore/localisation/GlossaryTranslator.h>
#include <ZorCompCore/localisation/Statistics.h>
#include <ZorCompCore/localisation/ZORLang.h>
#include <ZorCompCore/platform/MainThread.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>

using namespace zor;

namespace {

QString argValue(const QStringList &args, const QString &name, const QString &fallback)
{
    const int i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : fallback;
}

// Prints the counts and saves the dialog as it shows them.
bool saveStatistics(const TsiCustomLang *lang, const QString &file, QTextStream &out)
{
    const TComponentPtr<TTranslationsStats> stats = GetStatistics(lang, QStringLiteral("frmLanguageDemo"), false);
    out << "Translation statistics (" << stats->LangNames() << "):\n"
        << "  handled: " << stats->PropNames() << '\n'
        << "  standard items: " << stats->StdItems() << " (translated " << stats->TranslatedStd() << ", partial "
        << stats->PartialSdt() << ", empty " << stats->EmptyStd() << ")\n";
    for (int i = 0; i < stats->TranslationInfos().Count(); ++i) {
        const TTranslationInfo *info = stats->TranslationInfos().Items(i);
        out << "  " << info->Name() << ": " << info->TranslatedCount() << " translated, "
            << info->WordsToTranslate() << " words to go\n";
    }
    TfrmStatistics dialog;
    dialog.SetTranslationsStats(stats.get());
    dialog.SetTitle(QStringLiteral("frmLanguageDemo"));
    dialog.show();
    QApplication::processEvents();
    const bool saved = dialog.grab().save(file);
    out << (saved ? "Statistics dialog saved to " : "Could not save ") << file << " ("
        << QGuiApplication::platformName() << ")\n";
    return saved;
}

} // namespace

int main(int argc, char **argv)
{
    bool headless = false;
    for (int i = 1; i < argc; ++i)
        headless = headless || QByteArray(argv[i]) == "--headless";
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString glossary = argValue(args, QStringLiteral("--glossary"), QStringLiteral(ZOR_GALLERY_GLOSSARY));
    const QString language = argValue(args, QStringLiteral("--language"), QStringLiteral("French"));

    // The offline glossary is the translator unless the host chose another.
    QTemporaryDir cache;
    GlobalTranslatorClass = TranslatorClass<TZORGlossaryTranslator>();
    auto *translator = static_cast<TZORGlossaryTranslator *>(ActiveTranslator());
    translator->SetLocalCachePersistancePath(cache.path());
    translator->LoadGlossaryFolder(glossary);
    translator->SetActive(true);

    int rc = 0;
    {
        TfrmLanguageDemo form;
        if (headless) {
            QTextStream out(stdout);
            out << "Design texts (" << form.Lang()->Language() << "):\n";
            for (const QString &line : form.VisibleTexts())
                out << "  " << line << '\n';
            const QStringList before = form.VisibleTexts();
            form.Lang()->SetLanguage(language);
            out << "Right after switching to " << form.Lang()->Language() << " (translations deferred):\n";
            for (const QString &line : form.VisibleTexts())
                out << "  " << line << '\n';
            // The loader answers on the main thread; serve its queue until it is done.
            translator->WaitForSchduledLoaders(false);
            CheckSynchronize(100);
            out << "After the deferred translations arrived:\n";
            for (const QString &line : form.VisibleTexts())
                out << "  " << line << '\n';
            const QString picture = argValue(args, QStringLiteral("--statistics"), QString());
            if (!picture.isEmpty() && !saveStatistics(form.Lang(), picture, out))
                rc = 1;
            out.flush();
        } else {
            form.resize(420, 240);
            form.show();
            rc = app.exec();
        }
    }
    detail::TranslatorShutdown();
    return rc;
}
