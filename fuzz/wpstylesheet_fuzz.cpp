// Feeds arbitrary text to the style sheet import of the editor's style
// dialog. Whatever the text: reading ends; every style has a name a style
// text can hold and a text the style readers take; and the styles written
// back as CSS read back the same.
#include <ZorCompCore/richtext/dialogs/WPStyleSheet.h>
#include <ZorCompCore/richtext/engine/Document.h>

#include "FuzzText.h"

#include <QTextBlockFormat>

#include <cstddef>
#include <cstdint>

using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString in = fuzz::textOf(data, size);
    const std::vector<zor::TWPStyle> styles = zor::WPStylesFromCSS(in);
    for (const zor::TWPStyle &s : styles) {
        check(!s.Name.isEmpty() && !s.Name.contains(u';') && !s.Name.contains(u'='));
        (void)zor::StyleTextToCharFormat(s.Text);
        (void)zor::StyleTextToBlockFormat(s.Text);
    }
    const QString css = zor::WPStylesToCSS(styles);
    check(zor::WPStylesFromCSS(css) == styles);
    return 0;
}
