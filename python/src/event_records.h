// The real-time events of a run as fixed-size records that numpy reads as a structured array
// with the columns of the CSV event stream (formats/seq_event_columns.h). The sinks write one
// record per event while the simulator runs, in C++ and without the interpreter: a run creates no
// Python object per event, and the buffer becomes the array's memory without a copy.
#pragma once

#include "assembler/seq_event_sink.h"
#include "assembler/seq_sim.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class SeqInstructionSet;

namespace vexa_py {

// One column of the array: its name (a CSV column), numpy type and place in a record.
struct EventField {
    const char* name;
    std::string format;
    size_t offset;
};

// The record of one instruction set: the fixed-size columns by decreasing size, so that each is
// aligned, then the mnemonic as a fixed-width UCS-4 string (numpy's "U" type) as wide as the
// set's longest mnemonic.
class EventLayout {
public:
    explicit EventLayout(const SeqInstructionSet& instructionSet);

    size_t mnemonicChars() const { return m_mnemonicChars; }
    size_t itemsize() const { return m_itemsize; }
    // The columns in the order of the CSV header.
    std::vector<EventField> fields() const;

    // Writes `entry` produced at `address` into the record at `record`; `mnemonic` is the
    // entry's mnemonic encoded by encode().
    void write(char* record, const seq_sim::rt_info& entry, uint32_t address,
               const char32_t* mnemonic) const;
    // The mnemonic as the record holds it: UCS-4, padded with zeros to the field's width.
    std::u32string encode(const char* mnemonic) const;
    // A record back as a log entry; `mnemonic` receives the text that the entry points to.
    seq_sim::rt_info read(const char* record, std::string& mnemonic, uint32_t& address) const;

private:
    size_t m_mnemonicChars = 1;
    size_t m_itemsize = 0;
};

// A growing block of records, allocated with malloc so that the array that adopts it frees it
// with free(), and so that growing a large block moves pages instead of bytes.
class RecordBuffer {
public:
    explicit RecordBuffer(size_t itemsize) : m_itemsize(itemsize) {}
    ~RecordBuffer();
    RecordBuffer(const RecordBuffer&) = delete;
    RecordBuffer& operator=(const RecordBuffer&) = delete;
    RecordBuffer(RecordBuffer&& other) noexcept;
    RecordBuffer& operator=(RecordBuffer&& other) noexcept;

    // Room for the next record; throws std::bad_alloc when memory runs out.
    char* append() {
        if (m_count == m_populated)
            prepare();
        return m_data + m_itemsize * m_count++;
    }
    void reserve(size_t records) {
        if (records > m_capacity)
            grow(records);
    }
    size_t size() const { return m_count; }
    size_t itemsize() const { return m_itemsize; }
    const char* data() const { return m_data; }
    // Gives up the memory, cut to the records written; the caller frees it with free().
    char* release();

private:
    void grow(size_t capacity);
    // Grows when full, and has the next pages mapped in one call instead of a fault each.
    void prepare();

    size_t m_itemsize;
    char* m_data = nullptr;
    size_t m_count = 0;
    size_t m_capacity = 0;
    size_t m_populated = 0; // records whose pages are known to be mapped
};

// Encodes mnemonics for one sink; the simulator hands the same few pointers over and over.
class MnemonicCache {
public:
    explicit MnemonicCache(const EventLayout& layout) : m_layout(layout) {}
    const char32_t* operator()(const char* mnemonic) {
        if (mnemonic == m_lastText && m_last != nullptr)
            return m_last;
        return lookUp(mnemonic);
    }

private:
    const char32_t* lookUp(const char* mnemonic);

    const EventLayout& m_layout;
    const char* m_lastText = nullptr;
    const char32_t* m_last = nullptr;
    std::deque<std::pair<const char*, std::u32string>> m_known; // stable addresses
};

// Collects all events of a run.
class RecordSink : public seq_event_sink {
public:
    explicit RecordSink(const EventLayout& layout)
        : m_layout(layout), m_records(layout.itemsize()), m_mnemonics(layout) {}
    void event(const rt_info& entry, address_t address) override {
        m_layout.write(m_records.append(), entry, address, m_mnemonics(entry.str));
    }
    RecordBuffer& records() { return m_records; }

private:
    const EventLayout& m_layout;
    RecordBuffer m_records;
    MnemonicCache m_mnemonics;
};

// Hands the events of a run over in chunks of at most `chunkSize` records, to a reader in
// another thread. At most `maxPending` full chunks wait for the reader; the run pauses while
// that many wait, so memory stays bounded however long the run. cancel() makes the run end
// at its next event (a paused run at once); a run that logs nothing more goes on to its end.
class ChunkSink : public seq_event_sink {
public:
    // The exception that ends a cancelled run.
    struct Cancelled : std::exception {
        const char* what() const noexcept override { return "event stream closed"; }
    };

    ChunkSink(const EventLayout& layout, size_t chunkSize, size_t maxPending);

    void event(const rt_info& entry, address_t address) override {
        if (m_cancelled.load(std::memory_order_relaxed))
            throw Cancelled();
        if (m_current.size() == m_chunkSize)
            handOver();
        m_layout.write(m_current.append(), entry, address, m_mnemonics(entry.str));
    }
    // The run has ended: the partial chunk goes to the reader too.
    void end() override;

    // For the reader: the next chunk, waiting for it; false when the run has ended and every
    // chunk was taken.
    bool next(RecordBuffer& chunk);
    // For the thread that ran the simulation: no more chunks come.
    void finish();
    void cancel();

private:
    void handOver();

    const EventLayout& m_layout;
    const size_t m_chunkSize;
    const size_t m_maxPending;
    RecordBuffer m_current;
    MnemonicCache m_mnemonics;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<RecordBuffer> m_pending;
    bool m_finished = false;
    std::atomic<bool> m_cancelled{false};
};

} // namespace vexa_py
