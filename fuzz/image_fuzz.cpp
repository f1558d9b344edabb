// Detection and thumbnailing of any bytes: guessing never crashes, and a
// thumbnail is either made, refused (false) or fails with EEnvisionError.
// Run with ASAN_OPTIONS=detect_leaks=0: PDFium and fontconfig keep
// process-wide caches that the leak checker reports at exit.
#include <ZorCompCore/imaging/EnvisionUtils.h>
#include <ZorCompCore/imaging/GraphicClass.h>

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>

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
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    zor::GuessImageDataFormat(bytes);
    try {
        QByteArray thumb = bytes;
        if (zor::ConvertImage(thumb, 24, 0, QString()) && thumb.isEmpty())
            __builtin_trap(); // a thumbnail that reports success must have bytes
    } catch (const zor::EEnvisionError &) {
    }
    return 0;
}
