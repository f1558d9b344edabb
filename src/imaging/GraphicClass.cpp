#include "GraphicClass.h"

#include <ZorCompCore/platform/Stream.h>

#include "Metafile.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
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

struct Registry
{
    std::vector<std::unique_ptr<TGraphicClass>> classes;
    const TGraphicClass *svg = nullptr;
    const TGraphicClass *pdf = nullptr;
    const TGraphicClass *emf = nullptr;
    const TGraphicClass *wmf = nullptr;

    Registry()
    {
        QSet<QByteArray> readable, writable;
        for (const QByteArray &f : QImageReader::supportedImageFormats())
            readable.insert(f.toLower());
        for (const QByteArray &f : QImageWriter::supportedImageFormats())
            writable.insert(f.toLower());
        // SVG is handled as a vector class of its own, never through the
        // raster plugin (which would rasterise it and claims any XML).
        readable.remove("svg");
        readable.remove("svgz");
        writable.remove("svg");
        writable.remove("svgz");

        QSet<QByteArray> done;
        for (const auto &group : kAliasGroups) {
            // Every name of the group finds the class, as a file extension
            // would, whichever of them Qt happens to list.
            QStringList names;
            QByteArray qtName;
            for (const char *n : group) {
                if (!n)
                    continue;
                names << QString::fromLatin1(n);
                done.insert(n);
                if (qtName.isEmpty() && (readable.contains(n) || writable.contains(n)))
                    qtName = n;
            }
            if (qtName.isEmpty())
                continue;
            Add(names.first(), names, TGraphicKind::Raster, qtName, readable.contains(qtName),
                writable.contains(qtName));
        }
        QSet<QByteArray> all = readable;
        all.unite(writable);
        for (const QByteArray &f : all) {
            if (done.contains(f))
                continue;
            const QString name = QString::fromLatin1(f);
            Add(name, {name}, TGraphicKind::Raster, f, readable.contains(f), writable.contains(f));
        }
        svg = Add("svg", {"svg"}, TGraphicKind::Svg, {}, true, true, true);
        // A written PDF page is opaque paper.
        pdf = Add("pdf", {"pdf"}, TGraphicKind::Pdf, {}, true, true, false);
        // Metafiles are read only; as an output format a drawing becomes SVG.
        emf = Add("emf", {"emf"}, TGraphicKind::Emf, {}, true, false, true);
        wmf = Add("wmf", {"wmf"}, TGraphicKind::Wmf, {}, true, false, true);
        std::sort(classes.begin(), classes.end(),
                  [](const auto &a, const auto &b) { return a->FormatName() < b->FormatName(); });
    }

    const TGraphicClass *Add(const QString &name, const QStringList &aliases, TGraphicKind kind,
                             const QByteArray &qtFormat, bool canRead, bool canWrite, bool hasAlpha)
    {
        classes.push_back(std::make_unique<TGraphicClass>(name, aliases, kind, qtFormat, canRead,
                                                          canWrite, hasAlpha));
        return classes.back().get();
    }

    void Add(const QString &name, const QStringList &aliases, TGraphicKind kind,
             const QByteArray &qtFormat, bool canRead, bool canWrite)
    {
        Add(name, aliases, kind, qtFormat, canRead, canWrite, !OpaqueFormats().contains(name));
    }

    const TGraphicClass *ByQtFormat(const QByteArray &f) const
    {
        const QString name = QString::fromLatin1(f.toLower());
        for (const auto &c : classes)
            if (c->Kind() == TGraphicKind::Raster && c->Aliases().contains(name))
                return c.get();
        return nullptr;
    }
};

const Registry &TheRegistry()
{
    static const Registry registry;
    return registry;
}

} // namespace

QList<const TGraphicClass *> GraphicClasses()
{
    QList<const TGraphicClass *> list;
    for (const auto &c : TheRegistry().classes)
        list << c.get();
    return list;
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
    const Registry &r = TheRegistry();
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
    QByteArray copy = Data; // QBuffer needs a non-const array
    QBuffer buffer(&copy);
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
    for (const auto &c : TheRegistry().classes)
        if (c->Aliases().contains(name))
            return c.get();
    return nullptr;
}

} // namespace zor
