#ifndef ASSEMBLER_SEQ_EVENT_SINK_H
#define ASSEMBLER_SEQ_EVENT_SINK_H

// Where the real-time events of a simulation go as they happen. seq_sim hands every entry of
// its real-time log to one sink, with the address of the instruction that produced it; by
// default that sink is the simulator's own in-memory log (get_rt_log()).
//
// A sink of one's own derives from seq_event_sink and overrides event(); begin() and end()
// bracket each run (end() also after a run that was interrupted by its budget or an error),
// so a sink can write a header and flush. A sink must outlive the runs it is used for; it
// is not copied. Exceptions thrown by a sink end the run like any other error.
//
//     struct PlayCounter : seq_event_sink {
//         uint64_t plays = 0;
//         void event(const seq_sim::rt_info& e, uint32_t) override { plays += e.play_valid; }
//     };
//     PlayCounter counter;
//     simulator.set_event_sink(&counter);

#include "assembler/seq_sim.h"

#include <cstdint>
#include <vector>

class seq_event_sink {
public:
    using rt_info = seq_sim::rt_info;
    using address_t = uint32_t;

    virtual ~seq_event_sink() = default;
    // A run starts.
    virtual void begin() {}
    // One entry, in execution order: the real-time state as the instruction at `address`
    // started it.
    virtual void event(const rt_info& entry, address_t address) = 0;
    // The same with the classical tick at which the instruction started. A sink that needs
    // the tick overrides it and says so with wants_tick(); the simulator then calls this one
    // instead of event(). By default the tick is dropped.
    virtual void timed_event(const rt_info& entry, address_t address, uint64_t classicalTick) {
        (void)classicalTick;
        event(entry, address);
    }
    // The run has ended, however it ended.
    virtual void end() {}

    // Whether the simulator hands this sink its entries with timed_event(). (A flag, not a
    // virtual call: it is asked for every entry.)
    bool wants_tick() const { return m_wantsTick; }

protected:
    void set_wants_tick(bool on) { m_wantsTick = on; }

private:
    bool m_wantsTick = false;
};

// Keeps nothing: a run that is only counted.
class seq_discard_sink : public seq_event_sink {
public:
    void event(const rt_info&, address_t) override {}
};

// Hands every call on to several sinks, in the order given.
class seq_event_tee : public seq_event_sink {
public:
    void add(seq_event_sink* sink) {
        m_sinks.push_back(sink);
        if (sink->wants_tick())
            set_wants_tick(true);
    }
    bool empty() const { return m_sinks.empty(); }

    void begin() override {
        for (seq_event_sink* sink : m_sinks)
            sink->begin();
    }
    void event(const rt_info& entry, address_t address) override {
        for (seq_event_sink* sink : m_sinks)
            sink->event(entry, address);
    }
    void timed_event(const rt_info& entry, address_t address, uint64_t classicalTick) override {
        for (seq_event_sink* sink : m_sinks)
            sink->timed_event(entry, address, classicalTick);
    }
    void end() override {
        for (seq_event_sink* sink : m_sinks)
            sink->end();
    }

private:
    std::vector<seq_event_sink*> m_sinks;
};

#endif
