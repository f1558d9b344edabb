// Sprite sheets from any bytes: cutting never crashes; it either appends
// whole frames of the sheet's height or raises EInvalidGraphic and leaves
// the collection as it was.
#include <ZorCompCore/controls/ZORImageSlider.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Resources.h>
#include <ZorCompCore/platform/Stream.h>

#include <QGuiApplication>
#include <QImageReader>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    // Keep single inputs small in memory: a 16 MiB picture at most.
    QImageReader::setAllocationLimit(16);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1 << 16)
        return 0;
    zor::TcxZORImageCollection frames;
    zor::TBytesStream stream(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    try {
        frames.LoadSpritesFromStream(stream);
        for (int i = 0; i < frames.Count(); ++i) {
            const QPixmap f = frames.Items(i);
            if (f.width() != f.height() || f.width() != frames.Items(0).width())
                __builtin_trap(); // every frame is the same square
        }
    } catch (const zor::EInvalidGraphic &) {
        if (frames.Count() != 0)
            __builtin_trap();
    }
    return 0;
}
