//
//  W A R N I N G
//  -------------
// Not part of the library's API: the transfer encoders as the message
// writer uses them, appending to one growing buffer instead of returning
// pieces that would be copied again.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace zor::mime_detail {

// Makes room for extra more bytes, growing the capacity geometrically so
// that many small appends cost linear time.
inline void ensureRoom(QByteArray &out, qsizetype extra)
{
    const qsizetype need = out.size() + extra;
    if (need > out.capacity())
        out.reserve(qMax(need, out.capacity() * 2));
}

// Base64 of data in lines of 76 characters, each ended by CRLF.
void appendBase64Lines(QByteArray &out, QByteArrayView data);
// Quoted-printable as EncodeQuotedPrintable writes it.
void appendQuotedPrintable(QByteArray &out, QByteArrayView data);

} // namespace zor::mime_detail
