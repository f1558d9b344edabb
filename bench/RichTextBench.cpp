// Rich text, whole processes as a user runs them: a fixed-seed RTF of about
// 400 pages converted by `zorcc rtf convert` to HTML against `unrtf --html`,
// and to PDF against LibreOffice headless (skipped when it is not installed).
// The ratios (peer time / our time) are printed after the runs, of wall time
// and of the processes' CPU time.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <map>
#include <random>
#include <string>

#include <sys/resource.h>

namespace {

QTemporaryDir &workDir()
{
    static QTemporaryDir dir;
    return dir;
}

// About 400 A4 pages: paragraphs of random words with bold and italic runs,
// a heading every 40 paragraphs, a small table every 60, Latin-1 and Greek.
QString inputFile()
{
    static QString path;
    if (!path.isEmpty())
        return path;
    std::mt19937 rng(20261207);
    static const char *const words[] = {
        "document", "page", "table", "rich", "text", "format", "reader", "writer", "line", "break",
        "font", "colour", "caf\\'e9", "na\\'efve", "\\u945?\\u946?\\u947?", "section", "header", "footer",
        "field", "picture", "list", "item", "cell", "row", "margin", "paper", "letter", "word"};
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}"
                     "{\\f1\\fswiss Arial;}}{\\colortbl;\\red200\\green0\\blue0;}\n"
                     "{\\info{\\title Bench}}\\paperw11906\\paperh16838\\margl1440\\margr1440"
                     "\\margt1440\\margb1440\n{\\header\\pard\\qc Bench page {\\field{\\*\\fldinst PAGE}"
                     "{\\fldrslt 1}}\\par}\n";
    for (int p = 0; p < 4800; ++p) {
        if (p % 40 == 0)
            rtf += "\\pard\\sb240\\sa120\\f1\\fs32\\b Heading " + QByteArray::number(p / 40) + "\\b0\\par\n";
        if (p % 60 == 59) {
            for (int r = 0; r < 3; ++r) {
                rtf += "\\trowd\\cellx3000\\cellx6000\\cellx9000";
                for (int c = 0; c < 3; ++c)
                    rtf += "\\pard\\intbl r" + QByteArray::number(r) + "c" + QByteArray::number(c) + "\\cell";
                rtf += "\\row\n";
            }
        }
        rtf += "\\pard\\sa120\\qj\\f0\\fs22 ";
        const int n = 30 + int(rng() % 40);
        for (int w = 0; w < n; ++w) {
            const unsigned style = rng() % 20;
            const QByteArray word = words[rng() % (sizeof words / sizeof *words)];
            if (style == 0)
                rtf += "{\\b " + word + "} ";
            else if (style == 1)
                rtf += "{\\i\\cf1 " + word + "} ";
            else
                rtf += word + ' ';
        }
        rtf += "\\par\n";
    }
    rtf += "}";
    path = workDir().filePath(QStringLiteral("bench.rtf"));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(rtf);
    return path;
}

std::map<std::string, double> &seconds()
{
    static std::map<std::string, double> s;
    return s;
}

// CPU seconds of the children, per run: on a machine others share, wall
// time measures them as much as us, CPU time hardly.
std::map<std::string, double> &cpuSeconds()
{
    static std::map<std::string, double> s;
    return s;
}

double childCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs a program to its end; false (and the benchmark skipped) when it fails.
bool run(benchmark::State &state, const QString &program, const QStringList &args)
{
    QProcess p;
    p.setWorkingDirectory(workDir().path());
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        state.SkipWithError((program + QStringLiteral(" failed")).toStdString().c_str());
        return false;
    }
    return true;
}

void timed(benchmark::State &state, const char *name, const QString &program, const QStringList &args)
{
    if (program.isEmpty()) {
        state.SkipWithError("not installed");
        return;
    }
    const QString in = inputFile();
    double total = 0;
    const double cpu0 = childCpuSeconds();
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        if (!run(state, program, QStringList(args).replaceInStrings(QStringLiteral("%IN"), in)))
            return;
        const double s = t.nsecsElapsed() / 1e9;
        state.SetIterationTime(s);
        total += s;
    }
    seconds()[name] = total / double(state.iterations());
    cpuSeconds()[name] = (childCpuSeconds() - cpu0) / double(state.iterations());
    state.counters["cpu_s"] = cpuSeconds()[name];
}

void ZorccToHtml(benchmark::State &state)
{
    timed(state, "zorcc-html", QStringLiteral(ZORCC_PATH),
          {QStringLiteral("rtf"), QStringLiteral("convert"), QStringLiteral("%IN"), QStringLiteral("out.html")});
}

void UnrtfToHtml(benchmark::State &state)
{
    timed(state, "unrtf-html", QStandardPaths::findExecutable(QStringLiteral("unrtf")),
          {QStringLiteral("--html"), QStringLiteral("%IN")});
}

void ZorccToPdf(benchmark::State &state)
{
    timed(state, "zorcc-pdf", QStringLiteral(ZORCC_PATH),
          {QStringLiteral("rtf"), QStringLiteral("pdf"), QStringLiteral("%IN"), QStringLiteral("out.pdf")});
}

void LibreOfficeToPdf(benchmark::State &state)
{
    QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        soffice = QStandardPaths::findExecutable(QStringLiteral("libreoffice"));
    timed(state, "libreoffice-pdf", soffice,
          {QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("pdf"),
           QStringLiteral("--outdir"), workDir().path(), QStringLiteral("%IN")});
}

BENCHMARK(ZorccToHtml)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(UnrtfToHtml)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(ZorccToPdf)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(LibreOfficeToPdf)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

void ratio(const char *label, const char *peer, const char *ours)
{
    for (const auto *s : {&seconds(), &cpuSeconds()}) {
        const char *what = s == &seconds() ? "wall" : "CPU ";
        if (!s->count(peer) || !s->count(ours) || s->at(ours) <= 0) {
            std::printf("%-28s %s n/a (a run was skipped)\n", label, what);
            continue;
        }
        std::printf("%-28s %s %.2fx (peer %.3f s, zorcc %.3f s)\n", label, what, s->at(peer) / s->at(ours),
                    s->at(peer), s->at(ours));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nSpeed ratios, whole processes (above 1: zorcc is faster):\n");
    ratio("RTF -> HTML vs unrtf", "unrtf-html", "zorcc-html");
    ratio("RTF -> PDF vs LibreOffice", "libreoffice-pdf", "zorcc-pdf");
    return 0;
}
