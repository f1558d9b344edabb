// Plays arbitrary bytes as EMF and WMF: loading either refuses the data with
// EEnvisionError or gives a picture that plays onto a small image without
// crashing, reading past a record or allocating without bound. The first
// byte chooses the format so that both players see mutated headers. Run with
// ASAN_OPTIONS=detect_leaks=0: Qt and fontconfig keep font caches to the end.
#include <ZorCompCore/imaging/GraphicClass.h>
#include <ZorCompCore/imaging/Metafile.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Text records need fonts, and fonts need a GUI application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 1 << 16)
        return 0;
    QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    // Selector 1: a minimal WMF header in front, so WMF records get played
    // even when the mutator has not found the header yet.
    if (data[0] == 1)
        bytes.prepend(QByteArray::fromHex("010009000003ffff0000040010000000" "0000"));
    zor::TMetafile mf;
    try {
        mf.LoadFromBytes(bytes);
    } catch (const zor::EEnvisionError &) {
        return 0;
    }
    QImage img(48, 32, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    QPainter p(&img);
    mf.Play(p, QRectF(0, 0, 48, 32));
    return 0;
}
