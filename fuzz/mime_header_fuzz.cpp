// The mail codecs on any bytes: encoded words, RFC 2231 parameters,
// addresses, dates and the transfer encodings. Encoders must round-trip.
#include <ZorCompCore/web/mime/MimeCodec.h>

#include "FuzzText.h"

#include <cstddef>
#include <cstdint>

using namespace zor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray raw(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = DecodeHeaderWords(raw);
    if (text.isValidUtf16())
        fuzz::check(DecodeHeaderWords(EncodeHeaderWords(text)) == text);
    const TMimeHeaderParams params = ParseHeaderParams(raw);
    for (const auto &p : params.Params)
        if (p.second.isValidUtf16() && !p.first.isEmpty())
            fuzz::check(ParseHeaderParams("x; " + FormatParam(QStringLiteral("n"), p.second)).Param(QStringLiteral("n"))
                        == p.second);
    (void)ParseAddressList(raw);
    (void)FormatAddressList(ParseAddressList(raw));
    TDateTime utc = 0;
    int offset = 0;
    (void)ParseMailDate(raw, utc, offset);
    fuzz::check(DecodeQuotedPrintable(EncodeQuotedPrintable(raw)) == raw);
    fuzz::check(DecodeBase64(EncodeBase64Lines(raw)) == raw);
    (void)DecodeQuotedPrintable(raw);
    (void)DecodeBase64(raw);
    return 0;
}
