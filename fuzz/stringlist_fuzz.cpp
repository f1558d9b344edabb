// Loads arbitrary bytes as a text file and as delimited text. Loading must
// never crash, and what a list prints must read back to the same items:
// Text, CommaText and strict DelimitedText are round trips.
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void expectSameItems(const zor::TStringList &a, const zor::TStringList &b)
{
    if (!a.Equals(b))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    zor::TStringList list;
    try {
        zor::TBytesStream stream(bytes);
        list.LoadFromStream(stream);
    } catch (const zor::Exception &) {
        return 0;
    }

    zor::TStringList text;
    text.SetText(list.Text());
    expectSameItems(list, text);

    // The same text read as comma text: printing it must parse back identically.
    zor::TStringList comma;
    comma.SetCommaText(list.Text());
    zor::TStringList commaAgain;
    commaAgain.SetCommaText(comma.CommaText());
    expectSameItems(comma, commaAgain);

    zor::TStringList strict;
    strict.SetStrictDelimiter(true);
    strict.SetDelimiter(u';');
    strict.SetQuoteChar(u'\'');
    strict.SetDelimitedText(list.Text());
    zor::TStringList strictAgain;
    strictAgain.SetStrictDelimiter(true);
    strictAgain.SetDelimiter(u';');
    strictAgain.SetQuoteChar(u'\'');
    strictAgain.SetDelimitedText(strict.DelimitedText());
    expectSameItems(strict, strictAgain);

    // Every encoding the list writes reads back to the same items.
    for (const char *encoding : {"UTF-8", "UTF-16LE", "UTF-16BE"}) {
        zor::TMemoryStream out;
        list.SaveToStream(out, QString::fromLatin1(encoding));
        out.SetPosition(0);
        zor::TStringList back;
        back.LoadFromStream(out, QString::fromLatin1(encoding));
        // Lone surrogates do not survive UTF-8; compare only valid text.
        if (list.Text().isValidUtf16())
            expectSameItems(list, back);
    }
    return 0;
}
