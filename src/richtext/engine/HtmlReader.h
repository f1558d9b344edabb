// HTML into a TWPDocument: QTextDocument's HTML import after a pre-pass over
// our own HTML parser for what that import drops or must not do. The title
// becomes the document's "title" information, the body's background colour
// (bgcolor or a CSS background) the colour item "page-background-color", and
// pictures are read from files below the base folder only: nothing is
// fetched from a network and no path leads outside that folder.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>

namespace zor {

class TWPDocument;

class ZOR_EXPORT TWPHTMLReader
{
public:
    // Replaces doc's content with html; pictures are looked up below
    // baseFolder (none when it is empty).
    static void Read(const QString &html, TWPDocument &doc, const QString &baseFolder = {});
    // Bytes are decoded as a browser would: byte order mark, meta charset,
    // else the ANSI code page.
    static void ReadBytes(const QByteArray &html, TWPDocument &doc, const QString &baseFolder = {});
    // True when data looks like HTML (a doctype, <html>, <head> or <body>
    // near the start).
    static bool IsHTML(const QByteArray &data);
};

} // namespace zor
