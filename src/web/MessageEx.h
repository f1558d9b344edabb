// TIdMessageEx: a mail message with the helpers mail clients need around it:
// text bodies by type, reply indentation, content-ID rewriting of HTML
// bodies and inline attachments.
#pragma once

#include <ZorCompCore/web/mime/MimeMessage.h>
#include <ZorCompCore/zor_export.h>

#include <QString>
#include <QStringList>

namespace zor {

class TStream;
class TStringList;

class ZOR_EXPORT TIdMessageEx : public TMimeMessage
{
public:
    // Reads from the stream's position; AHeadersOnly stops after the headers.
    void LoadFromStream(TStream &AStream, bool AHeadersOnly = false);
    // Opens the file for exclusive reading; a missing file raises EFOpenError.
    void LoadFromFile(const QString &AFileName, bool AHeadersOnly = false);

    // The text of a text part; empty for attachments and containers.
    static QString ExtractContentFromPart(const TMimePart &APart);
    // The first text part (depth first) whose media type is AContentPart
    // ("text/html"), compared without case; empty when none.
    static QString GetEmailTextBodyFromPart(const QList<TMimePart> &MessageParts, const QString &AContentPart);
    // The same for a message: its own body when it has no parts and the type matches.
    static QString GetEmailTextBody(const TMimeMessage &AEmailData, const QString &AContentPart);
    // "> " before the text and after every CR LF.
    static QString ConvertToReplyTextIndent(const QString &ATextPart);
    // Puts "cid:" before <img src="..."> values: all of them without a list,
    // else those that one of the names (or its URL path encoding) contains.
    static QString AddContentIDForHtmlMail(const QString &aText, const TStringList *AInlineAttachemens = nullptr);
    // Drops "cid:" from <img src="cid:..."> values, putting AReplaceBy (a
    // folder URL, say) in its place. ARemoveTextAfterAdd also drops the
    // "@..." tail some clients add to content IDs ("logo.png@01DA..."),
    // so that the value is the file name SaveInlineAttachementsToPath writes.
    static QString RemoveContentIDFromHtmlMail(const QString &aText, const QString &AReplaceBy = {},
                                               bool ARemoveTextAfterAdd = false);
    // The content ID without its angle brackets.
    static QString GetContentID(const TMimePart &APart);

    // An attachment shown inside the HTML: inline disposition, or a content
    // ID the HTML body refers to with "cid:".
    bool GetSmartIsInlineAttachment(const TMimePart &APart) const;
    // Writes every such attachment into APath (named by its file name, else
    // its content ID and an extension for its type) and returns the paths.
    QStringList SaveInlineAttachementsToPath(const QString &APath) const;
};

} // namespace zor
