// The language component on a widget form with a translator behind it: the
// fallback chain, deferred translations arriving from a loader, a component
// destroyed while they load, overrides merged by ID, the exclusion list.
#include <ZorCompCore/localisation/ZORLang.h>

#include <ZorCompCore/core/SyncObjs.h>
#include <ZorCompCore/localisation/Translator.h>
#include <ZorCompCore/localisation/runtime/SibFile.h>
#include <ZorCompCore/localisation/runtime/TransEditorDlg.h>
#include <ZorCompCore/platform/MainThread.h>
#include "TestUtil.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QTableWidget>
#include <QTimer>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QMutex>
#include <QSemaphore>
#include <QSignalSpy>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

using namespace zor;

namespace {

// Translates by prefixing the destination language; counts what it is asked.
class PrefixTranslator : public TZOROnlineTranslator
{
public:
    using TZOROnlineTranslator::TZOROnlineTranslator;
    using TZOROnlineTranslator::ScheduledDynItems;
    std::atomic<int> singleCalls{0};
    std::atomic<int> bulkItems{0};
    std::atomic<int> holdBatches{0}; // batches to hold until released
    QSemaphore held, release;
    QMutex seenMutex;
    QStringList seen; // "source>dest:text" of every bulk item
    QStringList known{QStringLiteral("German"), QStringLiteral("English"), QStringLiteral("French")};

    bool KnowsLanguage(const QString &ALangName) const override { return known.contains(ALangName); }

protected:
    bool InternalTranslateText(const QString &, const QString &AText, const QString &, const QString &ADestLang,
                               QString &AResult) override
    {
        ++singleCalls;
        AResult = u'[' + ADestLang + u']' + AText;
        return true;
    }
    bool InternalBulkTranslateText(TZORLocalCacheLangData &ACache, const QList<TDynTranslationItem *> &AItems,
                                   const QString &ASourceLang, const QString &ADestLang, int &ALoaderCount) override
    {
        {
            QMutexLocker lock(&seenMutex);
            for (const auto *item : AItems)
                seen << ASourceLang + u'>' + ADestLang + u':' + item->Text;
        }
        if (holdBatches.fetch_sub(1) > 0) {
            held.release();
            release.acquire();
        }
        ACache.Sync().BeginWrite();
        for (const auto *item : AItems)
            ACache.AddOrSetValue(ACache.GetTranslateTextKeyName(item->TextID, item->Text),
                                 u'[' + ADestLang + u']' + item->Text);
        ACache.Sync().EndWrite();
        bulkItems += int(AItems.size());
        ALoaderCount = int(AItems.size());
        return true;
    }
};

class TfrmShop : public QWidget
{
    Q_OBJECT
};

class LangFixture : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    TZORTranslatorClass savedClass;
    PrefixTranslator *tr = nullptr;

    void SetUp() override
    {
        savedClass = GlobalTranslatorClass;
        GlobalTranslatorClass = TranslatorClass<PrefixTranslator>();
        detail::TranslatorStartup();
        tr = static_cast<PrefixTranslator *>(ActiveTranslator());
        tr->SetLocalCachePersistancePath(dir.filePath(QStringLiteral("cache")));
        tr->SetActive(true);
    }
    void TearDown() override
    {
        detail::TranslatorShutdown();
        GlobalTranslatorClass = savedClass;
    }

    // Serves the main-thread queue until cond holds (or 5 s pass).
    template <class F>
    bool waitFor(F cond)
    {
        QElapsedTimer t;
        t.start();
        while (!cond() && t.elapsed() < 5000)
            CheckSynchronize(10);
        return cond();
    }
};

struct ShopForm
{
    std::unique_ptr<TfrmShop> w = std::make_unique<TfrmShop>();
    QLabel *lblTitle = new QLabel(QStringLiteral("Willkommen"), w.get());
    QPushButton *btnBuy = new QPushButton(QStringLiteral("Kaufen"), w.get());
    QComboBox *cbSize = new QComboBox(w.get());
    TZORLang *lang = new TZORLang(w.get());

    ShopForm()
    {
        cbSize->setObjectName(QStringLiteral("cbSize"));
        cbSize->addItems({QStringLiteral("Klein"), QStringLiteral("Groß")});
        lblTitle->setObjectName(QStringLiteral("lblTitle"));
        btnBuy->setObjectName(QStringLiteral("btnBuy"));
        lang->SetNumLang(2);
        lang->SetLangNames(TStringList({QStringLiteral("German"), QStringLiteral("English")}));
        lang->GetPropListByType(stCaptions)->SetTranslationByID(QStringLiteral("btnBuy.text"), 2, QStringLiteral("Buy"));
        lang->Strings().Add(QStringLiteral("msgThanks\tDanke\tThank you"));
        lang->Strings().Add(QStringLiteral("msgBye\tTschüss"));
    }
};

} // namespace

TEST_F(LangFixture, LanguageWithoutStoredTextsIsFilledByDeferredTranslation)
{
    ShopForm f;
    f.lang->SetLanguage(QStringLiteral("French"));
    ASSERT_EQ(f.lang->NumOfLanguages(), 3) << "a language the translator knows becomes selectable";
    EXPECT_EQ(f.lang->ActiveLanguage(), 3);
    // Nothing cached yet: the default language shows, nothing was translated synchronously.
    EXPECT_EQ(f.btnBuy->text(), QStringLiteral("Kaufen"));
    EXPECT_EQ(tr->singleCalls, 0);

    ASSERT_TRUE(waitFor([&] { return f.btnBuy->text() == QStringLiteral("[French]Kaufen"); }));
    EXPECT_EQ(f.lblTitle->text(), QStringLiteral("[French]Willkommen"));
    EXPECT_EQ(tr->singleCalls, 0);
    // Item lists are translated item by item.
    ASSERT_TRUE(waitFor([&] { return f.cbSize->itemText(1) == QStringLiteral("[French]Groß"); }));
    EXPECT_EQ(f.cbSize->itemText(0), QStringLiteral("[French]Klein"));
    // The cache answers now, under the form's class name.
    TCacheFillMode mode = cfmNever;
    EXPECT_EQ(tr->TranslateText(QStringLiteral("TfrmShop.btnBuy.text"), QStringLiteral("Kaufen"),
                                QStringLiteral("German"), QStringLiteral("French"), mode),
              QStringLiteral("[French]Kaufen"));

    // Unknown languages stay unselectable.
    f.lang->SetLanguage(QStringLiteral("Klingon"));
    EXPECT_EQ(f.lang->NumOfLanguages(), 3);
    EXPECT_EQ(f.lang->Language(), QStringLiteral("French"));
}

TEST_F(LangFixture, GetTextFallbackChain)
{
    ShopForm f;
    f.lang->SetNumLang(3);
    f.lang->LangNames().Put(2, QStringLiteral("French"));
    f.lang->Strings().Add(QStringLiteral("msgEmpty\t\t"));

    struct Row
    {
        const char *name;
        const char *id;
        int lang;
        const char *expected;
    };
    // Deferred mode: a miss is scheduled and the default language answers.
    const Row deferred[] = {
        {"stored text", "msgThanks", 2, "Thank you"},
        {"base language is never translated", "msgBye", 1, "Tschüss"},
        {"miss falls back to the default language", "msgBye", 2, "Tschüss"},
        {"nothing anywhere", "msgEmpty", 3, ""},
        {"unknown ID", "msgNone", 2, ""},
    };
    for (const Row &row : deferred) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(f.lang->GetText(QString::fromUtf8(row.id), row.lang), QString::fromUtf8(row.expected));
    }
    EXPECT_EQ(tr->singleCalls, 0);

    // Without deferring and outside a language change the translator is asked at once.
    f.lang->SetAlwaysDeferOnlineTranslations(false);
    EXPECT_EQ(f.lang->GetText(QStringLiteral("msgBye"), 3), QStringLiteral("[French]Tschüss"));
    EXPECT_EQ(f.lang->GetText(QStringLiteral("msgThanks"), 2), QStringLiteral("Thank you"));
    EXPECT_EQ(tr->singleCalls, 1) << "stored texts never reach the translator";
    tr->BeginLangChange();
    EXPECT_EQ(f.lang->GetText(QStringLiteral("msgBye"), 2), QStringLiteral("Tschüss")) << "deferred in a change";
    tr->EndLangChange(true);
    EXPECT_EQ(tr->singleCalls, 1);

    // With the translator inactive and ttNoChange, a miss is empty.
    tr->SetActive(false);
    f.lang->SetTranslateType(ttNoChange);
    EXPECT_EQ(f.lang->GetText(QStringLiteral("msgBye"), 2), QString());

    // The host's hook wins over everything, keyed by class name and ID.
    GlobalGetTextCustomized = [](const QString &id, QString &value) {
        if (id != QLatin1String("TfrmShop.msgThanks"))
            return false;
        value = QStringLiteral("Merci!");
        return true;
    };
    EXPECT_EQ(f.lang->GetText(QStringLiteral("msgThanks")), QStringLiteral("Merci!"));
    EXPECT_EQ(f.lang->GetText(QStringLiteral("msgBye"), 1), QStringLiteral("Tschüss"));
    GlobalGetTextCustomized = nullptr;
}

TEST_F(LangFixture, DestroyedComponentIsNotCalledBack)
{
    auto f = std::make_unique<ShopForm>();
    f->lang->SetLanguage(QStringLiteral("French"));
    f.reset(); // destroyed before the loader's answers are applied
    ASSERT_TRUE(waitFor([&] { return tr->bulkItems >= 2; }));
    tr->WaitForSchduledLoaders(false);
    CheckSynchronize(50);
    // Reaching here without a crash (and clean under the sanitizers) is the point;
    // a second form gets the cached texts at once.
    ShopForm g;
    g.lang->SetLanguage(QStringLiteral("French"));
    EXPECT_EQ(g.btnBuy->text(), QStringLiteral("[French]Kaufen"));
}

TEST_F(LangFixture, OverridesMergeByIdIgnoringCase)
{
    struct OverridesLang : TZORLang
    {
        using TZORLang::TZORLang;
        QString file;
        QString GetExternalOveridesFileName() const override { return file; }
    };
    ShopForm f;
    auto *lang = new OverridesLang(f.w.get());
    lang->file = dir.filePath(QStringLiteral("ovr/TfrmShop.sib"));
    lang->SetNumLang(2);
    lang->SetLangNames(TStringList({QStringLiteral("German"), QStringLiteral("English")}));
    lang->Strings().Add(QStringLiteral("msgThanks\tDanke\tThank you"));
    lang->Strings().Add(QStringLiteral("msgKeep\tBleibt\tStays"));
    lang->LoadExternalOverrides(false); // no file: nothing happens
    EXPECT_EQ(lang->Strings().Count(), 2);

    TSIBEntry ovr;
    ovr.OwnerName = QStringLiteral("TfrmShop");
    ovr.LangNames = {QStringLiteral("German"), QStringLiteral("English")};
    ovr.Lines[stStrings] = {{QStringLiteral("MSGTHANKS"), QStringLiteral("Danke schön"), QStringLiteral("Thanks a lot")},
                            {QStringLiteral("msgNew"), QStringLiteral("Neu"), QStringLiteral("New")}};
    ovr.Lines[stCaptions] = {{QStringLiteral("btnBuy.text"), QString(), QStringLiteral("Purchase")}};
    QDir().mkpath(dir.filePath(QStringLiteral("ovr")));
    TSIBFileManager files;
    files.Add(ovr);
    files.SaveToFile(lang->file);

    lang->SetActiveLanguage(2);
    lang->LoadExternalOverrides(false);
    ASSERT_EQ(lang->Strings().Count(), 3);
    EXPECT_EQ(lang->Strings().Get(0), QStringLiteral("MSGTHANKS\tDanke schön\tThanks a lot"));
    EXPECT_EQ(lang->GetText(QStringLiteral("msgKeep")), QStringLiteral("Stays"));
    EXPECT_EQ(lang->GetText(QStringLiteral("msgNew")), QStringLiteral("New"));
    EXPECT_EQ(f.btnBuy->text(), QStringLiteral("Purchase")) << "merged texts show at once";

    lang->ClearOverrides();
    EXPECT_FALSE(QFileInfo::exists(lang->file));
}

TEST_F(LangFixture, EditedTranslationsReachTheOverridesFileAlone)
{
    struct OverridesLang : TZORLang
    {
        using TZORLang::TZORLang;
        QString file;
        QString GetExternalOveridesFileName() const override { return file; }
    };
    ShopForm f;
    delete f.lang;
    auto *lang = new OverridesLang(f.w.get());
    f.lang = lang;
    lang->file = dir.filePath(QStringLiteral("new/folder/TfrmShop.sib")); // folders made on saving
    lang->SetNumLang(2);
    lang->SetLangNames(TStringList({QStringLiteral("German"), QStringLiteral("English")}));
    lang->GetPropListByType(stCaptions)->SetTranslationByID(QStringLiteral("btnBuy.text"), 2, QStringLiteral("Buy"));
    lang->SetActiveLanguage(2);

    auto editOnce = [&](const QString &id, const QString &text, bool accept) {
        QTimer::singleShot(0, [=] {
            auto *dlg = qobject_cast<TTransEditorDlg *>(QApplication::activeModalWidget());
            ASSERT_NE(dlg, nullptr);
            QTableWidget *captions = dlg->Table(stCaptions);
            for (int r = 0; r < captions->rowCount(); ++r)
                if (captions->item(r, 0)->text() == id)
                    captions->item(r, 2)->setText(text);
            accept ? dlg->accept() : dlg->reject();
        });
        return lang->ShowEditTranslationsDialog();
    };

    EXPECT_FALSE(editOnce(QStringLiteral("btnBuy.text"), QStringLiteral("ignored"), false));
    EXPECT_FALSE(QFileInfo::exists(lang->file)) << "a cancelled dialog writes nothing";

    ASSERT_TRUE(editOnce(QStringLiteral("lblTitle.text"), QStringLiteral("Welcome"), true));
    EXPECT_EQ(f.lblTitle->text(), QStringLiteral("Welcome"));
    TSIBFileManager files;
    files.LoadFromFile(lang->file);
    ASSERT_EQ(files.Count(), 1);
    EXPECT_EQ(files.Entry(0).OwnerName, QStringLiteral("TfrmShop"));
    const QList<QStringList> expected{{"lblTitle.text", "Willkommen", "Welcome"}};
    EXPECT_EQ(files.Entry(0).Lines[stCaptions], expected) << "only the edited line";

    // A second edit keeps the first override and adds its own line.
    ASSERT_TRUE(editOnce(QStringLiteral("btnBuy.text"), QStringLiteral("Order"), true));
    files.LoadFromFile(lang->file);
    EXPECT_EQ(files.Entry(0).Lines[stCaptions].size(), 2);

    // A fresh form picks the overrides up when it is loaded.
    ShopForm g;
    delete g.lang;
    auto *fresh = new OverridesLang(g.w.get());
    fresh->file = lang->file;
    fresh->SetNumLang(2);
    fresh->SetLangNames(TStringList({QStringLiteral("German"), QStringLiteral("English")}));
    fresh->BeginLoad();
    fresh->SetActiveLanguage(2);
    fresh->EndLoad();
    EXPECT_EQ(g.btnBuy->text(), QStringLiteral("Order"));
    EXPECT_EQ(g.lblTitle->text(), QStringLiteral("Welcome"));
}

TEST_F(LangFixture, FixedExclusionsAndDefaults)
{
    EXPECT_EQ(TZORCustomLang::FixedExcludeItems().size(), 86);
    EXPECT_EQ(QSet<QString>(TZORCustomLang::FixedExcludeItems().begin(), TZORCustomLang::FixedExcludeItems().end()).size(), 84);
    ShopForm f;
    EXPECT_EQ(f.lang->TranslateType(), ttGetDefault);
    EXPECT_TRUE(f.lang->UseDefaultLanguage());
    f.lang->ExcludeProperties();
    EXPECT_TRUE(f.lang->ExcludedProperties().Sorted());
    for (const QString &name : TZORCustomLang::FixedExcludeItems())
        EXPECT_GE(f.lang->ExcludedProperties().IndexOf(name), 0) << name.toStdString();
    // Stored lines of an excluded name are dropped.
    f.lang->GetPropListByType(stCaptions)->Add(QStringLiteral("btnBuy.Font\tx\ty"));
    f.lang->ExcludeProperties();
    EXPECT_EQ(f.lang->GetPropListByType(stCaptions)->FindID(QStringLiteral("btnBuy.Font")), -1);

    // The overrides file lives beside the executable, named after the form's class.
    EXPECT_EQ(f.lang->GetExternalOveridesFileName(),
              QCoreApplication::applicationDirPath() + QStringLiteral("/custom/languages/overrides/TfrmShop.sib"));
    TZORLang ownerless;
    EXPECT_EQ(ownerless.GetExternalOveridesFileName(), QString());
}

// Overrides for a form built in code: no BeginLoad/EndLoad ever runs.
struct OverridesLang : TZORLang
{
    using TZORLang::TZORLang;
    QString file;
    QString GetExternalOveridesFileName() const override { return file; }
};

void writeOverrides(const QString &file, const QString &buy)
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    TSIBEntry ovr;
    ovr.OwnerName = QStringLiteral("TfrmShop");
    ovr.LangNames = {QStringLiteral("German"), QStringLiteral("English")};
    ovr.Lines[stCaptions] = {{QStringLiteral("btnBuy.text"), QString(), buy}};
    TSIBFileManager files;
    files.Add(ovr);
    files.SaveToFile(file);
}

OverridesLang *overridesLang(ShopForm &f, const QString &file)
{
    delete f.lang;
    auto *lang = new OverridesLang(f.w.get());
    f.lang = lang;
    lang->file = file;
    lang->SetNumLang(2);
    lang->SetLangNames(TStringList({QStringLiteral("German"), QStringLiteral("English")}));
    return lang;
}

TEST_F(LangFixture, OverridesReachFormsBuiltInCode)
{
    const QString file = dir.filePath(QStringLiteral("ovr/TfrmShop.sib"));
    writeOverrides(file, QStringLiteral("Purchase"));

    // Applying a language first: merged before it is applied.
    {
        ShopForm f;
        OverridesLang *lang = overridesLang(f, file);
        lang->SetActiveLanguage(2);
        EXPECT_EQ(f.btnBuy->text(), QStringLiteral("Purchase"));
        // Once: a later change of the file is not merged again.
        writeOverrides(file, QStringLiteral("Again"));
        lang->SetActiveLanguage(1);
        lang->SetActiveLanguage(2);
        EXPECT_EQ(f.btnBuy->text(), QStringLiteral("Purchase"));
        writeOverrides(file, QStringLiteral("Purchase"));
    }
    // Showing the form first: merged when it is shown.
    {
        ShopForm f;
        OverridesLang *lang = overridesLang(f, file);
        lang->GetPropListByType(stCaptions)->Add(QStringLiteral("btnBuy.text	Kaufen	Buy"));
        lang->SetActiveLanguage(2);
        EXPECT_EQ(f.btnBuy->text(), QStringLiteral("Purchase"));
    }
    {
        ShopForm f;
        OverridesLang *lang = overridesLang(f, file);
        lang->BeginLoad(); // the language is set, not yet applied
        lang->SetActiveLanguage(2);
        lang->EndLoad();
        ShopForm g;
        OverridesLang *shown = overridesLang(g, file);
        shown->GetPropListByType(stCaptions)->Add(QStringLiteral("btnBuy.text	Kaufen	Buy"));
        EXPECT_EQ(g.btnBuy->text(), QStringLiteral("Kaufen"));
        g.w->show();
        EXPECT_EQ(shown->GetPropListByType(stCaptions)->GetTranslationByID(QStringLiteral("btnBuy.text"), 2),
                  QStringLiteral("Purchase"))
            << "merged when the form is first shown";
    }
}

TEST_F(LangFixture, WrappedTextsAreOneTextItemListsAreItems)
{
    ShopForm f;
    auto *lblWrap = new QLabel(QStringLiteral("Eine lange Zeile,\ndie umbricht"), f.w.get());
    lblWrap->setObjectName(QStringLiteral("lblWrap"));
    f.lang->SetLanguage(QStringLiteral("French"));
    ASSERT_TRUE(waitFor([&] { return lblWrap->text() == QStringLiteral("[French]Eine lange Zeile,\ndie umbricht"); }))
        << lblWrap->text().toStdString();
    ASSERT_TRUE(waitFor([&] { return f.cbSize->itemText(1) == QStringLiteral("[French]Groß"); }));
    // The key is the one any tool computes for the label's text.
    TCacheFillMode mode = cfmNever;
    tr->TranslateText(QStringLiteral("TfrmShop.lblWrap.text"), QStringLiteral("Eine lange Zeile,\ndie umbricht"),
                      QStringLiteral("German"), QStringLiteral("French"), mode);
    EXPECT_EQ(mode, cfmNever) << "cached under the whole text";
    QMutexLocker lock(&tr->seenMutex);
    EXPECT_FALSE(tr->seen.contains(QStringLiteral("German>French:die umbricht"))) << "no half sentences";
}

TEST_F(LangFixture, QuickSwitchGetsEveryTextOfTheLastLanguage)
{
    ShopForm f;
    // Both switches happen before any loader takes the requests over.
    tr->BeginLangChange();
    f.lang->SetLanguage(QStringLiteral("English"));
    f.lang->SetLanguage(QStringLiteral("French"));
    tr->EndLangChange(false);
    ASSERT_TRUE(waitFor([&] { return f.cbSize->itemText(0) == QStringLiteral("[French]Klein"); }))
        << f.cbSize->itemText(0).toStdString();
    EXPECT_EQ(f.cbSize->itemText(1), QStringLiteral("[French]Groß"));
    EXPECT_EQ(f.lblTitle->text(), QStringLiteral("[French]Willkommen"));
}

TEST_F(LangFixture, DefaultLanguageNamesAreReportedOnce)
{
    ShopForm f;
    f.lang->SetLangNames(TStringList({QStringLiteral("German")}));
    f.lang->SetNumLang(2); // "Language 2"
    QSignalSpy errors(tr, &TZORCustomTranslator::loaderError);
    f.lang->SetActiveLanguage(2);
    f.lang->SetActiveLanguage(1);
    f.lang->SetActiveLanguage(2);
    ASSERT_TRUE(errors.count() >= 1 || errors.wait(5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(errors.count(), 1) << "reported once";
    EXPECT_TRUE(tr->LastLoaderError().contains(QStringLiteral("Language 2"))) << tr->LastLoaderError().toStdString();
    std::lock_guard lock(tr->ScheduledDynItems().Sync());
    EXPECT_EQ(tr->ScheduledDynItems().Count(), 0) << "nothing is sent that cannot be translated";
}

TEST_F(LangFixture, DestroyedComponentRemovesItsCallback)
{
    // Pending, not yet taken over: the request's callback goes with the component.
    tr->BeginLangChange();
    auto f = std::make_unique<ShopForm>();
    const void *lang = f->lang;
    f->lang->SetLanguage(QStringLiteral("French"));
    auto holdsCallbackOf = [&](const void *object) {
        std::lock_guard lock(tr->ScheduledDynItems().Sync());
        for (const TNotifyEvent &e : tr->ScheduledDynItems().Notifyers())
            if (e.Object == object)
                return true;
        return false;
    };
    ASSERT_TRUE(holdsCallbackOf(lang));
    f.reset();
    EXPECT_FALSE(holdsCallbackOf(lang));
    tr->EndLangChange(true);

    // Taken over by a running loader: remembered until that loader ends.
    tr->holdBatches = 1;
    auto g = std::make_unique<ShopForm>();
    g->lang->SetLanguage(QStringLiteral("French"));
    tr->held.acquire();
    g.reset();
    EXPECT_EQ(tr->ScheduledDynItems().PendingRemovalCount(), 1);
    tr->release.release();
    tr->WaitForScheduledLoaders(false);
    EXPECT_EQ(tr->ScheduledDynItems().PendingRemovalCount(), 0);
}

TEST_F(LangFixture, BaseLanguageAndNoDefaultLanguage)
{
    ShopForm f;
    f.lang->SetNumLang(3);
    f.lang->LangNames().Put(2, QStringLiteral("French"));
    f.lang->SetTranslationBaseLanguage(2);
    QSignalSpy arrived(f.lang, &TZORLang::translationsArrived);
    f.lang->SetLanguage(QStringLiteral("French"));
    // The English text is the source; a text with no English falls back to German.
    ASSERT_TRUE(waitFor([&] { return f.btnBuy->text() == QStringLiteral("[French]Buy"); }))
        << f.btnBuy->text().toStdString();
    EXPECT_GE(arrived.count(), 1);
    {
        QMutexLocker lock(&tr->seenMutex);
        EXPECT_TRUE(tr->seen.contains(QStringLiteral("English>French:Buy")));
        EXPECT_FALSE(tr->seen.contains(QStringLiteral("German>French:Kaufen")));
    }
    EXPECT_EQ(f.lblTitle->text(), QStringLiteral("Willkommen")) << "no English text to translate from";

    // A miss shows the default language's text; without the default
    // language, the source text stands in (here the English one).
    tr->WaitForScheduledLoaders(false);
    tr->LocalCache().Clear();
    tr->BeginLangChange(); // no loader: every French text is a miss
    ShopForm g;
    g.lang->SetUseDefaultLanguage(false);
    g.lang->SetTranslationBaseLanguage(2);
    g.lang->SetLanguage(QStringLiteral("French"));
    EXPECT_EQ(g.btnBuy->text(), QStringLiteral("Buy")) << "not the German default";
    ShopForm h;
    h.lang->SetTranslationBaseLanguage(2);
    h.lang->SetLanguage(QStringLiteral("French"));
    EXPECT_EQ(h.btnBuy->text(), QStringLiteral("Kaufen")) << "the default language fills a miss";
    tr->EndLangChange(true);
}

TEST_F(LangFixture, QtPropertiesAndSignals)
{
    ShopForm f;
    QSignalSpy changed(f.lang, &TsiCustomLang::languageChanged);
    QSignalSpy applied(f.lang, &TsiCustomLang::languageApplied);
    QSignalSpy count(f.lang, &TsiCustomLang::numOfLanguagesChanged);
    QSignalSpy active(f.lang, &TsiCustomLang::activeLanguageChanged);
    EXPECT_TRUE(f.lang->setProperty("language", QStringLiteral("English")));
    EXPECT_EQ(f.btnBuy->text(), QStringLiteral("Buy"));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toString(), QStringLiteral("English"));
    EXPECT_EQ(applied.count(), 1);
    EXPECT_EQ(f.lang->property("activeLanguage").toInt(), 2);
    ASSERT_EQ(active.count(), 1);
    EXPECT_EQ(active.at(0).at(0).toInt(), 2);
    f.lang->SetActiveLanguage(2);
    EXPECT_EQ(changed.count(), 1) << "no change, no signal";
    f.lang->setProperty("language", QStringLiteral("French"));
    EXPECT_EQ(count.count(), 1) << "a language the translator knows was added";
    EXPECT_EQ(f.lang->property("langNames").toStringList(),
              QStringList({QStringLiteral("German"), QStringLiteral("English"), QStringLiteral("French")}));
    QSignalSpy base(f.lang, &TZORLang::translationBaseLanguageChanged);
    f.lang->setProperty("translationBaseLanguage", 2);
    EXPECT_EQ(base.count(), 1);
    EXPECT_EQ(f.lang->TranslationBaseLanguage(), 2);

    EXPECT_TRUE(f.lang->GetHasKey(QStringLiteral("msgThanks")));
    EXPECT_FALSE(f.lang->GetHasKey(QStringLiteral("msgthanks")));
    EXPECT_FALSE(f.lang->GetHasKey(QStringLiteral("btnBuy.text"))) << "only the string collection";
}

TEST_F(LangFixture, InactiveTranslatorIsReportedOnce)
{
    tr->SetActive(false);
    int warnings = 0;
    static int *counter = nullptr;
    counter = &warnings;
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &ctx, const QString &) {
        if (type == QtWarningMsg && ctx.category && QByteArray(ctx.category) == "zor.translator")
            ++*counter;
    });
    ShopForm f, g;
    f.lang->SetActiveLanguage(2);
    EXPECT_EQ(f.lang->GetText(QStringLiteral("msgBye")), QStringLiteral("Tschüss"));
    g.lang->SetActiveLanguage(2);
    qInstallMessageHandler(previous);
    EXPECT_EQ(warnings, 1);
}

#include "LangComponentTest.moc"
