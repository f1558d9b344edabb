// The MIME reader and writer against Python's email package on one message
// of about 10 MB with 200 parts (text parts in three charsets and binary
// attachments), built by our writer with a fixed seed:
//   parse   bytes to a message with every part decoded (ours) against
//           email.message_from_bytes(policy=default) plus get_content() of
//           every leaf (Python parses lazily: decoding is part of reading);
//   write   the parsed message back to bytes, against as_bytes().
// Python runs as a separate process (/usr/bin/python3) in the same run and
// times itself with the same median-of-runs scheme. The ratios printed at
// the end are Python's time / ours: above 1 means we are faster.
#include <ZorCompCore/web/mime/MimeMessage.h>

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace zor;

namespace {

QByteArray buildWorkload()
{
    QRandomGenerator rng(2026);
    TMimeMessage m;
    m.SetAddresses("From", {{QStringLiteral("Bench"), QStringLiteral("bench@example.org")}});
    m.SetSubject(QStringLiteral("Workload"));
    m.SetContentType(QStringLiteral("multipart/mixed"));
    for (int i = 0; i < 200; ++i) {
        TMimePart p;
        if (i % 4 == 0) {
            p.SetContentType(QStringLiteral("text/plain"), QStringLiteral("utf-8"));
            QString text;
            for (int line = 0; line < 400; ++line)
                text += QStringLiteral("Zeile %1 mit Umlauten \u00e4\u00f6\u00fc und etwas Text, der die Zeile f\u00fcllt.\n").arg(line);
            p.Body.SetText(text);
        } else {
            p.SetContentType(QStringLiteral("application/octet-stream"));
            p.SetAttachment(QStringLiteral("attachment"), QStringLiteral("file%1.bin").arg(i));
            QByteArray data(48 * 1024, '\0');
            for (qsizetype k = 0; k < data.size(); k += 4) {
                const quint32 v = rng.generate();
                memcpy(data.data() + k, &v, 4);
            }
            p.SetData(data);
        }
        m.MessageParts.append(p);
    }
    return m.ToBytes();
}

const QByteArray &workload()
{
    static const QByteArray bytes = buildWorkload();
    return bytes;
}

void BM_Parse(benchmark::State &state)
{
    for (auto _ : state) {
        TMimeMessage m;
        m.Parse(workload());
        benchmark::DoNotOptimize(m.MessageParts.size());
    }
    state.SetBytesProcessed(state.iterations() * workload().size());
}
BENCHMARK(BM_Parse)->Unit(benchmark::kMillisecond);

void BM_Write(benchmark::State &state)
{
    TMimeMessage m;
    m.Parse(workload());
    for (auto _ : state)
        benchmark::DoNotOptimize(m.ToBytes().size());
    state.SetBytesProcessed(state.iterations() * workload().size());
}
BENCHMARK(BM_Write)->Unit(benchmark::kMillisecond);

template <typename F>
double medianMs(F &&f, int runs = 9)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        times.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

const char *const kPython = R"(
import email, sys, time
from email import policy
data = open(sys.argv[1], 'rb').read()
def parse():
    m = email.message_from_bytes(data, policy=policy.default)
    for part in m.walk():
        if not part.is_multipart():
            part.get_content()
    return m
def median(f):
    times = []
    for _ in range(9):
        t = time.perf_counter(); f(); times.append((time.perf_counter() - t) * 1000)
    return sorted(times)[4]
m = parse()
print(median(parse), median(lambda: m.as_bytes()))
)";

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();

    const double oursParse = medianMs([] {
        TMimeMessage m;
        m.Parse(workload());
    });
    TMimeMessage parsed;
    parsed.Parse(workload());
    const double oursWrite = medianMs([&] { (void)parsed.ToBytes(); });

    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("w.eml")));
    if (!f.open(QIODevice::WriteOnly) || f.write(workload()) != workload().size())
        return 1;
    f.close();
    QProcess py;
    py.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(kPython), f.fileName()});
    if (!py.waitForFinished(600000) || py.exitCode() != 0) {
        std::fprintf(stderr, "python failed: %s\n", py.readAllStandardError().constData());
        return 1;
    }
    const QList<QByteArray> t = py.readAllStandardOutput().trimmed().split(' ');
    const double pyParse = t.value(0).toDouble(), pyWrite = t.value(1).toDouble();
    std::printf("\nworkload %.1f MB, %d parts\n", workload().size() / 1e6, int(parsed.MessageParts.size()));
    std::printf("parse: ours %.1f ms, python %.1f ms, ratio %.1f\n", oursParse, pyParse, pyParse / oursParse);
    std::printf("write: ours %.1f ms, python %.1f ms, ratio %.1f\n", oursWrite, pyWrite, pyWrite / oursWrite);
    return 0;
}
