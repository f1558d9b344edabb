// Platform streams and string lists under the access patterns the library
// produces: many small writes into a memory stream (growth must stay linear),
// small reads and writes through TBufferedFileStream against the unbuffered
// TFileStream and QFile, and sorted string-list inserts and CommaText.
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace zor;

namespace {

QTemporaryDir &tempDir()
{
    static QTemporaryDir dir;
    return dir;
}

QString sampleFile(qint64 size)
{
    const QString path = tempDir().filePath(QStringLiteral("sample-%1.bin").arg(size));
    if (!QFile::exists(path)) {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(size, 'x'));
    }
    return path;
}

void MemoryStreamSmallWrites(benchmark::State &state)
{
    const qint64 total = state.range(0);
    const char record[12] = "abcdefghijk";
    for (auto _ : state) {
        TMemoryStream m;
        for (qint64 i = 0; i < total; i += sizeof record)
            m.WriteBuffer(record, sizeof record);
        benchmark::DoNotOptimize(m.Memory());
    }
    state.SetBytesProcessed(state.iterations() * total);
}
BENCHMARK(MemoryStreamSmallWrites)->Arg(1 << 16)->Arg(1 << 20)->Arg(1 << 24);

template<typename Stream>
void SmallFileReads(benchmark::State &state)
{
    const qint64 size = 4 << 20;
    const QString path = sampleFile(size);
    char buf[16];
    for (auto _ : state) {
        Stream f(path, fmOpenRead | fmShareDenyWrite);
        qint64 n = 0;
        while (f.Read(buf, sizeof buf) == sizeof buf)
            n += sizeof buf;
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK_TEMPLATE(SmallFileReads, TBufferedFileStream);
BENCHMARK_TEMPLATE(SmallFileReads, TFileStream);

void QFileSmallReads(benchmark::State &state)
{
    const qint64 size = 4 << 20;
    const QString path = sampleFile(size);
    char buf[16];
    for (auto _ : state) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        qint64 n = 0;
        while (f.read(buf, sizeof buf) == sizeof buf)
            n += sizeof buf;
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(QFileSmallReads);

void BufferedSmallWrites(benchmark::State &state)
{
    const QString path = tempDir().filePath(QStringLiteral("written.bin"));
    const qint64 size = 4 << 20;
    const char record[16] = "0123456789abcde";
    for (auto _ : state) {
        TBufferedFileStream f(path, fmCreate);
        for (qint64 i = 0; i < size; i += sizeof record)
            f.WriteBuffer(record, sizeof record);
        f.FlushBuffer();
    }
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BufferedSmallWrites);

void SortedStringListAdds(benchmark::State &state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        TStringList l;
        l.SetSorted(true);
        l.SetDuplicates(dupAccept);
        for (int i = 0; i < n; ++i)
            l.Add(QString::number((i * 7919) % n));
        benchmark::DoNotOptimize(l.Count());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(SortedStringListAdds)->Arg(1000)->Arg(20000);

void CommaTextRoundTrip(benchmark::State &state)
{
    TStringList source;
    for (int i = 0; i < 10000; ++i)
        source.Add(i % 3 ? QStringLiteral("item %1").arg(i) : QStringLiteral("plain%1").arg(i));
    const QString text = source.CommaText();
    for (auto _ : state) {
        TStringList l;
        l.SetCommaText(text);
        benchmark::DoNotOptimize(l.CommaText());
    }
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
}
BENCHMARK(CommaTextRoundTrip);

} // namespace

BENCHMARK_MAIN();
