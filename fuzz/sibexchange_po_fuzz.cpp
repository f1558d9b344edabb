// Reads arbitrary bytes as a gettext PO file of translations: what reads must
// write and read again to the same texts and languages; damaged input may
// only raise EReadError.
#include <ZorCompCore/localisation/SibExchange.h>
#include <ZorCompCore/platform/Exception.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// The writer marks only translated texts fuzzy: gettext ignores the flag on
// an empty one.
QList<zor::TSIBExchangeMessage> normalised(QList<zor::TSIBExchangeMessage> AMessages)
{
    for (auto &m : AMessages)
        m.Unfinished = m.Unfinished && !m.Translation.isEmpty();
    return AMessages;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    zor::TSIBExchangeFile file;
    try {
        file = zor::SIBExchangeFromPO(bytes);
    } catch (const zor::EReadError &) {
        return 0;
    }
    const zor::TSIBExchangeFile again = zor::SIBExchangeFromPO(zor::SIBExchangeToPO(file)); // must not raise: we wrote it
    if (normalised(again.Messages) != normalised(file.Messages) || again.Language != file.Language
        || again.SourceLanguage != file.SourceLanguage)
        abort();
    return 0;
}
