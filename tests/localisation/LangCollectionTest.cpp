// The language collection: its index conventions through ITranslator, the
// fallback to the translator's cache, and its file operations.
#include <ZorCompCore/localisation/LanguageCollection.h>

#include <ZorCompCore/core/SyncObjs.h>
#include <ZorCompCore/localisation/Translator.h>
#include "TestUtil.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zor;

namespace {

struct ExposedTranslator : TZORCustomTranslator
{
    using TZORCustomTranslator::TZORCustomTranslator;
    using TZORCustomTranslator::ScheduledDynItems;
};

class CollectionFixture : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    TZORTranslatorClass savedClass;
    TComponentPtr<TZORLanguageCollection> coll{new TZORLanguageCollection};

    void SetUp() override
    {
        savedClass = GlobalTranslatorClass;
        GlobalTranslatorClass = TranslatorClass<ExposedTranslator>();
        detail::TranslatorStartup();
        ActiveTranslator()->SetLocalCachePersistancePath(dir.filePath(QStringLiteral("cache")));
        TsiStringsCollection &s = coll->LangStore()->Strings();
        s.Add(QStringLiteral("Common.Yes\tJa\tYes\tOui"));
        s.Add(QStringLiteral("Common.No\tNein\t\tNon"));
        s.Add(QStringLiteral("Common.Cancel\tAbbrechen"));
    }
    void TearDown() override
    {
        coll.reset();
        detail::TranslatorShutdown();
        GlobalTranslatorClass = savedClass;
    }
};

} // namespace

TEST_F(CollectionFixture, InterfaceCountsLanguagesFromZero)
{
    IPtr<ITranslator> t = QueryObjectIntf<ITranslator>(coll.get());
    ASSERT_TRUE(t);
    EXPECT_EQ(t->Get_Language(), QStringLiteral("German"));
    EXPECT_EQ(t->Get_LangIndex(QString()), -1);
    EXPECT_EQ(t->Get_LangIndex(QStringLiteral("German")), 0);
    EXPECT_EQ(t->Get_LangIndex(QStringLiteral("Portuguese")), 6);
    EXPECT_EQ(t->Get_LangIndex(QStringLiteral("Klingon")), -1);
    EXPECT_EQ(t->Get_Text(QStringLiteral("Common.Yes"), 0), QStringLiteral("Ja"));
    EXPECT_EQ(t->Get_Text(QStringLiteral("Common.Yes"), 2), QStringLiteral("Oui"));
    EXPECT_EQ(t->Get_Text(QStringLiteral("Common.Yes")), QStringLiteral("Ja"));
    EXPECT_EQ(t->Get_Text(u"Common.Yes"), QStringLiteral("Ja"));
    coll->SetLanguage(QStringLiteral("French"));
    EXPECT_EQ(t->Get_Text(QStringLiteral("Common.No"), -1), QStringLiteral("Non"));
    EXPECT_EQ(coll->LangStore()->NumOfLanguages(), 7);
}

TEST_F(CollectionFixture, MissingTextsComeFromTheCacheOrTheDefaultLanguage)
{
    // Translator inactive: the default-language text.
    EXPECT_EQ(coll->GetTranslatedText(QStringLiteral("Common.No"), 2), QStringLiteral("Nein"));

    // Active: a cache miss is scheduled (raw ID, default language as source)
    // and gives the source text; a cached text is returned.
    TZORCustomTranslator *tr = ActiveTranslator();
    tr->SetActive(true);
    EXPECT_EQ(coll->GetTranslatedText(QStringLiteral("Common.Cancel"), 2), QStringLiteral("Abbrechen"));
    {
        TDynTranslationList &queued = static_cast<ExposedTranslator *>(tr)->ScheduledDynItems();
        std::lock_guard lock(queued.Sync());
        ASSERT_EQ(queued.Count(), 1) << "the miss waits for the next loader";
        EXPECT_EQ(queued.Items(0).TextID, QStringLiteral("Common.Cancel"));
        EXPECT_EQ(queued.Items(0).Text, QStringLiteral("Abbrechen"));
        EXPECT_EQ(queued.Items(0).TextLang, QStringLiteral("German"));
        EXPECT_EQ(queued.Items(0).DestLang, QStringLiteral("English"));
        EXPECT_TRUE(queued.Notifyers().isEmpty()) << "without a callback";
    }
    EXPECT_FALSE(tr->IsScheduledTranslationsLoadingLocked()) << "the collection starts no loader";
    TZORLocalCacheLangData *cache = tr->LocalCache().GetCacheByLangPair(QStringLiteral("German"), QStringLiteral("Italian"));
    cache->Sync().BeginWrite();
    cache->AddOrSetValue(cache->GetTranslateTextKeyName(QStringLiteral("Common.Cancel"), QStringLiteral("Abbrechen")),
                         QStringLiteral("Annulla"));
    cache->Sync().EndWrite();
    EXPECT_EQ(coll->GetTranslatedText(QStringLiteral("Common.Cancel"), 4), QStringLiteral("Annulla"));
    EXPECT_EQ(coll->GetTranslatedText(QStringLiteral("Common.Cancel"), 1), QStringLiteral("Abbrechen"));

    // With the translator active, an unknown language name is added.
    QSignalSpy changed(coll.get(), &TZORLanguageCollection::languageChanged);
    EXPECT_TRUE(coll->setProperty("language", QStringLiteral("Polish")));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toString(), QStringLiteral("Polish"));
    EXPECT_EQ(coll->LangStore()->NumOfLanguages(), 8);
    EXPECT_EQ(coll->GetLanguage(), QStringLiteral("Polish"));
}

TEST_F(CollectionFixture, KeysAndFiles)
{
    EXPECT_EQ(coll->GetKeyByIndex(1), QStringLiteral("Common.No"));
    EXPECT_EQ(coll->GetIndexOfKey(QStringLiteral("Common.Cancel")), 2);
    EXPECT_EQ(coll->GetIndexOfKey(QStringLiteral("common.cancel")), -1);
    EXPECT_TRUE(coll->GetIsTranslationIDItem(QStringLiteral("COMMON.cancel"), 2));
    TStringList keys;
    coll->FillKeys(keys);
    EXPECT_EQ(keys.ToQStringList(), QStringList({"Common.Yes", "Common.No", "Common.Cancel"}));

    const QString folder = dir.filePath(QStringLiteral("lang"));
    QDir().mkpath(folder);
    coll->SavePartToFile(folder + QStringLiteral("/b.sib"), TStringList({QStringLiteral("common.no")}));
    coll->SaveToFile(folder + QStringLiteral("/a.sib"));
    coll->SaveToFile(folder + QStringLiteral("/a.sib")); // replaces
    QFile(folder + QStringLiteral("/c.sibovr")).open(QIODevice::WriteOnly);

    TComponentPtr<TZORLanguageCollection> part{new TZORLanguageCollection};
    part->LoadFromFile(folder + QStringLiteral("/b.sib"));
    ASSERT_EQ(part->LangStore()->Strings().Count(), 1) << "keys are found as the key list's IndexOf finds them";
    EXPECT_EQ(part->GetTranslatedText(QStringLiteral("Common.No"), 3), QStringLiteral("Non"));

    TComponentPtr<TZORLanguageCollection> all{new TZORLanguageCollection};
    QStringList messages;
    all->LoadFromPath(folder, [&](const QString &m) { messages << m; }, false);
    EXPECT_EQ(messages, QStringList({"Loading a.sib", "Loading b.sib"}));
    EXPECT_EQ(all->LangStore()->Strings().Count(), 3);
    EXPECT_EQ(all->GetTranslatedText(QStringLiteral("Common.Yes"), 2), QStringLiteral("Yes"));

    // Another store's texts are merged by language name.
    TsiLang other;
    other.SetNumLang(2);
    other.SetLangNames(TStringList({QStringLiteral("Italian"), QStringLiteral("German")}));
    other.Strings().Add(QStringLiteral("Common.Yes\tSì\t"));
    all->AppendFromStore(&other);
    EXPECT_EQ(all->GetTranslatedText(QStringLiteral("Common.Yes"), 4), QStringLiteral("Sì"));
    EXPECT_EQ(all->GetTranslatedText(QStringLiteral("Common.Yes"), 1), QStringLiteral("Ja"));
    EXPECT_EQ(all->LangStore()->NumOfLanguages(), 7);
}
