// An ordered set of shared stopwatches that is reported line by line. A watch may belong
// to several sets and to its owner at the same time.
#pragma once

#include "base/utils/StopWatch.h"

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

class StopWatchSet {
public:
    using watch_ptr_t = std::shared_ptr<StopWatch>;
    using container_t = std::vector<watch_ptr_t>;

    static watch_ptr_t create();
    static watch_ptr_t create(const std::string& name);
    static watch_ptr_t create(const std::string& name, const std::string& lapName);

    // Each appends a watch to the set and returns it.
    watch_ptr_t add(watch_ptr_t watch);
    watch_ptr_t add(const std::string& name);
    watch_ptr_t add(const std::string& name, const std::string& lapName);
    // Appends every member of `other`.
    void add(const StopWatchSet& other);

    size_t size() const { return m_watches.size(); }
    bool empty() const { return m_watches.empty(); }
    const watch_ptr_t& operator[](size_t index) const { return m_watches[index]; }
    const container_t& watches() const { return m_watches; }
    container_t::const_iterator begin() const { return m_watches.begin(); }
    container_t::const_iterator end() const { return m_watches.end(); }
    void clear() { m_watches.clear(); }

    // The report line of every watch, in order.
    void print(std::ostream& os) const;
    std::string report() const;

private:
    container_t m_watches;
};

// The set of stopwatches over the high-resolution system clock.
using HiResStopWatchSet = StopWatchSet;

std::ostream& operator<<(std::ostream& os, const StopWatchSet& set);
