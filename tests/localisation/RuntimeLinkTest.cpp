// Language components working together: the dispatcher switching several
// forms, linked components reading a shared container, types a component
// does not handle, extended items, the tab-separated exchange format and the
// hooks every tool form runs at creation.
#include <ZorCompCore/localisation/runtime/EditorForms.h>
#include <ZorCompCore/localisation/runtime/SiLangLinked.h>
#include <ZorCompCore/localisation/runtime/SibFile.h>
#include <ZorCompCore/platform/Exception.h>
#include "TestUtil.h"

#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

using namespace zor;

namespace {

const QChar Tab = QLatin1Char('\t');

QString line(std::initializer_list<const char *> fields)
{
    QStringList list;
    for (const char *f : fields)
        list.append(QString::fromUtf8(f));
    return list.join(Tab);
}

// A form with one label and a component that knows the given languages.
struct Form
{
    std::unique_ptr<QWidget> w = std::make_unique<QWidget>();
    QLabel *label = new QLabel(QStringLiteral("Yes"), w.get());
    TsiLang *lang = new TsiLang(w.get());

    explicit Form(const QStringList &names, const char *texts)
    {
        w->setObjectName(QStringLiteral("frmLink"));
        label->setObjectName(QStringLiteral("lblAnswer"));
        lang->SetNumLang(int(names.size()));
        lang->SetLangNames(TStringList(names));
        const QString stored = QString::fromUtf8(texts);
        label->setText(stored.section(Tab, 0, 0)); // designed in language 1
        lang->GetPropListByType(stCaptions)->Add(QStringLiteral("lblAnswer.text\t") + stored);
    }
};

} // namespace

TEST(Dispatcher, SwitchesByNameThenByNumberAndForgetsDestroyedComponents)
{
    Form en({"English", "German", "French"}, "Yes\tJa\tOui");
    auto fr = std::make_unique<Form>(QStringList{"French", "English"}, "Oui\tYes");
    Form numbered({"One", "Two"}, "1\t2");

    TsiLangDispatcher dispatcher;
    dispatcher.LangNames().SetCommaText(QStringLiteral("English,French,German"));
    dispatcher.SetActiveLanguage(2); // French
    int changes = 0;
    dispatcher.OnLanguageChanged = [&](TsiLangDispatcher &) { ++changes; };

    en.lang->SetLangDispatcher(&dispatcher);   // takes the language on connecting
    fr->lang->SetLangDispatcher(&dispatcher);
    numbered.lang->SetLangDispatcher(&dispatcher);
    EXPECT_EQ(en.label->text(), "Oui");
    EXPECT_EQ(fr->label->text(), "Oui");
    EXPECT_EQ(numbered.label->text(), "2"); // no language of that name: by number
    EXPECT_EQ(dispatcher.Components().size(), 3);

    dispatcher.SetLanguage(QStringLiteral("german"));
    EXPECT_EQ(dispatcher.ActiveLanguage(), 3);
    EXPECT_EQ(en.label->text(), "Ja");
    EXPECT_EQ(fr->label->text(), "Oui");      // has neither the name nor a third language
    EXPECT_EQ(numbered.label->text(), "2");
    EXPECT_EQ(changes, 1);

    dispatcher.SetActiveLanguage(9);          // out of range: ignored
    dispatcher.SetLanguage(QStringLiteral("Klingon"));
    EXPECT_EQ(dispatcher.ActiveLanguage(), 3);
    EXPECT_EQ(changes, 1);

    fr.reset();
    numbered.lang->SetLangDispatcher(nullptr);
    EXPECT_EQ(dispatcher.Components(), QList<TsiCustomLang *>{en.lang});
    dispatcher.SetLanguage(QStringLiteral("English"));
    EXPECT_EQ(en.label->text(), "Yes");
    EXPECT_EQ(numbered.label->text(), "2");
}

TEST(Dispatcher, ComponentsOutliveTheirDispatcher)
{
    Form form({"English", "German"}, "Yes\tJa");
    {
        TsiLangDispatcher dispatcher;
        form.lang->SetLangDispatcher(&dispatcher);
        EXPECT_EQ(form.lang->LangDispatcher(), &dispatcher);
    }
    EXPECT_EQ(form.lang->LangDispatcher(), nullptr);
    form.lang->SetActiveLanguage(2);
    EXPECT_EQ(form.label->text(), "Ja");
}

TEST(LinkedComponent, FallsBackToTheContainerByLanguageName)
{
    QObject shared;
    TsiLang container(&shared);
    container.SetNumLang(3);
    container.SetLangNames(TStringList(QStringList{"English", "German", "Spanish"}));
    container.Strings().Add(line({"IDS_OK", "OK", "Gut", "Bien"}));
    container.Strings().Add(line({"IDS_ONLY", "only here", "nur hier", ""}));

    QWidget owner;
    TsiLangLinked linked(&owner);
    linked.SetNumLang(2);
    linked.SetLangNames(TStringList(QStringList{"Spanish", "German"}));
    linked.Strings().Add(line({"IDS_ONLY", "propio", ""}));
    EXPECT_EQ(linked.GetText(QStringLiteral("IDS_OK")), "");   // no container yet

    linked.SetCommonContainer(&container);
    EXPECT_EQ(linked.GetText(QStringLiteral("IDS_OK")), "Bien");  // Spanish is the container's 3rd
    EXPECT_EQ(linked.GetText(QStringLiteral("IDS_ONLY")), "propio");
    linked.SetActiveLanguage(2);
    EXPECT_EQ(linked.GetText(QStringLiteral("IDS_ONLY")), "nur hier");

    // A language the container does not know: same number.
    linked.LangNames().Put(1, QStringLiteral("Deutsch"));
    EXPECT_EQ(linked.GetText(QStringLiteral("IDS_OK")), "Gut");

    linked.SetCommonContainer(&linked); // a component is not its own container
    EXPECT_EQ(linked.CommonContainer(), nullptr);
    linked.SetCommonContainer(&container);
    {
        TsiLang gone;
        linked.SetCommonContainer(&gone);
    }
    EXPECT_EQ(linked.CommonContainer(), nullptr);
    EXPECT_EQ(linked.GetText(QStringLiteral("IDS_OK")), "");
}

TEST(LanguageComponent, TypesNotHandledAreNeitherCapturedNorApplied)
{
    QWidget w;
    w.setObjectName(QStringLiteral("frmTypes"));
    auto *label = new QLabel(QStringLiteral("Design"), &w);
    label->setObjectName(QStringLiteral("lblText"));
    label->setToolTip(QStringLiteral("Design tip"));
    auto *lang = new TsiLang(&w);
    lang->SetNumLang(2);
    lang->SetHandlesType(stHints, false);
    lang->UpdateStrCollections();
    EXPECT_GE(lang->GetPropListByType(stCaptions)->FindID(QStringLiteral("lblText.text")), 0);
    EXPECT_EQ(lang->GetPropListByType(stHints)->Count(), 0);

    lang->GetPropListByType(stCaptions)->SetTranslationByID(QStringLiteral("lblText.text"), 2, QStringLiteral("Zwei"));
    lang->GetPropListByType(stHints)->Add(line({"lblText.toolTip", "Design tip", "Tipp zwei"}));
    lang->SetActiveLanguage(2);
    EXPECT_EQ(label->text(), "Zwei");
    EXPECT_EQ(label->toolTip(), "Design tip");

    EXPECT_FALSE(lang->HandlesType(TStringsType(12)));
    lang->SetHandlesType(TStringsType(-1), true); // ignored, no crash
    lang->SetHandlesType(stHints, true);
    lang->SetActiveLanguage(1);
    lang->SetActiveLanguage(2);
    EXPECT_EQ(label->toolTip(), "Tipp zwei");
}

TEST(LanguageComponent, ExtendedItemsFollowTheDelimiterAndAssign)
{
    TsiLang lang;
    lang.SetNumLang(3);
    lang.ExtendedTranslations().append({QStringLiteral("rep.title"),
                                        siJoinLine({QStringLiteral("Report"), QStringLiteral("Bericht; neu"),
                                                    QString()}, Tab)});
    lang.SetLangDelim(QLatin1Char(';'));
    const TsiExtendedTranslation &item = lang.ExtendedTranslations().at(0);
    const QString stored = item.Identifier + lang.LangDelim() + item.Translations;
    EXPECT_EQ(ExtractTranslation(stored, QLatin1Char(';'), 2), "Bericht; neu");
    EXPECT_EQ(ExtractTranslation(stored, QLatin1Char(';'), 1), "Report");

    TsiLang copy; // tab delimited: Assign re-encodes
    copy.Assign(&lang);
    ASSERT_EQ(copy.ExtendedTranslations().size(), 1);
    const TsiExtendedTranslation &c = copy.ExtendedTranslations().at(0);
    EXPECT_EQ(ExtractTranslation(c.Identifier + Tab + c.Translations, Tab, 2), "Bericht; neu");
}

TEST(TabSeparatedTexts, RoundTripAndRowErrors)
{
    TSIBEntry entry;
    entry.LangNames = {QStringLiteral("English"), QStringLiteral("Deutsch\tAT")};
    entry.Lines[stCaptions].append({QStringLiteral("btn.text"), QStringLiteral("Line 1\nLine 2"),
                                    QStringLiteral("Zeile \\ 1")});
    entry.Lines[stStrings].append({QStringLiteral("IDS_1"), QStringLiteral("only English")});
    const QString tsv = SIBEntryToTSV(entry);
    EXPECT_TRUE(tsv.startsWith(QStringLiteral("ID\tType\tEnglish\tDeutsch\\tAT\n")));

    // With a byte order mark and CR LF ends, as spreadsheets write it.
    QString windows = QChar(0xFEFF) + tsv;
    windows.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    const TSIBEntry back = SIBEntryFromTSV(windows);
    EXPECT_EQ(back.LangNames, entry.LangNames);
    EXPECT_EQ(back.Lines[stCaptions], entry.Lines[stCaptions]);
    EXPECT_EQ(back.Lines[stStrings], entry.Lines[stStrings]); // trailing empty cells dropped

    auto message = [](const char *text) {
        try {
            SIBEntryFromTSV(QString::fromUtf8(text));
        } catch (const EReadError &e) {
            return e.Message();
        }
        return QStringLiteral("no error");
    };
    EXPECT_EQ(message("Name\tType\tEnglish\n"), "line 1: expected the header ID, Type and one column per language");
    EXPECT_EQ(message(""), "line 1: expected the header ID, Type and one column per language");
    EXPECT_EQ(message("ID\tType\tEnglish\n\nx\tstNope\ty\n"), "line 3: unknown type 'stNope'");
    EXPECT_EQ(message("ID\tType\tEnglish\nx\n"), "line 2: unknown type ''");
    EXPECT_EQ(message("ID\tType\tEnglish\nx\t6\ta\tb\n"), "line 2: 4 columns, the header has 3");
    EXPECT_EQ(SIBEntryFromTSV(QStringLiteral("ID\tType\tEnglish\nx\t6\ta\n")).Lines[stStrings].size(), 1);
}

TEST(ToolForms, CreationHooksAndMissingTexts)
{
    TsiEditorSettings saved = siEditorSettings();
    QWidget form;
    TsiLang lang(&form);
    lang.SetNumLang(4);
    QList<QWidget *> seen;
    siEditorSettings().OnNewForm = [&](QWidget *w) { seen.append(w); };

    siInitEditorForm(&form, &lang);
    EXPECT_EQ(seen, QList<QWidget *>{&form});
    EXPECT_EQ(lang.ActiveLanguage(), 1);

    siEditorSettings().Language = 3;
    siInitEditorForm(&form, &lang);
    EXPECT_EQ(lang.ActiveLanguage(), 3);
    siEditorSettings().OnNewForm = nullptr;
    siInitEditorForm(&form, nullptr); // no component: only the hook, which is unset
    EXPECT_EQ(seen.size(), 2);

    EXPECT_FALSE(siLoadFormTexts(&lang, QStringLiteral("NoSuchForm")));
    EXPECT_FALSE(siLoadFormTexts(nullptr, QStringLiteral("Statistics")));
    EXPECT_EQ(lang.NumOfLanguages(), 4);
    siEditorSettings() = saved;
}
