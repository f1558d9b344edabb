#include <ZorCompCore/web/ZORClipboardClassifier.h>

#include <ZorCompCore/imaging/GraphicClass.h>
#include <ZorCompCore/utilities/HTTPUtils.h>

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace zor {

namespace {

const QString kUriList = QStringLiteral("text/uri-list");

bool startsWithNoCase(const QString &s, QStringView prefix)
{
    return s.startsWith(prefix, Qt::CaseInsensitive);
}

bool hasWhiteSpace(const QString &s)
{
    for (const QChar c : s)
        if (c.isSpace())
            return true;
    return false;
}

// A name with a NUL names no file (and Qt warns about each such name).
bool isRegularFile(const QString &path)
{
    return !path.contains(QChar(0)) && QFileInfo(path).isFile();
}

// The local path pasted text names: an absolute path or a file URL.
QString localPathOfText(const QString &text)
{
    if (startsWithNoCase(text, u"file:"))
        return LocalPathFromFileURL(text);
    QString path = text;
    path.replace(u'\\', u'/');
    return path.startsWith(u'/') ? path : QString();
}

// The entries of a text/uri-list: one URL a line, '#' starts a comment.
QStringList uriListEntries(const QByteArray &list)
{
    QStringList out;
    for (const QByteArray &raw : list.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (!line.isEmpty() && !line.startsWith('#'))
            out.append(QString::fromUtf8(line));
    }
    return out;
}

// The first clipboard format holding picture bytes.
QByteArray pictureBytes(const QMimeData &data)
{
    for (const QString &format : data.formats()) {
        if (!format.startsWith(u"image/", Qt::CaseInsensitive))
            continue;
        const QByteArray bytes = data.data(format);
        if (!bytes.isEmpty() && GuessDibGraphicClass(bytes))
            return bytes;
    }
    if (data.hasImage()) {
        const QImage image = qvariant_cast<QImage>(data.imageData());
        if (!image.isNull()) {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            if (QImageWriter(&buffer, "png").write(image))
                return png;
        }
    }
    return {};
}

} // namespace

bool IsGraphicTypeExtension(const QString &AFileName)
{
    const qsizetype slash = std::max(AFileName.lastIndexOf(u'/'), AFileName.lastIndexOf(u'\\'));
    const qsizetype dot = AFileName.lastIndexOf(u'.');
    if (dot <= slash)
        return false;
    static const QStringList kExtensions = {
        QStringLiteral(".jpg"), QStringLiteral(".jpeg"), QStringLiteral(".gif"),
        QStringLiteral(".png"), QStringLiteral(".svg"),  QStringLiteral(".bmp"),
        QStringLiteral(".tiff"), QStringLiteral(".tif"), QStringLiteral(".eps")};
    return kExtensions.contains(AFileName.mid(dot).toLower());
}

QString LocalPathFromFileURL(const QString &AURL)
{
    if (!startsWithNoCase(AURL, u"file://"))
        return {};
    QString rest = AURL.mid(7);
    if (startsWithNoCase(rest, u"localhost/"))
        rest = rest.mid(9);
    if (!rest.startsWith(u'/'))
        return {}; // a file on another host
    for (qsizetype i = 0; i < rest.size(); ++i)
        if (rest[i] == u'?' || rest[i] == u'#') {
            rest.truncate(i);
            break;
        }
    return QUrl::fromPercentEncoding(rest.toUtf8());
}

TZORClipboardContent ClassifyClipboardText(const QString &AText)
{
    TZORClipboardContent out;
    const QString text = AText.trimmed();
    if (text.isEmpty())
        return out;
    out.Text = text;
    if (THTTPUtils::IsHTTPUrl(text, false)) {
        if (hasWhiteSpace(text)) {
            out.Kind = TZORClipboardKind::Text;
            return out;
        }
        out.Kind = IsGraphicTypeExtension(QUrl(text).path()) ? TZORClipboardKind::GraphicURL
                                                              : TZORClipboardKind::URL;
        return out;
    }
    out.Kind = TZORClipboardKind::Text;
    if (text.contains(u'\n') || text.contains(u'\r'))
        return out;
    const QString path = localPathOfText(text);
    if (!path.isEmpty() && IsGraphicTypeExtension(path) && isRegularFile(path)) {
        out.Kind = TZORClipboardKind::LocalImage;
        out.Text = path;
    }
    return out;
}

TZORClipboardContent ClassifyClipboard(const QMimeData &AData, bool ALinkPaste)
{
    TZORClipboardContent out;
    if (AData.hasFormat(kUriList)) {
        for (const QString &entry : uriListEntries(AData.data(kUriList))) {
            const QString path = LocalPathFromFileURL(entry);
            if (!path.isEmpty() && IsGraphicTypeExtension(path) && isRegularFile(path))
                out.Files.append(path);
        }
        if (!out.Files.isEmpty()) {
            out.Kind = TZORClipboardKind::LocalImages;
            return out;
        }
    }
    if (AData.hasHtml()) {
        out.Text = AData.html();
        if (!out.Text.trimmed().isEmpty()) {
            out.Kind = TZORClipboardKind::HTML;
            return out;
        }
        out.Text.clear();
    }
    for (const QString &format : {QStringLiteral("text/rtf"), QStringLiteral("application/rtf")}) {
        if (AData.hasFormat(format)) {
            out.Data = AData.data(format);
            if (!out.Data.isEmpty()) {
                out.Kind = TZORClipboardKind::RTF;
                return out;
            }
        }
    }
    out.Data = pictureBytes(AData);
    if (!out.Data.isEmpty()) {
        out.Kind = TZORClipboardKind::Image;
        return out;
    }
    if (!AData.hasText())
        return out;
    if (ALinkPaste)
        return ClassifyClipboardText(AData.text());
    out.Text = AData.text();
    if (!out.Text.isEmpty())
        out.Kind = TZORClipboardKind::Text;
    return out;
}

} // namespace zor
