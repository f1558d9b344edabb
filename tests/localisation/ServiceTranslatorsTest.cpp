#include <ZorCompCore/localisation/GlossaryTranslator.h>
#include <ZorCompCore/localisation/LibreTranslator.h>

#include <ZorCompCore/core/SyncObjs.h>
#include <ZorCompCore/platform/Exception.h>

#include "TestHttpServer.h"
#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <nlohmann/json.hpp>

#include <mutex>

using namespace zor;
using ztest::HttpRequest;
using ztest::HttpResponse;
using ztest::HttpServer;

namespace {

const QString kDe = QStringLiteral("German");
const QString kEn = QStringLiteral("English");

// Speaks POST /translate as LibreTranslate does; translations are
// "<target>:<text>". Requests can be made to fail or stall by number (1-based).
class FakeLibreTranslate
{
public:
    HttpServer server{[this](const HttpRequest &r) { return handle(r); }};
    std::mutex m;
    QList<int> batchSizes;
    QList<nlohmann::json> requests;
    int failRequest = 0;
    int stallRequest = 0;
    QString requiredKey;

    int requestCount()
    {
        std::lock_guard lock(m);
        return int(batchSizes.size());
    }

private:
    HttpResponse handle(const HttpRequest &r)
    {
        HttpResponse resp;
        resp.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("application/json")));
        if (r.method != "POST" || r.target != "/translate") {
            resp.status = 404;
            resp.reason = "Not Found";
            return resp;
        }
        const auto j = nlohmann::json::parse(r.body.toStdString(), nullptr, false);
        int number = 0;
        {
            std::lock_guard lock(m);
            batchSizes << (j.contains("q") && j["q"].is_array() ? int(j["q"].size()) : 1);
            requests << j;
            number = int(batchSizes.size());
        }
        if (number == stallRequest)
            server.WaitReleased(std::chrono::seconds(10));
        if (!requiredKey.isEmpty() && j.value("api_key", std::string()) != requiredKey.toStdString()) {
            resp.status = 403;
            resp.reason = "Forbidden";
            resp.body = R"({"error":"Invalid API key"})";
            return resp;
        }
        if (number == failRequest) {
            resp.status = 500;
            resp.reason = "Internal Server Error";
            resp.body = R"({"error":"model crashed"})";
            return resp;
        }
        nlohmann::json out;
        const std::string target = j.value("target", std::string());
        if (j["q"].is_array()) {
            out["translatedText"] = nlohmann::json::array();
            for (const auto &q : j["q"])
                out["translatedText"].push_back(target + ":" + q.get<std::string>());
        } else {
            out["translatedText"] = target + ":" + j["q"].get<std::string>();
        }
        resp.body = QByteArray::fromStdString(out.dump());
        return resp;
    }
};

class Receiver : public QObject
{
public:
    int calls = 0;
    void Retranslate(QObject *) { ++calls; }
    TNotifyEvent Event() { return TNotifyEvent::Of<&Receiver::Retranslate>(this); }
};

class LibreFixture : public ::testing::Test
{
protected:
    FakeLibreTranslate service;
    TComponentPtr<TZORLibreTranslator> tr{new TZORLibreTranslator};

    void SetUp() override
    {
        tr->SetServiceURL(service.server.Url(QStringLiteral("/")));
        tr->SetReadTimeout(5000);
    }

    bool cached(const QString &id, const QString &text, QString *value = nullptr)
    {
        TZORLocalCacheLangData *c = tr->LocalCache().GetCacheByLangPair(kDe, kEn);
        c->Sync().BeginRead();
        QString v;
        const bool found = c->TryGetValue(c->GetTranslateTextKeyName(id, text), v);
        c->Sync().EndRead();
        if (value)
            *value = v;
        return found;
    }

    void schedule(int n, Receiver &r)
    {
        for (int i = 0; i < n; ++i)
            tr->ScheduleDynamicTranslation(QStringLiteral("T.t%1").arg(i), QStringLiteral("Text %1").arg(i), kDe, kEn,
                                           r.Event());
    }
};

} // namespace

TEST(LibreTranslator, LanguageCodes)
{
    const std::pair<const char *, const char *> rows[] = {
        {"German", "de"}, {"english", "en"}, {" French ", "fr"}, {"it", "it"}, {"PT", "pt"},
        {"Klingon", ""},  {"", ""},
        // Names only the locale data knows, mapped to the service's codes.
        {"Deutsch", "de"}, {"de_AT", "de"}, {"pt-BR", "pt"}, {"Fran\xC3\xA7" "ais", "fr"},
        {"\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9", "ru"},
        // Known languages the service does not serve, and placeholders.
        {"tlh", ""}, {"Swahili", ""}, {"Language 1", ""},
    };
    TZORLibreTranslator t;
    for (const auto &[name, code] : rows) {
        SCOPED_TRACE(name);
        EXPECT_EQ(TZORLibreTranslator::LanguageCode(QString::fromUtf8(name)), QString::fromUtf8(code));
        EXPECT_EQ(t.KnowsLanguage(QString::fromUtf8(name)), *code != 0);
    }
}

TEST_F(LibreFixture, SingleTextsGoToTheServiceOnce)
{
    tr->SetApiKey(QStringLiteral("k-123"));
    service.requiredKey = QStringLiteral("k-123");
    TCacheFillMode mode = cfmAllways;
    EXPECT_EQ(tr->TranslateText(QStringLiteral("A.b"), QStringLiteral("Gr\u00fc\u00dfe"), kDe, kEn, mode),
              QStringLiteral("en:Gr\u00fc\u00dfe"));
    EXPECT_EQ(mode, cfmAllways);
    EXPECT_EQ(tr->TranslateText(QStringLiteral("A.b"), QStringLiteral("Gr\u00fc\u00dfe"), kDe, kEn),
              QStringLiteral("en:Gr\u00fc\u00dfe"));
    ASSERT_EQ(service.requestCount(), 1);
    const nlohmann::json &req = service.requests[0];
    EXPECT_EQ(req["source"], "de");
    EXPECT_EQ(req["target"], "en");
    EXPECT_EQ(req["format"], "text");
    EXPECT_EQ(req["api_key"], "k-123");
}

TEST_F(LibreFixture, ServiceErrorsBecomeTranslationErrors)
{
    service.requiredKey = QStringLiteral("secret");
    TCacheFillMode mode = cfmAllways;
    EXPECT_EQ(tr->TranslateText(QStringLiteral("A.b"), QStringLiteral("Hallo"), kDe, kEn, mode), QStringLiteral("Hallo"));
    EXPECT_EQ(mode, cfmTranslationError);
    EXPECT_EQ(tr->LastError(), QStringLiteral("HTTP/1.1 403 Forbidden: Invalid API key"));
    EXPECT_FALSE(cached(QStringLiteral("A.b"), QStringLiteral("Hallo")));

    mode = cfmAllways;
    tr->TranslateText(QStringLiteral("A.b"), QStringLiteral("Hallo"), kDe, QStringLiteral("Klingon"), mode);
    EXPECT_EQ(mode, cfmTranslationError);
    EXPECT_EQ(tr->LastError(), QStringLiteral("Unknown language: Klingon"));

    tr->SetServiceURL(QString());
    mode = cfmAllways;
    tr->TranslateText(QStringLiteral("A.c"), QStringLiteral("Hallo"), kDe, kEn, mode);
    EXPECT_EQ(mode, cfmTranslationError);
}

TEST_F(LibreFixture, TwoHundredFiftyItemsInThreeRequests)
{
    Receiver r;
    schedule(250, r);
    ASSERT_TRUE(tr->ProcessScheduledTranslations(false));
    tr->WaitForSchduledLoaders(false);
    std::lock_guard lock(service.m);
    EXPECT_EQ(service.batchSizes, (QList<int>{100, 100, 50}));
    // Batches follow the group: the last scheduled text comes first.
    EXPECT_EQ(service.requests[0]["q"][0], "Text 249");
    EXPECT_EQ(service.requests[2]["q"][49], "Text 0");
    QString v;
    EXPECT_TRUE(cached(QStringLiteral("T.t17"), QStringLiteral("Text 17"), &v));
    EXPECT_EQ(v, QStringLiteral("en:Text 17"));
    EXPECT_EQ(r.calls, 1);
}

TEST_F(LibreFixture, AFailingBatchLeavesItsItemsUntranslated)
{
    Receiver r;
    service.failRequest = 2;
    schedule(250, r);
    ASSERT_TRUE(tr->ProcessScheduledTranslations(false));
    tr->WaitForSchduledLoaders(false);
    EXPECT_EQ(service.requestCount(), 3);
    EXPECT_TRUE(cached(QStringLiteral("T.t249"), QStringLiteral("Text 249")));  // first batch
    EXPECT_FALSE(cached(QStringLiteral("T.t149"), QStringLiteral("Text 149"))); // second batch
    EXPECT_FALSE(cached(QStringLiteral("T.t50"), QStringLiteral("Text 50")));
    EXPECT_TRUE(cached(QStringLiteral("T.t49"), QStringLiteral("Text 49")));    // third batch
    EXPECT_EQ(tr->LastError(), QStringLiteral("HTTP/1.1 500 Internal Server Error: model crashed"));
    EXPECT_EQ(r.calls, 1) << "the others were translated";

    // Scheduling again sends only what is still missing.
    schedule(250, r);
    ASSERT_TRUE(tr->ProcessScheduledTranslations(false));
    tr->WaitForSchduledLoaders(false);
    std::lock_guard lock(service.m);
    EXPECT_EQ(service.batchSizes.mid(3), QList<int>{100});
}

TEST_F(LibreFixture, TerminationBetweenBatches)
{
    Receiver r;
    service.stallRequest = 1;
    schedule(250, r);
    ASSERT_TRUE(tr->ProcessScheduledTranslations(false));
    while (service.requestCount() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::thread stopper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        service.server.Stop(); // the stalled answer goes out now
    });
    tr->WaitForSchduledLoaders(true);
    stopper.join();
    EXPECT_EQ(service.requestCount(), 1) << "no batch after termination";
    EXPECT_EQ(r.calls, 0);
}

TEST_F(LibreFixture, StalledServiceTimesOut)
{
    Receiver r;
    service.stallRequest = 1;
    tr->SetReadTimeout(300);
    schedule(150, r);
    ASSERT_TRUE(tr->ProcessScheduledTranslations(false));
    tr->WaitForSchduledLoaders(false);
    EXPECT_EQ(service.requestCount(), 2);
    EXPECT_EQ(tr->LastError(), QStringLiteral("Read timed out."));
    EXPECT_TRUE(cached(QStringLiteral("T.t0"), QStringLiteral("Text 0")));
    EXPECT_FALSE(cached(QStringLiteral("T.t149"), QStringLiteral("Text 149")));
    EXPECT_EQ(r.calls, 1);
}

TEST(GlossaryTranslator, FilesAndLookups)
{
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("German-English.tsv")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\xEF\xBB\xBF# comment\r\n"
            "Datei\tFile\r\n"
            "\r\n"
            "Speichern unter\tSave as\tmenu item\n"
            "no tab here\n"
            "\tmissing source\n"
            "\xC3\x96" "ffnen\tOpen\n"
            "Datei\tFile (later)\n");
    f.close();
    QFile(dir.filePath(QStringLiteral("notes.tsv"))).open(QIODevice::WriteOnly);

    TComponentPtr<TZORGlossaryTranslator> t(new TZORGlossaryTranslator);
    int bad = -1;
    EXPECT_EQ(t->LoadGlossaryFile(kDe, kEn, f.fileName(), &bad), 4);
    EXPECT_EQ(bad, 2);
    EXPECT_EQ(t->GlossaryCount(kDe, kEn), 3);
    EXPECT_EQ(t->GlossaryCount(QStringLiteral("german"), QStringLiteral("ENGLISH")), 3);

    struct Row
    {
        const char *text;
        const char *expected; // null: not found
    };
    const Row rows[] = {
        {"Datei", "File (later)"},
        {"datei", "file (later)"},
        {"\xC3\x96" "ffnen...", "Open..."},
        {"Speichern unter:", "Save as:"},
        {"  Speichern unter  ", "Save as"},
        {"speichern UNTER\xE2\x80\xA6", "save as\xE2\x80\xA6"},
        {":", nullptr},
        {"Drucken", nullptr},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.text);
        QString out;
        EXPECT_EQ(t->Lookup(QString::fromUtf8(r.text), kDe, kEn, out), r.expected != nullptr);
        if (r.expected) {
            EXPECT_EQ(out, QString::fromUtf8(r.expected));
        }
    }
    QString out;
    EXPECT_FALSE(t->Lookup(QStringLiteral("Datei"), kEn, kDe, out)) << "pairs have a direction";

    TComponentPtr<TZORGlossaryTranslator> folder(new TZORGlossaryTranslator);
    EXPECT_EQ(folder->LoadGlossaryFolder(dir.path()), 1) << "only <Source>-<Dest>.tsv names count";
    EXPECT_TRUE(folder->KnowsLanguage(QStringLiteral("english")));
    EXPECT_FALSE(folder->KnowsLanguage(QStringLiteral("French")));
    EXPECT_THROW(folder->LoadGlossaryFile(kDe, kEn, dir.filePath(QStringLiteral("missing.tsv"))), EFOpenError);
}

// Forms name their languages as their authors like ("Deutsch", "de_DE");
// glossary files are named in English. Both must find the same glossary.
TEST(GlossaryTranslator, LanguagesMeetThroughTheirCodes)
{
    TComponentPtr<TZORGlossaryTranslator> t(new TZORGlossaryTranslator);
    t->AddGlossaryEntry(kDe, kEn, QStringLiteral("Datei"), QStringLiteral("File"));
    t->AddGlossaryEntry(QStringLiteral("Elbisch"), kEn, QStringLiteral("Mellon"), QStringLiteral("Friend"));

    const std::pair<const char *, const char *> found[] = {
        {"Deutsch", "English"}, {"de", "en"}, {"de_AT", "en-GB"}, {"GERMAN", "english"},
    };
    for (const auto &[source, dest] : found) {
        SCOPED_TRACE(std::string(source) + " -> " + dest);
        QString out;
        EXPECT_TRUE(t->Lookup(QStringLiteral("Datei"), QString::fromUtf8(source), QString::fromUtf8(dest), out));
        EXPECT_EQ(out, QStringLiteral("File"));
        EXPECT_TRUE(t->KnowsLanguage(QString::fromUtf8(source)));
    }
    QString out;
    EXPECT_FALSE(t->Lookup(QStringLiteral("Datei"), QStringLiteral("Deutsch"), QStringLiteral("Fran\u00e7ais"), out));
    EXPECT_FALSE(t->KnowsLanguage(QStringLiteral("fr")));
    EXPECT_FALSE(t->KnowsLanguage(QStringLiteral("Language 1")));
    // A name no locale knows still matches itself, ignoring case.
    EXPECT_TRUE(t->Lookup(QStringLiteral("Mellon"), QStringLiteral("elbisch"), QStringLiteral("en"), out));
    EXPECT_EQ(out, QStringLiteral("Friend"));

    // The same through the translator's cache and loaders.
    EXPECT_EQ(t->TranslateText(QStringLiteral("M.file"), QStringLiteral("Datei"), QStringLiteral("Deutsch"),
                               QStringLiteral("en")),
              QStringLiteral("File"));
}

TEST(GlossaryTranslator, ShippedGlossariesThroughTheLoader)
{
    TComponentPtr<TZORGlossaryTranslator> t(new TZORGlossaryTranslator);
    ASSERT_EQ(t->LoadGlossaryFolder(QStringLiteral(ZOR_SOURCE_DIR "/examples/data/glossary")), 3);
    for (const char *lang : {"English", "French", "Italian"}) {
        SCOPED_TRACE(lang);
        EXPECT_GE(t->GlossaryCount(kDe, QString::fromLatin1(lang)), 50);
    }
    EXPECT_EQ(t->TranslateText(QStringLiteral("M.save"), QStringLiteral("Speichern"), kDe, QStringLiteral("French")),
              QStringLiteral("Enregistrer"));

    Receiver r;
    t->ScheduleDynamicTranslation(QStringLiteral("M.open"), QStringLiteral("\u00d6ffnen"), kDe, QStringLiteral("Italian"), r.Event());
    t->ScheduleDynamicTranslation(QStringLiteral("M.x"), QStringLiteral("Quantenschaum"), kDe, QStringLiteral("Italian"), r.Event());
    ASSERT_TRUE(t->ProcessScheduledTranslations(false));
    t->WaitForSchduledLoaders(false);
    EXPECT_EQ(r.calls, 1);
    TCacheFillMode mode = cfmNever;
    EXPECT_EQ(t->TranslateText(QStringLiteral("M.open"), QStringLiteral("\u00d6ffnen"), kDe, QStringLiteral("Italian"), mode),
              QStringLiteral("Apri"));
    mode = cfmNever;
    t->TranslateText(QStringLiteral("M.x"), QStringLiteral("Quantenschaum"), kDe, QStringLiteral("Italian"), mode);
    EXPECT_EQ(mode, cfmNotFound) << "unknown words stay untranslated";
}
