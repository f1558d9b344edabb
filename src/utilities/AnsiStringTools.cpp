#include <ZorCompCore/utilities/AnsiStringTools.h>

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>

namespace zor {

QByteArray MIMEDecodeRawByteStr(const QString &s)
{
    // Keep only alphabet characters up to the padding; QByteArray's decoder
    // would also accept the URL alphabet, which MIME does not know.
    QByteArray clean;
    clean.reserve(s.size());
    for (QChar c : s) {
        const char16_t u = c.unicode();
        if (u == u'=')
            break;
        if ((u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') || u == u'+'
            || u == u'/')
            clean += char(u);
    }
    return QByteArray::fromBase64(clean);
}

void MIMEDecodeRawByteStr(const QString &s, TStream &stream)
{
    const QByteArray bytes = MIMEDecodeRawByteStr(s);
    stream.WriteBuffer(bytes.constData(), bytes.size());
}

QString MIMEEncodeRawByteStr(const QByteArray &s)
{
    return QString::fromLatin1(s.toBase64());
}

QString MIMEEncodeRawByteStr(TStream &stream, qint64 count)
{
    if (count < 0)
        count = qMax<qint64>(0, stream.Size() - stream.Position());
    // Bounded by what the stream holds, not by the caller's count.
    const qint64 available = qMax<qint64>(0, stream.Size() - stream.Position());
    if (count > available)
        throw EReadError(QStringLiteral("Stream read error"));
    QByteArray bytes(count, Qt::Uninitialized);
    stream.ReadBuffer(bytes.data(), count);
    return MIMEEncodeRawByteStr(bytes);
}

QString MIMEEncodeBytes(const QByteArray &bytes, qint64 count)
{
    if (count < 0 || count > bytes.size())
        count = bytes.size();
    return MIMEEncodeRawByteStr(bytes.left(count));
}

} // namespace zor
