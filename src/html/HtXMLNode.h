#pragma once

// Template data: a tree of named nodes with ordered attributes (name to
// variant), children and, for scalars in lists, a value of their own. Read
// from JSON (integers, floats, Booleans and null kept apart) or XML. Lookups
// by name ignore ASCII case.
//
// A node marked as a list is iterated by sections; a DATAPACKET (the XML
// form of a data set) iterates as the rows of its ROWDATA. Subclasses can
// serve a list lazily: ItemCount/Item are asked for the rows a section
// renders, and SectionEnd tells when it is done.

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Variant.h>

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <memory>
#include <vector>

namespace zor {

/// Bad JSON or XML data for a node tree.
ZOR_DECLARE_EXCEPTION(EHtDataError, Exception)

class ZOR_EXPORT THtXMLNode
{
public:
    explicit THtXMLNode(const QString &name = QString());
    virtual ~THtXMLNode();

    THtXMLNode(const THtXMLNode &) = delete;
    THtXMLNode &operator=(const THtXMLNode &) = delete;

    const QString &Name() const { return m_name; }
    void SetName(const QString &name) { m_name = name; }
    THtXMLNode *Parent() const { return m_parent; }

    /// The node's own value: a scalar list item, or an XML element's text.
    const Variant &Value() const { return m_value; }
    void SetValue(const Variant &value) { m_value = value; }

    /// True when sections iterate this node's items.
    bool IsList() const { return m_isList; }
    void SetIsList(bool isList) { m_isList = isList; }

    // Attributes, in the order they were set; setting an existing name
    // replaces its value in place.
    int AttributeCount() const { return int(m_attrs.size()); }
    const QString &AttributeName(int index) const { return m_attrs[size_t(index)].first; }
    const Variant &AttributeValue(int index) const { return m_attrs[size_t(index)].second; }
    bool HasAttribute(QStringView name) const;
    /// The value of \a name; an empty variant when there is none.
    Variant Attribute(QStringView name) const;
    /// The value of \a name where it is kept; null when there is none.
    const Variant *FindAttribute(QStringView name) const;
    void SetAttribute(const QString &name, const Variant &value);

    int ChildCount() const { return int(m_children.size()); }
    THtXMLNode *Child(int index) const { return m_children[size_t(index)].get(); }
    /// The first child named \a name.
    THtXMLNode *FindChild(QStringView name) const;
    THtXMLNode *AddChild(std::unique_ptr<THtXMLNode> child);
    THtXMLNode *AddChild(const QString &name);

    /// What a section over this node iterates: the ROWDATA rows of a
    /// DATAPACKET, else the children. Lazy lists override these.
    virtual int ItemCount() const;
    virtual THtXMLNode *Item(int index) const;
    /// Called when a section over this node has rendered its last item.
    virtual void SectionEnd() {}

    /// A tree from JSON: objects become nodes (scalar members attributes,
    /// object and array members children named by their key), arrays become
    /// list nodes whose scalar items are nodes with a Value. Raises
    /// EHtDataError for invalid JSON or nesting deeper than 10,000 levels.
    static std::unique_ptr<THtXMLNode> FromJson(const QByteArray &json, const QString &rootName = QStringLiteral("root"));
    /// A tree from XML: elements become nodes (their attributes as strings,
    /// their text as Value). Raises EHtDataError for malformed XML.
    static std::unique_ptr<THtXMLNode> FromXml(const QByteArray &xml);

private:
    QString m_name;
    Variant m_value;
    bool m_isList = false;
    THtXMLNode *m_parent = nullptr;
    std::vector<std::pair<QString, Variant>> m_attrs;
    std::vector<std::unique_ptr<THtXMLNode>> m_children;
};

} // namespace zor
