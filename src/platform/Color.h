// TColor: a colour in the Windows layout 0x00BBGGRR (0xA56E3A is red 58,
// green 110, blue 165), as stored colours and colour properties carry it.
#pragma once

#include <QColor>

namespace zor {

using TColor = quint32;

inline QColor ToQColor(TColor c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

inline TColor FromQColor(const QColor &c)
{
    return TColor(c.red()) | TColor(c.green()) << 8 | TColor(c.blue()) << 16;
}

} // namespace zor
