// Cache keys in the locale's 8-bit code page, and saving a pair while a
// loader keeps adding to it.
#include <ZorCompCore/localisation/TranslatorCache.h>

#include <ZorCompCore/core/SyncObjs.h>
#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/platform/Exception.h>

#include "TestUtil.h"

#include <QTemporaryDir>

#include <atomic>
#include <thread>

using namespace zor;

TEST(CacheKeys, CodePageFollowsTheLocaleLanguage)
{
    const struct
    {
        const char *locale;
        int codePage;
    } rows[] = {
        {"ru_RU", 1251}, {"uk_UA", 1251}, {"bg_BG", 1251}, {"sr_RS", 1251}, {"el_GR", 1253}, {"tr_TR", 1254},
        {"he_IL", 1255}, {"ar_EG", 1256}, {"fa_IR", 1256}, {"lt_LT", 1257}, {"lv_LV", 1257}, {"et_EE", 1257},
        {"vi_VN", 1258}, {"th_TH", 874},  {"ja_JP", 932},  {"zh_CN", 936},  {"zh_TW", 950},  {"ko_KR", 949},
        {"de_DE", 1252}, {"en_US", 1252}, {"C", 1252},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.locale);
        EXPECT_EQ(AnsiCodePageForLocale(QLocale(QString::fromLatin1(row.locale))), row.codePage);
    }
}

TEST(CacheKeys, CyrillicTextsKeepTheirOwnKeysInTheirCodePage)
{
    const int saved = AnsiCodePage();
    const QString id = QStringLiteral("TfrmMain.lblSize.text");
    const QString size = QStringLiteral("Размер"), hello = QStringLiteral("Привет");
    // In Windows-1252 both are "??????": one key, so one translation for both.
    SetAnsiCodePage(1252);
    EXPECT_EQ(TZORLocalCacheLangData::GetTranslateTextKeyName(id, size),
              TZORLocalCacheLangData::GetTranslateTextKeyName(id, hello));
    SetAnsiCodePage(AnsiCodePageForLocale(QLocale(QStringLiteral("ru_RU"))));
    EXPECT_NE(TZORLocalCacheLangData::GetTranslateTextKeyName(id, size),
              TZORLocalCacheLangData::GetTranslateTextKeyName(id, hello));
    SetAnsiCodePage(saved);
}

// Regression: the changed flag was cleared after the lock was released, so an
// entry added while the file was written counted as saved and never reached
// the file. Whatever the interleaving, a pair that says it is unchanged must
// have everything in its file.
TEST(CacheSaving, EntriesAddedWhileSavingAreSavedLater)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("GermanEnglish.lc"));
    int lost = 0;
    for (int round = 0; round < 40; ++round) {
        TZORLocalCacheLangData pair;
        pair.AddOrSetValue(QStringLiteral("first"), QStringLiteral("1"));
        std::atomic<bool> saving{false};
        std::thread saver([&] {
            saving = true;
            pair.SaveToFile(file);
        });
        while (!saving)
            std::this_thread::yield();
        // The loader's side: a translation arrives while the file is written
        // (or just before, which is fine too).
        pair.Sync().BeginWrite();
        pair.AddOrSetValue(QStringLiteral("second"), QStringLiteral("2"));
        pair.Sync().EndWrite();
        saver.join();
        if (pair.Changed())
            pair.SaveToFile(file); // what the next save would do
        TZORLocalCacheLangData reread;
        reread.LoadFromFile(file);
        if (reread.Count() != 2)
            ++lost;
    }
    EXPECT_EQ(lost, 0) << "entries added during a save were marked saved";
}

TEST(CacheSaving, AFailedSaveLeavesThePairChanged)
{
    TZORLocalCacheLangData pair;
    pair.AddOrSetValue(QStringLiteral("k"), QStringLiteral("v"));
    EXPECT_THROW(pair.SaveToFile(QStringLiteral("/nonexistent-folder/x.lc")), EFCreateError);
    EXPECT_TRUE(pair.Changed());
}
