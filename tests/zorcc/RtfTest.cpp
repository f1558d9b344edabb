// zorcc rtf as users run it: conversion with picture files, the structure
// report, PDF with its margin checks (read back by poppler's own programs
// when they are installed).
#include "RunZorcc.h"
#include "TestUtil.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

QByteArray pngHex()
{
    QImage img(4, 3, QImage::Format_RGB32);
    img.fill(Qt::red);
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return png.toHex();
}

QString writeRtf(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(u"in.rtf"_qs);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\\rtf1{\\info{\\title Sample}{\\author Someone}}{\\*\\zordata page-background-color;ffeedd00}"
            "{\\header head}{\\footerf first}\\titlepg Hello {\\b world} {\\v hidden}"
            "{\\pict\\pngblip " + pngHex() + "}{\\pict\\pngblip " + pngHex() + "}\\page second\\par"
            "\\trowd\\cellx2000\\cellx4000\\pard\\intbl a\\cell b\\cell\\row}");
    return path;
}

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

} // namespace

TEST(ZorccRtf, ConvertWritesPictureFilesBesideTheHtml)
{
    QTemporaryDir dir;
    const QString in = writeRtf(dir);
    const QString out = dir.filePath(u"out/page.html"_qs);
    QDir().mkpath(dir.filePath(u"out"_qs));
    ZorccRun r = runZorcc({u"rtf"_qs, u"convert"_qs, in, out, u"--image-prefix"_qs, u"p"_qs,
                           u"--image-folder"_qs, u"pics"_qs});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QFile html(out);
    ASSERT_TRUE(html.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(html.readAll());
    EXPECT_TRUE(page.contains(u"src=\"pics/imgp0.png\""_qs)) << page.toStdString();
    EXPECT_TRUE(page.contains(u"src=\"pics/imgp1.png\""_qs)) << "numbered by the files already written";
    EXPECT_FALSE(page.contains(u"hidden"_qs));
    EXPECT_TRUE(QImage(dir.filePath(u"out/pics/imgp0.png"_qs)).size() == QSize(4, 3));
    EXPECT_EQ(r.out.count(u'\n'), 2) << "one line per picture file";

    r = runZorcc({u"rtf"_qs, u"convert"_qs, in, dir.filePath(u"bare.html"_qs), u"--no-images"_qs});
    ASSERT_EQ(r.exitCode, 0);
    QFile bare(dir.filePath(u"bare.html"_qs));
    ASSERT_TRUE(bare.open(QIODevice::ReadOnly));
    EXPECT_FALSE(bare.readAll().contains("<img"));

    r = runZorcc({u"rtf"_qs, u"convert"_qs, in, dir.filePath(u"x.txt"_qs), u"--format"_qs, u"txt"_qs});
    ASSERT_EQ(r.exitCode, 0);
    QFile txt(dir.filePath(u"x.txt"_qs));
    ASSERT_TRUE(txt.open(QIODevice::ReadOnly));
    EXPECT_TRUE(txt.readAll().startsWith("Hello world"));

    r = runZorcc({u"rtf"_qs, u"convert"_qs, in, dir.filePath(u"x.doc"_qs)});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(u"doc"_qs)) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(u"x.doc"_qs))) << "no file from a failed run";
    r = runZorcc({u"rtf"_qs, u"convert"_qs, dir.filePath(u"missing.rtf"_qs), out});
    EXPECT_EQ(r.exitCode, 1);
    r = runZorcc({u"rtf"_qs, u"convert"_qs, in});
    EXPECT_EQ(r.exitCode, 2);
}

TEST(ZorccRtf, InfoReportsStructureAndDataItems)
{
    QTemporaryDir dir;
    ZorccRun r = runZorcc({u"rtf"_qs, u"info"_qs, writeRtf(dir), u"--json"_qs});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject j = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(j[u"pages"_qs].toInt(), 2);
    EXPECT_EQ(j[u"tables"_qs].toInt(), 1);
    EXPECT_EQ(j[u"pictures"_qs].toInt(), 2);
    EXPECT_EQ(j[u"hiddenCharacters"_qs].toInt(), 6);
    EXPECT_EQ(j[u"info"_qs].toObject()[u"author"_qs].toString(), u"Someone"_qs);
    EXPECT_EQ(j[u"dataItems"_qs].toObject()[u"page-background-color"_qs].toObject()[u"color"_qs].toString(),
              u"#ffeedd"_qs)
        << "bytes ff ee dd 00 are 0x00DDEEFF: red ff, green ee, blue dd";
    const QJsonObject s0 = j[u"sections"_qs].toArray()[0].toObject();
    EXPECT_TRUE(s0[u"titlePage"_qs].toBool());
    EXPECT_EQ(s0[u"headersFooters"_qs].toArray().size(), 2);
}

TEST(ZorccRtf, PdfWithOptionsAndTheMarginChecks)
{
    QTemporaryDir dir;
    const QString in = writeRtf(dir);
    const QString pdf = dir.filePath(u"out.pdf"_qs);
    ZorccRun r = runZorcc({u"rtf"_qs, u"pdf"_qs, in, pdf, u"--page-size"_qs, u"letter"_qs, u"--landscape"_qs,
                           u"--margins"_qs, u"10,10,10,10"_qs, u"--subject"_qs, u"About it"_qs});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("%PDF"));

    const QString pdfinfo = QStandardPaths::findExecutable(u"pdfinfo"_qs);
    if (!pdfinfo.isEmpty()) {
        const QString info = run(pdfinfo, {pdf});
        EXPECT_TRUE(info.contains(QRegularExpression(u"Pages:\\s+2\\n"_qs))) << info.toStdString();
        EXPECT_TRUE(info.contains(QRegularExpression(u"Page size:\\s+792 x 612"_qs))) << "landscape letter";
        EXPECT_TRUE(info.contains(QRegularExpression(u"Title:\\s+Sample"_qs)));
        EXPECT_TRUE(info.contains(QRegularExpression(u"Author:\\s+Someone"_qs)));
        EXPECT_TRUE(info.contains(QRegularExpression(u"Subject:\\s+About it"_qs)));
    }
    const QString pdftotext = QStandardPaths::findExecutable(u"pdftotext"_qs);
    if (!pdftotext.isEmpty()) {
        const QString text = run(pdftotext, {pdf, u"-"_qs});
        EXPECT_TRUE(text.contains(u"Hello world"_qs)) << text.toStdString();
        EXPECT_FALSE(text.contains(u"hidden"_qs));
        EXPECT_TRUE(text.indexOf(u"first"_qs) < text.indexOf(u"second"_qs)) << "first page's own footer";
    }

    // Of A4's 210 x 297 mm, margins leave 10 mm (38 pixels) and 7 mm: too little.
    r = runZorcc({u"rtf"_qs, u"pdf"_qs, in, dir.filePath(u"h.pdf"_qs), u"--margins"_qs, u"100,10,100,10"_qs});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(u"Horizontal margins are too large"_qs)) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(u"h.pdf"_qs)));
    r = runZorcc({u"rtf"_qs, u"pdf"_qs, in, dir.filePath(u"v.pdf"_qs), u"--margins"_qs, u"10,150,10,140"_qs});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(u"Vertical margins are too large"_qs)) << r.err.toStdString();
    r = runZorcc({u"rtf"_qs, u"pdf"_qs, in, dir.filePath(u"x.pdf"_qs), u"--page-size"_qs, u"A0"_qs});
    EXPECT_EQ(r.exitCode, 2);
}
