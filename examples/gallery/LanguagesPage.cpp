// The "Languages" page: a form with a language component switching between
// German, English, French and Italian, French and Italian filled by the
// offline glossary translator. Headless, it prints the form's texts before
// and after a switch or, with --statistics FILE.png, the form's translation
// counts after the switch and a picture of the statistics dialog.
#include "GalleryPage.h"
#include "LanguageDemo.h"

#include <ZorCompCore/localisation/GlossaryTranslator.h>
#include <ZorCompCore/localisation/Statistics.h>
#include <ZorCompCore/localisation/ZORLang.h>
#include <ZorCompCore/platform/MainThread.h>

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

using namespace zor;

namespace {

// The offline glossary is the translator unless the host chose another; its
// cache lives in a folder of its own for the gallery's run.
TZORGlossaryTranslator *useGlossaryTranslator(const QStringList &args)
{
    static QTemporaryDir cache;
    GlobalTranslatorClass = TranslatorClass<TZORGlossaryTranslator>();
    auto *translator = static_cast<TZORGlossaryTranslator *>(ActiveTranslator());
    translator->SetLocalCachePersistancePath(cache.path());
    translator->LoadGlossaryFolder(
        gallery::argValue(args, QStringLiteral("--glossary"), QStringLiteral(ZOR_GALLERY_GLOSSARY)));
    translator->SetActive(true);
    return translator;
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

int runLanguageSwitch(QApplication &, const QStringList &args)
{
    TZORGlossaryTranslator *translator = useGlossaryTranslator(args);
    const QString language = gallery::argValue(args, QStringLiteral("--language"), QStringLiteral("French"));
    // With --statistics the switch runs for the counts alone: its texts were shown by a plain run.
    const QString picture = gallery::argValue(args, QStringLiteral("--statistics"));
    int rc = 0;
    {
        TfrmLanguageDemo form;
        QTextStream out(stdout);
        auto show = [&](const QString &title) {
            if (!picture.isEmpty())
                return;
            out << title << ":\n";
            for (const QString &line : form.VisibleTexts())
                out << "  " << line << '\n';
        };
        show(QStringLiteral("Design texts (%1)").arg(form.Lang()->Language()));
        form.Lang()->SetLanguage(language);
        show(QStringLiteral("Right after switching to %1 (translations deferred)").arg(form.Lang()->Language()));
        // The loader answers on the main thread; serve its queue until it is done.
        translator->WaitForSchduledLoaders(false);
        CheckSynchronize(100);
        show(QStringLiteral("After the deferred translations arrived"));
        if (!picture.isEmpty() && !saveStatistics(form.Lang(), picture, out))
            rc = 1;
        out.flush();
    }
    return rc;
}

const bool registered =
    gallery::registerPage({QStringLiteral("Languages"), 10,
                           [](QWidget *parent) -> QWidget * {
                               useGlossaryTranslator(QApplication::arguments());
                               auto *form = new TfrmLanguageDemo(parent);
                               form->setWindowFlags(Qt::Widget);
                               return form;
                           }})
    && gallery::registerCommand({QStringLiteral("--headless"),
                                 QStringLiteral("--headless [--language NAME] [--glossary DIR] [--statistics FILE.png]"
                                                "   switch the language demo form and print its texts"),
                                 runLanguageSwitch});

} // namespace
