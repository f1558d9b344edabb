// Reads arbitrary bytes as a translation file: whatever loads must save and
// load again to the same entries, and damaged input may only raise EReadError.
#include <ZorCompCore/localisation/runtime/SibFile.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    zor::TBytesStream in(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    zor::TSIBFileManager files;
    try {
        files.LoadFromStream(in);
    } catch (const zor::EReadError &) {
        return 0;
    }
    zor::TMemoryStream out;
    files.SaveToStream(out);
    out.SetPosition(0);
    zor::TSIBFileManager again;
    again.LoadFromStream(out); // must not raise: we wrote it
    if (again.Count() != files.Count())
        abort();
    for (int i = 0; i < files.Count(); ++i) {
        const zor::TSIBEntry &a = files.Entry(i), &b = again.Entry(i);
        if (a.OwnerName != b.OwnerName || a.LangNames != b.LangNames || a.DefaultLanguage != b.DefaultLanguage
            || a.Lines != b.Lines)
            abort();
    }
    return 0;
}
