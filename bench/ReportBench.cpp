// The report document against mustache.js on the shared report workload
// (report.mustache + report.json: a 10,000-row table, about 3.3 MB of HTML):
//   report   LoadTemplate + Render of a TZORHtReportDocument with the JSON
//            data as its ReportContext: the template's script compiled, the
//            template filled, the page parsed into the document's tree and
//            written out again. mustache.js 4.2.0 under node (bench/mustache,
//            "npm ci" on first use) only fills the template. Data built
//            untimed on both sides; 3 warm-ups, then the median of 20.
//   sql      the same rows from an in-memory SQLite table through a data set,
//            the tags of each row from a detail data set (its query runs
//            again for every row); the data sets are closed before each
//            render, so the queries are timed too. A figure of our own.
// Our page must agree with mustache.js's once character references are
// decoded; the SQL page must agree with our JSON page up to the number
// formats SQLite gives back. The ratio printed at the end is peer time / our
// time: above 1 means we are faster.
//
// The workload is looked up in $ZOR_BENCH_SHARED, else in the shared bench
// folder beside the checkout.
#include <ZorCompCore/data/SqlDataSet.h>
#include <ZorCompCore/html/HtmlEntities.h>
#include <ZorCompCore/reporting/ZORHtReportDocument.h>

#include "MustachePeer.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
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
    std::unique_ptr<TZORHtReportDocument> Doc;
    QString Page;
    // the SQL variant
    std::unique_ptr<TSqlConnection> Conn;
    std::unique_ptr<TSqlDataSet> Rows, Tags;
    std::unique_ptr<TZORHtReportDocument> SqlDoc;
    std::unique_ptr<THtXMLNode> Header;
    QString SqlPage;
};

Workload &workload()
{
    static Workload w;
    return w;
}


QString renderJson()
{
    Workload &w = workload();
    w.Doc->LoadTemplate(w.Template);
    w.Doc->SetReportContext(w.Data.get());
    return w.Doc->Render();
}

QString renderSql()
{
    Workload &w = workload();
    w.Rows->Close();
    w.SqlDoc->LoadTemplate(w.Template);
    w.SqlDoc->SetReportContext(w.Header.get());
    return w.SqlDoc->Render();
}

// The JSON rows as two tables: rows, and tags by row id.
void fillDatabase(Workload &w)
{
    w.Conn = std::make_unique<TSqlConnection>();
    w.Conn->SetDatabaseName(QStringLiteral(":memory:"));
    w.Conn->ExecSQL(QStringLiteral("create table rows (id integer, name text, email text, city text, "
                                   "description text, price double, quantity integer, active integer)"));
    w.Conn->ExecSQL(QStringLiteral("create table tags (row_id integer, pos integer, label text, weight integer)"));
    w.Conn->ExecSQL(QStringLiteral("create index tags_row on tags (row_id, pos)"));
    const QJsonObject root = QJsonDocument::fromJson(w.Json).object();
    w.Conn->ExecSQL(QStringLiteral("begin"));
    for (const QJsonValue &v : root.value(QStringLiteral("rows")).toArray()) {
        const QJsonObject r = v.toObject();
        QHash<QString, Variant> p;
        for (const char *k : {"name", "email", "city", "description"})
            p.insert(QLatin1String(k), Variant(r.value(QLatin1String(k)).toString()));
        p.insert(QStringLiteral("id"), Variant(r.value(QStringLiteral("id")).toInt()));
        p.insert(QStringLiteral("price"), Variant(r.value(QStringLiteral("price")).toDouble()));
        p.insert(QStringLiteral("quantity"), Variant(r.value(QStringLiteral("quantity")).toInt()));
        p.insert(QStringLiteral("active"), Variant(r.value(QStringLiteral("active")).toBool() ? 1 : 0));
        w.Conn->ExecSQL(QStringLiteral("insert into rows values (:id, :name, :email, :city, :description, :price, "
                                       ":quantity, :active)"),
                        p);
        int pos = 0;
        for (const QJsonValue &t : r.value(QStringLiteral("tags")).toArray())
            w.Conn->ExecSQL(QStringLiteral("insert into tags values (:id, :pos, :label, :weight)"),
                            {{QStringLiteral("id"), p.value(QStringLiteral("id"))},
                             {QStringLiteral("pos"), Variant(pos++)},
                             {QStringLiteral("label"), Variant(t.toObject().value(QStringLiteral("label")).toString())},
                             {QStringLiteral("weight"), Variant(t.toObject().value(QStringLiteral("weight")).toInt())}});
    }
    w.Conn->ExecSQL(QStringLiteral("commit"));
    w.Rows = std::make_unique<TSqlDataSet>();
    w.Rows->SetConnection(w.Conn.get());
    w.Rows->SetSQL(QStringLiteral("select * from rows order by id"));
    w.Tags = std::make_unique<TSqlDataSet>();
    w.Tags->SetConnection(w.Conn.get());
    w.Tags->SetSQL(QStringLiteral("select label, weight from tags where row_id = :id order by pos"));
    w.Tags->SetMasterSource(w.Rows.get());
    w.SqlDoc = std::make_unique<TZORHtReportDocument>();
    w.SqlDoc->DataSets().AddDataSet(w.Rows.get(), QStringLiteral("rows"));
    w.SqlDoc->DataSets().AddDataSet(w.Tags.get(), QStringLiteral("tags"));
    // the header fields, without the rows
    QJsonObject header = root;
    header.remove(QStringLiteral("rows"));
    w.Header = THtXMLNode::FromJson(QJsonDocument(header).toJson());
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
    w.Doc = std::make_unique<TZORHtReportDocument>();
    fillDatabase(w);
    try {
        w.Page = renderJson();
        w.SqlPage = renderSql();
    } catch (const Exception &e) {
        error = e.Message();
        return false;
    }
    return true;
}


void BM_Report(benchmark::State &state)
{
    static bool warm = false;
    if (!warm) {
        warm = true;
        for (int i = 0; i < kWarmUps; ++i)
            renderJson();
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(renderJson());
}

void BM_ReportSql(benchmark::State &state)
{
    static bool warm = false;
    if (!warm) {
        warm = true;
        for (int i = 0; i < kWarmUps; ++i)
            renderSql();
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(renderSql());
}

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

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    QString error;
    if (!load(error)) {
        std::fprintf(stderr, "ReportBench: %s\n", qPrintable(error));
        return 1;
    }
    const Workload &w = workload();
    // The SQL rows are the JSON rows: the pages must have the same rows.
    if (w.SqlPage.count(QStringLiteral("<tr><td>")) != w.Page.count(QStringLiteral("<tr><td>"))
        || w.SqlPage.count(QStringLiteral("class=\"tag\"")) != w.Page.count(QStringLiteral("class=\"tag\""))) {
        std::fprintf(stderr, "ReportBench: the SQL page's rows or tags differ from the JSON page's\n");
        return 1;
    }
    const PeerRender peer = runMustacheJs();
    if (peer.Ran) {
        const qsizetype diff = firstDifference(w.Page, peer.Page);
        if (diff >= 0) {
            std::fprintf(stderr, "ReportBench: our page and mustache.js's differ at %lld (decoded)\n",
                         static_cast<long long>(diff));
            return 1;
        }
    }

    using Fn = void (*)(benchmark::State &);
    const std::pair<const char *, Fn> benches[] = {{"Report", BM_Report}, {"ReportSql", BM_ReportSql}};
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

    std::printf("\nPeer time / our time (medians of %d after %d warm-ups; above 1: we are faster):\n", kRuns,
                kWarmUps);
    const double ours = median("Report");
    if (peer.Ran && ours > 0) {
        std::printf("  pages agree after decoding references (%lld characters)\n",
                    static_cast<long long>(w.Page.size()));
        std::printf("  %-34s %8.2f ms vs %8.2f ms  ratio %6.2f  (goal >= 1.5: %s)\n",
                    "report (load, render, parse, write)", peer.MedianMs, ours, peer.MedianMs / ours,
                    peer.MedianMs / ours >= 1.5 ? "met" : "not met");
    } else {
        std::printf("  report: %s (ours %.2f ms)\n", qPrintable(peer.Note), ours);
    }
    std::printf("  %-34s %8.2f ms (10,000 rows from SQLite, tags from a detail query per row)\n",
                "report over data sets", median("ReportSql"));
    benchmark::Shutdown();
    std::fflush(stdout);
    // Documents, data sets and the connection go while the library is still
    // loaded, not among the static destructors after its unload hook.
    Workload &last = workload();
    last.SqlDoc.reset();
    last.Doc.reset();
    last.Tags.reset();
    last.Rows.reset();
    last.Conn.reset();
    return 0;
}
