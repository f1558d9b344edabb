// Shared by the fuzz targets that read text: how the raw input becomes a
// QString, and the check that stops the run on a broken invariant.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace fuzz {

// Both byte halves matter: the input is taken as UTF-16 code units when it
// starts with 0x01 (lone surrogates, NULs), else as UTF-8.
inline QString textOf(const uint8_t *data, size_t size)
{
    if (size > 0 && data[0] == 0x01)
        return QString(reinterpret_cast<const QChar *>(data + 1), qsizetype((size - 1) / 2));
    return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
}

inline void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace fuzz
