#pragma once

// The HTML node tree. Parsing is lossless: every node keeps the exact text it
// came from (spans into a shared, implicitly shared source string), so that
// serialising an unchanged tree gives the input back code unit for code unit,
// whatever the input. Only what is changed through the API is written anew,
// and then as little as possible (an added attribute goes before the tag's
// ">", a changed value replaces just that value).
//
// We parse ourselves because templates must survive: Mustache tags between
// table rows stay where they are (no foster parenting), nothing is implied
// (no html/head/body/tbody added), and "{{...}}" inside a tag is one token in
// which '"' and '>' end nothing. Optional end tags (p, li, dt/dd, tr, td/th,
// thead/tbody/tfoot, option/optgroup) close as browsers close them; an end
// tag without an open element stays in the tree as a node of its own.
// Every walk over the tree is iterative: nesting depth costs no stack.
//
// The nodes of one parse live in one block of memory together with the
// source they point into; the block goes when the last of them does. Nodes
// still move freely between trees and are owned through std::unique_ptr as
// any other (THtmlNode brings its own operator new and delete for that).

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <cstddef>
#include <memory>
#include <type_traits>
#include <vector>

namespace zor {

enum class THtmlNodeKind {
    Document,  ///< a root: holds what was parsed, serialises as its children
    Element,
    Text,
    Comment,   ///< <!-- ... -->
    Doctype,   ///< <!DOCTYPE ...>
    CData,     ///< <![CDATA[ ... ]]>
    Bogus,     ///< <?...>, <!...>, </ ...>: markup that is none of the above
    EndTag,    ///< an end tag that closed nothing
};

class ZOR_EXPORT THtmlNode
{
public:
    struct TAttribute
    {
        QString Name;  ///< as written
        QString Value; ///< character references decoded
    };

    /// An empty document node.
    THtmlNode();
    /// A new element (kind Element, \a tagName lower-cased) or, with another
    /// kind, a node whose text is \a text as written.
    explicit THtmlNode(const QString &tagName);
    static std::unique_ptr<THtmlNode> CreateText(const QString &text);
    static std::unique_ptr<THtmlNode> CreateRaw(THtmlNodeKind kind, const QString &markup);
    virtual ~THtmlNode();

    THtmlNode(const THtmlNode &) = delete;
    THtmlNode &operator=(const THtmlNode &) = delete;

    // Every node knows whether it came from a parse's block or the heap.
    static void *operator new(std::size_t size);
    static void operator delete(void *p) noexcept;
    // Construction in place (Qt's meta-types make document objects so): such
    // a node, like one on the stack, is destroyed but never deleted.
    static void *operator new(std::size_t, void *where) noexcept { return where; }
    static void operator delete(void *, void *) noexcept {}

    /// Replaces this node's children by the parse of \a html; this node
    /// keeps its own tag.
    virtual void Parse(const QString &html);
    /// Parses bytes: decoded by their byte order mark, else by the charset a
    /// meta tag in the first 1,024 bytes names, else by the ANSI code page.
    void ParseBytes(const QByteArray &bytes);

    THtmlNodeKind Kind() const { return m_kind; }
    bool IsElement() const { return m_kind == THtmlNodeKind::Element; }
    /// Lower-cased tag name of an element or stray end tag; empty otherwise.
    const QString &TagName() const;
    THtmlNode *Parent() const { return m_parent; }

    /// The node as HTML: exactly its source unless changed.
    QString OuterHTML() const;
    QString InnerHTML() const;
    /// Replaces the children by the parse of \a html (raw-text elements such
    /// as script take it as their text).
    void SetInnerHTML(const QString &html);

    /// Text with references decoded: of a text node itself, of other nodes
    /// what they render: blocks and <br> break lines, white space collapses,
    /// script, style and comments are left out.
    QString InnerText() const;
    /// A text node's decoded text; the markup of comments and the like.
    QString Text() const;
    /// Sets a text node's text (escaped as needed).
    void SetText(const QString &text);

    // Attributes, in source order. Names compare ignoring ASCII case.
    int AttributeCount() const;
    TAttribute Attribute(int index) const;
    bool HasAttribute(QStringView name) const;
    QString GetAttribute(QStringView name, const QString &defaultValue = QString()) const;
    void SetAttribute(const QString &name, const QString &value);
    bool RemoveAttribute(QStringView name);

    // Children.
    int ChildCount() const { return int(m_children.size()); }
    THtmlNode *Child(int index) const { return m_children[size_t(index)].get(); }
    int IndexOf(const THtmlNode *child) const;
    /// Inserts \a node at \a index (clamped); returns it.
    THtmlNode *InsertChild(int index, std::unique_ptr<THtmlNode> node);
    THtmlNode *AppendChild(std::unique_ptr<THtmlNode> node);
    /// Detaches the child at \a index and hands it over.
    std::unique_ptr<THtmlNode> TakeChild(int index);
    void DeleteChild(int index);
    void ClearChildren();
    /// Moves this node under \a newParent at \a index; refused (false) when
    /// \a newParent lies inside this node.
    bool MoveTo(THtmlNode *newParent, int index);

    /// The first element below this node named \a tag (lower case).
    THtmlNode *FindFirst(QStringView tag) const;

private:
    friend class THtmlTreeBuilder;
    friend class THtmlWriter;
    struct TBlock;
    struct TExtra;
    // Child lists of a parse's nodes come from its block while it is being
    // built; every other list from the heap.
    static void *AllocateChildren(TBlock *block, std::size_t bytes);
    static void FreeChildren(void *p) noexcept;
    template<class T>
    struct TChildAllocator
    {
        using value_type = T;
        using propagate_on_container_move_assignment = std::true_type;
        using propagate_on_container_swap = std::true_type;
        TBlock *Block = nullptr;
        TChildAllocator() = default;
        explicit TChildAllocator(TBlock *block) : Block(block) {}
        template<class U>
        TChildAllocator(const TChildAllocator<U> &other) : Block(other.Block) {}
        T *allocate(std::size_t n) { return static_cast<T *>(AllocateChildren(Block, n * sizeof(T))); }
        void deallocate(T *p, std::size_t) noexcept { FreeChildren(p); }
        template<class U>
        bool operator==(const TChildAllocator<U> &other) const { return Block == other.Block; }
    };
    using TChildren = std::vector<std::unique_ptr<THtmlNode>, TChildAllocator<std::unique_ptr<THtmlNode>>>;
    explicit THtmlNode(TBlock *block); // a node of a parse
    struct AttrSpan
    {
        // Offsets into the start tag text: [Begin, End) is the attribute with
        // its leading white space, [NameBegin, NameEnd) its name,
        // [ValueBegin, ValueEnd) its value as written (with quotes);
        // ValueBegin < 0 when it has no value. Name and value are read from
        // the text when asked for, except a value set through the API, kept
        // as it was given (Set).
        qsizetype Begin, NameBegin, NameEnd, ValueBegin, ValueEnd, End;
        bool HasSet = false;
        QString Set;
    };

    QStringView Source() const;
    TExtra &Extra();
    const std::vector<AttrSpan> &Attrs() const;
    QStringView StartTagText() const;
    QStringView EndTagText() const;
    QStringView AttrName(const AttrSpan &a) const;
    QString AttrValue(const AttrSpan &a) const;
    const AttrSpan *FindAttr(QStringView name) const;
    void MakeTagOwn();
    void ShiftAttrs(size_t from, qsizetype delta);
    static void DestroyTree(TChildren &children);

    THtmlNodeKind m_kind = THtmlNodeKind::Document;
    bool m_ownTag = false;        // the extra part holds the start tag (rewritten)
    bool m_hasEndTag = false;
    bool m_rawText = false;       // children are raw text (script, style, ...)
    bool m_rcData = false;        // children are text with references (textarea, title)
    bool m_ownsBlock = false;     // m_block is this node's alone (a created element)
    unsigned short m_tag = 0;     // the tag's number among the names we know, 0 if none
    unsigned m_flags = 0;         // what the tag is (void, block, ...)
    THtmlNode *m_parent = nullptr;
    TBlock *m_block = nullptr;    // the parse's block holding this node and its source
    qsizetype m_begin = 0, m_end = 0;           // start tag / whole node
    qsizetype m_endBegin = 0, m_endEnd = 0;     // end tag
    qsizetype m_tagContentEnd = 0;              // where an added attribute goes (relative)
    const QString *m_name = nullptr;  // shared: the known names' table or the block's
    // Only for what has them: attributes, an own (edited or created) text.
    std::unique_ptr<TExtra> m_extra;
    TChildren m_children;
};

using THtNode = THtmlNode;

/// The charset of HTML \a bytes as ParseBytes finds it: "utf-8",
/// "utf-16le" or "utf-16be" for a byte order mark (\a bomLength set to its
/// length), else the lower-cased name from a meta tag in the first 1,024
/// bytes ("utf-16" there means "utf-8", as browsers read it), else empty.
ZOR_EXPORT QString HtmlCharsetOf(const QByteArray &bytes, int *bomLength = nullptr);
/// Decodes HTML \a bytes as ParseBytes does.
ZOR_EXPORT QString DecodeHtmlBytes(const QByteArray &bytes);

/// A list of nodes owned elsewhere (by their tree).
class ZOR_EXPORT THtNodeList : public QList<THtmlNode *>
{
public:
    /// Depth first from \a root's children: every element whose tag name
    /// equals \a tag exactly is added, then its children are searched.
    void LoadNodesByTag(const THtmlNode *root, const QString &tag);
};

} // namespace zor
