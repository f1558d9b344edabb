// zorcc preview as users run it on the preview samples: which previewer the
// pane takes (by name first, by content for files without a useful name),
// and the pane grabbed, the PDF's page coming from the worker built beside
// zorcc.
#include "RunZorcc.h"

#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

const QString kSamples = QStringLiteral(ZOR_SOURCE_DIR "/examples/data/preview");

QJsonObject which(const QString &file)
{
    const ZorccRun r = runZorcc({u"preview"_s, u"which"_s, file, u"--json"_s});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return QJsonDocument::fromJson(r.out.toUtf8()).object();
}

} // namespace

TEST(ZorccPreview, WhichTakesTheNameFirstThenTheContent)
{
    const struct
    {
        const char *file, *previewer, *runs;
    } rows[] = {
        {"picture.png", "pictures", "in process"}, {"drawing.svg", "pictures", "in process"},
        {"shapes.emf", "pictures", "in process"},  {"notes.txt", "text", "in process"},
        {"readme.md", "Markdown", "in process"},   {"page.html", "HTML", "in process"},
        {"report.pdf", "PDF pages", "in zor-preview-worker"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.file);
        const QJsonObject j = which(kSamples + u'/' + QLatin1String(row.file));
        EXPECT_EQ(j[u"previewer"_s].toString(), QLatin1String(row.previewer));
        EXPECT_EQ(j[u"runs"_s].toString(), QLatin1String(row.runs));
        EXPECT_EQ(j[u"foundBy"_s].toString(), u"name"_s);
    }
    // Markdown reads as plain text by content: the name must win.
    EXPECT_EQ(which(kSamples + u"/readme.md"_s)[u"typeByContent"_s].toString(), u"text/plain"_s);

    const QJsonObject none = which(kSamples + u"/data.xyz"_s);
    EXPECT_EQ(none[u"class"_s].toString(), QString());
    EXPECT_TRUE(none[u"none"_s].toString().contains(u"application/octet-stream"_s));

    // Without an extension the content decides.
    QTemporaryDir dir;
    const QString bare = dir.filePath(u"report"_s);
    ASSERT_TRUE(QFile::copy(kSamples + u"/report.pdf"_s, bare));
    const QJsonObject byContent = which(bare);
    EXPECT_EQ(byContent[u"foundBy"_s].toString(), u"content"_s);
    EXPECT_EQ(byContent[u"previewer"_s].toString(), u"PDF pages"_s);

    const ZorccRun missing = runZorcc({u"preview"_s, u"which"_s, dir.filePath(u"gone.png"_s)});
    EXPECT_EQ(missing.exitCode, 1);
}

TEST(ZorccPreview, RenderGrabsThePaneAndReportsWhatItShowsInstead)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(u"page.png"_s);
    ZorccRun r = runZorcc({u"preview"_s, u"render"_s, kSamples + u"/report.pdf"_s, out, u"--size"_s, u"400x300"_s});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QImage shot(out);
    ASSERT_EQ(shot.size(), QSize(400, 300));
    // The first page's red band, a quarter down the page.
    const QColor band = shot.pixelColor(200, 75);
    EXPECT_TRUE(band.red() > 180 && band.green() < 90 && band.blue() < 90) << band.name().toStdString();

    r = runZorcc({u"preview"_s, u"render"_s, kSamples + u"/broken.png"_s, dir.filePath(u"broken.png"_s)});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(u"(Item was corrupt"_s)) << r.err.toStdString();
    EXPECT_TRUE(QImage(dir.filePath(u"broken.png"_s)).width() > 0) << "the painted error is saved too";

    r = runZorcc({u"preview"_s, u"render"_s, kSamples + u"/notes.txt"_s, out, u"--size"_s, u"0x5"_s});
    EXPECT_EQ(r.exitCode, 2);
}
