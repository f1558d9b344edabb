#include <ZorCompCore/web/ZORHTMLViewerHelper.h>

#include <ZorCompCore/core/BinaryUtils.h>
#include <ZorCompCore/core/StreamHelper.h>
#include <ZorCompCore/html/HtDocument.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/platform/Variant.h>
#include <ZorCompCore/utilities/AnsiStringTools.h>
#include <ZorCompCore/web/EmailSenderUtils.h>

#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zor {

namespace {

Q_LOGGING_CATEGORY(lcBinHtml, "zor.web.binhtml", QtInfoMsg)

constexpr qint32 kBinHtmlVersion = 1;
// The smallest entry: an empty name and an empty block, two 64-bit counts.
constexpr qint64 kSmallestEntry = 16;

// The part after the last folder separator, Windows' or ours: names come
// from blocks written on either.
QString fileNamePart(const QString &name)
{
    const qsizetype cut = std::max(name.lastIndexOf(u'\\'), name.lastIndexOf(u'/'));
    return name.mid(cut + 1);
}

// A name that, joined to a folder, stays a file directly inside it.
bool isPlainFileName(const QString &name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(QChar(0));
}

QString withTrailingSeparator(const QString &path)
{
    return path.endsWith(u'/') ? path : path + u'/';
}

[[noreturn]] void cannotCreate(const QString &fileName, const QString &reason)
{
    throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, reason));
}

// Writes data as folder/name through a temporary file in the same folder:
// the rename replaces whatever stood under the name (a symbolic link
// included) instead of writing through it, and a failed write leaves the
// old file alone.
void writeInside(const QString &folder, const QString &name, const QByteArray &data)
{
    const QString target = folder + name;
    QTemporaryFile tmp(folder + QStringLiteral(".binhtml-XXXXXX"));
    if (!tmp.open())
        cannotCreate(target, tmp.errorString());
    if (tmp.write(data) != data.size() || !tmp.flush())
        cannotCreate(target, tmp.errorString());
    tmp.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                       | QFileDevice::ReadOther);
    if (std::rename(QFile::encodeName(tmp.fileName()).constData(), QFile::encodeName(target).constData()) != 0)
        cannotCreate(target, QString::fromLocal8Bit(std::strerror(errno)));
    tmp.setAutoRemove(false);
}

// Rewrites the first src="%IMAGEPATH%<name>" into the file's data: URI.
void embedFirstReference(QString &html, const QString &name, const QByteArray &data)
{
    const QString ref = QStringLiteral("src=\"%IMAGEPATH%") + name + u'"';
    const qsizetype at = html.indexOf(ref);
    if (at < 0)
        return;
    const QString uri = QStringLiteral("src=\"data:") + TEmailSenderUtils::GetGraphicTypeForInlineImage(name)
                        + QStringLiteral(";base64,") + MIMEEncodeBytes(data, -1) + u'"';
    html.replace(at, ref.size(), uri);
}

} // namespace

void TZORHTMLViewerHelper::WriteToBinaryStream(TStream &AStream, const QString &AHTML, const QString &AContentPath,
                                               const TStringList *AFileList)
{
    TStreamHelper h(&AStream);
    h.WriteInteger(kBinHtmlVersion);
    h.WriteInteger(AFileList ? AFileList->Count() : 0);
    h.WriteString(AHTML);
    if (!AFileList)
        return;
    const QString folder = AContentPath.isEmpty() ? QString() : withTrailingSeparator(AContentPath);
    for (int i = 0; i < AFileList->Count(); ++i) {
        const QString entry = AFileList->Get(i);
        TMemoryStream content;
        content.LoadFromFile(folder + entry);
        h.WriteString(fileNamePart(entry));
        h.WriteBinary(StreamToBinary(&content));
    }
}

void TZORHTMLViewerHelper::ReadFromBinaryStream(TStream &AStream, QString &AHTML, const QString &AContentPath,
                                                TStringList *AFileList, bool AEmbedContent)
{
    AHTML.clear();
    if (AStream.Size() == 0)
        return;
    TStreamHelper h(&AStream);
    h.ReadInteger(); // the version: every version so far reads the same
    const qint32 count = h.ReadInteger();
    AHTML = h.ReadString();
    const QString folder = AContentPath.isEmpty() ? QString() : withTrailingSeparator(AContentPath);
    for (qint32 i = 0; i < count; ++i) {
        // Bounded by the bytes left: a hostile count ends with the data.
        if (AStream.Size() - AStream.Position() < kSmallestEntry)
            break;
        const QString stored = h.ReadString();
        const QByteArray data = h.ReadBinary();
        const QString name = fileNamePart(stored);
        if (!isPlainFileName(name)) {
            qCDebug(lcBinHtml) << "skipping an entry named" << stored;
            continue;
        }
        if (AFileList)
            AFileList->Add(name);
        if (!folder.isEmpty())
            writeInside(folder, name, data);
        if (AEmbedContent)
            embedFirstReference(AHTML, name, data);
    }
}

QByteArray TZORHTMLViewerHelper::ConvertHTMLToBinHTML(const QString &AHTML)
{
    TMemoryStream block;
    WriteToBinaryStream(block, AHTML, QString(), nullptr);
    return StreamToBinary(&block);
}

QString TZORHTMLViewerHelper::ConvertBinHTMLToHTML(const QByteArray &ABinHTML, const QString &AContentPath,
                                                   TStringList *AFileList, bool AEmbedContent)
{
    TBytesStream block(ABinHTML);
    QString html;
    ReadFromBinaryStream(block, html, AContentPath, AFileList, AEmbedContent);
    return html;
}

const TCSSSection *TZORHTMLViewerHelper::FindCSSClass(const THtDocument &Doc, const QString &ACSSClassName)
{
    return Doc.FindCSSClass(ACSSClassName);
}

Variant TZORHTMLViewerHelper::GetCSSClassValue(const THtDocument &Doc, const QString &ACSSClassName,
                                               const QString &AValueName, const Variant &ADefault)
{
    const TCSSSection *section = Doc.FindCSSClass(ACSSClassName);
    const std::vector<TCSSValue> *values = section ? section->Values(AValueName) : nullptr;
    if (!values || values->empty())
        return ADefault;
    const TCSSValue &first = values->front();
    if (first.IsNumeric())
        return Variant(first.Number);
    return Variant(first.Text);
}

} // namespace zor
