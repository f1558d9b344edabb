// The spell checker over the installed Hunspell dictionaries: what it flags
// and where, suggestions, extra word lists per language, the personal list
// and settings kept between controllers, dictionaries in an 8-bit SET
// encoding, the thesaurus, and one controller shared by threads.
#include "TestUtil.h"

#include <ZorCompCore/platform/Registry.h>
#include <ZorCompCore/richtext/spell/SpellController.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <thread>

using namespace zor;

namespace {

QStringList words(const QList<TWPSpellError> &errors)
{
    QStringList w;
    for (const TWPSpellError &e : errors)
        w << e.Word;
    return w;
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(data);
}

// A registry and a roaming folder of the test's own.
struct Sandbox
{
    QTemporaryDir dir;
    ScopedEnv registry{"ZOR_REGISTRY_DIR", dir.filePath(QStringLiteral("registry")).toUtf8()};
    ScopedEnv roaming{"XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8()};
};

} // namespace

// Catches: offsets counted in bytes or per word instead of UTF-16 units,
// umlauts splitting words, the language argument ignored.
TEST(SpellController, MarksKnownMisspellingsInEnglishAndGerman)
{
    TWPSpellController c;
    const QString en = QStringLiteral("The quick brwn fox jumps over teh lazy dog.");
    const QList<TWPSpellError> e = c.CheckText(en, wpLangEnglishUS);
    ASSERT_EQ(words(e), QStringList({QStringLiteral("brwn"), QStringLiteral("teh")}));
    EXPECT_EQ(e[0].Start, 10);
    EXPECT_EQ(e[0].Length, 4);
    EXPECT_EQ(en.mid(e[1].Start, e[1].Length), QStringLiteral("teh"));

    const QString de = QStringLiteral("Über den Fuks springt der große Hundd, z.B. heute.");
    const QList<TWPSpellError> g = c.CheckText(de, wpLangGerman);
    ASSERT_EQ(words(g), QStringList({QStringLiteral("Fuks"), QStringLiteral("Hundd")}));
    EXPECT_EQ(de.mid(g[1].Start, g[1].Length), QStringLiteral("Hundd"));
    // The same German text in English is mostly wrong.
    EXPECT_GT(c.CheckText(de, wpLangEnglishUS).size(), 4);
}

// Catches: contractions split at the apostrophe, abbreviations losing their
// dot, the options applied the wrong way round.
TEST(SpellController, WordsAndOptions)
{
    TWPSpellController c;
    c.SetCurrentLanguage(wpLangEnglishUS);
    EXPECT_TRUE(c.CheckText(QStringLiteral("I don't know, etc. It's well-known.")).isEmpty());
    EXPECT_EQ(words(c.CheckText(QStringLiteral("It doesnt matter"))), QStringList{QStringLiteral("doesnt")});

    const QString text = QStringLiteral("XQZW page2x see http://exampel.com/teh or mail teh@exampel.com");
    EXPECT_TRUE(c.CheckText(text).isEmpty());
    TWPSpellOptions o;
    o.IgnoreUpperCase = false;
    o.IgnoreWithNumbers = false;
    o.IgnoreInternet = false;
    c.SetOptions(o);
    const QStringList flagged = words(c.CheckText(text));
    EXPECT_TRUE(flagged.contains(QStringLiteral("XQZW")));
    EXPECT_TRUE(flagged.contains(QStringLiteral("page2x")));
    EXPECT_TRUE(flagged.contains(QStringLiteral("exampel.com")));
}

// Catches: suggestions decoded wrongly, the neighbour-key table not used for
// ranking ("Haud": Hunspell puts "Haut" first, the d beside s gives "Haus").
TEST(SpellController, SuggestionsIncludeTheRightWord)
{
    TWPSpellController c;
    EXPECT_TRUE(c.Suggest(QStringLiteral("teh"), wpLangEnglishUS).contains(QStringLiteral("the")));
    EXPECT_TRUE(c.Suggest(QStringLiteral("Hundd"), wpLangGerman).contains(QStringLiteral("Hund")));
    EXPECT_TRUE(c.Suggest(QStringLiteral("Strase"), wpLangGerman).contains(QStringLiteral("Straße")));

    const QStringList haud = c.Suggest(QStringLiteral("Haud"), wpLangGerman);
    ASSERT_FALSE(haud.isEmpty());
    EXPECT_EQ(haud.first(), QStringLiteral("Haus"));
    EXPECT_TRUE(haud.contains(QStringLiteral("Haut")));
    c.SetNeighbourKeys({});
    EXPECT_NE(c.Suggest(QStringLiteral("Haud"), wpLangGerman).first(), QStringLiteral("Haus"));
}

// Catches: a word list added to every language, or lost when it is added
// before its language's dictionary is loaded.
TEST(SpellController, DctWordIsAcceptedInItsLanguageOnly)
{
    QTemporaryDir dir;
    const QString de = dir.filePath(QStringLiteral("Fach.DCT"));
    writeFile(de, "\xEF\xBB\xBF#language 1031\n# Fachbegriffe\nZorbelkraut\nQuenlorisch\n");
    const QString en = dir.filePath(QStringLiteral("Plain.dct"));
    writeFile(en, "Flumboozle\n");

    TWPSpellController before;  // list first, dictionary later
    ASSERT_EQ(before.AddDictionary(de), 0) << before.LastError().toStdString();
    EXPECT_EQ(before.DictionaryLanguage(0), wpLangGerman);
    EXPECT_TRUE(before.IsCorrect(QStringLiteral("Zorbelkraut"), wpLangGerman));
    EXPECT_FALSE(before.IsCorrect(QStringLiteral("Zorbelkraut"), wpLangEnglishUS));

    TWPSpellController after;  // dictionary loaded, then the list
    after.SetCurrentLanguage(wpLangEnglishUS);
    EXPECT_FALSE(after.IsCorrect(QStringLiteral("Quenlorisch"), wpLangGerman));
    int changed = 0;
    QObject::connect(&after, &TWPSpellController::Changed, [&changed] { ++changed; });
    ASSERT_EQ(after.AddDictionary(de), 0);
    EXPECT_EQ(changed, 1);
    EXPECT_TRUE(after.IsCorrect(QStringLiteral("Quenlorisch"), wpLangGerman));
    // Without a #language line a list belongs to the current language.
    ASSERT_EQ(after.AddDictionary(en), 1);
    EXPECT_EQ(after.DictionaryLanguage(1), wpLangEnglishUS);
    EXPECT_TRUE(after.IsCorrect(QStringLiteral("Flumboozle")));
    EXPECT_FALSE(after.IsCorrect(QStringLiteral("Flumboozle"), wpLangGerman));

    EXPECT_EQ(after.AddDictionary(dir.filePath(QStringLiteral("missing.DCT"))), -1);
    EXPECT_TRUE(after.LastError().contains(QStringLiteral("missing.DCT")));
}

// Catches: copies overwriting what the user's folder already holds, "*.DCT"
// matched with case, a list added twice, the index compared with case.
TEST(SpellController, LoadDefaultDictionariesCopiesAndAddsOnce)
{
    Sandbox box;
    const QString source = box.dir.filePath(QStringLiteral("program/custom/dictionaries"));
    ASSERT_TRUE(QDir().mkpath(source));
    writeFile(source + QStringLiteral("/Medizin.DCT"), "#language de_DE\nAnamnesewort\n");
    writeFile(source + QStringLiteral("/legal.dct"), "#language en-US\nLawwordish\n");
    writeFile(source + QStringLiteral("/readme.txt"), "Notadctword\n");

    TWPSpellController c;
    const QString target = c.InitialDir();
    EXPECT_EQ(target, box.dir.filePath(QStringLiteral("config/Quenlor/LocalSettings/WPSpell")));
    ASSERT_TRUE(QDir().mkpath(target));
    // The user's copy stays; its words are the ones loaded.
    writeFile(target + QStringLiteral("/Medizin.DCT"), "#language de_DE\nEigeneswort\n");

    c.LoadDefaultDictionaries(source);
    ASSERT_EQ(c.DictionaryCount(), 2);
    EXPECT_TRUE(QFileInfo::exists(target + QStringLiteral("/legal.dct")));
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral("/readme.txt")));
    EXPECT_TRUE(c.IsCorrect(QStringLiteral("Eigeneswort"), wpLangGerman));
    EXPECT_FALSE(c.IsCorrect(QStringLiteral("Anamnesewort"), wpLangGerman));
    EXPECT_TRUE(c.IsCorrect(QStringLiteral("Lawwordish"), wpLangEnglishUS));
    EXPECT_EQ(QFileInfo(c.DictionaryFileName(c.GetDCTIndexByFileName(QStringLiteral("LEGAL.DCT")))).fileName(),
              QStringLiteral("legal.dct"));
    EXPECT_EQ(c.GetDCTIndexByFileName(QStringLiteral("readme.txt")), -1);

    c.LoadDefaultDictionaries(source);
    EXPECT_EQ(c.DictionaryCount(), 2);
}

// Catches: "Add" kept in memory only, the personal list read for the wrong
// language, settings written under another key or not read back.
TEST(SpellController, AddAndSettingsPersistAcrossControllers)
{
    Sandbox box;
    {
        TWPSpellController c;
        c.SetActive(true);
        c.SetCurrentLanguage(wpLangEnglishUS);
        EXPECT_FALSE(c.IsCorrect(QStringLiteral("Zorblatt")));
        ASSERT_TRUE(c.AddWord(QStringLiteral("Zorblatt"))) << c.LastError().toStdString();
        EXPECT_TRUE(c.IsCorrect(QStringLiteral("Zorblatt")));
        ASSERT_TRUE(c.AddWord(QStringLiteral("Grümpelwerk"), wpLangGerman));
    }
    TRegistry reg(KEY_READ);
    ASSERT_TRUE(reg.OpenKeyReadOnly(QStringLiteral("Software\\Quenlor\\WPSpell")));
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("Language")), wpLangEnglishUS);

    TWPSpellController next;
    next.SetActive(true);
    EXPECT_EQ(next.CurrentLanguage(), wpLangEnglishUS);
    EXPECT_TRUE(next.IsCorrect(QStringLiteral("Zorblatt")));
    EXPECT_FALSE(next.IsCorrect(QStringLiteral("Zorblatt"), wpLangGerman));
    EXPECT_TRUE(next.IsCorrect(QStringLiteral("Grümpelwerk"), wpLangGerman));
    EXPECT_TRUE(QFileInfo(next.PersonalDictionaryFileName()).fileName().endsWith(QStringLiteral(".DCT")));
}

// Catches: UTF-8 bytes handed to a dictionary whose SET is ISO8859-1 (and
// its suggestions read back as UTF-8), word lists not converted either.
TEST(SpellController, Latin1DictionaryThroughItsSetEncoding)
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("de_DE.aff")),
              "SET ISO8859-1\nTRY esianrtolcdugmphbyfvkwz\xfc\xe4\xf6\xdf\n");
    writeFile(dir.filePath(QStringLiteral("de_DE.dic")), "2\nM\xfcller\nStra\xdf" "e\n");
    writeFile(dir.filePath(QStringLiteral("extra.DCT")), "#language 1031\nGr\xc3\xb6\xc3\x9f" "e\n");

    TWPSpellController c;
    c.SetDictionaryDir(dir.path());
    EXPECT_TRUE(c.IsCorrect(QStringLiteral("Müller"), wpLangGerman));
    EXPECT_TRUE(c.IsCorrect(QStringLiteral("Straße"), wpLangGerman));
    EXPECT_FALSE(c.IsCorrect(QStringLiteral("Muller"), wpLangGerman));
    EXPECT_TRUE(c.Suggest(QStringLiteral("Müler"), wpLangGerman).contains(QStringLiteral("Müller")));
    ASSERT_EQ(c.AddDictionary(dir.filePath(QStringLiteral("extra.DCT"))), 0);
    EXPECT_TRUE(c.IsCorrect(QStringLiteral("Größe"), wpLangGerman));
    // A character the encoding lacks cannot be in the dictionary.
    EXPECT_FALSE(c.IsCorrect(QStringLiteral("Mülleя"), wpLangGerman));
}

// Catches: a missing dictionary crashing or flagging every word, unknown
// language names accepted.
TEST(SpellController, LanguageWithoutDictionary)
{
    QTemporaryDir empty;
    TWPSpellController c;
    c.SetDictionaryDir(empty.path());
    EXPECT_FALSE(c.LanguageAvailable(wpLangEnglishUK));
    EXPECT_TRUE(c.LastError().contains(QStringLiteral("en_GB")));
    EXPECT_TRUE(c.CheckText(QStringLiteral("teh"), wpLangEnglishUK).isEmpty());
    EXPECT_TRUE(c.Suggest(QStringLiteral("teh"), wpLangEnglishUK).isEmpty());

    EXPECT_EQ(TWPSpellController::LanguageId(QStringLiteral("fr-FR")), wpLangFrench);
    EXPECT_EQ(TWPSpellController::LanguageId(QStringLiteral("1040")), wpLangItalian);
    EXPECT_EQ(TWPSpellController::LanguageId(QStringLiteral("1234")), 0);
    EXPECT_EQ(TWPSpellController::LanguageId(QStringLiteral("xx_YY")), 0);
}

// Catches: ignore-all not consulted, marks not told to refresh.
TEST(SpellController, IgnoreAllForTheSession)
{
    TWPSpellController c;
    int changed = 0;
    QObject::connect(&c, &TWPSpellController::Changed, [&changed] { ++changed; });
    c.IgnoreAll(QStringLiteral("Zorkwise"));
    EXPECT_EQ(changed, 1);
    EXPECT_TRUE(c.CheckText(QStringLiteral("Zorkwise it is"), wpLangEnglishUS).isEmpty());
    c.ClearIgnored();
    EXPECT_EQ(c.CheckText(QStringLiteral("Zorkwise it is"), wpLangEnglishUS).size(), 1);
}

// Catches: the index looked up in the wrong case, entries decoded wrongly,
// a language without thesaurus reported as having one.
TEST(SpellController, Thesaurus)
{
    TWPSpellController c;
    ASSERT_TRUE(c.HasThesaurus(wpLangEnglishUS));
    bool glad = false;
    for (const TWPThesaurusMeaning &m : c.Thesaurus(QStringLiteral("Happy"), wpLangEnglishUS))
        glad = glad || m.Synonyms.contains(QStringLiteral("glad"));
    EXPECT_TRUE(glad);
    ASSERT_TRUE(c.HasThesaurus(wpLangGerman));
    bool found = false;
    for (const TWPThesaurusMeaning &m : c.Thesaurus(QStringLiteral("groß"), wpLangGerman))
        found = found || !m.Synonyms.isEmpty();
    EXPECT_TRUE(found);
    EXPECT_FALSE(c.HasThesaurus(wpLangItalian));
}

// Catches: Hunspell used from two threads at once (its look-ups keep state),
// which garbles results or crashes; the tsan preset reports the race.
TEST(SpellController, OneControllerSharedByThreads)
{
    Sandbox box;
    TWPSpellController c;
    const QString text = QStringLiteral("Teh quick brwn fox jumps ovr the lazzy dog and thne sleeps.");
    const QStringList expected = words(c.CheckText(text, wpLangEnglishUS));
    ASSERT_EQ(expected.size(), 5);
    QStringList results[4];
    std::vector<std::thread> threads;
    for (QStringList &r : results)
        threads.emplace_back([&c, &r, &text] {
            for (int i = 0; i < 200; ++i) {
                r = words(c.CheckText(text, wpLangEnglishUS));
                if (i % 50 == 0)
                    c.AddWord(QStringLiteral("Zorthread"));
                c.IsCorrect(QStringLiteral("Zorthread%1").arg(i));
            }
        });
    for (std::thread &t : threads)
        t.join();
    for (const QStringList &r : results)
        EXPECT_EQ(r, expected);
}
