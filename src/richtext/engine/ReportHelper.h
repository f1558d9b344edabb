// Rich text turned into report output without a window: an invisible editor
// whose loads queue on the process-wide load lock (so helpers in worker
// threads and the editors on screen load one at a time) and whose HTML saves
// write the pictures as files beside the page.
//
// Pictures of an HTML save are named "img" + prefix + running number (the
// count of names already listed, format "img%s%d"), keep their own extension
// when browsers show them (PNG, JPEG) and are converted to JPEG (".jpg")
// otherwise; they go to the image folder, or the HTML's own folder when none
// is set, and the page refers to them by the bare file name.
#pragma once

#include <ZorCompCore/zor_export.h>

#include "RtfEdit.h"

#include <ZorCompCore/platform/StringList.h>

#include <QByteArray>
#include <QString>

#include <memory>

class QIODevice;

namespace zor {

struct TWPHTMLImage;

// The image files one HTML save wrote: bare file names in write order.
class ZOR_EXPORT THTMLImages : public TStringList
{
public:
    // Empties the list and the name prefix.
    void Clear();
    // The image folder when set, else defaultFolder.
    QString GetDestFolder(const QString &defaultFolder) const;

    // Names the picture, writes it (when WriteImages) into
    // GetDestFolder(BaseFolder), lists it and returns the name for its src.
    // Empty when the picture has nothing to write.
    QString SaveImage(const TWPHTMLImage &image);

    QString BaseFolder;        // folder of the HTML output
    QString NamePrefix;        // goes between "img" and the number
    bool AutoClear = true;     // a new HTML write starts with an empty list
    QString ImageFolder;       // empty: the base folder
    bool WriteImages = true;   // false: names are given, no file is written
};

class ZOR_EXPORT TWPRichTextReportHelper : public TWPCustomRtfEdit
{
public:
    TWPRichTextReportHelper();
    ~TWPRichTextReportHelper() override;

    THTMLImages &HTMLFileList();

    // Loads as the editor does, under the load lock, laying the pages out
    // again before the lock is left; the editor's result.
    bool LoadFromFile(const QString &fileName, bool insert = false, const QString &formatName = {});
    bool LoadFromStream(QIODevice &stream, const QString &formatName = {}, bool insert = false);
    bool LoadFromBytes(const QByteArray &data, const QString &formatName = {}, bool insert = false);
    bool LoadFromString(const QString &text, const QString &formatName = {});
    // HTML given as text, loaded from an 8-bit buffer in the ANSI code page
    // (see HTMLToAnsiBuffer).
    bool LoadHTMLFromStr(const QString &text);
    // A modified text is laid out again (under the lock) before it is saved.
    bool SaveToStream(QIODevice &stream, const QString &formatName = {});

    // Empties the text and HTMLFileList; the page geometry stays.
    void Clear();
    // All four margins of every section to 0.
    void ClearMargins();

    bool SaveToHTMLFile(const QString &fileName, const QString &imagePrefix = {},
                        const QString &imageFolder = {}, bool onlyBody = false, bool keepFonts = false,
                        bool writeImages = true);
    bool SaveToHTMLStream(QIODevice &stream, const QString &baseFolder, const QString &imagePrefix = {},
                          const QString &imageFolder = {}, bool onlyBody = false, bool keepFonts = false,
                          const QString &formatOptions = {}, bool writeImages = true);
    bool SaveToTEXTFile(const QString &fileName);

    // "TQEWPHTMLWriter" or "HTML-nopageinfo,", then "-onlybody," and, unless
    // keepFonts, "-usedefaultfont,".
    static QString GetHTMLSaveWPFormat(bool onlyBody, bool keepFonts, bool useQEWriter);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// HTML text as 8 bits in the ANSI code page, characters the code page lacks
// as numeric character references (so nothing is lost). When the text names
// another charset in a meta tag, every character beyond ASCII becomes a
// reference, so the buffer reads the same under either charset.
ZOR_EXPORT QByteArray HTMLToAnsiBuffer(const QString &html);
// Loads html into editor with format "HTML" from that buffer.
ZOR_EXPORT bool LoadHTMLFromStr(TWPCustomRtfEdit &editor, const QString &html);

} // namespace zor
