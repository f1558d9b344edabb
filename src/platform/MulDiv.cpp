#include "MulDiv.h"

#include <climits>
#include <cstdint>

namespace zor {

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const std::int64_t product = std::int64_t(a) * b;
    const bool negative = (product < 0) != (c < 0);
    // Magnitudes: |a·b| < 2^62 and |c| ≤ 2^31, so adding half the divisor cannot overflow.
    const std::uint64_t num = product < 0 ? std::uint64_t(-product) : std::uint64_t(product);
    const std::uint64_t den = c < 0 ? std::uint64_t(-std::int64_t(c)) : std::uint64_t(c);
    const std::uint64_t q = (num + den / 2) / den;
    if (negative ? q > std::uint64_t(INT_MAX) + 1 : q > std::uint64_t(INT_MAX))
        return -1;
    return negative ? int(-std::int64_t(q)) : int(q);
}

} // namespace zor
