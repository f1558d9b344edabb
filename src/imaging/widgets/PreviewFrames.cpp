#include "PreviewFrames_p.h"

#include <QImage>
#include <QtEndian>

#include <cmath>

namespace zor::detail {

TPreviewFrameReader::Status TPreviewFrameReader::Next(TPreviewFrame &frame)
{
    if (FBuffer.size() < qsizetype(kPreviewFrameHeader))
        return NeedMore;
    const quint32 length = ReadU32(FBuffer.constData());
    const quint8 type = quint8(FBuffer[4]);
    if (type < quint8(TPreviewFrameType::PageSizes) || type > quint8(TPreviewFrameType::Error)) {
        FError = QStringLiteral("The preview worker sent a frame of unknown type %1").arg(type);
        return Refused;
    }
    // Error frames are short whatever was asked for.
    const quint32 limit = type == quint8(TPreviewFrameType::Error) ? kPreviewMaxErrorPayload : FMaxPayload;
    if (length > limit) {
        FError = QStringLiteral("The preview worker sent a frame of %1 bytes where at most %2 were expected")
                     .arg(length).arg(limit);
        return Refused;
    }
    if (quint64(FBuffer.size()) < quint64(kPreviewFrameHeader) + length)
        return NeedMore;
    frame.type = TPreviewFrameType(type);
    frame.payload = FBuffer.mid(kPreviewFrameHeader, length);
    FBuffer.remove(0, kPreviewFrameHeader + length);
    return Complete;
}

bool DecodePageSizes(const QByteArray &payload, QList<QSizeF> &sizes, QString &why)
{
    sizes.clear();
    if (payload.size() < 4) {
        why = QStringLiteral("The page list is cut short");
        return false;
    }
    const quint32 count = ReadU32(payload.constData());
    if (count > kPreviewMaxPages || quint64(payload.size()) != 4 + quint64(count) * 16) {
        why = QStringLiteral("The page list does not match its count");
        return false;
    }
    sizes.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        const char *p = payload.constData() + 4 + i * 16;
        const double w = ReadF64(p), h = ReadF64(p + 8);
        // A page beyond 200 inches a side is no page a pane can lay out.
        if (!std::isfinite(w) || !std::isfinite(h) || w <= 0 || h <= 0 || w > 14400 || h > 14400) {
            why = QStringLiteral("Page %1 has no usable size").arg(i + 1);
            sizes.clear();
            return false;
        }
        sizes.append(QSizeF(w, h));
    }
    return true;
}

bool DecodeImage(const QByteArray &payload, quint32 page, QSize size, QImage &image, QString &why)
{
    image = QImage();
    if (payload.size() < 12) {
        why = QStringLiteral("The page image is cut short");
        return false;
    }
    const char *p = payload.constData();
    if (ReadU32(p) != page || ReadU32(p + 4) != quint32(size.width()) || ReadU32(p + 8) != quint32(size.height())) {
        why = QStringLiteral("The page image is not the one asked for");
        return false;
    }
    if (size.isEmpty() || quint64(payload.size()) != 12 + quint64(size.width()) * quint64(size.height()) * 4) {
        why = QStringLiteral("The page image does not match its size");
        return false;
    }
    QImage out(size, QImage::Format_ARGB32);
    if (out.isNull()) {
        why = QStringLiteral("Out of memory for the page image");
        return false;
    }
    const qsizetype row = qsizetype(size.width()) * 4;
    // ARGB32 in the wire's byte order (little-endian words) into the host's.
    for (int y = 0; y < size.height(); ++y)
        qFromLittleEndian<quint32>(p + 12 + y * row, size.width(), out.scanLine(y));
    image = std::move(out);
    return true;
}

bool DecodeError(const QByteArray &payload, HRESULT &code, QString &text, QString &why)
{
    if (payload.size() < 4) {
        why = QStringLiteral("The error report is cut short");
        return false;
    }
    code = HRESULT(ReadU32(payload.constData()));
    text = QString::fromUtf8(payload.constData() + 4, payload.size() - 4);
    return true;
}

} // namespace zor::detail
