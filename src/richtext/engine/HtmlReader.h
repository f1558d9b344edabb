// HTML into a TWPDocument: QTextDocument's HTML import after a pre-pass over
// our own HTML parser for what that import drops or must not do. The title
// becomes the document's "title" information, the body's background colour
// (bgcolor or a CSS background) the colour item "page-background-color", and
// pictures are read from files below the base folder only: nothing is
// fetched from a network and no path leads outside that folder. A caller
// that holds pictures itself (the parts of an e-mail, say) hands them in
// through a picture source. Pictures in other formats than PNG, JPEG, EMF
// and WMF (GIF, BMP, ...) are kept as PNG, the formats the writers know.
// Footnotes as our writer writes them (links of class wp-fnref to the notes
// in a closing <div class="wp-footnotes">) come back as footnotes.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>

#include <functional>

namespace zor {

class TWPDocument;

// The bytes of the picture an <img src> names; empty: not this source's.
using TWPPictureSource = std::function<QByteArray(const QString &src)>;

class ZOR_EXPORT TWPHTMLReader
{
public:
    // Replaces doc's content with html; pictures are looked up below
    // baseFolder (none when it is empty).
    static void Read(const QString &html, TWPDocument &doc, const QString &baseFolder = {});
    // The same, asking source first for each picture.
    static void Read(const QString &html, TWPDocument &doc, const QString &baseFolder,
                     const TWPPictureSource &source);
    // Bytes are decoded as a browser would: byte order mark, meta charset,
    // else the ANSI code page.
    static void ReadBytes(const QByteArray &html, TWPDocument &doc, const QString &baseFolder = {});
    // True when data looks like HTML (a doctype, <html>, <head> or <body>
    // near the start).
    static bool IsHTML(const QByteArray &data);
};

} // namespace zor
