//
//  W A R N I N G
//  -------------
// This file is not part of the library's API: the wire format between the
// PDF previewer and its worker process, shared by zor-preview-worker, the
// host, the tests and the fuzz target.
//
// Every message is a frame: little-endian [u32 length][u8 type][payload],
// where length counts the payload only.
//   host -> worker   Open    UTF-8 path
//                    Render  u32 page, u32 width, u32 height (pixels)
//   worker -> host   PageSizes  u32 count, count x (f64 width, f64 height) in points
//                    Image      u32 page, u32 width, u32 height, width*height*4 bytes
//                               of ARGB32 (rows top down, no padding)
//                    Error      i32 HRESULT, UTF-8 text
// The worker is outside data to the host: the reader refuses a frame longer
// than the answer it asked for before it buffers any of it.
#pragma once

#include <ZorCompCore/platform/Interface.h>
#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QSize>
#include <QList>
#include <QSizeF>
#include <QString>

#include <cstring>

class QImage;

namespace zor::detail {

enum class TPreviewFrameType : quint8 {
    Open = 1,
    Render = 2,
    PageSizes = 3,
    Image = 4,
    Error = 5,
};

constexpr quint32 kPreviewFrameHeader = 5;
constexpr quint32 kPreviewMaxPages = 100000;
constexpr quint32 kPreviewMaxErrorText = 4096;
constexpr quint32 kPreviewMaxErrorPayload = 4 + kPreviewMaxErrorText;
constexpr quint32 kPreviewMaxImageSide = 16384;

inline void AppendU32(QByteArray &out, quint32 v)
{
    const char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
    out.append(b, 4);
}

inline quint32 ReadU32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}

inline void AppendF64(QByteArray &out, double v)
{
    quint64 bits;
    std::memcpy(&bits, &v, sizeof bits);
    AppendU32(out, quint32(bits));
    AppendU32(out, quint32(bits >> 32));
}

inline double ReadF64(const char *p)
{
    const quint64 bits = quint64(ReadU32(p)) | quint64(ReadU32(p + 4)) << 32;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// A whole frame, header included.
inline QByteArray MakePreviewFrame(TPreviewFrameType type, const QByteArray &payload)
{
    QByteArray out;
    out.reserve(kPreviewFrameHeader + payload.size());
    AppendU32(out, quint32(payload.size()));
    out.append(char(type));
    out.append(payload);
    return out;
}

inline QByteArray MakeErrorFrame(HRESULT code, const QString &text)
{
    QByteArray payload;
    AppendU32(payload, quint32(code));
    payload.append(text.toUtf8().left(kPreviewMaxErrorText));
    return MakePreviewFrame(TPreviewFrameType::Error, payload);
}

struct TPreviewFrame
{
    TPreviewFrameType type = TPreviewFrameType::Error;
    QByteArray payload;
};

// Cuts frames from the bytes a worker sends.
class ZOR_EXPORT TPreviewFrameReader
{
public:
    enum Status { NeedMore, Complete, Refused };

    // The longest payload the next frame may have (the answer asked for).
    void Expect(quint32 maxPayload) { FMaxPayload = maxPayload; }
    void Append(const QByteArray &bytes) { FBuffer.append(bytes); }
    void Clear() { FBuffer.clear(); }
    qsizetype Buffered() const { return FBuffer.size(); }
    // Takes the next frame from the buffer. Refused (with Error() saying why)
    // for a frame longer than expected or of a type no worker sends; the
    // stream cannot be trusted after that.
    Status Next(TPreviewFrame &frame);
    QString Error() const { return FError; }

private:
    QByteArray FBuffer;
    quint32 FMaxPayload = 0;
    QString FError;
};

// Payload decoders: false (with why) for a payload that breaks the format.
ZOR_EXPORT bool DecodePageSizes(const QByteArray &payload, QList<QSizeF> &sizes, QString &why);
// An image of exactly the page and size asked for.
ZOR_EXPORT bool DecodeImage(const QByteArray &payload, quint32 page, QSize size, QImage &image, QString &why);
ZOR_EXPORT bool DecodeError(const QByteArray &payload, HRESULT &code, QString &text, QString &why);

} // namespace zor::detail
