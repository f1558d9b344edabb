// Any bytes as RTF: reading never crashes or hangs; what the reader made
// writes out as RTF, HTML and text; reading the written RTF and writing it
// again gives the same RTF (writing is a fixed point after one pass).
// Inputs not starting with "{\rtf" get it put in front, so the fuzzer need
// not find the signature first.
// Run with ASAN_OPTIONS=detect_leaks=0: fontconfig keeps process-wide caches.
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/HtmlWriter.h>
#include <ZorCompCore/richtext/engine/RtfReader.h>
#include <ZorCompCore/richtext/engine/RtfWriter.h>
#include <ZorCompCore/richtext/engine/TextWriter.h>

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1 << 16)
        return 0;
    QByteArray rtf(reinterpret_cast<const char *>(data), qsizetype(size));
    if (!zor::TWPRTFReader::IsRTF(rtf))
        rtf.prepend("{\\rtf1 ");
    zor::TWPDocument doc;
    if (!zor::TWPRTFReader::Read(rtf, doc).Ok)
        std::abort();
    const QByteArray once = zor::TWPRTFWriter::Write(doc);
    zor::TWPHTMLWriter html;
    (void)html.Write(doc);
    (void)zor::TWPTextWriter::Write(doc);

    zor::TWPDocument again;
    if (!zor::TWPRTFReader::Read(once, again).Ok)
        std::abort();
    const QByteArray twice = zor::TWPRTFWriter::Write(again);
    if (twice != once) {
        std::fprintf(stderr, "not a fixed point:\n--- once\n%s\n--- twice\n%s\n", once.constData(),
                     twice.constData());
        std::abort();
    }
    return 0;
}
