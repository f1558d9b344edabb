#include "ThumbnailCache.h"

#include "EnvisionUtils.h"
#include "Graphic.h"
#include "GraphicClass.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryFile>
#include <QtEndian>

#include <array>

#include <cstdio>
#include <cstring>

namespace zor {

namespace {

// Pictures are read whole; a file beyond this is refused instead.
constexpr qint64 kMaxFileBytes = qint64(512) << 20;

struct TSizeRow { TThumbnailSize size; int pixels; const char *name; };
constexpr TSizeRow kSizes[] = {
    {TThumbnailSize::Normal, 128, "normal"},
    {TThumbnailSize::Large, 256, "large"},
    {TThumbnailSize::XLarge, 512, "x-large"},
    {TThumbnailSize::XXLarge, 1024, "xx-large"},
};

const TSizeRow &Row(TThumbnailSize s)
{
    for (const TSizeRow &r : kSizes)
        if (r.size == s)
            return r;
    return kSizes[0];
}

// The characters GLib leaves as they are in the path of a file URI.
bool KeptInPath(uchar c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return c && std::strchr("!$&'()*+,-./:=@_~", c);
}

// Seconds, as the cache's "Thumb::MTime" records them.
QString MTimeOf(const QFileInfo &info)
{
    return QString::number(info.lastModified().toSecsSinceEpoch());
}

bool MakeFolder(const QString &path)
{
    if (QFileInfo(path).isDir())
        return true;
    if (!MakeFolder(QFileInfo(path).absolutePath()))
        return false;
    if (QDir().mkdir(path))
        return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return QFileInfo(path).isDir();   // another thread made it meanwhile
}

uint32_t Crc32(const char *data, qsizetype n, uint32_t crc = 0xFFFFFFFFu)
{
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    for (qsizetype i = 0; i < n; ++i)
        crc = table[(crc ^ uchar(data[i])) & 0xFF] ^ (crc >> 8);
    return crc;
}

QByteArray Chunk(const QByteArray &type, const QByteArray &body)
{
    QByteArray c(4, '\0');
    qToBigEndian(quint32(body.size()), c.data());
    const QByteArray typed = type + body;
    c += typed;
    char crc[4];
    qToBigEndian(quint32(Crc32(typed.constData(), typed.size()) ^ 0xFFFFFFFFu), crc);
    return c.append(crc, 4);
}

// The PNG with the entry's texts as plain tEXt chunks right after the
// header, where readers of the cache look for them. (Qt's writer compresses
// long texts, and its reader splits keys at the colon of "Thumb::URI".)
QByteArray EncodeEntry(const QImage &image, const QList<QPair<QByteArray, QByteArray>> &texts)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image) || png.size() < 33)
        return {};
    QByteArray chunks;
    for (const auto &[key, value] : texts)
        chunks += Chunk("tEXt", key + '\0' + value);
    return png.insert(33, chunks);   // signature (8) + IHDR (25)
}

// The tEXt chunks before the image data. Lengths are checked against the
// bytes present, so a damaged entry only reads as "no texts".
QHash<QByteArray, QByteArray> ReadTexts(const QString &path)
{
    QHash<QByteArray, QByteArray> texts;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.read(8) != QByteArray("\x89PNG\r\n\x1a\n", 8))
        return texts;
    while (true) {
        const QByteArray head = file.read(8);
        if (head.size() != 8)
            break;
        const quint32 length = qFromBigEndian<quint32>(head.constData());
        const QByteArray type = head.mid(4);
        if (type == "IDAT" || type == "IEND" || length > quint64(file.size() - file.pos()))
            break;
        if (type == "tEXt" && length <= 65536) {
            const QByteArray body = file.read(length);
            const qsizetype zero = body.indexOf('\0');
            if (zero > 0)
                texts.insert(body.left(zero), body.mid(zero + 1));
            file.skip(4);
        } else {
            file.skip(qint64(length) + 4);
        }
    }
    return texts;
}

// Writes the entry next to its final name (QTemporaryFile makes it 0600)
// and renames it into place, so readers never see half an entry.
bool WriteEntry(const QString &path, const QByteArray &png, QString *error)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!MakeFolder(folder)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(folder);
        return false;
    }
    QTemporaryFile temp(folder + QStringLiteral("/.zor-XXXXXX.png"));
    if (png.isEmpty() || !temp.open() || temp.write(png) != png.size() || !temp.flush()) {
        if (error)
            *error = png.isEmpty() ? QStringLiteral("cannot encode the thumbnail") : temp.errorString();
        return false;
    }
    temp.close();
    if (std::rename(QFile::encodeName(temp.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
        if (error)
            *error = QStringLiteral("cannot rename into %1").arg(path);
        return false;
    }
    temp.setAutoRemove(false);
    return true;
}

// True when the entry at path was made for uri at mtime.
bool EntryMatches(const QString &path, const QString &uri, const QString &mtime)
{
    const QHash<QByteArray, QByteArray> texts = ReadTexts(path);
    return texts.value("Thumb::URI") == uri.toUtf8() && texts.value("Thumb::MTime") == mtime.toLatin1();
}

QImage ReadEntry(const QString &path, const QString &uri, const QString &mtime)
{
    if (!EntryMatches(path, uri, mtime))
        return {};
    QImageReader reader(path, "png");
    return reader.read();
}

} // namespace

int ThumbnailPixels(TThumbnailSize Size) { return Row(Size).pixels; }
QString ThumbnailSizeName(TThumbnailSize Size) { return QString::fromLatin1(Row(Size).name); }

bool ParseThumbnailSize(const QString &Name, TThumbnailSize &Size)
{
    for (const TSizeRow &r : kSizes)
        if (Name == QLatin1String(r.name)) {
            Size = r.size;
            return true;
        }
    return false;
}

TThumbnailCache::TThumbnailCache(const QString &Root, const QString &Application)
    : FRoot(Root), FApplication(Application)
{
    if (FRoot.isEmpty()) {
        QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
        if (cache.isEmpty() || !QDir::isAbsolutePath(cache))
            cache = QDir::homePath() + QStringLiteral("/.cache");
        FRoot = cache + QStringLiteral("/thumbnails");
    }
}

QString TThumbnailCache::FileUri(const QString &FileName)
{
    const QByteArray path = QFile::encodeName(QFileInfo(FileName).absoluteFilePath());
    QString uri = QStringLiteral("file://");
    static const char hex[] = "0123456789ABCDEF";
    for (const char ch : path) {
        const uchar c = uchar(ch);
        if (KeptInPath(c)) {
            uri += QLatin1Char(char(c));
        } else {
            uri += QLatin1Char('%');
            uri += QLatin1Char(hex[c >> 4]);
            uri += QLatin1Char(hex[c & 15]);
        }
    }
    return uri;
}

static QString Hash(const QString &uri)
{
    return QString::fromLatin1(QCryptographicHash::hash(uri.toUtf8(), QCryptographicHash::Md5).toHex());
}

QString TThumbnailCache::ThumbnailPath(const QString &Uri, TThumbnailSize Size) const
{
    return FRoot + u'/' + ThumbnailSizeName(Size) + u'/' + Hash(Uri) + QStringLiteral(".png");
}

QString TThumbnailCache::FailPath(const QString &Uri) const
{
    return FRoot + QStringLiteral("/fail/") + FApplication + u'/' + Hash(Uri) + QStringLiteral(".png");
}

QImage TThumbnailCache::Lookup(const QString &FileName, TThumbnailSize Size) const
{
    const QFileInfo info(FileName);
    if (!info.isFile())
        return {};
    const QString uri = FileUri(FileName);
    return ReadEntry(ThumbnailPath(uri, Size), uri, MTimeOf(info));
}

bool TThumbnailCache::HasFailed(const QString &FileName) const
{
    const QFileInfo info(FileName);
    const QString uri = FileUri(FileName);
    return info.isFile() && EntryMatches(FailPath(uri), uri, MTimeOf(info));
}

bool TThumbnailCache::Store(const QString &FileName, TThumbnailSize Size, const QImage &Thumb,
                            QString *Error) const
{
    const QFileInfo info(FileName);
    const QString uri = FileUri(FileName);
    const QImage image = Thumb.convertToFormat(Thumb.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    const QByteArray png = EncodeEntry(image, {{"Thumb::URI", uri.toUtf8()},
                                               {"Thumb::MTime", MTimeOf(info).toLatin1()},
                                               {"Thumb::Size", QByteArray::number(info.size())},
                                               {"Software", "ZorCompCore"}});
    return WriteEntry(ThumbnailPath(uri, Size), png, Error);
}

bool TThumbnailCache::StoreFailure(const QString &FileName, QString *Error) const
{
    const QFileInfo info(FileName);
    const QString uri = FileUri(FileName);
    QImage image(1, 1, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const QByteArray png = EncodeEntry(image, {{"Thumb::URI", uri.toUtf8()},
                                               {"Thumb::MTime", MTimeOf(info).toLatin1()},
                                               {"Software", "ZorCompCore"}});
    return WriteEntry(FailPath(uri), png, Error);
}

QImage TThumbnailCache::MakeThumbnail(const QByteArray &Data, int Pixels)
{
    const TGraphicClass *cls = GuessDibGraphicClass(Data);
    if (!cls)
        throw EEnvisionError(QStringLiteral("Unknown Graphic-Format in Source!"));
    QSize natural = TGraphic::ProbeSize(Data, cls);
    TGraphic picture;
    if (natural.isEmpty()) {
        picture = TGraphic::Load(Data, cls);
        natural = picture.Size();
    }
    const bool landscape = natural.width() >= natural.height();
    const QSize size = ThumbnailSize(natural, landscape ? 0 : Pixels, landscape ? Pixels : 0);
    if (picture.IsEmpty()) {
        const bool scaled = cls->Kind() == TGraphicKind::Raster || cls->Kind() == TGraphicKind::Pdf;
        picture = TGraphic::Load(Data, cls, scaled && size != natural ? size : QSize());
    }
    picture.Resize(size);
    return picture.ToImage(size, false);
}

TThumbnailCache::TResult TThumbnailCache::Thumbnail(const QString &FileName, TThumbnailSize Size) const
{
    TResult result;
    const QFileInfo info(FileName);
    if (!info.isFile()) {
        result.Error = QStringLiteral("no such file");
        return result;
    }
    const QString uri = FileUri(FileName);
    const QString mtime = MTimeOf(info);
    result.Image = ReadEntry(ThumbnailPath(uri, Size), uri, mtime);
    if (!result.Image.isNull()) {
        result.Status = tsCached;
        return result;
    }
    if (EntryMatches(FailPath(uri), uri, mtime)) {
        result.Status = tsFailedBefore;
        result.Error = QStringLiteral("failed before");
        return result;
    }
    QFile file(FileName);
    try {
        if (!file.open(QIODevice::ReadOnly))
            throw EEnvisionError(file.errorString());
        if (file.size() > kMaxFileBytes)
            throw EEnvisionError(QStringLiteral("The file is larger than %1 MiB").arg(kMaxFileBytes >> 20));
        result.Image = MakeThumbnail(file.readAll(), ThumbnailPixels(Size));
    } catch (const Exception &e) {
        result.Image = QImage();
        result.Error = e.Message();
        StoreFailure(FileName);
        return result;
    }
    // A thumbnail that could not be stored is still shown; Error says why.
    Store(FileName, Size, result.Image, &result.Error);
    result.Status = tsCreated;
    return result;
}

} // namespace zor
