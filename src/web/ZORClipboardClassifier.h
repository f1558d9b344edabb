// What a clipboard becomes when it is pasted into the HTML editor: local
// pictures, HTML, rich text, picture bytes, a link to a picture, a link, or
// plain text. Only decides; the editor core does the work (copies, downloads,
// conversions) and builds the HTML to insert.
//
// Formats are taken in this order; the first that yields something wins:
//  1. text/uri-list (a file manager's copy): its local files of a picture type
//     that exist as regular files. Other entries are ignored; with none left
//     the list counts as absent.
//  2. text/html (not empty).
//  3. text/rtf or application/rtf: rich text the rich-text engine converts.
//  4. picture bytes: the first image/* format whose bytes are a picture, else
//     an image Qt holds (application/x-qt-image), as PNG.
//  5. text/plain, by ClassifyClipboardText (with link paste off: always Text).
//
// Text (trimmed) is an address only when it is one token (no white space
// inside), a path only when it is one line naming an existing regular file.
// A local path is an absolute path or a file URL (file:///… or
// file://localhost/…, percent-decoded); "\" counts as "/".
// Whether a name is of a picture type goes by its extension
// (IsGraphicTypeExtension); for addresses, by the extension of the URL's path,
// so query and fragment do not count.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

class QMimeData;

namespace zor {

enum class TZORClipboardKind {
    Nothing,     // nothing usable
    LocalImages, // Files: picture files to insert
    LocalImage,  // Text: an absolute path of a picture type (from pasted text)
    HTML,        // Text: the HTML
    RTF,         // Data: the rich text
    Image,       // Data: picture bytes
    GraphicURL,  // Text: an http(s) address of a picture type
    URL,         // Text: any other http(s) address
    Text,        // Text: plain text
};

struct ZOR_EXPORT TZORClipboardContent
{
    TZORClipboardKind Kind = TZORClipboardKind::Nothing;
    QStringList Files;
    QString Text;
    QByteArray Data;
};

// The kind of the clipboard's content; ALinkPaste off reads text as text.
ZOR_EXPORT TZORClipboardContent ClassifyClipboard(const QMimeData &AData, bool ALinkPaste);
// The kind of pasted text: LocalImage, GraphicURL, URL or Text (Nothing for
// text of blanks only). A LocalImage's Text is the local path.
ZOR_EXPORT TZORClipboardContent ClassifyClipboardText(const QString &AText);

// True when the lower-cased extension of the file name is one of .jpg, .jpeg,
// .gif, .png, .svg, .bmp, .tiff, .tif, .eps.
ZOR_EXPORT bool IsGraphicTypeExtension(const QString &AFileName);
// The local path of a file URL (file:///p or file://localhost/p, query and
// fragment cut, percent-decoded); empty for anything else.
ZOR_EXPORT QString LocalPathFromFileURL(const QString &AURL);

} // namespace zor
