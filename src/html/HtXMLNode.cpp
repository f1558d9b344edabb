#include "HtXMLNode.h"

#include "AsciiCase_p.h"

#include <QXmlStreamReader>

#include <nlohmann/json.hpp>

namespace zor {
namespace {

constexpr int kMaxDepth = 10000;

// Builds nodes straight from the parser's events: no JSON document in
// between, and no recursion however deep the data nest.
class JsonBuilder : public nlohmann::json_sax<nlohmann::json>
{
public:
    explicit JsonBuilder(THtXMLNode *root) : m_root(root) {}

    bool null() override { return scalar(Variant::Null()); }
    bool boolean(bool v) override { return scalar(Variant(v)); }
    bool number_integer(number_integer_t v) override { return scalar(Variant(qint64(v))); }
    bool number_unsigned(number_unsigned_t v) override
    {
        return scalar(v <= quint64(std::numeric_limits<qint64>::max()) ? Variant(qint64(v))
                                                                      : Variant::FromUInt64(v));
    }
    bool number_float(number_float_t v, const string_t &) override { return scalar(Variant(v)); }
    bool string(string_t &v) override { return scalar(Variant(QString::fromStdString(v))); }
    bool binary(binary_t &) override { return false; }
    bool start_object(std::size_t) override { return open(false); }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(true); }
    bool end_array() override { return close(); }
    bool key(string_t &k) override
    {
        m_key = QString::fromStdString(k);
        return true;
    }
    bool parse_error(std::size_t position, const std::string &, const nlohmann::detail::exception &e) override
    {
        m_error = QStringLiteral("Invalid JSON at byte %1: %2").arg(position).arg(QString::fromUtf8(e.what()));
        return false;
    }

    QString m_error;

private:
    THtXMLNode *m_root;
    std::vector<THtXMLNode *> m_stack;
    QString m_key;

    // The name a new value gets: its key in an object, its parent's name in a list.
    QString name() const
    {
        if (m_stack.empty())
            return m_root->Name();
        return m_stack.back()->IsList() ? m_stack.back()->Name() : m_key;
    }
    bool scalar(const Variant &v)
    {
        if (m_stack.empty()) {
            m_root->SetValue(v);
            m_stack.push_back(nullptr); // nothing may follow a top-level value
            return true;
        }
        THtXMLNode *top = m_stack.back();
        if (!top)
            return false;
        if (top->IsList())
            top->AddChild(name())->SetValue(v);
        else
            top->SetAttribute(m_key, v);
        return true;
    }
    bool open(bool list)
    {
        if (m_stack.size() >= size_t(kMaxDepth)) {
            m_error = QStringLiteral("JSON nested deeper than %1 levels").arg(kMaxDepth);
            return false;
        }
        THtXMLNode *node = m_stack.empty() ? m_root : m_stack.back()->AddChild(name());
        node->SetIsList(list);
        m_stack.push_back(node);
        return true;
    }
    bool close()
    {
        m_stack.pop_back();
        if (m_stack.empty())
            m_stack.push_back(nullptr);
        return true;
    }
};

} // namespace

THtXMLNode::THtXMLNode(const QString &name) : m_name(name) {}

THtXMLNode::~THtXMLNode()
{
    // Flatten first: deep trees are freed without recursion.
    std::vector<std::unique_ptr<THtXMLNode>> pending = std::move(m_children);
    while (!pending.empty()) {
        std::unique_ptr<THtXMLNode> n = std::move(pending.back());
        pending.pop_back();
        for (auto &c : n->m_children)
            pending.push_back(std::move(c));
        n->m_children.clear();
    }
}

bool THtXMLNode::HasAttribute(QStringView name) const
{
    for (const auto &a : m_attrs)
        if (html_p::equalsIgnoringAsciiCase(a.first, name))
            return true;
    return false;
}

Variant THtXMLNode::Attribute(QStringView name) const
{
    const Variant *v = FindAttribute(name);
    return v ? *v : Variant();
}

const Variant *THtXMLNode::FindAttribute(QStringView name) const
{
    for (const auto &a : m_attrs)
        if (html_p::equalsIgnoringAsciiCase(a.first, name))
            return &a.second;
    return nullptr;
}

void THtXMLNode::SetAttribute(const QString &name, const Variant &value)
{
    for (auto &a : m_attrs) {
        if (html_p::equalsIgnoringAsciiCase(a.first, name)) {
            a.second = value;
            return;
        }
    }
    m_attrs.emplace_back(name, value);
}

THtXMLNode *THtXMLNode::FindChild(QStringView name) const
{
    for (const auto &c : m_children)
        if (html_p::equalsIgnoringAsciiCase(c->m_name, name))
            return c.get();
    return nullptr;
}

THtXMLNode *THtXMLNode::AddChild(std::unique_ptr<THtXMLNode> child)
{
    if (!child)
        return nullptr;
    child->m_parent = this;
    m_children.push_back(std::move(child));
    return m_children.back().get();
}

THtXMLNode *THtXMLNode::AddChild(const QString &name)
{
    return AddChild(std::make_unique<THtXMLNode>(name));
}

int THtXMLNode::ItemCount() const
{
    if (html_p::equalsIgnoringAsciiCase(m_name, u"DATAPACKET")) {
        const THtXMLNode *rows = FindChild(u"ROWDATA");
        return rows ? rows->ChildCount() : 0;
    }
    return ChildCount();
}

THtXMLNode *THtXMLNode::Item(int index) const
{
    const THtXMLNode *owner = html_p::equalsIgnoringAsciiCase(m_name, u"DATAPACKET") ? FindChild(u"ROWDATA") : this;
    if (!owner || index < 0 || index >= owner->ChildCount())
        return nullptr;
    return owner->Child(index);
}

std::unique_ptr<THtXMLNode> THtXMLNode::FromJson(const QByteArray &json, const QString &rootName)
{
    auto root = std::make_unique<THtXMLNode>(rootName);
    JsonBuilder builder(root.get());
    const bool ok = nlohmann::json::sax_parse(json.begin(), json.end(), &builder);
    if (!ok)
        throw EHtDataError(builder.m_error.isEmpty() ? QStringLiteral("Invalid JSON") : builder.m_error);
    return root;
}

std::unique_ptr<THtXMLNode> THtXMLNode::FromXml(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    std::unique_ptr<THtXMLNode> root;
    std::vector<THtXMLNode *> stack;
    QString text;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            if (stack.size() >= size_t(kMaxDepth))
                throw EHtDataError(QStringLiteral("XML nested deeper than %1 levels").arg(kMaxDepth));
            THtXMLNode *node;
            if (stack.empty()) {
                root = std::make_unique<THtXMLNode>(reader.name().toString());
                node = root.get();
            } else {
                node = stack.back()->AddChild(reader.name().toString());
            }
            for (const QXmlStreamAttribute &a : reader.attributes())
                node->SetAttribute(a.qualifiedName().toString(), Variant(a.value().toString()));
            stack.push_back(node);
            text.clear();
            break;
        }
        case QXmlStreamReader::Characters:
            text += reader.text();
            break;
        case QXmlStreamReader::EndElement:
            if (stack.back()->ChildCount() == 0 && !text.isEmpty())
                stack.back()->SetValue(Variant(text));
            text.clear();
            stack.pop_back();
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
        throw EHtDataError(QStringLiteral("Invalid XML at line %1, column %2: %3")
                               .arg(reader.lineNumber())
                               .arg(reader.columnNumber())
                               .arg(reader.errorString()));
    if (!root)
        throw EHtDataError(QStringLiteral("Invalid XML: no element"));
    return root;
}

} // namespace zor
