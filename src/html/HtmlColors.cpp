#include "HtmlColors.h"

#include <algorithm>
#include <cstring>

namespace zor {
namespace {

constexpr quint32 rgb(int r, int g, int b)
{
    return quint32(r) | quint32(g) << 8 | quint32(b) << 16;
}

// The classic Windows scheme, by system colour index.
constexpr quint32 kSystemColors[] = {
    rgb(212, 208, 200), // scroll bar
    rgb(58, 110, 165),  // desktop
    rgb(10, 36, 106),   // active caption
    rgb(128, 128, 128), // inactive caption
    rgb(212, 208, 200), // menu
    rgb(255, 255, 255), // window
    rgb(0, 0, 0),       // window frame
    rgb(0, 0, 0),       // menu text
    rgb(0, 0, 0),       // window text
    rgb(255, 255, 255), // caption text
    rgb(212, 208, 200), // active border
    rgb(212, 208, 200), // inactive border
    rgb(128, 128, 128), // application workspace
    rgb(10, 36, 106),   // highlight
    rgb(255, 255, 255), // highlight text
    rgb(212, 208, 200), // button face
    rgb(128, 128, 128), // button shadow
    rgb(128, 128, 128), // grey text
    rgb(0, 0, 0),       // button text
    rgb(212, 208, 200), // inactive caption text
    rgb(255, 255, 255), // button highlight
    rgb(64, 64, 64),    // 3D dark shadow
    rgb(212, 208, 200), // 3D light
    rgb(0, 0, 0),       // info text
    rgb(255, 255, 225), // info background
    rgb(181, 181, 181), // (unnamed index 25)
    rgb(0, 0, 128),     // hot light
    rgb(166, 202, 240), // gradient active caption
    rgb(192, 192, 192), // gradient inactive caption
    rgb(10, 36, 106),   // menu highlight
    rgb(212, 208, 200), // menu bar
};

struct NamedColor
{
    const char *Name;
    quint32 Rgb; // 0xRRGGBB as CSS writes it
};

// CSS colour names (they include the 16 of HTML 4), sorted for the search.
constexpr NamedColor kNamedColors[] = {
    {"aliceblue", 0xF0F8FF}, {"antiquewhite", 0xFAEBD7}, {"aqua", 0x00FFFF},
    {"aquamarine", 0x7FFFD4}, {"azure", 0xF0FFFF}, {"beige", 0xF5F5DC},
    {"bisque", 0xFFE4C4}, {"black", 0x000000}, {"blanchedalmond", 0xFFEBCD},
    {"blue", 0x0000FF}, {"blueviolet", 0x8A2BE2}, {"brown", 0xA52A2A},
    {"burlywood", 0xDEB887}, {"cadetblue", 0x5F9EA0}, {"chartreuse", 0x7FFF00},
    {"chocolate", 0xD2691E}, {"coral", 0xFF7F50}, {"cornflowerblue", 0x6495ED},
    {"cornsilk", 0xFFF8DC}, {"crimson", 0xDC143C}, {"cyan", 0x00FFFF},
    {"darkblue", 0x00008B}, {"darkcyan", 0x008B8B}, {"darkgoldenrod", 0xB8860B},
    {"darkgray", 0xA9A9A9}, {"darkgreen", 0x006400}, {"darkgrey", 0xA9A9A9},
    {"darkkhaki", 0xBDB76B}, {"darkmagenta", 0x8B008B}, {"darkolivegreen", 0x556B2F},
    {"darkorange", 0xFF8C00}, {"darkorchid", 0x9932CC}, {"darkred", 0x8B0000},
    {"darksalmon", 0xE9967A}, {"darkseagreen", 0x8FBC8F}, {"darkslateblue", 0x483D8B},
    {"darkslategray", 0x2F4F4F}, {"darkslategrey", 0x2F4F4F}, {"darkturquoise", 0x00CED1},
    {"darkviolet", 0x9400D3}, {"deeppink", 0xFF1493}, {"deepskyblue", 0x00BFFF},
    {"dimgray", 0x696969}, {"dimgrey", 0x696969}, {"dodgerblue", 0x1E90FF},
    {"firebrick", 0xB22222}, {"floralwhite", 0xFFFAF0}, {"forestgreen", 0x228B22},
    {"fuchsia", 0xFF00FF}, {"gainsboro", 0xDCDCDC}, {"ghostwhite", 0xF8F8FF},
    {"gold", 0xFFD700}, {"goldenrod", 0xDAA520}, {"gray", 0x808080},
    {"green", 0x008000}, {"greenyellow", 0xADFF2F}, {"grey", 0x808080},
    {"honeydew", 0xF0FFF0}, {"hotpink", 0xFF69B4}, {"indianred", 0xCD5C5C},
    {"indigo", 0x4B0082}, {"ivory", 0xFFFFF0}, {"khaki", 0xF0E68C},
    {"lavender", 0xE6E6FA}, {"lavenderblush", 0xFFF0F5}, {"lawngreen", 0x7CFC00},
    {"lemonchiffon", 0xFFFACD}, {"lightblue", 0xADD8E6}, {"lightcoral", 0xF08080},
    {"lightcyan", 0xE0FFFF}, {"lightgoldenrodyellow", 0xFAFAD2}, {"lightgray", 0xD3D3D3},
    {"lightgreen", 0x90EE90}, {"lightgrey", 0xD3D3D3}, {"lightpink", 0xFFB6C1},
    {"lightsalmon", 0xFFA07A}, {"lightseagreen", 0x20B2AA}, {"lightskyblue", 0x87CEFA},
    {"lightslategray", 0x778899}, {"lightslategrey", 0x778899}, {"lightsteelblue", 0xB0C4DE},
    {"lightyellow", 0xFFFFE0}, {"lime", 0x00FF00}, {"limegreen", 0x32CD32},
    {"linen", 0xFAF0E6}, {"magenta", 0xFF00FF}, {"maroon", 0x800000},
    {"mediumaquamarine", 0x66CDAA}, {"mediumblue", 0x0000CD}, {"mediumorchid", 0xBA55D3},
    {"mediumpurple", 0x9370DB}, {"mediumseagreen", 0x3CB371}, {"mediumslateblue", 0x7B68EE},
    {"mediumspringgreen", 0x00FA9A}, {"mediumturquoise", 0x48D1CC},
    {"mediumvioletred", 0xC71585}, {"midnightblue", 0x191970}, {"mintcream", 0xF5FFFA},
    {"mistyrose", 0xFFE4E1}, {"moccasin", 0xFFE4B5}, {"navajowhite", 0xFFDEAD},
    {"navy", 0x000080}, {"oldlace", 0xFDF5E6}, {"olive", 0x808000},
    {"olivedrab", 0x6B8E23}, {"orange", 0xFFA500}, {"orangered", 0xFF4500},
    {"orchid", 0xDA70D6}, {"palegoldenrod", 0xEEE8AA}, {"palegreen", 0x98FB98},
    {"paleturquoise", 0xAFEEEE}, {"palevioletred", 0xDB7093}, {"papayawhip", 0xFFEFD5},
    {"peachpuff", 0xFFDAB9}, {"peru", 0xCD853F}, {"pink", 0xFFC0CB},
    {"plum", 0xDDA0DD}, {"powderblue", 0xB0E0E6}, {"purple", 0x800080},
    {"rebeccapurple", 0x663399}, {"red", 0xFF0000}, {"rosybrown", 0xBC8F8F},
    {"royalblue", 0x4169E1}, {"saddlebrown", 0x8B4513}, {"salmon", 0xFA8072},
    {"sandybrown", 0xF4A460}, {"seagreen", 0x2E8B57}, {"seashell", 0xFFF5EE},
    {"sienna", 0xA0522D}, {"silver", 0xC0C0C0}, {"skyblue", 0x87CEEB},
    {"slateblue", 0x6A5ACD}, {"slategray", 0x708090}, {"slategrey", 0x708090},
    {"snow", 0xFFFAFA}, {"springgreen", 0x00FF7F}, {"steelblue", 0x4682B4},
    {"tan", 0xD2B48C}, {"teal", 0x008080}, {"thistle", 0xD8BFD8},
    {"tomato", 0xFF6347}, {"turquoise", 0x40E0D0}, {"violet", 0xEE82EE},
    {"wheat", 0xF5DEB3}, {"white", 0xFFFFFF}, {"whitesmoke", 0xF5F5F5},
    {"yellow", 0xFFFF00}, {"yellowgreen", 0x9ACD32},
};

quint32 fromCssRgb(quint32 rrggbb)
{
    return rgb(int(rrggbb >> 16 & 0xFF), int(rrggbb >> 8 & 0xFF), int(rrggbb & 0xFF));
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

bool parseHex(QStringView hex, quint32 &color)
{
    if (hex.size() != 3 && hex.size() != 6)
        return false;
    int v[6];
    for (qsizetype i = 0; i < hex.size(); ++i)
        if ((v[i] = hexValue(hex[i])) < 0)
            return false;
    if (hex.size() == 3)
        color = rgb(v[0] * 17, v[1] * 17, v[2] * 17);
    else
        color = rgb(v[0] * 16 + v[1], v[2] * 16 + v[3], v[4] * 16 + v[5]);
    return true;
}

// One rgb() component: a number (0..255) or a percentage.
bool parseComponent(QStringView s, int &out)
{
    s = s.trimmed();
    const bool percent = s.endsWith(u'%');
    if (percent)
        s.chop(1);
    bool ok = false;
    const double v = s.toDouble(&ok);
    if (!ok || s.isEmpty())
        return false;
    const double scaled = percent ? v * 255.0 / 100.0 : v;
    out = int(std::clamp(scaled, 0.0, 255.0) + 0.5);
    return true;
}

} // namespace

quint32 Win2Color(quint32 color)
{
    if (color & 0x80000000u) {
        const quint32 index = color & 0xFF;
        return index < std::size(kSystemColors) ? kSystemColors[index] : 0;
    }
    return color;
}

QString htmlColortoStr(quint32 color)
{
    const quint32 r = color & 0xFF, g = color >> 8 & 0xFF, b = color >> 16 & 0xFF;
    return QStringLiteral("#%1").arg(r << 16 | g << 8 | b, 6, 16, QChar(u'0')).toUpper();
}

bool HtmlStrToColor(QStringView text, quint32 &color)
{
    text = text.trimmed();
    if (text.startsWith(u'#'))
        return parseHex(text.sliced(1), color);
    if (text.size() > 4 && text.first(4).compare(u"rgb(", Qt::CaseInsensitive) == 0
        && text.endsWith(u')')) {
        const QStringView args = text.sliced(4, text.size() - 5);
        int c[3];
        int n = 0;
        for (QStringView part : args.tokenize(u',')) {
            if (n == 3 || !parseComponent(part, c[n]))
                return false;
            ++n;
        }
        if (n != 3)
            return false;
        color = rgb(c[0], c[1], c[2]);
        return true;
    }
    if (text.isEmpty() || text.size() > 24)
        return false;
    char name[25];
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u >= 0x80)
            return false;
        name[i] = char(u >= 'A' && u <= 'Z' ? u + 32 : u);
    }
    name[text.size()] = 0;
    const NamedColor *end = std::end(kNamedColors);
    const NamedColor *it = std::lower_bound(std::begin(kNamedColors), end, name,
                                            [](const NamedColor &c, const char *key) {
                                                return std::strcmp(c.Name, key) < 0;
                                            });
    if (it == end || std::strcmp(it->Name, name) != 0)
        return false;
    color = fromCssRgb(it->Rgb);
    return true;
}

} // namespace zor
