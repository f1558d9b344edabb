// Default fonts per language: the registry store (hostile and stale contents,
// surplus entries, writing back only what changed), the lookups, the
// character-set identifiers and the dialog that edits the list.
#include "localisation/DefFonts.h"

#include "localisation/runtime/EditorForms.h"
#include "localisation/runtime/SiLangLinked.h"
#include "platform/Registry.h"
#include "TestUtil.h"

#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <climits>
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
};

using DefFontsStore = DefFontsFixture;
using DefFontsLookup = DefFontsFixture;
using DefFontsDialog = DefFontsFixture;

} // namespace

TEST_F(DefFontsStore, ReadsOnlyCompleteEntriesBelowTheCount)
{
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(TestKey, true));
        reg.WriteInteger(QStringLiteral("FontInfoCount"), 6);
        auto entry = [&](int i, bool lang, bool font, bool charset) {
            if (lang)
                reg.WriteString(QStringLiteral("FontInfoLang%1").arg(i), QStringLiteral("L%1").arg(i));
            if (font)
                reg.WriteString(QStringLiteral("FontInfoFont%1").arg(i), QStringLiteral("F%1").arg(i));
            if (charset)
                reg.WriteInteger(QStringLiteral("FontInfoCharset%1").arg(i), 161);
        };
        entry(0, true, true, true);
        entry(1, true, true, false); // no character set
        entry(2, false, true, true); // no language
        entry(4, true, true, true);  // after a gap
        entry(6, true, true, true);  // at the count: not an entry
        // Wrong types count as missing; a padded index is another name.
        reg.WriteString(QStringLiteral("FontInfoLang5"), QStringLiteral("L5"));
        reg.WriteString(QStringLiteral("FontInfoFont5"), QStringLiteral("F5"));
        reg.WriteString(QStringLiteral("FontInfoCharset5"), QStringLiteral("161"));
        reg.WriteString(QStringLiteral("FontInfoLang03"), QStringLiteral("L3"));
        reg.WriteString(QStringLiteral("FontInfoFont3"), QStringLiteral("F3"));
        reg.WriteInteger(QStringLiteral("FontInfoCharset3"), 161);
    }
    TDefFontsList list;
    list.ReadFromRegistry(TestKey);
    EXPECT_EQ(entries(list), (QStringList{QStringLiteral("L0|F0|161"), QStringLiteral("L4|F4|161")}));
}

TEST_F(DefFontsStore, HostileOrMissingCountsReadNothingOrOnlyWhatIsThere)
{
    struct Row
    {
        const char *name;
        bool writeCount;
        bool countAsString;
        int count;
        int expected;
    };
    const Row rows[] = {
        {"no count", false, false, 0, 0},
        {"count as text", true, true, 1, 0},
        {"negative count", true, false, -5, 0},
        {"huge count", true, false, INT_MAX, 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TRegistry reg;
        reg.DeleteKey(TestKey);
        ASSERT_TRUE(reg.OpenKey(TestKey, true));
        reg.WriteString(QStringLiteral("FontInfoLang0"), QStringLiteral("Greek"));
        reg.WriteString(QStringLiteral("FontInfoFont0"), QStringLiteral("Sans"));
        reg.WriteInteger(QStringLiteral("FontInfoCharset0"), 161);
        if (row.writeCount && row.countAsString)
            reg.WriteString(QStringLiteral("FontInfoCount"), QString::number(row.count));
        else if (row.writeCount)
            reg.WriteInteger(QStringLiteral("FontInfoCount"), row.count);
        TDefFontsList list;
        list.ReadFromRegistry(TestKey);
        EXPECT_EQ(list.Count(), row.expected);
    }
    // Lists that read other keys are changed lists: their destructors write
    // the default store, so clear before reading.
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
    {
        // A value of another tool in the same key stays.
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(TestKey, false));
        EXPECT_EQ(reg.ReadInteger(QStringLiteral("FontInfoCharset2")), 255);
        reg.WriteInteger(QStringLiteral("WindowWidth"), 640);
    }
    list.RemoveDefFontItem(QStringLiteral("GERMAN"));
    ASSERT_TRUE(list.WriteToRegistry(TestKey));

    QStringList expected{QStringLiteral("FontInfoCharset0"), QStringLiteral("FontInfoCharset1"),
                         QStringLiteral("FontInfoCount"),    QStringLiteral("FontInfoFont0"),
                         QStringLiteral("FontInfoFont1"),    QStringLiteral("FontInfoLang0"),
                         QStringLiteral("FontInfoLang1"),    QStringLiteral("WindowWidth")};
    EXPECT_EQ(valueNames(TestKey), expected);
    in.Clear();
    in.ReadFromRegistry(TestKey);
    EXPECT_EQ(entries(in), (QStringList{QStringLiteral("Русский|PT Sans|204"), QStringLiteral("||100")}));

    // An entry left half-written by someone else beyond the count goes too.
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(TestKey, false));
        reg.WriteString(QStringLiteral("FontInfoFont2"), QStringLiteral("stale"));
        reg.WriteInteger(QStringLiteral("FontInfoCharset3"), 1);
    }
    list.Clear();
    ASSERT_TRUE(list.WriteToRegistry(TestKey));
    EXPECT_EQ(valueNames(TestKey), (QStringList{QStringLiteral("FontInfoCount"), QStringLiteral("WindowWidth")}));
}

TEST_F(DefFontsStore, CreatedFromTheStoreAndWrittenBackOnlyWhenChanged)
{
    {
        TDefFontsList seed;
        seed.AddDefFontItem(QStringLiteral("Greek"), QStringLiteral("Sans"), GREEK_CHARSET);
        ASSERT_TRUE(seed.WriteToRegistry(defaultKey()));
        seed.Clear(); // changed: but only the store written below may remain
        seed.ReadFromRegistry(defaultKey());
    }
    auto setStoredFont = [&](const QString &AFont) {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(defaultKey(), false));
        reg.WriteString(QStringLiteral("FontInfoFont0"), AFont);
    };
    auto storedFont = [&] {
        TRegistry reg(KEY_READ);
        return reg.OpenKeyReadOnly(defaultKey()) ? reg.ReadString(QStringLiteral("FontInfoFont0")) : QString();
    };

    {
        TDefFontsList list;
        EXPECT_EQ(entries(list), QStringList{QStringLiteral("Greek|Sans|161")});
        EXPECT_FALSE(list.WasChanged());
        EXPECT_EQ(list.GetLangCharset(QStringLiteral("greek")), GREEK_CHARSET);
        // Another process changes the store meanwhile.
        setStoredFont(QStringLiteral("Serif"));
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

TEST_F(DefFontsStore, TheLibraryCreatedItsListAtLoad)
{
    ASSERT_NE(DefFontsList, nullptr);
    EXPECT_FALSE(DefFontsList->WasChanged());
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

QTreeWidgetItem *row(TfrmDefFonts &ADlg, int AIndex)
{
    return ADlg.ListView()->topLevelItem(AIndex);
}

QPushButton *button(TfrmDefFonts &ADlg, const char *AName)
{
    return ADlg.findChild<QPushButton *>(QString::fromLatin1(AName));
}

void select(TfrmDefFonts &ADlg, std::initializer_list<int> ARows)
{
    ADlg.ListView()->clearSelection();
    for (int r : ARows)
        row(ADlg, r)->setSelected(true);
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
    const QString multiple = dlg.MultipleValuesText();
    EXPECT_EQ(multiple, QStringLiteral("<multiple values>"));

    select(dlg, {0, 1});
    EXPECT_EQ(dlg.LanguageText(), multiple);
    EXPECT_EQ(dlg.FontNameText(), QStringLiteral("Sans"));
    EXPECT_EQ(dlg.CharsetText(), multiple);
    EXPECT_FALSE(button(dlg, "btnAdd")->isEnabled()) << "no row can be added from mixed values";

    dlg.SetFontNameText(QStringLiteral("Serif"));
    dlg.ReplaceRows();
    EXPECT_EQ(row(dlg, 0)->text(0), QStringLiteral("Greek"));
    EXPECT_EQ(row(dlg, 1)->text(0), QStringLiteral("Turkish"));
    EXPECT_EQ(row(dlg, 0)->text(1), QStringLiteral("Serif"));
    EXPECT_EQ(row(dlg, 1)->text(1), QStringLiteral("Serif"));
    EXPECT_EQ(row(dlg, 0)->text(2), QStringLiteral("GREEK_CHARSET"));
    EXPECT_EQ(row(dlg, 1)->text(2), QStringLiteral("TURKISH_CHARSET"));
    EXPECT_EQ(row(dlg, 2)->text(1), QStringLiteral("Loma")) << "unselected rows stay";

    // A character set typed as a number is stored as its identifier.
    dlg.SetCharsetText(QStringLiteral("238"));
    dlg.ReplaceRows();
    EXPECT_EQ(row(dlg, 1)->text(2), QStringLiteral("EASTEUROPE_CHARSET"));
    EXPECT_EQ(dlg.CharsetText(), QStringLiteral("EASTEUROPE_CHARSET")) << "the rows agree now";

    dlg.SetCharsetText(QStringLiteral("nonsense"));
    EXPECT_FALSE(button(dlg, "btnReplace")->isEnabled());
    dlg.ReplaceRows();
    EXPECT_EQ(row(dlg, 0)->text(2), QStringLiteral("EASTEUROPE_CHARSET"));
}

TEST_F(DefFontsDialog, ButtonsFollowTheSelectionAndTheEditors)
{
    TfrmDefFonts dlg;
    QPushButton *add = button(dlg, "btnAdd"), *replace = button(dlg, "btnReplace"), *del = button(dlg, "btnDelete"),
                *clear = button(dlg, "btnClear");
    EXPECT_EQ(dlg.CharsetText(), QStringLiteral("DEFAULT_CHARSET"));
    EXPECT_FALSE(add->isEnabled());
    EXPECT_FALSE(clear->isEnabled());

    dlg.SetLanguageText(QStringLiteral("Hebrew"));
    EXPECT_FALSE(add->isEnabled()) << "a font name is needed";
    dlg.SetFontNameText(QStringLiteral("  "));
    EXPECT_FALSE(add->isEnabled());
    dlg.SetFontNameText(QStringLiteral("Frank"));
    EXPECT_TRUE(add->isEnabled());
    dlg.AddRow();
    ASSERT_EQ(dlg.ListView()->topLevelItemCount(), 1);
    EXPECT_EQ(row(dlg, 0)->text(2), QStringLiteral("DEFAULT_CHARSET"));
    EXPECT_TRUE(row(dlg, 0)->isSelected()) << "the new row is selected";
    EXPECT_TRUE(replace->isEnabled());
    EXPECT_TRUE(del->isEnabled());
    EXPECT_TRUE(clear->isEnabled());

    dlg.SetLanguageText(QString());
    EXPECT_FALSE(replace->isEnabled()) << "replacing would blank the language";

    int asked = 0;
    dlg.Confirm = [&](const QString &AQuestion) {
        ++asked;
        EXPECT_EQ(AQuestion, QStringLiteral("Are you sure you want to clear the entire list?"));
        return asked > 1;
    };
    dlg.ClearRows();
    EXPECT_EQ(dlg.ListView()->topLevelItemCount(), 1) << "declined";
    dlg.ClearRows();
    EXPECT_EQ(dlg.ListView()->topLevelItemCount(), 0);
    EXPECT_FALSE(clear->isEnabled());
    EXPECT_FALSE(del->isEnabled());
    dlg.ClearRows();
    EXPECT_EQ(asked, 2) << "an empty list is not asked about";
}

TEST_F(DefFontsDialog, AcceptedDialogReplacesTheListAndWritesTheStore)
{
    TDefFontsList list;
    list.AddDefFontItem(QStringLiteral("Greek"), QStringLiteral("Sans"), GREEK_CHARSET);
    list.AddDefFontItem(QStringLiteral("Thai"), QStringLiteral("Loma"), THAI_CHARSET);

    // Cancel: nothing changes.
    int result = DefFontsDlg(&list, [](TfrmDefFonts &dlg) {
        dlg.DeleteRows(); // the first row is selected when the dialog opens
        QTimer::singleShot(0, &dlg, &QDialog::reject);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(list.Count(), 2);
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
    EXPECT_EQ(dlg.ListView()->headerItem()->text(2), QStringLiteral("Zeichensatz"));
    EXPECT_EQ(dlg.MultipleValuesText(), QStringLiteral("<mehrere Werte>"));
    EXPECT_EQ(button(dlg, "btnClear")->text(), QStringLiteral("&Leeren"));
}
