// zorcc sprite as users run it.
#include "RunZorcc.h"

#include <QDir>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

// Faults: info counting the remainder as a frame; cut writing other sizes or
// colours than the sheet's frames; built-in names not found.
TEST(ZorccSprite, InfoAndCutOnAFileAndABuiltInSheet)
{
    QTemporaryDir dir;
    const QString sheet = dir.filePath(u"sheet.png"_s);
    QImage img(3 * 16 + 5, 16, QImage::Format_ARGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.fillRect(0, 0, 16, 16, Qt::red);
    p.fillRect(16, 0, 16, 16, Qt::green);
    p.fillRect(32, 0, 16, 16, Qt::blue);
    p.end();
    ASSERT_TRUE(img.save(sheet, "png"));

    ZorccRun r = runZorcc({u"sprite"_s, u"info"_s, sheet});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, sheet + u": 53 x 16, 3 frames of 16 x 16, 5 columns at the right ignored\n"_s);

    r = runZorcc({u"sprite"_s, u"cut"_s, sheet, dir.filePath(u"out"_s)});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QImage last(dir.filePath(u"out/frame002.png"_s));
    EXPECT_EQ(last.size(), QSize(16, 16));
    EXPECT_EQ(last.pixel(8, 8), qRgb(0, 0, 255));
    EXPECT_FALSE(QFile::exists(dir.filePath(u"out/frame003.png"_s)));

    r = runZorcc({u"sprite"_s, u"info"_s, u"--json"_s, u"--ratio"_s, u"2"_s, u"ZORLOADINGANIM_BLKS32"_s});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(o["frames"].toInt(), 23);
    EXPECT_EQ(o["frameSize"].toInt(), 64);
    EXPECT_EQ(o["width"].toInt(), 1472);
}

// Faults: bad input exiting 0 or 2; wrong usage exiting 1.
TEST(ZorccSprite, BadInputAndWrongUsage)
{
    QTemporaryDir dir;
    const QString text = dir.filePath(u"note.png"_s);
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a picture");
    f.close();
    ZorccRun r = runZorcc({u"sprite"_s, u"info"_s, text});
    EXPECT_EQ(r.exitCode, 1);
    // The last line: Qt may warn about the session first.
    EXPECT_TRUE(r.err.endsWith(text + u": Sprite sheet is not a PNG image\n"_s)) << r.err.toStdString();
    r = runZorcc({u"sprite"_s, u"info"_s, u"NO_SUCH_SHEET"_s});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(u"no such file or built-in sheet"_s)) << r.err.toStdString();
    r = runZorcc({u"sprite"_s, u"cut"_s, text});
    EXPECT_EQ(r.exitCode, 2);
    r = runZorcc({u"sprite"_s, u"info"_s, u"--ratio"_s, u"3"_s, text});
    EXPECT_EQ(r.exitCode, 2);
}
