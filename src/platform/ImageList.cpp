#include "ImageList.h"

#include "Exception.h"
#include "Stream.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QtEndian>

#include <cmath>

namespace zor {

TFiler::~TFiler() = default;

namespace {

constexpr char kMagic[4] = {'Z', 'I', 'L', '1'};
constexpr quint32 kVersion = 1;
constexpr int kHeaderSize = 24;

QImage Fit(const QImage &image, int w, int h)
{
    QImage img = image.convertToFormat(QImage::Format_ARGB32);
    if (img.size() != QSize(w, h) && w > 0 && h > 0)
        img = img.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return img;
}

[[noreturn]] void Bad(const QString &what)
{
    throw EReadError(QStringLiteral("Invalid image list data: ") + what);
}

} // namespace

struct TImageList::Private
{
    int width = 16;
    int height = 16;
    int sourceDpi = 96;
    QList<QImage> images;
    int updates = 0;
    bool changed = false;
};

TImageList::TImageList(QObject *AOwner) : TComponent(AOwner), d(std::make_unique<Private>()) {}
TImageList::~TImageList() = default;

int TImageList::Width() const { return d->width; }
int TImageList::Height() const { return d->height; }
void TImageList::SetWidth(int AValue) { SetSize(AValue, d->height); }
void TImageList::SetHeight(int AValue) { SetSize(d->width, AValue); }

void TImageList::SetSize(int AWidth, int AHeight)
{
    AWidth = qMax(1, AWidth);
    AHeight = qMax(1, AHeight);
    if (AWidth == d->width && AHeight == d->height)
        return;
    d->width = AWidth;
    d->height = AHeight;
    d->images.clear();
    DoChange();
}

int TImageList::SourceDPI() const { return d->sourceDpi; }
void TImageList::SetSourceDPI(int AValue) { d->sourceDpi = AValue > 0 ? AValue : 96; }
int TImageList::Count() const { return int(d->images.size()); }

int TImageList::Add(const QImage &AImage)
{
    d->images.append(Fit(AImage, d->width, d->height));
    DoChange();
    return Count() - 1;
}

void TImageList::Insert(int AIndex, const QImage &AImage)
{
    if (AIndex < 0 || AIndex > Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(AIndex));
    d->images.insert(AIndex, Fit(AImage, d->width, d->height));
    DoChange();
}

void TImageList::Replace(int AIndex, const QImage &AImage)
{
    if (AIndex < 0 || AIndex >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(AIndex));
    d->images[AIndex] = Fit(AImage, d->width, d->height);
    DoChange();
}

void TImageList::Delete(int AIndex)
{
    if (AIndex < 0 || AIndex >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(AIndex));
    d->images.removeAt(AIndex);
    DoChange();
}

void TImageList::Clear()
{
    if (d->images.isEmpty())
        return;
    d->images.clear();
    DoChange();
}

QImage TImageList::Image(int AIndex) const
{
    return AIndex >= 0 && AIndex < Count() ? d->images[AIndex] : QImage();
}

void TImageList::BeginUpdate() { ++d->updates; }

void TImageList::EndUpdate()
{
    if (d->updates > 0 && --d->updates == 0 && d->changed)
        DoChange();
}

void TImageList::DoChange()
{
    if (d->updates > 0) {
        d->changed = true;
        return;
    }
    d->changed = false;
    if (OnChange)
        OnChange(this);
    Q_EMIT Changed();
}

void TImageList::DefineProperties(TFiler &Filer)
{
    Filer.DefineBinaryProperty(
        QStringLiteral("Bitmap"), [this](TStream &s) { ReadBitmapData(s.ReadAll()); },
        [this](TStream &s) {
            const QByteArray data = BitmapData();
            s.WriteBuffer(data.constData(), data.size());
        },
        Count() > 0);
}

QByteArray TImageList::BitmapData() const
{
    const int count = Count();
    const int columns = qMax(1, int(std::ceil(std::sqrt(double(count)))));
    const int rows = (count + columns - 1) / columns;
    QImage sheet(columns * d->width, qMax(1, rows) * d->height, QImage::Format_ARGB32);
    sheet.fill(Qt::transparent);
    {
        QPainter p(&sheet);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        for (int i = 0; i < count; ++i)
            p.drawImage((i % columns) * d->width, (i / columns) * d->height, d->images[i]);
    }
    QByteArray out(kMagic, 4);
    auto put = [&out](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        out.append(b, 4);
    };
    put(kVersion);
    put(quint32(d->width));
    put(quint32(d->height));
    put(quint32(count));
    put(quint32(columns));
    QBuffer buffer(&out);
    buffer.open(QIODevice::Append);
    QImageWriter writer(&buffer, "png");
    writer.write(sheet);
    return out;
}

void TImageList::ReadBitmapData(const QByteArray &AData)
{
    if (AData.size() < kHeaderSize || !AData.startsWith(QByteArray(kMagic, 4)))
        Bad(QStringLiteral("no image list header"));
    const auto *p = reinterpret_cast<const uchar *>(AData.constData());
    const quint32 version = qFromLittleEndian<quint32>(p + 4);
    const quint32 w = qFromLittleEndian<quint32>(p + 8), h = qFromLittleEndian<quint32>(p + 12);
    const quint32 count = qFromLittleEndian<quint32>(p + 16), columns = qFromLittleEndian<quint32>(p + 20);
    if (version != kVersion)
        Bad(QStringLiteral("version %1").arg(version));
    if (w < 1 || h < 1 || w > 4096 || h > 4096 || columns < 1 || columns > 65536 || count > 1u << 20)
        Bad(QStringLiteral("size %1 x %2, %3 images in %4 columns").arg(w).arg(h).arg(count).arg(columns));
    const quint64 rows = count ? (count + columns - 1) / columns : 1;
    const quint64 sheetW = quint64(columns) * w, sheetH = rows * h;
    QByteArray png = AData.mid(kHeaderSize);
    QBuffer buffer(&png);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    // The sheet must be what the header says before a pixel is decoded.
    if (reader.size() != QSize(int(qMin<quint64>(sheetW, 1u << 30)), int(qMin<quint64>(sheetH, 1u << 30))))
        Bad(QStringLiteral("the sheet is not %1 x %2 pixels").arg(sheetW).arg(sheetH));
    const QImage sheet = reader.read().convertToFormat(QImage::Format_ARGB32);
    if (sheet.isNull())
        Bad(reader.errorString());
    QList<QImage> images;
    images.reserve(count);
    for (quint32 i = 0; i < count; ++i)
        images << sheet.copy(int(i % columns * w), int(i / columns * h), int(w), int(h));
    d->width = int(w);
    d->height = int(h);
    d->images = images;
    DoChange();
}

} // namespace zor
