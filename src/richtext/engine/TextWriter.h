// Plain text of a TWPDocument, as a reader sees it: hidden text left out,
// fields as they show, list items with their number or bullet and a tab,
// table cells separated by tabs and rows by line ends, pictures left out,
// footnotes at the end after their numbers.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QString>

namespace zor {

class TWPDocument;

class ZOR_EXPORT TWPTextWriter
{
public:
    // lineEnd ends every paragraph but the last.
    static QString Write(const TWPDocument &doc, const QString &lineEnd = QStringLiteral("\r\n"));
};

} // namespace zor
