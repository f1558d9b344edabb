// Time to the first painted preview in an 800 x 600 pane, against the peers,
// on the shared media inputs:
//   JPEG  the 6000 x 4000 photo in the pane, against plain Qt reading it at
//         the size the pane shows it (the reader's scaled size) into a label;
//   PDF   page 1 of the 20-page document with a cold worker (a new pane, so
//         the worker process starts too) and a warm one (the pane's worker
//         serves again), against pdftoppm rendering page 1 at the width the
//         pane shows it.
// Every case ends with the widget grabbed, that is painted. The inputs come
// from ZOR_BENCH_MEDIA, else gen_media writes them into a cache folder first.
// Ratios (ours / peer, lower is better) print at the end.
#include <ZorCompCore/imaging/widgets/WindowsPreviewHandlerControl.h>

#include <benchmark/benchmark.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

using namespace zor;

namespace {

const QSize kPane(800, 600);
QString g_media;

// The fastest single run of each case: the ratios compare these, which load
// from elsewhere on a shared machine can only slow.
std::map<std::string, qint64> g_fastest;

class Lap
{
public:
    explicit Lap(const char *name) : FName(name) { FTimer.start(); }
    void Discard() { FName = nullptr; } // a failed run
    ~Lap()
    {
        if (!FName)
            return;
        const qint64 ns = FTimer.nsecsElapsed();
        const auto it = g_fastest.find(FName);
        if (it == g_fastest.end() || ns < it->second)
            g_fastest[FName] = ns;
    }

private:
    const char *FName;
    QElapsedTimer FTimer;
};

QString Media(const char *name) { return g_media + u'/' + QLatin1String(name); }

// Shows file in the pane, waits for its final picture and paints it. False
// (with the reason given to state) when the pane shows no preview.
bool ShowAndPaint(benchmark::State &state, TWindowsPreviewHandlerControl &pane, const QString &file)
{
    QEventLoop loop;
    bool rendered = false;
    const auto connection = QObject::connect(&pane, &TWindowsPreviewHandlerControl::PreviewRendered, &loop, [&] {
        rendered = true;
        loop.quit();
    });
    pane.SetFileName(file);
    if (!rendered) {
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    QObject::disconnect(connection);
    const QImage shot = pane.grab().toImage();
    benchmark::DoNotOptimize(shot.constBits());
    if (!rendered || !pane.DisplayText().isEmpty()) {
        state.SkipWithError(qPrintable(rendered ? pane.DisplayText() : QStringLiteral("no picture within a minute")));
        return false;
    }
    return true;
}

std::unique_ptr<TWindowsPreviewHandlerControl> NewPane()
{
    auto pane = std::make_unique<TWindowsPreviewHandlerControl>();
    pane->resize(kPane);
    pane->show();
    return pane;
}

// ---- JPEG ---------------------------------------------------------------------

void BM_Jpeg_Pane(benchmark::State &state)
{
    const auto pane = NewPane();
    const QString file = Media("photo_6000x4000.jpg");
    for (auto _ : state) {
        Lap lap("jpeg pane");
        if (!ShowAndPaint(state, *pane, file)) {
            lap.Discard();
            break;
        }
    }
}

// What a careful Qt program does by hand: the reader decodes at the size shown.
void BM_Jpeg_PlainQt(benchmark::State &state)
{
    QLabel label;
    label.setAlignment(Qt::AlignCenter);
    label.resize(kPane);
    label.show();
    const QString file = Media("photo_6000x4000.jpg");
    for (auto _ : state) {
        const Lap lap("jpeg qt");
        QImageReader reader(file);
        reader.setAutoTransform(true);
        reader.setScaledSize(reader.size().scaled(kPane, Qt::KeepAspectRatio));
        label.setPixmap(QPixmap::fromImage(reader.read()));
        const QImage shot = label.grab().toImage();
        benchmark::DoNotOptimize(shot.constBits());
    }
}

// ---- PDF ----------------------------------------------------------------------

// The width the pane shows pages at, learnt from its page view.
int g_pageWidth = 0;

void BM_Pdf_Pane_ColdWorker(benchmark::State &state)
{
    const QString file = Media("doc_20pages.pdf");
    for (auto _ : state) {
        state.PauseTiming();
        auto pane = NewPane();
        state.ResumeTiming();
        {
            Lap lap("pdf cold");
            if (!ShowAndPaint(state, *pane, file)) {
                lap.Discard();
                break;
            }
        }
        state.PauseTiming();
        pane.reset(); // stops its worker
        state.ResumeTiming();
    }
}

void BM_Pdf_Pane_WarmWorker(benchmark::State &state)
{
    const auto pane = NewPane();
    const QString file = Media("doc_20pages.pdf");
    if (!ShowAndPaint(state, *pane, file)) // starts the worker
        return;
    // Pages fill the view's width less a margin of 8 on each side.
    if (auto *view = pane->findChild<QAbstractScrollArea *>())
        g_pageWidth = view->viewport()->width() - 16;
    for (auto _ : state) {
        Lap lap("pdf warm");
        if (!ShowAndPaint(state, *pane, file)) {
            lap.Discard();
            break;
        }
    }
}

void BM_Pdf_Pdftoppm(benchmark::State &state)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty()) {
        state.SkipWithError("pdftoppm is not installed");
        return;
    }
    if (g_pageWidth <= 0) {
        state.SkipWithError("the pane's page width is unknown (run BM_Pdf_Pane_WarmWorker first)");
        return;
    }
    QTemporaryDir dir;
    const QStringList args = {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
                              QStringLiteral("-scale-to-x"), QString::number(g_pageWidth),
                              QStringLiteral("-scale-to-y"), QStringLiteral("-1"), QStringLiteral("-singlefile"),
                              Media("doc_20pages.pdf"), dir.filePath(QStringLiteral("p"))};
    for (auto _ : state) {
        Lap lap("pdftoppm");
        QProcess p;
        p.start(QStringLiteral("pdftoppm"), args);
        if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            lap.Discard();
            state.SkipWithError("pdftoppm failed");
            break;
        }
    }
}

// Wall time throughout: the pane works on the thread pool and in its worker.
BENCHMARK(BM_Jpeg_Pane)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);
BENCHMARK(BM_Jpeg_PlainQt)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);
BENCHMARK(BM_Pdf_Pane_ColdWorker)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_Pdf_Pane_WarmWorker)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);
BENCHMARK(BM_Pdf_Pdftoppm)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);

void PrintRatio(const char *what, const char *ours, const char *peer, const char *goal)
{
    const auto a = g_fastest.find(ours), b = g_fastest.find(peer);
    if (a == g_fastest.end() || b == g_fastest.end() || b->second <= 0)
        std::printf("  %-50s n/a\n", what);
    else
        std::printf("  %-50s %6.2fx  (%s)\n", what, double(a->second) / double(b->second), goal);
}

bool PrepareMedia()
{
    g_media = qEnvironmentVariable("ZOR_BENCH_MEDIA");
    if (g_media.isEmpty())
        g_media = QDir::tempPath() + QStringLiteral("/zor-bench-media");
    const auto complete = [] {
        return QFile::exists(Media("photo_6000x4000.jpg")) && QFile::exists(Media("doc_20pages.pdf"));
    };
    if (complete())
        return true;
    QDir().mkpath(g_media);
    QProcess gen;
    gen.start(QStringLiteral(ZOR_GEN_MEDIA), {g_media});
    gen.waitForFinished(600000);
    return complete();
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("ZOR_PREVIEW_WORKER"))
        qputenv("ZOR_PREVIEW_WORKER", ZOR_PREVIEW_WORKER_PATH);
    QApplication app(argc, argv);
    if (!PrepareMedia()) {
        std::fprintf(stderr, "no media inputs in %s (set ZOR_BENCH_MEDIA or build gen_media)\n", qPrintable(g_media));
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::printf("\nRatios of the fastest runs, ours / peer (lower is better), to the first painted preview"
                " in 800x600:\n");
    PrintRatio("JPEG 6000x4000, pane vs plain Qt", "jpeg pane", "jpeg qt", "goal <= 1.2");
    PrintRatio("PDF page 1, pane with a warm worker vs pdftoppm", "pdf warm", "pdftoppm", "goal <= 1.3");
    PrintRatio("PDF page 1, pane with a cold worker vs pdftoppm", "pdf cold", "pdftoppm", "start-up included");
    return 0;
}
