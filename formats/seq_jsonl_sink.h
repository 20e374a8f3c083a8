// The real-time events as JSON Lines while the simulation runs: one object per line and
// event, keyed by the CSV columns' names (seq_event_columns.h); booleans as true and false.
#pragma once

#include "assembler/seq_event_writer.h"

class seq_jsonl_sink : public seq_event_writer {
public:
    using seq_event_writer::seq_event_writer;
    void event(const rt_info& entry, address_t address) override;
};
