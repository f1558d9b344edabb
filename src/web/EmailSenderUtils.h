// TEmailSenderUtils: what outgoing mail needs to know about the files it
// carries. Inline images are typed by their file extension alone (the mail
// client shows what the header says, so the header follows the name the
// user sees).
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QString>

namespace zor {

class TMimeMessage;
class TStringList;

class ZOR_EXPORT TEmailSenderUtils
{
public:
    // The MIME type of an inline image by its extension, ignoring case:
    // "image/jpeg", "image/png", ... and "application/octet-stream" for an
    // extension it does not know or none.
    static QString GetGraphicTypeForInlineImage(const QString &aFileName);

    // Builds mixed[related[alternative[plain, html], inline images],
    // attachments] in AMessage (parts 0 related, 1 alternative, 2 plain, ...).
    // Inline images are only added with an HTML body; their content IDs are
    // the RFC 3986 path encoding of the file name. NormalAttachments entries
    // are paths or "shown name=path". Every file is checked first: one that
    // cannot be opened raises EFOpenError naming it, and the message is left
    // unchanged. File contents are read when the message is written.
    static void AddBodyToMessage(TMimeMessage &AMessage, const QString &APlainBody, const QString &AHTMLBody,
                                 const TStringList *InLineAttachments, const TStringList *NormalAttachments);
    // Percent-encodes all but RFC 3986 path characters (UTF-8 bytes).
    static QString PathEncode(const QString &AText);
};

} // namespace zor
