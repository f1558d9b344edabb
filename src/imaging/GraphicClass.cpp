#include "GraphicClass.h"

#include <ZorCompCore/platform/Stream.h>

#include "Metafile.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QMutex>
#include <QSet>
#include <QXmlStreamReader>

#include <algorithm>
#include <memory>
#include <vector>

namespace zor {

TGraphicClass::TGraphicClass(QString name, QStringList aliases, TGraphicKind kind, QByteArray qtFormat,
                             bool canRead, bool canWrite, bool hasAlpha)
    : FName(std::move(name)), FAliases(std::move(aliases)), FKind(kind), FQtFormat(std::move(qtFormat)),
      FCanRead(canRead), FCanWrite(canWrite), FHasAlpha(hasAlpha)
{
}

namespace {

// Qt names several formats twice; the first name is the canonical one.
const char *const kAliasGroups[][4] = {
    {"jpg", "jpeg", "jfif", "jpe"},
    {"tif", "tiff", nullptr, nullptr},
};

// Formats whose files cannot carry transparency.
const QSet<QString> &OpaqueFormats()
{
    static const QSet<QString> set{"jpg", "bmp", "ppm", "pgm", "pbm", "xbm", "wbmp"};
    return set;
}

// Asking Qt for every format loads every image plugin (and the codec
// libraries behind them), which costs a short-lived process such as a PDF
// thumbnailer more than its work. So classes are made one at a time, the
// first time a name is asked for, by asking Qt about that name alone; the
// full list is gathered only when someone wants all of it.
struct Registry
{
    mutable QMutex lock;
    std::vector<std::unique_ptr<TGraphicClass>> classes; // pointers stay valid
    QSet<QString> probed;                                // names asked of Qt already
    bool scanned = false;
    const TGraphicClass *svg = nullptr;
    const TGraphicClass *pdf = nullptr;
    const TGraphicClass *emf = nullptr;
    const TGraphicClass *wmf = nullptr;

    Registry()
    {
        svg = Add("svg", {"svg"}, TGraphicKind::Svg, {}, true, true, true);
        // A written PDF page is opaque paper.
        pdf = Add("pdf", {"pdf"}, TGraphicKind::Pdf, {}, true, true, false);
        // Metafiles are read only; as an output format a drawing becomes SVG.
        emf = Add("emf", {"emf"}, TGraphicKind::Emf, {}, true, false, true);
        wmf = Add("wmf", {"wmf"}, TGraphicKind::Wmf, {}, true, false, true);
        // SVG is a vector class of its own, never Qt's raster plugin (which
        // would rasterise it and claims any XML).
        probed << QStringLiteral("svg") << QStringLiteral("svgz");
    }

    const TGraphicClass *Add(const QString &name, const QStringList &aliases, TGraphicKind kind,
                             const QByteArray &qtFormat, bool canRead, bool canWrite, bool hasAlpha)
    {
        classes.push_back(std::make_unique<TGraphicClass>(name, aliases, kind, qtFormat, canRead,
                                                          canWrite, hasAlpha));
        return classes.back().get();
    }

    const TGraphicClass *AddRaster(const QString &name, const QStringList &aliases, const QByteArray &qtFormat,
                                   bool canRead, bool canWrite)
    {
        return Add(name, aliases, TGraphicKind::Raster, qtFormat, canRead, canWrite,
                   !OpaqueFormats().contains(name));
    }

    const TGraphicClass *Known(const QString &name) const
    {
        for (const auto &c : classes)
            if (c->Aliases().contains(name))
                return c.get();
        return nullptr;
    }

    // Every name of an alias group finds the class, as a file extension
    // would, whichever of them Qt happens to know.
    static QStringList GroupOf(const QString &name)
    {
        for (const auto &group : kAliasGroups) {
            QStringList names;
            for (const char *n : group)
                if (n)
                    names << QString::fromLatin1(n);
            if (names.contains(name))
                return names;
        }
        return {name};
    }

    // Qt's reader and writer for exactly this name: only the plugin (if any)
    // whose key it is gets loaded.
    static void Probe(const QByteArray &format, bool &canRead, bool &canWrite)
    {
        QBuffer in;
        in.open(QIODevice::ReadOnly);
        QImageReader reader(&in, format);
        reader.setAutoDetectImageFormat(false);
        reader.canRead(); // empty data: only whether a reader exists matters
        canRead = reader.error() != QImageReader::UnsupportedFormatError;
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        canWrite = QImageWriter(&out, format).canWrite();
    }

    const TGraphicClass *Find(const QString &name)
    {
        QMutexLocker locker(&lock);
        if (const TGraphicClass *c = Known(name))
            return c;
        if (scanned || probed.contains(name) || name.isEmpty())
            return nullptr;
        const QStringList group = GroupOf(name);
        for (const QString &n : group)
            probed.insert(n);
        for (const QString &n : group) {
            bool canRead = false, canWrite = false;
            Probe(n.toLatin1(), canRead, canWrite);
            if (canRead || canWrite)
                return AddRaster(group.first(), group, n.toLatin1(), canRead, canWrite);
        }
        return nullptr;
    }

    // Every format Qt has, sorted by name.
    QList<const TGraphicClass *> All()
    {
        QMutexLocker locker(&lock);
        if (!scanned) {
            QSet<QByteArray> readable, writable;
            for (const QByteArray &f : QImageReader::supportedImageFormats())
                readable.insert(f.toLower());
            for (const QByteArray &f : QImageWriter::supportedImageFormats())
                writable.insert(f.toLower());
            QSet<QByteArray> all = readable;
            all.unite(writable);
            QList<QByteArray> names(all.begin(), all.end());
            std::sort(names.begin(), names.end());
            for (const QByteArray &f : names) {
                const QString name = QString::fromLatin1(f);
                if (name.startsWith(u"svg") || Known(name))
                    continue;
                const QStringList group = GroupOf(name);
                for (const QString &n : group)
                    probed.insert(n);
                // The group's first name Qt knows is the one to ask Qt with.
                QByteArray qtName;
                for (const QString &n : group)
                    if (qtName.isEmpty() && all.contains(n.toLatin1()))
                        qtName = n.toLatin1();
                AddRaster(group.first(), group, qtName, readable.contains(qtName), writable.contains(qtName));
            }
            scanned = true;
        }
        QList<const TGraphicClass *> list;
        for (const auto &c : classes)
            list << c.get();
        std::sort(list.begin(), list.end(),
                  [](const TGraphicClass *a, const TGraphicClass *b) { return a->FormatName() < b->FormatName(); });
        return list;
    }

    const TGraphicClass *ByQtFormat(const QByteArray &f) { return Find(QString::fromLatin1(f.toLower())); }
};

Registry &TheRegistry()
{
    static Registry registry;
    return registry;
}

// The common raster formats by their signatures, so that detecting them
// asks no plugin but their own; anything else goes to Qt's detection.
const char *SniffRaster(const QByteArray &d)
{
    if (d.startsWith("\x89PNG\r\n\x1a\n"))
        return "png";
    if (d.startsWith("\xFF\xD8\xFF"))
        return "jpeg";
    if (d.startsWith("GIF87a") || d.startsWith("GIF89a"))
        return "gif";
    if (d.size() >= 12 && d.startsWith("RIFF") && d.mid(8, 4) == "WEBP")
        return "webp";
    if (d.startsWith(QByteArrayLiteral("II*\0")) || d.startsWith(QByteArrayLiteral("MM\0*")))
        return "tiff";
    return nullptr;
}

} // namespace

QList<const TGraphicClass *> GraphicClasses()
{
    return TheRegistry().All();
}

bool HasPdfSignature(const QByteArray &Data)
{
    return Data.startsWith("%PDF-");
}

bool HasSvgRoot(const QByteArray &Data)
{
    // Cheap refusal first: binary data is not XML.
    const QByteArray head = Data.left(4096).trimmed();
    if (!head.startsWith('<') && !head.startsWith("\xEF\xBB\xBF"))
        return false;
    QXmlStreamReader xml(Data);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement)
            return xml.name() == QLatin1String("svg");
    }
    return false;
}

const TGraphicClass *GuessDibGraphicClass(const QByteArray &Data)
{
    Registry &r = TheRegistry();
    if (Data.isEmpty())
        return nullptr;
    if (HasPdfSignature(Data))
        return r.pdf;
    if (TMetafile::IsEmf(Data))
        return r.emf;
    if (TMetafile::IsWmf(Data))
        return r.wmf;
    if (HasSvgRoot(Data))
        return r.svg;
    if (const char *sniffed = SniffRaster(Data)) {
        // The reader must agree: a bare signature is not yet a picture.
        QBuffer buffer;
        buffer.setData(Data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, sniffed);
        reader.setAutoDetectImageFormat(false);
        if (reader.canRead()) {
            const TGraphicClass *c = r.ByQtFormat(sniffed);
            if (c && c->CanRead())
                return c;
        }
    }
    QBuffer buffer;
    buffer.setData(Data);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&buffer);
    if (format.isEmpty() || format.startsWith("svg"))
        return nullptr;
    const TGraphicClass *c = r.ByQtFormat(format);
    return c && c->CanRead() ? c : nullptr;
}

const TGraphicClass *GuessDibGraphicClass(TStream &Stream)
{
    const qint64 pos = Stream.Position();
    const QByteArray data = Stream.ReadAll();
    Stream.SetPosition(pos);
    return GuessDibGraphicClass(data);
}

const TGraphicClass *FindDibGraphicClass(const QString &Format)
{
    QString name = Format.trimmed().toLower();
    if (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    if (name.isEmpty())
        return nullptr;
    return TheRegistry().Find(name);
}

} // namespace zor
