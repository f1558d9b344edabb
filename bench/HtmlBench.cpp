// The html engine against its peers on the shared report workload
// (report.mustache + report.json: a 10,000-row table, about 3.3 MB of HTML):
//   render   the template over the JSON data, against mustache.js 4.2.0
//            under node (bench/mustache, "npm ci" on first use), when node
//            is there; data built and template compiled untimed; the first
//            render timed on its own, then 3 warm-ups and the median of 20.
//   parse    the UTF-8 bytes of the rendered page into a tree (and free it),
//            against libxml2's htmlReadMemory.
//   write    the parsed tree back to text, against libxml2's htmlDocDumpMemory.
// Both renderers' pages must agree once their character references are
// decoded (they escape differently); otherwise the bench fails. The ratios
// printed at the end are peer time / our time: above 1 means we are faster.
//
// The workload is looked up in $ZOR_BENCH_SHARED, else in the shared bench
// folder beside the checkout.
#include <ZorCompCore/html/HtTemplate.h>
#include <ZorCompCore/html/HtXMLNode.h>
#include <ZorCompCore/html/HtmlEntities.h>
#include <ZorCompCore/html/HtmlNode.h>

#include "MustachePeer.h"

#include <benchmark/benchmark.h>

#include <libxml/HTMLparser.h>
#include <libxml/HTMLtree.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

using namespace zor;

namespace {

using namespace zorbench;

constexpr int kWarmUps = 3;
constexpr int kRuns = 20;

struct Workload
{
    QString Template;
    QByteArray Json;
    std::unique_ptr<THtXMLNode> Data;
    THtTemplate Compiled;
    QString Page;         // our rendered page
    QByteArray PageUtf8;
    double FirstMs = -1;  // our first render
};

Workload &workload()
{
    static Workload w;
    return w;
}


bool load(QString &error)
{
    Workload &w = workload();
    const QString dir = sharedDir();
    w.Template = QString::fromUtf8(readAll(dir + QStringLiteral("/report.mustache")));
    w.Json = readAll(dir + QStringLiteral("/report.json"));
    if (w.Template.isEmpty() || w.Json.isEmpty()) {
        error = QStringLiteral("report.mustache and report.json not found (set ZOR_BENCH_SHARED)");
        return false;
    }
    w.Data = THtXMLNode::FromJson(w.Json);
    w.Compiled.Compile(w.Template);
    QElapsedTimer t;
    t.start();
    w.Page = w.Compiled.Render(w.Data.get());
    w.FirstMs = double(t.nsecsElapsed()) / 1e6;
    for (int i = 1; i < kWarmUps; ++i)
        w.Page = w.Compiled.Render(w.Data.get());
    w.PageUtf8 = w.Page.toUtf8();
    return true;
}


// Runs \a fn kWarmUps times before the first timed repetition of a benchmark.
template<typename Fn>
void warmUp(bool &done, Fn fn)
{
    if (done)
        return;
    done = true;
    for (int i = 0; i < kWarmUps; ++i)
        fn();
}

void BM_Render(benchmark::State &state)
{
    Workload &w = workload(); // warmed up by load(), which timed the first render
    for (auto _ : state)
        benchmark::DoNotOptimize(w.Compiled.Render(w.Data.get()));
}

void BM_Parse(benchmark::State &state)
{
    const QByteArray &bytes = workload().PageUtf8;
    static bool warm = false;
    warmUp(warm, [&] { THtmlNode doc; doc.ParseBytes(bytes); });
    for (auto _ : state) {
        THtmlNode doc;
        doc.ParseBytes(bytes);
        benchmark::DoNotOptimize(doc.ChildCount());
    }
}

constexpr int kXmlOptions = HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET;

void BM_ParseLibxml2(benchmark::State &state)
{
    const QByteArray &bytes = workload().PageUtf8;
    static bool warm = false;
    warmUp(warm, [&] { xmlFreeDoc(htmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, "UTF-8", kXmlOptions)); });
    for (auto _ : state) {
        htmlDocPtr doc = htmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, "UTF-8", kXmlOptions);
        benchmark::DoNotOptimize(doc);
        xmlFreeDoc(doc);
    }
}

void BM_Write(benchmark::State &state)
{
    THtmlNode doc;
    doc.ParseBytes(workload().PageUtf8);
    static bool warm = false;
    warmUp(warm, [&] { benchmark::DoNotOptimize(doc.OuterHTML()); });
    for (auto _ : state)
        benchmark::DoNotOptimize(doc.OuterHTML());
    if (doc.OuterHTML() != workload().Page)
        state.SkipWithError("the parsed page does not write back as it was read");
}

void BM_WriteLibxml2(benchmark::State &state)
{
    const QByteArray &bytes = workload().PageUtf8;
    htmlDocPtr doc = htmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, "UTF-8", kXmlOptions);
    auto dump = [doc] {
        xmlChar *mem = nullptr;
        int size = 0;
        htmlDocDumpMemory(doc, &mem, &size);
        xmlFree(mem);
    };
    static bool warm = false;
    warmUp(warm, dump);
    for (auto _ : state) {
        xmlChar *mem = nullptr;
        int size = 0;
        htmlDocDumpMemory(doc, &mem, &size);
        benchmark::DoNotOptimize(size);
        xmlFree(mem);
    }
    xmlFreeDoc(doc);
}

// Keeps the median real time of each benchmark, in milliseconds.
class MedianReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &r : runs)
            if (!r.error_occurred && r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                Medians[r.run_name.function_name] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> Medians;
};

void printRatio(const char *what, double peer, double ours, double goal)
{
    if (peer <= 0 || ours <= 0) {
        std::printf("  %-26s not measured\n", what);
        return;
    }
    std::printf("  %-26s %8.2f ms vs %8.2f ms  ratio %6.2f", what, peer, ours, peer / ours);
    if (goal > 0)
        std::printf("  (goal >= %.0f: %s)", goal, peer / ours >= goal ? "met" : "not met");
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    QString error;
    if (!load(error)) {
        std::fprintf(stderr, "HtmlBench: %s\n", qPrintable(error));
        return 1;
    }
    const PeerRender peer = runMustacheJs();
    if (peer.Ran) {
        const qsizetype diff = firstDifference(workload().Page, peer.Page);
        if (diff >= 0) {
            std::fprintf(stderr, "HtmlBench: our page and mustache.js's differ at %lld (decoded)\n",
                         static_cast<long long>(diff));
            return 1;
        }
    }

    using Fn = void (*)(benchmark::State &);
    const std::pair<const char *, Fn> benches[] = {{"Render", BM_Render},
                                                   {"Parse", BM_Parse},
                                                   {"ParseLibxml2", BM_ParseLibxml2},
                                                   {"Write", BM_Write},
                                                   {"WriteLibxml2", BM_WriteLibxml2}};
    for (const auto &[name, fn] : benches)
        benchmark::RegisterBenchmark(name, fn)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1)
            ->Repetitions(kRuns)
            ->ReportAggregatesOnly(true)
            ->UseRealTime();
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto median = [&](const char *n) {
        const auto it = reporter.Medians.find(n);
        return it == reporter.Medians.end() ? 0.0 : it->second;
    };

    std::printf("\nPeer time / our time (medians of %d after %d warm-ups; above 1: we are faster):\n",
                kRuns, kWarmUps);
    if (peer.Ran) {
        std::printf("  pages agree after decoding references (%lld characters)\n",
                    static_cast<long long>(workload().Page.size()));
        printRatio("render vs mustache.js", peer.MedianMs, median("Render"), 4);
        printRatio("first render vs its first", peer.FirstMs, workload().FirstMs, 0);
    } else {
        std::printf("  render: %s (ours %.2f ms)\n", qPrintable(peer.Note), median("Render"));
    }
    printRatio("parse vs libxml2", median("ParseLibxml2"), median("Parse"), 5);
    printRatio("write vs libxml2", median("WriteLibxml2"), median("Write"), 0);
    benchmark::Shutdown();
    return 0;
}
