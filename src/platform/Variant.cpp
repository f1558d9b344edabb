#include "Variant.h"

#include "CodePage.h"
#include "Exception.h"
#include "SysUtils.h"

#include <QDateTime>
#include <QTimeZone>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace zor {

using i128 = __int128;

// Shared storage of an array variant. Simple element types keep their raw
// values back to back (so the block can be copied in one go); the others hold
// Variant elements. Shared between copies until one of them writes.
class VariantArray
{
public:
    VariantArray(TVarType elementType, int lowBound, qsizetype count)
        : elemType(elementType), low(lowBound), elemSize(VarArrayElementSize(elementType))
    {
        resize(count);
    }
    VariantArray(const VariantArray &o)
        : elemType(o.elemType), low(o.low), count(o.count), elemSize(o.elemSize), raw(o.raw), items(o.items)
    {
    }

    void resize(qsizetype n)
    {
        if (elemSize)
            raw.resize(size_t(n) * size_t(elemSize), 0);
        else
            items.resize(size_t(n), Variant::ZeroOf(elemType == varVariant ? TVarType(varEmpty) : elemType));
        count = n;
    }

    QAtomicInt ref{1};
    TVarType elemType;
    int low;
    qsizetype count = 0;
    int elemSize; // 0: elements are Variants
    std::vector<unsigned char> raw;
    std::vector<Variant> items;
};

// Access to the private representation for the free functions of this file.
struct VariantAccess
{
    static Variant make(TVarType type, quint64 bits)
    {
        Variant v;
        v.m_type = type;
        v.m_v.u64 = bits;
        return v;
    }
    static Variant makePtr(TVarType type, void *p)
    {
        Variant v;
        v.m_v.ptr = p;
        v.m_type = type;
        return v;
    }
    static const auto &value(const Variant &v) { return v.m_v; }
    static void *&ptrRef(Variant &v) { return v.m_v.ptr; }
    static VariantArray *array(const Variant &v) { return static_cast<VariantArray *>(v.m_v.ptr); }
};

namespace {

using VA = VariantAccess;

constexpr qsizetype kMaxArrayBytes = qsizetype(1) << 31;

[[noreturn]] void castError(TVarType from, TVarType to)
{
    throw EVariantTypeCastError(QStringLiteral("Could not convert variant of type (%1) into type (%2)")
                                    .arg(VarTypeAsText(from), VarTypeAsText(to)));
}

[[noreturn]] void overflowError(TVarType from, TVarType to)
{
    throw EVariantOverflowError(QStringLiteral("Overflow while converting variant of type (%1) into type (%2)")
                                    .arg(VarTypeAsText(from), VarTypeAsText(to)));
}

[[noreturn]] void invalidOp()
{
    throw EVariantInvalidOpError(QStringLiteral("Invalid variant operation"));
}

[[noreturn]] void notAnArray()
{
    throw EVariantError(QStringLiteral("Variant is not an array"));
}

[[noreturn]] void badIndex()
{
    throw EVariantBadIndexError(QStringLiteral("Variant or safe array index out of bounds"));
}

[[noreturn]] void arrayCreateError()
{
    throw EVariantError(QStringLiteral("Error creating variant or safe array"));
}

bool isInterfaceType(TVarType t)
{
    return t == varUnknown || t == varDispatch;
}

bool isStringType(TVarType t)
{
    return t == varOleStr || t == varUString || t == varString;
}

bool isOrdinalType(TVarType t)
{
    switch (t) {
    case varSmallint: case varInteger: case varShortInt: case varByte:
    case varWord: case varLongWord: case varInt64: case varUInt64:
        return true;
    default:
        return false;
    }
}

bool isWideType(TVarType t)
{
    return t == varInt64 || t == varUInt64;
}

bool validElementType(TVarType t)
{
    return (t >= varSmallint && t <= varUnknown && t != varDispatch) || (t >= varShortInt && t <= varUInt64)
           || t == varString || t == varUString || t == varDispatch;
}

QString textOf(const Variant &d)
{
    return d.Type() == varString ? FromAnsi(d.RawAnsi()) : d.RawString();
}

// Integer value of an ordinal or Boolean variant.
i128 ordinalValue(const Variant &d)
{
    const auto &v = VA::value(d);
    switch (d.Type()) {
    case varSmallint: return v.i16;
    case varInteger: return v.i32;
    case varShortInt: return v.i8;
    case varByte: return v.u8;
    case varWord: return v.u16;
    case varLongWord: return v.u32;
    case varInt64: return v.i64;
    case varUInt64: return v.u64;
    case varError: return v.i32;
    case varBoolean: return v.wbool ? -1 : 0;
    default: return 0;
    }
}

// Rounds to the nearest integer, halves to even, as OLE conversions do.
bool roundToIntegral(double x, i128 &out)
{
    if (!std::isfinite(x) || std::fabs(x) >= 1.8446744073709552e19)
        return false;
    out = i128(std::nearbyint(x));
    return true;
}

i128 currencyToIntegral(qint64 scaled)
{
    i128 q = scaled / 10000, r = scaled % 10000;
    if (r > 5000 || (r == 5000 && (q & 1)))
        ++q;
    else if (r < -5000 || (r == -5000 && (q & 1)))
        --q;
    return q;
}

// The value of d as an exact integer, for a conversion into `to`.
i128 integralOf(const Variant &d, TVarType to)
{
    const TVarType t = d.Type();
    if (t == varEmpty)
        return 0;
    if (isOrdinalType(t) || t == varBoolean || t == varError)
        return ordinalValue(d);
    i128 r;
    switch (t) {
    case varSingle:
        if (!roundToIntegral(d.RawSingle(), r))
            overflowError(t, to);
        return r;
    case varDouble:
    case varDate:
        if (!roundToIntegral(d.RawDouble(), r))
            overflowError(t, to);
        return r;
    case varCurrency:
        return currencyToIntegral(d.RawInt());
    case varOleStr:
    case varUString:
    case varString: {
        const QString s = textOf(d);
        qint64 iv;
        if (TryStrToInt64(s, iv))
            return iv;
        bool ok = false;
        const quint64 uv = s.trimmed().toULongLong(&ok, 10); // the upper half of UInt64
        if (ok)
            return uv;
        double dv;
        if (TryStrToFloat(s, dv)) {
            if (!roundToIntegral(dv, r))
                overflowError(t, to);
            return r;
        }
        const QString tr = s.trimmed();
        if (tr.compare(u"True", Qt::CaseInsensitive) == 0)
            return -1;
        if (tr.compare(u"False", Qt::CaseInsensitive) == 0)
            return 0;
        castError(t, to);
    }
    default:
        castError(t, to);
    }
}

double doubleOf(const Variant &d, TVarType to)
{
    const TVarType t = d.Type();
    switch (t) {
    case varEmpty: return 0.0;
    case varSingle: return d.RawSingle();
    case varDouble:
    case varDate: return d.RawDouble();
    case varCurrency: return Currency::FromScaled(d.RawInt()).ToDouble();
    case varOleStr:
    case varUString:
    case varString: {
        const QString s = textOf(d);
        double v;
        if (TryStrToFloat(s, v))
            return v;
        if (to == varDate && TryStrToDateTime(s, v))
            return v;
        const QString tr = s.trimmed();
        if (tr.compare(u"True", Qt::CaseInsensitive) == 0)
            return -1.0;
        if (tr.compare(u"False", Qt::CaseInsensitive) == 0)
            return 0.0;
        castError(t, to);
    }
    default:
        if (isOrdinalType(t) || t == varBoolean || t == varError)
            return double(ordinalValue(d));
        castError(t, to);
    }
}

Currency currencyOf(const Variant &d, TVarType to)
{
    const TVarType t = d.Type();
    if (t == varCurrency)
        return Currency::FromScaled(d.RawInt());
    if (t == varEmpty)
        return Currency();
    if (isOrdinalType(t) || t == varBoolean) {
        const i128 s = ordinalValue(d) * 10000;
        if (s > std::numeric_limits<qint64>::max() || s < std::numeric_limits<qint64>::min())
            overflowError(t, to);
        return Currency::FromScaled(qint64(s));
    }
    if (isStringType(t)) {
        Currency c;
        QString s = textOf(d);
        const QChar sep = FormatSettings().DecimalSeparator;
        if (sep != u'.' && !s.contains(u'.'))
            s.replace(sep, u'.');
        if (Currency::TryParse(s, c))
            return c;
    }
    const double v = doubleOf(d, to);
    try {
        return Currency::FromDouble(v);
    } catch (const EOverflow &) {
        overflowError(t, to);
    }
}

bool boolOf(const Variant &d, TVarType to)
{
    const TVarType t = d.Type();
    switch (t) {
    case varEmpty: return false;
    case varBoolean: return d.RawInt() & 0xFFFF;
    case varSingle: return d.RawSingle() != 0;
    case varDouble:
    case varDate: return d.RawDouble() != 0;
    case varCurrency: return d.RawInt() != 0;
    case varOleStr:
    case varUString:
    case varString: {
        bool b;
        if (TryStrToBool(textOf(d), b))
            return b;
        castError(t, to);
    }
    default:
        if (isOrdinalType(t) || t == varError)
            return ordinalValue(d) != 0;
        castError(t, to);
    }
}

bool fitsIn(i128 v, TVarType t)
{
    switch (t) {
    case varSmallint: return v >= -32768 && v <= 32767;
    case varInteger:
    case varError: return v >= std::numeric_limits<qint32>::min() && v <= std::numeric_limits<qint32>::max();
    case varShortInt: return v >= -128 && v <= 127;
    case varByte: return v >= 0 && v <= 255;
    case varWord: return v >= 0 && v <= 65535;
    case varLongWord: return v >= 0 && v <= std::numeric_limits<quint32>::max();
    case varInt64: return v >= std::numeric_limits<qint64>::min() && v <= std::numeric_limits<qint64>::max();
    case varUInt64: return v >= 0 && v <= i128(std::numeric_limits<quint64>::max());
    default: return false;
    }
}

// An ordinal variant of type t holding v (which must fit).
Variant makeOrdinal(TVarType t, i128 v)
{
    // Signed values are kept sign-extended over the whole slot: the low bytes
    // are the value's own, and RawInt() reads the number itself.
    quint64 bits = 0;
    switch (t) {
    case varSmallint: bits = quint64(qint64(qint16(v))); break;
    case varInteger:
    case varError: bits = quint64(qint64(qint32(v))); break;
    case varShortInt: bits = quint64(qint64(qint8(v))); break;
    case varByte: bits = quint8(v); break;
    case varWord: bits = quint16(v); break;
    case varLongWord: bits = quint32(v); break;
    default: bits = quint64(v); break;
    }
    return VA::make(t, bits);
}

Variant makeDouble(TVarType t, double v)
{
    quint64 bits;
    std::memcpy(&bits, &v, 8);
    return VA::make(t, bits);
}

Variant makeSingle(float v)
{
    quint64 bits = 0;
    std::memcpy(&bits, &v, 4);
    return VA::make(varSingle, bits);
}

// Integer result of arithmetic: Integer while it fits (and no operand was 64-bit),
// then Int64, UInt64 for large unsigned results, Double beyond.
Variant integerResult(i128 v, bool wide, bool unsignedWide)
{
    if (!wide && fitsIn(v, varInteger))
        return makeOrdinal(varInteger, v);
    if (fitsIn(v, varInt64))
        return makeOrdinal(varInt64, v);
    if (unsignedWide && fitsIn(v, varUInt64))
        return makeOrdinal(varUInt64, v);
    return Variant(double(v));
}

Variant castScalar(const Variant &d, TVarType to)
{
    const TVarType from = d.Type();
    switch (to) {
    case varEmpty: return Variant();
    case varNull: return Variant::Null();
    case varSmallint: case varInteger: case varShortInt: case varByte:
    case varWord: case varLongWord: case varInt64: case varUInt64: {
        i128 v = integralOf(d, to);
        if (from == varBoolean && v < 0 && (to == varByte || to == varWord || to == varLongWord || to == varUInt64))
            v = to == varByte ? 0xFF : to == varWord ? 0xFFFF : to == varLongWord ? 0xFFFFFFFFll : i128(~quint64(0));
        if (!fitsIn(v, to))
            overflowError(from, to);
        return makeOrdinal(to, v);
    }
    case varError: {
        if (!isOrdinalType(from) && from != varEmpty)
            castError(from, to);
        const i128 v = ordinalValue(d);
        if (!fitsIn(v, varError))
            overflowError(from, to);
        return makeOrdinal(varError, v);
    }
    case varSingle: {
        const double v = doubleOf(d, to);
        if (std::isfinite(v) && std::fabs(v) > double(std::numeric_limits<float>::max()))
            overflowError(from, to);
        return makeSingle(float(v));
    }
    case varDouble:
        return makeDouble(varDouble, doubleOf(d, to));
    case varDate: {
        const double v = doubleOf(d, to);
        if (!std::isfinite(v))
            overflowError(from, to);
        return makeDouble(varDate, v);
    }
    case varCurrency:
        return Variant(currencyOf(d, to));
    case varBoolean:
        return Variant(boolOf(d, to));
    case varOleStr:
        return Variant::FromOleStr(VarToStr(d));
    case varUString:
        return Variant(VarToStr(d));
    case varString:
        return Variant::FromAnsi(ToAnsi(VarToStr(d)));
    case varUnknown:
    case varDispatch: {
        if (from == varEmpty)
            return Variant::ZeroOf(to);
        if (!isInterfaceType(from))
            castError(from, to);
        IInterface *p = d.RawInterface();
        if (p)
            p->AddRef();
        return VA::makePtr(to, p);
    }
    case varVariant:
        return d;
    default:
        castError(from, to);
    }
}

} // namespace

// ---------------------------------------------------------------------------
// Variant

void Variant::clear() noexcept
{
    const TVarType t = m_type;
    void *p = m_v.ptr;
    // Reset first: releasing an interface may run code that looks at this variant.
    m_type = varEmpty;
    m_v.i64 = 0;
    if (isTrivial(t))
        return;
    if (t & varArray) {
        auto *a = static_cast<VariantArray *>(p);
        if (!a->ref.deref())
            delete a;
        return;
    }
    switch (t) {
    case varOleStr:
    case varUString: delete static_cast<QString *>(p); break;
    case varString: delete static_cast<QByteArray *>(p); break;
    case varDispatch:
    case varUnknown:
        if (p)
            static_cast<IInterface *>(p)->Release();
        break;
    default: break;
    }
}

void Variant::copyFrom(const Variant &o)
{
    // *this holds nothing here; its type is set last so that a failing
    // allocation leaves it empty.
    void *p = o.m_v.ptr;
    if (o.m_type & varArray) {
        static_cast<VariantArray *>(p)->ref.ref();
    } else {
        switch (o.m_type) {
        case varOleStr:
        case varUString: p = new QString(*static_cast<const QString *>(p)); break;
        case varString: p = new QByteArray(*static_cast<const QByteArray *>(p)); break;
        case varDispatch:
        case varUnknown:
            if (p)
                static_cast<IInterface *>(p)->AddRef();
            break;
        default: break;
        }
    }
    m_v = o.m_v;
    m_v.ptr = p;
    m_type = o.m_type;
}

void Variant::assignSlow(const Variant &o)
{
    if (this == &o)
        return;
    Variant tmp(o);
    swap(tmp);
}

Variant::Variant(const QString &v)
{
    m_v.ptr = new QString(v);
    m_type = varUString;
}

Variant::Variant(const IPtr<IInterface> &v) : Variant(v.get())
{
}

Variant::Variant(IInterface *v)
{
    if (v)
        v->AddRef();
    m_v.i64 = 0;
    m_v.ptr = v;
    m_type = varUnknown;
}

Variant Variant::Null()
{
    return VA::make(varNull, 0);
}

Variant Variant::FromDateTime(TDateTime v)
{
    return makeDouble(varDate, v);
}

Variant Variant::FromAnsi(const QByteArray &v)
{
    return VA::makePtr(varString, new QByteArray(v));
}

Variant Variant::FromOleStr(const QString &v)
{
    return VA::makePtr(varOleStr, new QString(v));
}

Variant Variant::FromError(qint32 code)
{
    return makeOrdinal(varError, code);
}

Variant Variant::FromSingle(float v)
{
    return makeSingle(v);
}

Variant Variant::FromSmallint(qint16 v)
{
    return makeOrdinal(varSmallint, v);
}

Variant Variant::FromShortInt(qint8 v)
{
    return makeOrdinal(varShortInt, v);
}

Variant Variant::FromByte(quint8 v)
{
    return makeOrdinal(varByte, v);
}

Variant Variant::FromWord(quint16 v)
{
    return makeOrdinal(varWord, v);
}

Variant Variant::FromLongWord(quint32 v)
{
    return makeOrdinal(varLongWord, v);
}

Variant Variant::FromUInt64(quint64 v)
{
    return makeOrdinal(varUInt64, v);
}

Variant Variant::AsRef(Variant &target)
{
    if (target.IsByRef())
        return target;
    Variant r;
    r.m_v.ptr = &target;
    r.m_type = target.m_type | varByRef;
    return r;
}

Variant Variant::ZeroOf(TVarType type)
{
    switch (type) {
    case varEmpty: return Variant();
    case varNull: return Null();
    case varOleStr: return FromOleStr(QString());
    case varUString: return Variant(QString());
    case varString: return FromAnsi(QByteArray());
    case varDispatch:
    case varUnknown: return VA::makePtr(type, nullptr);
    case varVariant: return Variant();
    case varSmallint: case varInteger: case varSingle: case varDouble: case varCurrency:
    case varDate: case varError: case varBoolean: case varShortInt: case varByte:
    case varWord: case varLongWord: case varInt64: case varUInt64:
        return VA::make(type, 0);
    default:
        castError(varEmpty, type);
    }
}

bool Variant::IsString() const
{
    return isStringType(m_type);
}

bool Variant::IsNumeric() const
{
    return IsOrdinal() || IsFloat();
}

bool Variant::IsOrdinal() const
{
    return isOrdinalType(m_type);
}

bool Variant::IsFloat() const
{
    return m_type == varSingle || m_type == varDouble || m_type == varCurrency;
}

const Variant &Variant::Deref() const
{
    return (m_type & varByRef) ? *static_cast<const Variant *>(m_v.ptr) : *this;
}

Variant &Variant::Deref()
{
    return (m_type & varByRef) ? *static_cast<Variant *>(m_v.ptr) : *this;
}

const QString &Variant::RawString() const
{
    static const QString empty;
    return m_type == varOleStr || m_type == varUString ? *static_cast<const QString *>(m_v.ptr) : empty;
}

const QByteArray &Variant::RawAnsi() const
{
    static const QByteArray empty;
    return m_type == varString ? *static_cast<const QByteArray *>(m_v.ptr) : empty;
}

IInterface *Variant::RawInterface() const
{
    return isInterfaceType(m_type) ? static_cast<IInterface *>(m_v.ptr) : nullptr;
}

namespace {

const VariantArray &readArray(const Variant &v)
{
    const Variant &d = v.Deref();
    if (!d.IsArray())
        notAnArray();
    return *VA::array(d);
}

qsizetype slotOf(const VariantArray &a, int index)
{
    const qint64 slot = qint64(index) - a.low;
    if (slot < 0 || slot >= a.count)
        badIndex();
    return qsizetype(slot);
}

} // namespace

namespace {

// The array of this variant (or its target), made unshared before a write.
VariantArray &writableArray(Variant &v)
{
    Variant &d = v.Deref();
    if (!d.IsArray())
        notAnArray();
    void *&slot = VA::ptrRef(d);
    auto *a = static_cast<VariantArray *>(slot);
    if (a->ref.loadRelaxed() > 1) {
        auto *copy = new VariantArray(*a);
        if (!a->ref.deref())
            delete a;
        a = copy;
        slot = a;
    }
    return *a;
}

} // namespace

int Variant::ArrayLowBound() const
{
    return readArray(*this).low;
}

int Variant::ArrayHighBound() const
{
    const VariantArray &a = readArray(*this);
    return int(a.low + a.count - 1);
}

TVarType Variant::ArrayElementType() const
{
    return readArray(*this).elemType;
}

Variant Variant::ArrayGet(int index) const
{
    const VariantArray &a = readArray(*this);
    const qsizetype i = slotOf(a, index);
    if (!a.elemSize)
        return a.items[size_t(i)];
    quint64 bits = 0;
    std::memcpy(&bits, a.raw.data() + size_t(i) * size_t(a.elemSize), size_t(a.elemSize));
    if (a.elemType == varBoolean)
        bits = (bits & 0xFFFF) ? 0xFFFF : 0; // any non-zero storage reads as true
    const Variant r = VA::make(a.elemType, bits);
    if (isOrdinalType(a.elemType) || a.elemType == varError)
        return makeOrdinal(a.elemType, ordinalValue(r));
    return r;
}

void Variant::ArrayPut(int index, const Variant &value)
{
    const VariantArray &ro = readArray(*this);
    const qsizetype i = slotOf(ro, index);
    // Convert before detaching: value may be this very array.
    Variant v = ro.elemType == varVariant ? value.Deref() : VarCast(value, ro.elemType);
    VariantArray &a = writableArray(*this);
    if (a.elemSize)
        std::memcpy(a.raw.data() + size_t(i) * size_t(a.elemSize), &VA::value(v), size_t(a.elemSize));
    else
        a.items[size_t(i)] = std::move(v);
}

void Variant::ArrayRedim(int highBound)
{
    const VariantArray &ro = readArray(*this);
    const qint64 count = qint64(highBound) - ro.low + 1;
    if (count < 0 || count * std::max(ro.elemSize, int(sizeof(Variant))) > kMaxArrayBytes)
        arrayCreateError();
    writableArray(*this).resize(qsizetype(count));
}

void *Variant::ArrayData()
{
    Variant &d = Deref();
    if (!d.IsArray() || !VA::array(d)->elemSize)
        return nullptr;
    return writableArray(*this).raw.data();
}

const void *Variant::ArrayData() const
{
    const Variant &d = Deref();
    if (!d.IsArray() || !VA::array(d)->elemSize)
        return nullptr;
    return VA::array(d)->raw.data();
}

ZOR_EXPORT bool operator==(const Variant &a, const Variant &b)
{
    return VarSameValue(a, b);
}

QVariant Variant::ToQVariant() const
{
    const Variant &d = Deref();
    const TVarType t = d.Type();
    if (d.IsArray()) {
        const VariantArray &a = *VA::array(d);
        if (a.elemType == varByte)
            return QByteArray(reinterpret_cast<const char *>(a.raw.data()), a.count);
        QVariantList list;
        list.reserve(a.count);
        for (qsizetype i = 0; i < a.count; ++i)
            list << d.ArrayGet(int(a.low + i)).ToQVariant();
        return list;
    }
    switch (t) {
    case varEmpty: return QVariant();
    case varNull: return QVariant::fromValue(nullptr);
    case varSmallint: case varInteger: case varShortInt: case varByte: case varWord: case varError:
        return int(ordinalValue(d));
    case varLongWord: return uint(ordinalValue(d));
    case varInt64: return qlonglong(d.RawInt());
    case varUInt64: return qulonglong(quint64(d.RawInt()));
    case varSingle: return d.RawSingle();
    case varDouble: return d.RawDouble();
    case varCurrency: return Currency::FromScaled(d.RawInt()).ToDouble();
    case varDate: return DateTimeToQDateTime(d.RawDouble());
    case varBoolean: return bool(d.RawInt() & 0xFFFF);
    case varOleStr:
    case varUString: return d.RawString();
    case varString: return d.RawAnsi();
    default: return QVariant();
    }
}

Variant Variant::FromQVariant(const QVariant &v)
{
    if (!v.isValid())
        return Variant();
    switch (v.typeId()) {
    case QMetaType::Nullptr: return Null();
    case QMetaType::Bool: return Variant(v.toBool());
    case QMetaType::Int: return Variant(v.toInt());
    case QMetaType::UInt: return FromLongWord(v.toUInt());
    case QMetaType::LongLong: return Variant(qint64(v.toLongLong()));
    case QMetaType::ULongLong: return FromUInt64(v.toULongLong());
    case QMetaType::Long: return Variant(qint64(v.toLongLong()));
    case QMetaType::ULong: return FromUInt64(v.toULongLong());
    case QMetaType::Short: return FromSmallint(qint16(v.toInt()));
    case QMetaType::UShort: return FromWord(quint16(v.toUInt()));
    case QMetaType::Char:
    case QMetaType::SChar: return FromShortInt(qint8(v.toInt()));
    case QMetaType::UChar: return FromByte(quint8(v.toUInt()));
    case QMetaType::Float: return FromSingle(v.toFloat());
    case QMetaType::Double: return Variant(v.toDouble());
    case QMetaType::QString: return Variant(v.toString());
    case QMetaType::QChar: return Variant(QString(v.toChar()));
    case QMetaType::QByteArray: return VarArrayFromBytes(v.toByteArray());
    case QMetaType::QDateTime: return FromDateTime(QDateTimeToDateTime(v.toDateTime()));
    case QMetaType::QDate: {
        const QDate d = v.toDate();
        TDateTime dt = 0;
        return d.isValid() && TryEncodeDate(d.year(), d.month(), d.day(), dt) ? FromDateTime(dt) : Null();
    }
    case QMetaType::QTime: {
        const QTime t = v.toTime();
        TDateTime dt = 0;
        return t.isValid() && TryEncodeTime(t.hour(), t.minute(), t.second(), t.msec(), dt) ? FromDateTime(dt)
                                                                                              : Null();
    }
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        const QVariantList list = v.toList();
        QList<Variant> items;
        items.reserve(list.size());
        for (const QVariant &e : list)
            items << FromQVariant(e);
        return VarArrayOf(items);
    }
    default:
        if (v.canConvert<QString>())
            return Variant(v.toString());
        return Variant();
    }
}

// ---------------------------------------------------------------------------
// Arrays

int VarArrayElementSize(TVarType t)
{
    switch (t) {
    case varShortInt: case varByte: return 1;
    case varSmallint: case varWord: case varBoolean: return 2;
    case varInteger: case varSingle: case varError: case varLongWord: return 4;
    case varDouble: case varCurrency: case varDate: case varInt64: case varUInt64: return 8;
    default: return 0;
    }
}

Variant VarArrayCreate(int lowBound, int highBound, TVarType elementType)
{
    const qint64 count = qint64(highBound) - lowBound + 1;
    if (count < 0 || !validElementType(elementType))
        arrayCreateError();
    const int size = VarArrayElementSize(elementType);
    // The size is the caller's, but it may come from outside data: refuse
    // what could never be meant instead of exhausting memory.
    if (count * (size ? size : int(sizeof(Variant))) > kMaxArrayBytes)
        throw EOutOfMemory(QStringLiteral("Out of memory"));
    return VA::makePtr(TVarType(varArray | elementType), new VariantArray(elementType, lowBound, qsizetype(count)));
}

Variant VarArrayOf(const QList<Variant> &values)
{
    Variant r = VarArrayCreate(0, int(values.size()) - 1, varVariant);
    VariantArray *a = VA::array(r);
    for (qsizetype i = 0; i < values.size(); ++i)
        a->items[size_t(i)] = values[i].Deref();
    return r;
}

Variant VarArrayFromBytes(const QByteArray &bytes)
{
    Variant r = VarArrayCreate(0, int(bytes.size()) - 1, varByte);
    if (!bytes.isEmpty())
        std::memcpy(VA::array(r)->raw.data(), bytes.constData(), size_t(bytes.size()));
    return r;
}

QByteArray VarArrayToBytes(const Variant &v)
{
    const VariantArray &a = readArray(v);
    if (a.elemType == varByte || a.elemType == varShortInt)
        return QByteArray(reinterpret_cast<const char *>(a.raw.data()), a.count);
    QByteArray out;
    out.reserve(a.count);
    for (qsizetype i = 0; i < a.count; ++i)
        out.append(char(VarCast(v.ArrayGet(int(a.low + i)), varByte).RawInt() & 0xFF));
    return out;
}

int VarArrayDimCount(const Variant &v)
{
    return v.Deref().IsArray() ? 1 : 0;
}

int VarArrayLowBound(const Variant &v, int dim)
{
    if (dim != 1 && v.Deref().IsArray())
        badIndex();
    return v.ArrayLowBound();
}

int VarArrayHighBound(const Variant &v, int dim)
{
    if (dim != 1 && v.Deref().IsArray())
        badIndex();
    return v.ArrayHighBound();
}

// ---------------------------------------------------------------------------
// Type tests and conversions

bool VarIsClear(const Variant &v)
{
    const Variant &d = v.Deref();
    return d.IsEmpty() || (isInterfaceType(d.Type()) && !d.RawInterface());
}

bool VarIsStr(const Variant &v)
{
    return v.Deref().IsString();
}

bool VarIsNumeric(const Variant &v)
{
    return v.Deref().IsNumeric();
}

bool VarIsOrdinal(const Variant &v)
{
    return v.Deref().IsOrdinal();
}

bool VarIsFloat(const Variant &v)
{
    return v.Deref().IsFloat();
}

QString VarTypeAsText(TVarType type)
{
    static const char *const kNames[] = {
        "Empty", "Null", "Smallint", "Integer", "Single", "Double", "Currency", "Date",
        "OleStr", "Dispatch", "Error", "Boolean", "Variant", "Unknown", "Decimal", "$0F",
        "ShortInt", "Byte", "Word", "LongWord", "Int64", "UInt64",
    };
    const TVarType base = type & varTypeMask;
    QString name;
    if (base < sizeof kNames / sizeof kNames[0])
        name = QLatin1StringView(kNames[base]);
    else if (base == varString)
        name = QStringLiteral("AnsiString");
    else if (base == varUString)
        name = QStringLiteral("String");
    else
        name = QStringLiteral("$%1").arg(base, 4, 16, QLatin1Char('0')).toUpper();
    if (type & varArray)
        name.prepend(QStringLiteral("Array "));
    if (type & varByRef)
        name.prepend(QStringLiteral("Ref "));
    return name;
}

QString VarToStr(const Variant &v)
{
    const Variant &d = v.Deref();
    const TVarType t = d.Type();
    switch (t) {
    case varEmpty:
    case varNull: return QString();
    case varSmallint: case varInteger: case varShortInt: case varByte: case varWord:
    case varLongWord: case varInt64: case varError: return QString::number(qint64(ordinalValue(d)));
    case varUInt64: return QString::number(quint64(d.RawInt()));
    case varSingle: return FloatToStrF(d.RawSingle(), ffGeneral, 7, 0);
    case varDouble: return FloatToStr(d.RawDouble());
    case varCurrency: return CurrToStr(Currency::FromScaled(d.RawInt()));
    case varDate: {
        const double dt = d.RawDouble();
        // a time of day alone (day 0) prints as a time
        if (std::trunc(dt) == 0 && dt != 0)
            return TimeToStr(dt);
        return DateTimeToStr(dt);
    }
    case varBoolean: return d.RawInt() & 0xFFFF ? QStringLiteral("True") : QStringLiteral("False");
    case varOleStr:
    case varUString: return d.RawString();
    case varString: return FromAnsi(d.RawAnsi());
    default: castError(t, varUString);
    }
}

QString VarToStrDef(const Variant &v, const QString &def)
{
    return v.Deref().IsNull() ? def : VarToStr(v);
}

QString VarToWideStr(const Variant &v)
{
    return VarToStr(v);
}

Variant VarCast(const Variant &v, TVarType type)
{
    const Variant &d = v.Deref();
    const TVarType from = d.Type();
    if (from == type)
        return d;
    if (d.IsArray() || (type & varArray)) {
        if (!d.IsArray() || !(type & varArray) || (type & varByRef))
            castError(from, type);
        const VariantArray &a = *VA::array(d);
        Variant r = VarArrayCreate(a.low, int(a.low + a.count - 1), type & varTypeMask);
        for (qsizetype i = 0; i < a.count; ++i)
            r.ArrayPut(int(a.low + i), d.ArrayGet(int(a.low + i)));
        return r;
    }
    if (from == varNull) {
        if (type == varNull || type == varEmpty || type == varVariant)
            return type == varEmpty ? Variant() : d;
        castError(from, type);
    }
    if (type & varByRef)
        castError(from, type);
    return castScalar(d, type);
}

double VarToDouble(const Variant &v)
{
    const Variant &d = v.Deref();
    if (d.Type() == varDouble)
        return d.RawDouble();
    if (d.IsNull() || d.IsArray())
        castError(d.Type(), varDouble);
    return doubleOf(d, varDouble);
}

qint64 VarToInt64(const Variant &v)
{
    const Variant &d = v.Deref();
    if (d.IsNull() || d.IsArray())
        castError(d.Type(), varInt64);
    const i128 r = integralOf(d, varInt64);
    if (!fitsIn(r, varInt64))
        overflowError(d.Type(), varInt64);
    return qint64(r);
}

int VarToInt(const Variant &v)
{
    const Variant &d = v.Deref();
    if (d.Type() == varInteger)
        return int(d.RawInt());
    if (d.IsNull() || d.IsArray())
        castError(d.Type(), varInteger);
    const i128 r = integralOf(d, varInteger);
    if (!fitsIn(r, varInteger))
        overflowError(d.Type(), varInteger);
    return int(r);
}

bool VarToBool(const Variant &v)
{
    const Variant &d = v.Deref();
    if (d.IsNull() || d.IsArray())
        castError(d.Type(), varBoolean);
    return boolOf(d, varBoolean);
}

Currency VarToCurrency(const Variant &v)
{
    const Variant &d = v.Deref();
    if (d.IsNull() || d.IsArray())
        castError(d.Type(), varCurrency);
    return currencyOf(d, varCurrency);
}

TDateTime VarToDateTime(const Variant &v)
{
    const Variant &d = v.Deref();
    if (d.IsNull() || d.IsArray())
        castError(d.Type(), varDate);
    const double r = doubleOf(d, varDate);
    if (!std::isfinite(r))
        overflowError(d.Type(), varDate);
    return r;
}

// ---------------------------------------------------------------------------
// Comparison

namespace {

// A number taken from a scalar variant, exact where the type is exact.
struct Num
{
    enum Kind { Int, Curr, Float } kind = Int;
    i128 i = 0;       // Int, and Curr scaled by 10000
    double f = 0;     // Float
    bool date = false;
    bool wide = false;         // an operand of a 64-bit type took part
    bool unsignedWide = false; // … and it was UInt64

    double asDouble() const { return kind == Float ? f : kind == Curr ? double(i) / 10000.0 : double(i); }
    i128 asScaled() const { return kind == Curr ? i : i * 10000; }
};

Num numOf(const Variant &d, TVarType convertStringsTo)
{
    Num n;
    const TVarType t = d.Type();
    switch (t) {
    case varEmpty: break;
    case varSingle: n.kind = Num::Float; n.f = d.RawSingle(); break;
    case varDouble: n.kind = Num::Float; n.f = d.RawDouble(); break;
    case varDate: n.kind = Num::Float; n.f = d.RawDouble(); n.date = true; break;
    case varCurrency: n.kind = Num::Curr; n.i = d.RawInt(); break;
    case varOleStr:
    case varUString:
    case varString:
        if (convertStringsTo == varCurrency) {
            n.kind = Num::Curr;
            n.i = currencyOf(d, varCurrency).Scaled;
        } else {
            n.kind = Num::Float;
            n.f = doubleOf(d, convertStringsTo);
            n.date = convertStringsTo == varDate;
        }
        break;
    default:
        if (isOrdinalType(t) || t == varBoolean) {
            n.i = ordinalValue(d);
            n.wide = isWideType(t);
            n.unsignedWide = t == varUInt64;
            break;
        }
        invalidOp();
    }
    return n;
}

// What a string meets in a mixed operation decides what it is read as.
TVarType stringTargetFor(const Variant &other)
{
    switch (other.Type()) {
    case varCurrency: return varCurrency;
    case varDate: return varDate;
    default: return varDouble;
    }
}

int compareNums(const Num &a, const Num &b, bool &unordered)
{
    unordered = false;
    if (a.kind == Num::Float || b.kind == Num::Float) {
        const double x = a.asDouble(), y = b.asDouble();
        if (std::isnan(x) || std::isnan(y)) {
            unordered = true;
            return 0;
        }
        return x < y ? -1 : x > y ? 1 : 0;
    }
    const i128 x = a.kind == Num::Curr || b.kind == Num::Curr ? a.asScaled() : a.i;
    const i128 y = a.kind == Num::Curr || b.kind == Num::Curr ? b.asScaled() : b.i;
    return x < y ? -1 : x > y ? 1 : 0;
}

TVariantRelationship relation(int c)
{
    return c < 0 ? vrLessThan : c > 0 ? vrGreaterThan : vrEqual;
}

} // namespace

TVariantRelationship VarCompareValue(const Variant &va, const Variant &vb)
{
    const Variant &a = va.Deref(), &b = vb.Deref();
    const TVarType ta = a.Type(), tb = b.Type();
    if (ta <= varNull || tb <= varNull)
        return ta == tb ? vrEqual : vrNotEqual;
    if (a.IsArray() || b.IsArray()) {
        if (!a.IsArray() || !b.IsArray() || a.ArrayCount() != b.ArrayCount())
            return vrNotEqual;
        for (int i = 0; i < a.ArrayCount(); ++i)
            if (!VarSameValue(a.ArrayGet(a.ArrayLowBound() + i), b.ArrayGet(b.ArrayLowBound() + i)))
                return vrNotEqual;
        return vrEqual;
    }
    if (ta == varError || tb == varError)
        return ta == tb && ordinalValue(a) == ordinalValue(b) ? vrEqual : vrNotEqual;
    if (isInterfaceType(ta) || isInterfaceType(tb))
        return isInterfaceType(ta) && isInterfaceType(tb) && a.RawInterface() == b.RawInterface() ? vrEqual
                                                                                                  : vrNotEqual;
    const bool sa = isStringType(ta), sb = isStringType(tb);
    if (sa && sb)
        return relation(CompareStr(textOf(a), textOf(b)));
    if (ta == varBoolean || tb == varBoolean) {
        if ((ta == varBoolean && sb) || (tb == varBoolean && sa) || (ta == varBoolean && tb == varBoolean)) {
            // as truth values, false before true
            const int x = boolOf(a, varBoolean) ? 1 : 0, y = boolOf(b, varBoolean) ? 1 : 0;
            return relation(x - y);
        }
    }
    const Num na = numOf(a, stringTargetFor(b));
    const Num nb = numOf(b, stringTargetFor(a));
    bool unordered;
    const int c = compareNums(na, nb, unordered);
    return unordered ? vrNotEqual : relation(c);
}

bool VarSameValue(const Variant &a, const Variant &b)
{
    try {
        return VarCompareValue(a, b) == vrEqual;
    } catch (const EVariantError &) {
        return false;
    } catch (const EConvertError &) {
        return false;
    }
}

// ---------------------------------------------------------------------------
// Arithmetic

namespace {

enum class Op { Add, Sub, Mul, Div };

void checkFloatResult(double r, double x, double y)
{
    if (std::isfinite(r) || !std::isfinite(x) || !std::isfinite(y))
        return;
    if (std::isnan(r))
        throw EInvalidOp(QStringLiteral("Invalid floating point operation"));
    throw EOverflow(QStringLiteral("Floating point overflow"));
}

[[noreturn]] void currencyOverflow()
{
    throw EOverflow(QStringLiteral("Floating point overflow"));
}

Variant currencyResult(i128 scaled)
{
    if (scaled > std::numeric_limits<qint64>::max() || scaled < std::numeric_limits<qint64>::min())
        currencyOverflow();
    return Variant(Currency::FromScaled(qint64(scaled)));
}

bool isScalarOperand(const Variant &d)
{
    return !d.IsArray() && !isInterfaceType(d.Type()) && d.Type() != varError && d.Type() != varVariant
           && (d.Type() <= varUInt64 || isStringType(d.Type())) && d.Type() != varDecimal;
}

Variant arith(Op op, const Variant &va, const Variant &vb)
{
    const Variant &a = va.Deref(), &b = vb.Deref();
    if (a.IsNull() || b.IsNull())
        return Variant::Null();
    if (!isScalarOperand(a) || !isScalarOperand(b))
        invalidOp();
    const bool sa = a.IsString(), sb = b.IsString();
    if (op == Op::Add && (sa || sb) && (sa || a.IsEmpty()) && (sb || b.IsEmpty())) {
        if (a.Type() == varString && (b.Type() == varString || b.IsEmpty()))
            return Variant::FromAnsi(a.RawAnsi() + b.RawAnsi());
        if (b.Type() == varString && a.IsEmpty())
            return b;
        return Variant(VarToStr(a) + VarToStr(b));
    }
    const Num x = numOf(a, stringTargetFor(b));
    const Num y = numOf(b, stringTargetFor(a));
    if (op == Op::Div) {
        const double p = x.asDouble(), q = y.asDouble();
        if (q == 0) {
            if (p == 0 || std::isnan(p))
                throw EInvalidOp(QStringLiteral("Invalid floating point operation"));
            throw EZeroDivide(QStringLiteral("Floating point division by zero"));
        }
        const double r = p / q;
        checkFloatResult(r, p, q);
        return Variant(r);
    }
    if (x.kind == Num::Float || y.kind == Num::Float || x.date || y.date) {
        const double p = x.asDouble(), q = y.asDouble();
        double r = op == Op::Add ? p + q : op == Op::Sub ? p - q : p * q;
        checkFloatResult(r, p, q);
        // a date moved by an amount stays a date; the distance of two dates is a number
        const bool date = (op == Op::Add && (x.date || y.date)) || (op == Op::Sub && x.date && !y.date);
        return date ? Variant::FromDateTime(r) : Variant(r);
    }
    if (x.kind == Num::Curr || y.kind == Num::Curr) {
        const i128 p = x.asScaled(), q = y.asScaled();
        switch (op) {
        case Op::Add: return currencyResult(p + q);
        case Op::Sub: return currencyResult(p - q);
        default: {
            // one side an integer: exact; both currency: rounded to four decimals
            if (x.kind != Num::Curr || y.kind != Num::Curr) {
                i128 r;
                if (__builtin_mul_overflow(x.kind == Num::Curr ? x.i : y.i, x.kind == Num::Curr ? y.i : x.i, &r))
                    currencyOverflow();
                return currencyResult(r);
            }
            if (p > std::numeric_limits<qint64>::max() || q > std::numeric_limits<qint64>::max())
                currencyOverflow();
            return Variant(Currency::FromScaled(qint64(p)) * Currency::FromScaled(qint64(q)));
        }
        }
    }
    const bool wide = x.wide || y.wide;
    const bool uw = x.unsignedWide || y.unsignedWide;
    i128 r;
    bool overflow = false;
    switch (op) {
    case Op::Add: overflow = __builtin_add_overflow(x.i, y.i, &r); break;
    case Op::Sub: overflow = __builtin_sub_overflow(x.i, y.i, &r); break;
    default: overflow = __builtin_mul_overflow(x.i, y.i, &r); break;
    }
    if (overflow)
        return Variant(op == Op::Mul ? double(x.i) * double(y.i) : double(x.i) + (op == Op::Add ? 1 : -1) * double(y.i));
    return integerResult(r, wide, uw);
}

// Both operands as integers for div, mod, bit operations and shifts.
void integerOperands(const Variant &a, const Variant &b, i128 &x, i128 &y, bool &wide, bool &uw)
{
    if (!isScalarOperand(a) || !isScalarOperand(b))
        invalidOp();
    x = integralOf(a, varInt64);
    y = integralOf(b, varInt64);
    wide = isWideType(a.Type()) || isWideType(b.Type());
    uw = a.Type() == varUInt64 || b.Type() == varUInt64;
}

enum class BitOp { And, Or, Xor };

Variant bitwise(BitOp op, const Variant &va, const Variant &vb)
{
    const Variant &a = va.Deref(), &b = vb.Deref();
    if (a.IsNull() || b.IsNull())
        return Variant::Null();
    const bool ba = a.Type() == varBoolean, bb = b.Type() == varBoolean;
    if ((ba || bb) && (ba || a.IsString()) && (bb || b.IsString())) {
        const bool x = boolOf(a, varBoolean), y = boolOf(b, varBoolean);
        return Variant(op == BitOp::And ? x && y : op == BitOp::Or ? x || y : x != y);
    }
    i128 x, y;
    bool wide, uw;
    integerOperands(a, b, x, y, wide, uw);
    const qint64 p = qint64(x), q = qint64(y);
    const qint64 r = op == BitOp::And ? (p & q) : op == BitOp::Or ? (p | q) : (p ^ q);
    return integerResult(uw ? i128(quint64(r)) : i128(r), wide, uw);
}

} // namespace

Variant operator+(const Variant &a, const Variant &b)
{
    // the interpreter's common case, without the general machinery
    if (a.Type() == varInteger && b.Type() == varInteger) {
        const qint64 r = qint64(qint32(a.RawInt())) + qint32(b.RawInt());
        return r >= std::numeric_limits<qint32>::min() && r <= std::numeric_limits<qint32>::max() ? Variant(int(r))
                                                                                                 : Variant(r);
    }
    if (a.Type() == varDouble && b.Type() == varDouble) {
        const double r = a.RawDouble() + b.RawDouble();
        checkFloatResult(r, a.RawDouble(), b.RawDouble());
        return Variant(r);
    }
    return arith(Op::Add, a, b);
}

Variant operator-(const Variant &a, const Variant &b)
{
    return arith(Op::Sub, a, b);
}

Variant operator*(const Variant &a, const Variant &b)
{
    return arith(Op::Mul, a, b);
}

Variant operator/(const Variant &a, const Variant &b)
{
    return arith(Op::Div, a, b);
}

Variant operator-(const Variant &va)
{
    const Variant &a = va.Deref();
    const TVarType t = a.Type();
    switch (t) {
    case varNull: return Variant::Null();
    case varEmpty: return Variant(0);
    case varSingle: return Variant::FromSingle(-a.RawSingle());
    case varDouble: return Variant(-a.RawDouble());
    case varDate: return Variant::FromDateTime(-a.RawDouble());
    case varCurrency: return currencyResult(-i128(a.RawInt()));
    default:
        if (a.IsString())
            return Variant(-doubleOf(a, varDouble));
        if (isOrdinalType(t) || t == varBoolean)
            return integerResult(-ordinalValue(a), isWideType(t), false);
        invalidOp();
    }
}

Variant VarIntDiv(const Variant &va, const Variant &vb)
{
    const Variant &a = va.Deref(), &b = vb.Deref();
    if (a.IsNull() || b.IsNull())
        return Variant::Null();
    i128 x, y;
    bool wide, uw;
    integerOperands(a, b, x, y, wide, uw);
    if (y == 0)
        throw EDivByZero(QStringLiteral("Division by zero"));
    return integerResult(x / y, wide, uw);
}

Variant VarMod(const Variant &va, const Variant &vb)
{
    const Variant &a = va.Deref(), &b = vb.Deref();
    if (a.IsNull() || b.IsNull())
        return Variant::Null();
    i128 x, y;
    bool wide, uw;
    integerOperands(a, b, x, y, wide, uw);
    if (y == 0)
        throw EDivByZero(QStringLiteral("Division by zero"));
    return integerResult(x % y, wide, uw);
}

Variant VarAnd(const Variant &a, const Variant &b)
{
    return bitwise(BitOp::And, a, b);
}

Variant VarOr(const Variant &a, const Variant &b)
{
    return bitwise(BitOp::Or, a, b);
}

Variant VarXor(const Variant &a, const Variant &b)
{
    return bitwise(BitOp::Xor, a, b);
}

Variant VarNot(const Variant &va)
{
    const Variant &a = va.Deref();
    const TVarType t = a.Type();
    if (t == varNull)
        return Variant::Null();
    if (t == varBoolean)
        return Variant(!(a.RawInt() & 0xFFFF));
    if (a.IsString()) {
        const QString s = textOf(a).trimmed();
        if (s.compare(u"True", Qt::CaseInsensitive) == 0 || s.compare(u"False", Qt::CaseInsensitive) == 0)
            return Variant(!boolOf(a, varBoolean));
    }
    if (!isScalarOperand(a))
        invalidOp();
    const i128 x = integralOf(a, varInt64);
    if (t == varUInt64)
        return Variant::FromUInt64(~quint64(x));
    if (isWideType(t))
        return Variant(qint64(~qint64(x)));
    return integerResult(~qint64(x), false, false);
}

namespace {

Variant shift(const Variant &va, const Variant &vb, bool left)
{
    const Variant &a = va.Deref(), &b = vb.Deref();
    if (a.IsNull() || b.IsNull())
        return Variant::Null();
    i128 x, y;
    bool wide, uw;
    integerOperands(a, b, x, y, wide, uw);
    if (isWideType(a.Type())) {
        const quint64 v = quint64(qint64(x));
        const unsigned n = unsigned(qint64(y)) & 63u;
        const quint64 r = left ? v << n : v >> n;
        return a.Type() == varUInt64 ? Variant::FromUInt64(r) : Variant(qint64(r));
    }
    const quint32 v = quint32(qint64(x));
    const unsigned n = unsigned(qint64(y)) & 31u;
    const quint32 r = left ? v << n : v >> n;
    return Variant(int(qint32(r)));
}

} // namespace

Variant VarShl(const Variant &a, const Variant &b)
{
    return shift(a, b, true);
}

Variant VarShr(const Variant &a, const Variant &b)
{
    return shift(a, b, false);
}

} // namespace zor
