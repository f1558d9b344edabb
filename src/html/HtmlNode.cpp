#include "HtmlNode.h"

#include "AsciiCase_p.h"
#include "HtmlEntities.h"

#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/platform/Exception.h>

#include <QHash>

#include <algorithm>
#include <deque>
#include <atomic>
#include <cstddef>
#include <initializer_list>
#include <mutex>
#include <new>

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

// The tag names the tree builder and inner text treat specially, and the
// commonest others. A known name is a number: the builder compares numbers,
// and every node of that name shares one unallocated name string.
#define ZOR_HTML_TAGS(X)                                                                         \
    X(a) X(abbr) X(address) X(applet) X(area) X(article) X(aside) X(b) X(base) X(basefont)      \
    X(bgsound) X(blockquote) X(body) X(br) X(button) X(caption) X(center) X(code) X(col)        \
    X(colgroup) X(dd) X(details) X(dialog) X(dir) X(div) X(dl) X(dt) X(em) X(embed)             \
    X(fieldset) X(figcaption) X(figure) X(font) X(footer) X(form) X(frame) X(h1) X(h2) X(h3)    \
    X(h4) X(h5) X(h6) X(head) X(header) X(hgroup) X(hr) X(html) X(i) X(iframe) X(img) X(input) \
    X(keygen) X(label) X(li) X(link) X(listing) X(main) X(marquee) X(menu) X(meta) X(nav)       \
    X(noembed) X(noframes) X(noscript) X(object) X(ol) X(optgroup) X(option) X(p) X(param)      \
    X(plaintext) X(pre) X(s) X(script) X(section) X(select) X(small) X(source) X(span)          \
    X(strong) X(style) X(sub) X(summary) X(sup) X(table) X(tbody) X(td) X(template)             \
    X(textarea) X(tfoot) X(th) X(thead) X(title) X(tr) X(track) X(u) X(ul) X(wbr) X(xmp)

enum TagId : unsigned short {
    tagNone,
#define ZOR_TAG_ID(n) tag_##n,
    ZOR_HTML_TAGS(ZOR_TAG_ID)
#undef ZOR_TAG_ID
    tagCount
};

constexpr const char16_t *kTagNames[tagCount] = {
    u"",
#define ZOR_TAG_NAME(n) u"" #n,
    ZOR_HTML_TAGS(ZOR_TAG_NAME)
#undef ZOR_TAG_NAME
};

// The longest known name; longer names are looked up no further.
constexpr qsizetype kMaxKnownTag = 10;

struct TagTable
{
    QString Names[tagCount];    // raw data: copies share, nothing is counted
    unsigned Flags[tagCount] = {};
    // Known names by length and first letter, each a short list.
    std::vector<unsigned short> Buckets[kMaxKnownTag + 1][26];

    TagTable()
    {
        for (int id = 1; id < tagCount; ++id) {
            const QStringView n(kTagNames[id]);
            Names[id] = QString::fromRawData(reinterpret_cast<const QChar *>(n.utf16()), n.size());
            Buckets[n.size()][n[0].unicode() - 'a'].push_back((unsigned short)id);
        }
        auto add = [this](std::initializer_list<TagId> ids, unsigned f) {
            for (TagId id : ids)
                Flags[id] |= f;
        };
        add({tag_area, tag_base, tag_basefont, tag_bgsound, tag_br, tag_col, tag_embed,
             tag_frame, tag_hr, tag_img, tag_input, tag_keygen, tag_link, tag_meta, tag_param,
             tag_source, tag_track, tag_wbr},
            tfVoid);
        add({tag_script, tag_style, tag_xmp, tag_iframe, tag_noembed, tag_noframes,
             tag_plaintext},
            tfRawText);
        add({tag_textarea, tag_title}, tfRcData);
        add({tag_address, tag_article, tag_aside, tag_blockquote, tag_center, tag_details,
             tag_dialog, tag_dir, tag_div, tag_dl, tag_fieldset, tag_figcaption, tag_figure,
             tag_footer, tag_form, tag_h1, tag_h2, tag_h3, tag_h4, tag_h5, tag_h6, tag_header,
             tag_hgroup, tag_hr, tag_main, tag_menu, tag_nav, tag_ol, tag_p, tag_pre,
             tag_section, tag_summary, tag_table, tag_ul, tag_li, tag_dd, tag_dt, tag_listing,
             tag_xmp, tag_plaintext},
            tfClosesP);
        add({tag_address, tag_article, tag_aside, tag_blockquote, tag_body, tag_caption,
             tag_center, tag_dd, tag_details, tag_dialog, tag_dir, tag_div, tag_dl, tag_dt,
             tag_fieldset, tag_figcaption, tag_figure, tag_footer, tag_form, tag_h1, tag_h2,
             tag_h3, tag_h4, tag_h5, tag_h6, tag_header, tag_hgroup, tag_hr, tag_html, tag_li,
             tag_listing, tag_main, tag_menu, tag_nav, tag_ol, tag_p, tag_pre, tag_section,
             tag_summary, tag_table, tag_tbody, tag_tfoot, tag_thead, tag_tr, tag_ul},
            tfBlock);
        add({tag_head, tag_title, tag_script, tag_style, tag_template, tag_noscript, tag_iframe,
             tag_noembed, tag_noframes},
            tfHidden);
    }

    // The number of \a name, any ASCII case; tagNone for a name we do not know.
    TagId Find(QStringView name) const
    {
        const qsizetype n = name.size();
        if (n == 0 || n > kMaxKnownTag)
            return tagNone;
        char16_t lower[kMaxKnownTag];
        for (qsizetype i = 0; i < n; ++i) {
            char16_t u = name[i].unicode();
            if (u >= 'A' && u <= 'Z')
                u += 32;
            lower[i] = u;
        }
        if (lower[0] < 'a' || lower[0] > 'z')
            return tagNone;
        for (unsigned short id : Buckets[n][lower[0] - 'a']) {
            const char16_t *known = kTagNames[id];
            qsizetype i = 1;
            while (i < n && known[i] == lower[i])
                ++i;
            if (i == n)
                return TagId(id);
        }
        return tagNone;
    }
};

const TagTable &tagTable()
{
    static const TagTable table;
    return table;
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

// The block that the nodes of one parse are carved from, with the source
// their spans point into. It counts the nodes alive in it and frees itself
// with the last; the builder holds one count while it adds nodes.
struct THtmlNode::TBlock
{
    // In front of every node from THtmlNode::operator new: the block it
    // lives in, or null for one of its own on the heap.
    struct alignas(std::max_align_t) Header
    {
        TBlock *Block;
    };
    static constexpr size_t kSlot =
        (sizeof(Header) + sizeof(THtmlNode) + alignof(std::max_align_t) - 1)
        / alignof(std::max_align_t) * alignof(std::max_align_t);

    static constexpr size_t kMaxChunkNodes = 4096;

    explicit TBlock(const QString &src) : Src(src) {}
    ~TBlock()
    {
        for (char *c : Chunks)
            ChunkCache::Instance().Put(c);
        for (char *c : SmallChunks)
            ::operator delete(c);
        for (char *c : Big)
            ::operator delete(c);
    }

    // Full-size chunks of freed blocks, kept (up to a bound) for the next
    // parse: fresh memory costs a page fault per page on first touch, which
    // made a large page's parse cost twice what it does with reuse.
    class ChunkCache
    {
    public:
        static ChunkCache &Instance()
        {
            // Never destroyed: blocks of static trees may go after it would.
            static ChunkCache *cache = new ChunkCache;
            return *cache;
        }
        char *Take()
        {
            {
                std::lock_guard lock(m_mutex);
                if (!m_free.empty()) {
                    char *c = m_free.back();
                    m_free.pop_back();
                    return c;
                }
            }
            return static_cast<char *>(::operator new(kMaxChunkNodes * kSlot));
        }
        void Put(char *c)
        {
            {
                std::lock_guard lock(m_mutex);
                if (m_free.size() < kKept) {
                    m_free.push_back(c);
                    return;
                }
            }
            ::operator delete(c);
        }

    private:
        // A host that parsed one big page once should not carry it for ever, so
        // the bound is modest: enough for documents of a few megabytes.
        static constexpr size_t kKept = (16u << 20) / (kMaxChunkNodes * kSlot); // about 16 MB
        std::mutex m_mutex;
        std::vector<char *> m_free;
    };

    void *Allocate()
    {
        if (size_t(m_end - m_cur) < kSlot)
            NextChunk();
        auto *h = reinterpret_cast<Header *>(m_cur);
        h->Block = this;
        m_cur += kSlot;
        ++m_pending;
        return h + 1;
    }
    // Room for \a bytes (a child list) that goes with the block.
    void *AllocateBytes(size_t bytes)
    {
        constexpr size_t align = alignof(std::max_align_t);
        bytes = (bytes + align - 1) / align * align;
        if (bytes > kMaxChunkNodes * kSlot / 4) {
            Big.reserve(Big.size() + 1);
            char *p = static_cast<char *>(::operator new(bytes));
            Big.push_back(p);
            return p;
        }
        while (size_t(m_end - m_cur) < bytes)
            NextChunk();
        char *p = m_cur;
        m_cur += bytes;
        return p;
    }
    void NextChunk()
    {
        // Chunks grow with the document, so that a small fragment costs
        // little and a large page few allocations.
        const size_t nodes = m_nextSlots;
        m_nextSlots = std::min<size_t>(m_nextSlots * 2, kMaxChunkNodes);
        char *c;
        if (nodes == kMaxChunkNodes) {
            Chunks.reserve(Chunks.size() + 1);
            c = ChunkCache::Instance().Take();
            Chunks.push_back(c);
        } else {
            SmallChunks.reserve(SmallChunks.size() + 1);
            c = static_cast<char *>(::operator new(nodes * kSlot));
            SmallChunks.push_back(c);
        }
        m_cur = c;
        m_end = c + nodes * kSlot;
    }
    // Makes the nodes allocated so far count, then gives up the builder's
    // own count.
    void Commit()
    {
        Building = false;
        Live.fetch_add(m_pending, std::memory_order_relaxed);
        m_pending = 0;
        Release(1);
    }
    void Release(qsizetype n)
    {
        if (Live.fetch_sub(n, std::memory_order_acq_rel) == n)
            delete this;
    }

    QString Src;
    std::deque<QString> Names; // tag names not in the known table, shared by their nodes
    std::atomic<qsizetype> Live{1};
    std::vector<char *> Chunks;      // full size, from and back to the cache
    std::vector<char *> SmallChunks; // the first ones of a block
    std::vector<char *> Big;         // child lists too long for a chunk
    bool Building = false;           // the builder is adding nodes (its thread alone)

private:
    char *m_cur = nullptr, *m_end = nullptr;
    size_t m_nextSlots = 32;
    qsizetype m_pending = 0;
};

void *THtmlNode::operator new(std::size_t size)
{
    auto *h = static_cast<TBlock::Header *>(::operator new(sizeof(TBlock::Header) + size));
    h->Block = nullptr;
    return h + 1;
}

void THtmlNode::operator delete(void *p) noexcept
{
    if (!p)
        return;
    auto *h = static_cast<TBlock::Header *>(p) - 1;
    if (h->Block)
        h->Block->Release(1);
    else
        ::operator delete(h);
}

// A child list remembers in front of it whether the block or the heap gave it.
void *THtmlNode::AllocateChildren(TBlock *block, std::size_t bytes)
{
    constexpr size_t prefix = alignof(std::max_align_t);
    char *p;
    if (block && block->Building) {
        p = static_cast<char *>(block->AllocateBytes(prefix + bytes));
        p[0] = 1;
    } else {
        p = static_cast<char *>(::operator new(prefix + bytes));
        p[0] = 0;
    }
    return p + prefix;
}

void THtmlNode::FreeChildren(void *p) noexcept
{
    char *start = static_cast<char *>(p) - alignof(std::max_align_t);
    if (!start[0])
        ::operator delete(start);
}

struct THtmlNode::TExtra
{
    QString TagText; // the own start tag (with m_ownTag) or own node text
    std::vector<AttrSpan> Attrs;
};

class THtmlTreeBuilder
{
public:
    THtmlTreeBuilder(THtmlNode *root, const QString &src)
        : m_root(root), m_block(new THtmlNode::TBlock(src)), m_s(m_block->Src), m_ms(m_s),
          m_tags(tagTable())
    {
        m_block->Building = true;
        m_open.push_back({root, tagNone});
    }
    ~THtmlTreeBuilder() { m_block->Commit(); }

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
    struct Open
    {
        THtmlNode *Node;
        int Id; // a known tag's number, else one given to the name for this parse
    };

    THtmlNode *current() const { return m_open.back().Node; }
    void push(THtmlNode *el, int id)
    {
        if (size_t(id) >= m_positions.size())
            m_positions.resize(size_t(id) + 1);
        m_positions[size_t(id)].push_back(int(m_open.size()));
        m_open.push_back({el, id});
    }
    // Closes the element at \a index and all opened after it.
    void popTo(size_t index)
    {
        while (m_open.size() > index) {
            m_positions[size_t(m_open.back().Id)].pop_back();
            m_open.pop_back();
        }
    }
    int topmost(int id) const
    {
        return size_t(id) < m_positions.size() && !m_positions[size_t(id)].empty()
                   ? m_positions[size_t(id)].back()
                   : -1;
    }
    // The number of the tag named \a raw (as written) and its lower-cased
    // name, shared when the name is known.
    int idOf(QStringView raw, const QString *&name);
    THtmlNode *append(THtmlNodeKind kind, qsizetype begin, qsizetype end);
    void flushText(qsizetype begin, qsizetype end);
    void scanTag(qsizetype begin, qsizetype nameStart, TagScan &t, bool wantAttrs);
    qsizetype startTag(qsizetype begin, qsizetype nameStart);
    qsizetype endTag(qsizetype begin);
    void closeImplied(int id, unsigned flags);
    int findOpen(std::initializer_list<TagId> targets,
                 std::initializer_list<TagId> barriers) const;
    qsizetype rawTextEnd(qsizetype from, const QString &name) const;
    qsizetype findOr(QStringView what, qsizetype from, qsizetype fallback) const
    {
        const qsizetype i = m_s.indexOf(what, from);
        return i < 0 ? fallback : i + what.size();
    }

    THtmlNode *m_root;
    THtmlNode::TBlock *m_block;
    QStringView m_s;
    MustacheScanner m_ms;
    const TagTable &m_tags;
    std::vector<Open> m_open;
    // Where each tag sits in m_open, by number: finding the element an end
    // tag or an optional end closes costs no scan of the open elements,
    // whatever the nesting depth.
    std::vector<std::vector<int>> m_positions;
    // Names we do not know, numbered from tagCount on as they come.
    QHash<QString, std::pair<int, const QString *>> m_otherIds;
};

int THtmlTreeBuilder::idOf(QStringView raw, const QString *&name)
{
    if (const TagId id = m_tags.Find(raw)) {
        name = &m_tags.Names[id];
        return id;
    }
    QString lower = asciiLower(raw);
    const auto it = m_otherIds.constFind(lower);
    if (it != m_otherIds.cend()) {
        name = it->second;
        return it->first;
    }
    const int id = int(tagCount) + int(m_otherIds.size());
    name = &m_block->Names.emplace_back(lower);
    m_otherIds.insert(std::move(lower), {id, name});
    return id;
}

THtmlNode *THtmlTreeBuilder::append(THtmlNodeKind kind, qsizetype begin, qsizetype end)
{
    // Room first: once the node exists nothing may throw before it is in
    // the tree, or freeing it would give back a count the block never took.
    auto &siblings = current()->m_children;
    if (siblings.size() == siblings.capacity())
        siblings.reserve(std::max<size_t>(4, siblings.capacity() * 2));
    std::unique_ptr<THtmlNode> node(::new (m_block->Allocate()) THtmlNode(m_block));
    node->m_kind = kind;
    node->m_begin = begin;
    node->m_end = end;
    node->m_parent = current();
    THtmlNode *raw = node.get();
    siblings.push_back(std::move(node));
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
            a.Begin = wsStart - begin;
            a.NameBegin = nameBegin - begin;
            a.NameEnd = nameEnd - begin;
            a.ValueBegin = valueBegin < 0 ? -1 : valueBegin - begin;
            a.ValueEnd = valueEnd < 0 ? -1 : valueEnd - begin;
            a.End = i - begin;
            t.Attrs.push_back(std::move(a));
        }
    }
    t.ContentEnd = lastToken - begin;
}

int THtmlTreeBuilder::findOpen(std::initializer_list<TagId> targets,
                               std::initializer_list<TagId> barriers) const
{
    int target = -1, barrier = -1;
    for (TagId t : targets)
        target = std::max(target, topmost(t));
    for (TagId b : barriers)
        barrier = std::max(barrier, topmost(b));
    return target > barrier ? target : -1;
}

void THtmlTreeBuilder::closeImplied(int id, unsigned flags)
{
    auto close = [this](int index) {
        if (index > 0)
            popTo(size_t(index));
    };
    // The barriers are the scope boundaries browsers use: an open p (list
    // item, cell, ...) outside them is out of reach.
    switch (id) {
    case tag_li:
        close(findOpen({tag_li}, {tag_ul, tag_ol, tag_menu, tag_table, tag_td, tag_th,
                                  tag_caption, tag_template, tag_button, tag_object,
                                  tag_marquee, tag_applet}));
        break;
    case tag_dt:
    case tag_dd:
        close(findOpen({tag_dt, tag_dd}, {tag_dl, tag_table, tag_td, tag_th, tag_caption,
                                          tag_template, tag_button, tag_object, tag_marquee,
                                          tag_applet}));
        break;
    case tag_tr:
        close(findOpen({tag_tr}, {tag_table, tag_thead, tag_tbody, tag_tfoot, tag_template}));
        break;
    case tag_td:
    case tag_th:
        close(findOpen({tag_td, tag_th},
                       {tag_tr, tag_table, tag_thead, tag_tbody, tag_tfoot, tag_template}));
        break;
    case tag_thead:
    case tag_tbody:
    case tag_tfoot:
        close(findOpen({tag_thead, tag_tbody, tag_tfoot}, {tag_table, tag_template}));
        break;
    case tag_option:
    case tag_optgroup:
        if (m_open.back().Id == tag_option && current() != m_root)
            popTo(m_open.size() - 1);
        if (id == tag_optgroup && m_open.back().Id == tag_optgroup && current() != m_root)
            popTo(m_open.size() - 1);
        break;
    default:
        break;
    }
    if (flags & tfClosesP)
        close(findOpen({tag_p}, {tag_applet, tag_button, tag_caption, tag_html, tag_marquee,
                                 tag_object, tag_table, tag_td, tag_th, tag_template}));
}

qsizetype THtmlTreeBuilder::startTag(qsizetype begin, qsizetype nameStart)
{
    TagScan t;
    scanTag(begin, nameStart, t, true);
    const QString *name = nullptr;
    const int id = idOf(m_s.sliced(nameStart, t.NameEnd - nameStart), name);
    const unsigned flags = id < tagCount ? m_tags.Flags[id] : 0u;
    closeImplied(id, flags);
    THtmlNode *el = append(THtmlNodeKind::Element, begin, t.End);
    el->m_name = name;
    el->m_tag = id < tagCount ? (unsigned short)id : (unsigned short)tagNone;
    el->m_flags = flags;
    if (!t.Attrs.empty()) {
        el->m_extra = std::make_unique<THtmlNode::TExtra>();
        el->m_extra->Attrs = std::move(t.Attrs);
    }
    el->m_tagContentEnd = t.ContentEnd;
    el->m_rawText = flags & tfRawText;
    el->m_rcData = flags & tfRcData;
    if (!(flags & tfVoid) && !t.SelfClosing && t.End < m_s.size())
        push(el, id);
    return t.End;
}

qsizetype THtmlTreeBuilder::endTag(qsizetype begin)
{
    TagScan t;
    scanTag(begin, begin + 2, t, false);
    const QString *name = nullptr;
    const int id = idOf(m_s.sliced(begin + 2, t.NameEnd - begin - 2), name);
    if (const int i = topmost(id); i >= 1) {
        THtmlNode *el = m_open[size_t(i)].Node;
        el->m_hasEndTag = true;
        el->m_endBegin = begin;
        el->m_endEnd = t.End;
        popTo(size_t(i));
        return t.End;
    }
    THtmlNode *stray = append(THtmlNodeKind::EndTag, begin, t.End);
    stray->m_name = name;
    stray->m_tag = id < tagCount ? (unsigned short)id : (unsigned short)tagNone;
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
            const qsizetype e = rawTextEnd(pos, cur->TagName());
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

THtmlNode::THtmlNode(TBlock *block) : m_block(block), m_children(TChildAllocator<std::unique_ptr<THtmlNode>>(block))
{
}

THtmlNode::THtmlNode(const QString &tagName)
    : m_kind(THtmlNodeKind::Element), m_ownTag(true)
{
    const TagTable &tags = tagTable();
    const TagId id = tags.Find(tagName);
    const QString name = id ? tags.Names[id] : asciiLower(tagName);
    const unsigned flags = tags.Flags[id];
    m_tag = id;
    m_flags = flags;
    m_rawText = flags & tfRawText;
    m_rcData = flags & tfRcData;
    // A block of its own holds the end tag (and a name we do not know).
    m_block = new TBlock(flags & tfVoid ? QString() : u"</"_qs + name + u'>');
    m_ownsBlock = true;
    m_name = id ? &tags.Names[id] : &m_block->Names.emplace_back(name);
    Extra().TagText = u'<' + name + u'>';
    m_tagContentEnd = 1 + name.size();
    if (!(flags & tfVoid)) {
        m_hasEndTag = true;
        m_endBegin = 0;
        m_endEnd = m_block->Src.size();
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
    node->Extra().TagText = markup;
    return node;
}

THtmlNode::~THtmlNode()
{
    DestroyTree(m_children);
    if (m_ownsBlock)
        m_block->Release(1);
}

const QString &THtmlNode::TagName() const
{
    static const QString none;
    return m_name ? *m_name : none;
}

THtmlNode::TExtra &THtmlNode::Extra()
{
    if (!m_extra)
        m_extra = std::make_unique<TExtra>();
    return *m_extra;
}

const std::vector<THtmlNode::AttrSpan> &THtmlNode::Attrs() const
{
    static const std::vector<AttrSpan> none;
    return m_extra ? m_extra->Attrs : none;
}

void THtmlNode::DestroyTree(TChildren &children)
{
    // Flatten first so that deep trees are freed without recursion. Nodes
    // of a parse's block are counted off in runs, not one by one.
    std::vector<std::unique_ptr<THtmlNode>> pending;
    pending.reserve(children.size());
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        pending.push_back(std::move(*it));
    children.clear();
    TBlock *run = nullptr;
    qsizetype runLength = 0;
    while (!pending.empty()) {
        THtmlNode *n = pending.back().release();
        pending.pop_back();
        for (auto &c : n->m_children)
            pending.push_back(std::move(c));
        n->m_children.clear();
        TBlock *block = (reinterpret_cast<TBlock::Header *>(n) - 1)->Block;
        if (!block) {
            delete n;
            continue;
        }
        n->~THtmlNode(); // a block's nodes are all of this class
        if (block != run) {
            if (run)
                run->Release(runLength);
            run = block;
            runLength = 0;
        }
        ++runLength;
    }
    if (run)
        run->Release(runLength);
}

void THtmlNode::Parse(const QString &html)
{
    SetInnerHTML(html);
}

QStringView THtmlNode::Source() const
{
    return m_block ? QStringView(m_block->Src) : QStringView();
}

QStringView THtmlNode::StartTagText() const
{
    if (m_ownTag)
        return m_extra->TagText;
    return Source().sliced(m_begin, m_end - m_begin);
}

QStringView THtmlNode::EndTagText() const
{
    if (!m_hasEndTag)
        return {};
    return Source().sliced(m_endBegin, m_endEnd - m_endBegin);
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
    Extra().TagText = (m_parent && m_parent->m_rawText) ? text : EscapeHtmlText(text);
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
            if (done->m_tag == tag_pre)
                --pre;
            if (done != this) {
                if (done->m_flags & tfBlock)
                    lineBreak(false);
                else if (done->m_tag == tag_td || done->m_tag == tag_th)
                    pendingSpace = !out.isEmpty() && !out.endsWith(u'\n');
            }
            continue;
        }
        const THtmlNode *c = f.Node->m_children[f.Next++].get();
        switch (c->m_kind) {
        case THtmlNodeKind::Text: {
            if (f.Node->m_kind == THtmlNodeKind::Element && (f.Node->m_flags & tfHidden))
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
            const unsigned flags = c->m_flags;
            if (c->m_tag == tag_br) {
                lineBreak(true);
                break;
            }
            if (flags & tfHidden)
                break;
            if (flags & tfBlock)
                lineBreak(false);
            if (c->m_tag == tag_pre)
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
    return int(Attrs().size());
}

QStringView THtmlNode::AttrName(const AttrSpan &a) const
{
    return StartTagText().sliced(a.NameBegin, a.NameEnd - a.NameBegin);
}

QString THtmlNode::AttrValue(const AttrSpan &a) const
{
    if (a.HasSet)
        return a.Set;
    if (a.ValueBegin < 0)
        return QString();
    const QStringView tag = StartTagText();
    QStringView raw = tag.sliced(a.ValueBegin, a.ValueEnd - a.ValueBegin);
    if (!raw.isEmpty() && (raw[0] == u'"' || raw[0] == u'\'')) {
        const QChar quote = raw[0];
        raw = raw.sliced(1);
        if (!raw.isEmpty() && raw.back() == quote)
            raw.chop(1);
    }
    return DecodeHtmlEntities(raw, true);
}

const THtmlNode::AttrSpan *THtmlNode::FindAttr(QStringView name) const
{
    for (const AttrSpan &a : Attrs())
        if (equalsIgnoringAsciiCase(AttrName(a), name))
            return &a;
    return nullptr;
}

THtmlNode::TAttribute THtmlNode::Attribute(int index) const
{
    const AttrSpan &a = Attrs()[size_t(index)];
    return {AttrName(a).toString(), AttrValue(a)};
}

bool THtmlNode::HasAttribute(QStringView name) const
{
    return FindAttr(name) != nullptr;
}

QString THtmlNode::GetAttribute(QStringView name, const QString &defaultValue) const
{
    const AttrSpan *a = FindAttr(name);
    return a ? AttrValue(*a) : defaultValue;
}

void THtmlNode::MakeTagOwn()
{
    if (!m_ownTag) {
        QString text = StartTagText().toString();
        Extra().TagText = std::move(text);
        m_ownTag = true;
    }
}

void THtmlNode::ShiftAttrs(size_t from, qsizetype delta)
{
    std::vector<AttrSpan> &attrs = Extra().Attrs;
    for (size_t i = from; i < attrs.size(); ++i) {
        AttrSpan &a = attrs[i];
        a.Begin += delta;
        a.NameBegin += delta;
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
    QString &tagText = Extra().TagText;
    std::vector<AttrSpan> &attrs = m_extra->Attrs;
    for (size_t i = 0; i < attrs.size(); ++i) {
        AttrSpan &a = attrs[i];
        if (!equalsIgnoringAsciiCase(AttrName(a), name))
            continue;
        a.HasSet = true;
        a.Set = value;
        qsizetype delta;
        if (a.ValueBegin >= 0) {
            delta = quoted.size() - (a.ValueEnd - a.ValueBegin);
            tagText.replace(a.ValueBegin, a.ValueEnd - a.ValueBegin, quoted);
            a.ValueEnd += delta;
        } else {
            const QString assign = u'=' + quoted;
            tagText.insert(a.NameEnd, assign);
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
    a.HasSet = true;
    a.Set = value;
    a.Begin = m_tagContentEnd;
    a.NameBegin = a.Begin + 1;
    a.NameEnd = a.Begin + 1 + name.size();
    a.ValueBegin = a.NameEnd + 1;
    a.ValueEnd = a.Begin + text.size();
    a.End = a.ValueEnd;
    tagText.insert(m_tagContentEnd, text);
    m_tagContentEnd = a.End;
    attrs.push_back(std::move(a));
}

bool THtmlNode::RemoveAttribute(QStringView name)
{
    const std::vector<AttrSpan> &found = Attrs();
    for (size_t i = 0; i < found.size(); ++i) {
        if (!equalsIgnoringAsciiCase(AttrName(found[i]), name))
            continue;
        MakeTagOwn();
        std::vector<AttrSpan> &attrs = m_extra->Attrs;
        const qsizetype b = attrs[i].Begin, len = attrs[i].End - b;
        m_extra->TagText.remove(b, len);
        attrs.erase(attrs.begin() + qsizetype(i));
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
        if (n->m_kind == THtmlNodeKind::Element && n->TagName() == tag)
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
    // A view: the body of a large page is not copied before decoding.
    const QByteArrayView body = QByteArrayView(bytes).sliced(bomLength);
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
            return DecodeCharset(body.toByteArray(), charset);
        } catch (const Exception &) {
            // an unknown charset name: fall back as if none were named
        }
    }
    return FromAnsi(body.toByteArray());
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
