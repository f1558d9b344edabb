// Rings of function values and cells (see Cycles_p.h), found by counting:
// among the arrays and objects reachable from the tracked function values,
// one whose reference count equals the references the others hold to it is
// referred to from nowhere else. What such values reach and nothing outside
// does is a ring of garbage; emptying its members lets the counts free it.
#include <ZorCompCore/script/Cycles_p.h>

#include <QHash>

#include <algorithm>

namespace zor::script {

namespace {

struct Node
{
    Boxed *Box;
    bool IsMap;
    long Count;        // its reference count when found
    long Inside = 0;   // references held by other nodes (and this collection's own)
    bool Live = false;
};

class Scan
{
public:
    // Index of the node of a container value, found now or before.
    int visit(const Value &v)
    {
        auto it = m_index.constFind(v.box.get());
        if (it != m_index.cend())
            return *it;
        m_nodes.push_back({v.box.get(), v.k == VK::Map, long(v.box.use_count())});
        const int n = int(m_nodes.size()) - 1;
        m_index.insert(v.box.get(), n);
        m_pending.push_back(n);
        return n;
    }

    template <typename Each>
    static void children(const Node &n, Each each)
    {
        if (n.IsMap) {
            auto *m = static_cast<MapBox *>(n.Box);
            for (const auto &p : m->Properties())
                each(p.second);
            for (const Value &v : m->Bound)
                each(v);
        } else {
            for (const Value &v : static_cast<ArrayBox *>(n.Box)->Items)
                each(v);
        }
    }

    static bool isContainer(const Value &v) { return (v.k == VK::Array || v.k == VK::Map) && v.box; }

    // Every node reachable from the roots, with the references among them.
    void walk()
    {
        while (!m_pending.empty()) {
            const int n = m_pending.back();
            m_pending.pop_back();
            children(m_nodes[size_t(n)], [this](const Value &v) {
                if (isContainer(v))
                    ++m_nodes[size_t(visit(v))].Inside;
            });
        }
    }

    // Nodes referred to from outside, and all they reach, stay.
    void markLive()
    {
        std::vector<int> live;
        for (size_t i = 0; i < m_nodes.size(); ++i)
            if (m_nodes[i].Count > m_nodes[i].Inside) {
                m_nodes[i].Live = true;
                live.push_back(int(i));
            }
        while (!live.empty()) {
            const int n = live.back();
            live.pop_back();
            children(m_nodes[size_t(n)], [this, &live](const Value &v) {
                if (!isContainer(v))
                    return;
                Node &c = m_nodes[size_t(m_index.value(v.box.get()))];
                if (!c.Live) {
                    c.Live = true;
                    live.push_back(int(&c - m_nodes.data()));
                }
            });
        }
    }

    // Empties every garbage node. The nodes are held while that happens (a
    // node may lose its last reference halfway), then let go together.
    void freeGarbage()
    {
        std::vector<std::shared_ptr<Boxed>> hold;
        for (const Node &n : m_nodes) {
            if (n.Live)
                continue;
            children(n, [this, &hold](const Value &v) {
                if (isContainer(v) && !m_nodes[size_t(m_index.value(v.box.get()))].Live)
                    hold.push_back(v.box);
            });
        }
        std::vector<Value> contents;
        for (Node &n : m_nodes) {
            if (n.Live)
                continue;
            if (n.IsMap) {
                static_cast<MapBox *>(n.Box)->TakeValues(contents);
            } else {
                auto &items = static_cast<ArrayBox *>(n.Box)->Items;
                for (Value &v : items)
                    contents.push_back(std::move(v));
                items.clear();
            }
        }
        contents.clear();
        hold.clear();
    }

    std::vector<Node> m_nodes;

private:
    QHash<const Boxed *, int> m_index;
    std::vector<int> m_pending;
};

} // namespace

void CycleCollector::Collect()
{
    m_fresh = 0;
    if (m_made.empty())
        return;
    std::vector<Value> roots; // held while the collection runs: one reference each
    std::vector<std::weak_ptr<MapBox>> kept;
    for (const std::weak_ptr<MapBox> &w : m_made) {
        if (std::shared_ptr<MapBox> m = w.lock()) {
            Value v;
            v.k = VK::Map;
            v.box = std::move(m);
            roots.push_back(std::move(v));
        }
    }
    if (!roots.empty()) {
        Scan scan;
        std::vector<int> at;
        for (const Value &r : roots) {
            at.push_back(scan.visit(r));
            ++scan.m_nodes[size_t(at.back())].Inside;
        }
        scan.walk();
        scan.markLive();
        scan.freeGarbage();
        for (size_t i = 0; i < roots.size(); ++i)
            if (scan.m_nodes[size_t(at[i])].Live)
                kept.push_back(std::static_pointer_cast<MapBox>(roots[i].box));
    }
    roots.clear();
    m_made = std::move(kept);
    m_next = std::max(kFirst, m_made.size() * 2);
}

} // namespace zor::script
