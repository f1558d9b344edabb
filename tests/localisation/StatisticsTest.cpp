// Translation statistics: the counts on crafted components, word counts and
// the dialog that shows them.
#include <ZorCompCore/localisation/Statistics.h>

#include <ZorCompCore/localisation/Splash.h>
#include <ZorCompCore/localisation/runtime/EditorForms.h>
#include <ZorCompCore/localisation/runtime/SiLangLinked.h>
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
struct ScopedEditorLanguage
{
    const int old = siEditorSettings().Language;
    explicit ScopedEditorLanguage(int ALanguage) { siEditorSettings().Language = ALanguage; }
    ~ScopedEditorLanguage() { siEditorSettings().Language = old; }
};

void addLine(TsiCustomLang &ALang, TStringsType AType, const QString &ALine)
{
    ALang.GetPropListByType(AType)->Add(ALine);
}

// Three languages, the last with a blank in its name.
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

// The texts of several labels, joined with '|' so one failure shows them all.
QString labels(const QWidget &AForm, std::initializer_list<const char *> ANames)
{
    QStringList texts;
    for (const char *name : ANames)
        texts.append(labelText(AForm, name));
    return texts.join(u'|');
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
    EXPECT_EQ(QList<int>({stats->StdItems(), stats->TranslatedStd(), stats->PartialSdt(), stats->EmptyStd()}),
              QList<int>({4, 2, 0, 2}));
    EXPECT_EQ(stats->Properties(), StringsTypeCount);
    ASSERT_EQ(stats->LanguageStats().Count(), 1);
    const TLanguageStats &l1 = *stats->LanguageStats().Items(0);
    EXPECT_EQ(QList<int>({l1.NonEmptyItems(), l1.EmptyItems(), l1.WordsCount()}), QList<int>({2, 2, 3}));

    // The dialog: no direction to choose, so the translation box shows zeros.
    TfrmStatistics form;
    form.SetTranslationsStats(stats.get());
    EXPECT_EQ(combo(form, "cbTranslations")->count(), 0);
    EXPECT_EQ(labelText(form, "labTranslated"), QStringLiteral("Translated: 0 (0.00%)"));
    EXPECT_EQ(comboItems(combo(form, "cbLanguages")), QStringList{QStringLiteral("Language 1")});
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
    // Translated l1, s1; partial l3; empty l4; l2 and l5 have one text of three.
    EXPECT_EQ(QList<int>({stats->StdItems(), stats->TranslatedStd(), stats->PartialSdt(), stats->EmptyStd()}),
              QList<int>({6, 2, 1, 1}));
    EXPECT_EQ(QList<int>({stats->ExtItems(), stats->TranslatedExt(), stats->PartialExt(), stats->EmptyExt()}),
              QList<int>({3, 1, 1, 1}));

    // Per language "non-empty empty words", standard and extended lines together.
    QStringList perLanguage, perDirection;
    for (int i = 0; i < stats->LanguageStats().Count(); ++i) {
        const TLanguageStats &ls = *stats->LanguageStats().Items(i);
        perLanguage.append(QStringLiteral("%1: %2 %3 %4")
                               .arg(ls.Name())
                               .arg(ls.NonEmptyItems())
                               .arg(ls.EmptyItems())
                               .arg(ls.WordsCount()));
    }
    EXPECT_EQ(perLanguage, (QStringList{QStringLiteral("English: 6 3 9"), QStringLiteral("German: 6 3 8"),
                                        QStringLiteral("Brazilian Portuguese: 3 6 4")}));

    // Per direction "translated, words in translation, words to translate":
    // lines empty in both languages are skipped; a target text without source
    // still counts as translated.
    for (int i = 0; i < stats->TranslationInfos().Count(); ++i) {
        const TTranslationInfo &info = *stats->TranslationInfos().Items(i);
        perDirection.append(QStringLiteral("%1: %2 %3 %4")
                                .arg(info.Name())
                                .arg(info.TranslatedCount())
                                .arg(info.WordsInTranslation())
                                .arg(info.WordsToTranslate()));
    }
    EXPECT_EQ(perDirection, (QStringList{QStringLiteral("English -> German: 6 8 2"),
                                         QStringLiteral("English -> Brazilian Portuguese: 3 4 5")}));
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

TEST(Statistics, DialogFillsLabelsAndBarsInTheToolLanguageAndKeepsThemOnSwitching)
{
    const auto lang = threeLanguages();
    const auto stats = GetStatistics(lang.get(), QStringLiteral("Main"), false);
    ScopedEditorLanguage german(2);
    TfrmStatistics form;
    form.SetTranslationsStats(stats.get());
    form.SetTitle(QStringLiteral("frmMain"));
    form.show();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Übersetzungsstatistik für <frmMain>"));
    EXPECT_EQ(labelText(form, "labTranslatedStd"), QStringLiteral("Übersetzt: 2 (33.33%)"));

    form.siLangLinked_frmStatistics()->SetActiveLanguage(1);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Translation Statistics for <frmMain>"));
    EXPECT_EQ(labels(form, {"labLanguages", "labHandled", "labTotal", "labTranslatedTotal"}),
              QStringLiteral("Languages: 3|Properties Handled: 11|Total: 9|Translated: 3 (33.33%)"));
    EXPECT_EQ(form.findChild<QGroupBox *>(QStringLiteral("gbStandard"))->title(), QStringLiteral("Standard Items: 6"));
    EXPECT_EQ(labels(form, {"labTranslatedStd", "labPartialStd", "labEmptyStd"}),
              QStringLiteral("Translated: 2 (33.33%)|Partial: 1 (16.67%)|Empty: 1 (16.67%)"));
    EXPECT_EQ(form.findChild<QGroupBox *>(QStringLiteral("gbExtended"))->title(), QStringLiteral("Extended Items: 3"));
    EXPECT_EQ(labelText(form, "labTranslatedExt"), QStringLiteral("Translated: 1 (33.33%)"));
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
    EXPECT_EQ(labels(form, {"labNonEmpty", "labEmpty", "labWordsCount"}),
              QStringLiteral("Non-empty: 6|Empty: 3 (33.33%)|Words Count: 9"));
    EXPECT_EQ(bar(form, "pbEmpty")->maximum(), 9);
    languages->setCurrentIndex(2);
    EXPECT_EQ(labels(form, {"labEmpty", "labWordsCount"}), QStringLiteral("Empty: 6 (66.67%)|Words Count: 4"));
    EXPECT_EQ(bar(form, "pbEmpty")->value(), 6);

    QComboBox *directions = combo(form, "cbTranslations");
    EXPECT_EQ(comboItems(directions), (QStringList{QStringLiteral("English -> German"),
                                                   QStringLiteral("English -> Brazilian Portuguese")}));
    EXPECT_EQ(labels(form, {"labTranslated", "labWordsInTranslation", "labRemainingWords"}),
              QStringLiteral("Translated: 6 (66.67%)|Words Count in Translation: 8|Remaining Words to Translate: 2"));
    EXPECT_EQ(bar(form, "pbTranslation")->maximum(), 9);
    directions->setCurrentIndex(1);
    EXPECT_EQ(labels(form, {"labTranslated", "labRemainingWords"}),
              QStringLiteral("Translated: 3 (33.33%)|Remaining Words to Translate: 5"));
    EXPECT_EQ(bar(form, "pbTranslation")->value(), 3);

    // Switching language or showing again refills from the values, not from
    // the filled labels, and keeps the chosen entries.
    form.siLangLinked_frmStatistics()->SetActiveLanguage(3);
    EXPECT_EQ(labelText(form, "labLanguages"), QStringLiteral("Языки: 3"));
    form.siLangLinked_frmStatistics()->SetActiveLanguage(2);
    EXPECT_EQ(labels(form, {"labWordsCount", "labRemainingWords"}),
              QStringLiteral("Anzahl Wörter: 4|Noch zu übersetzende Wörter: 5"));
    form.hide();
    form.show();
    EXPECT_EQ(labelText(form, "labTranslatedStd"), QStringLiteral("Übersetzt: 2 (33.33%)"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Übersetzungsstatistik für <frmMain>"));
}

TEST(Statistics, DialogRoundsTheTotalBarAndShowsZerosForEmptyTotals)
{
    TTranslationsStats stats;
    stats.SetStdItems(3);
    stats.SetTranslatedStd(2); // 66.67 %: rounded, not truncated
    TfrmStatistics form;
    form.SetTranslationsStats(&stats);
    EXPECT_EQ(bar(form, "pbTotal")->value(), 67);
    EXPECT_EQ(labels(form, {"labTranslatedExt", "labEmptyExt", "labNonEmpty"}),
              QStringLiteral("Translated: 0 (0.00%)|Empty: 0 (0.00%)|Non-empty: 0"))
        << "no extended items, no language to show";
    // An empty range would make a busy indicator of the bar.
    EXPECT_GT(bar(form, "pbExtended")->maximum(), 0);
    EXPECT_EQ(bar(form, "pbExtended")->value(), 0);

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
    // "text value/maximum" of the splash, watched whenever the count lets events through.
    auto count = [&lang] {
        QString text;
        int max = -1, value = -1;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            const QWidget *w = SplashWindow();
            const auto *label = w ? w->findChild<QLabel *>(QStringLiteral("lblText")) : nullptr;
            const auto *progress = w ? w->findChild<QProgressBar *>() : nullptr;
            if (label && progress) {
                text = label->text();
                max = progress->maximum();
                value = qMax(value, progress->value());
            }
        });
        watch.start(0);
        const auto stats = GetStatistics(lang.get(), QStringLiteral("Main"), true);
        EXPECT_EQ(stats->StdItems(), 6) << "progress changes no count";
        EXPECT_EQ(SplashWindow(), nullptr) << "hidden when done";
        return QStringLiteral("%1 %2/%3").arg(text).arg(value).arg(max);
    };

    ScopedEditorLanguage spanish(4);
    {
        TfrmStatistics form;
        form.siLangLinked_frmStatistics()->SetActiveLanguage(2); // the dialog's language wins
        EXPECT_EQ(count(), QStringLiteral("Übersetzungsstatistik wird ermittelt... 12/12"))
            << "the last type fills the bar";
    }
    EXPECT_TRUE(count().startsWith(QStringLiteral("Obteniendo estadísticas de traducción... "))) << "no dialog open";
}

TEST(Statistics, DisplayStatisticsShowsTheComponentModally)
{
    const auto lang = threeLanguages();
    QString seen;
    bool wasModal = false;
    DisplayStatistics(lang.get(), QStringLiteral("frmMain"), [&](TfrmStatistics &form) {
        seen = form.windowTitle() + u'|' + labelText(form, "labTotal");
        QTimer::singleShot(0, &form, [&form, &wasModal] {
            wasModal = form.isModal() && form.isVisible();
            form.accept();
        });
    });
    EXPECT_TRUE(wasModal);
    EXPECT_EQ(seen, QStringLiteral("Translation Statistics for <frmMain>|Total: 9"));
    EXPECT_EQ(SplashWindow(), nullptr);
}
