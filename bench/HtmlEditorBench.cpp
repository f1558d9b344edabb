// The HTML editor (Qt WebEngine) on the shared report workload and on a text
// with pictures:
//   cold start    the time from creating the process's first editor to its
//                 first loaded text (Chromium's helper process starts with
//                 it), measured once before anything else.
//   load+save     the rendered report (report.mustache + report.json, about
//                 3.3 MB of HTML, a 10,000-row table) set as HTMLText and
//                 read back: unedited (the text comes back as set), after
//                 one insertion at the end (the last paragraph serialised by
//                 the engine) and after one in the table's first cell (the
//                 whole table serialised), against QTextDocument's setHtml +
//                 toHtml on the same page in the same iteration. The counter
//                 "vs_qtextdoc" is our time / QTextDocument's.
//   BinHTML       a text with 50 pictures saved as a BinHTML container by
//                 the editor (SaveToBinaryStream: the image list, HTMLText,
//                 the container), against what "zorcc html pack" does
//                 (TZORHTMLViewerHelper::WriteToBinaryStream on the same text
//                 and pictures). The counter "vs_pack" is our time / pack's.
// Chromium needs a display: run under xvfb-run -a. As root its sandbox
// cannot run (QTWEBENGINE_DISABLE_SANDBOX=1 is set then).
//
// The report is looked up in $ZOR_BENCH_SHARED, else in the shared bench
// folder beside the checkout.
#include <ZorCompCore/html/HtTemplate.h>
#include <ZorCompCore/html/HtXMLNode.h>
#include <ZorCompCore/htmleditor/ZORHtmlEditor.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/web/ZORHTMLViewerHelper.h>

#include "MustachePeer.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <cstdio>
#include <memory>

#include <unistd.h>

using namespace zor;

namespace {

constexpr int kPictures = 50;

struct Workload
{
    QString Report;           // the rendered report page
    QTemporaryDir Pictures;   // kPictures PNG files
    QString PictureText;      // a letter showing them as %IMAGEPATH%name
    QStringList PictureNames;
    double ColdStartMs = -1;
    std::unique_ptr<TZORHtmlEditor> Editor; // shared by the benchmarks
};

Workload &workload()
{
    static Workload w;
    return w;
}

double msSince(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

bool renderReport(QString &error)
{
    const QString dir = zorbench::sharedDir();
    const QString templ = QString::fromUtf8(zorbench::readAll(dir + QStringLiteral("/report.mustache")));
    const QByteArray json = zorbench::readAll(dir + QStringLiteral("/report.json"));
    if (templ.isEmpty() || json.isEmpty()) {
        error = QStringLiteral("report.mustache and report.json not found (set ZOR_BENCH_SHARED)");
        return false;
    }
    const std::unique_ptr<THtXMLNode> data = THtXMLNode::FromJson(json);
    THtTemplate compiled;
    compiled.Compile(templ);
    workload().Report = compiled.Render(data.get());
    return !workload().Report.isEmpty();
}

// 50 different 320x240 pictures (gradients with a number drawn on), about
// what a mail with screenshots carries, and a text showing each in a paragraph.
bool makePictures(QString &error)
{
    Workload &w = workload();
    if (!w.Pictures.isValid()) {
        error = QStringLiteral("no temporary folder");
        return false;
    }
    QString body;
    for (int i = 0; i < kPictures; ++i) {
        QImage image(320, 240, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb((x * 255 / 320 + i * 5) & 255, (y * 255 / 240) & 255, (x ^ y ^ i) & 255));
        QPainter p(&image);
        p.setPen(Qt::white);
        p.drawText(image.rect(), Qt::AlignCenter, QString::number(i + 1));
        p.end();
        const QString name = QStringLiteral("picture%1.png").arg(i + 1, 2, 10, QLatin1Char('0'));
        if (!image.save(w.Pictures.filePath(name))) {
            error = QStringLiteral("cannot write ") + w.Pictures.filePath(name);
            return false;
        }
        w.PictureNames << name;
        body += QStringLiteral("<p>Picture %1 of the inspection:<br><img src=\"%IMAGEPATH%%2\" width=\"320\" "
                               "height=\"240\"></p>\n")
                    .arg(i + 1)
                    .arg(name);
    }
    w.PictureText = QStringLiteral("<html><head><meta charset=\"utf-8\"><title>Inspection</title></head>\n<body>\n")
                    + body + QStringLiteral("</body></html>\n");
    return true;
}

// The first editor of the process to its first loaded text.
void coldStart()
{
    Workload &w = workload();
    QElapsedTimer t;
    t.start();
    w.Editor = std::make_unique<TZORHtmlEditor>();
    w.Editor->resize(1000, 700);
    w.Editor->show();
    w.Editor->SetHTMLText(QStringLiteral("<html><body><p>Dear customer,</p></body></html>"));
    benchmark::DoNotOptimize(w.Editor->HTMLText());
    w.ColdStartMs = msSince(t);
}

// Puts the caret at the end of the page's first table cell, from the
// editor's isolated world (the page's own world runs no script).
bool caretInFirstCell(TZORHtmlEditor &AEditor)
{
    bool done = false;
    QEventLoop loop;
    AEditor.View()->setFocus();
    AEditor.View()->page()->runJavaScript(
        QStringLiteral("(function(){const e=document.querySelector('td');if(!e)return false;"
                       "const r=document.createRange();r.selectNodeContents(e);r.collapse(false);"
                       "const s=getSelection();s.removeAllRanges();s.addRange(r);return true;})()"),
        QWebEngineScript::ApplicationWorld, [&](const QVariant &v) {
            done = v.toBool();
            loop.quit();
        });
    QTimer::singleShot(TZORHtmlEditor::EngineTimeout, &loop, &QEventLoop::quit);
    loop.exec();
    return done;
}

// Arg 0: set and read back; 1: one insertion at the end (the last paragraph
// is serialised again); 2: one insertion in the table's first cell (the
// 3 MB table is serialised again). Placing the caret is not timed.
void BM_LoadSerialiseReport(benchmark::State &state)
{
    Workload &w = workload();
    TZORHtmlEditor &editor = *w.Editor;
    const int edit = int(state.range(0));
    double ours = 0, peer = 0;
    bool exact = true, complete = true;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        editor.SetHTMLText(w.Report);
        double ms = 0;
        if (edit == 2) {
            benchmark::DoNotOptimize(editor.HTMLText()); // waits for the load
            ms += msSince(t);
            if (!caretInFirstCell(editor)) {
                state.SkipWithError("no caret in the report's table");
                return;
            }
            t.restart();
        }
        if (edit)
            editor.InsertHTML(QStringLiteral("x"));
        const QString back = editor.HTMLText();
        ms += msSince(t);
        state.SetIterationTime(ms / 1000);
        ours += ms;
        exact = exact && back == w.Report;
        // Nothing lost, and an edit is in the text.
        complete = complete && back.size() >= w.Report.size() * 9 / 10 && (edit == 0 || back != w.Report);

        t.restart();
        QTextDocument doc;
        doc.setHtml(w.Report);
        benchmark::DoNotOptimize(doc.toHtml());
        peer += msSince(t);
    }
    if (!complete)
        state.SkipWithError("the editor did not give the whole report back");
    const double n = double(state.iterations());
    state.counters["qtextdoc_ms"] = peer / n;
    state.counters["vs_qtextdoc"] = peer > 0 ? ours / peer : 0;
    if (edit == 0)
        state.counters["exact"] = exact ? 1 : 0; // an unedited text comes back as it was set
}

// The editor's SaveToBinaryStream, and in the same iteration what
// "zorcc html pack" does with the same text and pictures.
void BM_SaveBinHTML50Pictures(benchmark::State &state)
{
    Workload &w = workload();
    TZORHtmlEditor &editor = *w.Editor;
    // The pictures' folder is the editor's image folder (an application
    // folder: the editor neither empties nor removes it).
    editor.SetImagePath(w.Pictures.path());
    editor.SetHTMLText(w.PictureText);
    TStringList used;
    editor.FillImageList(used);
    if (used.Count() != kPictures) {
        state.SkipWithError("the editor does not see the 50 pictures in its folder");
        editor.SetImagePath(QString());
        return;
    }
    double ours = 0, peer = 0;
    qint64 bytes = 0, packBytes = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        TMemoryStream block;
        editor.SaveToBinaryStream(block);
        const double ms = msSince(t);
        state.SetIterationTime(ms / 1000);
        ours += ms;
        bytes = block.Size();

        t.restart();
        TMemoryStream packed;
        TStringList files(w.PictureNames);
        TZORHTMLViewerHelper::WriteToBinaryStream(packed, w.PictureText, w.Pictures.path(), &files);
        peer += msSince(t);
        packBytes = packed.Size();
    }
    const double n = double(state.iterations());
    state.counters["bytes"] = double(bytes);
    state.counters["pack_bytes"] = double(packBytes);
    state.counters["pack_ms"] = peer / n;
    state.counters["vs_pack"] = peer > 0 ? ours / peer : 0;
    editor.SetImagePath(QString()); // back to a private folder
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "HtmlEditorBench: Chromium needs a display; run it under xvfb-run -a\n");
        return 1;
    }
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-gpu-compositing");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    QString error;
    if (!renderReport(error) || !makePictures(error)) {
        std::fprintf(stderr, "HtmlEditorBench: %s\n", qPrintable(error));
        return 1;
    }
    try {
        coldStart();
    } catch (const Exception &e) {
        std::fprintf(stderr, "HtmlEditorBench: the first editor failed: %s\n", qPrintable(e.Message()));
        return 1;
    }

    benchmark::RegisterBenchmark("LoadSerialiseReport", BM_LoadSerialiseReport)
        ->ArgName("edit")
        ->Arg(0)
        ->Arg(1)
        ->Arg(2)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3)
        ->UseManualTime();
    benchmark::RegisterBenchmark("SaveBinHTML50Pictures", BM_SaveBinHTML50Pictures)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(20)
        ->UseManualTime();
    benchmark::RunSpecifiedBenchmarks();

    std::printf("\nCold start, first editor to its first loaded text: %.0f ms\n", workload().ColdStartMs);
    std::printf("Report page: %lld characters\n", static_cast<long long>(workload().Report.size()));
    workload().Editor.reset(); // before the application goes
    benchmark::Shutdown();
    return 0;
}
