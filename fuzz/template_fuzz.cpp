// Compiles and renders arbitrary template text over a fixed data tree. Only
// EHtTemplateError may escape; anything else is a finding.
#include <ZorCompCore/html/HtTemplate.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::unique_ptr<zor::THtXMLNode> context = zor::THtXMLNode::FromJson(
        R"({"name": "<n>", "t": true, "f": false, "z": 0, "s": "",
            "rows": [{"name": 1, "odd": true}, {"name": 2, "rows": []}],
            "tags": ["a", 2, null], "c": {"d": {"e": "deep"}}})");
    static const bool registered = [] {
        zor::RegisterHtTemplateFunction(QStringLiteral("upper"),
                                        [](zor::THtTemplate &, const QString &c) { return c.toUpper(); });
        return true;
    }();
    (void)registered;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    zor::THtTemplate t;
    t.SetVariable(QStringLiteral("v"), zor::Variant(1));
    // Nested sections multiply their content; a small limit keeps every
    // input fast and exercises the limit itself.
    t.SetMaxOutputSize(1 << 20);
    try {
        t.Compile(text);
        (void)t.Render(context.get());
    } catch (const zor::EHtTemplateError &) {
    }
    return 0;
}
