// Feeds arbitrary text to the HTML parser. Whatever it is, serialising the
// tree must give it back exactly; inner text must not fail; and editing the
// attributes of every element, then undoing the edit, must give the input
// back again (each edit touches only its own tag).
#include <ZorCompCore/html/HtmlNode.h>

#include "FuzzText.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString in = fuzz::textOf(data, size);

    zor::THtmlNode doc;
    doc.Parse(in);
    check(doc.OuterHTML() == in);
    (void)doc.InnerText();

    std::vector<zor::THtmlNode *> elements;
    std::vector<zor::THtmlNode *> stack{&doc};
    while (!stack.empty()) {
        zor::THtmlNode *n = stack.back();
        stack.pop_back();
        if (n->IsElement())
            elements.push_back(n);
        for (int i = 0; i < n->ChildCount(); ++i)
            stack.push_back(n->Child(i));
    }
    const QString name = QStringLiteral("data-zfuzz");
    const QString value = QStringLiteral("{{a \"b\"}} & \"c\"");
    for (zor::THtmlNode *el : elements) {
        if (el->HasAttribute(name))
            continue;
        el->SetAttribute(name, value);
        check(el->GetAttribute(name) == value);
    }
    for (zor::THtmlNode *el : elements)
        if (el->GetAttribute(name) == value)
            check(el->RemoveAttribute(name));
    // Adding and removing again leaves every tag as it was.
    check(doc.OuterHTML() == in);

    for (zor::THtmlNode *el : elements) {
        if (el->AttributeCount() > 0) {
            // Re-setting an attribute to its own value changes how it is
            // written, never what it means.
            const auto first = el->Attribute(0);
            el->SetAttribute(first.Name, first.Value);
            check(el->GetAttribute(first.Name) == first.Value);
        }
    }
    // Deleting from the deepest elements up never touches a freed node.
    for (auto it = elements.rbegin(); it != elements.rend(); ++it)
        if ((*it)->ChildCount() > 0 && (elements.size() & 1))
            (*it)->DeleteChild(0);
    (void)doc.OuterHTML();
    (void)doc.InnerText();
    return 0;
}
