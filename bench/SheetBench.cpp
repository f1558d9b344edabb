// The spreadsheet engine against HyperFormula 3.5.0 under node (bench/hyperformula,
// "npm ci" on first use), the same workload on both sides:
//   rows i = 1..N: A = i; B = A*2+1; C = IF(MOD(A,3)=0,B,-B); D = D(i-1)+C
//   (D1 = C1, a chain N long); E = SUM(A(i-9):Ai), clipped at row 1.
// Measures, for N = 25k, 50k, 100k and 200k:
//   build   the cells entered (formulas as text) and the first calculation
//   edit    A1 := 1000 and the recalculation it starts (every D depends on it)
//   full    a full recalculation of every formula
// The results must agree: D(N) after the build and after the edit, E(N).
// The ratio printed is peer time / our time: above 1 means we are faster.
// Usage: SheetBench [--ours-only] [N…]  (--ours-only skips the peer, for profiling)
#include <ZorCompCore/sheet/Book.h>

#include "NodePeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>

using namespace zor;
using zorbench::nodeForPeer;

namespace {

struct Figures
{
    bool ran = false;
    QString note;
    double buildMs = 0, editMs = 0, fullMs = 0;
    double dFirst = 0, dEdit = 0, eLast = 0;
};

double ms(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

Figures runOurs(int n)
{
    Figures f;
    TSheetBook book;
    TSheet *s = book.AddSheet();
    QElapsedTimer t;
    t.start();
    book.BeginUpdate();
    for (int i = 1; i <= n; ++i) {
        const int r = i - 1;
        s->SetValue(r, 0, TCellValue::Number(i));
        s->SetFormula(r, 1, QStringLiteral("=A%1*2+1").arg(i));
        s->SetFormula(r, 2, QStringLiteral("=IF(MOD(A%1,3)=0,B%1,-B%1)").arg(i));
        s->SetFormula(r, 3, i == 1 ? QStringLiteral("=C1") : QStringLiteral("=D%1+C%2").arg(i - 1).arg(i));
        s->SetFormula(r, 4, QStringLiteral("=SUM(A%1:A%2)").arg(std::max(1, i - 9)).arg(i));
    }
    book.EndUpdate();
    f.buildMs = ms(t);
    f.dFirst = s->Value(n - 1, 3).number;

    t.restart();
    s->SetValue(0, 0, TCellValue::Number(1000));
    f.dEdit = s->Value(n - 1, 3).number;
    f.editMs = ms(t);

    t.restart();
    book.Recalculate(true);
    f.fullMs = ms(t);
    f.eLast = s->Value(n - 1, 4).number;
    f.ran = true;
    return f;
}

Figures runPeer(int n)
{
    Figures f;
    const QString peerDir = QStringLiteral(ZOR_SOURCE_DIR "/bench/hyperformula");
    const QString node = nodeForPeer(peerDir, QStringLiteral("hyperformula"), f.note);
    if (node.isEmpty())
        return f;
    QProcess p;
    p.start(node, {QStringLiteral("--max-old-space-size=4096"), peerDir + QStringLiteral("/run.js"), QString::number(n)});
    if (!p.waitForFinished(1800000) || p.exitCode() != 0) {
        f.note = QStringLiteral("HyperFormula failed: ") + QString::fromLocal8Bit(p.readAllStandardError()).left(300);
        return f;
    }
    const QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    f.buildMs = o.value(QStringLiteral("build_ms")).toDouble();
    f.editMs = o.value(QStringLiteral("edit_ms")).toDouble();
    f.fullMs = o.value(QStringLiteral("full_ms")).toDouble();
    f.dFirst = o.value(QStringLiteral("d_first")).toDouble();
    f.dEdit = o.value(QStringLiteral("d_edit")).toDouble();
    f.eLast = o.value(QStringLiteral("e_last")).toDouble();
    f.ran = f.buildMs > 0;
    if (!f.ran)
        f.note = QStringLiteral("HyperFormula gave no figures");
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QList<int> sizes;
    const bool oursOnly = app.arguments().contains(QStringLiteral("--ours-only"));
    for (const QString &a : app.arguments().mid(1))
        if (a.toInt() > 0)
            sizes << a.toInt();
    if (sizes.isEmpty())
        sizes = {25000, 50000, 100000, 200000};
    bool agree = true;
    std::printf("%8s  %-6s %12s %12s %8s\n", "N", "what", "ours ms", "peer ms", "ratio");
    for (int n : sizes) {
        const Figures ours = runOurs(n);
        Figures peer;
        if (oursOnly)
            peer.note = QStringLiteral("skipped");
        else
            peer = runPeer(n);
        if (!peer.ran)
            std::printf("%8d  peer: %s\n", n, qPrintable(peer.note));
        const struct
        {
            const char *name;
            double o, p;
        } rows[] = {{"build", ours.buildMs, peer.buildMs}, {"edit", ours.editMs, peer.editMs},
                    {"full", ours.fullMs, peer.fullMs}};
        for (const auto &r : rows) {
            if (peer.ran)
                std::printf("%8d  %-6s %12.2f %12.2f %7.1fx\n", n, r.name, r.o, r.p, r.p / std::max(r.o, 1e-3));
            else
                std::printf("%8d  %-6s %12.2f %12s %8s\n", n, r.name, r.o, "-", "-");
        }
        std::printf("%8d  results D%d = %.0f then %.0f, E%d = %.0f\n", n, n, ours.dFirst, ours.dEdit, n, ours.eLast);
        if (peer.ran && (peer.dFirst != ours.dFirst || peer.dEdit != ours.dEdit || peer.eLast != ours.eLast)) {
            std::printf("%8d  DISAGREE: peer D%d = %.0f then %.0f, E%d = %.0f\n", n, n, peer.dFirst, peer.dEdit, n,
                        peer.eLast);
            agree = false;
        }
        std::fflush(stdout);
    }
    return agree ? 0 : 1;
}
