// Report helpers in worker threads, as background report generation runs
// them: each its own helper, loads queued on the shared lock, saves at once.
// Built and run under the thread sanitizer too.
#include "RichTextDump.h"

#include <ZorCompCore/richtext/engine/QEWPHTMLWriter.h>
#include <ZorCompCore/richtext/engine/ReportHelper.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace zor;
using namespace richtext_test;

namespace {

QByteArray pngBytes()
{
    QImage img(12, 9, QImage::Format_ARGB32);
    img.fill(QColor(0, 128, 0, 200));
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return out;
}

// An RTF with what a report holds: styles, a table, a list, a note, a picture.
QByteArray reportRtf(int n)
{
    return "{\\rtf1{\\stylesheet{\\s1\\b\\fs28 Heading;}}\\pard\\s1 Report " + QByteArray::number(n)
           + "\\par\\pard Total{\\super\\chftn}{\\footnote\\pard\\plain{\\super\\chftn} Net.}\\par"
             "\\trowd\\cellx2000\\cellx4000\\pard\\intbl a\\cell b\\cell\\row"
             "\\pard{\\pict\\pngblip " + pngBytes().toHex() + "}\\par}";
}

struct Result
{
    QString Html;
    QStringList Images;
    int Pages = 0;
};

// One report: load, lay out, save as HTML with its picture into folder.
Result convert(const QByteArray &rtf, const QString &folder)
{
    TWPRichTextReportHelper helper;
    Result r;
    if (!helper.LoadFromBytes(rtf, u"RTF"_qs))
        return r;
    r.Pages = helper.PageCount();
    const QString page = QDir(folder).filePath("report.html");
    if (!helper.SaveToHTMLFile(page, u"T"_qs))
        return r;
    QFile f(page);
    if (f.open(QIODevice::ReadOnly))
        r.Html = QString::fromUtf8(f.readAll());
    for (int i = 0; i < helper.HTMLFileList().Count(); ++i)
        r.Images << helper.HTMLFileList()[i];
    return r;
}

} // namespace

// Four threads convert at once; each must produce exactly what the same
// conversion produces alone (a shared writer, image counter or layout would
// mix their output).
TEST(ReportThreads, FourHelpersConvertAtOnce)
{
    // Linked without the package, nothing has registered the writer yet.
    detail::QEWPHTMLWriterStartup();
    constexpr int kThreads = 4, kRounds = 3;
    QTemporaryDir dir;
    std::vector<Result> expected;
    for (int t = 0; t < kThreads; ++t) {
        const QString folder = dir.filePath(QString("alone%1").arg(t));
        QDir().mkpath(folder);
        expected.push_back(convert(reportRtf(t), folder));
        ASSERT_TRUE(expected.back().Html.contains(QString("Report %1").arg(t)));
        ASSERT_EQ(expected.back().Images, QStringList{"imgT0.png"});
    }

    std::vector<std::vector<Result>> results(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        const QString folder = dir.filePath(QString("thread%1").arg(t));
        QDir().mkpath(folder);
        threads.emplace_back([&results, t, folder] {
            for (int round = 0; round < kRounds; ++round)
                results[size_t(t)].push_back(convert(reportRtf(t), folder));
        });
    }
    for (std::thread &th : threads)
        th.join();

    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(results[size_t(t)].size(), size_t(kRounds));
        for (const Result &r : results[size_t(t)]) {
            EXPECT_EQ(S(r.Html), S(expected[size_t(t)].Html)) << "thread " << t;
            EXPECT_EQ(r.Images, expected[size_t(t)].Images);
            EXPECT_EQ(r.Pages, expected[size_t(t)].Pages);
        }
        QFile png(dir.filePath(QString("thread%1/imgT0.png").arg(t)));
        ASSERT_TRUE(png.open(QIODevice::ReadOnly));
        EXPECT_EQ(png.readAll(), pngBytes());
    }
}
