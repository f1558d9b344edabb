// zor::Variant: a tagged value with the OLE Automation type codes, plus 256
// (8-bit string) and 258 (UTF-16 string). Arrays are one-dimensional with
// low/high bounds; simple element types keep raw element storage so that
// their bytes can be copied as one block. Copies of an array share storage
// until one of them is written (copy on write).
#pragma once

#include "Currency.h"
#include "DateTime.h"
#include "Interface.h"
#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <utility>

namespace zor {

using TVarType = quint16;

enum : TVarType {
    varEmpty = 0x0000,
    varNull = 0x0001,
    varSmallint = 0x0002,
    varInteger = 0x0003,
    varSingle = 0x0004,
    varDouble = 0x0005,
    varCurrency = 0x0006,
    varDate = 0x0007,
    varOleStr = 0x0008,
    varDispatch = 0x0009,
    varError = 0x000A,
    varBoolean = 0x000B,
    varVariant = 0x000C,
    varUnknown = 0x000D,
    varDecimal = 0x000E,
    varShortInt = 0x0010,
    varByte = 0x0011,
    varWord = 0x0012,
    varLongWord = 0x0013,
    varInt64 = 0x0014,
    varUInt64 = 0x0015,
    varString = 0x0100,  // 8-bit string (QByteArray)
    varUString = 0x0102, // UTF-16 string (QString)
    varTypeMask = 0x0FFF,
    varArray = 0x2000,
    varByRef = 0x4000,
};

class VariantArray; // shared array storage, defined in Variant.cpp

// An OLE Boolean: true is -1 (all bits set), false is 0.
using WordBool = qint16;

class ZOR_EXPORT Variant
{
public:
    Variant() noexcept { m_v.i64 = 0; }
    Variant(const Variant &o);
    Variant(Variant &&o) noexcept;
    Variant &operator=(const Variant &o);
    Variant &operator=(Variant &&o) noexcept;
    ~Variant();

    // Natural constructors: bool -> varBoolean, int -> varInteger,
    // qint64 -> varInt64, double -> varDouble, QString/const char16_t* -> varUString.
    Variant(bool v);
    Variant(int v);
    Variant(qint64 v);
    Variant(double v);
    Variant(Currency v);
    Variant(const QString &v);
    Variant(const char16_t *v) : Variant(QString::fromUtf16(v)) {}
    Variant(const char *v) : Variant(QString::fromUtf8(v)) {}
    Variant(QChar v) : Variant(QString(v)) {}
    Variant(const IPtr<IInterface> &v); // varUnknown
    Variant(IInterface *v);              // varUnknown (a reference is added)
    Variant(long v);                     // varInt64 (std::int64_t on LP64)
    Variant(unsigned v);                 // varLongWord
    Variant(unsigned long v);            // varUInt64
    Variant(unsigned long long v);       // varUInt64
    // Any other pointer would silently become a Boolean.
    Variant(const void *) = delete;

    static Variant Null();
    static Variant FromDateTime(TDateTime v);
    static Variant FromAnsi(const QByteArray &v);       // varString
    static Variant FromOleStr(const QString &v);        // varOleStr
    static Variant FromError(qint32 code);              // varError
    static Variant FromSingle(float v);
    static Variant FromSmallint(qint16 v);
    static Variant FromShortInt(qint8 v);
    static Variant FromByte(quint8 v);
    static Variant FromWord(quint16 v);
    static Variant FromLongWord(quint32 v);
    static Variant FromUInt64(quint64 v);
    // A by-reference variant pointing at target's own value (varByRef | its type);
    // target must outlive it. A variant that is already by-reference is copied.
    static Variant AsRef(Variant &target);
    // The zero value of a simple type code (what a cast of an empty value gives).
    static Variant ZeroOf(TVarType type);

    TVarType Type() const { return m_type; }
    TVarType BaseType() const { return m_type & varTypeMask; }
    bool IsEmpty() const { return m_type == varEmpty; }
    bool IsNull() const { return m_type == varNull; }
    bool IsArray() const { return (m_type & varArray) != 0; }
    bool IsByRef() const { return (m_type & varByRef) != 0; }
    bool IsString() const;   // varOleStr, varString, varUString
    bool IsNumeric() const;  // ordinal or float types, currency, Boolean excluded
    bool IsOrdinal() const;  // integer types
    bool IsFloat() const;    // single, double, currency

    // The variant a by-reference variant points at; itself otherwise.
    const Variant &Deref() const;
    Variant &Deref();

    // Raw access to the held value; the caller must check the type first.
    // Integer types read back through RawInt() sign- or zero-extended.
    qint64 RawInt() const { return m_v.i64; }
    double RawDouble() const { return m_v.dbl; }
    float RawSingle() const { return m_v.flt; }
    const QString &RawString() const;      // varOleStr / varUString
    const QByteArray &RawAnsi() const;     // varString
    IInterface *RawInterface() const;      // varUnknown / varDispatch
    // Address of the value field (the 8-byte slot, or the string object) for
    // block copies of simple values.
    void *ValuePtr() { return holdsStringObject() ? m_v.ptr : &m_v; }
    const void *ValuePtr() const { return holdsStringObject() ? m_v.ptr : &m_v; }

    // --- arrays ------------------------------------------------------------
    int ArrayLowBound() const;     // EVariantError "Variant is not an array" when not an array
    int ArrayHighBound() const;
    int ArrayCount() const { return ArrayHighBound() - ArrayLowBound() + 1; }
    TVarType ArrayElementType() const;
    // Element at index (bounds-checked: EVariantBadIndexError "Variant or safe array index out of bounds").
    Variant ArrayGet(int index) const;
    void ArrayPut(int index, const Variant &value); // value cast to the element type
    // Changes the high bound, keeping the elements that remain (VarArrayRedim).
    void ArrayRedim(int highBound);
    // Raw element storage of simple element types (element size * count bytes),
    // nullptr otherwise. Data() detaches a shared array before handing it out.
    void *ArrayData();
    const void *ArrayData() const;

    // Comparison by VarSameValue (see below); strict type equality is Type() ==.
    friend bool operator==(const Variant &a, const Variant &b);
    void swap(Variant &o) noexcept { std::swap(m_type, o.m_type); std::swap(m_v, o.m_v); }

    // Conversions to/from QVariant (for properties and scripting): strings,
    // numbers, bools, date-times (QDateTime), byte arrays, lists map across.
    QVariant ToQVariant() const;
    static Variant FromQVariant(const QVariant &v);

private:
    friend class VariantArray;
    friend struct VariantAccess;

    // Types whose value lives entirely in the 8-byte slot (by-reference
    // variants do not own their target), so copies are plain bit copies.
    static constexpr bool isTrivial(TVarType t)
    {
        constexpr quint32 mask = 0x003F4CFFu; // 0-7, 10, 11, 14, 16-21
        return (t & varByRef) || (t < 32 && ((mask >> t) & 1u));
    }

    bool holdsStringObject() const
    {
        return m_type == varOleStr || m_type == varUString || m_type == varString;
    }

    void clear() noexcept;
    void copyFrom(const Variant &o);
    void assignSlow(const Variant &o);

    TVarType m_type = varEmpty;
    union Value {
        qint64 i64;
        quint64 u64;
        double dbl;
        float flt;
        qint32 i32;
        quint32 u32;
        qint16 i16;
        quint16 u16;
        qint8 i8;
        quint8 u8;
        WordBool wbool;
        void *ptr;            // QString*, QByteArray*, VariantArray*, IInterface*, Variant* (by-ref)
    } m_v;
};

// The common non-heap cases stay inline: the script interpreter copies
// integers and doubles in its inner loop.
inline Variant::Variant(const Variant &o)
{
    if (isTrivial(o.m_type)) {
        m_type = o.m_type;
        m_v = o.m_v;
    } else {
        m_v.i64 = 0;
        copyFrom(o);
    }
}
inline Variant::Variant(Variant &&o) noexcept : m_type(o.m_type), m_v(o.m_v)
{
    o.m_type = varEmpty;
    o.m_v.i64 = 0;
}
inline Variant &Variant::operator=(const Variant &o)
{
    if (isTrivial(m_type) && isTrivial(o.m_type)) {
        m_type = o.m_type;
        m_v = o.m_v;
    } else {
        assignSlow(o);
    }
    return *this;
}
inline Variant &Variant::operator=(Variant &&o) noexcept
{
    Variant tmp(std::move(o));
    swap(tmp);
    return *this;
}
inline Variant::~Variant()
{
    if (!isTrivial(m_type))
        clear();
}
inline Variant::Variant(bool v) : m_type(varBoolean) { m_v.i64 = 0; m_v.wbool = v ? -1 : 0; }
inline Variant::Variant(int v) : m_type(varInteger) { m_v.i64 = v; } // sign-extended: RawInt() is v
inline Variant::Variant(qint64 v) : m_type(varInt64) { m_v.i64 = v; }
inline Variant::Variant(long v) : m_type(varInt64) { m_v.i64 = v; }
inline Variant::Variant(unsigned v) : m_type(varLongWord) { m_v.i64 = 0; m_v.u32 = v; }
inline Variant::Variant(unsigned long v) : m_type(varUInt64) { m_v.u64 = v; }
inline Variant::Variant(unsigned long long v) : m_type(varUInt64) { m_v.u64 = v; }
inline Variant::Variant(double v) : m_type(varDouble) { m_v.dbl = v; }
inline Variant::Variant(Currency v) : m_type(varCurrency) { m_v.i64 = v.Scaled; }

// Array construction (VarArrayCreate): bounds low..high of the element type;
// elements start as the type's zero (empty for varVariant).
ZOR_EXPORT Variant VarArrayCreate(int lowBound, int highBound, TVarType elementType);
ZOR_EXPORT Variant VarArrayOf(const QList<Variant> &values); // varVariant elements, bounds 0..n-1
ZOR_EXPORT Variant VarArrayFromBytes(const QByteArray &bytes);  // varByte array
ZOR_EXPORT QByteArray VarArrayToBytes(const Variant &v);        // raw storage of a byte array, else its elements as bytes
// Bounds of a one-dimensional array (dim must be 1); EVariantError otherwise.
ZOR_EXPORT int VarArrayDimCount(const Variant &v); // 1 for arrays, 0 otherwise
ZOR_EXPORT int VarArrayLowBound(const Variant &v, int dim = 1);
ZOR_EXPORT int VarArrayHighBound(const Variant &v, int dim = 1);
// Bytes per element of the raw storage of an element type; 0 when the
// elements are held as variants.
ZOR_EXPORT int VarArrayElementSize(TVarType elementType);

inline TVarType VarType(const Variant &v) { return v.Type(); }
inline bool VarIsNull(const Variant &v) { return v.Deref().IsNull(); }
inline bool VarIsEmpty(const Variant &v) { return v.Deref().IsEmpty(); }
inline bool VarIsArray(const Variant &v) { return v.Deref().IsArray(); }
ZOR_EXPORT bool VarIsClear(const Variant &v);
ZOR_EXPORT bool VarIsStr(const Variant &v);
ZOR_EXPORT bool VarIsNumeric(const Variant &v);
ZOR_EXPORT bool VarIsOrdinal(const Variant &v);
ZOR_EXPORT bool VarIsFloat(const Variant &v);

// Text of a variant: null and empty give "", numbers with FloatToStr rules,
// Booleans "True"/"False", dates by DateTimeToStr (date only when no time part).
ZOR_EXPORT QString VarToStr(const Variant &v);
ZOR_EXPORT QString VarToStrDef(const Variant &v, const QString &def);
ZOR_EXPORT QString VarToWideStr(const Variant &v);

// VarCast: converts to the given simple type; EVariantTypeCastError
// "Could not convert variant of type (%s) into type (%s)" when impossible,
// EVariantOverflowError "Overflow while converting variant of type (%s) into type (%s)".
ZOR_EXPORT Variant VarCast(const Variant &v, TVarType type);
ZOR_EXPORT double VarToDouble(const Variant &v);
ZOR_EXPORT qint64 VarToInt64(const Variant &v);
ZOR_EXPORT int VarToInt(const Variant &v);
ZOR_EXPORT bool VarToBool(const Variant &v);
ZOR_EXPORT Currency VarToCurrency(const Variant &v);
ZOR_EXPORT TDateTime VarToDateTime(const Variant &v);
ZOR_EXPORT QString VarTypeAsText(TVarType type); // "Integer", "String", "Array Variant" …

enum TVariantRelationship { vrEqual, vrLessThan, vrGreaterThan, vrNotEqual };
// Compare with the classic rules: numbers numerically, strings by text
// (ordinal), mixed string/number by converting the string (raising
// EVariantTypeCastError when it is no number), Booleans false before true.
// Null and empty are equal only to themselves and vrNotEqual to anything else;
// so are arrays (element by element) and interfaces (by identity).
ZOR_EXPORT TVariantRelationship VarCompareValue(const Variant &a, const Variant &b);
// a = b, with null and empty only equal to themselves; type mismatches that
// cannot be converted give false instead of raising.
ZOR_EXPORT bool VarSameValue(const Variant &a, const Variant &b);

// Arithmetic with the classic promotion rules (integer + integer stays integer
// with overflow to Int64/double, string + string concatenates, string + number
// converts the string to a number, null propagates). Division '/' always
// gives a double; IntDiv/Mod raise EDivByZero "Division by zero"; float
// division by zero raises EZeroDivide "Floating point division by zero".
ZOR_EXPORT Variant operator+(const Variant &a, const Variant &b);
ZOR_EXPORT Variant operator-(const Variant &a, const Variant &b);
ZOR_EXPORT Variant operator*(const Variant &a, const Variant &b);
ZOR_EXPORT Variant operator/(const Variant &a, const Variant &b);
ZOR_EXPORT Variant operator-(const Variant &a);
ZOR_EXPORT Variant VarIntDiv(const Variant &a, const Variant &b);
ZOR_EXPORT Variant VarMod(const Variant &a, const Variant &b);
ZOR_EXPORT Variant VarAnd(const Variant &a, const Variant &b); // logical for Booleans, bitwise for integers
ZOR_EXPORT Variant VarOr(const Variant &a, const Variant &b);
ZOR_EXPORT Variant VarXor(const Variant &a, const Variant &b);
ZOR_EXPORT Variant VarNot(const Variant &a);
ZOR_EXPORT Variant VarShl(const Variant &a, const Variant &b);
ZOR_EXPORT Variant VarShr(const Variant &a, const Variant &b);

} // namespace zor
