// Plain text into a TWPDocument: one paragraph per line (CR LF, LF or CR
// end a line), tabs kept, a form feed starts a new page.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>

namespace zor {

class TWPDocument;

class ZOR_EXPORT TWPTextReader
{
public:
    // Replaces doc's content with text.
    static void Read(const QString &text, TWPDocument &doc);
    // Text of bytes: by a byte order mark (UTF-8, UTF-16), else UTF-8 when
    // the bytes are valid UTF-8 and ansi is false, else the ANSI code page.
    static QString Decode(const QByteArray &bytes, bool ansi = false);
};

} // namespace zor
