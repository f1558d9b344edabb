// Feeds arbitrary text to the HTML parser. Whatever it is, serialising the
// tree must give it back exactly; inner text must not fail; and editing the
// attributes of every element, then undoing the edit, must give the input
// back again (each edit touches only its own tag).
#include <ZorCompCore/html/HtmlNode.h>

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Both byte halves matter: take the input as UTF-16 code units when it
    // starts with 0x01, else as UTF-8 (lone surrogates arrive either way).
    QString in;
    if (size > 0 && data[0] == 0x01)
        in = QString(reinterpret_cast<const QChar *>(data + 1), qsizetype((size - 1) / 2));
    else
        in = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

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
