//
//  W A R N I N G
//  -------------
// Internal to the script engine.
//
// Values are reference counted, and a store that would make an array or an
// object hold itself is refused. Function values that hold cells (the outer
// variables a JScript inner function uses) are the one way around that: a
// function stored in a variable it uses itself (a recursive function
// expression, a callback kept on the object it reads) holds the cell that
// holds it. Such a ring outlives every variable that named it, so the
// function values made by a script are tracked here, and a collection frees
// the rings nothing outside them refers to any more.
#pragma once

#include <ZorCompCore/script/Value.h>

#include <memory>
#include <vector>

namespace zor::script {

class CycleCollector
{
public:
    CycleCollector() = default;
    CycleCollector(const CycleCollector &) = delete;
    CycleCollector &operator=(const CycleCollector &) = delete;
    ~CycleCollector() { Collect(); }

    // A function value holding cells was made; now and then this collects
    // first, so that a long run that makes rings keeps its memory bounded.
    void Made(const std::shared_ptr<MapBox> &fn)
    {
        if (m_made.size() >= m_next)
            Collect();
        m_made.push_back(fn);
        ++m_fresh;
    }

    // After a run: only when it made function values (a host that runs a
    // script per record pays nothing for the rings it keeps).
    void CollectAfterRun()
    {
        if (m_fresh > 0)
            Collect();
    }

    // Frees the rings among the values reachable from the tracked function
    // values that only refer to each other.
    void Collect();

private:
    std::vector<std::weak_ptr<MapBox>> m_made;
    size_t m_next = kFirst;
    size_t m_fresh = 0; // made since the last collection
    static constexpr size_t kFirst = 1024;
};

} // namespace zor::script
