//
//  W A R N I N G
//  -------------
// Internal to the script engine: routines that are part of a syntax rather
// than of the library (set membership, array re-dimensioning). The parsers
// produce calls to them under names starting with '#', which no script can
// spell.
#pragma once

#include <ZorCompCore/script/Builtins_p.h>

namespace zor::script {

// Intrinsic by upper-case name, or null.
const Builtin *FindIntrinsic(const QString &upperName);

// Names the parsers call.
inline const char16_t *kInSetFn = u"#INSET";     // (x, lo1, hi1, …): x within a range; empty hi: x = lo
inline const char16_t *kInFn = u"#IN";           // (x, array or string): x is an element
inline const char16_t *kReDimFn = u"#REDIM";     // (array, high, preserve): array 0..high
inline const char16_t *kSetLengthFn = u"#SETLENGTH"; // (var array, length, fill): Pascal's SetLength
inline const char16_t *kSetLengthDimsFn = u"#SETLENGTHN"; // (var array, fill, length, length…): each level's
inline const char16_t *kNewArrayFn = u"#NEWARRAY"; // (low, high, fill): a fixed-size array's value

} // namespace zor::script
