#include <ZorCompCore/web/MessageEx.h>

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/web/EmailSenderUtils.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/HtmlReader.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>
#include <ZorCompCore/richtext/engine/TextReader.h>

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

namespace zor {

namespace {

const QString kEmlFormat = QStringLiteral("EML");

bool readEml(const QByteArray &data, TWPDocument &doc, QString &error)
{
    TMimeMessage m;
    m.Parse(data);
    // Every message has header fields; bytes without any are something else.
    if (m.Headers.Count() == 0) {
        error = QStringLiteral("the data is not an e-mail message");
        return false;
    }
    TIdMessageEx::RenderMessage(m, doc);
    return true;
}

} // namespace

namespace detail {

void IndyUtilsStartup()
{
    TWPToolsEnviroment::Global().RegisterReader(kEmlFormat, &readEml);
}

void IndyUtilsShutdown()
{
    TWPToolsEnviroment::Global().RegisterReader(kEmlFormat, {});
}

} // namespace detail

TIdMessageEx::TIdMessageEx() = default;
TIdMessageEx::~TIdMessageEx() = default;
TIdMessageEx::TIdMessageEx(TIdMessageEx &&) noexcept = default;
TIdMessageEx &TIdMessageEx::operator=(TIdMessageEx &&) noexcept = default;

TWPCustomRtfEdit *TIdMessageEx::RichData() const
{
    return FRichData.get();
}

QByteArray TIdMessageEx::GetBodyAsRTF() const
{
    return FRichData ? FRichData->SaveToBytes(QStringLiteral("RTF")) : QByteArray();
}

void TIdMessageEx::RenderMessage(const TMimeMessage &AMessage, TWPDocument &doc)
{
    const QString html = GetEmailTextBody(AMessage, QStringLiteral("text/html"));
    if (html.isEmpty()) {
        QString text = GetEmailTextBody(AMessage, QStringLiteral("text/plain"));
        if (text.endsWith(u'\n')) // the body's last line break ends its last paragraph
            text.chop(text.endsWith(QLatin1String("\r\n")) ? 2 : 1);
        TWPTextReader::Read(text, doc);
    } else {
        // "cid:" URLs name parts by content ID, percent-encoded (RFC 2392);
        // nothing else is looked up: a message never reads local files.
        const auto cidPicture = [&AMessage](const QString &src) -> QByteArray {
            if (!src.startsWith(QLatin1String("cid:"), Qt::CaseInsensitive))
                return {};
            const QString raw = src.mid(4).trimmed();
            const QString id = QUrl::fromPercentEncoding(raw.toUtf8());
            for (const TMimePart &p : AMessage.MessageParts) {
                if (!p.IsAttachment)
                    continue;
                const QString cid = GetContentID(p);
                if (!cid.isEmpty() && (cid == id || cid == raw))
                    return p.Data();
            }
            return {};
        };
        TWPHTMLReader::Read(html, doc, {}, cidPicture);
    }
    if (doc.Info(QStringLiteral("title")).isEmpty()) {
        const QString subject = AMessage.Subject();
        if (!subject.isEmpty())
            doc.SetInfo(QStringLiteral("title"), subject);
    }
}

void TIdMessageEx::LoadFromStream(TStream &AStream, bool AHeadersOnly)
{
    const qint64 start = AStream.Position();
    const QByteArray fromStart = AStream.ReadAll();
    if (!FRichData)
        FRichData = std::make_unique<TWPCustomRtfEdit>();
    else
        FRichData->Document().Clear(); // a failed load must not show the last message
    FRichData->LoadFromBytes(fromStart, kEmlFormat);
    QByteArray data = fromStart;
    if (start != 0) {
        AStream.SetPosition(0);
        data = AStream.ReadAll();
    }
    if (AHeadersOnly) {
        // The headers end at the first empty line, with either line break.
        qsizetype end = data.size();
        for (const char *blank : {"\n\n", "\n\r\n"})
            if (const qsizetype i = data.indexOf(blank); i >= 0 && i + 1 < end)
                end = i + 1;
        data.truncate(end);
    }
    Parse(data);
}

void TIdMessageEx::LoadFromFile(const QString &AFileName, bool AHeadersOnly)
{
    if (!QFileInfo(AFileName).isFile()) {
        TMimeMessage::LoadFromFile(AFileName); // raises EFOpenError naming it
        return;
    }
    TFileStream stream(AFileName, fmOpenRead | fmShareExclusive);
    LoadFromStream(stream, AHeadersOnly);
}

QString TIdMessageEx::ExtractContentFromPart(const TMimePart &APart)
{
    if (APart.IsAttachment || APart.IsMultipart())
        return {};
    return APart.Body.Text();
}

QString TIdMessageEx::GetEmailTextBodyFromPart(const QList<TMimePart> &MessageParts, const QString &AContentPart)
{
    // The list is depth first already: the first match is the one a
    // recursive search would find.
    for (const TMimePart &p : MessageParts)
        if (!p.IsAttachment && !p.IsMultipart() && p.ContentType().compare(AContentPart.trimmed(), Qt::CaseInsensitive) == 0)
            return p.Body.Text();
    return {};
}

QString TIdMessageEx::GetEmailTextBody(const TMimeMessage &AEmailData, const QString &AContentPart)
{
    if (AEmailData.MessageParts.isEmpty())
        return AEmailData.ContentType().compare(AContentPart.trimmed(), Qt::CaseInsensitive) == 0
                   ? AEmailData.Body.Text()
                   : QString();
    return GetEmailTextBodyFromPart(AEmailData.MessageParts, AContentPart);
}

QString TIdMessageEx::ConvertToReplyTextIndent(const QString &ATextPart)
{
    QString text = ATextPart;
    text.replace(QLatin1String("\r\n"), QLatin1String("\r\n> "));
    return QLatin1String("> ") + text;
}

QString TIdMessageEx::AddContentIDForHtmlMail(const QString &aText, const TStringList *AInlineAttachemens)
{
    QString result = aText;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype img = result.indexOf(QLatin1String("<img"), pos, Qt::CaseInsensitive);
        if (img < 0)
            break;
        const qsizetype src = result.indexOf(QLatin1String("src=\""), img + 4, Qt::CaseInsensitive);
        if (src < 0) {
            pos = img + 4;
            continue;
        }
        const qsizetype start = src + 5;
        const qsizetype end = result.indexOf(u'"', start);
        const QString value = result.mid(start, end < 0 ? -1 : end - start);
        bool add = AInlineAttachemens == nullptr;
        if (!add && !value.isEmpty())
            for (int i = 0; i < AInlineAttachemens->Count() && !add; ++i) {
                const QString name = (*AInlineAttachemens)[i];
                add = name.contains(value) || TEmailSenderUtils::PathEncode(name).contains(value);
            }
        if (add)
            result.insert(start, QLatin1String("cid:"));
        pos = start;
    }
    return result;
}

QString TIdMessageEx::RemoveContentIDFromHtmlMail(const QString &aText, const QString &AReplaceBy,
                                                  bool ARemoveTextAfterAdd)
{
    QString result = aText;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype img = result.indexOf(QLatin1String("<img"), pos, Qt::CaseInsensitive);
        if (img < 0)
            break;
        const qsizetype src = result.indexOf(QLatin1String("src=\""), img + 4, Qt::CaseInsensitive);
        pos = img + 4;
        if (src < 0)
            continue;
        const qsizetype start = src + 5;
        if (result.mid(start, 4).compare(QLatin1String("cid:"), Qt::CaseInsensitive) != 0) {
            pos = start;
            continue;
        }
        result.replace(start, 4, AReplaceBy);
        pos = start + AReplaceBy.size();
        if (ARemoveTextAfterAdd) {
            const qsizetype end = result.indexOf(u'"', pos);
            const qsizetype at = result.indexOf(u'@', pos);
            if (at >= 0 && end >= 0 && at < end)
                result.remove(at, end - at);
        }
    }
    return result;
}

QString TIdMessageEx::GetContentID(const TMimePart &APart)
{
    const QString id = APart.ContentID();
    if (id.size() > 2 && id.startsWith(u'<') && id.endsWith(u'>'))
        return id.mid(1, id.size() - 2);
    return id;
}

bool TIdMessageEx::GetSmartIsInlineAttachment(const TMimePart &APart) const
{
    if (!APart.IsAttachment)
        return false;
    if (APart.ContentDisposition() == QLatin1String("inline"))
        return true;
    const QString id = GetContentID(APart);
    return !id.isEmpty()
           && GetEmailTextBody(*this, QStringLiteral("text/html")).contains(QLatin1String("cid:") + id, Qt::CaseInsensitive);
}

QStringList TIdMessageEx::SaveInlineAttachementsToPath(const QString &APath) const
{
    QStringList saved;
    QDir dir(APath);
    if (!dir.exists() && !dir.mkpath(QStringLiteral(".")))
        throw EFCreateError(QStringLiteral("Cannot create folder \"%1\"").arg(APath));
    for (const TMimePart &p : MessageParts) {
        if (!GetSmartIsInlineAttachment(p))
            continue;
        QString name = QFileInfo(p.FileName()).fileName();
        if (name.isEmpty()) {
            // The same name RemoveContentIDFromHtmlMail leaves in the HTML.
            name = GetContentID(p).section(u'@', 0, 0);
            if (QFileInfo(name).suffix().isEmpty())
                name += TEmailSenderUtils::GetFileExtByContentType(p.ContentType());
        }
        // Names come from the message: never let one leave the folder.
        name.replace(u'/', u'_').replace(u'\\', u'_');
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
            name = QStringLiteral("inline%1").arg(saved.size() + 1);
        const QString path = dir.filePath(name);
        QSaveFile f(path);
        const QByteArray data = p.Data();
        if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit())
            throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, f.errorString()));
        saved << path;
    }
    return saved;
}

} // namespace zor
