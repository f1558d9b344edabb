// TIdMessageEx: a mail message with the helpers mail clients need around it:
// text bodies by type, reply indentation, content-ID rewriting of HTML
// bodies and inline attachments, and a rich-text rendering of what it shows.
//
// The rendering comes from the rich-text engine's "EML" reader, which this
// unit registers when the library starts: the HTML body (its "cid:"
// pictures taken from the message's parts, nothing from disk or network),
// else the plain-text body. Any TWPCustomRtfEdit can load a message that way.
#pragma once

#include <ZorCompCore/web/mime/MimeMessage.h>
#include <ZorCompCore/zor_export.h>

#include <QString>
#include <QStringList>

#include <memory>

namespace zor {

class TStream;
class TStringList;
class TWPCustomRtfEdit;
class TWPDocument;

class ZOR_EXPORT TIdMessageEx : public TMimeMessage
{
public:
    TIdMessageEx();
    ~TIdMessageEx() override;
    TIdMessageEx(TIdMessageEx &&) noexcept;
    TIdMessageEx &operator=(TIdMessageEx &&) noexcept;

    // The rich-text edit renders the stream from its position on (see
    // RichData); the message itself is then read from the stream's start.
    // AHeadersOnly stops the message after the headers.
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

    // The headless rich-text edit holding the last loaded message as shown
    // (created by the first LoadFromStream/LoadFromFile, null before).
    TWPCustomRtfEdit *RichData() const;
    // That rendering as RTF; empty before the first load.
    QByteArray GetBodyAsRTF() const;

    // What the "EML" reader does: the message's HTML body with its inline
    // pictures, else its plain-text body, into doc.
    static void RenderMessage(const TMimeMessage &AMessage, TWPDocument &doc);

private:
    std::unique_ptr<TWPCustomRtfEdit> FRichData;
};

namespace detail {
// Registers the "EML" reader with the rich-text engine, and takes it back.
ZOR_EXPORT void IndyUtilsStartup();
ZOR_EXPORT void IndyUtilsShutdown();
} // namespace detail

} // namespace zor
