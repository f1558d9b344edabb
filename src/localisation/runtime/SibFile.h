// Translation files (".sib"): the texts of several language components, one
// entry per owner (a form's class name), in the library's typed stream
// encoding (TStreamHelper):
//
//   4 bytes   "ZSIB"
//   Word      format version (SIBFormatVersion)
//   Integer   number of entries, then per entry:
//     String    owner name
//     Integer   number of languages, then each name as a String
//     Integer   default language (1-based)
//     Integer   number of collections, then per collection:
//       Integer   TStringsType value (0..11)
//       Integer   number of lines, then per line:
//         Integer   number of fields, then each field as a String
//     (version 2 and later:)
//     Integer   number of extended translation items, then per item:
//       Integer   number of fields, then each field as a String (the
//                 identifier, then the texts of the languages)
//
// Fields are stored decoded (no delimiter, no escapes), so a file does not
// depend on the delimiter of the component that wrote it. Reading checks every
// count against the bytes left and raises EReadError with a message naming
// the fault; nothing is taken over from a file that fails to read.
#pragma once

#include <ZorCompCore/localisation/runtime/SiLang.h>
#include <ZorCompCore/zor_export.h>

#include <QList>
#include <QString>
#include <QStringList>
#include <array>

namespace zor {

class TStream;
class TStringList;

// Files of version 1 (without extended items) are read as well.
constexpr quint16 SIBFormatVersion = 2;

// One owner's texts: per type, the lines as decoded fields (field 0 the ID).
struct ZOR_EXPORT TSIBEntry
{
    QString OwnerName;
    QStringList LangNames;
    int DefaultLanguage = 1;
    std::array<QList<QStringList>, StringsTypeCount> Lines;
    // Extended translation items as decoded fields (field 0 the identifier).
    QList<QStringList> Extended;
};

// One entry as tab-separated text, the form translators work with: a header
// row "ID", "Type" and one column per language name, then one row per stored
// line: its ID, its type's name (StringsTypeName) and the language texts.
// Extended translation items are rows of the type "Extended". Cells are
// escaped with siEncodeText, rows end with a line break.
ZOR_EXPORT QString SIBEntryToTSV(const TSIBEntry &AEntry);
// The reverse; OwnerName stays empty and DefaultLanguage 1. Accepts a byte
// order mark and CR LF line ends. Raises EReadError naming the row ("line 3:
// unknown type 'stFoo'") for a bad header, an unknown type or a row with more
// cells than the header.
ZOR_EXPORT TSIBEntry SIBEntryFromTSV(const QString &AText);

class ZOR_EXPORT TSIBFileManager
{
public:
    TSIBFileManager();
    ~TSIBFileManager();

    // Takes a snapshot of ALang's texts under its owner's class name; returns
    // the entry's index.
    int Add(TsiCustomLang *ALang);
    int Add(const TSIBEntry &AEntry);
    // Renames the entries in order (entry i gets line i; extra lines are ignored).
    void SetOwnerNames(const TStringList &ANames);
    void Clear();

    int Count() const;
    TSIBEntry &Entry(int AIndex);              // EListError when out of range
    const TSIBEntry &Entry(int AIndex) const;
    // First entry whose owner name equals AOwnerName ignoring ASCII case, or -1.
    int IndexOfOwner(const QString &AOwnerName) const;

    void SaveToStream(TStream &AStream) const;
    void SaveToFile(const QString &AFileName) const;   // written beside, then renamed into place
    // Replaces the entries with the stream's (from its position).
    void LoadFromStream(TStream &AStream);
    void LoadFromFile(const QString &AFileName);

    // Puts entry AIndex into ALang: languages, default language and every
    // collection (re-encoded for ALang's delimiter). The active language is
    // kept when it still exists.
    void AssignTo(int AIndex, TsiCustomLang *ALang) const;
    // Reads a file and puts the entry of AOwnerName (the first entry when the
    // file has none of that name) into ALang. False when the file has no entry.
    bool LoadFromFile(const QString &AFileName, TsiCustomLang *ALang, const QString &AOwnerName);

private:
    QList<TSIBEntry> FEntries;
};

} // namespace zor
