// Feeds arbitrary text to the style sheet reader and to inline style editing.
// Whatever the text: reading must end; every class the dictionary names must
// be found again; a declaration set on an element must read back as set,
// whatever the style held before (open strings, comments, escapes, blocks);
// and removing it must leave none.
#include <ZorCompCore/html/HtCSS.h>
#include <ZorCompCore/html/HtDocument.h>

#include "FuzzText.h"

#include <QString>

#include <cstddef>
#include <cstdint>

using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString in = fuzz::textOf(data, size);

    zor::TCSSStyleSheet sheet;
    sheet.Parse(in);
    for (const QString &cls : sheet.ClassNames()) {
        const zor::TCSSSection *s = sheet.FindClass(cls);
        check(s != nullptr && sheet.ClassSections(cls).first() == s);
    }
    for (int i = 0; i < sheet.SectionCount(); ++i)
        for (const zor::TCSSProperty &p : sheet.Section(i).Properties) {
            check(sheet.Section(i).Property(p.Name) != nullptr);
            for (const zor::TCSSValue &v : p.Values) {
                quint32 c;
                (void)v.ToColor(c);
            }
        }
    (void)zor::ParseCSSDeclarations(in);

    // The same text as an element's style.
    zor::THtDocument doc;
    doc.Parse(QStringLiteral("<p>x</p>"));
    zor::THtmlNode *p = doc.FindFirst(u"p");
    p->SetAttribute(QStringLiteral("style"), in);
    zor::THtDocument::SetInlineStyle(p, QStringLiteral("color"), QStringLiteral("red"));
    check(zor::THtDocument::GetInlineStyle(p, u"color") == u"red");
    zor::THtDocument::SetInlineStyle(p, QStringLiteral("color"), QStringLiteral("#abc"));
    check(zor::THtDocument::GetInlineStyle(p, u"color") == u"#abc");
    quint32 color = 0;
    check(zor::THtDocument::GetInlineStyleColor(p, u"color", color) && color == 0xCCBBAA);
    check(zor::THtDocument::RemoveInlineStyle(p, u"color"));
    check(zor::THtDocument::GetInlineStyle(p, u"color").isEmpty());
    check(!zor::THtDocument::RemoveInlineStyle(p, u"color"));

    // Style elements holding the text, shared or not.
    zor::THtDocument styled;
    styled.SetSharedStyles(size % 2 == 0);
    styled.Parse(QStringLiteral("<style>") + in + QStringLiteral("</style>"));
    (void)styled.StyleSheet().SectionCount();
    return 0;
}
