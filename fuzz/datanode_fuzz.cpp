// Feeds arbitrary bytes to the template data readers (JSON and XML). Each
// must either build a tree or raise EHtDataError; whatever it builds must be
// walkable to the end.
#include <ZorCompCore/html/HtXMLNode.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

void walk(const zor::THtXMLNode &root)
{
    std::vector<const zor::THtXMLNode *> stack{&root};
    while (!stack.empty()) {
        const zor::THtXMLNode *n = stack.back();
        stack.pop_back();
        for (int i = 0; i < n->AttributeCount(); ++i)
            (void)zor::VarToStr(n->AttributeValue(i));
        for (int i = 0; i < n->ItemCount(); ++i)
            (void)n->Item(i);
        for (int i = 0; i < n->ChildCount(); ++i)
            stack.push_back(n->Child(i));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        walk(*zor::THtXMLNode::FromJson(bytes));
    } catch (const zor::EHtDataError &) {
    }
    try {
        walk(*zor::THtXMLNode::FromXml(bytes));
    } catch (const zor::EHtDataError &) {
    }
    return 0;
}
