// Internal to the html engine: tag, attribute and data names compare without
// regard to ASCII letter case, and only ASCII case (as markup names do).
#pragma once

#include <QStringView>

namespace zor::html_p {

inline bool equalsIgnoringAsciiCase(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a[i].unicode(), y = b[i].unicode();
        if (x >= 'A' && x <= 'Z')
            x += 32;
        if (y >= 'A' && y <= 'Z')
            y += 32;
        if (x != y)
            return false;
    }
    return true;
}

} // namespace zor::html_p
