// Thumbnails against their peers, on the shared media inputs (a 6000 x 4000
// JPEG photo, a 3000 x 2000 PNG, a 20-page A4 PDF):
//   in process   JPEG and PNG to 200 px against plain Qt (decode at twice the
//                size, smooth scale, same encoder), PDF page 1 against pdftoppm;
//   as processes zorcc image thumb against vipsthumbnail and pdftoppm, with
//                zorcc --version for the start-up cost;
//   folders      zorcc image thumbs on 32 photos, one job against all cores,
//                and against vipsthumbnail on the same files.
// The inputs come from ZOR_BENCH_MEDIA, else gen_media writes them into a
// cache folder first. Ratios (ours / peer, lower is better) print at the end.
#include <ZorCompCore/imaging/EnvisionUtils.h>
#include <ZorCompCore/imaging/PDFThumbnail.h>
#include <ZorCompCore/platform/Interface.h>
#include <ZorCompCore/core/InterfacedStream.h>
#include <ZorCompCore/platform/Stream.h>

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <map>

#include <sys/resource.h>

using namespace zor;

namespace {

QString g_media;
QString g_zorcc;

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString Media(const char *name) { return g_media + u'/' + QLatin1String(name); }

// Runs a program to its end; the benchmark fails when it does not succeed.
bool Run(benchmark::State &state, const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        state.SkipWithError(qPrintable(program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(p.readAll())));
        return false;
    }
    return true;
}

bool Need(benchmark::State &state, const QString &program)
{
    if (!QStandardPaths::findExecutable(program).isEmpty())
        return true;
    state.SkipWithError(qPrintable(program + QStringLiteral(" is not installed")));
    return false;
}

// ---- in process -------------------------------------------------------------

void Ours(benchmark::State &state, const char *file, const char *format)
{
    const QByteArray data = ReadAll(Media(file));
    for (auto _ : state) {
        QByteArray bytes = data;
        if (!ConvertImage(bytes, 0, 200, QString::fromLatin1(format)))
            state.SkipWithError("no thumbnail");
        benchmark::DoNotOptimize(bytes.data());
    }
}

// What a careful Qt program does by hand: decode at twice the target size,
// scale smoothly, write with the same encoder.
void PlainQt(benchmark::State &state, const char *file, const char *format)
{
    const QByteArray data = ReadAll(Media(file));
    for (auto _ : state) {
        QBuffer in(const_cast<QByteArray *>(&data));
        in.open(QIODevice::ReadOnly);
        QImageReader reader(&in);
        reader.setAutoTransform(true);
        const QSize full = reader.size();
        reader.setScaledSize(full.scaled(400, 400 * full.height() / full.width() + 1, Qt::KeepAspectRatio));
        const QImage image = reader.read().scaled(200, qRound(200.0 * full.height() / full.width()),
                                                  Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QByteArray out;
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
        if (QByteArray(format) == "jpg")
            writer.setQuality(85);
        writer.write(image);
        benchmark::DoNotOptimize(out.data());
    }
}

void BM_JpegThumb_Ours(benchmark::State &s) { Ours(s, "photo_6000x4000.jpg", "jpg"); }
void BM_JpegThumb_PlainQt(benchmark::State &s) { PlainQt(s, "photo_6000x4000.jpg", "jpg"); }
void BM_PngThumb_Ours(benchmark::State &s) { Ours(s, "image_3000x2000.png", "png"); }
void BM_PngThumb_PlainQt(benchmark::State &s) { PlainQt(s, "image_3000x2000.png", "png"); }

void BM_PdfThumb_Ours(benchmark::State &state)
{
    const QByteArray data = ReadAll(Media("doc_20pages.pdf"));
    for (auto _ : state) {
        TBytesStream source(data);
        TMemoryStream dest;
        IPtr<IDataStream> s(new TInterfacedStream(&source, false)), d(new TInterfacedStream(&dest, false));
        if (!CreatePDFTumbnail(s, d, 0, 200, QStringLiteral("png")))
            state.SkipWithError("no thumbnail");
    }
}

void BM_PdfThumb_Pdftoppm(benchmark::State &state)
{
    if (!Need(state, QStringLiteral("pdftoppm")))
        return;
    QTemporaryDir dir;
    for (auto _ : state)
        if (!Run(state, QStringLiteral("pdftoppm"),
                 {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
                  QStringLiteral("-scale-to"), QStringLiteral("283"), QStringLiteral("-png"),
                  QStringLiteral("-singlefile"), Media("doc_20pages.pdf"), dir.filePath(QStringLiteral("p"))}))
            break;
}

// ---- as processes -------------------------------------------------------------

void BM_Process_ZorccVersion(benchmark::State &state)
{
    for (auto _ : state)
        if (!Run(state, g_zorcc, {QStringLiteral("--version")}))
            break;
}

void ZorccThumb(benchmark::State &state, const char *file, const char *out)
{
    QTemporaryDir dir;
    for (auto _ : state)
        if (!Run(state, g_zorcc,
                 {QStringLiteral("image"), QStringLiteral("thumb"), Media(file), dir.filePath(QLatin1String(out)),
                  QStringLiteral("--width"), QStringLiteral("200")}))
            break;
}

void BM_Process_JpegThumb_Zorcc(benchmark::State &s) { ZorccThumb(s, "photo_6000x4000.jpg", "t.jpg"); }
void BM_Process_PdfThumb_Zorcc(benchmark::State &s) { ZorccThumb(s, "doc_20pages.pdf", "t.png"); }

void BM_Process_JpegThumb_Vips(benchmark::State &state)
{
    if (!Need(state, QStringLiteral("vipsthumbnail")))
        return;
    QTemporaryDir dir;
    for (auto _ : state)
        if (!Run(state, QStringLiteral("vipsthumbnail"),
                 {Media("photo_6000x4000.jpg"), QStringLiteral("-s"), QStringLiteral("200"), QStringLiteral("-o"),
                  dir.filePath(QStringLiteral("t.jpg"))}))
            break;
}

// ---- folders ------------------------------------------------------------------

QString PhotoFolder()
{
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        for (int i = 0; i < 32; ++i)
            QFile::copy(Media("photo_6000x4000.jpg"), dir.filePath(QStringLiteral("photo%1.jpg").arg(i, 2, 10, QLatin1Char('0'))));
        made = true;
    }
    return dir.path();
}

// CPU seconds the finished child processes used so far.
double ChildCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The cores a run kept busy (its CPU time over its wall time) says whether a
// ratio short of the core count comes from serial work in zorcc or from
// other programs on the machine taking the second core.
void Thumbs(benchmark::State &state, int jobs)
{
    const QString folder = PhotoFolder();
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir cache;   // a cold cache every time
        const double cpu0 = ChildCpuSeconds();
        QElapsedTimer timer;
        timer.start();
        state.ResumeTiming();
        if (!Run(state, g_zorcc,
                 {QStringLiteral("image"), QStringLiteral("thumbs"), folder, QStringLiteral("--cache"), cache.path(),
                  QStringLiteral("--jobs"), QString::number(jobs)}))
            break;
        wall += timer.nsecsElapsed() / 1e9;
        cpu += ChildCpuSeconds() - cpu0;
    }
    state.counters["jobs"] = jobs;
    state.counters["cores_busy"] = wall > 0 ? cpu / wall : 0;
}

void BM_Folder32_Zorcc_OneJob(benchmark::State &s) { Thumbs(s, 1); }
void BM_Folder32_Zorcc_AllCores(benchmark::State &s) { Thumbs(s, QThread::idealThreadCount()); }

void BM_Folder32_Vips(benchmark::State &state)
{
    if (!Need(state, QStringLiteral("vipsthumbnail")))
        return;
    const QString folder = PhotoFolder();
    QStringList args = QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
    for (QString &a : args)
        a = folder + u'/' + a;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir out;
        state.ResumeTiming();
        if (!Run(state, QStringLiteral("vipsthumbnail"),
                 args + QStringList{QStringLiteral("-s"), QStringLiteral("128"), QStringLiteral("-o"),
                                    out.path() + QStringLiteral("/%s.png")}))
            break;
    }
}

// The machine may be shared: every pair runs a few times and the ratios use
// each benchmark's best repetition, which load from elsewhere can only slow.
// In-process pairs compare the process's CPU time (threads included), which
// other programs on the machine hardly change; processes compare wall time.
BENCHMARK(BM_JpegThumb_Ours)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()->Repetitions(5);
BENCHMARK(BM_JpegThumb_PlainQt)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()->Repetitions(5);
BENCHMARK(BM_PngThumb_Ours)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()->Repetitions(5);
BENCHMARK(BM_PngThumb_PlainQt)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()->Repetitions(5);
BENCHMARK(BM_PdfThumb_Ours)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()->Repetitions(5);
BENCHMARK(BM_PdfThumb_Pdftoppm)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_Process_ZorccVersion)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_Process_JpegThumb_Zorcc)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_Process_JpegThumb_Vips)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_Process_PdfThumb_Zorcc)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_Folder32_Zorcc_OneJob)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);
BENCHMARK(BM_Folder32_Zorcc_AllCores)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);
BENCHMARK(BM_Folder32_Vips)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);

// Keeps each benchmark's best time per iteration (over its repetitions) for the ratios.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs) {
            if (r.error_occurred || r.iterations <= 0 || r.run_type != Run::RT_Iteration)
                continue;
            const std::string name = r.benchmark_name().substr(0, r.benchmark_name().find('/'));
            const auto best = times.find(name);
            const auto busy = r.counters.find("cores_busy");
            if (busy != r.counters.end() && (best == times.end() || r.GetAdjustedRealTime() < best->second))
                coresBusy[name] = busy->second;
            Keep(times, name, r.GetAdjustedRealTime());
            Keep(cpuTimes, name, r.GetAdjustedCPUTime());
        }
    }
    static void Keep(std::map<std::string, double> &m, const std::string &name, double t)
    {
        const auto it = m.find(name);
        if (it == m.end() || t < it->second)
            m[name] = t;
    }
    std::map<std::string, double> times, cpuTimes;
    std::map<std::string, double> coresBusy; // of each benchmark's best repetition
};

void PrintRatio(const RatioReporter &rep, const char *what, const char *ours, const char *peer, const char *goal,
                bool cpu = false)
{
    const std::map<std::string, double> &times = cpu ? rep.cpuTimes : rep.times;
    const auto a = times.find(ours), b = times.find(peer);
    if (a == times.end() || b == times.end() || b->second <= 0) {
        std::printf("  %-46s n/a\n", what);
        return;
    }
    std::printf("  %-46s %6.2fx  (%s)\n", what, a->second / b->second, goal);
}

// The inputs: ZOR_BENCH_MEDIA, else written once by gen_media.
bool PrepareMedia()
{
    g_media = qEnvironmentVariable("ZOR_BENCH_MEDIA");
    if (g_media.isEmpty())
        g_media = QDir::tempPath() + QStringLiteral("/zor-bench-media");
    if (QFile::exists(Media("doc_20pages.pdf")))
        return true;
    QDir().mkpath(g_media);
    QProcess gen;
    gen.start(QStringLiteral(ZOR_GEN_MEDIA), {g_media});
    gen.waitForFinished(600000);
    return QFile::exists(Media("doc_20pages.pdf"));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    g_zorcc = QStringLiteral(ZOR_ZORCC);
    if (!PrepareMedia()) {
        std::fprintf(stderr, "no media inputs in %s (set ZOR_BENCH_MEDIA or build gen_media)\n", qPrintable(g_media));
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nRatios, ours / peer (lower is better):\n");
    PrintRatio(reporter, "JPEG 6000x4000 -> 200 px, in process vs Qt", "BM_JpegThumb_Ours", "BM_JpegThumb_PlainQt", "goal <= 1.1, CPU", true);
    PrintRatio(reporter, "PNG 3000x2000 -> 200 px, in process vs Qt", "BM_PngThumb_Ours", "BM_PngThumb_PlainQt", "goal <= 1.1, CPU", true);
    PrintRatio(reporter, "PDF page 1 -> 200 px vs pdftoppm", "BM_PdfThumb_Ours", "BM_PdfThumb_Pdftoppm", "goal <= 1.2");
    PrintRatio(reporter, "zorcc image thumb JPEG vs vipsthumbnail", "BM_Process_JpegThumb_Zorcc", "BM_Process_JpegThumb_Vips", "processes");
    PrintRatio(reporter, "zorcc image thumb PDF vs pdftoppm", "BM_Process_PdfThumb_Zorcc", "BM_PdfThumb_Pdftoppm", "processes");
    PrintRatio(reporter, "zorcc --version vs zorcc image thumb JPEG", "BM_Process_ZorccVersion", "BM_Process_JpegThumb_Zorcc", "start-up share");
    PrintRatio(reporter, "thumbs 32 photos, one job vs all cores", "BM_Folder32_Zorcc_OneJob", "BM_Folder32_Zorcc_AllCores", "goal >= 1.8");
    PrintRatio(reporter, "thumbs 32 photos, all cores vs vipsthumbnail", "BM_Folder32_Zorcc_AllCores", "BM_Folder32_Vips", "");
    for (const char *name : {"BM_Folder32_Zorcc_OneJob", "BM_Folder32_Zorcc_AllCores"}) {
        const auto busy = reporter.coresBusy.find(name);
        if (busy != reporter.coresBusy.end())
            std::printf("  %-46s %6.2f of %d cores busy\n", name + 3, busy->second, QThread::idealThreadCount());
    }
    // The jobs share no lock and the main thread's own work is about 1 % of
    // the CPU time, so all cores busy give about the core count; far fewer
    // mean other programs (other sessions, which the scheduler shares the
    // machine between) had the rest.
    const auto all = reporter.coresBusy.find("BM_Folder32_Zorcc_AllCores");
    if (all != reporter.coresBusy.end() && all->second < 0.8 * QThread::idealThreadCount())
        std::printf("  (the all-cores run got %.2f cores from a shared machine: the cores ratio measures the machine)\n",
                    all->second);
    return 0;
}
