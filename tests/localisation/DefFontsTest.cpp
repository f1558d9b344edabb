// Default fonts per language: the registry store, the lookups, the
// character-set identifiers and the dialog that edits the list.
#include <ZorCompCore/localisation/DefFonts.h>

#include <ZorCompCore/localisation/runtime/EditorForms.h>
#include <ZorCompCore/localisation/runtime/SiLangLinked.h>
#include <ZorCompCore/platform/Registry.h>
#include "TestUtil.h"

#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace zor;

namespace {

const QString TestKey = QStringLiteral("\\Software\\ZorTests\\Fonts");

// Every test gets its own registry folder: the user's store stays untouched.
struct DefFontsFixture : ::testing::Test
{
    QTemporaryDir dir;
    ScopedEnv env{"ZOR_REGISTRY_DIR", dir.path().toUtf8()};

    static QString defaultKey() { return QString::fromUtf16(DefFontsRegistryKey); }

    static QStringList entries(const TDefFontsList &AList)
    {
        QStringList out;
        for (int i = 0; i < AList.Count(); ++i) {
            const TDefFontListItem *item = AList.Items(i);
            out.append(QStringLiteral("%1|%2|%3").arg(item->FLanguage, item->FFontName).arg(item->FCharset));
        }
        return out;
    }

    static QStringList valueNames(const QString &AKey)
    {
        TRegistry reg;
        if (!reg.OpenKey(AKey, false))
            return {};
        QStringList names = reg.ValueNames();
        names.sort(Qt::CaseInsensitive);
        return names;
    }

    // Writes "Name=value" pairs; a value starting with '#' is an integer.
    static void write(const QString &AKey, const QStringList &AValues)
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(AKey, true));
        for (const QString &pair : AValues) {
            const QString name = pair.section(u'=', 0, 0), value = pair.section(u'=', 1);
            if (value.startsWith(u'#'))
                reg.WriteInteger(name, value.mid(1).toInt());
            else
                reg.WriteString(name, value);
        }
    }
};

using DefFontsStore = DefFontsFixture;
using DefFontsLookup = DefFontsFixture;
using DefFontsDialog = DefFontsFixture;

} // namespace

TEST_F(DefFontsStore, ReadsOnlyCompleteEntriesBelowTheCount)
{
    write(TestKey, {
                       "FontInfoCount=#6", "FontInfoLang0=L0", "FontInfoFont0=F0", "FontInfoCharset0=#161",
                       "FontInfoLang1=L1", "FontInfoFont1=F1",                          // no character set
                       "FontInfoFont2=F2", "FontInfoCharset2=#161",                     // no language
                       "FontInfoLang03=L3", "FontInfoFont3=F3", "FontInfoCharset3=#161", // padded index
                       "FontInfoLang4=L4", "FontInfoFont4=F4", "FontInfoCharset4=#161", // after a gap
                       "FontInfoLang5=L5", "FontInfoFont5=F5", "FontInfoCharset5=161",  // charset as text
                       "FontInfoLang6=L6", "FontInfoFont6=F6", "FontInfoCharset6=#161", // at the count
                   });
    TDefFontsList list;
    list.ReadFromRegistry(TestKey);
    EXPECT_EQ(entries(list), (QStringList{QStringLiteral("L0|F0|161"), QStringLiteral("L4|F4|161")}));
}

TEST_F(DefFontsStore, HostileOrMissingCountsReadNothingOrOnlyWhatIsThere)
{
    const struct
    {
        const char *count; // nullptr: no count value
        int expected;
    } rows[] = {{nullptr, 0}, {"FontInfoCount=1", 0}, {"FontInfoCount=#-5", 0}, {"FontInfoCount=#2147483647", 1}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.count ? row.count : "no count");
        TRegistry().DeleteKey(TestKey);
        write(TestKey, {"FontInfoLang0=Greek", "FontInfoFont0=Sans", "FontInfoCharset0=#161"});
        if (row.count)
            write(TestKey, {QString::fromLatin1(row.count)});
        TDefFontsList list;
        list.ReadFromRegistry(TestKey);
        EXPECT_EQ(list.Count(), row.expected);
    }
    // Lists that read other keys are changed lists whose destructors write
    // the default store: cleared first.
    TDefFontsList list;
    list.Clear();
    list.ReadFromRegistry(QStringLiteral("\\Software\\ZorTests\\Missing"));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(valueNames(QStringLiteral("\\Software\\ZorTests\\Missing")).isEmpty())
        << "reading must not create the key";
}

TEST_F(DefFontsStore, RoundTripAndWritingFewerEntriesRemovesTheSurplus)
{
    TDefFontsList list;
    list.AddDefFontItem(QStringLiteral("Русский"), QStringLiteral("PT Sans"), RUSSIAN_CHARSET);
    list.AddDefFontItem(QStringLiteral("German"), QStringLiteral("DejaVu Sans"), ANSI_CHARSET);
    list.AddDefFontItem(QStringLiteral("German"), QStringLiteral("Noto Sans"), OEM_CHARSET);
    list.AddDefFontItem(QString(), QString(), 100); // no identifier: kept as a number
    ASSERT_TRUE(list.WriteToRegistry(TestKey));
    TDefFontsList in;
    in.ReadFromRegistry(TestKey);
    EXPECT_EQ(entries(in), entries(list)) << "order, duplicates and every value survive";
    write(TestKey, {"WindowWidth=#640"}); // another tool's value in the same key stays

    list.RemoveDefFontItem(QStringLiteral("GERMAN"));
    ASSERT_TRUE(list.WriteToRegistry(TestKey));
    EXPECT_EQ(valueNames(TestKey).join(u' '), QStringLiteral("FontInfoCharset0 FontInfoCharset1 FontInfoCount "
                                                             "FontInfoFont0 FontInfoFont1 FontInfoLang0 "
                                                             "FontInfoLang1 WindowWidth"));
    in.Clear();
    in.ReadFromRegistry(TestKey);
    EXPECT_EQ(entries(in), (QStringList{QStringLiteral("Русский|PT Sans|204"), QStringLiteral("||100")}));

    // An entry left half-written by someone else beyond the count goes too.
    write(TestKey, {"FontInfoFont2=stale", "FontInfoCharset3=#1"});
    list.Clear();
    ASSERT_TRUE(list.WriteToRegistry(TestKey));
    EXPECT_EQ(valueNames(TestKey), (QStringList{QStringLiteral("FontInfoCount"), QStringLiteral("WindowWidth")}));
}

TEST_F(DefFontsStore, CreatedFromTheStoreAndWrittenBackOnlyWhenChanged)
{
    ASSERT_NE(DefFontsList, nullptr) << "the library creates its list at load";
    EXPECT_FALSE(DefFontsList->WasChanged());
    {
        TDefFontsList seed;
        seed.AddDefFontItem(QStringLiteral("Greek"), QStringLiteral("Sans"), GREEK_CHARSET);
        ASSERT_TRUE(seed.WriteToRegistry(defaultKey()));
        seed.Clear(); // changed: reread so that its destructor writes the same store
        seed.ReadFromRegistry(defaultKey());
    }
    auto storedFont = [&] {
        TRegistry reg(KEY_READ);
        return reg.OpenKeyReadOnly(defaultKey()) ? reg.ReadString(QStringLiteral("FontInfoFont0")) : QString();
    };
    {
        TDefFontsList list;
        EXPECT_EQ(entries(list), QStringList{QStringLiteral("Greek|Sans|161")});
        EXPECT_FALSE(list.WasChanged());
        write(defaultKey(), {"FontInfoFont0=Serif"}); // another process changes the store meanwhile
    }
    EXPECT_EQ(storedFont(), QStringLiteral("Serif")) << "an unchanged list must not write";
    {
        TDefFontsList list;
        list.RemoveDefFontItem(QStringLiteral("GREEK"));
        list.AddDefFontItem(QStringLiteral("Greek"), QStringLiteral("Mono"), GREEK_CHARSET);
        EXPECT_TRUE(list.WasChanged());
    }
    EXPECT_EQ(storedFont(), QStringLiteral("Mono"));
}

TEST_F(DefFontsLookup, LanguagesMatchIgnoringAsciiCaseOnly)
{
    TDefFontsList list;
    list.AddDefFontItem(QStringLiteral("German"), QStringLiteral("First"), ANSI_CHARSET);
    list.AddDefFontItem(QStringLiteral("Ärabic"), QStringLiteral("Naskh"), ARABIC_CHARSET);
    list.AddDefFontItem(QStringLiteral("GERMAN"), QStringLiteral("Second"), EASTEUROPE_CHARSET);
    list.AddDefFontItem(QStringLiteral("Germany"), QStringLiteral("Other"), BALTIC_CHARSET);

    EXPECT_EQ(list.GetLangFontName(QStringLiteral("german")), QStringLiteral("First"));
    EXPECT_EQ(list.GetLangCharset(QStringLiteral("gErMaN")), ANSI_CHARSET) << "0 is a value, not 'absent'";
    EXPECT_EQ(list.FindItemByLang(QStringLiteral("GERMANY")), list.Items(3));
    // Only A to Z fold: "äRABIC" is another language than "Ärabic".
    EXPECT_EQ(list.FindItemByLang(QStringLiteral("äRABIC")), nullptr);
    EXPECT_EQ(list.FindItemByLang(QStringLiteral("ÄRABIC")), list.Items(1));
    EXPECT_EQ(list.GetLangCharset(QStringLiteral("Thai")), DEFAULT_CHARSET);
    EXPECT_EQ(list.GetLangFontName(QStringLiteral("Thai")), QString());
    EXPECT_EQ(list.GetLangCharset(QString()), DEFAULT_CHARSET);

    list.RemoveDefFontItem(QStringLiteral("germaN"));
    EXPECT_EQ(entries(list), (QStringList{QStringLiteral("Ärabic|Naskh|178"), QStringLiteral("Germany|Other|186")}));
    EXPECT_EQ(list.Items(2), nullptr);
    EXPECT_EQ(list.Items(-1), nullptr);
}

TEST_F(DefFontsLookup, CharsetIdentifiersConvertBothWays)
{
    const QStringList idents = CharsetIdents();
    ASSERT_EQ(idents.size(), 19);
    QSet<int> values;
    for (const QString &ident : idents) {
        SCOPED_TRACE(ident.toStdString());
        quint8 value = 0;
        ASSERT_TRUE(IdentToCharset(ident.toLower(), value));
        values.insert(value);
        EXPECT_EQ(CharsetToIdent(value), ident);
    }
    EXPECT_EQ(values.size(), 19) << "every identifier has its own value";
    EXPECT_EQ(CharsetToIdent(1), QStringLiteral("DEFAULT_CHARSET"));
    EXPECT_EQ(CharsetToIdent(204), QStringLiteral("RUSSIAN_CHARSET"));
    EXPECT_EQ(CharsetToIdent(7), QStringLiteral("7"));

    quint8 value = 42;
    EXPECT_TRUE(IdentToCharset(QStringLiteral("7"), value));
    EXPECT_EQ(value, 7);
    for (const char *bad : {"", "256", "-1", "CHARSET", "RUSSIAN_CHARSET_", "0x10"}) {
        SCOPED_TRACE(bad);
        value = 42;
        EXPECT_FALSE(IdentToCharset(QString::fromLatin1(bad), value));
        EXPECT_EQ(value, 42);
    }
}

TEST_F(DefFontsLookup, ListViewRowsRoundTripThroughIdentifiers)
{
    TDefFontsList list;
    list.AddDefFontItem(QStringLiteral("Hebrew"), QStringLiteral("Frank"), HEBREW_CHARSET);
    list.AddDefFontItem(QStringLiteral("Other"), QStringLiteral("Sans"), 9);
    QTreeWidget view;
    view.setColumnCount(3);
    view.addTopLevelItem(new QTreeWidgetItem({QStringLiteral("stale")}));
    list.PopulateListView(&view);
    ASSERT_EQ(view.topLevelItemCount(), 2);
    EXPECT_EQ(view.topLevelItem(0)->text(2), QStringLiteral("HEBREW_CHARSET"));
    EXPECT_EQ(view.topLevelItem(1)->text(2), QStringLiteral("9"));

    view.addTopLevelItem(new QTreeWidgetItem({QStringLiteral("Typed"), QStringLiteral("Mono"), QStringLiteral("??")}));
    TDefFontsList copy;
    copy.CopyFromListView(&view);
    EXPECT_EQ(entries(copy), (QStringList{QStringLiteral("Hebrew|Frank|177"), QStringLiteral("Other|Sans|9"),
                                          QStringLiteral("Typed|Mono|1")}));
    copy.PopulateListView(nullptr);
    copy.CopyFromListView(nullptr);
    EXPECT_EQ(copy.Count(), 3);
}

namespace {

QString rowText(TfrmDefFonts &ADlg, int AIndex)
{
    const QTreeWidgetItem *item = ADlg.ListView()->topLevelItem(AIndex);
    return item ? QStringList{item->text(0), item->text(1), item->text(2)}.join(u'|') : QString();
}

QPushButton *button(TfrmDefFonts &ADlg, const char *AName)
{
    return ADlg.findChild<QPushButton *>(QString::fromLatin1(AName));
}

} // namespace

TEST_F(DefFontsDialog, DisagreeingRowsShowMultipleValuesAndKeepThemOnReplace)
{
    TfrmDefFonts dlg;
    TDefFontsList list;
    list.AddDefFontItem(QStringLiteral("Greek"), QStringLiteral("Sans"), GREEK_CHARSET);
    list.AddDefFontItem(QStringLiteral("Turkish"), QStringLiteral("Sans"), TURKISH_CHARSET);
    list.AddDefFontItem(QStringLiteral("Thai"), QStringLiteral("Loma"), THAI_CHARSET);
    list.PopulateListView(dlg.ListView());
    const QString multiple = QStringLiteral("<multiple values>");
    EXPECT_EQ(dlg.MultipleValuesText(), multiple);

    dlg.ListView()->clearSelection();
    dlg.ListView()->topLevelItem(0)->setSelected(true);
    dlg.ListView()->topLevelItem(1)->setSelected(true);
    EXPECT_EQ(dlg.LanguageText(), multiple);
    EXPECT_EQ(dlg.FontNameText(), QStringLiteral("Sans"));
    EXPECT_EQ(dlg.CharsetText(), multiple);
    EXPECT_FALSE(button(dlg, "btnAdd")->isEnabled()) << "no row can be added from mixed values";

    dlg.SetFontNameText(QStringLiteral("Serif"));
    dlg.ReplaceRows();
    EXPECT_EQ(rowText(dlg, 0), QStringLiteral("Greek|Serif|GREEK_CHARSET"));
    EXPECT_EQ(rowText(dlg, 1), QStringLiteral("Turkish|Serif|TURKISH_CHARSET"));
    EXPECT_EQ(rowText(dlg, 2), QStringLiteral("Thai|Loma|THAI_CHARSET")) << "unselected rows stay";

    // A character set typed as a number is stored as its identifier.
    dlg.SetCharsetText(QStringLiteral("238"));
    dlg.ReplaceRows();
    EXPECT_EQ(rowText(dlg, 1), QStringLiteral("Turkish|Serif|EASTEUROPE_CHARSET"));
    EXPECT_EQ(dlg.CharsetText(), QStringLiteral("EASTEUROPE_CHARSET")) << "the rows agree now";

    dlg.SetCharsetText(QStringLiteral("nonsense"));
    EXPECT_FALSE(button(dlg, "btnReplace")->isEnabled());
    dlg.ReplaceRows();
    EXPECT_EQ(rowText(dlg, 0), QStringLiteral("Greek|Serif|EASTEUROPE_CHARSET"));
}

TEST_F(DefFontsDialog, ButtonsFollowTheSelectionAndTheEditors)
{
    TfrmDefFonts dlg;
    QPushButton *add = button(dlg, "btnAdd"), *replace = button(dlg, "btnReplace"), *del = button(dlg, "btnDelete"),
                *clear = button(dlg, "btnClear");
    EXPECT_EQ(dlg.CharsetText(), QStringLiteral("DEFAULT_CHARSET"));
    EXPECT_FALSE(add->isEnabled() || clear->isEnabled());

    dlg.SetLanguageText(QStringLiteral("Hebrew"));
    EXPECT_FALSE(add->isEnabled()) << "a font name is needed";
    dlg.SetFontNameText(QStringLiteral("  "));
    EXPECT_FALSE(add->isEnabled());
    dlg.SetFontNameText(QStringLiteral("Frank"));
    EXPECT_TRUE(add->isEnabled());
    dlg.AddRow();
    EXPECT_EQ(rowText(dlg, 0), QStringLiteral("Hebrew|Frank|DEFAULT_CHARSET"));
    EXPECT_TRUE(dlg.ListView()->topLevelItem(0)->isSelected()) << "the new row is selected";
    EXPECT_TRUE(replace->isEnabled() && del->isEnabled() && clear->isEnabled());

    dlg.SetLanguageText(QString());
    EXPECT_FALSE(replace->isEnabled()) << "replacing would blank the language";

    int asked = 0;
    dlg.Confirm = [&](const QString &AQuestion) {
        EXPECT_EQ(AQuestion, QStringLiteral("Are you sure you want to clear the entire list?"));
        return ++asked > 1;
    };
    dlg.ClearRows();
    EXPECT_EQ(dlg.ListView()->topLevelItemCount(), 1) << "declined";
    dlg.ClearRows();
    EXPECT_EQ(dlg.ListView()->topLevelItemCount(), 0);
    EXPECT_FALSE(clear->isEnabled() || del->isEnabled());
    dlg.ClearRows();
    EXPECT_EQ(asked, 2) << "an empty list is not asked about";
}

TEST_F(DefFontsDialog, AcceptedDialogReplacesTheListAndWritesTheStore)
{
    TDefFontsList list;
    list.AddDefFontItem(QStringLiteral("Greek"), QStringLiteral("Sans"), GREEK_CHARSET);
    list.AddDefFontItem(QStringLiteral("Thai"), QStringLiteral("Loma"), THAI_CHARSET);

    int result = DefFontsDlg(&list, [](TfrmDefFonts &dlg) {
        dlg.DeleteRows(); // the first row is selected when the dialog opens
        QTimer::singleShot(0, &dlg, &QDialog::reject);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(list.Count(), 2) << "cancel changes nothing";
    EXPECT_TRUE(valueNames(defaultKey()).isEmpty());

    TsiLangDispatcher dispatcher;
    dispatcher.LangNames().Assign(TStringList({QStringLiteral("English"), QStringLiteral("Hebrew")}));
    QStringList offered;
    result = DefFontsDlg(&list, &dispatcher, nullptr, [&](TfrmDefFonts &dlg) {
        auto *languages = dlg.findChild<QComboBox *>(QStringLiteral("cbLanguage"));
        for (int i = 0; i < languages->count(); ++i)
            offered.append(languages->itemText(i));
        dlg.DeleteRows();
        dlg.SetLanguageText(QStringLiteral("Hebrew"));
        dlg.SetFontNameText(QStringLiteral("Frank"));
        dlg.SetCharsetText(QStringLiteral("hebrew_charset"));
        dlg.AddRow();
        QTimer::singleShot(0, &dlg, &QDialog::accept);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(offered, (QStringList{QStringLiteral("English"), QStringLiteral("Hebrew")}));
    EXPECT_EQ(entries(list), (QStringList{QStringLiteral("Thai|Loma|222"), QStringLiteral("Hebrew|Frank|177")}));
    TDefFontsList stored;
    EXPECT_EQ(entries(stored), entries(list)) << "the store was written on OK";
    EXPECT_EQ(DefFontsDlg(nullptr), QDialog::Rejected);
}

TEST_F(DefFontsDialog, SpeaksTheEditorLanguage)
{
    const TsiEditorSettings saved = siEditorSettings();
    siEditorSettings().Language = 2;
    TfrmDefFonts dlg;
    siEditorSettings() = saved;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Standardschriftarten"));
    EXPECT_EQ(dlg.MultipleValuesText(), QStringLiteral("<mehrere Werte>"));
}
