#include "base/utils/StopWatchSet.h"

#include <ostream>
#include <sstream>

StopWatchSet::watch_ptr_t StopWatchSet::create() {
    return std::make_shared<StopWatch>();
}

StopWatchSet::watch_ptr_t StopWatchSet::create(const std::string& name) {
    return std::make_shared<StopWatch>(name);
}

StopWatchSet::watch_ptr_t StopWatchSet::create(const std::string& name,
                                               const std::string& lapName) {
    return std::make_shared<StopWatch>(name, lapName);
}

StopWatchSet::watch_ptr_t StopWatchSet::add(watch_ptr_t watch) {
    m_watches.push_back(watch);
    return watch;
}

StopWatchSet::watch_ptr_t StopWatchSet::add(const std::string& name) {
    return add(create(name));
}

StopWatchSet::watch_ptr_t StopWatchSet::add(const std::string& name, const std::string& lapName) {
    return add(create(name, lapName));
}

void StopWatchSet::add(const StopWatchSet& other) {
    // Copy first: `other` may be this set.
    const container_t members = other.m_watches;
    m_watches.insert(m_watches.end(), members.begin(), members.end());
}

void StopWatchSet::print(std::ostream& os) const {
    for (const watch_ptr_t& watch : m_watches)
        if (watch)
            watch->print(os);
}

std::string StopWatchSet::report() const {
    std::ostringstream os;
    print(os);
    return os.str();
}

std::ostream& operator<<(std::ostream& os, const StopWatchSet& set) {
    set.print(os);
    return os;
}
