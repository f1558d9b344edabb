#include <ZorCompCore/web/EmailSenderUtils.h>

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/web/mime/MimeMessage.h>

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace zor {

namespace {

struct GraphicType
{
    const char16_t *Ext;
    const char *Type;
};

constexpr GraphicType kGraphicTypes[] = {
    {u".jpg", "image/jpeg"}, {u".jpeg", "image/jpeg"},   {u".gif", "image/gif"},
    {u".png", "image/png"},  {u".svg", "image/svg+xml"}, {u".bmp", "image/bmp"},
    {u".tiff", "image/tiff"}, {u".tif", "image/tiff"},   {u".eps", "application/postscript"},
    {u".pdf", "application/pdf"},
};

// ".ext" of the last path component, "" when it has no dot.
QString fileExt(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const qsizetype sep = std::max(fileName.lastIndexOf(u'\\'), fileName.lastIndexOf(u'/'));
    return dot > sep ? fileName.mid(dot) : QString();
}

} // namespace

QString TEmailSenderUtils::GetGraphicTypeForInlineImage(const QString &aFileName)
{
    const QString ext = fileExt(aFileName).toLower();
    for (const GraphicType &g : kGraphicTypes)
        if (ext == QStringView(g.Ext))
            return QLatin1StringView(g.Type);
    return QStringLiteral("application/octet-stream");
}

QString TEmailSenderUtils::PathEncode(const QString &AText)
{
    static const char hex[] = "0123456789ABCDEF";
    QString out;
    for (const char ch : AText.toUtf8()) {
        const auto c = uchar(ch);
        // unreserved, sub-delims, ":" and "@" (RFC 3986 pchar) stay.
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
            || (c != 0 && std::strchr("-._~!$&'()*+,;=:@", c) != nullptr)) {
            out += QLatin1Char(char(c));
        } else {
            out += u'%';
            out += QLatin1Char(hex[c >> 4]);
            out += QLatin1Char(hex[c & 15]);
        }
    }
    return out;
}

void TEmailSenderUtils::AddBodyToMessage(TMimeMessage &AMessage, const QString &APlainBody,
                                         const QString &AHTMLBody, const TStringList *InLineAttachments,
                                         const TStringList *NormalAttachments)
{
    struct File
    {
        QString path, shown;
    };
    QList<File> inlines, attachments;
    if (!AHTMLBody.isEmpty() && InLineAttachments)
        for (int i = 0; i < InLineAttachments->Count(); ++i)
            inlines << File{(*InLineAttachments)[i], QFileInfo((*InLineAttachments)[i]).fileName()};
    if (NormalAttachments)
        for (int i = 0; i < NormalAttachments->Count(); ++i) {
            const QString entry = (*NormalAttachments)[i];
            const qsizetype eq = entry.indexOf(u'=');
            if (eq >= 0)
                attachments << File{entry.mid(eq + 1), entry.left(eq)};
            else
                attachments << File{entry, QFileInfo(entry).fileName()};
        }
    // All files first, so that a missing one leaves the message as it was.
    for (const QList<File> *list : {&inlines, &attachments})
        for (const File &f : *list) {
            QFile probe(f.path);
            if (!probe.open(QIODevice::ReadOnly))
                throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(f.path, probe.errorString()));
        }

    const int base = int(AMessage.MessageParts.size());
    auto add = [&AMessage](const QString &type, int parent) -> TMimePart & {
        TMimePart part;
        part.ParentPart = parent;
        part.SetContentType(type);
        AMessage.MessageParts.append(part);
        return AMessage.MessageParts.last();
    };
    add(QStringLiteral("multipart/related"), -1);
    add(QStringLiteral("multipart/alternative"), base);
    add(QStringLiteral("text/plain"), base + 1).SetContentType(QStringLiteral("text/plain"), QStringLiteral("utf-8"));
    AMessage.MessageParts.last().Body.SetText(APlainBody);
    if (!AHTMLBody.isEmpty()) {
        add(QStringLiteral("text/html"), base + 1).SetContentType(QStringLiteral("text/html"), QStringLiteral("utf-8"));
        AMessage.MessageParts.last().Body.SetText(AHTMLBody);
        for (const File &f : inlines) {
            TMimePart &p = add(GetGraphicTypeForInlineImage(f.shown), base);
            p.SetAttachment(QStringLiteral("inline"), f.shown);
            p.SetContentID(u'<' + PathEncode(f.shown) + u'>');
            p.StoredPathName = f.path;
        }
    }
    AMessage.SetContentType(QStringLiteral("multipart/mixed"));
    for (const File &f : attachments) {
        TMimePart &p = add(QStringLiteral("application/octet-stream"), -1);
        p.SetAttachment(QStringLiteral("attachment"), f.shown);
        p.StoredPathName = f.path;
    }
}

} // namespace zor
