// Recognising SVG documents by their XML declaration and an <svg element.
#pragma once

#include <ZorCompCore/zor_export.h>

namespace zor {

class TStream;

// True when the next 6 bytes are "<?xml " and "<svg " occurs later in the
// rest of the stream. The position is kept. (An SVG without an XML
// declaration is not recognised here; GuessDibGraphicClass finds it.)
ZOR_EXPORT bool GuessIsSVGStream(TStream &Stream);

} // namespace zor
