// The translation cache under load: cached TranslateText lookups with one and
// two threads; saving and loading a pair of 100,000 entries next to
// QDataStream of a QHash<QString, QString> with the same entries; and
// CalcMurmur2 next to a plain implementation of the published algorithm.
// The ratios are printed at the end (higher than 1 means ours is faster).
#include <ZorCompCore/core/SyncObjs.h>
#include <ZorCompCore/localisation/Translator.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/utilities/Murmur2.h>

#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace zor;

namespace {

constexpr int kPairEntries = 100000;
constexpr int kLookupTexts = 10000;
constexpr qsizetype kBigBytes = qsizetype(256) << 20;
constexpr int kShortStrings = 1000000;

std::map<std::string, double> g_rate; // items (or bytes) per second by benchmark name

// The published MurmurHash2 as it is usually written, for comparison.
quint32 referenceMurmur2(const void *key, int len, quint32 seed)
{
    const quint32 m = 0x5bd1e995;
    const int r = 24;
    quint32 h = seed ^ quint32(len);
    const auto *data = static_cast<const unsigned char *>(key);
    while (len >= 4) {
        quint32 k;
        std::memcpy(&k, data, 4);
        k *= m;
        k ^= k >> r;
        k *= m;
        h *= m;
        h ^= k;
        data += 4;
        len -= 4;
    }
    switch (len) {
    case 3: h ^= quint32(data[2]) << 16; [[fallthrough]];
    case 2: h ^= quint32(data[1]) << 8; [[fallthrough]];
    case 1: h ^= data[0]; h *= m;
    }
    h ^= h >> 13;
    h *= m;
    h ^= h >> 15;
    return h;
}

class Translator : public TZORCustomTranslator
{
public:
    Translator()
    {
        TZORLocalCacheLangData *c = LocalCache().GetCacheByLangPair(QStringLiteral("German"), QStringLiteral("English"));
        for (int i = 0; i < kLookupTexts; ++i)
            c->AddOrSetValue(c->GetTranslateTextKeyName(id(i), text(i)), QStringLiteral("translation %1").arg(i));
    }
    static QString id(int i) { return QStringLiteral("TfrmMain.lbl%1.Caption").arg(i); }
    static QString text(int i) { return QStringLiteral("Beschriftung Nummer %1").arg(i); }
};

Translator &translator()
{
    static Translator *t = new Translator; // lives for the whole run
    return *t;
}

void BM_CachedTranslateText(benchmark::State &state)
{
    Translator &t = translator();
    const QString de = QStringLiteral("German"), en = QStringLiteral("English");
    std::vector<std::pair<QString, QString>> texts;
    for (int i = 0; i < kLookupTexts; ++i)
        texts.emplace_back(Translator::id(i), Translator::text(i));
    size_t i = size_t(state.thread_index()) * 997;
    for (auto _ : state) {
        const auto &[id, text] = texts[i++ % texts.size()];
        TCacheFillMode mode = cfmNever;
        benchmark::DoNotOptimize(t.TranslateText(id, text, de, en, mode));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CachedTranslateText)->Threads(1)->Threads(2)->UseRealTime();

struct PairData
{
    TZORLocalCacheLangData pair;
    QHash<QString, QString> hash;
    QByteArray ours, theirs; // serialised forms
    QTemporaryDir dir;
    PairData()
    {
        for (int i = 0; i < kPairEntries; ++i) {
            const QString k = TZORLocalCacheLangData::GetTranslateTextKeyName(
                QStringLiteral("TfrmForm%1.Control%2.Caption").arg(i % 50).arg(i), QStringLiteral("Text %1").arg(i));
            const QString v = QStringLiteral("A translated text of moderate length, number %1").arg(i);
            pair.AddOrSetValue(k, v);
            hash.insert(k, v);
        }
        TMemoryStream ms;
        pair.SaveToStream(ms);
        ours = ms.ToBytes();
        QDataStream ds(&theirs, QIODevice::WriteOnly);
        ds << hash;
    }
};

PairData &pairData()
{
    static PairData *p = new PairData;
    return *p;
}

void BM_PairSave_Zor(benchmark::State &state)
{
    PairData &p = pairData();
    const QString file = p.dir.filePath(QStringLiteral("GermanEnglish.lc"));
    for (auto _ : state)
        p.pair.SaveToFile(file);
    state.SetItemsProcessed(state.iterations() * kPairEntries);
}
BENCHMARK(BM_PairSave_Zor)->Unit(benchmark::kMillisecond);

void BM_PairSave_QDataStream(benchmark::State &state)
{
    PairData &p = pairData();
    const QString file = p.dir.filePath(QStringLiteral("qhash.bin"));
    for (auto _ : state) {
        QFile f(file);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        QDataStream ds(&f);
        ds << p.hash;
    }
    state.SetItemsProcessed(state.iterations() * kPairEntries);
}
BENCHMARK(BM_PairSave_QDataStream)->Unit(benchmark::kMillisecond);

void BM_PairLoad_Zor(benchmark::State &state)
{
    PairData &p = pairData();
    const QString file = p.dir.filePath(QStringLiteral("GermanEnglish.lc"));
    p.pair.SaveToFile(file);
    for (auto _ : state) {
        TZORLocalCacheLangData c;
        c.LoadFromFile(file);
        benchmark::DoNotOptimize(c.Count());
    }
    state.SetItemsProcessed(state.iterations() * kPairEntries);
}
BENCHMARK(BM_PairLoad_Zor)->Unit(benchmark::kMillisecond);

void BM_PairLoad_QDataStream(benchmark::State &state)
{
    PairData &p = pairData();
    const QString file = p.dir.filePath(QStringLiteral("qhash.bin"));
    {
        QFile f(file);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        QDataStream ds(&f);
        ds << p.hash;
    }
    for (auto _ : state) {
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        QDataStream ds(&f);
        QHash<QString, QString> h;
        ds >> h;
        benchmark::DoNotOptimize(h.size());
    }
    state.SetItemsProcessed(state.iterations() * kPairEntries);
}
BENCHMARK(BM_PairLoad_QDataStream)->Unit(benchmark::kMillisecond);

const QByteArray &bigBuffer()
{
    static const QByteArray *b = [] {
        auto *a = new QByteArray(kBigBytes, Qt::Uninitialized);
        quint32 x = 12345;
        for (char &c : *a) {
            x = x * 1103515245u + 12345u;
            c = char(x >> 24);
        }
        return a;
    }();
    return *b;
}

const std::vector<QByteArray> &shortStrings()
{
    static const auto *v = [] {
        auto *out = new std::vector<QByteArray>;
        out->reserve(kShortStrings);
        for (int i = 0; i < kShortStrings; ++i)
            out->push_back(QByteArray("Caption text ") + QByteArray::number(i));
        return out;
    }();
    return *v;
}

void BM_Murmur2Big_Zor(benchmark::State &state)
{
    const QByteArray &b = bigBuffer();
    for (auto _ : state)
        benchmark::DoNotOptimize(CalcMurmur2(b, TranslateTextKeySeed));
    state.SetBytesProcessed(state.iterations() * b.size());
}
BENCHMARK(BM_Murmur2Big_Zor)->Unit(benchmark::kMillisecond);

void BM_Murmur2Big_Reference(benchmark::State &state)
{
    const QByteArray &b = bigBuffer();
    for (auto _ : state)
        benchmark::DoNotOptimize(referenceMurmur2(b.constData(), int(b.size()), TranslateTextKeySeed));
    state.SetBytesProcessed(state.iterations() * b.size());
}
BENCHMARK(BM_Murmur2Big_Reference)->Unit(benchmark::kMillisecond);

void BM_Murmur2Short_Zor(benchmark::State &state)
{
    const auto &v = shortStrings();
    for (auto _ : state) {
        quint32 acc = 0;
        for (const QByteArray &s : v)
            acc ^= CalcMurmur2(s, TranslateTextKeySeed);
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * qint64(v.size()));
}
BENCHMARK(BM_Murmur2Short_Zor)->Unit(benchmark::kMillisecond);

void BM_Murmur2Short_Reference(benchmark::State &state)
{
    const auto &v = shortStrings();
    for (auto _ : state) {
        quint32 acc = 0;
        for (const QByteArray &s : v)
            acc ^= referenceMurmur2(s.constData(), int(s.size()), TranslateTextKeySeed);
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * qint64(v.size()));
}
BENCHMARK(BM_Murmur2Short_Reference)->Unit(benchmark::kMillisecond);

class RateReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            for (const char *counter : {"items_per_second", "bytes_per_second"}) {
                const auto it = run.counters.find(counter);
                if (it != run.counters.end())
                    g_rate[run.benchmark_name()] = it->second.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

void ratio(const char *what, const std::string &ours, const std::string &theirs)
{
    if (g_rate.count(ours) && g_rate.count(theirs) && g_rate[theirs] > 0)
        std::printf("%-40s %.2f\n", what, g_rate[ours] / g_rate[theirs]);
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nRatios (rate of ours / rate of the other; above 1 is faster):\n");
    ratio("lookups, 2 threads / 1 thread", "BM_CachedTranslateText/real_time/threads:2",
          "BM_CachedTranslateText/real_time/threads:1");
    ratio("pair save, ours / QDataStream", "BM_PairSave_Zor", "BM_PairSave_QDataStream");
    ratio("pair load, ours / QDataStream", "BM_PairLoad_Zor", "BM_PairLoad_QDataStream");
    ratio("Murmur2 256 MiB, ours / reference", "BM_Murmur2Big_Zor", "BM_Murmur2Big_Reference");
    ratio("Murmur2 short strings, ours / reference", "BM_Murmur2Short_Zor", "BM_Murmur2Short_Reference");
    return 0;
}
