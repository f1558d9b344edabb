// The registry of picture formats: one graphic class per format, over Qt's
// image readers and writers (and its format plugins), SVG, PDF pages and the
// metafile players. Format names are lower-case extensions ("png", "jpg",
// "tif", "svg", "pdf", "emf" …); aliases ("jpeg", ".TIFF") find the same class.
//
// Detection by content (GuessDibGraphicClass) never trusts a name: PDF by its
// "%PDF-" signature, SVG only when the document's root element is <svg>
// (an XHTML page with an XML declaration is not a picture), metafiles by their
// headers, everything else by asking Qt's readers.
#pragma once

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace zor {

class TStream;

// Raised for unknown formats and pictures that cannot be read or written.
ZOR_DECLARE_EXCEPTION(EEnvisionError, Exception)

enum class TGraphicKind { Raster, Svg, Pdf, Emf, Wmf };

class ZOR_EXPORT TGraphicClass
{
public:
    QString FormatName() const { return FName; }     // canonical name: "jpg", "svg"
    QStringList Aliases() const { return FAliases; }  // every name that finds the class
    TGraphicKind Kind() const { return FKind; }
    bool CanRead() const { return FCanRead; }
    bool CanWrite() const { return FCanWrite; }
    // False when a written picture loses transparency (JPEG, BMP …): such
    // targets receive the picture flattened onto white.
    bool HasAlpha() const { return FHasAlpha; }
    bool IsVector() const { return FKind != TGraphicKind::Raster; }
    // The name Qt's reader and writer know the format by (raster classes).
    QByteArray QtFormat() const { return FQtFormat; }

    TGraphicClass(QString name, QStringList aliases, TGraphicKind kind, QByteArray qtFormat,
                  bool canRead, bool canWrite, bool hasAlpha);

private:
    QString FName;
    QStringList FAliases;
    TGraphicKind FKind;
    QByteArray FQtFormat;
    bool FCanRead, FCanWrite, FHasAlpha;
};

// Every known class, sorted by format name.
ZOR_EXPORT QList<const TGraphicClass *> GraphicClasses();

// The class that can read the data, or nullptr. The stream's position is kept.
ZOR_EXPORT const TGraphicClass *GuessDibGraphicClass(const QByteArray &Data);
ZOR_EXPORT const TGraphicClass *GuessDibGraphicClass(TStream &Stream);

// The class for a format name or file extension, in any case, with or
// without the leading dot; nullptr when none.
ZOR_EXPORT const TGraphicClass *FindDibGraphicClass(const QString &Format);

// True when the bytes start with "%PDF-".
ZOR_EXPORT bool HasPdfSignature(const QByteArray &Data);
// True when the first element of the XML document is <svg>.
ZOR_EXPORT bool HasSvgRoot(const QByteArray &Data);

} // namespace zor
