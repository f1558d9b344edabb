// TEmailSenderUtils: what outgoing mail needs to know about the files it
// carries. Inline images are typed by their file extension alone (the mail
// client shows what the header says, so the header follows the name the
// user sees).
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QString>

namespace zor {

class ZOR_EXPORT TEmailSenderUtils
{
public:
    // The MIME type of an inline image by its extension, ignoring case:
    // "image/jpeg", "image/png", ... and "application/octet-stream" for an
    // extension it does not know or none.
    static QString GetGraphicTypeForInlineImage(const QString &aFileName);
};

} // namespace zor
