#pragma once

// Colours as HTML and CSS write them. Colours are quint32 in the Windows
// layout 0x00BBGGRR; a value with the high bit set names a system colour by
// its index in the low byte.

#include <ZorCompCore/zor_export.h>

#include <QString>
#include <QStringView>

namespace zor {

/// The real colour of \a color: system colours (0xFF0000nn) become the
/// classic Windows default of colour index nn (black for an unknown index),
/// everything else passes unchanged. The same on every platform, headless.
ZOR_EXPORT quint32 Win2Color(quint32 color);

/// "#RRGGBB" (upper-case hex) of a 0x00BBGGRR colour; the high byte is ignored.
ZOR_EXPORT QString htmlColortoStr(quint32 color);

/// Reads a colour as HTML and CSS write it: an HTML 4 or CSS colour name
/// (ignoring ASCII case), "#rgb", "#rrggbb" or "rgb(r, g, b)" with numbers
/// (clamped to 0..255) or percentages. Leading and trailing white space is
/// ignored. Returns false, leaving \a color alone, when \a text is none of these.
ZOR_EXPORT bool HtmlStrToColor(QStringView text, quint32 &color);

} // namespace zor
