// Pictures in an application: recognising formats by content, thumbnails,
// conversion, drawing turned pictures, image lists kept in one file for
// every screen size, DPI arithmetic and the desktop's thumbnail cache.
// Exits with 1 when a result is not the one shown in the guide.
#include <ZorCompCore/imaging/CategoryColorIcons.h>
#include <ZorCompCore/imaging/EnvisionUtils.h>
#include <ZorCompCore/imaging/GraphicClass.h>
#include <ZorCompCore/imaging/HiDPI.h>
#include <ZorCompCore/imaging/ImageListUtils.h>
#include <ZorCompCore/imaging/PDFThumbnail.h>
#include <ZorCompCore/imaging/ThumbnailCache.h>
#include <ZorCompCore/imaging/widgets/ControlsHelper.h>
#include <ZorCompCore/platform/ImageList.h>
#include <ZorCompCore/platform/MulDiv.h>
#include <ZorCompCore/platform/Stream.h>

#include <QApplication>
#include <QBuffer>
#include <QDialog>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTextStream>

using namespace zor;

namespace {

QTextStream out(stdout);
int failures = 0;

void check(bool ok, const char *what)
{
    if (!ok) {
        out << "unexpected: " << what << '\n';
        ++failures;
    }
}

QByteArray readData(const char *name)
{
    QFile f(qEnvironmentVariable("ZOR_GUIDE_DATA") + u'/' + QLatin1String(name));
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

QByteArray png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);

    // 1. Formats are recognised by content, never by name.
    const QByteArray photo = readData("photo-exif-rotated.jpg");
    const QByteArray logo = readData("logo.svg");
    out << "photo: " << GuessImageDataFormat(photo) << ", logo: " << GuessImageDataFormat(logo)
        << ", text: " << GuessImageDataFormat("<?xml version=\"1.0\"?><html/>") << '\n';
    check(GuessImageDataFormat(photo) == u"jpg", "a JPEG");
    check(FindDibGraphicClass(QStringLiteral(".JPEG")) == FindDibGraphicClass(QStringLiteral("jpg")), "aliases");

    // 2. Thumbnails: height first, then width; 0 follows from the other side.
    QImage wide(500, 200, QImage::Format_ARGB32);
    wide.fill(Qt::transparent);
    QPainter(&wide).fillRect(0, 0, 250, 200, Qt::red);
    QByteArray thumb = png(wide);
    ConvertImage(thumb, 45, 0, QStringLiteral("jpg"));
    const QImage small = QImage::fromData(thumb);
    out << "thumbnail: " << small.width() << " x " << small.height() << ", right half "
        << QColor(small.pixel(100, 20)).name() << '\n';
    check(small.size() == QSize(112, 45), "112.5 rounds to the even 112");
    check(small.pixel(100, 20) == qRgb(255, 255, 255), "transparency becomes white in a JPEG");

    // The photo is stored on its side; its EXIF orientation turns it upright.
    QByteArray upright = photo;
    ConvertImage(upright, 0, 160, QString());
    out << "photo thumbnail: " << QImage::fromData(upright).width() << " x " << QImage::fromData(upright).height()
        << '\n';
    check(QImage::fromData(upright).size() == QSize(160, 107), "the photo upright");

    // 3. Conversion raises for formats nothing writes.
    TBytesStream source(logo);
    TMemoryStream dest;
    try {
        ConvertImageFormat(source, dest, QStringLiteral("emf"));
    } catch (const EEnvisionError &e) {
        out << "convert: " << e.Message() << '\n';
        check(e.Message() == u"Unknown Graphic-Format emf requested!", "metafiles are read only");
    }
    source.SetPosition(0);
    ConvertImageFormat(source, dest, QStringLiteral("png"));
    check(QImage::fromData(dest.ToBytes()).size() == QSize(240, 160), "the SVG at its own size");

    // 4. Drawing a picture turned clockwise into a rectangle.
    QImage canvas(160, 240, QImage::Format_RGB32);
    QPainter painter(&canvas);
    TBytesStream svg(logo);
    EMFRenderImageToDC(svg, &painter, 0, 0, 160, 240, 0, 0, 90, false, false);
    painter.end();
    // The logo's yellow circle sits on its left; a quarter turn puts it on top.
    out << "turned: top " << QColor(canvas.pixel(80, 70)).name() << ", bottom "
        << QColor(canvas.pixel(80, 200)).name() << '\n';
    check(qRed(canvas.pixel(80, 70)) > 200 && qBlue(canvas.pixel(80, 70)) < 100, "the circle on top");

    // 5. One file keeps the icons for every screen: a set of image lists.
    TImageList icons16, icons32;
    icons16.SetSize(16, 16);
    icons32.SetSize(32, 32);
    icons32.SetSourceDPI(192);
    const QIcon open = app.style()->standardIcon(QStyle::SP_DialogOpenButton);
    for (TImageList *list : {&icons16, &icons32}) {
        TImageListUtils::AddIconScaled(open, list, true);
        TImageListUtils::AddIconScaled(QIcon(QPixmap::fromImage(wide)), list, true);
    }
    TMemoryStream set;
    TImageListStore::SaveToSetStream({&icons16, &icons32}, set);

    // A program that only shows 32-pixel icons loads only that list.
    TImageList large;
    large.SetSize(32, 32);
    set.SetPosition(0);
    TImageListStore::LoadFromSetStream({&large}, set);
    out << "set: " << set.Size() << " bytes, the 32 px list has " << large.Count() << " icons\n";
    check(large.Count() == 2 && large.Image(1) == icons32.Image(1), "the 32 px list restored");

    // Colour-coded categories: one square per colour, black drawn as 0x010101.
    TCategoryColorIcons categories;
    categories.SetImageList(&large);
    const int red = categories.GetIndexByColor(0x0000FF);   // TColor is 0x00BBGGRR
    check(categories.GetIndexByColor(0) == categories.GetIndexByColor(0x010101), "black shares its square");
    check(large.Image(red).pixel(15, 15) == qRgb(255, 0, 0), "a red square");
    categories.Clear();
    check(large.Count() == 2, "the category squares leave again");

    // 6. DPI: design sizes of a form scaled to the screen it is on.
    QDialog form;
    form.setProperty("PixelsPerInch", 96);
    auto *button = new QPushButton(&form);
    const int iconSize = TZORControlHelper::ScaleDesignDimToDPI(button, 16, true);
    out << "screen " << CurrentPPI(button) << " dpi: 16 design pixels are " << iconSize << " pixels\n";
    check(iconSize == MulDiv(16, CurrentPPI(button), 96), "MulDiv(16, screen, 96)");
    // The image list designed at 192 dpi counts 32 pixels as 16 at 96 dpi.
    check(THiDPIImageListHelper::ScaledWidth(&icons32, 96) == 16, "the list's own DPI");

    // 7. The desktop's thumbnail cache, shared with file managers.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("wide [1].png"));
    wide.save(file);
    const TThumbnailCache cache(dir.filePath(QStringLiteral("thumbnails")));
    const TThumbnailCache::TResult first = cache.Thumbnail(file, TThumbnailSize::Normal);
    const TThumbnailCache::TResult again = cache.Thumbnail(file, TThumbnailSize::Normal);
    out << "cache: " << TThumbnailCache::FileUri(file).section(u'/', -1) << ' ' << first.Image.width() << " x "
        << first.Image.height() << (again.Status == TThumbnailCache::tsCached ? ", then from the cache" : "") << '\n';
    check(first.Status == TThumbnailCache::tsCreated && again.Status == TThumbnailCache::tsCached, "made once");

    return failures ? 1 : 0;
}
