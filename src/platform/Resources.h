// Errors of resources and pictures built into or handed to the library, beside
// the exception classes of Exception.h.
#pragma once

#include <ZorCompCore/platform/Exception.h>

namespace zor {

// A named resource is missing from the library: "Resource %s not found".
ZOR_DECLARE_EXCEPTION(EResNotFound, Exception)
// Picture data that cannot be read as the picture class it was given to.
ZOR_DECLARE_EXCEPTION(EInvalidGraphic, Exception)

} // namespace zor
