#include <ZorCompCore/core/StreamHelper.h>

#include <ZorCompCore/core/SortedLists.h>
#include <ZorCompCore/core/VariantUtils.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace zor {

// The encoding is little-endian and values are copied as they sit in memory.
static_assert(std::endian::native == std::endian::little,
              "TStreamHelper copies values in host byte order");

namespace {

constexpr qint64 kCopyChunk = 1048576;    // stream copies move 1 MiB at a time
constexpr qint64 kReadChunkUnits = 65536; // long texts are read in pieces of this many units
constexpr qint64 kStringCost = 32;        // memory an empty list item takes, for the short-data bound

[[noreturn]] void invalidData()
{
    throw EReadError(QStringLiteral("Invalid stream data!"));
}

[[noreturn]] void notImplemented()
{
    throw EAssertionFailed(QStringLiteral("varType not implemented yet!"));
}

// Element types an encoded array may carry.
bool isArrayElementType(TVarType t)
{
    switch (t) {
    case varSmallint: case varInteger: case varSingle: case varDouble: case varCurrency:
    case varDate: case varOleStr: case varError: case varBoolean: case varVariant:
    case varShortInt: case varByte: case varWord: case varLongWord: case varInt64:
    case varUInt64: case varString: case varUString:
        return true;
    default:
        return false;
    }
}

template <class T>
T fromBytes(const char *p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class T>
char *toBytes(char *p, T v)
{
    std::memcpy(p, &v, sizeof v);
    return p + sizeof v;
}

} // namespace

TStreamHelper::TStreamHelper(TStream *AStream, bool AOwnsStream)
    : FStream(AStream), FOwnsStream(AOwnsStream)
{
}

TStreamHelper::~TStreamHelper()
{
    if (FOwnsStream)
        delete FStream;
}

void TStreamHelper::writeRaw(const void *data, qint64 size)
{
    // Unchecked by design: a stream that takes fewer bytes goes unnoticed.
    if (size > 0)
        FStream->Write(data, size);
}

qint64 TStreamHelper::readRaw(void *data, qint64 size)
{
    if (size <= 0)
        return 0;
    const qint64 got = FStream->Read(data, size);
    return got < 0 ? 0 : got;
}

qint64 TStreamHelper::bytesLeft()
{
    const qint64 left = FStream->Size() - FStream->Position();
    return left > 0 ? left : 0;
}

void TStreamHelper::readStrict(void *data, qint64 size)
{
    if (readRaw(data, size) != size)
        truncatedData();
}

void TStreamHelper::truncatedData()
{
    // Whatever needed more bytes than are left consumed the rest: a caller can
    // tell running out of data (position at the end) from malformed data.
    FStream->Seek(0, soEnd);
    invalidData();
}

// --- scalars ----------------------------------------------------------------

namespace {
template <class T>
T readPlain(TStream *s, T def)
{
    T v;
    const qint64 got = s->Read(&v, qint64(sizeof v));
    return got == qint64(sizeof v) ? v : def;
}
} // namespace

void TStreamHelper::WriteBoolean(bool Value) { const quint8 b = Value ? 1 : 0; writeRaw(&b, 1); }
bool TStreamHelper::ReadBoolean() { return readPlain<quint8>(FStream, 0) != 0; }
quint8 TStreamHelper::ReadBooleanByte() { return readPlain<quint8>(FStream, 0); }
void TStreamHelper::WriteByte(quint8 Value) { writeRaw(&Value, 1); }
quint8 TStreamHelper::ReadByte() { return readPlain<quint8>(FStream, 0); }
void TStreamHelper::WriteShortInteger(qint8 Value) { writeRaw(&Value, 1); }
qint8 TStreamHelper::ReadShortInteger() { return readPlain<qint8>(FStream, 0); }
void TStreamHelper::WriteSmallInt(qint16 Value) { writeRaw(&Value, 2); }
qint16 TStreamHelper::ReadSmallInt() { return readPlain<qint16>(FStream, 0); }
void TStreamHelper::WriteWord(quint16 Value) { writeRaw(&Value, 2); }
quint16 TStreamHelper::ReadWord() { return readPlain<quint16>(FStream, 0); }
void TStreamHelper::WriteInteger(qint32 Value) { writeRaw(&Value, 4); }
qint32 TStreamHelper::ReadInteger() { return readPlain<qint32>(FStream, 0); }
void TStreamHelper::WriteCardinal(quint32 Value) { writeRaw(&Value, 4); }
quint32 TStreamHelper::ReadCardinal() { return readPlain<quint32>(FStream, 0); }
void TStreamHelper::WriteInt64(qint64 Value) { writeRaw(&Value, 8); }
qint64 TStreamHelper::ReadInt64() { return readPlain<qint64>(FStream, 0); }
void TStreamHelper::WriteFloat(double Value) { writeRaw(&Value, 8); }
double TStreamHelper::ReadFloat() { return readPlain<double>(FStream, 0.0); }
void TStreamHelper::WriteCurrency(Currency Value) { writeRaw(&Value.Scaled, 8); }
Currency TStreamHelper::ReadCurrency() { return Currency::FromScaled(readPlain<qint64>(FStream, 0)); }
void TStreamHelper::WriteDateTime(TDateTime Value) { writeRaw(&Value, 8); }
TDateTime TStreamHelper::ReadDateTime() { return readPlain<double>(FStream, MinDateTime); }

void TStreamHelper::WriteSQLTimeStamp(const TSQLTimeStamp &Value)
{
    char buf[16];
    char *p = toBytes(buf, Value.Year);
    p = toBytes(p, Value.Month);
    p = toBytes(p, Value.Day);
    p = toBytes(p, Value.Hour);
    p = toBytes(p, Value.Minute);
    p = toBytes(p, Value.Second);
    toBytes(p, Value.Fractions);
    writeRaw(buf, 16);
}

TSQLTimeStamp TStreamHelper::ReadSQLTimeStamp()
{
    char buf[16];
    TSQLTimeStamp ts;
    if (readRaw(buf, 16) != 16)
        return ts;
    ts.Year = fromBytes<qint16>(buf);
    ts.Month = fromBytes<quint16>(buf + 2);
    ts.Day = fromBytes<quint16>(buf + 4);
    ts.Hour = fromBytes<quint16>(buf + 6);
    ts.Minute = fromBytes<quint16>(buf + 8);
    ts.Second = fromBytes<quint16>(buf + 10);
    ts.Fractions = fromBytes<quint32>(buf + 12);
    return ts;
}

void TStreamHelper::WriteDateTimeAsTimeStamp(TDateTime Value)
{
    WriteSQLTimeStamp(DateTimeToSQLTimeStamp(Value));
}

TDateTime TStreamHelper::ReadDateTimeAsTimeStamp()
{
    return SQLTimeStampToDateTime(ReadSQLTimeStamp());
}

void TStreamHelper::WriteSystemTime(const TSystemTime &Value)
{
    const quint16 fields[8] = {Value.wYear, Value.wMonth, Value.wDayOfWeek, Value.wDay,
                               Value.wHour, Value.wMinute, Value.wSecond, Value.wMilliseconds};
    writeRaw(fields, sizeof fields);
}

TSystemTime TStreamHelper::ReadSystemTime()
{
    quint16 f[8] = {};
    const qint64 got = readRaw(f, sizeof f);
    for (qint64 i = got / 2; i < 8; ++i)
        f[i] = 0; // a field read only in part counts as unread
    TSystemTime st;
    st.wYear = f[0];
    st.wMonth = f[1];
    st.wDayOfWeek = f[2];
    st.wDay = f[3];
    st.wHour = f[4];
    st.wMinute = f[5];
    st.wSecond = f[6];
    st.wMilliseconds = f[7];
    return st;
}

void TStreamHelper::WriteGuid(const QUuid &Value)
{
    char buf[16];
    char *p = toBytes(buf, quint32(Value.data1));
    p = toBytes(p, quint16(Value.data2));
    p = toBytes(p, quint16(Value.data3));
    std::memcpy(p, Value.data4, 8);
    writeRaw(buf, 16);
}

QUuid TStreamHelper::ReadGuid()
{
    char buf[16];
    if (readRaw(buf, 16) != 16)
        return QUuid();
    QUuid g;
    g.data1 = fromBytes<quint32>(buf);
    g.data2 = fromBytes<quint16>(buf + 4);
    g.data3 = fromBytes<quint16>(buf + 6);
    std::memcpy(g.data4, buf + 8, 8);
    return g;
}

// --- length-prefixed values --------------------------------------------------

QString TStreamHelper::readUtf16(qint64 units)
{
    if (units <= 0)
        return {};
    if (units <= kReadChunkUnits) {
        QString s(qsizetype(units), Qt::Uninitialized);
        const qint64 got = readRaw(s.data(), units * 2);
        if (got < units * 2)
            s.truncate(qsizetype(got / 2));
        return s;
    }
    // A long count may be hostile: grow with the data actually delivered.
    QString s;
    qint64 done = 0;
    while (done < units) {
        const qint64 chunk = std::min(units - done, kReadChunkUnits);
        s.resize(qsizetype(done + chunk));
        const qint64 got = readRaw(s.data() + done, chunk * 2);
        done += got / 2;
        if (got < chunk * 2) {
            s.truncate(qsizetype(done));
            break;
        }
    }
    return s;
}

QByteArray TStreamHelper::readBytes(qint64 size)
{
    if (size <= 0)
        return {};
    constexpr qint64 kChunk = kReadChunkUnits * 2;
    if (size <= kChunk) {
        QByteArray b(qsizetype(size), Qt::Uninitialized);
        b.truncate(qsizetype(readRaw(b.data(), size)));
        return b;
    }
    QByteArray b;
    qint64 done = 0;
    while (done < size) {
        const qint64 chunk = std::min(size - done, kChunk);
        b.resize(qsizetype(done + chunk));
        const qint64 got = readRaw(b.data() + done, chunk);
        done += got;
        if (got < chunk) {
            b.truncate(qsizetype(done));
            break;
        }
    }
    return b;
}

void TStreamHelper::WriteString(const QString &Value)
{
    const qint64 units = Value.size();
    // Short texts go out with their count in one write.
    constexpr qint64 kSmall = 120;
    if (units <= kSmall) {
        char buf[8 + kSmall * 2];
        std::memcpy(buf, &units, 8);
        std::memcpy(buf + 8, Value.constData(), size_t(units * 2));
        writeRaw(buf, 8 + units * 2);
        return;
    }
    writeRaw(&units, 8);
    writeRaw(Value.constData(), units * 2);
}

QString TStreamHelper::ReadString()
{
    qint64 count = 0;
    if (readRaw(&count, 8) != 8 || count <= 0)
        return {};
    return readUtf16(count);
}

void TStreamHelper::WriteAnsiString(const QByteArray &Value, bool AWriteSize)
{
    if (AWriteSize) {
        const qint64 n = Value.size();
        writeRaw(&n, 8);
    }
    writeRaw(Value.constData(), Value.size());
}

QByteArray TStreamHelper::ReadAnsiString()
{
    qint64 count = 0;
    if (readRaw(&count, 8) != 8)
        return {};
    return readBytes(count);
}

QByteArray TStreamHelper::ReadAnsiString(qint64 ASize)
{
    return readBytes(ASize);
}

void TStreamHelper::WriteBinary(const QByteArray &Value)
{
    WriteAnsiString(Value, true);
}

QByteArray TStreamHelper::ReadBinary()
{
    return ReadAnsiString();
}

// --- lists -------------------------------------------------------------------

void TStreamHelper::WriteStrings(const TStringList &Value)
{
    const int n = Value.Count();
    WriteInteger(n);
    for (int i = 0; i < n; ++i)
        WriteString(Value.Get(i));
}

void TStreamHelper::ReadStrings(TStringList &Value)
{
    Value.BeginUpdate();
    try {
        Value.Clear();
        const qint32 n = ReadInteger();
        // Every string takes at least its 8-byte count; missing ones are empty.
        checkShortData(n, 8, kStringCost);
        for (qint32 i = 0; i < n; ++i)
            Value.Add(bytesLeft() > 0 ? ReadString() : QString());
    } catch (...) {
        Value.EndUpdate();
        throw;
    }
    Value.EndUpdate();
}

void TStreamHelper::WriteIntegerList(const TSortedIntegerList &Value)
{
    const int n = Value.Count();
    WriteInteger(n);
    for (int i = 0; i < n; ++i)
        WriteInteger(Value.Get(i));
}

void TStreamHelper::ReadIntegerList(TSortedIntegerList &Value)
{
    Value.Clear();
    const qint32 n = ReadInteger();
    checkShortData(n, 4, 4);
    for (qint32 i = 0; i < n; ++i)
        Value.Add(ReadInteger()); // 0 once the data are gone
}

void TStreamHelper::checkShortData(qint64 count, qint64 encodedSize, qint64 memorySize)
{
    if (count <= 0)
        return;
    const qint64 left = bytesLeft();
    if (count * encodedSize <= left)
        return; // the data can hold every element
    const qint64 memory = count * memorySize;
    if (memory > MaxShortDataBytes || memory > ShortDataFactor * left + ShortDataSlack)
        invalidData();
}

// --- streams -----------------------------------------------------------------

void TStreamHelper::writeWholeStream(TStream &source)
{
    const qint64 size = source.Size();
    source.Seek(0, soBeginning);
    std::vector<char> buf(size_t(std::clamp<qint64>(size, 1, kCopyChunk)));
    for (qint64 done = 0; done < size;) {
        const qint64 n = source.Read(buf.data(), std::min(size - done, kCopyChunk));
        if (n <= 0)
            throw EReadError(QStringLiteral("Stream read error"));
        writeRaw(buf.data(), n);
        done += n;
    }
}

void TStreamHelper::copyCounted(TStream &dest, qint64 count)
{
    // Fail before copying anything when the data cannot cover the count.
    if (count > bytesLeft())
        throw EReadError(QStringLiteral("Stream read error"));
    std::vector<char> buf(size_t(std::min(count, kCopyChunk)));
    while (count > 0) {
        const qint64 n = std::min(count, kCopyChunk);
        FStream->ReadBuffer(buf.data(), n);
        dest.Write(buf.data(), n);
        count -= n;
    }
}

void TStreamHelper::WriteStream(TStream &Value)
{
    WriteInteger(qint32(quint32(quint64(Value.Size()) & 0xFFFFFFFFu)));
    writeWholeStream(Value);
}

void TStreamHelper::WriteBigStream(TStream &Value)
{
    WriteInt64(Value.Size());
    writeWholeStream(Value);
}

void TStreamHelper::ReadStream(TStream &ADestStream)
{
    ADestStream.SetSize(0);
    const qint32 n = ReadInteger();
    if (n > 0)
        copyCounted(ADestStream, n);
}

void TStreamHelper::ReadBigStream(TStream &ADestStream)
{
    ADestStream.SetSize(0);
    const qint64 n = ReadInt64();
    if (n > 0)
        copyCounted(ADestStream, n);
}

// --- variants ----------------------------------------------------------------

void TStreamHelper::WriteVariant(const Variant &Value)
{
    writeAny(Value);
}

void TStreamHelper::writeAny(const Variant &value)
{
    const Variant &v = value.Deref();
    const TVarType t = v.Type();
    if (t == varNull || t == varEmpty || t == varUnknown) {
        // An interface reference has no byte form: it travels as empty.
        WriteWord(t == varNull ? varNull : varEmpty);
    } else if (v.IsArray()) {
        writeArray(v);
    } else {
        writeScalar(v);
    }
}

void TStreamHelper::writeScalar(const Variant &v)
{
    const TVarType type = v.Type();
    // Tag and payload leave in one write; texts add their units afterwards.
    char buf[2 + 8];
    char *p = toBytes(buf, quint16(type));
    switch (type & varTypeMask) {
    case varSmallint: p = toBytes(p, qint16(v.RawInt())); break;
    case varInteger: p = toBytes(p, qint32(v.RawInt())); break;
    case varSingle: p = toBytes(p, v.RawSingle()); break;
    case varDouble: p = toBytes(p, v.RawDouble()); break;
    case varCurrency: p = toBytes(p, VarToCurrency(v).Scaled); break;
    case varDate: p = toBytes(p, v.RawDouble()); break;
    case varError: p = toBytes(p, qint32(v.RawInt())); break;
    case varBoolean: p = toBytes(p, quint8(WordBool(v.RawInt()) != 0 ? 0xFF : 0x00)); break;
    case varShortInt: p = toBytes(p, qint8(v.RawInt())); break;
    case varByte: p = toBytes(p, quint8(v.RawInt())); break;
    case varWord: p = toBytes(p, quint16(v.RawInt())); break;
    case varLongWord: p = toBytes(p, quint32(v.RawInt())); break;
    case varInt64: p = toBytes(p, qint64(v.RawInt())); break;
    case varUInt64: p = toBytes(p, quint64(v.RawInt())); break;
    case varOleStr:
    case varString:
    case varUString: {
        const QString text = (type == varString) ? VarToStr(v) : v.RawString();
        p = toBytes(p, qint32(text.size()));
        writeRaw(buf, p - buf);
        writeRaw(text.constData(), qint64(text.size()) * 2);
        return;
    }
    default:
        writeRaw(buf, 2);
        notImplemented();
    }
    writeRaw(buf, p - buf);
}

void TStreamHelper::writeArray(const Variant &v)
{
    const TVarType elem = v.ArrayElementType() & varTypeMask;
    WriteWord(varArray | elem);
    if (!isArrayElementType(elem))
        notImplemented();
    const int low = v.ArrayLowBound();
    const int high = v.ArrayHighBound();
    const qint32 count = high >= low ? high - low + 1 : 0;
    WriteInteger(count);
    if (count <= 0)
        return;
    if (IsSimpleType(elem)) {
        const void *data = v.ArrayData();
        if (elem == varBoolean) {
            // Storage holds 2-byte WordBools; the stream holds one byte each.
            const auto *src = static_cast<const WordBool *>(data);
            QByteArray bytes(count, Qt::Uninitialized);
            for (qint32 i = 0; i < count; ++i)
                bytes[i] = char(src[i] != 0 ? 0xFF : 0x00);
            writeRaw(bytes.constData(), count);
        } else {
            writeRaw(data, qint64(count) * GetSimpleTypeSize(elem));
        }
        return;
    }
    for (int i = low; i <= high; ++i)
        writeAny(v.ArrayGet(i));
}

Variant TStreamHelper::ReadVariant()
{
    quint16 tag = 0;
    readStrict(&tag, 2);
    return readTagged(tag, 0);
}

Variant TStreamHelper::readTagged(quint16 tag, int depth)
{
    if (tag == varNull)
        return Variant::Null();
    if (tag == varEmpty)
        return Variant();
    if (tag & varArray)
        return readArray(tag & varTypeMask, depth + 1);
    return readScalar(tag & varTypeMask);
}

Variant TStreamHelper::readScalar(TVarType type)
{
    char buf[8];
    switch (type) {
    case varEmpty: return Variant();
    case varNull: return Variant::Null();
    case varSmallint: readStrict(buf, 2); return Variant::FromSmallint(fromBytes<qint16>(buf));
    case varInteger: readStrict(buf, 4); return Variant(int(fromBytes<qint32>(buf)));
    case varSingle: readStrict(buf, 4); return Variant::FromSingle(fromBytes<float>(buf));
    case varDouble: readStrict(buf, 8); return Variant(fromBytes<double>(buf));
    case varCurrency: readStrict(buf, 8); return Variant(Currency::FromScaled(fromBytes<qint64>(buf)));
    case varDate: readStrict(buf, 8); return Variant::FromDateTime(fromBytes<double>(buf));
    case varError: readStrict(buf, 4); return Variant::FromError(fromBytes<qint32>(buf));
    case varBoolean: readStrict(buf, 1); return Variant(buf[0] != 0);
    case varShortInt: readStrict(buf, 1); return Variant::FromShortInt(fromBytes<qint8>(buf));
    case varByte: readStrict(buf, 1); return Variant::FromByte(fromBytes<quint8>(buf));
    case varWord: readStrict(buf, 2); return Variant::FromWord(fromBytes<quint16>(buf));
    case varLongWord: readStrict(buf, 4); return Variant::FromLongWord(fromBytes<quint32>(buf));
    case varInt64: readStrict(buf, 8); return Variant(fromBytes<qint64>(buf));
    case varUInt64: readStrict(buf, 8); return Variant::FromUInt64(fromBytes<quint64>(buf));
    case varOleStr:
    case varString:
    case varUString: {
        qint32 count = 0;
        readStrict(&count, 4);
        if (count < 0)
            invalidData();
        if (qint64(count) * 2 > bytesLeft())
            truncatedData();
        QString s(count, Qt::Uninitialized);
        readStrict(s.data(), qint64(count) * 2);
        return Variant(s);
    }
    default:
        notImplemented();
    }
}

Variant TStreamHelper::readArray(TVarType elementType, int depth)
{
    if (depth > MaxVariantNesting)
        invalidData();
    if (!isArrayElementType(elementType))
        notImplemented();
    qint32 count = 0;
    readStrict(&count, 4);
    if (count < 0)
        invalidData();
    if (IsSimpleType(elementType)) {
        const qint64 size = GetSimpleTypeSize(elementType);
        const qint64 storage = elementType == varBoolean ? qint64(sizeof(WordBool)) : size;
        // A short block leaves the missing elements zero, within the bound.
        checkShortData(count, size, storage);
        Variant result = VarArrayCreate(0, count - 1, elementType);
        if (count == 0)
            return result;
        const qint64 wanted = qint64(count) * size;
        if (elementType == varBoolean) {
            QByteArray bytes(count, '\0');
            readRaw(bytes.data(), wanted);
            auto *dst = static_cast<WordBool *>(result.ArrayData());
            for (qint32 i = 0; i < count; ++i)
                dst[i] = bytes[i] != 0 ? WordBool(-1) : WordBool(0);
        } else {
            readRaw(result.ArrayData(), wanted);
        }
        return result;
    }
    // Elements of other types are read strictly one by one, so the storage
    // grows only with elements actually present (each takes at least its tag).
    std::vector<Variant> elements;
    elements.reserve(size_t(std::min<qint64>(count, bytesLeft() / 2)));
    for (qint32 i = 0; i < count; ++i) {
        quint16 tag = 0;
        readStrict(&tag, 2);
        elements.push_back(readTagged(tag, depth));
    }
    Variant result = VarArrayCreate(0, count - 1, elementType);
    for (qint32 i = 0; i < count; ++i) {
        try {
            result.ArrayPut(i, elements[size_t(i)]);
        } catch (const EVariantError &) {
            invalidData(); // an element that does not fit the array's type
        }
    }
    return result;
}

// --- files -------------------------------------------------------------------

void SaveStreamToFile(TStream &Stream, const QString &FileName)
{
    if (auto *mem = dynamic_cast<TMemoryStream *>(&Stream)) {
        mem->SaveToFile(FileName);
        return;
    }
    TFileStream file(FileName, fmCreate);
    const qint64 size = Stream.Size();
    Stream.Seek(0, soBeginning);
    std::vector<char> buf(size_t(std::clamp<qint64>(size, 1, kCopyChunk)));
    for (qint64 done = 0; done < size;) {
        const qint64 n = Stream.Read(buf.data(), std::min(size - done, kCopyChunk));
        if (n <= 0)
            break;
        file.WriteBuffer(buf.data(), n);
        done += n;
    }
}

} // namespace zor
