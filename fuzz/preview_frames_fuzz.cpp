// Reads arbitrary bytes as a preview worker's answers: the frame reader cuts
// or refuses them and every complete frame goes through its decoder, without
// reading past a payload or allocating more than the answer asked for. The
// first four bytes are the payload length the host expects (as for a render
// request); the page and size an image must match follow in the next eight.
#include <ZorCompCore/imaging/widgets/PreviewFrames_p.h>

#include <QImage>

#include <cstddef>
#include <cstdint>

using namespace zor::detail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 12 || size > 1 << 20)
        return 0;
    const char *p = reinterpret_cast<const char *>(data);
    const quint32 expect = ReadU32(p) % (1u << 22);
    const quint32 page = ReadU32(p + 4) % 8;
    const QSize imageSize(int(quint8(p[8]) % 64 + 1), int(quint8(p[9]) % 64 + 1));
    // Chunk sizes vary with the input, so frames arrive split anywhere.
    const int chunk = quint8(p[10]) % 32 + 1;
    TPreviewFrameReader reader;
    reader.Expect(expect);
    TPreviewFrame frame;
    for (size_t at = 12; at < size; at += size_t(chunk)) {
        reader.Append(QByteArray(p + at, qsizetype(std::min<size_t>(size_t(chunk), size - at))));
        for (;;) {
            const auto status = reader.Next(frame);
            if (status == TPreviewFrameReader::Refused)
                return 0;
            if (status == TPreviewFrameReader::NeedMore)
                break;
            QString why, text;
            switch (frame.type) {
            case TPreviewFrameType::PageSizes: {
                QList<QSizeF> sizes;
                DecodePageSizes(frame.payload, sizes, why);
                break;
            }
            case TPreviewFrameType::Image: {
                QImage image;
                if (DecodeImage(frame.payload, page, imageSize, image, why) && image.size() != imageSize)
                    __builtin_trap();
                break;
            }
            default: {
                zor::HRESULT code = 0;
                DecodeError(frame.payload, code, text, why);
            }
            }
        }
    }
    return 0;
}
