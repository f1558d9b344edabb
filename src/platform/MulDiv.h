// Integer scaling as Windows programs do it: a × b / c in 64 bits, rounded to
// the nearest integer with halves going away from zero. Every DPI conversion
// goes through it, so that sizes agree to the pixel with designs made there.
#pragma once

#include <ZorCompCore/zor_export.h>

namespace zor {

// -1 when c is 0 or the result does not fit an int.
ZOR_EXPORT int MulDiv(int a, int b, int c);

} // namespace zor
