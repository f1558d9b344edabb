// Image list streams from outside: a single list ("TPF0" and property
// records with the list's Bitmap data) or a set of lists. Loading never
// crashes or over-allocates: it succeeds or raises a stream error; a list
// that loaded saves to bytes that load back and save identically.
// The first byte picks the reader; the rest is the stream.
#include <ZorCompCore/imaging/ImageListUtils.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/ImageList.h>
#include <ZorCompCore/platform/Stream.h>

#include <cstddef>
#include <cstdint>

namespace {

QByteArray Saved(zor::TImageList &list)
{
    zor::TMemoryStream out;
    zor::TImageListStore::SaveToStream(&list, out);
    return out.ToBytes();
}

void CheckStable(zor::TImageList &list)
{
    const QByteArray once = Saved(list);
    zor::TImageList back;
    zor::TBytesStream in(once);
    zor::TImageListStore::LoadFromStream(&back, in);
    if (Saved(back) != once || back.Count() != list.Count())
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 1 << 18)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    zor::TBytesStream stream(bytes);
    try {
        if (data[0] & 1) {
            zor::TImageList a, b, c;
            a.SetSize(16, 16);
            b.SetSize(24, 24);
            c.SetSize(32, 32);
            zor::TImageListStore::LoadFromSetStream({&a, &b, &c}, stream);
            CheckStable(a);
            CheckStable(c);
        } else {
            zor::TImageList list;
            zor::TImageListStore::LoadFromStream(&list, stream);
            CheckStable(list);
        }
    } catch (const zor::EReadError &) {
    }
    return 0;
}
