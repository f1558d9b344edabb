// Mustache templates: the semantics templates rely on, the standalone-line
// rule, template functions under concurrent renders, and errors with their
// position.
#include "TestUtil.h"

#include <ZorCompCore/html/HtTemplate.h>

#include <QThread>

#include <atomic>

using namespace zor;

namespace {

QString render(const QString &text, const QByteArray &json)
{
    auto data = THtXMLNode::FromJson(json);
    THtTemplate t;
    return t.Render(text, data.get());
}

TEST(HtTemplate, VariablesSectionsAndFalsyValues)
{
    struct Row
    {
        const char16_t *tmpl;
        const char *json;
        const char16_t *out;
    } rows[] = {
        {u"Hi {{name}}!", R"({"name": "<A & 'B'> \"C\""})",
         u"Hi &lt;A &amp; &#39;B&#39;&gt; &quot;C&quot;!"},
        {u"{{{name}}}|{{& name}}", R"({"name": "<b>"})", u"<b>|<b>"},
        {u"[{{missing}}]", "{}", u"[]"},
        {u"{{a.b.c}}/{{a.x}}/{{A.B.C}}", R"({"a": {"b": {"c": 7}}})", u"7//7"},
        {u"{{n}} {{d}} {{t}} {{z}}", R"({"n": 9007199254740993, "d": 0.5, "t": true, "z": null})",
         u"9007199254740993 0.5 True "},
        {u"{{#rows}}<{{name}}>{{/rows}}", R"({"rows": [{"name": 1}, {"name": 2}]})", u"<1><2>"},
        {u"{{#tags}}{{.}},{{/tags}}", R"({"tags": ["a", 2, true]})", u"a,2,True,"},
        {u"{{#c}}{{city}}{{/c}}", R"({"c": {"city": "Bonn"}})", u"Bonn"},
        {u"{{#v}}[{{.}}]{{/v}}", R"({"v": "x"})", u"[x]"},
        // Names resolve outwards through the context stack.
        {u"{{#rows}}{{name}}-{{title}};{{/rows}}", R"({"title": "T", "rows": [{"name": 1}, {"name": 2, "title": "U"}]})",
         u"1-T;2-U;"},
        // Falsy: missing, null, false, 0, "", empty list.
        {u"{{#a}}A{{/a}}{{#b}}B{{/b}}{{#c}}C{{/c}}{{#d}}D{{/d}}{{#e}}E{{/e}}{{#f}}F{{/f}}",
         R"({"b": null, "c": false, "d": 0, "e": "", "f": []})", u""},
        {u"{{^a}}A{{/a}}{{^b}}B{{/b}}{{^c}}C{{/c}}{{^d}}D{{/d}}{{^e}}E{{/e}}{{^f}}F{{/f}}{{^g}}G{{/g}}",
         R"({"b": null, "c": false, "d": 0, "e": "", "f": [], "g": [1]})", u"ABCDEF"},
        {u"{{! a comment }}x{{!x}}", "{}", u"x"},
    };
    for (const Row &r : rows) {
        const QString tmpl = QString::fromUtf16(r.tmpl);
        EXPECT_EQ(render(tmpl, r.json), QString::fromUtf16(r.out)) << tmpl.toStdString();
    }
}

TEST(HtTemplate, StandaloneTagsTakeTheirLine)
{
    const QString tmpl = u"<table>\n"
                         "  {{#rows}}\r\n"
                         "  <tr><td>{{.}}</td></tr>\n"
                         "  {{/rows}}\n"
                         "  {{! comment }}\n"
                         "</table> {{#rows}}inline{{/rows}}\n"
                         "{{^rows}}\n"
                         "{{/rows}}"_qs;
    EXPECT_EQ(render(tmpl, R"({"rows": [1, 2]})"),
              u"<table>\n  <tr><td>1</td></tr>\n  <tr><td>2</td></tr>\n</table> inlineinline\n");
}

TEST(HtTemplate, VariablesCallbacksAndDataPackets)
{
    THtTemplate t;
    t.SetVariable(u"Company"_qs, Variant(u"ACME"_qs));
    QStringList asked;
    t.OnGetTemplateVar = [&asked](const QString &name, Variant &value) {
        asked << name;
        if (name != u"dyn.value")
            return false;
        value = Variant(42);
        return true;
    };
    QStringList sections;
    t.OnSection = [&sections](const QString &name, int index, THtXMLNode *) {
        sections << QStringLiteral("%1:%2").arg(name).arg(index);
    };
    auto packet = THtXMLNode::FromXml("<DATAPACKET><ROWDATA><ROW n=\"a\"/><ROW n=\"b\"/></ROWDATA></DATAPACKET>");
    auto data = std::make_unique<THtXMLNode>(u"root"_qs);
    data->SetAttribute(u"company"_qs, Variant(u"own"_qs));
    THtXMLNode *p = data->AddChild(std::move(packet));
    p->SetName(u"data"_qs);
    // "data" is no DATAPACKET by name any more: mark it a list of its rows instead.
    EXPECT_EQ(t.Render(u"{{company}} {{COMPANY}} {{dyn.value}} {{nothing}}"_qs, nullptr), u"ACME ACME 42 ");
    EXPECT_EQ(asked, QStringList({u"dyn.value"_qs, u"nothing"_qs}));
    EXPECT_EQ(t.Render(u"{{company}}"_qs, data.get()), u"own"); // context before variables

    auto root = THtXMLNode::FromJson(R"({"x": 1})");
    root->AddChild(THtXMLNode::FromXml("<DATAPACKET><ROWDATA><ROW n=\"a\"/><ROW n=\"b\"/></ROWDATA></DATAPACKET>"));
    EXPECT_EQ(t.Render(u"{{#DATAPACKET}}{{n}}{{/DATAPACKET}}"_qs, root.get()), u"ab");
    EXPECT_EQ(sections, QStringList({u"DATAPACKET:0"_qs, u"DATAPACKET:1"_qs}));
}

// A list that makes its rows when asked, as a data set would.
class CountingList : public THtXMLNode
{
public:
    explicit CountingList(int count) : THtXMLNode(u"items"_qs), m_count(count) { SetIsList(true); }
    int ItemCount() const override { return m_count; }
    THtXMLNode *Item(int index) const override
    {
        m_row = std::make_unique<THtXMLNode>(u"row"_qs);
        m_row->SetAttribute(u"i"_qs, Variant(index));
        return m_row.get();
    }
    void SectionEnd() override { ++Ended; }
    int Ended = 0;

private:
    int m_count;
    mutable std::unique_ptr<THtXMLNode> m_row;
};

TEST(HtTemplate, LazyListsAndTemplateFunctions)
{
    THtXMLNode root(u"root"_qs);
    auto *list = static_cast<CountingList *>(root.AddChild(std::make_unique<CountingList>(3)));
    THtTemplate t;
    EXPECT_EQ(t.Render(u"{{#items}}{{i}}{{/items}}|{{#items}}{{/items}}"_qs, &root), u"012|");
    EXPECT_EQ(list->Ended, 2);

    RegisterHtTemplateFunction(u"Upper"_qs, [](THtTemplate &, const QString &content) {
        return content.toUpper();
    });
    EXPECT_EQ(t.Render(u"{{#upper}}a{{#items}}<{{i}}>{{/items}}{{/upper}}b"_qs, &root), u"A<0><1><2>b");
    // Concurrent renders while the registry changes.
    std::atomic<int> bad{0};
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back(QThread::create([&bad, i] {
            THtTemplate tt;
            tt.Compile(u"{{#upper}}x{{/upper}}"_qs);
            for (int k = 0; k < 300; ++k) {
                if (i == 0)
                    RegisterHtTemplateFunction(QStringLiteral("f%1").arg(k), [](THtTemplate &, const QString &c) { return c; });
                else if (tt.Render(nullptr) != u"X")
                    ++bad;
            }
        }));
        threads.back()->start();
    }
    for (auto &th : threads)
        th->wait();
    EXPECT_EQ(bad.load(), 0);
    RegisterHtTemplateFunction(u"upper"_qs, {});
    EXPECT_EQ(t.Render(u"{{#upper}}a{{/upper}}"_qs, &root), u"");
}

TEST(HtTemplate, ErrorsNameLineAndColumn)
{
    struct Row
    {
        const char16_t *tmpl, *message;
    } rows[] = {
        {u"a\n  {{#rows}}x", u"Unclosed section \"rows\" at 2:3"},
        {u"{{#a}}{{/b}}", u"Section \"a\" ended by \"b\" at 1:7"},
        {u"x{{/a}}", u"Section end \"a\" without its start at 1:2"},
        {u"\n\n {{> partial}}", u"Unsupported tag \"{{> partial}}\" at 3:2"},
        {u"{{=<% %>=}}", u"Unsupported tag \"{{=<% %>=}}\" at 1:1"},
        {u"ab {{name", u"Unclosed tag at 1:4"},
        {u"{{ }}", u"Empty tag at 1:1"},
    };
    for (const Row &r : rows) {
        THtTemplate t;
        try {
            t.Compile(QString::fromUtf16(r.tmpl));
            ADD_FAILURE() << "no error for " << QString::fromUtf16(r.tmpl).toStdString();
        } catch (const EHtTemplateError &e) {
            EXPECT_EQ(e.Message(), QString::fromUtf16(r.message));
        }
    }
}

TEST(HtTemplate, DeeplyNestedSectionsRenderWithoutRecursion)
{
    THtTemplate t;
    const int depth = 50000;
    auto data = THtXMLNode::FromJson(R"({"a": true})");
    EXPECT_EQ(t.Render(u"{{#a}}"_qs.repeated(depth) + u"x"_qs + u"{{/a}}"_qs.repeated(depth), data.get()), u"x");
}

// Sections nested over a three-item list triple their content per level:
// forty characters of template ask for 3^20 copies. The limit must stop the
// render early with the position of the step that passed it, and must not
// cut off an output that fits exactly.
TEST(HtTemplate, OutputLimitStopsMultiplyingSections)
{
    auto data = THtXMLNode::FromJson(R"({"t": [1, 2, 3]})");
    const auto nested = [](int depth) {
        return u"{{#t}}"_qs.repeated(depth) + u"ab"_qs + u"{{/t}}"_qs.repeated(depth);
    };
    THtTemplate t;
    EXPECT_EQ(t.MaxOutputSize(), qsizetype(256) << 20);
    t.SetMaxOutputSize(162);
    EXPECT_EQ(t.Render(nested(4), data.get()).size(), 162); // 3^4 * 2: exactly the limit
    t.SetMaxOutputSize(1000);
    try {
        t.Render(nested(20), data.get());
        ADD_FAILURE() << "no error";
    } catch (const EHtTemplateError &e) {
        EXPECT_TRUE(e.Message().startsWith(u"Template output exceeds 1000 characters at 1:"))
            << e.Message().toStdString();
    }
}

TEST(HtTemplate, NodeVariables)
{
    auto root = THtXMLNode::FromJson(R"({"title": "T", "rows": [{"n": 1}, {"n": 2}]})");
    auto other = THtXMLNode::FromJson(R"({"city": "Bonn", "list": [{"n": 3}]})");
    THtTemplate t;
    t.SetVariable(u"."_qs, root.get());
    t.SetVariable(u"Other"_qs, other.get());
    // "." is the root context when none is given; a node variable reads
    // through dotted names and iterates as a section.
    EXPECT_EQ(t.Render(u"{{title}}:{{#rows}}{{n}}{{/rows}}:{{other.city}}:{{#OTHER.list}}{{n}}{{/OTHER.list}}"_qs,
                       nullptr),
              u"T:12:Bonn:3");
    // A scalar of the same name replaces the node, and the other way round.
    t.SetVariable(u"other"_qs, Variant(u"plain"_qs));
    EXPECT_EQ(t.Render(u"{{other}}|{{other.city}}"_qs, nullptr), u"plain|");
    t.SetVariable(u"other"_qs, other.get());
    EXPECT_EQ(t.Render(u"{{other.city}}"_qs, nullptr), u"Bonn");
    t.ClearVariables();
    EXPECT_EQ(t.Render(u"{{title}}{{other.city}}"_qs, nullptr), u"");
}

} // namespace
