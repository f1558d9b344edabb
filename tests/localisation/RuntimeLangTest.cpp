// The language component on a real widget form: capturing the design texts,
// switching languages back and forth, fallbacks, exclusions, and the line
// format the collections share with files and streams.
#include <ZorCompCore/localisation/runtime/SiLang.h>

#include <ZorCompCore/core/StreamHelper.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include "TestUtil.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace zor;

namespace {

const QChar Tab = QLatin1Char('\t');

// A small form as Designer would build it, with German design texts.
struct Form
{
    std::unique_ptr<QWidget> w = std::make_unique<QWidget>();
    QLabel *lblTitle;
    QPushButton *btnOk;
    QComboBox *cbColor;
    QListWidget *lstDays;
    QTreeWidget *tvFolders;
    QTabWidget *tabPages;
    QLineEdit *edName;
    QGroupBox *grpOptions;
    QAction *actSave;
    TsiLang *lang;

    Form()
    {
        w->setObjectName(QStringLiteral("frmTest"));
        w->setWindowTitle(QStringLiteral("Einstellungen"));
        auto *layout = new QVBoxLayout(w.get());
        lblTitle = make<QLabel>("lblTitle", layout);
        lblTitle->setText(QStringLiteral("Titel"));
        btnOk = make<QPushButton>("btnOk", layout);
        btnOk->setText(QStringLiteral("Übernehmen"));
        btnOk->setToolTip(QStringLiteral("Änderungen übernehmen"));
        cbColor = make<QComboBox>("cbColor", layout);
        cbColor->addItems({QStringLiteral("Rot"), QStringLiteral("Grün"), QStringLiteral("Blau")});
        cbColor->setCurrentIndex(2);
        lstDays = make<QListWidget>("lstDays", layout);
        lstDays->addItems({QStringLiteral("Montag"), QStringLiteral("Dienstag")});
        tvFolders = make<QTreeWidget>("tvFolders", layout);
        tvFolders->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Größe")});
        auto *root = new QTreeWidgetItem(tvFolders, {QStringLiteral("Dokumente"), QStringLiteral("klein")});
        new QTreeWidgetItem(root, {QStringLiteral("Briefe"), QStringLiteral("groß")});
        tabPages = make<QTabWidget>("tabPages", layout);
        tabPages->addTab(new QWidget, QStringLiteral("Allgemein"));
        tabPages->addTab(new QWidget, QStringLiteral("Erweitert"));
        edName = make<QLineEdit>("edName", layout);
        edName->setText(QStringLiteral("Eingabe des Benutzers"));
        edName->setPlaceholderText(QStringLiteral("Name eingeben"));
        grpOptions = make<QGroupBox>("grpOptions", layout);
        grpOptions->setTitle(QStringLiteral("Optionen"));
        actSave = new QAction(QStringLiteral("Speichern"), w.get());
        actSave->setObjectName(QStringLiteral("actSave"));

        lang = new TsiLang(w.get());
        lang->SetNumLang(3);
        lang->SetLangNames(TStringList({QStringLiteral("German"), QStringLiteral("English"), QStringLiteral("French")}));
    }

    template <class T>
    T *make(const char *name, QVBoxLayout *layout)
    {
        auto *widget = new T;
        widget->setObjectName(QString::fromLatin1(name));
        layout->addWidget(widget);
        return widget;
    }

    // Stored English texts for a few of the form's properties.
    void addEnglish()
    {
        TsiStringsCollection &captions = *lang->GetPropListByType(stCaptions);
        captions.SetTranslationByID(QStringLiteral("frmTest.windowTitle"), 2, QStringLiteral("Settings"));
        captions.SetTranslationByID(QStringLiteral("lblTitle.text"), 2, QStringLiteral("Title"));
        captions.SetTranslationByID(QStringLiteral("btnOk.text"), 2, QStringLiteral("Apply"));
        captions.SetTranslationByID(QStringLiteral("actSave.text"), 2, QStringLiteral("Save"));
        captions.SetTranslationByID(QStringLiteral("grpOptions.title"), 2, QStringLiteral("Options"));
        lang->GetPropListByType(stHints)->SetTranslationByID(QStringLiteral("btnOk.toolTip"), 2,
                                                             QStringLiteral("Apply the changes"));
        lang->GetPropListByType(stItems)->SetTranslationByID(QStringLiteral("cbColor.items"), 2,
                                                             QStringLiteral("Red\nGreen\nBlue"));
        lang->GetPropListByType(stListView_TreeView_Items)
            ->SetTranslationByID(QStringLiteral("tvFolders.items"), 2, QStringLiteral("Documents\tsmall\nLetters"));
        lang->GetPropListByType(stDisplayLabels)
            ->SetTranslationByID(QStringLiteral("tvFolders.headerLabels"), 2, QStringLiteral("Name\nSize"));
        lang->GetPropListByType(stCollections)
            ->SetTranslationByID(QStringLiteral("tabPages.tabs"), 2, QStringLiteral("General\nAdvanced"));
        lang->GetPropListByType(stMisc)->SetTranslationByID(QStringLiteral("edName.placeholderText"), 2,
                                                            QStringLiteral("Enter a name"));
    }
};

} // namespace

TEST(RuntimeLines, EscapedFieldsSurviveSplitAndJoin)
{
    struct Row
    {
        const char *name;
        QChar delim;
        QStringList fields;
    };
    const Row rows[] = {
        {"plain texts", Tab, {"btnOk.text", "OK", "Okay"}},
        {"empty fields", Tab, {"id", "", "", "x", ""}},
        {"line breaks and tabs in texts", Tab, {"id", "eins\nzwei", "a\tb\r\n"}},
        {"backslashes", Tab, {"id", "C:\\temp\\", "\\n is not a break"}},
        {"delimiter inside a text", QLatin1Char(';'), {"id", "a;b", ";"}},
        {"letter delimiter next to escapes", QLatin1Char('n'), {"id", "line\nnext", "nnn"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const QString line = siJoinLine(row.fields, row.delim);
        EXPECT_FALSE(line.contains(QLatin1Char('\n')));
        EXPECT_EQ(siSplitLine(line, row.delim), row.fields);
        for (int i = 0; i < row.fields.size(); ++i)
            EXPECT_EQ(ExtractTranslation(line, row.delim, i), row.fields.at(i));
        EXPECT_EQ(ExtractTranslation(line, row.delim, int(row.fields.size())), QString());
    }
}

TEST(RuntimeLines, FieldsOfStoredLines)
{
    struct Row
    {
        const char *name;
        QString line;
        int lang;
        QString expected;
    };
    const Row rows[] = {
        {"ID is field 0", "lbl.text\tHallo\tHello", 0, "lbl.text"},
        {"last language", "lbl.text\tHallo\tHello", 2, "Hello"},
        {"beyond the last field", "lbl.text\tHallo", 2, ""},
        {"negative language", "lbl.text\tHallo", -1, ""},
        {"line without a delimiter is all ID", "lonely", 0, "lonely"},
        {"line without a delimiter has no texts", "lonely", 1, ""},
        {"empty line has an empty ID", "", 0, ""},
        {"line starting with the delimiter has an empty ID", "\tHallo", 0, ""},
        {"unknown escapes stay as written", "id\ta\\qb", 1, "a\\qb"},
        {"trailing lone backslash stays", "id\tend\\", 1, "end\\"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ExtractTranslation(row.line, Tab, row.lang), row.expected);
    }
}

TEST(RuntimeLines, CompareTextFoldsAsciiLettersOnly)
{
    EXPECT_EQ(siCompareText(QStringLiteral("TfrmMain.Caption"), QStringLiteral("TFRMMAIN.caption")), 0);
    EXPECT_NE(siCompareText(QStringLiteral("Ärger"), QStringLiteral("ärger")), 0);
    EXPECT_LT(siCompareText(QStringLiteral("abc"), QStringLiteral("ABCD")), 0);
    EXPECT_GT(siCompareText(QStringLiteral("b"), QStringLiteral("A")), 0);
    // '_' sits between the cases in ASCII: folding to upper case must not reorder it.
    EXPECT_GT(siCompareText(QStringLiteral("_"), QStringLiteral("a")), 0);
}

TEST(RuntimeLines, Utf8ToAnsi)
{
    EXPECT_EQ(siUTF8ToAnsi(QByteArray("Gr\xC3\xBC\xC3\x9F" "e")), QByteArray("Gr\xFC\xDF" "e"));
    EXPECT_EQ(siUTF8ToAnsi(QByteArray("\xE2\x82\xAC")), QByteArray("\x80")); // euro sign in Windows-1252
    EXPECT_EQ(siUTF8ToAnsi(QByteArray("\xD0\x96")), QByteArray("?"));       // Cyrillic: not representable
}

TEST(RuntimeLang, CapturesDesignTextsButNotUserData)
{
    Form f;
    f.lang->UpdateStrCollections();
    const TsiStringsCollection &captions = *f.lang->GetPropListByType(stCaptions);
    EXPECT_EQ(captions.GetTranslationByID(QStringLiteral("frmTest.windowTitle"), 1), QStringLiteral("Einstellungen"));
    EXPECT_EQ(captions.GetTranslationByID(QStringLiteral("btnOk.text"), 1), QStringLiteral("Übernehmen"));
    EXPECT_EQ(captions.GetTranslationByID(QStringLiteral("actSave.text"), 1), QStringLiteral("Speichern"));
    EXPECT_EQ(captions.GetTranslationByID(QStringLiteral("grpOptions.title"), 1), QStringLiteral("Optionen"));
    EXPECT_EQ(captions.FindID(QStringLiteral("edName.text")), -1) << "a line edit's text is the user's";
    EXPECT_EQ(f.lang->GetPropListByType(stHints)->GetTranslationByID(QStringLiteral("btnOk.toolTip"), 1),
              QStringLiteral("Änderungen übernehmen"));
    EXPECT_EQ(f.lang->GetPropListByType(stItems)->GetTranslationByID(QStringLiteral("cbColor.items"), 1),
              QStringLiteral("Rot\nGrün\nBlau"));
    EXPECT_EQ(f.lang->GetPropListByType(stListView_TreeView_Items)
                  ->GetTranslationByID(QStringLiteral("tvFolders.items"), 1),
              QStringLiteral("Dokumente\tklein\nBriefe\tgroß"));
    // Widgets without a text of their own leave no empty lines behind.
    EXPECT_EQ(captions.FindID(QStringLiteral("cbColor.windowTitle")), -1);
    // The component itself is no translatable object.
    for (int t = 0; t < StringsTypeCount; ++t)
        EXPECT_EQ(f.lang->GetPropListByType(TStringsType(t))->Text().indexOf(QLatin1String("TsiLang")), -1);
}

TEST(RuntimeLang, SwitchesAFormBackAndForth)
{
    Form f;
    f.addEnglish();
    f.lang->SetLanguage(QStringLiteral("english")); // names match ignoring ASCII case
    ASSERT_EQ(f.lang->ActiveLanguage(), 2);
    EXPECT_EQ(f.w->windowTitle(), QStringLiteral("Settings"));
    EXPECT_EQ(f.lblTitle->text(), QStringLiteral("Title"));
    EXPECT_EQ(f.btnOk->text(), QStringLiteral("Apply"));
    EXPECT_EQ(f.btnOk->toolTip(), QStringLiteral("Apply the changes"));
    EXPECT_EQ(f.actSave->text(), QStringLiteral("Save"));
    EXPECT_EQ(f.grpOptions->title(), QStringLiteral("Options"));
    EXPECT_EQ(f.cbColor->itemText(1), QStringLiteral("Green"));
    EXPECT_EQ(f.cbColor->currentIndex(), 2) << "switching must keep the selection";
    EXPECT_EQ(f.tvFolders->headerItem()->text(1), QStringLiteral("Size"));
    QTreeWidgetItem *root = f.tvFolders->topLevelItem(0);
    EXPECT_EQ(root->text(0), QStringLiteral("Documents"));
    EXPECT_EQ(root->text(1), QStringLiteral("small"));
    EXPECT_EQ(root->child(0)->text(0), QStringLiteral("Letters"));
    EXPECT_EQ(root->child(0)->text(1), QStringLiteral("groß")) << "a missing column keeps its text";
    EXPECT_EQ(f.tabPages->tabText(1), QStringLiteral("Advanced"));
    EXPECT_EQ(f.edName->placeholderText(), QStringLiteral("Enter a name"));
    EXPECT_EQ(f.edName->text(), QStringLiteral("Eingabe des Benutzers"));
    EXPECT_EQ(f.lstDays->item(0)->text(), QStringLiteral("Montag")) << "no English line: unchanged";

    // Back to the design language: the captured texts return.
    f.lang->SetActiveLanguage(1);
    EXPECT_EQ(f.w->windowTitle(), QStringLiteral("Einstellungen"));
    EXPECT_EQ(f.btnOk->toolTip(), QStringLiteral("Änderungen übernehmen"));
    EXPECT_EQ(f.cbColor->itemText(1), QStringLiteral("Grün"));
    EXPECT_EQ(root->child(0)->text(0), QStringLiteral("Briefe"));
    EXPECT_EQ(f.tabPages->tabText(0), QStringLiteral("Allgemein"));

    // Once more, to show that capturing happened once and English is intact.
    f.lang->SetActiveLanguage(2);
    EXPECT_EQ(f.lblTitle->text(), QStringLiteral("Title"));
    EXPECT_EQ(f.lang->GetPropListByType(stCaptions)->GetTranslationByID(QStringLiteral("lblTitle.text"), 1),
              QStringLiteral("Titel"));
}

TEST(RuntimeLang, LanguageWithoutTextsFallsBackOrKeepsWhatIsShown)
{
    Form f;
    f.addEnglish();
    f.lang->SetActiveLanguage(2);
    ASSERT_EQ(f.lblTitle->text(), QStringLiteral("Title"));

    // French has no texts. Without the default language the form keeps showing English.
    f.lang->SetUseDefaultLanguage(false);
    f.lang->SetLanguage(QStringLiteral("French"));
    EXPECT_EQ(f.lang->ActiveLanguage(), 3);
    EXPECT_EQ(f.lblTitle->text(), QStringLiteral("Title"));

    // With it, the default language's texts (German) are shown.
    f.lang->SetUseDefaultLanguage(true);
    f.lang->ChangeLanguage();
    EXPECT_EQ(f.lblTitle->text(), QStringLiteral("Titel"));
    f.lang->SetDefaultLanguage(2);
    f.lang->ChangeLanguage();
    EXPECT_EQ(f.lblTitle->text(), QStringLiteral("Title"));

    // Unknown names and numbers leave the language as it is.
    f.lang->SetLanguage(QStringLiteral("Klingon"));
    f.lang->SetActiveLanguage(0);
    f.lang->SetActiveLanguage(4);
    EXPECT_EQ(f.lang->ActiveLanguage(), 3);
    EXPECT_EQ(f.lang->Language(), QStringLiteral("French"));
}

TEST(RuntimeLang, ExcludedPropertiesAreNeitherCapturedNorApplied)
{
    Form f;
    f.addEnglish();
    f.lang->ExcludedProperties().Add(QStringLiteral("tooltip")); // compared ignoring case
    f.lang->ExcludedProperties().Add(QStringLiteral("lblTitle.text"));
    f.lang->SetActiveLanguage(2);
    EXPECT_EQ(f.btnOk->toolTip(), QStringLiteral("Änderungen übernehmen"));
    EXPECT_EQ(f.lblTitle->text(), QStringLiteral("Titel"));
    EXPECT_EQ(f.btnOk->text(), QStringLiteral("Apply"));

    // ExcludeProperties drops the stored lines of excluded properties.
    f.lang->ExcludeProperties();
    EXPECT_EQ(f.lang->GetPropListByType(stHints)->FindID(QStringLiteral("btnOk.toolTip")), -1);
    EXPECT_EQ(f.lang->GetPropListByType(stCaptions)->FindID(QStringLiteral("lblTitle.text")), -1);
    EXPECT_GE(f.lang->GetPropListByType(stCaptions)->FindID(QStringLiteral("btnOk.text")), 0);
}

TEST(RuntimeLang, HostileLinesDoNoHarm)
{
    Form f;
    TsiStringsCollection &captions = *f.lang->GetPropListByType(stCaptions);
    captions.Add(QStringLiteral("nosuchobject.text\tx\ty"));
    captions.Add(QStringLiteral("btnOk.nosuchproperty\tx\ty"));
    captions.Add(QStringLiteral("btnOk.checked\tx\ttrue")); // not a text property
    captions.Add(QStringLiteral("btnOk\tx\ty"));
    captions.Add(QStringLiteral(".text\tx\ty"));
    captions.Add(QString());
    f.lang->GetPropListByType(stItems)->Add(QStringLiteral("cbColor.items\t\tA\nB\nC\nD\nE"));
    f.lang->GetPropListByType(stFonts)->Add(QStringLiteral("btnOk.font\t\tnot a font"));
    f.lang->SetActiveLanguage(2);
    EXPECT_FALSE(f.btnOk->isChecked());
    EXPECT_EQ(f.cbColor->count(), 3) << "extra item texts must not add items";
    EXPECT_EQ(f.cbColor->itemText(2), QStringLiteral("C"));
    EXPECT_FALSE(f.btnOk->property("nosuchproperty").isValid()) << "no dynamic properties";
}

TEST(RuntimeLang, FontsFollowTheLanguage)
{
    Form f;
    QFont design(QStringLiteral("Sans Serif"), 11);
    f.lblTitle->setFont(design);
    f.lang->UpdateStrCollections();
    QFont other(QStringLiteral("Serif"), 14);
    f.lang->GetPropListByType(stFonts)->SetTranslationByID(QStringLiteral("lblTitle.font"), 2, other.toString());
    f.lang->SetActiveLanguage(2);
    EXPECT_EQ(f.lblTitle->font().pointSize(), 14);
    f.lang->SetActiveLanguage(1);
    EXPECT_EQ(f.lblTitle->font().pointSize(), 11);
    // Inherited fonts are not the form's design.
    EXPECT_EQ(f.lang->GetPropListByType(stFonts)->FindID(QStringLiteral("btnOk.font")), -1);
}

TEST(RuntimeLang, GetTextFallsBackOnlyWhenAsked)
{
    TsiLang lang;
    lang.SetNumLang(3);
    lang.Strings().Add(QStringLiteral("msgHello\tHallo\tHello\t"));
    lang.Strings().Add(QStringLiteral("msgOnlyGerman\tNur deutsch"));
    lang.SetActiveLanguage(2);
    EXPECT_EQ(lang.GetText(QStringLiteral("msgHello")), QStringLiteral("Hello"));
    EXPECT_EQ(lang.GetText(QStringLiteral("msgOnlyGerman")), QString());
    lang.SetTranslateType(ttGetDefault);
    EXPECT_EQ(lang.GetText(QStringLiteral("msgOnlyGerman")), QStringLiteral("Nur deutsch"));
    EXPECT_EQ(lang.GetText(QStringLiteral("msgMissing")), QString());
    EXPECT_EQ(lang.GetText(QStringLiteral("msghello")), QString()) << "IDs are exact";
    // An ID that is a prefix of another must not find the longer one.
    lang.Strings().Add(QStringLiteral("msg\tkurz\tshort"));
    EXPECT_EQ(lang.GetText(QStringLiteral("msg")), QStringLiteral("short"));
}

TEST(RuntimeLang, ChangingTheDelimiterKeepsEveryText)
{
    TsiLang lang;
    lang.SetNumLang(2);
    lang.Strings().SetTranslationByID(QStringLiteral("a"), 1, QStringLiteral("x;y"));
    lang.Strings().SetTranslationByID(QStringLiteral("a"), 2, QStringLiteral("tab\there"));
    lang.SetLangDelim(QLatin1Char(';'));
    EXPECT_EQ(lang.Strings().Get(0), QStringLiteral("a;x\\dy;tab\\there"));
    lang.SetActiveLanguage(1);
    EXPECT_EQ(lang.GetText(QStringLiteral("a")), QStringLiteral("x;y"));
    lang.SetLangDelim(Tab);
    lang.SetActiveLanguage(2);
    EXPECT_EQ(lang.GetText(QStringLiteral("a")), QStringLiteral("tab\there"));
    EXPECT_THROW(lang.SetLangDelim(QLatin1Char('\\')), EConvertError);
}

TEST(RuntimeLang, StreamBlocksMergeByLanguageName)
{
    TsiLang source;
    source.SetNumLang(2);
    source.SetLangNames(TStringList({QStringLiteral("English"), QStringLiteral("Spanish")}));
    source.Strings().Add(QStringLiteral("greet\tHello\tHola"));
    source.Strings().Add(QStringLiteral("bye\t\tAdiós"));
    TMemoryStream block;
    source.SaveToStream(stStrings, block, QStringLiteral("~!@#"));

    TsiLang dest;
    dest.SetNumLang(2);
    dest.SetLangNames(TStringList({QStringLiteral("German"), QStringLiteral("English")}));
    dest.Strings().Add(QStringLiteral("bye\tTschüss\tBye"));
    block.SetPosition(0);
    dest.MergeFromStream(stStrings, block);

    EXPECT_EQ(dest.NumOfLanguages(), 3);
    EXPECT_EQ(dest.LangNames().Get(2), QStringLiteral("Spanish"));
    ASSERT_EQ(dest.Strings().Count(), 2);
    EXPECT_EQ(dest.Strings().GetTranslationByID(QStringLiteral("greet"), 2), QStringLiteral("Hello"));
    EXPECT_EQ(dest.Strings().GetTranslationByID(QStringLiteral("greet"), 3), QStringLiteral("Hola"));
    // Empty texts of the block do not wipe stored ones.
    EXPECT_EQ(dest.Strings().GetTranslationByID(QStringLiteral("bye"), 2), QStringLiteral("Bye"));
    EXPECT_EQ(dest.Strings().GetTranslationByID(QStringLiteral("bye"), 3), QStringLiteral("Adiós"));

    // A truncated block is refused as a whole.
    const QByteArray bytes = block.ToBytes();
    for (int cut : {0, 5, int(bytes.size()) / 2, int(bytes.size()) - 1}) {
        SCOPED_TRACE(cut);
        TBytesStream part(bytes.left(cut));
        TsiLang other;
        EXPECT_THROW(other.MergeFromStream(stStrings, part), EReadError);
        EXPECT_EQ(other.Strings().Count(), 0);
        EXPECT_EQ(other.NumOfLanguages(), 1);
    }
}

TEST(RuntimeLang, AssignCopiesTextsAcrossDelimiters)
{
    Form f;
    f.addEnglish();
    TsiLang copy;
    copy.SetLangDelim(QLatin1Char('|'));
    copy.Assign(f.lang);
    EXPECT_EQ(copy.NumOfLanguages(), 3);
    EXPECT_EQ(copy.LangDelim(), QLatin1Char('|'));
    EXPECT_EQ(copy.GetPropListByType(stItems)->GetTranslationByID(QStringLiteral("cbColor.items"), 2),
              QStringLiteral("Red\nGreen\nBlue"));
}
