#include "base/utils/StopWatch.h"

#include <ios>
#include <ostream>
#include <sstream>

StopWatch::StopWatch(const std::string& name) : m_name(name) {}

StopWatch::StopWatch(const std::string& name, const std::string& lapName)
    : m_name(name), m_lapName(lapName) {}

StopWatch::time_point_t StopWatch::now() {
    return std::chrono::time_point_cast<duration_t>(clock_type::now());
}

void StopWatch::start() {
    m_start = now();
    m_stop = m_start;
    m_isRunning = true;
    m_hasDuration = false;
    m_lapCount = 0;
}

void StopWatch::stop() {
    if (!m_isRunning)
        return;
    m_stop = now();
    m_isRunning = false;
    m_hasDuration = true;
}

void StopWatch::reset() {
    m_start = time_point_t{};
    m_stop = time_point_t{};
    m_lapCount = 0;
    m_isRunning = false;
    m_hasDuration = false;
}

double StopWatch::clockTick() {
    using period = clock_type::period;
    return static_cast<double>(period::num) / static_cast<double>(period::den);
}

StopWatch::duration_t StopWatch::elapsed() const {
    if (m_isRunning)
        return now() - m_start;
    if (m_hasDuration)
        return m_stop - m_start;
    return duration_t::zero();
}

double StopWatch::elapsedSeconds() const {
    return std::chrono::duration<double>(elapsed()).count();
}

void StopWatch::print(std::ostream& os) const {
    const std::ios::fmtflags flags = os.flags();
    const std::streamsize precision = os.precision();
    os << std::scientific;
    os.precision(3);
    if (!m_name.empty())
        os << m_name << ": ";
    os << elapsedSeconds() << " "
       << "second"
       << "s";
    if (m_lapCount != 0) {
        const double seconds = elapsedSeconds();
        const double lapsPerSecond = seconds == 0.0 ? 0.0 : m_lapCount / seconds;
        const double microsecondsPerLap =
            static_cast<double>(elapsed().count()) * 0.001 / m_lapCount;
        os << " for " << m_lapCount << " " << m_lapName << "s"
           << " = " << lapsPerSecond << " " << m_lapName << "s/"
           << "second"
           << " = " << microsecondsPerLap << " "
           << "microsecond"
           << "s/" << m_lapName;
    }
    os << "\n";
    os.flags(flags);
    os.precision(precision);
}

std::string StopWatch::report() const {
    std::ostringstream os;
    print(os);
    return os.str();
}

std::ostream& operator<<(std::ostream& os, const StopWatch& watch) {
    watch.print(os);
    return os;
}
