// Bounds for decoding and rendering pictures from outside data.
#pragma once

#include <QSize>

namespace zor::detail {

// Raises EEnvisionError when an image of this size would exceed Qt's image
// allocation limit (QImageReader::allocationLimit, 32-bit pixels), or is empty.
void CheckRenderSize(QSize size, const char *what);

} // namespace zor::detail
