#include <ZorCompCore/core/VariantUtils.h>

#include <ZorCompCore/core/DataStreamDef.h>
#include <ZorCompCore/core/StreamHelper.h>
#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/SysUtils.h>

namespace zor {

namespace {

bool isBlank(const Variant &v)
{
    return v.IsNull() || v.IsEmpty() || (v.IsString() && VarToStr(v).isEmpty());
}

} // namespace

bool VarIsValueInArray(const Variant &AArray, const Variant &AValue)
{
    const Variant &a = AArray.Deref();
    if (!a.IsArray())
        return false;
    const int high = a.ArrayHighBound();
    for (int i = a.ArrayLowBound(); i <= high; ++i) {
        if (VarSameValue(a.ArrayGet(i), AValue))
            return true;
    }
    return false;
}

Variant VarConcateArrays(const Variant &A, const Variant &B)
{
    if (!VarIsArray(A) || !VarIsArray(B))
        return A + B;
    Variant result = A.Deref();
    const Variant &b = B.Deref();
    const int high = b.ArrayHighBound();
    for (int i = b.ArrayLowBound(); i <= high; ++i) {
        const Variant element = b.ArrayGet(i);
        if (VarIsValueInArray(result, element))
            continue;
        const int newHigh = result.ArrayHighBound() + 1;
        result.ArrayRedim(newHigh);
        result.ArrayPut(newHigh, element);
    }
    return result;
}

Variant VarExcludeArray(const Variant &A, const Variant &B)
{
    if (!VarIsArray(A) || !VarIsArray(B))
        return A - B;
    const Variant &a = A.Deref();
    Variant result = VarArrayCreate(0, -1, varVariant);
    const int high = a.ArrayHighBound();
    for (int i = a.ArrayLowBound(); i <= high; ++i) {
        const Variant element = a.ArrayGet(i);
        if (VarIsValueInArray(B, element))
            continue;
        const int newHigh = result.ArrayHighBound() + 1;
        result.ArrayRedim(newHigh);
        result.ArrayPut(newHigh, element);
    }
    return result;
}

qint64 VarToIntDef(const Variant &V, qint64 ADefault)
{
    const Variant &v = V.Deref();
    if (VarIsNumeric(v))
        return VarToInt64(v);
    if (VarIsStr(v))
        return StrToIntDef(VarToStr(v), int(ADefault));
    return ADefault;
}

TDateTime VarToDateTimeDef(const Variant &V, TDateTime ADefault)
{
    return isBlank(V.Deref()) ? ADefault : VarToDateTime(V);
}

TDateTime VarToDateDef(const Variant &V, TDateTime ADefault)
{
    return DateOf(VarToDateTimeDef(V, ADefault));
}

TDateTime VarToTimeDef(const Variant &V, TDateTime ADefault)
{
    return TimeOf(VarToDateTimeDef(V, ADefault));
}

double VarToFloatDef(const Variant &V, double ADefault)
{
    return isBlank(V.Deref()) ? ADefault : VarToDouble(V);
}

Currency VarToCurrDef(const Variant &V, Currency ADefault)
{
    return isBlank(V.Deref()) ? ADefault : VarToCurrency(V);
}

bool VarToBoolDef(const Variant &V, bool ADefault)
{
    return isBlank(V.Deref()) ? ADefault : VarToBool(V);
}

QByteArray VarToRawByteString(const Variant &V)
{
    const Variant &v = V.Deref();
    if (!v.IsArray())
        return ToAnsi(VarToStr(v));
    const qint64 count = v.ArrayCount();
    if (count <= 0)
        return {};
    // Fixed-size elements: the storage as it is, element size x count bytes.
    if (const void *data = v.ArrayData())
        return QByteArray(static_cast<const char *>(data),
                          qsizetype(count * VarArrayElementSize(v.ArrayElementType())));
    // Variant and string arrays have no fixed-size storage: each element in
    // turn gives its own bytes (see the header).
    QByteArray out;
    const int high = v.ArrayHighBound();
    for (int i = v.ArrayLowBound(); i <= high; ++i) {
        const Variant element = v.ArrayGet(i);
        const Variant &e = element.Deref();
        if (e.IsArray() || VarIsStr(e))
            out += VarToRawByteString(e);
        else if (e.IsEmpty() || e.IsNull())
            continue;
        else
            out += char(VarCast(e, varByte).RawInt() & 0xFF); // raises above 255
    }
    return out;
}

QByteArray VarToBinBytes(const Variant &V)
{
    return VarToRawByteString(V);
}

void VarWriteToStream(const Variant &V, TStream &Stream, bool AClear)
{
    if (AClear) {
        Stream.SetSize(0);
        Stream.Seek(0, soBeginning);
    }
    const QByteArray bytes = VarToRawByteString(V);
    if (!bytes.isEmpty())
        Stream.Write(bytes.constData(), bytes.size());
}

void VarWriteToStream(const Variant &V, IDataStream *Stream, bool AClear)
{
    if (!Stream)
        return;
    if (AClear) {
        Stream->SetSize(0);
        Stream->Seek(0, soBeginning);
    }
    const QByteArray bytes = VarToRawByteString(V);
    for (qsizetype done = 0; done < bytes.size();) {
        const int n = int(std::min<qsizetype>(bytes.size() - done, 1 << 30));
        const int written = Stream->Write(bytes.constData() + done, n);
        if (written <= 0)
            break;
        done += written;
    }
}

QByteArray SaveVariantAsBytes(const Variant &V)
{
    if (VarIsEmpty(V))
        return {};
    TMemoryStream ms;
    TStreamHelper(&ms).WriteVariant(V);
    return QByteArray(static_cast<const char *>(ms.Memory()), qsizetype(ms.Size()));
}

Variant RestoreVariantFromBytes(const QByteArray &B)
{
    if (B.isEmpty())
        return Variant();
    TBytesStream ms(B);
    return TStreamHelper(&ms).ReadVariant();
}

Variant RestoreVariantFromBytesDef(const QByteArray &B, const Variant &ADefault)
{
    try {
        return RestoreVariantFromBytes(B);
    } catch (const Exception &) {
        return ADefault;
    }
}

bool IsSimpleType(TVarType AVarType)
{
    switch (AVarType & 0x0FFF) {
    case varSmallint: case varInteger: case varSingle: case varDouble: case varCurrency:
    case varDate: case varError: case varBoolean: case varByte:
        return true;
    default:
        return false;
    }
}

int GetSimpleTypeSize(TVarType AVarType)
{
    switch (AVarType & varTypeMask) {
    case varSmallint: return 2;
    case varInteger: case varSingle: case varError: return 4;
    case varDouble: case varCurrency: case varDate: return 8;
    case varBoolean: case varByte: return 1;
    default: return -1;
    }
}

Variant VarAsRef(Variant &V)
{
    return Variant::AsRef(V);
}

bool VarSameTypeIndependedValue(const Variant &A, const Variant &B)
{
    const Variant &a = A.Deref();
    const Variant &b = B.Deref();
    if (a.IsEmpty())
        return b.IsEmpty();
    if (a.IsNull())
        return b.IsNull();
    if (b.IsEmpty() || b.IsNull())
        return false;
    if (a.Type() == b.Type())
        return a == b;
    return VarToStrDef(a, QString()) == VarToStrDef(b, QString());
}

Variant GetEmptyNativeValueByVarType(TVarType AVarType)
{
    switch (AVarType) {
    case varEmpty: case varNull: case varError: case varVariant: case 36:
        return Variant::Null();
    case varSmallint: case varInteger: case varSingle: case varDouble: case varCurrency:
    case varShortInt: case varByte: case varWord: case varLongWord: case varInt64: case varUInt64:
        return Variant(0);
    case varDate:
        return Variant::FromDateTime(MinDateTime);
    case varDispatch: case varUnknown:
        return Variant(IPtr<IInterface>());
    case varBoolean:
        return Variant(false);
    default:
        return Variant(QString());
    }
}

bool VarHasValue(const Variant &V)
{
    const TVarType t = V.Deref().Type();
    return t != varEmpty && t != varNull && t != varError;
}

} // namespace zor
