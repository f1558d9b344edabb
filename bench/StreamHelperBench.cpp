// TStreamHelper on a TMemoryStream against QDataStream on a QBuffer, with the
// same 1,000,000 records of (int32, double, 12-character string, int64,
// Boolean), written and read back. Throughput is reported as bytes/second of
// each side's own encoding; the ratios ours/QDataStream are printed at the end.
#include <ZorCompCore/core/StreamHelper.h>
#include <ZorCompCore/platform/Stream.h>

#include <QBuffer>
#include <QDataStream>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

using namespace zor;

namespace {

constexpr int kRecords = 1000000;
const QString kText = QStringLiteral("twelve chars");

// Records per second, per benchmark name, for the closing ratios.
std::map<std::string, double> g_rate;

void note(benchmark::State &state, qint64 bytesPerRun)
{
    state.SetBytesProcessed(state.iterations() * bytesPerRun);
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_StreamHelperWrite(benchmark::State &state)
{
    TMemoryStream ms;
    qint64 size = 0;
    for (auto _ : state) {
        ms.SetSize(0);
        ms.Seek(0, soBeginning);
        TStreamHelper h(&ms);
        for (int i = 0; i < kRecords; ++i) {
            h.WriteInteger(i);
            h.WriteFloat(i * 0.5);
            h.WriteString(kText);
            h.WriteInt64(qint64(i) << 20);
            h.WriteBoolean(i & 1);
        }
        size = ms.Size();
        benchmark::DoNotOptimize(ms.Memory());
    }
    note(state, size);
}

void BM_StreamHelperRead(benchmark::State &state)
{
    TMemoryStream ms;
    {
        TStreamHelper h(&ms);
        for (int i = 0; i < kRecords; ++i) {
            h.WriteInteger(i);
            h.WriteFloat(i * 0.5);
            h.WriteString(kText);
            h.WriteInt64(qint64(i) << 20);
            h.WriteBoolean(i & 1);
        }
    }
    for (auto _ : state) {
        ms.Seek(0, soBeginning);
        TStreamHelper h(&ms);
        qint64 sum = 0;
        for (int i = 0; i < kRecords; ++i) {
            sum += h.ReadInteger();
            sum += qint64(h.ReadFloat());
            sum += h.ReadString().size();
            sum += h.ReadInt64();
            sum += h.ReadBoolean();
        }
        benchmark::DoNotOptimize(sum);
    }
    note(state, ms.Size());
}

void BM_QDataStreamWrite(benchmark::State &state)
{
    QByteArray bytes;
    qint64 size = 0;
    for (auto _ : state) {
        bytes.clear();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QDataStream ds(&buffer);
        ds.setByteOrder(QDataStream::LittleEndian);
        for (int i = 0; i < kRecords; ++i)
            ds << qint32(i) << i * 0.5 << kText << (qint64(i) << 20) << bool(i & 1);
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.data());
    }
    note(state, size);
}

void BM_QDataStreamRead(benchmark::State &state)
{
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QDataStream ds(&buffer);
        ds.setByteOrder(QDataStream::LittleEndian);
        for (int i = 0; i < kRecords; ++i)
            ds << qint32(i) << i * 0.5 << kText << (qint64(i) << 20) << bool(i & 1);
    }
    for (auto _ : state) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QDataStream ds(&buffer);
        ds.setByteOrder(QDataStream::LittleEndian);
        qint64 sum = 0;
        qint32 a;
        double b;
        QString c;
        qint64 d;
        bool e;
        for (int i = 0; i < kRecords; ++i) {
            ds >> a >> b >> c >> d >> e;
            sum += a + qint64(b) + c.size() + d + e;
        }
        benchmark::DoNotOptimize(sum);
    }
    note(state, bytes.size());
}

BENCHMARK(BM_StreamHelperWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QDataStreamWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreamHelperRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QDataStreamRead)->Unit(benchmark::kMillisecond);

// Keeps the records-per-second of each run for the ratios.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            const auto it = run.counters.find("items_per_second");
            if (it != run.counters.end())
                g_rate[run.benchmark_name().substr(3)] = it->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

void printRatio(const char *what, const std::string &ours, const std::string &theirs)
{
    if (g_rate[theirs] > 0)
        std::printf("%s: ours/QDataStream = %.2f (records per second)\n", what, g_rate[ours] / g_rate[theirs]);
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printRatio("write", "StreamHelperWrite", "QDataStreamWrite");
    printRatio("read", "StreamHelperRead", "QDataStreamRead");
    benchmark::Shutdown();
    return 0;
}
