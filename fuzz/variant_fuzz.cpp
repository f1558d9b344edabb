// Feeds arbitrary bytes to the variant decoder and to the named variant list
// loader. Both must either decode or raise a zor::Exception; anything else
// (a crash, a sanitizer report, a huge allocation) is a finding.
#include <ZorCompCore/core/NamedVariantList.h>
#include <ZorCompCore/core/StreamHelper.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        zor::TBytesStream stream(bytes);
        zor::TStreamHelper helper(&stream);
        try {
            const zor::Variant v = helper.ReadVariant();
            // What was read must encode again.
            zor::TMemoryStream out;
            zor::TStreamHelper(&out).WriteVariant(v);
        } catch (const zor::Exception &) {
        }
    }
    {
        zor::TBytesStream stream(bytes);
        zor::TNamedVariantList list;
        try {
            list.LoadFromStream(stream);
            zor::TMemoryStream out;
            list.SaveToStream(out);
        } catch (const zor::Exception &) {
        }
    }
    return 0;
}
