// Any input as HTML (through the pre-pass and the HTML import) or as plain
// text, chosen by the first byte: reading never crashes; what was read writes
// out as RTF that reads back; inserting it into a document at the cursor
// keeps both texts. Pictures are never looked up (no base folder).
// Run with ASAN_OPTIONS=detect_leaks=0: fontconfig keeps process-wide caches.
#include "FuzzText.h"

#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/HtmlReader.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>
#include <ZorCompCore/richtext/engine/RtfReader.h>
#include <ZorCompCore/richtext/engine/RtfWriter.h>
#include <ZorCompCore/richtext/engine/TextReader.h>

#include <QGuiApplication>
#include <QTextDocument>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 1 << 15)
        return 0;
    const bool html = data[0] & 1;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    zor::TWPDocument doc;
    if (html)
        zor::TWPHTMLReader::ReadBytes(bytes, doc);
    else
        zor::TWPTextReader::Read(zor::TWPTextReader::Decode(bytes, data[0] & 2), doc);

    zor::TWPDocument again;
    fuzz::check(zor::TWPRTFReader::Read(zor::TWPRTFWriter::Write(doc), again).Ok);

    zor::TWPCustomRtfEdit edit;
    fuzz::check(edit.LoadFromString(QStringLiteral("ab"), QStringLiteral("TXT")));
    edit.TextCursor().setPosition(1);
    const int before = edit.Document().Text()->characterCount();
    fuzz::check(edit.LoadFromBytes(bytes, html ? QStringLiteral("HTML") : QStringLiteral("TXT"), true));
    fuzz::check(edit.Document().Text()->characterCount() >= before);
    const QString all = edit.Document().Text()->toPlainText();
    fuzz::check(all.startsWith(u'a') && all.endsWith(u'b'));
    return 0;
}
