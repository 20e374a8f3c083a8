// A stopwatch over the system clock that also counts laps (processed items) and prints one
// report line with the elapsed time and the lap rates.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>

class StopWatch {
public:
    using clock_type = std::chrono::system_clock;
    using duration_t = std::chrono::nanoseconds;
    using time_point_t = std::chrono::time_point<clock_type, duration_t>;
    using lapcount_t = uint32_t;

    StopWatch() = default;
    explicit StopWatch(const std::string& name);
    StopWatch(const std::string& name, const std::string& lapName);

    // Start and stop time become now; running, no duration, no laps.
    void start();
    // Stops a running watch; a stopped watch keeps its stop time.
    void stop();
    void reset();
    bool isRunning() const { return m_isRunning; }
    bool hasDuration() const { return m_hasDuration; }

    void addLap() { ++m_lapCount; }
    void setLapCount(lapcount_t count) { m_lapCount = count; }
    lapcount_t lapCount() const { return m_lapCount; }

    const std::string& name() const { return m_name; }
    const std::string& lapName() const { return m_lapName; }
    time_point_t startTime() const { return m_start; }
    time_point_t stopTime() const { return m_stop; }
    // The length of one clock tick in seconds.
    static double clockTick();

    // Running: until now; stopped after running: stop - start; otherwise 0.
    duration_t elapsed() const;
    double elapsedSeconds() const;

    // One report line, e.g. "assemble: 1.234e-04 seconds for 12 instructions =
    // 9.724e+04 instructions/second = 1.028e+01 microseconds/instruction" and a line feed.
    void print(std::ostream& os) const;
    std::string report() const;

private:
    static time_point_t now();

    time_point_t m_start{};
    time_point_t m_stop{};
    std::string m_name;
    std::string m_lapName;
    lapcount_t m_lapCount = 0;
    bool m_isRunning = false;
    bool m_hasDuration = false;
};

std::ostream& operator<<(std::ostream& os, const StopWatch& watch);
