// Reads any bytes as a mail message, writes it and reads the result again:
// the part tree (parents, kinds, types), texts and contents must survive.
#include <ZorCompCore/web/mime/MimeMessage.h>

#include "FuzzText.h"

#include <cstddef>
#include <cstdint>

using namespace zor;

namespace {

QByteArray crlf(QByteArray b)
{
    return b.replace("\r\n", "\n").replace('\r', '\n');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TMimeMessage first;
    first.Parse(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QByteArray written = first.ToBytes();
    TMimeMessage second;
    second.Parse(written);
    fuzz::check(first.MessageParts.size() == second.MessageParts.size());
    for (qsizetype i = 0; i < first.MessageParts.size(); ++i) {
        const TMimePart &a = first.MessageParts[i];
        const TMimePart &b = second.MessageParts[i];
        fuzz::check(a.ParentPart == b.ParentPart);
        fuzz::check(a.IsAttachment == b.IsAttachment);
        fuzz::check(a.ContentType() == b.ContentType());
        if (!a.IsAttachment && !a.IsMultipart())
            fuzz::check(a.Body.Text() == b.Body.Text());
        else if (a.ContentType().startsWith(QLatin1String("message/")))
            fuzz::check(crlf(a.Data()) == crlf(b.Data())); // enclosed messages travel with CRLF
        else if (a.IsAttachment)
            fuzz::check(a.Data() == b.Data());
    }
    if (first.MessageParts.isEmpty())
        fuzz::check(first.Body.Text() == second.Body.Text());
    fuzz::check(first.Subject() == second.Subject());
    return 0;
}
