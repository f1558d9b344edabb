// zorcc image and imagelist as users run them, on the sample pictures.
#include "RunZorcc.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

const QString kSamples = QStringLiteral(ZOR_SOURCE_DIR "/examples/data/images");

QString sample(const char *name) { return kSamples + u'/' + QLatin1String(name); }

QJsonDocument json(const ZorccRun &r)
{
    QJsonParseError e;
    const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8(), &e);
    EXPECT_EQ(e.error, QJsonParseError::NoError) << r.out.toStdString() << r.err.toStdString();
    return doc;
}

void savePng(const QString &path, QSize size, QColor color)
{
    QImage img(size, QImage::Format_ARGB32);
    img.fill(color);
    ASSERT_TRUE(img.save(path, "png"));
}

bool reddish(QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; }
bool bluish(QRgb c) { return qBlue(c) > 200 && qRed(c) < 60 && qGreen(c) < 60; }

} // namespace

TEST(ZorccImage, InfoTellsFormatsByContentAndUprightSizes)
{
    const ZorccRun r = runZorcc({u"image"_s, u"info"_s, u"--json"_s, sample("photo-exif-rotated.jpg"),
                                 sample("document.pdf"), sample("logo.svg"), sample("shapes.emf"), sample("plan.wmf")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonArray all = json(r).array();
    ASSERT_EQ(all.size(), 5);
    EXPECT_EQ(all[0]["format"].toString(), u"jpg"_s);
    EXPECT_EQ(all[0]["width"].toInt(), 640);   // stored 427 x 640, turned by its EXIF orientation
    EXPECT_EQ(all[0]["height"].toInt(), 427);
    EXPECT_EQ(all[1]["format"].toString(), u"pdf"_s);
    EXPECT_EQ(all[1]["pages"].toInt(), 2);
    EXPECT_EQ(all[1]["width"].toInt(), 595);
    EXPECT_EQ(all[2]["format"].toString(), u"svg"_s);
    EXPECT_TRUE(all[2]["vector"].toBool());
    EXPECT_EQ(all[3]["format"].toString(), u"emf"_s);
    EXPECT_FALSE(all[3]["writable"].toBool());
    EXPECT_EQ(all[4]["format"].toString(), u"wmf"_s);

    QTemporaryDir dir;
    QFile bad(dir.filePath(u"bad.png"_s));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("garbage");
    bad.close();
    const ZorccRun b = runZorcc({u"image"_s, u"info"_s, bad.fileName()});
    EXPECT_EQ(b.exitCode, 0);   // readable file, just no picture
    EXPECT_TRUE(b.out.contains(u"bitmap"_s)) << b.out.toStdString();
    const ZorccRun missing = runZorcc({u"image"_s, u"info"_s, dir.filePath(u"none.png"_s)});
    EXPECT_EQ(missing.exitCode, 1);
}

TEST(ZorccImage, ThumbRoundsHalvesToEvenAndTakesTheFormatFromTheName)
{
    QTemporaryDir dir;
    const QString in = dir.filePath(u"wide.png"_s);
    savePng(in, QSize(500, 200), Qt::red);
    const ZorccRun r = runZorcc({u"image"_s, u"thumb"_s, in, dir.filePath(u"t.jpg"_s), u"--height"_s, u"45"_s});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QImage t(dir.filePath(u"t.jpg"_s));
    EXPECT_EQ(t.size(), QSize(112, 45));
    QFile f(dir.filePath(u"t.jpg"_s));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(3) == QByteArray("\xFF\xD8\xFF"));

    // A PDF page gives PNG without a format; the derived size follows the page.
    const ZorccRun p = runZorcc({u"image"_s, u"thumb"_s, sample("document.pdf"), dir.filePath(u"p.out"_s),
                                 u"--width"_s, u"200"_s});
    ASSERT_EQ(p.exitCode, 0) << p.err.toStdString();
    QImage page;
    ASSERT_TRUE(page.load(dir.filePath(u"p.out"_s), "png"));
    EXPECT_EQ(page.size(), QSize(200, 283));

    const ZorccRun bad = runZorcc({u"image"_s, u"thumb"_s, in, dir.filePath(u"x.out"_s), u"--format"_s, u"emf"_s});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(bad.err.contains(u"Unknown Graphic-Format emf requested!"_s)) << bad.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(u"x.out"_s)));
    EXPECT_EQ(runZorcc({u"image"_s, u"thumb"_s, in, dir.filePath(u"y.png"_s), u"--height"_s, u"-3"_s}).exitCode, 2);
}

TEST(ZorccImage, ConvertCopiesTheSameFormatAndRefusesUnknownOnes)
{
    QTemporaryDir dir;
    const ZorccRun same = runZorcc({u"image"_s, u"convert"_s, sample("photo.jpg"), dir.filePath(u"copy.jpeg"_s)});
    ASSERT_EQ(same.exitCode, 0) << same.err.toStdString();
    QFile a(sample("photo.jpg")), b(dir.filePath(u"copy.jpeg"_s));
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());

    const ZorccRun bmp = runZorcc({u"image"_s, u"convert"_s, sample("icon.png"), dir.filePath(u"icon.bmp"_s)});
    ASSERT_EQ(bmp.exitCode, 0) << bmp.err.toStdString();
    const QImage flat(dir.filePath(u"icon.bmp"_s));
    EXPECT_EQ(flat.pixel(0, 0), qRgb(255, 255, 255));   // transparency flattened onto white

    const ZorccRun unknown = runZorcc({u"image"_s, u"convert"_s, sample("icon.png"), dir.filePath(u"x.xyz"_s)});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.contains(u"Unknown Graphic-Format xyz requested!"_s)) << unknown.err.toStdString();
}

TEST(ZorccImage, RenderTurnsMetafilesClockwise)
{
    QTemporaryDir dir;
    // shapes.emf: left half red, a blue ellipse in the right half.
    const QString upright = dir.filePath(u"up.png"_s), turned = dir.filePath(u"turned.png"_s);
    ASSERT_EQ(runZorcc({u"image"_s, u"render"_s, sample("shapes.emf"), upright, u"--width"_s, u"200"_s,
                        u"--height"_s, u"100"_s}).exitCode, 0);
    const ZorccRun r = runZorcc({u"image"_s, u"render"_s, sample("shapes.emf"), turned, u"--width"_s, u"100"_s,
                                 u"--height"_s, u"200"_s, u"--rotate"_s, u"90"_s});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QImage up(upright), t(turned);
    EXPECT_TRUE(reddish(up.pixel(50, 50)));
    EXPECT_TRUE(bluish(up.pixel(150, 50)));
    // A quarter turn clockwise brings the left half to the top.
    EXPECT_TRUE(reddish(t.pixel(50, 50)));
    EXPECT_TRUE(bluish(t.pixel(50, 150)));

    const ZorccRun odd = runZorcc({u"image"_s, u"render"_s, sample("shapes.emf"), dir.filePath(u"w.png"_s),
                                   u"--width"_s, u"40"_s, u"--height"_s, u"40"_s, u"--rotate"_s, u"45"_s});
    ASSERT_EQ(odd.exitCode, 0);
    const QImage white(dir.filePath(u"w.png"_s));
    EXPECT_EQ(white.pixel(20, 20), qRgb(255, 255, 255));

    const ZorccRun svg = runZorcc({u"image"_s, u"render"_s, sample("plan.wmf"), dir.filePath(u"plan.svg"_s),
                                   u"--width"_s, u"200"_s, u"--height"_s, u"100"_s});
    ASSERT_EQ(svg.exitCode, 0) << svg.err.toStdString();
    QFile s(dir.filePath(u"plan.svg"_s));
    ASSERT_TRUE(s.open(QIODevice::ReadOnly));
    const QByteArray text = s.readAll();
    EXPECT_TRUE(text.contains("<svg"));
    EXPECT_FALSE(text.contains("<image"));   // drawn as shapes, not pixels
    EXPECT_EQ(runZorcc({u"image"_s, u"render"_s, sample("plan.wmf"), dir.filePath(u"x.png"_s)}).exitCode, 2);
}

TEST(ZorccImage, PdfPagesAtAResolution)
{
    QTemporaryDir dir;
    const ZorccRun r = runZorcc({u"image"_s, u"pdf-page"_s, sample("document.pdf"), dir.filePath(u"p2.png"_s),
                                 u"--page"_s, u"2"_s, u"--dpi"_s, u"36"_s});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QImage page(dir.filePath(u"p2.png"_s));
    EXPECT_EQ(page.size(), QSize(298, 421));
    const ZorccRun missing = runZorcc({u"image"_s, u"pdf-page"_s, sample("document.pdf"), dir.filePath(u"p3.png"_s),
                                       u"--page"_s, u"3"_s});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains(u"no page 3"_s)) << missing.err.toStdString();
    EXPECT_EQ(runZorcc({u"image"_s, u"pdf-page"_s, sample("photo.jpg"), dir.filePath(u"n.png"_s)}).exitCode, 1);
}

TEST(ZorccImage, ThumbsFillTheCacheOnceAndRecordFailures)
{
    QTemporaryDir dir;
    const QString pics = dir.filePath(u"pics"_s), cache = dir.filePath(u"cache"_s);
    QDir().mkpath(pics);
    for (const char *name : {"photo.jpg", "icon.png", "document.pdf", "logo.svg", "shapes.emf"})
        ASSERT_TRUE(QFile::copy(sample(name), pics + u'/' + QLatin1String(name)));
    QFile broken(pics + u"/broken.png"_s);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("\x89PNG but not really");
    broken.close();
    QFile text(pics + u"/notes.txt"_s);   // not a picture by name: left alone
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.close();

    const QStringList args{u"image"_s, u"thumbs"_s, pics, u"--cache"_s, cache, u"--jobs"_s, u"3"_s, u"--json"_s};
    const ZorccRun first = runZorcc(args);
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    QMap<QString, QString> status;
    for (const QJsonValue v : json(first).object()["files"].toArray())
        status[QFileInfo(v["file"].toString()).fileName()] = v["status"].toString();
    EXPECT_EQ(status.size(), 6);
    EXPECT_EQ(status[u"photo.jpg"_s], u"created"_s);
    EXPECT_EQ(status[u"logo.svg"_s], u"created"_s);
    EXPECT_EQ(status[u"shapes.emf"_s], u"created"_s);
    EXPECT_EQ(status[u"broken.png"_s], u"failed"_s);
    EXPECT_EQ(QDir(cache + u"/normal"_s).entryList(QDir::Files).size(), 5);

    const ZorccRun second = runZorcc(args);
    status.clear();
    for (const QJsonValue v : json(second).object()["files"].toArray())
        status[QFileInfo(v["file"].toString()).fileName()] = v["status"].toString();
    EXPECT_EQ(status[u"photo.jpg"_s], u"cached"_s);
    EXPECT_EQ(status[u"document.pdf"_s], u"cached"_s);
    EXPECT_EQ(status[u"broken.png"_s], u"failed before"_s);

    const ZorccRun summary = runZorcc({u"image"_s, u"thumbs"_s, pics, u"--cache"_s, cache, u"--size"_s, u"large"_s});
    EXPECT_TRUE(summary.out.contains(u"6 pictures: 5 created, 0 cached, 1 failed"_s)) << summary.out.toStdString();
    EXPECT_EQ(runZorcc({u"image"_s, u"thumbs"_s, pics, u"--size"_s, u"huge"_s}).exitCode, 2);
}

TEST(ZorccImageList, PackUnpackScaleAndInfo)
{
    QTemporaryDir dir;
    const QString small = dir.filePath(u"16"_s), large = dir.filePath(u"32"_s), same = dir.filePath(u"16b"_s);
    for (const QString &d : {small, large, same})
        QDir().mkpath(d);
    const QColor colors[] = {Qt::red, Qt::green, Qt::blue};
    for (int i = 0; i < 3; ++i) {
        savePng(small + u"/%1.png"_s.arg(i), QSize(16, 16), colors[i]);
        savePng(large + u"/%1.png"_s.arg(i), QSize(32, 32), colors[2 - i]);
    }
    savePng(same + u"/a.png"_s, QSize(16, 16), Qt::black);
    const QString set = dir.filePath(u"icons.zis"_s);
    const ZorccRun pack = runZorcc({u"imagelist"_s, u"pack"_s, set, small, large});
    ASSERT_EQ(pack.exitCode, 0) << pack.err.toStdString();

    const ZorccRun info = runZorcc({u"imagelist"_s, u"info"_s, u"--json"_s, set});
    ASSERT_EQ(info.exitCode, 0) << info.err.toStdString();
    const QJsonArray lists = json(info).object()["lists"].toArray();
    ASSERT_EQ(lists.size(), 2);
    EXPECT_EQ(lists[1]["width"].toInt(), 32);
    EXPECT_EQ(lists[1]["images"].toInt(), 3);

    const QString out = dir.filePath(u"out"_s);
    ASSERT_EQ(runZorcc({u"imagelist"_s, u"unpack"_s, set, out}).exitCode, 0);
    EXPECT_EQ(QImage(out + u"/32x32/000.png"_s).pixel(5, 5), QColor(Qt::blue).rgb());
    EXPECT_EQ(QImage(out + u"/16x16/002.png"_s).pixel(5, 5), QColor(Qt::blue).rgb());

    // A 24-pixel list is made from the 32-pixel one and joins the set.
    const QString scaled = dir.filePath(u"scaled.zis"_s);
    const ZorccRun sc = runZorcc({u"imagelist"_s, u"scale"_s, set, scaled, u"--size"_s, u"24"_s});
    ASSERT_EQ(sc.exitCode, 0) << sc.err.toStdString();
    EXPECT_TRUE(sc.out.contains(u"from the 32 x 32 list"_s)) << sc.out.toStdString();
    const QJsonArray three = json(runZorcc({u"imagelist"_s, u"info"_s, u"--json"_s, scaled})).object()["lists"].toArray();
    ASSERT_EQ(three.size(), 3);
    EXPECT_EQ(three[2]["width"].toInt(), 24);

    const ZorccRun twice = runZorcc({u"imagelist"_s, u"pack"_s, dir.filePath(u"bad.zis"_s), small, same});
    EXPECT_EQ(twice.exitCode, 1);
    EXPECT_FALSE(QFile::exists(dir.filePath(u"bad.zis"_s)));

    // A cut-off set: the reader's error, not a crash.
    QFile whole(set);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    QFile cut(dir.filePath(u"cut.zis"_s));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(bytes.left(bytes.size() - 10));
    cut.close();
    const ZorccRun damaged = runZorcc({u"imagelist"_s, u"info"_s, cut.fileName()});
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_TRUE(damaged.err.contains(u"Stream read error"_s)) << damaged.err.toStdString();
    EXPECT_EQ(runZorcc({u"imagelist"_s, u"scale"_s, set, scaled}).exitCode, 2);
}
