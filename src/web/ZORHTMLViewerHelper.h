// TZORHTMLViewerHelper: BinHTML, one block of bytes that carries an HTML
// page together with the image files it shows.
//
// Format (little-endian; strings and byte blocks as TStreamHelper writes
// them: a signed 64-bit count, then UTF-16LE code units or the bytes):
//   int32   version   1 when written, ignored when read
//   int32   count     number of files that follow
//   string  html
//   count times:  string name (a file name, no folder)   bytes data
//
// Reading is defensive, for blocks that come from outside:
//  * a short block gives what is there: a version or count cut short reads
//    as 0, a string or byte block cut short keeps the bytes present;
//  * the count is bounded by the bytes left: reading stops when fewer bytes
//    remain than the smallest entry (two empty counts, 16 bytes) takes;
//  * a stored name is reduced to its file part (after the last '\' or '/');
//    an entry whose name is then empty, "." or "..", or holds a NUL, is
//    skipped: nothing is listed, written or embedded for it;
//  * files are written only directly inside the content folder, each to a
//    temporary name in that folder and renamed into place, so a symbolic
//    link already standing under that name is replaced, never followed.
// Embedding rewrites the first src="%IMAGEPATH%<name>" of each file (exact
// case) into a data: URI; later references to the same file stay as written.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>

namespace zor {

class TCSSSection;
class THtDocument;
class TStream;
class TStringList;
class Variant;

class ZOR_EXPORT TZORHTMLViewerHelper
{
public:
    // Writes the block at the stream's position: AHTML and, for each entry
    // of AFileList (may be null), the file AContentPath/<entry> under the
    // entry's file name. EFOpenError when a listed file cannot be read (the
    // stream then holds what was written before it).
    static void WriteToBinaryStream(TStream &AStream, const QString &AHTML, const QString &AContentPath,
                                    const TStringList *AFileList);
    // Reads a block from the stream's position into AHTML (empty for an
    // empty stream). Each file's name is added to AFileList when given and
    // its data written to AContentPath/<name> when AContentPath is not
    // empty (EFCreateError when that fails); with AEmbedContent its first
    // reference in AHTML becomes a data: URI.
    static void ReadFromBinaryStream(TStream &AStream, QString &AHTML, const QString &AContentPath,
                                     TStringList *AFileList, bool AEmbedContent);
    // A block of AHTML alone.
    static QByteArray ConvertHTMLToBinHTML(const QString &AHTML);
    // ReadFromBinaryStream on the bytes of ABinHTML; returns the HTML.
    static QString ConvertBinHTMLToHTML(const QByteArray &ABinHTML, const QString &AContentPath,
                                        TStringList *AFileList, bool AEmbedContent);

    // The first section of Doc's style sheet registered under the class
    // ACSSClassName; null when there is none.
    static const TCSSSection *FindCSSClass(const THtDocument &Doc, const QString &ACSSClassName);
    // The first value of AValueName in that section: a double for numbers
    // with or without a unit, else its text; ADefault when the class or the
    // value is missing.
    static Variant GetCSSClassValue(const THtDocument &Doc, const QString &ACSSClassName,
                                    const QString &AValueName, const Variant &ADefault);
};

} // namespace zor
