// RTF writer: everything a TWPDocument holds, as 7-bit RTF that our reader
// (and other word processors) read back.
//
// Text outside ASCII is written as \uN with a '?' fallback (\uc1); each run
// is its own group, so no property leaks into the next. Fields become \field
// groups (ours that other programs do not know as "ZORFIELD kind name", with
// the shown text as their result), links HYPERLINK fields, pictures \pict
// groups with the bytes as read. Data items go into {\*\zordata name;hex},
// which other readers skip.
//
// Reading what this writes gives the same document; writing what the reader
// made of any RTF and reading it again changes nothing more.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>

namespace zor {

class TWPDocument;

class ZOR_EXPORT TWPRTFWriter
{
public:
    static QByteArray Write(const TWPDocument &doc);
};

} // namespace zor
