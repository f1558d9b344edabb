// Translation statistics: the counts on crafted components (one language,
// several languages, extended items, lists that hold no texts), word counts,
// and the dialog that shows them, driven offscreen in two languages.
#include "localisation/Statistics.h"

#include "localisation/Splash.h"
#include "localisation/runtime/EditorForms.h"
#include "localisation/runtime/SiLangLinked.h"
#include "TestUtil.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <gtest/gtest.h>

using namespace zor;

namespace {

// The editor language for the scope of a test.
class ScopedEditorLanguage
{
public:
    explicit ScopedEditorLanguage(int ALanguage) : FOld(siEditorSettings().Language)
    {
        siEditorSettings().Language = ALanguage;
    }
    ~ScopedEditorLanguage() { siEditorSettings().Language = FOld; }

private:
    int FOld;
};

void addLine(TsiCustomLang &ALang, TStringsType AType, const QString &ALine)
{
    ALang.GetPropListByType(AType)->Add(ALine);
}

// Three languages, the last with a blank in its name. Hand-counted results
// are in the tests that use it.
std::unique_ptr<TsiLang> threeLanguages()
{
    auto lang = std::make_unique<TsiLang>();
    lang->SetNumLang(3);
    lang->SetLangNames(TStringList({QStringLiteral("English"), QStringLiteral("German"),
                                    QStringLiteral("Brazilian Portuguese")}));
    addLine(*lang, stCaptions, QStringLiteral("l1\tOne two\tEins zwei\tUm dois")); // translated
    addLine(*lang, stCaptions, QStringLiteral("l2\tSource only\t\t"));             // source alone: none
    addLine(*lang, stCaptions, QStringLiteral("l3\tHello\tHallo\t"));              // partial
    addLine(*lang, stCaptions, QStringLiteral("l4\t\t\t"));                        // empty
    addLine(*lang, stCaptions, QStringLiteral("l5\t\tnur\t"));                     // target alone: none
    addLine(*lang, stStrings, QStringLiteral("s1\tA\tB\tC"));                      // translated
    // Kept out of every count: a type the component does not handle, and
    // lists of settings rather than texts.
    addLine(*lang, stHints, QStringLiteral("h1\tTip\t\t"));
    lang->SetHandlesType(stHints, false);
    addLine(*lang, stFonts, QStringLiteral("f1\tArial\tArial\tArial"));
    addLine(*lang, stCharSets, QStringLiteral("c1\tDEFAULT_CHARSET\t\t"));
    lang->ExtendedTranslations().append({QStringLiteral("e1"), QStringLiteral("Text one\tText eins\t")}); // partial
    lang->ExtendedTranslations().append({QStringLiteral("e2"), QStringLiteral("\t\t")});                  // empty
    lang->ExtendedTranslations().append({QStringLiteral("e3"), QStringLiteral("Alles\tAll\tTudo")});      // translated
    return lang;
}

QString labelText(const QWidget &AForm, const char *AName)
{
    const auto *label = AForm.findChild<QLabel *>(QLatin1String(AName));
    return label ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(AName));
}

QProgressBar *bar(const QWidget &AForm, const char *AName)
{
    return AForm.findChild<QProgressBar *>(QLatin1String(AName));
}

QComboBox *combo(const QWidget &AForm, const char *AName)
{
    return AForm.findChild<QComboBox *>(QLatin1String(AName));
}

QStringList comboItems(const QComboBox *ABox)
{
    QStringList items;
    for (int i = 0; ABox && i < ABox->count(); ++i)
        items.append(ABox->itemText(i));
    return items;
}

} // namespace

TEST(Statistics, WordCountBreaksAtBlanksPunctuationAndLineEnds)
{
    const struct
    {
        const char *name;
        const char16_t *text;
        int words;
    } rows[] = {
        {"empty", u"", 0},
        {"one word", u"Save", 1},
        {"punctuation ends a word", u"Hello, world!", 2},
        {"brackets and dots", u"Save as... (Ctrl+S)", 3},
        {"hyphen and colon", u"Read-only: yes", 3},
        {"quoted words count once", u"Click \"Save file\" now", 3},
        {"CR LF", u"line one\r\nline two", 4},
        {"lone LF and blank runs", u"a   b\nc", 3},
        {"leading blanks", u"   indented", 1},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(WordCount(QString::fromUtf16(row.text)), row.words);
    }
}

TEST(Statistics, OneLanguageHasNoDirectionsAndFilledLinesAreTranslated)
{
    TsiLang lang;
    addLine(lang, stCaptions, QStringLiteral("a\tHello world"));
    addLine(lang, stCaptions, QStringLiteral("b\t"));
    addLine(lang, stCaptions, QStringLiteral("c")); // no delimiter at all
    addLine(lang, stItems, QStringLiteral("i\tOne"));

    const auto stats = GetStatistics(&lang, QStringLiteral("Main"), false);
    EXPECT_EQ(stats->Languages(), 1);
    EXPECT_EQ(stats->LangNames(), QStringLiteral("\"Language 1\""));
    EXPECT_EQ(stats->TranslationInfos().Count(), 0);
    EXPECT_EQ(stats->StdItems(), 4);
    EXPECT_EQ(stats->TranslatedStd(), 2);
    EXPECT_EQ(stats->PartialSdt(), 0);
    EXPECT_EQ(stats->EmptyStd(), 2);
    EXPECT_EQ(stats->Properties(), StringsTypeCount);
    ASSERT_EQ(stats->LanguageStats().Count(), 1);
    const TLanguageStats &l1 = *stats->LanguageStats().Items(0);
    EXPECT_EQ(l1.Name(), QStringLiteral("Language 1"));
    EXPECT_EQ(l1.NonEmptyItems(), 2);
    EXPECT_EQ(l1.EmptyItems(), 2);
    EXPECT_EQ(l1.WordsCount(), 3);

    // The dialog: no direction to choose, so the translation box shows zeros.
    TfrmStatistics form;
    form.SetTranslationsStats(stats.get());
    EXPECT_EQ(combo(form, "cbTranslations")->count(), 0);
    EXPECT_EQ(labelText(form, "labTranslated"), QStringLiteral("Translated: 0 (0.00%)"));
    EXPECT_EQ(labelText(form, "labRemainingWords"), QStringLiteral("Remaining Words to Translate: 0"));
    EXPECT_EQ(comboItems(combo(form, "cbLanguages")), QStringList{QStringLiteral("Language 1")});
    EXPECT_EQ(labelText(form, "labNonEmpty"), QStringLiteral("Non-empty: 2"));
    EXPECT_EQ(labelText(form, "labEmpty"), QStringLiteral("Empty: 2 (50.00%)"));
}

TEST(Statistics, SeveralLanguagesCountPerKindLanguageAndDirection)
{
    const auto lang = threeLanguages();
    const auto stats = GetStatistics(lang.get(), QStringLiteral("Main"), false);

    EXPECT_EQ(stats->Languages(), 3);
    EXPECT_EQ(stats->LangNames(), QStringLiteral("English,German,\"Brazilian Portuguese\""));
    // Hints are not handled; fonts and character sets count as handled types only.
    EXPECT_EQ(stats->Properties(), 11);
    EXPECT_EQ(stats->PropNames(), QStringLiteral("Captions, DisplayLabels, Fonts, MultiLines, DialogsMessages, "
                                                 "Strings, Misc, Collections, Items, CharSets, "
                                                 "ListView_TreeView_Items"));
    EXPECT_EQ(stats->StdItems(), 6);
    EXPECT_EQ(stats->TranslatedStd(), 2); // l1, s1
    EXPECT_EQ(stats->PartialSdt(), 1);    // l3
    EXPECT_EQ(stats->EmptyStd(), 1);      // l4; l2 and l5 have one text of three
    EXPECT_EQ(stats->ExtItems(), 3);
    EXPECT_EQ(stats->TranslatedExt(), 1);
    EXPECT_EQ(stats->PartialExt(), 1);
    EXPECT_EQ(stats->EmptyExt(), 1);

    // Per language, standard and extended lines together.
    const struct
    {
        const char *name;
        int nonEmpty, empty, words;
    } languages[] = {
        {"English", 4 + 2, 2 + 1, 6 + 3},
        {"German", 4 + 2, 2 + 1, 5 + 3},
        {"Brazilian Portuguese", 2 + 1, 4 + 2, 3 + 1},
    };
    ASSERT_EQ(stats->LanguageStats().Count(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(languages[i].name);
        const TLanguageStats &ls = *stats->LanguageStats().Items(i);
        EXPECT_EQ(ls.Name(), QString::fromUtf8(languages[i].name));
        EXPECT_EQ(ls.NonEmptyItems(), languages[i].nonEmpty);
        EXPECT_EQ(ls.EmptyItems(), languages[i].empty);
        EXPECT_EQ(ls.WordsCount(), languages[i].words);
    }

    // Per direction: lines empty in both languages are skipped; a target text
    // without source still counts as translated.
    ASSERT_EQ(stats->TranslationInfos().Count(), 2);
    const TTranslationInfo &toGerman = *stats->TranslationInfos().Items(0);
    EXPECT_EQ(toGerman.Name(), QStringLiteral("English -> German"));
    EXPECT_EQ(toGerman.TranslatedCount(), 4 + 2);
    EXPECT_EQ(toGerman.WordsInTranslation(), 5 + 3);
    EXPECT_EQ(toGerman.WordsToTranslate(), 2);
    const TTranslationInfo &toPortuguese = *stats->TranslationInfos().Items(1);
    EXPECT_EQ(toPortuguese.Name(), QStringLiteral("English -> Brazilian Portuguese"));
    EXPECT_EQ(toPortuguese.TranslatedCount(), 2 + 1);
    EXPECT_EQ(toPortuguese.WordsInTranslation(), 3 + 1);
    EXPECT_EQ(toPortuguese.WordsToTranslate(), 3 + 2);
}

TEST(Statistics, UsesTheComponentsDelimiterAndSurvivesItsSourceGoingAway)
{
    TsiLang lang;
    lang.SetNumLang(2);
    lang.SetLangDelim(u'|');
    addLine(lang, stCaptions, QStringLiteral("a|x\ty|z"));  // a tab is text here
    addLine(lang, stCaptions, QStringLiteral("b||"));
    lang.ExtendedTranslations().append({QStringLiteral("e"), QStringLiteral("one|")});
    auto stats = GetStatistics(&lang, QString(), false);
    EXPECT_EQ(stats->TranslatedStd(), 1);
    EXPECT_EQ(stats->EmptyStd(), 1);
    EXPECT_EQ(stats->TranslatedExt() + stats->PartialExt() + stats->EmptyExt(), 0) << "one text of two";
    EXPECT_EQ(stats->LanguageStats().Items(0)->WordsCount(), 2 + 1);

    EXPECT_EQ(GetStatistics(nullptr, QString(), false)->Languages(), 0) << "no component, no counts";

    // Counting processes events; a component freed meanwhile ends the count.
    auto *doomed = new TsiLang;
    for (int i = 0; i < 50; ++i)
        addLine(*doomed, stCaptions, QStringLiteral("id%1\ttext").arg(i));
    QTimer::singleShot(0, [doomed] { delete doomed; });
    stats = GetStatistics(doomed, QString(), false);
    EXPECT_EQ(stats->Languages(), 1);
    EXPECT_LT(stats->Properties(), StringsTypeCount);
}

TEST(Statistics, DialogFillsLabelsAndBarsFromTheStatistics)
{
    const auto lang = threeLanguages();
    const auto stats = GetStatistics(lang.get(), QStringLiteral("Main"), false);
    TfrmStatistics form;
    form.SetTranslationsStats(stats.get());
    form.SetTitle(QStringLiteral("frmMain"));
    form.show();

    EXPECT_EQ(form.windowTitle(), QStringLiteral("Translation Statistics for <frmMain>"));
    EXPECT_EQ(labelText(form, "labLanguages"), QStringLiteral("Languages: 3"));
    EXPECT_EQ(labelText(form, "labHandled"), QStringLiteral("Properties Handled: 11"));
    EXPECT_EQ(form.findChild<QGroupBox *>(QStringLiteral("gbStandard"))->title(), QStringLiteral("Standard Items: 6"));
    EXPECT_EQ(labelText(form, "labTranslatedStd"), QStringLiteral("Translated: 2 (33.33%)"));
    EXPECT_EQ(labelText(form, "labPartialStd"), QStringLiteral("Partial: 1 (16.67%)"));
    EXPECT_EQ(labelText(form, "labEmptyStd"), QStringLiteral("Empty: 1 (16.67%)"));
    EXPECT_EQ(form.findChild<QGroupBox *>(QStringLiteral("gbExtended"))->title(), QStringLiteral("Extended Items: 3"));
    EXPECT_EQ(labelText(form, "labTranslatedExt"), QStringLiteral("Translated: 1 (33.33%)"));
    EXPECT_EQ(labelText(form, "labTotal"), QStringLiteral("Total: 9"));
    EXPECT_EQ(labelText(form, "labTranslatedTotal"), QStringLiteral("Translated: 3 (33.33%)"));
    EXPECT_EQ(bar(form, "pbStandard")->maximum(), 6);
    EXPECT_EQ(bar(form, "pbStandard")->value(), 2);
    EXPECT_EQ(bar(form, "pbTotal")->value(), 33);
    for (const char *name : {"pbEmptyStd", "pbEmptyExt", "pbEmpty"})
        EXPECT_EQ(bar(form, name)->palette().color(QPalette::Highlight), QColor(Qt::red)) << name;

    // The boxes list the languages (a quoted name split back correctly) and
    // directions, and show the first entry.
    QComboBox *languages = combo(form, "cbLanguages");
    EXPECT_EQ(comboItems(languages), (QStringList{QStringLiteral("English"), QStringLiteral("German"),
                                                  QStringLiteral("Brazilian Portuguese")}));
    EXPECT_EQ(languages->currentIndex(), 0);
    EXPECT_EQ(labelText(form, "labNonEmpty"), QStringLiteral("Non-empty: 6"));
    EXPECT_EQ(labelText(form, "labEmpty"), QStringLiteral("Empty: 3 (33.33%)"));
    EXPECT_EQ(bar(form, "pbEmpty")->maximum(), 9);
    EXPECT_EQ(labelText(form, "labWordsCount"), QStringLiteral("Words Count: 9"));
    languages->setCurrentIndex(2);
    EXPECT_EQ(labelText(form, "labNonEmpty"), QStringLiteral("Non-empty: 3"));
    EXPECT_EQ(labelText(form, "labEmpty"), QStringLiteral("Empty: 6 (66.67%)"));
    EXPECT_EQ(bar(form, "pbEmpty")->value(), 6);
    EXPECT_EQ(labelText(form, "labWordsCount"), QStringLiteral("Words Count: 4"));

    QComboBox *directions = combo(form, "cbTranslations");
    EXPECT_EQ(directions->count(), 2);
    EXPECT_EQ(labelText(form, "labTranslated"), QStringLiteral("Translated: 6 (66.67%)"));
    EXPECT_EQ(bar(form, "pbTranslation")->maximum(), 9);
    EXPECT_EQ(labelText(form, "labWordsInTranslation"), QStringLiteral("Words Count in Translation: 8"));
    EXPECT_EQ(labelText(form, "labRemainingWords"), QStringLiteral("Remaining Words to Translate: 2"));
    directions->setCurrentIndex(1);
    EXPECT_EQ(labelText(form, "labTranslated"), QStringLiteral("Translated: 3 (33.33%)"));
    EXPECT_EQ(bar(form, "pbTranslation")->value(), 3);
    EXPECT_EQ(labelText(form, "labRemainingWords"), QStringLiteral("Remaining Words to Translate: 5"));

    // Showing again must not read the filled labels as formats.
    form.hide();
    form.show();
    EXPECT_EQ(labelText(form, "labTranslatedStd"), QStringLiteral("Translated: 2 (33.33%)"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Translation Statistics for <frmMain>"));
}

TEST(Statistics, DialogRoundsTheTotalBarAndShowsZerosForEmptyTotals)
{
    TTranslationsStats stats;
    stats.SetStdItems(3);
    stats.SetTranslatedStd(2); // 66.67 %: rounded, not truncated
    TfrmStatistics form;
    form.SetTranslationsStats(&stats);
    EXPECT_EQ(bar(form, "pbTotal")->value(), 67);
    EXPECT_EQ(labelText(form, "labTranslatedExt"), QStringLiteral("Translated: 0 (0.00%)"));
    EXPECT_EQ(labelText(form, "labEmptyExt"), QStringLiteral("Empty: 0 (0.00%)"));
    // An empty range would make a busy indicator of the bar.
    EXPECT_GT(bar(form, "pbExtended")->maximum(), 0);
    EXPECT_EQ(bar(form, "pbExtended")->value(), 0);
    EXPECT_EQ(labelText(form, "labNonEmpty"), QStringLiteral("Non-empty: 0")) << "no language to show";

    {
        // Statistics freed before the dialog: it forgets them.
        TComponentPtr<TTranslationsStats> gone(new TTranslationsStats);
        gone->SetStdItems(5);
        form.SetTranslationsStats(gone.get());
    }
    EXPECT_EQ(form.TranslationsStats(), nullptr);
    form.UpdateDisplay();
    EXPECT_EQ(form.findChild<QGroupBox *>(QStringLiteral("gbStandard"))->title(), QStringLiteral("Standard Items: 0"));
}

TEST(Statistics, DialogFollowsTheToolLanguageAndKeepsItsValues)
{
    const auto lang = threeLanguages();
    const auto stats = GetStatistics(lang.get(), QStringLiteral("Main"), false);
    ScopedEditorLanguage german(2);
    TfrmStatistics form;
    form.SetTranslationsStats(stats.get());
    form.SetTitle(QStringLiteral("frmMain"));
    combo(form, "cbTranslations")->setCurrentIndex(1);

    EXPECT_EQ(form.windowTitle(), QStringLiteral("Übersetzungsstatistik für <frmMain>"));
    EXPECT_EQ(labelText(form, "labLanguages"), QStringLiteral("Sprachen: 3"));
    EXPECT_EQ(labelText(form, "labTranslatedStd"), QStringLiteral("Übersetzt: 2 (33.33%)"));
    EXPECT_EQ(labelText(form, "labNonEmpty"), QStringLiteral("Nicht leer: 6"));
    EXPECT_EQ(labelText(form, "labRemainingWords"), QStringLiteral("Noch zu übersetzende Wörter: 5"));

    // Switching the form's language refills every label in the new language,
    // keeping the values and the chosen direction.
    form.siLangLinked_frmStatistics()->SetActiveLanguage(1);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Translation Statistics for <frmMain>"));
    EXPECT_EQ(labelText(form, "labLanguages"), QStringLiteral("Languages: 3"));
    EXPECT_EQ(labelText(form, "labEmptyStd"), QStringLiteral("Empty: 1 (16.67%)"));
    EXPECT_EQ(labelText(form, "labWordsCount"), QStringLiteral("Words Count: 9"));
    EXPECT_EQ(combo(form, "cbTranslations")->currentIndex(), 1);
    EXPECT_EQ(labelText(form, "labRemainingWords"), QStringLiteral("Remaining Words to Translate: 5"));
    form.siLangLinked_frmStatistics()->SetActiveLanguage(3);
    EXPECT_EQ(labelText(form, "labLanguages"), QStringLiteral("Языки: 3"));
}

TEST(Statistics, DialogTextsNameItsControlsInFourLanguages)
{
    TfrmStatistics form;
    const TsiLangLinked &lang = *form.siLangLinked_frmStatistics();
    ASSERT_EQ(lang.NumOfLanguages(), 4);
    for (TStringsType type : {stCaptions, stHints, stStrings}) {
        const TsiStringsCollection &list = *lang.GetPropListByType(type);
        for (int i = 0; i < list.Count(); ++i) {
            const QString id = list.IDOfLine(i);
            SCOPED_TRACE(id.toStdString());
            for (int l = 1; l <= 4; ++l)
                EXPECT_FALSE(list.GetTranslationByID(id, l).isEmpty()) << "language " << l;
            if (type == stStrings)
                continue;
            const QString object = id.section(u'.', 0, 0);
            EXPECT_TRUE(object == form.objectName() || form.findChild<QWidget *>(object)) << "no such control";
        }
    }
}

TEST(Statistics, ProgressShowsOnTheSplashInTheDialogsLanguage)
{
    const auto lang = threeLanguages();
    // Watches the splash each time the count lets events through.
    struct Seen
    {
        QString text;
        int max = -1, value = -1;
    };
    auto count = [&lang] {
        Seen seen;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&seen] {
            if (QWidget *w = SplashWindow()) {
                for (const QLabel *label : w->findChildren<QLabel *>())
                    if (!label->text().isEmpty())
                        seen.text = label->text();
                if (const auto *progress = w->findChild<QProgressBar *>()) {
                    seen.max = progress->maximum();
                    seen.value = qMax(seen.value, progress->value());
                }
            }
        });
        watch.start(0);
        const auto stats = GetStatistics(lang.get(), QStringLiteral("Main"), true);
        EXPECT_EQ(stats->StdItems(), 6) << "progress changes no count";
        EXPECT_EQ(SplashWindow(), nullptr) << "hidden when done";
        return seen;
    };

    ScopedEditorLanguage spanish(4);
    {
        TfrmStatistics form;
        form.siLangLinked_frmStatistics()->SetActiveLanguage(2); // the dialog's language wins
        const Seen seen = count();
        EXPECT_EQ(seen.text, QStringLiteral("Übersetzungsstatistik wird ermittelt..."));
        EXPECT_EQ(seen.max, 12);
        EXPECT_EQ(seen.value, 12) << "the last type fills the bar";
    }
    EXPECT_EQ(count().text, QStringLiteral("Obteniendo estadísticas de traducción...")) << "no dialog open";
}

TEST(Statistics, DisplayStatisticsShowsTheComponentModally)
{
    const auto lang = threeLanguages();
    QString title, total;
    bool wasModal = false;
    DisplayStatistics(lang.get(), QStringLiteral("frmMain"), [&](TfrmStatistics &form) {
        title = form.windowTitle();
        total = labelText(form, "labTotal");
        QTimer::singleShot(0, &form, [&form, &wasModal] {
            wasModal = form.isModal() && form.isVisible();
            form.accept();
        });
    });
    EXPECT_TRUE(wasModal);
    EXPECT_EQ(title, QStringLiteral("Translation Statistics for <frmMain>"));
    EXPECT_EQ(total, QStringLiteral("Total: 9"));
    EXPECT_EQ(SplashWindow(), nullptr);
}
