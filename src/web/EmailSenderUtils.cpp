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

namespace {

// Keep in step with TSuppressAutoRepsonseType (ORDER SAR).
const char *const kSuppressTokens[] = {"DR", "NDR", "RN", "NRN", "OOF", "AutoReply"};
constexpr int kSuppressValues[] = {1, 2, 4, 8, 16, 32};
constexpr TSuppressAutoRepsonseTypes kSuppressAll = 0x3F;

} // namespace

QString TEmailSenderUtils::GetFileExtByContentType(const QString &AContentType)
{
    const QString t = AContentType.trimmed().toLower();
    if (t == QLatin1String("image/jpeg"))
        return QStringLiteral(".jpg");
    if (t == QLatin1String("application/pdf"))
        return QStringLiteral(".pdf");
    if (t == QLatin1String("application/postscript"))
        return QStringLiteral(".eps");
    if (t == QLatin1String("image/svg+xml"))
        return QStringLiteral(".svg");
    if (t.startsWith(QLatin1String("image/")))
        return u'.' + t.mid(6);
    return {};
}

QString TEmailSenderUtils::CreateHTMLEmailContentIDBody(const QString &aText)
{
    QString result = aText;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype img = result.indexOf(QLatin1String("<IMG "), pos, Qt::CaseInsensitive);
        if (img < 0)
            break;
        const qsizetype src = result.indexOf(QLatin1String("src=\""), img + 5, Qt::CaseInsensitive);
        if (src < 0) {
            pos = img + 5;
            continue;
        }
        const qsizetype value = src + 5;
        if (result.mid(value, 4) != QLatin1String("data"))
            result.insert(value, QLatin1String("cid:"));
        pos = value;
    }
    return result;
}

TAutoRepliedType TEmailSenderUtils::GetMessagAutoRepliedType(const TMimeMessage &AMessage)
{
    const TMimeHeaders &h = AMessage.Headers;
    auto is = [&h](const char *name, const char *value) {
        return h.Has(name) && h.Raw(name) == value;
    };
    if (is("auto-submitted", "auto-replied"))
        return artOutOfOffice;
    if (is("auto-submitted", "auto-notified"))
        return artNotification;
    if (is("auto-submitted", "auto-generated"))
        return artAutoGenerated;
    if (is("precedence", "auto_reply") || is("x-precedence", "auto_reply") || h.Has("x-autorespond")
        || h.Has("x-autoreply") || h.Has("X-Mail-Autoreply") || is("X-FC-MachineGenerated", "true")
        || is("Delivered-To", "Autoresponder"))
        return artOutOfOffice;
    if (is("precedence", "bulk"))
        return artBulk;
    if (is("precedence", "junk"))
        return artJunk;
    if (h.Has("X-Failed-Recipients") || h.Raw("Content-Type").contains("report-type=delivery-status"))
        return artDeliveryStatus;
    return artNone;
}

TSuppressAutoRepsonseTypes TEmailSenderUtils::GetMessagSuppressAutoResponse(const TMimeMessage &AMessage)
{
    TSuppressAutoRepsonseTypes result = 0;
    if (!AMessage.Headers.Has("X-Auto-Response-Suppress"))
        return result;
    const QString value = AMessage.Headers.Text("X-Auto-Response-Suppress");
    for (const QString &part : value.split(u',')) {
        const QString token = part.trimmed();
        if (token == QLatin1String("All"))
            result = kSuppressAll;
        else if (token == QLatin1String("None"))
            result = 0;
        else
            for (int i = 0; i < 6; ++i)
                if (token == QLatin1String(kSuppressTokens[i]))
                    result |= 1u << i;
    }
    return result;
}

QString TEmailSenderUtils::GetSuppressAutoResponseHeaderValue(TSuppressAutoRepsonseTypes ASuppressAutoRepsonseTypes)
{
    if ((ASuppressAutoRepsonseTypes & kSuppressAll) == kSuppressAll)
        return QStringLiteral("All");
    QStringList tokens;
    for (int i = 0; i < 6; ++i)
        if (ASuppressAutoRepsonseTypes & (1u << i))
            tokens << QLatin1String(kSuppressTokens[i]);
    return tokens.join(QLatin1String(", "));
}

int TEmailSenderUtils::GetSuppressAutoResponseMAPIValue(TSuppressAutoRepsonseTypes ASuppressAutoRepsonseTypes)
{
    int result = 0;
    for (int i = 0; i < 6; ++i)
        if (ASuppressAutoRepsonseTypes & (1u << i))
            result |= kSuppressValues[i];
    return result;
}

} // namespace zor
