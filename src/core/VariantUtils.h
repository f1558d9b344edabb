// Variant utilities: defaults-tolerant conversions, array set operations,
// raw bytes of arrays, and variants packed into bytes with TStreamHelper.
#pragma once

#include <ZorCompCore/platform/Variant.h>
#include <ZorCompCore/zor_export.h>

#include <QByteArray>

namespace zor {

class TStream;
class IDataStream;

// True when AArray is an array holding an element VarSameValue to AValue.
ZOR_EXPORT bool VarIsValueInArray(const Variant &AArray, const Variant &AValue);
// Two arrays: A extended by the elements of B it does not hold yet; else A + B.
ZOR_EXPORT Variant VarConcateArrays(const Variant &A, const Variant &B);
// Two arrays: a new variant array of the elements of A not in B; else A - B.
ZOR_EXPORT Variant VarExcludeArray(const Variant &A, const Variant &B);

// Numbers as 64-bit integers, strings parsed as 32-bit decimals, else ADefault.
ZOR_EXPORT qint64 VarToIntDef(const Variant &V, qint64 ADefault);
// Null, empty and "" give the default; otherwise the conversion may raise.
ZOR_EXPORT TDateTime VarToDateTimeDef(const Variant &V, TDateTime ADefault);
ZOR_EXPORT TDateTime VarToDateDef(const Variant &V, TDateTime ADefault);
ZOR_EXPORT TDateTime VarToTimeDef(const Variant &V, TDateTime ADefault);
ZOR_EXPORT double VarToFloatDef(const Variant &V, double ADefault);
ZOR_EXPORT Currency VarToCurrDef(const Variant &V, Currency ADefault);
ZOR_EXPORT bool VarToBoolDef(const Variant &V, bool ADefault);

// The raw bytes of a variant:
//  * an array of a fixed-size type (integers of every width, floats,
//    currency, dates, error codes, Booleans as 2-byte WordBools): its element
//    storage, element size x count bytes, little-endian;
//  * an array of variants or strings: each element in order, a string as its
//    ANSI bytes, an array as its raw bytes, empty and null as nothing, any
//    other value as one byte (EVariantOverflowError outside 0..255), so that
//    VarArrayOf({1, 2, 255}) gives 01 02 FF;
//  * anything else: its text in the ANSI code page.
// No length or terminator is added. AClear empties the stream first.
ZOR_EXPORT void VarWriteToStream(const Variant &V, TStream &Stream, bool AClear);
ZOR_EXPORT void VarWriteToStream(const Variant &V, IDataStream *Stream, bool AClear);
// The bytes VarWriteToStream writes.
ZOR_EXPORT QByteArray VarToRawByteString(const Variant &V);
ZOR_EXPORT QByteArray VarToBinBytes(const Variant &V);

// The TStreamHelper::WriteVariant bytes of V; empty bytes for an empty V.
ZOR_EXPORT QByteArray SaveVariantAsBytes(const Variant &V);
// ReadVariant over B (empty B: an empty variant); raises on invalid data.
ZOR_EXPORT Variant RestoreVariantFromBytes(const QByteArray &B);
ZOR_EXPORT Variant RestoreVariantFromBytesDef(const QByteArray &B, const Variant &ADefault);

// Types stored as fixed-size raw blocks in arrays: 2, 3, 4, 5, 6, 7, 10, 11, 17
// (flags in the top four bits are ignored).
ZOR_EXPORT bool IsSimpleType(TVarType AVarType);
// Bytes per element in the stream encoding; -1 for other types.
ZOR_EXPORT int GetSimpleTypeSize(TVarType AVarType);

// A by-reference variant to V's value (V must outlive it); a copy when V
// already is by reference.
ZOR_EXPORT Variant VarAsRef(Variant &V);
// Equality that ignores the type when the types differ (the texts are compared).
ZOR_EXPORT bool VarSameTypeIndependedValue(const Variant &A, const Variant &B);
// The "no value" of a type: null, 0, MinDateTime, a nil interface, false or "".
ZOR_EXPORT Variant GetEmptyNativeValueByVarType(TVarType AVarType);
// False for empty, null and error values.
ZOR_EXPORT bool VarHasValue(const Variant &V);

} // namespace zor
