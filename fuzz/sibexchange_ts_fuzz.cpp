// Reads arbitrary bytes as a Qt Linguist file of translations: what reads
// must write and read again to the same texts; damaged input may only raise
// EReadError.
#include <ZorCompCore/localisation/SibExchange.h>
#include <ZorCompCore/platform/Exception.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// The writer puts each form's texts in one context, in the order the forms
// first appear; the file may have had them apart.
QList<zor::TSIBExchangeMessage> grouped(const QList<zor::TSIBExchangeMessage> &AMessages)
{
    QStringList owners;
    for (const auto &m : AMessages)
        if (!owners.contains(m.Owner))
            owners << m.Owner;
    QList<zor::TSIBExchangeMessage> out;
    for (const QString &owner : owners)
        for (auto m : AMessages)
            if (m.Owner == owner) {
                // An empty translation is written as unfinished.
                m.Unfinished = m.Unfinished || m.Translation.isEmpty();
                out.append(m);
            }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    zor::TSIBExchangeFile file;
    try {
        file = zor::SIBExchangeFromTS(bytes);
    } catch (const zor::EReadError &) {
        return 0;
    }
    const zor::TSIBExchangeFile again = zor::SIBExchangeFromTS(zor::SIBExchangeToTS(file)); // must not raise: we wrote it
    if (grouped(again.Messages) != grouped(file.Messages))
        abort();
    return 0;
}
