#include "HtmlNode.h"

#include "AsciiCase_p.h"
#include "HtmlEntities.h"

#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/platform/Exception.h>

#include <QHash>

#include <algorithm>
#include <initializer_list>

namespace zor {
namespace {

using html_p::equalsIgnoringAsciiCase;

enum TagFlag : unsigned {
    tfVoid = 1,       // never has content or an end tag
    tfRawText = 2,    // content is text up to the matching end tag
    tfRcData = 4,     // same, but references in it are decoded
    tfClosesP = 8,    // its start tag closes an open p
    tfBlock = 16,     // breaks lines in inner text
    tfHidden = 32,    // its content is not rendered text
};

const QHash<QString, unsigned> &tagFlags()
{
    static const QHash<QString, unsigned> flags = [] {
        QHash<QString, unsigned> h;
        auto add = [&h](std::initializer_list<const char16_t *> names, unsigned f) {
            for (const char16_t *n : names)
                h[QString::fromUtf16(n)] |= f;
        };
        add({u"area", u"base", u"basefont", u"bgsound", u"br", u"col", u"embed", u"frame",
             u"hr", u"img", u"input", u"keygen", u"link", u"meta", u"param", u"source",
             u"track", u"wbr"},
            tfVoid);
        add({u"script", u"style", u"xmp", u"iframe", u"noembed", u"noframes", u"plaintext"},
            tfRawText);
        add({u"textarea", u"title"}, tfRcData);
        add({u"address", u"article", u"aside", u"blockquote", u"center", u"details",
             u"dialog", u"dir", u"div", u"dl", u"fieldset", u"figcaption", u"figure",
             u"footer", u"form", u"h1", u"h2", u"h3", u"h4", u"h5", u"h6", u"header",
             u"hgroup", u"hr", u"main", u"menu", u"nav", u"ol", u"p", u"pre", u"section",
             u"summary", u"table", u"ul", u"li", u"dd", u"dt", u"listing", u"xmp",
             u"plaintext"},
            tfClosesP);
        add({u"address", u"article", u"aside", u"blockquote", u"body", u"caption",
             u"center", u"dd", u"details", u"dialog", u"dir", u"div", u"dl", u"dt",
             u"fieldset", u"figcaption", u"figure", u"footer", u"form", u"h1", u"h2", u"h3",
             u"h4", u"h5", u"h6", u"header", u"hgroup", u"hr", u"html", u"li", u"listing",
             u"main", u"menu", u"nav", u"ol", u"p", u"pre", u"section", u"summary",
             u"table", u"tbody", u"tfoot", u"thead", u"tr", u"ul"},
            tfBlock);
        add({u"head", u"title", u"script", u"style", u"template", u"noscript", u"iframe",
             u"noembed", u"noframes"},
            tfHidden);
        return h;
    }();
    return flags;
}

unsigned flagsOf(const QString &name)
{
    return tagFlags().value(name, 0u);
}

bool isSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == ' ' || u == '\t' || u == '\n' || u == '\r' || u == '\f';
}

bool isAsciiAlpha(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

QString asciiLower(QStringView s)
{
    QString out(s.size(), Qt::Uninitialized);
    QChar *d = out.data();
    for (QChar c : s) {
        const char16_t u = c.unicode();
        *d++ = (u >= 'A' && u <= 'Z') ? QChar(char16_t(u + 32)) : c;
    }
    return out;
}

// Finds Mustache tags inside markup. Remembers where a search for a closing
// "}}" (or "}}}") failed, so that many unclosed "{{" cost linear time.
class MustacheScanner
{
public:
    explicit MustacheScanner(QStringView s) : m_s(s) {}

    // The end of the Mustache tag starting at i, or -1 when none starts there.
    qsizetype TagEnd(qsizetype i)
    {
        if (i + 1 >= m_s.size() || m_s[i] != u'{' || m_s[i + 1] != u'{')
            return -1;
        const bool triple = i + 2 < m_s.size() && m_s[i + 2] == u'{';
        const qsizetype from = i + (triple ? 3 : 2);
        const QStringView close = triple ? u"}}}" : u"}}";
        qsizetype &failedFrom = triple ? m_failed3 : m_failed2;
        if (failedFrom >= 0 && from >= failedFrom)
            return -1;
        const qsizetype e = m_s.indexOf(close, from);
        if (e < 0) {
            failedFrom = from;
            return -1;
        }
        return e + close.size();
    }

private:
    QStringView m_s;
    qsizetype m_failed2 = -1, m_failed3 = -1;
};

// Escapes a value for a double-quoted attribute. Mustache tags are written as
// they are: inside them a quote ends nothing.
QString quoteAttributeValue(const QString &value)
{
    MustacheScanner ms(value);
    QString out;
    out.reserve(value.size() + 2);
    out += u'"';
    for (qsizetype i = 0; i < value.size();) {
        const qsizetype m = ms.TagEnd(i);
        if (m > 0) {
            out += QStringView(value).sliced(i, m - i);
            i = m;
            continue;
        }
        const QChar c = value[i++];
        if (c == u'&')
            out += u"&amp;";
        else if (c == u'"')
            out += u"&quot;";
        else
            out += c;
    }
    out += u'"';
    return out;
}

} // namespace

// ---------------------------------------------------------------------------
// Tokenizer and tree builder

class THtmlTreeBuilder
{
public:
    THtmlTreeBuilder(THtmlNode *root, const QString &src)
        : m_root(root), m_src(src), m_s(m_src), m_ms(m_s)
    {
        m_open.push_back(root);
    }

    void Build();

private:
    struct TagScan
    {
        qsizetype End = 0;
        qsizetype NameEnd = 0;
        qsizetype ContentEnd = 0;
        bool SelfClosing = false;
        std::vector<THtmlNode::AttrSpan> Attrs;
    };

    THtmlNode *current() const { return m_open.back(); }
    void push(THtmlNode *el)
    {
        m_positions[el->m_name].push_back(int(m_open.size()));
        m_open.push_back(el);
    }
    // Closes the element at \a index and all opened after it.
    void popTo(size_t index)
    {
        while (m_open.size() > index) {
            m_positions[m_open.back()->m_name].pop_back();
            m_open.pop_back();
        }
    }
    int topmost(const QString &name) const
    {
        const auto it = m_positions.constFind(name);
        return it == m_positions.cend() || it->empty() ? -1 : it->back();
    }
    THtmlNode *append(THtmlNodeKind kind, qsizetype begin, qsizetype end);
    void flushText(qsizetype begin, qsizetype end);
    void scanTag(qsizetype begin, qsizetype nameStart, TagScan &t, bool wantAttrs);
    qsizetype startTag(qsizetype begin, qsizetype nameStart);
    qsizetype endTag(qsizetype begin);
    void closeImplied(const QString &name, unsigned flags);
    int findOpen(std::initializer_list<QStringView> targets,
                 std::initializer_list<QStringView> barriers) const;
    qsizetype rawTextEnd(qsizetype from, const QString &name) const;
    qsizetype findOr(QStringView what, qsizetype from, qsizetype fallback) const
    {
        const qsizetype i = m_s.indexOf(what, from);
        return i < 0 ? fallback : i + what.size();
    }

    THtmlNode *m_root;
    QString m_src;
    QStringView m_s;
    MustacheScanner m_ms;
    std::vector<THtmlNode *> m_open;
    // Where each tag name sits in m_open: finding the element an end tag or
    // an optional end closes costs no scan of the open elements, whatever
    // the nesting depth.
    QHash<QString, std::vector<int>> m_positions;
};

THtmlNode *THtmlTreeBuilder::append(THtmlNodeKind kind, qsizetype begin, qsizetype end)
{
    auto node = std::make_unique<THtmlNode>();
    node->m_kind = kind;
    node->m_src = m_src;
    node->m_begin = begin;
    node->m_end = end;
    node->m_parent = current();
    THtmlNode *raw = node.get();
    current()->m_children.push_back(std::move(node));
    return raw;
}

void THtmlTreeBuilder::flushText(qsizetype begin, qsizetype end)
{
    if (end > begin)
        append(THtmlNodeKind::Text, begin, end);
}

void THtmlTreeBuilder::scanTag(qsizetype begin, qsizetype nameStart, TagScan &t, bool wantAttrs)
{
    const qsizetype n = m_s.size();
    qsizetype i = nameStart;
    while (i < n && !isSpace(m_s[i]) && m_s[i] != u'/' && m_s[i] != u'>' && m_ms.TagEnd(i) < 0)
        ++i;
    t.NameEnd = i;
    qsizetype lastToken = i;
    t.End = n; // unterminated: the tag runs to the end of the input
    while (true) {
        const qsizetype wsStart = i;
        while (i < n && isSpace(m_s[i]))
            ++i;
        if (i >= n)
            break;
        const QChar c = m_s[i];
        if (c == u'>') {
            t.End = i + 1;
            break;
        }
        if (c == u'/') {
            if (i + 1 < n && m_s[i + 1] == u'>') {
                t.SelfClosing = true;
                t.End = i + 2;
                break;
            }
            ++i;
            continue;
        }
        if (const qsizetype m = m_ms.TagEnd(i); m > 0) {
            i = lastToken = m;
            continue;
        }
        const qsizetype nameBegin = i++;
        while (i < n && !isSpace(m_s[i]) && m_s[i] != u'/' && m_s[i] != u'>' && m_s[i] != u'='
               && m_ms.TagEnd(i) < 0)
            ++i;
        const qsizetype nameEnd = i;
        qsizetype valueBegin = -1, valueEnd = -1;
        qsizetype j = i;
        while (j < n && isSpace(m_s[j]))
            ++j;
        if (j < n && m_s[j] == u'=') {
            ++j;
            while (j < n && isSpace(m_s[j]))
                ++j;
            valueBegin = j;
            if (j < n && (m_s[j] == u'"' || m_s[j] == u'\'')) {
                const QChar q = m_s[j++];
                while (j < n && m_s[j] != q) {
                    const qsizetype m = m_ms.TagEnd(j);
                    j = m > 0 ? m : j + 1;
                }
                if (j < n)
                    ++j;
            } else {
                while (j < n && !isSpace(m_s[j]) && m_s[j] != u'>') {
                    const qsizetype m = m_ms.TagEnd(j);
                    j = m > 0 ? m : j + 1;
                }
            }
            valueEnd = j;
            i = j;
        }
        lastToken = i;
        if (wantAttrs) {
            THtmlNode::AttrSpan a;
            a.Attr.Name = m_s.sliced(nameBegin, nameEnd - nameBegin).toString();
            if (valueBegin >= 0) {
                QStringView raw = m_s.sliced(valueBegin, valueEnd - valueBegin);
                if (!raw.isEmpty() && (raw[0] == u'"' || raw[0] == u'\'')) {
                    raw = raw.sliced(1);
                    if (!raw.isEmpty() && raw.back() == m_s[valueBegin])
                        raw.chop(1);
                }
                a.Attr.Value = DecodeHtmlEntities(raw, true);
            }
            a.Begin = wsStart - begin;
            a.NameEnd = nameEnd - begin;
            a.ValueBegin = valueBegin < 0 ? -1 : valueBegin - begin;
            a.ValueEnd = valueEnd < 0 ? -1 : valueEnd - begin;
            a.End = i - begin;
            t.Attrs.push_back(std::move(a));
        }
    }
    t.ContentEnd = lastToken - begin;
}

int THtmlTreeBuilder::findOpen(std::initializer_list<QStringView> targets,
                               std::initializer_list<QStringView> barriers) const
{
    int target = -1, barrier = -1;
    for (QStringView t : targets)
        target = std::max(target, topmost(t.toString()));
    for (QStringView b : barriers)
        barrier = std::max(barrier, topmost(b.toString()));
    return target > barrier ? target : -1;
}

void THtmlTreeBuilder::closeImplied(const QString &name, unsigned flags)
{
    auto close = [this](int index) {
        if (index > 0)
            popTo(size_t(index));
    };
    // The barriers are the scope boundaries browsers use: an open p (list
    // item, cell, ...) outside them is out of reach.
    if (name == u"li")
        close(findOpen({u"li"}, {u"ul", u"ol", u"menu", u"table", u"td", u"th", u"caption",
                                 u"template", u"button", u"object", u"marquee", u"applet"}));
    else if (name == u"dt" || name == u"dd")
        close(findOpen({u"dt", u"dd"}, {u"dl", u"table", u"td", u"th", u"caption",
                                        u"template", u"button", u"object", u"marquee",
                                        u"applet"}));
    else if (name == u"tr")
        close(findOpen({u"tr"}, {u"table", u"thead", u"tbody", u"tfoot", u"template"}));
    else if (name == u"td" || name == u"th")
        close(findOpen({u"td", u"th"},
                       {u"tr", u"table", u"thead", u"tbody", u"tfoot", u"template"}));
    else if (name == u"thead" || name == u"tbody" || name == u"tfoot")
        close(findOpen({u"thead", u"tbody", u"tfoot"}, {u"table", u"template"}));
    else if (name == u"option" || name == u"optgroup") {
        if (current()->m_name == u"option" && current() != m_root)
            popTo(m_open.size() - 1);
        if (name == u"optgroup" && current()->m_name == u"optgroup" && current() != m_root)
            popTo(m_open.size() - 1);
    }
    if (flags & tfClosesP)
        close(findOpen({u"p"}, {u"applet", u"button", u"caption", u"html", u"marquee",
                                u"object", u"table", u"td", u"th", u"template"}));
}

qsizetype THtmlTreeBuilder::startTag(qsizetype begin, qsizetype nameStart)
{
    TagScan t;
    scanTag(begin, nameStart, t, true);
    QString name = asciiLower(m_s.sliced(nameStart, t.NameEnd - nameStart));
    const unsigned flags = flagsOf(name);
    closeImplied(name, flags);
    THtmlNode *el = append(THtmlNodeKind::Element, begin, t.End);
    el->m_name = std::move(name);
    el->m_attrs = std::move(t.Attrs);
    el->m_tagContentEnd = t.ContentEnd;
    el->m_rawText = flags & tfRawText;
    el->m_rcData = flags & tfRcData;
    if (!(flags & tfVoid) && !t.SelfClosing && t.End < m_s.size())
        push(el);
    return t.End;
}

qsizetype THtmlTreeBuilder::endTag(qsizetype begin)
{
    TagScan t;
    scanTag(begin, begin + 2, t, false);
    const QString name = asciiLower(m_s.sliced(begin + 2, t.NameEnd - begin - 2));
    if (const int i = topmost(name); i >= 1) {
        THtmlNode *el = m_open[size_t(i)];
        el->m_hasEndTag = true;
        el->m_endBegin = begin;
        el->m_endEnd = t.End;
        popTo(size_t(i));
        return t.End;
    }
    append(THtmlNodeKind::EndTag, begin, t.End)->m_name = name;
    return t.End;
}

qsizetype THtmlTreeBuilder::rawTextEnd(qsizetype from, const QString &name) const
{
    if (name == u"plaintext")
        return m_s.size();
    const qsizetype n = m_s.size();
    for (qsizetype i = m_s.indexOf(u"</", from); i >= 0; i = m_s.indexOf(u"</", i + 2)) {
        const qsizetype e = i + 2 + name.size();
        if (e < n && equalsIgnoringAsciiCase(m_s.sliced(i + 2, name.size()), name)
            && (isSpace(m_s[e]) || m_s[e] == u'/' || m_s[e] == u'>'))
            return i;
    }
    return n;
}

void THtmlTreeBuilder::Build()
{
    const qsizetype n = m_s.size();
    qsizetype pos = 0, textStart = 0;
    while (pos < n) {
        THtmlNode *cur = current();
        if ((cur->m_rawText || cur->m_rcData) && cur != m_root) {
            // Everything up to the element's own end tag is its text.
            const qsizetype e = rawTextEnd(pos, cur->m_name);
            flushText(pos, e);
            textStart = pos = e;
            if (e >= n)
                break;
            textStart = pos = endTag(e);
            continue;
        }
        if (m_s[pos] != u'<') {
            const qsizetype lt = m_s.indexOf(u'<', pos);
            pos = lt < 0 ? n : lt;
            continue;
        }
        const qsizetype rest = n - pos;
        QStringView at = m_s.sliced(pos);
        if (rest >= 2 && isAsciiAlpha(at[1])) {
            flushText(textStart, pos);
            textStart = pos = startTag(pos, pos + 1);
        } else if (rest >= 3 && at[1] == u'/' && isAsciiAlpha(at[2])) {
            flushText(textStart, pos);
            textStart = pos = endTag(pos);
        } else if (at.startsWith(u"<!--")) {
            flushText(textStart, pos);
            qsizetype e;
            if (at.sliced(4).startsWith(u">"))
                e = pos + 5;
            else if (at.sliced(4).startsWith(u"->"))
                e = pos + 6;
            else
                e = findOr(u"-->", pos + 4, n);
            append(THtmlNodeKind::Comment, pos, e);
            textStart = pos = e;
        } else if (at.startsWith(u"<![CDATA[")) {
            flushText(textStart, pos);
            const qsizetype e = findOr(u"]]>", pos + 9, n);
            append(THtmlNodeKind::CData, pos, e);
            textStart = pos = e;
        } else if (rest >= 2 && (at[1] == u'!' || at[1] == u'?' || at[1] == u'/')) {
            if (at[1] == u'/' && rest == 2) {
                pos = n; // a lone "</" at the end is text
                continue;
            }
            flushText(textStart, pos);
            const bool doctype = rest >= 9 && equalsIgnoringAsciiCase(at.sliced(2, 7), u"doctype");
            const qsizetype e = findOr(u">", pos + 2, n);
            append(doctype ? THtmlNodeKind::Doctype : THtmlNodeKind::Bogus, pos, e);
            textStart = pos = e;
        } else {
            ++pos;
        }
    }
    flushText(textStart, n);
}

// ---------------------------------------------------------------------------
// Serialiser

class THtmlWriter
{
public:
    static void Write(const THtmlNode *node, bool self, QString &out)
    {
        struct Frame
        {
            const THtmlNode *Node;
            size_t Next;
        };
        std::vector<Frame> stack;
        if (self)
            open(node, out);
        if (!hasChildrenPart(node)) {
            return;
        }
        stack.push_back({node, 0});
        while (!stack.empty()) {
            Frame &f = stack.back();
            if (f.Next < f.Node->m_children.size()) {
                const THtmlNode *child = f.Node->m_children[f.Next++].get();
                open(child, out);
                if (hasChildrenPart(child))
                    stack.push_back({child, 0});
                continue;
            }
            const THtmlNode *done = f.Node;
            stack.pop_back();
            if (done != node || self)
                out += done->EndTagText();
        }
    }

private:
    static bool hasChildrenPart(const THtmlNode *n)
    {
        return n->m_kind == THtmlNodeKind::Element || n->m_kind == THtmlNodeKind::Document;
    }
    static void open(const THtmlNode *n, QString &out)
    {
        if (n->m_kind != THtmlNodeKind::Document)
            out += n->StartTagText();
    }
};

// ---------------------------------------------------------------------------
// THtmlNode

THtmlNode::THtmlNode() = default;

THtmlNode::THtmlNode(const QString &tagName)
    : m_kind(THtmlNodeKind::Element), m_ownTag(true), m_name(asciiLower(tagName))
{
    m_tagText = u'<' + m_name + u'>';
    m_tagContentEnd = 1 + m_name.size();
    const unsigned flags = flagsOf(m_name);
    m_rawText = flags & tfRawText;
    m_rcData = flags & tfRcData;
    if (!(flags & tfVoid)) {
        m_hasEndTag = true;
        m_src = u"</"_qs + m_name + u'>';
        m_endBegin = 0;
        m_endEnd = m_src.size();
    }
}

std::unique_ptr<THtmlNode> THtmlNode::CreateText(const QString &text)
{
    auto node = CreateRaw(THtmlNodeKind::Text, EscapeHtmlText(text));
    return node;
}

std::unique_ptr<THtmlNode> THtmlNode::CreateRaw(THtmlNodeKind kind, const QString &markup)
{
    if (kind == THtmlNodeKind::Element || kind == THtmlNodeKind::Document)
        return nullptr;
    auto node = std::make_unique<THtmlNode>();
    node->m_kind = kind;
    node->m_ownTag = true;
    node->m_tagText = markup;
    return node;
}

THtmlNode::~THtmlNode()
{
    DestroyTree(m_children);
}

void THtmlNode::DestroyTree(std::vector<std::unique_ptr<THtmlNode>> &children)
{
    // Flatten first so that deep trees are freed without recursion.
    std::vector<std::unique_ptr<THtmlNode>> pending = std::move(children);
    children.clear();
    while (!pending.empty()) {
        std::unique_ptr<THtmlNode> n = std::move(pending.back());
        pending.pop_back();
        for (auto &c : n->m_children)
            pending.push_back(std::move(c));
        n->m_children.clear();
    }
}

void THtmlNode::Parse(const QString &html)
{
    SetInnerHTML(html);
}

QStringView THtmlNode::StartTagText() const
{
    if (m_ownTag)
        return m_tagText;
    return QStringView(m_src).sliced(m_begin, m_end - m_begin);
}

QStringView THtmlNode::EndTagText() const
{
    if (!m_hasEndTag)
        return {};
    return QStringView(m_src).sliced(m_endBegin, m_endEnd - m_endBegin);
}

QString THtmlNode::OuterHTML() const
{
    QString out;
    THtmlWriter::Write(this, true, out);
    return out;
}

QString THtmlNode::InnerHTML() const
{
    QString out;
    THtmlWriter::Write(this, false, out);
    return out;
}

void THtmlNode::SetInnerHTML(const QString &html)
{
    ClearChildren();
    if (m_kind != THtmlNodeKind::Element && m_kind != THtmlNodeKind::Document)
        return;
    if ((m_rawText || m_rcData) && m_kind == THtmlNodeKind::Element) {
        if (!html.isEmpty())
            AppendChild(CreateRaw(THtmlNodeKind::Text, html));
        return;
    }
    THtmlTreeBuilder builder(this, html);
    builder.Build();
}

QString THtmlNode::Text() const
{
    if (m_kind == THtmlNodeKind::Text) {
        const QStringView raw = StartTagText();
        if (m_parent && m_parent->m_rawText)
            return raw.toString();
        return DecodeHtmlEntities(raw);
    }
    if (m_kind == THtmlNodeKind::Element || m_kind == THtmlNodeKind::Document)
        return InnerText();
    return StartTagText().toString();
}

void THtmlNode::SetText(const QString &text)
{
    if (m_kind != THtmlNodeKind::Text)
        return;
    m_ownTag = true;
    m_tagText = (m_parent && m_parent->m_rawText) ? text : EscapeHtmlText(text);
}

QString THtmlNode::InnerText() const
{
    if (m_kind == THtmlNodeKind::Text)
        return Text();
    QString out;
    bool pendingSpace = false;
    int pre = 0;
    auto lineBreak = [&out, &pendingSpace](bool force) {
        pendingSpace = false;
        if (force || (!out.isEmpty() && !out.endsWith(u'\n')))
            out += u"\r\n";
    };
    struct Frame
    {
        const THtmlNode *Node;
        size_t Next;
    };
    std::vector<Frame> stack{{this, 0}};
    while (!stack.empty()) {
        Frame &f = stack.back();
        if (f.Next >= f.Node->m_children.size()) {
            const THtmlNode *done = f.Node;
            stack.pop_back();
            if (done->m_name == u"pre")
                --pre;
            if (done != this) {
                const unsigned flags = flagsOf(done->m_name);
                if (flags & tfBlock)
                    lineBreak(false);
                else if (done->m_name == u"td" || done->m_name == u"th")
                    pendingSpace = !out.isEmpty() && !out.endsWith(u'\n');
            }
            continue;
        }
        const THtmlNode *c = f.Node->m_children[f.Next++].get();
        switch (c->m_kind) {
        case THtmlNodeKind::Text: {
            if (f.Node->m_kind == THtmlNodeKind::Element && (flagsOf(f.Node->m_name) & tfHidden))
                break;
            const QString text = c->Text();
            for (QChar ch : text) {
                if (pre) {
                    if (ch == u'\n')
                        lineBreak(true);
                    else if (ch != u'\r')
                        out += ch;
                } else if (isSpace(ch)) {
                    pendingSpace = !out.isEmpty() && !out.endsWith(u'\n');
                } else {
                    if (pendingSpace)
                        out += u' ';
                    pendingSpace = false;
                    out += ch == QChar(0xA0) ? QChar(u' ') : ch;
                }
            }
            break;
        }
        case THtmlNodeKind::CData:
            break;
        case THtmlNodeKind::Element: {
            const unsigned flags = flagsOf(c->m_name);
            if (c->m_name == u"br") {
                lineBreak(true);
                break;
            }
            if (flags & tfHidden)
                break;
            if (flags & tfBlock)
                lineBreak(false);
            if (c->m_name == u"pre")
                ++pre;
            stack.push_back({c, 0});
            break;
        }
        default:
            break;
        }
    }
    while (out.endsWith(u"\r\n"))
        out.chop(2);
    return out;
}

int THtmlNode::AttributeCount() const
{
    return int(m_attrs.size());
}

THtmlNode::TAttribute THtmlNode::Attribute(int index) const
{
    return m_attrs[size_t(index)].Attr;
}

bool THtmlNode::HasAttribute(QStringView name) const
{
    for (const AttrSpan &a : m_attrs)
        if (equalsIgnoringAsciiCase(a.Attr.Name, name))
            return true;
    return false;
}

QString THtmlNode::GetAttribute(QStringView name, const QString &defaultValue) const
{
    for (const AttrSpan &a : m_attrs)
        if (equalsIgnoringAsciiCase(a.Attr.Name, name))
            return a.Attr.Value;
    return defaultValue;
}

void THtmlNode::MakeTagOwn()
{
    if (!m_ownTag) {
        m_tagText = StartTagText().toString();
        m_ownTag = true;
    }
}

void THtmlNode::ShiftAttrs(size_t from, qsizetype delta)
{
    for (size_t i = from; i < m_attrs.size(); ++i) {
        AttrSpan &a = m_attrs[i];
        a.Begin += delta;
        a.NameEnd += delta;
        if (a.ValueBegin >= 0) {
            a.ValueBegin += delta;
            a.ValueEnd += delta;
        }
        a.End += delta;
    }
    m_tagContentEnd += delta;
}

void THtmlNode::SetAttribute(const QString &name, const QString &value)
{
    if (m_kind != THtmlNodeKind::Element || name.isEmpty())
        return;
    MakeTagOwn();
    const QString quoted = quoteAttributeValue(value);
    for (size_t i = 0; i < m_attrs.size(); ++i) {
        AttrSpan &a = m_attrs[i];
        if (!equalsIgnoringAsciiCase(a.Attr.Name, name))
            continue;
        a.Attr.Value = value;
        qsizetype delta;
        if (a.ValueBegin >= 0) {
            delta = quoted.size() - (a.ValueEnd - a.ValueBegin);
            m_tagText.replace(a.ValueBegin, a.ValueEnd - a.ValueBegin, quoted);
            a.ValueEnd += delta;
        } else {
            const QString assign = u'=' + quoted;
            m_tagText.insert(a.NameEnd, assign);
            a.ValueBegin = a.NameEnd + 1;
            a.ValueEnd = a.NameEnd + assign.size();
            delta = assign.size();
        }
        a.End += delta;
        ShiftAttrs(i + 1, delta);
        return;
    }
    const QString text = u' ' + name + u'=' + quoted;
    AttrSpan a;
    a.Attr = {name, value};
    a.Begin = m_tagContentEnd;
    a.NameEnd = a.Begin + 1 + name.size();
    a.ValueBegin = a.NameEnd + 1;
    a.ValueEnd = a.Begin + text.size();
    a.End = a.ValueEnd;
    m_tagText.insert(m_tagContentEnd, text);
    m_tagContentEnd = a.End;
    m_attrs.push_back(std::move(a));
}

bool THtmlNode::RemoveAttribute(QStringView name)
{
    for (size_t i = 0; i < m_attrs.size(); ++i) {
        if (!equalsIgnoringAsciiCase(m_attrs[i].Attr.Name, name))
            continue;
        MakeTagOwn();
        const qsizetype b = m_attrs[i].Begin, len = m_attrs[i].End - b;
        m_tagText.remove(b, len);
        m_attrs.erase(m_attrs.begin() + qsizetype(i));
        ShiftAttrs(i, -len);
        return true;
    }
    return false;
}

int THtmlNode::IndexOf(const THtmlNode *child) const
{
    for (size_t i = 0; i < m_children.size(); ++i)
        if (m_children[i].get() == child)
            return int(i);
    return -1;
}

THtmlNode *THtmlNode::InsertChild(int index, std::unique_ptr<THtmlNode> node)
{
    if (!node)
        return nullptr;
    index = std::clamp(index, 0, ChildCount());
    node->m_parent = this;
    THtmlNode *raw = node.get();
    m_children.insert(m_children.begin() + index, std::move(node));
    return raw;
}

THtmlNode *THtmlNode::AppendChild(std::unique_ptr<THtmlNode> node)
{
    return InsertChild(ChildCount(), std::move(node));
}

std::unique_ptr<THtmlNode> THtmlNode::TakeChild(int index)
{
    if (index < 0 || index >= ChildCount())
        return nullptr;
    std::unique_ptr<THtmlNode> node = std::move(m_children[size_t(index)]);
    m_children.erase(m_children.begin() + index);
    node->m_parent = nullptr;
    return node;
}

void THtmlNode::DeleteChild(int index)
{
    TakeChild(index);
}

void THtmlNode::ClearChildren()
{
    DestroyTree(m_children);
}

bool THtmlNode::MoveTo(THtmlNode *newParent, int index)
{
    if (!newParent || !m_parent)
        return false;
    for (const THtmlNode *p = newParent; p; p = p->m_parent)
        if (p == this)
            return false;
    THtmlNode *oldParent = m_parent;
    const int from = oldParent->IndexOf(this);
    if (oldParent == newParent && from < index)
        --index;
    newParent->InsertChild(index, oldParent->TakeChild(from));
    return true;
}

THtmlNode *THtmlNode::FindFirst(QStringView tag) const
{
    std::vector<const THtmlNode *> stack;
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it)
        stack.push_back(it->get());
    while (!stack.empty()) {
        const THtmlNode *n = stack.back();
        stack.pop_back();
        if (n->m_kind == THtmlNodeKind::Element && n->m_name == tag)
            return const_cast<THtmlNode *>(n);
        for (auto it = n->m_children.rbegin(); it != n->m_children.rend(); ++it)
            stack.push_back(it->get());
    }
    return nullptr;
}

QString HtmlCharsetOf(const QByteArray &bytes, int *bomLength)
{
    if (bomLength)
        *bomLength = 0;
    auto bom = [&](const char *mark, int len) {
        if (!bytes.startsWith(QByteArrayView(mark, len)))
            return false;
        if (bomLength)
            *bomLength = len;
        return true;
    };
    if (bom("\xEF\xBB\xBF", 3))
        return QStringLiteral("utf-8");
    if (bom("\xFF\xFE", 2))
        return QStringLiteral("utf-16le");
    if (bom("\xFE\xFF", 2))
        return QStringLiteral("utf-16be");
    // The head is ASCII-compatible in every charset a meta tag can name, so
    // reading it as Latin-1 and parsing it finds the meta tags.
    THtmlNode head;
    head.Parse(QString::fromLatin1(bytes.first(std::min<qsizetype>(bytes.size(), 1024))));
    THtNodeList metas;
    metas.LoadNodesByTag(&head, QStringLiteral("meta"));
    for (const THtmlNode *meta : std::as_const(metas)) {
        QString charset = meta->GetAttribute(u"charset").trimmed();
        if (charset.isEmpty()
            && meta->GetAttribute(u"http-equiv").trimmed().compare(u"content-type", Qt::CaseInsensitive) == 0) {
            const QString content = meta->GetAttribute(u"content");
            const qsizetype at = content.indexOf(u"charset", 0, Qt::CaseInsensitive);
            if (at >= 0) {
                qsizetype i = at + 7;
                while (i < content.size() && isSpace(content[i]))
                    ++i;
                if (i < content.size() && content[i] == u'=') {
                    ++i;
                    while (i < content.size() && isSpace(content[i]))
                        ++i;
                    qsizetype e = i;
                    while (e < content.size() && !isSpace(content[e]) && content[e] != u';'
                           && content[e] != u'"' && content[e] != u'\'')
                        ++e;
                    charset = content.sliced(i, e - i);
                }
            }
        }
        if (charset.isEmpty())
            continue;
        charset = asciiLower(charset);
        if (charset.startsWith(u"utf-16"))
            charset = QStringLiteral("utf-8");
        return charset;
    }
    return {};
}

QString DecodeHtmlBytes(const QByteArray &bytes)
{
    int bomLength = 0;
    const QString charset = HtmlCharsetOf(bytes, &bomLength);
    const QByteArray body = bytes.sliced(bomLength);
    if (charset == u"utf-16le" || charset == u"utf-16be") {
        const bool le = charset == u"utf-16le";
        QString out;
        out.reserve(body.size() / 2);
        for (qsizetype i = 0; i + 1 < body.size(); i += 2) {
            const uchar a = uchar(body[i]), b = uchar(body[i + 1]);
            out += QChar(char16_t(le ? (b << 8 | a) : (a << 8 | b)));
        }
        if (body.size() % 2)
            out += QChar(0xFFFD); // an odd last byte is not lost silently
        return out;
    }
    if (charset == u"utf-8")
        return QString::fromUtf8(body);
    if (!charset.isEmpty()) {
        try {
            return DecodeCharset(body, charset);
        } catch (const Exception &) {
            // an unknown charset name: fall back as if none were named
        }
    }
    return FromAnsi(body);
}

void THtmlNode::ParseBytes(const QByteArray &bytes)
{
    Parse(DecodeHtmlBytes(bytes));
}

void THtNodeList::LoadNodesByTag(const THtmlNode *root, const QString &tag)
{
    if (!root)
        return;
    std::vector<const THtmlNode *> stack;
    for (int i = root->ChildCount() - 1; i >= 0; --i)
        stack.push_back(root->Child(i));
    while (!stack.empty()) {
        const THtmlNode *n = stack.back();
        stack.pop_back();
        if (n->IsElement() && n->TagName() == tag)
            append(const_cast<THtmlNode *>(n));
        for (int i = n->ChildCount() - 1; i >= 0; --i)
            stack.push_back(n->Child(i));
    }
}

} // namespace zor
