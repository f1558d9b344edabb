// TStreamHelper: the library's one binary encoding of typed values on a
// seekable stream. Little-endian numbers without padding, text as UTF-16LE
// code units behind a length prefix, variants as a 16-bit type tag and a
// payload. There is no header and no type information outside variants: the
// reader must know the sequence of types the writer used.
//
// Reads come in two kinds:
//  * plain reads (every Read... except ReadVariant) never raise for a short
//    stream; they return the value's default (0, "", MinDateTime …);
//  * strict reads (everything inside a variant) raise EReadError with the
//    message "Invalid stream data!" when the data are short or malformed.
//    EReadError is an EStreamError, so callers catching either see it.
// A type code the encoding has no payload for raises EAssertionFailed
// "varType not implemented yet!" (on writing, after the tag is written).
//
// Choices for the corners of the format:
//  * Boolean arrays (element type 11) carry one byte per element after the
//    count (0xFF for true, 0x00 for false, derived from each WordBool); on
//    reading, any non-zero byte is true.
//  * By-reference variants are written as the value they point at (its own
//    type code and payload); the by-reference flag never reaches the stream.
//  * Only one-dimensional arrays exist in zor::Variant; the low bound is not
//    stored, arrays read back with bounds 0..N-1.
//  * A top-level string, 8-bit string or byte array whose count exceeds the
//    data returns what is there.
//  * Short data in lists and simple-type arrays: a string list, integer list
//    or simple-type array block (inside a variant) that ends before its count
//    is filled up as the plain reads say: missing strings are empty, missing
//    integers and array elements 0. A count read from the stream must not
//    drive an allocation, so this holds only while the missing elements take
//    at most MaxShortDataBytes of memory and at most ShortDataFactor times
//    the bytes left plus ShortDataSlack; beyond that bound the read raises
//    EReadError "Invalid stream data!" (a list is left empty).
//  * Inside a variant, a string whose count exceeds the data left, a missing
//    element of a non-simple array, a negative count, or arrays nested deeper
//    than MaxVariantNesting are invalid data. When the data ran out the
//    stream is left at its end, so a caller can tell truncated data (position
//    = size) from malformed data.
#pragma once

#include <ZorCompCore/platform/DateTime.h>
#include <ZorCompCore/platform/Variant.h>
#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>
#include <QUuid>

namespace zor {

class TStream;
class TStringList;
class TSortedIntegerList;

class ZOR_EXPORT TStreamHelper
{
public:
    // Arrays nested deeper than this inside one variant are rejected on reading.
    static constexpr int MaxVariantNesting = 64;
    // The bound on filling up short lists and arrays (see above).
    static constexpr qint64 MaxShortDataBytes = 16 * 1024 * 1024;
    static constexpr qint64 ShortDataFactor = 64;
    static constexpr qint64 ShortDataSlack = 4096;

    // The helper works at AStream's current position; with AOwnsStream the
    // stream is deleted together with the helper.
    explicit TStreamHelper(TStream *AStream, bool AOwnsStream = false);
    ~TStreamHelper();
    TStreamHelper(const TStreamHelper &) = delete;
    TStreamHelper &operator=(const TStreamHelper &) = delete;

    TStream *Stream() const { return FStream; }

    void WriteBoolean(bool Value);
    bool ReadBoolean();                       // any non-zero byte is true
    quint8 ReadBooleanByte();                 // the byte as stored (0 on a short stream)
    void WriteByte(quint8 Value);
    quint8 ReadByte();
    void WriteShortInteger(qint8 Value);
    qint8 ReadShortInteger();
    void WriteSmallInt(qint16 Value);
    qint16 ReadSmallInt();
    void WriteWord(quint16 Value);
    quint16 ReadWord();
    void WriteInteger(qint32 Value);
    qint32 ReadInteger();
    void WriteCardinal(quint32 Value);
    quint32 ReadCardinal();
    void WriteInt64(qint64 Value);
    qint64 ReadInt64();
    void WriteFloat(double Value);
    double ReadFloat();
    void WriteCurrency(Currency Value);
    Currency ReadCurrency();
    void WriteDateTime(TDateTime Value);
    TDateTime ReadDateTime();                 // MinDateTime on a short stream
    void WriteSQLTimeStamp(const TSQLTimeStamp &Value);
    TSQLTimeStamp ReadSQLTimeStamp();         // all fields 0 on a short stream
    void WriteDateTimeAsTimeStamp(TDateTime Value);
    TDateTime ReadDateTimeAsTimeStamp();      // 0.0 on a short stream
    void WriteSystemTime(const TSystemTime &Value);
    TSystemTime ReadSystemTime();             // fields that cannot be read are 0
    void WriteGuid(const QUuid &Value);
    QUuid ReadGuid();                         // null GUID on a short stream

    // 64-bit count of UTF-16 code units, then the units.
    void WriteString(const QString &Value);
    QString ReadString();
    // The bytes of an 8-bit string as held, behind a 64-bit byte count when
    // AWriteSize is true.
    void WriteAnsiString(const QByteArray &Value, bool AWriteSize = true);
    QByteArray ReadAnsiString();
    // ASize bytes without prefix; fewer when the stream ends first.
    QByteArray ReadAnsiString(qint64 ASize);
    void WriteBinary(const QByteArray &Value);
    QByteArray ReadBinary();

    // 32-bit count, then each item as WriteString (objects are not written).
    void WriteStrings(const TStringList &Value);
    // Clears Value and adds the strings read; Value's sorting rules apply.
    void ReadStrings(TStringList &Value);
    // 32-bit count, then the values in ascending order.
    void WriteIntegerList(const TSortedIntegerList &Value);
    // Clears Value and adds the values read, with Value's duplicates rule.
    void ReadIntegerList(TSortedIntegerList &Value);

    // The whole of Value from position 0 behind a 32-bit (WriteStream) or
    // 64-bit (WriteBigStream) byte count.
    void WriteStream(TStream &Value);
    void WriteBigStream(TStream &Value);
    // Empties ADestStream and copies the counted bytes into it; EReadError
    // "Stream read error" when the data end before the count.
    void ReadStream(TStream &ADestStream);
    void ReadBigStream(TStream &ADestStream);

    void WriteVariant(const Variant &Value);
    Variant ReadVariant();                    // strict: see above

private:
    void writeRaw(const void *data, qint64 size);
    qint64 readRaw(void *data, qint64 size);
    QString readUtf16(qint64 units);
    QByteArray readBytes(qint64 size);
    void copyCounted(TStream &dest, qint64 count);
    void writeWholeStream(TStream &source);
    qint64 bytesLeft();

    void writeScalar(const Variant &v);
    void writeArray(const Variant &v);
    void writeAny(const Variant &v);
    Variant readTagged(quint16 tag, int depth);
    Variant readScalar(TVarType type);
    Variant readArray(TVarType elementType, int depth);
    void readStrict(void *data, qint64 size);
    [[noreturn]] void truncatedData();
    void checkShortData(qint64 count, qint64 encodedSize, qint64 memorySize);

    TStream *FStream;
    bool FOwnsStream;
};

// Writes the whole content of Stream (from position 0) to FileName, creating
// or truncating it. The stream's position is not restored.
ZOR_EXPORT void SaveStreamToFile(TStream &Stream, const QString &FileName);

} // namespace zor
